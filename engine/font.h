/*
 * font.h -- bitmap fonts: a 32-bit TGA holding white glyphs shaped by
 * alpha plus a ".font" text file with each glyph's rectangle.  A cache of
 * 32 reference-counted fonts, and text measuring and drawing as textured
 * quads with inline colour codes ("^0" to "^8").
 */
#ifndef FONT_H
#define FONT_H

#include "texture.h"

#define FONT_MAX 32
#define FONT_NAMELEN 256

typedef struct {
    int present;
    float aspect;             /* glyph width / height in pixels */
    float ul, vt, ur, vb;     /* texture coordinates: left, top, right, bottom */
} glyph_t;

typedef struct font_s {
    char name[FONT_NAMELEN];
    texture_t *tex;
    glyph_t glyphs[256];
    int refcount;
} font_t;

font_t *Font_Get(const char *path);
void Font_Release(font_t *f);

/* Measures (draw == 0) or draws text with the pen starting at (x, y);
 * returns the width.  colorcodes != 0 lets "^0".."^8" set the colour. */
float Font_DrawText(int draw, float x, float y, font_t *f, float size, int colorcodes,
                    const char *text);
/* Alpha used by colour codes. */
void Font_SetTextAlpha(float a);
/* On: glyph corners are laid out on the camera's right/up axes taken from
 * the current modelview matrix at the moment of switching on. */
void Font_SetBillboard(int on);

/* Parses ".font" text into f's glyphs with texture height h (tests, fuzzing). */
void Font_ParseGlyphs(font_t *f, const char *text, int h);
int Font_CacheCount(void);

#endif
