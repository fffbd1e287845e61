/*
 * bytes.h -- little-endian fields of the binary file formats (models,
 * collision grids, archives, WAV headers, level and demo files), used by
 * the engine, the game module and the tools alike.
 *
 * The reader is a cursor over bytes in memory.  Every read is checked
 * against the bytes left: a read that does not fit reads nothing, zeroes
 * its output, returns 0 and marks the reader failed; a failed reader stays
 * failed, so a run of reads can be checked once at its end.  Counts taken
 * from a file are still checked against Bytes_Left before anything is
 * allocated for them.
 *
 * The writer appends to a buffer it grows itself (Bytes_InitWriter; the
 * caller frees it with Bytes_FreeWriter) or writes straight to a FILE
 * (Bytes_InitFileWriter).  Running out of memory or a short write marks
 * it failed; a failed writer writes nothing more.
 */
#ifndef GK_BYTES_H
#define GK_BYTES_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* ---- reading ------------------------------------------------------------ */

typedef struct {
    const uint8_t *data;
    size_t size;
    size_t pos;
    int failed;                 /* a read did not fit */
} bytes_reader_t;

static inline void Bytes_InitReader(bytes_reader_t *r, const void *data, size_t size)
{
    static const uint8_t none[1] = {0}; /* no data reads as empty */
    r->data = data ? (const uint8_t *)data : none;
    r->size = data ? size : 0;
    r->pos = 0;
    r->failed = 0;
}

static inline size_t Bytes_Left(const bytes_reader_t *r)
{
    return r->size - r->pos;
}

/* 1 when n more bytes are there (n may be any count a file claims). */
static inline int Bytes_Has(const bytes_reader_t *r, uint64_t n)
{
    return n <= (uint64_t)(r->size - r->pos);
}

/* Claims n bytes; NULL (and the reader failed) when they are not there. */
static inline const uint8_t *Bytes_Take(bytes_reader_t *r, uint64_t n)
{
    if (r->failed || !Bytes_Has(r, n)) {
        r->failed = 1;
        return NULL;
    }
    const uint8_t *p = r->data + r->pos;
    r->pos += (size_t)n;
    return p;
}

/* Moves to offset pos from the start (at most the end). */
static inline int Bytes_Seek(bytes_reader_t *r, size_t pos)
{
    if (r->failed || pos > r->size) {
        r->failed = 1;
        return 0;
    }
    r->pos = pos;
    return 1;
}

static inline int Bytes_Skip(bytes_reader_t *r, uint64_t n)
{
    return Bytes_Take(r, n) != NULL;
}

static inline int Bytes_ReadData(bytes_reader_t *r, void *out, size_t n)
{
    const uint8_t *p = Bytes_Take(r, n);
    if (!p) {
        memset(out, 0, n);
        return 0;
    }
    memcpy(out, p, n);
    return 1;
}

static inline int Bytes_ReadU8(bytes_reader_t *r, uint8_t *out)
{
    const uint8_t *p = Bytes_Take(r, 1);
    *out = p ? p[0] : 0;
    return p != NULL;
}

static inline int Bytes_ReadU16(bytes_reader_t *r, uint16_t *out)
{
    const uint8_t *p = Bytes_Take(r, 2);
    *out = p ? (uint16_t)(p[0] | (p[1] << 8)) : 0;
    return p != NULL;
}

static inline int Bytes_ReadU32(bytes_reader_t *r, uint32_t *out)
{
    const uint8_t *p = Bytes_Take(r, 4);
    *out = p ? (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24) : 0;
    return p != NULL;
}

static inline int Bytes_ReadI32(bytes_reader_t *r, int32_t *out)
{
    uint32_t u;
    int ok = Bytes_ReadU32(r, &u);
    *out = (int32_t)u;
    return ok;
}

/* An IEEE single stored as its bit pattern. */
static inline int Bytes_ReadF32(bytes_reader_t *r, float *out)
{
    uint32_t u;
    int ok = Bytes_ReadU32(r, &u);
    memcpy(out, &u, 4);
    return ok;
}

static inline int Bytes_ReadF32s(bytes_reader_t *r, float *out, size_t n)
{
    for (size_t i = 0; i < n; i++)
        Bytes_ReadF32(r, &out[i]);
    return !r->failed;
}

/* ---- writing ------------------------------------------------------------ */

typedef struct {
    uint8_t *data;              /* the buffer (NULL while empty) ... */
    size_t size, cap;
    FILE *f;                    /* ... or the file written to */
    int failed;                 /* out of memory or a short write */
} bytes_writer_t;

/* An empty buffer with room for about reserve bytes (a hint only). */
static inline void Bytes_InitWriter(bytes_writer_t *w, size_t reserve)
{
    memset(w, 0, sizeof(*w));
    if (reserve && (w->data = (uint8_t *)malloc(reserve)) != NULL)
        w->cap = reserve;
}

static inline void Bytes_InitFileWriter(bytes_writer_t *w, FILE *f)
{
    memset(w, 0, sizeof(*w));
    w->f = f;
}

static inline void Bytes_FreeWriter(bytes_writer_t *w)
{
    free(w->data);
    w->data = NULL;
    w->size = w->cap = 0;
}

static inline int Bytes_WriteData(bytes_writer_t *w, const void *p, size_t n)
{
    if (w->failed)
        return 0;
    if (n == 0)
        return 1;
    if (w->f) {
        w->failed = fwrite(p, 1, n, w->f) != n;
        return !w->failed;
    }
    if (n > w->cap - w->size) {
        size_t cap = w->cap ? w->cap : 256;
        while (cap - w->size < n && cap <= SIZE_MAX / 2)
            cap *= 2;
        uint8_t *grown = cap - w->size < n ? NULL : (uint8_t *)realloc(w->data, cap);
        if (!grown) {
            w->failed = 1;
            return 0;
        }
        w->data = grown;
        w->cap = cap;
    }
    memcpy(w->data + w->size, p, n);
    w->size += n;
    return 1;
}

static inline int Bytes_WriteU8(bytes_writer_t *w, uint8_t v)
{
    return Bytes_WriteData(w, &v, 1);
}

static inline int Bytes_WriteU16(bytes_writer_t *w, uint16_t v)
{
    const uint8_t b[2] = {(uint8_t)v, (uint8_t)(v >> 8)};
    return Bytes_WriteData(w, b, 2);
}

static inline int Bytes_WriteU32(bytes_writer_t *w, uint32_t v)
{
    const uint8_t b[4] = {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)};
    return Bytes_WriteData(w, b, 4);
}

static inline int Bytes_WriteI32(bytes_writer_t *w, int32_t v)
{
    return Bytes_WriteU32(w, (uint32_t)v);
}

static inline int Bytes_WriteF32(bytes_writer_t *w, float v)
{
    uint32_t u;
    memcpy(&u, &v, 4);
    return Bytes_WriteU32(w, u);
}

static inline int Bytes_WriteF32s(bytes_writer_t *w, const float *v, size_t n)
{
    for (size_t i = 0; i < n; i++)
        Bytes_WriteF32(w, v[i]);
    return !w->failed;
}

/* n zero bytes. */
static inline int Bytes_WriteZeros(bytes_writer_t *w, size_t n)
{
    static const uint8_t zeros[64] = {0};
    while (n > 0 && !w->failed) {
        size_t k = n < sizeof(zeros) ? n : sizeof(zeros);
        Bytes_WriteData(w, zeros, k);
        n -= k;
    }
    return !w->failed;
}

#endif
