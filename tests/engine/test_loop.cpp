/*
 * The frame loop run headless against the recording test module: the
 * opcode order of a frame, input forwarding and mouse look, the game
 * clock with pause and resume, initialisation failures, and the shutdown
 * service leaving a frame at once.  (A missing or broken module is run by
 * the real program in test_e2e_engine.)
 */
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine.h"
#include "gk_support.h"
#include "module.h"

namespace {

uint32_t g_now;
uint32_t FakeClock() { return g_now; }

class Loop : public ::testing::Test {
protected:
    gk::TempDir dir;
    std::string log;

    void SetUp() override
    {
        gk::MakeDirs(dir / "data");
        std::filesystem::create_symlink(gk::TestmodDir() + "/recorder/game.dll",
                                        dir / "data/game.dll");
        ASSERT_EQ(chdir(dir.path.c_str()), 0);
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

    std::vector<std::string> Calls()
    {
        std::string text;
        gk::ReadFile(log, &text);
        std::vector<std::string> lines;
        size_t pos = 0;
        while (pos < text.size()) {
            size_t nl = text.find('\n', pos);
            if (nl == std::string::npos)
                nl = text.size();
            lines.push_back(text.substr(pos, nl - pos));
            pos = nl + 1;
        }
        return lines;
    }
};

using Lines = std::vector<std::string>;

/* Initialisation hands over the services and the level, and the mouse
 * inversion only when asked; a failed one stops all opcodes. */
TEST_F(Loop, InitialisationAndItsFailure)
{
    ASSERT_EQ(Start(), 1);
    EXPECT_EQ(Calls(), (Lines{"import 0 0 0 0", "op 0 2 0 0"}));
    EXPECT_EQ(mod_running, 1);
    Eng_StopHeadless();
    std::filesystem::remove(log);
    ASSERT_EQ(Start(1), 1);
    EXPECT_EQ(Calls(), (Lines{"import 0 0 0 0", "op 0 2 0 0", "op 7 1 0 0"}));
    Eng_StopHeadless();
    std::filesystem::remove(log);
    setenv("TESTMOD_INIT", "1", 1);
    EXPECT_EQ(Start(1), 0);
    unsetenv("TESTMOD_INIT");
    EXPECT_EQ(mod_running, 0);
    Eng_RunFrame();
    EXPECT_EQ(Calls(), (Lines{"import 0 0 0 0", "op 0 2 0 0"}));
}

TEST_F(Loop, FrameOrderWithInputAndMouseLook)
{
    ASSERT_EQ(Start(), 1);
    Eng_PostEvent(IE_KEYDOWN, 'A', 0);
    Eng_PostEvent(IE_CHAR, 'a', 0);
    Eng_PostEvent(IE_LBUTTONDOWN, 0, 0);
    Eng_PostEvent(IE_WHEEL, -100, 0);
    Eng_PostEvent(IE_MOUSEMOVE, 10, 0);
    Eng_PostEvent(IE_KEYUP, 'A', 0);
    for (int i = 0; i < 3; i++) {
        g_now += 16;
        ASSERT_EQ(Eng_RunFrame(), 1);
    }
    Lines want = {"import 0 0 0 0", "op 0 2 0 0",
                  /* frame 1: the motion arrives once, after the other input */
                  "op 4 0 0 0", "op 2 0 65 0", "op 2 2 97 0", "op 3 3 0 0", "op 3 8 -100 0",
                  "op 2 1 65 0", "op 3 7 750 0", "op 1 0 0 0", "op 8 0 0 0",
                  /* frame 2: the other slot still holds it */
                  "op 4 0 0 0", "op 3 7 750 0", "op 1 0 0 0", "op 8 0 0 0",
                  /* frame 3: nothing left */
                  "op 4 0 0 0", "op 1 0 0 0", "op 8 0 0 0"};
    EXPECT_EQ(Calls(), want);
}

TEST_F(Loop, MouseLookTruncatesTowardZeroAndNegatesNothing)
{
    ASSERT_EQ(Start(), 1);
    Eng_PostEvent(IE_MOUSEMOVE, -3, 7); /* sensitivity 0.3: -0.9, 2.1 -> /4 */
    Eng_RunFrame();
    Lines calls = Calls();
    EXPECT_EQ(calls[3], "op 3 7 -225 525");
}

TEST_F(Loop, ClockFollowsTimeAndPausesWithoutJump)
{
    g_now = 0xFFFFFF00u - 5500; /* the milliseconds wrap past zero in the last step */
    ASSERT_EQ(Start(), 1);
    g_now += 1500;
    Eng_RunFrame();
    EXPECT_FLOAT_EQ(eng_gametime, 1.5f);
    EXPECT_FLOAT_EQ(eng_lastgametime, 0.0f);
    Eng_GametimePause();
    g_now += 4000;
    Eng_RunFrame();
    EXPECT_FLOAT_EQ(eng_gametime, 1.5f);
    EXPECT_FLOAT_EQ(eng_lastgametime, 1.5f); /* the frame delta becomes 0 */
    Eng_GametimeResume();
    g_now += 0x200;
    Eng_RunFrame();
    EXPECT_FLOAT_EQ(eng_gametime, 1.5f + 0.512f);
}

TEST_F(Loop, CloseRequestFinishesTheFrame)
{
    ASSERT_EQ(Start(), 1);
    Eng_PostEvent(IE_CLOSE, 0, 0);
    EXPECT_EQ(Eng_RunFrame(), 0);
    EXPECT_EQ(Calls(), (Lines{"import 0 0 0 0", "op 0 2 0 0", "op 4 0 0 0", "op 1 0 0 0",
                              "op 8 0 0 0"}));
    EXPECT_EQ(Eng_RunFrame(), 0);
}

TEST_F(Loop, ShutdownLeavesTheFrameAtOnce)
{
    setenv("TESTMOD_SHUTDOWN", "2", 1);
    setenv("TESTMOD_SHUTDOWN_TWICE", "1", 1);
    ASSERT_EQ(Start(), 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Eng_RunFrame(), 1);
    EXPECT_EQ(Eng_RunFrame(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "$$frames 2\n");
    EXPECT_EQ(Eng_RunFrame(), 0);
    Lines calls = Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.back(), "op 4 0 0 0"); /* nothing after the call ran */
    unsetenv("TESTMOD_SHUTDOWN");
    unsetenv("TESTMOD_SHUTDOWN_TWICE");
}

TEST_F(Loop, ShutdownInTheFirstFrameAndDuringInitialisation)
{
    setenv("TESTMOD_SHUTDOWN", "1", 1);
    ASSERT_EQ(Start(), 1);
    EXPECT_EQ(Eng_RunFrame(), 0);
    EXPECT_EQ(Calls().back(), "op 4 0 0 0");
    Eng_StopHeadless();

    setenv("TESTMOD_SHUTDOWN", "0", 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Start(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "$$frames 0\n");
    EXPECT_EQ(Eng_RunFrame(), 0);
    unsetenv("TESTMOD_SHUTDOWN");
}

} // namespace
