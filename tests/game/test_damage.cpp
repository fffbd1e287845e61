/*
 * The damage rule and kill credit, hit bursts, particle bursts with their
 * one-shot parameters and amount factor, the effect limit, feathers, and
 * the chicken classes' reaction to hits, on the real entity store.
 */
#include <gtest/gtest.h>

#include "world_fixture.h"

namespace {

class Damage : public ::testing::Test {
protected:
    void SetUp() override { world::Reset(); }
    void TearDown() override { world::Reset(); }
    const float zero[3] = {0, 0, 0};
    const float fwd[3] = {0, 0, -1};
    const float white[4] = {1, 1, 1, 1};

    gentity_t *Shot(int sub, gentity_t *owner, float x = 0, float y = 0, float z = -10)
    {
        const float at[3] = {x, y, z};
        return FireMissile(sub, at, fwd, owner);
    }
};

std::vector<gentity_t *> Effects()
{
    std::vector<gentity_t *> v;
    for (gentity_t *g = G_NextInUse(NULL); g; g = G_NextInUse(g))
        if (g->mainclass == MC_EFFECT)
            v.push_back(g);
    return v;
}

int CountSounds(const char *name)
{
    int n = 0;
    for (gentity_t *g = G_NextInUse(NULL); g; g = G_NextInUse(g))
        if (g->mainclass == MC_SOUND && strcmp(g->ent->name, name) == 0)
            n++;
    return n;
}

TEST_F(Damage, FourPlasmaHitsKillAChickenAndCreditThePlayer)
{
    gentity_t *p = world::Player();
    gentity_t *c = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -100);
    const float expect[] = {1.45f, 0.9f, 0.35f};
    for (int i = 0; i < 3; i++) {
        gentity_t *m = Shot(37, p);
        EXPECT_EQ(G_Damage(c, m, Chicken_Hit, Chicken_Die), DMG_HIT);
        EXPECT_NEAR(c->health, expect[i], 1e-5);
        G_Remove(m);
    }
    EXPECT_EQ(p->score, 0);
    gentity_t *m = Shot(37, p);
    EXPECT_EQ(G_Damage(c, m, Chicken_Hit, Chicken_Die), DMG_KILLED);
    EXPECT_NEAR(c->health, -0.2f, 1e-5);
    EXPECT_EQ(c->state, GS_REMOVED);
    EXPECT_EQ(p->score, 25);
    EXPECT_EQ(p->streak, 1);
}

TEST_F(Damage, ZeroDamageDoesNothing)
{
    gentity_t *c = world::Place(MC_TARGET, SUB_BALLON, 0, 0, -100);
    gentity_t *cap = Shot(39, world::Player(), 0, 40, -100);
    EXPECT_EQ(G_Damage(c, cap, Chicken_Hit, Chicken_Die), DMG_NONE);
    EXPECT_FLOAT_EQ(c->health, 5.0f);
    EXPECT_TRUE(Effects().empty());
}

TEST_F(Damage, GlibberKillsAChickenAtOnce)
{
    gentity_t *p = world::Player();
    gentity_t *c = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -100);
    world::Touch(Shot(38, p), c);
    EXPECT_FLOAT_EQ(c->health, 0.0f);
    EXPECT_EQ(c->state, GS_REMOVED);
    EXPECT_EQ(p->score, 25);
    /* 25 death feathers */
    EXPECT_EQ(Effects().size(), 25u);
}

TEST_F(Damage, BalloonHitBurstIsRedAtTheEnvelopeAndGreyBelow)
{
    gentity_t *p = world::Player();
    gentity_t *b = world::Place(MC_TARGET, SUB_BALLON, 0, 0, -200);
    gentity_t *m = Shot(37, p, 0, 60, -200);
    EXPECT_EQ(G_Damage(b, m, NULL, Target_BalloonBurst), DMG_HIT);
    auto fx = Effects();
    ASSERT_EQ(fx.size(), 9u);
    for (gentity_t *g : fx) {
        EXPECT_FLOAT_EQ(g->ent->color[0], 0.88f);
        EXPECT_FLOAT_EQ(g->ent->color[1], 0.31f);
        G_Remove(g);
    }
    m = Shot(37, p, 0, -30, -200);
    EXPECT_EQ(G_Damage(b, m, NULL, Target_BalloonBurst), DMG_HIT);
    fx = Effects();
    ASSERT_EQ(fx.size(), 9u);
    for (gentity_t *g : fx)
        EXPECT_FLOAT_EQ(g->ent->color[0], 0.5f);
}

TEST_F(Damage, AnOwnerSlotHoldingANewerGentityGetsNoCredit)
{
    world::Frame(0.1f);
    gentity_t *p = world::Player();
    gentity_t *c = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -100);
    gentity_t *m = Shot(38, p);
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

TEST_F(Damage, KillsByNonPlayersScoreNothing)
{
    gentity_t *p = world::Player();
    gentity_t *c = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -100);
    gentity_t *r = world::Place(MC_SPACE, SUB_RAKETE, 0, 0, -100);
    world::Touch(r, c);
    EXPECT_EQ(c->state, GS_REMOVED);
    EXPECT_EQ(r->state, GS_INUSE); /* a chicken deals no damage */
    EXPECT_FLOAT_EQ(r->health, 1.0f);
    EXPECT_EQ(p->score, 0);
}

TEST_F(Damage, PenaltiesNeverTakeTheScoreBelowZero)
{
    gentity_t *p = world::Player();
    p->score = 30;
    gentity_t *a = world::Place(MC_SPACE, SUB_ALIEN01, 0, 0, -100);
    world::Touch(Shot(38, p), a);
    EXPECT_EQ(a->state, GS_REMOVED);
    EXPECT_EQ(p->score, 0);
    p->score = 120;
    gentity_t *s = world::Place(MC_SPACE, SUB_SATELLIT, 0, 0, -100);
    world::Touch(Shot(38, p), s);
    EXPECT_EQ(p->score, 70);
    gentity_t *k = world::Place(MC_SCENERY, SUB_KOMET, 0, 0, -100);
    world::Touch(Shot(38, p), k);
    EXPECT_EQ(k->state, GS_REMOVED);
    EXPECT_EQ(p->score, 70);
}

TEST_F(Damage, AmountFactorScalesBurstsButNotFeathersOrDebris)
{
    g_particlefactor = 0.5f;
    FX_Particles(zero, 60, 10, white);
    EXPECT_EQ(Effects().size(), 30u);
    FX_Particles(zero, 1, 10, white);
    EXPECT_EQ(Effects().size(), 31u);
    FX_Feathers(zero, 7);
    EXPECT_EQ(Effects().size(), 38u);
    FX_Debris(zero, 3, 10, 10, SUB_DEBRIS_RACER);
    EXPECT_EQ(world::CountClass(MC_DEBRIS), 3);
}

TEST_F(Damage, BurstParametersHoldForOneBurstOnly)
{
    FX_SetSize(2.5f);
    FX_SetMinRadius(120.0f);
    FX_SetSpeedRange(10, 40);
    FX_SetFadeFactor(0.2f);
    FX_Particles(zero, 20, 170, white);
    for (gentity_t *g : Effects()) {
        EXPECT_FLOAT_EQ(g->ent->u.part.size, 5.0f);
        float d = Vec_Length(g->ent->origin);
        EXPECT_GE(d, 119.99f);
        EXPECT_LE(d, 170.01f);
        EXPECT_GE(g->ent->speed, 10.0f);
        EXPECT_LE(g->ent->speed, 40.0f);
        EXPECT_FLOAT_EQ(g->fadefactor, 0.2f);
        G_Remove(g);
    }
    world::Frame(0.02f);
    FX_Particles(zero, 20, 30, white);
    for (gentity_t *g : Effects()) {
        EXPECT_FLOAT_EQ(g->ent->u.part.size, 2.0f);
        EXPECT_LE(Vec_Length(g->ent->origin), 30.01f);
        EXPECT_GE(g->ent->speed, 20.0f);
        EXPECT_LE(g->ent->speed, 30.0f);
        EXPECT_FLOAT_EQ(g->fadefactor, 1.0f);
    }
}

TEST_F(Damage, SettersRefuseBadValues)
{
    FX_SetSize(-1);
    FX_SetMinRadius(-5);
    FX_SetSpeedRange(-3, -4); /* lo 0, hi 0 */
    FX_SetFadeFactor(0);
    FX_Particles(zero, 5, 10, white);
    for (gentity_t *g : Effects()) {
        EXPECT_FLOAT_EQ(g->ent->u.part.size, 2.0f);
        EXPECT_FLOAT_EQ(g->ent->speed, 0.0f);
        EXPECT_FLOAT_EQ(g->fadefactor, 1.0f);
    }
}

TEST_F(Damage, PositiveOnlyBasisSendsTheBurstOneWay)
{
    const float r1[3] = {0.05f, 0, 0}, r2[3] = {0, 0.05f, 0}, r3[3] = {0, 0, 1};
    FX_SetBasis(r1, r2, r3);
    FX_SetPositiveOnly(0, 0, 1);
    FX_Particles(zero, 50, 5, white);
    for (gentity_t *g : Effects())
        EXPECT_GT(g->ent->dir[2], 0.0f);
}

TEST_F(Damage, AtMost682EffectsAndOthersStillSpawn)
{
    FX_Particles(zero, 700, 10, white);
    EXPECT_EQ(G_ParticleCount(), 682);
    world::log.clear();
    FX_Feathers(zero, 5);
    EXPECT_EQ(G_ParticleCount(), 682);
    EXPECT_TRUE(world::log.empty());
    EXPECT_NE(world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -50), nullptr);
}

TEST_F(Damage, ParticlesFadeAndBendWithGravity)
{
    FX_SetGravity(1.0f);
    FX_Particles(zero, 10, 10, white);
    auto fx = Effects();
    world::Frame(0.1f);
    for (gentity_t *g : fx) {
        EXPECT_NEAR(g->ent->color[3], 1.0f - 0.15f, 1e-5);
        EXPECT_NEAR(Vec_Length(g->ent->dir), 1.0f, 1e-5);
    }
    world::Run(0.6f, 0.1f);
    for (gentity_t *g : fx)
        EXPECT_NE(g->state, GS_INUSE);
}

TEST_F(Damage, FeathersDriftSlowDownAndFade)
{
    FX_Feathers(zero, 10);
    auto fx = Effects();
    ASSERT_EQ(fx.size(), 10u);
    for (gentity_t *g : fx) {
        EXPECT_NEAR(Vec_Length(g->ent->origin), 20.0f, 1e-3);
        EXPECT_FLOAT_EQ(g->ent->color[3], 0.8f);
    }
    world::Run(1.5f, 0.1f);
    for (gentity_t *g : fx)
        EXPECT_EQ(g->state, GS_INUSE);
    world::Run(0.2f, 0.1f);
    for (gentity_t *g : fx)
        EXPECT_NE(g->state, GS_INUSE);
}

TEST_F(Damage, ChickenPanicIsCappedAndNeverSlows)
{
    gentity_t *p = world::Player();
    gentity_t *c = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -100, 0, 0, -1, 50);
    c->ent->u.mdl.framerate = 1.5f;
    Chicken_Hit(c, 0.6f); /* ratio 1.4: 70 capped to 60 */
    EXPECT_FLOAT_EQ(c->ent->speed, 60.0f);
    EXPECT_FLOAT_EQ(c->ent->u.mdl.framerate, 2.1f);
    gentity_t *s = world::Place(MC_TARGET, SUB_SUPERCHICKEN, 0, 0, -100, 0, 0, -1, 50);
    s->ent->u.mdl.framerate = 1.5f;
    Chicken_SuperHit(s, 0.6f);
    EXPECT_NEAR(s->ent->speed, 70.0f, 1e-4);
    gentity_t *f = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -100, 0, 0, -1, 80);
    Chicken_Hit(f, 0.55f);
    EXPECT_FLOAT_EQ(f->ent->speed, 80.0f);
    gentity_t *m = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -100, 0, 0, -1, 20);
    float rate = m->ent->u.mdl.framerate;
    world::Touch(Shot(37, p), m);
    EXPECT_NEAR(m->ent->speed, 20.0f * (rate + 0.55f) / rate, 1e-4);
}

TEST_F(Damage, HitClucksAreThrottled)
{
    gentity_t *c = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -100);
    world::Frame(1.0f);
    int before = CountSounds("sounds/kluck4.wav") + CountSounds("sounds/kluck5.wav");
    Chicken_Hit(c, 0.55f);
    eng_gametime += 0.2f;
    Chicken_Hit(c, 0.55f);
    int after = CountSounds("sounds/kluck4.wav") + CountSounds("sounds/kluck5.wav");
    EXPECT_EQ(after - before, 1);
    eng_gametime += 0.15f;
    Chicken_Hit(c, 0.55f);
    EXPECT_EQ(CountSounds("sounds/kluck4.wav") + CountSounds("sounds/kluck5.wav") - before, 2);
}

TEST_F(Damage, HitFeathersGrowWithDamage)
{
    gentity_t *c = world::Place(MC_TARGET, SUB_BOMBE, 0, 0, -100);
    Chicken_BombHit(c, 2.0f);
    size_t n = Effects().size();
    EXPECT_GE(n, 10u);
    EXPECT_LE(n, 20u);
}

TEST_F(Damage, DebrisShowsMissileHitsInItsColour)
{
    const float at[3] = {0, 0, -100};
    FX_Debris(at, 1, 0, 0, SUB_DEBRIS_ROCKETWINGS);
    gentity_t *d = nullptr;
    for (gentity_t *g = G_NextInUse(NULL); g; g = G_NextInUse(g))
        if (g->mainclass == MC_DEBRIS)
            d = g;
    ASSERT_NE(d, nullptr);
    EXPECT_FLOAT_EQ(d->ent->nextthink, 4.0f);
    gentity_t *m = Shot(37, world::Player(), 0, 0, -95);
    FX_DebrisTouch(d->ent, m->ent);
    auto fx = Effects();
    ASSERT_EQ(fx.size(), 9u);
    EXPECT_FLOAT_EQ(fx[0]->ent->color[0], 1.0f);
    EXPECT_FLOAT_EQ(fx[0]->ent->color[1], 0.0f);
}

TEST_F(Damage, DebrisFadesFromFourSecondsOn)
{
    FX_Debris(zero, 2, 100, 40, SUB_DEBRIS_SATELLITE);
    world::Run(3.9f, 0.1f);
    EXPECT_EQ(world::CountClass(MC_DEBRIS), 2);
    world::Run(0.8f, 0.1f);
    EXPECT_EQ(world::CountClass(MC_DEBRIS), 0);
}

gentity_t *Popup()
{
    for (gentity_t *g = G_NextInUse(NULL); g; g = G_NextInUse(g))
        if (g->mainclass == MC_TEXT)
            return g;
    return nullptr;
}

TEST_F(Damage, PenaltyNumberShowsItsMinusSignInRedGrowsAndFades)
{
    gentity_t *p = world::Player();
    p->score = 100;
    gentity_t *a = world::Place(MC_SPACE, SUB_ASTRONAUT, 0, 0, -200);
    world::Touch(Shot(38, p), a);
    gentity_t *n = Popup();
    ASSERT_NE(n, nullptr);
    entity_t *e = n->ent;
    EXPECT_STREQ(e->u.txt.text, "-50");
    EXPECT_FLOAT_EQ(e->color[0], 1.0f);
    EXPECT_FLOAT_EQ(e->color[1], 0.0f);
    EXPECT_FLOAT_EQ(e->u.txt.size, 20.0f);
    EXPECT_NE(e->u.txt.inworld, 0);
    EXPECT_NE(e->u.txt.shadow, 0);
    /* 20 units nearer the player than the victim */
    EXPECT_NEAR(e->origin[2], -180.0f, 1e-3);
    world::Run(1.0f, 0.1f);
    EXPECT_NEAR(e->color[3], 0.3f, 1e-4);
    EXPECT_NEAR(e->u.txt.size, 40.0f, 1e-3);
    world::Run(0.4f, 0.1f);
    EXPECT_EQ(n->state, GS_INUSE);
    world::Run(0.1f, 0.1f);
    EXPECT_NE(n->state, GS_INUSE);
}

TEST_F(Damage, CometKillShowsNoNumber)
{
    gentity_t *p = world::Player();
    gentity_t *k = world::Place(MC_SCENERY, SUB_KOMET, 0, 0, -200);
    world::Touch(Shot(38, p), k);
    EXPECT_EQ(k->state, GS_REMOVED);
    EXPECT_EQ(Popup(), nullptr);
}

} // namespace
