/*
 * fuzz_tga.cpp -- libFuzzer target for the TGA reader: any byte string is
 * decoded as a whole TGA file, and whatever is accepted is read back in
 * full (width x height x depth / 8 bytes) from a block of exactly the
 * size the reader allocated, so that a header claiming more pixels than
 * the file holds shows up as an out-of-bounds read.
 */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "texture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    /* a copy of its own size, so that reads past the file are caught */
    uint8_t *file = (uint8_t *)malloc(size ? size : 1);
    if (!file)
        return 0;
    if (size)
        memcpy(file, data, size);
    texture_t t;
    memset(&t, 0, sizeof(t));
    int ok = Tex_ReadTGA(file, size, &t);
    free(file);
    if (!ok) {
        if (t.pixels)
            abort(); /* a refused file leaves nothing behind */
        return 0;
    }
    if (t.width <= 0 || t.height <= 0 || !t.pixels)
        abort();
    if (t.depth != 8 && t.depth != 24 && t.depth != 32)
        abort();
    size_t n = (size_t)t.width * t.height * (t.depth / 8);
    if (n > size)
        abort(); /* more pixels than the file could hold */
    volatile uint32_t sum = 0;
    for (size_t i = 0; i < n; i++)
        sum += t.pixels[i];
    free(t.pixels);
    return 0;
}
