/* The gackatron program in a scratch folder with a stand-in engine that reports no modes. */
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "l_testapp.h"

#include <X11/Xlib.h>   /* after Qt and GoogleTest: its macros clash with their names */

static void MakeFolder(gk::TempDir &d, const std::string &say)
{
    std::string prog;
    ASSERT_TRUE(gk::ReadFile(gk::DistDir() + "/gackatron", &prog));
    gk::WriteFile(d / "gackatron", prog);
    chmod((d / "gackatron").c_str(), 0755);
    gk::MakeDirs(d / "data");
    std::string lang;
    ASSERT_TRUE(gk::ReadFile(gk::DistDir() + "/data/textres_44.ini", &lang));
    gk::WriteFile(d / "data/textres_44.ini", lang);
    gk::WriteFile(d / "vexengine", "#!/bin/sh\nprintf '" + say + "'\n");
    chmod((d / "vexengine").c_str(), 0755);
}

TEST(Program, NoModesEndsWithTheMessage)
{
    const struct { const char *say, *expect; bool engine; } rows[] = {
        {"1.05\\n", "Error: The game could not find any display modes.", true},
        {"1.05\\n' ; echo 'no video device' >&2 ; printf '", "Last messages of the game:\nno video device", true},
        {"", "Error: The game program could not be started.", false},
    };
    for (const auto &row : rows) {
        gk::TempDir d;
        MakeFolder(d, row.say);
        if (!row.engine)
            unlink((d / "vexengine").c_str());
        gk::ProcResult r = gk::RunProcess({d / "gackatron", "-en"}, d.path, {"GACKATRON_HEADLESS=1"}, 60);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(row.expect), std::string::npos) << r.err;
        EXPECT_FALSE(access((d / "gackatron.ini").c_str(), F_OK) == 0);
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
    MakeFolder(d, "1.05\\n800 600 32\\n");
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
