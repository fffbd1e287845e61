/*
 * The game's vector routines, orientation and random numbers: the values
 * the behaviours and the drawing depend on, and the degenerate inputs
 * (zero vectors, vertical directions) that must not produce NaN.
 */
#include <gtest/gtest.h>

#include <math.h>

#include "g_local.h"

namespace {

void ExpectVec(const float *v, float x, float y, float z, float eps = 1e-5f)
{
    EXPECT_NEAR(v[0], x, eps);
    EXPECT_NEAR(v[1], y, eps);
    EXPECT_NEAR(v[2], z, eps);
}

TEST(Random, SequenceFromSeedOne)
{
    G_RandomReset();
    EXPECT_FLOAT_EQ(G_Random(), 0.4413f);
    /* the second value by the same rule, computed independently */
    uint32_t seed = 1015068748u;
    seed = seed * 1164525u + 1013904223u;
    float want = (float)((seed & 0x7FFF) % 10000 + 1) / 10000.0f;
    EXPECT_FLOAT_EQ(G_Random(), want);
}

TEST(Random, StaysWithinRangeAndNeverZero)
{
    G_RandomReset();
    float lo = 1, hi = 0;
    for (int i = 0; i < 100000; i++) {
        float r = G_Random();
        lo = fminf(lo, r);
        hi = fmaxf(hi, r);
    }
    EXPECT_GE(lo, 0.0001f);
    EXPECT_LE(hi, 1.0f);
    EXPECT_LT(lo, 0.01f);
    EXPECT_GT(hi, 0.99f);
}

TEST(Nearest, HalvesGoAwayFromZero)
{
    EXPECT_EQ(G_Nearest(2.5f), 3);
    EXPECT_EQ(G_Nearest(-2.5f), -3);
    EXPECT_EQ(G_Nearest(2.49f), 2);
    EXPECT_EQ(G_Nearest(-2.49f), -2);
    EXPECT_EQ(G_Nearest(0.0f), 0);
    EXPECT_EQ(G_Nearest(-0.5f), -1);
    /* out-of-range values are held at the int range, not undefined */
    EXPECT_EQ(G_Nearest(1e20f), 2147483647);
    EXPECT_EQ(G_Nearest(-1e20f), -2147483647);
    EXPECT_EQ(G_Nearest(NAN), 0);
}

TEST(Vector, NormalizeCrossMA)
{
    float z[3] = {0, 0, 0};
    Vec_Normalize(z);
    ExpectVec(z, 0, 0, 0, 0);
    float v[3] = {3, 0, 4};
    Vec_Normalize(v);
    ExpectVec(v, 0.6f, 0, 0.8f);
    float a[3] = {1, 0, 0}, b[3] = {0, 1, 0}, c[3];
    Vec_Cross(a, b, c);
    ExpectVec(c, 0, 0, 1, 0);
    Vec_Cross(a, b, a); /* aliasing the output */
    ExpectVec(a, 0, 0, 1, 0);
    float m[3];
    float p[3] = {1, 2, 3}, q[3] = {1, 1, 1};
    Vec_MA(p, 2.0f, q, m);
    ExpectVec(m, 3, 4, 5, 0);
}

TEST(Vector, ParallelOnlyWhenExact)
{
    float y[3] = {0, 1, 0}, ny[3] = {0, -3, 0}, t[3] = {0.001f, 1, 0}, z[3] = {0, 0, 0};
    EXPECT_TRUE(Vec_IsParallel(y, ny));
    EXPECT_FALSE(Vec_IsParallel(y, t));
    EXPECT_FALSE(Vec_IsParallel(y, z));
}

TEST(Vector, RotateFlipsTheSecondAngle)
{
    float v[3] = {0, 0, -1};
    Vec_Rotate(v, 0, 90, 0); /* about y by -90 */
    ExpectVec(v, -1, 0, 0);
    float w[3] = {0, 0, -1};
    Vec_Rotate(w, 90, 0, 0);
    ExpectVec(w, 0, 1, 0);
    float u[3] = {1, 0, 0};
    Vec_Rotate(u, 0, 0, 90);
    ExpectVec(u, 0, 1, 0);
}

TEST(Vector, SignedAngle)
{
    float a[3] = {0, 0, -1}, b[3] = {1, 0, -1}, c[3] = {-1, 0, -1};
    EXPECT_NEAR(Vec_SignedAngle(a, b, 1), 45.0f, 1e-3f);
    EXPECT_NEAR(Vec_SignedAngle(a, c, 1), -45.0f, 1e-3f);
    EXPECT_NEAR(Vec_SignedAngle(a, a, 1), 0.0f, 1e-3f);
    /* b parallel to the axis: 0 instead of NaN */
    float up[3] = {0, 5, 0};
    EXPECT_EQ(Vec_SignedAngle(a, up, 1), 0.0f);
    EXPECT_EQ(Vec_SignedAngle(up, a, 1), 0.0f);
    EXPECT_EQ(Vec_SignedAngle(a, b, 7), 0.0f);
}

TEST(Vector, RandomDirIsUnitAndUsesThreeDraws)
{
    G_RandomReset();
    float d[3];
    Vec_RandomDir(d);
    EXPECT_NEAR(Vec_Length(d), 1.0f, 1e-5f);
    G_RandomReset();
    float x = G_Random() - 0.5f, y = G_Random() - 0.5f, z = G_Random() - 0.5f;
    float l = sqrtf(x * x + y * y + z * z);
    ExpectVec(d, x / l, y / l, z / l);
}

TEST(Orientation, BasisOfTheStandardDirections)
{
    float s[3], u[3];
    float fwd[3] = {0, 0, -1};
    Vec_Basis(fwd, s, u);
    ExpectVec(s, -1, 0, 0);
    ExpectVec(u, 0, 1, 0);
    float x[3] = {1, 0, 0};
    Vec_Basis(x, s, u);
    ExpectVec(s, 0, 0, -1);
    ExpectVec(u, 0, 1, 0);
    float vert[3] = {0, 1, 0};
    Vec_Basis(vert, s, u);
    ExpectVec(s, 0, 0, 0, 0);
    ExpectVec(u, 0, 0, 0, 0);
}

TEST(Orientation, BasisFromAngles)
{
    float f[3], s[3], u[3];
    Vec_BasisFromAngles(0, 0, 0, f, s, u);
    ExpectVec(f, 0, 0, -1);
    ExpectVec(s, -1, 0, 0);
    ExpectVec(u, 0, 1, 0);
    Vec_BasisFromAngles(30, 0, 0, f, s, u);
    EXPECT_NEAR(f[1], -sinf(30 * G_PI / 180), 1e-5f); /* pitch down */
    Vec_BasisFromAngles(0, 30, 0, f, s, u);
    EXPECT_GT(f[0], 0.4f); /* yaw towards +x */
}

TEST(Orientation, EntityFromDirection)
{
    entity_t e;
    memset(&e, 0, sizeof(e));
    Vec_Set(e.dir, 0, 0, -1);
    Ent_OrientToDirection(&e);
    ExpectVec(e.vec2, -1, 0, 0);
    /* side (-1, 0, 0) lies on the negative x side: yaw = 90 + 90 */
    ExpectVec(e.angles, 0, 180, 0, 1e-3f);
    Vec_Set(e.dir, 1, 0, 0);
    Ent_OrientToDirection(&e);
    ExpectVec(e.vec2, 0, 0, -1);
    EXPECT_NEAR(e.angles[1], 90.0f, 1e-3f);
    /* a vertical direction: finite angles, no NaN */
    Vec_Set(e.dir, 0, 1, 0);
    Ent_OrientToDirection(&e);
    for (int i = 0; i < 3; i++)
        EXPECT_TRUE(isfinite(e.angles[i]));
}

TEST(Orientation, MissileUpwardsIsNudged)
{
    entity_t e;
    memset(&e, 0, sizeof(e));
    Vec_Set(e.dir, 0, 1, 0);
    Ent_OrientMissile(&e);
    float want[3] = {0.1f, 1, 0};
    Vec_Normalize(want);
    ExpectVec(e.dir, want[0], want[1], want[2]);
    float s[3], u[3];
    Vec_Basis(e.dir, s, u);
    ExpectVec(e.vec2, s[0], s[1], s[2]);
    /* angles come from the reversed direction */
    float n[3], a[3];
    Vec_Scale(e.dir, -1, n);
    Vec_Basis(n, s, u);
    Vec_AnglesFromVectors(s, n, a);
    ExpectVec(e.angles, a[0], a[1], a[2]);
}

} // namespace
