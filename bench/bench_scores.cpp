/*
 * bench_scores -- the highscore server under load on loopback: merges per
 * second and the p50/p99 time of one exchange (connect, merge, answer with
 * the packed list) for 1, 8 and 32 concurrent clients, on an SQLite file
 * and on PostgreSQL behind two server processes.  Each exchange sends a
 * whole table as a launcher does: ten entries, one of them new.  The
 * PostgreSQL part runs when its binaries are installed (as the postgres
 * user when started by root).  The server's CPU time per merge (PostgreSQL's
 * own not counted) tells what a core could take when the machine is busy
 * with other work.  Usage: bench_scores [seconds per run]
 * [folder of the SQLite file, default a fresh one under /tmp]
 */
#include <arpa/inet.h>
#include <fcntl.h>
#include <glob.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
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

#include "hs_table.h"
#include "http_client.h"

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

/* gackatron-scores in dir; its port, or 0. */
static int Bench_StartServer(const std::string &dir, const std::string &db, int *pid)
{
    std::string err = dir + "/server.log";
    unlink(err.c_str());
    *pid = fork();
    if (*pid == 0) {
        int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 2);
        if (chdir(dir.c_str()) != 0)
            _exit(127);
        std::string prog = std::string(GK_DIST_DIR) + "/gackatron-scores";
        execl(prog.c_str(), prog.c_str(), "--listen", "127.0.0.1:0", "--db", db.c_str(), "--rate", "0", (char *)NULL);
        _exit(127);
    }
    for (int i = 0; i < 400; i++) {
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

int main(int argc, char **argv)
{
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
    if (argc > 3) {     /* SQLite only */
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
