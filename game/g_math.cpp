/*
 * g_math.cpp -- the game's vector routines, the orientation of models and
 * missiles from their direction, the view basis from pitch and yaw, and
 * the random generator (a linear congruential generator with multiplier
 * 1164525, seed 1 at load) with the rounding rule the behaviours use.
 * Everything is single-precision float and allocates nothing.
 */
#include "g_local.h"

#include <math.h>

const vec3_t vec3_origin = {0.0f, 0.0f, 0.0f};
const vec3_t vec3_up = {0.0f, 1.0f, 0.0f};

static uint32_t g_seed = 1;

float G_Random(void)
{
    g_seed = g_seed * 1164525u + 1013904223u;
    return (float)((g_seed & 0x7FFFu) % 10000u + 1u) / 10000.0f;
}

void G_RandomReset(void)
{
    g_seed = 1;
}

int G_Nearest(float x)
{
    float ax = fabsf(x);
    if (!(ax < 2147483520.0f)) /* also NaN: clamp to the int range */
        return x < 0 ? -2147483647 : (x > 0 ? 2147483647 : 0);
    int t = (int)ax;
    if (ax - (float)t >= 0.5f)
        t++;
    return x < 0 ? -t : t;
}

void Vec_Set(float *v, float x, float y, float z)
{
    v[0] = x;
    v[1] = y;
    v[2] = z;
}

void Vec_Copy(const float *src, float *dst)
{
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
}

void Vec_Add(const float *a, const float *b, float *out)
{
    out[0] = a[0] + b[0];
    out[1] = a[1] + b[1];
    out[2] = a[2] + b[2];
}

void Vec_Sub(const float *a, const float *b, float *out)
{
    out[0] = a[0] - b[0];
    out[1] = a[1] - b[1];
    out[2] = a[2] - b[2];
}

void Vec_Scale(const float *v, float s, float *out)
{
    out[0] = v[0] * s;
    out[1] = v[1] * s;
    out[2] = v[2] * s;
}

float Vec_Dot(const float *a, const float *b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

float Vec_Length(const float *v)
{
    return sqrtf(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

float Vec_DistSquared(const float *a, const float *b)
{
    float d[3];
    Vec_Sub(a, b, d);
    return Vec_Dot(d, d);
}

void Vec_Normalize(float *v)
{
    float l = Vec_Length(v);
    if (l == 0.0f)
        return;
    float inv = 1.0f / l;
    v[0] *= inv;
    v[1] *= inv;
    v[2] *= inv;
}

void Vec_Cross(const float *a, const float *b, float *out)
{
    float x = a[1] * b[2] - a[2] * b[1];
    float y = a[2] * b[0] - a[0] * b[2];
    float z = a[0] * b[1] - a[1] * b[0];
    Vec_Set(out, x, y, z);
}

void Vec_MA(const float *a, float s, const float *b, float *out)
{
    out[0] = a[0] + s * b[0];
    out[1] = a[1] + s * b[1];
    out[2] = a[2] + s * b[2];
}

int Vec_IsParallel(const float *a, const float *b)
{
    float d = fabsf(Vec_Dot(a, b)) / (Vec_Length(a) * Vec_Length(b));
    return d == 1.0f;
}

static float G_Rad(float deg)
{
    return deg * G_PI / 180.0f;
}

static float G_Deg(float rad)
{
    return rad * 180.0f / G_PI;
}

/* Turns the pair (a, b) by angle radians: (a, b) <- (a cos - b sin, a sin + b cos). */
static void Vec_TurnPair(float *a, float *b, float angle)
{
    if (angle == 0.0f)
        return;
    float c = cosf(angle), s = sinf(angle);
    float na = *a * c - *b * s;
    float nb = *a * s + *b * c;
    *a = na;
    *b = nb;
}

void Vec_Rotate(float *v, float ax, float ay, float az)
{
    Vec_TurnPair(&v[1], &v[2], G_Rad(ax));  /* about x */
    Vec_TurnPair(&v[0], &v[2], G_Rad(-ay)); /* about y, the sign flip included */
    Vec_TurnPair(&v[0], &v[1], G_Rad(az));  /* about z */
}

static const float g_axes[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, -1}};

float Vec_SignedAngle(const float *a, const float *b, int k)
{
    if (k < 0 || k > 2)
        return 0.0f;
    float ap[3], bp[3], c[3];
    Vec_Copy(a, ap);
    ap[k] = 0.0f;
    Vec_Normalize(ap);
    Vec_Cross(g_axes[k], ap, c);
    Vec_Copy(b, bp);
    bp[k] = 0.0f;
    Vec_Normalize(bp);
    float q = Vec_Dot(bp, c) / (Vec_Length(c) * Vec_Length(bp));
    if (q != q) /* a or b parallel to the axis */
        return 0.0f;
    if (q > 1.0f)
        q = 1.0f;
    if (q < -1.0f)
        q = -1.0f;
    return G_Deg(acosf(q)) - 90.0f;
}

void Vec_RandomDir(float *out)
{
    for (int i = 0; i < 3; i++) {
        out[i] = G_Random() - 0.5f;
        if (out[i] == 0.0f)
            out[i] = 0.0001f;
    }
    Vec_Normalize(out);
}

void Vec_Basis(const float *d, float *side, float *up)
{
    float flat[3] = {d[0], 0.0f, d[2]};
    Vec_Normalize(flat);
    Vec_Cross(vec3_up, flat, side);
    Vec_Cross(d, side, up);
    Vec_Normalize(side);
    Vec_Normalize(up);
}

void Vec_BasisFromAngles(float pitch, float yaw, float roll, float *forward,
                         float *side, float *up)
{
    Vec_Set(forward, 0.0f, 0.0f, -1.0f);
    Vec_Rotate(forward, -pitch, -yaw, -roll);
    Vec_Basis(forward, side, up);
}

/* arc cosine in degrees with the argument held to [-1, 1] */
static float G_AcosDeg(float q)
{
    if (q > 1.0f)
        q = 1.0f;
    if (q < -1.0f)
        q = -1.0f;
    return G_Deg(acosf(q));
}

void Vec_AnglesFromVectors(const float *s, const float *d, float *angles)
{
    float sl = Vec_Length(s), dl = Vec_Length(d);
    angles[2] = 0.0f;
    float a = sl > 0.0f ? G_AcosDeg(-s[2] / sl) : 90.0f;
    angles[1] = s[0] >= 0.0f ? 90.0f - a : 90.0f + a;
    float b = dl > 0.0f ? G_AcosDeg(d[1] / dl) : 90.0f;
    angles[0] = (d[0] > 0.0f && d[1] > 0.0f) ? b + 270.0f : b - 90.0f;
}

void Ent_OrientToDirection(entity_t *e)
{
    float side[3], up[3];
    Vec_Basis(e->dir, side, up);
    Vec_Copy(side, e->vec2);
    Vec_AnglesFromVectors(side, e->dir, e->angles);
}

void Ent_OrientMissile(entity_t *e)
{
    if (Vec_IsParallel(e->dir, vec3_up)) {
        e->dir[0] += 0.1f;
        Vec_Normalize(e->dir);
    }
    float n[3], s[3], u[3];
    Vec_Scale(e->dir, -1.0f, n);
    Vec_Basis(n, s, u);
    Vec_AnglesFromVectors(s, n, e->angles);
    Vec_Basis(e->dir, s, u);
    Vec_Copy(s, e->vec2);
}
