/* The content generator's writers read back by the engine's own readers. */
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ase.h"
#include "cg_mesh.h"
#include "fs.h"
#include "gk_support.h"
#include "glcontext.h"
#include "model.h"
#include "texture.h"

namespace {

void Build(cg_model_t *m, float phase)
{
    CG_Sphere(CG_Mesh(m, "ball", "mc_red", CG_UV_NORMAL), XF_TRS(V3(0, 10 * phase, 5), 0, 0, 0, V3(2, 3, 4)), 12, 8);
    CG_Box(CG_Mesh(m, "box", "wicker", CG_UV_EXPLICIT), XF_TRS(V3(20, 0, 0), 0, 30, 0, V3(1, 2, 3)));
    float r[5] = {0, 0.7f, 1, 0.7f, 0}, y[5] = {-1, -0.7f, 0, 0.7f, 1};
    CG_Lathe(CG_Mesh(m, "sky", "sky01", CG_UV_EXPLICIT), XF_S(600, 600, 600), r, y, 5, 16, 1, 1);
}

/* Signed volume: positive when faces turn outwards. */
double Volume(const mdl_mesh_t &me, uint32_t frame)
{
    double v = 0;
    const float *p = me.frames[frame].verts;
    for (uint32_t t = 0; t < me.numtris; t++) {
        const float *a = p + 3 * me.faces[3 * t], *b = p + 3 * me.faces[3 * t + 1], *c = p + 3 * me.faces[3 * t + 2];
        v += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
              a[2] * (b[0] * c[1] - b[1] * c[0])) / 6.0;
    }
    return v;
}

/* Every edge of a closed mesh is used once in each direction. */
bool Closed(const mdl_mesh_t &me)
{
    std::map<std::pair<std::vector<float>, std::vector<float>>, int> edges;
    auto P = [&](uint32_t i) {
        const float *p = me.frames[0].verts + 3 * i;
        return std::vector<float>{p[0], p[1], p[2]};
    };
    for (uint32_t t = 0; t < me.numtris; t++)
        for (int k = 0; k < 3; k++) {
            auto a = P(me.faces[3 * t + k]), b = P(me.faces[3 * t + (k + 1) % 3]);
            edges[{a, b}] += a != b;
            edges[{b, a}] -= a != b;
        }
    return std::all_of(edges.begin(), edges.end(), [](const auto &e) { return e.second == 0; });
}

texture_t ReadTGA(const std::string &path)
{
    std::string bytes;
    texture_t t{};
    EXPECT_TRUE(gk::ReadFile(path, &bytes));
    EXPECT_EQ(Tex_ReadTGA((const unsigned char *)bytes.data(), bytes.size(), &t), 1) << path;
    return t;
}

TEST(Generator, SceneTextKeepsFramesAxesClosedShapesAndFaceSides)
{
    gk::TempDir tmp;
    cg_model_t m;
    Build(&m, 0);
    for (int f = 1; f < 3; f++) {
        cg_model_t fr;
        Build(&fr, f / 2.0f);
        ASSERT_TRUE(CG_AppendFrame(&m, &fr));
    }
    ASSERT_TRUE(CG_WriteASE(tmp / "thing.ase", &m));
    model_t scene{};
    ASSERT_TRUE(ASE_ReadScene((tmp / "thing.ase").c_str(), &scene));
    struct { const char *texture; int sign; } shapes[] = {{"mc_red", 1}, {"wicker", 1}, {"sky01", -1}};
    ASSERT_EQ(scene.nummaterials, 3u);
    ASSERT_EQ(scene.nummeshes, 3u);
    for (uint32_t i = 0; i < 3; i++) {
        EXPECT_STREQ(scene.materials[i].diffusemap.name, shapes[i].texture);
        EXPECT_TRUE(Closed(scene.meshes[i])) << i;
        for (uint32_t f = 0; f < scene.meshes[i].numframes; f++)
            EXPECT_GT(shapes[i].sign * Volume(scene.meshes[i], f), 0) << i << " frame " << f;
    }
    EXPECT_NEAR(Volume(scene.meshes[1], 0), 8 * 6, 1e-2);
    EXPECT_EQ(scene.meshes[0].numframes, 3u);
    Model_FreeArrays(&scene);
}

TEST(Generator, ImagesReadBackWithTheirTopRowOnTop)
{
    gk::TempDir tmp;
    cg_image_t im;
    CG_ImageInit(&im, 4, 2, RGBA(0, 0, 1, 1));
    *CG_Pixel(&im, 0, 0) = RGBA(1, 0, 0, 0.5f); /* top left as seen */
    for (int alpha = 0; alpha < 2; alpha++) {
        ASSERT_TRUE(CG_WriteTGA(tmp / "a.tga", &im, alpha));
        texture_t t = ReadTGA(tmp / "a.tga");
        ASSERT_TRUE(t.width == 4 && t.height == 2 && t.depth == (alpha ? 32 : 24)) << t.depth;
        const unsigned char *top = t.pixels + t.depth / 8 * 4;
        EXPECT_TRUE(top[0] == 255 && top[2] == 0 && (!alpha || top[3] == 128));
        EXPECT_EQ(t.pixels[2], 255) << "bottom row is blue";
        free(t.pixels);
    }
}

class GeneratorGL : public gk::GLTest<16, 16> {};

/* The mipmap levels of a texture as uploaded, read back. */
std::vector<std::string> Levels(const texture_t *t, GLenum format, int bpp)
{
    std::vector<std::string> out;
    glBindTexture(GL_TEXTURE_2D, t->glname);
    gls.boundknown = 0;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int l = 1, w = t->width, h = t->height; w > 1 || h > 1; l++) {
        w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1;
        out.emplace_back((size_t)w * h * bpp, '\0');
        glGetTexImage(GL_TEXTURE_2D, l, format, GL_UNSIGNED_BYTE, out.back().data());
    }
    return out;
}

/* Mipmaps stored with the image upload as the utility library builds them from the plain image; a field one byte short is left alone */
TEST_F(GeneratorGL, StoredMipmapsEqualTheOnesBuiltAtUpload)
{
    gk::TempDir tmp;
    cg_image_t im;
    for (int alpha = 0; alpha < 2; alpha++)
        for (auto [w, h] : {std::pair{8, 4}, std::pair{1, 4}, std::pair{4, 1}}) {
            CG_ImageInit(&im, w, h, RGBA(0, 0, 0, 0));
            for (int i = 0; i < w * h; i++)
                im.px[(size_t)i] = RGBA((i * 37 % 256) / 255.0f, (i * 91 % 256) / 255.0f, (i * 13 % 256) / 255.0f, (i * 59 % 256) / 255.0f);
            ASSERT_TRUE(CG_WriteTGA(tmp / "stored.tga", &im, alpha));
            std::string bytes;
            ASSERT_TRUE(gk::ReadFile(tmp / "stored.tga", &bytes));
            ASSERT_TRUE(gk::WriteFile(tmp / "plain.tga", bytes.substr(0, 18 + (size_t)w * h * (3 + alpha))));
            std::string shortfield = bytes;
            shortfield[shortfield.size() - 26 - 4] -= 1; /* the field's size in the directory, low byte */
            texture_t t = {};
            EXPECT_EQ(Tex_ReadTGA((const unsigned char *)shortfield.data(), shortfield.size(), &t), 1);
            EXPECT_EQ(t.mips, nullptr);
            free(t.pixels);
            texture_t *s = Tex_Get((tmp / "stored").c_str(), 0), *p = Tex_Get((tmp / "plain").c_str(), 1);
            ASSERT_TRUE(s && p && s->mips && !p->mips) << w << "x" << h;
            Tex_Upload(s);
            GLenum format = alpha ? GL_RGBA : GL_RGB;
            EXPECT_EQ(Levels(s, format, 3 + alpha), Levels(p, format, 3 + alpha)) << w << "x" << h << " " << alpha;
            Tex_Release(s);
            Tex_Release(p);
        }
}

TEST(Generator, ArchiveMembersOpenWholeThroughTheFileLayer)
{
    gk::TempDir tmp;
    std::string big(70000, 'x');
    for (size_t i = 0; i < big.size(); i++)
        big[i] = (char)("chicken"[i % 7] + (i / 1000) % 3);
    std::vector<std::pair<std::string, std::string>> members = {{"big.tga", big}, {"egg.dmo", "egg"}, {"empty.font", ""}};
    std::vector<std::string> names;
    ASSERT_TRUE(gk::MakeDirs(tmp / "src"));
    for (auto &m : members) {
        ASSERT_TRUE(gk::WriteFile(tmp / "src/" + m.first, m.second));
        names.push_back(m.first);
    }
    ASSERT_EQ(CG_Pack(tmp / "vex0.pk3", tmp / "src", names), 0);
    ASSERT_EQ(FS_Mount((tmp / "vex0.pk3").c_str(), "pak/"), 1);
    for (auto &m : members) {
        uint32_t len = 0;
        unsigned char *d = FS_LoadFile(("pak/" + m.first).c_str(), &len);
        ASSERT_NE(d, nullptr) << m.first;
        EXPECT_EQ(std::string((const char *)d, len), m.second) << m.first;
        FS_FreeFile(d);
    }
    FS_Shutdown();
}

/* The game's face, and a wider one at a size where many glyphs need
 * shrinking to fit their cells; a missing face is an error. */
TEST(Generator, FontRectanglesHoldTheirGlyphsAndNothingElse)
{
    gk::TempDir tmp, wide;
    ASSERT_EQ(CG_GenFonts(tmp.path), 0);
    ASSERT_EQ(CG_GenFontsFrom(wide.path, "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", "x", 60), 0);
    EXPECT_EQ(CG_GenFontsFrom(wide.path, "/nonexistent/x.ttf", "x", 44), 1);
    for (std::string name : {tmp / "tech", tmp / "tech_7", wide / "tech", wide / "tech_7"}) {
        SCOPED_TRACE(name);
        std::string font;
        ASSERT_TRUE(gk::ReadFile(name + ".font", &font));
        texture_t t = ReadTGA(name + ".tga");
        ASSERT_TRUE(t.depth == 32 && t.width == t.height);
        int H = t.height, glyphs = 0, x0, y0, x1, y1;
        std::vector<char> covered((size_t)H * H, 0);
        for (size_t pos = 0, end; pos < font.size(); glyphs++) {
            end = font.find('\n', pos);
            std::string line = font.substr(pos, end - pos);
            pos = end == std::string::npos ? font.size() : end + 1;
            ASSERT_EQ(sscanf(line.c_str() + 1, " %d %d %d %d", &x0, &y0, &x1, &y1), 4) << line;
            ASSERT_TRUE(x0 >= 0 && y0 >= 0 && x1 > x0 && y1 > y0 && x1 <= H && y1 <= H) << line;
            for (int y = y0; y < y1; y++)
                for (int x = x0; x < x1; x++) {
                    ASSERT_FALSE(covered[(size_t)y * H + x]) << "rectangles overlap: " << line;
                    covered[(size_t)y * H + x] = 1;
                }
        }
        EXPECT_GT(glyphs, 150);
        int stray = 0;
        for (int y = 0; y < H; y++)
            for (int x = 0; x < H; x++)
                stray += t.pixels[4 * ((size_t)(H - 1 - y) * H + x) + 3] > 8 && !covered[(size_t)y * H + x];
        EXPECT_EQ(stray, 0);
        free(t.pixels);
    }
}

} // namespace
