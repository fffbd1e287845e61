/* The gackatron program in a scratch folder with a stand-in engine that reports no modes. */
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>

#include "l_testapp.h"

#include <X11/Xlib.h>   /* after Qt and GoogleTest: its macros clash with their names */

static void MakeFolder(const std::string &d, const std::string &say)
{
    std::error_code e;
    gk::MakeDirs(d + "/data");
    for (const char *f : {"/gackatron", "/data/textres_44.ini", "/data/textres_7.ini"})  /* the program keeps its mode */
        ASSERT_TRUE(std::filesystem::copy_file(gk::DistDir() + f, d + f, e)) << f << ": " << e.message();
    gk::WriteFile(d + "/vexengine", "#!/bin/sh\nprintf '" + say + "'\n");
    chmod((d + "/vexengine").c_str(), 0755);
}

/* No display: with a Qt platform chosen the launcher runs; with none it says so. */
TEST(Program, NoModesOrNoDisplayEndsWithTheMessage)
{
    const struct { const char *say, *expect; bool engine; const char *qpa = "offscreen", *lang = "-en"; } rows[] = {
        {"1.05\\n", "Error: The game could not find any display modes.", true},
        {"1.05\\n' ; echo 'no video device' >&2 ; printf '", "Last messages of the game:\nno video device", true},
        {"", "Error: The game program could not be started.", false},
        {"1.05\\n800 600 32\\n", "gackatron: Дисплей не найден", true, "", "-ru"},  /* in the player's language */
    };
    for (const auto &row : rows) {
        gk::TempDir d;
        MakeFolder(d.path, row.say);
        if (!row.engine)
            unlink((d / "vexengine").c_str());
        gk::ProcResult r = gk::RunProcess({d / "gackatron", row.lang}, d.path, {"GACKATRON_HEADLESS=1", "DISPLAY=",
                                          "WAYLAND_DISPLAY=", std::string("QT_QPA_PLATFORM=") + row.qpa}, 60);
        EXPECT_TRUE(r.status == 1 && r.err.find(row.expect) != std::string::npos) << r.status << " " << r.err;
        EXPECT_FALSE(access((d / "gackatron.ini").c_str(), F_OK) == 0);
    }
}

/* A small filesystem, filled up; mounted in a namespace of the test's own, so that it goes with the test
 * even when the test is killed. */
struct FullDisk {
    std::string dir;
    bool Make(const std::string &d)
    {
        gk::MakeDirs(d);
        if (unshare(CLONE_NEWNS) != 0 || mount(NULL, "/", NULL, MS_REC | MS_PRIVATE, NULL) != 0)
            return false;
        size_t room = std::filesystem::file_size(gk::DistDir() + "/gackatron") + (1 << 20);
        dir = mount("tmpfs", d.c_str(), "tmpfs", 0, ("size=" + std::to_string(room)).c_str()) == 0 ? d : "";
        return !dir.empty();
    }
    void Fill() { EXPECT_NE(system(("cat /dev/zero > " + dir + "/filler 2>/dev/null").c_str()), 0); }
    void ReadOnly() { EXPECT_EQ(mount(NULL, dir.c_str(), NULL, MS_REMOUNT | MS_RDONLY, NULL), 0); }
    ~FullDisk()
    {
        if (!dir.empty())
            umount2(dir.c_str(), MNT_DETACH);
    }
};

/* The launcher closed by the window manager saves its settings, keeping keys it does not know; when the game
 * folder or the temporary folder is full, or the temporary folder is read-only, the old file stays whole, no
 * temporary file is left, and the player hears which file and why. */
TEST(Program, SaveOnAFullDiskKeepsTheOldSettings)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small filesystem needs root";
    gk::PrivateDisplay x;
    ASSERT_TRUE(x.Start("800x600x24"));
    for (int full : {0, 1, 2, 3}) {    /* nothing, the game folder, the temporary folder full; read-only */
        gk::TempDir d;
        FullDisk disk;
        ASSERT_TRUE(disk.Make(d / "disk"));
        std::string game = full == 1 ? disk.dir : d / "game", ini = game + "/gackatron.ini";
        MakeFolder(game, "1.05\\n640 480 16\\n");
        const std::string old = "[mouse]\nspeed=7\n[other]\nkey=" + std::string(9000, 'k') + "\n";
        gk::WriteFile(ini, old);
        gk::WriteFile(ini + ".new-Ab12Cd", "");     /* left by a kill */
        if (full)
            full == 3 ? disk.ReadOnly() : disk.Fill();
        gk::Proc p = gk::StartProcess({game + "/gackatron", "-en"}, d.path,
                                      {"GACKATRON_HEADLESS=1", "QT_QPA_PLATFORM=xcb", "TMPDIR=" + (full >= 2 ? disk.dir : d.path)},
                                      d.path);
        unsigned long w = gk::X11_FindWindowByName("^Gackatron - Starter$", 60);
        EXPECT_NE(w, 0ul) << "no launcher window";
        EXPECT_TRUE(w && gk::X11_SendCloseRequest(w));
        gk::ProcResult r = gk::WaitProcess(p, w ? 60 : 1);
        EXPECT_EQ(r.status, 0);
        std::string now;
        ASSERT_TRUE(gk::ReadFile(ini, &now));
        std::string told = "Settings not saved: The settings and highscores could not be saved to\r\n" + ini +
                           "\r\n" + (full == 1 ? "The disk is full." : disk.dir + (full == 2 ? "/" : ": "));
        if (full) {
            EXPECT_EQ(now, old);
            EXPECT_NE(r.err.find(told), std::string::npos) << r.err;
            EXPECT_EQ(r.err.find("The disk is full.") != std::string::npos, full < 3) << r.err;
        } else {
            EXPECT_TRUE(now.find("speed=7\n") != std::string::npos && now.find(old.substr(16)) != std::string::npos);
        }
        for (const auto &e : std::filesystem::directory_iterator(game))
            EXPECT_EQ(e.path().string().find(".new-"), std::string::npos) << e.path();
    }
}

/* A second launcher brings the first one's window to the front and ends; the
 * lock of a launcher that was killed is taken over. */
TEST(Program, SecondLauncherRaisesTheFirst)
{
    gk::PrivateDisplay x;
    if (!x.Start())
        GTEST_SKIP() << "no Xvfb";
    gk::TempDir d, xdg;
    MakeFolder(d.path, "1.05\\n800 600 32\\n");
    std::vector<std::string> env = {"QT_QPA_PLATFORM=xcb", "XDG_RUNTIME_DIR=" + xdg.path};
    gk::Proc first = gk::StartProcess({d / "gackatron", "-en"}, d.path, env, d.path);
    Window win = gk::X11_FindWindowByName("^Gackatron - Starter$", 30), focus = 0;
    ASSERT_NE(win, 0u) << "the first launcher's window did not appear";
    Display *dpy = XOpenDisplay(nullptr);
    Window other = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1280, 1024, 0, 0, 0);
    XMapRaised(dpy, other);
    XSync(dpy, False);
    ASSERT_TRUE(gk::Xdotool({"windowfocus", "--sync", std::to_string(other)}));
    gk::ProcResult second = gk::RunProcess({d / "gackatron", "-en"}, d.path, env, 30);
    EXPECT_EQ(second.status, 0) << second.err;
    for (int i = 0, revert; i < 100 && focus != win; i++, usleep(100000))
        XGetInputFocus(dpy, &focus, &revert);
    EXPECT_EQ(focus, win) << "the first launcher did not come to the front";
    XCloseDisplay(dpy);
    kill(first.pid, SIGKILL);
    gk::WaitProcess(first, 10);
    gk::Proc third = gk::StartProcess({d / "gackatron", "-en"}, d.path, env, d.path);
    ASSERT_NE(win = gk::X11_FindWindowByName("^Gackatron - Starter$", 30), 0u) << "no launcher after a killed one";
    EXPECT_TRUE(gk::X11_SendCloseRequest(win));
    EXPECT_EQ(gk::WaitProcess(third, 20).status, 0);
}
