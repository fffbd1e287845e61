/* The engine runs: mode and score answers, stand-in engines, whole Play clicks. */
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "l_testapp.h"

TEST(EngineAnswer, ModesAndScoreLine)
{
    std::string v;
    std::vector<std::string> m;
    ASSERT_TRUE(L_ParseModes("1.05\n640 480 16\n800 600 32\r\n640 480 16\n1024 768 32", &v, &m));
    EXPECT_TRUE(v == "1.05" && m == (std::vector<std::string>{"640 480 16", "800 600 32", "1024 768 32"})) << v;
    EXPECT_FALSE(L_ParseModes("1.05\n", &v, &m) || L_ParseModes("", &v, &m));   /* a version alone, or nothing: no modes */
    ASSERT_TRUE(L_ParseModes("1.05\n640 480\n1 2 3 4\nabc\n 640 480 16\n800 600 24\n", &v, &m));
    EXPECT_EQ(m, std::vector<std::string>{"800 600 24"});   /* lines that are no modes never count */

    const char *rows[][2] = {
        {"noise\n$$score 1234\n", "1234"}, {"$$score 5\r\n$$score 9\n", "5"},   /* the first counts */
        {"$$score -20\n", "-20"},           {"x$$score 1234\n", "none"},         {"$$abort\n", "none"},
        {"$$failure\n", "none"},            {"$$score \n", "none"},              {"$$score 12ab\n", "none"},
        {"$$score 99999999999\n", "none"},  {"", "none"},                      {"$$score -x7\n", "none"},
        {"$$score -\n", "none"},            {"$$score 2147483647\n", "2147483647"}, {"$$score 2147483648\n", "none"},
        {"$$score -2147483648\n", "-2147483648"}, {"$$score -2147483649\n", "none"},
        {"$$score 00000000000000000042x\n", "42"}, {"$$score 0000000000000000042x\n", "none"}};  /* 20 characters read, not 21 */
    for (const auto &r : rows) {
        int32_t s = 0;
        EXPECT_EQ(L_FindScore(r[0], &s) ? std::to_string(s) : "none", r[1]) << r[0];
    }
}

/* A stand-in engine (in dir, or in dir/Debug) running the given shell lines. */
static void FakeEngine(const std::string &dir, const std::string &script, const std::string &sub = "")
{
    gk::MakeDirs(dir + sub);
    gk::WriteFile(dir + sub + "/vexengine", "#!/bin/sh\n" + script + "\n");
    chmod((dir + sub + "/vexengine").c_str(), 0755);
}

TEST(EngineRun, StandInEngines)
{
    L_TestApp();
    const struct { const char *script, *sub; int limit; const char *out; bool timedout; } rows[] = {
        {"echo \"$@\" > args.txt; echo 'engine noise' >&2; printf '1.05\\n800 600 32\\n'", "/Debug", 0,
         "1.05\n800 600 32\n", false},
        {"head -c 3000000 /dev/zero | tr '\\0' 'x'; echo; echo '$$score 42'", "", 0, nullptr, false},
        {"echo 1.05; exec sleep 60", "", 1000, "1.05\n", true}, {nullptr, "", 0, "", false}};
    for (const auto &r : rows) {
        gk::TempDir d;
        if (r.script)
            FakeEngine(d.path, r.script, r.sub);
        QElapsedTimer clock;
        clock.start();
        testing::internal::CaptureStderr();
        std::string out = RunAndCapture(d.path, "vexengine", "-getvidmodes", true, r.limit), args;
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_LT(clock.elapsed(), 8000);
        EXPECT_EQ(LastRun.timedout, r.timedout);
        int32_t s = 0;
        if (r.out)
            EXPECT_EQ(out, r.out);
        else
            EXPECT_TRUE(L_FindScore(out, &s) && s == 42) << out.size();
        if (*r.sub) {   /* run in dir, with the arguments given; its errors passed on */
            EXPECT_TRUE(gk::ReadFile(d / "args.txt", &args) && args == "-getvidmodes\n") << args;
            EXPECT_EQ(err, "engine noise\n");
        }
    }
}

struct PlayClick : L_Fresh {
    void SetUp() override
    {
        L_Fresh::SetUp();
        DemoDir = d / "demos";
        Open();
    }
    /* A stand-in game; its entry dialog accepted (1) or cancelled (-1); unrecorded, it leaves an empty demo
     * file as an engine that could not record does. */
    std::string Play(const std::string &out, int answer = 0, bool recorded = true, std::function<void()> look = nullptr)
    {
        FakeEngine(d.path, "echo \"$@\" > args.txt\nwhile [ $# -gt 0 ]; do\n  if [ \"$1\" = -record ]; then " +
                           (recorded ? "echo '" + out + "'" : std::string(":")) + " > \"$2\"; fi\n  shift\ndone\n"
                           "printf '" + out + "\\n'");
        L_DialogWatch watch(answer ? 1 : 0, answer > 0, look);
        Button1Click();
        EXPECT_EQ(watch.seen, answer ? 1 : 0) << out;
        return gk::FileText(d / "args.txt");
    }
};

TEST_F(PlayClick, ScoreIsEnteredWithTheName)
{
    for (int i = 0; i < 10; i++)
        LocalTable.e[2][i].points = 1000 - i;
    EXPECT_EQ(Play("$$abort"), "-width 640 -height 480 -bpp 16 -game data -map 0 -mousesens 5 -countrycode 49 "
                               "-musicvolume 100 -effectsvolume 100 -record " + (d / "demos/recording.dem") + "\n");
    mf.resBox->setCurrentIndex(1);
    mf.comboMaps->setCurrentIndex(2);
    mf.checkMouse->setChecked(true);
    mf.radioFullscreen->setChecked(true);
    mf.editName->setText("Jürgen Tester");     /* a name takes 12 letters: the 13th is cut */
    mf.trackMusic->setValue(0);
    mf.trackEffects->setValue(70);
    EXPECT_EQ(Play("$$score 1234", 1), "-width 1024 -height 768 -bpp 32 -game data -map 2 -mousesens 5 -countrycode 49 "
                                        "-mouseinv -fullscreen -musicvolume 0 -effectsvolume 70 -record " +
                                            (d / "demos/recording.dem") + "\n");
    EXPECT_TRUE(LocalTable.e[2][0].name == "Jürgen Teste" && LocalTable.e[2][0].points == 1234 && LocalTable.e[2][1].points == 1000)
        << LocalTable.e[2][0].name << " " << LocalTable.e[2][0].points;
    EXPECT_TRUE(DoneMask == 4 && mf.lhp[0]->text() == "1234") << DoneMask;
    EXPECT_TRUE(mf.labelText->text().contains("#1"));   /* template back in place */
}

TEST_F(PlayClick, FifthFirstPlaceUnlocksTheExtraLevel)
{
    DoneMask = 15;
    FillLevelList();
    ASSERT_EQ(mf.comboMaps->count(), 5);
    for (int level : {4, 5}) {
        mf.comboMaps->setCurrentIndex(level);
        bool extra = level == 5;
        Play("$$score 10", 1, true, [&extra] { extra = mf.labelExtra->isVisibleTo(mf.pointf); });
        EXPECT_EQ(extra, level == 4);
        EXPECT_EQ(std::make_pair(DoneMask, mf.comboMaps->count()), std::make_pair(level == 4 ? 31 : 63, 6));
    }
}

TEST_F(PlayClick, FailuresAreExplained)
{
    const std::string at(160, 'x'), past = at + "y", cut = at + "..."; /* a log line of 160 is shown whole */
    const std::string e = std::string(158, 'x') + "\xc3\xa9", ey = e + "y", kept = e + "...", halved = "x" + e, x159 = std::string(159, 'x') + "...";
    const struct { const char *out, *err; int key; const char *logline; } rows[] = {
        {"aiInit() failed! script9.bin\\n", "cannot open vex0.pk3", 222, "cannot open vex0.pk3"},
        {"", at.c_str(), 221, at.c_str()}, {"", past.c_str(), 221, cut.c_str()},
        {"", "", 221, nullptr}, {"", "$$score 999", 221, "$$score 999"}, {"$$failure\\n", "", 224, nullptr},
        {"", ey.c_str(), 221, kept.c_str()}, {"", halved.c_str(), 221, x159.c_str()},  /* an é at the cut */
        {nullptr, "", 223, nullptr},        /* no engine at all */
        {"$$abort\\n", "bye", 0, nullptr},  /* the player quit: nothing to say */
    };
    for (const auto &row : rows) {
        unlink((d / "vexengine").c_str());
        if (row.out)
            FakeEngine(d.path, std::string("echo '") + row.err + "' >&2\nprintf '" + row.out + "'");
        int before = l_messagecount;
        l_lasttext.clear();
        Button1Click();
        SCOPED_TRACE(row.key);
        EXPECT_EQ(l_messagecount, before + (row.key ? 1 : 0));
        if (!row.key)
            continue;
        EXPECT_EQ(l_lastcaption, Lang(220));
        EXPECT_EQ(l_lasttext.rfind(Lang(row.key), 0), 0u) << l_lasttext;
        EXPECT_TRUE(!row.logline || l_lasttext.find(Lang(225) + "\n" + row.logline) != std::string::npos) << l_lasttext;
        EXPECT_EQ(LocalTable.e[0][0].points, 0);
        EXPECT_TRUE(mf.mainf->isVisible());
    }
}

/* Demos kept for entries, deleted when they fall out; a cancelled first place still counts. */
TEST_F(PlayClick, EntriesAndTheirDemos)
{
    for (int i = 0; i < 10; i++)
        LocalTable.e[0][i].points = 100 - i;
    gk::MakeDirs(d / "demos");
    for (std::string old : {"level0-91-20200101-000000.dem", "level0-92-20200101-000000.dem",
                            "level1-91-20200101-000000.dem"})
        gk::WriteFile(d / ("demos/" + old), "old");
    mf.comboMaps->setCurrentIndex(0);
    Play("$$score 120", -1);
    EXPECT_EQ(LocalTable.e[0][0].points, 100);  /* cancelled: unchanged */
    EXPECT_EQ(DoneMask, 1);
    Play("$$score 150", 1);     /* 91 falls out of the table, and its demo with it */
    Play("$$score 95", 1);      /* 92 falls out */
    Play("$$score 93");         /* equal to the 10th: no place */
    Play("$$score -5");
    Play("$$abort");
    EXPECT_EQ(LocalTable.e[0][9].points, 93);
    std::vector<std::string> demos;
    std::string kept;
    for (auto &e : std::filesystem::directory_iterator(d / "demos")) {
        demos.push_back(e.path().filename().string().substr(0, 12));
        if (demos.back().rfind("level0-150-", 0) == 0)
            gk::ReadFile(e.path().string(), &kept);
    }
    std::sort(demos.begin(), demos.end());
    EXPECT_EQ(demos, (std::vector<std::string>{"level0-150-2", "level0-95-20", "level1-91-20"}));
    EXPECT_EQ(kept, "$$score 150\n");
    /* of the entries a list holds, those with a kept demo are sent, each its own: 1 point is an entry, 0 is none */
    LocalTable.e[2][0].points = 1;
    gk::WriteFile(d / "demos/level2-1-20200101-000000.dem", "one");
    gk::WriteFile(d / "demos/level3-0-20200101-000000.dem", "zero");
    /* two entries of 7 rank the older games first: of three demos of 7, the newest goes */
    LocalTable.e[4][0].points = LocalTable.e[4][1].points = 7;
    for (std::string day : {"03", "01", "02"})
        gk::WriteFile(d / ("demos/level4-7-202001" + day + "-000000.dem"), day);
    L_PruneDemos(4);
    std::string left;
    for (std::string day : {"01", "02", "03"})
        left += gk::FileText(d / ("demos/level4-7-202001" + day + "-000000.dem"));
    EXPECT_EQ(left, "0102");
    std::vector<std::string> sent;
    for (const L_DemoUpload &u : L_DemosToSend(&LocalTable, &LocalTable))
        sent.push_back(std::to_string(u.level) + " " + std::to_string(u.points) + (u.level == 4 ? " " + gk::FileText(u.file) : ""));
    EXPECT_EQ(sent, (std::vector<std::string>{"0 150", "0 95", "2 1", "4 7 01", "4 7 02"}));
    gk::MakeDirs(d / "demos/level2-1-20200101-000000.sent.dem/taken");    /* cannot be marked sent: told */
    int before = l_messagecount;
    L_DemoSent(d / "demos/level2-1-20200101-000000.dem");
    EXPECT_EQ(l_messagecount, before + 1);
}

/* A game the engine could not record keeps its entry without a demo; a
 * demo folder that cannot be made is told once, and the games go on. */
TEST_F(PlayClick, GamesWithoutDemos)
{
    mf.comboMaps->setCurrentIndex(0);
    Play("$$score 50", 1);
    Play("$$score 40", 1, false);
    EXPECT_EQ(LocalTable.e[0][1].points, 40);
    std::vector<std::string> demos;
    for (auto &e : std::filesystem::directory_iterator(d / "demos"))
        demos.push_back(e.path().filename().string().substr(0, 10));
    EXPECT_EQ(demos, std::vector<std::string>{"level0-50-"});

    gk::WriteFile(d / "file", "");
    DemoDir = d / "file/demos";
    int before = l_messagecount;
    EXPECT_EQ(Play("$$score 30", 1).find("-record"), std::string::npos);
    Play("$$score 20", 1);
    EXPECT_EQ(l_messagecount, before + 1);
    EXPECT_EQ(l_lastcaption, "Aufzeichnung nicht gespeichert");
    EXPECT_NE(l_lasttext.find(d / "file/demos\r\nkonnte nicht angelegt werden.\r\n" + strerror(ENOTDIR)), std::string::npos) << l_lasttext;
    EXPECT_EQ(LocalTable.e[0][3].points, 20);
}
