/* LibFuzzer target for the TGA reader. */
#include <stdlib.h>
#include <string.h>

#include "texture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    uint8_t *file = (uint8_t *)malloc(size ? size : 1);
    memcpy(file, data, size);
    texture_t t{};
    int ok = Tex_ReadTGA(file, size, &t);
    free(file);
    if (!ok && t.pixels)
        abort(); /* a refused file leaves nothing behind */
    if (!ok)
        return 0;
    size_t n = (size_t)t.width * t.height * (t.depth / 8);
    if (t.width <= 0 || t.height <= 0 || !t.pixels || (t.depth != 8 && t.depth != 24 && t.depth != 32) || n > size)
        abort(); /* nor more pixels than the file could hold */
    volatile uint32_t sum = 0;
    for (size_t i = 0; i < n; i++)
        sum += t.pixels[i];
    free(t.pixels);
    free(t.mips);
    return 0;
}
