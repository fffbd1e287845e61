/*
 * g_fx.cpp -- the visual effects the behaviours call: particle bursts
 * driven by a set of one-shot parameters, the hit effect that colours a
 * burst by the victim's class record and the place of the hit,
 * feathers, debris (which turns missiles aside and shows their hits) and
 * the floating score numbers.  All effects live only by their thinks.
 */
#include "g_local.h"

#include <stdio.h>

/* ---- one-shot burst parameters ---- */

typedef struct {
    float size;
    float minradius;
    float speedlo, speedhi;
    float basis[3][3];
    int positive[3];
    float fade;
    float gravity;
} fxparams_t;

static const fxparams_t fx_defaults = {
    2.0f, 0.0f, 20.0f, 30.0f,
    {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, -1.0f}},
    {0, 0, 0}, 1.0f, 0.0f};

static fxparams_t fx_params = fx_defaults;

void FX_ResetParams(void)
{
    fx_params = fx_defaults;
}

void FX_SetSize(float f)
{
    if (f >= 0.0f)
        fx_params.size *= f;
}

void FX_SetMinRadius(float f)
{
    if (f >= 0.0f)
        fx_params.minradius = f;
}

void FX_SetSpeedRange(float lo, float hi)
{
    if (lo < 0.0f)
        lo = 0.0f;
    if (hi < lo)
        hi = lo;
    fx_params.speedlo = lo;
    fx_params.speedhi = hi;
}

void FX_SetBasis(const float *row1, const float *row2, const float *row3)
{
    Vec_Copy(row1, fx_params.basis[0]);
    Vec_Copy(row2, fx_params.basis[1]);
    Vec_Copy(row3, fx_params.basis[2]);
}

void FX_SetPositiveOnly(int x, int y, int z)
{
    fx_params.positive[0] = x;
    fx_params.positive[1] = y;
    fx_params.positive[2] = z;
}

void FX_SetFadeFactor(float f)
{
    if (f > 0.0f)
        fx_params.fade = f;
}

void FX_SetGravity(float g)
{
    fx_params.gravity = g;
}

static float FX_FrameTime(void)
{
    return *gi.gametime - *gi.lastgametime;
}

/* ---- particles ---- */

void FX_ParticleThink(entity_t *e)
{
    gentity_t *g = G_GentityOf(e);
    if (!g)
        return;
    float dt = FX_FrameTime();
    e->color[3] -= dt * 1.5f * g->fadefactor;
    if (e->color[3] < 0.0f) {
        G_Remove(g);
        return;
    }
    e->dir[1] -= dt * 1.5f * g->gravity;
    Vec_Normalize(e->dir);
}

static void FX_OneParticle(const float *centre, float radius, const float *colour)
{
    gentity_t *g = G_SpawnParticle();
    if (!g)
        return;
    entity_t *e = g->ent;
    float c[3];
    for (int i = 0; i < 3; i++) {
        c[i] = G_Random() - (fx_params.positive[i] ? 0.0f : 0.5f);
        if (c[i] == 0.0f)
            c[i] = 0.0001f;
    }
    float d[3] = {0.0f, 0.0f, 0.0f};
    for (int i = 0; i < 3; i++)
        Vec_MA(d, c[i], fx_params.basis[i], d);
    Vec_Normalize(d);
    Vec_Copy(d, e->dir);
    for (int i = 0; i < 4; i++)
        e->color[i] = colour[i];
    float R = radius > fx_params.minradius ? radius : fx_params.minradius;
    float dist = fx_params.minradius + (R - fx_params.minradius) * G_Random();
    Vec_MA(centre, dist, d, e->origin);
    e->u.part.size = fx_params.size;
    e->speed = fx_params.speedlo + (fx_params.speedhi - fx_params.speedlo) * G_Random();
    g->fadefactor = fx_params.fade;
    g->gravity = fx_params.gravity;
    e->think = FX_ParticleThink;
}

void FX_Particles(const float *centre, int count, float radius, const float *colour)
{
    int n = G_Nearest((float)count * g_particlefactor);
    for (int i = 0; i < n; i++)
        FX_OneParticle(centre, radius, colour);
    FX_ResetParams();
}

/* ---- hit effect ---- */

void FX_HitEffect(gentity_t *victim, const float *point, float damage)
{
    if (!victim || !victim->ent)
        return;
    const classrow_t *cls = G_ClassByNumbers(victim->mainclass, victim->subclass);
    if (!cls)
        return;
    const float *choice = NULL;
    for (int i = 0; i < cls->hitfx.count; i++) {
        const hitzone_t *z = &cls->hitfx.zones[i];
        if (!z->sphere) {
            choice = z->colour;
            continue;
        }
        float c[3];
        Vec_Add(victim->ent->origin, z->offset, c);
        if (Vec_DistSquared(c, point) <= z->radius * z->radius) {
            choice = z->colour;
            break;
        }
    }
    if (!choice)
        return;
    FX_Particles(point, G_Nearest(damage * 16.0f), 30.0f, choice);
}

/* ---- feathers ---- */

void FX_FeatherThink(entity_t *e)
{
    gentity_t *g = G_GentityOf(e);
    if (!g)
        return;
    float dt = FX_FrameTime();
    e->color[3] -= dt * 0.5f;
    if (e->color[3] <= 0.0f) {
        G_Remove(g);
        return;
    }
    if (e->speed != 0.0f)
        e->speed *= 1.0f - 2.0f * dt;
}

void FX_Feathers(const float *point, int count)
{
    for (int i = 0; i < count; i++) {
        int sub = G_Random() <= 0.05f ? SUB_RONLY_FEATHER02 : SUB_RONLY_FEATHER01;
        gentity_t *g = G_SpawnClassRow(G_ClassByNumbers(MC_EFFECT, sub));
        if (!g)
            continue;
        entity_t *e = g->ent;
        Vec_RandomDir(e->dir);
        Vec_MA(point, 20.0f, e->dir, e->origin);
        e->avelocity[0] = 200.0f * G_Random() - 100.0f;
        e->avelocity[1] = 200.0f * G_Random() - 100.0f;
        e->angles[0] = 360.0f * G_Random();
        e->angles[1] = 360.0f * G_Random();
        e->speed = 60.0f * G_Random();
        e->color[3] = 0.8f;
        e->think = FX_FeatherThink;
    }
}

/* ---- debris ---- */

void FX_DebrisThink(entity_t *e)
{
    gentity_t *g = G_GentityOf(e);
    if (!g)
        return;
    e->color[3] -= FX_FrameTime() * 1.5f;
    if (e->color[3] <= 0.0f)
        G_Remove(g);
}

void FX_DebrisTouch(entity_t *self, entity_t *other)
{
    gentity_t *g = G_GentityOf(self);
    gentity_t *o = G_GentityOf(other);
    if (g && o && o->mainclass == MC_MISSILE)
        FX_HitEffect(g, other->origin, o->damage);
}

static float FX_Spread(float range)
{
    return (2.0f * G_Random() - 1.0f) * range;
}

void FX_Debris(const float *centre, int count, float anglerange, float avelrange,
               int subclass)
{
    for (int i = 0; i < count; i++) {
        gentity_t *g = G_SpawnByClass(MC_DEBRIS, subclass);
        if (!g)
            continue;
        entity_t *e = g->ent;
        Vec_Copy(centre, e->origin);
        Vec_RandomDir(e->dir);
        e->speed = 10.0f + 10.0f * G_Random();
        e->avelocity[0] = FX_Spread(avelrange);
        e->avelocity[1] = FX_Spread(avelrange);
        e->angles[0] = FX_Spread(anglerange);
        e->angles[1] = FX_Spread(anglerange);
        e->angles[2] = FX_Spread(anglerange);
        e->think = FX_DebrisThink;
        e->touch = FX_DebrisTouch;
        e->nextthink = *gi.gametime + 4.0f;
    }
}

/* ---- score numbers ---- */

void FX_ScoreThink(entity_t *e)
{
    gentity_t *g = G_GentityOf(e);
    if (!g)
        return;
    float dt = FX_FrameTime();
    e->color[3] -= dt * 0.7f;
    e->u.txt.size += dt * 20.0f;
    if (e->color[3] <= 0.0f)
        G_Remove(g);
}

void FX_ScorePopup(const float *point, int points, float size, const float *colour)
{
    gentity_t *g = G_SpawnText(SUB_TEXT_FONT_TECH);
    if (!g)
        return;
    entity_t *e = g->ent;
    Vec_Copy(point, e->origin);
    for (int i = 0; i < 4; i++)
        e->color[i] = colour[i];
    G_SetTextSize(g, size);
    G_SetTextInWorld(g, 1);
    G_SetTextShadow(g, 1);
    snprintf(e->u.txt.text, sizeof(e->u.txt.text), "%i", points);
    e->think = FX_ScoreThink;
}
