/*
 * fuzz_font.cpp -- libFuzzer target for ".font" glyph tables and text
 * measuring: the first two bytes give the image height, the rest is split
 * at the first zero byte into the glyph table and a text to measure (with
 * colour codes, carets and bytes above 127).  Every glyph parsed must
 * have a finite aspect and coordinates, and measuring must stay finite.
 */
#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    int h = data[0] | (data[1] << 8);
    char *buf = (char *)malloc(size - 2 + 2);
    if (!buf)
        return 0;
    memcpy(buf, data + 2, size - 2);
    buf[size - 2] = 0;
    buf[size - 1] = 0;
    const char *table = buf;
    const char *text = buf + strlen(buf) + 1;
    if (text > buf + size - 2)
        text = buf + size - 2;

    static font_t f;
    memset(&f, 0, sizeof(f));
    Font_ParseGlyphs(&f, table, h);
    for (int i = 0; i < 256; i++) {
        const glyph_t *g = &f.glyphs[i];
        if (!g->present)
            continue;
        if (!isfinite(g->aspect) || !isfinite(g->ul) || !isfinite(g->vt) || !isfinite(g->ur) ||
            !isfinite(g->vb))
            abort();
    }
    float w = Font_DrawText(0, 0, 0, &f, 16, 1, text);
    if (!isfinite(w))
        abort();
    free(buf);
    return 0;
}
