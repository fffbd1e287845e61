/* The score server as a real process: launcher exchange, hostile requests, a kill, its web page. */
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include "l_testapp.h"
#include "sv_testserver.h"

static std::vector<std::string> Names(const HighscoreTable &t, int level)
{
    std::vector<std::string> v;
    for (int i = 0; i < HS_ENTRIES && t.e[level][i].points > 0; i++)
        v.push_back(t.e[level][i].name + " " + std::to_string(t.e[level][i].points));
    return v;
}

static size_t Count(const std::string &s, const std::string &what)
{
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1), n++) {
    }
    return n;
}

static HighscoreTable WorldTable(int port)
{
    std::string body;
    HighscoreTable t;
    HS_Fill(&t, "", 0);
    EXPECT_EQ(SV_Get(port, SV_TopTen(44, false, true, ""), &body), 200);
    EXPECT_TRUE(UnpackTable(body, &t)) << body;
    return t;
}

class LauncherExchange : public L_Fresh {
protected:
    ScoreServer server;
    void SetUp() override
    {
        L_Fresh::Start(44);
        Open();
        mf.comboIMaps->setCurrentIndex(0);
        ASSERT_TRUE(server.Start(d.path, {"--db", d / "scores.sqlite"})) << server.log;
        ScoreServerHost = "127.0.0.1:" + std::to_string(server.port);
    }
    void TearDown() override
    {
        ScoreServerHost.clear();
        DemoDir.clear();
        L_Fresh::TearDown();
    }
};

TEST_F(LauncherExchange, TwoLaunchersMergeAndARestartKeepsTheLists)
{
    HighscoreTable a, b, c;
    for (HighscoreTable *t : {&a, &c})
        HS_Fill(t, "unknown", 0);
    HS_Fill(&b, "неизвестно", 0);
    a.e[0][0] = {"Jürgen", 500};
    a.e[0][1] = {"Ada", 300};
    b.e[0][0] = {"Дима", 400};      /* equal points, two players */
    b.e[0][1] = {"Саша", 400};
    b.e[0][2] = {"Ada", 300};
    b.e[3][0] = {"Bob", 50};
    auto exchange = [this](const HighscoreTable &local, int country) {
        ScoreServerHost = "127.0.0.1:" + std::to_string(server.port);
        LocalTable = local;
        LocaleCountry = country;
        HS_Fill(&InternetTable, "old", 0);
        int before = l_messagecount;
        buttonInternetClick();
        EXPECT_EQ(l_messagecount, before) << l_lastcaption << ": " << l_lasttext;
    };
    std::vector<std::string> merged = {"Jürgen 500", "Дима 400", "Саша 400", "Ada 300"};
    exchange(a, 49);
    EXPECT_EQ(Names(InternetTable, 0), std::vector<std::string>({"Jürgen 500", "Ada 300"}));
    exchange(b, 7);
    EXPECT_EQ(Names(InternetTable, 0), merged);
    /* the launcher restarts: its settings file gives both lists back letter for letter */
    ASSERT_TRUE(L_StoreSettings(d / "restart.ini"));
    HS_Fill(&LocalTable, "x", 0);
    HS_Fill(&InternetTable, "x", 0);
    LoadSettings(d / "restart.ini");
    EXPECT_EQ(Names(LocalTable, 0), std::vector<std::string>({"Дима 400", "Саша 400", "Ada 300"}));
    EXPECT_EQ(LocalTable.e[0][9].name, "неизвестно");
    EXPECT_EQ(Names(InternetTable, 0), merged);
    exchange(a, 49);
    EXPECT_EQ(Names(InternetTable, 0), merged);

    EXPECT_EQ(server.Stop(), 0) << server.log;
    EXPECT_EQ(server.log.find("val="), std::string::npos);
    EXPECT_NE(server.log.find("country=7 200 added=3"), std::string::npos) << server.log;
    ASSERT_TRUE(server.Start(d.path, {"--db", d / "scores.sqlite"})) << server.log;
    exchange(c, 44);
    EXPECT_EQ(Names(InternetTable, 0), merged);
    EXPECT_EQ(Names(InternetTable, 3), std::vector<std::string>({"Bob 50"}));
    for (int r = 0; r < HS_ROWS; r++)
        EXPECT_NE(InternetTable.e[r][HS_ENTRIES - 1].name, "old") << "row " << r << " not replaced";
    std::string page, json;
    ASSERT_EQ(SV_Get(server.port, "/", &page), 200);
    ASSERT_EQ(SV_Get(server.port, "/scores.json?level=0", &json), 200);
    for (std::string n : {"Jürgen", "Дима", "Саша"}) {
        EXPECT_NE(page.find(">" + n + "<"), std::string::npos) << n;
        EXPECT_NE(json.find("{\"name\":\"" + n + "\",\"points\":"), std::string::npos) << n << json;
    }
}

/* The kept demo of a listed entry is sent once and the server's replay verifies it. */
TEST_F(LauncherExchange, KeptDemoOfAListedEntryIsSentOnceAndVerified)
{
    std::string demo;
    if (!gk::ReadFile(std::string(GK_BINARY_DIR) + "/bench/heaviest.dem", &demo) || demo.size() < 40)
        GTEST_SKIP() << "no standard demo built";
    gk::ProcResult r = gk::RunProcess({gk::DistDir() + "/vexengine", "-game", "data", "-verifydemo",
                                       std::string(GK_BINARY_DIR) + "/bench/heaviest.dem"}, gk::DistDir());
    int level = demo[16], points = 0;
    ASSERT_EQ(sscanf(r.out.c_str(), "$$score %d", &points), 1) << r.out << r.err;
    ASSERT_GT(points, 1);
    DemoDir = d / "demos";
    gk::MakeDirs(DemoDir);
    std::string kept = DemoDir + "/level" + std::to_string(level) + "-" + std::to_string(points) + "-20260101-120000";
    std::string other = DemoDir + "/level" + std::to_string(level) + "-" + std::to_string(points - 1) +
                        "-20260101-120500.dem";
    gk::WriteFile(kept + ".dem", demo);
    gk::WriteFile(other, demo);
    HS_Fill(&LocalTable, "unknown", 0);
    LocalTable.e[level][0] = {"Jürgen", points};
    LocalTable.e[level][1] = {"Ada", points - 1};
    std::string body;
    std::vector<SV_Entry> better;       /* Ada falls out of the server's ten */
    for (int i = 0; i < 9; i++)
        better.push_back({level, "s" + std::to_string(i), points + 1 + i});
    ASSERT_EQ(SV_Get(server.port, SV_TopTen(44, true, false, SV_PackEntries(better)), &body), 200);
    int before = l_messagecount;
    for (int round = 0; round < 2; round++) {
        buttonInternetClick();
        for (int i = 0; i < 200 && L_Uploading(); i++) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            usleep(20000);
        }
        EXPECT_FALSE(L_Uploading());
    }
    EXPECT_EQ(l_messagecount, before) << l_lastcaption << ": " << l_lasttext;
    EXPECT_EQ(access((kept + ".sent.dem").c_str(), F_OK), 0);
    EXPECT_EQ(access(other.c_str(), F_OK), 0);
    std::string want = "{\"name\":\"Jürgen\",\"points\":" + std::to_string(points) + ",";
    for (int i = 0; i < 300; i++) {
        ASSERT_EQ(SV_Get(server.port, "/scores.json?level=" + std::to_string(level) + "&verified=1", &body), 200);
        if (body.find(want) != std::string::npos)
            break;
        usleep(100000);
    }
    EXPECT_NE(body.find(want), std::string::npos) << body;
    EXPECT_EQ(server.Stop(), 0);
    EXPECT_EQ(Count(server.log, "POST /replay?game=gackatron&level=" + std::to_string(level) + "&name=J%C3%BCrgen&points=" +
                                    std::to_string(points) + "&country="), 1u) << server.log;
    EXPECT_EQ(Count(server.log, "POST "), 1u) << server.log;
}

TEST(ScoreServer, HostileRequestsAreRefusedAndChangeNothing)
{
    gk::TempDir d;
    ScoreServer server;
    ASSERT_TRUE(server.Start(d.path, {"--db", d / "scores.sqlite", "--max-points", "100000"})) << server.log;
    std::string good = SV_PackEntries({{0, "Ada", 500}}), body;
    ASSERT_EQ(SV_Get(server.port, SV_TopTen(44, true, false, good), &body), 200);
    EXPECT_EQ(SV_AddedIn(body), 1) << body;
    HighscoreTable before = WorldTable(server.port);

    std::string crc = good, digit = good, fill;
    crc[9] = crc[9] == '0' ? '1' : '0';
    digit[good.size() / 2] = digit[good.size() / 2] == '0' ? '1' : '0';
    for (int i = 5; i < 80; i++)
        fill += "0 x\n";
    std::string listing = "#!FORMAT 1 8 10\n0 zero\n-5 minus\n7    \n7 \x01\x02\x7f\n100001 over\n" + fill;
    /* what: answer (the start of the body; NULL: any refusal), request */
    std::vector<std::pair<const char *, std::string>> cases = {
        {"MSG:Bestenliste:", SV_TopTen(49, true, true, std::string(64, 'G'))},     /* bad hex */
        {"MSG:Highscores:", SV_TopTen(44, true, true, good.substr(1))},            /* odd length */
        {"MSG:\xD0\xE5\xEA\xEE\xF0\xE4\xFB:", SV_TopTen(7, true, true, crc)},         /* in Windows-1251 */
        {"MSG:Highscores:", SV_TopTen(1, true, true, digit)},                      /* damaged stream */
        {NULL, SV_TopTen(49, true, true, std::string(1 << 20, 'A'))},
        {NULL, SV_TopTen(49, true, true, std::string(8 << 20, 'A'))},
        {"MSG:", "/topten.php?game=gackatron&merge=1&country=49"},                 /* no val */
        {"MSG:", "/topten.php?game=other&merge=1&getlist=1&country=49&val=" + good},
        {"MSG:", "/topten.php?game=gackatron&merge=1&country=4'9&val=" + good},
        {"MSG:", "/topten.php?game=gackatron&merge=yes&country=49&val=" + good},
        {"MSG:Highscores:Thank you, your list has arrived. New entries: 0.", SV_TopTen(44, true, false, SV_RawPack(listing))},
    };
    /* packed texts that lie about their sizes or hold too little */
    std::string plain = "#!FORMAT 1 8 10\n" + fill + "0 x\n0 x\n0 x\n0 x\n0 x\n", cut;
    uint32_t n = (uint32_t)plain.size(), sum = SV_Crc(plain);
    cut = plain.substr(0, n - 4);
    for (const std::string &lie : {SV_RawPack(plain, 0xffffffffu, sum), SV_RawPack(plain, 0x7fffffffu, sum),
                                   SV_RawPack(plain, n * 4, sum), SV_RawPack(plain, n + 3, sum), SV_RawPack(plain, 100, sum),
                                   SV_RawPack(plain, 100, SV_Crc(plain.substr(0, 100))), SV_Hex(std::string(8, '\0')),
                                   std::string(16, 'F'), SV_RawPack(plain) + std::string(2 * HS_BLOCKSIZE, '0'),
                                   SV_RawPack(cut), SV_RawPack(cut + "5xname_5\n"), SV_RawPack(cut + "x name\n"),
                                   SV_RawPack(cut + "99999999999 n\n")})
        cases.push_back({"MSG:Highscores:", SV_TopTen(44, true, true, lie)});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.second.substr(0, 120));
        int status = SV_Get(server.port, c.second, &body);
        if (c.first) {
            EXPECT_EQ(body.substr(0, strlen(c.first)), c.first);
        }
        EXPECT_TRUE(status == -1 || (status == 200 && body.compare(0, 4, "MSG:") == 0) || status >= 400)
            << status << " " << body.substr(0, 200);
        EXPECT_EQ(Names(WorldTable(server.port), 0), Names(before, 0));
    }

    /* names that are text, not statements or markup; bytes Windows-1252 leaves undefined */
    listing = "#!FORMAT 1 8 10\n90 x'); DROP TABLE scores; --\n80 O'Brien\"; --\n70 <script>x\n"
              "60 a\x81\x8D" "b\n50 \xA0 Zo\xEB \n" + fill;
    ASSERT_EQ(SV_Get(server.port, SV_TopTen(44, true, true, SV_RawPack(listing)), &body), 200);
    HighscoreTable t;
    ASSERT_TRUE(UnpackTable(body, &t)) << body;
    EXPECT_EQ(Names(t, 0), std::vector<std::string>({"Ada 500", "x'); DROP TA 90", "O'Brien\"; -- 80",
                                                      "<script>x 70", "a??b 60", "Zoë 50"}));

    /* one address, 1,000 merges: the first get in, the rest are told to wait */
    int waits = 0, others = 0;
    for (int i = 0; i < 1000; i++) {
        int status = SV_Get(server.port, SV_TopTen(44, true, false, good), &body);
        if (status == 200 && body.find("Too many exchanges") != std::string::npos)
            waits++;
        else if (status == 200 && SV_AddedIn(body) == 0)
            others++;
    }
    EXPECT_EQ(waits + others, 1000);
    EXPECT_GE(waits, 1000 - 30);
    EXPECT_EQ(Names(WorldTable(server.port), 0), Names(t, 0));
    EXPECT_EQ(server.Stop(), 0);
}

/* Older launchers pack names in their system's code page: Windows-1251 on a Russian system
 * (country 7), Windows-1252 elsewhere.  Each table is read letter for letter and answered in
 * its sender's code page, without the UTF-8 line. */
TEST(ScoreServer, OlderLaunchersTablesInTheirCodePages)
{
    gk::TempDir d;
    ScoreServer server;
    ASSERT_TRUE(server.Start(d.path, {"--db", d / "scores.sqlite"})) << server.log;
    std::string fill, body;
    for (int i = 2; i < 80; i++)
        fill += "0 x\n";
    const struct { int country; const char *lines; int cp; std::vector<std::string> back; } rows[] = {
        {7, "900 \xC4\xE8\xEC\xE0\n800 \x80\xBF\xC0\xFF\n", 1251, {"Дима 900", "ЂїАя 800"}},
        {49, "700 J\xFCrgen\n600 \x80\x9F\xA0\xFF\n", 1252, {"???? 900", "???? 800", "Jürgen 700", "€Ÿ\u00A0ÿ 600"}},
    };
    for (const auto &r : rows) {
        std::string table = SV_RawPack("#!FORMAT 1 8 10\n" + (r.lines + fill));
        ASSERT_EQ(SV_Get(server.port, SV_TopTen(r.country, true, true, table), &body), 200);
        HighscoreTable t;
        int found = 0;
        ASSERT_TRUE(UnpackTable(body, &t, r.cp, &found)) << body;
        EXPECT_EQ(found, r.cp);
        EXPECT_EQ(Names(t, 0), r.back);
    }
}

/* Every entry the SQL store holds, as "name points". */
static std::set<std::string> StoredNames(const std::string &db)
{
    std::set<std::string> names;
    {
        QSqlDatabase c = QSqlDatabase::addDatabase("QSQLITE", "check");
        c.setDatabaseName(QString::fromStdString(db));
        EXPECT_TRUE(c.open());
        QSqlQuery q("SELECT name, points FROM scores", c);
        while (q.next())
            names.insert(q.value(0).toString().toStdString() + " " + q.value(1).toString().toStdString());
        c.close();
    }
    QSqlDatabase::removeDatabase("check");
    return names;
}

/* Clients merging one new entry each; the names whose merge was answered. */
struct Burst {
    std::mutex lock;
    std::set<std::string> answered;
    std::atomic<int> added{0};
    std::vector<std::thread> threads;
    void Run(int clients, int merges, int port, const std::string &prefix = "c")
    {
        for (int t = 0; t < clients; t++)
            threads.emplace_back([=, this] {
                for (int i = 0; i < merges; i++) {
                    std::string name = prefix + std::to_string(t) + "m" + std::to_string(i), body;
                    std::string packed = SV_PackEntries({{i % HS_ROWS, name, 1000 + i}});
                    int s = SV_Get(port, SV_TopTen(44, true, false, packed), &body);
                    int n = s == 200 ? SV_AddedIn(body) : -1;
                    if (n < 1)
                        return;     /* the server is gone */
                    added += n;
                    std::lock_guard<std::mutex> g(lock);
                    answered.insert(name + " " + std::to_string(1000 + i));
                }
            });
    }
    void Join()
    {
        for (auto &t : threads)
            t.join();
        threads.clear();
    }
};

/* Killed: every answered merge is stored; stopped (SIGTERM): every stored merge is answered too. */
TEST(ScoreServer, KilledOrStoppedInABurstKeepsEveryAnsweredMerge)
{
    gk::TempDir d;
    ScoreServer server;
    ASSERT_TRUE(server.Start(d.path, {"--db", d / "scores.sqlite", "--rate", "0"})) << server.log;
    Burst b;
    b.Run(6, 400, server.port);
    for (int i = 0; i < 200 && b.added < 150; i++)
        usleep(20000);
    server.Kill();
    b.Join();
    EXPECT_GT(b.answered.size(), 20u);
    ASSERT_TRUE(server.Start(d.path, {"--db", d / "scores.sqlite", "--rate", "0"})) << server.log;
    std::set<std::string> stored = StoredNames(d / "scores.sqlite");
    for (const std::string &n : b.answered)
        EXPECT_TRUE(stored.count(n)) << n << " was answered but is not stored";
    Burst c;
    c.Run(6, 400, server.port, "t");
    for (int i = 0; i < 200 && c.added < 150; i++)
        usleep(20000);
    EXPECT_EQ(server.Stop(), 0) << server.log;
    c.Join();
    std::set<std::string> stopped;
    for (const std::string &n : StoredNames(d / "scores.sqlite"))
        if (n[0] == 't')
            stopped.insert(n);
    EXPECT_GE(c.answered.size(), 150u);
    EXPECT_EQ(stopped, c.answered);
}

TEST(ScorePage, ListsShowAndNamesStayText)
{
    gk::TempDir d;
    ScoreServer server;
    ASSERT_TRUE(server.Start(d.path, {"--db", d / "scores.sqlite"})) << server.log;
    std::string body;
    SV_Get(server.port, SV_TopTen(49, true, false,
                                  SV_PackEntries({{0, "Jürgen", 900}, {0, "<script>x", 800}, {0, "<b>bold</b>", 700},
                                                  {2, "A&B", 60}})), &body);
    SV_Get(server.port, SV_TopTen(44, true, false, SV_PackEntries({{0, "Ada", 950}, {7, "Zed", 5}})), &body);
    ASSERT_EQ(SV_Get(server.port, "/", &body), 200);
    for (const char *want : {"Level 1", "Level 8", ">Ada<", ">Jürgen<", "&lt;script&gt;x", "&lt;b&gt;bold&lt;/b&gt;",
                             "A&amp;B", ">Germany (4)<", ">950<"})
        EXPECT_NE(body.find(want), std::string::npos) << want;
    EXPECT_EQ(body.find("<script>x"), std::string::npos);
    EXPECT_EQ(body.find("<b>"), std::string::npos);
    /* one country's lists */
    ASSERT_EQ(SV_Get(server.port, "/?country=44", &body), 200);
    EXPECT_NE(body.find(">Ada<"), std::string::npos);
    EXPECT_EQ(body.find("Jürgen"), std::string::npos);

    EXPECT_EQ(server.Stop(), 0);
}
