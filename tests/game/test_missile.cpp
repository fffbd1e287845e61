/*
 * Missiles on the real entity store: launch values, enemy plasma striking
 * near the player, the homing capsule and the spread of homing shots over
 * targets with the module-wide lock, lost and reused targets, fading, and
 * deflection off debris.
 */
#include <gtest/gtest.h>

#include "world_fixture.h"

namespace {

class Missile : public ::testing::Test {
protected:
    void SetUp() override { world::Reset(); }
    void TearDown() override { world::Reset(); }
    const float zero[3] = {0, 0, 0};
    const float fwd[3] = {0, 0, -1};
};

TEST_F(Missile, LaunchValuesOfTheFourClasses)
{
    gentity_t *p = world::Player();
    struct { int sub; float speed, scale, damage; } rows[] = {
        {37, 300, 0.25f, 0.55f}, {38, 500, 0.25f, 2}, {39, 400, 0.5f, 0}, {40, 120, 0.5f, 5}};
    for (auto &r : rows) {
        gentity_t *m = FireMissile(r.sub, zero, fwd, p);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->mainclass, MC_MISSILE);
        EXPECT_FLOAT_EQ(m->ent->speed, r.speed);
        EXPECT_FLOAT_EQ(m->ent->u.mdl.scale, r.scale);
        EXPECT_FLOAT_EQ(m->damage, r.damage);
        EXPECT_EQ(m->ent->u.mdl.collmode, CM_SWEPT);
        EXPECT_EQ(m->owner, p);
        EXPECT_EQ(m->ent->touch, Missile_Touch);
    }
}

TEST_F(Missile, StraightUpIsNudgedBeforeOrienting)
{
    const float up[3] = {0, 1, 0};
    gentity_t *m = FireMissile(37, zero, up, world::Player());
    ASSERT_NE(m, nullptr);
    EXPECT_NEAR(m->ent->dir[0], 0.1f / sqrtf(1.01f), 1e-6);
    EXPECT_NEAR(m->ent->dir[1], 1.0f / sqrtf(1.01f), 1e-6);
}

TEST_F(Missile, FullPoolIsLoggedAndNothingFired)
{
    while (G_SpawnByClass(MC_TARGET, SUB_CHICKEN))
        ;
    world::log.clear();
    EXPECT_EQ(FireMissile(38, zero, fwd, nullptr), nullptr);
    EXPECT_TRUE(world::Logged("# FireMissile: could not spawn missile 'missile_glibber'\n"));
}

TEST_F(Missile, PlayerPlasmaFliesAtFullSpeedAndHitsThroughTheEngine)
{
    gentity_t *p = world::Player();
    gentity_t *c = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -100);
    FirePlasma(zero, fwd, p);
    gentity_t *shot = &g_entities[c - g_entities + 1];
    ASSERT_EQ(shot->mainclass, MC_MISSILE);
    EXPECT_FLOAT_EQ(shot->ent->speed, 300.0f);
    EXPECT_EQ(shot->ent->think, nullptr);
    world::Run(0.5f);
    EXPECT_NEAR(c->health, 1.45f, 1e-5);
    EXPECT_NE(shot->state, GS_INUSE); /* the shot went on touching */
    EXPECT_EQ(c->state, GS_INUSE);
}

TEST_F(Missile, EnemyPlasmaStrikesNearThePlayer)
{
    gentity_t *p = world::Player();
    gentity_t *racer = world::Place(MC_TARGET, SUB_RACER01, 0, 0, -200);
    const float start[3] = {0, 0, -100};
    const float back[3] = {0, 0, 1};
    FirePlasma(start, back, racer);
    gentity_t *shot = nullptr;
    for (gentity_t *g = G_NextInUse(NULL); g; g = G_NextInUse(g))
        if (g->mainclass == MC_MISSILE)
            shot = g;
    ASSERT_NE(shot, nullptr);
    EXPECT_FLOAT_EQ(shot->ent->speed, 105.0f);
    EXPECT_EQ(shot->ent->think, Missile_EnemyShotThink);
    /* 70 units to go at 105 per second: still in flight after 0.6 s */
    world::Run(0.6f);
    EXPECT_EQ(shot->state, GS_INUSE);
    EXPECT_FALSE(View_IsShaking(p));
    EXPECT_EQ(world::CountClass(MC_EFFECT), 0);
    world::Run(0.1f);
    EXPECT_NE(shot->state, GS_INUSE);
    EXPECT_TRUE(View_IsShaking(p));
    EXPECT_FLOAT_EQ(p->shakeduration, 0.5f);
    EXPECT_FLOAT_EQ(p->shakeamplitude, 60.0f);
    /* light blue burst of Nearest(2 * 0.55 * 16) = 18 around 40 units ahead */
    int n = 0;
    for (gentity_t *g = G_NextInUse(NULL); g; g = G_NextInUse(g)) {
        if (g->mainclass != MC_EFFECT)
            continue;
        n++;
        EXPECT_FLOAT_EQ(g->ent->color[0], 0.75f);
        EXPECT_FLOAT_EQ(g->ent->color[1], 0.94f);
    }
    EXPECT_EQ(n, 18);
    EXPECT_EQ(p->score, 0);
}

/* One homing shot that seeks at once from pos. */
static gentity_t *Seeker(const float *pos, gentity_t *owner)
{
    const float d[3] = {0, 1, 0};
    gentity_t *s = FireMissile(SUB_MISSILE_HOMINGSHOT, pos, d, owner);
    if (s) {
        s->ent->think = Missile_SeekThink;
        Missile_SeekThink(s->ent);
    }
    return s;
}

TEST_F(Missile, HomingShotsSpreadOverTwoTargets)
{
    gentity_t *p = world::Player();
    gentity_t *a = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -100);
    gentity_t *b = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -300);
    world::Frame(0.02f); /* a lock must be younger than its target */
    gentity_t *s1 = Seeker(zero, p), *s2 = Seeker(zero, p), *s3 = Seeker(zero, p);
    EXPECT_EQ(s1->target, a);
    EXPECT_EQ(s2->target, b);
    EXPECT_EQ(s3->target, a);
    EXPECT_EQ(Missile_HomingLock(nullptr), a);
    EXPECT_EQ(s1->ent->think, Missile_SteerThink);
    EXPECT_FLOAT_EQ(s1->ent->nextthink, eng_gametime + 0.1f);
}

TEST_F(Missile, CapsuleBurstsIntoSixShotsOnASingleTarget)
{
    gentity_t *p = world::Player();
    gentity_t *c = world::Place(MC_TARGET, SUB_CHICKEN, 300, 0, -300);
    FireHomingCapsule(zero, fwd, p);
    world::Run(0.58f);
    EXPECT_EQ(world::CountClass(MC_MISSILE, SUB_MISSILE_HOMINGCAPSULE), 1);
    world::Run(0.04f);
    EXPECT_EQ(world::CountClass(MC_MISSILE, SUB_MISSILE_HOMINGCAPSULE), 0);
    int n = 0;
    for (gentity_t *g = G_NextInUse(NULL); g; g = G_NextInUse(g)) {
        if (g->subclass != SUB_MISSILE_HOMINGSHOT)
            continue;
        n++;
        EXPECT_EQ(g->target, c);
        EXPECT_EQ(g->owner, p);
    }
    EXPECT_EQ(n, 6);
}

TEST_F(Missile, CapsuleTouchingATargetBurstsWithoutDamage)
{
    gentity_t *p = world::Player();
    gentity_t *c = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -30);
    FireHomingCapsule(zero, fwd, p);
    gentity_t *cap = &g_entities[c - g_entities + 1];
    ASSERT_EQ(cap->subclass, SUB_MISSILE_HOMINGCAPSULE);
    world::Touch(c, cap);
    EXPECT_FLOAT_EQ(c->health, 2.0f);
    EXPECT_EQ(cap->state, GS_REMOVED);
    EXPECT_EQ(world::CountClass(MC_MISSILE, SUB_MISSILE_HOMINGSHOT), 6);
    /* a second touch in the same frame makes no second burst */
    Missile_CapsuleBurstTouch(cap->ent, c->ent);
    EXPECT_EQ(world::CountClass(MC_MISSILE, SUB_MISSILE_HOMINGSHOT), 6);
}

TEST_F(Missile, WithoutTargetsShotsFlyStraightThenFadeAway)
{
    gentity_t *p = world::Player();
    gentity_t *s = Seeker(zero, p);
    EXPECT_EQ(s->target, nullptr);
    EXPECT_FLOAT_EQ(s->ent->nextthink, 0.1f);
    world::Run(4.9f);
    EXPECT_EQ(s->ent->think, Missile_SeekThink);
    EXPECT_EQ(s->state, GS_INUSE);
    world::Run(0.5f);
    EXPECT_EQ(s->ent->think, Missile_FadeThink);
    EXPECT_LT(s->ent->color[0], 1.0f);
    world::Run(1.0f);
    EXPECT_NE(s->state, GS_INUSE);
}

TEST_F(Missile, SteersAQuarterOfTheWayEveryTenthOfASecond)
{
    gentity_t *p = world::Player();
    gentity_t *c = world::Place(MC_TARGET, SUB_CHICKEN, 100, 0, 0);
    eng_gametime = 1.0f;
    gentity_t *s = Seeker(zero, p);
    ASSERT_EQ(s->target, c);
    /* first steering step 0.1 s later: d + 3 direction, normalised */
    eng_lastgametime = eng_gametime;
    eng_gametime = 1.1f;
    s->ent->origin[0] = s->ent->origin[1] = s->ent->origin[2] = 0.0f;
    float want[3];
    const float x[3] = {1, 0, 0};
    Vec_MA(x, 3.0f, s->ent->dir, want);
    Vec_Normalize(want);
    Missile_SteerThink(s->ent);
    EXPECT_NEAR(s->ent->dir[0], want[0], 1e-5);
    EXPECT_NEAR(s->ent->dir[1], want[1], 1e-5);
    EXPECT_NEAR(s->ent->dir[2], 0.0f, 1e-5);
    EXPECT_FLOAT_EQ(s->ent->nextthink, 1.2f);
}

TEST_F(Missile, ATargetWhoseSlotIsReusedInTheSameFrameIsNotFollowed)
{
    gentity_t *p = world::Player();
    world::Run(1.0f);
    gentity_t *c = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -200);
    world::Run(0.5f);
    gentity_t *s = Seeker(zero, p);
    ASSERT_EQ(s->target, c);
    world::Run(0.02f);
    /* the target dies, the sweep frees its slot and a new gentity takes it
     * within one frame */
    G_Remove(c);
    G_Sweep();
    gentity_t *n = G_SpawnByClass(MC_TARGET, SUB_CHICKEN);
    ASSERT_EQ(n, c);
    Vec_Set(n->ent->origin, 0, 0, 200);
    s->ent->nextthink = eng_gametime;
    Missile_SteerThink(s->ent);
    EXPECT_EQ(s->target, nullptr);
    EXPECT_EQ(s->ent->think, Missile_SeekThink);
    /* the lock names the same slot: it is no longer valid either, and the
     * new gentity is found as a fresh target */
    Missile_SeekThink(s->ent);
    float t = 0;
    EXPECT_EQ(Missile_HomingLock(&t), n);
    EXPECT_FLOAT_EQ(t, eng_gametime);
    EXPECT_EQ(s->target, n);
}

TEST_F(Missile, AStaleLockIsDroppedBeforeTheWalk)
{
    gentity_t *p = world::Player();
    gentity_t *a = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -100);
    world::Run(0.1f);
    gentity_t *s1 = Seeker(zero, p);
    ASSERT_EQ(s1->target, a);
    G_Remove(a);
    world::Frame(0.02f);
    world::Frame(0.02f); /* swept: the slot is free */
    gentity_t *b = world::Place(MC_TARGET, SUB_SUPERCHICKEN, 0, 0, -50);
    ASSERT_EQ(b, a); /* same slot */
    world::Frame(0.02f);
    /* lock time is not later than the newcomer's spawn: the lock is clear,
     * so the lock's slot is not excluded and b is taken */
    gentity_t *s2 = Seeker(zero, p);
    EXPECT_EQ(s2->target, b);
}

TEST_F(Missile, FadingShotReleasesTheLockOfItsTarget)
{
    gentity_t *p = world::Player();
    gentity_t *c = world::Place(MC_TARGET, SUB_CHICKEN, 0, 600, 0, 0, 1, 0, 0);
    (void)c;
    gentity_t *s = Seeker(zero, p);
    ASSERT_NE(Missile_HomingLock(nullptr), nullptr);
    s->ent->think = Missile_FadeThink;
    s->ent->nextthink = 0.0f;
    s->ent->color[0] = 0.01f;
    world::Frame(0.02f);
    EXPECT_EQ(Missile_HomingLock(nullptr), nullptr);
    EXPECT_NE(s->state, GS_INUSE);
}

TEST_F(Missile, DebrisTurnsMissilesAsideAndTakesNoDamage)
{
    gentity_t *p = world::Player();
    const float at[3] = {50, 0, -200};
    FX_Debris(at, 1, 0, 0, SUB_DEBRIS_RACER);
    gentity_t *d = nullptr;
    for (gentity_t *g = G_NextInUse(NULL); g; g = G_NextInUse(g))
        if (g->mainclass == MC_DEBRIS)
            d = g;
    ASSERT_NE(d, nullptr);
    const float hp = d->health;
    world::Frame(0.02f);
    gentity_t *m = FireMissile(SUB_MISSILE_GLIBBER, zero, fwd, p);
    Vec_Copy(at, d->ent->origin);
    float before[3];
    Vec_Copy(m->ent->dir, before);
    float pos[3];
    Vec_Copy(m->ent->origin, pos);
    world::Touch(m, d);
    EXPECT_EQ(m->state, GS_INUSE);
    EXPECT_GT(Vec_DistSquared(before, m->ent->dir), 1e-6f);
    EXPECT_NEAR(Vec_Length(m->ent->dir), 1.0f, 1e-5);
    /* ten frames' worth of motion away from where it touched */
    EXPECT_NEAR(sqrtf(Vec_DistSquared(pos, m->ent->origin)), 0.02f * 500 * 10, 1e-2);
    EXPECT_FLOAT_EQ(d->health, hp);
    /* the hit shows grey (Nearest(2 * 16) = 32 particles) */
    EXPECT_EQ(world::CountClass(MC_EFFECT), 32);
}

} // namespace
