/*
 * sv_testserver.h -- the score server as a real process on a free loopback
 * port, a plain HTTP/1.0 client for it, and a PostgreSQL of our own.
 */
#ifndef SV_TESTSERVER_H
#define SV_TESTSERVER_H

#include <arpa/inet.h>
#include <glob.h>
#include <pwd.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "gk_support.h"
#include "http_client.h"
#include "hs_table.h"

struct ScoreServer {
    gk::Proc proc;
    int port = 0;
    std::string log;

    /* Starts gackatron-scores in dir with the extra arguments; false when
     * it does not report its port within 20 s. */
    bool Start(const std::string &dir, const std::vector<std::string> &args)
    {
        std::vector<std::string> argv = {gk::DistDir() + "/gackatron-scores", "--listen", "127.0.0.1:0"};
        argv.insert(argv.end(), args.begin(), args.end());
        unlink((dir + "/stderr.txt").c_str());      /* not the last run's port */
        proc = gk::StartProcess(argv, dir, {}, dir);
        for (int i = 0; i < 400; i++) {
            std::string err;
            gk::ReadFile(proc.errpath, &err);
            size_t at = err.find("listening on 127.0.0.1:");
            if (at != std::string::npos) {
                port = atoi(err.c_str() + at + 23);
                return port > 0;
            }
            if (!gk::ProcessRunning(proc))
                break;
            usleep(50000);
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
        if (proc.pid > 0) {
            kill(proc.pid, SIGKILL);
            gk::WaitProcess(proc, 10);
        }
    }
    ~ScoreServer() { Kill(); }
};

static inline int SV_Send(int port, const std::string &method, const std::string &target,
                          const std::string &payload, std::string *body)
{
    return gk::HttpSend(port, method, target, payload, body);
}

static inline int SV_Get(int port, const std::string &target, std::string *body)
{
    return SV_Send(port, "GET", target, "", body);
}

static inline std::string SV_TopTen(int country, bool merge, bool getlist, const std::string &val)
{
    return "/topten.php?game=gackatron&merge=" + std::string(merge ? "1" : "0") + "&getlist=" +
           (getlist ? "1" : "0") + "&country=" + std::to_string(country) + "&val=" + val;
}

/* A table holding only the given entries (level, name, points). */
struct SV_Entry {
    int level;
    std::string name;
    int32_t points;
};
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

/* New entries counted in a confirmation ("... New entries: N."). */
static inline int SV_AddedIn(const std::string &msg)
{
    size_t at = msg.find_last_of("0123456789");
    if (msg.compare(0, 4, "MSG:") != 0 || at == std::string::npos)
        return -1;
    size_t from = msg.find_last_not_of("0123456789", at);
    return atoi(msg.c_str() + from + 1);
}

/* A PostgreSQL server of our own in a temporary folder, run as the postgres user. */
/* Whether this machine has PostgreSQL's server programs. */
static inline bool SV_HavePostgres(void)
{
    glob_t g;
    bool found = glob("/usr/lib/postgresql/*/bin/initdb", 0, NULL, &g) == 0;
    globfree(&g);
    return found;
}

struct Postgres {
    std::string dir, bin, prefix;
    int port = 0;
    bool Start()
    {
        glob_t g;
        if (glob("/usr/lib/postgresql/*/bin/initdb", 0, NULL, &g) != 0)
            return false;
        bin = std::string(g.gl_pathv[g.gl_pathc - 1]);
        bin.resize(bin.size() - 6);
        globfree(&g);
        char tmpl[] = "/tmp/gk-pg.XXXXXX";
        if (!mkdtemp(tmpl))
            return false;
        dir = tmpl;
        struct passwd *pw = getpwnam("postgres");
        if (getuid() == 0 && pw) {
            chown(dir.c_str(), pw->pw_uid, pw->pw_gid);
            prefix = "runuser -u postgres -- ";
        }
        int s = socket(AF_INET, SOCK_STREAM, 0);
        struct sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(a);
        bind(s, (struct sockaddr *)&a, sizeof(a));
        getsockname(s, (struct sockaddr *)&a, &len);
        port = ntohs(a.sin_port);
        close(s);
        std::string p = std::to_string(port);
        return system((prefix + bin + "initdb --no-sync -A trust -U gk -D " + dir + "/data >" + dir + "/initdb.log 2>&1").c_str()) == 0 &&
               system((prefix + bin + "pg_ctl -w -t 60 -D " + dir + "/data -l " + dir + "/log -o \"-p " + p +
                       " -k " + dir + " -c listen_addresses=127.0.0.1 -c max_connections=20\" start >/dev/null").c_str()) == 0;
    }
    ~Postgres()
    {
        if (!dir.empty()) {
            system((prefix + bin + "pg_ctl -D " + dir + "/data -m immediate stop >/dev/null 2>&1").c_str());
            system(("rm -rf " + dir).c_str());
        }
    }
};

#endif
