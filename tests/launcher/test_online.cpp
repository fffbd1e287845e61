/*
 * test_online.cpp -- the highscore exchange against a stand-in server on
 * 127.0.0.1: the request, a message answer, a table answer, a damaged
 * answer, a server error and a refused connection; a hostile server's
 * markup in names and messages, and a server that drips its answer.
 */
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>

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
        ExchangeLimitMs = 60000;
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

/* Markup shown as markup would make the process read /dev/zero until
 * memory runs out, or lay out tables for many seconds: while the hostile
 * names are on screen the address space and the time are bounded, so a
 * relapse fails this test instead of the machine. */
struct Bounded {
    struct rlimit old;
    explicit Bounded(unsigned seconds)
    {
        getrlimit(RLIMIT_AS, &old);
#if !defined(__SANITIZE_ADDRESS__)
        unsigned long pages = 0;
        if (FILE *f = fopen("/proc/self/statm", "r")) {
            if (fscanf(f, "%lu", &pages) != 1)
                pages = 0;
            fclose(f);
        }
        struct rlimit r = old;
        r.rlim_cur = pages * (rlim_t)sysconf(_SC_PAGESIZE) + ((rlim_t)1 << 30);
        if (pages && (old.rlim_cur == RLIM_INFINITY || r.rlim_cur < old.rlim_cur))
            setrlimit(RLIMIT_AS, &r);
#endif
        alarm(seconds);
    }
    ~Bounded()
    {
        alarm(0);
        setrlimit(RLIMIT_AS, &old);
    }
};

TEST_F(Online, HostileNamesAreShownAsTheyAre)
{
    std::string tables;
    for (int i = 0; i < 17; i++)
        tables += "<table>";
    const std::string names[] = {"<img src=\"/dev/zero\">", tables, "<a href=\"http://x.invalid/\">x</a>"};
    HighscoreTable t;
    HS_Fill(&t, "server", 0);
    for (int i = 0; i < 3; i++)
        t.e[0][i] = {names[i], 30 - i};
    Answer(PackTable(&t));
    mf.comboIMaps->setCurrentIndex(0);
    QElapsedTimer clock;
    clock.start();
    {
        Bounded b(60);
        buttonInternetClick();
        mf.PageControl1->setCurrentWidget(mf.tabInet);
        mf.mainf->show();
        EXPECT_FALSE(mf.mainf->grab().isNull());
        mf.mainf->hide();
    }
    EXPECT_LT(clock.elapsed(), 10000);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(mf.ihn[i]->text().toStdString(), names[i]);
        EXPECT_GT(mf.ihn[i]->sizeHint().width(), mf.ihn[i]->fontMetrics().horizontalAdvance("<table>"));
    }
}

TEST_F(Online, MessageBoxesShowPlainTextAndShortCaptions)
{
    const std::string link = "<a href=\"http://x.invalid/\">x</a>";
    const struct { std::string answer, caption, text; } rows[] = {
        {"MSG:Hinweis:" + link, "Hinweis", link},
        {"MSG:" + std::string(500, 'C') + ":lang", "", "lang"},
    };
    unsetenv("GACKATRON_HEADLESS");
    for (const auto &row : rows) {
        Answer(row.answer);
        QString title, text;
        int format = -1;
        std::function<void()> look = [&] {
            QMessageBox *b = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!b) {
                QTimer::singleShot(50, look);
                return;
            }
            title = b->windowTitle();
            text = b->text();
            format = b->textFormat();
            b->accept();
        };
        QTimer::singleShot(50, look);
        buttonInternetClick();
        EXPECT_EQ(format, Qt::PlainText);
        EXPECT_EQ(text.toStdString(), row.text);
        EXPECT_LE(title.size(), L_MAXCAPTION);
        if (!row.caption.empty())
            EXPECT_EQ(title.toStdString(), row.caption);
    }
    setenv("GACKATRON_HEADLESS", "1", 1);
}

TEST_F(Online, DrippingServerIsCutOffWhileBusyIsShown)
{
    HighscoreTable t;
    HS_Fill(&t, "server", 0);
    Answer(PackTable(&t));
    gk::WriteFile(d / "drip", "");
    ExchangeLimitMs = 2000;
    bool busy = false;
    QString status;
    QTimer::singleShot(700, [&] {
        busy = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        status = mf.labelStatus->text();
    });
    QElapsedTimer clock;
    clock.start();
    buttonInternetClick();
    EXPECT_LT(clock.elapsed(), 8000);
    EXPECT_EQ(l_lastcaption, Lang(210));
    EXPECT_EQ(l_lasttext, Lang(215));
    EXPECT_TRUE(busy);
    EXPECT_EQ(status.toStdString(), Lang(231));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(mf.labelStatus->text().isEmpty());
    EXPECT_TRUE(mf.buttonInternet->isEnabled());
    EXPECT_EQ(InternetTable.e[0][0].name, "netz");
}
