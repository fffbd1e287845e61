/*
 * gk_support.cpp -- scratch directories, file helpers and child processes
 * for the tests.
 */
#include "gk_support.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace gk {

TempDir::TempDir()
{
    std::string base = std::string(GK_BINARY_DIR) + "/scratch";
    MakeDirs(base);
    std::string tmpl = base + "/t.XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back(0);
    char *p = mkdtemp(buf.data());
    path = p ? p : base;
}

TempDir::~TempDir()
{
    if (getenv("GK_KEEP_TEMP"))
        return;
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

bool WriteFile(const std::string &path, const std::string &bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f)
        return false;
    f.write(bytes.data(), (std::streamsize)bytes.size());
    return (bool)f;
}

bool ReadFile(const std::string &path, std::string *bytes)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    std::ostringstream ss;
    ss << f.rdbuf();
    *bytes = ss.str();
    return true;
}

bool MakeDirs(const std::string &path)
{
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return !ec;
}

void ExecChild(const std::vector<std::string> &argv, const std::string &dir,
               const std::vector<std::string> &env)
{
    if (!dir.empty() && chdir(dir.c_str()) != 0)
        _exit(127);
    for (const std::string &e : env)
        putenv(strdup(e.c_str()));
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

static void DrainInto(int fd, std::string *out, bool *open)
{
    char buf[4096];
    ssize_t n = read(fd, buf, sizeof(buf));
    if (n > 0)
        out->append(buf, (size_t)n);
    else if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
        *open = false;
}

ProcResult RunProcess(const std::vector<std::string> &argv, const std::string &dir,
                      const std::vector<std::string> &env, int timeout_s)
{
    ProcResult r;
    int outp[2], errp[2];
    if (pipe(outp) != 0 || pipe(errp) != 0)
        return r;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(outp[1], 1);
        dup2(errp[1], 2);
        close(outp[0]);
        close(errp[0]);
        close(outp[1]);
        close(errp[1]);
        ExecChild(argv, dir, env);
    }
    close(outp[1]);
    close(errp[1]);
    bool oopen = true, eopen = true;
    time_t deadline = time(nullptr) + timeout_s;
    while (oopen || eopen) {
        struct pollfd fds[2] = {{outp[0], POLLIN, 0}, {errp[0], POLLIN, 0}};
        int left = (int)(deadline - time(nullptr));
        if (left <= 0) {
            kill(pid, SIGKILL);
            break;
        }
        if (poll(fds, 2, 1000) < 0 && errno != EINTR)
            break;
        if (oopen && (fds[0].revents & (POLLIN | POLLHUP)))
            DrainInto(outp[0], &r.out, &oopen);
        if (eopen && (fds[1].revents & (POLLIN | POLLHUP)))
            DrainInto(errp[0], &r.err, &eopen);
    }
    close(outp[0]);
    close(errp[0]);
    int st = 0;
    waitpid(pid, &st, 0);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return r;
}

ProcResult RunSelf(const std::string &test, const std::vector<std::string> &env, int timeout_s)
{
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    if (n <= 0)
        return ProcResult();
    self[n] = 0;
    return RunProcess({self, "--gtest_filter=" + test}, "", env, timeout_s);
}

std::string DistDir() { return GK_DIST_DIR; }
std::string SourceDir() { return GK_SOURCE_DIR; }
std::string TestmodDir() { return GK_TESTMOD_DIR; }

} // namespace gk
