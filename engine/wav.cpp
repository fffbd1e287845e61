/*
 * wav.cpp -- the reader of PCM WAV headers for the sound cache: the 44-byte
 * canonical header read field by field (little-endian, from a file or from
 * memory) and the checks of a header against the sample data that really
 * follows it.  Sample data is always handed to OpenAL as 16-bit frames.
 */
#include "sound.h"

#include "bytes.h"

int WAV_ParseHeader(const uint8_t *p, size_t len, wavheader_t *h)
{
    bytes_reader_t r;
    if (!p || !h || len < WAV_HEADER_SIZE)
        return 0;
    Bytes_InitReader(&r, p, len);
    Bytes_ReadData(&r, h->chunkid, 4);
    Bytes_ReadU32(&r, &h->chunksize);
    Bytes_ReadData(&r, h->format, 4);
    Bytes_ReadData(&r, h->fmtid, 4);
    Bytes_ReadU32(&r, &h->fmtsize);
    Bytes_ReadU16(&r, &h->formattag);
    Bytes_ReadU16(&r, &h->channels);
    Bytes_ReadU32(&r, &h->samplerate);
    Bytes_ReadU32(&r, &h->byterate);
    Bytes_ReadU16(&r, &h->blockalign);
    Bytes_ReadU16(&r, &h->bitspersample);
    Bytes_ReadData(&r, h->dataid, 4);
    Bytes_ReadU32(&r, &h->datasize);
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
