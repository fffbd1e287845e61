/* What a replay may do: the engine run for a demo is a hostile program as far as the server knows, so a
 * stand-in engine tries what one could and answers the entry's points only when every attempt failed. */
#include <gtest/gtest.h>

#include <dirent.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>

#include "sv_testserver.h"

namespace {

/* Reads its orders from the demo after the 44-byte header:
 *   "check PORT POINTS CPU MB": reach 127.0.0.1:PORT (0: skip), write a file of exactly 1 MB, then one byte
 *   more; its limits must be CPU processor seconds, MB of address space it cannot raise, and no core;
 *   "hang SECONDS": start a helper and never answer; "kill SIGNAL": end by that signal. */
const char *const probe = R"(#!/usr/bin/python3
import os, resource, signal, socket, subprocess, sys, tempfile, time
words = open("demo.dem", "rb").read()[44:].decode().split()
if words[0] == "hang":
    subprocess.Popen(["sleep", words[1]])
    time.sleep(600)
if words[0] == "kill":
    os.kill(os.getpid(), int(words[1]))
port, points, cpu, mem = int(words[1]), int(words[2]), int(words[3]), int(words[4]) << 20
leaks = []
if resource.getrlimit(resource.RLIMIT_CPU)[0] != cpu or resource.getrlimit(resource.RLIMIT_AS) != (mem, mem) or resource.getrlimit(resource.RLIMIT_CORE)[1]:
    leaks.append("limits other than the options'")
if port:
    try:
        socket.create_connection(("127.0.0.1", port), timeout=5).close()
        leaks.append("reached the network")
    except OSError:
        pass
signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
fd, path = tempfile.mkstemp()
os.unlink(path)
try:
    if os.write(fd, b"x" * (1 << 20)) != 1 << 20:
        leaks.append("a file of 1 MB was cut")
except OSError:
    leaks.append("no file of 1 MB")
try:
    os.write(fd, b"x")
    leaks.append("a file past 1 MB")
except OSError:
    pass
print("$$score %d" % (-1 if leaks else points))
print("; ".join(leaks), file=sys.stderr)
)";

std::string Demo(int level, const std::string &orders)
{
    std::string d = "GKDM" + std::string(40, '\0');
    d[16] = (char)level;
    return d + orders;
}

/* Can a child of this machine have a network of its own? */
bool CanIsolateNetwork(void)
{
    pid_t pid = fork();
    if (pid == 0)
        _exit(unshare(CLONE_NEWNET) == 0 || unshare(CLONE_NEWUSER | CLONE_NEWNET) == 0 ? 0 : 1);
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

/* Processes whose command line holds what, and children of parent, zombies too. */
int Remaining(const std::string &what, int parent)
{
    int n = 0;
    DIR *d = opendir("/proc");
    for (struct dirent *e; d && (e = readdir(d));) {
        std::string cmd, stat, at = "/proc/" + std::string(e->d_name);
        int ppid = 0;
        if (atoi(e->d_name) <= 0 || !gk::ReadFile(at + "/cmdline", &cmd) || !gk::ReadFile(at + "/stat", &stat))
            continue;
        std::replace(cmd.begin(), cmd.end(), '\0', ' ');
        size_t close = stat.rfind(')');
        n += cmd.find(what) != std::string::npos ||
             (close != std::string::npos && sscanf(stat.c_str() + close + 1, " %*c %d", &ppid) == 1 && ppid == parent);
    }
    if (d)
        closedir(d);
    return n;
}

long Descriptors(int pid)     /* the fewest held in half a second: connections close a little late */
{
    long n = LONG_MAX;
    for (int k = 0; k < 10; k++, usleep(50000))
        n = std::min<long>(n, std::distance(std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd"), {}));
    return n;
}

TEST(ReplaySandbox, NoNetworkNoFilePastAMegabyteAndNothingLeftAfterTheWallClock)
{
    /* run as root in a folder the engine's user nobody cannot reach: the tree is copied into the server's TMPDIR */
    gk::TempDir d(std::filesystem::temp_directory_path().string());
    std::string tree = d / "game";
    ASSERT_TRUE(gk::MakeDirs(tree + "/data") && gk::WriteFile(tree + "/vexengine", probe));
    ASSERT_EQ(chmod(tree.c_str(), 0755) | chmod((tree + "/vexengine").c_str(), 0755), 0);
    ScoreServer server;
    ASSERT_TRUE(server.Start(d.path, {"--db", d / "scores.sqlite", "--game", tree, "--rate", "0",
                                      "--verify-seconds", "3", "--verify-cpu", "7", "--verify-memory", "300", "--threads", "1"})) << server.log;
    std::string body;
    ASSERT_EQ(SV_Get(server.port, SV_TopTen(44, true, false, SV_PackEntries({{0, "Check", 4321}, {0, "Hang", 1234}, {0, "Kill", 6},
                                                                   {0, "Kill", 9}, {0, "Kill", 24}})), &body), 200);
    ASSERT_EQ(SV_AddedIn(body), 5) << body;

    bool isolated = CanIsolateNetwork();     /* else the network is not tried */
    std::string check = "check " + std::to_string(isolated ? server.port : 0) + " 4321 7 300";
    ASSERT_EQ(gk::HttpSend(server.port, "POST", "/replay?game=gackatron&level=0&name=Check&points=4321&country=44",
                      Demo(0, check), &body), 200);
    ASSERT_EQ(body, "OK");
    bool verified = false;
    for (int i = 0; i < 300 && !(verified = SV_Verified(server.port, 0)["Check 4321"]); i++)
        usleep(100000);
    EXPECT_TRUE(verified) << "30 s for the stand-in's replay; the server said:\n" << gk::FileText(server.proc.errpath);
    /* an engine ended by a signal: the log tells the operator the cause */
    for (auto [sig, cause] : {std::pair{6, "engine died of signal 6"}, {9, "killed by the system"}, {24, "over 7 s of processor time"}}) {
        std::string n = std::to_string(sig), want = "points " + n + " name 'Kill': refused: " + cause;
        gk::HttpSend(server.port, "POST", "/replay?game=gackatron&level=0&name=Kill&points=" + n + "&country=44", Demo(0, "kill " + n), &body);
        for (int k = 0; k < 100 && gk::FileText(server.proc.errpath).find(want) == std::string::npos; k++)
            usleep(100000);
        EXPECT_NE(gk::FileText(server.proc.errpath).find(want), std::string::npos) << "10 s for: " << want;
    }

    /* a replay past its wall clock ends with everything it started, is reaped, and its pipes closed */
    std::string helper = "599." + std::to_string(getpid());
    long fds = Descriptors(server.proc.pid);
    ASSERT_EQ(gk::HttpSend(server.port, "POST", "/replay?game=gackatron&level=0&name=Hang&points=1234&country=44",
                      Demo(0, "hang " + helper), &body), 200);
    int left = 0, i = 0;
    for (; i < 300 && (left = Remaining(helper, server.proc.pid)) == 0; i++)
        usleep(10000);
    ASSERT_GT(left, 0) << "the stand-in never ran";
    EXPECT_TRUE(SV_Get(server.port, "/metrics", &body) == 200 && body.find("\ngackatron_scores_replay_queue 1\n") != std::string::npos) << body;
    for (i = 0; i < 300 && (left = Remaining(helper, server.proc.pid)) > 0; i++)
        usleep(100000);
    EXPECT_EQ(left, 0) << "processes of the replay, or replays not reaped, 30 s on";
    EXPECT_TRUE(Descriptors(server.proc.pid) <= fds && !SV_Verified(server.port, 0)["Hang 1234"]) << "descriptors kept, or the hang verified";
    EXPECT_TRUE(SV_Get(server.port, "/metrics", &body) == 200 && body.find("\ngackatron_scores_replay_queue 0\n") != std::string::npos) << body;
    ASSERT_EQ(server.Stop(), 0);
    EXPECT_EQ(rmdir(server.tmp.path.c_str()), 0) << "the copy of the tree is left in its TMPDIR";
}

} // namespace
