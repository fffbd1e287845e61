/* Game behaviours on the real entity store: damage with credit, missiles and homing locks. */
#include <gtest/gtest.h>

#include <algorithm>

#include "world_fixture.h"

namespace {

struct World : ::testing::Test {
    void SetUp() override { world::Reset(); }
    void TearDown() override { world::Reset(); }
    const float zero[3] = {0, 0, 0};
    const float fwd[3] = {0, 0, -1};

    gentity_t *Shot(int sub, gentity_t *owner, float x = 0, float y = 0, float z = -10)
    {
        const float at[3] = {x, y, z};
        return FireMissile(sub, at, fwd, owner);
    }
    bool alive = false;
    /* A shot of the player's hits a target placed 100 ahead; the score after it, and whether the target lives. */
    int KillAhead(int mainclass, int subclass, int score, float damage = 100.0f)
    {
        world::Reset();
        gentity_t *p = world::Player();
        p->score = score;
        gentity_t *v = world::Place(mainclass, subclass, 0, 0, -100), *m = Shot(SUB_MISSILE_GLIBBER, p, 0, 0, -90);
        m->damage = damage;
        world::Touch(m, v);
        alive = v->state == GS_INUSE;
        EXPECT_EQ(m->state, GS_REMOVED) << "a shot ends at what it hits";
        return p->score;
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

TEST_F(World, PlasmaTakesFourHitsGlibberOneAndABalloonShowsWhereItWasHit)
{
    const struct { int missile, hits; } cases[] = {
        {SUB_MISSILE_PLASMA, 4}, {SUB_MISSILE_GLIBBER, 1}, {SUB_MISSILE_HOMINGSHOT, 1}};
    for (auto &c : cases) {
        world::Reset();
        gentity_t *p = world::Player(), *ch = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -100);
        int hits = 0;
        while (ch->state == GS_INUSE && hits < 10) {
            gentity_t *m = Shot(c.missile, p);
            hits++;
            int r = G_Damage(ch, m, Chicken_Hit, Chicken_Die);
            EXPECT_EQ(r, ch->state == GS_INUSE ? DMG_HIT : DMG_KILLED);
            G_Remove(m);
        }
        EXPECT_EQ(hits, c.hits) << c.missile;
    }
    /* the capsule deals nothing: no hit, no burst */
    gentity_t *b = world::Place(MC_TARGET, SUB_BALLON, 0, 0, -100);
    size_t fx = harness::InUse(MC_EFFECT).size();
    float hp = b->health;
    gentity_t *capsule = Shot(SUB_MISSILE_HOMINGCAPSULE, world::Player(), 0, 40, -100);
    EXPECT_EQ(G_Damage(b, capsule, Chicken_Hit, Chicken_Die), DMG_NONE);
    EXPECT_TRUE(b->health == hp && harness::InUse(MC_EFFECT).size() == fx) << b->health;
    /* plasma: Nearest(0.55 x 16) = 9 particles, red within 50 of the point 40 above the centre */
    for (float y : {-10.0f, -10.01f}) {
        world::Reset();
        gentity_t *bal = world::Place(MC_TARGET, SUB_BALLON, 0, 0, -100);
        world::Touch(Shot(SUB_MISSILE_PLASMA, world::Player(), 0, y, -100), bal);
        auto burst = harness::InUse(MC_EFFECT, SUB_RONLY_PARTICLE);
        ASSERT_EQ(burst.size(), 9u);
        EXPECT_FLOAT_EQ(burst[0]->ent->color[1], y == -10.0f ? 0.31f : 0.5f) << y;
    }
    /* a racer's body sparks grey wherever it is hit: one colour for red, green and blue, and seen */
    world::Reset();
    gentity_t *racer = world::Place(MC_TARGET, SUB_RACER01, 0, 0, -100);
    world::Touch(Shot(SUB_MISSILE_PLASMA, world::Player(), 0, 0, -100), racer);
    auto sparks = harness::InUse(MC_EFFECT, SUB_RONLY_PARTICLE);
    ASSERT_FALSE(sparks.empty());
    const float *c = sparks[0]->ent->color;
    EXPECT_TRUE(c[0] > 0 && c[0] == c[1] && c[1] == c[2] && c[3] > 0) << c[0] << " " << c[1] << " " << c[2] << " " << c[3];
    /* exhaust every tenth of a second: an alien's five particles, a rocket's ten */
    for (int sub : {SUB_ALIEN01, SUB_RAKETE}) {
        world::Reset();
        world::Place(MC_SPACE, sub, 0, 0, -100);
        for (float dt : {0.1f, 0.09f}) {
            world::Frame(dt);
            EXPECT_EQ(harness::InUse(MC_EFFECT, SUB_RONLY_PARTICLE).size(), sub == SUB_RAKETE ? 10u : 5u) << sub;
        }
    }
}

TEST_F(World, EachKillScoresItsPointsWithItsBurstAndTheScoreStopsAtZero)
{
    /* health: a shot of exactly it kills (0 is not above 0), a quarter less does not;
     * points; what the kill leaves: particles (their size: x 1.5 twice is 3, a scale lasts one burst), feathers, debris, new targets */
    const struct { int mainclass, subclass; float health; int points, particles, feathers, debris, made; float size; } kills[] = {
        {MC_TARGET, SUB_CHICKEN, 2, 25, 0, 25, 0, 0, 0}, {MC_TARGET, SUB_SUPERCHICKEN, 3, 50, 0, 25, 0, 0, 0},
        {MC_TARGET, SUB_BOMBE, 2, 75, 0, 25, 0, 0, 0}, {MC_TARGET, SUB_MOTHERCHICKEN, 15, 100, 0, 75, 0, 0, 0},
        {MC_TARGET, SUB_EGG, 12, 100, 70, 0, 0, 6, 2}, {MC_TARGET, SUB_BALLON, 5, 10, 100, 25, 1, 0, 3},
        {MC_TARGET, SUB_RACER01, 4, 50, 60, 30, 1, 0, 2}, {MC_TARGET, SUB_RACER02, 4, 50, 60, 30, 1, 0, 2},
        {MC_TARGET, SUB_ENEMYSHIP, 15, 150, 290, 0, 0, 4, 5}, {MC_SPACE, SUB_ALIEN01, 2, -50, 120, 0, 0, 0, 2},
        {MC_SPACE, SUB_ALIEN02, 2, -50, 120, 0, 0, 0, 2}, {MC_SPACE, SUB_SONDE, 1, -50, 70, 0, 0, 0, 2},
        {MC_SPACE, SUB_SATELLIT, 1, -50, 70, 0, 1, 0, 2}, {MC_SPACE, SUB_RAKETE, 1, -50, 80, 0, 4, 0, 3},
        {MC_SPACE, SUB_ASTRONAUT, 1, -50, 70, 0, 0, 0, 2}, {MC_SCENERY, SUB_KOMET, 1, 0, 70, 0, 0, 0, 2}};
    for (auto &k : kills) {
        SCOPED_TRACE(G_ClassByNumbers(k.mainclass, k.subclass)->classname);
        EXPECT_TRUE(KillAhead(k.mainclass, k.subclass, 1000, k.health - 0.25f) == 1000 && alive) << "a shot short of its health";
        auto hit = harness::InUse(MC_EFFECT, SUB_RONLY_PARTICLE);   /* its burst: 16 a unit of damage, seen; chickens have none */
        size_t want = k.mainclass == MC_TARGET && k.subclass <= SUB_MOTHERCHICKEN ? 0 : (size_t)((k.health - 0.25f) * 16);
        EXPECT_TRUE(hit.size() == want && std::all_of(hit.begin(), hit.end(), [](gentity_t *g) { return g->ent->color[3] == 1.0f; })) << hit.size();
        EXPECT_TRUE(KillAhead(k.mainclass, k.subclass, 1000, k.health) == 1000 + k.points && !alive) << world::Player()->score << (alive ? ", alive" : "");
        auto texts = harness::InUse(MC_TEXT); /* the points float up as a number */
        EXPECT_EQ(texts.empty() ? "" : texts[0]->ent->u.txt.text, k.points ? std::to_string(k.points) : "");
        auto parts = harness::InUse(MC_EFFECT, SUB_RONLY_PARTICLE);
        float size = 0;
        for (gentity_t *g : parts)
            size = std::max(size, g->ent->u.part.size);
        EXPECT_TRUE((int)parts.size() == k.particles && size == k.size) << parts.size() << " of size up to " << size;
        EXPECT_EQ((std::vector<int>{harness::Count(MC_EFFECT) - (int)parts.size(), harness::Count(MC_DEBRIS), harness::Count(MC_TARGET)}),
                  (std::vector<int>{k.feathers, k.debris, k.made})) << "feathers, debris, a ship's bombs or an egg's chickens";
        for (gentity_t *c : harness::InUse(MC_TARGET, SUB_CHICKEN))     /* an egg's chickens fly off at 15 to 25 */
            EXPECT_TRUE(c->ent->speed >= 15 && c->ent->speed <= 25) << c->ent->speed;
        world::Run(4.6f);   /* debris fades out from 4 s on, in 1 / 1.5 s */
        EXPECT_EQ(harness::Count(MC_DEBRIS), k.debris);
        world::Run(0.1f);
        EXPECT_EQ(harness::Count(MC_DEBRIS) + harness::Count(MC_EFFECT, SUB_RONLY_PARTICLE), 0) << "particles fade within 1 / (1.5 x 0.2) s";
    }
    /* an alien costs 50 but the score never goes below 0 */
    const int floor[][2] = {{30, 0}, {49, 0}, {50, 0}, {51, 1}};
    for (auto &f : floor)
        EXPECT_EQ(KillAhead(MC_SPACE, SUB_ALIEN01, f[0]), f[1]) << f[0];
}

TEST_F(World, AHitChickenFliesFasterUpToItsCapAndClucksAtMostOnceIn035Seconds)
{
    /* wing beat 1.375 and a plasma hit of 0.55: 1.4 times as fast */
    const struct { int subclass; float speed, after; } rows[] = {
        {SUB_CHICKEN, 40, 56}, {SUB_CHICKEN, 50, 60}, {SUB_CHICKEN, 65, 65},
        {SUB_SUPERCHICKEN, 50, 70}, {SUB_SUPERCHICKEN, 75, 100}};
    for (auto &r : rows) {
        world::Reset();
        gentity_t *c = world::Place(MC_TARGET, r.subclass, 0, 0, -100, 0, 0, 1, r.speed);
        c->ent->u.mdl.framerate = 1.375f;
        world::Touch(Shot(SUB_MISSILE_PLASMA, world::Player()), c);
        EXPECT_EQ((std::vector<float>{c->ent->speed, c->ent->u.mdl.framerate}), (std::vector<float>{r.after, 1.925f})) << r.speed;
    }
    /* hits 0.34 s apart cluck once, 0.36 s apart twice */
    gentity_t *c = world::Place(MC_TARGET, SUB_SUPERCHICKEN, 0, 0, -100);
    for (float t : {1.0f, 1.34f, 1.7f}) {
        eng_gametime = t;
        world::Touch(Shot(SUB_MISSILE_PLASMA, world::Player()), c);
    }
    int clucks = 0;
    for (gentity_t *g : harness::InUse(MC_SOUND))
        clucks += strstr(g->medianame, "kluck4") || strstr(g->medianame, "kluck5");
    EXPECT_EQ(clucks, 2);
}

TEST_F(World, ABombOrAnEnemyShotWithin30UnitsOfThePlayerShakesTheView)
{
    for (float d : {30.0f, 30.01f}) {
        world::Reset();
        gentity_t *p = world::Player();
        gentity_t *bomb = world::Place(MC_TARGET, SUB_BOMBE, 0, 0, -d);
        /* a racer's plasma, flying at 105, behind the player */
        const float at[3] = {0, 0, d}, back[3] = {0, 0, 1};
        FirePlasma(at, back, world::Place(MC_TARGET, SUB_RACER01, 0, 0, 200));
        gentity_t *shot = harness::InUse(MC_MISSILE)[0];
        EXPECT_FLOAT_EQ(shot->ent->speed, 105.0f);
        shot->ent->speed = 0.0f;
        world::Frame(0.02f);
        EXPECT_EQ((std::vector<bool>{View_IsShaking(p) != 0, bomb->state != GS_INUSE, shot->state != GS_INUSE}),
                  std::vector<bool>(3, d == 30.0f)) << "shaking, bomb gone, shot gone at " << d;
        EXPECT_EQ(p->score, 0);
    }
    /* a second shot at a shaking view leaves the shake to end half a second after the first */
    world::Reset();
    gentity_t *p = world::Player();
    p->ent->think = Player_FrameThink;
    const float at[3] = {0, 0, 30}, back[3] = {0, 0, 1};
    for (float wait : {0.2f, 0.34f}) {
        FirePlasma(at, back, world::Place(MC_TARGET, SUB_RACER01, 0, 0, 200));
        harness::InUse(MC_MISSILE)[0]->ent->speed = 0.0f;
        world::Run(wait);
    }
    EXPECT_EQ(p->ent->think, Player_FrameThink) << "the shake over, the player's own think again";
}

/* A shake of 1.5 s holds each draw of its rates 0.025 s of game time: 60 draws at most, 50 with a frame of
 * 0.005 s lost to each; the weapon kicks 0.3 back at 5 a second, then creeps forward (at most 1.5 a second)
 * to where it was: 0.06 s and 0.2 s. */
TEST_F(World, AShakeHoldsItsRatesFor25msAndTheWeaponKicksBackAndReturns)
{
    gentity_t *p = world::Player();
    View_Shake(p, 1.5f, 150.0f);
    int draws = 1;
    for (float last = p->yawrate; View_IsShaking(p); last = p->yawrate) {
        world::Frame(0.005f);
        draws += p->yawrate != last;
    }
    EXPECT_TRUE(draws >= 50 && draws <= 60) << draws;
    gentity_t *w = G_Spawn("(no media)", ENT_NOMEDIA, 0, MC_ATTACHMENT, 0, "weapon");
    Vec_Set(w->ent->origin, 0, 0, -20);
    Vec_Set(w->ent->dir, 0, 0, -1);
    Weapon_Recoil(w, 0.3f, 5.0f);
    float peak = -20.0f, at3 = 0;
    for (int i = 0; i < 25; i++, peak = std::max(peak, w->ent->origin[2]), at3 = i == 3 ? w->ent->origin[2] : at3)
        world::Frame(0.01f);
    EXPECT_TRUE(fabsf(at3 + 19.85f) < 1e-4f && fabsf(peak + 19.7f) < 1e-4f) << "peak " << peak << ", halfway back after 0.03 s: " << at3;
    EXPECT_NE(w->ent->think, nullptr) << "home before 0.26 s";
    world::Run(0.05f, 0.01f);
    EXPECT_EQ(std::make_pair(w->ent->origin[2], w->ent->think), std::make_pair(-20.0f, (void (*)(entity_t *))NULL));
}

TEST_F(World, ARacerFiresTwoShotsWithin300UnitsNeverFromBehindThenTurnsBack)
{
    const struct { float z, dz; int shots; } rows[] = {{-300, 1, 2}, {-300.1f, 1, 0}, {-250, -1, 0}};
    for (auto &r : rows) {
        world::Reset();
        world::Player();
        world::Run(1.0f);   /* a second into the level: its first shot waits only for its first look */
        gentity_t *racer = world::Place(MC_TARGET, SUB_RACER02, 0, 0, r.z, 0, 0, r.dz, 0);
        world::Run(1.5f);
        auto shots = harness::InUse(MC_MISSILE, SUB_MISSILE_PLASMA);
        ASSERT_EQ((int)shots.size(), r.shots) << r.z;
        float first = r.shots ? std::min(shots[0]->spawntime, shots[1]->spawntime) - racer->spawntime : 0.3f;
        EXPECT_TRUE(!r.shots || fabsf(shots[1]->spawntime - shots[0]->spawntime) >= 0.4f - 1e-4f) << "0.4 s apart";
        EXPECT_TRUE(first >= 0.3f && first < 0.37f) << first << " s: its first look is 0.3 s after it came";
        world::Run(1.5f);
        EXPECT_EQ(racer->ent->think == nullptr, r.shots == 2) << "turned back, done";
        EXPECT_FLOAT_EQ(racer->ent->dir[2], r.dz) << "the flight path never changes";
    }
}

TEST_F(World, AMotherchickenLaysAnEggBehindAndBelowItEveryEightSeconds)
{
    gentity_t *hen = world::Place(MC_TARGET, SUB_MOTHERCHICKEN, 0, 0, -300, 1, 0, 0, 0);
    world::Run(7.96f);
    EXPECT_EQ(harness::Count(MC_TARGET, SUB_EGG), 0);
    world::Run(0.06f);
    auto eggs = harness::InUse(MC_TARGET, SUB_EGG);
    ASSERT_EQ(eggs.size(), 1u);
    entity_t *egg = eggs[0]->ent;
    EXPECT_NEAR(egg->origin[0], -60.0f, 0.25f); /* drifting back at 10 since */
    EXPECT_NEAR(egg->origin[1], -20.0f, 1e-3f);
    EXPECT_EQ((std::vector<float>{egg->speed, egg->dir[0], eggs[0]->health}), (std::vector<float>{10, -1, 12}));
    world::Run(8.0f);
    EXPECT_TRUE(harness::Count(MC_TARGET, SUB_EGG) == 2 && hen->state == GS_INUSE) << harness::Count(MC_TARGET, SUB_EGG);
}

TEST_F(World, AShotEggIsPushedAndSpunUpToItsCapAndTheSpinDiesOut)
{
    const float right[3] = {1, 0, 0}; /* a shot to the right: no turn about x, 90 degrees about y */
    for (float spin : {251.0f, 250.0f}) {
        world::Reset();
        gentity_t *egg = world::Place(MC_TARGET, SUB_EGG, 0, 0, -100);
        Vec_Set(egg->ent->avelocity, spin, 0, 0);
        Chicken_EggTouch(egg->ent, FireMissile(SUB_MISSILE_GLIBBER, zero, right, world::Player())->ent);
        const float *a = egg->ent->avelocity, *d = egg->ent->dir;
        EXPECT_EQ((std::vector<float>{a[0], a[1], a[2]}), (std::vector<float>{spin > 250 ? 200.0f : 250.0f, 200, 0}));
        EXPECT_TRUE(fabsf(egg->ent->speed - 3 * sqrtf(2)) < 1e-5f && d[1] == 0 && fabsf(d[0] - sqrtf(0.5f)) < 1e-6f && d[2] == -d[0]);
    }
    /* 30 % less each second: 250 falls below 1 in 18.4 s */
    gentity_t *egg = harness::InUse(MC_TARGET, SUB_EGG)[0];
    world::Run(18.3f);
    EXPECT_TRUE(egg->ent->avelocity[0] > 0 && egg->ent->think);
    world::Run(0.1f);
    EXPECT_TRUE(egg->ent->avelocity[0] == 0 && egg->ent->avelocity[1] == 0 && !egg->ent->think);
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
    /* a lock taken in its target's spawn frame counts as stale: no spreading yet */
    EXPECT_EQ(Seeker(zero, p)->target, a);
    EXPECT_EQ(Seeker(zero, p)->target, a);
    world::Frame(0.02f);
    gentity_t *s1 = Seeker(zero, p), *s2 = Seeker(zero, p), *s3 = Seeker(zero, p);
    EXPECT_EQ((std::vector<gentity_t *>{s1->target, s2->target, s3->target}), (std::vector<gentity_t *>{a, b, a}));
    EXPECT_TRUE(Missile_HomingLock(nullptr) == a && s1->ent->think == Missile_SteerThink);
    world::Reset();
    p = world::Player();
    gentity_t *c = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -30);
    FireHomingCapsule(zero, fwd, p);
    gentity_t *cap = harness::InUse(MC_MISSILE, SUB_MISSILE_HOMINGCAPSULE)[0];
    float hp = c->health;
    world::Touch(c, cap);
    EXPECT_EQ((std::vector<float>{c->health, (float)cap->state, (float)harness::Count(MC_MISSILE, SUB_MISSILE_HOMINGSHOT)}),
              (std::vector<float>{hp, GS_REMOVED, 6}));
    /* a second touch in the same frame makes no second burst */
    Missile_CapsuleBurstTouch(cap->ent, c->ent);
    EXPECT_EQ(harness::Count(MC_MISSILE, SUB_MISSILE_HOMINGSHOT), 6);
    for (gentity_t *g : harness::InUse(MC_MISSILE, SUB_MISSILE_HOMINGSHOT))
        EXPECT_EQ(g->owner, p);
}

TEST_F(World, LateMusicStopsAndAShipsEngineSoundFliesAlongWithIt)
{
    world::Run(1.0f);
    BGM_Start("sounds/ship.wav");
    gentity_t *music = BGM_Gentity();
    ASSERT_NE(music, nullptr);
    BGM_Stop();
    EXPECT_NE(music->state, GS_INUSE) << "music started 1 s into the game";
    world::Place(MC_TARGET, SUB_ENEMYSHIP, 0, 0, -300, 1, 0, 0, 50);
    world::Run(1.0f);
    auto sounds = harness::InUse(MC_SOUND);
    ASSERT_EQ(sounds.size(), 1u);
    EXPECT_NEAR(sounds[0]->ent->origin[0], 50.0f, 0.5f) << "1 s at 50 a second along x";
}

TEST_F(World, AFadingShotOrAHitOnTheLockedTargetReleasesTheLock)
{
    gentity_t *p = world::Player();
    gentity_t *locked = world::Place(MC_TARGET, SUB_CHICKEN, 0, 600, 0, 0, 1, 0, 0);
    gentity_t *s = Seeker(zero, p);
    world::Touch(Shot(SUB_MISSILE_PLASMA, p), world::Place(MC_TARGET, SUB_BALLON, 0, 0, -100));
    ASSERT_EQ(Missile_HomingLock(nullptr), locked) << "a shot that hits another target leaves the lock";
    s->ent->think = Missile_FadeThink;
    s->ent->nextthink = 0.0f;
    s->ent->color[0] = 0.01f;
    world::Frame(0.02f);
    EXPECT_TRUE(Missile_HomingLock(nullptr) == nullptr && s->state != GS_INUSE);
    world::Reset();
    gentity_t *lone = Seeker(zero, world::Player());
    for (float t : {5.0f, 5.01f}) { /* it seeks until 5 s after its spawn and fades from just past them */
        eng_gametime = t;
        Missile_SeekThink(lone->ent);
        EXPECT_EQ(lone->ent->think == Missile_FadeThink, t > 5.0f) << t;
    }
    locked = world::Place(MC_TARGET, SUB_CHICKEN, 0, 0, -100);
    world::Touch(Seeker(zero, world::Player()), locked);
    EXPECT_EQ(Missile_HomingLock(nullptr), nullptr) << "a shot that hits the locked target releases it";
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
    EXPECT_TRUE(s->target == nullptr && s->ent->think == Missile_SeekThink);
    /* the lock's slot is stale too: the new gentity is found as a fresh target */
    Missile_SeekThink(s->ent);
    float t = 0;
    EXPECT_TRUE(Missile_HomingLock(&t) == n && t == eng_gametime && s->target == n) << t;
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
