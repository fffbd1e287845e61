/* The frame loop run headless against the recording test module */
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine.h"
#include "gk_support.h"

namespace {

uint32_t g_now;
uint32_t FakeClock() { return g_now; }

struct Loop : ::testing::Test {
    gk::TempDir dir;
    std::string log;

    void SetUp() override
    {
        gk::MakeDirs(dir / "data");
        std::filesystem::create_symlink(gk::TestmodDir() + "/recorder/game.dll", dir / "data/game.dll");
        ASSERT_TRUE(dir.Enter());
        log = dir / "calls.log";
        setenv("TESTMOD_LOG", log.c_str(), 1);
        g_now = 5000;
        Sys_SetClock(FakeClock);
    }
    void TearDown() override
    {
        Eng_StopHeadless();
        Sys_SetClock(nullptr);
    }

    int Start(int mouseinv = 0)
    {
        eng_headless_t h = {};
        h.gamedir = "data";
        h.level = 2;
        h.mouseinv = mouseinv;
        return Eng_StartHeadless(&h);
    }
};

TEST_F(Loop, ClockFollowsTimeAndPausesWithoutJump)
{
    g_now = 0xFFFFFF00u - 5500; /* the milliseconds wrap past zero in the last step */
    ASSERT_EQ(Start(), 1);
    g_now += 1500;
    Eng_RunFrame();
    EXPECT_EQ((std::vector<float>{1.5f, 0}), (std::vector<float>{eng_gametime, eng_lastgametime}));
    Eng_GametimePause();
    g_now += 4000;
    Eng_RunFrame();
    EXPECT_EQ((std::vector<float>{1.5f, 1.5f}), (std::vector<float>{eng_gametime, eng_lastgametime}));
    Eng_GametimeResume();
    g_now += 0x200;
    Eng_RunFrame();
    EXPECT_FLOAT_EQ(eng_gametime, 1.5f + 0.512f);
}

/* A close request finishes its frame; the module hears of an inverted mouse */
TEST_F(Loop, CloseAndShutdownEndTheLoop)
{
    struct Case { const char *env[2]; int started; std::vector<int> frames; const char *out, *last; bool inv; } cases[] = {
        {{nullptr, nullptr}, 1, {0, 0}, "$$abort\n", "op 8 0 0 0", false},    /* closing is quitting */
        {{"TESTMOD_SHUTDOWN=2", "TESTMOD_SHUTDOWN_TWICE=1"}, 1, {1, 0, 0}, "$$frames 2\n", "op 4 0 0 0", true},
        {{"TESTMOD_SHUTDOWN=0", nullptr}, 0, {0}, "$$frames 0\n", "op 0 2 0 0", false}};
    for (const Case &c : cases) {
        for (const char *e : c.env)
            if (e)
                putenv((char *)e);
        std::filesystem::remove(log);
        testing::internal::CaptureStdout();
        EXPECT_EQ(Start(c.inv), c.started);
        if (!c.env[0])
            Eng_PostEvent(IE_CLOSE, 0, 0);
        for (int want : c.frames)
            EXPECT_EQ(Eng_RunFrame(), want) << c.out;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out);
        std::string calls = gk::FileText(log);
        EXPECT_EQ(calls.substr(calls.rfind('\n', calls.size() - 2) + 1), c.last + std::string("\n")) << c.out;
        EXPECT_EQ(calls.find("\nop 0 2 0 0\nop 7 1 0 0\n") != std::string::npos, c.inv) << calls;
        Eng_StopHeadless();
        unsetenv("TESTMOD_SHUTDOWN");
        unsetenv("TESTMOD_SHUTDOWN_TWICE");
    }
}

} // namespace
