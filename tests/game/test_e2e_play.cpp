/*
 * The real vexengine program playing a small test level in a real window
 * on a private Xvfb server, driven by xdotool as a player would: a held left button
 * fires at a chicken straight ahead and the score line at the end of the
 * level counts the kill; Escape pauses, the mouse moves the cursor onto
 * the quit button, and a click there ends the game with the abort line.
 */
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "play_data.h"

namespace {

class E2EPlay : public testing::Test {
protected:
    gk::TempDir dir;
    gk::Proc proc;
    unsigned long window = 0;
    /* a private X server, so that windows of other tests running at the
     * same time cannot come between the pointer and the engine's window */
    gk::PrivateDisplay x;

    void SetUp() override
    {
        if (!x.Start("1024x768x24"))
            GTEST_SKIP() << "needs Xvfb";
    }
    void TearDown() override
    {
        if (proc.pid > 0 && gk::ProcessRunning(proc))
            gk::WaitProcess(proc, 0);
    }
    /* Starts the engine on level 1 and waits for its window (titled by
     * translation string 7) and for the level to be loaded. */
    void Start(float duration, const std::vector<play::Spawn> &spawns)
    {
        ASSERT_TRUE(play::WriteTree(dir.path, 1, duration, spawns));
        std::vector<std::string> argv = {gk::DistDir() + "/vexengine", "-game", "data", "-map",
                                         "1", "-width", "800", "-height", "600"};
        std::vector<std::string> env = {"ALSOFT_DRIVERS=null", "GACKATRON_HEADLESS=1",
                                        "VEX_LOG=1"};
        proc = gk::StartProcess(argv, dir.path, env, dir.path);
        ASSERT_GT(proc.pid, 0);
        window = gk::X11_FindWindowOfPid(proc.pid, 30000);
        ASSERT_NE(window, 0ul) << "the engine opened no window on " << getenv("DISPLAY");
        std::string title;
        for (int i = 0; i < 100; i++) {
            gk::ProcResult r = gk::RunProcess({"/usr/bin/xdotool", "getwindowname",
                                               std::to_string(window)});
            title = r.out;
            if (title == "Gackatron 1.05\n")
                break;
            usleep(100000);
        }
        EXPECT_EQ(title, "Gackatron 1.05\n") << "the title from translation string 7";
        /* the window comes before the level: wait until the classes are
         * cached (the engine log), then give the game a moment to start */
        std::string err;
        for (int i = 0; i < 300; i++) {
            gk::ReadFile(proc.errpath, &err);
            if (err.find("**** entities cached ****") != std::string::npos)
                break;
            usleep(100000);
        }
        ASSERT_NE(err.find("**** entities cached ****"), std::string::npos) << err;
        /* the pointer rests on the window's centre, where the engine put it */
        usleep(1000000);
    }
    void X(const std::vector<std::string> &args) { ASSERT_TRUE(gk::Xdotool(args)); }
    gk::ProcResult Finish(int timeout_s)
    {
        gk::ProcResult r = gk::WaitProcess(proc, timeout_s);
        proc.pid = -1;
        return r;
    }
};

TEST_F(E2EPlay, HeldButtonShootsTheChickenAndTheScoreLineCountsIt)
{
    play::Spawn chicken = {"chicken", 0.0f, -1.0f, {0, 0, -200}, {0, 0, 1}, 0.0f};
    Start(8.0f, {chicken});
    ASSERT_FALSE(HasFatalFailure());
    X({"mousedown", "1"});
    usleep(2000000);
    X({"mouseup", "1"});
    gk::ProcResult r = Finish(60);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "$$score 25\n") << r.err.substr(r.err.size() > 3000 ? r.err.size() - 3000 : 0);
}

TEST_F(E2EPlay, EscapePausesAndAClickOnQuitPrintsTheAbortLine)
{
    Start(120.0f, {});
    ASSERT_FALSE(HasFatalFailure());
    X({"click", "1"}); /* a shot into the empty sky */
    usleep(300000);
    X({"key", "Escape"});
    usleep(500000);
    /* the cursor starts between the buttons; move it onto "quit" */
    for (int i = 0; i < 10; i++) {
        X({"mousemove_relative", "--", "10", "0"});
        usleep(100000);
    }
    usleep(300000);
    X({"click", "1"});
    gk::ProcResult r = Finish(30);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "$$abort\n") << r.err.substr(r.err.size() > 3000 ? r.err.size() - 3000 : 0);
}

} // namespace
