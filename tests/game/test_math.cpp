/* Vector routines and random numbers: rounding, ranges, aliasing, degenerate inputs. */
#include <gtest/gtest.h>

#include <math.h>

#include "g_local.h"

namespace {

void ExpectVec(const float *v, float x, float y, float z, float eps = 1e-5f)
{
    EXPECT_TRUE(fabsf(v[0] - x) <= eps && fabsf(v[1] - y) <= eps && fabsf(v[2] - z) <= eps) << v[0] << " " << v[1] << " " << v[2];
}

TEST(Math, RoundingAndTheFirstRandomNumber)
{
    const struct { float in; int out; } near[] = {
        {2.5f, 3}, {-2.5f, -3}, {2.49f, 2}, {-2.49f, -2}, {-0.5f, -1},
        {1e20f, 2147483647}, {-1e20f, -2147483647}, {NAN, 0}};
    for (auto &n : near)
        EXPECT_EQ(G_Nearest(n.in), n.out) << n.in;
    /* seed 1 x 1164525 + 1013904223 = 1015068748; its low 15 bits 14412; (4412 + 1) / 10000 */
    G_RandomReset();
    EXPECT_FLOAT_EQ(G_Random(), 0.4413f);
}

TEST(Math, AliasingRotationAndDegenerateInputs)
{
    float a[3] = {1, 0, 0}, b[3] = {0, 1, 0}, z[3] = {0, 0, 0};
    Vec_Cross(a, b, a); /* the output may be an input */
    ExpectVec(a, 0, 0, 1, 0);
    Vec_Normalize(z);
    ExpectVec(z, 0, 0, 0, 0);
    EXPECT_FALSE(Vec_IsParallel(b, z));
    float v[3] = {0, 0, -1}, w[3] = {0, 0, -1};
    Vec_Rotate(v, 0, 90, 0); /* the second angle turns the other way */
    ExpectVec(v, -1, 0, 0);
    Vec_Rotate(w, 90, 0, 0);
    ExpectVec(w, 0, 1, 0);
    float fwd[3] = {0, 0, -1}, right[3] = {1, 0, -1}, up[3] = {0, 5, 0}, s[3], u[3];
    EXPECT_NEAR(Vec_SignedAngle(fwd, right, 1), 45.0f, 1e-3f);
    EXPECT_NEAR(Vec_SignedAngle(right, up, 2), 90.0f, 1e-3f); /* about (0, 0, -1): from x a quarter turn to y */
    EXPECT_EQ((std::vector<float>{Vec_SignedAngle(fwd, up, 1), Vec_SignedAngle(fwd, right, 7)}), (std::vector<float>{0, 0}))
        << "along the axis, or about no axis: 0, not NaN";
    Vec_Basis(up, s, u);
    ExpectVec(s, 0, 0, 0, 0);
    entity_t e = {};
    Vec_Set(e.dir, 0, 1, 0);
    Ent_OrientToDirection(&e);
    for (int i = 0; i < 3; i++)
        EXPECT_TRUE(isfinite(e.angles[i]));
    Ent_OrientMissile(&e); /* straight up is nudged towards +x first */
    EXPECT_TRUE(fabsf(e.dir[0] - 0.1f / sqrtf(1.01f)) < 1e-6f && fabsf(Vec_Length(e.dir) - 1.0f) < 1e-6f) << e.dir[0];
    for (int i = 0; i < 3; i++)
        EXPECT_TRUE(isfinite(e.angles[i]));
}

/* Angles held to their domain where rounding takes a cosine past 1; a model pitched to its aim. */
TEST(Math, AnglesAtTheEndsOfTheirRange)
{
    /* any two directions, about each axis: the signed angle is a number within a quarter turn */
    int nan = 0;
    uint32_t seed = 1;
    auto next = [&seed] { return (float)((seed = seed * 1664525u + 1013904223u) >> 8) / 16777216.0f * 2.0f - 1.0f; };
    for (int i = 0; i < 100000; i++) {
        float a[3] = {next(), next(), next()}, b[3] = {next(), next(), next()};
        float r = Vec_SignedAngle(a, b, i % 3);
        nan += !(r >= -90.0f && r <= 90.0f);
    }
    EXPECT_EQ(nan, 0);
    /* the pitch is the aim's elevation, negated, on either side; no roll */
    const float side[3] = {1, 0, 0};
    for (float up : {-60.0f, -30.0f, 0.0f, 30.0f, 89.0f}) {
        float e = up * (float)M_PI / 180.0f;
        const float dirs[2][3] = {{0, sinf(e), -cosf(e)}, {cosf(e), sinf(e), 0}};
        for (const float *d : dirs) {
            float angles[3] = {123, 123, 123};
            Vec_AnglesFromVectors(side, d, angles);
            EXPECT_NEAR(remainderf(angles[0] + up, 360.0f), 0.0f, 1e-3f) << up;
            EXPECT_EQ(angles[2], 0.0f);
        }
    }
}

} // namespace
