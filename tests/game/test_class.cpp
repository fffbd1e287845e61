/*
 * Classes and gentities: the class table and its lookups, the pool and
 * particle limits, removal and the sweep, the class cache with its chains,
 * and the spawn scheduler driven frame by frame with a controlled clock
 * (made-up repeats, file order, spawn-in fade, the world sphere).
 */
#include <gtest/gtest.h>

#include <stdlib.h>
#include <strings.h>

#include <set>

#include "game_harness.h"

namespace {

class Classes : public testing::Test {
protected:
    void SetUp() override
    {
        harness::Reset();
        memset(&lv, 0, sizeof(lv));
        Level_InitLists(&lv);
    }
    void TearDown() override { Level_FreeSpawns(&lv); }

    spawnrec_t *Add(float t, float period, const char *name, float x = 0, float y = 0,
                    float z = -300)
    {
        spawnrec_t *r = (spawnrec_t *)calloc(1, sizeof(*r));
        r->spawntime = t;
        r->respawnperiod = period;
        snprintf(r->name, sizeof(r->name), "%s", name);
        Vec_Set(r->pos, x, y, z);
        Vec_Set(r->dir, 0, 0, 1);
        r->speed = 25;
        const classrow_t *row = G_ClassByName(name);
        r->kind = row->kind;
        r->param = row->param;
        r->mainclass = row->mainclass;
        r->subclass = row->subclass;
        Level_InsertSpawn(&lv, r);
        return r;
    }

    /* One action frame as the flow runs it: clock, schedule, sweep. */
    int Frame(float t)
    {
        harness::SetTime(t);
        int before = G_GentityCount();
        SC_CheckNewSpawns(&lv, t);
        int after = G_GentityCount();
        return after - before;
    }

    std::vector<std::string> CachedNames()
    {
        std::vector<std::string> v;
        for (int i = 0; i < G_PrecachedCount(); i++)
            v.push_back(g_entities[i].classname);
        return v;
    }

    level_t lv;
};

TEST_F(Classes, TableHas54RowsWithUniqueSubclasses)
{
    std::set<int> subs;
    int levelrows = 0;
    for (int i = 0; i < CLASS_COUNT; i++) {
        subs.insert(g_classes[i].subclass);
        levelrows += g_classes[i].levelflag;
        if (g_classes[i].kind != ENT_MODEL) {
            EXPECT_EQ(g_classes[i].param, 0) << g_classes[i].classname;
        }
    }
    EXPECT_EQ(subs.size(), 54u);
    EXPECT_EQ(levelrows, 30);
    EXPECT_EQ(G_ClassByIndex(-1), nullptr);
    EXPECT_EQ(G_ClassByIndex(54), nullptr);
    EXPECT_STREQ(G_ClassByIndex(0)->classname, "player_client");
    EXPECT_STREQ(G_ClassByIndex(53)->classname, "item_bomusweapon");
    EXPECT_EQ(G_ClassByName("ChIcKeN")->subclass, 7);
    EXPECT_EQ(G_ClassByName("chick"), nullptr);
    EXPECT_EQ(G_ClassByName(nullptr), nullptr);
    EXPECT_STREQ(G_ClassByNumbers(10, 51)->medianame, "Shot03icon");
    EXPECT_EQ(G_ClassByNumbers(1, 51), nullptr);
    EXPECT_EQ(G_ClassByNumbers(4, 39)->param, 2);
    EXPECT_EQ(G_ClassByNumbers(8, 5)->param, 3);
}

TEST_F(Classes, SpawnFillsTheRecord)
{
    harness::gametime = 12.5f;
    G_SetFadeLevel(0.25f);
    gentity_t *a = G_SpawnByClass(8, 3);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->state, GS_INUSE);
    EXPECT_EQ(a->ent->u.mdl.collmode, 3);
    EXPECT_FLOAT_EQ(a->ent->brightness, 0.25f);
    EXPECT_EQ(a->ent->gameslot, 0);
    EXPECT_FLOAT_EQ(a->spawntime, 12.5f);
    EXPECT_FLOAT_EQ(a->health, 1.0f);
    EXPECT_FLOAT_EQ(a->damage, 0.0f);
    EXPECT_STREQ(a->classname, "client_cockpit");
    EXPECT_EQ(harness::spawned.back(), "cockpit");
    gentity_t *s = G_SpawnSound("sounds/x.wav");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->mainclass, 12);
    EXPECT_EQ(s->subclass, 54);
    EXPECT_STREQ(s->classname, "class_sound");
    EXPECT_EQ(s->ent->kind, ENT_SOUND);
    gentity_t *p = G_SpawnParticle();
    EXPECT_EQ(p->ent->kind, ENT_PARTICLE);
    EXPECT_STREQ(p->medianame, "(particle)");
    EXPECT_EQ(G_SpawnImage(49)->ent->kind, ENT_IMAGE);
    EXPECT_EQ(G_SpawnText(48)->ent->kind, ENT_TEXT);
    EXPECT_EQ(G_GentityOf(a->ent), a);
    EXPECT_EQ(G_GentityOf(p->ent), p);
    EXPECT_EQ(G_GentityCount(), 5);
    /* a slot reused after the sweep starts from zero */
    a->score = 77;
    G_Remove(a);
    G_Sweep();
    gentity_t *b = G_SpawnByClass(1, 7);
    EXPECT_EQ(b, a);
    EXPECT_EQ(b->score, 0);
    G_SetFadeLevel(1.0f);
}

TEST_F(Classes, FailedEngineSpawnLeavesNoTrace)
{
    harness::failspawns = 1;
    EXPECT_EQ(G_SpawnByClass(1, 7), nullptr);
    EXPECT_EQ(G_GentityCount(), 0);
    EXPECT_EQ(G_SpawnByClass(1, 99), nullptr);
    EXPECT_TRUE(harness::Logged("no class (1, 99)"));
}

TEST_F(Classes, PoolRefusesThe1025thUntilTheSweep)
{
    for (int i = 0; i < GENT_MAX; i++)
        ASSERT_NE(G_SpawnByClass(7, 1), nullptr) << i;
    EXPECT_EQ(G_SpawnByClass(1, 7), nullptr);
    EXPECT_TRUE(harness::Logged("- Spawn (chicken) - already too many gentities\n"));
    G_Remove(&g_entities[500]);
    EXPECT_EQ(g_entities[500].state, GS_REMOVED);
    EXPECT_EQ(G_GentityCount(), 1024);
    EXPECT_EQ(G_SpawnByClass(1, 7), nullptr);
    harness::Purge();
    G_Sweep();
    EXPECT_EQ(G_GentityCount(), 1023);
    gentity_t *g = G_SpawnByClass(1, 7);
    EXPECT_EQ(g, &g_entities[500]);
}

TEST_F(Classes, At682ParticlesSpawnsAreRefusedSilently)
{
    for (int i = 0; i < 682; i++)
        ASSERT_NE(G_SpawnParticle(), nullptr) << i;
    harness::log.clear();
    EXPECT_EQ(G_SpawnParticle(), nullptr);
    EXPECT_EQ(G_SpawnByClass(6, 46), nullptr); /* a feather is mainclass 6 too */
    EXPECT_EQ(harness::log, "");
    EXPECT_EQ(G_ParticleCount(), 682);
    EXPECT_NE(G_SpawnByClass(1, 7), nullptr);
    /* removing one lets one more in at once (the count is of state 1) */
    G_Remove(&g_entities[0]);
    EXPECT_EQ(G_ParticleCount(), 681);
    EXPECT_NE(G_SpawnParticle(), nullptr);
}

TEST_F(Classes, RemoveAffectsOnlyInUse)
{
    gentity_t *p = G_SpawnParticle();
    G_Remove(p);
    G_Remove(p);
    EXPECT_EQ(G_ParticleCount(), 0);
    G_Remove(nullptr);
    gentity_t free_slot;
    memset(&free_slot, 0, sizeof(free_slot));
    G_Remove(&free_slot); /* state 0: nothing, no engine call */
    EXPECT_EQ(G_GentityCount(), 1);
}

TEST_F(Classes, SweepRemovesWhatLeftTheWorld)
{
    gentity_t *in = G_SpawnByClass(1, 7);
    gentity_t *out = G_SpawnByClass(1, 7);
    gentity_t *sound = G_SpawnSound("sounds/x.wav");
    gentity_t *edge = G_SpawnByClass(2, 16);
    Vec_Set(in->ent->origin, 0, 0, -692);
    Vec_Set(out->ent->origin, 0, 0, -700);
    Vec_Set(sound->ent->origin, 5000, 0, 0);
    Vec_Set(edge->ent->origin, 400, 400, 400); /* 480000: on the sphere counts inside */
    G_Sweep();
    EXPECT_EQ(in->state, GS_INUSE);
    EXPECT_EQ(out->state, GS_REMOVED);
    EXPECT_EQ(out->ent->state, ES_PENDREMOVE);
    EXPECT_EQ(sound->state, GS_INUSE);
    EXPECT_EQ(edge->state, GS_INUSE);
    EXPECT_EQ(G_GentityCount(), 4);
    G_Sweep();
    EXPECT_EQ(out->state, GS_FREE);
    EXPECT_EQ(G_GentityCount(), 3);
}

TEST_F(Classes, IterationAndSweepSkipTheCache)
{
    Add(1, 0, "chicken");
    ASSERT_EQ(_CacheClasses(&lv), 1);
    int cached = G_PrecachedCount();
    ASSERT_GT(cached, 0);
    EXPECT_EQ(G_NextInUse(nullptr), nullptr);
    gentity_t *a = G_SpawnByClass(1, 7);
    gentity_t *b = G_SpawnByClass(1, 8);
    gentity_t *c = G_SpawnByClass(1, 9);
    EXPECT_EQ(a - g_entities, cached);
    G_Remove(b);
    EXPECT_EQ(G_NextInUse(nullptr), a);
    EXPECT_EQ(G_NextInUse(a), c);
    EXPECT_EQ(G_NextInUse(c), nullptr);
    /* cached gentities far outside stay: the sweep starts after them */
    Vec_Set(g_entities[0].ent->origin, 1e6f, 0, 0);
    G_Sweep();
    EXPECT_EQ(g_entities[0].state, GS_INUSE);
    G_RemoveAllAfterCache();
    EXPECT_EQ(a->state, GS_REMOVED);
    EXPECT_EQ(g_entities[0].state, GS_INUSE);
    G_RemoveCache();
    EXPECT_EQ(g_entities[0].state, GS_REMOVED);
    EXPECT_EQ(G_PrecachedCount(), 0);
}

TEST_F(Classes, CacheHoldsFixedClassesAndTheLevelChains)
{
    Add(1, 0, "motherchicken");
    Add(2, 0, "Egg");
    Add(3, 0, "enemy-ship");
    Add(4, 0, "p03");
    ASSERT_EQ(_CacheClasses(&lv), 1);
    auto names = CachedNames();
    ASSERT_EQ(names.size(), 24u + 6u);
    std::vector<std::string> tail(names.end() - 6, names.end());
    std::vector<std::string> want = {"motherchicken", "egg", "chicken",
                                     "enemy-ship", "bombe", "p03"};
    EXPECT_EQ(tail, want);
    EXPECT_EQ(names[0], "player_client");
    for (int i = 0; i < G_PrecachedCount(); i++)
        EXPECT_EQ(g_entities[i].ent->state, ES_HIDDEN);
    EXPECT_EQ(G_PrecachedCount(), G_GentityCount());
    EXPECT_TRUE(harness::Logged("* caching non-scriptable entity classes...\n"
                                "* caching level entity classes...\nOK\n"));
}

TEST_F(Classes, CacheChainsEachOnTheirOwn)
{
    struct {
        const char *placed;
        std::vector<std::string> want;
    } cases[] = {{"egg", {"egg", "chicken"}},
                 {"enemy-ship", {"enemy-ship", "bombe"}},
                 {"satellit", {"satellit"}}};
    for (auto &c : cases) {
        harness::Reset();
        Level_FreeSpawns(&lv);
        Add(1, 0, c.placed);
        Add(2, 0, c.placed);
        ASSERT_EQ(_CacheClasses(&lv), 1);
        auto names = CachedNames();
        std::vector<std::string> tail(names.begin() + 24, names.end());
        EXPECT_EQ(tail, c.want) << c.placed;
    }
}

TEST_F(Classes, CacheFailureNamesTheClass)
{
    harness::failspawns = 1;
    EXPECT_EQ(_CacheClasses(&lv), 0);
    EXPECT_TRUE(harness::Logged("# _CacheClasses: could not spawn 'player_client'\n"));
}

TEST_F(Classes, BehaviourTableSetsHealthAndDamage)
{
    struct {
        int mc, sc;
        float health, damage;
    } cases[] = {{1, 7, 2, 0},   {1, 10, 15, 0},  {1, 11, 12, 0}, {1, 13, 4, 2},
                 {1, 15, 15, 10}, {2, 20, 1, 10}, {3, 22, 1, 1},  {3, 25, 0, 0},
                 {3, 30, 1, 0},   {4, 37, 1, 0}};
    for (auto &c : cases) {
        gentity_t *g = G_SpawnByClass(c.mc, c.sc);
        ASSERT_NE(g, nullptr);
        G_StartClassBehaviour(g);
        EXPECT_FLOAT_EQ(g->health, c.health) << c.sc;
        EXPECT_FLOAT_EQ(g->damage, c.damage) << c.sc;
    }
}

TEST_F(Classes, RepeatsAreMadeUpFrameByFrame)
{
    Add(1, 0.5f, "chicken");
    EXPECT_EQ(Frame(0.9f), 0);
    EXPECT_EQ(Frame(2.2f), 1); /* spawntime 1 */
    EXPECT_EQ(Frame(2.3f), 1); /* 1.5 */
    EXPECT_EQ(Frame(2.4f), 1); /* 2.0 */
    EXPECT_EQ(Frame(2.45f), 0);
    EXPECT_EQ(Frame(2.5f), 1);
    EXPECT_FLOAT_EQ(lv.pending.next->spawntime, 3.0f);
}

TEST_F(Classes, RepeatsBehindTheWalkAreMadeUpInTheSameCall)
{
    Add(1, 0.5f, "chicken");
    Add(1, 0, "ballon");
    /* the chicken's repeat (1.5) lands behind the ballon, where the walk
     * goes on, so it comes again in this call; its next (2.0) lands at
     * the end, behind the point the walk already left */
    harness::spawned.clear();
    EXPECT_EQ(Frame(2.2f), 3);
    std::vector<std::string> want = {"chicken", "ballon", "chicken"};
    EXPECT_EQ(harness::spawned, want);
    EXPECT_EQ(Frame(2.3f), 1);
    EXPECT_EQ(Frame(2.35f), 0);
    /* a record that lands in front of the continuation waits */
    Add(10, 0, "egg");
    EXPECT_EQ(Frame(4.0f), 1);
}

TEST_F(Classes, OnceOnlyRecordsFinish)
{
    spawnrec_t *a = Add(0, -1, "chicken");
    spawnrec_t *b = Add(0, 0, "ballon");
    EXPECT_EQ(Frame(0.0f), 2);
    EXPECT_EQ(lv.pending.next, &lv.pending);
    EXPECT_EQ(lv.finished, b);
    EXPECT_EQ(lv.finished->next, a);
    EXPECT_EQ(Frame(10.0f), 0);
}

TEST_F(Classes, PeriodTooSmallToAdvanceEndsTheRepeats)
{
    Add(1e8f, 1.0f, "chicken"); /* 1e8 + 1 is 1e8 in float */
    Add(1e8f, 1.0f, "ballon");
    EXPECT_EQ(Frame(2e8f), 2);
    EXPECT_EQ(Level_PendingCount(&lv), 0);
}

TEST_F(Classes, EqualTimesSpawnInFileOrder)
{
    Add(1, 0, "egg");
    Add(1, 0, "komet");
    Add(1, 0, "ballon");
    harness::spawned.clear();
    Frame(1.0f);
    std::vector<std::string> want = {"egg", "komet", "ballon"};
    EXPECT_EQ(harness::spawned, want);
}

TEST_F(Classes, ScheduledSpawnTakesPositionDirectionSpeed)
{
    spawnrec_t *r = Add(0, 0, "chicken", 10, 20, -300);
    Vec_Set(r->dir, 1, 0, 0);
    Frame(0.0f);
    gentity_t *g = &g_entities[0];
    ASSERT_EQ(g->state, GS_INUSE);
    EXPECT_FLOAT_EQ(g->ent->origin[0], 10);
    EXPECT_FLOAT_EQ(g->ent->origin[1], 20);
    EXPECT_FLOAT_EQ(g->ent->origin[2], -300);
    EXPECT_FLOAT_EQ(g->ent->speed, 25);
    EXPECT_NEAR(g->ent->vec2[2], -1.0f, 1e-6f); /* oriented to its direction */
    EXPECT_NEAR(g->ent->angles[1], 90.0f, 1e-3f);
    EXPECT_FLOAT_EQ(g->health, 2.0f);
}

void MarkThink(entity_t *e) { e->angles[2] = 123.0f; }
void MarkTouch(entity_t *, entity_t *) {}

TEST_F(Classes, ChickenFadesInOverOneSecondPlanetShowsAtOnce)
{
    Add(0, 0, "chicken");
    Add(0, 0, "p03");
    Frame(0.0f);
    entity_t *chick = g_entities[0].ent, *planet = g_entities[1].ent;
    EXPECT_FLOAT_EQ(planet->color[0], 1.0f);
    EXPECT_EQ(planet->think, nullptr);
    EXPECT_FLOAT_EQ(chick->color[0], 0.0f);
    EXPECT_EQ(chick->think, SC_SpawnInThink);
    EXPECT_EQ(chick->touch, nullptr);
    /* what the class installed comes back after the fade */
    g_entities[0].saved_think = MarkThink;
    g_entities[0].saved_touch = MarkTouch;
    g_entities[0].saved_nextthink = 7.0f;
    for (float t : {0.25f, 0.5f, 0.75f}) {
        harness::SetTime(t);
        harness::Think();
        EXPECT_FLOAT_EQ(chick->color[1], t);
        EXPECT_EQ(chick->think, SC_SpawnInThink);
    }
    harness::SetTime(1.0f);
    harness::Think();
    EXPECT_FLOAT_EQ(chick->color[0], 1.0f);
    EXPECT_FLOAT_EQ(chick->color[2], 1.0f);
    EXPECT_EQ(chick->think, MarkThink);
    EXPECT_EQ(chick->touch, MarkTouch);
    EXPECT_FLOAT_EQ(chick->nextthink, 7.0f);
}

TEST_F(Classes, OutsideTheWorldWarnsAndTheSameFramesSweepRemoves)
{
    Add(0, 0, "chicken", 0, 0, -700);
    Frame(0.0f);
    EXPECT_TRUE(harness::Logged(
        "- WARNING: spawned 'chicken' outside world: 0.000000 0.000000 -700.000000\n"));
    EXPECT_EQ(g_entities[0].state, GS_INUSE);
    G_Sweep();
    EXPECT_EQ(g_entities[0].state, GS_REMOVED);
}

TEST_F(Classes, FailedScheduledSpawnIsLoggedAndRescheduled)
{
    Add(1, 2, "racer02");
    harness::failspawns = 1;
    EXPECT_EQ(Frame(1.0f), 0);
    EXPECT_TRUE(harness::Logged("# SC_CheckNewSpawns: could not spawn 'racer02'\n"));
    EXPECT_FLOAT_EQ(lv.pending.next->spawntime, 3.0f);
}

TEST_F(Classes, SettersWriteOnlyTheirKind)
{
    gentity_t *m = G_SpawnByClass(1, 7);
    gentity_t *t = G_SpawnText(48);
    gentity_t *i = G_SpawnImage(50);
    G_SetModelScale(m, 0.01f);
    G_SetModelFrameRate(m, 1.6f);
    G_SetCollisionMode(m, 2);
    EXPECT_FLOAT_EQ(m->ent->u.mdl.scale, 0.01f);
    EXPECT_FLOAT_EQ(m->ent->u.mdl.framerate, 1.6f);
    EXPECT_EQ(m->ent->u.mdl.collmode, 2);
    G_SetTextSize(t, 25);
    G_SetTextShadow(t, 7);
    G_SetTextInWorld(t, -1);
    EXPECT_FLOAT_EQ(t->ent->u.txt.size, 25);
    EXPECT_EQ(t->ent->u.txt.shadow, 1);
    EXPECT_EQ(t->ent->u.txt.inworld, 1);
    G_SetImageSize(i, 40, 30);
    EXPECT_FLOAT_EQ(i->ent->u.img.width, 40);
    EXPECT_FLOAT_EQ(i->ent->u.img.height, 30);
    /* a text setter on a model does not scribble over the model fields */
    G_SetTextSize(m, 99);
    EXPECT_FLOAT_EQ(m->ent->u.mdl.scale, 0.01f);
    G_SetModelScale(nullptr, 1);
}

} // namespace
