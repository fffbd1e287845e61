/*
 * hitch.cpp -- the notes of one-off work per frame and the hitch report of
 * -timedemo.  Notes go into a fixed table (spawns are only counted per
 * frame: effects spawn dozens at a time); frames into an array reserved
 * once for a whole demo, so that recording itself adds no work to a frame
 * but a few stores.
 */
#include "hitch.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#define HITCH_MAXNOTES 8192
#define HITCH_NAMELEN 64
#define HITCH_RESERVE 65536

typedef struct {
    int frame;
    int kind;
    char name[HITCH_NAMELEN];
} hitchnote_t;

typedef struct {
    float wall, cpu;        /* ms */
    uint32_t gamems;
    int firstnote, numnotes;
    int spawns;
    char firstspawn[HITCH_NAMELEN];
} hitchframe_t;

static int hitch_on;
static int hitch_counts[HN_COUNT];
static hitchnote_t hitch_notes[HITCH_MAXNOTES];
static int hitch_numnotes;
static hitchframe_t *hitch_frames;
static int hitch_numframes, hitch_cap;
static int hitch_inframe;

static const char *const hitch_words[HN_COUNT] = {
    "model", "texture", "upload", "font", "sound", "source created", "first draw",
    "new state", "spawn", "freed", "buffer grown"};

void Hitch_Record(int on)
{
    hitch_on = on;
    memset(hitch_counts, 0, sizeof(hitch_counts));
    hitch_numnotes = 0;
    hitch_numframes = 0;
    hitch_inframe = 0;
    if (!on) {
        free(hitch_frames);
        hitch_frames = NULL;
        hitch_cap = 0;
    }
}

int Hitch_Recording(void)
{
    return hitch_on;
}

int Hitch_Count(int kind)
{
    return kind >= 0 && kind < HN_COUNT ? hitch_counts[kind] : 0;
}

const char *Hitch_NoteAt(int i, int *kind)
{
    if (i < 0 || i >= hitch_numnotes)
        return NULL;
    *kind = hitch_notes[i].kind;
    return hitch_notes[i].name;
}

static void Hitch_Copy(char *dst, const char *src)
{
    strncpy(dst, src ? src : "", HITCH_NAMELEN - 1);
    dst[HITCH_NAMELEN - 1] = 0;
}

void Hitch_Note(int kind, const char *name)
{
    if (!hitch_on || kind < 0 || kind >= HN_COUNT)
        return;
    hitch_counts[kind]++;
    hitchframe_t *f = hitch_inframe ? &hitch_frames[hitch_numframes] : NULL;
    if (kind == HN_SPAWN) {
        if (f && f->spawns++ == 0)
            Hitch_Copy(f->firstspawn, name);
        return;
    }
    if (hitch_numnotes >= HITCH_MAXNOTES)
        return;
    hitchnote_t *n = &hitch_notes[hitch_numnotes++];
    n->frame = f ? hitch_numframes : -1;
    n->kind = kind;
    Hitch_Copy(n->name, name);
    if (f)
        f->numnotes++;
}

void Hitch_BeginFrame(void)
{
    if (!hitch_on)
        return;
    if (hitch_numframes == hitch_cap) {
        int cap = hitch_cap ? hitch_cap * 2 : HITCH_RESERVE;
        hitchframe_t *p = (hitchframe_t *)realloc(hitch_frames, (size_t)cap * sizeof(*p));
        if (!p)
            return;
        hitch_frames = p;
        hitch_cap = cap;
    }
    hitchframe_t *f = &hitch_frames[hitch_numframes];
    memset(f, 0, sizeof(*f));
    f->firstnote = hitch_numnotes;
    hitch_inframe = 1;
}

void Hitch_EndFrame(double wall, double cpu, uint32_t gamems)
{
    if (!hitch_on || !hitch_inframe)
        return;
    hitchframe_t *f = &hitch_frames[hitch_numframes++];
    f->wall = (float)(wall * 1000.0);
    f->cpu = (float)(cpu * 1000.0);
    f->gamems = gamems;
    hitch_inframe = 0;
}

/* The notes of frame f, each kind's word and name, after the times. */
static void Hitch_PrintFrame(FILE *out, int index, const hitchframe_t *f, float ratio, int *causes)
{
    fprintf(out, "hitch: frame %d %.2f ms (%.2f ms CPU, %.1fx median) at %.3f s:", index + 1, f->wall, f->cpu,
            ratio, f->gamems / 1000.0);
    int seen[HN_COUNT] = {0};
    for (int i = 0; i < f->numnotes && f->firstnote + i < hitch_numnotes; i++) {
        const hitchnote_t *n = &hitch_notes[f->firstnote + i];
        fprintf(out, "%s %s%s%s", i ? "," : "", hitch_words[n->kind], n->name[0] ? " " : "", n->name);
        seen[n->kind] = 1;
    }
    if (f->spawns) {
        fprintf(out, "%s %d spawned (first %s)", f->numnotes ? "," : "", f->spawns, f->firstspawn);
        seen[HN_SPAWN] = 1;
    }
    if (!f->numnotes && !f->spawns)
        fprintf(out, " nothing noted");
    fputc('\n', out);
    int any = 0;
    for (int k = 0; k < HN_COUNT; k++) {
        causes[k] += seen[k];
        any |= seen[k];
    }
    causes[HN_COUNT] += !any;
}

static float Hitch_Time(const hitchframe_t *f, int bycpu)
{
    return bycpu ? f->cpu : f->wall;
}

int Hitch_WriteFrames(const char *path)
{
    FILE *f = fopen(path, "w");
    if (!f)
        return 0;
    for (int i = 0; i < hitch_numframes; i++)
        fprintf(f, "%d %.3f %.3f %.3f\n", i + 1, hitch_frames[i].wall, hitch_frames[i].cpu,
                hitch_frames[i].gamems / 1000.0);
    return fclose(f) == 0;
}

int Hitch_Report(FILE *out, int bycpu)
{
    int n = hitch_numframes, reported = 0;
    if (n == 0 || !out)
        return 0;
    std::vector<float> w((size_t)n);
    for (int i = 0; i < n; i++)
        w[(size_t)i] = Hitch_Time(&hitch_frames[i], bycpu);
    std::nth_element(w.begin(), w.begin() + (n - 1) / 2, w.end());
    float median = w[(size_t)(n - 1) / 2];
    int causes[HN_COUNT + 1] = {0};
    for (int i = 0; i < n; i++) {
        float t = Hitch_Time(&hitch_frames[i], bycpu);
        if (t > 2.0f * median) {
            Hitch_PrintFrame(out, i, &hitch_frames[i], median > 0 ? t / median : 0.0f, causes);
            reported++;
        }
    }
    fprintf(out, "hitch: %d of %d frames over twice the median %s %.2f ms;", reported, n,
            bycpu ? "processor time" : "time", median);
    for (int k = 0; k < HN_COUNT; k++)
        fprintf(out, " %s %d,", hitch_words[k], causes[k]);
    fprintf(out, " nothing noted %d; in all frames:", causes[HN_COUNT]);
    for (int k = 0; k < HN_COUNT; k++)
        fprintf(out, " %s %d%s", hitch_words[k], hitch_counts[k], k + 1 < HN_COUNT ? "," : "\n");
    fflush(out);
    hitch_numframes = 0;
    return reported;
}
