/*
 * g_level.cpp -- level script files: the level table, the loader
 * (SC_LoadLevel with its block reader Level_ReadFile), the ordered pending
 * spawn list and the finished list, and the writer used by tools.  A level
 * file is a 523-byte header (version, XOR-ed stored name, name, music,
 * duration, sky sphere) followed by 165-byte spawn records, little-endian.
 * The header and each record are read whole, then field by field; texts
 * are always terminated.
 */
#include "g_local.h"

#include <errno.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "bytes.h"

static level_t g_levels[LEVEL_MAX];
static int g_levelcount;
static char g_levelerror[256];

/* ---- spawn lists ---- */

void Level_InitLists(level_t *level)
{
    level->pending.prev = &level->pending;
    level->pending.next = &level->pending;
    level->finished = NULL;
}

/* The list is kept sorted, so searching from the tail for the last record
 * not greater than rec gives the same place as searching from the head for
 * the first strictly greater one; files are mostly in order, so this is
 * cheap for long lists. */
void Level_InsertSpawn(level_t *level, spawnrec_t *rec)
{
    spawnrec_t *s = &level->pending;
    spawnrec_t *p = s->prev;
    while (p != s && p->spawntime > rec->spawntime)
        p = p->prev;
    rec->prev = p;
    rec->next = p->next;
    p->next->prev = rec;
    p->next = rec;
}

void Level_UnlinkSpawn(spawnrec_t *rec)
{
    rec->prev->next = rec->next;
    rec->next->prev = rec->prev;
    rec->prev = rec->next = NULL;
}

void Level_FreeSpawns(level_t *level)
{
    spawnrec_t *s = &level->pending;
    if (s->next) {
        spawnrec_t *r = s->next;
        while (r != s) {
            spawnrec_t *n = r->next;
            free(r);
            r = n;
        }
    }
    spawnrec_t *f = level->finished;
    while (f) {
        spawnrec_t *n = f->next;
        free(f);
        f = n;
    }
    Level_InitLists(level);
}

int Level_PendingCount(const level_t *level)
{
    int n = 0;
    for (const spawnrec_t *r = level->pending.next; r && r != &level->pending; r = r->next)
        n++;
    return n;
}

/* ---- reading ---- */

/* The next n bytes of the file into buf, with a reader over them; 0 when
 * the file ends (or fails) first. */
static int Level_ReadBlock(FILE *f, unsigned char *buf, size_t n, bytes_reader_t *r)
{
    Bytes_InitReader(r, buf, n);
    return fread(buf, 1, n, f) == n;
}

static void Level_ReadText(bytes_reader_t *r, char *out)
{
    Bytes_ReadData(r, out, LEVEL_TEXTLEN);
    out[LEVEL_TEXTLEN - 1] = 0;
}

static const char *Level_EofError(void)
{
    snprintf(g_levelerror, sizeof(g_levelerror), "Unerwartetes Dateiende (%s)",
             strerror(errno));
    return g_levelerror;
}

const char *Level_ReadFile(level_t *level, char *storedname, FILE *f)
{
    unsigned char b[LEVEL_HEADERSIZE];
    bytes_reader_t r;
    int32_t version;
    errno = 0;
    if (!Level_ReadBlock(f, b, 4, &r))
        return Level_EofError();
    Bytes_ReadI32(&r, &version);
    if (version != LEVEL_VERSION) {
        gi.conprintf("# Level_ReadFile: expected version %i, got %i\n", LEVEL_VERSION, version);
        snprintf(g_levelerror, sizeof(g_levelerror), "Falsche Dateiversion (%i)", version);
        return g_levelerror;
    }
    if (!Level_ReadBlock(f, b, LEVEL_HEADERSIZE - 4, &r))
        return Level_EofError();
    Bytes_ReadData(&r, storedname, LEVEL_STOREDNAMELEN);
    for (int i = 0; i < LEVEL_STOREDNAMELEN; i++)
        storedname[i] ^= LEVEL_NAMEKEY;
    storedname[LEVEL_STOREDNAMELEN] = 0;
    Level_ReadText(&r, level->name);
    Level_ReadText(&r, level->bgm);
    Bytes_ReadF32(&r, &level->duration);
    Level_ReadText(&r, level->skysphere);
    return NULL;
}

static const char *Level_BaseName(const char *path)
{
    const char *b = path;
    for (const char *p = path; *p; p++)
        if (*p == '/' || *p == '\\')
            b = p + 1;
    return b;
}

static void Level_Box(const char *fmt, const char *a, const char *b)
{
    char text[256];
    snprintf(text, sizeof(text), fmt, a, b);
    G_MessageBox("Fehler", text);
}

/* Reads the fields of one record; 0 on a short read. */
static int Level_ReadSpawnFields(FILE *f, spawnrec_t *rec)
{
    unsigned char b[LEVEL_SPAWNSIZE];
    bytes_reader_t r;
    if (!Level_ReadBlock(f, b, sizeof(b), &r))
        return 0;
    Bytes_ReadF32(&r, &rec->spawntime);
    Bytes_ReadF32(&r, &rec->respawnperiod);
    Level_ReadText(&r, rec->name);
    Bytes_ReadF32s(&r, rec->pos, 3);
    Bytes_ReadF32s(&r, rec->dir, 3);
    Bytes_ReadF32(&r, &rec->speed);
    return !r.failed;
}

static int Level_NumbersFinite(const spawnrec_t *r)
{
    float v[9] = {r->spawntime, r->pos[0], r->pos[1], r->pos[2], r->dir[0],
                  r->dir[1],    r->dir[2], r->speed, r->respawnperiod};
    for (float x : v)
        if (!isfinite(x))
            return 0;
    return 1;
}

/* Class data of a record; 0 when the record cannot be scheduled. */
static int Level_ResolveSpawn(spawnrec_t *r, int index)
{
    const classrow_t *row = G_ClassByName(r->name);
    if (!row) {
        gi.conprintf("- SC_LoadLevel: unknown class '%s' at entity #%i, skipped\n", r->name, index);
        return 0;
    }
    if (!Level_NumbersFinite(r)) {
        gi.conprintf("- SC_LoadLevel: invalid number in entity #%i ('%s'), skipped\n", index,
                     r->name);
        return 0;
    }
    r->mainclass = row->mainclass;
    r->subclass = row->subclass;
    return 1;
}

/* Spawn records up to the end of the file; 1 at a clean end. */
static int Level_ReadSpawns(level_t *level, const char *path, FILE *f)
{
    for (int index = 0;; index++) {
        int c = fgetc(f);
        if (c == EOF)
            return 1;
        ungetc(c, f);
        spawnrec_t *r = (spawnrec_t *)calloc(1, sizeof(*r));
        if (!r) {
            gi.conprintf("SC_LoadLevel: out of mem at entity #%i\n", index);
            fclose(f);
            exit(1);
        }
        errno = 0;
        if (!Level_ReadSpawnFields(f, r)) {
            gi.conprintf("SC_LoadLevel: read error in file '%s' at entity #%i: %s\n", path,
                         index, strerror(errno));
            free(r);
            return 0;
        }
        if (Level_ResolveSpawn(r, index))
            Level_InsertSpawn(level, r);
        else
            free(r);
    }
}

int SC_LoadLevel(level_t *level, const char *path)
{
    Level_InitLists(level);
    level->name[0] = level->bgm[0] = level->skysphere[0] = 0;
    level->duration = 0.0f;
    FILE *f = fopen(path, "rb");
    if (!f) {
        const char *err = strerror(errno);
        gi.conprintf("SC_LoadLevel: could not open file '%s' for read: %s\n", path, err);
        Level_Box("Kann Datei %s nicht oeffnen: %s", path, err);
        return 0;
    }
    int c = fgetc(f);
    if (c == EOF) {
        fclose(f);
        return 1;
    }
    ungetc(c, f);
    char stored[LEVEL_STOREDNAMELEN + 1];
    const char *err = Level_ReadFile(level, stored, f);
    if (err) {
        fclose(f);
        gi.conprintf("SC_LoadLevel: read error in file '%s' at level block: %s\n", path, err);
        Level_Box("Fehler beim Lesen von %s: %s", path, err);
        return 0;
    }
    const char *base = Level_BaseName(path);
    if (strcmp(stored, base) != 0) {
        fclose(f);
        gi.conprintf("\nCRC ERROR!\n");
        gi.conprintf("resolved filename: '%s'\n", stored);
        gi.conprintf("expected filename: '%s'\n", base);
        Level_Box("CRC Fehler (%s)", base, "");
        return 0;
    }
    int ok = Level_ReadSpawns(level, path, f);
    fclose(f);
    return ok;
}

/* ---- level table ---- */

level_t *Level_Load(int n)
{
    if (g_levelcount >= LEVEL_MAX) {
        gi.conprintf("# Level_Load: no room for another level\n");
        return NULL;
    }
    char path[128];
    snprintf(path, sizeof(path), "data/script%i.bin", n);
    level_t *level = &g_levels[g_levelcount];
    memset(level, 0, sizeof(*level));
    if (!SC_LoadLevel(level, path)) {
        Level_FreeSpawns(level); /* the record is not used after a failure */
        return NULL;
    }
    g_levelcount++;
    return level;
}

level_t *Level_Current(void)
{
    return g_levelcount > 0 ? &g_levels[0] : NULL;
}

void Level_FreeAll(void)
{
    while (g_levelcount > 0) {
        g_levelcount--;
        Level_FreeSpawns(&g_levels[g_levelcount]);
    }
}

int Level_Count(void)
{
    return g_levelcount;
}

/* ---- writing ---- */

static void Level_WriteText(bytes_writer_t *w, const char *text)
{
    char buf[LEVEL_TEXTLEN];
    memset(buf, 0, sizeof(buf));
    memcpy(buf, text, strnlen(text, LEVEL_TEXTLEN - 1));
    Bytes_WriteData(w, buf, sizeof(buf));
}

int Level_WriteSpawn(FILE *f, const spawnrec_t *r)
{
    bytes_writer_t w;
    Bytes_InitFileWriter(&w, f);
    Bytes_WriteF32(&w, r->spawntime);
    Bytes_WriteF32(&w, r->respawnperiod);
    Level_WriteText(&w, r->name);
    Bytes_WriteF32s(&w, r->pos, 3);
    Bytes_WriteF32s(&w, r->dir, 3);
    Bytes_WriteF32(&w, r->speed);
    return !w.failed;
}

static int Level_WriteHeader(FILE *f, const char *base, const level_t *level)
{
    bytes_writer_t w;
    unsigned char stored[LEVEL_STOREDNAMELEN];
    memset(stored, 0, sizeof(stored));
    memcpy(stored, base, strlen(base));
    for (int i = 0; i < LEVEL_STOREDNAMELEN; i++)
        stored[i] ^= LEVEL_NAMEKEY;
    Bytes_InitFileWriter(&w, f);
    Bytes_WriteI32(&w, LEVEL_VERSION);
    Bytes_WriteData(&w, stored, sizeof(stored));
    Level_WriteText(&w, level->name);
    Level_WriteText(&w, level->bgm);
    Bytes_WriteF32(&w, level->duration);
    Level_WriteText(&w, level->skysphere);
    return !w.failed;
}

int Level_WriteFile(const char *path, const char *installname, const level_t *level)
{
    const char *base = Level_BaseName(installname);
    if (strlen(base) > LEVEL_STOREDNAMELEN) {
        gi.conprintf("# Level_WriteFile: name '%s' is too long\n", base);
        return 0;
    }
    FILE *f = fopen(path, "wb");
    if (!f) {
        gi.conprintf("# Level_WriteFile: could not open '%s' for write: %s\n", path,
                     strerror(errno));
        return 0;
    }
    int ok = Level_WriteHeader(f, base, level);
    const spawnrec_t *s = &level->pending;
    for (const spawnrec_t *r = s->next; ok && r && r != s; r = r->next)
        ok = Level_WriteSpawn(f, r);
    if (fclose(f) != 0)
        ok = 0;
    if (!ok)
        gi.conprintf("# Level_WriteFile: could not write '%s'\n", path);
    return ok;
}
