/* test_entity.cpp -- the entity store with real resources */
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "collision.h"
#include "entity.h"
#include "font.h"
#include "gk_mesh.h"
#include "gk_support.h"
#include "model.h"
#include "module.h"
#include "sound.h"
#include "texture.h"
#include "tgawriter.h"
#include "wavwriter.h"

namespace {

std::vector<std::string> calls;   /* what the callbacks saw, in order */

/* A model of one triangle per mesh, with the given frame count per mesh. */
bool WriteModel(const std::string &path, const std::vector<uint32_t> &frames)
{
    std::vector<mdl_mesh_t> meshes;
    for (uint32_t n : frames)
        meshes.push_back(gk::MakeMesh("mesh", std::vector<std::vector<float>>(n, {0, 0, 0, 1, 0, 0, 0, 1, 0}),
                                      {0, 1, 2}, {}, {}, -1));
    bool ok = Model_WriteFile((path + ".dmo").c_str(), NULL, 0, meshes.data(), (uint32_t)meshes.size()) == 1;
    for (mdl_mesh_t &m : meshes)
        Model_FreeMesh(&m);
    return ok;
}

struct Entities : testing::Test {
    static inline gk::TempDir *dir;

    static void SetUpTestSuite()
    {
        dir = new gk::TempDir();
        ASSERT_TRUE(dir->Enter());
        Com_Strncpy(com_datadir, "data/", MAX_OSPATH);
        for (const char *d : {"data/models", "data/fonts", "data/pics", "sounds"})
            gk::MakeDirs(d);
        ASSERT_TRUE(WriteModel("data/models/ship", {10, 4}) && WriteModel("data/models/still", {1}) &&
                    WriteModel("data/models/empty", {}) && WriteModel("data/models/noframes", {0}));
        const float lo[3] = {2, -5, -3}, hi[3] = {12, 5, 9}; /* a closed box off its origin */
        ASSERT_TRUE(gk::WriteBoxModel("data/models/box", lo, hi));
        for (const char *font : {"data/fonts/big_49", "data/fonts/big", "data/fonts/plain"})
            ASSERT_TRUE(gk::WriteFont(font, 8, "A 0 0 8 8\nB 8 0 16 8\n"));
        ASSERT_TRUE(gk::WriteFile("data/pics/logo.tga", gk::SolidRgba(24, 12, 64, 128, 192, 255)));
        gk::WavSpec s;
        ASSERT_TRUE(gk::WriteWav("sounds/blip.wav", s, gk::WavTone(s, 441)));
        if (SFX_Init())
            SFX_CacheFile("sounds/blip.wav");
    }
    static void TearDownTestSuite()
    {
        Ent_Reset();
        SFX_Shutdown();
        delete dir;
    }
    void SetUp() override
    {
        Ent_Reset();
        calls.clear();
        mod_running = 1;
        com_countrycode = 49;
        eng_gametime = eng_lastgametime = 100.0f;
    }
    void TearDown() override
    {
        Ent_Reset();
        mod_running = 0;
    }
    static void Frame(float dt)
    {
        eng_lastgametime = eng_gametime;
        eng_gametime += dt;
        Ent_Motion();
        Ent_ThinkTouch();
        Ent_Purge();
    }
    static entity_t *Toucher(const char *tag, float x)
    {
        entity_t *e = Ent_Spawn("models/still", ENT_MODEL);
        if (!e)
            return NULL;
        Com_Strncpy(e->name, tag, sizeof(e->name));
        e->origin[0] = x;
        e->u.mdl.radius = 10.0f;
        e->touch = [](entity_t *self, entity_t *other) {
            calls.push_back(std::string(self->name) + ">" + other->name);
        };
        return e;
    }
};

TEST_F(Entities, PoolHoldsExactly1024AndReusesTheFreedSlot)
{
    std::vector<entity_t *> all;
    for (int i = 0; i < 1024; i++)
        all.push_back(Ent_Spawn("n", ENT_NOMEDIA));
    ASSERT_NE(nullptr, all[1023]);
    EXPECT_EQ(nullptr, Ent_Spawn("n", ENT_NOMEDIA)) << "the 1025th";
    all[700]->gameslot = 77;
    all[700]->speed = 9.0f;
    Ent_PendRemove(all[700]);
    Ent_Purge();
    EXPECT_EQ(1023, Ent_LiveCount());
    entity_t *again = Ent_Spawn("again", ENT_NOMEDIA), *last = NULL;
    EXPECT_TRUE(again == all[700] && again->gameslot == 0 && again->speed == 0) << "the slot reused, its record cleared";
    for (entity_t *e = Ent_First(); e; e = Ent_Next())
        last = e;
    EXPECT_EQ(again, last) << "the reused slot sits at the end of the active list";
}

TEST_F(Entities, BadNamesAndMissingResourcesLeaveTheStoreAlone)
{
    std::string ok(127, 'x'), toolong(128, 'x');
    entity_t *e = Ent_Spawn(ok.c_str(), 42); /* a kind without media of its own */
    ASSERT_TRUE(e && e->kind == 42);
    const std::pair<std::string, int> refused[] = {{toolong, ENT_NOMEDIA}, {toolong + "yyyy", ENT_MODEL}, {"models/nothere", ENT_MODEL},
        {"models/noframes", ENT_MODEL}, {"pics/nothere", ENT_IMAGE}, {"sounds/uncached.wav", ENT_SOUND}};
    for (const auto &r : refused)
        EXPECT_EQ(nullptr, Ent_Spawn(r.first.c_str(), r.second)) << r.first;
    EXPECT_EQ(nullptr, Ent_Spawn(NULL, ENT_NOMEDIA));
    EXPECT_TRUE(Ent_LiveCount() == 1 && !Ent_PendRemove(NULL)) << Ent_LiveCount();
}

/* Each kind takes its resource at spawn and gives it back at the purge */
TEST_F(Entities, ResourcesTakenAtSpawnAndReleasedAtPurge)
{
    int models = Model_CacheCount(), texes = Tex_CacheCount(), fonts = Font_CacheCount();
    entity_t *big = Ent_Spawn("fonts/big", ENT_TEXT), *plain = Ent_Spawn("fonts/plain", ENT_TEXT);
    com_countrycode = 1;
    entity_t *intl = Ent_Spawn("fonts/big", ENT_TEXT);
    ASSERT_TRUE(big && plain && intl);
    EXPECT_EQ((std::vector<std::string>{"data/fonts/big_49", "data/fonts/plain", "data/fonts/big"}),
              (std::vector<std::string>{big->u.txt.font->name, plain->u.txt.font->name, intl->u.txt.font->name}));
    EXPECT_EQ(nullptr, Ent_Spawn("fonts/nothere", ENT_TEXT));
    memset(big->u.txt.text, 'W', sizeof(big->u.txt.text)); /* terminated before drawing */
    entity_t *a = Ent_Spawn("models/ship", ENT_MODEL), *b = Ent_Spawn("models/ship", ENT_MODEL);
    entity_t *img = Ent_Spawn("pics/logo", ENT_IMAGE), *empty = Ent_Spawn("models/empty", ENT_MODEL);
    ASSERT_TRUE(a && b && img && empty);
    ASSERT_NE(nullptr, a->u.mdl.model);
    EXPECT_TRUE(std::string(a->u.mdl.model->name) == "data/models/ship" && a->u.mdl.lastframe == 9) << "last frame: the most frames of a mesh - 1";
    EXPECT_EQ((std::vector<float>{0, 1, 1, 1, 0}),
              (std::vector<float>{(float)a->u.mdl.firstframe, a->u.mdl.framerate, a->u.mdl.scale,
                                  (float)a->u.mdl.depth, (float)a->u.mdl.collmode}));
    EXPECT_EQ(models + 2, Model_CacheCount());
    EXPECT_TRUE(empty->u.mdl.firstframe + empty->u.mdl.lastframe == 0 && empty->u.mdl.radius == 0) << "a model without meshes";
    ASSERT_NE(nullptr, img->u.img.tex);
    EXPECT_EQ((std::vector<float>{24, 12}), (std::vector<float>{img->u.img.width, img->u.img.height}));
    EXPECT_EQ(texes + 4, Tex_CacheCount()); /* the image and the three fonts' */
    Frame(1.0f);
    EXPECT_FLOAT_EQ(0.0f, empty->u.mdl.frame);
    EXPECT_EQ((size_t)ENT_TEXTLEN - 1, strlen(big->u.txt.text));
    entity_t *snd = SFX_Enabled() ? Ent_Spawn("sounds/blip.wav", ENT_SOUND) : nullptr;
    sound_t *s = snd ? snd->u.snd.handle : nullptr;
    if (SFX_Enabled()) {
        ASSERT_NE(nullptr, s);
        EXPECT_EQ(1, s->inuse);
    }
    /* the kind given at spawn decides, even when the game rewrote it */
    a->kind = ENT_NOMEDIA;
    for (entity_t *e = Ent_First(); e; e = Ent_Next())
        Ent_PendRemove(e);
    Ent_Purge();
    EXPECT_EQ((std::vector<int>{models, texes, fonts}),
              (std::vector<int>{Model_CacheCount(), Tex_CacheCount(), Font_CacheCount()}));
    if (s) {
        EXPECT_EQ(0, s->inuse);
    }
}

/* The frame runs at 25 a second times the rate and wraps by the range. */
TEST_F(Entities, FrameRunsAndWrapsByTheRange)
{
    entity_t *e = Ent_Spawn("models/ship", ENT_MODEL);
    ASSERT_NE(nullptr, e);
    struct { int first, last; float rate, start, dt, lo, hi; } cases[] = {
        {0, 9, 1, 0, 0.2f, 5, 5}, {0, 9, 1, 0, 0.4f, 1, 1} /* 10 is beyond 9: back by 9 */, {3, 3, 1, 1, 0.1f, 3, 3},
        {0, 9, 1e30f, 3, 0.1f, 0, 9}, {0, 9, -5, 3, 0.1f, 0, 0}};
    for (const auto &c : cases) {
        e->u.mdl.firstframe = c.first, e->u.mdl.lastframe = c.last;
        e->u.mdl.framerate = c.rate, e->u.mdl.frame = c.start;
        Frame(c.dt);
        EXPECT_GE(e->u.mdl.frame, c.lo - 1e-4f) << c.rate << " " << c.dt;
        EXPECT_LE(e->u.mdl.frame, c.hi + 1e-4f) << c.rate << " " << c.dt;
    }
}

/* Position and angles (wrapped to 0..360) move by the frame time */
TEST_F(Entities, MotionAndThinkGates)
{
    entity_t *e = Ent_Spawn("mover", ENT_NOMEDIA), *hidden = Ent_Spawn("hidden", ENT_NOMEDIA);
    entity_t *later = Ent_Spawn("later", ENT_NOMEDIA), *ship = Ent_Spawn("models/ship", ENT_MODEL);
    ASSERT_TRUE(e && hidden && later && ship);
    e->origin[0] = 5.0f, e->speed = 10.0f;
    e->dir[0] = 1.0f, e->dir[2] = 0.0f;
    e->angles[1] = 350.0f, e->avelocity[1] = 20.0f;
    e->angles[0] = 5.0f, e->avelocity[0] = -10.0f;
    hidden->state = ES_HIDDEN, hidden->speed = 100.0f;
    ship->speed = 50.0f, ship->avelocity[2] = 90.0f;
    auto think = [](entity_t *self) { calls.push_back(self->name); };
    e->think = hidden->think = later->think = ship->think = think;
    e->nextthink = hidden->nextthink = ship->nextthink = 100.0f;
    later->nextthink = 200.0f;
    mod_running = 0;
    Frame(0.0f);
    EXPECT_TRUE(calls.empty());
    mod_running = 1;
    Frame(0.0f);
    EXPECT_EQ((std::vector<std::string>{"mover", "hidden", "models/ship"}), calls);
    EXPECT_EQ((std::vector<float>{0, 0, 0}), (std::vector<float>{ship->origin[2], ship->angles[2], ship->u.mdl.frame}));
    e->think = hidden->think = ship->think = NULL;
    Frame(1.0f);
    EXPECT_EQ((std::vector<float>{5, 15, 10, 355, 0}),
              (std::vector<float>{e->oldorigin[0], e->origin[0], e->angles[1], e->angles[0], e->angles[2]}));
    EXPECT_EQ((std::vector<float>{hidden->origin[2], ship->origin[2]}), (std::vector<float>{0, -50})) << "the hidden one, the ship";
}

TEST_F(Entities, RemovalAndSpawnInsideThink)
{
    static entity_t *a;
    a = Ent_Spawn("a", ENT_NOMEDIA);
    entity_t *b = Ent_Spawn("b", ENT_NOMEDIA);
    a->think = [](entity_t *self) {
        calls.push_back("think a");
        Ent_PendRemove(self);
        entity_t *c = Ent_Spawn("child", ENT_NOMEDIA);
        c->speed = 10.0f;
        c->think = [](entity_t *me) {
            calls.push_back("think child");
            me->think = NULL;
        };
    };
    b->think = [](entity_t *) { calls.push_back(a->state == ES_PENDREMOVE ? "b: a marked" : "b: a alive"); };
    a->ondestroy = [](entity_t *self) { calls.push_back(std::string("destroy ") + self->name); };
    Frame(0.5f);
    EXPECT_EQ((std::vector<std::string>{"think a", "b: a marked", "think child", "destroy a"}), calls);
    EXPECT_EQ(2, Ent_LiveCount());
    entity_t *child = nullptr;
    for (entity_t *e = Ent_First(); e; e = Ent_Next())
        if (!strcmp(e->name, "child"))
            child = e;
    ASSERT_NE(nullptr, child);
    EXPECT_FLOAT_EQ(0.0f, child->origin[2]);
    calls.clear();
    Frame(0.5f);
    EXPECT_EQ((std::vector<std::string>{"b: a marked"}), calls); /* a is gone from the list */
    EXPECT_FLOAT_EQ(-5.0f, child->origin[2]);
}

TEST_F(Entities, PairLoopScenes)
{
    using Calls = std::vector<std::string>;
    struct Scene { const char *what; void (*setup)(); Calls want; } scenes[] = {
        {"A removes itself on its first touch: B still answers, C never meets A", [] {
             Toucher("A", 0)->touch = [](entity_t *self, entity_t *other) {
                 calls.push_back(std::string("A>") + other->name);
                 Ent_PendRemove(self);
             };
             Toucher("B", 0), Toucher("C", 0);
         }, {"A>B", "B>A", "B>C", "C>B"}},
        {"B loses its touch in A's touch: no answer from it", [] {
             Toucher("A", 0)->touch = [](entity_t *, entity_t *other) {
                 calls.push_back(std::string("A>") + other->name);
                 other->touch = NULL;
             };
             Toucher("B", 0);
         }, {"A>B"}},
        {"a model spawned in a touch", [] {
             Toucher("A", 0)->touch = [](entity_t *, entity_t *other) {
                 calls.push_back(std::string("A>") + other->name);
                 if (!strcmp(other->name, "B"))
                     Toucher("N", 0);
             };
             Toucher("B", 0);
         }, {"A>B", "B>A", "A>N", "N>A", "B>N", "N>B"}}};
    for (const Scene &sc : scenes) {
        Ent_Reset();
        calls.clear();
        sc.setup();
        Frame(0.0f);
        EXPECT_EQ(sc.want, calls) << sc.what;
    }
}

/* The pair loop passes over pairs that cannot meet without the exact test */
TEST_F(Entities, PairLoopCallsWhatTestingEveryPairCalls)
{
    static std::mt19937 rng(7);
    auto uni = [](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    static int made = 0;
    static void (*spawn)(entity_t *) = [](entity_t *) {
        entity_t *e = Ent_Spawn("models/box", ENT_MODEL);
        if (!e)
            return;
        snprintf(e->name, sizeof(e->name), "m%d", made++);
        e->touch = [](entity_t *self, entity_t *other) {
            calls.push_back(std::string(self->name) + ">" + other->name);
        };
        e->ondestroy = spawn;
    };
    for (int i = 0; i < 90; i++)
        spawn(NULL);
    Ent_Spawn("marker", ENT_NOMEDIA);
    size_t total = 0;
    for (int scene = 0; scene < 30; scene++) {
        for (entity_t *e = Ent_First(); e; e = Ent_Next()) {
            if (e->kind != ENT_MODEL)
                continue;
            int kind = (int)uni(0, 10);
            e->state = kind == 0 ? ES_HIDDEN : ES_ACTIVE;
            e->u.mdl.collmode = kind < 4 ? CM_SWEPT : CM_SPHERE;
            e->u.mdl.radius = uni(-3, 6);
            e->u.mdl.scale = kind == 9 ? 0.0f : uni(-2, 2);
            for (int k = 0; k < 3; k++) {
                e->origin[k] = uni(-30, 30);
                e->oldorigin[k] = e->origin[k] + uni(-25, 25);
                e->angles[k] = uni(0, 360);
            }
        }
        std::vector<std::string> want;
        for (entity_t *a = Ent_First(); a; a = Ent_Next()) {
            Ent_SaveCursor();
            for (entity_t *b = Ent_Next(); b && a->kind == ENT_MODEL && a->state == ES_ACTIVE; b = Ent_Next())
                if (b->kind == ENT_MODEL && b->state == ES_ACTIVE && Col_Collide(a, b)) {
                    want.push_back(std::string(a->name) + ">" + b->name);
                    want.push_back(std::string(b->name) + ">" + a->name);
                }
            Ent_RestoreCursor();
        }
        calls.clear();
        Ent_ThinkTouch();
        ASSERT_EQ(want, calls) << "scene " << scene;
        total += calls.size();
        int n = 0;
        for (entity_t *e = Ent_First(); e; e = Ent_Next())
            if (e->kind == ENT_MODEL && n++ % 3 == scene % 3)
                Ent_PendRemove(e);
        Ent_Purge();
    }
    EXPECT_GT(total, 1000u); /* the scenes really are crowded */
    EXPECT_EQ(91, Ent_LiveCount());
}

TEST_F(Entities, PurgeReleasesBeforeOnDestroyAndKeepsTheListWhole)
{
    entity_t *head = Ent_Spawn("head", ENT_NOMEDIA);
    entity_t *mid = Ent_Spawn("models/ship", ENT_MODEL);
    Ent_Spawn("keep", ENT_NOMEDIA);
    entity_t *tail = Ent_Spawn("tail", ENT_NOMEDIA);
    mid->ondestroy = [](entity_t *self) {
        calls.push_back(self->u.mdl.model ? "model still held" : "model released");
    };
    /* the tail's on-destroy spawns: the newcomer must survive the purge */
    tail->ondestroy = [](entity_t *) {
        entity_t *n = Ent_Spawn("late", ENT_NOMEDIA);
        calls.push_back(n ? "spawned late" : "spawn failed");
    };
    for (entity_t *e : {head, mid, tail})
        Ent_PendRemove(e);
    Frame(0.0f);
    EXPECT_EQ((std::vector<std::string>{"model released", "spawned late"}), calls);
    std::vector<std::string> names;
    for (entity_t *e = Ent_First(); e; e = Ent_Next())
        names.push_back(e->name);
    EXPECT_EQ((std::vector<std::string>{"keep", "late"}), names);
    EXPECT_EQ(2, Ent_LiveCount());
}

} // namespace
