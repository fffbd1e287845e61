/* Verified scores: a recorded game replayed by the real score server and worker. */
#include <gtest/gtest.h>

#include <set>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include "../server/sv_testserver.h"
#include "demo.h"
#include "play_data.h"

namespace {

std::string Server() { return gk::DistDir() + "/gackatron-scores"; }

/* A 6 s level 1 played with fire held at chickens ahead: its demo and replayed points. */
int32_t RecordGame(const std::string &tree, std::string *demo)
{
    play::Spawn ahead = {"chicken", 0.0f, 1.0f, {0, 0, -200}, {0, 0, 1}, 10.0f};
    if (!play::WriteTree(tree, 1, 6.0f, {ahead}) ||
        symlink((gk::DistDir() + "/vexengine").c_str(), (tree + "/vexengine").c_str()) != 0 ||
        play::StartGame(tree, 1) != 1)
        return 0;
    demoheader_t h;
    Demo_MakeHeader(&h, 1, 44, 0.3f, 0);
    if (!Demo_StartRecord((tree + "/game.dem").c_str(), &h))
        return 0;
    Eng_PostEvent(IE_LBUTTONDOWN, 0, 0);
    play::Frames(5000, 20);
    Demo_StopRecord();
    Eng_StopHeadless();
    gk::ProcResult r = play::Engine(tree, {"-verifydemo", "game.dem"}, {}, 60);
    int points = 0;
    if (!gk::ReadFile(tree + "/game.dem", demo) || sscanf(r.out.c_str(), "$$score %d", &points) != 1)
        return 0;
    return points;
}

std::string Replay(int level, const std::string &name, int32_t points)
{
    std::string enc, cp = HS_ToCp1252(name);
    char hex[4];
    for (unsigned char c : cp) {
        snprintf(hex, sizeof(hex), "%%%02X", c);
        enc += hex;
    }
    return "/replay?game=gackatron&level=" + std::to_string(level) + "&name=" + enc +
           "&points=" + std::to_string(points) + "&country=44";
}

struct VerifiedScores : testing::Test {
    gk::TempDir dir;
    std::string tree, demo;
    int32_t points = 0;

    void SetUp() override
    {
        if (access(Server().c_str(), X_OK) != 0)
            GTEST_SKIP() << "no score server built";
        tree = dir / "game";     /* in a folder only we may enter: run as root, the server copies it for nobody */
        points = RecordGame(tree, &demo);
        ASSERT_GT(points, 0) << "the recorded game scored nothing";
    }
};

TEST_F(VerifiedScores, RealGameVerifiesForgedOnesNever)
{
    std::string head = demo.substr(0, DEMO_HEADERSIZE), otherlevel = demo;
    otherlevel[16] = 2;
    std::string endless = head;
    for (int i = 0; i < 900000; i++)
        endless += std::string("\x00\x00", 2);      /* frames whose game clock stands still */
    std::string random(2 << 20, '\0');
    srand(17);
    for (char &c : random)
        c = (char)rand();
    struct Forged { int level; const char *name; int32_t points; std::string body; bool queued; } forged[] = {
        {1, "Eve", points + 1, demo, true}, {2, "Lev", points, otherlevel, true},
        {1, "Tru", points, demo.substr(0, demo.size() / 2), true},
        {1, "Inf", points, endless, false},     /* more frames than 6 s can hold */
        {1, "Rnd", points, random, false}};

    ScoreServer server;
    std::vector<std::string> args = {"--game", tree, "--rate", "0", "--verify-seconds", "8", "--workers", "2"};
    ASSERT_TRUE(server.Start(args)) << server.log;
    std::string body;
    /* two scores under one name on the level: only the replayed one is verified */
    std::vector<SV_Entry> entries = {{1, "Jürgen", points}, {1, "Jürgen", points - 1}};
    for (const Forged &f : forged)
        entries.push_back({f.level, f.name, f.points});
    ASSERT_EQ(SV_Get(server.port, SV_TopTen(44, true, false, SV_PackEntries(entries)), &body), 200);
    ASSERT_EQ(SV_AddedIn(body), 7) << body;

    /* an entry the server does not hold is refused at once */
    EXPECT_EQ(gk::HttpSend(server.port, "POST", Replay(1, "Nobody", points), demo, &body), 200);
    EXPECT_EQ(body.compare(0, 4, "MSG:"), 0) << body;
    for (const Forged &f : forged) {
        EXPECT_EQ(gk::HttpSend(server.port, "POST", Replay(f.level, f.name, f.points), f.body, &body), 200) << f.name;
        EXPECT_EQ(body == "OK", f.queued) << f.name << ": " << body;
    }
    /* the real one waits behind the forged ones: the worker must live through them */
    ASSERT_EQ(gk::HttpSend(server.port, "POST", Replay(1, "Jürgen", points), demo, &body), 200);
    ASSERT_EQ(body, "OK");
    std::map<std::string, bool> v;
    const std::string real = "Jürgen " + std::to_string(points), other = "Jürgen " + std::to_string(points - 1);
    for (int i = 0; i < 600 && !v[real]; i++) {
        ASSERT_EQ(SV_Get(server.port, SV_TopTen(44, false, true, ""), &body), 200);
        HighscoreTable t;
        ASSERT_TRUE(UnpackTable(body, &t)) << "an exchange was not answered while replays ran";
        usleep(100000);
        v = SV_Verified(server.port, 1);
    }
    EXPECT_TRUE(v[real]) << "60 s for the replay of the real game";
    EXPECT_TRUE(v.count(other) && !v[other]) << "listed, not verified";
    for (const Forged &f : forged)
        EXPECT_FALSE(SV_Verified(server.port, f.level)[std::string(f.name) + " " + std::to_string(f.points)]) << f.name;
    ASSERT_EQ(SV_Get(server.port, "/?verified=1", &body), 200);
    EXPECT_EQ(body.find(">Eve<"), std::string::npos);
    EXPECT_EQ(server.Stop(), 0);
    EXPECT_TRUE(SV_Count(server.log, "refused: ") == 3 && SV_Count(server.log, " verified (") == 1) << server.log;
    /* a competitive server hands out verified entries only; its page marks them */
    args.push_back("--verified-only");
    ASSERT_TRUE(server.Start(args)) << server.log;
    ASSERT_EQ(SV_Get(server.port, SV_TopTen(44, false, true, ""), &body), 200);
    HighscoreTable t;
    ASSERT_TRUE(UnpackTable(body, &t));
    EXPECT_TRUE(t.e[1][0].name == "Jürgen" && t.e[1][1].points == 0) << t.e[1][0].name;
    ASSERT_EQ(SV_Get(server.port, "/", &body), 200);
    EXPECT_TRUE(SV_Count(body, ">Jürgen</td><td class=\"v\" title=\"verified") && SV_Count(body, ">Eve</td><td class=\"v\"></td>")) << body;
}

TEST_F(VerifiedScores, TwoPostgresWorkersVerifyEachDemoOnce)
{
    if (!SV_HavePostgres())
        GTEST_SKIP() << "no PostgreSQL binaries";
    Postgres pg;
    ASSERT_TRUE(pg.Start()) << "PostgreSQL did not start, see " << pg.dir;
    std::string url = "postgresql://gk@127.0.0.1:" + std::to_string(pg.port) + "/postgres", body;
    ScoreServer server;
    ASSERT_TRUE(server.Start(dir.path, {"--db", url, "--rate", "0", "--replays-per-address", "50"})) << server.log;
    for (int k = 0; k < 5; k++) {
        std::vector<SV_Entry> e;
        for (int i = 0; i < 10; i++)
            e.push_back({1, "p" + std::to_string(10 * k + i), points});
        ASSERT_EQ(SV_Get(server.port, SV_TopTen(44, true, false, SV_PackEntries(e)), &body), 200);
    }
    for (int i = 0; i < 50; i++) {
        ASSERT_EQ(gk::HttpSend(server.port, "POST", Replay(1, "p" + std::to_string(i), points), demo, &body), 200);
        ASSERT_EQ(body, "OK") << i;
    }
    gk::Proc workers[2];
    gk::TempDir wdir[2];
    for (int w = 0; w < 2; w++)
        workers[w] = gk::StartProcess({Server(), "--worker", "--db", url, "--game", tree}, wdir[w].path, {}, wdir[w].path);
    std::string logs[2];
    for (int i = 0; i < 1200 && SV_Count(logs[0] + logs[1], " verified (") < 50; i++, usleep(100000))
        for (int w = 0; w < 2; w++)
            gk::ReadFile(workers[w].errpath, &logs[w]);
    std::set<std::string> ids;
    size_t lines = 0;
    for (int w = 0; w < 2; w++) {
        kill(workers[w].pid, SIGTERM);
        gk::ProcResult r = gk::WaitProcess(workers[w], 30);
        EXPECT_EQ(r.status, 0) << r.err;
        for (size_t at = r.err.find("replay "); at != std::string::npos; at = r.err.find("replay ", at + 1)) {
            ids.insert(r.err.substr(at, r.err.find(' ', at + 7) - at));
            lines++;
        }
        EXPECT_EQ(SV_Count(r.err, "refused"), 0u) << r.err;
    }
    EXPECT_EQ(std::make_pair(lines, ids.size()), std::make_pair((size_t)50, (size_t)50));
    std::map<std::string, bool> v = SV_Verified(server.port, 1);
    EXPECT_EQ(v.size(), 10u);
    for (auto &e : v)
        EXPECT_TRUE(e.second) << e.first;
}

/* Waiting replays in a store, after the statement first. */
int Waiting(const std::string &db, const char *first = "")
{
    int n = -1;
    {
        QSqlDatabase c = QSqlDatabase::addDatabase("QSQLITE", "waiting");
        c.setDatabaseName(QString::fromStdString(db));
        QSqlQuery q(c);
        if (c.open() && (!*first || q.exec(first)) && q.exec("SELECT COUNT(*) FROM replay") && q.next())
            n = q.value(0).toInt();
    }
    QSqlDatabase::removeDatabase("waiting");
    return n;
}

/* Uploads to a server that verifies nothing itself (the replays wait): the
 * frames a level's play time holds, the replays of one address and entry, the points' range, --max-jobs. */
TEST(ReplayLimits, FramesAddressAndEntryAtTheirEdges)
{
    ScoreServer server;
    std::string src, body, db = server.dir / "scores.sqlite";
    ASSERT_TRUE(gk::ReadFile(gk::SourceDir() + "/tools/content/levels/script0.txt", &src));
    long seconds = atol(src.c_str() + src.find("\nduration") + 9);
    ASSERT_GT(seconds, 0);
    /* the game clock counts milliseconds: at most one frame a millisecond of play and margin */
    long frames = (seconds + (long)DEMO_TIMEMARGIN) * 1000;
    std::string head = "GKDM" + std::string(DEMO_HEADERSIZE - 4, '\0');
    std::string atlimit = head, past = head;
    for (long i = 0; i < frames; i++)   /* a millisecond, one event: a type and two numbers */
        atlimit += std::string("\x02\x01\x05\x00\x00", 5);
    past = atlimit + std::string("\x02\x00", 2);
    std::string unknown = past.substr(0, 16) + '\x07' + past.substr(17);   /* level 7: no play time known, not judged */
    std::vector<std::string> args = {"--game", gk::DistDir(), "--workers", "0", "--replays-per-address", "3", "--max-jobs", "6"};
    ASSERT_TRUE(server.Start(args)) << server.log;
    ASSERT_EQ(SV_Get(server.port, SV_TopTen(44, true, false, SV_PackEntries({{0, "A", 30}, {0, "B", INT32_MAX}, {0, "C", 10}, {7, "D", 1}})),
                     &body), 200);
    /* uploads from 127.0.0.N: queued (q) or refused, the same refusal for each letter: a replay of the entry from
     * this address, or three from any, waits (e), too many frames (f), the address's limit (a), --max-jobs (j) */
    struct { int from; const char *name; int points; const std::string &demo; char answer; } uploads[] = {
        {1, "A", 30, atlimit, 'q'}, {1, "A", 30, atlimit, 'e'}, {1, "B", INT32_MAX, past, 'f'}, {1, "B", INT32_MAX, head, 'q'},
        {1, "D", 1, unknown, 'q'},  {1, "C", 10, head, 'a'},    {2, "C", 10, head, 'q'},          {3, "C", 10, head, 'q'},
        {4, "C", 10, head, 'q'},    {5, "C", 10, head, 'e'},    {5, "A", 30, head, 'j'}};
    std::map<char, std::set<std::string>> answers;
    for (const auto &u : uploads) {
        std::string a = SV_Raw(server.port, "POST " + Replay(u.demo[16], u.name, u.points) + " HTTP/1.0\r\nContent-Length: " +
                               std::to_string(u.demo.size()) + "\r\n\r\n" + u.demo, ("127.0.0." + std::to_string(u.from)).c_str());
        answers[u.answer].insert(a.substr(std::min(a.size(), a.find("\r\n\r\n") + 4)));
    }
    std::set<std::string> seen;      /* each answer once: "OK" for the queued */
    for (const auto &[letter, texts] : answers)
        EXPECT_TRUE(texts.size() == 1 && seen.insert(*texts.begin()).second && (*texts.begin() == "OK") == (letter == 'q')) << letter;
    EXPECT_EQ((std::vector<int>{server.Stop(), Waiting(db)}), (std::vector<int>{0, 6})) << "stopped cleanly, six replays waiting";
    /* a tree without an engine: verification is off, uploads are refused and not kept */
    args = {"--game", server.dir.path, "--workers", "1"};
    ASSERT_TRUE(server.Start(args)) << server.log;
    ASSERT_EQ(gk::HttpSend(server.port, "POST", Replay(0, "C", 10), head, &body), 200);
    EXPECT_TRUE(body.compare(0, 4, "MSG:") == 0 && seen.insert(body).second) << body;
    EXPECT_EQ(server.Stop(), 0);
    /* replays a worker had taken when its server stopped wait again at the next start, and are replayed */
    ASSERT_EQ(Waiting(db, "UPDATE replay SET taken = 1"), 6);
    ASSERT_TRUE(server.Start({"--game", gk::DistDir()})) << server.log;
    for (int i = 0; i < 300 && Waiting(db) > 0; i++)
        usleep(100000);
    EXPECT_EQ(Waiting(db), 0) << "the replays taken before the start not replayed within 30 s";
}

} // namespace
