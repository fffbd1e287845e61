/* The score server's HTTP side as a real process: what a client may hold, proxies, HTTP conventions. */
#include <gtest/gtest.h>

#include <chrono>

#include <QtSql>

#include "sv_testserver.h"

static std::string Body(const std::string &answer)
{
    size_t at = answer.find("\r\n\r\n");
    return at == std::string::npos ? "" : answer.substr(at + 4);
}

static std::string Get(const std::string &target, const std::string &headers = "")
{
    return "GET " + target + " HTTP/1.1\r\nHost: x\r\n" + headers + "\r\n";
}

static long Rss(int pid)
{
    std::string status = gk::FileText("/proc/" + std::to_string(pid) + "/status");
    size_t at = status.find("VmRSS:");
    return at == std::string::npos ? -1 : atol(status.c_str() + at + 6) / 1024;
}

TEST(ScoreHttp, ConventionsPipeliningAndTheDemoLimit)
{
    ScoreServer server;
    ASSERT_TRUE(server.Start({"--rate", "0"})) << server.log;
    int port = server.port;
    std::string get = SV_Raw(port, Get("/topten.php?game=gackatron")), head = get.substr(0, get.find("\r\n\r\n") + 4);
    EXPECT_EQ(SV_Raw(port, "HEAD /topten.php?game=gackatron HTTP/1.1\r\nHost: x\r\n\r\n"), head);
    EXPECT_NE(SV_Raw(port, "POST /topten.php HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n").find("\r\nAllow: GET, HEAD\r\n"),
              std::string::npos);
    EXPECT_NE(SV_Raw(port, Get("/replay")).find("\r\nAllow: POST\r\n"), std::string::npos);
    EXPECT_NE(SV_Raw(port, Get("/nothing?a=!~")).find("\r\nContent-Type: text/plain; charset=utf-8\r\n"), std::string::npos);
    for (const char *bad : {"GET /\r\n\r\n", "GET  HTTP/1.1\r\n\r\n", "GET / HTTP/1.1 x\r\nHost: x\r\n\r\n"})
        EXPECT_EQ(SV_Raw(port, bad).substr(0, 12), "HTTP/1.1 400") << bad;

    /* a demo of exactly 2 MB is read (and is no demo); one byte more is refused for its size */
    std::string replay = "POST /replay?game=gackatron&level=0&name=Ada&points=5&country=44 HTTP/1.1\r\nHost: x\r\n"
                         "Content-Length: ";
    std::string at = Body(SV_Raw(port, replay + std::to_string(2 << 20) + "\r\n\r\n" + std::string(2 << 20, 'x')));
    std::string past = Body(SV_Raw(port, replay + std::to_string((2 << 20) + 1) + "\r\n\r\n"));
    /* a val of 16384 characters is read (and unpacks to nothing); one more is refused for its size */
    std::string list = Body(SV_Raw(port, Get(SV_TopTen(44, true, true, std::string(16385, 'A')))));
    std::string listat = Body(SV_Raw(port, Get(SV_TopTen(44, true, true, std::string(16384, 'A')))));
    EXPECT_TRUE(past.compare(0, 4, "MSG:") == 0 && past.find("recording") != std::string::npos) << past;
    for (const std::string &other : {at, list, listat})
        EXPECT_NE(past, other);
    EXPECT_NE(list, listat) << list;
    /* a replay for the table's last row (7 of 8) is read as a demo; past it, the request is not read */
    std::string row7 = replay, row8 = replay;
    row7.replace(row7.find("level=0"), 7, "level=7");
    row8.replace(row8.find("level=0"), 7, "level=8");
    std::string last = Body(SV_Raw(port, row7 + "4\r\n\r\nxxxx")), beyond = Body(SV_Raw(port, row8 + "4\r\n\r\nxxxx"));
    EXPECT_EQ(beyond, "MSG:Highscores:The request could not be read.");
    EXPECT_TRUE(last.compare(0, 4, "MSG:") == 0 && last != beyond) << last;
    /* a body without a length is cut as soon as it passes 2 MB; a head past a connection's memory is refused */
    std::string chunk = "100000\r\n" + std::string(1 << 20, 'x') + "\r\n";
    EXPECT_EQ(SV_Raw(port, replay.substr(0, replay.find("Content-Length")) + "Transfer-Encoding: chunked\r\n\r\n" +
                               chunk + chunk + chunk), "");
    EXPECT_EQ(SV_Raw(port, Get("/", "X-Pad: " + std::string(100000, 'x') + "\r\n")).compare(0, 10, "HTTP/1.1 4"), 0);

    /* two merges sent at once on one connection: one answer, the first's, and only its merge */
    std::string two = SV_Raw(port, Get(SV_TopTen(44, true, false, SV_PackEntries({{0, "First", 10}}))) +
                                       Get(SV_TopTen(44, true, false, SV_PackEntries({{0, "Second", 20}}))));
    EXPECT_TRUE(two.find("HTTP/", 1) == std::string::npos && SV_AddedIn(Body(two)) == 1) << two;
    std::string table = Body(SV_Raw(port, Get(SV_TopTen(44, false, true, ""))));
    HighscoreTable t;
    ASSERT_TRUE(UnpackTable(table, &t)) << table;
    EXPECT_TRUE(t.e[0][0].name == "First" && t.e[0][1].points == 0) << t.e[0][0].name;
    /* merges sent on connections open at SIGTERM: the server still ends cleanly, and at once;
     * while an upload under way holds the stop, a new connection is refused */
    std::vector<int> open(40);
    for (int &s : open)
        s = SV_Open(port);
    std::string late = Get(SV_TopTen(44, true, false, SV_PackEntries({{0, "Late", 30}}))), part = replay + "99\r\n\r\nDEMO";
    int upload = SV_Open(port);
    send(upload, part.data(), part.size(), MSG_NOSIGNAL);
    usleep(100000);
    auto t0 = std::chrono::steady_clock::now();
    kill(server.proc.pid, SIGTERM);
    usleep(200);        /* the moment the server begins to stop */
    for (int s : open)
        send(s, late.data(), late.size(), MSG_NOSIGNAL);
    usleep(300000);
    EXPECT_EQ(SV_Open(port), -1) << "a connection taken while stopping";
    close(upload);
    EXPECT_EQ(server.Stop(), 0);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 5.0) << "a stop took its longest wait";
    for (int s : open)
        close(s);
    EXPECT_TRUE(SV_Count(server.log, " HEAD /topten.php?game=gackatron 200 ") && SV_Count(server.log, " GET /nothing?a=!~ 404 "))
        << "the printable ends kept: " << server.log;
    EXPECT_NE(server.log.find(" " + std::to_string(get.size() - head.size()) + " bytes"), std::string::npos);
}

TEST(ScoreHttp, ConnectionFloodIsRefusedAtOnceAndAProbeGetsThrough)
{
    ScoreServer server;     /* at most 40 connections: its descriptor limit, raised to the hard one, less 256 */
    server.wrap = {"/usr/bin/prlimit", "--nofile=256:296", "--"};
    ASSERT_TRUE(server.Start({"--max-per-address", "30", "--timeout", "8", "--upload-seconds", "3"})) << server.log;
    std::string limits = gk::FileText("/proc/" + std::to_string(server.proc.pid) + "/limits");
    unsigned long soft = 0, hard = 0;
    sscanf(limits.c_str() + limits.find("Max open files"), "Max open files %lu %lu", &soft, &hard);
    EXPECT_TRUE(soft == hard && soft > 256u) << soft << " of " << hard;

    /* 31 connections of one address and 11 of another: one past each limit is closed at once */
    std::vector<int> held;
    auto flood = std::chrono::steady_clock::now();
    for (int i = 0; i < 42; i++)
        held.push_back(SV_Open(server.port, i < 31 ? "127.0.0.2" : "127.0.0.3"));
    int closed[2] = {0, 0};
    usleep(1500000);
    for (int i = 0; i < 42; i++)
        closed[i >= 31] += SV_Recv(held[i], 0) != "open";
    EXPECT_EQ((std::vector<int>{closed[0], closed[1]}), (std::vector<int>{1, 1})) << "one past each address's limit";
    /* at the cap a probe is refused at once; once the idle ones are closed it is answered */
    int probe = SV_Open(server.port);
    EXPECT_EQ(SV_Recv(probe, 2000), "");
    close(probe);
    std::string answer;
    for (int i = 0; i < 150 && answer.compare(0, 12, "HTTP/1.1 200") != 0; i++, usleep(100000))
        answer = SV_Raw(server.port, Get("/healthz"));
    EXPECT_EQ(answer.compare(0, 12, "HTTP/1.1 200"), 0) << "no probe answered within 15 s: " << answer;
    for (int s : held)
        close(s);
    /* a body dripping in is cut when the whole request has taken its time */
    int drip = SV_Open(server.port);
    std::string head = "POST /replay?game=gackatron&level=0&name=Ada&points=5 HTTP/1.1\r\nHost: x\r\nContent-Length: 99\r\n\r\n";
    send(drip, head.data(), head.size(), MSG_NOSIGNAL);
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 16 && SV_Recv(drip, 500) == "open"; i++)
        send(drip, "x", 1, MSG_NOSIGNAL);
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_TRUE(took > 2.5 && took < 7.5) << "a dripping upload cut after " << took << " s, not within 2.5 to 7.5 s";
    close(drip);
    /* the log tells of refused and cut connections, at most once in ten seconds */
    double since = std::chrono::duration<double>(std::chrono::steady_clock::now() - flood).count();
    gk::ReadFile(server.proc.errpath, &server.log);
    size_t told = SV_Count(server.log, "connections: ");
    EXPECT_TRUE(told >= 1 && told <= 1 + since / 10) << since << " s: " << server.log;
}

TEST(ScoreHttp, SlowUploadWavesAreCappedAndTheirMemoryReturns)
{
    ScoreServer server;
    ASSERT_TRUE(server.Start({"--max-uploads", "20"})) << server.log;
    SV_Raw(server.port, Get("/"));
    long start = Rss(server.proc.pid);
    std::string upload = "POST /replay?game=gackatron&level=0&name=Ada&points=5 HTTP/1.1\r\nHost: x\r\nContent-Length: " +
                         std::to_string(2 << 20) + "\r\n\r\n" + std::string((2 << 20) - 1024, 'x');
    for (int wave = 0; wave < 2; wave++) {
        std::vector<int> s;
        int refused = 0;
        for (int i = 0; i < 21; i++) {
            s.push_back(SV_Open(server.port, i % 2 ? "127.0.0.4" : "127.0.0.5"));
            send(s.back(), upload.data(), upload.size(), MSG_NOSIGNAL);
        }
        usleep(1000000);
        for (int i = 0; i < 21; i++)
            refused += SV_Recv(s[i], 0) != "open";
        EXPECT_EQ(refused, 1) << "wave " << wave;
        EXPECT_LT(Rss(server.proc.pid), start + 20 * 2 + 32);
        for (int fd : s)
            close(fd);
        std::string m;
        for (int i = 0; i < 100 && m.find("gackatron_scores_uploads 0\n") == std::string::npos; i++, usleep(100000))
            m = Body(SV_Raw(server.port, Get("/metrics")));
        EXPECT_NE(m.find("gackatron_scores_uploads 0\n"), std::string::npos) << "uploads not ended within 10 s: " << m;
    }
    long rss = 0;
    for (int i = 0; i < 50 && (rss = Rss(server.proc.pid)) >= start + 16; i++)
        usleep(100000);
    EXPECT_LT(rss, start + 16) << "memory not back within 5 s";
}

/* The sum of the metric lines that begin with name and a space or label; -1 without any. */
static long long Metric(const std::string &m, const std::string &name)
{
    long long v = -1;
    for (size_t at = m.find("\n" + name); at != std::string::npos; at = m.find("\n" + name, at + 1))
        if (m[at + 1 + name.size()] == ' ' || m[at + 1 + name.size()] == '{')
            v = (v < 0 ? 0 : v) + atoll(m.c_str() + m.find(' ', at + 1) + 1);
    return v;
}

/* While another writer holds the store, one merge is being written and --max-waiting wait behind it; the next is
 * told at once that the server is busy, and those that waited are taken once the store is free. */
TEST(ScoreHttp, MergesPastTheWaitingLimitAreToldAtOnce)
{
    ScoreServer server;
    ASSERT_TRUE(server.Start({"--max-waiting", "2", "--rate", "0"})) << server.log;
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "writer");
    db.setDatabaseName(QString::fromStdString(server.dir / "scores.sqlite"));
    ASSERT_TRUE(db.open() && QSqlQuery(db).exec("BEGIN IMMEDIATE"));
    std::vector<int> s;
    for (int i = 0; i < 4; i++, usleep(200000)) { /* each taken before the next */
        s.push_back(SV_Open(server.port));
        std::string merge = Get(SV_TopTen(44, true, false, SV_PackEntries({{0, "W" + std::to_string(i), 10 + i}})));
        send(s.back(), merge.data(), merge.size(), MSG_NOSIGNAL);
    }
    EXPECT_EQ(Body(SV_Recv(s[3], 1000)), "MSG:Highscores:The server is busy. Please try again in a moment.");
    EXPECT_EQ(SV_Recv(s[2], 0), "open");
    QSqlQuery(db).exec("ROLLBACK");
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(SV_AddedIn(Body(SV_Recv(s[i], 15000))), 1) << i;
    for (int fd : s)
        close(fd);
}

/* What an operator watches: each merge, refusal, answer and read counted once. */
TEST(ScoreHttp, MetricsCountEachMergeRefusalAndRead)
{
    ScoreServer server;
    ASSERT_TRUE(server.Start({"--rate", "2"})) << server.log;
    std::string body;
    for (int i = 0; i < 3; i++)     /* the third is one past the rate */
        ASSERT_EQ(SV_Get(server.port, SV_TopTen(44, true, false, SV_PackEntries({{0, "m" + std::to_string(i), 10 + i}})),
                         &body), 200);
    for (const char *read : {"/scores.json?level=0", "/scores.json?level=1", "/scores.json", "/?lang=en"})
        ASSERT_EQ(SV_Get(server.port, read, &body), 200) << read;
    std::string m = Body(SV_Raw(server.port, Get("/metrics")));
    const std::pair<std::string, int> want[] = {{"merges_total", 2}, {"entries_added_total", 2}, {"refusals_total", 1},
        {"requests_total{path=\"/topten.php\",status=\"200\"}", 3}, {"requests_total{path=\"/scores.json\",status=\"200\"}", 3},
        {"store_seconds_count{op=\"read\"}", 4}};
    for (const auto &w : want)
        EXPECT_EQ(Metric(m, "gackatron_scores_" + w.first), w.second) << w.first << "\n" << m;
    for (std::string le : {"0.001", "5"})   /* the buckets run from a millisecond to five seconds */
        EXPECT_GE(Metric(m, "gackatron_scores_store_seconds_bucket{op=\"read\",le=\"" + le + "\"}"), 0) << le;
}

TEST(ScoreHttp, OnlyATrustedProxyNamesTheClient)
{
    ScoreServer server;
    ASSERT_TRUE(server.Start({"--rate", "1", "--trusted-proxy", "127.0.0.2"})) << server.log;
    /* one merge a minute for each client; which client it is, however its address is written */
    auto merge = [&](const char *via, const char *forwarded, int points) {
        std::string target = SV_TopTen(44, true, false, SV_PackEntries({{0, "p" + std::to_string(points), points}}));
        return SV_AddedIn(Body(SV_Raw(server.port, Get(target, "X-Forwarded-For: " + std::string(forwarded) + "\r\n"), via)));
    };
    EXPECT_EQ((std::vector<int>{merge("127.0.0.2", "198.51.100.7, 203.0.113.9", 1), merge("127.0.0.2", "198.51.100.7,::ffff:203.0.113.9", 2),
                                merge("127.0.0.2", "198.51.100.7, 203.0.113.10", 3), merge("127.0.0.3", "203.0.113.11", 4),
                                merge("127.0.0.3", "203.0.113.12", 5)}),
              (std::vector<int>{1, -1, 1, 1, -1})) << "taken, the same client again, another, an untrusted peer's own, again";
    EXPECT_EQ(server.Stop(), 0);
    EXPECT_TRUE(SV_Count(server.log, " 203.0.113.9 GET /topten.php") && !SV_Count(server.log, "203.0.113.11")) << server.log;
}
