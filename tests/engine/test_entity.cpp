/*
 * test_entity.cpp -- the entity store with real resources: model files
 * written by the model writer, TGA textures and fonts on disk, sound
 * sources from the real sound system.  Covers the pool limit and slot
 * reuse, every kind's set-up and release, motion with the angle and frame
 * wrap, think gating and the paused clock, the pair loop with removals and
 * spawns inside callbacks, and the purge order.
 */
#include <gtest/gtest.h>
#include <unistd.h>

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
#include "wavwriter.h"

namespace {

std::vector<std::string> calls;   /* what the callbacks saw, in order */

/* The engine log goes to standard error, where the tests read it. */
struct LogOn {
    LogOn() { setenv("VEX_LOG", "1", 1); }
} log_on;

std::string Tga32(int w, int h)
{
    std::string s(18, '\0');
    s[2] = 2;
    s[12] = (char)w;
    s[13] = (char)(w >> 8);
    s[14] = (char)h;
    s[15] = (char)(h >> 8);
    s[16] = 32;
    s[17] = 8;
    for (int i = 0; i < w * h; i++)
        s += std::string("\x40\x80\xc0\xff", 4);
    return s;
}

/* A model of one triangle per mesh, with the given frame count per mesh. */
bool WriteModel(const std::string &path, const std::vector<uint32_t> &frames)
{
    std::vector<mdl_mesh_t> meshes(frames.size());
    std::vector<std::vector<mdl_frame_t>> fr(frames.size());
    static float verts[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    static uint32_t faces[3] = {0, 1, 2};
    for (size_t i = 0; i < frames.size(); i++) {
        mdl_mesh_t &m = meshes[i];
        memset(&m, 0, sizeof(m));
        snprintf(m.name, sizeof(m.name), "mesh%zu", i);
        fr[i].resize(frames[i]);
        for (auto &f : fr[i]) {
            memset(&f, 0, sizeof(f));
            f.verts = verts;
        }
        m.numframes = frames[i];
        m.frames = fr[i].data();
        m.numtris = 1;
        m.faces = faces;
        m.numverts = 3;
        m.material = -1;
    }
    return Model_WriteFile((path + ".dmo").c_str(), NULL, 0, meshes.data(), (uint32_t)meshes.size());
}

/* A closed box off its origin, x 2..12, y -5..5, z -3..9, with its
 * collision file. */
bool WriteBox(const std::string &path)
{
    std::vector<float> v;
    for (int i = 0; i < 8; i++)
        v.insert(v.end(), {i & 1 ? 12.0f : 2.0f, i & 2 ? 5.0f : -5.0f, i & 4 ? 9.0f : -3.0f});
    mdl_mesh_t m = gk::MakeMesh("box", {v}, {0, 2, 1, 1, 2, 3, 4, 5, 6, 5, 7, 6, 0, 1, 4, 1, 5, 4,
                                             2, 6, 3, 3, 6, 7, 0, 4, 2, 2, 4, 6, 1, 3, 5, 3, 7, 5}, {}, {}, -1);
    colmodel_t *c = Col_Build(&m, 1);
    bool ok = c && Model_WriteFile((path + ".dmo").c_str(), NULL, 0, &m, 1) &&
              Col_WriteFile((path + ".dbb").c_str(), c);
    Col_Free(c);
    Model_FreeMesh(&m);
    return ok;
}

class Entities : public testing::Test {
protected:
    static gk::TempDir *dir;
    static std::string oldcwd;

    static void SetUpTestSuite()
    {
        char buf[4096];
        oldcwd = getcwd(buf, sizeof(buf)) ? buf : ".";
        dir = new gk::TempDir();
        ASSERT_EQ(0, chdir(dir->path.c_str()));
        Com_Strncpy(com_datadir, "data/", MAX_OSPATH);
        gk::MakeDirs("data/models");
        gk::MakeDirs("data/fonts");
        gk::MakeDirs("data/pics");
        gk::MakeDirs("sounds");
        ASSERT_TRUE(WriteModel("data/models/ship", {10, 4}));
        ASSERT_TRUE(WriteModel("data/models/still", {1}));
        ASSERT_TRUE(WriteModel("data/models/empty", {}));
        ASSERT_TRUE(WriteModel("data/models/noframes", {0}));
        ASSERT_TRUE(WriteBox("data/models/box"));
        const std::string glyphs = "A 0 0 8 8\nB 8 0 16 8\n";
        ASSERT_TRUE(gk::WriteFile("data/fonts/big_49.tga", Tga32(16, 8)));
        ASSERT_TRUE(gk::WriteFile("data/fonts/big_49.font", glyphs));
        ASSERT_TRUE(gk::WriteFile("data/fonts/big.tga", Tga32(16, 8)));
        ASSERT_TRUE(gk::WriteFile("data/fonts/big.font", glyphs));
        ASSERT_TRUE(gk::WriteFile("data/fonts/plain.tga", Tga32(16, 8)));
        ASSERT_TRUE(gk::WriteFile("data/fonts/plain.font", glyphs));
        ASSERT_TRUE(gk::WriteFile("data/pics/logo.tga", Tga32(24, 12)));
        gk::WavSpec s;
        ASSERT_TRUE(gk::WriteWav("sounds/blip.wav", s, gk::WavTone(s, 441)));
        if (SFX_Init())
            SFX_CacheFile("sounds/blip.wav");
    }
    static void TearDownTestSuite()
    {
        Ent_Reset();
        SFX_Shutdown();
        (void)!chdir(oldcwd.c_str());
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
gk::TempDir *Entities::dir;
std::string Entities::oldcwd;

/* ---- spawning and the pool ------------------------------------------------ */

TEST_F(Entities, SpawnDefaultsForEveryKindWithoutMedia)
{
    eng_gametime = 12.5f;
    for (int kind : std::initializer_list<int>{ENT_NOMEDIA, 0, 42, -3}) {
        entity_t *e = Ent_Spawn("marker", kind);
        ASSERT_NE(nullptr, e) << kind;
        EXPECT_STREQ("marker", e->name);
        EXPECT_EQ(kind, e->kind);
        EXPECT_EQ(ES_ACTIVE, e->state);
        EXPECT_EQ(0, e->gameslot);
        EXPECT_FLOAT_EQ(12.5f, e->spawntime);
        EXPECT_FLOAT_EQ(-1.0f, e->dir[2]);
        EXPECT_FLOAT_EQ(1.0f, e->vec2[0]);
        EXPECT_FLOAT_EQ(1.0f, e->color[3]);
        EXPECT_FLOAT_EQ(1.0f, e->brightness);
        EXPECT_EQ(nullptr, e->think);
    }
    entity_t *p = Ent_Spawn("fx/spark", ENT_PARTICLE);
    ASSERT_NE(nullptr, p);
    EXPECT_FLOAT_EQ(1.0f, p->u.part.size);
    EXPECT_EQ(5, Ent_LiveCount());
}

TEST_F(Entities, PoolHoldsExactly1024AndReusesTheFreedSlot)
{
    std::vector<entity_t *> all;
    for (int i = 0; i < ENT_MAX; i++) {
        entity_t *e = Ent_Spawn("n", ENT_NOMEDIA);
        ASSERT_NE(nullptr, e) << i;
        all.push_back(e);
    }
    EXPECT_EQ(nullptr, Ent_Spawn("n", ENT_NOMEDIA));
    EXPECT_EQ(ENT_MAX, Ent_LiveCount());

    all[700]->gameslot = 77;
    all[700]->speed = 9.0f;
    Ent_PendRemove(all[700]);
    Ent_Purge();
    EXPECT_EQ(ENT_MAX - 1, Ent_LiveCount());
    entity_t *again = Ent_Spawn("again", ENT_NOMEDIA);
    EXPECT_EQ(all[700], again);
    EXPECT_EQ(0, again->gameslot);      /* the record was cleared for its new life */
    EXPECT_FLOAT_EQ(0.0f, again->speed);

    /* the reused slot sits at the end of the active list */
    int n = 0;
    entity_t *last = NULL;
    for (entity_t *e = Ent_First(); e; e = Ent_Next(), n++)
        last = e;
    EXPECT_EQ(ENT_MAX, n);
    EXPECT_EQ(again, last);
}

TEST_F(Entities, BadNamesAndMissingResourcesLeaveTheStoreAlone)
{
    std::string ok(127, 'x'), toolong(128, 'x');
    EXPECT_NE(nullptr, Ent_Spawn(ok.c_str(), ENT_NOMEDIA));
    EXPECT_EQ(nullptr, Ent_Spawn(toolong.c_str(), ENT_NOMEDIA));
    EXPECT_EQ(nullptr, Ent_Spawn((toolong + "yyyy").c_str(), ENT_MODEL));
    EXPECT_EQ(nullptr, Ent_Spawn(NULL, ENT_NOMEDIA));
    EXPECT_EQ(nullptr, Ent_Spawn("models/nothere", ENT_MODEL));
    EXPECT_EQ(nullptr, Ent_Spawn("models/noframes", ENT_MODEL));
    EXPECT_EQ(nullptr, Ent_Spawn("pics/nothere", ENT_IMAGE));
    EXPECT_EQ(nullptr, Ent_Spawn("sounds/uncached.wav", ENT_SOUND));
    EXPECT_EQ(1, Ent_LiveCount());
    int n = 0;
    for (entity_t *e = Ent_First(); e; e = Ent_Next())
        n++;
    EXPECT_EQ(1, n);
    EXPECT_EQ(nullptr, Ent_PendRemove(NULL));
}

TEST_F(Entities, ModelSetupAndRelease)
{
    int before = Model_CacheCount();
    entity_t *a = Ent_Spawn("models/ship", ENT_MODEL);
    entity_t *b = Ent_Spawn("models/ship", ENT_MODEL);
    ASSERT_TRUE(a && b);
    ASSERT_NE(nullptr, a->u.mdl.model);
    EXPECT_EQ(a->u.mdl.model, b->u.mdl.model);
    EXPECT_STREQ("data/models/ship", a->u.mdl.model->name);
    EXPECT_EQ(0, a->u.mdl.firstframe);
    EXPECT_EQ(9, a->u.mdl.lastframe);      /* the largest mesh frame count - 1 */
    EXPECT_FLOAT_EQ(1.0f, a->u.mdl.framerate);
    EXPECT_FLOAT_EQ(1.0f, a->u.mdl.scale);
    EXPECT_EQ(1, a->u.mdl.depth);
    EXPECT_EQ(0, a->u.mdl.collmode);
    EXPECT_EQ(before + 1, Model_CacheCount());

    Ent_PendRemove(a);
    Ent_PendRemove(b);
    Ent_Purge();
    EXPECT_EQ(before, Model_CacheCount());
}

TEST_F(Entities, ModelWithoutMeshesGetsASaneFrameRange)
{
    entity_t *e = Ent_Spawn("models/empty", ENT_MODEL);
    ASSERT_NE(nullptr, e);
    EXPECT_EQ(0, e->u.mdl.firstframe);
    EXPECT_EQ(0, e->u.mdl.lastframe);
    Frame(1.0f);
    EXPECT_FLOAT_EQ(0.0f, e->u.mdl.frame);
}

TEST_F(Entities, TextFontWithCountrySuffixThenFallback)
{
    entity_t *t = Ent_Spawn("fonts/big", ENT_TEXT);
    ASSERT_NE(nullptr, t);
    ASSERT_NE(nullptr, t->u.txt.font);
    EXPECT_STREQ("data/fonts/big_49", t->u.txt.font->name);

    testing::internal::CaptureStderr();
    entity_t *p = Ent_Spawn("fonts/plain", ENT_TEXT);
    entity_t *none = Ent_Spawn("fonts/nothere", ENT_TEXT);
    std::string log = testing::internal::GetCapturedStderr();
    ASSERT_NE(nullptr, p);
    EXPECT_STREQ("data/fonts/plain", p->u.txt.font->name);
    EXPECT_EQ(nullptr, none);
    EXPECT_NE(std::string::npos, log.find("entity: (info) font data/fonts/plain_49 missed, "
                                          "fallback to data/fonts/plain ... ok\n"));
    EXPECT_NE(std::string::npos, log.find("entity: (info) font data/fonts/nothere_49 missed, "
                                          "fallback to data/fonts/nothere ... failed\n"));

    com_countrycode = 1;
    entity_t *o = Ent_Spawn("fonts/big", ENT_TEXT);
    ASSERT_NE(nullptr, o);
    EXPECT_STREQ("data/fonts/big", o->u.txt.font->name);

    int fonts = Font_CacheCount();
    Ent_PendRemove(t);
    Ent_PendRemove(p);
    Ent_PendRemove(o);
    Ent_Purge();
    EXPECT_EQ(fonts - 3, Font_CacheCount());
}

TEST_F(Entities, TextFieldIsTerminatedBeforeDrawing)
{
    entity_t *t = Ent_Spawn("fonts/big", ENT_TEXT);
    ASSERT_NE(nullptr, t);
    memset(t->u.txt.text, 'W', sizeof(t->u.txt.text));
    Frame(0.01f);
    EXPECT_EQ('\0', t->u.txt.text[ENT_TEXTLEN - 1]);
    EXPECT_EQ((size_t)ENT_TEXTLEN - 1, strlen(t->u.txt.text));
}

TEST_F(Entities, ImageTakesTheTextureSize)
{
    int before = Tex_CacheCount();
    entity_t *e = Ent_Spawn("pics/logo", ENT_IMAGE);
    ASSERT_NE(nullptr, e);
    ASSERT_NE(nullptr, e->u.img.tex);
    EXPECT_FLOAT_EQ(24.0f, e->u.img.width);
    EXPECT_FLOAT_EQ(12.0f, e->u.img.height);
    EXPECT_EQ(before + 1, Tex_CacheCount());
    Ent_PendRemove(e);
    Ent_Purge();
    EXPECT_EQ(before, Tex_CacheCount());
}

TEST_F(Entities, SoundEntityTakesAndGivesBackASource)
{
    if (!SFX_Enabled())
        GTEST_SKIP() << "no OpenAL device";
    entity_t *e = Ent_Spawn("sounds/blip.wav", ENT_SOUND);
    ASSERT_NE(nullptr, e);
    sound_t *s = e->u.snd.handle;
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(1, s->inuse);
    Ent_PendRemove(e);
    Ent_Purge();
    EXPECT_EQ(0, s->inuse);
}

/* ---- motion --------------------------------------------------------------- */

TEST_F(Entities, FrameRunsAndWrapsByTheRange)
{
    entity_t *e = Ent_Spawn("models/ship", ENT_MODEL);
    ASSERT_NE(nullptr, e);
    Frame(0.2f);
    EXPECT_NEAR(5.0f, e->u.mdl.frame, 1e-4);

    e->u.mdl.frame = 0.0f;
    Frame(0.4f);                       /* 10 is beyond 9: back by 9 */
    EXPECT_NEAR(1.0f, e->u.mdl.frame, 1e-4);

    e->u.mdl.firstframe = e->u.mdl.lastframe = 3;
    Frame(0.1f);
    EXPECT_FLOAT_EQ(3.0f, e->u.mdl.frame);

    /* an absurd rate cannot stall the frame in the wrap loop */
    e->u.mdl.firstframe = 0;
    e->u.mdl.lastframe = 9;
    e->u.mdl.framerate = 1e30f;
    Frame(0.1f);
    EXPECT_GE(e->u.mdl.frame, 0.0f);
    EXPECT_LE(e->u.mdl.frame, 9.0f);
    e->u.mdl.framerate = -5.0f;
    Frame(0.1f);
    EXPECT_FLOAT_EQ(0.0f, e->u.mdl.frame);
}

TEST_F(Entities, PositionAndAngles)
{
    entity_t *e = Ent_Spawn("mover", ENT_NOMEDIA);
    entity_t *hidden = Ent_Spawn("hidden", ENT_NOMEDIA);
    ASSERT_TRUE(e && hidden);
    e->origin[0] = 5.0f;
    e->dir[0] = 1.0f;
    e->dir[2] = 0.0f;
    e->speed = 10.0f;
    e->angles[1] = 350.0f;
    e->avelocity[1] = 20.0f;
    e->angles[0] = 5.0f;
    e->avelocity[0] = -10.0f;
    hidden->state = ES_HIDDEN;
    hidden->speed = 100.0f;
    Frame(1.0f);
    EXPECT_FLOAT_EQ(5.0f, e->oldorigin[0]);
    EXPECT_FLOAT_EQ(15.0f, e->origin[0]);
    EXPECT_FLOAT_EQ(10.0f, e->angles[1]);
    EXPECT_FLOAT_EQ(355.0f, e->angles[0]);
    EXPECT_FLOAT_EQ(0.0f, e->angles[2]);
    EXPECT_FLOAT_EQ(0.0f, hidden->origin[2]);
}

TEST_F(Entities, PausedClockMovesNothingButThinkRuns)
{
    entity_t *e = Ent_Spawn("models/ship", ENT_MODEL);
    ASSERT_NE(nullptr, e);
    e->speed = 50.0f;
    e->avelocity[2] = 90.0f;
    e->nextthink = eng_gametime;
    e->think = [](entity_t *self) { calls.push_back(self->name); };
    Frame(0.0f);
    EXPECT_FLOAT_EQ(0.0f, e->origin[2]);
    EXPECT_FLOAT_EQ(0.0f, e->angles[2]);
    EXPECT_FLOAT_EQ(0.0f, e->u.mdl.frame);
    EXPECT_EQ(1u, calls.size());
}

/* ---- think ----------------------------------------------------------------- */

TEST_F(Entities, ThinkTimeModuleGateAndHiddenEntities)
{
    auto think = [](entity_t *self) { calls.push_back(self->name); };
    entity_t *due = Ent_Spawn("due", ENT_NOMEDIA);
    entity_t *later = Ent_Spawn("later", ENT_NOMEDIA);
    entity_t *hidden = Ent_Spawn("hidden", ENT_NOMEDIA);
    due->think = later->think = hidden->think = think;
    due->nextthink = 100.0f;
    later->nextthink = 200.0f;
    hidden->state = ES_HIDDEN;

    mod_running = 0;
    Frame(0.0f);
    EXPECT_TRUE(calls.empty());
    mod_running = 1;
    Frame(0.0f);
    EXPECT_EQ((std::vector<std::string>{"due", "hidden"}), calls);
}

TEST_F(Entities, RemovalInOwnThinkDestroysAfterAllCallsOnce)
{
    static entity_t *a;
    a = Ent_Spawn("a", ENT_NOMEDIA);
    entity_t *b = Ent_Spawn("b", ENT_NOMEDIA);
    a->think = [](entity_t *self) {
        calls.push_back("think a");
        Ent_PendRemove(self);
    };
    b->think = [](entity_t *self) {
        calls.push_back(std::string("think b, a is ") +
                        (a->state == ES_PENDREMOVE ? "marked" : "alive"));
        (void)self;
    };
    a->ondestroy = [](entity_t *self) { calls.push_back(std::string("destroy ") + self->name); };
    Frame(0.0f);
    EXPECT_EQ((std::vector<std::string>{"think a", "think b, a is marked", "destroy a"}), calls);
    EXPECT_EQ(1, Ent_LiveCount());
    calls.clear();
    Frame(0.1f);
    /* a is gone from the list: only b thinks */
    EXPECT_EQ((std::vector<std::string>{"think b, a is marked"}), calls);
}

TEST_F(Entities, EntitiesSpawnedInThinkAreVisitedButNotMoved)
{
    entity_t *a = Ent_Spawn("a", ENT_NOMEDIA);
    a->think = [](entity_t *self) {
        calls.push_back("think a");
        self->think = NULL;
        entity_t *c = Ent_Spawn("child", ENT_NOMEDIA);
        c->speed = 10.0f;
        c->think = [](entity_t *me) {
            calls.push_back("think child");
            me->think = NULL;
        };
    };
    Frame(0.5f);
    EXPECT_EQ((std::vector<std::string>{"think a", "think child"}), calls);
    entity_t *child = NULL;
    for (entity_t *e = Ent_First(); e; e = Ent_Next())
        if (!strcmp(e->name, "child"))
            child = e;
    ASSERT_NE(nullptr, child);
    EXPECT_FLOAT_EQ(0.0f, child->origin[2]);
    Frame(0.5f);
    EXPECT_FLOAT_EQ(-5.0f, child->origin[2]);
}

/* ---- touch ----------------------------------------------------------------- */

TEST_F(Entities, PairsTestedOnceInListOrderBothWays)
{
    ASSERT_NE(nullptr, Toucher("A", 0.0f));
    ASSERT_NE(nullptr, Toucher("B", 1.0f));
    entity_t *far = Toucher("F", 1000.0f);
    ASSERT_NE(nullptr, far);
    entity_t *plain = Toucher("P", 0.5f);     /* collides, but has no touch */
    plain->touch = NULL;
    entity_t *hidden = Toucher("H", 0.5f);
    hidden->state = ES_HIDDEN;
    ASSERT_NE(nullptr, Toucher("C", 2.0f));
    /* a record that only claims to be a model has no model to test against */
    entity_t *fake = Ent_Spawn("fake", ENT_NOMEDIA);
    fake->kind = ENT_MODEL;
    fake->touch = [](entity_t *, entity_t *) { calls.push_back("fake"); };
    Frame(0.0f);
    EXPECT_EQ((std::vector<std::string>{"A>B", "B>A", "A>C", "C>A", "B>C", "C>B"}), calls);
}

TEST_F(Entities, PairLoopRechecksAfterEveryCall)
{
    entity_t *a = Toucher("A", 0.0f);
    entity_t *b = Toucher("B", 0.0f);
    ASSERT_NE(nullptr, Toucher("C", 0.0f));
    (void)b;
    /* A removes itself on its first touch: B still answers, C never meets A */
    a->touch = [](entity_t *self, entity_t *other) {
        calls.push_back(std::string("A>") + other->name);
        Ent_PendRemove(self);
    };
    Frame(0.0f);
    EXPECT_EQ((std::vector<std::string>{"A>B", "B>A", "B>C", "C>B"}), calls);
    EXPECT_EQ(2, Ent_LiveCount());

    /* B loses its touch function in its own touch: no answer from it */
    Ent_Reset();
    calls.clear();
    a = Toucher("A", 0.0f);
    b = Toucher("B", 0.0f);
    a->touch = [](entity_t *self, entity_t *other) {
        calls.push_back(std::string("A>") + other->name);
        other->touch = NULL;
        (void)self;
    };
    Frame(0.0f);
    EXPECT_EQ((std::vector<std::string>{"A>B"}), calls);
}

TEST_F(Entities, ModelSpawnedInTouchMeetsTheRunningPairLoop)
{
    entity_t *a = Toucher("A", 0.0f);
    ASSERT_NE(nullptr, Toucher("B", 0.0f));
    a->touch = [](entity_t *self, entity_t *other) {
        calls.push_back(std::string("A>") + other->name);
        if (!strcmp(other->name, "B")) {
            entity_t *n = Toucher("N", 0.0f);
            (void)n;
        }
        (void)self;
    };
    Frame(0.0f);
    EXPECT_EQ((std::vector<std::string>{"A>B", "B>A", "A>N", "N>A", "B>N", "N>B"}), calls);
}

/* The pair loop passes over pairs that cannot meet without the exact test:
 * it must make exactly the touch calls that testing every pair makes, in
 * the same order.  Crowded scenes of spheres (negative radii and scales
 * too) and projectiles grazing rotated, scaled boxes; between scenes some
 * models are removed and replaced from their on-destroy, reusing slots. */
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

/* ---- purge ------------------------------------------------------------------- */

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
    tail->ondestroy = [](entity_t *self) {
        (void)self;
        entity_t *n = Ent_Spawn("late", ENT_NOMEDIA);
        calls.push_back(n ? "spawned late" : "spawn failed");
    };
    Ent_PendRemove(head);
    Ent_PendRemove(mid);
    Ent_PendRemove(tail);
    Frame(0.0f);
    EXPECT_EQ((std::vector<std::string>{"model released", "spawned late"}), calls);
    std::vector<std::string> names;
    for (entity_t *e = Ent_First(); e; e = Ent_Next())
        names.push_back(e->name);
    EXPECT_EQ((std::vector<std::string>{"keep", "late"}), names);
    EXPECT_EQ(2, Ent_LiveCount());
    /* and the list still takes new entities at its end */
    Ent_Spawn("after", ENT_NOMEDIA);
    names.clear();
    for (entity_t *e = Ent_First(); e; e = Ent_Next())
        names.push_back(e->name);
    EXPECT_EQ((std::vector<std::string>{"keep", "late", "after"}), names);
}

TEST_F(Entities, ResourcesFollowTheKindGivenAtSpawn)
{
    int models = Model_CacheCount();
    entity_t *e = Ent_Spawn("models/ship", ENT_MODEL);
    ASSERT_NE(nullptr, e);
    e->kind = ENT_NOMEDIA;          /* the game rewrote the kind */
    Ent_PendRemove(e);
    Ent_Purge();
    EXPECT_EQ(models, Model_CacheCount());
}

TEST_F(Entities, SavedCursorSurvivesAnInnerLoop)
{
    Ent_Spawn("1", ENT_NOMEDIA);
    Ent_Spawn("2", ENT_NOMEDIA);
    Ent_Spawn("3", ENT_NOMEDIA);
    std::string seen;
    for (entity_t *o = Ent_First(); o; o = Ent_Next()) {
        Ent_SaveCursor();
        for (entity_t *i = Ent_Next(); i; i = Ent_Next())
            seen += std::string(o->name) + i->name + " ";
        Ent_RestoreCursor();
    }
    EXPECT_EQ("12 13 23 ", seen);
}

} // namespace
