/* Shared test helpers: scratch dirs, whole files, real programs, a private X server, X11 windows. */
#ifndef GK_SUPPORT_H
#define GK_SUPPORT_H

#include <stdint.h>
#include <string.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace gk {

/* A fresh scratch directory, removed unless GK_KEEP_TEMP is set. */
struct TempDir {
    std::string path;
    std::string oldcwd;  /* set by Enter, made the working directory again at the end */
    TempDir(const std::string &base = "");  /* default: scratch/ in the build tree */
    ~TempDir();
    bool Enter();  /* makes it the working directory */
    std::string operator/(const std::string &name) const { return path + "/" + name; }
};

bool WriteFile(const std::string &path, const std::string &bytes);
bool ReadFile(const std::string &path, std::string *bytes);
/* The whole file, "" when it cannot be read. */
inline std::string FileText(const std::string &path)
{
    std::string s;
    return ReadFile(path, &s) ? s : "";
}
bool MakeDirs(const std::string &path);

std::string DistDir();     /* the runnable tree: vexengine, data/ */
std::string SourceDir();
std::string TestmodDir();  /* where the test game modules are built */

/* Little-endian fields {value, bytes} appended by the engine's writer; U32 reads 0 past the end. */
void PutFields(std::string &s, std::initializer_list<std::pair<uint32_t, int>> fields);
inline void PutLE(std::string &s, uint32_t v, int bytes) { PutFields(s, {{v, bytes}}); }
inline uint32_t U32(const std::string &s, size_t off)
{
    uint32_t v = 0;
    if (off + 4 <= s.size())
        memcpy(&v, s.data() + off, 4);
    return v;
}

struct ProcResult {
    int status = -1;        /* exit status, or 128 + signal */
    std::string out, err;   /* standard output and error */
};

struct Proc { int pid = -1; std::string outpath, errpath; };

/* argv[0] started in dir with extra "NAME=value" entries; output to outdir/stdout.txt, stderr.txt. */
Proc StartProcess(const std::vector<std::string> &argv, const std::string &dir,
                  const std::vector<std::string> &env, const std::string &outdir);
ProcResult WaitProcess(Proc &p, int timeout_s);
bool ProcessRunning(const Proc &p);
ProcResult RunProcess(const std::vector<std::string> &argv, const std::string &dir = "",
                      const std::vector<std::string> &env = {}, int timeout_s = 60);
/* This test program again, running only the named test, in a fresh process. */
ProcResult RunSelf(const std::string &test, const std::vector<std::string> &env, int timeout_s = 60);

/* A private Xvfb; Start sets DISPLAY (restored by Stop), X errors of vanished windows ignored. */
struct PrivateDisplay {
    int pid = -1;
    std::string display, olddisplay;
    bool hadold = false;
    bool Start(const std::string &screen = "1280x1024x24");
    void Stop();
    ~PrivateDisplay() { Stop(); }
};

unsigned long X11_FindWindowOfPid(int pid, int timeout_ms);
/* The first visible window whose name matches the regular expression. */
unsigned long X11_FindWindowByName(const std::string &regex, int timeout_s);
/* WM_DELETE_WINDOW, as a window manager asks a window to close. */
bool X11_SendCloseRequest(unsigned long window);
/* Position on the screen and size of a window's client area. */
bool X11_WindowGeometry(unsigned long window, int *x, int *y, int *w, int *h);
/* Runs xdotool with the arguments, then waits settle_ms for them to take effect; true when it exited 0. */
bool Xdotool(const std::vector<std::string> &args, int settle_ms = 0);

} // namespace gk

#endif
