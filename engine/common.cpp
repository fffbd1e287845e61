/*
 * common.cpp -- the engine log, the process-wide settings every subsystem
 * reads (data directory, country code), the game clock floats and a few
 * string helpers.
 */
#include "common.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

char com_datadir[MAX_OSPATH] = "data/";
int com_countrycode = 0;
float eng_gametime = 0.0f;
float eng_lastgametime = 0.0f;

static int com_logmode = -1; /* -1 unknown, 0 discard, 1 standard error */

void Com_Printf(const char *fmt, ...)
{
    if (com_logmode < 0) {
        const char *v = getenv("VEX_LOG");
        com_logmode = (v && strcmp(v, "1") == 0) ? 1 : 0;
    }
    if (!com_logmode)
        return;
    va_list ap;
    va_start(ap, fmt);
    vfprintf(stderr, fmt, ap);
    va_end(ap);
}

void Com_Strncpy(char *dst, const char *src, size_t n)
{
    if (n == 0)
        return;
    size_t i = 0;
    for (; i + 1 < n && src[i]; i++)
        dst[i] = src[i];
    dst[i] = 0;
}

int Com_WriteFile(const char *path, const void *data, size_t size)
{
    FILE *f = fopen(path, "wb");
    if (!f)
        return 0;
    int ok = (size == 0 || fwrite(data, 1, size, f) == size) && fflush(f) == 0;
    int err = errno;
    if (fclose(f) != 0 && ok) {
        ok = 0;
        err = errno;
    }
    if (!ok && err == 0)
        err = EIO;
    errno = err;
    return ok;
}
