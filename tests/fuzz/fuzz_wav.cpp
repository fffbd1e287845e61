/*
 * fuzz_wav.cpp -- libFuzzer target for the WAV reader of the sound cache:
 * any byte string is read as a WAV file (from memory and through a FILE),
 * and whatever the checks accept is consumed exactly as the cache hands it
 * to OpenAL (data size bytes as 16-bit frames), so that a check letting a
 * lying header through shows up as an out-of-bounds read.
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "sound.h"

static uint32_t Fuzz_Consume(const uint8_t *data, uint32_t size, int channels)
{
    /* sum the 16-bit samples like a mixer would read them */
    uint32_t sum = 0;
    for (uint32_t i = 0; i + 1 < size; i += 2)
        sum += (uint32_t)(data[i] | (data[i + 1] << 8));
    return sum + (uint32_t)channels;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    wavheader_t a, b;
    int pa = WAV_ParseHeader(data, size, &a);

    /* the FILE reader must agree with the memory reader */
    FILE *f = size ? fmemopen((void *)data, size, "rb") : NULL;
    if (f) {
        int pb = WAV_ReadHeader(f, &b);
        if (pa != pb || (pa && memcmp(&a, &b, sizeof(a)) != 0))
            abort();
        fclose(f);
    }
    if (!pa)
        return 0;
    if (WAV_CheckData(&a, (size_t)-1) != WAV_OK)
        return 0;
    size_t avail = size - WAV_HEADER_SIZE;
    if (WAV_CheckData(&a, avail) != WAV_OK)
        return 0;
    /* exactly what would be handed over, in a block of its own size so
     * that reading past it is caught */
    uint8_t *block = (uint8_t *)malloc(avail ? avail : 1);
    if (!block)
        return 0;
    memcpy(block, data + WAV_HEADER_SIZE, avail);
    volatile uint32_t sink = Fuzz_Consume(block, a.datasize, a.channels);
    (void)sink;
    free(block);
    return 0;
}
