/* The installed game: package (or cmake --install) unpacked into a read-only
 * root, launcher and engine played on a private X server, validators passed. */
#include <filesystem>
#include <set>

#include "l_testapp.h"

#define GAMETREE "/usr/lib/games/gackatron"

static bool Have(const char *tool) { return access(tool, X_OK) == 0; }

static std::string RunTool(const std::vector<std::string> &argv, int *status, int timeout_s = 300,
                       const std::vector<std::string> &env = {})
{
    gk::ProcResult r = gk::RunProcess(argv, "", env, timeout_s);
    *status = r.status;
    return r.out + r.err;
}

/* How many files and folders below dir were written after t. */
static int WrittenSince(const std::string &dir, std::filesystem::file_time_type t)
{
    int n = std::filesystem::last_write_time(dir) > t;
    for (const auto &e : std::filesystem::recursive_directory_iterator(dir))
        n += !e.is_symlink() && e.last_write_time() > t;
    return n;
}

/* Sky colours, few black holes and the timer text: the level is drawn. */
static void ExpectLevelOnScreen(const std::string &raw)
{
    const int W = 800, H = 600;
    std::string f;
    ASSERT_TRUE(gk::ReadFile(raw, &f));
    ASSERT_EQ(f.size(), (size_t)(W * H * 3));
    auto at = [&f](int x, int y) { return (const unsigned char *)f.data() + 3 * (y * W + x); };
    std::set<int> colours;
    int black = 0, total = 0, bright = 0;
    for (int y = 20; y < 300; y += 2)
        for (int x = 100; x < 700; x += 2, total++) {
            const unsigned char *p = at(x, y);
            colours.insert((p[0] >> 4) << 8 | (p[1] >> 4) << 4 | (p[2] >> 4));
            black += p[0] == 0 && p[1] == 0 && p[2] == 0;
        }
    for (int y = H - 48; y < H - 24; y++)
        for (int x = 340; x < 460; x++)
            bright += at(x, y)[0] > 200 && at(x, y)[1] > 200 && at(x, y)[2] > 200;
    EXPECT_GE(colours.size(), 12u);
    EXPECT_TRUE(black < total / 4 && bright >= 30) << black << " black, " << bright << " bright: a timer's text?";
}

/* The installed game played by an ordinary user (nobody, when the test runs as root, which also starts it
 * once itself): settings and the demo land in the user's XDG folders, nothing is written under the tree. */
static void PlayInstalled(const std::string &root, gk::TempDir &tmp)
{
    std::string tree = root + GAMETREE;
    ASSERT_TRUE(gk::WriteFile(tree + "/gackatron.ini", "[mouse]\nspeed=7\n"));
    bool asroot = geteuid() == 0;
    std::vector<std::string> as;    /* how the player's programs are started */
    if (asroot)
        as = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    chmod(tmp.path.c_str(), 0755);
    std::string elsewhere = tmp / "elsewhere", cfg = tmp / "config", data = tmp / "share", run = tmp / "run";
    for (const std::string &dir : {elsewhere, cfg, data, run})
        ASSERT_TRUE(gk::MakeDirs(dir) && chmod(dir.c_str(), 0700) == 0 && (!asroot || chown(dir.c_str(), 65534, 65534) == 0));
    std::vector<std::string> env = {"XDG_CONFIG_HOME=" + cfg, "XDG_DATA_HOME=" + data, "XDG_RUNTIME_DIR=" + run,
                                    "HOME=" + elsewhere, "QT_QPA_PLATFORM=xcb", "GACKATRON_HEADLESS=1",
                                    "ALSOFT_DRIVERS=null", "LIBGL_ALWAYS_SOFTWARE=1"};
    auto since = std::filesystem::file_time_type::clock::now();
    std::string cmd = root + "/usr/games/gackatron";
    gk::ProcResult v = gk::RunProcess({cmd, "--version"}, elsewhere, {}, 30);
    EXPECT_TRUE(v.status == 0 && v.out == "gackatron 1.05\n") << v.status << v.out;
    EXPECT_EQ(gk::RunProcess({cmd, "--help"}, elsewhere, {}, 30).status, 0);

    gk::PrivateDisplay x;
    ASSERT_TRUE(x.Start("800x600x24"));
    v = gk::RunProcess({tree + "/vexengine", "-getvidmodes"}, elsewhere, {}, 30);
    EXPECT_EQ(v.out.substr(0, 5), "1.05\n");
    if (asroot) {   /* root may write the tree, and still does not */
        std::vector<std::string> rootenv = env;
        rootenv.push_back("XDG_CONFIG_HOME=" + (tmp / "rootconfig"));
        gk::Proc p = gk::StartProcess({cmd, "-en"}, elsewhere, rootenv, tmp.path);
        unsigned long w = gk::X11_FindWindowByName("^Gackatron - Starter$", 60);
        ASSERT_NE(w, 0ul) << "no launcher window";
        ASSERT_TRUE(gk::X11_SendCloseRequest(w));
        EXPECT_EQ(gk::WaitProcess(p, 60).status, 0);
        EXPECT_EQ(access((tmp / "rootconfig/gackatron/gackatron.ini").c_str(), F_OK), 0);
    }
    std::vector<std::string> argv = as;
    argv.insert(argv.end(), {cmd, "-en"});
    gk::Proc p = gk::StartProcess(argv, elsewhere, env, tmp.path);
    unsigned long w = gk::X11_FindWindowByName("^Gackatron - Starter$", 60);
    ASSERT_NE(w, 0ul) << "no launcher window";
    usleep(500000);
    /* Play: the button at 20,382 (160 x 40) on the first page, below the tabs */
    ASSERT_TRUE(gk::Xdotool({"mousemove", "--window", std::to_string(w), "100", "427", "click", "1"}));
    unsigned long e = gk::X11_FindWindowByName("^Gackatron [0-9]", 60);
    ASSERT_NE(e, 0ul) << "the engine did not start";
    sleep(4);
    std::string raw = tmp / "frame.rgb";
    int st;
    std::string out = RunTool({"/usr/bin/ffmpeg", "-loglevel", "error", "-y", "-f", "x11grab", "-video_size", "800x600",
                           "-i", x.display, "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "rgb24", raw}, &st, 60);
    ASSERT_EQ(st, 0) << out;
    ExpectLevelOnScreen(raw);

    /* fire to the end of the level; a score that earns a place asks for a name */
    ASSERT_TRUE(gk::Xdotool({"mousemove", "--window", std::to_string(e), "400", "300", "mousedown", "1"}));
    unsigned long d = gk::X11_FindWindowByName("^Highscore entry$", 180);
    ASSERT_NE(d, 0ul) << "no score entry";
    ASSERT_TRUE(gk::Xdotool({"windowfocus", std::to_string(d), "key", "Return"}));
    w = gk::X11_FindWindowByName("^Gackatron - Starter$", 30);
    ASSERT_NE(w, 0ul);
    ASSERT_TRUE(gk::X11_SendCloseRequest(w));
    gk::ProcResult r = gk::WaitProcess(p, 60);
    EXPECT_EQ(r.status, 0) << r.err;

    QSettings s(QString::fromStdString(cfg + "/gackatron/gackatron.ini"), QSettings::IniFormat);
    EXPECT_EQ((std::vector<QString>{s.value("mouse/speed").toString(), s.value("proxy/port").toString(), s.value("display/fullscreen").toString()}),
              (std::vector<QString>{"7", "8080", "0"})) << "started from the copy, the rest written with its defaults";
    HighscoreTable t, inet;
    EXPECT_TRUE(UnpackTable(s.value("game/inet").toString().toStdString(), &inet));
    ASSERT_TRUE(UnpackTable(s.value("game/local").toString().toStdString(), &t)) << r.err;
    EXPECT_GT(t.e[0][0].points, 0);
    std::string demo = "level0-" + std::to_string(t.e[0][0].points) + "-";
    int demos = 0;
    std::error_code ec;
    for (const auto &e : std::filesystem::directory_iterator(data + "/gackatron/demos", ec))
        demos += e.path().filename().string().rfind(demo, 0) == 0;
    EXPECT_EQ(demos, 1) << demo;
    EXPECT_EQ(WrittenSince(root, since), 0);
}

/* The package's contents, lintian's verdict and the libraries it depends on. */
static void CheckPackage(const std::string &dir, const std::string &deb)
{
    int st;
    std::vector<std::string> lintian = {"/usr/bin/lintian", "--fail-on", "error,warning"};
    for (const auto &f : std::filesystem::directory_iterator(dir))   /* every package made */
        if (f.path().extension() == ".deb")
            lintian.push_back(f.path().string());
    std::string out = RunTool(lintian, &st);
    EXPECT_EQ(st, 0) << out;
    std::string depends = RunTool({"/usr/bin/dpkg-deb", "-f", deb, "Depends"}, &st);
    for (const char *lib : {"libsdl2-2.0-0", "libopenal1", "libqt6widgets6", "zlib1g", "libc6"})
        EXPECT_NE(depends.find(lib), std::string::npos) << lib << " missing in " << depends;
    std::string contents = RunTool({"/usr/bin/dpkg-deb", "--contents", deb}, &st);
    for (const char *f : {" ./usr/games/gackatron -> ../lib/games/gackatron/gackatron", " ." GAMETREE "/vexengine\n",
                          " ." GAMETREE "/data/game.dll\n", " ./usr/share/games/gackatron/data/vex0.pk3\n",
                          " ./usr/share/icons/hicolor/48x48/apps/gackatron.png\n",
                          " ./usr/share/icons/hicolor/scalable/apps/gackatron.svg\n",
                          " ./usr/share/doc/gackatron/copyright\n"})
        EXPECT_NE(contents.find(f), std::string::npos) << f;
}

TEST(InstalledGame, PackageInstallsAndPlays)
{
    if (!Have("/usr/bin/Xvfb") || !Have("/usr/bin/xdotool") || !Have("/usr/bin/ffmpeg"))
        GTEST_SKIP() << "needs Xvfb, xdotool and ffmpeg";
    L_TestApp();
    /* run as root, the player is nobody, who may not pass through a private folder holding the build tree
     * (/root): the install goes to the temporary folder then */
    gk::TempDir tmp(geteuid() == 0 ? std::filesystem::temp_directory_path().string() : "");
    std::string root = tmp / "root", out;
    int st;
    if (Have("/usr/bin/dpkg-deb") && Have("/usr/bin/dpkg-shlibdeps") && Have("/usr/bin/lintian")) {
        out = RunTool({"/usr/bin/cpack", "-G", "DEB", "--config", std::string(GK_BINARY_DIR) + "/CPackConfig.cmake",
                       "-B", tmp / "pkg"}, &st);
        ASSERT_EQ(st, 0) << out;
        std::string arch = RunTool({"/usr/bin/dpkg", "--print-architecture"}, &st);
        std::string deb = tmp / ("pkg/gackatron_1.05_" + arch.substr(0, arch.size() - 1) + ".deb");
        CheckPackage(tmp / "pkg", deb);
        out = RunTool({"/usr/bin/dpkg-deb", "-x", deb, root}, &st);
    } else {
        out = RunTool({"/usr/bin/cmake", "--install", GK_BINARY_DIR, "--prefix", "/usr"}, &st, 300, {"DESTDIR=" + root});
    }
    ASSERT_EQ(st, 0) << out;

    /* the desktop entry, the metainfo and the manual pages pass their checks */
    struct { const char *tool; std::vector<std::string> argv; } checks[] = {
        {"/usr/bin/desktop-file-validate", {root + "/usr/share/applications/org.gackatron.Gackatron.desktop"}},
        {"/usr/bin/appstreamcli", {"validate", "--no-net", root + "/usr/share/metainfo/org.gackatron.Gackatron.metainfo.xml"}},
        {"/usr/bin/man", {"--warnings", "-l", root + "/usr/share/man/man6/gackatron.6.gz"}},
        {"/usr/bin/man", {"--warnings", "-l", root + "/usr/share/man/man6/vexengine.6.gz"}},
        {"/usr/bin/man", {"--warnings", "-l", std::string(GK_SOURCE_DIR) + "/packaging/man/gackatron-scores.1"}}};
    for (auto &c : checks) {
        if (!Have(c.tool))
            continue;
        std::vector<std::string> argv = {c.tool};
        argv.insert(argv.end(), c.argv.begin(), c.argv.end());
        gk::ProcResult r = gk::RunProcess(argv, "", {"MANWIDTH=80"}, 60);
        EXPECT_EQ(r.status, 0) << c.argv.back() << ": " << r.err << r.out;
        if (std::string(c.tool) == "/usr/bin/man") {
            EXPECT_EQ(r.err, "") << c.argv.back();
        }
    }
    PlayInstalled(root, tmp);
}
