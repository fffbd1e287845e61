/* The real vexengine program against the recording test module */
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <X11/Xlib.h>

#include "gk_support.h"
#include "zipwriter.h"

namespace {

/* Each test has an X server of its own. */
struct Engine : ::testing::Test {
    gk::TempDir dir;
    gk::PrivateDisplay x;
    std::string exe = gk::DistDir() + "/vexengine";

    void SetUp() override
    {
        if (!x.Start())
            GTEST_SKIP() << "no Xvfb";
    }

    void UseModule(const std::string &variant)
    {
        gk::MakeDirs(dir / "data");
        std::filesystem::remove(dir / "data/game.dll");
        std::filesystem::create_symlink(gk::TestmodDir() + "/" + variant + "/game.dll", dir / "data/game.dll");
    }
    gk::ProcResult Run(const std::vector<std::string> &args, std::vector<std::string> env = {})
    {
        std::vector<std::string> argv = {exe};
        argv.insert(argv.end(), args.begin(), args.end());
        env.push_back("TESTMOD_LOG=" + (dir / "calls.log"));
        return gk::RunProcess(argv, dir.path, env, 60);
    }
    std::string Calls() { return gk::FileText(dir / "calls.log"); }
};

/* One run of the program to its end */
struct RunCase {
    const char *module; /* "" for none, "junk" for a file that is no shared library */
    std::vector<std::string> args, env;
    int status;
    const char *out, *err, *calls; /* err: a part of it; calls: nullptr, not checked */
};

TEST_F(Engine, ToolModesAndFailuresEndWithTheirStatusAndOutput)
{
    gk::MakeDirs(dir / "my game");
    std::filesystem::create_symlink(gk::TestmodDir() + "/recorder/game.dll", dir / "my game/game.dll");
    const RunCase cases[] = {
        {"", {"-width", "640"}, {}, 1, "", "", nullptr}, /* no game directory */
        {"", {"-game", std::string(300, 'd')}, {}, 1, "", "", nullptr},
        {"", {"-game", "data", "-warp", "9"}, {}, 0, "Unknown command line switch : -WARP\n", "", nullptr},
        {"recorder", {"-game", "data"}, {"TESTMOD_INIT=1"}, 1, "aiInit() failed!\n",
         "QZM: The game data data/vex0.pk3 is missing.", "import 0 0 0 0\nop 0 0 0 0\n"},
        {"nomain", {"-game", "data"}, {}, 1, "aiInit() failed!\n",
         "QZM: The game module data/game.dll could not be loaded", nullptr},
        {"", {"-game", "elsewhere"}, {}, 1, "aiInit() failed!\n", "QZM: The game data was not found in the current folder",
         nullptr},
        /* no display, unless the caller chose SDL's driver */
        {"recorder", {"-game", "data"}, {"DISPLAY=", "WAYLAND_DISPLAY="}, 1, "", "QZM: No display was found", ""},
        {"", {"-game", "data"}, {"DISPLAY=", "SDL_VIDEODRIVER=offscreen", "TESTMOD_FRAMES=2"}, 0, "$$frames 2\n", "",
         nullptr},
        {"recorder", {"-game", "data", "-map", "3", "-mouseinv"}, {"TESTMOD_SHUTDOWN=1"}, 0, "$$frames 1\n", "",
         "import 0 0 0 0\nop 0 3 0 0\nop 7 1 0 0\nop 4 0 0 0\n"},
        {"", {"-game", "my game"}, {"TESTMOD_FRAMES=3"}, 0, "$$frames 3\n", "", nullptr},
        {"recorder", {"-game", "data", "-fullscreen", "-width", "1000", "-height", "700", "-bpp", "32"}, {}, 1, "",
         "QZM: Your requested video mode is unavailable.", "" /* the module is never loaded */},
        {"recorder", {"-game", "data", "-fullscreen", "-width", "1280", "-height", "1024", "-bpp", "16"}, {}, 1, "",
         "QZM: Your requested video mode is unavailable.", "" /* the screen's size, not its depth */},
        {"recorder", {"-game", "data", "-fullscreen", "-width", "1280", "-height", "1024", "-bpp", "32"},
         {"TESTMOD_FRAMES=5"}, 0, "$$frames 5\n", "", nullptr},
        {"junk", {"-game", "data"}, {}, 1, "aiInit() failed!\n", "", nullptr},
        /* a damaged archive */
        {"recorder", {"-game", "data", "-map", "0"}, {"TESTMOD_INIT=1"}, 1, "aiInit() failed!\n",
         "QZM: The game data data/vex0.pk3 is damaged", nullptr},
        /* an archive whose member would unpack to 1 GiB */
        {"recorder", {"-game", "data", "-map", "1"}, {"TESTMOD_FRAMES=1"}, 1, "",
         "QZM: The game data data/vex1.pk3 is damaged: x.dmo: it would unpack to 1073741824 bytes", ""}};
    for (const RunCase &c : cases) {
        std::string what = c.args.back();
        if (!strcmp(c.module, "junk")) {
            std::filesystem::remove(dir / "data/game.dll");
            gk::WriteFile(dir / "data/game.dll", std::string(4096, '\x7f'));
        } else if (*c.module) {
            UseModule(c.module);
        }
        if (what == "0")
            gk::WriteFile(dir / "data/vex0.pk3", std::string(300, 'P'));
        if (what == "1") {
            gk::ZipLayout l;
            std::string bomb = gk::ZipBuild({{"x.dmo", "x"}}, "", &l);
            gk::ZipPut(bomb, l.central[0] + 24, 1u << 30);
            gk::WriteFile(dir / "data/vex1.pk3", bomb);
        }
        std::filesystem::remove(dir / "calls.log");
        gk::ProcResult r = Run(c.args, c.env);
        EXPECT_TRUE(r.status == c.status && r.out == c.out && r.err.find(c.err) != std::string::npos)
            << what << ": " << r.status << " " << r.out << r.err;
        if (c.calls) {
            EXPECT_EQ(Calls(), c.calls) << what;
        }
    }
}

/* Real input through the X server, read back from the module's log. */
TEST_F(Engine, RealWindowInputAndCloseRequest)
{
    UseModule("recorder");
    gk::Proc p = gk::StartProcess({exe, "-game", "data"}, dir.path, {"TESTMOD_LOG=" + (dir / "calls.log")}, dir.path);
    unsigned long win = gk::X11_FindWindowOfPid(p.pid, 20000);
    ASSERT_NE(win, 0u) << "engine window did not appear";
    std::string w = std::to_string(win);
    usleep(500000);
    /* centred at the requested size; Alt+Enter to the full screen and back, the mouse grab kept */
    ASSERT_TRUE(gk::Xdotool({"windowfocus", "--sync", w}));
    std::vector<int> centred = {(1280 - 800) / 2, (1024 - 600) / 2, 800, 600}, g(4);
    const std::vector<int> wants[3] = {centred, {0, 0, 1280, 1024}, centred};
    for (int k = 0; k < 3; k++) {
        for (int i = 0; i < 100 && g != wants[k]; i++, usleep(50000))
            gk::X11_WindowGeometry(win, &g[0], &g[1], &g[2], &g[3]);
        EXPECT_EQ(g, wants[k]) << "window geometry, step " << k;
        EXPECT_TRUE(k == 2 || gk::Xdotool({"key", "alt+Return"}));
    }
    /* a second engine on the same display is refused before its window */
    gk::ProcResult second = Run({"-game", "data"}, {"TESTMOD_FRAMES=1"});
    EXPECT_TRUE(second.status == 1 && second.out.empty() && second.err.find("QZM: Another Gackatron game is already running") != std::string::npos)
        << second.status << second.out << second.err;

    EXPECT_TRUE(gk::Xdotool({"mousemove", "--window", w, "400", "300"}, 300));
    EXPECT_TRUE(gk::Xdotool({"key", "--window", w, "b"}));
    for (const char *button : {"1", "3", "5"})
        EXPECT_TRUE(gk::Xdotool({"click", button})) << button;
    usleep(200000);
    EXPECT_TRUE(gk::Xdotool({"mousemove_relative", "--", "20", "-8"}, 500));
    EXPECT_TRUE(gk::X11_SendCloseRequest(win));
    gk::ProcResult r = gk::WaitProcess(p, 20);
    EXPECT_TRUE(r.status == 0 && r.out == "$$abort\n") << r.status << r.out;    /* closing the window is quitting */
    /* key B down, character b, key B up; each button pressed, then released; the wheel */
    std::string calls = Calls();
    size_t at = 0;
    for (const char *op : {"op 2 0 66 0\n", "op 2 2 98 0\n", "op 2 1 66 0\n", "op 3 3 0 0\n", "op 3 4 0 0\n",
                           "op 3 5 0 0\n", "op 3 6 0 0\n", "op 3 8 -100 0\n"}) {
        EXPECT_NE(at = calls.find(op, at), std::string::npos) << op << calls;
        at = at == std::string::npos ? 0 : at;
    }
    /* 20 right and 8 up at sensitivity 0.3 */
    size_t from = calls.find("op 3 8 -100 0\n");
    ASSERT_NE(from, std::string::npos);
    long sx = 0, sy = 0;
    for (size_t at = calls.find("op 3 7 ", from); at != std::string::npos;
         at = calls.find("op 3 7 ", at + 1)) {
        int x = 0, y = 0;
        sscanf(calls.c_str() + at, "op 3 7 %d %d", &x, &y);
        sx += x;
        sy += y;
    }
    EXPECT_TRUE(labs(sx - 3000) <= 10 && labs(sy - 1200) <= 10) << sx << " " << sy << "\n" << calls;
    /* the frame of the close request still completes */
    ASSERT_GE(calls.size(), 11u);
    EXPECT_EQ(calls.substr(calls.size() - 11), "op 8 0 0 0\n");
}

/* Going to another window pauses the game as Escape does (the recorder ends its game on Escape). */
TEST_F(Engine, FocusLossPauses)
{
    UseModule("recorder");
    gk::Proc p = gk::StartProcess({exe, "-game", "data"}, dir.path, {}, dir.path);
    unsigned long win = gk::X11_FindWindowOfPid(p.pid, 20000);
    ASSERT_TRUE(win && gk::Xdotool({"windowfocus", "--sync", std::to_string(win)}));
    Display *d = XOpenDisplay(nullptr);
    Window other = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 50, 50, 0, 0, 0);
    XMapWindow(d, other);
    XSync(d, False);
    EXPECT_TRUE(gk::Xdotool({"windowfocus", std::to_string(other)}));
    EXPECT_EQ(gk::WaitProcess(p, 20).out.rfind("$$frames ", 0), 0u) << "no pause on focus loss";
    XCloseDisplay(d);
}

} // namespace
