/* The fuzz input written to a scratch file (on /dev/shm when there is one), for readers that take a file name. */
#ifndef FUZZ_TMPFILE_H
#define FUZZ_TMPFILE_H

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static inline const char *Fuzz_Dir(void)
{
    static char dir[64];
    if (!dir[0] && !mkdtemp(strcpy(dir, "/dev/shm/gkfuzz.XXXXXX")) && !mkdtemp(strcpy(dir, "/tmp/gkfuzz.XXXXXX")))
        abort();
    return dir;
}

/* Writes the input as Fuzz_Dir()/name and returns the full path. */
static inline const char *Fuzz_WriteFile(const char *name, const uint8_t *data, size_t size)
{
    static char path[256];
    snprintf(path, sizeof(path), "%s/%s", Fuzz_Dir(), name);
    FILE *f = fopen(path, "wb");
    if (!f || (size && fwrite(data, 1, size, f) != size))
        abort();
    fclose(f);
    return path;
}

#endif
