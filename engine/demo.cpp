/*
 * demo.cpp -- demo files: the recorder that writes each frame's clock and
 * forwarded input as the game runs into a temporary file that replaces the
 * demo when the game ends (a killed engine leaves the old demo, and its
 * temporary file is removed by the next recording), the reader that
 * checks a whole file before anything of it is played, and the checks
 * that a demo belongs to this installation's level file, game module and
 * archives.
 */
#include "demo.h"

#include "bytes.h"
#include "entity.h"
#include "fs.h"

#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <zlib.h>

/* ---- varints ------------------------------------------------------------ */

static void Demo_PutVarint(bytes_writer_t *w, uint64_t v)
{
    while (v >= 0x80) {
        Bytes_WriteU8(w, (uint8_t)(v | 0x80));
        v >>= 7;
    }
    Bytes_WriteU8(w, (uint8_t)v);
}

static uint32_t Demo_Zigzag(int v)
{
    return ((uint32_t)v << 1) ^ (uint32_t)(v >> 31);
}

static int Demo_Unzigzag(uint32_t v)
{
    return (int)((v >> 1) ^ (~(v & 1) + 1));
}

/* A varint of at most 32 bits; 0 when it is cut off or larger. */
static int Demo_GetVarint(bytes_reader_t *r, uint32_t *out)
{
    uint64_t v = 0;
    for (int shift = 0; shift < 35; shift += 7) {
        uint8_t b;
        if (!Bytes_ReadU8(r, &b))
            return 0;
        v |= (uint64_t)(b & 0x7f) << shift;
        if (!(b & 0x80)) {
            if (v > 0xffffffffu)
                return 0;
            *out = (uint32_t)v;
            return 1;
        }
    }
    return 0;
}

/* ---- header ------------------------------------------------------------- */

/* The DEMO_HEADERSIZE bytes of the header; 0 when a write failed. */
static int Demo_EncodeHeader(bytes_writer_t *w, const demoheader_t *h)
{
    Bytes_WriteData(w, DEMO_MAGIC, 4);
    Bytes_WriteU32(w, h->format);
    Bytes_WriteData(w, h->engine, 8);
    Bytes_WriteI32(w, h->level);
    Bytes_WriteI32(w, h->countrycode);
    Bytes_WriteF32(w, h->mousesens);
    Bytes_WriteI32(w, h->mouseinv);
    Bytes_WriteU32(w, h->levelcrc);
    Bytes_WriteU32(w, h->modulecrc);
    Bytes_WriteU32(w, h->archivecrc);
    return !w->failed;
}

/* Decodes and checks what this engine can play; 0 with the reason. */
static int Demo_DecodeHeader(const uint8_t *p, size_t size, demoheader_t *h, char *err,
                             size_t errsize)
{
    bytes_reader_t r;
    char magic[4];
    Bytes_InitReader(&r, p, size);
    if (!Bytes_Has(&r, DEMO_HEADERSIZE) || !Bytes_ReadData(&r, magic, 4) ||
        memcmp(magic, DEMO_MAGIC, 4) != 0) {
        snprintf(err, errsize, "not a demo file");
        return 0;
    }
    Bytes_ReadU32(&r, &h->format);
    Bytes_ReadData(&r, h->engine, 8);
    h->engine[7] = 0;
    Bytes_ReadI32(&r, &h->level);
    Bytes_ReadI32(&r, &h->countrycode);
    Bytes_ReadF32(&r, &h->mousesens);
    Bytes_ReadI32(&r, &h->mouseinv);
    Bytes_ReadU32(&r, &h->levelcrc);
    Bytes_ReadU32(&r, &h->modulecrc);
    Bytes_ReadU32(&r, &h->archivecrc);
    if (h->format != DEMO_FORMAT) {
        snprintf(err, errsize, "format version %u, this engine reads version %u",
                 (unsigned)h->format, (unsigned)DEMO_FORMAT);
        return 0;
    }
    if (strcmp(h->engine, ENGINE_VERSION) != 0) {
        snprintf(err, errsize, "recorded with engine version '%s', this is %s", h->engine,
                 ENGINE_VERSION);
        return 0;
    }
    return 1;
}

int Demo_FileCRC(const char *path, uint32_t *crc)
{
    FILE *f = fopen(path, "rb");
    if (!f)
        return 0;
    uLong c = crc32(0L, Z_NULL, 0);
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0)
        c = crc32(c, buf, (uInt)n);
    int ok = !ferror(f);
    fclose(f);
    *crc = (uint32_t)c;
    return ok;
}

/* The game reads its level files from "data/", whatever the game directory. */
static void Demo_LevelPath(char *out, size_t size, int level)
{
    snprintf(out, size, "data/script%i.bin", level);
}

static void Demo_ModulePath(char *out, size_t size)
{
    snprintf(out, size, "./%sgame.dll", com_datadir);
}

float Demo_LevelDuration(int level)
{
    char path[64];
    Demo_LevelPath(path, sizeof(path), level);
    FILE *f = fopen(path, "rb");
    if (!f)
        return -1.0f;
    uint8_t b[394];
    size_t n = fread(b, 1, sizeof(b), f);
    fclose(f);
    bytes_reader_t r;
    uint32_t version;
    float d;
    Bytes_InitReader(&r, b, n);
    Bytes_ReadU32(&r, &version); /* 3, the level file version */
    Bytes_Seek(&r, 390);         /* the play time in the level header */
    Bytes_ReadF32(&r, &d);
    if (r.failed || version != 3)
        return -1.0f;
    return d;
}

void Demo_MakeHeader(demoheader_t *h, int level, int countrycode, float mousesens,
                     int mouseinv)
{
    memset(h, 0, sizeof(*h));
    h->format = DEMO_FORMAT;
    Com_Strncpy(h->engine, ENGINE_VERSION, sizeof(h->engine));
    h->level = level;
    h->countrycode = countrycode;
    h->mousesens = mousesens;
    h->mouseinv = mouseinv ? 1 : 0;
    char path[MAX_OSPATH + 16];
    Demo_LevelPath(path, sizeof(path), level);
    Demo_FileCRC(path, &h->levelcrc);
    Demo_ModulePath(path, sizeof(path));
    Demo_FileCRC(path, &h->modulecrc);
    h->archivecrc = FS_ArchiveDigest();
}

/* ---- recording ------------------------------------------------------------ */

typedef struct {
    FILE *f;
    char path[MAX_OSPATH];
    char tmp[MAX_OSPATH + 32]; /* what is written until the recording stops */
    int pending;              /* a frame is being collected */
    uint32_t gamems, wallms;  /* of the frame being collected */
    uint32_t prevgame, prevwall;
    bytes_writer_t events;    /* its encoded events */
    uint32_t count;
} demorecorder_t;

static demorecorder_t rec;

/* The one message of a recording that cannot be kept: what was written is
 * removed, the old demo stays, and the game goes on without recording. */
static void Demo_NotKept(int err)
{
    const char *why = strerror(err ? err : EIO);
    fprintf(stderr, "vexengine: the demo could not be kept: %s: %s\n", rec.path, why);
    fflush(stderr);
    Com_Printf("# Demo_Record: %s not kept: %s\n", rec.path, why);
    if (rec.f)
        fclose(rec.f);
    rec.f = NULL;
    if (rec.tmp[0])
        unlink(rec.tmp);
    rec.tmp[0] = 0;
}

int Demo_StartRecord(const char *path, const demoheader_t *h)
{
    Demo_StopRecord();
    memset(&rec, 0, sizeof(rec));
    Bytes_InitWriter(&rec.events, 0);
    Com_Strncpy(rec.path, path, sizeof(rec.path));
    int fd = FS_CreateTemp(path, rec.tmp, sizeof(rec.tmp));
    if (fd < 0 || !(rec.f = fdopen(fd, "wb"))) {
        int err = errno;
        if (fd >= 0)
            close(fd);
        else
            rec.tmp[0] = 0;
        Demo_NotKept(err);
        return 0;
    }
    bytes_writer_t w;
    Bytes_InitFileWriter(&w, rec.f);
    errno = 0;
    if (!Demo_EncodeHeader(&w, h) || fflush(rec.f) != 0) {
        Demo_NotKept(errno);
        return 0;
    }
    return 1;
}

/* A failed write ends the recording; the game goes on. */
static void Demo_WriteFailed(void)
{
    Demo_NotKept(errno);
}

static void Demo_WritePending(void)
{
    if (!rec.f || !rec.pending)
        return;
    bytes_writer_t w;
    uint32_t gstep = rec.gamems - rec.prevgame;
    uint32_t wstep = rec.wallms - rec.prevwall;
    Bytes_InitFileWriter(&w, rec.f);
    Demo_PutVarint(&w, (uint64_t)gstep * 2 + (wstep != gstep));
    if (wstep != gstep)
        Demo_PutVarint(&w, wstep);
    Demo_PutVarint(&w, rec.count);
    Bytes_WriteData(&w, rec.events.data, rec.events.size);
    rec.prevgame = rec.gamems;
    rec.prevwall = rec.wallms;
    rec.pending = 0;
    if (w.failed || fflush(rec.f) != 0)
        Demo_WriteFailed();
}

void Demo_RecordFrame(uint32_t gamems, uint32_t wallms)
{
    if (!rec.f)
        return;
    Demo_WritePending();
    rec.pending = 1;
    rec.gamems = gamems;
    rec.wallms = wallms;
    rec.events.size = 0;
    rec.count = 0;
}

void Demo_RecordEvent(int type, int a, int b)
{
    if (!rec.f || !rec.pending)
        return;
    Bytes_WriteU8(&rec.events, (uint8_t)type);
    Demo_PutVarint(&rec.events, Demo_Zigzag(a));
    Demo_PutVarint(&rec.events, Demo_Zigzag(b));
    if (rec.events.failed) {
        Demo_WriteFailed();
        return;
    }
    rec.count++;
}

void Demo_StopRecord(void)
{
    Demo_WritePending();
    if (rec.f) {
        errno = 0;
        int ok = fflush(rec.f) == 0, err = errno;
        if (fclose(rec.f) != 0 && ok) {
            ok = 0;
            err = errno;
        }
        rec.f = NULL;
        if (ok && !FS_ReplaceWith(rec.tmp, rec.path)) {
            ok = 0;
            err = errno;
        }
        if (ok)
            rec.tmp[0] = 0;
        else
            Demo_NotKept(err);
    }
    Bytes_FreeWriter(&rec.events);
}

/* ---- reading -------------------------------------------------------------- */

typedef struct {
    bytes_reader_t r;
    uint32_t gamems, wallms;  /* running clocks */
    uint32_t left;            /* events left in the current frame */
    int frame;                /* frames read */
} democursor_t;

/* Reads a frame head at the cursor; 0 with the reason when it is bad. */
static int Demo_ReadFrame(democursor_t *c, uint32_t maxgamems, char *err, size_t errsize)
{
    uint32_t v, wstep, count;
    if (!Demo_GetVarint(&c->r, &v)) {
        snprintf(err, errsize, "truncated or damaged at frame %d", c->frame);
        return 0;
    }
    uint32_t gstep = v >> 1;
    wstep = gstep;
    if ((v & 1) && !Demo_GetVarint(&c->r, &wstep)) {
        snprintf(err, errsize, "truncated or damaged at frame %d", c->frame);
        return 0;
    }
    if (!Demo_GetVarint(&c->r, &count)) {
        snprintf(err, errsize, "truncated or damaged at frame %d", c->frame);
        return 0;
    }
    if ((uint64_t)c->gamems + gstep > maxgamems) {
        snprintf(err, errsize, "frame %d runs past the level's play time", c->frame);
        return 0;
    }
    if ((uint64_t)c->wallms + wstep > 0xffffffffu) {
        snprintf(err, errsize, "frame %d: wall clock out of range", c->frame);
        return 0;
    }
    if (count > Bytes_Left(&c->r) / 3) { /* an event takes 3 bytes or more */
        snprintf(err, errsize, "frame %d claims %u events, more than the file holds",
                 c->frame, (unsigned)count);
        return 0;
    }
    c->gamems += gstep;
    c->wallms += wstep;
    c->left = count;
    c->frame++;
    return 1;
}

static int Demo_ReadEvent(democursor_t *c, int *type, int *a, int *b, char *err,
                          size_t errsize)
{
    uint32_t ua, ub;
    uint8_t t;
    if (!Bytes_ReadU8(&c->r, &t)) {
        snprintf(err, errsize, "truncated at frame %d", c->frame - 1);
        return 0;
    }
    *type = t;
    if (*type > IE_WHEEL) {
        snprintf(err, errsize, "frame %d: unknown event type %d", c->frame - 1, *type);
        return 0;
    }
    if (!Demo_GetVarint(&c->r, &ua) || !Demo_GetVarint(&c->r, &ub)) {
        snprintf(err, errsize, "truncated or damaged at frame %d", c->frame - 1);
        return 0;
    }
    *a = Demo_Unzigzag(ua);
    *b = Demo_Unzigzag(ub);
    c->left--;
    return 1;
}

int Demo_Check(const uint8_t *data, size_t size, uint32_t maxgamems, demoheader_t *h,
               int *numframes, char *err, size_t errsize)
{
    if (!Demo_DecodeHeader(data, size, h, err, errsize))
        return 0;
    democursor_t c;
    memset(&c, 0, sizeof(c));
    Bytes_InitReader(&c.r, data, size);
    Bytes_Seek(&c.r, DEMO_HEADERSIZE);
    while (Bytes_Left(&c.r) > 0) {
        if (c.frame >= DEMO_MAXFRAMES) {
            snprintf(err, errsize, "more than %d frames", DEMO_MAXFRAMES);
            return 0;
        }
        if (!Demo_ReadFrame(&c, maxgamems, err, errsize))
            return 0;
        int type, a, b;
        while (c.left)
            if (!Demo_ReadEvent(&c, &type, &a, &b, err, errsize))
                return 0;
    }
    *numframes = c.frame;
    return 1;
}

static struct {
    uint8_t *data;
    democursor_t c;
} play;

static uint8_t *Demo_ReadWholeFile(const char *path, size_t *size, char *err, size_t errsize)
{
    FILE *f = fopen(path, "rb");
    if (!f) {
        snprintf(err, errsize, "cannot be opened");
        return NULL;
    }
    uint8_t *buf = (uint8_t *)malloc(DEMO_MAXFILE + 1);
    size_t n = buf ? fread(buf, 1, DEMO_MAXFILE + 1, f) : 0;
    int bad = !buf || ferror(f);
    fclose(f);
    if (bad || n > DEMO_MAXFILE) {
        snprintf(err, errsize, bad ? "cannot be read" : "is larger than %u bytes",
                 (unsigned)DEMO_MAXFILE);
        free(buf);
        return NULL;
    }
    *size = n;
    return buf;
}

/* The demo's level, module and archives must be those here (the archives
 * mounted); 0 with the reason. */
static int Demo_CheckInstall(const demoheader_t *h, char *err, size_t errsize)
{
    char path[MAX_OSPATH + 16];
    uint32_t crc = 0;
    Demo_LevelPath(path, sizeof(path), h->level);
    if (!Demo_FileCRC(path, &crc) || crc != h->levelcrc) {
        snprintf(err, errsize, "recorded on other level data than %s", path);
        return 0;
    }
    Demo_ModulePath(path, sizeof(path));
    if (!Demo_FileCRC(path, &crc) || crc != h->modulecrc) {
        snprintf(err, errsize, "recorded with another game module than %s", path);
        return 0;
    }
    if (FS_ArchiveDigest() != h->archivecrc) {
        snprintf(err, errsize, "recorded on other game archives than %sdemo.pk3 and %svex0.pk3 to vex9.pk3",
                 com_datadir, com_datadir);
        return 0;
    }
    return 1;
}

/* Bound for the game clock: no game runs longer than its level's play time
 * and the fade-out, so a demo that does is refused. */
static uint32_t Demo_MaxGameMs(int level)
{
    float d = Demo_LevelDuration(level);
    if (!(d > 0.0f))
        d = 0.0f;
    if (d > 86400.0f)
        d = 86400.0f;
    return (uint32_t)((d + DEMO_TIMEMARGIN) * 1000.0f);
}

int Demo_Open(const char *path, demoheader_t *h)
{
    char err[512];
    size_t size = 0;
    int numframes;
    Demo_Close();
    uint8_t *data = Demo_ReadWholeFile(path, &size, err, sizeof(err));
    int ok = data && Demo_DecodeHeader(data, size, h, err, sizeof(err)) &&
             Demo_CheckInstall(h, err, sizeof(err)) &&
             Demo_Check(data, size, Demo_MaxGameMs(h->level), h, &numframes, err,
                        sizeof(err));
    if (!ok) {
        fprintf(stderr, "vexengine: demo '%s': %s\n", path, err);
        free(data);
        return 0;
    }
    play.data = data;
    memset(&play.c, 0, sizeof(play.c));
    Bytes_InitReader(&play.c.r, data, size);
    Bytes_Seek(&play.c.r, DEMO_HEADERSIZE);
    return 1;
}

void Demo_Close(void)
{
    free(play.data);
    memset(&play, 0, sizeof(play));
}

int Demo_NextFrame(demoframe_t *f)
{
    char err[128];
    int type, a, b;
    if (!play.data)
        return 0;
    while (play.c.left) /* events the caller did not take */
        Demo_ReadEvent(&play.c, &type, &a, &b, err, sizeof(err));
    if (!Bytes_Left(&play.c.r) || !Demo_ReadFrame(&play.c, 0xffffffffu, err, sizeof(err)))
        return 0;
    f->gamems = play.c.gamems;
    f->wallms = play.c.wallms;
    f->numevents = (int)play.c.left;
    return 1;
}

int Demo_NextEvent(int *type, int *a, int *b)
{
    char err[128];
    if (!play.data || !play.c.left)
        return 0;
    return Demo_ReadEvent(&play.c, type, a, b, err, sizeof(err));
}

/* ---- timing ---------------------------------------------------------------- */

static struct {
    float *ms;
    int count, cap;
    double total;
} timing;

void Demo_TimeFrame(double seconds)
{
    timing.total += seconds;
    if (timing.count == timing.cap) {
        int cap = timing.cap ? timing.cap * 2 : 4096;
        float *p = (float *)realloc(timing.ms, (size_t)cap * sizeof(float));
        if (!p)
            return;
        timing.ms = p;
        timing.cap = cap;
    }
    timing.ms[timing.count++] = (float)(seconds * 1000.0);
}

static int Demo_CompareFloat(const void *a, const void *b)
{
    float x = *(const float *)a, y = *(const float *)b;
    return (x > y) - (x < y);
}

void Demo_PrintTiming(void)
{
    int n = timing.count;
    float median = 0.0f, p95 = 0.0f, worst = 0.0f;
    if (n > 0) {
        qsort(timing.ms, (size_t)n, sizeof(float), Demo_CompareFloat);
        median = timing.ms[(n - 1) / 2];
        p95 = timing.ms[(int)ceil(0.95 * n) - 1];
        worst = timing.ms[n - 1];
    }
    printf("timedemo %d frames %.3f seconds %.1f fps median %.3f ms p95 %.3f ms worst %.3f ms\n",
           n, timing.total, timing.total > 0.0 ? n / timing.total : 0.0, median, p95, worst);
    fflush(stdout);
    free(timing.ms);
    memset(&timing, 0, sizeof(timing));
}

/* ---- state hash ------------------------------------------------------------ */

uint32_t Demo_EntityHash(void)
{
    uLong h = crc32(0L, Z_NULL, 0);
    for (entity_t *e = Ent_First(); e; e = Ent_Next()) {
        if (e->kind == ENT_SOUND)
            continue;
        h = crc32(h, (const Bytef *)e->name, (uInt)strnlen(e->name, ENT_NAMELEN));
        h = crc32(h, (const Bytef *)&e->kind, 8); /* kind, state */
        h = crc32(h, (const Bytef *)&e->spawntime,
                  (uInt)((const char *)(&e->brightness + 1) - (const char *)&e->spawntime));
        if (e->kind == ENT_MODEL)
            h = crc32(h, (const Bytef *)&e->u.mdl.frame, 4);
        else if (e->kind == ENT_TEXT)
            h = crc32(h, (const Bytef *)e->u.txt.text, (uInt)strnlen(e->u.txt.text, ENT_TEXTLEN));
    }
    return (uint32_t)h;
}
