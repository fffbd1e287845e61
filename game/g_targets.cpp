/*
 * g_targets.cpp -- the balloon that spins when shot and bursts with its
 * passenger, the straight-flying racer, the racer that scans for the
 * player, approaches, turns its model to aim, fires exactly two shots and
 * turns back, and the enemy ship with its looping engine sound that
 * explodes into two particle bursts and four bomb chickens.
 */
#include "g_local.h"

#include <math.h>

#define RACER_SCANSTEP 0.5f
#define RACER_RESCAN 0.3f
#define RACER_RANGE2 90000.0f
#define RACER_AIMED 6.0f
#define RACER_REFIRE 0.4f
#define RACER_BACK 2.0f

static const float t_grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
static const float t_red[4] = {0.88f, 0.31f, 0.31f, 1.0f};
static const float t_orange[4] = {1.0f, 0.5f, 0.0f, 1.0f};

static float T_Now(void)
{
    return *gi.gametime;
}

static float T_FrameTime(void)
{
    return *gi.gametime - *gi.lastgametime;
}

static void T_Sound(const float *pos, const char *name)
{
    SoundBackend_Play(pos, vec3_origin, 0.0f, name);
}

static void T_Offset(const float *p, float x, float y, float z, float *out)
{
    out[0] = p[0] + x;
    out[1] = p[1] + y;
    out[2] = p[2] + z;
}

/* ---- balloon ---- */

void Target_BalloonSpinDown(entity_t *e)
{
    float v = e->avelocity[1];
    float w = v - v * T_FrameTime() * 0.7f;
    if ((v >= 0.0f) != (w >= 0.0f) || fabsf(w) < 1.0f) {
        w = 0.0f;
        e->think = NULL;
    }
    e->avelocity[1] = w;
}

void Target_BalloonBurst(gentity_t *g)
{
    const float *p = g->ent->origin;
    float at[3];
    FX_SetSize(1.5f);
    FX_SetMinRadius(40.0f);
    T_Offset(p, 0.0f, 40.0f, 0.0f, at);
    FX_Particles(at, 60, 50.0f, t_red);
    FX_SetSize(1.5f);
    T_Offset(p, 0.0f, -30.0f, 0.0f, at);
    FX_Particles(at, 40, 50.0f, t_grey);
    T_Offset(p, 0.0f, -10.0f, 0.0f, at);
    FX_Debris(at, 1, 0.0f, 0.0f, SUB_DEBRIS_BALLOONSEAT);
    T_Offset(p, 0.0f, -30.0f, 0.0f, at);
    FX_Feathers(at, 25);
    G_Remove(g);
}

void Target_BalloonTouch(entity_t *self, entity_t *other)
{
    gentity_t *g = G_GentityOf(self);
    gentity_t *o = G_GentityOf(other);
    if (!g || !o || g->state != GS_INUSE)
        return;
    if (G_Damage(g, o, NULL, Target_BalloonBurst) != DMG_HIT)
        return;
    float a = Vec_SignedAngle(self->origin, other->dir, 1);
    self->avelocity[1] += 5.0f * a;
    self->think = Target_BalloonSpinDown;
}

void Target_SpawnBalloon(gentity_t *g)
{
    Vec_Set(g->ent->angles, 0.0f, 0.0f, 0.0f);
    g->ent->touch = Target_BalloonTouch;
}

/* ---- racers ---- */

void Target_RacerHit(gentity_t *g, float d)
{
    Chicken_HitCluck(g);
    Chicken_HitFeathers(g, d);
}

void Target_RacerDie(gentity_t *g)
{
    const float *p = g->ent->origin;
    T_Sound(p, "sounds/expl_general.wav");
    FX_Particles(p, 60, 50.0f, t_grey);
    FX_Feathers(p, 30);
    FX_Debris(p, 1, 0.0f, 100.0f, SUB_DEBRIS_RACER);
    G_Remove(g);
}

void Target_RacerTouch(entity_t *self, entity_t *other)
{
    gentity_t *g = G_GentityOf(self);
    gentity_t *o = G_GentityOf(other);
    if (g && o && g->state == GS_INUSE)
        G_Damage(g, o, Target_RacerHit, Target_RacerDie);
}

void Target_SpawnRacer(gentity_t *g)
{
    g->ent->touch = Target_RacerTouch;
}

/* Angle between two directions in degrees. */
static float T_AngleBetween(const float *a, const float *b)
{
    float la = Vec_Length(a), lb = Vec_Length(b);
    if (la == 0.0f || lb == 0.0f)
        return 0.0f;
    float c = Vec_Dot(a, b) / (la * lb);
    if (c > 1.0f)
        c = 1.0f;
    if (c < -1.0f)
        c = -1.0f;
    return acosf(c) * 180.0f / G_PI;
}

/* Turns only the model: the angles follow the aim direction. */
static void T_AimModel(entity_t *e, const float *aim)
{
    float s[3], u[3];
    Vec_Basis(aim, s, u);
    Vec_AnglesFromVectors(s, aim, e->angles);
}

/* The target is gone or its slot now holds a newer gentity: scan again. */
static int T_RacerLost(gentity_t *g)
{
    gentity_t *t = g->target;
    if (t && t->state == GS_INUSE && g->locktime > t->spawntime)
        return 0;
    g->target = NULL;
    g->ent->think = Target_RacerScan;
    g->ent->nextthink = T_Now() + RACER_RESCAN;
    return 1;
}

void Target_RacerScan(entity_t *e)
{
    gentity_t *g = G_GentityOf(e);
    if (!g || g->state != GS_INUSE)
        return;
    for (gentity_t *p = G_NextInUse(NULL); p; p = G_NextInUse(p)) {
        if (p->mainclass != MC_PLAYER)
            continue;
        float to[3];
        Vec_Sub(p->ent->origin, e->origin, to);
        Vec_Normalize(to);
        if (Vec_Dot(to, e->dir) >= 0.0f) {
            g->target = p;
            g->locktime = T_Now();
            e->think = Target_RacerApproach;
            return;
        }
    }
    e->nextthink += RACER_SCANSTEP;
}

void Target_RacerApproach(entity_t *e)
{
    gentity_t *g = G_GentityOf(e);
    if (!g || g->state != GS_INUSE || T_RacerLost(g))
        return;
    if (Vec_DistSquared(e->origin, g->target->ent->origin) <= RACER_RANGE2) {
        Vec_Copy(e->dir, g->aimdir);
        e->think = Target_RacerAttack;
    }
}

void Target_RacerAttack(entity_t *e)
{
    gentity_t *g = G_GentityOf(e);
    if (!g || g->state != GS_INUSE || T_RacerLost(g))
        return;
    float aimpt[3], d[3];
    T_Offset(g->target->ent->origin, 0.0f, 5.0f, 0.0f, aimpt);
    Vec_Sub(aimpt, e->origin, d);
    Vec_Normalize(d);
    Vec_MA(g->aimdir, T_FrameTime() * 3.0f, d, g->aimdir);
    Vec_Normalize(g->aimdir);
    T_AimModel(e, g->aimdir);
    if (!g->aimed) {
        if (T_AngleBetween(g->aimdir, d) > RACER_AIMED)
            return;
        g->aimed = 1;
    }
    if (g->shotsleft < 1) {
        e->think = Target_RacerTurnBack;
        e->nextthink = T_Now() + 0.2f;
        return;
    }
    if (T_Now() - g->lastshot >= RACER_REFIRE) {
        float off[3];
        Vec_Scale(d, 40.0f, off);
        Weapon_Fire(g, off, d);
        g->shotsleft--;
        g->muzzle = (g->muzzle + 1) % 2;
        g->lastshot = T_Now();
    }
}

void Target_RacerTurnBack(entity_t *e)
{
    gentity_t *g = G_GentityOf(e);
    if (!g || g->state != GS_INUSE)
        return;
    Vec_MA(g->aimdir, T_FrameTime() * 3.0f, e->dir, g->aimdir);
    Vec_Normalize(g->aimdir);
    T_AimModel(e, g->aimdir);
    if (T_AngleBetween(g->aimdir, e->dir) > RACER_BACK)
        return;
    Vec_AnglesFromVectors(e->vec2, e->dir, e->angles);
    g->target = NULL;
    Vec_Copy(e->dir, g->aimdir);
    e->think = NULL;
}

void Target_SpawnRacer2(gentity_t *g)
{
    g->shotsleft = 2;
    g->ent->touch = Target_RacerTouch;
    g->ent->think = Target_RacerScan;
    g->ent->nextthink = T_Now() + RACER_RESCAN;
}

/* ---- enemy ship ---- */

void Target_RemoveEngineSound(entity_t *e)
{
    gentity_t *g = G_GentityOf(e);
    if (!g)
        return;
    gentity_t *s = g->enginesound;
    g->enginesound = NULL;
    /* only the sound this object started: the slot may hold a newer one */
    if (s && s->state == GS_INUSE && s->mainclass == MC_SOUND && s->spawntime >= g->spawntime)
        G_Remove(s);
}

static void T_DropBombs(gentity_t *ship)
{
    static const float offsets[4][3] = {
        {110.0f, 0.0f, 110.0f}, {-110.0f, 0.0f, 110.0f},
        {-110.0f, 0.0f, -110.0f}, {110.0f, 0.0f, -110.0f}};
    const float *aim = vec3_origin; /* the world centre when there is no player */
    for (gentity_t *p = G_NextInUse(NULL); p; p = G_NextInUse(p)) {
        if (p->mainclass == MC_PLAYER) {
            aim = p->ent->origin;
            break;
        }
    }
    for (const auto &offset : offsets) {
        gentity_t *b = G_SpawnProductOf(MC_TARGET, SUB_ENEMYSHIP);
        if (!b) {
            gi.conprintf("# enemyship.OnDie: could not spawn bombchicken '%s'\n",
                         G_ProductName(MC_TARGET, SUB_ENEMYSHIP));
            return;
        }
        entity_t *x = b->ent;
        Vec_Add(ship->ent->origin, offset, x->origin);
        Vec_Sub(aim, x->origin, x->dir);
        if (Vec_IsParallel(x->dir, vec3_up))
            x->dir[2] -= 5.0f;
        Vec_Normalize(x->dir);
        Ent_OrientToDirection(x);
        x->speed = 30.0f;
        G_StartClassBehaviour(b);
    }
}

void Target_ShipDie(gentity_t *g)
{
    entity_t *e = g->ent;
    T_Sound(e->origin, "sounds/expl_ship.wav");
    FX_SetSpeedRange(10.0f, 40.0f);
    FX_SetSize(2.5f);
    FX_SetMinRadius(30.0f);
    FX_SetFadeFactor(0.2f);
    FX_Particles(e->origin, 50, 45.0f, t_orange);
    float s[3], u[3], flat[3];
    Vec_Basis(e->dir, s, u);
    Vec_Scale(u, 0.05f, flat);
    FX_SetSpeedRange(10.0f, 40.0f);
    FX_SetSize(2.5f);
    FX_SetMinRadius(120.0f);
    FX_SetBasis(e->vec2, flat, e->dir);
    FX_SetFadeFactor(0.2f);
    FX_Particles(e->origin, 240, 170.0f, t_grey);
    T_DropBombs(g);
    G_Remove(g);
}

void Target_ShipTouch(entity_t *self, entity_t *other)
{
    gentity_t *g = G_GentityOf(self);
    gentity_t *o = G_GentityOf(other);
    if (g && o && g->state == GS_INUSE)
        G_Damage(g, o, NULL, Target_ShipDie);
}

void Target_SpawnShip(gentity_t *g)
{
    entity_t *e = g->ent;
    e->touch = Target_ShipTouch;
    g->enginesound = SoundBackend_PlayLoop(e->origin, e->dir, e->speed, "sounds/ship.wav");
    e->ondestroy = Target_RemoveEngineSound;
}
