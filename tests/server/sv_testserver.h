/* The score server as a real process, requests to it, hand-built packed tables, a PostgreSQL of our own. */
#ifndef SV_TESTSERVER_H
#define SV_TESTSERVER_H

#include <glob.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <zlib.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "gk_support.h"
#include "hs_table.h"
#include "http_client.h"

struct ScoreServer {
    gk::TempDir dir;    /* its own folder, for a store and its output */
    gk::TempDir tmp{"/tmp"};    /* its TMPDIR, for a copy of the game tree its replay user can read */
    gk::Proc proc;
    int port = 0;
    std::string log;
    std::vector<std::string> wrap;  /* a command it runs under ("/usr/bin/prlimit", ...) */

    /* Started in its own folder with the store "scores.sqlite" there. */
    bool Start(std::vector<std::string> args = {})
    {
        args.insert(args.begin(), {"--db", dir / "scores.sqlite"});
        return Start(dir.path, args);
    }

    /* gackatron-scores started in dir; false without a port within 20 s. */
    bool Start(const std::string &dir, const std::vector<std::string> &args)
    {
        std::vector<std::string> argv = wrap;
        argv.insert(argv.end(), {gk::DistDir() + "/gackatron-scores", "--listen", "127.0.0.1:0"});
        argv.insert(argv.end(), args.begin(), args.end());
        unlink((dir + "/stderr.txt").c_str()); /* not the last run's port */
        chmod(tmp.path.c_str(), 0755);
        proc = gk::StartProcess(argv, dir, {"TMPDIR=" + tmp.path}, dir);
        for (int i = 0; i < 400 && gk::ProcessRunning(proc); i++, usleep(50000)) {
            log.clear();
            gk::ReadFile(proc.errpath, &log);
            size_t at = log.find("listening on 127.0.0.1:");
            if (at != std::string::npos)
                return (port = atoi(log.c_str() + at + 23)) > 0;
        }
        gk::ReadFile(proc.errpath, &log);
        return false;
    }
    /* SIGTERM; the exit status (0 for a clean end). */
    int Stop()
    {
        if (proc.pid <= 0)
            return -1;
        kill(proc.pid, SIGTERM);
        gk::ProcResult r = gk::WaitProcess(proc, 30);
        log = r.err;
        return r.status;
    }
    void Kill()
    {
        if (proc.pid > 0)
            kill(proc.pid, SIGKILL);
        gk::WaitProcess(proc, 10);
    }
    /* one still running at the end must end cleanly on SIGTERM */
    ~ScoreServer() { EXPECT_TRUE(proc.pid <= 0 || Stop() == 0) << log; }
};

static inline int SV_Get(int port, const std::string &target, std::string *body) { return gk::HttpSend(port, "GET", target, "", body); }

/* How often what stands in s. */
static inline size_t SV_Count(const std::string &s, const std::string &what)
{
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1))
        n++;
    return n;
}

/* A connection to the server from the loopback address src; -1 when none. */
static inline int SV_Open(int port, const char *src = "127.0.0.1")
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in a = {}, b = {};
    a.sin_family = b.sin_family = AF_INET;
    a.sin_port = htons((uint16_t)port);
    inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    inet_pton(AF_INET, src, &b.sin_addr);
    if (bind(s, (struct sockaddr *)&b, sizeof(b)) == 0 && connect(s, (struct sockaddr *)&a, sizeof(a)) == 0)
        return s;
    close(s);
    return -1;
}

/* What s receives within ms until its end: "open" when it stays silent and open. */
static inline std::string SV_Recv(int s, int ms)
{
    std::string in;
    char buf[65536];
    struct pollfd p = {s, POLLIN, 0};
    for (ssize_t n = 1; n > 0 && poll(&p, 1, ms) == 1;)
        if ((n = recv(s, buf, sizeof(buf), 0)) > 0)
            in.append(buf, (size_t)n);
        else
            return in;
    return in.empty() ? "open" : in;
}

/* Raw bytes to the server from src; what came back within 10 s. */
static inline std::string SV_Raw(int port, const std::string &bytes, const char *src = "127.0.0.1")
{
    int s = SV_Open(port, src);
    if (s < 0)
        return "";
    send(s, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    std::string in = SV_Recv(s, 10000);
    close(s);
    return in;
}

static inline std::string SV_TopTen(int country, bool merge, bool getlist, const std::string &val)
{
    return "/topten.php?game=gackatron&merge=" + std::string(merge ? "1" : "0") + "&getlist=" +
           (getlist ? "1" : "0") + "&country=" + std::to_string(country) + "&val=" + val;
}

/* A table holding only the given entries (level, name, points). */
struct SV_Entry { int level; std::string name; int32_t points; };
static inline std::string SV_PackEntries(const std::vector<SV_Entry> &entries)
{
    HighscoreTable t;
    HS_Fill(&t, "unknown", 0);
    int used[HS_ROWS] = {};
    for (const SV_Entry &e : entries)
        if (used[e.level] < HS_ENTRIES)
            t.e[e.level][used[e.level]++] = {e.name, e.points};
    return PackTable(&t);
}

static inline uint32_t SV_Crc(const std::string &s) { return (uint32_t)crc32(0, (const Bytef *)s.data(), (uInt)s.size()); }

static inline std::string SV_Hex(const std::string &bytes)
{
    std::string s;
    for (unsigned char c : bytes)
        s += {"0123456789ABCDEF"[c >> 4], "0123456789ABCDEF"[c & 15]};
    return s;
}

/* The packed text of any listing, with the stated length and CRC (by default the true ones). */
static inline std::string SV_RawPack(const std::string &listing, int64_t len = -1, int64_t crc = -1)
{
    std::string head;
    gk::PutFields(head, {{len < 0 ? (uint32_t)listing.size() : (uint32_t)len, 4}, {crc < 0 ? SV_Crc(listing) : (uint32_t)crc, 4}});
    uLongf n = compressBound(listing.size());
    std::string c(n, '\0');
    compress((Bytef *)c.data(), &n, (const Bytef *)listing.data(), listing.size());
    return SV_Hex(head + c.substr(0, n));
}

/* A table's listing: the given lines after the head, then entry lines "0 x" up to its 80 entries. */
static inline std::string SV_Listing(const std::string &entries, const std::string &more = "")
{
    std::string s = "#!FORMAT 1 8 10\n" + more + entries;
    for (long n = std::count(entries.begin(), entries.end(), '\n'); n < 80; n++)
        s += "0 x\n";
    return s;
}

/* New entries counted in a confirmation ("... New entries: N."). */
static inline int SV_AddedIn(const std::string &msg)
{
    size_t at = msg.find_last_of("0123456789");
    if (msg.compare(0, 4, "MSG:") != 0 || at == std::string::npos)
        return -1;
    return atoi(msg.c_str() + msg.find_last_not_of("0123456789", at) + 1);
}

/* "name points":verified of a level's JSON list. */
static inline std::map<std::string, bool> SV_Verified(int port, int level)
{
    std::map<std::string, bool> out;
    std::string body;
    if (SV_Get(port, "/scores.json?level=" + std::to_string(level), &body) != 200)
        return out;
    for (size_t at = body.find("{\"name\":\""); at != std::string::npos; at = body.find("{\"name\":\"", at + 1)) {
        size_t end = body.find('"', at + 9);
        std::string name = body.substr(at + 9, end - at - 9) + " " +
                           std::to_string(atoi(body.c_str() + body.find("\"points\":", at) + 9));
        out[name] = body.compare(body.find("\"verified\":", at) + 11, 4, "true") == 0;
    }
    return out;
}

/* The newest PostgreSQL server programs' folder, "" without one. */
static inline std::string SV_PostgresBin(void)
{
    glob_t g;
    std::string bin;
    if (glob("/usr/lib/postgresql/*/bin/initdb", 0, NULL, &g) == 0)
        bin = std::string(g.gl_pathv[g.gl_pathc - 1]).substr(0, strlen(g.gl_pathv[g.gl_pathc - 1]) - 6);
    globfree(&g);
    return bin;
}
static inline bool SV_HavePostgres(void) { return !SV_PostgresBin().empty(); }

/* A PostgreSQL of our own (as user postgres when root), user gk, on a free loopback port. */
struct Postgres {
    std::string dir, bin, prefix;
    int port = 0;
    bool Start()
    {
        char tmpl[] = "/tmp/gk-pg.XXXXXX";
        bin = SV_PostgresBin();
        if (bin.empty() || !mkdtemp(tmpl))
            return false;
        dir = tmpl;
        struct passwd *pw = getpwnam("postgres");
        if (getuid() == 0 && pw && chown(dir.c_str(), pw->pw_uid, pw->pw_gid) == 0)
            prefix = "runuser -u postgres -- ";
        int s = socket(AF_INET, SOCK_STREAM, 0);
        struct sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(a);
        bind(s, (struct sockaddr *)&a, sizeof(a));
        getsockname(s, (struct sockaddr *)&a, &len);
        port = ntohs(a.sin_port);
        close(s);
        return system((prefix + bin + "initdb --no-sync -A trust -U gk -D " + dir + "/data >" + dir + "/initdb.log 2>&1").c_str()) == 0 &&
               system((prefix + bin + "pg_ctl -w -t 60 -D " + dir + "/data -l " + dir + "/log -o \"-p " + std::to_string(port) +
                       " -k " + dir + " -c listen_addresses=127.0.0.1 -c max_connections=20\" start >/dev/null").c_str()) == 0;
    }
    ~Postgres()
    {
        if (dir.empty())
            return;
        system((prefix + bin + "pg_ctl -D " + dir + "/data -m immediate stop >/dev/null 2>&1").c_str());
        system(("rm -rf " + dir).c_str());
    }
};

#endif
