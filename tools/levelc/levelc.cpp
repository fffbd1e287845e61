/*
 * levelc.cpp -- the level compiler: reads a level's readable text
 * description and writes the binary level file with the game's own level
 * writer, checking every class name and number first; with --check it
 * loads a level file with the game's loader and prints what it holds.
 *
 * Usage: levelc DESCRIPTION.txt OUTPUT.bin [INSTALLNAME]
 *        levelc --check LEVEL.bin
 * The stored file name is INSTALLNAME's base name, or OUTPUT's.
 *
 * Description format, one statement per line; '#' starts a comment:
 *   name     Text of the level name (rest of the line, up to 128 chars)
 *   name.N   The name in the language of country number N (UTF-8); written
 *            beside OUTPUT as OUTPUT's base name + "_N.descr", where the
 *            launcher looks for the level names of its language
 *   music    sounds/level1.wav
 *   duration 120
 *   sky      skysphere01
 *   spawn    TIME PERIOD CLASS X Y Z DX DY DZ SPEED
 * TIME is seconds after the start; PERIOD > 0 repeats the spawn every
 * PERIOD seconds (0 = once); CLASS is a class name (any letter case);
 * X Y Z the start position, DX DY DZ the direction, SPEED units/second.
 * Spawn lines may come in any order: the file keeps them sorted by time,
 * equal times in the order written.
 */
#include "g_local.h"

#include <errno.h>
#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int lc_verbose;

/* The level's names in other languages, by country number. */
typedef struct {
    int country;
    char text[LEVEL_TEXTLEN];
} lc_name_t;
static lc_name_t lc_names[8];
static int lc_numnames;

static void LC_Printf(const char *fmt, ...)
{
    if (!lc_verbose)
        return;
    va_list ap;
    va_start(ap, fmt);
    vfprintf(stderr, fmt, ap);
    va_end(ap);
}

static float lc_time;
static void LC_Void(void) {}

static int LC_Error(const char *file, int line, const char *what)
{
    fprintf(stderr, "%s:%i: %s\n", file, line, what);
    return 0;
}

static char *LC_Trim(char *s)
{
    while (*s == ' ' || *s == '\t')
        s++;
    size_t n = strlen(s);
    while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\t' || s[n - 1] == '\r' || s[n - 1] == '\n'))
        s[--n] = 0;
    return s;
}

static int LC_Text(char *dst, const char *value, const char *file, int line)
{
    if (strlen(value) > LEVEL_TEXTLEN - 1)
        return LC_Error(file, line, "text longer than 128 characters");
    snprintf(dst, LEVEL_TEXTLEN, "%s", value);
    return 1;
}

static int LC_Number(const char *tok, float *out)
{
    char *end;
    errno = 0;
    double v = strtod(tok, &end);
    if (end == tok || *end || errno || !isfinite((float)v))
        return 0;
    *out = (float)v;
    return 1;
}

static int LC_Spawn(level_t *level, char *args, const char *file, int line)
{
    char *tok[10];
    int n = 0;
    for (char *t = strtok(args, " \t"); t; t = strtok(NULL, " \t"))
        if (n < 10)
            tok[n++] = t;
        else
            return LC_Error(file, line, "spawn: too many values");
    if (n != 10)
        return LC_Error(file, line, "spawn: expected TIME PERIOD CLASS X Y Z DX DY DZ SPEED");
    const classrow_t *row = G_ClassByName(tok[2]);
    if (!row)
        return LC_Error(file, line, "spawn: unknown class");
    spawnrec_t *r = (spawnrec_t *)calloc(1, sizeof(*r));
    if (!r)
        return LC_Error(file, line, "out of memory");
    float v[9];
    int ok = LC_Text(r->name, tok[2], file, line);
    for (int i = 0, j = 0; ok && i < 10; i++) {
        if (i == 2)
            continue;
        ok = LC_Number(tok[i], &v[j++]) || LC_Error(file, line, "spawn: bad number");
    }
    if (!ok) {
        free(r);
        return 0;
    }
    r->spawntime = v[0];
    r->respawnperiod = v[1];
    Vec_Set(r->pos, v[2], v[3], v[4]);
    Vec_Set(r->dir, v[5], v[6], v[7]);
    r->speed = v[8];
    r->mainclass = row->mainclass;
    r->subclass = row->subclass;
    Level_InsertSpawn(level, r);
    return 1;
}

static int LC_LanguageName(const char *country, const char *text, const char *file, int line)
{
    char *end;
    long n = strtol(country, &end, 10);
    if (end == country || *end || n <= 0 || n > 999)
        return LC_Error(file, line, "name.N: N must be a country number");
    if (lc_numnames >= (int)(sizeof(lc_names) / sizeof(lc_names[0])))
        return LC_Error(file, line, "name.N: too many languages");
    lc_names[lc_numnames].country = (int)n;
    if (!LC_Text(lc_names[lc_numnames].text, text, file, line))
        return 0;
    lc_numnames++;
    return 1;
}

/* OUTPUT.bin -> OUTPUT_N.descr for every name.N, one line each. */
static int LC_WriteNames(const char *output)
{
    const char *dot = strrchr(output, '.');
    const char *slash = strrchr(output, '/');
    size_t baselen = dot && (!slash || dot > slash) ? (size_t)(dot - output) : strlen(output);
    for (int i = 0; i < lc_numnames; i++) {
        char path[4096];
        snprintf(path, sizeof(path), "%.*s_%d.descr", (int)baselen, output, lc_names[i].country);
        FILE *f = fopen(path, "w");
        int ok = f && fprintf(f, "%s\n", lc_names[i].text) >= 0;
        if ((f && fclose(f) != 0) || !ok) {
            fprintf(stderr, "levelc: cannot write %s: %s\n", path, strerror(errno));
            return 0;
        }
    }
    return 1;
}

static int LC_Statement(level_t *level, char *s, const char *file, int line, int *havesky)
{
    char *key = s;
    char *rest = s + strcspn(s, " \t");
    if (*rest)
        *rest++ = 0;
    rest = LC_Trim(rest);
    if (strcmp(key, "name") == 0)
        return LC_Text(level->name, rest, file, line);
    if (strncmp(key, "name.", 5) == 0)
        return LC_LanguageName(key + 5, rest, file, line);
    if (strcmp(key, "music") == 0)
        return LC_Text(level->bgm, rest, file, line);
    if (strcmp(key, "duration") == 0)
        return LC_Number(rest, &level->duration) || LC_Error(file, line, "duration: bad number");
    if (strcmp(key, "sky") == 0) {
        const classrow_t *row = G_ClassByName(rest);
        if (!row || row->mainclass != MC_SCENERY || row->subclass < SUB_SKYSPHERE01 ||
            row->subclass > SUB_SKYSPHERE07)
            return LC_Error(file, line, "sky: not a sky sphere class (skysphere01..07)");
        *havesky = 1;
        return LC_Text(level->skysphere, rest, file, line);
    }
    if (strcmp(key, "spawn") == 0)
        return LC_Spawn(level, rest, file, line);
    return LC_Error(file, line, "unknown statement");
}

static int LC_Read(level_t *level, const char *file)
{
    FILE *f = fopen(file, "r");
    if (!f) {
        fprintf(stderr, "levelc: cannot open %s: %s\n", file, strerror(errno));
        return 0;
    }
    char buf[1024];
    int line = 0, ok = 1, havesky = 0;
    while (ok && fgets(buf, sizeof(buf), f)) {
        line++;
        if (!strchr(buf, '\n') && !feof(f)) {
            ok = LC_Error(file, line, "line too long");
            break;
        }
        char *hash = strchr(buf, '#');
        if (hash)
            *hash = 0;
        char *s = LC_Trim(buf);
        if (*s)
            ok = LC_Statement(level, s, file, line, &havesky);
    }
    fclose(f);
    if (ok && !havesky)
        ok = LC_Error(file, line, "no 'sky' statement");
    return ok;
}

static void LC_Services(void)
{
    gi.conprintf = LC_Printf;
    gi.gametime = &lc_time;
    gi.lastgametime = &lc_time;
    gi.shutdown = LC_Void;
}

static int LC_Check(const char *path)
{
    level_t level;
    memset(&level, 0, sizeof(level));
    lc_verbose = 1;
    if (!SC_LoadLevel(&level, path))
        return 1;
    printf("name '%s'\nmusic '%s'\nduration %g\nsky '%s'\n", level.name, level.bgm,
           (double)level.duration, level.skysphere);
    for (spawnrec_t *r = level.pending.next; r && r != &level.pending; r = r->next)
        printf("spawn %g %g %s %g %g %g %g %g %g %g\n", (double)r->spawntime,
               (double)r->respawnperiod, r->name, (double)r->pos[0], (double)r->pos[1],
               (double)r->pos[2], (double)r->dir[0], (double)r->dir[1], (double)r->dir[2],
               (double)r->speed);
    Level_FreeSpawns(&level);
    return 0;
}

int main(int argc, char **argv)
{
    setenv("GACKATRON_HEADLESS", "1", 0);
    LC_Services();
    if (argc == 3 && strcmp(argv[1], "--check") == 0)
        return LC_Check(argv[2]);
    if (argc != 3 && argc != 4) {
        fprintf(stderr, "usage: levelc DESCRIPTION.txt OUTPUT.bin [INSTALLNAME]\n"
                        "       levelc --check LEVEL.bin\n");
        return 2;
    }
    level_t level;
    memset(&level, 0, sizeof(level));
    Level_InitLists(&level);
    int ok = LC_Read(&level, argv[1]);
    if (ok) {
        lc_verbose = 1;
        ok = Level_WriteFile(argv[2], argc == 4 ? argv[3] : argv[2], &level) && LC_WriteNames(argv[2]);
    }
    Level_FreeSpawns(&level);
    return ok ? 0 : 1;
}
