/*
 * bench_verify -- replays verified per minute by the score server with one
 * and with two workers: the standard demo (bench/heaviest.dem, a whole
 * level of the heaviest kind) is uploaded for N entries and the server's
 * log is watched until every one is verified.  Usage: bench_verify [N per
 * run, default 8] [demo]
 */
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
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

#include <string>
#include <vector>

#include "hs_table.h"
#include "http_client.h"

#ifndef GK_BENCH_DEMO
#define GK_BENCH_DEMO "heaviest.dem"
#endif

static double Bench_Now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

static std::string Bench_Read(const std::string &path)
{
    std::string s;
    FILE *f = fopen(path.c_str(), "rb");
    char buf[65536];
    size_t n;
    while (f && (n = fread(buf, 1, sizeof(buf), f)) > 0)
        s.append(buf, n);
    if (f)
        fclose(f);
    return s;
}

static int Bench_StartServer(const std::string &dir, int workers, int *pid)
{
    std::string err = dir + "/server.log", db = dir + "/scores.sqlite", w = std::to_string(workers);
    *pid = fork();
    if (*pid == 0) {
        int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 2);
        if (chdir(dir.c_str()) != 0)
            _exit(127);
        std::string prog = std::string(GK_DIST_DIR) + "/gackatron-scores";
        execl(prog.c_str(), prog.c_str(), "--listen", "127.0.0.1:0", "--db", db.c_str(), "--rate", "0",
              "--game", GK_DIST_DIR, "--workers", w.c_str(), "--verify-seconds", "600", "--verify-cpu", "600",
              (char *)NULL);
        _exit(127);
    }
    for (int i = 0; i < 400; i++) {
        std::string log = Bench_Read(err);
        size_t at = log.find("listening on 127.0.0.1:");
        if (at != std::string::npos)
            return atoi(log.c_str() + at + 23);
        usleep(50000);
    }
    return 0;
}

static size_t Bench_Count(const std::string &s, const char *what)
{
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1))
        n++;
    return n;
}

/* Seconds until n uploads of the demo are verified by that many workers; -1 on failure. */
static double Bench_Run(const std::string &demo, int level, int32_t points, int n, int workers)
{
    char tmpl[] = "/tmp/gk-bench-verify.XXXXXX";
    if (!mkdtemp(tmpl))
        return -1;
    std::string dir = tmpl;
    int pid = 0, port = Bench_StartServer(dir, workers, &pid);
    double took = -1;
    std::string body;
    bool ok = port > 0;
    for (int k = 0; ok && k * HS_ENTRIES < n; k++) {
        HighscoreTable t;
        HS_Fill(&t, "x", 0);
        for (int i = 0; i < HS_ENTRIES; i++)
            t.e[level][i] = {"b" + std::to_string(k * HS_ENTRIES + i), points};
        ok = gk::HttpSend(port, "GET", "/topten.php?game=gackatron&merge=1&getlist=0&country=44&val=" + PackTable(&t),
                        "", &body) == 200;
    }
    double t0 = Bench_Now();
    for (int i = 0; ok && i < n; i++)
        ok = gk::HttpSend(port, "POST", "/replay?game=gackatron&level=" + std::to_string(level) + "&name=b" +
                        std::to_string(i) + "&points=" + std::to_string(points), demo, &body) == 200 && body == "OK";
    while (ok && Bench_Now() - t0 < 3600) {
        std::string log = Bench_Read(dir + "/server.log");
        if (Bench_Count(log, "refused: ")) {
            fprintf(stderr, "bench_verify: a replay was refused:\n%s", log.c_str());
            break;
        }
        if (Bench_Count(log, " verified (") >= (size_t)n) {
            took = Bench_Now() - t0;
            break;
        }
        usleep(50000);
    }
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, NULL, 0);
    }
    if (system(("rm -rf '" + dir + "'").c_str()) != 0)
        fprintf(stderr, "bench_verify: %s left behind\n", dir.c_str());
    return took;
}

int main(int argc, char **argv)
{
    int n = argc > 1 ? atoi(argv[1]) : 8;
    std::string path = argc > 2 ? argv[2] : GK_BENCH_DEMO;
    char full[4096];
    if (realpath(path.c_str(), full))
        path = full;
    std::string demo = Bench_Read(path);
    if (n < 1 || n > 80 || demo.size() < 40) {
        fprintf(stderr, "usage: bench_verify [1..80 replays per run] [demo]\n");
        return 2;
    }
    int level = (unsigned char)demo[16];
    std::string cmd = "cd '" GK_DIST_DIR "' && ./vexengine -game data -verifydemo '" + path + "' 2>/dev/null";
    FILE *p = popen(cmd.c_str(), "r");
    int points = 0;
    if (!p || fscanf(p, "$$score %d", &points) != 1 || points <= 0) {
        fprintf(stderr, "bench_verify: %s does not replay to a score\n", path.c_str());
        return 1;
    }
    pclose(p);
    printf("demo: level %d, %d points, %zu bytes\n", level, points, demo.size());
    for (int workers = 1; workers <= 2; workers++) {
        double s = Bench_Run(demo, level, points, n, workers);
        if (s > 0)
            printf("%d %s: %d replays verified in %.1f s: %.1f verifications per minute\n", workers,
                   workers == 1 ? "worker " : "workers", n, s, n * 60.0 / s);
        else
            printf("%d %s: failed\n", workers, workers == 1 ? "worker " : "workers");
    }
    return 0;
}
