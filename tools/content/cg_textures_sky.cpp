/*
 * cg_textures_sky.cpp -- the sky sphere and planet maps: seven
 * equirectangular skies (day over the farm, sunset, moonlit night, the
 * edge of space above the earth, and three star fields with nebulae) and
 * seven planets plus a ring band.  Every map is computed from directions
 * on the unit sphere, so it wraps without a seam.
 */
#include "cg_common.h"

#include <math.h>
#include <stdio.h>

#define PI 3.14159265f
/* Width of the sky maps (2:1, equirectangular): about 5.7 texels a degree,
 * still magnified in every display mode from 640 x 480 up. */
#define CG_SKY_W 2048

typedef cg_color_t (*cg_spheremap_f)(cg_vec3_t d, uint32_t seed);

/* Angle one texel spans in the map being rendered: sharp shapes (sun and
 * moon discs, hedges) are given edges exactly that wide, so the magnified
 * sky shows smooth outlines instead of texel steps. */
static float cg_texel = 2 * 3.14159265f / 1024;

static cg_vec3_t DirOf(int x, int y, int w, int h)
{
    float u = (x + 0.5f) / w, v = 1 - (y + 0.5f) / h;
    float th = u * 2 * PI, lat = (v - 0.5f) * PI;
    /* the lathe places u = 0 on +x and turns towards +z */
    return V3(cosf(lat) * cosf(th), sinf(lat), cosf(lat) * sinf(th));
}

static float F3(cg_vec3_t d, float s, int oct, uint32_t seed)
{
    return CG_Fbm3(d.x * s + 17, d.y * s + 17, d.z * s + 17, oct, seed);
}

/* Coverage of a disc of angular radius acos(cosr) at the texel whose
 * direction has cosine cosd with the disc's centre. */
static float Disc(float cosd, float cosr)
{
    float a = acosf(fminf(1.0f, cosd)), r = acosf(cosr);
    return CG_Clamp01((r - a) / cg_texel + 0.5f);
}

/* Ground grid coordinates under direction d (far away when d is level). */
static void GroundAt(cg_vec3_t d, float *gx, float *gz, float *k)
{
    *k = d.y < -0.01f ? 1.0f / -d.y : 100.0f;
    *gx = d.x * *k * 3.0f;
    *gz = d.z * *k * 3.0f;
}

static cg_color_t Add(cg_color_t a, cg_color_t b, float k)
{
    return RGBA(a.r + b.r * k, a.g + b.g * k, a.b + b.b * k, 1);
}

/* Stars: sparse bright points from a hash of the direction cell. */
static float Stars(cg_vec3_t d, float density, uint32_t seed)
{
    float s = 0;
    for (int layer = 0; layer < 2; layer++) {
        float sc = layer ? 260.0f : 130.0f;
        float n = CG_Noise3(d.x * sc, d.y * sc, d.z * sc, seed + layer);
        float t = 1 - density * (layer ? 0.5f : 1.0f);
        if (n > t)
            s += powf((n - t) / (1 - t), 2.0f) * (layer ? 0.7f : 1.2f);
    }
    return s;
}

static cg_color_t Ground(cg_vec3_t d, uint32_t seed, cg_color_t a, cg_color_t b, float dark)
{
    /* fields seen from above: patches of several crops with hedges that
     * fade out towards the horizon */
    float k, gx, gz;
    GroundAt(d, &gx, &gz, &k);
    /* the size of one texel on the ground, for the width of hedge edges */
    float ux, uz, uk, ax, az, ak;
    GroundAt(V3Norm(V3(d.x, d.y + cg_texel, d.z)), &ux, &uz, &uk);
    GroundAt(V3Norm(V3(d.x - d.z * cg_texel, d.y, d.z + d.x * cg_texel)), &ax, &az, &ak);
    float foot = fmaxf(fmaxf(fabsf(ux - gx), fabsf(uz - gz)), fmaxf(fabsf(ax - gx), fabsf(az - gz)));
    float n = CG_Fbm2(gx * 2, gz * 2, 0, 0, 3, seed);
    float cx = floorf(gx + 0.3f * sinf(gz * 0.7f)), cz = floorf(gz);
    float pick = CG_Noise2(cx, cz, 0, 0, seed + 5);
    cg_color_t c = pick < 0.3f ? a : pick < 0.55f ? b
                 : pick < 0.75f ? RGBA(a.r * 0.7f, a.g * 0.8f, a.b * 0.7f, 1)
                                : RGBA(b.r * 0.75f, b.g * 0.6f, b.b * 0.5f, 1);
    float fx = gx + 0.3f * sinf(gz * 0.7f) - cx, fz = gz - cz;
    float edge = fminf(fminf(fx, 1 - fx), fminf(fz, 1 - fz));
    float far = CG_Smooth(2.0f, 12.0f, k);
    float hedge = 1.0f - 0.45f * CG_Clamp01((0.035f - edge) / fmaxf(foot, 1e-4f) + 0.5f);
    hedge = hedge + (0.85f - hedge) * far;
    cg_color_t avg = CG_Mix(a, b, 0.45f);
    c = CG_Mix(c, avg, far * 0.8f);
    float kk = (0.8f + 0.3f * (n - 0.5f)) * hedge * dark;
    return RGBA(c.r * kk, c.g * kk, c.b * kk, 1);
}

static cg_color_t SkyDay(cg_vec3_t d, uint32_t seed)
{
    cg_vec3_t sun = V3Norm(V3(0.3f, 0.55f, -0.75f));
    if (d.y < 0) {
        cg_color_t g = Ground(d, seed, RGBA(0.35f, 0.62f, 0.20f, 1), RGBA(0.78f, 0.70f, 0.30f, 1), 1);
        return CG_Mix(g, RGBA(0.75f, 0.85f, 0.95f, 1), expf(d.y * 18));
    }
    cg_color_t sky = CG_Mix(RGBA(0.72f, 0.85f, 0.98f, 1), RGBA(0.18f, 0.42f, 0.85f, 1), powf(d.y, 0.6f));
    float sd = V3Dot(d, sun);
    sky = Add(sky, RGBA(1, 0.95f, 0.8f, 1), powf(fmaxf(0, sd), 60) * 0.6f + Disc(sd, 0.9985f));
    float cl = F3(d, 2.5f, 6, seed + 1);
    float cover = CG_Smooth(0.48f, 0.68f, cl) * CG_Smooth(0.0f, 0.25f, d.y);
    float shade = 0.78f + 0.3f * (F3(d, 5, 4, seed + 2) - 0.5f) + 0.2f * fmaxf(0, sd);
    return CG_Mix(sky, RGBA(shade, shade, shade * 1.02f, 1), cover * 0.92f);
}

static cg_color_t SkySunset(cg_vec3_t d, uint32_t seed)
{
    cg_vec3_t sun = V3Norm(V3(-0.2f, 0.06f, -0.98f));
    float sd = V3Dot(d, sun);
    if (d.y < 0) {
        float hills = 0.04f * F3(V3(d.x, 0, d.z), 3, 3, seed + 9);
        (void)hills;
        cg_color_t g = Ground(d, seed, RGBA(0.25f, 0.22f, 0.18f, 1), RGBA(0.35f, 0.25f, 0.15f, 1), 0.6f);
        return CG_Mix(g, RGBA(0.95f, 0.45f, 0.25f, 1), expf(d.y * 14) * 0.8f);
    }
    float h = powf(d.y, 0.45f);
    cg_color_t sky = CG_Mix(RGBA(1.0f, 0.55f, 0.22f, 1), RGBA(0.28f, 0.16f, 0.42f, 1), h);
    sky = Add(sky, RGBA(1, 0.75f, 0.35f, 1), powf(fmaxf(0, sd), 12) * 0.7f);
    sky = CG_Mix(sky, RGBA(1, 0.95f, 0.7f, 1), Disc(sd, 0.998f));
    float streak = CG_Fbm3(d.x * 3, d.y * 14, d.z * 3, 5, seed + 3);
    float cover = CG_Smooth(0.52f, 0.7f, streak) * CG_Smooth(0.02f, 0.12f, d.y) * (1 - CG_Smooth(0.5f, 0.8f, d.y));
    cg_color_t cloud = CG_Mix(RGBA(0.95f, 0.45f, 0.45f, 1), RGBA(0.45f, 0.25f, 0.45f, 1), h);
    return CG_Mix(sky, cloud, cover * 0.85f);
}

static cg_color_t SkyNight(cg_vec3_t d, uint32_t seed)
{
    cg_vec3_t moon = V3Norm(V3(0.5f, 0.45f, -0.7f));
    if (d.y < 0) {
        cg_color_t g = Ground(d, seed, RGBA(0.10f, 0.16f, 0.14f, 1), RGBA(0.14f, 0.15f, 0.20f, 1), 0.8f);
        return CG_Mix(g, RGBA(0.10f, 0.14f, 0.28f, 1), expf(d.y * 12));
    }
    cg_color_t sky = CG_Mix(RGBA(0.10f, 0.14f, 0.30f, 1), RGBA(0.01f, 0.02f, 0.07f, 1), powf(d.y, 0.5f));
    float s = Stars(d, 0.06f, seed) * CG_Smooth(0.02f, 0.2f, d.y);
    sky = Add(sky, RGBA(1, 1, 0.95f, 1), s);
    float md = V3Dot(d, moon);
    float disc = Disc(md, 0.9975f);
    sky = Add(sky, RGBA(0.6f, 0.65f, 0.8f, 1), powf(fmaxf(0, md), 200) * 0.6f * (1 - disc));
    if (disc > 0) {
        float crater = F3(d, 40, 3, seed + 4);
        float k = 0.8f + 0.3f * (crater - 0.5f);
        sky = CG_Mix(sky, RGBA(0.95f * k, 0.93f * k, 0.85f * k, 1), disc);
    }
    float cl = F3(d, 2.2f, 5, seed + 6);
    float cover = CG_Smooth(0.55f, 0.72f, cl) * CG_Smooth(0.0f, 0.3f, d.y);
    float lit = 0.12f + 0.3f * powf(fmaxf(0, md), 8);
    return CG_Mix(sky, RGBA(lit, lit * 1.05f, lit * 1.3f, 1), cover * 0.8f);
}

static cg_color_t SkyEdge(cg_vec3_t d, uint32_t seed)
{
    /* high above the earth: a curved blue planet below, black sky above */
    float horizon = -0.12f;
    if (d.y < horizon) {
        float k = 1.0f / (horizon - d.y + 0.05f);
        cg_vec3_t p = V3(d.x * k * 0.4f, 0, d.z * k * 0.4f);
        float land = F3(p, 1.2f, 5, seed + 1);
        cg_color_t c = land > 0.55f ? CG_Mix(RGBA(0.25f, 0.45f, 0.18f, 1), RGBA(0.55f, 0.45f, 0.3f, 1), (land - 0.55f) * 3)
                                    : RGBA(0.05f, 0.18f, 0.48f, 1);
        float cloud = CG_Smooth(0.6f, 0.78f, F3(p, 2.4f, 5, seed + 2));
        c = CG_Mix(c, RGBA(0.95f, 0.96f, 1, 1), cloud * 0.85f);
        float haze = expf((d.y - horizon) * 12);
        return CG_Mix(c, RGBA(0.55f, 0.75f, 1, 1), haze * 0.8f);
    }
    float a = d.y - horizon;
    cg_color_t sky = CG_Mix(RGBA(0.45f, 0.7f, 1, 1), RGBA(0, 0, 0.02f, 1), CG_Smooth(0, 0.35f, a));
    sky = Add(sky, RGBA(1, 1, 1, 1), Stars(d, 0.05f, seed) * CG_Smooth(0.15f, 0.4f, a));
    cg_vec3_t sun = V3Norm(V3(-0.6f, 0.35f, -0.7f));
    float sd = V3Dot(d, sun);
    sky = Add(sky, RGBA(1, 1, 0.9f, 1), 1.5f * Disc(sd, 0.9988f) + powf(fmaxf(0, sd), 300) * 0.8f);
    return sky;
}

static cg_color_t Nebula(cg_vec3_t d, uint32_t seed, cg_color_t c1, cg_color_t c2, float density,
                         cg_vec3_t band)
{
    cg_color_t sky = RGBA(0.005f, 0.005f, 0.015f, 1);
    float n1 = F3(d, 1.6f, 6, seed + 1), n2 = F3(d, 3.2f, 5, seed + 2);
    float b = V3Dot(d, V3Norm(band));
    float bandk = expf(-b * b * 9);
    float neb = CG_Smooth(0.42f, 0.8f, n1) * (0.4f + 0.6f * bandk);
    sky = Add(sky, CG_Mix(c1, c2, n2), neb * 0.9f);
    float dust = CG_Smooth(0.55f, 0.75f, F3(d, 6, 4, seed + 3));
    sky = RGBA(sky.r * (1 - 0.6f * dust * bandk), sky.g * (1 - 0.6f * dust * bandk), sky.b * (1 - 0.5f * dust * bandk), 1);
    float glow = bandk * 0.12f * F3(d, 12, 3, seed + 4);
    sky = Add(sky, RGBA(0.9f, 0.85f, 0.8f, 1), glow);
    float st = Stars(d, density * (0.6f + 0.8f * bandk), seed + 5);
    cg_color_t tint = CG_Mix(RGBA(0.8f, 0.85f, 1, 1), RGBA(1, 0.9f, 0.75f, 1), CG_Noise3(d.x * 50, d.y * 50, d.z * 50, seed));
    return Add(sky, tint, st);
}

static cg_color_t SkySpaceBlue(cg_vec3_t d, uint32_t s)
{
    return Nebula(d, s, RGBA(0.25f, 0.30f, 0.85f, 1), RGBA(0.75f, 0.25f, 0.75f, 1), 0.08f, V3(0.3f, 1, 0.2f));
}

static cg_color_t SkySpaceRed(cg_vec3_t d, uint32_t s)
{
    return Nebula(d, s, RGBA(0.90f, 0.25f, 0.15f, 1), RGBA(1.0f, 0.70f, 0.30f, 1), 0.10f, V3(-0.4f, 1, 0.5f));
}

static cg_color_t SkySpaceGreen(cg_vec3_t d, uint32_t s)
{
    cg_color_t c = Nebula(d, s, RGBA(0.10f, 0.70f, 0.55f, 1), RGBA(0.30f, 0.40f, 0.95f, 1), 0.09f, V3(0.6f, 0.8f, -0.3f));
    cg_vec3_t star = V3Norm(V3(0.7f, 0.25f, -0.65f));   /* a distant blue-white sun */
    float sd = V3Dot(d, star);
    return Add(c, RGBA(0.7f, 0.85f, 1, 1), 1.5f * Disc(sd, 0.999f) + powf(fmaxf(0, sd), 80) * 0.7f);
}

/* ---- planets ---------------------------------------------------------------------------- */

static cg_color_t PlanetEarth(cg_vec3_t d, uint32_t seed)
{
    float land = F3(d, 1.8f, 6, seed);
    cg_color_t c = RGBA(0.06f, 0.22f, 0.55f, 1);
    if (land > 0.53f) {
        float h = (land - 0.53f) * 4;
        c = CG_Mix(RGBA(0.22f, 0.48f, 0.16f, 1), RGBA(0.62f, 0.52f, 0.34f, 1), CG_Clamp01(h));
    }
    if (fabsf(d.y) > 0.85f)
        c = RGBA(0.95f, 0.97f, 1, 1);
    float cl = CG_Smooth(0.5f, 0.72f, F3(d, 3.5f, 5, seed + 1));
    return CG_Mix(c, RGBA(1, 1, 1, 1), cl * 0.8f);
}

static cg_color_t PlanetMars(cg_vec3_t d, uint32_t seed)
{
    float n = F3(d, 2.5f, 6, seed);
    cg_color_t c = CG_Mix(RGBA(0.55f, 0.22f, 0.10f, 1), RGBA(0.88f, 0.52f, 0.28f, 1), n);
    float cr = CG_Noise3(d.x * 9, d.y * 9, d.z * 9, seed + 3);
    if (cr > 0.78f)
        c = RGBA(c.r * 0.7f, c.g * 0.7f, c.b * 0.7f, 1);
    if (d.y > 0.9f)
        c = CG_Mix(c, RGBA(1, 0.97f, 0.95f, 1), CG_Smooth(0.9f, 0.94f, d.y));
    return c;
}

static cg_color_t Bands(cg_vec3_t d, uint32_t seed, cg_color_t a, cg_color_t b, float freq)
{
    float turb = F3(d, 4, 5, seed) - 0.5f;
    float t = 0.5f + 0.5f * sinf((d.y + turb * 0.12f) * freq);
    float t2 = 0.5f + 0.5f * sinf((d.y + turb * 0.08f) * freq * 2.7f + 1);
    cg_color_t c = CG_Mix(a, b, t * 0.7f + t2 * 0.3f);
    return c;
}

static cg_color_t PlanetJupiter(cg_vec3_t d, uint32_t seed)
{
    cg_color_t c = Bands(d, seed, RGBA(0.85f, 0.72f, 0.55f, 1), RGBA(0.65f, 0.38f, 0.22f, 1), 18);
    cg_vec3_t spot = V3Norm(V3(0.8f, -0.35f, 0.5f));
    float sd = V3Dot(d, spot);
    if (sd > 0.97f)
        c = CG_Mix(c, RGBA(0.78f, 0.28f, 0.15f, 1), CG_Smooth(0.97f, 0.985f, sd));
    return c;
}

static cg_color_t PlanetIce(cg_vec3_t d, uint32_t seed)
{
    float n = F3(d, 3, 6, seed);
    cg_color_t c = CG_Mix(RGBA(0.55f, 0.75f, 0.95f, 1), RGBA(0.92f, 0.97f, 1, 1), n);
    float crack = fabsf(F3(d, 5, 4, seed + 2) - 0.5f);
    if (crack < 0.02f)
        c = RGBA(0.3f, 0.5f, 0.8f, 1);
    return c;
}

static cg_color_t PlanetSaturn(cg_vec3_t d, uint32_t seed)
{
    return Bands(d, seed, RGBA(0.95f, 0.88f, 0.65f, 1), RGBA(0.80f, 0.68f, 0.45f, 1), 12);
}

static cg_color_t PlanetLava(cg_vec3_t d, uint32_t seed)
{
    float n = F3(d, 2.5f, 6, seed);
    cg_color_t c = CG_Mix(RGBA(0.10f, 0.08f, 0.08f, 1), RGBA(0.28f, 0.22f, 0.20f, 1), n);
    float crack = fabsf(F3(d, 4, 5, seed + 7) - 0.5f);
    if (crack < 0.035f)
        c = CG_Mix(RGBA(1, 0.85f, 0.2f, 1), RGBA(0.9f, 0.25f, 0.05f, 1), crack / 0.035f);
    return c;
}

static cg_color_t PlanetAlien(cg_vec3_t d, uint32_t seed)
{
    float n = F3(d, 2, 6, seed);
    cg_color_t c = CG_Mix(RGBA(0.35f, 0.15f, 0.55f, 1), RGBA(0.15f, 0.65f, 0.60f, 1), CG_Smooth(0.4f, 0.6f, n));
    float sw = F3(V3(d.x * 2, d.y * 6, d.z * 2), 2, 4, seed + 1);
    return CG_Mix(c, RGBA(0.85f, 0.75f, 0.95f, 1), CG_Smooth(0.6f, 0.75f, sw) * 0.6f);
}

static void Render(cg_image_t *im, int w, int h, cg_spheremap_f f, uint32_t seed, int shade)
{
    CG_ImageInit(im, w, h, RGBA(0, 0, 0, 1));
    cg_texel = 2 * PI / w;
    cg_vec3_t L = V3Norm(V3(-0.6f, 0.3f, 0.75f));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            cg_vec3_t d = DirOf(x, y, w, h);
            cg_color_t c = f(d, seed);
            if (shade) {    /* a lit half and a dark half on the planet */
                float k = 0.25f + 0.85f * CG_Clamp01((V3Dot(d, L) + 0.25f) / 1.1f);
                c = RGBA(c.r * k, c.g * k, c.b * k, 1);
            }
            *CG_Pixel(im, x, y) = c;
        }
}

static void MakeRing(cg_image_t *im)
{
    CG_ImageInit(im, 64, 256, RGBA(0, 0, 0, 1));
    for (int y = 0; y < im->h; y++) {
        float v = 1 - (y + 0.5f) / im->h;
        float n = CG_Fbm2(v * 40, 0.5f, 0, 0, 4, 55);
        float gap = (v > 0.62f && v < 0.67f) ? 0.15f : 1.0f;
        float k = (0.45f + 0.6f * n) * gap;
        for (int x = 0; x < im->w; x++)
            *CG_Pixel(im, x, y) = RGBA(0.85f * k, 0.78f * k, 0.62f * k, 1);
    }
}

int CG_GenSkyTextures(const std::string &datadir)
{
    static const cg_spheremap_f skies[7] = {SkyDay, SkySunset, SkyNight, SkyEdge,
                                            SkySpaceBlue, SkySpaceRed, SkySpaceGreen};
    static const cg_spheremap_f planets[7] = {PlanetEarth, PlanetMars, PlanetJupiter, PlanetIce,
                                              PlanetSaturn, PlanetLava, PlanetAlien};
    int fails = 0;
    cg_image_t im;
    char name[64];
    for (int i = 0; i < 7; i++) {
        Render(&im, CG_SKY_W, CG_SKY_W / 2, skies[i], 1000 + i * 17, 0);
        snprintf(name, sizeof name, "/sky%02d.tga", i + 1);
        fails += !CG_WriteTGA(datadir + name, &im, 0);
        Render(&im, 512, 256, planets[i], 2000 + i * 23, 1);
        snprintf(name, sizeof name, "/planet%02d.tga", i + 1);
        fails += !CG_WriteTGA(datadir + name, &im, 0);
    }
    MakeRing(&im);
    fails += !CG_WriteTGA(datadir + "/planetring.tga", &im, 0);
    return fails;
}
