/*
 * cg_lang.cpp -- the translation packages of the engine and the game: one
 * text file per country code with the eight strings the game uses (bonus
 * countdown, score, weapon label, timer, time-up text, the two pause menu
 * entries, the window title), each encoded in the code page its font
 * covers.  Country 0 (no choice made) gets the English text.
 */
#include "cg_common.h"

#include <stdio.h>

typedef struct {
    int country;
    int codepage;
    const char *lines[9];   /* a comment line, then slots 0 to 7 (UTF-8 here) */
} cg_langdef_t;

static const cg_langdef_t cg_langs[] = {
    {44, 1252, {"; Gackatron - English (Windows-1252)", "BONUS %i:%02i", "SCORE %i", "WEAPON",
                "TIME %i:%02i", "TIME UP!", "Continue", "Quit", "Gackatron %s"}},
    {0, 1252, {"; Gackatron - default language: English (Windows-1252)", "BONUS %i:%02i", "SCORE %i",
               "WEAPON", "TIME %i:%02i", "TIME UP!", "Continue", "Quit", "Gackatron %s"}},
    {49, 1252, {"; Gackatron - Deutsch (Windows-1252)", "BONUS %i:%02i", "PUNKTE %i", "WAFFE",
                "ZEIT %i:%02i", "ZEIT UM!", "Weiter", "Beenden", "Gackatron %s"}},
    {7, 1251, {"; Gackatron - Русский (Windows-1251)", "БОНУС %i:%02i", "ОЧКИ %i", "ОРУЖИЕ",
               "ВРЕМЯ %i:%02i", "КОНЕЦ!", "Дальше", "Выход", "Gackatron %s"}},
};

/* Decodes one UTF-8 sequence; returns its length (at least 1). */
static int Utf8(const unsigned char *s, unsigned *cp)
{
    if (s[0] < 0x80) {
        *cp = s[0];
        return 1;
    }
    if ((s[0] & 0xE0) == 0xC0 && s[1]) {
        *cp = ((s[0] & 0x1Fu) << 6) | (s[1] & 0x3Fu);
        return 2;
    }
    if ((s[0] & 0xF0) == 0xE0 && s[1] && s[2]) {
        *cp = ((s[0] & 0x0Fu) << 12) | ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu);
        return 3;
    }
    *cp = '?';
    return 1;
}

static int ToCodePage(unsigned cp, int page)
{
    if (cp < 0x80)
        return (int)cp;
    if (page == 1251) {
        if (cp >= 0x0410 && cp <= 0x044F)
            return (int)(0xC0 + cp - 0x0410);
        if (cp == 0x0401)
            return 0xA8;
        if (cp == 0x0451)
            return 0xB8;
        return '?';
    }
    if (cp >= 0xA0 && cp <= 0xFF)
        return (int)cp;
    return '?';
}

static std::string Encode(const char *utf8, int page)
{
    std::string out;
    const unsigned char *s = (const unsigned char *)utf8;
    while (*s) {
        unsigned cp;
        s += Utf8(s, &cp);
        out += (char)ToCodePage(cp, page);
    }
    return out;
}

int CG_GenLang(const std::string &datadir)
{
    int fails = 0;
    for (const cg_langdef_t &l : cg_langs) {
        std::string text;
        for (const char *line : l.lines) {
            text += Encode(line, l.codepage);
            text += "\r\n";
        }
        char name[64];
        snprintf(name, sizeof name, "/ingame_%d.txt", l.country);
        if (!CG_WriteFile(datadir + name, text.data(), text.size())) {
            fprintf(stderr, "content: translation package %s failed\n", name + 1);
            fails++;
        }
    }
    return fails;
}
