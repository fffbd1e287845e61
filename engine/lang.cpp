/*
 * lang.cpp -- translation packages: a small text file per country code
 * whose first sixteen lines that are neither empty nor comments (";") fill
 * the string table the engine and the game module read by index.
 */
#include "lang.h"

#include <stdio.h>
#include <string.h>

#include "common.h"
#include "fs.h"

static char lang_slots[LANG_SLOTS][LANG_SLOTLEN];
static int lang_countrycode;

static int Lang_IsLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

/* Splits the text into the slots; lines too long for a slot are cut. */
static void Lang_Parse(const char *text)
{
    const char *p = text;
    for (int k = 0; k < LANG_SLOTS; k++) {
        for (;;) {
            size_t n = 0;
            while (*p && !Lang_IsLineEnd(*p)) {
                if (n < LANG_SLOTLEN - 1)
                    lang_slots[k][n++] = *p;
                p++;
            }
            while (Lang_IsLineEnd(*p))
                p++;
            lang_slots[k][n] = 0;
            if (*p && (n == 0 || lang_slots[k][0] == ';'))
                continue; /* comment or empty line: reuse the slot */
            break;
        }
    }
}

void Lang_Load(int countrycode)
{
    char name[MAX_OSPATH + 32];
    lang_countrycode = countrycode;
    memset(lang_slots, 0, sizeof(lang_slots));
    snprintf(name, sizeof(name), "%singame_%d.txt", com_datadir, countrycode);
    fsfile_t *f = FS_Open(name, "rb");
    if (!f) {
        Com_Printf("multilang: (warning) translation package %s not found\n", name);
        return;
    }
    uint32_t len = FS_Length(f);
    if (len >= LANG_MAXFILE) {
        FS_Close(f);
        return;
    }
    char text[LANG_MAXFILE];
    size_t got = len ? FS_Read(text, 1, len, f) : 0;
    text[got] = 0;
    FS_Close(f);
    Lang_Parse(text);
}

const char *Lang_GetLocalizedStr(int index)
{
    if (index < 0 || index >= LANG_SLOTS)
        return "?";
    return lang_slots[index];
}
