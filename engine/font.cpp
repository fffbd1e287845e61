/*
 * font.cpp -- the font cache and text drawing.  A font is a 32-bit TGA
 * whose glyphs are made white (their shape lives in the alpha channel)
 * plus a ".font" text file giving each glyph's pixel rectangle.  Text is
 * measured or drawn glyph by glyph as quads, flat in overlay units or
 * laid out on the camera's axes (billboard mode), with "^n" colour codes.
 */
#include "font.h"

#include <GL/gl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common.h"
#include "fs.h"
#include "glstate.h"
#include "hitch.h"

#define FONT_MAXPATH 250

static font_t *font_cache[FONT_MAX];
static int font_count;

static float font_textalpha = 1.0f;
static int font_billboard;
static float font_right[3], font_up[3];

static const float font_codecolours[9][3] = {
    {0.7f, 0.7f, 0.7f}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0, 0, 1},
    {0, 1, 1},          {1, 0, 1}, {1, 1, 1}, {0, 0, 0},
};

/* One ".font" line: "%c %d %d %d %d".  A glyph of zero height would give
 * an endless advance, so such a line defines nothing. */
static void Font_ParseLine(font_t *f, const char *line, float h)
{
    char c;
    int x0, y0, x1, y1;
    if (sscanf(line, "%c %d %d %d %d", &c, &x0, &y0, &x1, &y1) != 5)
        return;
    if (y1 == y0) {
        Com_Printf("- Font_Get: glyph '%c' of %s has no height\n", c, f->name);
        return;
    }
    glyph_t *g = &f->glyphs[(unsigned char)c];
    g->present = 1;
    g->aspect = (float)(((double)x1 - x0) / ((double)y1 - y0));
    g->ul = (float)(x0 / (double)h);
    g->vt = (float)(1.0 - y0 / (double)h);
    g->ur = (float)(x1 / (double)h);
    g->vb = (float)(1.0 - y1 / (double)h);
}

void Font_ParseGlyphs(font_t *f, const char *text, int h)
{
    if (!f || !text || h <= 0)
        return;
    char line[512];
    const char *p = text;
    while (*p) {
        const char *end = strchr(p, '\n');
        size_t n = end ? (size_t)(end - p) : strlen(p);
        /* Lines longer than the buffer hold nothing a glyph needs beyond
         * its first bytes; they are parsed from what fits. */
        size_t take = n < sizeof(line) - 1 ? n : sizeof(line) - 1;
        memcpy(line, p, take);
        line[take] = 0;
        Font_ParseLine(f, line, (float)h);
        if (!end)
            break;
        p = end + 1;
    }
}

/* Makes every pixel white, keeping its alpha (the stored mipmaps too:
 * white stays white when levels are averaged). */
static void Font_Whiten(texture_t *t)
{
    size_t count = (size_t)t->width * t->height;
    for (size_t i = 0; i < count; i++) {
        t->pixels[i * 4 + 0] = 255;
        t->pixels[i * 4 + 1] = 255;
        t->pixels[i * 4 + 2] = 255;
    }
    size_t mippixels = 0;
    for (int level = 1, w = t->width, h = t->height; level <= t->nummips; level++) {
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
        mippixels += (size_t)w * h;
    }
    for (size_t i = 0; t->mips && i < mippixels; i++)
        memset(t->mips + i * 4, 255, 3);
}

static int Font_Load(font_t *f, const char *path)
{
    if (strlen(path) >= FONT_MAXPATH)
        return 0;
    Hitch_Note(HN_FONT, path);
    char filename[FONT_MAXPATH + 8];
    snprintf(filename, sizeof(filename), "%s.font", path);
    uint32_t len = 0;
    unsigned char *text = FS_LoadFile(filename, &len); /* zero-terminated */
    if (!text) {
        Com_Printf("# Font_Get: can't open %s\n", filename);
        return 0;
    }
    texture_t *t = Tex_Get(path, 0);
    if (!t || t->depth != 32 || !t->pixels) {
        Com_Printf("# Font_Get: %s needs a 32-bit image\n", path);
        Tex_Release(t);
        FS_FreeFile(text);
        return 0;
    }
    Font_Whiten(t);
    Tex_Upload(t);
    f->tex = t;
    Font_ParseGlyphs(f, (const char *)text, t->height);
    FS_FreeFile(text);
    return 1;
}

font_t *Font_Get(const char *path)
{
    if (!path)
        return NULL;
    for (int i = 0; i < font_count; i++) {
        if (!strcmp(font_cache[i]->name, path)) {
            font_cache[i]->refcount++;
            return font_cache[i];
        }
    }
    if (font_count >= FONT_MAX)
        return NULL;
    font_t *f = (font_t *)calloc(1, sizeof(*f));
    if (!f)
        return NULL;
    Com_Strncpy(f->name, path, sizeof(f->name));
    f->refcount = 1;
    if (!Font_Load(f, path)) {
        free(f);
        return NULL;
    }
    font_cache[font_count++] = f;
    return f;
}

void Font_Release(font_t *f)
{
    if (!f)
        return;
    for (int i = 0; i < font_count; i++) {
        if (font_cache[i] != f)
            continue;
        if (--f->refcount <= 0) {
            font_cache[i] = font_cache[font_count - 1];
            font_cache[--font_count] = NULL;
            Tex_Release(f->tex);
            free(f);
        }
        return;
    }
}

int Font_CacheCount(void)
{
    return font_count;
}

void Font_SetTextAlpha(float a)
{
    font_textalpha = a;
}

void Font_SetBillboard(int on)
{
    font_billboard = on;
    if (!on || !gls.active)
        return;
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    font_right[0] = m[0], font_right[1] = m[4], font_right[2] = m[8];
    font_up[0] = m[1], font_up[1] = m[5], font_up[2] = m[9];
}

static void Font_Vertex(float px, float py)
{
    if (font_billboard)
        glVertex3f(px * font_right[0] + py * font_up[0], px * font_right[1] + py * font_up[1],
                   px * font_right[2] + py * font_up[2]);
    else
        glVertex2f(px, py);
}

static void Font_Quad(const glyph_t *g, float x0, float y0, float x1, float y1)
{
    glTexCoord2f(g->ul, g->vb);
    Font_Vertex(x0, y0);
    glTexCoord2f(g->ur, g->vb);
    Font_Vertex(x1, y0);
    glTexCoord2f(g->ur, g->vt);
    Font_Vertex(x1, y1);
    glTexCoord2f(g->ul, g->vt);
    Font_Vertex(x0, y1);
}

float Font_DrawText(int draw, float x, float y, font_t *f, float size, int colorcodes,
                    const char *text)
{
    if (!f || !text)
        return 0;
    draw = draw && gls.active;
    if (draw)
        glBegin(GL_QUADS);
    float pen = x;
    const unsigned char *p = (const unsigned char *)text;
    while (*p) {
        unsigned c = *p++;
        if (c == '^') {
            if (!*p)
                break;
            if (*p >= '0' && *p <= '9') {
                int code = *p++ - '0';
                if (draw && colorcodes && code <= 8)
                    glColor4f(font_codecolours[code][0], font_codecolours[code][1],
                              font_codecolours[code][2], font_textalpha);
                continue;
            }
            c = *p++; /* the caret is dropped; the byte after it is a glyph */
        }
        const glyph_t *g = &f->glyphs[c];
        if (!g->present)
            continue;
        float advance = size * g->aspect;
        if (draw)
            Font_Quad(g, pen, y, pen + advance, y + size);
        pen += advance - 1;
    }
    if (draw)
        glEnd();
    return pen - x;
}
