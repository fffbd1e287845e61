/*
 * gk_proc.cpp -- background processes and X11 window helpers for the tests
 * that drive a real engine window: start, wait with a time-out, find the
 * window a process opened and ask it to close as a window manager would.
 */
#include "gk_support.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace gk {

Proc StartProcess(const std::vector<std::string> &argv, const std::string &dir,
                  const std::vector<std::string> &env, const std::string &outdir)
{
    Proc p;
    p.outpath = outdir + "/stdout.txt";
    p.errpath = outdir + "/stderr.txt";
    pid_t pid = fork();
    if (pid == 0) {
        int o = open(p.outpath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int e = open(p.errpath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(o, 1);
        dup2(e, 2);
        ExecChild(argv, dir, env);
    }
    p.pid = pid;
    return p;
}

bool ProcessRunning(const Proc &p)
{
    return p.pid > 0 && waitpid(p.pid, nullptr, WNOHANG) == 0;
}

ProcResult WaitProcess(Proc &p, int timeout_s)
{
    ProcResult r;
    if (p.pid <= 0)
        return r;
    int st = 0;
    int waited = 0;
    for (;;) {
        pid_t w = waitpid(p.pid, &st, WNOHANG);
        if (w == p.pid)
            break;
        if (waited >= timeout_s * 100) {
            kill(p.pid, SIGKILL);
            waitpid(p.pid, &st, 0);
            break;
        }
        usleep(10000);
        waited++;
    }
    p.pid = -1;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    ReadFile(p.outpath, &r.out);
    ReadFile(p.errpath, &r.err);
    return r;
}

static Window FindPid(Display *d, Window w, Atom pidatom, unsigned long pid)
{
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(d, w, pidatom, 0, 1, False, XA_CARDINAL, &type, &format, &n, &after,
                           &data) == Success && data) {
        unsigned long v = n ? *(unsigned long *)data : 0;
        XFree(data);
        if (n && v == pid)
            return w;
    }
    Window root, parent, *kids = nullptr;
    unsigned int nk = 0;
    Window found = 0;
    if (XQueryTree(d, w, &root, &parent, &kids, &nk)) {
        for (unsigned int i = 0; i < nk && !found; i++)
            found = FindPid(d, kids[i], pidatom, pid);
        if (kids)
            XFree(kids);
    }
    return found;
}

/* Windows may vanish while the tree is walked. */
static int IgnoreXError(Display *, XErrorEvent *) { return 0; }

unsigned long X11_FindWindowOfPid(int pid, int timeout_ms)
{
    XSetErrorHandler(IgnoreXError);
    Display *d = XOpenDisplay(nullptr);
    if (!d)
        return 0;
    Atom pidatom = XInternAtom(d, "_NET_WM_PID", False);
    Window found = 0;
    for (int t = 0; t <= timeout_ms && !found; t += 50) {
        found = FindPid(d, DefaultRootWindow(d), pidatom, (unsigned long)pid);
        if (!found)
            usleep(50000);
    }
    XCloseDisplay(d);
    return found;
}

bool X11_SendCloseRequest(unsigned long window)
{
    Display *d = XOpenDisplay(nullptr);
    if (!d)
        return false;
    XEvent ev;
    memset(&ev, 0, sizeof(ev));
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

bool Xdotool(const std::vector<std::string> &args)
{
    std::vector<std::string> argv = {"/usr/bin/xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, "", {}, 20).status == 0;
}

} // namespace gk
