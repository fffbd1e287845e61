/*
 * gk_support.h -- helpers shared by the tests: scratch directories, whole
 * file reads and writes, and running a real program (or this test program
 * again) with its standard output and exit status captured.
 */
#ifndef GK_SUPPORT_H
#define GK_SUPPORT_H

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

namespace gk {

/* A fresh directory under the build tree's scratch area; removed by the
 * destructor unless GK_KEEP_TEMP is set. */
struct TempDir {
    std::string path;
    TempDir();
    ~TempDir();
    std::string operator/(const std::string &name) const { return path + "/" + name; }
};

bool WriteFile(const std::string &path, const std::string &bytes);
bool ReadFile(const std::string &path, std::string *bytes);
bool MakeDirs(const std::string &path);

struct ProcResult {
    int status = -1;        /* exit status, or 128 + signal */
    std::string out;        /* standard output */
    std::string err;        /* standard error */
};

/* Runs argv[0] with the arguments in dir (empty: current), with extra
 * environment entries "NAME=value"; kills it after timeout_s seconds. */
ProcResult RunProcess(const std::vector<std::string> &argv, const std::string &dir = "",
                      const std::vector<std::string> &env = {}, int timeout_s = 60);

/* This test program again, running only the named test (a gtest filter),
 * with extra environment entries: for what must start in a fresh process
 * (OpenAL Soft, for one, reads its configuration once per process). */
ProcResult RunSelf(const std::string &test, const std::vector<std::string> &env,
                   int timeout_s = 60);

/* In a forked child: change to dir (unless empty), add env entries and
 * exec argv[0]; never returns. */
[[noreturn]] void ExecChild(const std::vector<std::string> &argv, const std::string &dir,
                            const std::vector<std::string> &env);

/* Little-endian fields of a file read into memory. */
inline uint32_t U32(const std::string &s, size_t off)
{
    uint32_t v = 0;
    if (off + 4 <= s.size())
        memcpy(&v, s.data() + off, 4);
    return v;
}
inline float F32(const std::string &s, size_t off)
{
    float v = 0;
    if (off + 4 <= s.size())
        memcpy(&v, s.data() + off, 4);
    return v;
}

/* Paths of the build. */
std::string DistDir();     /* the runnable tree: vexengine, data/ */
std::string SourceDir();
std::string TestmodDir();  /* where the test game modules are built */

} // namespace gk

namespace gk {

/* A program started in the background with its output going to files. */
struct Proc {
    int pid = -1;
    std::string outpath, errpath;
};

Proc StartProcess(const std::vector<std::string> &argv, const std::string &dir,
                  const std::vector<std::string> &env, const std::string &outdir);
/* Waits up to timeout_s seconds (then kills it) and collects its output. */
ProcResult WaitProcess(Proc &p, int timeout_s);
bool ProcessRunning(const Proc &p);

/* A private Xvfb for one test; Start sets DISPLAY (restored by Stop) and
 * makes X errors of vanished windows harmless. */
struct PrivateDisplay {
    int pid = -1;
    std::string display, olddisplay;
    bool hadold = false;
    bool Start(const std::string &screen = "1280x1024x24");
    void Stop();
    ~PrivateDisplay() { Stop(); }
};

/* X11 helpers for tests that drive a real engine window. */
unsigned long X11_FindWindowOfPid(int pid, int timeout_ms);
bool X11_SendCloseRequest(unsigned long window);
/* Position on the screen and size of a window's client area. */
bool X11_WindowGeometry(unsigned long window, int *x, int *y, int *w, int *h);
/* Runs xdotool with the given arguments; true when it exited 0. */
bool Xdotool(const std::vector<std::string> &args);

} // namespace gk

#endif
