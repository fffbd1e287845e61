/*
 * wav.cpp -- the reader of PCM WAV headers for the sound cache: the 44-byte
 * canonical header read field by field (little-endian, from a file or from
 * memory) and the checks of a header against the sample data that really
 * follows it.  Sample data is always handed to OpenAL as 16-bit frames.
 */
#include "sound.h"

#include <string.h>

static uint32_t WAV_U32(const uint8_t *p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) |
           ((uint32_t)p[3] << 24);
}

static uint16_t WAV_U16(const uint8_t *p)
{
    return (uint16_t)(p[0] | (p[1] << 8));
}

int WAV_ParseHeader(const uint8_t *p, size_t len, wavheader_t *h)
{
    if (!p || !h || len < WAV_HEADER_SIZE)
        return 0;
    memcpy(h->chunkid, p + 0, 4);
    h->chunksize = WAV_U32(p + 4);
    memcpy(h->format, p + 8, 4);
    memcpy(h->fmtid, p + 12, 4);
    h->fmtsize = WAV_U32(p + 16);
    h->formattag = WAV_U16(p + 20);
    h->channels = WAV_U16(p + 22);
    h->samplerate = WAV_U32(p + 24);
    h->byterate = WAV_U32(p + 28);
    h->blockalign = WAV_U16(p + 32);
    h->bitspersample = WAV_U16(p + 34);
    memcpy(h->dataid, p + 36, 4);
    h->datasize = WAV_U32(p + 40);
    return h->formattag == 1;
}

int WAV_ReadHeader(FILE *f, wavheader_t *h)
{
    uint8_t raw[WAV_HEADER_SIZE];

    if (!f || !h)
        return 0;
    if (fread(raw, 1, sizeof(raw), f) != sizeof(raw))
        return 0;
    return WAV_ParseHeader(raw, sizeof(raw), h);
}

int WAV_CheckData(const wavheader_t *h, size_t avail)
{
    if (h->channels != 1 && h->channels != 2)
        return WAV_BADCHANNELS;
    if (avail == (size_t)-1)
        return WAV_OK;
    if (avail < h->datasize)
        return WAV_SHORTDATA;
    /* whatever the header says about bits per sample, the data goes out as
     * 16-bit frames: a size that ends inside a frame would be read past */
    if (h->datasize % (2u * h->channels) != 0)
        return WAV_BADFRAMES;
    return WAV_OK;
}
