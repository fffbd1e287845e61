/* The real vexengine in a real window on Xvfb, driven by xdotool: demos and the pause menu. */
#include <gtest/gtest.h>

#include <unistd.h>

#include "play_data.h"
#include "zipwriter.h"

namespace {

std::vector<std::string> HashLines(const std::string &err)
{
    std::vector<std::string> v;
    for (size_t at = err.find("demohash "); at != std::string::npos; at = err.find("demohash ", at + 1))
        v.push_back(err.substr(at, err.find('\n', at) - at));
    return v;
}

struct E2EDemo : testing::Test {
    gk::TempDir dir;
    /* a private X server: no other test's window between pointer and engine */
    gk::PrivateDisplay x;
    std::vector<std::string> env = {"ALSOFT_DRIVERS=null", "GACKATRON_HEADLESS=1", "VEX_DEMOHASH=1"};

    void SetUp() override
    {
        if (!x.Start("1024x768x24"))
            GTEST_SKIP() << "needs Xvfb";
    }
    gk::ProcResult Engine(const std::vector<std::string> &args) { return play::Engine(dir.path, args, env); }
    /* Level 1 recorded in German with X input: button held at a chicken ahead, then a look aside. */
    gk::ProcResult Record()
    {
        play::Spawn ahead = {"chicken", 0.0f, -1.0f, {0, 0, -200}, {0, 0, 1}, 0.0f};
        play::Spawn passing = {"chicken", 0.5f, 1.5f, {-150, 20, -250}, {1, 0, 0}, 40.0f};
        EXPECT_TRUE(play::WriteTree(dir.path, 1, 6.0f, {ahead, passing}));
        gk::Proc p = play::Launch(dir.path, {"-map", "1", "-countrycode", "49", "-record", dir / "game.dem"},
                                  env);
        gk::Xdotool({"mousedown", "1"}, 1500);
        for (int i = 0; i < 5; i++)
            gk::Xdotool({"mousemove_relative", "--", "12", "-4"}, 100);
        gk::Xdotool({"mouseup", "1"});
        gk::Xdotool({"key", "Escape"}, 700); /* pause and back: the clock stands */
        gk::Xdotool({"key", "Escape"});
        gk::Xdotool({"click", "3"});
        return gk::WaitProcess(p, 90);
    }
};

TEST_F(E2EDemo, RecordedGameReplaysExactly)
{
    gk::ProcResult rec = Record();
    ASSERT_EQ(rec.status, 0) << rec.err;
    int points = 0;
    ASSERT_EQ(sscanf(rec.out.c_str(), "$$score %d", &points), 1) << rec.out;
    EXPECT_GE(points, 25) << "the held button did not kill the chicken ahead";
    std::vector<std::string> hashes = HashLines(rec.err);
    ASSERT_GE(hashes.size(), 1u);
    for (const std::string &h : hashes)     /* every hundredth frame */
        EXPECT_EQ(atoi(h.c_str() + strlen("demohash ")) % 100, 0) << h;

    gk::ProcResult ver = Engine({"-verifydemo", dir / "game.dem"});
    EXPECT_EQ(ver.status, 0) << ver.err;
    EXPECT_TRUE(ver.out == rec.out && HashLines(ver.err) == hashes) << ver.out << ver.err;

    /* a timed replay: the same result line, then the timing */
    gk::ProcResult t1 = Engine({"-timedemo", dir / "game.dem"});
    EXPECT_EQ(t1.out.rfind(rec.out + "timedemo ", 0), 0u) << t1.out;
    EXPECT_EQ(HashLines(t1.err), hashes);

    /* the player's Escape ends a playback at the recorded pace early */
    gk::Proc play = gk::StartProcess({gk::DistDir() + "/vexengine", "-game", "data", "-playdemo",
                                      dir / "game.dem"}, dir.path, env, dir.path);
    unsigned long win = gk::X11_FindWindowOfPid(play.pid, 30000);
    ASSERT_NE(win, 0ul);
    usleep(1000000);
    gk::Xdotool({"key", "--window", std::to_string(win), "Escape"});
    gk::ProcResult p = gk::WaitProcess(play, 30);
    EXPECT_TRUE(p.status == 0 && p.out.empty()) << p.out << p.err;

    /* damaged demos and other level data are refused */
    auto refused = [&](const std::string &file, const std::string &why) {
        gk::ProcResult r = Engine({"-verifydemo", file});
        EXPECT_TRUE(r.status == 1 && r.out.empty() && r.err.find(why) != std::string::npos) << why << ": " << r.status << r.out << r.err;
    };
    std::string demo;
    ASSERT_TRUE(gk::ReadFile(dir / "game.dem", &demo));
    gk::WriteFile(dir / "bad.dem", demo.substr(0, 30));
    refused(dir / "bad.dem", "not a demo file");
    demo[4] = 9;        /* the other refusals are fuzz_demo's seeds */
    gk::WriteFile(dir / "bad.dem", demo);
    refused(dir / "bad.dem", "format version 9");
    std::string level;
    ASSERT_TRUE(gk::ReadFile(dir / "data/script1.bin", &level));
    level[level.size() - 1] ^= 1;
    gk::WriteFile(dir / "data/script1.bin", level);
    refused(dir / "game.dem", "other level data");
    level[level.size() - 1] ^= 1;
    gk::WriteFile(dir / "data/script1.bin", level);
    /* nor on other archives beside the level's */
    gk::WriteFile(dir / "data/vex1.pk3", gk::ZipBuild({{"cockpit.dmo", "another cockpit"}}));
    refused(dir / "game.dem", "other game archives than data/");
}

/* A demo that cannot be written (a read-only folder, a full disk) is said once, leaves no file and the
 * old demo whole, and the game goes on to its end; what a killed recording left is removed. */
TEST_F(E2EDemo, ADemoThatCannotBeKept)
{
    std::string pidmax, demo, said = "the demo could not be kept: demos/game.dem: ";
    ASSERT_TRUE(play::WriteTree(dir.path, 1, 1.0f, {}) && gk::MakeDirs(dir / "demos"));
    ASSERT_TRUE(gk::ReadFile("/proc/sys/kernel/pid_max", &pidmax) && gk::WriteFile(dir / "demos/game.dem", "old demo"));
    ASSERT_TRUE(gk::WriteFile(dir / ("demos/game.dem.tmp" + std::to_string(std::stoi(pidmax)) + ".0"), "x"));
    bool root = geteuid() == 0; /* root writes to folders without write permission */
    for (std::string how : {root ? "mount --bind -o ro demos demos" : "chmod a-w demos", "ulimit -f 0"}) {
        /* through a pipe: the size limit is the engine's files', not its output's */
        gk::ProcResult r = gk::RunProcess({root ? "/usr/bin/unshare" : "/usr/bin/nice", root ? "-m" : "-n0", "/bin/sh", "-c",
                                           "{ (trap '' XFSZ; " + how + " && exec \"$0\" -game data -map 1 -record "
                                           "demos/game.dem); echo \"exit $?\"; } 2>&1 | cat", gk::DistDir() + "/vexengine"},
                                          dir.path, env, 120);
        std::filesystem::permissions(dir / "demos", std::filesystem::perms::owner_all);
        size_t at = r.out.find(said);
        EXPECT_NE(r.out.find("$$score 0\nexit 0\n"), std::string::npos) << how << r.out;
        EXPECT_TRUE(at != std::string::npos && r.out.find("could not be kept", at + said.size()) == std::string::npos)
            << how << r.out;
        EXPECT_TRUE(gk::ReadFile(dir / "demos/game.dem", &demo) && demo == "old demo") << how;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "demos"), {}), 1);
}

TEST_F(E2EDemo, EscapePausesAndAClickOnQuitPrintsTheAbortLine)
{
    ASSERT_TRUE(play::WriteTree(dir.path, 1, 120.0f, {}));
    gk::Proc p = play::Launch(dir.path, {"-map", "1", "-width", "800", "-height", "600"}, env);
    unsigned long window = gk::X11_FindWindowOfPid(p.pid, 30000);
    EXPECT_NE(window, 0ul) << "the engine opened no window on " << getenv("DISPLAY");
    gk::ProcResult title = gk::RunProcess({"/usr/bin/xdotool", "getwindowname", std::to_string(window)});
    EXPECT_EQ(title.out, "Gackatron 1.05\n") << "the title from translation string 7";
    gk::Xdotool({"click", "1"}, 300); /* a shot into the empty sky */
    gk::Xdotool({"key", "Escape"}, 500);
    /* the cursor starts between the buttons; move it onto "quit" */
    for (int i = 0; i < 10; i++)
        gk::Xdotool({"mousemove_relative", "--", "10", "0"}, 100);
    usleep(300000);
    gk::Xdotool({"click", "1"});
    gk::ProcResult r = gk::WaitProcess(p, 30);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "$$abort\n") << r.err.substr(r.err.size() > 3000 ? r.err.size() - 3000 : 0);
}

} // namespace
