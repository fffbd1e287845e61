/*
 * cg_font.cpp -- the "tech" font: glyphs rendered with FreeType from a
 * DejaVu face into a square 32-bit image (white, shape in alpha), one cell
 * per byte value of a code page, plus the ".font" text that gives each
 * glyph's rectangle.  "tech" covers Windows-1252 (English, German);
 * "tech_7" covers Windows-1251 (Russian, country code 7).
 */
#include "cg_common.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <stdio.h>
#include <string.h>

#define FONT_IMAGE 1024
#define FONT_CELL 64
#define FONT_PAD 3

static const char *const cg_fontfiles[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
};

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

static int RenderFont(const std::string &datadir, const char *name, int cp, FT_Face face)
{
    cg_image_t im;
    CG_ImageInit(&im, FONT_IMAGE, FONT_IMAGE, RGBA(1, 1, 1, 0));
    int asc = (int)(face->size->metrics.ascender >> 6);
    int desc = (int)(-face->size->metrics.descender >> 6);
    int lineh = asc + desc;
    std::string text;
    for (int byte = 0; byte < 256; byte++) {
        unsigned code = CodePoint(cp, byte);
        if (!code)
            continue;
        FT_UInt gi = FT_Get_Char_Index(face, code);
        if (!gi || FT_Load_Glyph(face, gi, FT_LOAD_RENDER))
            continue;
        FT_GlyphSlot g = face->glyph;
        int adv = (int)((g->advance.x + 32) >> 6) + 1;
        if (adv > FONT_CELL - 2 * FONT_PAD)
            adv = FONT_CELL - 2 * FONT_PAD;
        int cx = (byte % 16) * FONT_CELL + FONT_PAD;
        int cy = (byte / 16) * FONT_CELL + (FONT_CELL - lineh) / 2;
        int base = cy + asc;
        for (unsigned r = 0; r < g->bitmap.rows; r++)
            for (unsigned c = 0; c < g->bitmap.width; c++) {
                int x = cx + g->bitmap_left + (int)c, y = base - g->bitmap_top + (int)r;
                int cellx = (byte % 16) * FONT_CELL, celly = (byte / 16) * FONT_CELL;
                if (x < cellx || x >= cellx + FONT_CELL || y < celly || y >= celly + FONT_CELL)
                    continue;
                float a = g->bitmap.buffer[r * (unsigned)g->bitmap.pitch + c] / 255.0f;
                cg_color_t *p = CG_Pixel(&im, x, y);
                if (a > p->a)
                    p->a = a;
            }
        char line[64];
        snprintf(line, sizeof line, "%c %d %d %d %d\n", (char)byte, cx, cy, cx + adv, cy + lineh);
        text += line;
    }
    int ok = CG_WriteTGA(datadir + "/" + name + ".tga", &im, 1);
    ok = ok && CG_WriteFile(datadir + "/" + name + ".font", text.data(), text.size());
    if (!ok)
        fprintf(stderr, "content: font %s failed\n", name);
    return !ok;
}

int CG_GenFonts(const std::string &datadir)
{
    FT_Library lib;
    if (FT_Init_FreeType(&lib)) {
        fprintf(stderr, "content: FreeType does not start\n");
        return 1;
    }
    FT_Face face = NULL;
    for (const char *f : cg_fontfiles)
        if (!FT_New_Face(lib, f, 0, &face))
            break;
        else
            face = NULL;
    if (!face) {
        fprintf(stderr, "content: no DejaVu font found (fonts-dejavu-core)\n");
        FT_Done_FreeType(lib);
        return 1;
    }
    FT_Set_Pixel_Sizes(face, 0, 46);
    int fails = RenderFont(datadir, "tech", 1252, face);
    fails += RenderFont(datadir, "tech_7", 1251, face);
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return fails;
}
