/* Collision files and the pair test */
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "collision.h"
#include "gk_mesh.h"
#include "gk_support.h"
#include "model.h"

namespace {

using gk::U32;

mdl_mesh_t Walls()
{
    return gk::MakeMesh("walls", {{0, -1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 2, -1, -1, 2, 1, -1, 2, 1, 1, 2, -1, 1}},
                        {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7});
}

/* The builder's box and cells, and the file it writes */
TEST(CollisionFile, BuildWriteReadBack)
{
    gk::TempDir tmp;
    mdl_mesh_t m = Walls();
    colmodel_t *c = Col_Build(&m, 1);
    ASSERT_TRUE(c && c->numframes == 1u) << (c ? c->numframes : 0);
    const col_box_t *b = &c->frames[0];
    EXPECT_EQ(3u, b->res);
    /* cell (a=2, b=0, c=1): index (1*3+0)*3+2 = 11, both triangles of the far wall */
    const col_cell_t &cell = b->cells[11];
    const float got[] = {b->centre[0], b->centre[1], b->half[0], b->half[2],
                         cell.half[0], cell.centre[0], cell.centre[1], cell.centre[2]};
    const float want[] = {1, 0, 1, 1, 1.0f / 3, 2.0f - 1.0f / 3, -1.0f + 1.0f / 3, 0};
    for (int i = 0; i < 8; i++)
        EXPECT_FLOAT_EQ(want[i], got[i]) << i;
    EXPECT_EQ(std::make_pair(cell.numtris, b->cells[13].numtris), std::make_pair(2u, 0u)) << "the middle is empty";

    std::string path = tmp / "w.dbb", bytes;
    ASSERT_TRUE(Col_WriteFile(path.c_str(), c) == 1 && gk::ReadFile(path, &bytes));
    size_t tris = 0;
    for (int i = 0; i < 27; i++)
        tris += b->cells[i].numtris;
    ASSERT_EQ(8 + 32 + 27 * 32 + tris * 36, bytes.size());
    EXPECT_EQ(2u, U32(bytes, 40 + 11 * 32 + 24)); /* read back alike: fuzz_colbuild */
    for (size_t n = 0; n < bytes.size(); n += 7) {
        ASSERT_TRUE(gk::WriteFile(path, bytes.substr(0, n)));
        EXPECT_EQ(nullptr, Col_ReadFile(path.c_str())) << n;
    }
    const std::string good = bytes;
    struct Case { size_t off; uint32_t v; } cases[] = {
        {0, 0xffffffff}, {0, 2}, {32, 0x10000}, {32, 1625}, {32, 0xffffffff}, {32, 4},
        {40 + 24, 0x7fffffff}, {40 + 26 * 32 + 24, 1000}};
    for (const Case &k : cases) {
        std::string x = good;
        std::memcpy(&x[k.off], &k.v, 4);
        ASSERT_TRUE(gk::WriteFile(path, x));
        EXPECT_EQ(nullptr, Col_ReadFile(path.c_str())) << k.off << " " << k.v;
    }
    /* Resolution 0 reads, and queries against it never hit. */
    std::string x = good.substr(0, 40);
    uint32_t zero = 0;
    std::memcpy(&x[32], &zero, 4);
    ASSERT_TRUE(gk::WriteFile(path, x));
    colmodel_t *r = Col_ReadFile(path.c_str());
    ASSERT_NE(nullptr, r);
    const float s[3] = {-5, 0, 0}, e[3] = {5, 0, 0};
    EXPECT_EQ(0, Col_SegmentQuery(&r->frames[0], s, e, nullptr));
    Col_Free(r);
    Col_Free(c);
    Model_FreeMesh(&m);
}

struct Pair : ::testing::Test {
    entity_t a, b;
    model_t target;
    mdl_mesh_t mesh;
    void SetUp() override
    {
        a = b = entity_t{};
        target = model_t{};
        a.kind = b.kind = ENT_MODEL;
        a.u.mdl.scale = b.u.mdl.scale = 1;
        a.u.mdl.radius = b.u.mdl.radius = 1;
        mesh = Walls();
        target.collision = Col_Build(&mesh, 1);
        target.hascollision = 1;
    }
    void TearDown() override
    {
        Col_Free(target.collision);
        Model_FreeMesh(&mesh);
    }
    static void Projectile(entity_t *p, float x0, float y0, float z0, float x1, float y1, float z1)
    {
        p->u.mdl.collmode = CM_SWEPT;
        const float v[6] = {x0, y0, z0, x1, y1, z1};
        std::memcpy(p->oldorigin, v, 12);
        std::memcpy(p->origin, v + 3, 12);
    }
};

TEST_F(Pair, SpheresAreStrictAndTwoProjectilesNeverMeet)
{
    struct { float x, scale; int hit; } cases[] = {{2, 1, 0}, {1.99f, 1, 1}, {1.49f, 0.5f, 1}, {1.5f, 0.5f, 0}};
    for (const auto &c : cases) {
        b.origin[0] = c.x;
        b.u.mdl.scale = c.scale;
        EXPECT_EQ(std::make_pair(Col_Collide(&a, &b), Col_Collide(&b, &a)), std::make_pair(c.hit, c.hit)) << c.x << ", either way round";
    }
    Projectile(&a, 0, 0, 0, 0, 0, 0);
    Projectile(&b, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(0, Col_Collide(&a, &b));
}

/* A projectile against the walls placed at (10, 0, -20), or at the origin unscaled */
TEST_F(Pair, ProjectileAgainstPlacedMesh)
{
    struct { int placed; float yaw, from[3], to[3]; int hit; } cases[] = {
        {0, 0, {-5, 0.2f, 0.1f}, {5, 0.2f, 0.1f}, 1},
        {0, 0, {-5, 0.2f, 0.1f}, {-0.5f, 0.2f, 0.1f}, 0}, /* stops short */
        {0, 0, {1, 0.2f, 0.1f}, {1.5f, 0.9f, -0.3f}, 0},  /* between the walls */
        {0, 0, {-5, 1.5f, 0}, {5, 1.5f, 0}, 0},           /* beside the box on y */
        {0, 0, {0, 0, 0}, {0, 0, 0}, 0},                  /* did not move, from the target's position */
        {0, 0, {1, 0, 0}, {1, 0, 0}, 0},                  /* did not move */
        {1, 0, {11, 0.5f, -20}, {13, 0.5f, -20}, 0}, {1, 0, {13, 0.5f, -20}, {15, 0.5f, -20}, 1},
        {1, 90, {13, 0.5f, -20}, {15, 0.5f, -20}, 0}, {1, 90, {11, 0.5f, -19}, {11, 0.5f, -21}, 1},
        {1, 90, {11, 0.5f, -21}, {11, 0.5f, -23}, 0}};
    b.u.mdl.model = &target;
    for (const auto &c : cases) {
        b.origin[0] = c.placed ? 10 : 0;
        b.origin[2] = c.placed ? -20 : 0;
        b.u.mdl.scale = c.placed ? 2 : 1;
        b.angles[1] = c.yaw;
        Projectile(&a, c.from[0], c.from[1], c.from[2], c.to[0], c.to[1], c.to[2]);
        EXPECT_EQ(std::make_pair(Col_Collide(&a, &b), Col_Collide(&b, &a)), std::make_pair(c.hit, c.hit))
            << c.from[0] << " " << c.to[0] << " yaw " << c.yaw << ", either way round";
    }
    b.origin[0] = b.origin[2] = b.angles[1] = 0;
    b.u.mdl.scale = 1;
    b.u.mdl.frame = 7.5f; /* limited to the last collision frame */
    Projectile(&a, -5, 0.2f, 0.1f, 5, 0.2f, 0.1f);
    EXPECT_EQ(1, Col_Collide(&a, &b));
    b.u.mdl.model = nullptr;
    EXPECT_EQ(0, Col_Collide(&a, &b));
    model_t bare{};
    b.u.mdl.model = &bare; /* no collision data: never hit */
    EXPECT_EQ(0, Col_Collide(&a, &b));
}

/* The nearest hit to the previous position, either way along the walls */
TEST(SegmentQuery, NearestHitAndNothingBesideTheBox)
{
    mdl_mesh_t m = Walls();
    colmodel_t *c = Col_Build(&m, 1);
    col_box_t *b = &c->frames[0];
    float f = -1;
    const float right[3] = {5, 0.3f, 0.2f}, left[3] = {-5, 0.3f, 0.2f};
    ASSERT_EQ(1, Col_SegmentQuery(b, right, left, &f));
    EXPECT_NEAR(0.3f, f, 1e-5); /* moving in -x: the wall at x = 2 */
    ASSERT_EQ(1, Col_SegmentQuery(b, left, right, &f));
    EXPECT_NEAR(0.5f, f, 1e-5); /* the wall at x = 0 */
    /* plant a triangle far outside the box (y = 5) in every cell */
    for (int i = 0; i < 27; i++) {
        col_cell_t *cell = &b->cells[i];
        float *t = (float *)realloc(cell->tris, (cell->numtris + 1) * 36);
        const float tri[9] = {-9, 5, -9, 9, 5, -9, 0, 5, 9};
        std::memcpy(t + cell->numtris * 9, tri, 36);
        cell->tris = t;
        cell->numtris++;
    }
    const float s[3] = {0.5f, 4, 0}, e[3] = {0.5f, 6, 0}; /* through the planted one, beside the box */
    EXPECT_EQ(0, Col_SegmentQuery(b, s, e, nullptr));
    const float s2[3] = {0.5f, 0, 0}, e2[3] = {0.5f, 6, 0}; /* from inside: the walk meets it */
    EXPECT_EQ(1, Col_SegmentQuery(b, s2, e2, nullptr));
    Col_Free(c);
    Model_FreeMesh(&m);
}

/* Every triangle with the query's own ray orientation. */
static int BruteForce(const mdl_mesh_t &m, const col_box_t *box, const float *s, const float *e, float *frac)
{
    float d[3] = {e[0] - s[0], e[1] - s[1], e[2] - s[2]};
    float minh = std::fmin(box->half[0], std::fmin(box->half[1], box->half[2]));
    int w = 0, hit = 0;
    float best = -1;
    for (int k = 0; k < 3; k++) {
        float score = std::fabs(d[k]) / (box->half[k] / minh);
        if (score > best)
            best = score, w = k;
    }
    bool rev = d[w] < 0;
    float o[3];
    for (int k = 0; k < 3; k++) {
        o[k] = rev ? e[k] : s[k];
        d[k] = rev ? -d[k] : d[k];
    }
    float bestt = rev ? 0.0f : 1.0f;
    for (uint32_t t = 0; t < m.numtris; t++) {
        const float *v0 = &m.frames[0].verts[m.faces[t * 3] * 3];
        const float *v1 = &m.frames[0].verts[m.faces[t * 3 + 1] * 3];
        const float *v2 = &m.frames[0].verts[m.faces[t * 3 + 2] * 3];
        float tt;
        if (Col_RayTriangle(o, d, v0, v1, v2, &tt) && tt >= 0 && tt <= 1 && (rev ? tt > bestt : tt < bestt))
            bestt = tt, hit = 1;
    }
    *frac = rev ? 1 - bestt : bestt;
    return hit;
}

TEST(SegmentQuery, GridAgreesWithEveryTriangle)
{
    std::mt19937 rng(77);
    std::uniform_real_distribution<float> pos(-10, 10), small(-1.5f, 1.5f);
    int hits = 0, total = 0;
    for (int soup = 0; soup < 40; soup++) {
        std::vector<float> verts;
        std::vector<uint32_t> faces;
        int ntri = 1 + (int)(rng() % 60);
        float sx = 1 + (float)(rng() % 4), sy = 1 + (float)(rng() % 4), sz = 0.2f + (float)(rng() % 4);
        for (int t = 0; t < ntri; t++) {
            float cx = pos(rng) * sx, cy = pos(rng) * sy, cz = pos(rng) * sz;
            float big = (rng() % 5 == 0) ? 8.0f : 1.0f; /* some triangles span several cells */
            for (int k = 0; k < 3; k++) {
                verts.insert(verts.end(), {cx + small(rng) * big * sx, cy + small(rng) * big * sy,
                                           cz + small(rng) * big * sz});
                faces.push_back((uint32_t)(t * 3 + k));
            }
        }
        mdl_mesh_t m = gk::MakeMesh("soup", {verts}, faces);
        colmodel_t *c = Col_Build(&m, 1);
        ASSERT_NE(nullptr, c);
        for (int q = 0; q < 400; q++) {
            float s[3], e[3];
            for (int k = 0; k < 3; k++) {
                float sc = k == 0 ? sx : k == 1 ? sy : sz;
                s[k] = pos(rng) * sc * 1.3f;
                e[k] = (q % 3 == 0) ? s[k] + small(rng) * sc * 2 : pos(rng) * sc * 1.3f;
            }
            float fg = -1, fb = -1;
            int g = Col_SegmentQuery(&c->frames[0], s, e, &fg);
            int b = BruteForce(m, &c->frames[0], s, e, &fb);
            ASSERT_EQ(b, g) << "soup " << soup << " query " << q;
            if (b) {
                ASSERT_EQ(fb, fg) << "soup " << soup << " query " << q;
                hits++;
            }
            total++;
        }
        Col_Free(c);
        Model_FreeMesh(&m);
    }
    EXPECT_GT(hits, total / 20); /* the check saw plenty of hits */
}

} // namespace
