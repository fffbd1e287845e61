/* The highscore exchange against a stand-in server that answers what the real one never would. */
#include <signal.h>

#include <fstream>

#include "l_testapp.h"

struct Online : L_Fresh {
    gk::Proc server;
    std::string port;
    HighscoreTable served;  /* what a test has the stand-in answer: "server" in every place at first */
    void SetUp() override
    {
        L_Fresh::SetUp();
        LocaleCountry = 33;
        HS_Fill(&LocalTable, "lokal", 0);
        HS_Fill(&InternetTable, "netz", 0);
        HS_Fill(&served, "server", 0);
        Open();
        server = gk::StartProcess({"/usr/bin/python3", gk::SourceDir() + "/tests/launcher/scoreserver.py", d.path},
                                  "", {}, d.path);
        for (int i = 0; i < 200 && !gk::ReadFile(d / "port", &port); i++)
            usleep(25000);
        ASSERT_FALSE(port.empty()) << "5 s for the stand-in score server's port";
        ScoreServerHost = "127.0.0.1:" + port;
    }
    void TearDown() override
    {
        if (server.pid > 0)
            kill(server.pid, SIGTERM);
        gk::WaitProcess(server, 10);
        ExchangeLimitMs = 60000;
        ExchangeIdleMs = 30000;
        L_Fresh::TearDown();
    }
    void Answer(const std::string &body, int status = 200)
    {
        gk::WriteFile(d / "body", body);
        gk::WriteFile(d / "status", std::to_string(status));
    }
    /* Milliseconds this thread was ready to run but had no processor. */
    static qint64 Queued()
    {
        std::ifstream f("/proc/thread-self/schedstat");
        long long run = 0, queued = 0;
        f >> run >> queued;
        return queued / 1000000;
    }
    /* One exchange; returns the longest time between two ticks of a 5 ms
     * timer in it, less the time a busy machine left the dialog waiting. */
    qint64 Exchange()
    {
        QElapsedTimer since;
        qint64 gap = 0, queued = Queued();
        QTimer meter;
        auto tick = [&] {
            qint64 q = Queued();
            gap = std::max(gap, since.restart() - (q - queued));
            queued = q;
        };
        QObject::connect(&meter, &QTimer::timeout, tick);
        since.start();
        meter.start(5);
        buttonInternetClick();
        tick();
        return gap;
    }
};

/* Messages as plain text, damaged answers and errors with the launcher's texts; no table changes. */
TEST_F(Online, RequestAnswersErrorsAndNoServer)
{
    const std::string link = "<a href=\"http://x.invalid/\">x</a>", longcap(500, 'C');
    const struct { std::string answer, caption, text; int status = 200, messages = 1; } rows[] = {
        {"MSG:Hinweis:Server: gerade voll", "Hinweis", "Server: gerade voll"}, {"MSG:nur Text", "", "nur Text"},
        {"MSG::" + std::string(3000, 'm'), "", std::string(L_MAXMESSAGE, 'm')},
        {"MSG:Hinweis:" + link, "Hinweis", link}, {"MSG:" + longcap + ":lang", std::string(L_MAXCAPTION, 'C'), "lang"},
        {"<html>not a table</html>", Lang(213), Lang(214)},
        {"Not Found", Lang(210), "Der Bestenlisten-Server hat mit dem Fehler 404 geantwortet.\r\nBitte versuchen Sie es sp\xc3\xa4ter noch einmal.", 404},
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
        L_DialogWatch watch(box ? 1 : 0, true, [&] {
            if (QMessageBox *b = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                title = b->windowTitle();
                text = b->text();
                format = b->textFormat();
            }
        });
        buttonInternetClick();
        EXPECT_EQ(watch.seen, box ? 1 : 0) << "the message box of " << row.answer.substr(0, 40);
        setenv("GACKATRON_HEADLESS", "1", 1);
        EXPECT_EQ(l_messagecount, before + row.messages);
        EXPECT_EQ((std::vector<std::string>{l_lastcaption, l_lasttext}), (std::vector<std::string>{row.caption, row.text}));
        if (box) {
            EXPECT_TRUE(format == Qt::PlainText && title.size() <= L_MAXCAPTION) << title.size();
            EXPECT_EQ((std::vector<std::string>{title.toStdString(), text.toStdString()}), (std::vector<std::string>{row.caption, row.text}));
        }
        EXPECT_TRUE(mf.buttonInternet->isEnabled() && InternetTable.e[0][0].name == "netz") << "the list as it was";
    }
    EXPECT_NE(access((d / "modes.$$$").c_str(), F_OK), 0);
    unsetenv("TEMP");
    setenv("TMP", d.path.c_str(), 1);     /* without TEMP, the folder TMP names */
    gk::WriteFile(d / "modes.$$$", "old");
    Answer(rows[0].answer);
    buttonInternetClick();
    unsetenv("TMP");
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
    int before = l_messagecount;
    buttonInternetClick();
    EXPECT_TRUE(l_messagecount == before + 1 && l_lasttext == Lang(212)) << l_messagecount - before << ": " << l_lasttext;
    mf.checkProxy->setChecked(true);
    mf.editProxy->setText("127.0.0.1");
    mf.editPort->setText("1");
    buttonInternetClick();
    EXPECT_EQ(l_lasttext, Lang(211));
    EXPECT_TRUE(mf.buttonInternet->isEnabled() && InternetTable.e[0][0].name == "netz") << "the old list kept";
}

TEST_F(Online, HostileNamesAreShownAsTheyAre)
{
    const std::string names[] = {"<img src=x>", "<b>fett</b>", "<a href=x>"};
    for (int i = 0; i < 3; i++)
        served.e[0][i] = {names[i], 30 - i};
    Answer(PackTable(&served));
    mf.comboIMaps->setCurrentIndex(0);
    buttonInternetClick();
    mf.PageControl1->setCurrentWidget(mf.tabInet);
    mf.mainf->show();
    EXPECT_FALSE(mf.mainf->grab().isNull());
    mf.mainf->hide();
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(mf.ihn[i]->text().toStdString(), names[i]);
        EXPECT_GT(mf.ihn[i]->sizeHint().width(), mf.ihn[i]->fontMetrics().horizontalAdvance("<table>"));
    }
}

TEST_F(Online, DrippingServerIsCutOffWhileBusyIsShown)
{
    Answer(PackTable(&served));
    gk::WriteFile(d / "drip", "");
    ExchangeLimitMs = 3000;
    ExchangeIdleMs = 1500;      /* a byte a second: each one keeps it from running out */
    bool busy = false;
    QString status;
    QTimer::singleShot(700, [&] {
        busy = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        status = mf.labelStatus->text();
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_LT(Exchange(), 100);
    EXPECT_LT(clock.elapsed(), 8000);
    /* at the limit (a coarse timer may end 5 % early), not at the first pause of 1.5 s */
    EXPECT_GE(clock.elapsed(), 2500) << "cut at a pause of the server although it was sending";
    EXPECT_EQ((std::vector<std::string>{l_lastcaption, l_lasttext, status.toStdString()}), (std::vector<std::string>{Lang(210), Lang(215), Lang(231)}));
    EXPECT_TRUE(busy && !QApplication::overrideCursor() && mf.labelStatus->text().isEmpty()) << "busy while it ran, not after";
    EXPECT_TRUE(mf.buttonInternet->isEnabled() && InternetTable.e[0][0].name == "netz") << "the list as it was";
}

/* What a hostile server may answer ends as soon as it passes a limit
 * (16 KiB of head, 64 KiB of body), changes no list, and never holds up
 * the dialog; only a whole 200 answer from the server asked changes it. */
TEST_F(Online, HostileAnswersEndAtOnceAndChangeNothing)
{
    HS_Fill(&served, "server", 7);
    const std::string table = PackTable(&served);
    const struct { int head; std::string body; int status; const char *to; std::string says; int hops = 1; } rows[] = {
        {10 << 20, table, 200, "", Lang(250)}, {16385, table, 200, "", Lang(250)},
        {16384, table, 200, "", ""},    /* taken */
        {0, std::string(10 << 20, '0'), 200, "", Lang(250)}, {0, "MSG::" + std::string(65532, 'x'), 200, "", Lang(250)},
        {0, "MSG::" + std::string(65531, 'x'), 200, "", std::string(1024, 'x')}, {0, table, 500, "", "500"},
        {0, table, 302, "localhost", "http://localhost:" + port + "/topten.php?game=gackatron"},
        {0, table, 302, "/moved", ""},  /* followed on the same server */
        {0, table, 301, "/moved", ""}, {0, table, 303, "/moved", ""}, {0, table, 307, "/moved", ""},
        {0, table, 308, "/moved", ""}, {0, table, 300, "/moved", "300"}, {0, table, 309, "/moved", "309"},
        {0, table, 302, "/hop", "", 4}, {0, table, 302, "/hop", "302", 5},  /* four redirects followed */
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.head + row.body.size());
        InternetTable.e[0][0].name = "netz";
        Answer(row.body, row.status);
        gk::WriteFile(d / "headsize", std::to_string(row.head));
        gk::WriteFile(d / "redirect", row.to);
        gk::WriteFile(d / "hops", std::to_string(row.hops));
        QElapsedTimer clock;
        clock.start();
        EXPECT_LT(Exchange(), 100);
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_NE(l_lasttext.find(row.says), std::string::npos) << l_lasttext.substr(0, 300);
        EXPECT_EQ(InternetTable.e[0][0].name, row.says.empty() ? "server" : "netz");
    }
}

/* Names and messages from the server as the server cleans names: control
 * characters and escapes dropped, names trimmed to 12 characters. */
TEST_F(Online, NamesAndMessagesAreCleaned)
{
    served.e[0][0] = {"\x1b]0;title\x07" "Ada", 40};
    served.e[0][1] = {std::string(250, 'N'), 30};
    served.e[0][2] = {" \tBob\x7f ", 20};
    std::string e12;
    for (int i = 0; i < 12; i++)
        e12 += "\xc3\xa9";
    served.e[0][3] = {e12 + "\xc3\xa9", 10};
    Answer(PackTable(&served));
    Exchange();
    const std::string want[] = {"]0;titleAda", std::string(12, 'N'), "Bob", e12};
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(InternetTable.e[0][i].name, want[i]);
    Answer("MSG:\x1b[2JCap\xc2\x9b:line\x1b]0;x\x07\nnext\x7f");
    Exchange();
    EXPECT_EQ(l_lastcaption, "[2JCap");
    EXPECT_EQ(l_lasttext, "line]0;x\nnext");
}
