/* Game behaviours on the real entity store: damage with credit, missiles and homing locks. */
#include <gtest/gtest.h>

#include "world_fixture.h"

namespace {

class World : public ::testing::Test {
protected:
    void SetUp() override { world::Reset(); }
    void TearDown() override { world::Reset(); }
    const float zero[3] = {0, 0, 0};
    const float fwd[3] = {0, 0, -1};

    gentity_t *Shot(int sub, gentity_t *owner, float x = 0, float y = 0, float z = -10)
    {
        const float at[3] = {x, y, z};
        return FireMissile(sub, at, fwd, owner);
    }
};

/* One homing shot that seeks at once from pos. */
gentity_t *Seeker(const float *pos, gentity_t *owner)
{
    const float d[3] = {0, 1, 0};
    gentity_t *s = FireMissile(SUB_MISSILE_HOMINGSHOT, pos, d, owner);
    if (s) {
        s->ent->think = Missile_SeekThink;
        Missile_SeekThink(s->ent);
    }
    return s;
}

TEST_F(World, PlasmaTakesFourHitsGlibberOneAndThePlayerIsCredited)
{
    const struct { int missile, hits; } cases[] = {
        {SUB_MISSILE_PLASMA, 4}, {SUB_MISSILE_GLIBBER, 1}, {SUB_MISSILE_HOMINGSHOT, 1}};
    for (auto &c : cases) {
        world::Reset();
        gentity_t *p = world::Player();
        gentity_t *ch = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -100);
        int hits = 0;
        while (ch->state == GS_INUSE && hits < 10) {
            gentity_t *m = Shot(c.missile, p);
            hits++;
            int r = G_Damage(ch, m, Chicken_Hit, Chicken_Die);
            EXPECT_EQ(r, ch->state == GS_INUSE ? DMG_HIT : DMG_KILLED);
            EXPECT_EQ(p->score, ch->state == GS_INUSE ? 0 : 25);
            G_Remove(m);
        }
        EXPECT_EQ(hits, c.hits) << c.missile;
        EXPECT_EQ(p->score, 25);
        EXPECT_EQ(p->streak, 1);
        EXPECT_GE(harness::InUse(MC_EFFECT).size(), 25u) << "death feathers";
    }
    /* the capsule deals nothing: no hit, no burst */
    gentity_t *b = world::Place(MC_TARGET, SUB_BALLON, 0, 0, -100);
    size_t fx = harness::InUse(MC_EFFECT).size();
    float hp = b->health;
    EXPECT_EQ(G_Damage(b, Shot(SUB_MISSILE_HOMINGCAPSULE, world::Player(), 0, 40, -100), Chicken_Hit,
                       Chicken_Die),
              DMG_NONE);
    EXPECT_FLOAT_EQ(b->health, hp);
    EXPECT_EQ(harness::InUse(MC_EFFECT).size(), fx);
}

TEST_F(World, AnOwnerSlotHoldingANewerGentityGetsNoCredit)
{
    world::Frame(0.1f);
    gentity_t *p = world::Player();
    gentity_t *c = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -100);
    gentity_t *m = Shot(SUB_MISSILE_GLIBBER, p);
    EXPECT_EQ(G_Killer(m), p);
    /* the shooter goes, its slot takes a newer player */
    G_Remove(p);
    world::Frame(0.1f);
    G_Sweep();
    gentity_t *np = world::Player();
    ASSERT_EQ(np, p);
    EXPECT_EQ(G_Killer(m), m);
    EXPECT_EQ(G_Damage(c, m, Chicken_Hit, Chicken_Die), DMG_KILLED);
    EXPECT_EQ(np->score, 0);
}

TEST_F(World, HomingShotsSpreadOverTwoTargetsAndTheCapsuleBurstsOnce)
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
    world::Reset();
    p = world::Player();
    gentity_t *c = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -30);
    FireHomingCapsule(zero, fwd, p);
    gentity_t *cap = harness::InUse(MC_MISSILE, SUB_MISSILE_HOMINGCAPSULE)[0];
    float hp = c->health;
    world::Touch(c, cap);
    EXPECT_FLOAT_EQ(c->health, hp);
    EXPECT_EQ(cap->state, GS_REMOVED);
    EXPECT_EQ(harness::Count(MC_MISSILE, SUB_MISSILE_HOMINGSHOT), 6);
    /* a second touch in the same frame makes no second burst */
    Missile_CapsuleBurstTouch(cap->ent, c->ent);
    EXPECT_EQ(harness::Count(MC_MISSILE, SUB_MISSILE_HOMINGSHOT), 6);
    for (gentity_t *g : harness::InUse(MC_MISSILE, SUB_MISSILE_HOMINGSHOT))
        EXPECT_EQ(g->owner, p);
}

TEST_F(World, AFadingShotReleasesTheLock)
{
    gentity_t *p = world::Player();
    world::Place(MC_TARGET, SUB_CHICKEN, 0, 600, 0, 0, 1, 0, 0);
    gentity_t *s = Seeker(zero, p);
    ASSERT_NE(Missile_HomingLock(nullptr), nullptr);
    s->ent->think = Missile_FadeThink;
    s->ent->nextthink = 0.0f;
    s->ent->color[0] = 0.01f;
    world::Frame(0.02f);
    EXPECT_EQ(Missile_HomingLock(nullptr), nullptr);
    EXPECT_NE(s->state, GS_INUSE);
}

TEST_F(World, ATargetWhoseSlotIsReusedInTheSameFrameIsNotFollowed)
{
    gentity_t *p = world::Player();
    world::Run(1.0f);
    gentity_t *c = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -200);
    world::Run(0.5f);
    gentity_t *s = Seeker(zero, p);
    ASSERT_EQ(s->target, c);
    world::Run(0.02f);
    /* the target dies and a new gentity takes its slot within one frame */
    G_Remove(c);
    G_Sweep();
    gentity_t *n = G_SpawnByClass(MC_TARGET, SUB_CHICKEN);
    ASSERT_EQ(n, c);
    Vec_Set(n->ent->origin, 0, 0, 200);
    s->ent->nextthink = eng_gametime;
    Missile_SteerThink(s->ent);
    EXPECT_EQ(s->target, nullptr);
    EXPECT_EQ(s->ent->think, Missile_SeekThink);
    /* the lock's slot is stale too: the new gentity is found as a fresh target */
    Missile_SeekThink(s->ent);
    float t = 0;
    EXPECT_EQ(Missile_HomingLock(&t), n);
    EXPECT_FLOAT_EQ(t, eng_gametime);
    EXPECT_EQ(s->target, n);
}

TEST_F(World, AStaleLockIsDroppedBeforeTheWalk)
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
    /* the lock is older than the newcomer's spawn, so b is taken */
    EXPECT_EQ(Seeker(zero, p)->target, b);
}

} // namespace
