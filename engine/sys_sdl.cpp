/*
 * sys_sdl.cpp -- the platform services every subsystem may use: the
 * millisecond clock (replaceable for tests), message boxes (printed to
 * standard error in headless runs) and the lock that keeps a second engine
 * window from opening on the same display.
 */
#include "common.h"
#include "sys.h"

#include <SDL.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

static sys_clock_f sys_clock;
static int sys_lockfd = -1;

uint32_t Sys_Milliseconds(void)
{
    if (sys_clock)
        return sys_clock();
    return (uint32_t)SDL_GetTicks();
}

void Sys_SetClock(sys_clock_f clock)
{
    sys_clock = clock;
}

int Sys_Headless(void)
{
    const char *v = getenv("GACKATRON_HEADLESS");
    return v && strcmp(v, "1") == 0;
}

void Sys_MessageBox(const char *caption, const char *text)
{
    if (!text)
        text = "";
    fflush(stdout);
    if (Sys_Headless() ||
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, NULL) < 0) {
        fprintf(stderr, "%s: %s\n", caption, text);
        fflush(stderr);
    }
}

/* One engine window per display: an advisory lock on a file named after
 * the user and the display, in the user's private runtime directory when
 * there is one.  A link planted under the lock's name is not followed, and
 * a file that is not the user's own is not used. */
int Sys_AcquireInstanceLock(void)
{
    if (sys_lockfd >= 0)
        return 1;
    const char *display = getenv("DISPLAY");
    const char *dir = getenv("XDG_RUNTIME_DIR");
    if (!dir || dir[0] != '/')
        dir = "/tmp";
    char file[MAX_OSPATH], name[2 * MAX_OSPATH];
    snprintf(file, sizeof(file), "vexengine-%u-%s.lock", (unsigned)getuid(),
             display && display[0] ? display : "none");
    for (char *p = file; *p; p++)
        if (*p == '/')
            *p = '_';
    snprintf(name, sizeof(name), "%s/%s", dir, file);
    int fd = open(name, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return 1; /* no lock to be had: do not refuse the game for that */
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != getuid()) {
        close(fd);
        return 1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return 0;
    }
    sys_lockfd = fd;
    return 1;
}

void Sys_ReleaseInstanceLock(void)
{
    if (sys_lockfd >= 0) {
        close(sys_lockfd);
        sys_lockfd = -1;
    }
}
