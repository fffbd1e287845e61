/*
 * fs.cpp -- the engine's file layer: plain files on disk first, then the
 * members of mounted zip archives.  Mounting reads an archive's central
 * directory into a tree of directory nodes keyed by full engine path (the
 * archive mounted last wins a name).  Opening a member reads it whole into
 * memory, inflating deflated members with zlib, and checks its CRC-32.
 * Every size and offset taken from an archive is checked against the real
 * length of the archive file before it is used.
 */
#include "fs.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include <libdeflate.h>
#include <zlib.h>

#include "bytes.h"

#define ZIP_EOCD_BYTES 22
#define ZIP_CENTRAL_BYTES 46
#define ZIP_LOCAL_BYTES 30
#define ZIP_LOCAL_SIG 0x04034b50u
#define ZIP_MAX_RATIO 1032u /* deflate cannot expand by more than this */

typedef struct {
    int archive;            /* index into fs_archives */
    std::string name;
    uint32_t offset;        /* local header offset */
} fs_entry_t;

typedef struct fs_dir_s {
    std::string name;
    std::vector<struct fs_dir_s *> dirs;
    std::vector<fs_entry_t> files;
} fs_dir_t;

struct fsfile_s {
    int binary;
    FILE *disk;             /* a disk file, or */
    unsigned char *data;    /* a memory file */
    uint32_t size;
    uint32_t pos;
};

static std::vector<std::string> fs_archives;
static fs_dir_t *fs_root;

/* ---- directory tree ---------------------------------------------------- */

static fs_dir_t *FS_SubDir(fs_dir_t *d, const std::string &name, int create)
{
    for (fs_dir_t *s : d->dirs)
        if (s->name == name)
            return s;
    if (!create)
        return NULL;
    fs_dir_t *s = new fs_dir_t;
    s->name = name;
    d->dirs.push_back(s);
    return s;
}

/* Walks the directory part of path (everything before the last "/"). */
static fs_dir_t *FS_WalkDirs(const std::string &path, size_t slash, int create)
{
    if (!fs_root) {
        if (!create)
            return NULL;
        fs_root = new fs_dir_t;
    }
    fs_dir_t *d = fs_root;
    if (slash == std::string::npos)
        return d;
    size_t start = 0;
    while (d) {
        size_t next = path.find('/', start);
        if (next == std::string::npos || next > slash)
            next = slash;
        d = FS_SubDir(d, path.substr(start, next - start), create);
        if (next == slash)
            break;
        start = next + 1;
    }
    return d;
}

static void FS_Insert(const std::string &path, int archive, uint32_t offset)
{
    size_t slash = path.rfind('/');
    fs_dir_t *d = FS_WalkDirs(path, slash, 1);
    std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    for (fs_entry_t &e : d->files) {
        if (e.name == file) {
            e.archive = archive;
            e.offset = offset;
            return;
        }
    }
    d->files.push_back(fs_entry_t{archive, file, offset});
}

static const fs_entry_t *FS_Find(const char *path)
{
    std::string p(path);
    size_t slash = p.rfind('/');
    if (!p.empty() && p.back() == '/')
        return NULL;
    fs_dir_t *d = FS_WalkDirs(p, slash, 0);
    if (!d)
        return NULL;
    std::string file = slash == std::string::npos ? p : p.substr(slash + 1);
    for (const fs_entry_t &e : d->files)
        if (e.name == file)
            return &e;
    return NULL;
}

static void FS_FreeDir(fs_dir_t *d)
{
    for (fs_dir_t *s : d->dirs)
        FS_FreeDir(s);
    delete d;
}

void FS_Shutdown(void)
{
    if (fs_root)
        FS_FreeDir(fs_root);
    fs_root = NULL;
    fs_archives.clear();
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
    uint32_t offset;            /* of the local header */
} zip_central_t;

static void FS_ParseCentral(const unsigned char *h, zip_central_t *c)
{
    bytes_reader_t r;
    Bytes_InitReader(&r, h, ZIP_CENTRAL_BYTES);
    Bytes_Seek(&r, 8);
    Bytes_ReadU16(&r, &c->flags);
    Bytes_ReadU16(&r, &c->method);
    Bytes_Seek(&r, 28);
    Bytes_ReadU16(&r, &c->namelen);
    Bytes_ReadU16(&r, &c->extralen);
    Bytes_ReadU16(&r, &c->commentlen);
    Bytes_Seek(&r, 42);
    Bytes_ReadU32(&r, &c->offset);
}

/* Reads the central directory entries; 1 when all were read. */
static int FS_ReadCentral(FILE *f, long cdstart, long cdend, unsigned count, int archive,
                          const char *prefix)
{
    size_t prefixlen = strlen(prefix);
    long pos = cdstart;
    unsigned char h[ZIP_CENTRAL_BYTES];
    char name[FS_MAX_PATH + 1];
    for (unsigned i = 0; i < count; i++) {
        if (pos + ZIP_CENTRAL_BYTES > cdend || !FS_ReadAt(f, pos, h, sizeof(h)))
            return 0;
        zip_central_t c;
        FS_ParseCentral(h, &c);
        if (c.flags & 8)
            return 0;
        if (prefixlen >= FS_MAX_PATH || c.namelen >= FS_MAX_PATH - prefixlen)
            return 0;
        long next = pos + ZIP_CENTRAL_BYTES + c.namelen + c.extralen + c.commentlen;
        if (next > cdend || !FS_ReadAt(f, pos + ZIP_CENTRAL_BYTES, name, c.namelen))
            return 0;
        name[c.namelen] = 0;
        pos = next;
        if (c.namelen == 0 || name[c.namelen - 1] == '/' || strlen(name) != c.namelen)
            continue;
        if (c.method != 0 && c.method != 8)
            continue;
        FS_Insert(std::string(prefix) + name, archive, c.offset);
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
    return ok;
}

/* ---- opening ----------------------------------------------------------- */

/* Whole members at once: libdeflate's one-shot decompressor is about twice
 * as fast as zlib's stream, and loading a level is mostly inflating. */
static unsigned char *FS_Inflate(const unsigned char *src, uint32_t csize, uint32_t usize)
{
    static struct libdeflate_decompressor *dec;
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

/* Reads, inflates and checks one member; NULL on any fault. */
static unsigned char *FS_ReadMember(const fs_entry_t *e, uint32_t *len)
{
    FILE *f = fopen(fs_archives[(size_t)e->archive].c_str(), "rb");
    if (!f)
        return NULL;
    unsigned char *data = NULL, *raw = NULL;
    unsigned char h[ZIP_LOCAL_BYTES];
    long size = FS_FileSize(f);
    do {
        if (size < 0 || (uint64_t)e->offset + ZIP_LOCAL_BYTES > (uint64_t)size)
            break;
        zip_local_t l;
        if (!FS_ReadAt(f, (long)e->offset, h, sizeof(h)) || !FS_ParseLocal(h, &l))
            break;
        uint64_t start = (uint64_t)e->offset + ZIP_LOCAL_BYTES + l.namelen + l.extralen;
        if (start + l.csize > (uint64_t)size)
            break;
        if (l.method == 0 ? l.usize != l.csize : l.method != 8 || l.usize == 0xffffffffu ||
                                                 (uint64_t)l.usize > (uint64_t)l.csize * ZIP_MAX_RATIO + 64)
            break;
        raw = (unsigned char *)malloc((size_t)l.csize + 1);
        if (!raw || !FS_ReadAt(f, (long)start, raw, l.csize))
            break;
        if (l.method == 0) {
            data = raw;
            raw = NULL;
        } else {
            data = FS_Inflate(raw, l.csize, l.usize);
            if (!data)
                break;
        }
        if (libdeflate_crc32(0, data, l.usize) != l.crc) {
            free(data);
            data = NULL;
            break;
        }
        data[l.usize] = 0;
        *len = l.usize;
    } while (0);
    free(raw);
    fclose(f);
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
    const fs_entry_t *e = reading ? FS_Find(path) : NULL;
    if (e)
        f->data = FS_ReadMember(e, &f->size);
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
