/*
 * The game's behaviours on the real entity store, collision and sound
 * system (world_fixture.h): the damage rule with kill credit, missiles
 * with the homing lock over targets whose slots are reused, and the
 * targets' own behaviours (bombs, racers, full pools).
 */
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

std::vector<gentity_t *> OfClass(int mc, int sub = -1)
{
    std::vector<gentity_t *> v;
    for (gentity_t *g = G_NextInUse(NULL); g; g = G_NextInUse(g))
        if (g->mainclass == mc && (sub < 0 || g->subclass == sub))
            v.push_back(g);
    return v;
}

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
            G_Remove(m);
            if (ch->state == GS_INUSE) {
                EXPECT_EQ(p->score, 0);
            }
        }
        EXPECT_EQ(hits, c.hits) << c.missile;
        EXPECT_EQ(p->score, 25);
        EXPECT_EQ(p->streak, 1);
        EXPECT_GE(OfClass(MC_EFFECT).size(), 25u) << "death feathers";
    }
    /* the capsule deals nothing: no hit, no burst */
    gentity_t *b = world::Place(MC_TARGET, SUB_BALLON, 0, 0, -100);
    size_t fx = OfClass(MC_EFFECT).size();
    float hp = b->health;
    EXPECT_EQ(G_Damage(b, Shot(SUB_MISSILE_HOMINGCAPSULE, world::Player(), 0, 40, -100), Chicken_Hit,
                       Chicken_Die),
              DMG_NONE);
    EXPECT_FLOAT_EQ(b->health, hp);
    EXPECT_EQ(OfClass(MC_EFFECT).size(), fx);
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

TEST_F(World, FullPoolFiresNothingAndIsLogged)
{
    while (G_SpawnByClass(MC_TARGET, SUB_CHICKEN))
        ;
    harness::log.clear();
    EXPECT_EQ(FireMissile(SUB_MISSILE_GLIBBER, zero, fwd, nullptr), nullptr);
    EXPECT_TRUE(harness::Logged("# FireMissile: could not spawn missile 'missile_glibber'\n"));
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
    gentity_t *cap = OfClass(MC_MISSILE, SUB_MISSILE_HOMINGCAPSULE)[0];
    float hp = c->health;
    world::Touch(c, cap);
    EXPECT_FLOAT_EQ(c->health, hp);
    EXPECT_EQ(cap->state, GS_REMOVED);
    EXPECT_EQ(world::CountClass(MC_MISSILE, SUB_MISSILE_HOMINGSHOT), 6);
    /* a second touch in the same frame makes no second burst */
    Missile_CapsuleBurstTouch(cap->ent, c->ent);
    EXPECT_EQ(world::CountClass(MC_MISSILE, SUB_MISSILE_HOMINGSHOT), 6);
    for (gentity_t *g : OfClass(MC_MISSILE, SUB_MISSILE_HOMINGSHOT))
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
    /* lock time is not later than the newcomer's spawn: the lock is clear,
     * so the lock's slot is not excluded and b is taken */
    EXPECT_EQ(Seeker(zero, p)->target, b);
}

TEST_F(World, DebrisTurnsMissilesAsideAndTakesNoDamage)
{
    gentity_t *p = world::Player();
    const float at[3] = {50, 0, -200};
    FX_Debris(at, 1, 0, 0, SUB_DEBRIS_RACER);
    gentity_t *d = OfClass(MC_DEBRIS)[0];
    const float hp = d->health;
    world::Frame(0.02f);
    gentity_t *m = FireMissile(SUB_MISSILE_GLIBBER, zero, fwd, p);
    Vec_Copy(at, d->ent->origin);
    float before[3];
    Vec_Copy(m->ent->dir, before);
    world::Touch(m, d);
    EXPECT_EQ(m->state, GS_INUSE);
    EXPECT_GT(Vec_DistSquared(before, m->ent->dir), 1e-6f);
    EXPECT_NEAR(Vec_Length(m->ent->dir), 1.0f, 1e-5);
    EXPECT_FLOAT_EQ(d->health, hp);
    EXPECT_FALSE(OfClass(MC_EFFECT).empty());
    world::Run(4.8f, 0.1f); /* debris fades from four seconds on */
    EXPECT_EQ(world::CountClass(MC_DEBRIS), 0);
}

TEST_F(World, TheEngineSoundGoesWithTheShipDestroyedOrGone)
{
    gentity_t *s = world::Place(MC_TARGET, SUB_ENEMYSHIP, 0, 100, -500);
    gentity_t *gone = world::Place(MC_TARGET, SUB_ENEMYSHIP, 0, 0, -680, 0, 0, -1, 100);
    gentity_t *snd[2] = {s->enginesound, gone->enginesound};
    ASSERT_NE(snd[0], nullptr);
    ASSERT_NE(snd[1], nullptr);
    Target_ShipDie(s);
    EXPECT_EQ(OfClass(MC_TARGET, SUB_BOMBE).size(), 4u);
    EXPECT_EQ(snd[0]->state, GS_INUSE);
    world::Run(0.5f);
    EXPECT_NE(gone->state, GS_INUSE);
    EXPECT_NE(snd[0]->state, GS_INUSE);
    EXPECT_NE(snd[1]->state, GS_INUSE);
}

TEST_F(World, FullPoolLeavesNoBombsAndNoHatchlingsAndLogsOnce)
{
    world::Player();
    gentity_t *s = world::Place(MC_TARGET, SUB_ENEMYSHIP, 0, 100, -500);
    gentity_t *egg = world::Place(MC_TARGET, SUB_EGG, 0, 0, -200);
    g_particlefactor = 0.0f;
    while (G_SpawnByClass(MC_SCENERY, SUB_P01))
        ;
    harness::log.clear();
    Target_ShipDie(s);
    EXPECT_TRUE(harness::Logged("# enemyship.OnDie: could not spawn bombchicken 'bombe'\n"));
    EXPECT_EQ(s->state, GS_REMOVED);
    harness::log.clear();
    Chicken_EggHatch(egg);
    EXPECT_TRUE(harness::Logged("e_egg: OnDie: could not spawn chicken 'chicken'\n"));
    EXPECT_EQ(harness::log.find("e_egg"), harness::log.rfind("e_egg"));
    EXPECT_EQ(egg->state, GS_REMOVED);
}

TEST_F(World, AttackingRacerFiresTwoShotsOnlyAtAPlayerAhead)
{
    gentity_t *p = world::Player();
    world::Frame(0.02f);
    gentity_t *r = world::Place(MC_TARGET, SUB_RACER02, 40, 0, -600, 0, 0, 1, 60);
    float dir0[3];
    Vec_Copy(r->ent->dir, dir0);
    std::vector<float> shots;
    for (int i = 0; i < 500 && r->state == GS_INUSE && r->ent->think; i++) {
        world::Frame(0.02f);
        while ((int)shots.size() < 2 - r->shotsleft)
            shots.push_back(eng_gametime);
    }
    ASSERT_EQ(shots.size(), 2u);
    EXPECT_GE(shots[1] - shots[0], 0.4f - 1e-4f);
    EXPECT_EQ(r->target, nullptr);
    /* only the model turned: the flight is unchanged */
    EXPECT_FLOAT_EQ(r->ent->dir[2], dir0[2]);
    EXPECT_FLOAT_EQ(r->ent->speed, 60.0f);
    /* with the player behind it scans on; losing its target it scans again */
    gentity_t *behind = world::Place(MC_TARGET, SUB_RACER02, 0, 0, -100, 0, 0, -1, 30);
    gentity_t *ahead = world::Place(MC_TARGET, SUB_RACER02, 0, 0, -600, 0, 0, 1, 0);
    world::Run(0.4f);
    ASSERT_EQ(ahead->ent->think, Target_RacerApproach);
    EXPECT_EQ(behind->ent->think, Target_RacerScan);
    G_Remove(p);
    world::Frame(0.02f);
    EXPECT_EQ(ahead->ent->think, Target_RacerScan);
    EXPECT_FLOAT_EQ(ahead->ent->nextthink, eng_gametime + 0.3f);
    EXPECT_EQ(behind->shotsleft, 2);
}

} // namespace
