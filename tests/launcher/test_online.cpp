/* The highscore exchange against a stand-in server that answers what the real one never would. */
#include <signal.h>

#include <functional>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>

#include "l_testapp.h"

class Online : public L_Fresh {
protected:
    gk::Proc server;
    void SetUp() override
    {
        L_Fresh::SetUp();
        LocaleCountry = 33;
        HS_Fill(&LocalTable, "lokal", 0);
        HS_Fill(&InternetTable, "netz", 0);
        Open();
        server = gk::StartProcess({"/usr/bin/python3", gk::SourceDir() + "/tests/launcher/scoreserver.py", d.path},
                                  "", {}, d.path);
        std::string port;
        for (int i = 0; i < 200 && !gk::ReadFile(d / "port", &port); i++)
            usleep(25000);
        ASSERT_FALSE(port.empty());
        ScoreServerHost = "127.0.0.1:" + port;
    }
    void TearDown() override
    {
        if (server.pid > 0)
            kill(server.pid, SIGTERM);
        gk::WaitProcess(server, 10);
        ScoreServerHost.clear();
        ExchangeLimitMs = 60000;
        L_Fresh::TearDown();
    }
    void Answer(const std::string &body, int status = 200)
    {
        gk::WriteFile(d / "body", body);
        gk::WriteFile(d / "status", std::to_string(status));
    }
};

/* Messages as plain text, damaged answers and errors with the launcher's texts; no table changes. */
TEST_F(Online, RequestAnswersErrorsAndNoServer)
{
    const std::string link = "<a href=\"http://x.invalid/\">x</a>", longcap(500, 'C');
    const struct { std::string answer, caption, text; int status = 200, messages = 1; } rows[] = {
        {"MSG:Hinweis:Server: gerade voll", "Hinweis", "Server: gerade voll"},
        {"MSG:nur Text", "", "nur Text"},
        {"MSG::" + std::string(3000, 'm'), "", std::string(L_MAXMESSAGE, 'm')},
        {"MSG:Hinweis:" + link, "Hinweis", link},
        {"MSG:" + longcap + ":lang", longcap, "lang"},
        {"<html>not a table</html>", Lang(213), Lang(214)},
        {"Not Found", Lang(210), Lang(212), 404, 2},   /* the body is looked at first, then the failure */
    };
    InsertEntry(&LocalTable, 1, 0, "Ada", 500);
    setenv("TEMP", d.path.c_str(), 1);
    gk::WriteFile(d / "modes.$$$", "old");
    for (const auto &row : rows) {
        Answer(row.answer, row.status);
        bool box = row.answer.rfind("MSG:", 0) == 0;   /* one message box, looked at */
        if (box)
            unsetenv("GACKATRON_HEADLESS");
        QString title, text;
        int format = -1, before = l_messagecount;
        std::function<void()> look = [&] {
            QMessageBox *b = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!b)
                return QTimer::singleShot(50, look);
            title = b->windowTitle();
            text = b->text();
            format = b->textFormat();
            b->accept();
        };
        if (box)
            QTimer::singleShot(50, look);
        buttonInternetClick();
        setenv("GACKATRON_HEADLESS", "1", 1);
        EXPECT_EQ(l_messagecount, before + row.messages);
        EXPECT_EQ(l_lastcaption, row.caption);
        EXPECT_EQ(l_lasttext, row.text);
        if (box) {
            EXPECT_EQ(format, Qt::PlainText);
            EXPECT_EQ(text.toStdString(), row.text);
            EXPECT_LE(title.size(), L_MAXCAPTION);
            EXPECT_TRUE(row.caption.size() >= L_MAXCAPTION || title.toStdString() == row.caption) << row.caption;
        }
        EXPECT_EQ(InternetTable.e[0][0].name, "netz");
        EXPECT_TRUE(mf.buttonInternet->isEnabled());
    }
    unsetenv("TEMP");
    std::string req;
    ASSERT_TRUE(gk::ReadFile(d / "request.txt", &req));
    std::string first = req.substr(0, req.find('\n'));
    std::string pre = "/topten.php?game=gackatron&merge=1&getlist=1&country=33&val=";
    ASSERT_EQ(first.rfind(pre, 0), 0u) << first;
    HighscoreTable sent;
    ASSERT_TRUE(UnpackTable(first.substr(pre.size()), &sent));
    EXPECT_EQ(sent.e[1][0].name, "Ada");
    for (const char *h : {"User-Agent: Mozilla/3.0 (compatible)", "Pragma: no-cache",
                          "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*"})
        EXPECT_NE(req.find(h), std::string::npos) << h;
    EXPECT_NE(access((d / "modes.$$$").c_str(), F_OK), 0);

    /* nobody listening; with the proxy box set the proxy text is named */
    kill(server.pid, SIGTERM);
    gk::WaitProcess(server, 10);
    server.pid = -1;
    int before = l_messagecount;
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

/* Markup shown as markup would read /dev/zero or lay out tables for long: bound the time. */
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
    alarm(60);
    buttonInternetClick();
    mf.PageControl1->setCurrentWidget(mf.tabInet);
    mf.mainf->show();
    EXPECT_FALSE(mf.mainf->grab().isNull());
    mf.mainf->hide();
    alarm(0);
    EXPECT_LT(clock.elapsed(), 10000);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(mf.ihn[i]->text().toStdString(), names[i]);
        EXPECT_GT(mf.ihn[i]->sizeHint().width(), mf.ihn[i]->fontMetrics().horizontalAdvance("<table>"));
    }
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
