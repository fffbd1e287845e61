/* Model files and the model cache */
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "collision.h"
#include "common.h"
#include "font.h"
#include "gk_mesh.h"
#include "gk_support.h"
#include "model.h"
#include "texture.h"
#include "tgawriter.h"

namespace {

mdl_material_t Material(const char *diffuse, float uoff = 0, float voff = 0, float ut = 1, float vt = 1)
{
    mdl_material_t m{};
    m.ambient[0] = 0.1f, m.diffuse[1] = 0.5f, m.specular[2] = 0.9f;
    m.transparency = 0.25f;
    if (diffuse) {
        m.diffusemap.present = 1;
        std::strcpy(m.diffusemap.name, diffuse);
        m.diffusemap.amount = 1;
        m.diffusemap.uoffset = uoff, m.diffusemap.voffset = voff;
        m.diffusemap.utiling = ut, m.diffusemap.vtiling = vt;
        m.diffusemap.angle = 0.5f;
    }
    return m;
}

/* A textured quad and an untextured two-frame triangle. */
struct TwoMeshes {
    mdl_mesh_t m[2];
    TwoMeshes()
    {
        m[0] = gk::MakeMesh("quad", {{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}}, {0, 1, 2, 0, 2, 3},
                            {0, 0, 1, 0, 1, 1, 0, 1}, {}, 0);
        m[1] = gk::MakeMesh("tri", {{0, 0, 0, 2, 0, 0, 0, 2, 0}, {0, 0, 1, 2, 0, 1, 0, 2, 1}}, {0, 1, 2}, {}, {}, 1);
        m[1].frames[1].normals = gk::MeshDup(std::vector<float>{0, 0, 1, 0, 0, 1, 0, 0, 1});
    }
    ~TwoMeshes() { Model_FreeMesh(&m[0]); Model_FreeMesh(&m[1]); }
};

struct ModelFileTest : ::testing::Test {
    gk::TempDir tmp;
    TwoMeshes meshes;
    mdl_material_t mats[2] = {Material("kluck", 0.5f, 0.25f, 2, 4), Material(nullptr)};
    std::string file;
    void SetUp() override
    {
        file = tmp / "m.dmo";
        ASSERT_EQ(1, Model_WriteFile(file.c_str(), mats, 2, meshes.m, 2));
    }
};

TEST_F(ModelFileTest, ReadBackWithAndWithoutTransform)
{
    model_t m{};
    ASSERT_EQ(1, Model_ReadFile(file.c_str(), 0, &m));
    ASSERT_EQ(2u, m.nummeshes);
    EXPECT_STREQ("kluck", m.materials[0].diffusemap.name);
    EXPECT_TRUE(m.maxframes == 2 && !m.meshes[1].tverts && !m.meshes[1].frames[0].normals) << m.maxframes;
    ASSERT_NE(nullptr, m.meshes[1].frames[1].normals);
    EXPECT_EQ((std::vector<float>{1, 1}), (std::vector<float>{m.meshes[0].tverts[2], m.meshes[1].frames[1].verts[2]}));
    Model_FreeArrays(&m);
    ASSERT_EQ(1, Model_ReadFile(file.c_str(), 1, &m)); /* (u + 0.5) * 2, (v + 0.25) * 4 */
    EXPECT_EQ((std::vector<float>{1, 1, 3, 5}), (std::vector<float>{m.meshes[0].tverts[0], m.meshes[0].tverts[1],
                                                                    m.meshes[0].tverts[2], m.meshes[0].tverts[5]}));
    Model_FreeArrays(&m);
    /* Writing what was read gives the same bytes. */
    ASSERT_EQ(1, Model_ReadFile(file.c_str(), 0, &m));
    std::string again = tmp / "again.dmo", a, b;
    ASSERT_EQ(1, Model_WriteFile(again.c_str(), m.materials, m.nummaterials, m.meshes, m.nummeshes));
    Model_FreeArrays(&m);
    ASSERT_TRUE(gk::ReadFile(file, &a) && gk::ReadFile(again, &b));
    EXPECT_EQ(a, b);
}

/* Every cut of the file, and every count or index that lies, is refused with nothing left allocated. */
TEST_F(ModelFileTest, TruncationsAndLyingCountsAndIndicesFail)
{
    std::string b;
    ASSERT_TRUE(gk::ReadFile(file, &b));
    std::string cut = tmp / "cut.dmo";
    for (size_t n = 0; n < b.size(); n++) {
        ASSERT_TRUE(gk::WriteFile(cut, b.substr(0, n)));
        model_t m{};
        ASSERT_EQ(0, Model_ReadFile(cut.c_str(), 0, &m)) << n;
        EXPECT_EQ(nullptr, m.meshes);
    }
    const size_t mesh0 = 8 + 2 * 524;
    struct Case { size_t off; uint32_t value; } cases[] = {
        {0, 0x7fffffff},           /* materials */
        {4, 0xffffffff},           /* meshes */
        {mesh0 + 128, 0x40000000}, /* frames */
        {mesh0 + 128, 0},          /* no frame at all */
        {mesh0 + 136, 0x20000000}, /* triangles */
        {mesh0 + 148, 0x10000000}, /* vertices */
        {mesh0 + 152, 0x10000000}, /* texture vertices */
        {mesh0 + 168 + 12 + 48, 4}, /* a face index past the vertices */
        {mesh0 + 168 + 12 + 48 + 24, 9}, /* a texture face index past the texture vertices */
        {mesh0 + 168 + 8, 1},       /* normals announced that are not there */
    };
    std::string bad = tmp / "bad.dmo";
    for (const Case &c : cases) {
        std::string x = b;
        std::memcpy(&x[c.off], &c.value, 4);
        ASSERT_TRUE(gk::WriteFile(bad, x));
        model_t m{};
        EXPECT_EQ(0, Model_ReadFile(bad.c_str(), 0, &m)) << c.off << " " << c.value;
    }
}

/* Corners weld when position (in every frame) and texture coordinates agree, by both searches */
TEST(ModelWeld, WhichCornersWeld)
{
    const float nan = std::nanf("");
    const std::vector<float> pos = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0};
    std::vector<float> moved = pos;
    moved[3 * 3 + 2] = 5;
    const std::vector<uint32_t> six = {0, 1, 2, 3, 4, 5}, zeros(6, 0);
    struct Case { std::vector<std::vector<float>> frames; std::vector<uint32_t> faces; std::vector<float> uv;
                  std::vector<uint32_t> tfaces; int ok; uint32_t verts; } cases[] = {
        {{pos}, six, {0, 0, 1, 0, 1, 1, 0, 0, 1, 1, 0, 1}, six, 1, 4},
        {{pos, moved}, six, {0, 0}, zeros, 1, 5},                                  /* moves in frame 2 */
        {{pos}, six, {0, 0, 1, 0, 1, 1, 0.5f, 0, 1, 0.5f, 0, 1}, six, 1, 6},       /* texture differs */
        {{{0, 0, 0, -0.0f, 0, 0, nan, 1, 0, nan, 1, 0}}, {0, 1, 2, 1, 0, 3}, {0, 0}, zeros, 1, 3},
        {{{0, 0, 0, 1, 0, 0, 0, 1, 0}}, {0, 1, 2}, {0, 0}, {0, 0, 1}, 0, 3}};
    for (const Case &c : cases)
        for (int hashed = 0; hashed < 2; hashed++) {
            mdl_mesh_t m = gk::MakeMesh("q", c.frames, c.faces, c.uv, c.tfaces);
            EXPECT_EQ(c.ok, hashed ? Model_WeldMesh(&m) : Model_WeldMeshLinear(&m)) << c.verts;
            EXPECT_EQ(c.verts, m.numverts);
            if (c.verts == 4) {
                const uint32_t want[6] = {0, 1, 2, 0, 2, 3};
                EXPECT_EQ(0, std::memcmp(want, m.faces, 24));
                EXPECT_EQ(0, std::memcmp(want, m.tfaces, 24));
                EXPECT_EQ((std::vector<float>{1, 1}), (std::vector<float>{m.tverts[7], m.frames[0].verts[10]}));
            }
            Model_FreeMesh(&m);
        }
}

TEST(ModelWeld, HashedWeldMatchesFirstMatchSearch)
{
    std::mt19937 rng(1234);
    for (int round = 0; round < 60; round++) {
        uint32_t nv = 1 + rng() % 40, ntv = 1 + rng() % 30, nt = 1 + rng() % 120, nf = 1 + rng() % 3;
        std::vector<std::vector<float>> frames(nf);
        for (auto &f : frames)
            for (uint32_t i = 0; i < nv * 3; i++)
                f.push_back((float)(rng() % 3) - 1.0f + ((rng() % 7 == 0) ? -0.0f : 0.0f));
        std::vector<float> uv;
        for (uint32_t i = 0; i < ntv * 2; i++)
            uv.push_back((float)(rng() % 2) * 0.5f);
        std::vector<uint32_t> faces, tfaces;
        for (uint32_t i = 0; i < nt * 3; i++) {
            faces.push_back(rng() % nv);
            tfaces.push_back(rng() % ntv);
        }
        mdl_mesh_t a = gk::MakeMesh("r", frames, faces, uv, tfaces);
        mdl_mesh_t b = gk::MakeMesh("r", frames, faces, uv, tfaces);
        ASSERT_EQ(1, Model_WeldMeshLinear(&a));
        ASSERT_EQ(1, Model_WeldMesh(&b));
        ASSERT_EQ(a.numverts, b.numverts) << round;
        ASSERT_TRUE(!memcmp(a.faces, b.faces, nt * 12) && !memcmp(a.tfaces, b.tfaces, nt * 12) &&
                    !memcmp(a.tverts, b.tverts, a.numtverts * 8)) << round;
        for (uint32_t f = 0; f < nf; f++)
            ASSERT_EQ(0, std::memcmp(a.frames[f].verts, b.frames[f].verts, a.numverts * 12));
        Model_FreeMesh(&a), Model_FreeMesh(&b);
    }
}

struct ModelCacheTest : ::testing::Test {
    gk::TempDir tmp;
    char saved[MAX_OSPATH];
    std::string data;
    void SetUp() override
    {
        Com_Strncpy(saved, com_datadir, sizeof(saved));
        data = tmp.path + "/data/";
        gk::MakeDirs(data + "models");
        Com_Strncpy(com_datadir, data.c_str(), sizeof(com_datadir));
    }
    void TearDown() override { Com_Strncpy(com_datadir, saved, sizeof(com_datadir)); }
    void WriteModel(const std::string &name, const char *tex, bool collision)
    {
        TwoMeshes t;
        mdl_material_t mats[2] = {Material(tex), Material(nullptr)};
        mats[1].reflectmap = mats[0].diffusemap;
        ASSERT_EQ(1, Model_WriteFile((data + name + ".dmo").c_str(), mats, 2, t.m, 2));
        if (collision) {
            colmodel_t *c = Col_Build(t.m, 2);
            ASSERT_EQ(1, Col_WriteFile((data + name + ".dbb").c_str(), c));
            Col_Free(c);
        }
    }
};

TEST_F(ModelCacheTest, LoadsItsPartsAndFreesThemAtZero)
{
    ASSERT_TRUE(gk::WriteFile(data + "kluck.tga", gk::SolidRgb(2, 2, 127, 127, 127)));
    WriteModel("models/hen", "kluck", true);
    int before = Model_CacheCount(), texbefore = Tex_CacheCount();
    model_t *a = Model_Get((data + "models/hen").c_str());
    ASSERT_NE(nullptr, a);
    EXPECT_TRUE(Model_CacheCount() == before + 1 && data + "models/hen" == a->name) << a->name;
    ASSERT_TRUE(a->hascollision == 1 && a->collision);
    ASSERT_TRUE(a->collision->numframes == 2u && a->meshes[0].diffuse) << a->collision->numframes;
    EXPECT_TRUE(a->meshes[0].diffuse->width == 2 && a->materials[0].diffusemap.tex == a->meshes[0].diffuse);
    EXPECT_TRUE(!a->meshes[1].diffuse && a->materials[1].reflectmap.tex == a->meshes[0].diffuse)
        << "a material without a map draws none; a reflection map is held, not drawn";
    EXPECT_EQ(texbefore + 1, Tex_CacheCount());
    Model_Release(a);
    EXPECT_EQ((std::vector<int>{before, texbefore}), (std::vector<int>{Model_CacheCount(), Tex_CacheCount()}));
}

/* A missing texture is replaced by notex, a missing or broken collision file is allowed */
TEST_F(ModelCacheTest, MissingAndBrokenParts)
{
    int before = Model_CacheCount();
    EXPECT_EQ(nullptr, Model_Get((data + "nothing").c_str()));
    ASSERT_TRUE(gk::WriteFile(data + "short.dmo", std::string("\x01\x00\x00\x00\x01\x00", 6)));
    EXPECT_EQ(nullptr, Model_Get((data + "short").c_str()));
    EXPECT_EQ(before, Model_CacheCount());

    ASSERT_TRUE(gk::WriteFile(data + "notex.tga", gk::SolidRgb(4, 1, 127, 127, 127)));
    WriteModel("lonely", "nosuchbitmap", false);
    ASSERT_TRUE(gk::WriteFile(data + "lonely.dbb", std::string("\x05\x00\x00\x00\x00\x00\x00\x00", 8)));
    model_t *m = Model_Get((data + "lonely").c_str());
    ASSERT_NE(nullptr, m);
    EXPECT_TRUE(!m->hascollision && !m->collision);
    EXPECT_TRUE(m->meshes[0].diffuse && m->meshes[0].diffuse->width == 4);
    Model_Release(m);

    mdl_mesh_t p = gk::MakeMesh("p", {{0, 0, 0, 1, 0, 0, 0, 1, 0}}, {0, 1, 2}, {0.5f, 0.5f}, {0, 0, 0});
    mdl_material_t mat = Material(nullptr);
    ASSERT_EQ(1, Model_WriteFile((data + "pad.dmo").c_str(), &mat, 1, &p, 1));
    Model_FreeMesh(&p);
    m = Model_Get((data + "pad").c_str());
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(3u, m->meshes[0].numtverts);
    EXPECT_EQ((std::vector<float>{0.5f, 0}), (std::vector<float>{m->meshes[0].tverts[0], m->meshes[0].tverts[5]}));
    Model_Release(m);
}

/* The model, texture and font caches each hold their limit, share an entry by name and free it at the last release */
TEST_F(ModelCacheTest, CachesHoldTheirLimit)
{
    struct Cache { const char *what; int limit, (*count)(); void *(*get)(const char *); void (*release)(void *);
                   bool (*write)(const std::string &); } caches[] = {
        {"m", 1024, Model_CacheCount, [](const char *p) -> void * { return Model_Get(p); },
         [](void *m) { Model_Release((model_t *)m); },
         [](const std::string &p) {
             TwoMeshes t;
             mdl_material_t mat = Material(nullptr);
             return Model_WriteFile((p + ".dmo").c_str(), &mat, 1, t.m, 1) == 1;
         }},
        {"t", 128, Tex_CacheCount, [](const char *p) -> void * { return Tex_Get(p, 0); },
         [](void *t) { Tex_Release((texture_t *)t); },
         [](const std::string &p) { return gk::WriteFile(p + ".tga", gk::SolidRgb(1, 1, 0, 0, 0)); }},
        {"f", 32, Font_CacheCount, [](const char *p) -> void * { return Font_Get(p); },
         [](void *f) { Font_Release((font_t *)f); },
         [](const std::string &p) { return gk::WriteFont(p, 4, "A 0 0 1 1\n"); }}};
    for (const Cache &c : caches) {
        int before = c.count();
        std::vector<std::string> names;
        std::vector<void *> held;
        for (int i = before; i <= c.limit; i++) {
            names.push_back(data + c.what + std::to_string(i));
            ASSERT_TRUE(c.write(names.back()));
            held.push_back(c.get(names.back().c_str()));
            ASSERT_EQ(held.back() != nullptr, i < c.limit) << c.what << i;
        }
        EXPECT_EQ(c.limit, c.count()) << c.what;
        void *again = c.get(names[0].c_str());
        EXPECT_EQ(held[0], again) << c.what;
        c.release(again);
        EXPECT_EQ(c.limit, c.count()) << c.what << ": kept while still held";
        c.release(held[0]);
        held[0] = held.back() = c.get(names.back().c_str());
        EXPECT_NE(nullptr, held[0]) << c.what;
        held.pop_back();
        for (void *h : held)
            c.release(h);
        EXPECT_EQ(before, c.count()) << c.what;
    }
}

} // namespace
