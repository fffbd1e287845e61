/*
 * test_program.cpp -- the gackatron program itself, copied into a scratch
 * folder with a stand-in engine: it ends with the no-modes message when the
 * engine reports none, and writes its settings file when its window closes.
 */
#include <sys/stat.h>
#include <unistd.h>

#include <QSettings>

#include "l_testapp.h"

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

TEST(Program, ClosingTheWindowWritesTheSettings)
{
    if (!getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X display";
    gk::TempDir d;
    MakeFolder(d, "1.05\\n800 600 32\\n1024 768 32\\n");
    gk::Proc p = gk::StartProcess({d / "gackatron", "-en"}, d.path,
                                  {"GACKATRON_HEADLESS=1", "QT_QPA_PLATFORM=xcb"}, d.path);
    unsigned long w = gk::X11_FindWindowByName("^Gackatron - Starter$", 10);
    ASSERT_NE(w, 0ul);
    usleep(300000);
    ASSERT_TRUE(gk::X11_SendCloseRequest(w));
    gk::ProcResult r = gk::WaitProcess(p, 60);
    EXPECT_EQ(r.status, 0) << r.err;
    QSettings s(QString::fromStdString(d / "gackatron.ini"), QSettings::IniFormat);
    EXPECT_EQ(s.value("display/mode").toString(), "0");
    EXPECT_EQ(s.value("display/fullscreen").toString(), "0");
    EXPECT_EQ(s.value("mouse/speed").toString(), "5");
    EXPECT_EQ(s.value("proxy/port").toString(), "8080");
    EXPECT_EQ(s.value("user/lastname").toString(), "unknown");  /* the English default name */
    HighscoreTable t;
    ASSERT_TRUE(UnpackTable(s.value("game/local").toString().toStdString(), &t));
    EXPECT_EQ(t.e[0][0].name, "unknown");     /* the English default name */
    EXPECT_TRUE(UnpackTable(s.value("game/inet").toString().toStdString(), &t));
}
