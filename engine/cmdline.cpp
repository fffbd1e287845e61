/*
 * cmdline.cpp -- the engine's command line: tokens (blank separated, a
 * leading double quote runs to the next one), switches compared in upper
 * case and applied in order, decimal-prefix integers and the mouse
 * sensitivity scale.  Numbers that take part in arithmetic (window size,
 * depth, sensitivity) are clamped to sane ranges as they are read.
 */
#include "engine.h"

#include <ctype.h>
#include <limits.h>
#include <string.h>

void Eng_DefaultSettings(eng_settings_t *s)
{
    memset(s, 0, sizeof(*s));
    s->width = 800;
    s->height = 600;
    s->bpp = 16;
    s->mousesens = ENG_MOUSESENS_DEFAULT;
    s->musicvolume = 100;
    s->effectsvolume = 100;
}

int Eng_Atoi(const char *s)
{
    if (!s)
        return 0;
    while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\r' || *s == '\v' || *s == '\f')
        s++;
    int neg = 0;
    if (*s == '+' || *s == '-')
        neg = (*s++ == '-');
    long long v = 0;
    while (*s >= '0' && *s <= '9') {
        if (v <= (long long)INT_MAX + 1)
            v = v * 10 + (*s - '0');
        s++;
    }
    if (neg)
        v = -v;
    if (v > INT_MAX)
        v = INT_MAX;
    if (v < INT_MIN)
        v = INT_MIN;
    return (int)v;
}

/* The launcher's scale runs from 0 to 10; a number beyond it is taken as
 * the end it passed, before any arithmetic. */
float Eng_MouseSens(int n)
{
    n = Eng_Clamp(n, 0, 10);
    return (float)(n - 5) * ENG_MOUSESENS_STEP + ENG_MOUSESENS_DEFAULT;
}

int Eng_Clamp(int v, int lo, int hi)
{
    return v < lo ? lo : v > hi ? hi : v;
}

/* Copies the next token of *p into tok (cut to the buffer), advancing *p.
 * Returns 0 at the end of the line. */
static int Eng_NextToken(const char **p, char *tok, size_t size)
{
    const char *s = *p;
    while (*s == ' ')
        s++;
    if (!*s) {
        *p = s;
        return 0;
    }
    size_t n = 0;
    char end = ' ';
    if (*s == '"') {
        end = '"';
        s++;
    }
    while (*s && *s != end) {
        if (n + 1 < size)
            tok[n++] = *s;
        s++;
    }
    if (end == '"' && *s == '"')
        s++;
    tok[n] = 0;
    *p = s;
    return 1;
}

static void Eng_Upper(char *dst, const char *src, size_t size)
{
    Com_Strncpy(dst, src, size);
    for (char *c = dst; *c; c++)
        *c = (char)toupper((unsigned char)*c);
}

typedef struct {
    int count;
    int pos;
    const char *const *tokens;
} tokenlist_t;

static const char *Eng_Arg(tokenlist_t *t)
{
    return t->pos < t->count ? t->tokens[t->pos++] : "";
}

/* -record, -playdemo, -timedemo, -verifydemo: the file name, case kept. */
static int Eng_DemoSwitch(const char *up, tokenlist_t *t, eng_settings_t *s)
{
    static const char *const names[] = {"-RECORD", "-PLAYDEMO", "-TIMEDEMO", "-VERIFYDEMO"};
    static const int modes[] = {DEMO_RECORD, DEMO_PLAY, DEMO_TIME, DEMO_VERIFY};
    for (int i = 0; i < (int)(sizeof(names) / sizeof(names[0])); i++) {
        if (strcmp(up, names[i]) != 0)
            continue;
        const char *f = Eng_Arg(t);
        s->demomode = modes[i];
        s->demofiletoolong = strlen(f) >= sizeof(s->demofile) - 1;
        Com_Strncpy(s->demofile, f, sizeof(s->demofile));
        return 1;
    }
    return 0;
}

/* Applies one switch; returns 0 when parsing ends (tool mode, unknown). */
static int Eng_ApplySwitch(const char *tok, tokenlist_t *t, eng_settings_t *s,
                           eng_cmdresult_t *r)
{
    char up[MAX_OSPATH];
    Eng_Upper(up, tok, sizeof(up));
    if (!strcmp(up, "-WIDTH")) s->width = Eng_Clamp(Eng_Atoi(Eng_Arg(t)), 0, ENG_MAX_SIZE);
    else if (!strcmp(up, "-HEIGHT")) s->height = Eng_Clamp(Eng_Atoi(Eng_Arg(t)), 0, ENG_MAX_SIZE);
    else if (!strcmp(up, "-BPP")) s->bpp = Eng_Clamp(Eng_Atoi(Eng_Arg(t)), 0, 64);
    else if (!strcmp(up, "-FULLSCREEN")) s->fullscreen = 1;
    else if (!strcmp(up, "-GAME")) {
        const char *g = Eng_Arg(t);
        s->havegame = 1;
        s->gamedirtoolong = strlen(g) >= sizeof(s->gamedir) - 1;
        Com_Strncpy(s->gamedir, g, sizeof(s->gamedir));
    } else if (!strcmp(up, "-MAP")) s->level = Eng_Atoi(Eng_Arg(t));
    else if (!strcmp(up, "-MOUSESENS")) s->mousesens = Eng_MouseSens(Eng_Atoi(Eng_Arg(t)));
    else if (!strcmp(up, "-MOUSEINV")) s->mouseinv = 1;
    else if (!strcmp(up, "-COUNTRYCODE")) s->countrycode = Eng_Atoi(Eng_Arg(t));
    else if (!strcmp(up, "-MUSICVOLUME")) s->musicvolume = Eng_Clamp(Eng_Atoi(Eng_Arg(t)), 0, 100);
    else if (!strcmp(up, "-EFFECTSVOLUME")) s->effectsvolume = Eng_Clamp(Eng_Atoi(Eng_Arg(t)), 0, 100);
    else if (Eng_DemoSwitch(up, t, s)) {}
    else if (!strcmp(up, "-CONVERT")) {
        r->action = CMD_CONVERT;
        Com_Strncpy(r->convert_name, Eng_Arg(t), sizeof(r->convert_name));
        return 0;
    } else if (!strcmp(up, "-GETVIDMODES")) {
        r->action = CMD_GETVIDMODES;
        return 0;
    } else {
        r->action = CMD_UNKNOWN;
        Com_Strncpy(r->bad_token, up, sizeof(r->bad_token));
        return 0;
    }
    return 1;
}

void Eng_ParseTokens(int count, const char *const *tokens, eng_settings_t *s,
                     eng_cmdresult_t *r)
{
    memset(r, 0, sizeof(*r));
    r->action = CMD_RUN;
    tokenlist_t t = {count, 0, tokens};
    while (t.pos < t.count) {
        const char *tok = tokens[t.pos++];
        if (!Eng_ApplySwitch(tok, &t, s, r))
            return;
    }
}

void Eng_ParseCommandLine(const char *cmdline, eng_settings_t *s, eng_cmdresult_t *r)
{
    enum { MAXTOKENS = 64 };
    static char store[MAXTOKENS][MAX_OSPATH];
    const char *ptrs[MAXTOKENS];
    int n = 0;
    const char *p = cmdline ? cmdline : "";
    char skip[MAX_OSPATH];
    Eng_NextToken(&p, skip, sizeof(skip)); /* the program name */
    while (n < MAXTOKENS && Eng_NextToken(&p, store[n], sizeof(store[n]))) {
        ptrs[n] = store[n];
        n++;
    }
    Eng_ParseTokens(n, ptrs, s, r);
}
