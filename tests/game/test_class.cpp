/* Classes and gentities on the stand-in engine: pool, class cache, spawn scheduler. */
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include "gk_standin.h"

namespace {

struct Classes : testing::Test {
    void SetUp() override
    {
        harness::Reset();
        Level_InitLists(&lv);
    }
    void TearDown() override { Level_FreeSpawns(&lv); }

    spawnrec_t *Add(float t, float period, const char *name)
    {
        const auto *row = G_ClassByName(name);
        spawnrec_t *r = (spawnrec_t *)calloc(1, sizeof(*r));
        *r = {.spawntime = t, .respawnperiod = period, .name = "", .pos = {0, 0, -300}, .dir = {0, 0, 1},
              .speed = 25, .mainclass = row->mainclass, .subclass = row->subclass, .prev = nullptr, .next = nullptr};
        snprintf(r->name, sizeof(r->name), "%s", name);
        Level_InsertSpawn(&lv, r);
        return r;
    }

    /* One action frame's schedule; returns how many gentities it added. */
    int Frame(float t)
    {
        harness::SetTime(t);
        int before = G_GentityCount();
        SC_CheckNewSpawns(&lv, t);
        return G_GentityCount() - before;
    }

    level_t lv{};
};

TEST_F(Classes, SpawnFillsTheRecordAndAReusedSlotStartsFromZero)
{
    harness::gametime = 12.5f;
    G_SetFadeLevel(0.25f);
    gentity_t *a = G_SpawnByClass(MC_ATTACHMENT, SUB_CLIENT_COCKPIT);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->ent->u.mdl.collmode, 3); /* attached to the view */
    EXPECT_EQ((std::vector<float>{a->ent->brightness, a->spawntime}), (std::vector<float>{0.25f, 12.5f}));
    EXPECT_EQ(G_SpawnByClass(MC_MISSILE, SUB_MISSILE_PLASMA)->ent->u.mdl.collmode, 2);
    gentity_t *p = G_SpawnParticle();
    EXPECT_EQ(G_GentityOf(p->ent), p);
    a->score = 77;
    G_Remove(a);
    G_Remove(a); /* only gentities in use are removed */
    G_Remove(nullptr);
    G_Sweep();
    gentity_t *b = G_SpawnByClass(MC_TARGET, SUB_CHICKEN);
    EXPECT_TRUE(b == a && b->score == 0 && b->ent->u.mdl.collmode == 1) << "the slot reused, the record new, a model";
    G_SetFadeLevel(1.0f);
    harness::failspawns = 1;
    EXPECT_EQ(G_SpawnByClass(MC_TARGET, SUB_CHICKEN), nullptr);
    EXPECT_EQ(G_GentityCount(), 3);
    EXPECT_EQ(G_SpawnByClass(MC_TARGET, 99), nullptr);
}

TEST_F(Classes, PoolHolds1024GentitiesOf682Effects)
{
    std::vector<gentity_t *> fx;
    for (int i = 0; i < 682; i++)
        fx.push_back(G_SpawnParticle());
    ASSERT_NE(fx.back(), nullptr);
    EXPECT_TRUE(G_SpawnParticle() == nullptr && harness::log.empty()) << "the 683rd effect, refused silently: " << harness::log;
    G_Remove(fx[0]); /* an effect's place is free at once */
    harness::Purge();
    EXPECT_NE(G_SpawnParticle(), nullptr);
    std::vector<gentity_t *> made;
    while (G_GentityCount() < 1024 && made.size() < 1024)
        made.push_back(G_SpawnByClass(MC_TARGET, SUB_CHICKEN));
    EXPECT_EQ(made.back(), &g_entities[1023]);
    EXPECT_EQ(G_SpawnByClass(MC_TARGET, SUB_CHICKEN), nullptr) << "the 1025th";
    G_Remove(made[0]);
    harness::Purge();
    EXPECT_EQ(G_SpawnByClass(MC_TARGET, SUB_CHICKEN), nullptr) << "free only after the sweep";
    G_Sweep();
    EXPECT_NE(G_SpawnByClass(MC_TARGET, SUB_CHICKEN), nullptr);
}

TEST_F(Classes, TheSweepKeepsWhatIsOnTheWorldSphereAndRemovesWhatIsPast)
{
    /* the world's radius is the square root of 480 000 */
    gentity_t *on = G_SpawnByClass(MC_TARGET, SUB_CHICKEN), *past = G_SpawnByClass(MC_TARGET, SUB_CHICKEN),
              *text = G_SpawnText(SUB_TEXT_FONT_TECH);
    Vec_Set(on->ent->origin, 400, 400, 400);
    Vec_Set(past->ent->origin, 400, 400, 401);
    Vec_Set(text->ent->origin, 400, 400, 401);
    G_Sweep();
    EXPECT_EQ((std::vector<int>{on->state, past->state, text->state}), (std::vector<int>{GS_INUSE, GS_REMOVED, GS_INUSE}))
        << "texts are not in the world";
}

TEST_F(Classes, CacheHoldsTheLevelClassesWithTheirProductsAndIsSkipped)
{
    struct { std::vector<const char *> placed; std::vector<std::string> want; } cases[] = {
        {{"motherchicken", "Egg", "enemy-ship", "p03"},
         {"motherchicken", "egg", "chicken", "enemy-ship", "bombe", "p03"}},
        {{"egg", "egg"}, {"egg", "chicken"}}, {{"enemy-ship", "enemy-ship"}, {"enemy-ship", "bombe"}},
        {{"satellit"}, {"satellit"}}};
    for (auto &c : cases) {
        harness::Reset();
        Level_FreeSpawns(&lv);
        for (const char *name : c.placed)
            Add(1, 0, name);
        ASSERT_TRUE(_CacheClasses(&lv));
        std::vector<std::string> tail;
        int n = G_PrecachedCount();
        for (int i = n - (int)c.want.size(); i < n; i++)
            tail.push_back(g_entities[i].classname);
        EXPECT_EQ(tail, c.want) << c.placed[0];
        for (int i = 0; i < n; i++)
            EXPECT_EQ(g_entities[i].ent->state, ES_HIDDEN);
        EXPECT_EQ(n, G_GentityCount());
    }
    /* iteration and the sweep skip the cache */
    int cached = G_PrecachedCount();
    EXPECT_EQ(G_NextInUse(nullptr), nullptr);
    gentity_t *a = G_SpawnByClass(MC_TARGET, SUB_CHICKEN), *b = G_SpawnByClass(MC_TARGET, SUB_SUPERCHICKEN),
              *c = G_SpawnByClass(MC_TARGET, SUB_BOMBE);
    EXPECT_EQ(a - g_entities, cached);
    G_Remove(b);
    EXPECT_EQ((std::vector<gentity_t *>{G_NextInUse(nullptr), G_NextInUse(a), G_NextInUse(c)}),
              (std::vector<gentity_t *>{a, c, nullptr}));
    /* cached gentities far outside stay: the sweep starts after them */
    Vec_Set(g_entities[0].ent->origin, 1e6f, 0, 0);
    G_Sweep();
    EXPECT_EQ(g_entities[0].state, GS_INUSE);
    G_RemoveAllAfterCache();
    EXPECT_TRUE(a->state == GS_REMOVED && g_entities[0].state == GS_INUSE);
    G_RemoveCache();
    EXPECT_EQ(g_entities[0].state, GS_REMOVED);
}

/* Caching with no memory left is told at the entity it stopped at and fails the set-up. */
TEST_F(Classes, CachingOutOfMemoryFails)
{
    EXPECT_EXIT({
        harness::log.reserve(4096); /* the log needs no more memory */
        struct rlimit rl{};
        rl.rlim_cur = rl.rlim_max = 1 << 20; /* less than the process has: nothing more is mapped */
        setrlimit(RLIMIT_AS, &rl);
        void *volatile kept;
        do kept = malloc(1); while (kept); /* and the heap is used up */
        int ok = _CacheClasses(&lv);
        fputs(harness::log.c_str(), stderr);
        _exit(ok ? 3 : 0);
    }, testing::ExitedWithCode(0), "classes...\n_CacheClasses: out of mem at entity #1\n$");
}

TEST_F(Classes, RepeatsBehindTheWalkAreMadeUpInTheSameCall)
{
    Add(1, 0.5f, "chicken");
    Add(1, 0, "ballon");
    /* the chicken's 1.5 repeat lands behind the ballon: made up in this call */
    harness::spawned.clear();
    EXPECT_EQ(Frame(2.2f), 3);
    std::vector<std::string> want = {"chicken", "ballon", "chicken"};
    EXPECT_EQ(harness::spawned, want);
    EXPECT_EQ((std::vector<int>{Frame(2.3f), Frame(2.35f)}), (std::vector<int>{1, 0}));
    /* a record that lands in front of the continuation waits */
    Add(10, 0, "egg");
    EXPECT_EQ(Frame(4.0f), 1);
}

TEST_F(Classes, OnceOnlyRecordsFinishAndTooSmallPeriodsEnd)
{
    spawnrec_t *a = Add(0, -1, "chicken");
    spawnrec_t *b = Add(0, 0, "ballon");
    EXPECT_EQ(Frame(0.0f), 2);
    EXPECT_EQ((std::vector<const void *>{lv.pending.next, lv.finished, lv.finished->next}),
              (std::vector<const void *>{&lv.pending, b, a})) << "none pending, finished in turn";
    EXPECT_EQ(Frame(10.0f), 0);
    Add(1e8f, 1.0f, "chicken"); /* 1e8 + 1 is 1e8 in float */
    Add(1e8f, 1.0f, "ballon");
    EXPECT_EQ(Frame(2e8f), 2);
    EXPECT_EQ(Level_PendingCount(&lv), 0);
    for (int i = 0; i < 4097; i++)     /* one call takes at most 4096 records: a level cannot stall a frame */
        Add(3e8f, -1, "ballon");
    Frame(3e8f);
    EXPECT_EQ(Level_PendingCount(&lv), 1);
}

TEST_F(Classes, FailedSpawnsAreRescheduled)
{
    Add(1, 2, "racer02");
    harness::failspawns = 1;
    EXPECT_EQ(Frame(1.0f), 0);
    EXPECT_FLOAT_EQ(lv.pending.next->spawntime, 3.0f);
}

} // namespace
