/*
 * bench_scores -- the highscore server under load on loopback: merges per
 * second and the p50/p99 time of one exchange (connect, merge, answer with
 * the packed list) for 1, 8 and 32 concurrent clients, on an SQLite file
 * and on PostgreSQL behind two server processes.  Each exchange sends a
 * whole table as a launcher does: ten entries, one of them new.  The
 * PostgreSQL part runs when its binaries are installed (as the postgres
 * user when started by root).  The server's CPU time per merge (PostgreSQL's
 * own not counted) tells what a core could take when the machine is busy
 * with other work.  The HTTP loads follow on SQLite: an idle-connection
 * flood past the server's descriptors with a probe, 256 clients that
 * reconnect after every answer, five waves of 500 slow 2 MB uploads with
 * the server's memory, and 32 page clients beside exchanges.  Usage:
 * bench_scores [seconds per run] [folder of the SQLite file, default a fresh
 * one under /tmp] [sqlite | http | flood | reconnect | uploads | pages: only
 * that part]; bench_scores store [millions of entries] [folder]
 * [http | direct]: exchanges under page load on a large store (below).
 * GK_SCORES_PROGRAM names another server program to measure,
 * GK_SCORES_ARGS more options.
 */
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <glob.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "hs_table.h"
#include "http_client.h"
#include "sv_local.h"

static int BenchGet(int port, const std::string &target, std::string *body)
{
    return gk::HttpSend(port, "GET", target, "", body);
}

static double Bench_Now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

/* gackatron-scores in dir; its port, or 0 when it did not say so within
 * waitseconds.  files > 0: its descriptor limit (soft; the hard one four
 * times that, as systemd's default is). */
static int Bench_StartServer(const std::string &dir, const std::string &db, int *pid, int files = 0,
                             int waitseconds = 20)
{
    std::string err = dir + "/server.log";
    unlink(err.c_str());
    *pid = fork();
    if (*pid == 0) {
        int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 2);
        if (chdir(dir.c_str()) != 0)
            _exit(127);
        struct rlimit rl = {(rlim_t)files, (rlim_t)files * 4};
        if (files > 0)
            setrlimit(RLIMIT_NOFILE, &rl);
        std::string prog = getenv("GK_SCORES_PROGRAM") ? getenv("GK_SCORES_PROGRAM")
                                                       : std::string(GK_DIST_DIR) + "/gackatron-scores";
        std::vector<const char *> argv = {prog.c_str(), "--listen", "127.0.0.1:0", "--db", db.c_str(), "--rate", "0"};
        std::string extra = getenv("GK_SCORES_ARGS") ? getenv("GK_SCORES_ARGS") : "";
        for (char *a = strtok(&extra[0], " "); a; a = strtok(NULL, " "))
            argv.push_back(a);
        argv.push_back(NULL);
        execv(prog.c_str(), (char *const *)argv.data());
        _exit(127);
    }
    for (int i = 0; i < waitseconds * 20; i++) {
        FILE *f = fopen(err.c_str(), "r");
        char line[512];
        while (f && fgets(line, sizeof(line), f)) {
            const char *p = strstr(line, "listening on 127.0.0.1:");
            if (p) {
                fclose(f);
                return atoi(p + 23);
            }
        }
        if (f)
            fclose(f);
        usleep(50000);
    }
    return 0;
}

static void Bench_StopServer(int pid)
{
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, NULL, 0);
    }
}

/* CPU seconds the processes have used so far. */
static double Bench_Cpu(const std::vector<int> &pids)
{
    double total = 0;
    for (int pid : pids) {
        char path[64], buf[1024];
        snprintf(path, sizeof(path), "/proc/%d/stat", pid);
        FILE *f = fopen(path, "r");
        if (!f)
            continue;
        size_t n = fread(buf, 1, sizeof(buf) - 1, f);
        fclose(f);
        buf[n] = 0;
        const char *p = strrchr(buf, ')');
        unsigned long ut = 0, st = 0;
        if (p && sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &ut, &st) == 2)
            total += (double)(ut + st) / sysconf(_SC_CLK_TCK);
    }
    return total;
}

/* Clients exchanging for the given seconds against the ports in turn. */
static void Bench_Run(const char *store, const std::vector<int> &ports, const std::vector<int> &pids, int clients,
                      double seconds, int *serial)
{
    double cpu0 = Bench_Cpu(pids);
    std::vector<std::vector<double>> lat(clients);
    std::atomic<int> failed{0};
    std::vector<std::thread> threads;
    int base = *serial;
    double start = Bench_Now();
    for (int c = 0; c < clients; c++)
        threads.emplace_back([&, c] {
            for (int i = 0; Bench_Now() - start < seconds && i < 200000; i++) {
                HighscoreTable t;
                HS_Fill(&t, "unknown", 0);
                int level = i % HS_ROWS;
                for (int k = 0; k < 9; k++)
                    t.e[level][k] = {"player" + std::to_string(k), 90000 - k};
                t.e[level][9] = {"r" + std::to_string(base) + "c" + std::to_string(c) + "n" + std::to_string(i), 500 + i % 1000};
                std::string target = "/topten.php?game=gackatron&merge=1&getlist=1&country=49&val=" + PackTable(&t), body;
                double t0 = Bench_Now();
                int status = BenchGet(ports[(c + i) % ports.size()], target, &body);
                double t1 = Bench_Now();
                if (status != 200 || body.compare(0, 4, "MSG:") == 0)
                    failed++;
                else
                    lat[c].push_back(t1 - t0);
            }
        });
    for (auto &t : threads)
        t.join();
    double took = Bench_Now() - start;
    (*serial)++;
    std::vector<double> all;
    for (auto &l : lat)
        all.insert(all.end(), l.begin(), l.end());
    std::sort(all.begin(), all.end());
    if (all.empty()) {
        printf("%-22s %3d clients: no answers (%d failed)\n", store, clients, failed.load());
        return;
    }
    printf("%-22s %3d clients: %7.0f merges/s   p50 %6.2f ms   p99 %6.2f ms   server CPU %.2f ms/merge"
           "   (%zu merges, %d failed)\n", store, clients, all.size() / took, 1000 * all[all.size() / 2],
           1000 * all[all.size() * 99 / 100], 1000 * (Bench_Cpu(pids) - cpu0) / all.size(), all.size(),
           failed.load());
    fflush(stdout);
}

/* A PostgreSQL of our own in a temporary folder; its port, or 0. */
static int Bench_StartPostgres(std::string *dir, std::string *bin, std::string *prefix)
{
    glob_t g;
    if (glob("/usr/lib/postgresql/*/bin/initdb", 0, NULL, &g) != 0)
        return 0;
    *bin = g.gl_pathv[g.gl_pathc - 1];
    bin->resize(bin->size() - 6);
    globfree(&g);
    char tmpl[] = "/tmp/gk-pgbench.XXXXXX";
    if (!mkdtemp(tmpl))
        return 0;
    *dir = tmpl;
    struct passwd *pw = getpwnam("postgres");
    if (getuid() == 0 && pw) {
        if (chown(dir->c_str(), pw->pw_uid, pw->pw_gid) != 0)
            return 0;
        *prefix = "runuser -u postgres -- ";
    }
    int s = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(a);
    bind(s, (struct sockaddr *)&a, sizeof(a));
    getsockname(s, (struct sockaddr *)&a, &len);
    int port = ntohs(a.sin_port);
    close(s);
    std::string init = *prefix + *bin + "initdb -A trust -U gk -D " + *dir + "/data >/dev/null 2>&1";
    std::string start = *prefix + *bin + "pg_ctl -w -t 60 -D " + *dir + "/data -l " + *dir + "/log -o \"-p " +
                        std::to_string(port) + " -k " + *dir + " -c listen_addresses=127.0.0.1\" start >/dev/null";
    if (system(init.c_str()) != 0 || system(start.c_str()) != 0)
        return 0;
    return port;
}

/* ---- HTTP loads ---- */

/* A non-blocking connection from the loopback address src, under way;
 * -1 when it could not be started. */
static int Bench_StartConnect(int port, const char *src)
{
    int s = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    struct sockaddr_in a = {}, b = {};
    a.sin_family = b.sin_family = AF_INET;
    a.sin_port = htons((uint16_t)port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    inet_pton(AF_INET, src, &b.sin_addr);
    if (s < 0)
        return -1;
    if (bind(s, (struct sockaddr *)&b, sizeof(b)) != 0 ||
        (connect(s, (struct sockaddr *)&a, sizeof(a)) != 0 && errno != EINPROGRESS)) {
        close(s);
        return -1;
    }
    return s;
}

/* A connection from the loopback address src; -1 when it is refused or
 * takes longer than ms. */
static int Bench_Connect(int port, const char *src, int ms)
{
    int s = Bench_StartConnect(port, src);
    if (s < 0)
        return -1;
    int err = 0;
    socklen_t len = sizeof(err);
    struct pollfd p = {s, POLLOUT, 0};
    if (poll(&p, 1, ms) != 1 || getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
        close(s);
        return -1;
    }
    fcntl(s, F_SETFL, 0);
    struct timeval tv = {ms / 1000, (ms % 1000) * 1000};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    return s;
}

/* One request from src; the status, or -1 when no answer came within ms. */
static int Bench_Request(int port, const char *src, const std::string &req, int ms)
{
    int s = Bench_Connect(port, src, ms);
    if (s < 0)
        return -1;
    std::string in;
    char buf[65536];
    ssize_t n = send(s, req.data(), req.size(), MSG_NOSIGNAL) == (ssize_t)req.size() ? 1 : -1;
    while (n > 0 && (n = recv(s, buf, sizeof(buf), 0)) > 0)
        in.append(buf, (size_t)n);
    close(s);
    return in.compare(0, 5, "HTTP/") == 0 ? atoi(in.c_str() + 9) : -1;
}

static const std::string bench_read = "GET /topten.php?game=gackatron&merge=0&getlist=1&country=49 HTTP/1.0\r\n\r\n";

/* The server's resident memory in MB. */
static double Bench_Rss(int pid)
{
    char path[64], line[256];
    snprintf(path, sizeof(path), "/proc/%d/status", pid);
    FILE *f = fopen(path, "r");
    long kb = 0;
    while (f && fgets(line, sizeof(line), f))
        if (sscanf(line, "VmRSS: %ld", &kb) == 1)
            break;
    if (f)
        fclose(f);
    return kb / 1024.0;
}

static double Bench_Percentile(std::vector<double> v, int pct)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() * pct / 100 < v.size() ? v.size() * pct / 100 : v.size() - 1];
}

static int Bench_Fresh(const std::string &dir, const char *name, int *pid, int files = 0)
{
    std::string d = dir + "/" + name;
    mkdir(d.c_str(), 0755);
    int port = Bench_StartServer(d, d + "/scores.sqlite", pid, files);
    if (!port)
        printf("%s: the server did not start\n", name);
    return port;
}

/* 5,000 idle connections from 100 addresses against a server started with
 * 1,024 descriptors (hard limit 4,096), and a probe every 200 ms. */
static void Bench_IdleFlood(const std::string &dir)
{
    int pid = 0, port = Bench_Fresh(dir, "flood", &pid, 1024);
    if (!port)
        return;
    std::vector<struct pollfd> p;
    for (int i = 0; i < 5000; i++) {
        char src[32];
        snprintf(src, sizeof(src), "127.0.2.%d", 1 + i % 100);
        int s = Bench_StartConnect(port, src);
        if (s >= 0)
            p.push_back({s, POLLOUT, 0});
    }
    int opened = 0;
    double t0 = Bench_Now();
    while (Bench_Now() - t0 < 3) {
        poll(p.data(), p.size(), 100);
        opened = 0;
        for (auto &q : p)
            opened += (q.revents & POLLOUT) != 0;
    }
    std::vector<double> lat;
    int failed = 0, tries = 0;
    for (double start = Bench_Now(); Bench_Now() - start < 10; usleep(200000), tries++) {
        double a = Bench_Now();
        if (Bench_Request(port, "127.0.0.1", bench_read, 5000) == 200)
            lat.push_back(Bench_Now() - a);
        else
            failed++;
    }
    int still = 0;
    for (auto &q : p) {
        char c;
        still += (q.revents & POLLOUT) && recv(q.fd, &c, 1, MSG_DONTWAIT) < 0 && errno == EAGAIN;
        close(q.fd);
    }
    printf("idle flood: %zu connections tried, %d connected, %d still open after 10 s; probes: %zu of %d answered, "
           "p50 %.1f ms, max %.1f ms\n", p.size(), opened, still, lat.size(), tries, 1000 * Bench_Percentile(lat, 50),
           1000 * Bench_Percentile(lat, 100));
    fflush(stdout);
    Bench_StopServer(pid);
}

/* 256 clients from 8 addresses, each reconnecting after every answer. */
static void Bench_Reconnect(const std::string &dir, double seconds)
{
    int pid = 0, port = Bench_Fresh(dir, "reconnect", &pid);
    if (!port)
        return;
    std::vector<std::vector<double>> lat(256);
    std::atomic<int> failed{0};
    std::vector<std::thread> threads;
    double start = Bench_Now();
    for (int c = 0; c < 256; c++)
        threads.emplace_back([&, c] {
            char src[32];
            snprintf(src, sizeof(src), "127.0.3.%d", 1 + c % 8);
            while (Bench_Now() - start < seconds) {
                double a = Bench_Now();
                if (Bench_Request(port, src, bench_read, 10000) == 200)
                    lat[c].push_back(Bench_Now() - a);
                else
                    failed++;
            }
        });
    for (auto &t : threads)
        t.join();
    std::vector<double> all;
    for (auto &l : lat)
        all.insert(all.end(), l.begin(), l.end());
    printf("256 reconnecting clients: %.0f answers/s, %d failed attempts, p50 %.1f ms, p99 %.1f ms, max %.1f ms\n",
           all.size() / (Bench_Now() - start), failed.load(), 1000 * Bench_Percentile(all, 50),
           1000 * Bench_Percentile(all, 99), 1000 * Bench_Percentile(all, 100));
    fflush(stdout);
    Bench_StopServer(pid);
}

/* Five waves of 500 uploads of a demo 1 KB short of 2 MB from 16
 * addresses, held open until every one is sent or refused; the server's
 * memory at the peak of a wave and after it. */
static void Bench_UploadWaves(const std::string &dir)
{
    int pid = 0, port = Bench_Fresh(dir, "uploads", &pid);
    if (!port)
        return;
    const size_t size = 2 << 20;
    std::string head = "POST /replay?game=gackatron&level=0&name=Ada&points=5&country=49 HTTP/1.1\r\nHost: x\r\n"
                       "Content-Type: application/octet-stream\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n";
    std::string body = head + std::string(size - 1024, 'x');
    printf("upload waves: server memory at start %.0f MB\n", Bench_Rss(pid));
    for (int wave = 0; wave < 5; wave++) {
        std::vector<int> fds;
        std::vector<size_t> sent;
        for (int i = 0; i < 500; i++) {
            char src[32];
            snprintf(src, sizeof(src), "127.0.4.%d", 1 + i % 16);
            int s = Bench_Connect(port, src, 2000);
            if (s >= 0) {
                fcntl(s, F_SETFL, O_NONBLOCK);
                fds.push_back(s);
                sent.push_back(0);
            }
        }
        int done = 0, ended = 0;
        double peak = 0, t0 = Bench_Now();
        /* each sends until its body is in or the server has closed it */
        while (done + ended < (int)fds.size() && Bench_Now() - t0 < 60) {
            done = ended = 0;
            for (size_t i = 0; i < fds.size(); i++) {
                if (sent[i] == body.size()) {
                    done++;
                    continue;
                }
                if (sent[i] == (size_t)-1) {
                    ended++;
                    continue;
                }
                ssize_t n = send(fds[i], body.data() + sent[i], body.size() - sent[i], MSG_NOSIGNAL);
                if (n > 0)
                    sent[i] += n;
                else if (n < 0 && errno != EAGAIN)
                    sent[i] = (size_t)-1;
            }
            double r = Bench_Rss(pid);
            peak = r > peak ? r : peak;
            usleep(20000);
        }
        usleep(500000);
        peak = std::max(peak, Bench_Rss(pid));
        int refused = 0;        /* answered or closed by the server before their end */
        for (int s : fds) {
            char c;
            ssize_t n = recv(s, &c, 1, MSG_PEEK | MSG_DONTWAIT);
            refused += n >= 0 || errno != EAGAIN;
            close(s);
        }
        double after = 1e9;     /* the server may still be reading what the kernel took */
        for (int i = 0; i < 20; i++, usleep(250000))
            after = std::min(after, Bench_Rss(pid));
        printf("  wave %d: %zu connected, %d refused; server memory peak %.0f MB, least in the 5 s after %.0f MB\n",
               wave + 1, fds.size(), refused, std::max(peak, Bench_Rss(pid)), after);
        fflush(stdout);
    }
    Bench_StopServer(pid);
}

/* 32 clients asking for pages as fast as they can while one client merges
 * into a store of 20,000 entries. */
/* 32 clients asking for pages and lists as fast as they can while one
 * launcher after another exchanges its list: the exchanges' times. */
static void Bench_PageLoad(int port, int clients, double seconds)
{
    static const char *pages[] = {"/", "/?verified=1", "/?country=49", "/?country=7&verified=1",
                                  "/scores.json?level=2&verified=1", "/scores.json?level=0&country=44"};
    std::atomic<bool> stop{false};
    std::atomic<long> served{0}, failed{0};
    std::vector<std::vector<double>> pagelat(clients);
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; c++)
        threads.emplace_back([&, c] {
            std::string body;
            for (int i = c; !stop; i++) {
                double t0 = Bench_Now();
                if (BenchGet(port, pages[i % 6], &body) == 200) {
                    served++;
                    pagelat[c].push_back(Bench_Now() - t0);
                } else {
                    failed++;
                }
            }
        });
    std::vector<double> merges;
    long refused = 0;
    double start = Bench_Now();
    for (int i = 0; Bench_Now() - start < seconds; i++) {
        HighscoreTable t;
        HS_Fill(&t, "unknown", 0);
        for (int k = 0; k < 9; k++)
            t.e[i % 6][k] = {"player" + std::to_string(k), 90000 - k};
        t.e[i % 6][9] = {"load" + std::to_string(i), 500 + i};
        std::string body;
        double t0 = Bench_Now();
        int status = BenchGet(port, "/topten.php?game=gackatron&merge=1&getlist=1&country=49&val=" +
                                        PackTable(&t), &body);
        if (status == 200 && body.compare(0, 4, "MSG:") != 0)
            merges.push_back(Bench_Now() - t0);
        else
            refused++;
    }
    double took = Bench_Now() - start;
    stop = true;
    for (auto &t : threads)
        t.join();
    std::vector<double> all;
    for (auto &l : pagelat)
        all.insert(all.end(), l.begin(), l.end());
    printf("  %d page clients: exchanges p50 %.1f ms p99 %.1f ms worst %.1f ms (%zu answered, %ld not);"
           " pages %.0f/s p50 %.1f ms p99 %.1f ms (%ld failed)\n", clients, 1000 * Bench_Percentile(merges, 50),
           1000 * Bench_Percentile(merges, 99), 1000 * Bench_Percentile(merges, 100), merges.size(), refused,
           served / took, 1000 * Bench_Percentile(all, 50), 1000 * Bench_Percentile(all, 99), failed.load());
    fflush(stdout);
}

/* The page load on a store of 2,500 entries filled by 250 launchers. */
static void Bench_PagesAndMerges(const std::string &dir, double seconds)
{
    int pid = 0, port = Bench_Fresh(dir, "pages", &pid);
    if (!port)
        return;
    for (int m = 0; m < 250; m++) {
        HighscoreTable t;
        for (int l = 0; l < HS_ROWS; l++)
            for (int k = 0; k < HS_ENTRIES; k++)
                t.e[l][k] = {"p" + std::to_string(m) + "k" + std::to_string(k), 1000 + (m * 7 + k) % 5000};
        std::string body;
        BenchGet(port, "/topten.php?game=gackatron&merge=1&getlist=0&country=" + std::to_string(m % 40) +
                           "&val=" + PackTable(&t), &body);
    }
    printf("page load on 2,500 entries:\n");
    Bench_PageLoad(port, 32, seconds);
    Bench_StopServer(pid);
}

/* which: "http" for every load, or one of flood, reconnect, uploads, pages */
static void Bench_Http(const std::string &dir, double seconds, const std::string &which)
{
    struct rlimit rl;
    getrlimit(RLIMIT_NOFILE, &rl);
    rl.rlim_cur = rl.rlim_max;     /* the floods need descriptors of our own */
    setrlimit(RLIMIT_NOFILE, &rl);
    bool all = which == "http" || which.empty();
    if (all || which == "flood")
        Bench_IdleFlood(dir);
    if (all || which == "reconnect")
        Bench_Reconnect(dir, seconds);
    if (all || which == "uploads")
        Bench_UploadWaves(dir);
    if (all || which == "pages")
        Bench_PagesAndMerges(dir, seconds);
}


/* ---- a store of millions of entries under page load ---- */

/* An SQLite store of n entries as the server keeps them (schema 2, the
 * form every older store has), filled by one statement in key order with
 * the other indexes built afterwards: 10 M entries in a few minutes.
 * Six levels; half of the entries of ten large countries (fewer than the
 * server keeps of a level and country), half of 997 small ones; one entry
 * in a thousand verified. */
static bool Bench_FillStore(const std::string &file, long n)
{
    unlink(file.c_str());
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "benchfill");
        db.setDatabaseName(QString::fromStdString(file));
        QSqlQuery q(db);
        const char *steps[] = {
            "PRAGMA journal_mode=OFF", "PRAGMA synchronous=OFF", "PRAGMA cache_size=-1000000",
            "CREATE TABLE gk_schema (version INTEGER NOT NULL)", "INSERT INTO gk_schema VALUES (2)",
            "CREATE TABLE scores (id INTEGER PRIMARY KEY,"
            " level INTEGER NOT NULL CHECK (level >= 0 AND level < 8), name VARCHAR(64) NOT NULL,"
            " points INTEGER NOT NULL CHECK (points > 0), country INTEGER NOT NULL, received BIGINT NOT NULL,"
            " verified INTEGER NOT NULL DEFAULT 0, CONSTRAINT scores_entry UNIQUE (level, name, points))",
            "WITH RECURSIVE c(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM c WHERE x + 1 < %N)"
            " INSERT INTO scores (id, level, name, points, country, received, verified)"
            " SELECT x + 1, x * 6 / %N, printf('b%09d', x), 1 + (x * 2654435761) % 999983,"
            " CASE WHEN x % 2 = 0 THEN 1000 + x % 997 ELSE CASE x / 2 % 10 WHEN 0 THEN 1 WHEN 1 THEN 7 WHEN 2 THEN 33"
            " WHEN 3 THEN 34 WHEN 4 THEN 39 WHEN 5 THEN 44 WHEN 6 THEN 48 WHEN 7 THEN 49 WHEN 8 THEN 55 ELSE 61 END END,"
            " 1700000000 + x / 8, x % 1000 = 999 FROM c",
            "CREATE INDEX scores_best ON scores (level, points DESC, id)",
            "CREATE INDEX scores_country ON scores (country, level, points DESC, id)",
            "CREATE TABLE replay (id INTEGER PRIMARY KEY, level INTEGER NOT NULL, name VARCHAR(64) NOT NULL,"
            " points INTEGER NOT NULL, demo BLOB NOT NULL, received BIGINT NOT NULL, taken INTEGER NOT NULL DEFAULT 0)",
            "PRAGMA journal_mode=WAL",
        };
        ok = db.open();
        for (const char *step : steps) {
            if (!ok)
                break;
            ok = q.exec(QString(step).replace("%N", QString::number(n)));
            if (!ok)
                fprintf(stderr, "bench_scores: filling the store: %s\n", qPrintable(q.lastError().text()));
        }
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase("benchfill");
    return ok;
}

/* What the store calls of the server around it. */
void SV_Log(const std::string &line)
{
    fprintf(stderr, "%s\n", line.c_str());
}

void SV_MetricReplayQueue(long long)
{
}

/* The store alone, as the HTTP side uses it: reader threads make pages (a
 * page's countries and lists, then the page) on read connections of their
 * own while this thread merges one launcher's table after another and
 * reads the world's lists for its answer. */
static void Bench_StoreDirect(const std::string &file, int readers, double seconds)
{
    std::string error;
    if (!SV_StoreOpen(file, &error)) {
        fprintf(stderr, "bench_scores: cannot open the store: %s\n", error.c_str());
        return;
    }
    std::atomic<bool> stop{false};
    std::atomic<long> pages{0}, failed{0};
    std::vector<std::thread> threads;
    for (int r = 0; r < readers; r++)
        threads.emplace_back([&, r] {
            for (int i = r; !stop; i++) {
                sv_lists_t lists;
                std::vector<std::pair<int, int>> countries;
                int country = i % 3 == 0 ? -1 : i % 3 == 1 ? 49 : 7;
                bool ok = SV_StoreCountries(&countries) && SV_StoreLists(country, i % 2, &lists) &&
                          !SV_Page(country, i % 2, &lists, countries).empty();
                (ok ? pages : failed)++;
            }
        });
    std::vector<double> merges, cpu;
    double start = Bench_Now();
    for (int i = 0; Bench_Now() - start < seconds; i++) {
        struct timespec c0, c1;
        sv_request_t req = {};
        req.merge = req.getlist = true;
        req.country = 49;
        for (int k = 0; k < 9; k++)
            req.entries.push_back({i % 6, "player" + std::to_string(k), 90000 - k});
        req.entries.push_back({i % 6, "direct" + std::to_string(readers) + "-" + std::to_string(i), 500 + i});
        std::vector<int> added;
        sv_lists_t world;
        double t0 = Bench_Now();
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c0);
        if (SV_StoreMerge({&req}, &added) && SV_StoreLists(-1, false, &world)) {
            merges.push_back(Bench_Now() - t0);
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c1);
            cpu.push_back(c1.tv_sec - c0.tv_sec + (c1.tv_nsec - c0.tv_nsec) * 1e-9);
        }
    }
    double took = Bench_Now() - start;
    stop = true;
    for (auto &t : threads)
        t.join();
    SV_StoreClose();
    printf("  in process, %2d reader threads: merge and lists p50 %.1f ms p99 %.1f ms worst %.1f ms (%zu; its CPU"
           " p50 %.2f ms p99 %.2f ms); pages %.0f/s (%ld failed)\n", readers, 1000 * Bench_Percentile(merges, 50),
           1000 * Bench_Percentile(merges, 99), 1000 * Bench_Percentile(merges, 100), merges.size(),
           1000 * Bench_Percentile(cpu, 50), 1000 * Bench_Percentile(cpu, 99), pages / took, failed.load());
    fflush(stdout);
}

/* bench_scores store [millions] [folder] [http|direct]: the server on a store of that
 * many entries (default 10 M): one page of each kind alone, then exchanges
 * under 32 clients' page load (all but "direct"); then (all but "http") the
 * store alone with 0, 4 and 32 reader threads.  The filled file is kept in the folder as
 * bench-store-N.sqlite and copied for each run, since the server brings it
 * up to its schema at start. */
static int Bench_Store(double seconds, int argc, char **argv)
{
    int qargc = 1;
    char name[] = "bench_scores", *qargv[] = {name, NULL};
    QCoreApplication app(qargc, qargv);
    long n = (long)((argc > 0 ? atof(argv[0]) : 10) * 1e6);
    std::string dir = argc > 1 ? argv[1] : "/tmp";
    std::string pristine = dir + "/bench-store-" + std::to_string(n) + ".sqlite", file = dir + "/bench-store-run.sqlite";
    if (access(pristine.c_str(), R_OK) != 0) {
        double t0 = Bench_Now();
        if (!Bench_FillStore(pristine, n))
            return 1;
        printf("store: %ld entries filled in %.1f s\n", n, Bench_Now() - t0);
    }
    for (const char *x : {"", "-wal", "-shm"})
        unlink((file + x).c_str());
    if (system(("cp " + pristine + " " + file).c_str()) != 0)
        return 1;
    std::string only = argc > 2 ? argv[2] : "";
    if (only != "direct") {
        double t0 = Bench_Now();
        int pid = 0, port = Bench_StartServer(dir, file, &pid, 0, 1200);
        if (!port) {
            fprintf(stderr, "bench_scores: the server did not start (see %s/server.log)\n", dir.c_str());
            return 1;
        }
        printf("store: %ld entries, server ready after %.1f s\n", n, Bench_Now() - t0);
        for (const char *page : {"/", "/?verified=1", "/?country=7&verified=1", "/scores.json?level=3&verified=1"}) {
            std::string body;
            double p0 = Bench_Now();
            int status = BenchGet(port, page, &body);
            printf("  %-34s %8.1f ms (first, nothing kept yet; status %d)\n", page, 1000 * (Bench_Now() - p0), status);
        }
        Bench_PageLoad(port, 32, seconds);
        Bench_StopServer(pid);
    }
    if (only != "http")
        for (int readers : {0, 4, 32})
            Bench_StoreDirect(file, readers, seconds);
    for (const char *x : {"", "-wal", "-shm"})
        unlink((file + x).c_str());
    return 0;
}

int main(int argc, char **argv)
{
    if (argc > 1 && strcmp(argv[1], "store") == 0) {
        signal(SIGPIPE, SIG_IGN);
        return Bench_Store(getenv("GK_BENCH_SECONDS") ? atof(getenv("GK_BENCH_SECONDS")) : 20, argc - 2, argv + 2);
    }
    double seconds = argc > 1 ? atof(argv[1]) : 5;
    if (seconds <= 0 || seconds > 60)
        seconds = 5;
    signal(SIGPIPE, SIG_IGN);
    int serial = 0;
    char tmpl[] = "/tmp/gk-scorebench.XXXXXX";
    if (!mkdtemp(tmpl))
        return 1;
    std::string dir = tmpl;

    std::string file = (argc > 2 ? std::string(argv[2]) : dir) + "/bench-scores.sqlite";
    std::string only = argc > 3 ? argv[3] : "";
    if (!only.empty() && only != "sqlite") {
        Bench_Http(dir, seconds, only);
        system(("rm -rf " + dir).c_str());
        return 0;
    }
    unlink(file.c_str());
    int pid = 0, port = Bench_StartServer(dir, file, &pid);
    if (!port) {
        fprintf(stderr, "bench_scores: the server did not start (see %s/server.log)\n", dir.c_str());
        return 1;
    }
    for (int clients : {1, 8, 32})
        Bench_Run("SQLite, 1 server", {port}, {pid}, clients, seconds, &serial);
    Bench_StopServer(pid);
    unlink(file.c_str());
    unlink((file + "-wal").c_str());
    unlink((file + "-shm").c_str());
    Bench_Http(dir, seconds, "http");
    if (only == "sqlite") {
        system(("rm -rf " + dir).c_str());
        return 0;
    }

    std::string pgdir, bin, prefix;
    int pgport = Bench_StartPostgres(&pgdir, &bin, &prefix);
    if (!pgport) {
        printf("PostgreSQL: not available, skipped\n");
    } else {
        std::string url = "postgresql://gk@127.0.0.1:" + std::to_string(pgport) + "/postgres";
        std::string d1 = dir + "/one", d2 = dir + "/two";
        mkdir(d1.c_str(), 0755);
        mkdir(d2.c_str(), 0755);
        int pid1 = 0, pid2 = 0;
        int p1 = Bench_StartServer(d1, url, &pid1), p2 = Bench_StartServer(d2, url, &pid2);
        if (p1 && p2)
            for (int clients : {1, 8, 32})
                Bench_Run("PostgreSQL, 2 servers", {p1, p2}, {pid1, pid2}, clients, seconds, &serial);
        else
            printf("PostgreSQL: the servers did not start\n");
        Bench_StopServer(pid1);
        Bench_StopServer(pid2);
        system((prefix + bin + "pg_ctl -D " + pgdir + "/data -m fast stop >/dev/null 2>&1").c_str());
        system(("rm -rf " + pgdir).c_str());
    }
    system(("rm -rf " + dir).c_str());
    return 0;
}
