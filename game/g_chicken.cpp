/*
 * g_chicken.cpp -- the five chicken classes: spawn behaviours, clucking,
 * the panic of a hit chicken (faster wing beat and flight up to a cap),
 * the bomb chicken that explodes next to the player, the mother that lays
 * an egg every eight seconds, and the egg that spins when shot and hatches
 * six chickens when it breaks.  Chickens never steer; the engine flies
 * them along their direction.
 */
#include "g_local.h"

#include <math.h>

#define CLUCK_GAP 0.35f
#define BOMB_RANGE2 900.0f
#define EGG_PERIOD 8.0f
#define EGG_SPINMAX 250.0f
#define EGG_SPINRESET 200.0f

static const float c_white[4] = {1.0f, 1.0f, 1.0f, 1.0f};

/* where the entity that last touched a motherchicken was */
static float c_lasthit[3];

static float C_Now(void)
{
    return *gi.gametime;
}

static void C_Sound(const float *pos, const char *name)
{
    SoundBackend_Play(pos, vec3_origin, 0.0f, name);
}

/* ---- shared pieces ---- */

void Chicken_HitCluck(gentity_t *g)
{
    if (C_Now() - g->lastcluck < CLUCK_GAP)
        return;
    C_Sound(g->ent->origin, G_Random() > 0.5f ? "sounds/kluck4.wav" : "sounds/kluck5.wav");
    g->lastcluck = C_Now();
}

void Chicken_HitFeathers(gentity_t *g, float d)
{
    FX_Feathers(g->ent->origin, G_Nearest((5.0f * G_Random() + 5.0f) * d));
}

void Chicken_IdleCluck(entity_t *e)
{
    C_Sound(e->origin, G_Random() > 0.5f ? "sounds/kluck.wav" : "sounds/kluck2.wav");
    e->nextthink = C_Now() + 10.0f + 10.0f * G_Random();
}

static void C_StartWings(gentity_t *g)
{
    G_SetModelFrameRate(g, 1.5f + 0.25f * G_Random());
}

/* ---- chicken and superchicken ---- */

static void C_Panic(gentity_t *g, float d, float cap)
{
    entity_t *e = g->ent;
    float oldrate = e->u.mdl.framerate;
    float oldspeed = e->speed;
    e->u.mdl.framerate = oldrate + d;
    float speed = oldrate != 0.0f ? oldspeed * e->u.mdl.framerate / oldrate : oldspeed;
    if (speed > cap)
        speed = oldspeed > cap ? oldspeed : cap;
    e->speed = speed;
}

void Chicken_Hit(gentity_t *g, float d)
{
    Chicken_HitCluck(g);
    Chicken_HitFeathers(g, d);
    C_Panic(g, d, 60.0f);
}

void Chicken_SuperHit(gentity_t *g, float d)
{
    Chicken_HitCluck(g);
    Chicken_HitFeathers(g, d);
    C_Panic(g, d, 100.0f);
}

void Chicken_Die(gentity_t *g)
{
    Chicken_HitCluck(g);
    FX_Feathers(g->ent->origin, 25);
    G_Remove(g);
}

static void C_TouchWith(entity_t *self, entity_t *other, g_hithandler_f hit, g_diehandler_f die)
{
    gentity_t *g = G_GentityOf(self);
    gentity_t *o = G_GentityOf(other);
    if (g && o && g->state == GS_INUSE)
        G_Damage(g, o, hit, die);
}

void Chicken_Touch(entity_t *self, entity_t *other)
{
    C_TouchWith(self, other, Chicken_Hit, Chicken_Die);
}

void Chicken_SuperTouch(entity_t *self, entity_t *other)
{
    C_TouchWith(self, other, Chicken_SuperHit, Chicken_Die);
}

void Chicken_Spawn(gentity_t *g)
{
    entity_t *e = g->ent;
    C_StartWings(g);
    e->think = Chicken_IdleCluck;
    e->touch = Chicken_Touch;
    e->nextthink = C_Now() + 3.0f * G_Random();
}

void Chicken_SpawnSuper(gentity_t *g)
{
    Chicken_Spawn(g);
    g->ent->touch = Chicken_SuperTouch;
}

/* ---- bomb chicken ---- */

void Chicken_BombThink(entity_t *e)
{
    gentity_t *g = G_GentityOf(e);
    if (!g || g->state != GS_INUSE)
        return;
    int exploded = 0;
    for (gentity_t *p = G_NextInUse(NULL); p; p = G_NextInUse(p)) {
        if (p->mainclass != MC_PLAYER || Vec_DistSquared(p->ent->origin, e->origin) > BOMB_RANGE2)
            continue;
        if (!View_IsShaking(p))
            View_Shake(p, 1.5f, 150.0f);
        if (!exploded) {
            exploded = 1;
            C_Sound(e->origin, "sounds/expl_general.wav");
            FX_Feathers(e->origin, 25);
            G_Remove(g);
        }
    }
}

void Chicken_BombHit(gentity_t *g, float d)
{
    Chicken_HitCluck(g);
    Chicken_HitFeathers(g, d);
}

void Chicken_BombDie(gentity_t *g)
{
    C_Sound(g->ent->origin, "sounds/expl_general.wav");
    FX_Feathers(g->ent->origin, 25);
    G_Remove(g);
}

void Chicken_BombTouch(entity_t *self, entity_t *other)
{
    C_TouchWith(self, other, Chicken_BombHit, Chicken_BombDie);
}

void Chicken_SpawnBomb(gentity_t *g)
{
    C_StartWings(g);
    g->ent->think = Chicken_BombThink;
    g->ent->touch = Chicken_BombTouch;
}

/* ---- motherchicken ---- */

void Chicken_LayEgg(entity_t *e)
{
    gentity_t *egg = G_SpawnProductOf(MC_TARGET, SUB_MOTHERCHICKEN);
    if (egg) {
        float u[3];
        Vec_Cross(e->dir, e->vec2, u);
        entity_t *x = egg->ent;
        Vec_MA(e->origin, -60.0f, e->dir, x->origin);
        Vec_MA(x->origin, -20.0f, u, x->origin);
        Vec_Scale(e->dir, -1.0f, x->dir);
        x->speed = 10.0f;
        G_StartClassBehaviour(egg);
    }
    float r = G_Random();
    const char *name = r < 0.25f ? "sounds/kluck3.wav"
                       : r < 0.5f ? "sounds/kluck6.wav"
                       : r < 0.75f ? "sounds/kluck.wav"
                                   : "sounds/kluck2.wav";
    C_Sound(e->origin, name);
    C_Sound(e->origin, name);
    e->nextthink = C_Now() + EGG_PERIOD;
}

void Chicken_MotherHit(gentity_t *g, float d)
{
    Chicken_HitCluck(g);
    FX_Feathers(c_lasthit, 2 * G_Nearest((5.0f * G_Random() + 5.0f) * d));
}

void Chicken_MotherDie(gentity_t *g)
{
    Chicken_HitCluck(g);
    FX_Feathers(g->ent->origin, 75);
    G_Remove(g);
}

void Chicken_MotherTouch(entity_t *self, entity_t *other)
{
    Vec_Copy(other->origin, c_lasthit);
    C_TouchWith(self, other, Chicken_MotherHit, Chicken_MotherDie);
}

void Chicken_SpawnMother(gentity_t *g)
{
    G_SetModelScale(g, 5.0f);
    C_StartWings(g);
    g->ent->think = Chicken_LayEgg;
    g->ent->touch = Chicken_MotherTouch;
    g->ent->nextthink = C_Now() + EGG_PERIOD;
}

/* ---- egg ---- */

static float C_SpinLimit(float v)
{
    if (v > EGG_SPINMAX)
        return EGG_SPINRESET;
    if (v < -EGG_SPINMAX)
        return -EGG_SPINRESET;
    return v;
}

void Chicken_EggSpinDown(entity_t *e)
{
    float dt = *gi.gametime - *gi.lastgametime;
    int still = 1;
    for (int i = 0; i < 3; i++) {
        float v = e->avelocity[i];
        float w = v - v * dt * 0.3f;
        if ((v >= 0.0f) != (w >= 0.0f) || fabsf(w) < 1.0f)
            w = 0.0f;
        e->avelocity[i] = w;
        if (w != 0.0f)
            still = 0;
    }
    if (still)
        e->think = NULL;
}

void Chicken_EggTouch(entity_t *self, entity_t *other)
{
    gentity_t *g = G_GentityOf(self);
    gentity_t *o = G_GentityOf(other);
    if (!g || !o || g->state != GS_INUSE)
        return;
    if (G_Damage(g, o, NULL, Chicken_EggHatch) != DMG_HIT)
        return;
    float v[3];
    Vec_Add(other->dir, self->dir, v);
    self->speed += 3.0f * Vec_Length(v);
    Vec_Normalize(v);
    Vec_Copy(v, self->dir);
    float ax = Vec_SignedAngle(self->origin, other->dir, 0);
    float ay = Vec_SignedAngle(self->origin, other->dir, 1);
    self->avelocity[0] = C_SpinLimit(self->avelocity[0] + 50.0f * ax);
    self->avelocity[1] = C_SpinLimit(self->avelocity[1] + 50.0f * ay);
    self->think = Chicken_EggSpinDown;
}

void Chicken_EggHatch(gentity_t *g)
{
    entity_t *e = g->ent;
    for (int i = 0; i < 6; i++) {
        gentity_t *c = G_SpawnProductOf(MC_TARGET, SUB_EGG);
        if (!c) {
            gi.conprintf("e_egg: OnDie: could not spawn chicken '%s'\n",
                         G_ProductName(MC_TARGET, SUB_EGG));
            break;
        }
        entity_t *x = c->ent;
        Vec_RandomDir(x->dir);
        Vec_MA(e->origin, 30.0f, x->dir, x->origin);
        Ent_OrientToDirection(x);
        x->avelocity[0] = 30.0f + 30.0f * G_Random();
        x->avelocity[1] = 30.0f + 30.0f * G_Random();
        x->speed = 15.0f + 10.0f * G_Random();
        G_StartClassBehaviour(c);
    }
    FX_Particles(e->origin, 70, 50.0f, c_white);
    G_Remove(g);
}

void Chicken_SpawnEgg(gentity_t *g)
{
    entity_t *e = g->ent;
    e->touch = Chicken_EggTouch;
    e->avelocity[0] = 250.0f * G_Random() / 3.0f;
    e->avelocity[1] = 250.0f * G_Random() / 3.0f;
    if (Vec_IsParallel(e->dir, vec3_up))
        e->avelocity[2] = 250.0f * G_Random() / 3.0f;
    e->angles[0] = 360.0f * G_Random();
    e->angles[1] = 360.0f * G_Random();
}
