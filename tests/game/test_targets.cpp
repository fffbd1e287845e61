/*
 * Target behaviours on the real entity store: the enemy ship's bombs and
 * engine sound, the attacking racer's two shots and its blind spot, the
 * bomb chicken next to the player, the mother's eggs, hatching, egg and
 * balloon spin, the rocket's exhaust and collisions, space objects.
 */
#include <gtest/gtest.h>

#include "world_fixture.h"

namespace {

class Targets : public ::testing::Test {
protected:
    void SetUp() override { world::Reset(); }
    void TearDown() override { world::Reset(); }
    const float zero[3] = {0, 0, 0};
    const float fwd[3] = {0, 0, -1};
};

std::vector<gentity_t *> OfClass(int mc, int sub)
{
    std::vector<gentity_t *> v;
    for (gentity_t *g = G_NextInUse(NULL); g; g = G_NextInUse(g))
        if (g->mainclass == mc && g->subclass == sub)
            v.push_back(g);
    return v;
}

TEST_F(Targets, EnemyShipDropsFourBombsAtTheFourOffsets)
{
    world::Player();
    gentity_t *s = world::Place(MC_TARGET, SUB_ENEMYSHIP, 0, 100, -500);
    ASSERT_NE(s->enginesound, nullptr);
    gentity_t *snd = s->enginesound;
    EXPECT_EQ(snd->mainclass, MC_SOUND);
    gentity_t *m = FireMissile(SUB_MISSILE_GLIBBER, zero, fwd, nullptr);
    m->damage = 20.0f;
    world::Touch(m, s);
    EXPECT_EQ(s->state, GS_REMOVED);
    auto bombs = OfClass(MC_TARGET, SUB_BOMBE);
    ASSERT_EQ(bombs.size(), 4u);
    const float want[4][3] = {{110, 100, -390}, {-110, 100, -390}, {-110, 100, -610},
                              {110, 100, -610}};
    for (int i = 0; i < 4; i++) {
        entity_t *b = bombs[i]->ent;
        EXPECT_FLOAT_EQ(b->origin[0], want[i][0]);
        EXPECT_FLOAT_EQ(b->origin[1], want[i][1]);
        EXPECT_FLOAT_EQ(b->origin[2], want[i][2]);
        EXPECT_FLOAT_EQ(b->speed, 30.0f);
        float to[3];
        Vec_Scale(b->origin, -1.0f, to);
        Vec_Normalize(to);
        EXPECT_NEAR(Vec_Dot(to, b->dir), 1.0f, 1e-5);
        EXPECT_FLOAT_EQ(bombs[i]->health, 2.0f);
        EXPECT_EQ(b->think, Chicken_BombThink);
    }
    /* two bursts, cut short by nothing here: 50 + 240 */
    EXPECT_EQ(world::CountClass(MC_EFFECT), 290);
    /* the engine sound goes with the ship's engine entity */
    EXPECT_EQ(snd->state, GS_INUSE);
    world::Frame(0.02f);
    EXPECT_NE(snd->state, GS_INUSE);
}

TEST_F(Targets, ShipLeavingTheWorldTakesItsSoundAlong)
{
    gentity_t *s = world::Place(MC_TARGET, SUB_ENEMYSHIP, 0, 0, -680, 0, 0, -1, 100);
    gentity_t *snd = s->enginesound;
    ASSERT_NE(snd, nullptr);
    world::Run(0.5f);
    EXPECT_NE(s->state, GS_INUSE);
    EXPECT_NE(snd->state, GS_INUSE);
}

TEST_F(Targets, NoBombsWhenThePoolIsFull)
{
    world::Player();
    gentity_t *s = world::Place(MC_TARGET, SUB_ENEMYSHIP, 0, 100, -500);
    g_particlefactor = 0.0f;
    while (G_SpawnByClass(MC_SCENERY, SUB_P01))
        ;
    world::log.clear();
    Target_ShipDie(s);
    EXPECT_TRUE(world::Logged("# enemyship.OnDie: could not spawn bombchicken 'bombe'\n"));
    EXPECT_EQ(s->state, GS_REMOVED);
}

/* A racer02 flying past the player at (0, 0, 0) from far ahead. */
static gentity_t *Racer2(float x, float z, float dz, float speed)
{
    return world::Place(MC_TARGET, SUB_RACER02, x, 0, z, 0, 0, dz, speed);
}

TEST_F(Targets, AttackingRacerFiresExactlyTwoShotsAndTurnsBack)
{
    gentity_t *p = world::Player();
    world::Frame(0.02f);
    gentity_t *r = Racer2(40, -600, 1, 60);
    float dir0[3];
    Vec_Copy(r->ent->dir, dir0);
    std::vector<float> shots;
    int seen = 0;
    for (int i = 0; i < 500; i++) {
        world::Frame(0.02f);
        int n = 0;
        for (gentity_t *g = G_NextInUse(NULL); g; g = G_NextInUse(g))
            if (g->mainclass == MC_MISSILE && g->owner == r)
                n++;
        /* count launches by watching the shots-left counter */
        while (seen < 2 - r->shotsleft) {
            shots.push_back(eng_gametime);
            seen++;
        }
        if (r->state != GS_INUSE || r->ent->think == nullptr)
            break;
        (void)n;
    }
    ASSERT_EQ(shots.size(), 2u);
    EXPECT_GE(shots[1] - shots[0], 0.4f - 1e-4f);
    EXPECT_EQ(r->shotsleft, 0);
    EXPECT_EQ(r->ent->think, nullptr);
    EXPECT_EQ(r->target, nullptr);
    /* only the model turned: the flight is unchanged */
    EXPECT_FLOAT_EQ(r->ent->dir[0], dir0[0]);
    EXPECT_FLOAT_EQ(r->ent->dir[2], dir0[2]);
    EXPECT_FLOAT_EQ(r->ent->speed, 60.0f);
    EXPECT_EQ(r->muzzle, 0);
    (void)p;
}

TEST_F(Targets, RacerShotsAreSlowEnemyPlasma)
{
    world::Player();
    world::Frame(0.02f);
    gentity_t *r = Racer2(20, -250, 1, 0);
    world::Run(1.0f);
    int n = 0;
    for (gentity_t *g = G_NextInUse(NULL); g; g = G_NextInUse(g)) {
        if (g->mainclass == MC_MISSILE && g->owner == r) {
            n++;
            EXPECT_FLOAT_EQ(g->ent->speed, 105.0f);
            EXPECT_EQ(g->ent->think, Missile_EnemyShotThink);
        }
    }
    EXPECT_GE(n, 1);
    EXPECT_EQ(r->shotsleft, 0);
}

TEST_F(Targets, RacerWithThePlayerBehindKeepsScanning)
{
    world::Player();
    gentity_t *r = Racer2(0, -100, -1, 30);
    world::Run(0.3f);
    float next = r->ent->nextthink;
    EXPECT_EQ(r->ent->think, Target_RacerScan);
    world::Run(2.0f);
    EXPECT_EQ(r->ent->think, Target_RacerScan);
    EXPECT_FLOAT_EQ(r->ent->nextthink, next + 4 * 0.5f);
    EXPECT_EQ(r->shotsleft, 2);
}

TEST_F(Targets, RacerThatLosesItsTargetScansAgain)
{
    gentity_t *p = world::Player();
    world::Frame(0.02f);
    gentity_t *r = Racer2(0, -600, 1, 0);
    world::Run(0.4f);
    ASSERT_EQ(r->ent->think, Target_RacerApproach);
    G_Remove(p);
    world::Frame(0.02f);
    EXPECT_EQ(r->ent->think, Target_RacerScan);
    EXPECT_FLOAT_EQ(r->ent->nextthink, eng_gametime + 0.3f);
}

TEST_F(Targets, BombNextToThePlayerExplodesAndShakesTheView)
{
    gentity_t *p = world::Player();
    gentity_t *b = world::Place(MC_TARGET, SUB_BOMBE, 0, 0, -40, 0, 0, 1, 30);
    world::Run(0.2f);
    EXPECT_EQ(b->state, GS_INUSE);
    world::Run(0.2f);
    EXPECT_NE(b->state, GS_INUSE);
    EXPECT_TRUE(View_IsShaking(p));
    EXPECT_FLOAT_EQ(p->shakeduration, 1.5f);
    EXPECT_FLOAT_EQ(p->shakeamplitude, 150.0f);
    EXPECT_EQ(p->score, 0);
    EXPECT_EQ(world::CountClass(MC_EFFECT), 25);
}

TEST_F(Targets, MotherLaysAnEggEveryEightSeconds)
{
    gentity_t *m = world::Place(MC_TARGET, SUB_MOTHERCHICKEN, 0, 0, -300, 1, 0, 0, 0);
    EXPECT_FLOAT_EQ(m->ent->u.mdl.scale, 5.0f);
    world::Run(7.9f, 0.1f);
    EXPECT_TRUE(OfClass(MC_TARGET, SUB_EGG).empty());
    while (OfClass(MC_TARGET, SUB_EGG).empty() && eng_gametime < 8.2f)
        world::Frame(0.02f);
    EXPECT_NEAR(eng_gametime, 8.0f, 0.021f);
    auto eggs = OfClass(MC_TARGET, SUB_EGG);
    ASSERT_EQ(eggs.size(), 1u);
    entity_t *e = eggs[0]->ent;
    /* 60 behind, 20 below (up = direction x side) */
    EXPECT_NEAR(e->origin[0], -60.0f, 1e-3);
    EXPECT_NEAR(e->origin[1], -20.0f, 1e-3);
    EXPECT_NEAR(e->origin[2], -300.0f, 1e-3);
    EXPECT_FLOAT_EQ(e->dir[0], -1.0f);
    EXPECT_FLOAT_EQ(e->speed, 10.0f);
    EXPECT_FLOAT_EQ(eggs[0]->health, 12.0f);
    EXPECT_EQ(e->touch, Chicken_EggTouch);
    world::Run(8.0f, 0.1f);
    EXPECT_EQ(OfClass(MC_TARGET, SUB_EGG).size(), 2u);
}

TEST_F(Targets, EggSurvivesFiveGlibbersAndHatchesSixChickens)
{
    gentity_t *p = world::Player();
    gentity_t *egg = world::Place(MC_TARGET, SUB_EGG, 0, 0, -200, 1, 0, 0, 10);
    EXPECT_EQ(egg->ent->think, nullptr);
    for (int i = 0; i < 5; i++) {
        float speed = egg->ent->speed;
        const float at[3] = {0, 0, -150};
        gentity_t *m = FireMissile(SUB_MISSILE_GLIBBER, at, fwd, p);
        world::Touch(egg, m);
        EXPECT_EQ(egg->state, GS_INUSE);
        EXPECT_GT(egg->ent->speed, speed);
        EXPECT_EQ(egg->ent->think, Chicken_EggSpinDown);
        EXPECT_LE(fabsf(egg->ent->avelocity[0]), 250.0f);
        EXPECT_LE(fabsf(egg->ent->avelocity[1]), 250.0f);
    }
    int effects = world::CountClass(MC_EFFECT);
    const float at[3] = {0, 0, -150};
    world::Touch(egg, FireMissile(SUB_MISSILE_GLIBBER, at, fwd, p));
    EXPECT_EQ(egg->state, GS_REMOVED);
    auto chicks = OfClass(MC_TARGET, SUB_CHICKEN);
    ASSERT_EQ(chicks.size(), 6u);
    for (gentity_t *c : chicks) {
        EXPECT_NEAR(sqrtf(Vec_DistSquared(c->ent->origin, egg->ent->origin)), 30.0f, 1e-3);
        EXPECT_FLOAT_EQ(c->health, 2.0f);
        EXPECT_GE(c->ent->speed, 15.0f);
        EXPECT_LE(c->ent->speed, 25.0f);
        EXPECT_GE(c->ent->avelocity[0], 30.0f);
    }
    EXPECT_EQ(world::CountClass(MC_EFFECT) - effects, 70);
    EXPECT_EQ(p->score, 100);
}

TEST_F(Targets, HatchingIntoAFullPoolLogsOnce)
{
    gentity_t *egg = world::Place(MC_TARGET, SUB_EGG, 0, 0, -200);
    while (G_SpawnByClass(MC_SCENERY, SUB_P01 + 1))
        ;
    world::log.clear();
    Chicken_EggHatch(egg);
    EXPECT_TRUE(world::Logged("e_egg: OnDie: could not spawn chicken 'chicken'\n"));
    EXPECT_EQ(world::log.find("e_egg"), world::log.rfind("e_egg"));
    EXPECT_EQ(egg->state, GS_REMOVED);
}

TEST_F(Targets, EggSpinIsClampedAbove250AndDiesDown)
{
    /* egg straight ahead of the player, shot from the right so only the
     * y spin grows: ay = signed angle of the shot about y */
    gentity_t *egg = world::Place(MC_TARGET, SUB_EGG, 0, 0, -200);
    gentity_t *m = FireMissile(SUB_MISSILE_PLASMA, zero, fwd, nullptr);
    Vec_Set(m->ent->dir, 1, 0, -1);
    Vec_Normalize(m->ent->dir);
    /* 45 degrees: +- 50 * 45 = 2250 -> far above 250 -> 200 with sign */
    egg->ent->avelocity[1] = 240.0f;
    Chicken_EggTouch(egg->ent, m->ent);
    EXPECT_FLOAT_EQ(fabsf(egg->ent->avelocity[1]), 200.0f);
    /* a value of exactly 250 stays */
    gentity_t *m2 = FireMissile(SUB_MISSILE_PLASMA, zero, fwd, nullptr);
    Vec_Set(m2->ent->dir, 0, 0, -1);
    egg->ent->avelocity[1] = 250.0f;
    egg->ent->avelocity[0] = 0.0f;
    egg->ent->dir[0] = 0;
    Chicken_EggTouch(egg->ent, m2->ent);
    EXPECT_FLOAT_EQ(egg->ent->avelocity[1], 250.0f);
    /* spin dies away and the think removes itself */
    world::Run(30.0f, 0.1f);
    EXPECT_EQ(egg->ent->think, nullptr);
    EXPECT_FLOAT_EQ(egg->ent->avelocity[0], 0.0f);
    EXPECT_FLOAT_EQ(egg->ent->avelocity[1], 0.0f);
    EXPECT_FLOAT_EQ(egg->ent->avelocity[2], 0.0f);
}

TEST_F(Targets, BalloonSpinAddsUpAndDecays)
{
    gentity_t *b = world::Place(MC_TARGET, SUB_BALLON, 0, 0, -200);
    gentity_t *m = FireMissile(SUB_MISSILE_PLASMA, zero, fwd, nullptr);
    Vec_Set(m->ent->dir, 1, 0, -1);
    Vec_Normalize(m->ent->dir);
    float a = Vec_SignedAngle(b->ent->origin, m->ent->dir, 1);
    Target_BalloonTouch(b->ent, m->ent);
    EXPECT_NEAR(b->ent->avelocity[1], 5 * a, 1e-3);
    Target_BalloonTouch(b->ent, m->ent);
    EXPECT_NEAR(b->ent->avelocity[1], 10 * a, 1e-3);
    EXPECT_EQ(b->ent->think, Target_BalloonSpinDown);
    float v = b->ent->avelocity[1];
    world::Frame(0.1f);
    EXPECT_NEAR(b->ent->avelocity[1], v * (1 - 0.07f), 1e-3);
    world::Run(20.0f, 0.1f);
    EXPECT_EQ(b->ent->think, nullptr);
    EXPECT_FLOAT_EQ(b->ent->avelocity[1], 0.0f);
}

TEST_F(Targets, BalloonBurstLeavesSeatFeathersAndTwoBursts)
{
    gentity_t *p = world::Player();
    gentity_t *b = world::Place(MC_TARGET, SUB_BALLON, 0, 0, -200);
    b->health = 1.0f;
    gentity_t *m = FireMissile(SUB_MISSILE_GLIBBER, zero, fwd, p);
    world::Touch(m, b);
    EXPECT_EQ(b->state, GS_REMOVED);
    EXPECT_EQ(OfClass(MC_DEBRIS, SUB_DEBRIS_BALLOONSEAT).size(), 1u);
    EXPECT_EQ(world::CountClass(MC_EFFECT), 60 + 40 + 25);
    EXPECT_EQ(p->score, 10);
}

TEST_F(Targets, RocketKillsAChickenWithoutScoreAndBurnsExhaust)
{
    gentity_t *p = world::Player();
    gentity_t *r = world::Place(MC_SPACE, SUB_RAKETE, 0, 0, -300, 1, 0, 0, 0);
    ASSERT_NE(r->enginesound, nullptr);
    world::Frame(0.02f);
    EXPECT_EQ(world::CountClass(MC_EFFECT), 10);
    world::Run(0.12f);
    EXPECT_EQ(world::CountClass(MC_EFFECT), 20);
    gentity_t *c = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -300);
    world::Touch(r, c);
    EXPECT_EQ(c->state, GS_REMOVED);
    EXPECT_EQ(r->state, GS_INUSE);
    EXPECT_EQ(p->score, 0);
    gentity_t *snd = r->enginesound;
    Space_RocketDie(r);
    EXPECT_EQ(OfClass(MC_DEBRIS, SUB_DEBRIS_ROCKETWINGS).size(), 4u);
    world::Frame(0.02f);
    EXPECT_NE(snd->state, GS_INUSE);
}

TEST_F(Targets, AlienExhaustRisesAndItsDeathCostsPoints)
{
    gentity_t *p = world::Player();
    p->score = 200;
    gentity_t *a = world::Place(MC_SPACE, SUB_ALIEN02, 0, 0, -300, 1, 0, 0, 0);
    world::Frame(0.02f);
    EXPECT_EQ(world::CountClass(MC_EFFECT), 0); /* first exhaust 0.1 s in */
    world::Run(0.1f);
    EXPECT_EQ(world::CountClass(MC_EFFECT), 5);
    for (gentity_t *g = G_NextInUse(NULL); g; g = G_NextInUse(g))
        if (g->mainclass == MC_EFFECT) {
            EXPECT_FLOAT_EQ(g->gravity, -3.0f);
            EXPECT_LT(g->ent->dir[0], 0.0f); /* out of the back */
        }
    world::Touch(FireMissile(SUB_MISSILE_GLIBBER, zero, fwd, p), a);
    EXPECT_EQ(a->state, GS_REMOVED);
    EXPECT_EQ(p->score, 150);
}

TEST_F(Targets, PlanetsTurnInTheBackgroundAndCannotBeHit)
{
    gentity_t *pl = world::Place(MC_SCENERY, 25, 0, 0, -600);
    EXPECT_FLOAT_EQ(pl->ent->avelocity[1], 2.0f);
    EXPECT_FLOAT_EQ(pl->ent->u.mdl.scale, 0.5f);
    EXPECT_EQ(pl->ent->u.mdl.depth, 0);
    EXPECT_EQ(pl->ent->touch, nullptr);
}

/* Each colour of burst belongs to one class: a wrong row shows up here. */
static void ExpectBurst(int count, float r, float g, float b)
{
    int n = 0;
    for (gentity_t *e = G_NextInUse(NULL); e; e = G_NextInUse(e)) {
        if (e->mainclass != MC_EFFECT || e->subclass != SUB_RONLY_PARTICLE)
            continue;
        n++;
        EXPECT_FLOAT_EQ(e->ent->color[0], r);
        EXPECT_FLOAT_EQ(e->ent->color[1], g);
        EXPECT_FLOAT_EQ(e->ent->color[2], b);
    }
    EXPECT_EQ(n, count);
}

TEST_F(Targets, SpaceObjectsBurstInTheirColoursAndCostPoints)
{
    struct {
        int mc, sub, particles;
        float r, g, b;
        int debris, cost;
    } rows[] = {
        {MC_SPACE, SUB_SONDE, 70, 0.5f, 0.5f, 0.5f, 0, 50},
        {MC_SPACE, SUB_SATELLIT, 70, 0.5f, 0.5f, 0.5f, 1, 50},
        {MC_SPACE, SUB_ASTRONAUT, 70, 1.0f, 1.0f, 1.0f, 0, 50},
        {MC_SCENERY, SUB_KOMET, 70, 0.44f, 0.28f, 0.12f, 0, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.sub);
        world::Reset();
        gentity_t *p = world::Player();
        p->score = 500;
        gentity_t *o = world::Place(row.mc, row.sub, 0, 0, -300);
        ASSERT_NE(o, nullptr);
        EXPECT_FLOAT_EQ(o->health, 1.0f);
        world::Touch(FireMissile(SUB_MISSILE_GLIBBER, zero, fwd, p), o);
        EXPECT_EQ(o->state, GS_REMOVED);
        ExpectBurst(row.particles, row.r, row.g, row.b);
        EXPECT_EQ(world::CountClass(MC_DEBRIS, SUB_DEBRIS_SATELLITE), row.debris);
        EXPECT_EQ(p->score, 500 - row.cost);
    }
}

TEST_F(Targets, HitBurstsTakeTheColourOfTheZoneHit)
{
    gentity_t *p = world::Player();
    gentity_t *a = world::Place(MC_SPACE, SUB_ALIEN01, 0, 0, -300);
    const float head[3] = {0, 20, -300}, feet[3] = {0, -30, -300};
    world::Touch(FireMissile(SUB_MISSILE_PLASMA, head, fwd, p), a);
    ExpectBurst(9, 0.0f, 0.63f, 0.63f);
    world::Reset();
    p = world::Player();
    a = world::Place(MC_SPACE, SUB_ALIEN02, 0, 0, -300);
    world::Touch(FireMissile(SUB_MISSILE_PLASMA, head, fwd, p), a);
    ExpectBurst(9, 0.63f, 0.23f, 0.39f);
    world::Reset();
    p = world::Player();
    a = world::Place(MC_SPACE, SUB_ALIEN02, 0, 0, -300);
    world::Touch(FireMissile(SUB_MISSILE_PLASMA, feet, fwd, p), a);
    ExpectBurst(9, 0.5f, 0.5f, 0.5f);
    world::Reset();
    p = world::Player();
    gentity_t *s = world::Place(MC_TARGET, SUB_ENEMYSHIP, 0, 0, -300);
    const float hull[3] = {0, 0, -230}, wing[3] = {0, 0, -229};
    world::Touch(FireMissile(SUB_MISSILE_PLASMA, hull, fwd, p), s);
    ExpectBurst(9, 1.0f, 0.5f, 0.0f);
    world::Reset();
    p = world::Player();
    s = world::Place(MC_TARGET, SUB_ENEMYSHIP, 0, 0, -300);
    world::Touch(FireMissile(SUB_MISSILE_PLASMA, wing, fwd, p), s);
    ExpectBurst(9, 0.5f, 0.5f, 0.5f);
}

} // namespace
