/*
 * fs.h -- the engine's file layer.  A path is first tried as a plain file
 * on disk; when opened for reading and not on disk it is looked up in the
 * zip archives mounted at start-up.  Archive members are read whole into
 * memory at open (stored or deflated) and checked against their CRC-32.
 * Writing always goes to disk.
 */
#ifndef FS_H
#define FS_H

#include <stddef.h>
#include <stdint.h>

#define FS_MAX_PATH 255  /* paths must be shorter than this */

typedef struct fsfile_s fsfile_t;

/* Registers every member of a zip archive under prefix + member name.
 * 1 when the whole central directory was read, else 0 (entries read before
 * a failure stay registered).  The archive mounted last wins a name. */
int FS_Mount(const char *archive, const char *prefix);

/* fopen-style mode ("rb", "rt", "wb").  NULL on any failure. */
fsfile_t *FS_Open(const char *path, const char *mode);
uint32_t FS_Length(fsfile_t *f);
size_t FS_Read(void *buf, size_t size, size_t count, fsfile_t *f);
size_t FS_Write(const void *buf, size_t size, size_t count, fsfile_t *f);
void FS_Close(fsfile_t *f);

/* Reads a whole file; *len receives its size.  The buffer has one extra
 * zero byte after the data; free it with FS_FreeFile.  NULL on failure. */
unsigned char *FS_LoadFile(const char *path, uint32_t *len);
void FS_FreeFile(unsigned char *data);

/* Forgets every mounted archive (tests and exit). */
void FS_Shutdown(void);

#endif
