/*
 * test_engine.cpp -- the engine runs: the mode answer, the game command
 * line, the score line, a real vexengine asked for its modes, a query
 * that never ends, and whole Play clicks against a stand-in engine that
 * prints a score or fails.
 */
#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>

#include "gk_support.h"
#include "l_local.h"
#include "l_testapp.h"

TEST(EngineAnswer, ModesVersionAndDuplicates)
{
    std::string v;
    std::vector<std::string> m;
    ASSERT_TRUE(L_ParseModes("1.05\n640 480 16\n800 600 32\r\n640 480 16\n1024 768 32", &v, &m));
    EXPECT_EQ(v, "1.05");
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0], "640 480 16");
    EXPECT_EQ(m[1], "800 600 32");
    EXPECT_EQ(m[2], "1024 768 32");
    /* only a version, or nothing at all: no modes */
    EXPECT_FALSE(L_ParseModes("1.05\n", &v, &m));
    EXPECT_FALSE(L_ParseModes("", &v, &m));
    /* lines that are no modes never reach the list */
    ASSERT_TRUE(L_ParseModes("1.05\n640 480\n1 2 3 4\nabc\n 640 480 16\n800 600 24\n", &v, &m));
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0], "800 600 24");
}

TEST(EngineAnswer, GameArguments)
{
    EXPECT_EQ(L_GameArgs("640 480 16", 2, 5, 49, false, true),
              "-width 640 -height 480 -bpp 16 -game data -map 2 -mousesens 5 -countrycode 49 -fullscreen");
    EXPECT_EQ(L_GameArgs("1024 768 32", 0, 10, 44, true, true),
              "-width 1024 -height 768 -bpp 32 -game data -map 0 -mousesens 10 -countrycode 44 -mouseinv -fullscreen");
    EXPECT_EQ(L_GameArgs("1024 768 32", 5, 0, 7, false, false),
              "-width 1024 -height 768 -bpp 32 -game data -map 5 -mousesens 0 -countrycode 7");
}

TEST(EngineAnswer, ScoreLine)
{
    int32_t s = -1;
    EXPECT_TRUE(L_FindScore("noise\n$$score 1234\n", &s));
    EXPECT_EQ(s, 1234);
    EXPECT_TRUE(L_FindScore("$$score 5\r\n$$score 9\n", &s));
    EXPECT_EQ(s, 5);        /* only the first counts */
    EXPECT_TRUE(L_FindScore("$$score -20\n", &s));
    EXPECT_EQ(s, -20);
    EXPECT_FALSE(L_FindScore("x$$score 1234\n", &s));
    EXPECT_FALSE(L_FindScore("$$abort\n", &s));
    EXPECT_FALSE(L_FindScore("$$failure\n", &s));
    EXPECT_FALSE(L_FindScore("$$score \n", &s));
    EXPECT_FALSE(L_FindScore("$$score 12ab\n", &s));
    EXPECT_FALSE(L_FindScore("$$score 99999999999\n", &s));
    EXPECT_FALSE(L_FindScore("", &s));
}

TEST(EngineRun, RealEngineListsItsModes)
{
    if (!getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X display";
    L_TestApp();
    std::string out = RunAndCapture(gk::DistDir(), "vexengine", "-getvidmodes", true);
    std::string v;
    std::vector<std::string> m;
    ASSERT_TRUE(L_ParseModes(out, &v, &m)) << out;
    EXPECT_EQ(v, "1.05");
    for (const std::string &line : m)
        EXPECT_EQ(std::count(line.begin(), line.end(), ' '), 2) << line;
}

TEST(EngineRun, MissingProgramGivesNothing)
{
    L_TestApp();
    gk::TempDir d;
    EXPECT_EQ(RunAndCapture(d.path, "vexengine", "-getvidmodes", true), "");
}

/* A stand-in engine: records its arguments and prints what the test asks. */
static void FakeEngine(const std::string &dir, const std::string &say, bool debugdir = false)
{
    std::string bin = debugdir ? dir + "/Debug" : dir;
    gk::MakeDirs(bin);
    std::string script = "#!/bin/sh\necho \"$@\" > \"" + dir + "/args.txt\"\n"
                         "echo 'engine noise' >&2\nprintf '" + say + "'\n";
    gk::WriteFile(bin + "/vexengine", script);
    chmod((bin + "/vexengine").c_str(), 0755);
}

TEST(EngineRun, CapturesOutputAndUsesDebugFolder)
{
    L_TestApp();
    gk::TempDir d;
    FakeEngine(d.path, "1.05\\n800 600 32\\n", true);
    std::string out = RunAndCapture(d.path, "vexengine", "-getvidmodes", true);
    EXPECT_EQ(out, "1.05\n800 600 32\n");   /* standard error stays out */
    std::string args;
    gk::ReadFile(d / "args.txt", &args);
    EXPECT_EQ(args, "-getvidmodes\n");
}

TEST(EngineRun, BigOutputDoesNotStall)
{
    L_TestApp();
    gk::TempDir d;
    gk::WriteFile(d / "vexengine", "#!/bin/sh\nhead -c 3000000 /dev/zero | tr '\\0' 'x'\necho\necho '$$score 42'\n");
    chmod((d / "vexengine").c_str(), 0755);
    std::string out = RunAndCapture(d.path, "vexengine", "", true);
    int32_t s = 0;
    EXPECT_TRUE(L_FindScore(out, &s));
    EXPECT_EQ(s, 42);
}

TEST(EngineRun, QueryThatNeverEndsIsCutOff)
{
    L_TestApp();
    gk::TempDir d;
    gk::WriteFile(d / "vexengine", "#!/bin/sh\necho 1.05\nexec sleep 60\n");
    chmod((d / "vexengine").c_str(), 0755);
    QElapsedTimer clock;
    clock.start();
    std::string out = RunAndCapture(d.path, "vexengine", "-getvidmodes", true, 1000);
    EXPECT_LT(clock.elapsed(), 8000);
    EXPECT_TRUE(LastRun.timedout);
    EXPECT_EQ(out, "1.05\n");
}

class PlayClick : public ::testing::Test {
protected:
    gk::TempDir d;
    char old[4096];
    void SetUp() override
    {
        L_TestApp();
        ASSERT_TRUE(getcwd(old, sizeof(old)));
        ASSERT_EQ(chdir(d.path.c_str()), 0);
        Lang_LoadFile(gk::DistDir() + "/data/textres_49.ini", 49);
        LanguageCountry = 49;
        HS_Fill(&LocalTable, "unbekannt", 0);
        HS_Fill(&InternetTable, "unbekannt", 0);
        ModeList = {"640 480 16", "1024 768 32"};
        DoneMask = 0;
        DemoDir = d / "demos";
        L_CreateWindows();
        LoadSettings(d / "none.ini");
    }
    void TearDown() override
    {
        L_DestroyWindows();
        ASSERT_EQ(chdir(old), 0);
    }
    std::string Args()
    {
        std::string a;
        gk::ReadFile(d / "args.txt", &a);
        return a;
    }
};

TEST_F(PlayClick, ScoreIsEnteredWithTheName)
{
    FakeEngine(d.path, "$$score 1234\\n");
    for (int i = 0; i < 10; i++)
        LocalTable.e[2][i].points = 1000 - i;
    mf.resBox->setCurrentIndex(1);
    mf.comboMaps->setCurrentIndex(2);
    mf.checkMouse->setChecked(true);
    mf.radioFullscreen->setChecked(true);
    mf.editName->setText("Tester");
    int seen = 0;
    L_AnswerNextDialog(true, &seen);
    Button1Click();
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(Args(), "-width 1024 -height 768 -bpp 32 -game data -map 2 -mousesens 5 -countrycode 49 -mouseinv -fullscreen -record " +
                      (d / "demos/recording.dem") + "\n");
    EXPECT_EQ(LocalTable.e[2][0].name, "Tester");
    EXPECT_EQ(LocalTable.e[2][0].points, 1234);
    EXPECT_EQ(LocalTable.e[2][1].points, 1000);
    EXPECT_EQ(DoneMask, 4);
    EXPECT_EQ(mf.lhn[0]->text(), "Tester");
    EXPECT_EQ(mf.lhp[0]->text(), "1234");
    EXPECT_TRUE(mf.labelPoints->text().contains("1234"));
    EXPECT_TRUE(mf.labelText->text().contains("#1"));   /* template back in place */
    EXPECT_TRUE(mf.mainf->isVisible());
}

TEST_F(PlayClick, CancelNoPlaceAndNoScore)
{
    for (int i = 0; i < 10; i++)
        LocalTable.e[0][i].points = 100;
    mf.comboMaps->setCurrentIndex(0);
    int seen = 0;
    FakeEngine(d.path, "$$score 100\\n");        /* equal to the 10th: no place */
    Button1Click();
    FakeEngine(d.path, "$$abort\\n");
    Button1Click();
    FakeEngine(d.path, "$$score -5\\n");
    Button1Click();
    EXPECT_EQ(LocalTable.e[0][9].points, 100);
    EXPECT_EQ(DoneMask, 0);

    FakeEngine(d.path, "$$score 101\\n");
    L_AnswerNextDialog(false, &seen);
    Button1Click();
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(LocalTable.e[0][0].points, 100);  /* cancelled: unchanged */
    EXPECT_EQ(DoneMask, 1);                     /* the first place still counts */
}

TEST_F(PlayClick, FifthFirstPlaceUnlocksTheExtraLevel)
{
    DoneMask = 15;
    FillLevelList();
    ASSERT_EQ(mf.comboMaps->count(), 5);
    mf.comboMaps->setCurrentIndex(4);
    FakeEngine(d.path, "$$score 10\\n");
    bool extra = false;
    QTimer::singleShot(50, [&extra] { extra = mf.labelExtra->isVisibleTo(mf.pointf); });
    L_AnswerNextDialog(true, nullptr);
    Button1Click();
    EXPECT_TRUE(extra);
    EXPECT_EQ(DoneMask, 31);
    EXPECT_EQ(mf.comboMaps->count(), 6);

    mf.comboMaps->setCurrentIndex(5);
    FakeEngine(d.path, "$$score 10\\n");
    extra = true;
    QTimer::singleShot(50, [&extra] { extra = mf.labelExtra->isVisibleTo(mf.pointf); });
    L_AnswerNextDialog(true, nullptr);
    Button1Click();
    EXPECT_FALSE(extra);
    EXPECT_EQ(DoneMask, 63);
}

/* A game that does not end with its result tells the player why, with the
 * end of the engine's log; standard error never counts as a result. */
TEST_F(PlayClick, FailuresAreExplained)
{
    const struct { const char *out, *err; int key; const char *logline; } rows[] = {
        {"aiInit() failed!\\n", "cannot open vex0.pk3", 222, "cannot open vex0.pk3"},
        {"", "", 221, nullptr},
        {"", "$$score 999", 221, "$$score 999"},
        {"$$failure\\n", "", 224, nullptr},
        {nullptr, "", 223, nullptr},        /* no engine at all */
        {"$$abort\\n", "bye", 0, nullptr},  /* the player quit: nothing to say */
    };
    for (const auto &row : rows) {
        unlink((d / "vexengine").c_str());
        if (row.out) {
            gk::WriteFile(d / "vexengine", std::string("#!/bin/sh\necho '") + row.err + "' >&2\nprintf '" + row.out + "'\n");
            chmod((d / "vexengine").c_str(), 0755);
        }
        int before = l_messagecount;
        l_lasttext.clear();
        Button1Click();
        SCOPED_TRACE(row.key);
        EXPECT_EQ(l_messagecount, before + (row.key ? 1 : 0));
        if (!row.key)
            continue;
        EXPECT_EQ(l_lastcaption, Lang(220));
        EXPECT_EQ(l_lasttext.rfind(Lang(row.key), 0), 0u) << l_lasttext;
        if (row.logline)
            EXPECT_NE(l_lasttext.find(Lang(225) + "\n" + row.logline), std::string::npos) << l_lasttext;
        EXPECT_EQ(LocalTable.e[0][0].points, 0);
        EXPECT_TRUE(mf.mainf->isVisible());
    }
}

/* The demo of a game that enters the table is kept under its level and
 * points; one whose entry falls out of the table is deleted, and games
 * without an entry leave nothing behind. */
TEST_F(PlayClick, DemosOfTableEntriesAreKept)
{
    auto game = [this](int points, int answer) { /* 1 accept, -1 cancel, 0 no dialog */
        gk::WriteFile(d / "vexengine", "#!/bin/sh\nwhile [ $# -gt 0 ]; do\n"
                      "  if [ \"$1\" = -record ]; then echo " + std::to_string(points) +
                      " > \"$2\"; fi\n  shift\ndone\necho '$$score " + std::to_string(points) + "'\n");
        chmod((d / "vexengine").c_str(), 0755);
        if (answer)
            L_AnswerNextDialog(answer > 0, nullptr);
        Button1Click();
    };
    auto demos = [this] {
        std::vector<std::string> v;
        for (auto &e : std::filesystem::directory_iterator(d / "demos"))
            v.push_back(e.path().filename().string().substr(0, 12));
        std::sort(v.begin(), v.end());
        return v;
    };
    for (int i = 0; i < 10; i++)
        LocalTable.e[0][i].points = 100 - i;
    gk::MakeDirs(d / "demos");
    for (std::string old : {"level0-91-20200101-000000.dem", "level0-92-20200101-000000.dem",
                            "level1-91-20200101-000000.dem"})
        gk::WriteFile(d / ("demos/" + old), "old");
    mf.comboMaps->setCurrentIndex(0);
    game(150, 1);    /* 91 falls out of the table, and its demo with it */
    game(95, 1);     /* 92 falls out */
    game(50, 0);     /* no place */
    game(120, -1);   /* cancelled */
    EXPECT_EQ(demos(), (std::vector<std::string>{"level0-150-2", "level0-95-20", "level1-91-20"}));
    std::string kept;
    for (auto &e : std::filesystem::directory_iterator(d / "demos"))
        if (e.path().filename().string().rfind("level0-150-", 0) == 0)
            gk::ReadFile(e.path().string(), &kept);
    EXPECT_EQ(kept, "150\n");
}
