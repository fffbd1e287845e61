/*
 * cg_models.cpp -- models of the birds and the player's view: the chicken
 * family (chicken, superchicken, bomb chicken, mother hen, egg), the
 * balloon with its passenger, cockpit, weapon, aiming arrow, the three
 * shot models and the feathers; plus the table of every model and the
 * entry point that writes them all as scene text.
 */
#include "cg_models.h"

#include <math.h>
#include <stdio.h>

#define PI 3.14159265f

static cg_vec3_t S3(float x, float y, float z) { return V3(x, y, z); }

static void Ellipsoid(cg_mesh_t *me, cg_xf_t base, cg_vec3_t at, cg_vec3_t r, float rx, float ry,
                      float rz, int slices, int stacks)
{
    CG_Sphere(me, XF_Mul(base, XF_TRS(at, rx, ry, rz, r)), slices, stacks);
}

/* ---- chickens ------------------------------------------------------------ */

void CG_ChickenHead(cg_model_t *m, cg_xf_t xf, const char *prefix, const char *feathers)
{
    std::string p = prefix;
    cg_mesh_t *head = CG_Mesh(m, (p + "head").c_str(), feathers, CG_UV_NORMAL);
    Ellipsoid(head, xf, S3(0, 0, 0), S3(3.3f, 3.4f, 3.5f), 0, 0, 0, 14, 10);
    cg_mesh_t *red = CG_Mesh(m, (p + "comb").c_str(), "mc_red", CG_UV_NORMAL);
    for (int i = 0; i < 3; i++)
        Ellipsoid(red, xf, S3(0, 3.2f + (i == 1 ? 0.5f : 0), -1.2f + 1.3f * i), S3(0.6f, 1.5f, 1.0f),
                  -10.0f + 12 * i, 0, 0, 8, 6);
    Ellipsoid(red, xf, S3(0, -2.4f, 2.6f), S3(0.7f, 1.3f, 0.8f), 20, 0, 0, 8, 6);
    cg_mesh_t *beak = CG_Mesh(m, (p + "beak").c_str(), "mc_orange", CG_UV_NORMAL);
    CG_Tube(beak, XF_Mul(xf, XF_TRS(S3(0, -0.3f, 2.9f), 100, 0, 0, S3(1, 1, 1))), 1.2f, 0.05f, 3.2f, 8);
    cg_mesh_t *white = CG_Mesh(m, (p + "eyewhite").c_str(), "mc_white", CG_UV_NORMAL);
    cg_mesh_t *black = CG_Mesh(m, (p + "pupil").c_str(), "mc_black", CG_UV_NORMAL);
    for (int s = -1; s <= 1; s += 2) {
        cg_vec3_t d = V3Norm(V3(0.72f * s, 0.3f, 0.62f));
        Ellipsoid(white, xf, V3Scale(d, 2.75f), S3(0.95f, 0.95f, 0.95f), 0, 0, 0, 8, 6);
        Ellipsoid(black, xf, V3Scale(d, 3.35f), S3(0.5f, 0.55f, 0.5f), 0, 0, 0, 8, 6);
    }
}

typedef struct {
    const char *body, *wing, *tail;
    float scale;
    int cape, mask, bomb, bonnet;
} chick_style_t;

static void Wing(cg_mesh_t *me, cg_xf_t base, int side, float angle)
{
    cg_xf_t hinge = XF_Mul(base, XF_Mul(XF_T(3.8f * side, 2.2f, 0.5f), XF_RZ(angle * side)));
    Ellipsoid(me, hinge, S3(5.5f * side, 0, -0.5f), S3(6, 0.9f, 4.2f), 0, 8.0f * side, 0, 12, 8);
    /* primary feathers at the tip */
    for (int k = 0; k < 3; k++)
        Ellipsoid(me, hinge, S3((9.5f + 0.6f * k) * side, 0, -2.5f - 1.2f * k), S3(2.6f, 0.5f, 1.0f),
                  0, (20.0f + 12 * k) * side, 0, 8, 5);
}

static void Chicken(cg_model_t *m, float phase, const chick_style_t *st)
{
    cg_xf_t b = XF_S(st->scale, st->scale, st->scale);
    float flap = 10 + 42 * sinf(2 * PI * phase);
    float bob = 0.6f * sinf(2 * PI * phase + 1.2f);
    cg_xf_t bodyx = XF_Mul(b, XF_T(0, bob, 0));

    cg_mesh_t *body = CG_Mesh(m, "body", st->body, CG_UV_NORMAL);
    Ellipsoid(body, bodyx, S3(0, 0, 0), S3(5.2f, 5.4f, 7.6f), -12, 0, 0, 16, 12);
    Ellipsoid(body, bodyx, S3(0, 3.6f, 4.6f), S3(2.6f, 3.6f, 2.6f), -35, 0, 0, 12, 8); /* neck */
    cg_mesh_t *tail = CG_Mesh(m, "tail", st->tail, CG_UV_NORMAL);
    for (int k = -1; k <= 1; k++)
        Ellipsoid(tail, bodyx, S3(1.3f * k, 3.2f, -7.0f), S3(1.1f, 3.8f, 1.6f), -35, 0, 14.0f * k, 8, 6);

    CG_ChickenHead(m, XF_Mul(bodyx, XF_T(0, 7.0f, 6.8f)), "", st->body);

    cg_mesh_t *wing = CG_Mesh(m, "wings", st->wing, CG_UV_NORMAL);
    Wing(wing, bodyx, 1, flap);
    Wing(wing, bodyx, -1, flap);

    cg_mesh_t *legs = CG_Mesh(m, "legs", "mc_orange", CG_UV_NORMAL);
    for (int s = -1; s <= 1; s += 2) {
        cg_xf_t leg = XF_Mul(bodyx, XF_TRS(S3(1.9f * s, -4.0f, -1.0f), -150, 0, 0, S3(1, 1, 1)));
        CG_Tube(legs, leg, 0.55f, 0.45f, 4.5f, 6);
        Ellipsoid(legs, leg, S3(0, 4.6f, 0.6f), S3(1.1f, 0.4f, 1.6f), 0, 0, 0, 6, 4);
    }
    if (st->cape) {
        cg_mesh_t *cape = CG_Mesh(m, "cape", "mc_red", CG_UV_NORMAL);
        for (int k = 0; k < 4; k++) {
            float w = 0.8f * sinf(2 * PI * phase + k * 0.9f);
            cg_xf_t q = XF_Mul(bodyx, XF_TRS(S3(0, 4.8f - 0.9f * k + w * 0.3f, -2.0f - 3.0f * k),
                                             -70 + 8 * w, 0, 0, S3(3.0f + 0.5f * k, 1.8f, 1)));
            CG_Quad(cape, q, 1);
        }
    }
    if (st->mask) {
        cg_mesh_t *mask = CG_Mesh(m, "mask", "mc_blue", CG_UV_NORMAL);
        Ellipsoid(mask, XF_Mul(bodyx, XF_T(0, 7.0f, 6.8f)), S3(0, 0.9f, 0), S3(3.45f, 1.1f, 3.6f), 0, 0,
                  0, 14, 6);
    }
    if (st->bomb) {
        cg_mesh_t *bomb = CG_Mesh(m, "bomb", "mc_black", CG_UV_NORMAL);
        Ellipsoid(bomb, bodyx, S3(0, -9.5f, 1.0f), S3(4.4f, 4.4f, 4.4f), 0, 0, 0, 14, 10);
        CG_Tube(bomb, XF_Mul(bodyx, XF_T(0, -5.4f, 1.0f)), 1.4f, 1.4f, 1.4f, 8);
        cg_mesh_t *fuse = CG_Mesh(m, "fuse", "mc_cream", CG_UV_NORMAL);
        CG_Tube(fuse, XF_Mul(bodyx, XF_TRS(S3(0, -9.5f, 5.2f), 70, 0, 0, S3(1, 1, 1))), 0.3f, 0.3f, 3.0f, 5);
        cg_mesh_t *spark = CG_Mesh(m, "spark", "gl_spark", CG_UV_NORMAL);
        float s = 1.0f + 0.5f * fabsf(sinf(4 * PI * phase));
        Ellipsoid(spark, bodyx, S3(0, -8.5f, 8.0f), S3(s, s, s), 0, 0, 0, 8, 6);
    }
    if (st->bonnet) {
        cg_mesh_t *bon = CG_Mesh(m, "bonnet", "mc_blue", CG_UV_NORMAL);
        float r[5] = {0, 3.7f, 3.6f, 2.4f, 0};
        float y[5] = {0, 0, 1.2f, 2.3f, 2.5f};
        CG_Lathe(bon, XF_Mul(bodyx, XF_TRS(S3(0, 9.0f, 5.8f), -25, 0, 0, S3(1, 1, 1))), r, y, 5, 14, 1, 0);
    }
}

static void Build_Chicken(cg_model_t *m, float ph)
{
    chick_style_t st = {"mc_white", "mc_cream", "mc_cream", 1.25f, 0, 0, 0, 0};
    Chicken(m, ph, &st);
}

static void Build_Superchicken(cg_model_t *m, float ph)
{
    chick_style_t st = {"mc_gold", "mc_gold", "mc_red", 1.4f, 1, 1, 0, 0};
    Chicken(m, ph, &st);
}

static void Build_Bombe(cg_model_t *m, float ph)
{
    chick_style_t st = {"mc_grey", "mc_white", "mc_black", 1.25f, 0, 0, 1, 0};
    Chicken(m, ph, &st);
}

static void Build_Motherchicken(cg_model_t *m, float ph)
{
    chick_style_t st = {"mc_brown", "mc_tan", "mc_darkbrown", 1.0f, 0, 0, 0, 1};
    Chicken(m, ph, &st);
}

static void Build_Egg(cg_model_t *m, float ph)
{
    (void)ph;
    cg_mesh_t *egg = CG_Mesh(m, "egg", "mc_egg", CG_UV_NORMAL);
    float r[17], y[17];
    for (int j = 0; j <= 16; j++) {
        float t = -PI / 2 + PI * j / 16;
        float yy = sinf(t);
        r[j] = (j == 0 || j == 16) ? 0 : cosf(t) * (0.78f - 0.12f * yy) * 8.0f;
        y[j] = yy * 9.0f;
    }
    CG_Lathe(egg, XF_Identity(), r, y, 17, 20, 1, 0);
}

/* ---- balloon -------------------------------------------------------------- */

static void Build_Ballon(cg_model_t *m, float ph)
{
    (void)ph;
    cg_mesh_t *env = CG_Mesh(m, "envelope", "balloon", CG_UV_EXPLICIT);
    float r[14], y[14];
    for (int j = 0; j < 14; j++) {
        float t = (float)j / 13;
        if (t < 0.35f) {            /* the neck down to the mouth */
            float k = t / 0.35f;
            r[j] = 7 + 24 * sinf(k * PI / 2) * sinf(k * PI / 2);
            y[j] = 2 + 28 * k;
        } else {                    /* the dome */
            float a = -0.9f + (t - 0.35f) / 0.65f * (PI / 2 + 0.9f);
            r[j] = (j == 13) ? 0 : 36 * cosf(a);
            y[j] = 42 + 36 * sinf(a);
        }
    }
    CG_Lathe(env, XF_Identity(), r, y, 14, 24, 8, 0);
    cg_mesh_t *burner = CG_Mesh(m, "mouth", "mc_darkmetal", CG_UV_NORMAL);
    CG_Tube(burner, XF_T(0, -1, 0), 6.5f, 7.2f, 3.2f, 16);
    cg_mesh_t *rope = CG_Mesh(m, "ropes", "mc_tan", CG_UV_NORMAL);
    for (int k = 0; k < 4; k++) {
        float sx = (k & 1) ? 1.f : -1.f, sz = (k & 2) ? 1.f : -1.f;
        cg_vec3_t a = V3(6.5f * sx * 0.7f, 0, 6.5f * sz * 0.7f), b = V3(7 * sx, -22, 7 * sz);
        cg_vec3_t d = V3Sub(a, b);
        float len = V3Len(d);
        /* a thin tube from b towards a */
        cg_vec3_t yax = V3Scale(d, 1 / len);
        cg_vec3_t xax = V3Norm(V3Cross(yax, V3(0, 0, 1)));
        cg_vec3_t zax = V3Cross(xax, yax);
        cg_xf_t t = {xax, yax, zax, b};
        CG_Tube(rope, t, 0.35f, 0.35f, len, 5);
    }
    cg_mesh_t *basket = CG_Mesh(m, "basket", "wicker", CG_UV_EXPLICIT);
    CG_Box(basket, XF_TRS(S3(0, -28, 0), 0, 0, 0, S3(8, 6, 8)));
    cg_mesh_t *rim = CG_Mesh(m, "rim", "mc_tan", CG_UV_NORMAL);
    CG_Box(rim, XF_TRS(S3(0, -21.6f, 0), 0, 0, 0, S3(8.6f, 0.6f, 8.6f)));
    /* the passenger peeks out of the basket */
    cg_mesh_t *pb = CG_Mesh(m, "passenger", "mc_white", CG_UV_NORMAL);
    Ellipsoid(pb, XF_Identity(), S3(0, -21, 0), S3(4.5f, 3.5f, 5.5f), 0, 0, 0, 12, 8);
    CG_ChickenHead(m, XF_T(0, -15.5f, 2.5f), "p_", "mc_white");
}

/* ---- player's view models --------------------------------------------------- */

static void Beam(cg_mesh_t *me, cg_vec3_t a, cg_vec3_t b, float w, float d)
{
    cg_vec3_t yax = V3Sub(b, a);
    float len = V3Len(yax);
    yax = V3Scale(yax, 1 / len);
    cg_vec3_t zax = V3(0, 0, 1);
    cg_vec3_t xax = V3Norm(V3Cross(yax, zax));
    zax = V3Cross(xax, yax);
    cg_xf_t t = {V3Scale(xax, w), V3Scale(yax, len / 2), V3Scale(zax, d), V3Scale(V3Add(a, b), 0.5f)};
    CG_Box(me, t);
}

static void Build_Cockpit(cg_model_t *m, float ph)
{
    (void)ph;
    cg_mesh_t *frame = CG_Mesh(m, "frame", "mc_darkmetal", CG_UV_NORMAL);
    /* console across the bottom of the view and two slim canopy posts in
     * the corners */
    CG_Box(frame, XF_TRS(S3(0, -126, -55), 0, 0, 0, S3(190, 30, 16)));
    Beam(frame, V3(-182, -100, -58), V3(-140, 140, -58), 5, 5);
    Beam(frame, V3(182, -100, -58), V3(140, 140, -58), 5, 5);
    cg_mesh_t *trim = CG_Mesh(m, "trim", "mc_metal", CG_UV_NORMAL);
    CG_Box(trim, XF_TRS(S3(0, -95.5f, -39.5f), 0, 0, 0, S3(190, 1.2f, 1.2f)));
    cg_mesh_t *panel = CG_Mesh(m, "screens", "panel", CG_UV_EXPLICIT);
    CG_Quad(panel, XF_TRS(S3(-96, -95.8f, -55), -90, 0, 0, S3(30, 12, 1)), 0);
    CG_Quad(panel, XF_TRS(S3(96, -95.8f, -55), -90, 0, 0, S3(30, 12, 1)), 0);
    cg_mesh_t *lamps = CG_Mesh(m, "lamps", "gl_green", CG_UV_NORMAL);
    for (int k = 0; k < 5; k++)
        Ellipsoid(lamps, XF_Identity(), S3(-40.0f + 20 * k, -96, -48), S3(2.2f, 1.2f, 2.2f), 0, 0, 0, 8, 6);
    cg_mesh_t *warn = CG_Mesh(m, "warnlamps", "gl_red", CG_UV_NORMAL);
    Ellipsoid(warn, XF_Identity(), S3(-150, -96, -48), S3(2.6f, 1.4f, 2.6f), 0, 0, 0, 8, 6);
    Ellipsoid(warn, XF_Identity(), S3(150, -96, -48), S3(2.6f, 1.4f, 2.6f), 0, 0, 0, 8, 6);
}

static void Build_Weapon(cg_model_t *m, float ph)
{
    (void)ph;
    cg_mesh_t *body = CG_Mesh(m, "housing", "mc_gun", CG_UV_NORMAL);
    cg_mesh_t *barrel = CG_Mesh(m, "barrels", "mc_metal", CG_UV_NORMAL);
    cg_mesh_t *glow = CG_Mesh(m, "coils", "gl_plasma", CG_UV_NORMAL);
    for (int s = -1; s <= 1; s += 2) {
        cg_xf_t bx = XF_TRS(S3(50.0f * s, -38, 0), -90, 0, 0, S3(1, 1, 1));
        float r[6] = {0, 6.5f, 7, 7, 5.5f, 0};
        float y[6] = {-2, -2, 2, 22, 26, 26};
        CG_Lathe(body, bx, r, y, 6, 14, 1, 0);
        CG_Box(body, XF_TRS(S3(50.0f * s, -50, -10), 0, 0, 0, S3(2.5f, 8, 5)));
        CG_Tube(barrel, XF_Mul(bx, XF_T(0, 24, 0)), 3.8f, 3.2f, 46, 12);
        for (int k = 0; k < 3; k++)
            CG_Tube(glow, XF_Mul(bx, XF_T(0, 32.0f + 10 * k, 0)), 4.6f, 4.6f, 3, 12);
        CG_Tube(glow, XF_Mul(bx, XF_T(0, 68, 0)), 4.4f, 4.4f, 2.5f, 12);
    }
}

static void Build_Arrow(cg_model_t *m, float ph)
{
    (void)ph;
    /* a chevron pointing along the view, seen from behind and below */
    cg_mesh_t *a = CG_Mesh(m, "arrow", "gl_arrow", CG_UV_NORMAL);
    float ang = atan2f(14, 18) * 180 / PI, half = sqrtf(14 * 14 + 18 * 18) / 2;
    CG_Box(a, XF_TRS(S3(-7, 0, 1), 0, ang, 0, S3(2.2f, 1.2f, half)));
    CG_Box(a, XF_TRS(S3(7, 0, 1), 0, -ang, 0, S3(2.2f, 1.2f, half)));
    cg_mesh_t *tip = CG_Mesh(m, "tip", "gl_yellow", CG_UV_NORMAL);
    Ellipsoid(tip, XF_Identity(), S3(0, 0, 10.5f), S3(2.4f, 1.6f, 2.4f), 0, 0, 0, 8, 6);
}

/* ---- shots and feathers ------------------------------------------------------ */

static void Build_Shot01(cg_model_t *m, float ph)
{
    (void)ph;
    cg_mesh_t *core = CG_Mesh(m, "core", "mc_glowwhite", CG_UV_NORMAL);
    Ellipsoid(core, XF_Identity(), S3(0, 0, 0), S3(3.2f, 3.2f, 11), 0, 0, 0, 10, 8);
    cg_mesh_t *halo = CG_Mesh(m, "halo", "gl_plasma", CG_UV_NORMAL);
    Ellipsoid(halo, XF_Identity(), S3(0, 0, 0), S3(7, 7, 20), 0, 0, 0, 12, 8);
}

static void Build_Shot03(cg_model_t *m, float ph)
{
    (void)ph;
    cg_mesh_t *core = CG_Mesh(m, "core", "mc_slime", CG_UV_NORMAL);
    size_t first = core->frames[0].size();
    Ellipsoid(core, XF_Identity(), S3(0, 0, 0), S3(7, 7, 9), 0, 0, 0, 14, 10);
    CG_Roughen(core, first, V3(0, 0, 0), 5, 33);
    cg_mesh_t *halo = CG_Mesh(m, "halo", "gl_glibber", CG_UV_NORMAL);
    Ellipsoid(halo, XF_Identity(), S3(0, 0, 0), S3(11, 11, 14), 0, 0, 0, 12, 8);
}

static void Build_Shot02(cg_model_t *m, float ph)
{
    (void)ph;
    cg_mesh_t *core = CG_Mesh(m, "core", "mc_magenta", CG_UV_NORMAL);
    float r[8] = {0, 2.5f, 3.6f, 4, 4, 3.6f, 2.5f, 0};
    float y[8] = {-9, -8.4f, -6.8f, -4, 4, 6.8f, 8.4f, 9};
    CG_Lathe(core, XF_RX(90), r, y, 8, 12, 1, 0);
    cg_mesh_t *halo = CG_Mesh(m, "halo", "gl_homing", CG_UV_NORMAL);
    Ellipsoid(halo, XF_Identity(), S3(0, 0, 0), S3(8, 8, 14), 0, 0, 0, 12, 8);
}

static void Feather(cg_model_t *m, const char *tex)
{
    cg_mesh_t *f = CG_Mesh(m, "feather", tex, CG_UV_EXPLICIT);
    CG_Quad(f, XF_S(1.6f, 4.0f, 1), 1);
}

static void Build_Feather01(cg_model_t *m, float ph) { (void)ph; Feather(m, "feather"); }
static void Build_Feather02(cg_model_t *m, float ph) { (void)ph; Feather(m, "feather_gold"); }

/* ---- the table and the writer ----------------------------------------------- */

#define SKY(n) static void Build_Sky##n(cg_model_t *m, float p) { (void)p; Build_Sky(m, n); }
#define PLANET(n) static void Build_P##n(cg_model_t *m, float p) { (void)p; Build_Planet(m, n); }
#define DEBRIS(n) static void Build_T##n(cg_model_t *m, float p) { (void)p; Build_Debris(m, n); }
SKY(1) SKY(2) SKY(3) SKY(4) SKY(5) SKY(6) SKY(7)
PLANET(1) PLANET(2) PLANET(3) PLANET(4) PLANET(5) PLANET(6) PLANET(7)
DEBRIS(1) DEBRIS(2) DEBRIS(3) DEBRIS(4)

static const cg_modeldef_t cg_models[] = {
    {"cockpit", Build_Cockpit, 1},
    {"arrow", Build_Arrow, 1},
    {"weapon", Build_Weapon, 1},
    {"chicken", Build_Chicken, 9},
    {"superchicken", Build_Superchicken, 9},
    {"bombe", Build_Bombe, 9},
    {"motherchicken", Build_Motherchicken, 9},
    {"egg", Build_Egg, 1},
    {"ballon", Build_Ballon, 1},
    {"racer01", Build_Racer01, 1},
    {"racer02", Build_Racer02, 1},
    {"enemy-ship", Build_EnemyShip, 5},
    {"alien01", Build_Alien01, 9},
    {"alien02", Build_Alien02, 9},
    {"sonde", Build_Sonde, 1},
    {"satellit", Build_Satellit, 1},
    {"rakete", Build_Rakete, 5},
    {"astronaut", Build_Astronaut, 9},
    {"komet", Build_Komet, 1},
    {"skysphere01", Build_Sky1, 1},
    {"skysphere02", Build_Sky2, 1},
    {"skysphere03", Build_Sky3, 1},
    {"skysphere04", Build_Sky4, 1},
    {"skysphere05", Build_Sky5, 1},
    {"skysphere06", Build_Sky6, 1},
    {"skysphere07", Build_Sky7, 1},
    {"p01", Build_P1, 1},
    {"p02", Build_P2, 1},
    {"p03", Build_P3, 1},
    {"p04", Build_P4, 1},
    {"p05", Build_P5, 1},
    {"p06", Build_P6, 1},
    {"p07", Build_P7, 1},
    {"shot01", Build_Shot01, 1},
    {"shot02", Build_Shot02, 1},
    {"shot03", Build_Shot03, 1},
    {"truemmer01", Build_T1, 1},
    {"truemmer02", Build_T2, 1},
    {"truemmer03", Build_T3, 1},
    {"truemmer04", Build_T4, 1},
    {"feather01", Build_Feather01, 1},
    {"feather02", Build_Feather02, 1},
};

int CG_GenModels(const std::string &asedir)
{
    int fails = 0;
    for (const cg_modeldef_t &d : cg_models) {
        cg_model_t model;
        d.build(&model, 0);
        int ok = 1;
        for (int f = 1; f < d.frames && ok; f++) {
            cg_model_t fr;
            d.build(&fr, (float)f / (d.frames - 1));
            ok = CG_AppendFrame(&model, &fr);
        }
        if (!ok || !CG_WriteASE(asedir + "/" + d.name + ".ase", &model)) {
            fprintf(stderr, "content: model %s failed\n", d.name);
            fails++;
        }
    }
    return fails;
}
