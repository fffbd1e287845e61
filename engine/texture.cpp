/*
 * texture.cpp -- the texture cache: reading uncompressed TGA files (8-bit
 * colour-mapped, 24-bit and 32-bit true colour) through the file layer,
 * uploading them as mipmapped OpenGL textures, and freeing them when the
 * last reference goes.  Every header field is checked against the bytes
 * the file really holds before a pixel is copied.
 */
#include "texture.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bytes.h"
#include "common.h"
#include "fs.h"
#include "glstate.h"
#include "hitch.h"
#include "preload.h"

#define TGA_HEADER 18
#define TGA_FOOTER 26
#define TGA_SIGNATURE "TRUEVISION-XFILE." /* with its zero: 18 bytes */
#define TEX_MAXPATH 250

static texture_t *tex_cache[TEX_MAX];
static int tex_count;

typedef struct {
    uint8_t idlen, cmaptype, imagetype, cmapbits, depth, desc;
    uint16_t cmaplen, width, height;
} tga_header_t;

/* The fields of the TGA_HEADER bytes at data. */
static void TGA_ParseHeader(const unsigned char *data, tga_header_t *h)
{
    bytes_reader_t r;
    Bytes_InitReader(&r, data, TGA_HEADER);
    Bytes_ReadU8(&r, &h->idlen);
    Bytes_ReadU8(&r, &h->cmaptype);
    Bytes_ReadU8(&r, &h->imagetype);
    Bytes_Skip(&r, 2); /* first colour map entry */
    Bytes_ReadU16(&r, &h->cmaplen);
    Bytes_ReadU8(&r, &h->cmapbits);
    Bytes_Skip(&r, 4); /* origin */
    Bytes_ReadU16(&r, &h->width);
    Bytes_ReadU16(&r, &h->height);
    Bytes_ReadU8(&r, &h->depth);
    Bytes_ReadU8(&r, &h->desc);
}

/* Copies count bytes at data + offset when the file holds them. */
static unsigned char *TGA_TakePixels(const unsigned char *data, size_t len, size_t offset,
                                     size_t count)
{
    bytes_reader_t r;
    Bytes_InitReader(&r, data, len);
    if (!Bytes_Seek(&r, offset) || !Bytes_Has(&r, count))
        return NULL;
    unsigned char *p = (unsigned char *)malloc(count);
    if (p)
        Bytes_ReadData(&r, p, count);
    return p;
}

static int TGA_ReadMapped(const unsigned char *data, size_t len, const tga_header_t *h, texture_t *t)
{
    if (h->cmaptype != 1 || h->cmaplen != 256 || h->depth != 8)
        return 0;
    size_t offset = TGA_HEADER + h->idlen + (size_t)256 * h->cmapbits / 8;
    size_t count = (size_t)t->width * t->height;
    unsigned char *p = TGA_TakePixels(data, len, offset, count);
    if (!p)
        return 0;
    for (size_t i = 0; i < count; i++)
        p[i] = (unsigned char)(255 - p[i]);
    t->pixels = p;
    t->depth = 8;
    return 1;
}

static int TGA_ReadTrueColour(const unsigned char *data, size_t len, const tga_header_t *h,
                              texture_t *t)
{
    int depth = h->depth, desc = h->desc;
    if (h->cmaptype != 0)
        return 0;
    if (!((depth == 24 && desc == 0) || (depth == 32 && desc == 8)))
        return 0;
    size_t bpp = (size_t)depth / 8;
    size_t count = (size_t)t->width * t->height;
    unsigned char *p = TGA_TakePixels(data, len, TGA_HEADER + h->idlen, count * bpp);
    if (!p)
        return 0;
    for (size_t i = 0; i < count; i++) {
        unsigned char b = p[i * bpp];
        p[i * bpp] = p[i * bpp + 2];
        p[i * bpp + 2] = b;
    }
    t->pixels = p;
    t->depth = depth;
    return 1;
}

/* Bytes of the levels below a w x h base (bpp bytes a pixel) and their
 * number; 0 unless both sides are powers of two and one is above 1. */
static size_t TGA_MipBytes(int w, int h, int bpp, int *levels)
{
    size_t bytes = 0;
    *levels = 0;
    if (w < 1 || h < 1 || (w & (w - 1)) || (h & (h - 1)))
        return 0;
    while (w > 1 || h > 1) {
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
        bytes += (size_t)w * h * bpp;
        (*levels)++;
    }
    return bytes;
}

/* The stored mipmaps of a true-colour image read into t, when the file
 * has a TGA 2.0 footer, a developer directory and a mipmap field of
 * exactly the right size behind the base pixels.  Anything else: none. */
static void TGA_ReadMips(const unsigned char *data, size_t len, const tga_header_t *h, texture_t *t)
{
    size_t bpp = (size_t)t->depth / 8, pixelend = TGA_HEADER + h->idlen + (size_t)t->width * t->height * bpp;
    if (len < pixelend + TGA_FOOTER || memcmp(data + len - 18, TGA_SIGNATURE, 18) != 0)
        return;
    bytes_reader_t r;
    uint32_t dir = 0, offset = 0, size = 0;
    uint16_t count = 0, tag = 0;
    Bytes_InitReader(&r, data + len - TGA_FOOTER + 4, 4); /* after the extension area's offset */
    Bytes_ReadU32(&r, &dir);
    Bytes_InitReader(&r, data, len - TGA_FOOTER);
    if (dir < pixelend || !Bytes_Seek(&r, dir) || !Bytes_ReadU16(&r, &count))
        return;
    while (count-- > 0 && tag != TEX_MIPTAG)
        if (!Bytes_ReadU16(&r, &tag) || !Bytes_ReadU32(&r, &offset) || !Bytes_ReadU32(&r, &size))
            return;
    int levels;
    size_t want = TGA_MipBytes(t->width, t->height, (int)bpp, &levels);
    if (tag != TEX_MIPTAG || want == 0 || size != want || offset < pixelend ||
        (uint64_t)offset + size > len - TGA_FOOTER)
        return;
    unsigned char *p = (unsigned char *)malloc(want);
    if (!p)
        return;
    memcpy(p, data + offset, want);
    for (size_t i = 0; i < want; i += bpp) {
        unsigned char b = p[i];
        p[i] = p[i + 2];
        p[i + 2] = b;
    }
    t->mips = p;
    t->nummips = levels;
}

int Tex_ReadTGA(const unsigned char *data, size_t len, texture_t *t)
{
    tga_header_t h;
    if (!data || len < TGA_HEADER)
        return 0;
    TGA_ParseHeader(data, &h);
    t->width = (int)h.width;
    t->height = (int)h.height;
    if (t->width == 0 || t->height == 0)
        return 0;
    switch (h.imagetype) {
    case 1:
        return TGA_ReadMapped(data, len, &h, t);
    case 2:
        if (!TGA_ReadTrueColour(data, len, &h, t))
            return 0;
        TGA_ReadMips(data, len, &h, t);
        return 1;
    default:
        return 0;
    }
}

static int Tex_Load(texture_t *t, const char *path)
{
    Hitch_Note(HN_TEXTURE, path);
    if (Pre_TakeImage(path, t))
        return 1;
    char filename[TEX_MAXPATH + 8];
    snprintf(filename, sizeof(filename), "%s.tga", path);
    uint32_t len = 0;
    unsigned char *data = FS_LoadFile(filename, &len);
    if (!data) {
        Com_Printf("# Tex_Get: can't open %s\n", filename);
        return 0;
    }
    int ok = Tex_ReadTGA(data, len, t);
    FS_FreeFile(data);
    if (!ok)
        Com_Printf("# Tex_Get: %s is not a supported TGA image\n", filename);
    return ok;
}

static void Tex_Free(texture_t *t)
{
    if (t->glname && gls.active) {
        Hitch_Note(HN_FREE, t->name);
        GLuint n = t->glname;
        glDeleteTextures(1, &n);
        GLS_TextureDeleted(n);
    }
    free(t->pixels);
    free(t->mips);
    free(t);
}

static void Tex_RemoveEntry(int i)
{
    tex_cache[i] = tex_cache[tex_count - 1];
    tex_cache[--tex_count] = NULL;
}

texture_t *Tex_Get(const char *path, int upload)
{
    if (!path)
        return NULL;
    for (int i = 0; i < tex_count; i++) {
        if (!strcmp(tex_cache[i]->name, path)) {
            tex_cache[i]->refcount++;
            return tex_cache[i];
        }
    }
    if (tex_count >= TEX_MAX || strlen(path) > TEX_MAXPATH)
        return NULL;
    texture_t *t = (texture_t *)calloc(1, sizeof(*t));
    if (!t)
        return NULL;
    Com_Strncpy(t->name, path, sizeof(t->name));
    t->refcount = 1;
    if (!Tex_Load(t, path)) {
        Tex_Free(t);
        return NULL;
    }
    tex_cache[tex_count++] = t;
    if (upload)
        Tex_Upload(t);
    return t;
}

/* The components and format for the texture's depth: 32-bit images are
 * RGBA, 24-bit RGB; 8-bit images (one byte a pixel) go up as luminance so
 * that no more bytes are read than the image holds. */
static void Tex_Format(const texture_t *t, GLint *components, GLenum *format)
{
    switch (t->depth) {
    case 32:
        *components = 4;
        *format = GL_RGBA;
        break;
    case 8:
        *components = 1;
        *format = GL_LUMINANCE;
        break;
    default:
        *components = 3;
        *format = GL_RGB;
        break;
    }
}

/* The base image and its stored levels as they are. */
static int Tex_UploadLevels(const texture_t *t, GLint components, GLenum format)
{
    const unsigned char *p = t->mips;
    int w = t->width, h = t->height, bpp = t->depth / 8;
    glTexImage2D(GL_TEXTURE_2D, 0, components, w, h, 0, format, GL_UNSIGNED_BYTE, t->pixels);
    for (int level = 1; level <= t->nummips; level++) {
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
        glTexImage2D(GL_TEXTURE_2D, level, components, w, h, 0, format, GL_UNSIGNED_BYTE, p);
        p += (size_t)w * h * bpp;
    }
    return glGetError() == GL_NO_ERROR;
}

int Tex_Upload(texture_t *t)
{
    if (!t)
        return 0;
    if (t->uploaded || !gls.active)
        return 1;
    if (!t->pixels)
        return 0;
    while (glGetError() != GL_NO_ERROR)
        ; /* stale errors belong to someone else */
    Hitch_Note(HN_UPLOAD, t->name);
    GLuint name = 0;
    glGenTextures(1, &name);
    if (glGetError() != GL_NO_ERROR) {
        Com_Printf("# Tex_Upload: glGenTextures failed for %s\n", t->name);
        return 0;
    }
    GLint components;
    GLenum format;
    Tex_Format(t, &components, &format);
    GLS_BindTexture(name);
    GLS_UnpackAlignment(1);
    if (t->mips ? !Tex_UploadLevels(t, components, format)
                : gluBuild2DMipmaps(GL_TEXTURE_2D, components, t->width, t->height, format, GL_UNSIGNED_BYTE,
                                    t->pixels) != 0) {
        Com_Printf("# Tex_Upload: %s failed for %s\n", t->mips ? "glTexImage2D" : "gluBuild2DMipmaps", t->name);
        glDeleteTextures(1, &name);
        GLS_TextureDeleted(name);
        return 0;
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    t->glname = name;
    t->uploaded = 1;
    free(t->mips); /* OpenGL holds them now */
    t->mips = NULL;
    t->nummips = 0;
    return 1;
}

void Tex_Release(texture_t *t)
{
    if (!t)
        return;
    for (int i = 0; i < tex_count; i++) {
        if (tex_cache[i] != t)
            continue;
        if (--t->refcount <= 0) {
            Tex_RemoveEntry(i);
            Tex_Free(t);
        }
        return;
    }
}

int Tex_CacheCount(void)
{
    return tex_count;
}
