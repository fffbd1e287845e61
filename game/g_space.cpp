/*
 * g_space.cpp -- the objects of open space that the player should spare:
 * aliens with their rising exhaust and calls, the tumbling probe and
 * satellite, the rocket with its exhaust and looping engine sound, the
 * astronaut; and the comet and the slowly turning planets of the
 * background.  All fly straight; each dies in a burst of its colours.
 */
#include "g_local.h"

static const float s_grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
static const float s_yellow[4] = {1.0f, 1.0f, 0.0f, 1.0f};
static const float s_red[4] = {1.0f, 0.0f, 0.0f, 1.0f};
static const float s_white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
static const float s_brown[4] = {0.44f, 0.28f, 0.12f, 1.0f};
static const float s_teal[4] = {0.0f, 0.63f, 0.63f, 1.0f};
static const float s_purple[4] = {0.63f, 0.23f, 0.39f, 1.0f};

static float S_Now(void)
{
    return *gi.gametime;
}

static void S_Sound(const float *pos, const char *name)
{
    SoundBackend_Play(pos, vec3_origin, 0.0f, name);
}

/* Touch with only a death handler. */
static void S_Touch(entity_t *self, entity_t *other, g_diehandler_f die)
{
    gentity_t *g = G_GentityOf(self);
    gentity_t *o = G_GentityOf(other);
    if (g && o && g->state == GS_INUSE)
        G_Damage(g, o, NULL, die);
}

/* ---- aliens ---- */

void Space_AlienThink(entity_t *e)
{
    gentity_t *g = G_GentityOf(e);
    if (!g || g->state != GS_INUSE)
        return;
    if (S_Now() - g->lastexhaust >= 0.1f) {
        float s[3], u[3], r1[3], r2[3], r3[3], at[3];
        Vec_Basis(e->dir, s, u);
        Vec_Scale(e->vec2, 0.5f, r1);
        Vec_Scale(u, 0.5f, r2);
        Vec_Scale(e->dir, -1.0f, r3);
        FX_SetBasis(r1, r2, r3);
        FX_SetPositiveOnly(0, 0, 1);
        FX_SetGravity(-3.0f);
        Vec_MA(e->origin, -23.0f, e->dir, at);
        Vec_MA(at, -3.5f, u, at);
        FX_Particles(at, 5, 5.0f, s_grey);
        g->lastexhaust = S_Now();
    }
    if (S_Now() - g->lastsound >= 2.0f) {
        S_Sound(e->origin, "sounds/alien.wav");
        g->lastsound = S_Now();
    }
}

void Space_AlienDie(gentity_t *g)
{
    entity_t *e = g->ent;
    S_Sound(e->origin, "sounds/expl_general.wav");
    FX_SetSpeedRange(5.0f, 10.0f);
    FX_SetFadeFactor(0.2f);
    FX_Particles(e->origin, 40, 10.0f, g->subclass == SUB_ALIEN01 ? s_teal : s_purple);
    float s[3], u[3], flat[3];
    Vec_Basis(e->dir, s, u);
    Vec_Scale(u, 0.05f, flat);
    FX_SetSpeedRange(5.0f, 10.0f);
    FX_SetFadeFactor(0.2f);
    FX_SetBasis(e->vec2, flat, e->dir);
    FX_SetMinRadius(25.0f);
    FX_Particles(e->origin, 80, 40.0f, s_grey);
    G_Remove(g);
}

static void Space_AlienTouch(entity_t *self, entity_t *other)
{
    S_Touch(self, other, Space_AlienDie);
}

void Space_SpawnAlien(gentity_t *g)
{
    g->ent->think = Space_AlienThink;
    g->ent->touch = Space_AlienTouch;
}

/* ---- probe, satellite, astronaut, comet ---- */

void Space_SondeDie(gentity_t *g)
{
    FX_Particles(g->ent->origin, 70, 30.0f, s_grey);
    G_Remove(g);
}

static void Space_SondeTouch(entity_t *self, entity_t *other)
{
    S_Touch(self, other, Space_SondeDie);
}

void Space_SpawnSonde(gentity_t *g)
{
    g->ent->avelocity[0] = 70.0f * G_Random() - 35.0f;
    g->ent->avelocity[1] = 70.0f * G_Random() - 35.0f;
    g->ent->touch = Space_SondeTouch;
}

void Space_SatelliteDie(gentity_t *g)
{
    FX_Particles(g->ent->origin, 70, 50.0f, s_grey);
    FX_Debris(g->ent->origin, 1, 100.0f, 40.0f, SUB_DEBRIS_SATELLITE);
    G_Remove(g);
}

static void Space_SatelliteTouch(entity_t *self, entity_t *other)
{
    S_Touch(self, other, Space_SatelliteDie);
}

void Space_SpawnSatellite(gentity_t *g)
{
    entity_t *e = g->ent;
    e->angles[0] = 360.0f * G_Random();
    e->angles[1] = 360.0f * G_Random();
    e->angles[2] = 360.0f * G_Random();
    e->avelocity[1] = 70.0f * G_Random() - 35.0f;
    e->touch = Space_SatelliteTouch;
}

void Space_AstronautDie(gentity_t *g)
{
    FX_Particles(g->ent->origin, 70, 35.0f, s_white);
    G_Remove(g);
}

static void Space_AstronautTouch(entity_t *self, entity_t *other)
{
    S_Touch(self, other, Space_AstronautDie);
}

void Space_SpawnAstronaut(gentity_t *g)
{
    g->ent->avelocity[0] = 60.0f * G_Random();
    g->ent->avelocity[1] = 60.0f * G_Random();
    g->ent->touch = Space_AstronautTouch;
}

void Space_CometDie(gentity_t *g)
{
    FX_Particles(g->ent->origin, 70, 30.0f, s_brown);
    G_Remove(g);
}

static void Space_CometTouch(entity_t *self, entity_t *other)
{
    S_Touch(self, other, Space_CometDie);
}

void Space_SpawnComet(gentity_t *g)
{
    g->ent->touch = Space_CometTouch;
    g->ent->avelocity[1] = 50.0f * G_Random() - 25.0f;
}

/* ---- rocket ---- */

void Space_RocketExhaust(entity_t *e)
{
    float s[3], u[3], r1[3], r2[3], r3[3], at[3];
    Vec_Basis(e->dir, s, u);
    Vec_Scale(e->vec2, 0.05f, r1);
    Vec_Scale(u, 0.05f, r2);
    Vec_Scale(e->dir, -1.0f, r3);
    FX_SetBasis(r1, r2, r3);
    FX_SetPositiveOnly(0, 0, 1);
    FX_SetSpeedRange(80.0f, 100.0f);
    Vec_MA(e->origin, -40.0f, e->dir, at);
    FX_Particles(at, 10, 5.0f, s_yellow);
    e->nextthink = S_Now() + 0.1f;
}

void Space_RocketDie(gentity_t *g)
{
    entity_t *e = g->ent;
    S_Sound(e->origin, "sounds/expl_rocket.wav");
    FX_SetSize(1.5f);
    FX_Particles(e->origin, 40, 50.0f, s_yellow);
    FX_SetSize(1.5f);
    FX_Particles(e->origin, 40, 50.0f, s_red);
    float at[3];
    Vec_MA(e->origin, -20.0f, e->dir, at);
    FX_Debris(at, 4, 100.0f, 40.0f, SUB_DEBRIS_ROCKETWINGS);
    G_Remove(g);
}

static void Space_RocketTouch(entity_t *self, entity_t *other)
{
    S_Touch(self, other, Space_RocketDie);
}

void Space_SpawnRocket(gentity_t *g)
{
    entity_t *e = g->ent;
    e->touch = Space_RocketTouch;
    e->ondestroy = Target_RemoveEngineSound;
    g->enginesound = SoundBackend_PlayLoop(e->origin, e->dir, e->speed, "sounds/rocket.wav");
    e->think = Space_RocketExhaust;
}

/* ---- planets ---- */

void Space_SpawnPlanet(gentity_t *g)
{
    g->ent->avelocity[1] = 2.0f;
    G_SetModelScale(g, 0.5f);
    g->ent->u.mdl.depth = 0;
}
