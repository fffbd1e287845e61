/*
 * test_font.cpp -- ".font" parsing, text measuring with colour codes and
 * the one-unit overlap, the font cache with its whitened 32-bit images,
 * broken font files, and colour codes, text alpha and billboard layout
 * read back from real drawing.
 */
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <climits>
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

TEST(FontParse, GlyphRectangleGivesAspectAndTextureCoordinates)
{
    font_t f = Parsed("A 0 0 16 32\n", 256);
    const glyph_t &g = f.glyphs['A'];
    ASSERT_EQ(g.present, 1);
    EXPECT_FLOAT_EQ(g.aspect, 0.5f);
    EXPECT_FLOAT_EQ(g.ul, 0.0f);
    EXPECT_FLOAT_EQ(g.vt, 1.0f);
    EXPECT_FLOAT_EQ(g.ur, 0.0625f);
    EXPECT_FLOAT_EQ(g.vb, 0.875f);
    EXPECT_FLOAT_EQ(Font_DrawText(0, 0, 0, &f, 20, 1, "AA"), 18.0f);
    EXPECT_FLOAT_EQ(Font_DrawText(0, 50, 7, &f, 20, 1, "AA"), 18.0f) << "width, not end";
    EXPECT_EQ(f.glyphs['B'].present, 0);
}

TEST(FontParse, BadLinesAreSkippedAndLaterLinesWin)
{
    font_t f = Parsed("A 0 0 16 32\r\n"
                      "B 1 2 3\n"           /* too few values */
                      "C x y z w\n"         /* not numbers */
                      "D 0 5 8 5\n"         /* no height */
                      "\n"
                      "A 0 0 32 32\n"       /* replaces the first A */
                      "E 0 0 8 16",         /* last line without line feed */
                      256);
    EXPECT_FLOAT_EQ(f.glyphs['A'].aspect, 1.0f);
    EXPECT_EQ(f.glyphs['B'].present, 0);
    EXPECT_EQ(f.glyphs['C'].present, 0);
    EXPECT_EQ(f.glyphs['D'].present, 0);
    EXPECT_EQ(f.glyphs['E'].present, 1);
    /* the values must come from one line, not run on into the next */
    font_t g = Parsed("F 1 2\n3 4\n", 256);
    EXPECT_EQ(g.glyphs['F'].present, 0);
    /* extreme values stay finite */
    font_t h = Parsed("G -2147483648 -2147483648 2147483647 2147483647\n", 1);
    EXPECT_EQ(h.glyphs['G'].present, 1);
    EXPECT_FLOAT_EQ(h.glyphs['G'].aspect, 1.0f);
    /* a space and bytes above 127 are glyphs too */
    font_t s = Parsed("  0 0 8 16\n\xe4 0 0 16 16\n", 64);
    EXPECT_EQ(s.glyphs[' '].present, 1);
    EXPECT_EQ(s.glyphs[0xe4].present, 1);
}

TEST(FontMeasure, ColourCodesTakeNoRoomAndCaretsDropOut)
{
    font_t f = Parsed("H 0 0 10 10\ni 0 0 10 10\n! 0 0 10 10\nx 0 0 10 10\n^ 0 0 10 10\n", 64);
    const float size = 10, one = size - 1;
    EXPECT_FLOAT_EQ(Font_DrawText(0, 0, 0, &f, size, 1, "^1Hi^7!"), 3 * one);
    EXPECT_FLOAT_EQ(Font_DrawText(0, 0, 0, &f, size, 0, "^1Hi^7!"), 3 * one) << "codes consumed";
    EXPECT_FLOAT_EQ(Font_DrawText(0, 0, 0, &f, size, 1, "^9H"), one);
    EXPECT_FLOAT_EQ(Font_DrawText(0, 0, 0, &f, size, 1, "^xH"), 2 * one) << "x after the caret";
    EXPECT_FLOAT_EQ(Font_DrawText(0, 0, 0, &f, size, 1, "^^1"), one) << "second caret is a glyph";
    EXPECT_FLOAT_EQ(Font_DrawText(0, 0, 0, &f, size, 1, "Hi^"), 2 * one) << "lone caret ends";
    EXPECT_FLOAT_EQ(Font_DrawText(0, 0, 0, &f, size, 1, "H?i"), 2 * one) << "absent glyph";
    EXPECT_FLOAT_EQ(Font_DrawText(0, 0, 0, &f, size, 1, ""), 0);
    EXPECT_FLOAT_EQ(Font_DrawText(0, 0, 0, nullptr, size, 1, "H"), 0);
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
    std::string p = dir / "big";
    font_t *f = Font_Get(p.c_str());
    ASSERT_NE(f, nullptr);
    ASSERT_NE(f->tex, nullptr);
    for (int i = 0; i < 16; i++) {
        EXPECT_EQ(f->tex->pixels[i * 4 + 0], 255);
        EXPECT_EQ(f->tex->pixels[i * 4 + 1], 255);
        EXPECT_EQ(f->tex->pixels[i * 4 + 2], 255);
        EXPECT_EQ(f->tex->pixels[i * 4 + 3], 77);
    }
    EXPECT_FLOAT_EQ(f->glyphs['A'].aspect, 0.5f);
    EXPECT_FLOAT_EQ(f->glyphs['A'].vb, 0.0f);
    font_t *g = Font_Get(p.c_str());
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
    /* only a glyph table */
    ASSERT_TRUE(gk::WriteFile(dir / "notga.font", "A 0 0 2 4\n"));
    EXPECT_EQ(Font_Get((dir / "notga").c_str()), nullptr);
    /* only an image */
    ASSERT_TRUE(gk::WriteFile(dir / "nofont.tga", gk::SolidRgba(4, 4, 0, 0, 0, 0)));
    EXPECT_EQ(Font_Get((dir / "nofont").c_str()), nullptr);
    /* a 24-bit image has no alpha to shape glyphs */
    ASSERT_TRUE(gk::WriteFile(dir / "rgb.tga", gk::SolidRgb(4, 4, 0, 0, 0)));
    ASSERT_TRUE(gk::WriteFile(dir / "rgb.font", "A 0 0 2 4\n"));
    EXPECT_EQ(Font_Get((dir / "rgb").c_str()), nullptr);
    /* a truncated image */
    std::string tga = gk::SolidRgba(4, 4, 0, 0, 0, 0);
    ASSERT_TRUE(gk::WriteFile(dir / "cut.tga", tga.substr(0, tga.size() - 3)));
    ASSERT_TRUE(gk::WriteFile(dir / "cut.font", "A 0 0 2 4\n"));
    EXPECT_EQ(Font_Get((dir / "cut").c_str()), nullptr);
    /* a path of 250 characters or more */
    EXPECT_EQ(Font_Get(std::string(250, 'f').c_str()), nullptr);
    EXPECT_EQ(Font_CacheCount(), fonts);
    EXPECT_EQ(Tex_CacheCount(), texes);

    /* an empty or binary glyph table still makes a (glyph-less) font */
    ASSERT_TRUE(gk::WriteFont(dir / "empty", 4, ""));
    font_t *f = Font_Get((dir / "empty").c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_FLOAT_EQ(Font_DrawText(0, 0, 0, f, 10, 1, "abc"), 0);
    Font_Release(f);
    ASSERT_TRUE(gk::WriteFont(dir / "bin", 4, std::string("\0\xff\n\x01 1 1 1 1", 13)));
    f = Font_Get((dir / "bin").c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->glyphs[0].present, 0) << "text ends at the first zero byte";
    Font_Release(f);
}

TEST_F(FontCache, HoldsAtMost32Fonts)
{
    int before = Font_CacheCount();
    std::vector<font_t *> held;
    for (int i = 0; i < FONT_MAX - before; i++) {
        std::string p = dir / ("f" + std::to_string(i));
        ASSERT_TRUE(gk::WriteFont(p, 4, "A 0 0 1 1\n"));
        font_t *f = Font_Get(p.c_str());
        ASSERT_NE(f, nullptr) << i;
        held.push_back(f);
    }
    ASSERT_TRUE(gk::WriteFont(dir / "extra", 4, "A 0 0 1 1\n"));
    EXPECT_EQ(Font_Get((dir / "extra").c_str()), nullptr);
    Font_Release(held.back());
    held.pop_back();
    font_t *f = Font_Get((dir / "extra").c_str());
    EXPECT_NE(f, nullptr);
    held.push_back(f);
    for (font_t *h : held)
        Font_Release(h);
    EXPECT_EQ(Font_CacheCount(), before);
}

/* Drawing: a 400 x 300 window in pixel units, a font whose glyphs are
 * the whole (white, opaque) image. */
class FontGL : public ::testing::Test {
protected:
    gk::TempDir dir;
    font_t *font = nullptr;
    static bool open;
    static void SetUpTestSuite() { open = gk::GLOpen(400, 300); }
    static void TearDownTestSuite()
    {
        if (open)
            gk::GLClose();
    }
    void SetUp() override
    {
        if (!open)
            GTEST_SKIP() << "no OpenGL context";
        ASSERT_TRUE(gk::WriteFont(dir / "f", 64, "H 0 0 64 64\ni 0 0 64 64\n! 0 0 64 64\n"));
        font = Font_Get((dir / "f").c_str());
        ASSERT_NE(font, nullptr);
        gk::GLClearAll();
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
bool FontGL::open;

TEST_F(FontGL, ColourCodesColourTheFollowingGlyphs)
{
    glColor4f(0, 0, 1, 1);
    float w = Font_DrawText(1, 10, 100, font, 60, 1, "^1Hi^7!^9H");
    EXPECT_FLOAT_EQ(w, 4 * 59);
    gk::Rgb h = gk::GLPixel(40, 130), i = gk::GLPixel(100, 130), bang = gk::GLPixel(160, 130),
            last = gk::GLPixel(220, 130);
    EXPECT_GT(h.r, 240);
    EXPECT_LT(h.g + h.b, 15);
    EXPECT_GT(i.r, 240);
    EXPECT_LT(i.g, 15);
    EXPECT_GT(bang.r + bang.g + bang.b, 3 * 240) << "^7 is white";
    EXPECT_GT(last.g, 240) << "^9 keeps the colour";
    EXPECT_LT(gk::GLPixel(40, 170).r, 10) << "nothing above the line";

    /* without colour codes the current colour stays */
    gk::GLClearAll();
    glColor4f(0, 1, 0, 1);
    Font_DrawText(1, 10, 100, font, 60, 0, "^1H");
    gk::Rgb g = gk::GLPixel(40, 130);
    EXPECT_GT(g.g, 240);
    EXPECT_LT(g.r, 15);
}

TEST_F(FontGL, ColourCodesUseTheTextAlpha)
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    gls.blend = 1;
    Font_SetTextAlpha(0.5f);
    Font_DrawText(1, 10, 100, font, 60, 1, "^1H");
    gk::Rgb h = gk::GLPixel(40, 130);
    EXPECT_NEAR(h.r, 128, 4);
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
