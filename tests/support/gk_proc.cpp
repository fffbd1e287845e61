/* Real programs for the tests: background or timed runs, a private Xvfb, X11 window lookups. */
#include "gk_support.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

namespace gk {

Proc StartProcess(const std::vector<std::string> &argv, const std::string &dir,
                  const std::vector<std::string> &env, const std::string &outdir)
{
    Proc p;
    p.outpath = outdir + "/stdout.txt";
    p.errpath = outdir + "/stderr.txt";
    p.pid = fork();
    if (p.pid == 0) {
        dup2(open(p.outpath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(open(p.errpath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
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
    return p;
}

bool ProcessRunning(const Proc &p) { return p.pid > 0 && waitpid(p.pid, nullptr, WNOHANG) == 0; }

ProcResult WaitProcess(Proc &p, int timeout_s)
{
    ProcResult r;
    if (p.pid <= 0)
        return r;
    int st = 0, late = 0;
    for (int waited = 0; waitpid(p.pid, &st, WNOHANG) != p.pid; waited++) {
        if ((late = waited >= timeout_s * 100)) {
            kill(p.pid, SIGKILL);
            waitpid(p.pid, &st, 0);
            break;
        }
        usleep(10000);
    }
    p.pid = -1;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    ReadFile(p.outpath, &r.out);
    ReadFile(p.errpath, &r.err);
    if (late)   /* named in every failure that prints the output */
        r.err += "\n[killed: still running after its " + std::to_string(timeout_s) + " s]\n";
    return r;
}

ProcResult RunProcess(const std::vector<std::string> &argv, const std::string &dir,
                      const std::vector<std::string> &env, int timeout_s)
{
    TempDir out;
    Proc p = StartProcess(argv, dir, env, out.path);
    return WaitProcess(p, timeout_s);
}

ProcResult RunSelf(const std::string &test, const std::vector<std::string> &env, int timeout_s)
{
    return RunProcess({"/proc/self/exe", "--gtest_filter=" + test}, "", env, timeout_s);   /* the fork's own program */
}

/* Windows may vanish while they are looked at. */
static int IgnoreXError(Display *, XErrorEvent *) { return 0; }

/* Xvfb picks a free display itself and names it through -displayfd once it
 * takes connections; other tests' windows cannot take its focus or pointer. */
bool PrivateDisplay::Start(const std::string &screen)
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", std::to_string(fds[1]).c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", (char *)nullptr);
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    struct pollfd pf = {fds[0], POLLIN, 0};
    char c;
    while (pid > 0 && poll(&pf, 1, 15000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty()) {
        Stop();
        return false;
    }
    const char *old = getenv("DISPLAY");
    hadold = old != nullptr;
    olddisplay = old ? old : "";
    display = ":" + number;
    setenv("DISPLAY", display.c_str(), 1);
    XSetErrorHandler(IgnoreXError);
    return true;
}

void PrivateDisplay::Stop()
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    pid = -1;
    if (hadold)
        setenv("DISPLAY", olddisplay.c_str(), 1);
    else
        unsetenv("DISPLAY");
}

/* xdotool's search, polled four times a second: the first window found. */
static unsigned long Search(const std::vector<std::string> &how, int timeout_ms)
{
    std::vector<std::string> argv = {"/usr/bin/xdotool", "search"};
    argv.insert(argv.end(), how.begin(), how.end());
    for (int t = 0; t <= timeout_ms; t += 250) {
        if (unsigned long w = strtoul(RunProcess(argv, "", {}, 10).out.c_str(), nullptr, 10))
            return w;
        usleep(250000);
    }
    return 0;
}

unsigned long X11_FindWindowOfPid(int pid, int timeout_ms)
{
    XSetErrorHandler(IgnoreXError);
    return Search({"--pid", std::to_string(pid)}, timeout_ms);
}

unsigned long X11_FindWindowByName(const std::string &regex, int timeout_s)
{
    return Search({"--onlyvisible", "--name", regex}, timeout_s * 1000);
}

bool X11_SendCloseRequest(unsigned long window)
{
    Display *d = XOpenDisplay(nullptr);
    if (!d)
        return false;
    XEvent ev = {};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = window;
    ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = (long)XInternAtom(d, "WM_DELETE_WINDOW", False);
    ev.xclient.data.l[1] = CurrentTime;
    Status s = XSendEvent(d, window, False, NoEventMask, &ev);
    XFlush(d);
    XCloseDisplay(d);
    return s != 0;
}

bool X11_WindowGeometry(unsigned long window, int *x, int *y, int *w, int *h)
{
    Display *d = XOpenDisplay(nullptr);
    if (!d)
        return false;
    XWindowAttributes a;
    Window child;
    bool ok = XGetWindowAttributes(d, window, &a) &&
              XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, x, y, &child);
    *w = a.width;
    *h = a.height;
    XCloseDisplay(d);
    return ok;
}

bool Xdotool(const std::vector<std::string> &args, int settle_ms)
{
    std::vector<std::string> argv = {"/usr/bin/xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    bool ok = RunProcess(argv, "", {}, 20).status == 0;
    usleep(settle_ms * 1000);
    return ok;
}

} // namespace gk
