/*
 * fs.cpp -- the engine's file layer: plain files on disk first, then the
 * members of mounted zip archives.  Mounting reads an archive's central
 * directory into one sorted directory of full engine paths (the archive
 * mounted last wins a name), so mounting n members takes n log n steps.
 * Opening a member reads it whole into memory, inflating deflated members,
 * and checks its CRC-32.  Every size and offset taken from an archive is
 * checked against the real length of the archive file before it is used,
 * and no member may unpack to more than any game file needs: an archive
 * that breaks this is damaged, and the engine tells the player so.
 * Files the engine writes replace their old contents in one step.
 */
#include "fs.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <libdeflate.h>
#include <zlib.h>

#include "bytes.h"
#include "common.h"

#define ZIP_EOCD_BYTES 22
#define ZIP_CENTRAL_BYTES 46
#define ZIP_LOCAL_BYTES 30
#define ZIP_LOCAL_SIG 0x04034b50u
#define ZIP_MAX_RATIO 1032u /* deflate cannot expand by more than this */
#define ZIP_MAX_DIRECTORY (64L << 20) /* 65535 members of the longest names take 20 MB */

typedef struct {
    int archive;            /* index into fs_archives */
    uint32_t offset;        /* local header offset */
    uint32_t crc, size;     /* as the central directory gives them */
    uint16_t namestart;     /* where the member name begins after the prefix */
} fs_entry_t;

struct fsfile_s {
    int binary;
    FILE *disk;             /* a disk file, or */
    unsigned char *data;    /* a memory file */
    uint32_t size;
    uint32_t pos;
};

/* Mounting happens before anything is opened; afterwards the directory
 * and the archive list are only read, from any thread. */
static std::vector<std::string> fs_archives;
static std::map<std::string, fs_entry_t> fs_files;

/* The first archive found damaged, and why; which archives are. */
static std::mutex fs_damagelock;
static int fs_damaged = -1;
static char fs_damagewhy[256];
static std::vector<unsigned char> fs_broken;

static void FS_Damaged(int archive, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
static void FS_Damaged(int archive, const char *fmt, ...)
{
    char why[sizeof(fs_damagewhy)];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(why, sizeof(why), fmt, ap);
    va_end(ap);
    const char *name = fs_archives[(size_t)archive].c_str();
    Com_Printf("# FS: %s is damaged: %s\n", name, why);
    std::lock_guard<std::mutex> hold(fs_damagelock);
    fs_broken.resize(fs_archives.size());
    fs_broken[(size_t)archive] = 1;
    if (fs_damaged < 0) {
        fs_damaged = archive;
        Com_Strncpy(fs_damagewhy, why, sizeof(fs_damagewhy));
    }
}

const char *FS_DamagedArchive(char *why, size_t size)
{
    std::lock_guard<std::mutex> hold(fs_damagelock);
    if (fs_damaged < 0)
        return NULL;
    if (why)
        Com_Strncpy(why, fs_damagewhy, size);
    return fs_archives[(size_t)fs_damaged].c_str();
}

uint32_t FS_ArchiveDigest(void)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    for (const auto &f : fs_files) { /* in name order */
        const char *name = f.first.c_str() + f.second.namestart;
        unsigned char sums[8];
        for (int i = 0; i < 4; i++) { /* little-endian, as in the archive */
            sums[i] = (unsigned char)(f.second.crc >> (8 * i));
            sums[4 + i] = (unsigned char)(f.second.size >> (8 * i));
        }
        crc = crc32(crc, (const Bytef *)name, (uInt)strlen(name) + 1);
        crc = crc32(crc, sums, sizeof(sums));
    }
    return (uint32_t)crc;
}

void FS_Shutdown(void)
{
    fs_files.clear();
    fs_archives.clear();
    std::lock_guard<std::mutex> hold(fs_damagelock);
    fs_damaged = -1;
    fs_damagewhy[0] = 0;
    fs_broken.clear();
}

/* ---- mounting ---------------------------------------------------------- */

static int FS_ReadAt(FILE *f, long pos, void *buf, size_t len)
{
    if (fseek(f, pos, SEEK_SET) != 0)
        return 0;
    return fread(buf, 1, len, f) == len;
}

static long FS_FileSize(FILE *f)
{
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return (long)st.st_size;
}

/* Finds the end record by the backward scan for a comment length equal to
 * its distance from the end; returns its file position or -1. */
static long FS_FindEndRecord(FILE *f, long size)
{
    long span = size < 65535 + ZIP_EOCD_BYTES ? size : 65535 + ZIP_EOCD_BYTES;
    if (span < ZIP_EOCD_BYTES)
        return -1;
    std::vector<unsigned char> tail((size_t)span);
    if (!FS_ReadAt(f, size - span, tail.data(), (size_t)span))
        return -1;
    bytes_reader_t r;
    Bytes_InitReader(&r, tail.data(), tail.size());
    for (long k = 0; 2 + k < 65535; k++) {
        uint16_t commentlen;
        if (ZIP_EOCD_BYTES + k > span)
            return -1;
        if (Bytes_Seek(&r, (size_t)(span - 2 - k)) && Bytes_ReadU16(&r, &commentlen) && commentlen == k)
            return size - ZIP_EOCD_BYTES - k;
    }
    return -1;
}

/* The fields of a central directory entry that the reader uses. */
typedef struct {
    uint16_t flags, method, namelen, extralen, commentlen;
    uint32_t crc, usize;
    uint32_t offset;            /* of the local header */
} zip_central_t;

static void FS_ParseCentral(const unsigned char *h, zip_central_t *c)
{
    bytes_reader_t r;
    Bytes_InitReader(&r, h, ZIP_CENTRAL_BYTES);
    Bytes_Seek(&r, 8);
    Bytes_ReadU16(&r, &c->flags);
    Bytes_ReadU16(&r, &c->method);
    Bytes_Seek(&r, 16);
    Bytes_ReadU32(&r, &c->crc);
    Bytes_Seek(&r, 24);
    Bytes_ReadU32(&r, &c->usize);
    Bytes_ReadU16(&r, &c->namelen);
    Bytes_ReadU16(&r, &c->extralen);
    Bytes_ReadU16(&r, &c->commentlen);
    Bytes_Seek(&r, 42);
    Bytes_ReadU32(&r, &c->offset);
}

/* Enters one member; 0 when the directory is full. */
static int FS_Insert(const char *prefix, const char *name, const zip_central_t *c, int archive)
{
    std::string path = std::string(prefix) + name;
    auto it = fs_files.find(path);
    if (it == fs_files.end() && fs_files.size() >= FS_MAX_MEMBERS)
        return 0;
    fs_entry_t e = {archive, c->offset, c->crc, c->usize, (uint16_t)strlen(prefix)};
    if (it != fs_files.end())
        it->second = e; /* the archive mounted last wins */
    else
        fs_files.emplace(std::move(path), e);
    return 1;
}

/* Reads the central directory entries (read whole, so a large directory
 * costs one read, not two a member); 1 when all were read. */
static int FS_ReadCentral(FILE *f, long cdstart, long cdend, unsigned count, int archive,
                          const char *prefix)
{
    size_t prefixlen = strlen(prefix);
    if (cdend - cdstart > ZIP_MAX_DIRECTORY) {
        Com_Printf("# FS_Mount: %s: a central directory of %ld bytes is more than an archive of game files has\n",
                   fs_archives[(size_t)archive].c_str(), cdend - cdstart);
        return 0;
    }
    std::vector<unsigned char> dir((size_t)(cdend - cdstart) + 1);
    if (!FS_ReadAt(f, cdstart, dir.data(), dir.size() - 1))
        return 0;
    size_t pos = 0, end = dir.size() - 1;
    char name[FS_MAX_PATH + 1];
    for (unsigned i = 0; i < count; i++) {
        if (pos + ZIP_CENTRAL_BYTES > end)
            return 0;
        zip_central_t c;
        FS_ParseCentral(&dir[pos], &c);
        if (c.flags & 8)
            return 0;
        if (prefixlen >= FS_MAX_PATH || c.namelen >= FS_MAX_PATH - prefixlen)
            return 0;
        size_t next = pos + ZIP_CENTRAL_BYTES + c.namelen + c.extralen + c.commentlen;
        if (next > end)
            return 0;
        memcpy(name, &dir[pos + ZIP_CENTRAL_BYTES], c.namelen);
        name[c.namelen] = 0;
        pos = next;
        if (c.namelen == 0 || name[c.namelen - 1] == '/' || strlen(name) != c.namelen)
            continue;
        if (c.method != 0 && c.method != 8)
            continue;
        if (c.usize > FS_MAX_MEMBER_SIZE) {
            FS_Damaged(archive, "%s: it would unpack to %u bytes, more than the %u a game file may have", name,
                       (unsigned)c.usize, (unsigned)FS_MAX_MEMBER_SIZE);
            continue;
        }
        if (!FS_Insert(prefix, name, &c, archive)) {
            Com_Printf("# FS_Mount: %s: more than %d members in the mounted archives, the rest is left out\n",
                       fs_archives[(size_t)archive].c_str(), FS_MAX_MEMBERS);
            return 0;
        }
    }
    return 1;
}

int FS_Mount(const char *archive, const char *prefix)
{
    FILE *f = fopen(archive, "rb");
    if (!f)
        return 0;
    int index = (int)fs_archives.size();
    fs_archives.push_back(archive);
    int ok = 0;
    long size = FS_FileSize(f);
    long eocd = size < 0 ? -1 : FS_FindEndRecord(f, size);
    unsigned char rec[ZIP_EOCD_BYTES];
    if (eocd >= 0 && FS_ReadAt(f, eocd, rec, sizeof(rec))) {
        bytes_reader_t r;
        uint16_t count;
        uint32_t cdsize;
        Bytes_InitReader(&r, rec, sizeof(rec));
        Bytes_Seek(&r, 10);
        Bytes_ReadU16(&r, &count);
        Bytes_ReadU32(&r, &cdsize);
        if ((long)cdsize <= eocd)
            ok = FS_ReadCentral(f, eocd - (long)cdsize, eocd, count, index, prefix);
    }
    fclose(f);
    std::lock_guard<std::mutex> hold(fs_damagelock);
    return ok && !((size_t)index < fs_broken.size() && fs_broken[(size_t)index]);
}

/* ---- opening ----------------------------------------------------------- */

/* Whole members at once: libdeflate's one-shot decompressor is about twice
 * as fast as zlib's stream, and loading a level is mostly inflating.  One
 * decompressor a thread, so members may be read on more than one. */
static unsigned char *FS_Inflate(const unsigned char *src, uint32_t csize, uint32_t usize, int *bad)
{
    static thread_local struct libdeflate_decompressor *dec;
    if (!dec && !(dec = libdeflate_alloc_decompressor()))
        return NULL;
    unsigned char *out = (unsigned char *)malloc((size_t)usize + 1);
    if (!out)
        return NULL;
    size_t produced = 0;
    /* one spare byte reveals a member longer than claimed */
    enum libdeflate_result st = libdeflate_deflate_decompress(dec, src, csize, out, (size_t)usize + 1, &produced);
    if (st != LIBDEFLATE_SUCCESS || produced != usize) {
        free(out);
        *bad = 1;
        return NULL;
    }
    return out;
}

/* The fields of a local header that the reader uses. */
typedef struct {
    uint16_t method, namelen, extralen;
    uint32_t crc, csize, usize;
} zip_local_t;

/* 0 when the header does not start with the local header signature. */
static int FS_ParseLocal(const unsigned char *h, zip_local_t *l)
{
    bytes_reader_t r;
    uint32_t sig;
    Bytes_InitReader(&r, h, ZIP_LOCAL_BYTES);
    Bytes_ReadU32(&r, &sig);
    Bytes_Seek(&r, 8);
    Bytes_ReadU16(&r, &l->method);
    Bytes_Seek(&r, 14);
    Bytes_ReadU32(&r, &l->crc);
    Bytes_ReadU32(&r, &l->csize);
    Bytes_ReadU32(&r, &l->usize);
    Bytes_ReadU16(&r, &l->namelen);
    Bytes_ReadU16(&r, &l->extralen);
    return sig == ZIP_LOCAL_SIG;
}

/* The member's local header, checked against the file and the central
 * directory; NULL when it is sound, else what is wrong with it. */
static const char *FS_CheckLocal(FILE *f, long size, const fs_entry_t *e, zip_local_t *l, uint64_t *start)
{
    unsigned char h[ZIP_LOCAL_BYTES];
    if ((uint64_t)e->offset + ZIP_LOCAL_BYTES > (uint64_t)size)
        return "its local header lies past the end of the archive";
    if (!FS_ReadAt(f, (long)e->offset, h, sizeof(h)) || !FS_ParseLocal(h, l))
        return "its local header has no signature";
    if (l->crc != e->crc || l->usize != e->size)
        return "its local header and the central directory disagree";
    *start = (uint64_t)e->offset + ZIP_LOCAL_BYTES + l->namelen + l->extralen;
    if (*start + l->csize > (uint64_t)size)
        return "its data runs past the end of the archive";
    if (l->method == 0 ? l->usize != l->csize
                       : l->method != 8 || (uint64_t)l->usize > (uint64_t)l->csize * ZIP_MAX_RATIO + 64)
        return "its sizes do not fit its method";
    return NULL;
}

/* Reads, inflates and checks one member; NULL on any fault, and a member
 * that is not what its archive says marks the archive damaged. */
static unsigned char *FS_ReadMember(const std::string &path, const fs_entry_t *e, uint32_t *len)
{
    FILE *f = fopen(fs_archives[(size_t)e->archive].c_str(), "rb");
    if (!f)
        return NULL;
    unsigned char *data = NULL, *raw = NULL;
    long size = FS_FileSize(f);
    const char *why = NULL;
    int bad = 0;
    do {
        zip_local_t l;
        uint64_t start = 0;
        if (size < 0 || (why = FS_CheckLocal(f, size, e, &l, &start)) != NULL)
            break;
        raw = (unsigned char *)malloc((size_t)l.csize + 1);
        if (!raw || !FS_ReadAt(f, (long)start, raw, l.csize))
            break;
        if (l.method == 0) {
            data = raw;
            raw = NULL;
        } else if (!(data = FS_Inflate(raw, l.csize, l.usize, &bad))) {
            why = bad ? "its deflated data is broken" : NULL;
            break;
        }
        if (libdeflate_crc32(0, data, l.usize) != l.crc) {
            why = "its data fails its CRC-32";
            free(data);
            data = NULL;
            break;
        }
        data[l.usize] = 0;
        *len = l.usize;
    } while (0);
    free(raw);
    fclose(f);
    if (why)
        FS_Damaged(e->archive, "%s: %s", path.c_str() + e->namestart, why);
    return data;
}

fsfile_t *FS_Open(const char *path, const char *mode)
{
    if (!path || !mode || strlen(path) >= FS_MAX_PATH)
        return NULL;
    int reading = strchr(mode, 'r') != NULL;
    FILE *disk = fopen(path, mode);
    if (disk && reading && FS_FileSize(disk) < 0) { /* a directory is no file */
        fclose(disk);
        disk = NULL;
    }
    fsfile_t *f = (fsfile_t *)calloc(1, sizeof(fsfile_t));
    if (!f) {
        if (disk)
            fclose(disk);
        return NULL;
    }
    f->binary = strchr(mode, 'b') != NULL;
    if (disk) {
        f->disk = disk;
        return f;
    }
    auto e = reading ? fs_files.find(path) : fs_files.end();
    if (e != fs_files.end())
        f->data = FS_ReadMember(e->first, &e->second, &f->size);
    if (!f->data) {
        free(f);
        return NULL;
    }
    return f;
}

uint32_t FS_Length(fsfile_t *f)
{
    if (!f)
        return 0;
    if (f->disk) {
        struct stat st;
        if (fflush(f->disk) != 0 || fstat(fileno(f->disk), &st) != 0)
            return 0;
        return st.st_size > 0xffffffffLL ? 0xffffffffu : (uint32_t)st.st_size;
    }
    return f->size;
}

size_t FS_Read(void *buf, size_t size, size_t count, fsfile_t *f)
{
    if (!f || !buf || size == 0 || count == 0)
        return 0;
    if (f->disk)
        return fread(buf, size, count, f->disk);
    size_t avail = (f->size - f->pos) / size;
    size_t n = count < avail ? count : avail;
    memcpy(buf, f->data + f->pos, n * size);
    f->pos += (uint32_t)(n * size);
    return n;
}

size_t FS_Write(const void *buf, size_t size, size_t count, fsfile_t *f)
{
    if (!f || !f->disk || !buf || size == 0 || count == 0)
        return 0;
    return fwrite(buf, size, count, f->disk);
}

void FS_Close(fsfile_t *f)
{
    if (!f)
        return;
    if (f->disk)
        fclose(f->disk);
    free(f->data);
    free(f);
}

unsigned char *FS_LoadFile(const char *path, uint32_t *len)
{
    fsfile_t *f = FS_Open(path, "rb");
    if (!f)
        return NULL;
    uint32_t n = FS_Length(f);
    if (!f->disk) { /* an archive member is already whole and terminated: no copy */
        unsigned char *data = f->data;
        f->data = NULL;
        FS_Close(f);
        if (len)
            *len = n;
        return data;
    }
    unsigned char *buf = (unsigned char *)malloc((size_t)n + 1);
    if (buf && n > 0 && FS_Read(buf, n, 1, f) != 1) {
        free(buf);
        buf = NULL;
    }
    FS_Close(f);
    if (!buf)
        return NULL;
    buf[n] = 0;
    if (len)
        *len = n;
    return buf;
}

void FS_FreeFile(unsigned char *data)
{
    free(data);
}

/* ---- replacing files ----------------------------------------------------- */

/* The folder and the file name part of path. */
static std::string FS_Folder(const char *path, const char **base)
{
    const char *slash = strrchr(path, '/');
    *base = slash ? slash + 1 : path;
    if (!slash)
        return ".";
    return slash == path ? "/" : std::string(path, (size_t)(slash - path));
}

/* The process id of a temporary file name base + ".tmp<pid>.<n>"; 0 when
 * the name is not one. */
static long FS_TempOwner(const char *name, const char *base)
{
    size_t n = strlen(base);
    if (strncmp(name, base, n) != 0 || strncmp(name + n, ".tmp", 4) != 0)
        return 0;
    char *end;
    long pid = strtol(name + n + 4, &end, 10);
    if (pid <= 0 || *end != '.' || end[1] < '0' || end[1] > '9')
        return 0;
    strtol(end + 1, &end, 10);
    return *end ? 0 : pid;
}

void FS_RemoveStaleTemps(const char *path)
{
    const char *base;
    std::string folder = FS_Folder(path, &base);
    DIR *d = opendir(folder.c_str());
    if (!d)
        return;
    while (struct dirent *de = readdir(d)) {
        long pid = FS_TempOwner(de->d_name, base);
        if (!pid || pid == (long)getpid() || kill((pid_t)pid, 0) == 0 || errno != ESRCH)
            continue; /* not one, or its writer may still be at work */
        std::string name = folder + "/" + de->d_name;
        struct stat st;
        if (lstat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
            unlink(name.c_str()) == 0)
            Com_Printf("* removed %s, left by an ended process\n", name.c_str());
    }
    closedir(d);
}

int FS_CreateTemp(const char *path, char *tmp, size_t size)
{
    FS_RemoveStaleTemps(path);
    for (int n = 0; n < 100; n++) {
        if (snprintf(tmp, size, "%s.tmp%ld.%d", path, (long)getpid(), n) >= (int)size) {
            errno = ENAMETOOLONG;
            return -1;
        }
        /* never one that was there before, so no planted link is followed */
        int fd = open(tmp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

int FS_SyncFile(const char *path)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    int ok = fsync(fd) == 0;
    int err = errno;
    close(fd);
    errno = err;
    return ok;
}

int FS_ReplaceWith(const char *tmp, const char *path)
{
    if (!FS_SyncFile(tmp) || rename(tmp, path) != 0) {
        int err = errno;
        unlink(tmp);
        errno = err;
        return 0;
    }
    const char *base;
    std::string folder = FS_Folder(path, &base);
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) { /* the new name on disk too; the data is there already */
        fsync(fd);
        close(fd);
    }
    return 1;
}
