/*
 * cg_models_space.cpp -- models of the craft and of open space: the two
 * racers, the enemy ship, the two alien craft, probe, satellite, rocket,
 * astronaut, comet, the seven sky spheres, the seven planets and the four
 * pieces of debris.
 */
#include "cg_models.h"

#include <math.h>
#include <stdio.h>

#define PI 3.14159265f

static cg_vec3_t S3(float x, float y, float z) { return V3(x, y, z); }
static cg_vec3_t One(void) { return V3(1, 1, 1); }

static void Ell(cg_mesh_t *me, cg_vec3_t at, cg_vec3_t r, int sl, int st)
{
    CG_Sphere(me, XF_TRS(at, 0, 0, 0, r), sl, st);
}

/* A lathe profile laid along +z (nose forward). */
static void LatheZ(cg_mesh_t *me, cg_vec3_t at, const float *r, const float *y, int n, int sl)
{
    CG_Lathe(me, XF_TRS(at, 90, 0, 0, One()), r, y, n, sl, 1, 0);
}

/* A thin tube from a to b. */
static void Rod(cg_mesh_t *me, cg_vec3_t a, cg_vec3_t b, float r0, float r1, int sl)
{
    cg_vec3_t d = V3Sub(b, a);
    float len = V3Len(d);
    cg_vec3_t yax = V3Scale(d, 1 / len);
    cg_vec3_t ref = fabsf(yax.z) < 0.9f ? V3(0, 0, 1) : V3(1, 0, 0);
    cg_vec3_t xax = V3Norm(V3Cross(yax, ref));
    cg_vec3_t zax = V3Cross(xax, yax);
    cg_xf_t t = {xax, yax, zax, a};
    CG_Tube(me, t, r0, r1, len, sl);
}

/* ---- racers ----------------------------------------------------------------- */

static void RacerBody(cg_model_t *m, const char *hull, const char *wings)
{
    cg_mesh_t *h = CG_Mesh(m, "fuselage", hull, CG_UV_NORMAL);
    float r[7] = {0, 3, 5.5f, 6, 5.5f, 4, 0};
    float y[7] = {22, 18, 10, 0, -12, -18, -18};
    LatheZ(h, S3(0, 0, 0), r, y, 7, 16);
    cg_mesh_t *w = CG_Mesh(m, "wings", wings, CG_UV_NORMAL);
    CG_Box(w, XF_TRS(S3(0, 5.5f, -14), -15, 0, 0, S3(0.7f, 5, 3.5f)));
    cg_mesh_t *glass = CG_Mesh(m, "windshield", "mc_glass", CG_UV_NORMAL);
    Ell(glass, S3(0, 5.0f, 7.5f), S3(3.4f, 2.4f, 3.4f), 10, 8);
    CG_ChickenHead(m, XF_Mul(XF_T(0, 7.0f, 2.5f), XF_S(0.9f, 0.9f, 0.9f)), "pilot_", "mc_white");
    cg_mesh_t *g = CG_Mesh(m, "exhaust", "gl_engine", CG_UV_NORMAL);
    Ell(g, S3(0, 0, -20), S3(3.6f, 3.6f, 4), 10, 8);
}

void Build_Racer01(cg_model_t *m, float ph)
{
    (void)ph;
    RacerBody(m, "mc_red", "mc_yellow");
    cg_mesh_t *w = CG_Mesh(m, "wings", "mc_yellow", CG_UV_NORMAL);
    CG_Box(w, XF_TRS(S3(9, -1.5f, -3), 0, -18, -6, S3(9, 0.7f, 4)));
    CG_Box(w, XF_TRS(S3(-9, -1.5f, -3), 0, 18, 6, S3(9, 0.7f, 4)));
    CG_Box(w, XF_TRS(S3(0, 0, -16), 0, 0, 0, S3(7, 0.5f, 2.2f)));
}

void Build_Racer02(cg_model_t *m, float ph)
{
    (void)ph;
    RacerBody(m, "mc_blue", "mc_white");
    cg_mesh_t *w = CG_Mesh(m, "wings", "mc_white", CG_UV_NORMAL);
    CG_Box(w, XF_TRS(S3(0, -1, -2), 0, 0, 0, S3(14, 0.7f, 4.5f)));
    cg_mesh_t *boom = CG_Mesh(m, "booms", "mc_blue", CG_UV_NORMAL);
    float r[6] = {0, 2, 2.6f, 2.6f, 2, 0};
    float y[6] = {12, 9, 4, -14, -16, -16};
    LatheZ(boom, S3(13, -1, 0), r, y, 6, 10);
    LatheZ(boom, S3(-13, -1, 0), r, y, 6, 10);
    CG_Box(w, XF_TRS(S3(13, 2.5f, -13), -20, 0, 0, S3(0.5f, 3.5f, 2.5f)));
    CG_Box(w, XF_TRS(S3(-13, 2.5f, -13), -20, 0, 0, S3(0.5f, 3.5f, 2.5f)));
    cg_mesh_t *gun = CG_Mesh(m, "guns", "mc_gun", CG_UV_NORMAL);
    Rod(gun, S3(4.5f, -4, 4), S3(4.5f, -4, 20), 0.9f, 0.7f, 8);
    Rod(gun, S3(-4.5f, -4, 4), S3(-4.5f, -4, 20), 0.9f, 0.7f, 8);
    cg_mesh_t *g = CG_Mesh(m, "exhaust", "gl_engine", CG_UV_NORMAL);
    Ell(g, S3(13, -1, -17.5f), S3(2, 2, 2.5f), 8, 6);
    Ell(g, S3(-13, -1, -17.5f), S3(2, 2, 2.5f), 8, 6);
}

/* ---- enemy ship -------------------------------------------------------------- */

void Build_EnemyShip(cg_model_t *m, float ph)
{
    cg_mesh_t *hull = CG_Mesh(m, "hull", "mc_darkmetal", CG_UV_NORMAL);
    float r[7] = {0, 40, 78, 82, 70, 40, 0};
    float y[7] = {-14, -12, -3, 0, 4, 10, 12};
    CG_Lathe(hull, XF_Identity(), r, y, 7, 32, 1, 0);
    cg_mesh_t *armour = CG_Mesh(m, "armour", "mc_metal", CG_UV_NORMAL);
    for (int k = 0; k < 4; k++) {
        float a = (45 + 90.0f * k) * PI / 180;
        CG_Box(armour, XF_TRS(S3(52 * sinf(a), 8, 52 * cosf(a)), 0, 45 + 90.0f * k, 0, S3(10, 4, 18)));
    }
    cg_mesh_t *dome = CG_Mesh(m, "dome", "mc_redglass", CG_UV_NORMAL);
    float dr[5] = {30, 28, 20, 9, 0};
    float dy[5] = {9, 17, 25, 29, 30};
    CG_Lathe(dome, XF_Identity(), dr, dy, 5, 24, 1, 0);
    cg_mesh_t *core = CG_Mesh(m, "core", "gl_engine", CG_UV_NORMAL);
    float pulse = 1 + 0.12f * sinf(2 * PI * ph);
    Ell(core, S3(0, -13, 0), S3(24 * pulse, 6, 24 * pulse), 16, 8);
    cg_mesh_t *lights = CG_Mesh(m, "lights", "gl_yellow", CG_UV_NORMAL);
    for (int k = 0; k < 12; k++) {
        float a = 2 * PI * k / 12;
        float s = 2.2f + 1.3f * (0.5f + 0.5f * sinf(2 * PI * ph + k * PI / 3));
        Ell(lights, S3(80 * sinf(a), 1.5f, 80 * cosf(a)), S3(s, s, s), 8, 6);
    }
    cg_mesh_t *gun = CG_Mesh(m, "cannons", "mc_gun", CG_UV_NORMAL);
    Rod(gun, S3(22, -5, 40), S3(22, -5, 88), 4, 3, 10);
    Rod(gun, S3(-22, -5, 40), S3(-22, -5, 88), 4, 3, 10);
    cg_mesh_t *eng = CG_Mesh(m, "engines", "mc_metal", CG_UV_NORMAL);
    Rod(eng, S3(34, 2, -50), S3(34, 2, -86), 9, 11, 14);
    Rod(eng, S3(-34, 2, -50), S3(-34, 2, -86), 9, 11, 14);
    cg_mesh_t *fl = CG_Mesh(m, "flames", "gl_engine", CG_UV_NORMAL);
    float f = 1 + 0.2f * sinf(4 * PI * ph);
    Ell(fl, S3(34, 2, -90), S3(8, 8, 10 * f), 10, 6);
    Ell(fl, S3(-34, 2, -90), S3(8, 8, 10 * f), 10, 6);
}

/* ---- aliens --------------------------------------------------------------------- */

static void AlienCraft(cg_model_t *m, float ph, const char *hull, const char *skin, int eyes)
{
    cg_mesh_t *h = CG_Mesh(m, "hull", hull, CG_UV_NORMAL);
    float r[7] = {0, 6, 11, 12, 10, 5, 0};
    float y[7] = {-23, -21, -12, 0, 12, 20, 23};
    CG_Lathe(h, XF_TRS(S3(0, 0, 0), 90, 0, 0, S3(1, 0.75f, 1)), r, y, 7, 18, 1, 0);
    CG_Box(h, XF_TRS(S3(13, -1, -8), 0, 0, -12, S3(7, 1, 5)));
    CG_Box(h, XF_TRS(S3(-13, -1, -8), 0, 0, 12, S3(7, 1, 5)));
    cg_mesh_t *lights = CG_Mesh(m, "lights", "gl_yellow", CG_UV_NORMAL);
    for (int k = 0; k < 6; k++) {
        float a = 2 * PI * (k + 0.5f) / 6;
        Ell(lights, S3(10.5f * sinf(a), -4.5f, 14 * cosf(a)), S3(1.4f, 1.4f, 1.4f), 6, 4);
    }
    cg_mesh_t *s = CG_Mesh(m, "alien", skin, CG_UV_NORMAL);
    Ell(s, S3(0, 12, 0), S3(4, 5, 4), 10, 8);         /* body */
    Ell(s, S3(0, 20, 1), S3(6, 5.5f, 5.5f), 14, 10);  /* head */
    cg_mesh_t *e = CG_Mesh(m, "eyes", "mc_black", CG_UV_NORMAL);
    for (int k = 0; k < eyes; k++) {
        float x = eyes == 2 ? (k ? 2.4f : -2.4f) : -3.2f + 3.2f * k;
        float yy = eyes == 3 && k == 1 ? 22.5f : 20.5f;
        Ell(e, S3(x, yy, 5.6f), S3(1.6f, 2.2f, 1.2f), 8, 6);
    }
    float wig = 12 * sinf(2 * PI * ph);
    int ant = eyes == 2 ? 2 : 1;
    for (int k = 0; k < ant; k++) {
        float side = ant == 2 ? (k ? 1.f : -1.f) : 0.f;
        cg_vec3_t a = S3(2.5f * side, 25, 0);
        cg_vec3_t b = S3(5.5f * side + 1.5f * sinf(wig * PI / 180), 31, -1 + 2 * sinf((wig + 30 * k) * PI / 180));
        Rod(s, a, b, 0.45f, 0.35f, 5);
        cg_mesh_t *tip = CG_Mesh(m, "antenna_tips", "gl_yellow", CG_UV_NORMAL);
        Ell(tip, b, S3(1.2f, 1.2f, 1.2f), 6, 4);
    }
    cg_mesh_t *d = CG_Mesh(m, "dome", "gl_glass", CG_UV_NORMAL);
    float dr[6] = {10, 11, 10.5f, 8, 4.5f, 0};
    float dy[6] = {6, 12, 18, 23, 26, 27};
    CG_Lathe(d, XF_Identity(), dr, dy, 6, 18, 1, 0);
}

void Build_Alien01(cg_model_t *m, float ph) { AlienCraft(m, ph, "mc_teal", "mc_green", 2); }
void Build_Alien02(cg_model_t *m, float ph) { AlienCraft(m, ph, "mc_purple", "mc_pinkskin", 3); }

/* ---- probe, satellite, rocket, astronaut, comet ---------------------------------------- */

void Build_Sonde(cg_model_t *m, float ph)
{
    (void)ph;
    cg_mesh_t *b = CG_Mesh(m, "body", "mc_gold", CG_UV_NORMAL);
    CG_Tube(b, XF_TRS(S3(0, 0, -6), 90, 0, 0, One()), 6, 6, 10, 6);
    cg_mesh_t *dish = CG_Mesh(m, "dish", "mc_metal", CG_UV_NORMAL);
    float r[5] = {0, 4, 8, 11, 12.5f};
    float y[5] = {0, 0.5f, 2, 4.2f, 5.5f};
    CG_Lathe(dish, XF_TRS(S3(0, 0, 4), 90, 0, 0, One()), r, y, 5, 20, 1, 0);
    CG_Lathe(dish, XF_TRS(S3(0, 0, 4), 90, 0, 0, One()), r, y, 5, 20, 1, 1);
    cg_mesh_t *rod = CG_Mesh(m, "rods", "mc_grey", CG_UV_NORMAL);
    Rod(rod, S3(0, 0, 4), S3(0, 0, 15), 0.5f, 0.3f, 6);
    for (int k = 0; k < 3; k++) {
        float a = 2 * PI * k / 3;
        Rod(rod, S3(5 * cosf(a), 5 * sinf(a), -6), S3(12 * cosf(a), 12 * sinf(a), -14), 0.4f, 0.3f, 5);
    }
    cg_mesh_t *l = CG_Mesh(m, "lamp", "gl_green", CG_UV_NORMAL);
    Ell(l, S3(0, 0, 15.5f), S3(1.3f, 1.3f, 1.3f), 6, 4);
    Ell(l, S3(0, 0, -7.5f), S3(2.5f, 2.5f, 1.5f), 8, 4);
}

void Build_Satellit(cg_model_t *m, float ph)
{
    (void)ph;
    cg_mesh_t *b = CG_Mesh(m, "body", "mc_gold", CG_UV_NORMAL);
    CG_Box(b, XF_S(7, 7, 10));
    cg_mesh_t *p = CG_Mesh(m, "panels", "solarpanel", CG_UV_EXPLICIT);
    CG_Box(p, XF_TRS(S3(31, 0, 0), 0, 0, 0, S3(20, 0.4f, 7)));
    CG_Box(p, XF_TRS(S3(-31, 0, 0), 0, 0, 0, S3(20, 0.4f, 7)));
    cg_mesh_t *s = CG_Mesh(m, "struts", "mc_metal", CG_UV_NORMAL);
    Rod(s, S3(7, 0, 0), S3(12, 0, 0), 0.8f, 0.8f, 6);
    Rod(s, S3(-7, 0, 0), S3(-12, 0, 0), 0.8f, 0.8f, 6);
    Rod(s, S3(0, 7, 0), S3(0, 11, 0), 0.7f, 0.7f, 6);
    Rod(s, S3(0, 0, 10), S3(0, 0, 22), 0.4f, 0.2f, 5);
    float r[4] = {0, 4, 7.5f, 9};
    float y[4] = {0, 0.6f, 2.4f, 3.8f};
    CG_Lathe(s, XF_T(0, 11, 0), r, y, 4, 16, 1, 0);
    CG_Lathe(s, XF_T(0, 11, 0), r, y, 4, 16, 1, 1);
}

void Build_Rakete(cg_model_t *m, float ph)
{
    cg_mesh_t *body = CG_Mesh(m, "body", "mc_white", CG_UV_NORMAL);
    float r[4] = {0, 7, 7, 0};
    float y[4] = {-34, -34, 20, 20};
    LatheZ(body, S3(0, 0, 0), r, y, 4, 16);
    cg_mesh_t *red = CG_Mesh(m, "nose", "mc_red", CG_UV_NORMAL);
    float nr[6] = {7.05f, 6.4f, 5, 3, 1.2f, 0};
    float ny[6] = {20, 26, 31, 35.5f, 38.5f, 40};
    LatheZ(red, S3(0, 0, 0), nr, ny, 6, 16);
    float br[4] = {7.3f, 7.3f, 7.3f, 7.3f};
    float by[4] = {2, 2, 7, 7};
    br[0] = br[3] = 7.0f;
    LatheZ(red, S3(0, 0, 0), br, by, 4, 16);
    for (int k = 0; k < 4; k++) {
        float a = 45 + 90.0f * k, ar = a * PI / 180;
        CG_Box(red, XF_TRS(S3(10.5f * cosf(ar), 10.5f * sinf(ar), -27), 0, 0, a, S3(5, 0.7f, 7)));
    }
    cg_mesh_t *win = CG_Mesh(m, "window", "mc_glass", CG_UV_NORMAL);
    Ell(win, S3(0, 5.6f, 12), S3(2.4f, 2.4f, 1.6f), 8, 6);
    cg_mesh_t *noz = CG_Mesh(m, "nozzle", "mc_darkmetal", CG_UV_NORMAL);
    float zr[4] = {4, 5, 6, 5.6f};
    float zy[4] = {0, 2, 6, 6};
    CG_Lathe(noz, XF_TRS(S3(0, 0, -34), -90, 0, 0, One()), zr, zy, 4, 12, 1, 0);
    cg_mesh_t *fl = CG_Mesh(m, "flame", "gl_engine", CG_UV_NORMAL);
    float f = 1 + 0.25f * sinf(2 * PI * ph) + 0.1f * sinf(6 * PI * ph);
    Ell(fl, S3(0, 0, -40 - 4 * f), S3(4.5f, 4.5f, 8 * f), 10, 6);
}

void Build_Astronaut(cg_model_t *m, float ph)
{
    float w = sinf(2 * PI * ph);
    cg_mesh_t *suit = CG_Mesh(m, "suit", "mc_suit", CG_UV_NORMAL);
    Ell(suit, S3(0, 0, 0), S3(5, 6.2f, 3.8f), 12, 10);
    Ell(suit, S3(0, 9, 0), S3(4.6f, 4.6f, 4.6f), 14, 10);
    for (int s = -1; s <= 1; s += 2) {
        cg_vec3_t sh = S3(4.6f * s, 3.5f, 0);
        cg_vec3_t hand = S3((10 + 1.5f * w) * s, -1 + 4 * w, 2 + 2 * w * s);
        Rod(suit, sh, hand, 1.7f, 1.5f, 8);
        cg_vec3_t hip = S3(2.4f * s, -5, 0);
        cg_vec3_t foot = S3((4.5f - 0.8f * w) * s, -15.5f, -1.5f + 1.5f * w * s);
        Rod(suit, hip, foot, 2.0f, 1.7f, 8);
        cg_mesh_t *g = CG_Mesh(m, "gloves", "mc_grey", CG_UV_NORMAL);
        Ell(g, hand, S3(1.8f, 1.8f, 1.8f), 8, 6);
        Ell(g, V3Add(foot, S3(0, -0.8f, 0.8f)), S3(2.1f, 1.6f, 2.8f), 8, 6);
    }
    cg_mesh_t *visor = CG_Mesh(m, "visor", "mc_visor", CG_UV_NORMAL);
    Ell(visor, S3(0, 9.3f, 1.9f), S3(3.5f, 2.9f, 3.0f), 12, 8);
    cg_mesh_t *pack = CG_Mesh(m, "backpack", "mc_metal", CG_UV_NORMAL);
    CG_Box(pack, XF_TRS(S3(0, 0.5f, -5.2f), 0, 0, 0, S3(4.2f, 5.5f, 1.8f)));
    cg_mesh_t *l = CG_Mesh(m, "lamp", "gl_red", CG_UV_NORMAL);
    Ell(l, S3(2, 4.5f, 3.6f), S3(0.8f, 0.8f, 0.8f), 6, 4);
}

void Build_Komet(cg_model_t *m, float ph)
{
    (void)ph;
    cg_mesh_t *rock = CG_Mesh(m, "nucleus", "mc_rock", CG_UV_NORMAL);
    Ell(rock, S3(0, 0, 0), S3(16, 14, 17), 20, 14);
    CG_Roughen(rock, 0, V3(0, 0, 0), 12, 77);
    cg_mesh_t *coma = CG_Mesh(m, "coma", "gl_coma", CG_UV_NORMAL);
    Ell(coma, S3(0, 0, -2), S3(23, 23, 25), 16, 10);
    cg_mesh_t *tail = CG_Mesh(m, "tail", "gl_tail", CG_UV_NORMAL);
    float r[6] = {0, 17, 20, 17, 10, 0};
    float y[6] = {0, 6, 30, 65, 100, 125};
    CG_Lathe(tail, XF_TRS(S3(0, 0, -4), -90, 0, 0, One()), r, y, 6, 16, 1, 0);
}

/* ---- sky spheres and planets ------------------------------------------------------- */

void Build_Sky(cg_model_t *m, int index)
{
    char tex[16];
    snprintf(tex, sizeof tex, "sky%02d", index);
    cg_mesh_t *s = CG_Mesh(m, "sky", tex, CG_UV_EXPLICIT);
    const int stacks = 24;
    float r[stacks + 1], y[stacks + 1];
    for (int j = 0; j <= stacks; j++) {
        float a = -PI / 2 + PI * j / stacks;
        r[j] = (j == 0 || j == stacks) ? 0 : 650 * cosf(a);
        y[j] = 650 * sinf(a);
    }
    CG_Lathe(s, XF_Identity(), r, y, stacks + 1, 48, 1, 1);
}

void Build_Planet(cg_model_t *m, int index)
{
    char tex[16];
    snprintf(tex, sizeof tex, "planet%02d", index);
    static const float radius[8] = {0, 150, 120, 170, 110, 130, 160, 140};
    float rad = radius[index];
    cg_mesh_t *s = CG_Mesh(m, "planet", tex, CG_UV_EXPLICIT);
    const int stacks = 18;
    float r[stacks + 1], y[stacks + 1];
    for (int j = 0; j <= stacks; j++) {
        float a = -PI / 2 + PI * j / stacks;
        r[j] = (j == 0 || j == stacks) ? 0 : rad * cosf(a);
        y[j] = rad * sinf(a);
    }
    CG_Lathe(s, XF_RX(index * 7.0f), r, y, stacks + 1, 32, 1, 0);
    if (index == 5) {
        cg_mesh_t *ring = CG_Mesh(m, "ring", "planetring", CG_UV_EXPLICIT);
        float rr[2] = {rad * 1.35f, rad * 2.1f};
        float ry[2] = {0, 0};
        cg_xf_t t = XF_RX(22);
        CG_Lathe(ring, t, rr, ry, 2, 48, 1, 0);
        CG_Lathe(ring, t, rr, ry, 2, 48, 1, 1);
    }
    if (index == 7) {
        cg_mesh_t *moon = CG_Mesh(m, "moon", "mc_moon", CG_UV_NORMAL);
        Ell(moon, S3(rad * 1.7f, rad * 0.3f, 0), S3(rad * 0.22f, rad * 0.22f, rad * 0.22f), 14, 10);
    }
}

/* ---- debris -------------------------------------------------------------------------- */

void Build_Debris(cg_model_t *m, int index)
{
    if (index == 1) {          /* the balloon's basket with torn ropes */
        cg_mesh_t *b = CG_Mesh(m, "basket", "wicker", CG_UV_EXPLICIT);
        CG_Box(b, XF_TRS(S3(0, 0, 0), 8, 0, -6, S3(8, 6, 8)));
        cg_mesh_t *r = CG_Mesh(m, "ropes", "mc_tan", CG_UV_NORMAL);
        Rod(r, S3(7, 6, 7), S3(9, 14, 5), 0.35f, 0.35f, 5);
        Rod(r, S3(-7, 6, -7), S3(-5, 13, -10), 0.35f, 0.35f, 5);
    } else if (index == 2) {   /* a burnt racer fuselage with a broken wing */
        cg_mesh_t *h = CG_Mesh(m, "fuselage", "mc_burnt", CG_UV_NORMAL);
        float r[6] = {0, 3, 5.5f, 6, 5, 0};
        float y[6] = {14, 11, 5, 0, -9, -9};
        LatheZ(h, S3(0, 0, 0), r, y, 6, 12);
        cg_mesh_t *w = CG_Mesh(m, "wing", "mc_red", CG_UV_NORMAL);
        CG_Box(w, XF_TRS(S3(9, -1, -2), 0, -25, -20, S3(8, 0.7f, 3.5f)));
    } else if (index == 3) {   /* a torn solar panel on its strut */
        cg_mesh_t *p = CG_Mesh(m, "panel", "solarpanel", CG_UV_EXPLICIT);
        CG_Box(p, XF_TRS(S3(0, 0, 0), 0, 0, 12, S3(14, 0.4f, 7)));
        cg_mesh_t *s = CG_Mesh(m, "strut", "mc_metal", CG_UV_NORMAL);
        Rod(s, S3(-14, -3, 0), S3(-22, -4, 2), 0.8f, 0.8f, 6);
    } else {                   /* a pair of rocket fins */
        cg_mesh_t *f = CG_Mesh(m, "fins", "mc_red", CG_UV_NORMAL);
        CG_Box(f, XF_TRS(S3(0, 4, 0), 0, 0, 0, S3(0.7f, 5, 7)));
        CG_Box(f, XF_TRS(S3(4, 0, 0), 0, 0, 90, S3(0.7f, 5, 7)));
        cg_mesh_t *b = CG_Mesh(m, "shell", "mc_white", CG_UV_NORMAL);
        float r[4] = {0, 7, 7, 0};
        float y[4] = {-7, -7, 7, 7};
        LatheZ(b, S3(-2, -2, 0), r, y, 4, 12);
    }
}
