/* LibFuzzer target for the WAV reader of the sound cache. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "sound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    wavheader_t a, b;
    int pa = WAV_ParseHeader(data, size, &a);
    if (FILE *f = size ? fmemopen((void *)data, size, "rb") : NULL) {
        int pb = WAV_ReadHeader(f, &b);
        if (pa != pb || (pa && memcmp(&a, &b, sizeof(a)) != 0))
            abort();
        fclose(f);
    }
    size_t avail = size - WAV_HEADER_SIZE;
    if (!pa || WAV_CheckData(&a, (size_t)-1) != WAV_OK || WAV_CheckData(&a, avail) != WAV_OK)
        return 0;
    uint8_t *block = (uint8_t *)malloc(avail ? avail : 1);
    memcpy(block, data + WAV_HEADER_SIZE, avail);
    volatile uint32_t sum = (uint32_t)a.channels;
    for (uint32_t i = 0; i + 1 < a.datasize; i += 2)   /* the 16-bit samples, as a mixer reads them */
        sum += (uint32_t)(block[i] | (block[i + 1] << 8));
    free(block);
    return 0;
}
