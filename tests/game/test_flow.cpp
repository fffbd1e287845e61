/* Game flow on the stand-in engine: initialisation, state switch, end of game. */
#include <gtest/gtest.h>

#include "play_data.h"

namespace {

using namespace levelbytes;

struct Flow : testing::Test {
    void SetUp() override
    {
        harness::Reset();
        ASSERT_TRUE(gk::MakeDirs(dir / "data"));
        ASSERT_TRUE(dir.Enter());
    }
    void TearDown() override
    {
        /* leave nothing behind for the next test */
        G_RemoveAllAfterCache();
        G_RemoveCache();
        Level_FreeAll();
        CL_Release();
    }

    void WriteLevel(int n, const std::string &body, float duration = 60.0f, const std::string &sky = "skysphere02")
    {
        std::string name = "script" + std::to_string(n) + ".bin";
        gk::WriteFile(dir / ("data/" + name), Header(name, "Test", "sounds/bgm.wav", duration, sky) + body);
    }

    /* Init through the entry point, with the box text and stdout kept. */
    int Init(int n)
    {
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        int r = (int)Game_Main(GOP_INIT, n, 0, 0);
        out = testing::internal::GetCapturedStdout();
        box = testing::internal::GetCapturedStderr();
        return r;
    }

    /* One engine frame: clock, opcode 4, think pass, purge. */
    void Frame(float t)
    {
        harness::SetTime(t);
        Game_Main(GOP_FRAME, 0, 0, 0);
        harness::Think();
        harness::Purge();
    }

    gk::TempDir dir;
    std::string out, box;
};

/* The module's services once per process; the stand-in is reset per test. */
struct ImportOnce { ImportOnce() { harness::Reset(); harness::Import(harness::services); } } import_once;

TEST_F(Flow, InitLoadsCachesAndEntersAction)
{
    WriteLevel(1, Spawn(5, 0, "motherchicken"));
    ASSERT_EQ(Init(1), 0) << harness::log;
    EXPECT_TRUE(out + box == "" && harness::Count(MC_SCENERY, G_ClassByName("skysphere02")->subclass) == 1) << "nothing printed, no box: " << out + box;
    EXPECT_EQ((entity_t *)Game_Main(GOP_CAMERA, 0, 0, 0), G_CameraEntity());
    ASSERT_TRUE(harness::cached.size() >= 17u && harness::cached[0] == "sounds/bgm.wav") << "music first";
    /* a second opcode 0 changes nothing */
    int count = G_GentityCount();
    EXPECT_TRUE(Init(1) == 0 && G_GentityCount() == count) << G_GentityCount() - count;
}

TEST_F(Flow, OpcodesOnceInitialised)
{
    WriteLevel(1, "");
    ASSERT_EQ(Init(1), 0);
    Frame(1.0f);
    EXPECT_EQ(("\n" + harness::log).find("\n# "), std::string::npos) << "no error in a frame: " << harness::log;
    EXPECT_EQ((std::vector<intptr_t>{Game_Main(9, 0, 0, 0), Game_Main(GOP_POSTDRAW, 0, 0, 0)}), (std::vector<intptr_t>{0, 0}));
    /* only the character event reaches the state's handler */
    Game_Main(GOP_KEY, IE_KEYDOWN, KEY_ESCAPE, 0);
    Game_Main(GOP_KEY, IE_KEYUP, KEY_ESCAPE, 0);
    Game_Main(GOP_KEY, IE_CHAR, 'x', 0);
    EXPECT_EQ(G_CurrentStateId(), GST_ACTION);
    Game_Main(GOP_KEY, IE_CHAR, KEY_ESCAPE, 0);
    EXPECT_EQ(G_CurrentStateId(), GST_PAUSE);
    /* the particle amount: 0 to 100 percent, anything else ignored */
    const struct { int percent; float factor; } amounts[] = {
        {50, 0.5f}, {101, 0.5f}, {-1, 0.5f}, {100, 1.0f}, {0, 0.0f}};
    for (auto &a : amounts) {
        Game_Main(GOP_PARTICLES, a.percent, 0, 0);
        EXPECT_FLOAT_EQ(g_particlefactor, a.factor) << a.percent;
    }
    g_particlefactor = 1.0f;
}

TEST_F(Flow, InitFailuresPrintNothingAndStartNoState)
{
    WriteLevel(2, "", 60, "skysphere09");
    gk::WriteFile(dir / "data/script3.bin", ""); /* empty file: empty sky sphere name */
    WriteLevel(4, "");
    /* no file, an unknown sky, no sky, a class that cannot be cached */
    for (int level : {7, 2, 3, 4}) {
        harness::Reset();
        harness::failspawns = level == 4;
        EXPECT_EQ(Init(level), 1) << level;
        EXPECT_TRUE(out.empty() && G_CurrentStateId() == 0) << out;
    }
}

TEST_F(Flow, DurationZeroFadesAtTheFirstFrame)
{
    WriteLevel(1, Spawn(0, 0, "chicken"), 0.0f);
    ASSERT_EQ(Init(1), 0);
    Frame(0.0f);
    EXPECT_TRUE(G_CurrentStateId() == GST_FADEOUT && harness::Count(MC_TARGET, SUB_CHICKEN) == 0) << G_CurrentStateId();
}

TEST_F(Flow, NothingOfTheGameRunsAfterItsEnd)
{
    WriteLevel(1, "", 0.0f);
    ASSERT_EQ(Init(1), 0);
    Frame(0.0f); /* fading out */
    testing::internal::CaptureStdout();
    G_EndGame(END_ABORT); /* the window closed */
    float volume = G_GetMasterVolume();
    Frame(1.0f); /* the engine may send a frame more: the fade goes no further */
    EXPECT_TRUE(testing::internal::GetCapturedStdout() == "$$abort\n" && G_GetMasterVolume() == volume) << G_GetMasterVolume();
}

TEST_F(Flow, EndGameCodesPrintTheirLineOnce)
{
    const struct { int code; const char *line; } cases[] = {{END_ABORT, "$$abort\n"}, {END_FAILURE, "$$failure\n"}, {5, ""},
                 {END_TIMEUP, "$$score 0\n"}};
    for (auto &c : cases) {
        G_ResetFlow();
        harness::shutdowns = 0;
        testing::internal::CaptureStdout();
        G_EndGame(c.code);
        EXPECT_TRUE(testing::internal::GetCapturedStdout() == c.line && harness::shutdowns == 1) << c.code;
        testing::internal::CaptureStdout();     /* only once */
        G_EndGame(c.code);
        EXPECT_TRUE(testing::internal::GetCapturedStdout().empty() && harness::shutdowns == 1) << c.code;
    }
}

} // namespace
