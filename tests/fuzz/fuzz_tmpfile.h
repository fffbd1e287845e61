/*
 * fuzz_tmpfile.h -- for fuzz targets whose readers take a file name: the
 * input is written to a file in a private scratch directory of the
 * process, made once and reused for every run.  The directory is on
 * /dev/shm when there is one: rewriting a file on a disk file system can
 * cost milliseconds, which would leave the fuzzer a few hundred runs a
 * second.
 */
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
    if (!dir[0]) {
        strcpy(dir, "/dev/shm/gkfuzz.XXXXXX");
        if (!mkdtemp(dir)) {
            strcpy(dir, "/tmp/gkfuzz.XXXXXX");
            if (!mkdtemp(dir))
                abort();
        }
    }
    return dir;
}

/* Writes the input as Fuzz_Dir()/name and returns the full path. */
static inline const char *Fuzz_WriteFile(const char *name, const uint8_t *data, size_t size)
{
    static char path[256];
    snprintf(path, sizeof(path), "%s/%s", Fuzz_Dir(), name);
    FILE *f = fopen(path, "wb");
    if (!f)
        abort();
    if (size && fwrite(data, 1, size, f) != size)
        abort();
    fclose(f);
    return path;
}

#endif
