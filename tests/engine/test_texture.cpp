/* test_texture.cpp -- TGA reading, the texture cache and uploads. */
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <string>

#include "glcontext.h"
#include "glstate.h"
#include "gk_support.h"
#include "hitch.h"
#include "texture.h"
#include "tgawriter.h"

namespace {

gk::TgaHeader Header(int type, int cmaplen, int cmapbits, int depth, int desc = 0, int w = 2, int h = 2)
{
    return {.cmaptype = cmaplen ? 1 : 0, .imagetype = type, .cmaplength = cmaplen, .cmapbits = cmapbits,
            .width = w, .height = h, .depth = depth, .descriptor = desc};
}

/* The pixels read from file, "" when it is refused. */
std::string Read(const std::string &file)
{
    texture_t t{};
    if (!Tex_ReadTGA((const unsigned char *)file.data(), file.size(), &t)) {
        EXPECT_EQ(t.pixels, nullptr);
        return "";
    }
    std::string s((const char *)t.pixels, (size_t)t.width * t.height * t.depth / 8);
    free(t.pixels);
    return s;
}

TEST(TgaRead, AcceptedKindsBecomeRgbRgbaOrInvertedIndices)
{
    gk::TgaHeader rgb = Header(2, 0, 0, 24);
    rgb.idlength = 3;
    EXPECT_EQ(Read(gk::MakeTga(rgb, "abc", "", "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c")),
              "\x03\x02\x01\x06\x05\x04\x09\x08\x07\x0c\x0b\x0a");
    EXPECT_EQ(Read(gk::MakeTga(Header(2, 0, 0, 32, 8, 2, 1), "", "", "\x10\x20\x30\x40\x50\x60\x70\x80")),
              "\x30\x20\x10\x40\x70\x60\x50\x80");
    for (int bits : {24, 16, 32}) {
        gk::TgaHeader h = Header(1, 256, bits, 8, 0, 3, 1);
        h.idlength = 2;
        EXPECT_EQ(Read(gk::MakeTga(h, "id", std::string(256 * bits / 8, '\x77'), std::string("\x00\x0a\xff", 3))),
                  std::string("\xff\xf5\x00", 3)) << bits;
    }
}

/* Stored mipmaps: a developer directory from the end of the pixels on names the field of every level */
TEST(TgaRead, StoredMipmapsBehindThePixels)
{
    auto le = [](uint32_t v, int n) { return std::string((const char *)&v, n); };  /* little-endian hosts */
    for (uint32_t dir : {30u, 29u}) {   /* 18 + 12 bytes of header and pixels: at their end, one byte into them */
        std::string f = gk::SolidRgb(2, 2, 9, 9, 9).substr(0, dir) + le(1, 2) + le(0x6d6d, 2) + le(dir + 12, 4) +
                        le(3, 4) + "\x01\x02\x03" + le(0, 4) + le(dir, 4) + std::string("TRUEVISION-XFILE.", 18);
        texture_t t{};
        ASSERT_EQ(Tex_ReadTGA((const unsigned char *)f.data(), f.size(), &t), 1);
        EXPECT_EQ(t.nummips == 1 ? std::string((char *)t.mips, 3) : "", dir == 30 ? "\x03\x02\x01" : "") << dir;
        free(t.pixels);
        free(t.mips);
    }
}

TEST(TgaRead, UnsupportedKindsAndShortFilesAreRefused)
{
    const gk::TgaHeader kinds[] = {
        Header(2, 0, 0, 24, 32),   Header(10, 0, 0, 24),  Header(9, 256, 24, 8), Header(3, 0, 0, 8),
        Header(2, 0, 0, 32, 0),    Header(2, 0, 0, 32, 40), Header(2, 0, 0, 16), Header(2, 256, 24, 24),
        Header(1, 255, 24, 8),     Header(1, 256, 24, 16)};
    for (const gk::TgaHeader &h : kinds)
        EXPECT_EQ(Read(gk::MakeTga(h, "", std::string(h.cmaplength * 3, 0), std::string(64, 0))), "")
            << h.imagetype << " " << h.depth << " " << h.descriptor;
    gk::TgaHeader nomaptype = Header(1, 256, 24, 8);
    nomaptype.cmaptype = 0;
    EXPECT_EQ(Read(gk::MakeTga(nomaptype, "", std::string(768, 0), std::string(64, 0))), "");

    std::string good = gk::SolidRgb(4, 4, 1, 2, 3);
    EXPECT_NE(Read(good), "");
    gk::TgaHeader longid = Header(2, 0, 0, 24, 0, 1, 1);
    longid.idlength = 255;
    gk::TgaHeader mapped = Header(1, 256, 32, 8, 0, 1, 1);
    const std::string shorts[] = {
        good.substr(0, good.size() - 1), good.substr(0, 17), gk::MakeTga(longid, "", "", "abc"),
        gk::MakeTga(mapped, "", std::string(1023, 0), ""), gk::MakeTga(mapped, "", std::string(1024, 0), ""),
        gk::MakeTga(Header(2, 0, 0, 24, 0, 65535, 65535), "", "", std::string(100, 0)),
        gk::MakeTga(Header(2, 0, 0, 24, 0, 0, 4), "", "", std::string(100, 0))};
    for (const std::string &s : shorts)
        EXPECT_EQ(Read(s), "") << s.size();
    texture_t t;
    EXPECT_FALSE(Tex_ReadTGA(nullptr, 0, &t));
}

/* the view's width over its height; a view of no height has 1 */
TEST(GlState, AspectOfAViewAndOfNone)
{
    GLS_Reset(0, 640, 1);
    float one = gls.aspect;
    GLS_Reset(0, 640, 0);
    EXPECT_EQ((std::vector<float>{one, gls.aspect}), (std::vector<float>{640, 1}));
}

struct TexCache : ::testing::Test {
    gk::TempDir dir;
    void SetUp() override { GLS_Reset(0, 0, 0); }
    std::string Image(const std::string &name, const std::string &bytes)
    {
        EXPECT_TRUE(gk::WriteFile(dir / (name + ".tga"), bytes));
        return dir / name;
    }
};

TEST_F(TexCache, NoUploadWithoutAContextAndNothingForBadFiles)
{
    std::string p = Image("sky", gk::SolidRgb(4, 2, 9, 8, 7));
    int before = Tex_CacheCount();
    texture_t *a = Tex_Get(p.c_str(), 1);
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(Tex_Upload(a) == 1 && a->uploaded + (int)a->glname == 0) << "without a context the pixels stay";
    Tex_Release(a);
    Tex_Release(nullptr); /* harmless */
    EXPECT_EQ(Tex_CacheCount(), before);

    EXPECT_EQ(Tex_Get((dir / "nothere").c_str(), 1), nullptr);
    EXPECT_EQ(Tex_Get(Image("rle", gk::MakeTga(Header(10, 0, 0, 24, 0, 1, 1), "", "", "abc")).c_str(), 1), nullptr);
    EXPECT_EQ(Tex_CacheCount(), before);

    /* paths of 250 characters are taken, 251 refused */
    std::string sub = dir.path + "/" + std::string(250 - dir.path.size() - 3, 'x');
    ASSERT_TRUE(gk::MakeDirs(sub) && gk::WriteFile(sub + "/t.tga", gk::SolidRgb(1, 1, 1, 1, 1)) &&
                gk::WriteFile(sub + "/tt.tga", gk::SolidRgb(1, 1, 1, 1, 1)));
    texture_t *t = Tex_Get((sub + "/t").c_str(), 0);
    EXPECT_NE(t, nullptr);
    EXPECT_EQ(Tex_Get((sub + "/tt").c_str(), 0), nullptr);
    Tex_Release(t);
}

/* -timedemo's hitch lines: a frame over twice the median (not at it) names the image read in it, no other */
TEST_F(TexCache, HitchReportNamesTheLoadOfASlowFrame)
{
    std::string p = Image("late", gk::SolidRgb(2, 2, 1, 2, 3)), early = Image("early", gk::SolidRgb(2, 2, 1, 2, 3));
    Hitch_Record(1);
    for (int i = 0; i < 9; i++) {
        Hitch_BeginFrame();
        if (i == 2 || i == 6)
            Tex_Release(Tex_Get((i == 2 ? early : p).c_str(), 0));
        Hitch_EndFrame(i == 6 ? 0.0201 : i == 3 ? 0.020 : 0.010, 0.001, 0);
    }
    EXPECT_EQ(0, Hitch_WriteFrames((dir / "no/frames").c_str()));
    ASSERT_EQ(1, Hitch_WriteFrames((dir / "frames").c_str())); /* frame, wall and CPU ms, game s; six lines of 21 first */
    EXPECT_EQ(gk::FileText(dir / "frames").substr(126), "7 20.100 1.000 0.000\n8 10.000 1.000 0.000\n9 10.000 1.000 0.000\n");
    char *buf = nullptr;
    size_t len = 0;
    FILE *f = open_memstream(&buf, &len);
    EXPECT_EQ(Hitch_Report(f, 0), 1);
    fclose(f);
    std::string out(buf, len), line = out.substr(0, out.find('\n'));
    free(buf);
    Hitch_Record(0);
    Hitch_Record(1);    /* a new recording starts afresh: no notes, frames of its own */
    int kind;
    EXPECT_EQ(Hitch_NoteAt(0, &kind), nullptr);
    Hitch_BeginFrame();
    Hitch_EndFrame(0.01, 0.001, 0);
    Hitch_Record(0);
    EXPECT_TRUE(line.find("frame 7 ") != std::string::npos && line.find(p) != std::string::npos && line.find(early) == std::string::npos) << out;
}

struct TexGL : gk::GLTest<64, 64> {
    gk::TempDir dir;
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

/* Rows whose length is no multiple of four, alpha and colour-mapped images */
TEST_F(TexGL, UploadsReadBackExactly)
{
    std::string rgb = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c";
    texture_t *t = Get("odd", gk::MakeTgaRgb(2, 2, rgb));
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->uploaded == 1 && Level0(t, GL_RGB, 3) == rgb) << "uploaded " << t->uploaded;
    GLint v = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &v);
    EXPECT_EQ(v, GL_LINEAR_MIPMAP_LINEAR);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &v);
    EXPECT_EQ(v, 1) << "mipmap level 1";
    EXPECT_EQ(Tex_Upload(t), 1) << "second upload is a no-op";
    texture_t *shared = Tex_Get(t->name, 1);
    GLuint name = t->glname;
    Tex_Release(t);
    EXPECT_TRUE(glIsTexture(name));
    Tex_Release(shared);
    EXPECT_FALSE(glIsTexture(name)) << "the last release deletes the GL texture";

    t = Get("alpha", gk::MakeTgaRgba(2, 1, "\x10\x20\x30\x40\x50\x60\x70\x80"));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(Level0(t, GL_RGBA, 4), "\x10\x20\x30\x40\x50\x60\x70\x80");
    Tex_Release(t);
    t = Get("mapped", gk::MakeTga(Header(1, 256, 24, 8), "", std::string(768, 0), std::string("\x00\x10\x80\xff", 4)));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(Level0(t, GL_LUMINANCE, 1), std::string("\xff\xef\x7f\x00", 4));
    Tex_Release(t);
}

} // namespace
