/*
 * gk_xvfb.cpp -- a private X server for one test: windows of other tests
 * running at the same time cannot take its focus, pointer or the engine's
 * one-window-per-display lock.  Xvfb picks a free display itself and tells
 * it through -displayfd once it takes connections.
 */
#include "gk_support.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

namespace gk {

static int IgnoreXError(Display *, XErrorEvent *) { return 0; }

bool PrivateDisplay::Start(const std::string &screen)
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    pid_t p = fork();
    if (p == 0) {
        close(fds[0]);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", (char *)nullptr);
        _exit(127);
    }
    close(fds[1]);
    if (p < 0) {
        close(fds[0]);
        return false;
    }
    pid = p;
    std::string number;
    struct pollfd pf = {fds[0], POLLIN, 0};
    while (poll(&pf, 1, 15000) > 0) {
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
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
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = -1;
        if (hadold)
            setenv("DISPLAY", olddisplay.c_str(), 1);
        else
            unsetenv("DISPLAY");
    }
}

} // namespace gk
