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
/* What a member may unpack to: the game's largest file (a 2048 x 1024 sky
 * texture of 6 MiB) with a margin.  A member past it makes its archive
 * damaged, so a small archive cannot make the engine hold gigabytes. */
#define FS_LARGEST_GAME_FILE (6u << 20)
#define FS_MEMBER_MARGIN 4
#define FS_MAX_MEMBER_SIZE (FS_LARGEST_GAME_FILE * FS_MEMBER_MARGIN)
/* Members of all mounted archives together (the game has a few hundred). */
#define FS_MAX_MEMBERS 65535

typedef struct fsfile_s fsfile_t;

/* Registers every member of a zip archive under prefix + member name.
 * 1 when the whole central directory was read and nothing in it was
 * damaged, else 0 (entries read before a failure stay registered).  The
 * archive mounted last wins a name. */
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

/* The first mounted archive found damaged (a member past
 * FS_MAX_MEMBER_SIZE, or one whose header, data or CRC-32 is not what the
 * archive says), with the member and the reason in why; NULL while none
 * is.  Safe to call from any thread. */
const char *FS_DamagedArchive(char *why, size_t size);

/* CRC-32 over the name (after the prefix), CRC-32 and size of every
 * member the mounted archives give the game, in name order. */
uint32_t FS_ArchiveDigest(void);

/* Replacing a file in one step.  FS_CreateTemp makes a new empty file
 * beside path (path + ".tmp<pid>.<n>") after removing those that ended
 * processes left there, and returns it open for writing (-1 with errno
 * when it cannot).  FS_ReplaceWith flushes tmp to disk and renames it over
 * path: 1, or 0 with errno after removing tmp (path is left as it was). */
int FS_CreateTemp(const char *path, char *tmp, size_t size);
int FS_SyncFile(const char *path);
int FS_ReplaceWith(const char *tmp, const char *path);
void FS_RemoveStaleTemps(const char *path);

#endif
