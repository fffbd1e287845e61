/*
 * sv_request.cpp -- reading a /topten.php query: its keys, the packed table
 * it carries, the merge rules for every entry (no points, no name, points
 * beyond the level's maximum: not stored; names cleaned and cut), and the
 * "MSG:caption:text" answers in the player's language.  No Qt here, so the
 * fuzz target drives exactly this code.
 */
#include "sv_local.h"

#include <stdlib.h>
#include <string.h>

/* %XX sequences become their byte; anything else stays as it came. */
static std::string SV_PercentDecode(const std::string &s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); i++) {
        int hi, lo;
        if (s[i] == '%' && i + 2 < s.size() && (hi = HS_HexDigit(s[i + 1])) >= 0 &&
            (lo = HS_HexDigit(s[i + 2])) >= 0) {
            out += (char)(hi * 16 + lo);
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

/* "0" or "1"; an absent key takes the default. */
static bool SV_Flag(const std::string *v, bool def, bool *out)
{
    if (!v) {
        *out = def;
        return true;
    }
    if (*v != "0" && *v != "1")
        return false;
    *out = *v == "1";
    return true;
}

int SV_ParseQuery(const std::string &query, sv_request_t *req)
{
    req->merge = false;
    req->getlist = true;
    req->country = 0;
    req->val.clear();
    req->entries.clear();
    req->overmax = 0;
    req->codepage = HS_UTF8;
    if (query.size() > SV_MAXQUERY)
        return SV_TOOLARGE;

    static const char *keys[] = {"game", "merge", "getlist", "country", "val"};
    std::string vals[5];
    bool seen[5] = {false, false, false, false, false};
    size_t start = 0;
    while (start <= query.size()) {
        size_t amp = query.find('&', start);
        if (amp == std::string::npos)
            amp = query.size();
        std::string part = query.substr(start, amp - start);
        size_t eq = part.find('=');
        std::string key = part.substr(0, eq);
        for (int k = 0; k < 5; k++)
            if (!seen[k] && key == keys[k]) {      /* the first one counts */
                seen[k] = true;
                vals[k] = eq == std::string::npos ? "" : SV_PercentDecode(part.substr(eq + 1));
            }
        start = amp + 1;
    }
    if (!seen[0] || vals[0] != "gackatron")
        return SV_WRONGGAME;
    if (!SV_Flag(seen[1] ? &vals[1] : NULL, false, &req->merge) ||
        !SV_Flag(seen[2] ? &vals[2] : NULL, true, &req->getlist))
        return SV_BADREQUEST;
    if (seen[3] && !vals[3].empty()) {
        if (vals[3].size() > 6 || vals[3].find_first_not_of("0123456789") != std::string::npos)
            return SV_BADREQUEST;
        req->country = atoi(vals[3].c_str());
    }
    if (req->merge) {
        if (vals[4].size() > 2 * HS_BLOCKSIZE)
            return SV_TOOLARGE;
        req->val = vals[4];
    }
    return SV_OK;
}

static bool SV_DroppedChar(int32_t cp)
{
    return cp < 0x20 || (cp >= 0x7F && cp < 0xA0) ||
           (cp >= 0x200B && cp <= 0x200F) ||     /* zero width, direction marks */
           (cp >= 0x2028 && cp <= 0x202E) ||     /* line breaks, embeddings */
           (cp >= 0x2066 && cp <= 0x2069) || cp == 0xFEFF;
}

static bool SV_SpaceChar(int32_t cp)
{
    return cp == ' ' || cp == 0xA0;
}

/* Control characters dropped, spaces trimmed, at most 12 characters. */
std::string SV_CleanName(const std::string &utf8)
{
    std::vector<int32_t> cps;
    for (size_t i = 0; i < utf8.size();) {
        int32_t cp = HS_NextUtf8(utf8, &i);
        if (cp < 0)
            cp = '?';
        if (!SV_DroppedChar(cp))
            cps.push_back(cp);
    }
    size_t a = 0;
    while (a < cps.size() && SV_SpaceChar(cps[a]))
        a++;
    size_t b = a + SV_NAMECHARS < cps.size() ? a + SV_NAMECHARS : cps.size();
    while (b > a && SV_SpaceChar(cps[b - 1]))
        b--;
    std::string out;
    for (size_t k = a; k < b; k++)
        HS_PutUtf8(&out, (uint32_t)cps[k]);
    return out;
}

int SV_ReadEntries(sv_request_t *req, const int32_t maxpoints[HS_ROWS])
{
    HighscoreTable t;
    req->entries.clear();
    req->overmax = 0;
    /* a table without the UTF-8 line is in the code page of its sender's system */
    if (!UnpackTable(req->val, &t, HS_CountryCodePage(req->country), &req->codepage))
        return SV_BADTABLE;
    for (int r = 0; r < HS_ROWS; r++)
        for (int i = 0; i < HS_ENTRIES; i++) {
            const HighscoreEntry &e = t.e[r][i];
            if (e.points <= 0)
                continue;
            std::string name = SV_CleanName(e.name);
            if (name.empty())
                continue;
            if (e.points > maxpoints[r]) {
                req->overmax++;
                continue;
            }
            req->entries.push_back({r, name, e.points});
        }
    return SV_OK;
}

/* The whole request as the server reads it before the store sees it. */
int SV_HandleQuery(const std::string &query, const int32_t maxpoints[HS_ROWS], sv_request_t *req)
{
    int a = SV_ParseQuery(query, req);
    if (a != SV_OK || !req->merge)
        return a;
    return SV_ReadEntries(req, maxpoints);
}

/* The first value of key in a query, decoded; false when it is absent. */
static bool SV_QueryValue(const std::string &query, const char *key, std::string *out)
{
    size_t klen = strlen(key);
    for (size_t start = 0; start <= query.size();) {
        size_t amp = query.find('&', start);
        if (amp == std::string::npos)
            amp = query.size();
        if (amp - start > klen && query.compare(start, klen, key) == 0 && query[start + klen] == '=') {
            *out = SV_PercentDecode(query.substr(start + klen + 1, amp - start - klen - 1));
            return true;
        }
        start = amp + 1;
    }
    return false;
}

/* Digits only, at most maxdigits of them. */
static bool SV_Number(const std::string &s, size_t maxdigits, long long *out)
{
    if (s.empty() || s.size() > maxdigits || s.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *out = atoll(s.c_str());
    return true;
}

int SV_DemoLevel(const std::string &demo)
{
    if (demo.size() < SV_DEMOHEADER || demo.compare(0, 4, "GKDM") != 0)
        return -1;
    const unsigned char *p = (const unsigned char *)demo.data() + 16;
    uint32_t level = (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
    return level < HS_ROWS ? (int)level : -1;
}

/* game, level, name (UTF-8; Windows-1252 from launchers that packed their
 * tables so), points, country; the demo must be of that level. */
int SV_ParseReplay(const std::string &query, const std::string &demo, sv_replay_t *r)
{
    r->level = -1;
    r->name.clear();
    r->points = 0;
    r->country = 0;
    if (query.size() > SV_MAXQUERY)
        return SV_TOOLARGE;
    std::string v;
    long long n = 0;
    if (!SV_QueryValue(query, "game", &v) || v != "gackatron")
        return SV_WRONGGAME;
    if (!SV_QueryValue(query, "level", &v) || !SV_Number(v, 1, &n) || n >= HS_ROWS)
        return SV_BADREQUEST;
    r->level = (int)n;
    if (!SV_QueryValue(query, "points", &v) || !SV_Number(v, 10, &n) || n < 1 || n > INT32_MAX)
        return SV_BADREQUEST;
    r->points = (int32_t)n;
    if (SV_QueryValue(query, "country", &v) && !v.empty()) {
        if (!SV_Number(v, 6, &n))
            return SV_BADREQUEST;
        r->country = (int)n;
    }
    if (!SV_QueryValue(query, "name", &v) || v.size() > 200)
        return SV_BADREQUEST;
    r->name = SV_CleanName(HS_TextFrom(v, 1252));
    if (r->name.empty())
        return SV_BADREQUEST;
    if (demo.size() > SV_MAXDEMO)
        return SV_DEMOLARGE;
    if (SV_DemoLevel(demo) != r->level)
        return SV_BADDEMO;
    return SV_OK;
}

/* ---- answers for the player: English, German (49), Russian (7), each in
 * the code page of the player's system, which every launcher shows ---- */

static const char *sv_messages[3][SV_NUMANSWERS] = {
    {
        "",
        "Highscores:Thank you, your list has arrived. New entries: %d.",
        "Highscores:The request could not be read.",
        "Highscores:This server keeps the lists of Gackatron only.",
        "Highscores:Your list is too large to be taken.",
        "Highscores:Your list arrived damaged and was not taken. Please try again.",
        "Highscores:Too many exchanges from your address. Please wait a minute and try again.",
        "Highscores:The server is busy. Please try again in a moment.",
        "Highscores:Your list could not be saved just now. Please try again later.",
        "Highscores:This score is not in the server's list. Exchange your list first.",
        "Highscores:This recording is not a game of that level.",
        "Highscores:This recording is too large to be taken.",
        "Highscores:This server does not check recordings at present, so yours was not taken. Your scores are listed as before.",
        "Highscores:Many recordings from your address are waiting to be checked already. Yours are kept and sent at a later exchange.",
        "Highscores:Recordings of this score are waiting to be checked already. Yours is kept and sent at a later exchange.",
        "Highscores:This recording holds more frames than a game of that level can. It was not taken.",
    },
    {
        "",
        "Bestenliste:Danke, deine Liste ist angekommen. Neue Einträge: %d.",
        "Bestenliste:Die Anfrage konnte nicht gelesen werden.",
        "Bestenliste:Dieser Server führt nur die Listen von Gackatron.",
        "Bestenliste:Deine Liste ist zu groß, um angenommen zu werden.",
        "Bestenliste:Deine Liste kam beschädigt an und wurde nicht angenommen. Bitte versuche es noch einmal.",
        "Bestenliste:Zu viele Abgleiche von deiner Adresse. Bitte warte eine Minute und versuche es dann noch einmal.",
        "Bestenliste:Der Server ist gerade ausgelastet. Bitte versuche es gleich noch einmal.",
        "Bestenliste:Deine Liste konnte gerade nicht gespeichert werden. Bitte versuche es später noch einmal.",
        "Bestenliste:Dieses Ergebnis steht nicht in der Liste des Servers. Gleiche zuerst deine Liste ab.",
        "Bestenliste:Diese Aufzeichnung ist kein Spiel dieses Levels.",
        "Bestenliste:Diese Aufzeichnung ist zu groß, um angenommen zu werden.",
        "Bestenliste:Dieser Server prüft zurzeit keine Aufzeichnungen, deine wurde daher nicht angenommen. Deine Ergebnisse stehen weiter in der Liste.",
        "Bestenliste:Von deiner Adresse warten schon viele Aufzeichnungen auf ihre Prüfung. Deine werden aufbewahrt und bei einem späteren Abgleich gesendet.",
        "Bestenliste:Aufzeichnungen dieses Ergebnisses warten schon auf ihre Prüfung. Deine wird aufbewahrt und bei einem späteren Abgleich gesendet.",
        "Bestenliste:Diese Aufzeichnung enthält mehr Bilder, als ein Spiel dieses Levels haben kann. Sie wurde nicht angenommen.",
    },
    {
        "",
        "Рекорды:Спасибо, ваша таблица получена. Новых записей: %d.",
        "Рекорды:Не удалось прочитать запрос.",
        "Рекорды:Этот сервер ведёт только таблицы Gackatron.",
        "Рекорды:Ваша таблица слишком велика.",
        "Рекорды:Ваша таблица пришла повреждённой и не принята. Попробуйте ещё раз.",
        "Рекорды:Слишком много обменов с вашего адреса. Подождите минуту и попробуйте снова.",
        "Рекорды:Сервер сейчас занят. Попробуйте ещё раз через минуту.",
        "Рекорды:Не удалось сохранить вашу таблицу. Попробуйте позже.",
        "Рекорды:Этого результата нет в таблице сервера. Сначала обменяйтесь таблицами.",
        "Рекорды:Эта запись не является игрой этого уровня.",
        "Рекорды:Эта запись слишком велика.",
        "Рекорды:Этот сервер сейчас не проверяет записи, поэтому ваша запись не принята. Ваши результаты остаются в таблице.",
        "Рекорды:С вашего адреса проверки ждут уже много записей. Ваши записи сохранены и будут отправлены при одном из следующих обменов.",
        "Рекорды:Записи этого результата уже ждут проверки. Ваша запись сохранена и будет отправлена при одном из следующих обменов.",
        "Рекорды:В этой записи больше кадров, чем может быть в игре этого уровня. Она не принята.",
    },
};

std::string SV_Message(int answer, int country, int added)
{
    int lang = country == 49 ? 1 : country == 7 ? 2 : 0;
    if (answer <= SV_OK || answer >= SV_NUMANSWERS)
        answer = SV_BADREQUEST;
    std::string text = sv_messages[lang][answer];
    size_t p = text.find("%d");
    if (p != std::string::npos)
        text.replace(p, 2, std::to_string(added));
    return "MSG:" + HS_ToCodePage(text, HS_CountryCodePage(country));
}

/* The query for the log: without val, printable, not too long. */
std::string SV_LogQuery(const std::string &query)
{
    std::string out;
    size_t start = 0;
    while (start <= query.size() && out.size() < 300) {
        size_t amp = query.find('&', start);
        if (amp == std::string::npos)
            amp = query.size();
        if (query.compare(start, 4, "val=") != 0) {
            if (!out.empty())
                out += '&';
            out += query.substr(start, amp - start < 300 ? amp - start : 300);
        }
        start = amp + 1;
    }
    for (char &c : out)
        if ((unsigned char)c < 0x21 || (unsigned char)c > 0x7E)
            c = '?';
    return out;
}
