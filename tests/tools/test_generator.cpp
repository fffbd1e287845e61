/*
 * The content generator's writers read back by the engine's own readers:
 * scene text with animation frames through the scene reader (positions in
 * engine axes, faces turned outwards, sky faces inwards, closed shapes),
 * images through the TGA reader (top row seen at the top), the archive
 * through the file layer (every member whole, CRC checked), the font
 * rectangles against the pixels of their image, and the same output from
 * two runs.
 */
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ase.h"
#include "cg_mesh.h"
#include "fs.h"
#include "gk_support.h"
#include "model.h"
#include "texture.h"

namespace {

void Build(cg_model_t *m, float phase)
{
    cg_mesh_t *s = CG_Mesh(m, "ball", "mc_red", CG_UV_NORMAL);
    CG_Sphere(s, XF_TRS(V3(0, 10 * phase, 5), 0, 0, 0, V3(2, 3, 4)), 12, 8);
    cg_mesh_t *b = CG_Mesh(m, "box", "wicker", CG_UV_EXPLICIT);
    CG_Box(b, XF_TRS(V3(20, 0, 0), 0, 30, 0, V3(1, 2, 3)));
}

/* Signed volume of a closed mesh (positive when faces turn outwards). */
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
            if (a == b)
                continue;
            edges[{a, b}]++;
            edges[{b, a}]--;
        }
    for (auto &e : edges)
        if (e.second != 0)
            return false;
    return true;
}

TEST(Generator, SceneTextKeepsFramesAxesAndOutwardFaces)
{
    gk::TempDir tmp;
    cg_model_t m;
    Build(&m, 0);
    for (int f = 1; f < 3; f++) {
        cg_model_t fr;
        Build(&fr, f / 2.0f);
        ASSERT_TRUE(CG_AppendFrame(&m, &fr));
    }
    std::string path = tmp / "thing.ase";
    ASSERT_TRUE(CG_WriteASE(path, &m));
    model_t scene;
    memset(&scene, 0, sizeof(scene));
    ASSERT_TRUE(ASE_ReadScene(path.c_str(), &scene));
    ASSERT_EQ(scene.nummaterials, 2u);
    EXPECT_STREQ(scene.materials[0].diffusemap.name, "mc_red");
    EXPECT_STREQ(scene.materials[1].diffusemap.name, "wicker");
    ASSERT_EQ(scene.nummeshes, 2u);
    const mdl_mesh_t &ball = scene.meshes[0];
    ASSERT_EQ(ball.numframes, 3u);
    EXPECT_EQ(ball.numtverts, ball.numverts);
    /* the ball rises along y (up) by 5 and 10 units and keeps its z */
    for (uint32_t f = 0; f < 3; f++) {
        float lo = 1e9f, hi = -1e9f, zlo = 1e9f, zhi = -1e9f;
        for (uint32_t v = 0; v < ball.numverts; v++) {
            lo = fminf(lo, ball.frames[f].verts[3 * v + 1]);
            hi = fmaxf(hi, ball.frames[f].verts[3 * v + 1]);
            zlo = fminf(zlo, ball.frames[f].verts[3 * v + 2]);
            zhi = fmaxf(zhi, ball.frames[f].verts[3 * v + 2]);
        }
        EXPECT_NEAR(lo, -3 + 5.0f * f, 1e-3);
        EXPECT_NEAR(hi, 3 + 5.0f * f, 1e-3);
        EXPECT_NEAR(zlo, 1, 1e-3);
        EXPECT_NEAR(zhi, 9, 1e-3);
        EXPECT_GT(Volume(ball, f), 0) << "faces turn outwards (front faces survive culling)";
    }
    EXPECT_TRUE(Closed(ball));
    EXPECT_NEAR(Volume(scene.meshes[1], 0), 8 * 6, 1e-2);
    EXPECT_TRUE(Closed(scene.meshes[1]));
    Model_FreeArrays(&scene);
}

TEST(Generator, SkyDomeFacesInwards)
{
    gk::TempDir tmp;
    cg_model_t m;
    cg_mesh_t *s = CG_Mesh(&m, "sky", "sky01", CG_UV_EXPLICIT);
    float r[5] = {0, 0.7f, 1, 0.7f, 0}, y[5] = {-1, -0.7f, 0, 0.7f, 1};
    CG_Lathe(s, XF_S(600, 600, 600), r, y, 5, 16, 1, 1);
    ASSERT_TRUE(CG_WriteASE(tmp / "sky.ase", &m));
    model_t scene;
    memset(&scene, 0, sizeof(scene));
    ASSERT_TRUE(ASE_ReadScene((tmp / "sky.ase").c_str(), &scene));
    ASSERT_EQ(scene.nummeshes, 1u);
    EXPECT_LT(Volume(scene.meshes[0], 0), 0);
    EXPECT_TRUE(Closed(scene.meshes[0]));
    Model_FreeArrays(&scene);
}

TEST(Generator, ImagesReadBackWithTheirTopRowOnTop)
{
    gk::TempDir tmp;
    cg_image_t im;
    CG_ImageInit(&im, 4, 2, RGBA(0, 0, 1, 1));
    *CG_Pixel(&im, 0, 0) = RGBA(1, 0, 0, 0.5f); /* top left as seen */
    for (int alpha = 0; alpha < 2; alpha++) {
        std::string path = tmp / (alpha ? "a.tga" : "b.tga");
        ASSERT_TRUE(CG_WriteTGA(path, &im, alpha));
        std::string bytes;
        ASSERT_TRUE(gk::ReadFile(path, &bytes));
        texture_t t;
        memset(&t, 0, sizeof(t));
        ASSERT_EQ(Tex_ReadTGA((const unsigned char *)bytes.data(), bytes.size(), &t), 1);
        EXPECT_EQ(t.width, 4);
        EXPECT_EQ(t.height, 2);
        EXPECT_EQ(t.depth, alpha ? 32 : 24);
        int bpp = t.depth / 8;
        /* rows stay in file order: the last row is the top of the image
         * (texture coordinate v = 1) */
        const unsigned char *top = t.pixels + bpp * 4 * 1;
        EXPECT_EQ(top[0], 255);
        EXPECT_EQ(top[2], 0);
        if (alpha) {
            EXPECT_EQ(top[3], 128);
        }
        EXPECT_EQ(t.pixels[2], 255) << "bottom row is blue";
        free(t.pixels);
    }
}

TEST(Generator, ArchiveMembersOpenWholeThroughTheFileLayer)
{
    gk::TempDir tmp;
    std::string big(70000, 'x');
    for (size_t i = 0; i < big.size(); i++)
        big[i] = (char)("chicken"[i % 7] + (i / 1000) % 3);
    ASSERT_TRUE(gk::MakeDirs(tmp / "src"));
    ASSERT_TRUE(gk::WriteFile(tmp / "src/big.tga", big));
    ASSERT_TRUE(gk::WriteFile(tmp / "src/empty.font", ""));
    ASSERT_TRUE(gk::WriteFile(tmp / "src/egg.dmo", "egg"));
    std::vector<std::string> names = {"big.tga", "egg.dmo", "empty.font"};
    ASSERT_EQ(CG_Pack(tmp / "vex0.pk3", tmp / "src", names), 0);
    ASSERT_EQ(FS_Mount((tmp / "vex0.pk3").c_str(), "pak/"), 1);
    uint32_t len = 0;
    unsigned char *d = FS_LoadFile("pak/big.tga", &len);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(std::string((const char *)d, len), big);
    FS_FreeFile(d);
    d = FS_LoadFile("pak/egg.dmo", &len);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(std::string((const char *)d, len), "egg");
    FS_FreeFile(d);
    d = FS_LoadFile("pak/empty.font", &len);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(len, 0u);
    FS_FreeFile(d);
    FS_Shutdown();

    /* the same input gives the same archive */
    ASSERT_EQ(CG_Pack(tmp / "again.pk3", tmp / "src", names), 0);
    std::string a, b;
    ASSERT_TRUE(gk::ReadFile(tmp / "vex0.pk3", &a));
    ASSERT_TRUE(gk::ReadFile(tmp / "again.pk3", &b));
    EXPECT_EQ(a, b);
}

TEST(Generator, FontRectanglesHoldTheirGlyphsAndNothingElse)
{
    gk::TempDir tmp;
    ASSERT_EQ(CG_GenFonts(tmp.path), 0);
    for (const char *name : {"tech", "tech_7"}) {
        SCOPED_TRACE(name);
        std::string font, img;
        ASSERT_TRUE(gk::ReadFile(tmp / (std::string(name) + ".font"), &font));
        ASSERT_TRUE(gk::ReadFile(tmp / (std::string(name) + ".tga"), &img));
        texture_t t;
        memset(&t, 0, sizeof(t));
        ASSERT_EQ(Tex_ReadTGA((const unsigned char *)img.data(), img.size(), &t), 1);
        ASSERT_EQ(t.depth, 32);
        ASSERT_EQ(t.width, t.height);
        int H = t.height;
        std::vector<char> covered((size_t)H * H, 0);
        int glyphs = 0;
        for (size_t pos = 0; pos < font.size();) {
            size_t end = font.find('\n', pos);
            std::string line = font.substr(pos, end - pos);
            pos = end == std::string::npos ? font.size() : end + 1;
            int x0, y0, x1, y1;
            ASSERT_EQ(sscanf(line.c_str() + 1, " %d %d %d %d", &x0, &y0, &x1, &y1), 4) << line;
            ASSERT_TRUE(x0 >= 0 && y0 >= 0 && x1 > x0 && y1 > y0 && x1 <= H && y1 <= H) << line;
            for (int y = y0; y < y1; y++)
                for (int x = x0; x < x1; x++) {
                    ASSERT_FALSE(covered[(size_t)y * H + x]) << "rectangles overlap: " << line;
                    covered[(size_t)y * H + x] = 1;
                }
            glyphs++;
        }
        EXPECT_GT(glyphs, 150);
        /* ink only inside rectangles (rows are stored bottom-up) */
        int stray = 0;
        for (int y = 0; y < H; y++)
            for (int x = 0; x < H; x++)
                if (t.pixels[4 * ((size_t)(H - 1 - y) * H + x) + 3] > 8 && !covered[(size_t)y * H + x])
                    stray++;
        EXPECT_EQ(stray, 0);
        free(t.pixels);
    }
}

TEST(Generator, ModelsComeOutTheSameEveryTime)
{
    gk::TempDir tmp;
    ASSERT_EQ(CG_GenModels(tmp / "a"), 0);
    ASSERT_EQ(CG_GenModels(tmp / "b"), 0);
    for (const char *n : {"chicken.ase", "komet.ase", "skysphere03.ase", "cockpit.ase"}) {
        std::string a, b;
        ASSERT_TRUE(gk::ReadFile(tmp / "a" + "/" + n, &a));
        ASSERT_TRUE(gk::ReadFile(tmp / "b" + "/" + n, &b));
        EXPECT_FALSE(a.empty());
        EXPECT_EQ(a, b) << n;
    }
}

} // namespace
