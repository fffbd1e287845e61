/*
 * g_missile.cpp -- every shot of the game: the launch routines the weapons
 * call (with the flight values of the missile classes), the missile touch
 * (removal, or deflection off debris), enemy plasma that strikes the
 * player's view when it comes close, the homing capsule that bursts into
 * six homing shots, and the homing shots' seek, steer and fade thinks
 * with the module-wide homing lock that spreads one burst over several
 * targets.  References to other gentities
 * are checked against spawn times because pool slots are reused.
 */
#include "g_local.h"

#define HOMING_LIFE 5.0f
#define HOMING_STEP 0.1f
#define ENEMYSHOT_RANGE2 900.0f

/* the homing lock: starts clear at load, survives levels */
static gentity_t *m_lock;
static float m_locktime;

gentity_t *Missile_HomingLock(float *locktime)
{
    if (locktime)
        *locktime = m_locktime;
    return m_lock;
}

void Missile_ClearHomingLock(void)
{
    m_lock = NULL;
    m_locktime = 0.0f;
}

static float M_Now(void)
{
    return *gi.gametime;
}

static float M_FrameTime(void)
{
    return *gi.gametime - *gi.lastgametime;
}

/* ---- launching ---- */

gentity_t *FireMissile(int subclass, const float *start, const float *dir, gentity_t *owner)
{
    const classrow_t *cls = G_ClassByNumbers(MC_MISSILE, subclass);
    if (!cls) {
        gi.conprintf("# FireMissile: could not spawn missile '?'\n");
        return NULL;
    }
    gentity_t *g = G_SpawnClassRow(cls);
    if (!g) {
        gi.conprintf("# FireMissile: could not spawn missile '%s'\n", cls->classname);
        return NULL;
    }
    entity_t *e = g->ent;
    Vec_Copy(start, e->origin);
    Vec_Copy(dir, e->dir);
    Ent_OrientMissile(e);
    G_SetCollisionMode(g, CM_SWEPT);
    e->speed = cls->missile.speed;
    G_SetModelScale(g, cls->missile.scale);
    g->owner = owner;
    g->damage = cls->missile.damage;
    e->touch = Missile_Touch;
    return g;
}

void FirePlasma(const float *start, const float *dir, gentity_t *shooter)
{
    gentity_t *g = FireMissile(SUB_MISSILE_PLASMA, start, dir, shooter);
    if (g && !(shooter && shooter->mainclass == MC_PLAYER)) {
        g->ent->think = Missile_EnemyShotThink;
        g->ent->speed *= 0.35f;
    }
}

void FireGlibber(const float *start, const float *dir, gentity_t *shooter)
{
    FireMissile(SUB_MISSILE_GLIBBER, start, dir, shooter);
}

void FireHomingCapsule(const float *start, const float *dir, gentity_t *shooter)
{
    gentity_t *g = FireMissile(SUB_MISSILE_HOMINGCAPSULE, start, dir, shooter);
    if (!g)
        return;
    g->ent->think = Missile_CapsuleBurstThink;
    g->ent->touch = Missile_CapsuleBurstTouch;
    g->ent->nextthink = M_Now() + 0.6f;
}

/* ---- touch and deflection ---- */

static void M_Deflect(gentity_t *self, gentity_t *debris)
{
    entity_t *e = self->ent;
    float p[3];
    Vec_Copy(debris->ent->origin, p);
    Vec_Normalize(p);
    float ax = Vec_SignedAngle(p, e->dir, 0);
    float ay = Vec_SignedAngle(p, e->dir, 1);
    Vec_Rotate(e->dir, 5.0f * ax, 0.0f, 0.0f);
    Vec_Rotate(e->dir, 0.0f, 5.0f * ay, 0.0f);
    Ent_OrientMissile(e);
    Vec_MA(e->origin, M_FrameTime() * e->speed * 10.0f, e->dir, e->origin);
}

void Missile_Touch(entity_t *self, entity_t *other)
{
    gentity_t *g = G_GentityOf(self);
    gentity_t *o = G_GentityOf(other);
    if (!g || g->state != GS_INUSE)
        return;
    if (g->target && g->target == m_lock)
        Missile_ClearHomingLock();
    if (o && o->mainclass == MC_DEBRIS)
        M_Deflect(g, o);
    else
        G_Remove(g);
}

/* ---- enemy plasma ---- */

void Missile_EnemyShotThink(entity_t *e)
{
    gentity_t *shot = G_GentityOf(e);
    if (!shot || shot->state != GS_INUSE)
        return;
    int struck = 0;
    for (gentity_t *p = G_NextInUse(NULL); p; p = G_NextInUse(p)) {
        if (p->mainclass != MC_PLAYER)
            continue;
        if (Vec_DistSquared(p->ent->origin, e->origin) > ENEMYSHOT_RANGE2)
            continue;
        float at[3];
        Vec_MA(p->ent->origin, 40.0f, p->ent->dir, at);
        FX_HitEffect(p, at, 2.0f * shot->damage);
        SoundBackend_Play(at, vec3_origin, 0.0f, "sounds/expl_general.wav");
        if (!View_IsShaking(p))
            View_Shake(p, 0.5f, 60.0f);
        if (!struck) {
            struck = 1;
            if (e->touch)
                e->touch(e, p->ent);
        }
    }
}

/* ---- homing capsule ---- */

static void M_CapsuleBurst(gentity_t *cap)
{
    if (!cap || cap->state != GS_INUSE)
        return;
    entity_t *e = cap->ent;
    SoundBackend_Play(e->origin, vec3_origin, 0.0f, "sounds/shot3b.wav");
    for (int i = 0; i < 6; i++) {
        float d[3], start[3];
        Vec_RandomDir(d);
        Vec_MA(e->origin, 10.0f, d, start);
        gentity_t *shot = FireMissile(SUB_MISSILE_HOMINGSHOT, start, d, cap->owner);
        if (shot) {
            shot->ent->think = Missile_SeekThink;
            shot->ent->nextthink = 0.0f;
        }
    }
    G_Remove(cap);
}

void Missile_CapsuleBurstThink(entity_t *e)
{
    M_CapsuleBurst(G_GentityOf(e));
}

void Missile_CapsuleBurstTouch(entity_t *self, entity_t *other)
{
    (void)other;
    M_CapsuleBurst(G_GentityOf(self));
}

/* ---- homing shots ---- */

/* The lock is dropped when its gentity is gone or its slot was reused. */
static void M_ValidateLock(void)
{
    if (m_lock && (m_lock->state != GS_INUSE || m_locktime <= m_lock->spawntime))
        Missile_ClearHomingLock();
}

static void M_Consider(gentity_t *c, const float *from, gentity_t **best, float *bestd)
{
    if (c == m_lock || c->mainclass != MC_TARGET)
        return;
    float d = Vec_DistSquared(c->ent->origin, from);
    if (!*best || d < *bestd) {
        *best = c;
        *bestd = d;
    }
}

/* Nearest target (MC_TARGET), walking the pool round from just after
 * the lock's gentity and leaving the lock's gentity out. */
static gentity_t *M_FindTarget(const float *from)
{
    gentity_t *best = NULL;
    float bestd = 0.0f;
    if (m_lock) {
        for (gentity_t *c = G_NextInUse(m_lock); c; c = G_NextInUse(c))
            M_Consider(c, from, &best, &bestd);
        for (gentity_t *c = G_NextInUse(NULL); c && c != m_lock; c = G_NextInUse(c))
            M_Consider(c, from, &best, &bestd);
    } else {
        for (gentity_t *c = G_NextInUse(NULL); c; c = G_NextInUse(c))
            M_Consider(c, from, &best, &bestd);
    }
    if (!best && m_lock && m_lock->mainclass == MC_TARGET)
        best = m_lock;
    return best;
}

static int M_Expired(gentity_t *g)
{
    if (g->spawntime + HOMING_LIFE < M_Now()) {
        g->ent->think = Missile_FadeThink;
        return 1;
    }
    return 0;
}

void Missile_SeekThink(entity_t *e)
{
    gentity_t *g = G_GentityOf(e);
    if (!g || g->state != GS_INUSE || M_Expired(g))
        return;
    M_ValidateLock();
    gentity_t *t = M_FindTarget(e->origin);
    if (t) {
        g->target = t;
        g->locktime = M_Now();
        m_lock = t;
        m_locktime = M_Now();
        e->think = Missile_SteerThink;
        e->nextthink = M_Now() + HOMING_STEP;
    } else {
        g->target = NULL;
        e->nextthink = M_Now() + HOMING_STEP;
    }
}

void Missile_SteerThink(entity_t *e)
{
    gentity_t *g = G_GentityOf(e);
    if (!g || g->state != GS_INUSE || M_Expired(g))
        return;
    gentity_t *t = g->target;
    if (!t || t->state != GS_INUSE || g->locktime <= t->spawntime) {
        g->target = NULL;
        e->think = Missile_SeekThink;
        return;
    }
    float d[3];
    Vec_Sub(t->ent->origin, e->origin, d);
    if (Vec_Length(d) == 0.0f)
        return;
    Vec_Normalize(d);
    int straight = 0;
    if (Vec_IsParallel(d, e->dir)) {
        float diff[3];
        Vec_Sub(e->dir, d, diff);
        if (Vec_Length(diff) == 0.0f) {
            straight = 1;
        } else {
            for (int i = 0; i < 3; i++)
                e->dir[i] += 0.01f;
            Vec_Normalize(e->dir);
        }
    }
    if (!straight) {
        float nd[3];
        Vec_MA(d, 3.0f, e->dir, nd);
        Vec_Normalize(nd);
        Vec_Copy(nd, e->dir);
        Ent_OrientMissile(e);
    }
    e->nextthink += HOMING_STEP;
}

void Missile_FadeThink(entity_t *e)
{
    gentity_t *g = G_GentityOf(e);
    if (!g || g->state != GS_INUSE)
        return;
    float v = e->color[0] - M_FrameTime();
    if (v < 0.0f)
        v = 0.0f;
    e->color[0] = e->color[1] = e->color[2] = v;
    if (v > 0.0f)
        return;
    if (g->target && g->target == m_lock)
        Missile_ClearHomingLock();
    G_Remove(g);
}
