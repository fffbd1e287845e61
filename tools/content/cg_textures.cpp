/*
 * cg_textures.cpp -- the generated textures of the models and the screen
 * images: shading maps over all normal directions for the solid and
 * glowing materials, explicitly mapped surfaces (balloon, wicker, screens,
 * solar cells, feathers), the substitute "notex", the particle sprite, the
 * mouse cursor, the three weapon icons and the pause menu button.  Sky and
 * planet maps are in cg_textures_sky.cpp.
 */
#include "cg_common.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#define PI 3.14159265f

int CG_GenSkyTextures(const std::string &datadir);

/* ---- shading maps ------------------------------------------------------------- */

typedef struct {
    const char *name;
    float r, g, b;
    float shine;     /* highlight strength */
    float noise;     /* surface mottling */
    float nscale;    /* mottling frequency */
    float alpha;     /* < 1: translucent glow (32-bit) */
} cg_matdef_t;

static const cg_matdef_t cg_mats[] = {
    {"mc_white", 0.97f, 0.95f, 0.90f, 0.25f, 0.18f, 9, 1},
    {"mc_cream", 0.95f, 0.88f, 0.72f, 0.15f, 0.22f, 9, 1},
    {"mc_red", 0.90f, 0.10f, 0.08f, 0.35f, 0.08f, 4, 1},
    {"mc_orange", 1.00f, 0.62f, 0.10f, 0.35f, 0.06f, 4, 1},
    {"mc_yellow", 1.00f, 0.86f, 0.15f, 0.35f, 0.05f, 4, 1},
    {"mc_black", 0.05f, 0.05f, 0.06f, 0.70f, 0.02f, 4, 1},
    {"mc_gold", 1.00f, 0.72f, 0.18f, 0.80f, 0.20f, 7, 1},
    {"mc_grey", 0.55f, 0.56f, 0.58f, 0.30f, 0.18f, 9, 1},
    {"mc_brown", 0.62f, 0.36f, 0.16f, 0.20f, 0.25f, 9, 1},
    {"mc_tan", 0.82f, 0.64f, 0.38f, 0.15f, 0.20f, 9, 1},
    {"mc_darkbrown", 0.32f, 0.18f, 0.08f, 0.20f, 0.20f, 9, 1},
    {"mc_blue", 0.12f, 0.30f, 0.90f, 0.50f, 0.05f, 4, 1},
    {"mc_egg", 0.98f, 0.93f, 0.82f, 0.30f, 0.30f, 14, 1},
    {"mc_darkmetal", 0.26f, 0.28f, 0.32f, 0.60f, 0.15f, 5, 1},
    {"mc_metal", 0.70f, 0.72f, 0.76f, 0.90f, 0.10f, 5, 1},
    {"mc_gun", 0.36f, 0.38f, 0.42f, 0.80f, 0.10f, 5, 1},
    {"mc_glowwhite", 0.85f, 0.95f, 1.00f, 0.00f, 0.00f, 4, 1},
    {"mc_slime", 0.45f, 1.00f, 0.25f, 0.60f, 0.25f, 5, 1},
    {"mc_magenta", 1.00f, 0.35f, 0.85f, 0.60f, 0.05f, 4, 1},
    {"mc_glass", 0.55f, 0.80f, 0.95f, 1.00f, 0.02f, 4, 1},
    {"mc_teal", 0.05f, 0.62f, 0.62f, 0.70f, 0.08f, 5, 1},
    {"mc_green", 0.35f, 0.85f, 0.25f, 0.30f, 0.20f, 8, 1},
    {"mc_purple", 0.60f, 0.22f, 0.40f, 0.70f, 0.08f, 5, 1},
    {"mc_pinkskin", 0.95f, 0.55f, 0.75f, 0.30f, 0.20f, 8, 1},
    {"mc_redglass", 0.90f, 0.15f, 0.10f, 1.00f, 0.05f, 4, 1},
    {"mc_suit", 0.92f, 0.92f, 0.94f, 0.30f, 0.10f, 10, 1},
    {"mc_visor", 0.95f, 0.70f, 0.20f, 1.20f, 0.02f, 4, 1},
    {"mc_rock", 0.48f, 0.42f, 0.38f, 0.25f, 0.55f, 6, 1},
    {"mc_moon", 0.70f, 0.68f, 0.66f, 0.10f, 0.45f, 6, 1},
    {"mc_burnt", 0.22f, 0.16f, 0.14f, 0.20f, 0.45f, 7, 1},
    {"gl_spark", 1.00f, 0.85f, 0.30f, 0, 0.10f, 4, 0.85f},
    {"gl_plasma", 0.35f, 0.70f, 1.00f, 0, 0.10f, 4, 0.55f},
    {"gl_green", 0.30f, 1.00f, 0.35f, 0, 0.05f, 4, 0.85f},
    {"gl_red", 1.00f, 0.20f, 0.15f, 0, 0.05f, 4, 0.85f},
    {"gl_arrow", 1.00f, 0.85f, 0.20f, 0, 0.05f, 4, 0.75f},
    {"gl_glibber", 0.45f, 1.00f, 0.20f, 0, 0.20f, 5, 0.45f},
    {"gl_homing", 1.00f, 0.55f, 0.15f, 0, 0.10f, 4, 0.55f},
    {"gl_engine", 1.00f, 0.60f, 0.15f, 0, 0.15f, 5, 0.70f},
    {"gl_yellow", 1.00f, 0.95f, 0.40f, 0, 0.05f, 4, 0.90f},
    {"gl_glass", 0.60f, 0.90f, 1.00f, 0, 0.05f, 4, 0.28f},
    {"gl_coma", 0.70f, 0.90f, 1.00f, 0, 0.20f, 4, 0.22f},
    {"gl_tail", 0.65f, 0.85f, 1.00f, 0, 0.35f, 3, 0.30f},
};

static void MakeShadingMap(cg_image_t *im, const cg_matdef_t *d, uint32_t seed)
{
    CG_ImageInit(im, 128, 64, RGBA(0, 0, 0, 1));
    cg_vec3_t L = V3Norm(V3(0.45f, 0.75f, 0.50f));
    cg_vec3_t F = V3Norm(V3(-0.5f, -0.6f, -0.3f));
    int glow = d->alpha < 1;
    for (int y = 0; y < im->h; y++)
        for (int x = 0; x < im->w; x++) {
            float u = (x + 0.5f) / im->w, v = 1 - (y + 0.5f) / im->h;
            float th = (u - 0.5f) * 2 * PI, lat = (v - 0.5f) * PI;
            cg_vec3_t n = V3(cosf(lat) * sinf(th), sinf(lat), cosf(lat) * cosf(th));
            float nz = CG_Fbm3(n.x * d->nscale + 11, n.y * d->nscale + 11, n.z * d->nscale + 11, 4, seed);
            float mott = 1 + d->noise * (nz - 0.5f) * 2;
            cg_color_t c;
            if (glow) {
                float k = (0.8f + 0.2f * n.y) * mott;
                c = RGBA(d->r * k + 0.25f, d->g * k + 0.25f, d->b * k + 0.25f, d->alpha * (0.85f + 0.3f * (nz - 0.5f)));
            } else {
                float dif = (V3Dot(n, L) + 0.35f) / 1.35f;
                dif = dif < 0 ? 0 : dif;
                float fill = fmaxf(0, V3Dot(n, F)) * 0.25f;
                float amb = 0.30f + 0.08f * n.y;
                float k = (amb + 0.78f * dif + fill) * mott;
                float sp = d->shine * powf(fmaxf(0, V3Dot(n, L)), 24);
                c = RGBA(d->r * k + sp, d->g * k + sp, d->b * k + sp, 1);
            }
            *CG_Pixel(im, x, y) = c;
        }
}

/* ---- explicitly mapped surfaces --------------------------------------------------- */

static void MakeBalloon(cg_image_t *im)
{
    CG_ImageInit(im, 128, 128, RGBA(1, 1, 1, 1));
    for (int y = 0; y < im->h; y++)
        for (int x = 0; x < im->w; x++) {
            float u = (x + 0.5f) / im->w, v = 1 - (y + 0.5f) / im->h;
            cg_color_t c = u < 0.5f ? RGBA(0.90f, 0.18f, 0.16f, 1) : RGBA(0.97f, 0.95f, 0.90f, 1);
            if (v > 0.52f && v < 0.58f)
                c = RGBA(1.0f, 0.80f, 0.10f, 1);
            float seam = fminf(fabsf(u - 0.5f), fminf(u, 1 - u)) * im->w;
            float k = (0.55f + 0.45f * v) * (0.85f + 0.15f * sinf(u * 2 * PI)) * (seam < 1 ? 0.7f : 1.0f);
            *CG_Pixel(im, x, y) = RGBA(c.r * k, c.g * k, c.b * k, 1);
        }
}

static void MakeWicker(cg_image_t *im)
{
    CG_ImageInit(im, 128, 128, RGBA(0, 0, 0, 1));
    for (int y = 0; y < im->h; y++)
        for (int x = 0; x < im->w; x++) {
            int cx = x / 16, cy = y / 16;
            float fx = (x % 16) / 16.0f, fy = (y % 16) / 16.0f;
            int horiz = (cx + cy) & 1;
            float across = horiz ? fy : fx;
            float shade = 0.55f + 0.45f * sinf(across * PI);
            float grain = CG_Fbm2(x * 0.5f, y * 0.06f, 64, 8, 3, 5) * 0.3f + 0.85f;
            float k = shade * grain;
            *CG_Pixel(im, x, y) = RGBA(0.72f * k, 0.52f * k, 0.26f * k, 1);
        }
}

static void MakePanel(cg_image_t *im)
{
    CG_ImageInit(im, 128, 64, RGBA(0.02f, 0.06f, 0.04f, 1));
    for (int y = 0; y < im->h; y++)
        for (int x = 0; x < im->w; x++) {
            cg_color_t *p = CG_Pixel(im, x, y);
            if (x % 16 == 0 || y % 16 == 0)
                *p = RGBA(0.05f, 0.30f, 0.12f, 1);
            float wave = 32 + 14 * sinf(x * 0.11f) * cosf(x * 0.031f);
            if (fabsf(y - wave) < 1.5f)
                *p = RGBA(0.3f, 1.0f, 0.45f, 1);
            if (x < 3 || y < 3 || x >= im->w - 3 || y >= im->h - 3)
                *p = RGBA(0.35f, 0.37f, 0.40f, 1);
        }
}

static void MakeSolarPanel(cg_image_t *im)
{
    CG_ImageInit(im, 128, 128, RGBA(0, 0, 0, 1));
    for (int y = 0; y < im->h; y++)
        for (int x = 0; x < im->w; x++) {
            int line = (x % 16 < 1) || (y % 32 < 1);
            float n = CG_Fbm2(x * 0.1f, y * 0.1f, 13, 13, 3, 9);
            cg_color_t c = line ? RGBA(0.75f, 0.76f, 0.80f, 1)
                                : RGBA(0.08f + 0.06f * n, 0.12f + 0.08f * n, 0.42f + 0.25f * n, 1);
            if (((x / 16) + (y / 32)) % 5 == 0 && !line)
                c = RGBA(c.r + 0.08f, c.g + 0.1f, c.b + 0.15f, 1);
            *CG_Pixel(im, x, y) = c;
        }
}

static void MakeFeather(cg_image_t *im, cg_color_t base, cg_color_t tip)
{
    CG_ImageInit(im, 32, 64, RGBA(base.r, base.g, base.b, 0));
    for (int y = 0; y < im->h; y++)
        for (int x = 0; x < im->w; x++) {
            float u = (x + 0.5f) / im->w * 2 - 1, v = 1 - (y + 0.5f) / im->h; /* v 0 quill .. 1 tip */
            float width = 0.95f * sinf(fminf(1.0f, v * 1.15f) * PI) * (v < 0.12f ? v / 0.12f : 1);
            float edge = width - fabsf(u);
            float a = CG_Smooth(0.0f, 0.12f, edge);
            float barbs = 0.85f + 0.15f * sinf((v * 40 + fabsf(u) * 14));
            cg_color_t c = CG_Mix(base, tip, v * v);
            float k = barbs * (0.8f + 0.2f * (1 - fabsf(u)));
            if (fabsf(u) < 0.06f && v < 0.95f) {  /* the shaft */
                c = RGBA(0.95f, 0.92f, 0.85f, 1);
                a = 1;
                k = 1;
            }
            *CG_Pixel(im, x, y) = RGBA(c.r * k, c.g * k, c.b * k, a);
        }
}

/* ---- images ------------------------------------------------------------------------- */

static void MakeNotex(cg_image_t *im)
{
    CG_ImageInit(im, 64, 64, RGBA(0, 0, 0, 1));
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++)
            if (((x / 8) + (y / 8)) & 1)
                *CG_Pixel(im, x, y) = RGBA(1, 0, 1, 1);
}

static void MakePointSprite(cg_image_t *im)
{
    CG_ImageInit(im, 64, 64, RGBA(1, 1, 1, 0));
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++) {
            float dx = (x + 0.5f - 32) / 32, dy = (y + 0.5f - 32) / 32;
            float d2 = dx * dx + dy * dy;
            float a = d2 >= 1 ? 0 : expf(-d2 * 4.5f) * (1 - d2);
            *CG_Pixel(im, x, y) = RGBA(1, 1, 1, CG_Clamp01(a * 1.15f));
        }
}

/* Inside test of the arrow cursor polygon (tip at 0, 0, pointing up-left). */
static int InArrow(float x, float y)
{
    static const float px[7] = {0, 0, 5, 9, 12, 8, 13};
    static const float py[7] = {0, 17, 13, 20, 18, 12, 12};
    int in = 0;
    for (int i = 0, j = 6; i < 7; j = i++)
        if (((py[i] > y) != (py[j] > y)) && (x < (px[j] - px[i]) * (y - py[i]) / (py[j] - py[i]) + px[i]))
            in = !in;
    return in;
}

static void MakeCursor(cg_image_t *im)
{
    CG_ImageInit(im, 32, 32, RGBA(0, 0, 0, 0));
    /* hot spot at pixel (12, 12): the image is drawn centred 4 right of and
     * 4 below the pointer position */
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 32; x++) {
            int inside = 0, near = 0;
            for (int sy = 0; sy < 4; sy++)
                for (int sx = 0; sx < 4; sx++) {
                    float ax = x + (sx + 0.5f) / 4 - 12, ay = y + (sy + 0.5f) / 4 - 12;
                    inside += InArrow(ax, ay);
                    int nb = 0;
                    for (int k = 0; k < 8; k++) {
                        float ox = cosf(k * PI / 4) * 1.3f, oy = sinf(k * PI / 4) * 1.3f;
                        nb |= InArrow(ax + ox, ay + oy);
                    }
                    near += nb;
                }
            float fin = inside / 16.0f, fout = near / 16.0f;
            cg_color_t c = CG_Mix(RGBA(0.05f, 0.05f, 0.1f, fout), RGBA(1, 1, 0.85f, 1), fin);
            *CG_Pixel(im, x, y) = c;
        }
}

static void RoundedPanel(cg_image_t *im, float x0, float y0, float x1, float y1, float rad, cg_color_t top,
                         cg_color_t bottom, cg_color_t border)
{
    for (int y = 0; y < im->h; y++)
        for (int x = 0; x < im->w; x++) {
            float px = x + 0.5f, py = y + 0.5f;
            float cx = fminf(fmaxf(px, x0 + rad), x1 - rad), cy = fminf(fmaxf(py, y0 + rad), y1 - rad);
            float d = sqrtf((px - cx) * (px - cx) + (py - cy) * (py - cy)) - rad;
            if (d > 1)
                continue;
            float a = CG_Clamp01(1 - d);
            float t = (py - y0) / (y1 - y0);
            cg_color_t c = CG_Mix(top, bottom, t);
            if (d > -2.5f)
                c = border;
            float gloss = t < 0.45f ? 0.12f * (1 - t / 0.45f) : 0;
            c.r += gloss;
            c.g += gloss;
            c.b += gloss;
            c.a = a * c.a;
            CG_Blend(im, x, y, c);
        }
}

static void MakeIcon(cg_image_t *im, int kind)
{
    CG_ImageInit(im, 64, 64, RGBA(0, 0, 0, 0));
    RoundedPanel(im, 2, 2, 62, 62, 10, RGBA(0.10f, 0.14f, 0.22f, 0.85f), RGBA(0.03f, 0.05f, 0.10f, 0.85f),
                 RGBA(0.7f, 0.8f, 0.95f, 0.95f));
    if (kind == 0) {            /* plasma: a streak of blue bolts */
        for (int k = 0; k < 3; k++) {
            float cx = 20 + 12 * k, cy = 44 - 12 * k;
            CG_Spot(im, cx, cy, 13, RGBA(0.3f, 0.6f, 1, 0.8f));
            CG_Spot(im, cx, cy, 6, RGBA(0.9f, 0.97f, 1, 1));
        }
    } else if (kind == 1) {     /* glibber: a green blob */
        for (int k = 0; k < 7; k++) {
            float a = k * 2 * PI / 7;
            CG_Spot(im, 32 + 8 * cosf(a), 32 + 7 * sinf(a), 12, RGBA(0.35f, 0.95f, 0.2f, 0.9f));
        }
        CG_Spot(im, 32, 32, 14, RGBA(0.55f, 1, 0.35f, 1));
        CG_Spot(im, 27, 26, 5, RGBA(0.95f, 1, 0.9f, 0.9f));
    } else {                    /* homing: a target with a capsule */
        for (int y = 0; y < 64; y++)
            for (int x = 0; x < 64; x++) {
                float d = sqrtf((x + 0.5f - 32) * (x + 0.5f - 32) + (y + 0.5f - 32) * (y + 0.5f - 32));
                if (fabsf(d - 22) < 1.6f || fabsf(d - 13) < 1.4f || ((abs(x - 32) < 1 || abs(y - 32) < 1) && d < 26))
                    CG_Blend(im, x, y, RGBA(1, 0.45f, 0.2f, 0.9f));
            }
        CG_Spot(im, 32, 32, 10, RGBA(1, 0.6f, 0.9f, 1));
        CG_Spot(im, 32, 32, 4, RGBA(1, 1, 1, 1));
    }
}

static void MakePauseButton(cg_image_t *im)
{
    CG_ImageInit(im, 128, 128, RGBA(0, 0, 0, 0));
    RoundedPanel(im, 4, 40, 124, 88, 14, RGBA(0.30f, 0.45f, 0.80f, 0.95f), RGBA(0.08f, 0.14f, 0.35f, 0.95f),
                 RGBA(0.85f, 0.90f, 1.0f, 1));
}

/* ---- writer -------------------------------------------------------------------------- */

static int Save(const std::string &dir, const char *name, const cg_image_t *im, int alpha)
{
    if (CG_WriteTGA(dir + "/" + name + ".tga", im, alpha))
        return 0;
    fprintf(stderr, "content: texture %s failed\n", name);
    return 1;
}

int CG_GenTextures(const std::string &datadir)
{
    int fails = 0;
    cg_image_t im;
    uint32_t seed = 100;
    for (const cg_matdef_t &d : cg_mats) {
        MakeShadingMap(&im, &d, seed++);
        fails += Save(datadir, d.name, &im, d.alpha < 1);
    }
    MakeBalloon(&im);
    fails += Save(datadir, "balloon", &im, 0);
    MakeWicker(&im);
    fails += Save(datadir, "wicker", &im, 0);
    MakePanel(&im);
    fails += Save(datadir, "panel", &im, 0);
    MakeSolarPanel(&im);
    fails += Save(datadir, "solarpanel", &im, 0);
    MakeFeather(&im, RGBA(0.98f, 0.96f, 0.92f, 1), RGBA(0.85f, 0.80f, 0.70f, 1));
    fails += Save(datadir, "feather", &im, 1);
    MakeFeather(&im, RGBA(0.75f, 0.42f, 0.12f, 1), RGBA(1.0f, 0.80f, 0.25f, 1));
    fails += Save(datadir, "feather_gold", &im, 1);
    MakeNotex(&im);
    fails += Save(datadir, "notex", &im, 0);
    MakePointSprite(&im);
    fails += Save(datadir, "pointsprite", &im, 1);
    MakeCursor(&im);
    fails += Save(datadir, "cursor", &im, 1);
    MakeIcon(&im, 0);
    fails += Save(datadir, "shot01icon", &im, 1);
    MakeIcon(&im, 1);
    fails += Save(datadir, "Shot03icon", &im, 1);
    MakeIcon(&im, 2);
    fails += Save(datadir, "Shot02icon", &im, 1);
    MakePauseButton(&im);
    fails += Save(datadir, "pause_button", &im, 1);
    fails += CG_GenSkyTextures(datadir);
    return fails;
}
