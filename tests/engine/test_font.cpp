/*
 * test_font.cpp -- ".font" parsing, text measuring with colour codes and
 * the one-unit overlap, the font cache with its whitened 32-bit images,
 * broken font files, and colour codes, text alpha and billboard layout
 * read back from real drawing.
 */
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <string>
#include <vector>

#include "font.h"
#include "glcontext.h"
#include "glstate.h"
#include "gk_support.h"
#include "texture.h"
#include "tgawriter.h"

namespace {

font_t Parsed(const char *text, int h)
{
    font_t f{};
    Font_ParseGlyphs(&f, text, h);
    return f;
}

TEST(FontParse, GlyphLinesBadLinesAndLaterLinesWin)
{
    font_t f = Parsed("A 0 0 16 32\r\n"
                      "B 1 2 3\n"     /* too few values */
                      "C x y z w\n"   /* not numbers */
                      "D 0 5 8 5\n"   /* no height */
                      "F 1 2\n3 4\n"  /* values run on into the next line */
                      "\n"
                      "E 0 0 8 16\n"
                      "  0 0 8 16\n\xe4 0 0 16 16\n" /* a space and bytes above 127 are glyphs too */
                      "G -2147483648 -2147483648 2147483647 2147483647\n"
                      "A 0 0 16 32",  /* replaces nothing but itself; last line without line feed */
                      256);
    const glyph_t &g = f.glyphs['A'];
    ASSERT_EQ(g.present, 1);
    EXPECT_EQ((std::vector<float>{g.aspect, g.ul, g.vt, g.ur, g.vb}),
              (std::vector<float>{0.5f, 0, 1, 0.0625f, 0.875f}));
    for (int c : {'B', 'C', 'D', 'F'})
        EXPECT_EQ(f.glyphs[c].present, 0) << (char)c;
    for (int c : {(int)'E', (int)' ', 0xe4, (int)'G'})
        EXPECT_EQ(f.glyphs[c].present, 1) << c;
    EXPECT_FLOAT_EQ(f.glyphs['G'].aspect, 1.0f) << "extreme values stay finite";
    EXPECT_FLOAT_EQ(Parsed("A 0 0 16 32\nA 0 0 32 32\n", 256).glyphs['A'].aspect, 1.0f);
}

TEST(FontMeasure, ColourCodesTakeNoRoomAndCaretsDropOut)
{
    font_t f = Parsed("H 0 0 10 10\ni 0 0 10 10\n! 0 0 10 10\nx 0 0 10 10\n^ 0 0 10 10\n", 64);
    struct { const char *text; int codes, glyphs; } cases[] = {
        {"^1Hi^7!", 1, 3}, {"^1Hi^7!", 0, 3}, {"^9H", 1, 1}, {"^xH", 1, 2} /* x after the caret */,
        {"^^1", 1, 1} /* second caret is a glyph */, {"Hi^", 1, 2} /* lone caret ends */,
        {"H?i", 1, 2} /* absent glyph */, {"", 1, 0}};
    for (const auto &c : cases)
        EXPECT_FLOAT_EQ(Font_DrawText(0, 0, 0, &f, 10, c.codes, c.text), c.glyphs * 9.0f) << c.text;
    EXPECT_FLOAT_EQ(Font_DrawText(0, 50, 7, &f, 10, 1, "HH"), 18.0f) << "width, not end";
    EXPECT_FLOAT_EQ(Font_DrawText(0, 0, 0, nullptr, 10, 1, "H"), 0);
}

class FontCache : public ::testing::Test {
protected:
    gk::TempDir dir;
    void SetUp() override { GLS_Reset(0, 0, 0); }
};

TEST_F(FontCache, LoadsWhitensAndSharesUntilTheLastRelease)
{
    ASSERT_TRUE(gk::WriteFile(dir / "big.tga", gk::SolidRgba(4, 4, 10, 20, 30, 77)));
    ASSERT_TRUE(gk::WriteFile(dir / "big.font", "A 0 0 2 4\n"));
    int fonts = Font_CacheCount(), texes = Tex_CacheCount();
    font_t *f = Font_Get((dir / "big").c_str());
    ASSERT_NE(f, nullptr);
    ASSERT_NE(f->tex, nullptr);
    std::string white;
    for (int i = 0; i < 16; i++)
        white += "\xff\xff\xff\x4d"; /* colour whitened, alpha 77 kept */
    EXPECT_EQ(std::string((const char *)f->tex->pixels, 64), white);
    EXPECT_FLOAT_EQ(f->glyphs['A'].aspect, 0.5f);
    EXPECT_FLOAT_EQ(f->glyphs['A'].vb, 0.0f);
    font_t *g = Font_Get((dir / "big").c_str());
    EXPECT_EQ(f, g);
    EXPECT_EQ(Font_CacheCount(), fonts + 1);
    Font_Release(g);
    EXPECT_EQ(Font_CacheCount(), fonts + 1);
    Font_Release(f);
    EXPECT_EQ(Font_CacheCount(), fonts);
    EXPECT_EQ(Tex_CacheCount(), texes) << "the font's texture goes with it";
}

TEST_F(FontCache, BrokenFontsGiveNothingAndLeaveNoEntries)
{
    int fonts = Font_CacheCount(), texes = Tex_CacheCount();
    std::string cut = gk::SolidRgba(4, 4, 0, 0, 0, 0);
    cut.resize(cut.size() - 3);
    /* only a glyph table; only an image; a 24-bit image (no alpha to shape
     * glyphs); a truncated image */
    gk::WriteFile(dir / "nofont.tga", gk::SolidRgba(4, 4, 0, 0, 0, 0));
    gk::WriteFile(dir / "rgb.tga", gk::SolidRgb(4, 4, 0, 0, 0));
    gk::WriteFile(dir / "cut.tga", cut);
    for (const char *n : {"notga", "rgb", "cut"})
        gk::WriteFile(dir / (std::string(n) + ".font"), "A 0 0 2 4\n");
    for (const char *n : {"notga", "nofont", "rgb", "cut"})
        EXPECT_EQ(Font_Get((dir / n).c_str()), nullptr) << n;
    EXPECT_EQ(Font_Get(std::string(250, 'f').c_str()), nullptr);
    EXPECT_EQ(Font_CacheCount(), fonts);
    EXPECT_EQ(Tex_CacheCount(), texes);

    /* an empty or binary glyph table still makes a (glyph-less) font */
    for (std::string table : {std::string(), std::string("\0\xff\n\x01 1 1 1 1", 13)}) {
        ASSERT_TRUE(gk::WriteFont(dir / "bin", 4, table));
        font_t *f = Font_Get((dir / "bin").c_str());
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->glyphs[1].present, 0) << "text ends at the first zero byte";
        EXPECT_FLOAT_EQ(Font_DrawText(0, 0, 0, f, 10, 1, "abc"), 0);
        Font_Release(f);
    }
}

TEST_F(FontCache, HoldsAtMost32Fonts)
{
    int before = Font_CacheCount();
    std::vector<font_t *> held;
    for (int i = 0; i <= FONT_MAX - before; i++) {
        std::string p = dir / ("f" + std::to_string(i));
        ASSERT_TRUE(gk::WriteFont(p, 4, "A 0 0 1 1\n"));
        held.push_back(Font_Get(p.c_str()));
        ASSERT_EQ(held.back() != nullptr, i < FONT_MAX - before) << i;
    }
    Font_Release(held[0]);
    held[0] = Font_Get((dir / ("f" + std::to_string(FONT_MAX - before))).c_str());
    EXPECT_NE(held[0], nullptr);
    for (font_t *h : held)
        Font_Release(h);
    EXPECT_EQ(Font_CacheCount(), before);
}

/* Drawing: a 400 x 300 window in pixel units, a font whose glyphs are
 * the whole (white, opaque) image. */
class FontGL : public gk::GLTest<400, 300> {
protected:
    gk::TempDir dir;
    font_t *font = nullptr;
    void SetUp() override
    {
        GLTest::SetUp();
        if (IsSkipped())
            return;
        ASSERT_TRUE(gk::WriteFont(dir / "f", 64, "H 0 0 64 64\ni 0 0 64 64\n! 0 0 64 64\n"));
        font = Font_Get((dir / "f").c_str());
        ASSERT_NE(font, nullptr);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 400, 0, 300, -100, 100);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        gls.depthtest = 0;
        GLS_Texture2D(1);
        GLS_BindTexture(font->tex->glname);
        glColor4f(1, 1, 1, 1);
        Font_SetTextAlpha(1);
    }
    void TearDown() override
    {
        Font_Release(font);
        Font_SetBillboard(0);
    }
};

bool Is(gk::Rgb c, int r, int g, int b)
{
    return abs(c.r - r) < 16 && abs(c.g - g) < 16 && abs(c.b - b) < 16;
}

TEST_F(FontGL, ColourCodesColourTheFollowingGlyphsWithTheTextAlpha)
{
    glColor4f(0, 0, 1, 1);
    EXPECT_FLOAT_EQ(Font_DrawText(1, 10, 100, font, 60, 1, "^1Hi^7!^9H"), 4 * 59);
    EXPECT_TRUE(Is(gk::GLPixel(40, 130), 255, 0, 0));
    EXPECT_TRUE(Is(gk::GLPixel(100, 130), 255, 0, 0));
    EXPECT_TRUE(Is(gk::GLPixel(160, 130), 255, 255, 255)) << "^7 is white";
    EXPECT_TRUE(Is(gk::GLPixel(220, 130), 255, 255, 255)) << "^9 keeps the colour";
    EXPECT_TRUE(Is(gk::GLPixel(40, 170), 0, 0, 0)) << "nothing above the line";

    /* without colour codes the current colour stays */
    gk::GLClearAll();
    glColor4f(0, 1, 0, 1);
    Font_DrawText(1, 10, 100, font, 60, 0, "^1H");
    EXPECT_TRUE(Is(gk::GLPixel(40, 130), 0, 255, 0));

    gk::GLClearAll();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    gls.blend = 1;
    Font_SetTextAlpha(0.5f);
    Font_DrawText(1, 10, 100, font, 60, 1, "^1H");
    EXPECT_NEAR(gk::GLPixel(40, 130).r, 128, 4);
    glDisable(GL_BLEND);
    gls.blend = 0;
}

TEST_F(FontGL, BillboardLaysGlyphsOnTheCameraAxes)
{
    /* a camera turned 90 degrees about y would see flat text edge-on;
     * in billboard mode it still faces the viewer */
    glTranslatef(200, 150, 0);
    glRotatef(90, 0, 1, 0);
    Font_DrawText(1, -30, -30, font, 60, 0, "H");
    EXPECT_LT(gk::GLPixel(200, 150).r, 10) << "flat text is edge-on";
    Font_SetBillboard(1);
    Font_DrawText(1, -30, -30, font, 60, 0, "H");
    Font_SetBillboard(0);
    EXPECT_GT(gk::GLPixel(200, 150).r, 240);
    EXPECT_GT(gk::GLPixel(225, 175).r, 240);
    EXPECT_LT(gk::GLPixel(235, 150).r, 10);
}

} // namespace
