/* test_font.cpp -- ".font" parsing, text measuring and the font cache. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "font.h"
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
    EXPECT_EQ((std::vector<float>{Font_DrawText(0, 50, 7, &f, 10, 1, "HH"), Font_DrawText(0, 0, 0, nullptr, 10, 1, "H")}),
              (std::vector<float>{18, 0})) << "the width, not the end; nothing without a font";
}

struct FontCache : ::testing::Test {
    gk::TempDir dir;
    void SetUp() override { GLS_Reset(0, 0, 0); }
};

TEST_F(FontCache, LoadsWhitensAndTakesItsTextureAlongAtTheRelease)
{
    ASSERT_TRUE(gk::WriteFile(dir / "big.tga", gk::SolidRgba(4, 4, 10, 20, 30, 77)));
    ASSERT_TRUE(gk::WriteFile(dir / "big.font", "A 0 0 2 4\n"));
    int fonts = Font_CacheCount(), texes = Tex_CacheCount();
    font_t *f = Font_Get((dir / "big").c_str());
    ASSERT_TRUE(f && f->tex);
    std::string white;
    for (int i = 0; i < 16; i++)
        white += "\xff\xff\xff\x4d"; /* colour whitened, alpha 77 kept */
    EXPECT_EQ(std::string((const char *)f->tex->pixels, 64), white);
    EXPECT_EQ((std::vector<float>{f->glyphs['A'].aspect, f->glyphs['A'].vb}), (std::vector<float>{0.5f, 0}));
    Font_Release(f);
    EXPECT_EQ((std::vector<int>{Font_CacheCount(), Tex_CacheCount()}), (std::vector<int>{fonts, texes})) << "the font's texture goes with it";
}

TEST_F(FontCache, BrokenFontsGiveNothingAndLeaveNoEntries)
{
    int fonts = Font_CacheCount(), texes = Tex_CacheCount();
    std::string cut = gk::SolidRgba(4, 4, 0, 0, 0, 0);
    cut.resize(cut.size() - 3);
    /* only a glyph table */
    gk::WriteFile(dir / "nofont.tga", gk::SolidRgba(4, 4, 0, 0, 0, 0));
    gk::WriteFile(dir / "rgb.tga", gk::SolidRgb(4, 4, 0, 0, 0));
    gk::WriteFile(dir / "cut.tga", cut);
    for (const char *n : {"notga", "rgb", "cut"})
        gk::WriteFile(dir / (std::string(n) + ".font"), "A 0 0 2 4\n");
    for (const char *n : {"notga", "nofont", "rgb", "cut"})
        EXPECT_EQ(Font_Get((dir / n).c_str()), nullptr) << n;
    EXPECT_EQ(Font_Get(std::string(250, 'f').c_str()), nullptr);
    EXPECT_EQ((std::vector<int>{Font_CacheCount(), Tex_CacheCount()}), (std::vector<int>{fonts, texes}));

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

} // namespace
