/* LibFuzzer target for ".font" glyph tables and text measuring. */
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    std::string buf((const char *)data + 2, size - 2);
    buf.push_back(0);
    const char *table = buf.c_str(), *text = table + strlen(table);
    text += text < table + buf.size() - 1;  /* past the zero byte, if one was in the input */
    static font_t f;
    memset(&f, 0, sizeof(f));
    Font_ParseGlyphs(&f, table, data[0] | (data[1] << 8));
    for (const glyph_t &g : f.glyphs)
        if (g.present && !(isfinite(g.aspect) && isfinite(g.ul) && isfinite(g.vt) && isfinite(g.ur) && isfinite(g.vb)))
            abort();
    if (!isfinite(Font_DrawText(0, 0, 0, &f, 16, 1, text)))
        abort();
    return 0;
}
