/*
 * test_texture.cpp -- TGA reading (accepted kinds, refused kinds, files
 * shorter than their headers claim), the reference-counted texture cache,
 * uploads without a context, and real uploads read back from OpenGL.
 */
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <string>
#include <vector>

#include "fs.h"
#include "glcontext.h"
#include "glstate.h"
#include "gk_support.h"
#include "texture.h"
#include "tgawriter.h"

namespace {

bool Read(const std::string &file, texture_t *t)
{
    *t = texture_t{};
    return Tex_ReadTGA((const unsigned char *)file.data(), file.size(), t) != 0;
}

std::string Bytes(const texture_t &t)
{
    return std::string((const char *)t.pixels, (size_t)t.width * t.height * t.depth / 8);
}

TEST(TgaRead, TrueColourBecomesRgbWithRowsKept)
{
    gk::TgaHeader h;
    h.idlength = 3;
    h.width = 2;
    h.height = 2;
    /* blue-green-red in the file, rows in file order */
    std::string px = std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c", 12);
    texture_t t;
    ASSERT_TRUE(Read(gk::MakeTga(h, "abc", "", px), &t));
    EXPECT_EQ(t.width, 2);
    EXPECT_EQ(t.height, 2);
    EXPECT_EQ(t.depth, 24);
    EXPECT_EQ(Bytes(t), std::string("\x03\x02\x01\x06\x05\x04\x09\x08\x07\x0c\x0b\x0a", 12));
    free(t.pixels);

    h.depth = 32;
    h.descriptor = 8;
    h.height = 1;
    ASSERT_TRUE(Read(gk::MakeTga(h, "abc", "", std::string("\x10\x20\x30\x40\x50\x60\x70\x80", 8)), &t));
    EXPECT_EQ(t.depth, 32);
    EXPECT_EQ(Bytes(t), std::string("\x30\x20\x10\x40\x70\x60\x50\x80", 8));
    free(t.pixels);
}

TEST(TgaRead, ColourMappedIndicesAreInvertedAndMapSkipped)
{
    for (int bits : {24, 16, 32}) {
        gk::TgaHeader h;
        h.idlength = 2;
        h.cmaptype = 1;
        h.imagetype = 1;
        h.cmaplength = 256;
        h.cmapbits = bits;
        h.width = 3;
        h.height = 1;
        h.depth = 8;
        std::string cmap(256 * bits / 8, '\x77');
        texture_t t;
        ASSERT_TRUE(Read(gk::MakeTga(h, "id", cmap, std::string("\x00\x0a\xff", 3)), &t)) << bits;
        EXPECT_EQ(t.depth, 8);
        EXPECT_EQ(Bytes(t), std::string("\xff\xf5\x00", 3)) << bits;
        free(t.pixels);
    }
}

TEST(TgaRead, UnsupportedKindsAreRefused)
{
    struct Case {
        const char *what;
        int type, cmaptype, cmaplen, depth, desc;
    } cases[] = {
        {"24-bit with top-left origin", 2, 0, 0, 24, 32},
        {"run-length true colour", 10, 0, 0, 24, 0},
        {"run-length colour-mapped", 9, 1, 256, 8, 0},
        {"grey", 3, 0, 0, 8, 0},
        {"32-bit without alpha bits", 2, 0, 0, 32, 0},
        {"32-bit top-left", 2, 0, 0, 32, 40},
        {"16-bit", 2, 0, 0, 16, 0},
        {"true colour with a colour map", 2, 1, 256, 24, 0},
        {"colour map of 255 entries", 1, 1, 255, 8, 0},
        {"colour-mapped without map type", 1, 0, 256, 8, 0},
        {"colour-mapped 16-bit indices", 1, 1, 256, 16, 0},
    };
    for (const Case &c : cases) {
        gk::TgaHeader h;
        h.imagetype = c.type;
        h.cmaptype = c.cmaptype;
        h.cmaplength = c.cmaplen;
        h.cmapbits = c.cmaplen ? 24 : 0;
        h.width = h.height = 2;
        h.depth = c.depth;
        h.descriptor = c.desc;
        texture_t t;
        EXPECT_FALSE(Read(gk::MakeTga(h, "", std::string(c.cmaplen * 3, 0), std::string(64, 0)), &t))
            << c.what;
        EXPECT_EQ(t.pixels, nullptr) << c.what;
    }
}

TEST(TgaRead, FilesShorterThanTheirHeadersAreRefused)
{
    texture_t t;
    std::string good = gk::SolidRgb(4, 4, 1, 2, 3);
    ASSERT_TRUE(Read(good, &t));
    free(t.pixels);
    EXPECT_FALSE(Read(good.substr(0, good.size() - 1), &t)) << "one pixel byte short";
    EXPECT_FALSE(Read(good.substr(0, 17), &t)) << "short header";
    EXPECT_FALSE(Tex_ReadTGA(nullptr, 0, &t));

    gk::TgaHeader h;
    h.idlength = 255; /* id field runs past the end */
    h.width = h.height = 1;
    EXPECT_FALSE(Read(gk::MakeTga(h, "", "", "abc"), &t));

    h = gk::TgaHeader();
    h.imagetype = 1;
    h.cmaptype = 1;
    h.cmaplength = 256;
    h.cmapbits = 32;
    h.depth = 8;
    h.width = h.height = 1;
    EXPECT_FALSE(Read(gk::MakeTga(h, "", std::string(1023, 0), ""), &t)) << "map cut short";
    EXPECT_FALSE(Read(gk::MakeTga(h, "", std::string(1024, 0), ""), &t)) << "no index byte";

    h = gk::TgaHeader();
    h.width = 65535;
    h.height = 65535;
    EXPECT_FALSE(Read(gk::MakeTga(h, "", "", std::string(100, 0)), &t)) << "huge claim";
    h.width = 0;
    h.height = 4;
    EXPECT_FALSE(Read(gk::MakeTga(h, "", "", std::string(100, 0)), &t)) << "no width";
}

class TexCache : public ::testing::Test {
protected:
    gk::TempDir dir;
    void SetUp() override { GLS_Reset(0, 0, 0); }
    std::string Image(const std::string &name, const std::string &bytes)
    {
        EXPECT_TRUE(gk::WriteFile(dir / (name + ".tga"), bytes));
        return dir / name;
    }
};

TEST_F(TexCache, SameNameSharesOneTextureUntilTheLastRelease)
{
    std::string p = Image("sky", gk::SolidRgb(4, 2, 9, 8, 7));
    int before = Tex_CacheCount();
    texture_t *a = Tex_Get(p.c_str(), 1);
    ASSERT_NE(a, nullptr);
    texture_t *b = Tex_Get(p.c_str(), 0);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a->refcount, 2);
    EXPECT_EQ(Tex_CacheCount(), before + 1);
    EXPECT_STREQ(a->name, p.c_str());
    EXPECT_EQ(a->pixels[0], 9);
    Tex_Release(a);
    EXPECT_EQ(Tex_CacheCount(), before + 1);
    Tex_Release(b);
    EXPECT_EQ(Tex_CacheCount(), before);
    Tex_Release(nullptr); /* harmless */
}

TEST_F(TexCache, MissingOrBrokenFilesGiveNothingAndLeaveNoEntry)
{
    int before = Tex_CacheCount();
    EXPECT_EQ(Tex_Get((dir / "nothere").c_str(), 1), nullptr);
    gk::TgaHeader h;
    h.imagetype = 10;
    h.width = h.height = 1;
    std::string p = Image("rle", gk::MakeTga(h, "", "", "abc"));
    EXPECT_EQ(Tex_Get(p.c_str(), 1), nullptr);
    EXPECT_EQ(Tex_CacheCount(), before);
}

TEST_F(TexCache, PathsLongerThan250CharactersAreRefused)
{
    /* build a directory so that dir/xxx/t is exactly 250 and 251 long */
    std::string base = dir.path + "/";
    ASSERT_LT(base.size() + 10, 240u);
    std::string sub = base + std::string(250 - base.size() - 2, 'x');
    ASSERT_TRUE(gk::MakeDirs(sub));
    std::string p250 = sub + "/t", p251 = sub + "/tt";
    ASSERT_EQ(p250.size(), 250u);
    ASSERT_TRUE(gk::WriteFile(p250 + ".tga", gk::SolidRgb(1, 1, 1, 1, 1)));
    ASSERT_TRUE(gk::WriteFile(p251 + ".tga", gk::SolidRgb(1, 1, 1, 1, 1)));
    texture_t *t = Tex_Get(p250.c_str(), 0);
    EXPECT_NE(t, nullptr);
    EXPECT_EQ(Tex_Get(p251.c_str(), 0), nullptr);
    Tex_Release(t);
}

TEST_F(TexCache, HoldsAtMost128Textures)
{
    int before = Tex_CacheCount();
    std::vector<texture_t *> held;
    for (int i = 0; i < TEX_MAX - before; i++) {
        texture_t *t = Tex_Get(Image("t" + std::to_string(i), gk::SolidRgb(1, 1, 0, 0, 0)).c_str(), 0);
        ASSERT_NE(t, nullptr) << i;
        held.push_back(t);
    }
    std::string extra = Image("extra", gk::SolidRgb(1, 1, 0, 0, 0));
    EXPECT_EQ(Tex_Get(extra.c_str(), 0), nullptr);
    /* a name already cached is still found */
    texture_t *again = Tex_Get(held[5]->name, 0);
    EXPECT_EQ(again, held[5]);
    Tex_Release(again);
    Tex_Release(held[0]);
    held.erase(held.begin());
    texture_t *t = Tex_Get(extra.c_str(), 0);
    EXPECT_NE(t, nullptr);
    held.push_back(t);
    for (texture_t *h : held)
        Tex_Release(h);
    EXPECT_EQ(Tex_CacheCount(), before);
}

TEST_F(TexCache, UploadWithoutContextKeepsPixelsAndSucceeds)
{
    texture_t *t = Tex_Get(Image("h", gk::SolidRgb(2, 2, 5, 6, 7)).c_str(), 1);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(Tex_Upload(t), 1);
    EXPECT_EQ(t->uploaded, 0);
    EXPECT_EQ(t->glname, 0u);
    ASSERT_NE(t->pixels, nullptr);
    EXPECT_EQ(t->pixels[3], 5);
    Tex_Release(t);
}

class TexGL : public ::testing::Test {
protected:
    gk::TempDir dir;
    static bool open;
    static void SetUpTestSuite() { open = gk::GLOpen(64, 64); }
    static void TearDownTestSuite()
    {
        if (open)
            gk::GLClose();
    }
    void SetUp() override
    {
        if (!open)
            GTEST_SKIP() << "no OpenGL context: " << (Vid_ErrorText() ? Vid_ErrorText() : "");
    }
    texture_t *Get(const std::string &name, const std::string &bytes)
    {
        EXPECT_TRUE(gk::WriteFile(dir / (name + ".tga"), bytes));
        return Tex_Get((dir / name).c_str(), 1);
    }
    std::string Level0(texture_t *t, GLenum format, int bpp)
    {
        std::string out((size_t)t->width * t->height * bpp, '\0');
        glBindTexture(GL_TEXTURE_2D, t->glname);
        gls.boundknown = 0;
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
        return out;
    }
};
bool TexGL::open;

TEST_F(TexGL, RowsWhoseLengthIsNoMultipleOfFourUploadExactly)
{
    std::string rgb = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c";
    texture_t *t = Get("odd", gk::MakeTgaRgb(2, 2, rgb));
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->uploaded, 1);
    EXPECT_TRUE(glIsTexture(t->glname));
    EXPECT_EQ(Level0(t, GL_RGB, 3), rgb);
    GLint v = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &v);
    EXPECT_EQ(v, GL_LINEAR_MIPMAP_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &v);
    EXPECT_EQ(v, GL_REPEAT);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &v);
    EXPECT_EQ(v, 1) << "mipmap level 1";
    EXPECT_EQ(Tex_Upload(t), 1) << "second upload is a no-op";
    Tex_Release(t);
}

TEST_F(TexGL, AlphaAndColourMappedImagesUploadWithTheirOwnComponentCount)
{
    std::string rgba = "\x10\x20\x30\x40\x50\x60\x70\x80";
    texture_t *t = Get("alpha", gk::MakeTgaRgba(2, 1, rgba));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(Level0(t, GL_RGBA, 4), rgba);
    Tex_Release(t);

    gk::TgaHeader h;
    h.cmaptype = 1;
    h.imagetype = 1;
    h.cmaplength = 256;
    h.cmapbits = 24;
    h.width = 2;
    h.height = 2;
    h.depth = 8;
    t = Get("mapped", gk::MakeTga(h, "", std::string(768, 0), std::string("\x00\x10\x80\xff", 4)));
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->uploaded, 1);
    EXPECT_EQ(Level0(t, GL_LUMINANCE, 1), std::string("\xff\xef\x7f\x00", 4));
    Tex_Release(t);
}

TEST_F(TexGL, LastReleaseDeletesTheGLTexture)
{
    texture_t *a = Get("shared", gk::SolidRgb(4, 4, 1, 2, 3));
    ASSERT_NE(a, nullptr);
    texture_t *b = Tex_Get(a->name, 1);
    GLuint name = a->glname;
    ASSERT_NE(name, 0u);
    Tex_Release(a);
    EXPECT_TRUE(glIsTexture(name));
    Tex_Release(b);
    EXPECT_FALSE(glIsTexture(name));
}

} // namespace
