/*
 * cg_font.cpp -- the "tech" font: glyphs rendered with FreeType from one
 * DejaVu face into a square 32-bit image (white, shape in alpha), one cell
 * per byte value of a code page, plus the ".font" text that gives each
 * glyph's rectangle.  "tech" covers Windows-1252 (English, German);
 * "tech_7" covers Windows-1251 (Russian, country code 7).  The face is
 * always the same file, so the content does not depend on which other
 * fonts the machine holds; a glyph wider than its cell is drawn smaller.
 */
#include "cg_common.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <stdio.h>
#include <string.h>
#include <unistd.h>

#define FONT_IMAGE 1024
#define FONT_CELL 64
#define FONT_PAD 3

#define FONT_PIXELS 44

static const char cg_fontfile[] = "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf";
static const char cg_fontpackage[] = "fonts-dejavu-extra";

/* Unicode code point of a byte in the code page, 0 for none. */
static unsigned CodePoint(int cp, int byte)
{
    if (byte < 32 || byte == 127)
        return 0;
    if (byte < 127)
        return (unsigned)byte;
    if (cp == 1251) {
        if (byte >= 0xC0)
            return 0x0410 + (unsigned)(byte - 0xC0);
        if (byte == 0xA8)
            return 0x0401;
        if (byte == 0xB8)
            return 0x0451;
        if (byte == 0xB9)
            return 0x2116;   /* numero sign */
        if (byte == 0xAB || byte == 0xBB || byte == 0xB0 || byte == 0xA9)
            return (unsigned)byte;
        return 0;
    }
    if (byte >= 0xA0)
        return (unsigned)byte;   /* Latin-1 part of Windows-1252 */
    if (byte == 0x80)
        return 0x20AC;
    return 0;
}

/* Ink extents of the code page's glyphs above and below the baseline. */
static void Measure(int cp, FT_Face face, int *above, int *below)
{
    *above = (int)(face->size->metrics.ascender >> 6);
    *below = (int)(-face->size->metrics.descender >> 6);
    for (int byte = 0; byte < 256; byte++) {
        unsigned code = CodePoint(cp, byte);
        FT_UInt gi = code ? FT_Get_Char_Index(face, code) : 0;
        if (!gi || FT_Load_Glyph(face, gi, FT_LOAD_RENDER))
            continue;
        FT_GlyphSlot g = face->glyph;
        if (g->bitmap_top > *above)
            *above = g->bitmap_top;
        if ((int)g->bitmap.rows - g->bitmap_top > *below)
            *below = (int)g->bitmap.rows - g->bitmap_top;
    }
}

/* Renders the glyph of `code` at `pixels`, then smaller until its ink and
 * advance fit `room` pixels.  0 when the face has no such glyph. */
static int LoadFitted(FT_Face face, unsigned code, int pixels, int room)
{
    FT_UInt gi = FT_Get_Char_Index(face, code);
    int ok = 0;
    for (int size = pixels; gi && size > 0; size--) {
        if (FT_Set_Pixel_Sizes(face, 0, (FT_UInt)size) || FT_Load_Glyph(face, gi, FT_LOAD_RENDER))
            break;
        FT_GlyphSlot g = face->glyph;
        int adv = (int)((g->advance.x + 32) >> 6) + 1;
        int left = g->bitmap_left < 0 ? g->bitmap_left : 0;
        int right = g->bitmap_left + (int)g->bitmap.width;
        if ((right > adv ? right : adv) - left <= room) {
            ok = 1;
            break;
        }
    }
    return ok;
}

/* Every glyph gets a rectangle of the full line height holding all of its
 * ink and at least its advance, so nothing is cut off and the baseline is
 * the same for all. */
static int RenderFont(const std::string &datadir, const char *name, int cp, FT_Face face, int pixels)
{
    cg_image_t im;
    CG_ImageInit(&im, FONT_IMAGE, FONT_IMAGE, RGBA(1, 1, 1, 0));
    int asc, desc;
    for (;; pixels--) {   /* the line height of the whole face fits a cell */
        FT_Set_Pixel_Sizes(face, 0, (FT_UInt)pixels);
        Measure(cp, face, &asc, &desc);
        if (asc + desc <= FONT_CELL - 2 || pixels == 1)
            break;
    }
    int lineh = asc + desc;
    std::string text;
    for (int byte = 0; byte < 256; byte++) {
        unsigned code = CodePoint(cp, byte);
        if (!code || !LoadFitted(face, code, pixels, FONT_CELL - 2 * FONT_PAD))
            continue;
        FT_GlyphSlot g = face->glyph;
        int adv = (int)((g->advance.x + 32) >> 6) + 1;
        int left = g->bitmap_left < 0 ? g->bitmap_left : 0;
        int right = g->bitmap_left + (int)g->bitmap.width;
        if (right < adv)
            right = adv;
        int cellx = (byte % 16) * FONT_CELL, celly = (byte / 16) * FONT_CELL;
        int x0 = cellx + FONT_PAD, y0 = celly + (FONT_CELL - lineh) / 2;
        int pen = x0 - left, base = y0 + asc;
        for (unsigned r = 0; r < g->bitmap.rows; r++)
            for (unsigned c = 0; c < g->bitmap.width; c++) {
                int x = pen + g->bitmap_left + (int)c, y = base - g->bitmap_top + (int)r;
                float a = g->bitmap.buffer[r * (unsigned)g->bitmap.pitch + c] / 255.0f;
                cg_color_t *p = CG_Pixel(&im, x, y);
                if (a > p->a)
                    p->a = a;
            }
        char line[64];
        snprintf(line, sizeof line, "%c %d %d %d %d\n", (char)byte, x0, y0, x0 + right - left, y0 + lineh);
        text += line;
    }
    int ok = CG_WriteTGA(datadir + "/" + name + ".tga", &im, 1);
    ok = ok && CG_WriteFile(datadir + "/" + name + ".font", text.data(), text.size());
    if (!ok)
        fprintf(stderr, "content: font %s failed\n", name);
    return !ok;
}

int CG_GenFontsFrom(const std::string &datadir, const char *file, const char *package, int pixels)
{
    if (access(file, R_OK) != 0) {
        fprintf(stderr, "content: the font file %s is missing: install the Debian package %s "
                        "(scripts/deps.sh installs it)\n", file, package);
        return 1;
    }
    FT_Library lib;
    if (FT_Init_FreeType(&lib)) {
        fprintf(stderr, "content: FreeType does not start\n");
        return 1;
    }
    FT_Face face = NULL;
    if (FT_New_Face(lib, file, 0, &face)) {
        fprintf(stderr, "content: %s is not a font FreeType can read: reinstall the Debian package %s\n",
                file, package);
        FT_Done_FreeType(lib);
        return 1;
    }
    int fails = RenderFont(datadir, "tech", 1252, face, pixels);
    fails += RenderFont(datadir, "tech_7", 1251, face, pixels);
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return fails;
}

int CG_GenFonts(const std::string &datadir)
{
    return CG_GenFontsFrom(datadir, cg_fontfile, cg_fontpackage, FONT_PIXELS);
}
