/* Minutes at full load on the real entity store; also under ASan (asan_saturation.sh). */
#include <gtest/gtest.h>

#include "world_fixture.h"

namespace {

uint32_t seed = 12345;
float Rand01()
{
    seed = seed * 1103515245u + 12345u;
    return (float)((seed >> 8) & 0xFFFF) / 65535.0f;
}

const int kTargetClasses[][2] = {
    {MC_TARGET, SUB_CHICKEN}, {MC_TARGET, SUB_SUPERCHICKEN}, {MC_TARGET, SUB_BOMBE},
    {MC_TARGET, SUB_MOTHERCHICKEN}, {MC_TARGET, SUB_EGG}, {MC_TARGET, SUB_BALLON},
    {MC_TARGET, SUB_RACER01}, {MC_TARGET, SUB_RACER02}, {MC_TARGET, SUB_ENEMYSHIP},
    {MC_SPACE, SUB_ALIEN01}, {MC_SPACE, SUB_ALIEN02}, {MC_SPACE, SUB_SONDE},
    {MC_SPACE, SUB_SATELLIT}, {MC_SPACE, SUB_RAKETE}, {MC_SPACE, SUB_ASTRONAUT}, {MC_SCENERY, SUB_KOMET}};

gentity_t *SpawnTarget()
{
    const int *c = kTargetClasses[(int)(Rand01() * 15.99f)];
    float d[3] = {Rand01() - 0.5f, Rand01() - 0.5f, Rand01() - 0.5f};
    Vec_Normalize(d);
    if (Vec_Length(d) == 0.0f)
        d[2] = -1.0f;
    float to[3] = {Rand01() * 200 - 100, Rand01() * 200 - 100, Rand01() * 200 - 100};
    float pos[3], dir[3];
    Vec_Scale(d, 500.0f + 150.0f * Rand01(), pos);
    Vec_Sub(to, pos, dir);
    return world::Place(c[0], c[1], pos[0], pos[1], pos[2], dir[0], dir[1], dir[2], 20.0f + 60.0f * Rand01());
}

/* Pool and engine agree: counts, back references, limits. */
void CheckBooks()
{
    int used = 0, effects = 0;
    for (int i = 0; i < GENT_MAX; i++) {
        gentity_t *g = &g_entities[i];
        if (g->state == GS_FREE)
            continue;
        used++;
        if (g->state == GS_INUSE) {
            ASSERT_NE(g->ent, nullptr);
            ASSERT_EQ(g->ent->gameslot, i);
            ASSERT_NE(g->ent->state, ES_PENDREMOVE);
            if (g->mainclass == MC_EFFECT)
                effects++;
        }
    }
    ASSERT_EQ(used, G_GentityCount());
    ASSERT_EQ(effects, G_ParticleCount());
    ASSERT_TRUE(G_GentityCount() <= 1024 && G_ParticleCount() <= 682 && Ent_LiveCount() <= 1024);
}

gentity_t *AnyOf(int mainclass, int subclass)
{
    auto v = harness::InUse(mainclass, subclass);
    return v.empty() ? nullptr : v[0];
}

TEST(Saturation, MinutesAtFullLoadCrashNothingAndLeakNothing)
{
    world::Reset();
    const float dt = 0.05f;
    const int frames = (int)(180.0f / dt); /* three minutes */
    gentity_t *player = world::Player();
    ASSERT_NE(player, nullptr);
    int maxcount = 0, maxeffects = 0, fullframes = 0, reused = 0, orphans = 0;
    int shipdeaths = 0, maxsounds = 0;
    for (int f = 0; f < frames; f++) {
        /* keep the level full of targets */
        int want = (f % 200 < 100) ? 1024 : 700;
        for (int n = 0; n < 40 && G_GentityCount() < want; n++)
            if (!SpawnTarget())
                break;
        /* the player fires plasma every frame, a glibber and a capsule now and then */
        float aim[3] = {Rand01() - 0.5f, Rand01() - 0.5f, -Rand01()};
        Vec_Normalize(aim);
        const float muzzle[3] = {0, -5, -30};
        FirePlasma(muzzle, aim, player);
        if (f % 10 == 0)
            FireGlibber(muzzle, aim, player);
        if (f % 15 == 0)
            FireHomingCapsule(muzzle, aim, player);
        /* an enemy ship goes up every two seconds */
        if (f % 40 == 0) {
            gentity_t *s = AnyOf(MC_TARGET, SUB_ENEMYSHIP);
            if (s && s->ent->touch) {
                Target_ShipDie(s);
                shipdeaths++;
            }
        }
        /* the homing target dies and its slot is taken in the same frame */
        gentity_t *lock = Missile_HomingLock(nullptr);
        if (f % 7 == 0 && lock && lock->state == GS_INUSE) {
            G_Remove(lock);
            G_Sweep();
            gentity_t *n = SpawnTarget();
            if (n == lock)
                reused++;
        }
        /* a racer fires and dies; its slot goes to someone else */
        if (f % 25 == 0) {
            gentity_t *r = AnyOf(MC_TARGET, SUB_RACER01);
            if (r) {
                float d[3];
                Vec_Scale(r->ent->origin, -1.0f, d);
                Vec_Normalize(d);
                FireGlibber(r->ent->origin, d, r);
                FirePlasma(r->ent->origin, d, r);
                G_Remove(r);
                orphans++;
            }
        }
        world::Frame(dt);
        CheckBooks();
        if (HasFatalFailure())
            return;
        maxcount = std::max(maxcount, G_GentityCount());
        maxeffects = std::max(maxeffects, G_ParticleCount());
        maxsounds = std::max(maxsounds, harness::Count(MC_SOUND));
        fullframes += G_GentityCount() >= 1024;
    }
    EXPECT_EQ((std::vector<int>{maxcount, maxeffects, maxsounds}), (std::vector<int>{1024, 682, 16}));
    EXPECT_TRUE(fullframes > 0 && shipdeaths > 10 && reused > 0 && orphans > 10)
        << fullframes << " " << shipdeaths << " " << reused << " " << orphans;
    EXPECT_GE(player->score, 0);

    /* the end of the game: everything goes, nothing stays behind */
    G_RemoveAllAfterCache();
    world::Frame(dt);
    world::Frame(dt);
    EXPECT_EQ((std::vector<int>{G_GentityCount(), G_ParticleCount(), Ent_LiveCount()}), (std::vector<int>{0, 0, 0}));
    for (int i = 0; i < 16; i++) {
        sound_t *s = SFX_PoolEntry(i);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->inuse, 0) << "source " << i;
    }
    world::Reset();
}

} // namespace
