/*
 * test_online.cpp -- the highscore exchange against a stand-in server on
 * 127.0.0.1: the request, a message answer, a table answer, a damaged
 * answer, a server error and a refused connection.
 */
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gk_support.h"
#include "l_local.h"
#include "l_testapp.h"

TEST(OnlineRequest, UrlForm)
{
    EXPECT_EQ(L_RequestURL("scores.example", 49, "ABCD"),
              "http://scores.example/topten.php?game=gackatron&merge=1&getlist=1&country=49&val=ABCD");
}

class Online : public ::testing::Test {
protected:
    gk::TempDir d;
    gk::Proc server;
    char old[4096];
    void SetUp() override
    {
        L_TestApp();
        ASSERT_TRUE(getcwd(old, sizeof(old)));
        ASSERT_EQ(chdir(d.path.c_str()), 0);
        Lang_LoadFile(gk::DistDir() + "/data/textres_49.ini", 49);
        LanguageCountry = 49;
        LocaleCountry = 33;
        HS_Fill(&LocalTable, "lokal", 0);
        HS_Fill(&InternetTable, "netz", 0);
        ModeList = {"640 480 16"};
        DoneMask = 0;
        L_CreateWindows();
        LoadSettings(d / "none.ini");
        server = gk::StartProcess({"/usr/bin/python3", std::string(GK_LAUNCHER_TESTDIR) + "/scoreserver.py", d.path},
                                  "", {}, d.path);
        std::string port;
        for (int i = 0; i < 200 && !gk::ReadFile(d / "port", &port); i++)
            usleep(25000);
        ASSERT_FALSE(port.empty());
        ScoreServerHost = "127.0.0.1:" + port;
    }
    void TearDown() override
    {
        if (server.pid > 0) {
            kill(server.pid, SIGTERM);
            gk::WaitProcess(server, 10);
        }
        ScoreServerHost.clear();
        L_DestroyWindows();
        ASSERT_EQ(chdir(old), 0);
    }
    void Answer(const std::string &body, int status = 200)
    {
        gk::WriteFile(d / "body", body);
        gk::WriteFile(d / "status", std::to_string(status));
    }
};

TEST_F(Online, RequestCarriesTheLocalTable)
{
    InsertEntry(&LocalTable, 1, 0, "Ada", 500);
    Answer("MSG:x:y");
    setenv("TEMP", d.path.c_str(), 1);
    gk::WriteFile(d / "modes.$$$", "old");
    buttonInternetClick();
    unsetenv("TEMP");
    std::string req;
    ASSERT_TRUE(gk::ReadFile(d / "request.txt", &req));
    std::string first = req.substr(0, req.find('\n'));
    std::string pre = "/topten.php?game=gackatron&merge=1&getlist=1&country=33&val=";
    ASSERT_EQ(first.rfind(pre, 0), 0u) << first;
    HighscoreTable sent;
    ASSERT_TRUE(UnpackTable(first.substr(pre.size()), &sent));
    EXPECT_EQ(sent.e[1][0].name, "Ada");
    EXPECT_NE(req.find("User-Agent: Mozilla/3.0 (compatible)"), std::string::npos);
    EXPECT_NE(req.find("Pragma: no-cache"), std::string::npos);
    EXPECT_NE(req.find("Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*"), std::string::npos);
    EXPECT_FALSE(access((d / "modes.$$$").c_str(), F_OK) == 0);
    EXPECT_TRUE(mf.buttonInternet->isEnabled());
}

TEST_F(Online, MessageAnswers)
{
    Answer("MSG:Hinweis:Server: gerade voll");
    int before = l_messagecount;
    buttonInternetClick();
    EXPECT_EQ(l_messagecount, before + 1);
    EXPECT_EQ(l_lastcaption, "Hinweis");
    EXPECT_EQ(l_lasttext, "Server: gerade voll");
    EXPECT_EQ(InternetTable.e[0][0].name, "netz");

    Answer("MSG:nur Text");
    buttonInternetClick();
    EXPECT_EQ(l_lastcaption, "");
    EXPECT_EQ(l_lasttext, "nur Text");

    Answer("MSG::" + std::string(3000, 'm'));
    buttonInternetClick();
    EXPECT_EQ(l_lasttext.size(), 1024u);
}

TEST_F(Online, TableAnswerReplacesEveryRow)
{
    HighscoreTable t;
    HS_Fill(&t, "server", 0);
    for (int r = 0; r < HS_ROWS; r++)
        t.e[r][0] = {"best" + std::to_string(r), 1000 + r};
    Answer(PackTable(&t));
    mf.comboIMaps->setCurrentIndex(2);
    int before = l_messagecount;
    buttonInternetClick();
    EXPECT_EQ(l_messagecount, before);
    for (int r = 0; r < HS_ROWS; r++) {
        EXPECT_EQ(InternetTable.e[r][0].name, "best" + std::to_string(r));
        EXPECT_EQ(InternetTable.e[r][9].name, "server");
    }
    EXPECT_EQ(mf.ihn[0]->text(), "best2");
    EXPECT_EQ(mf.ihp[0]->text(), "1002");
    EXPECT_EQ(LocalTable.e[2][0].name, "lokal");
}

TEST_F(Online, BadAnswerErrorAndNoServer)
{
    Answer("<html>not a table</html>");
    buttonInternetClick();
    EXPECT_EQ(l_lastcaption, Lang(213));
    EXPECT_EQ(l_lasttext, Lang(214));
    EXPECT_EQ(InternetTable.e[0][0].name, "netz");

    /* an error status: the body is looked at first, then the failure */
    Answer("Not Found", 404);
    int before = l_messagecount;
    buttonInternetClick();
    EXPECT_EQ(l_messagecount, before + 2);
    EXPECT_EQ(l_lastcaption, Lang(210));
    EXPECT_EQ(l_lasttext, Lang(212));
    EXPECT_TRUE(mf.buttonInternet->isEnabled());

    /* nobody listening; with the proxy box set the proxy text is named */
    kill(server.pid, SIGTERM);
    gk::WaitProcess(server, 10);
    server.pid = -1;
    before = l_messagecount;
    buttonInternetClick();
    EXPECT_EQ(l_messagecount, before + 1);
    EXPECT_EQ(l_lasttext, Lang(212));
    mf.checkProxy->setChecked(true);
    mf.editProxy->setText("127.0.0.1");
    mf.editPort->setText("1");
    buttonInternetClick();
    EXPECT_EQ(l_lasttext, Lang(211));
    EXPECT_TRUE(mf.buttonInternet->isEnabled());
    EXPECT_EQ(InternetTable.e[0][0].name, "netz");
}
