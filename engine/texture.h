/*
 * texture.h -- uncompressed TGA images as OpenGL textures with mipmaps,
 * shared through a name-keyed, reference-counted cache of 128 entries.
 * Pixels stay in memory after upload (fonts and tests read them); without
 * a GL context uploads keep the pixels and do nothing else.
 *
 * A true-colour TGA may carry its mipmaps: a TGA 2.0 developer area whose
 * field with tag TEX_MIPTAG holds every level from half size down to 1 x 1
 * (sides that are powers of two), each in the base image's byte and row
 * order, as OpenGL's utility library would build them.  Such levels are
 * uploaded as they are; a file without them (or with a field of the wrong
 * size) gets its mipmaps built at upload.
 */
#ifndef TEXTURE_H
#define TEXTURE_H

#include <stddef.h>
#include <stdint.h>

#define TEX_MAX 128
#define TEX_NAMELEN 256
#define TEX_MIPTAG 0x6d6d

typedef struct texture_s {
    char name[TEX_NAMELEN];   /* cache key: path without extension */
    int width, height;        /* pixels */
    int depth;                /* bits per pixel: 8, 24 or 32 */
    unsigned char *pixels;    /* file row order; 1, 3 or 4 bytes a pixel (RGB[A]) */
    unsigned glname;          /* OpenGL texture name, 0 until uploaded */
    int uploaded;
    int refcount;
    int opacity;              /* drawing's note: 0 not yet looked at, 1 every
                                 pixel opaque, -1 some see-through */
    int drawn;                /* drawing's note: drawn at least once */
    unsigned char *mips;      /* stored levels 1..nummips, freed at upload */
    int nummips;
} texture_t;

/* Cached texture for path + ".tga"; upload != 0 uploads a newly read one.
 * NULL when the file is missing or unsupported, or the cache is full. */
texture_t *Tex_Get(const char *path, int upload);
/* Uploads once; 1 on success.  Without a GL context returns 1 at once. */
int Tex_Upload(texture_t *t);
/* Drops one reference; the last one frees pixels and GL texture. */
void Tex_Release(texture_t *t);

/* Decodes a whole TGA file held in memory into t (width, height, depth,
 * pixels).  Returns 1, or 0 for a short, malformed or unsupported file. */
int Tex_ReadTGA(const unsigned char *data, size_t len, texture_t *t);

/* Number of textures in the cache (tests). */
int Tex_CacheCount(void);

#endif
