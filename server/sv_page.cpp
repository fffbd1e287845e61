/*
 * sv_page.cpp -- what the server answers with: the packed internet table
 * for the launcher, the ten best of a level as JSON, and the web page of
 * the lists for people (the game's levels by their names in a grid that
 * folds to one column on a phone; plain HTML and CSS, no script; every
 * name escaped; verified entries marked; English, German or Russian as
 * the request asks).  The level names are the launcher's: read at start
 * from the level files and the level descriptions of the game tree.
 */
#include "sv_local.h"

#include <stdio.h>
#include <string.h>
#include <time.h>

#include <fstream>

std::string SV_PackLists(const sv_lists_t *lists, int codepage)
{
    HighscoreTable t;
    HS_Fill(&t, "", 0);
    for (int l = 0; l < HS_ROWS; l++)
        for (size_t i = 0; i < lists->r[l].size() && i < HS_ENTRIES; i++) {
            t.e[l][i].name = lists->r[l][i].name;
            t.e[l][i].points = lists->r[l][i].points;
        }
    return PackTable(&t, codepage);
}

std::string SV_HtmlEscape(const std::string &s)
{
    std::string out;
    out.reserve(s.size() + 16);
    for (char c : s)
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    return out;
}

/* Telephone country numbers, as the launcher sends them. */
static const struct {
    int code;
    const char *name;
} sv_countries[] = {
    {0, "Unknown"}, {1, "USA / Canada"}, {7, "Russia"}, {20, "Egypt"}, {27, "South Africa"},
    {30, "Greece"}, {31, "Netherlands"}, {32, "Belgium"}, {33, "France"}, {34, "Spain"},
    {36, "Hungary"}, {39, "Italy"}, {40, "Romania"}, {41, "Switzerland"}, {43, "Austria"},
    {44, "United Kingdom"}, {45, "Denmark"}, {46, "Sweden"}, {47, "Norway"}, {48, "Poland"},
    {49, "Germany"}, {52, "Mexico"}, {54, "Argentina"}, {55, "Brazil"}, {61, "Australia"},
    {64, "New Zealand"}, {81, "Japan"}, {82, "South Korea"}, {86, "China"}, {90, "Turkey"},
    {91, "India"}, {351, "Portugal"}, {352, "Luxembourg"}, {353, "Ireland"}, {354, "Iceland"},
    {358, "Finland"}, {370, "Lithuania"}, {371, "Latvia"}, {372, "Estonia"}, {375, "Belarus"},
    {380, "Ukraine"}, {385, "Croatia"}, {386, "Slovenia"}, {420, "Czechia"}, {421, "Slovakia"},
    {972, "Israel"},
};

static std::string SV_CountryName(int code)
{
    for (const auto &c : sv_countries)
        if (c.code == code)
            return c.name;
    return "+" + std::to_string(code);
}

/* ---- languages and level names ---- */

enum { SV_EN, SV_DE, SV_RU, SV_LANGS };

static const char *sv_langcodes[SV_LANGS] = {"en", "de", "ru"};
static const int sv_langcountries[SV_LANGS] = {44, 49, 7};   /* of the level descriptions */
static std::string sv_levelnames[SV_LANGS][SV_LEVELS];

/* The texts of the page, one row a language. */
enum {
    SV_T_TITLE, SV_T_OF, SV_T_VERIFIEDOF, SV_T_WORLD, SV_T_THEWORLD, SV_T_ALL, SV_T_ONLYVERIFIED,
    SV_T_NONE, SV_T_ENTRY, SV_T_ENTRIES, SV_T_LEVEL, SV_T_MARK, SV_T_FOOTER, SV_T_COUNT
};
static const char *sv_texts[SV_LANGS][SV_T_COUNT] = {
    {"Gackatron highscores", "Highscores of ", "Verified highscores of ", "World", "the world", "All entries",
     "Verified only", "No scores yet.", " entry", " entries", "Level ", "verified by a replay of its game",
     "The ten best of every level. Exchange your list from the launcher's Internet page to appear here; "
     "&#10004; marks an entry whose game the server has replayed."},
    {"Gackatron-Bestenliste", "Bestenliste: ", "Geprüfte Bestenliste: ", "Welt", "Welt", "Alle Einträge",
     "Nur geprüfte", "Noch keine Ergebnisse.", " Eintrag", " Einträge", "Level ",
     "durch eine Wiederholung des Spiels geprüft",
     "Die zehn Besten jedes Levels. Gleiche deine Liste auf der Internet-Seite des Starters ab, um hier "
     "zu erscheinen; &#10004; zeigt einen Eintrag, dessen Spiel der Server nachgespielt hat."},
    {"Рекорды Gackatron", "Рекорды: ", "Проверенные рекорды: ", "Мир", "весь мир", "Все записи",
     "Только проверенные", "Пока нет результатов.", " запись", " записей", "Уровень ",
     "проверено повтором игры",
     "Десять лучших на каждом уровне. Обменяйтесь таблицей на странице «Интернет» программы запуска, "
     "чтобы попасть сюда; &#10004; отмечает запись, игру которой сервер повторил."},
};

/* The first line of a text file, UTF-8 (bytes that are not become
 * Windows-1252 letters); empty when there is none. */
static std::string SV_FirstLine(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::string line;
    if (!f || !std::getline(f, line))
        return "";
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return HS_TextFrom(line, 1252);
}

void SV_PageNames(const std::string &game)
{
    for (int l = 0; l < SV_LEVELS; l++) {
        std::string base = game + "/data/script" + std::to_string(l);
        char name[129] = "";
        std::ifstream f(base + ".bin", std::ios::binary);
        if (f.seekg(132) && f.read(name, sizeof(name)))
            sv_levelnames[SV_EN][l] = HS_TextFrom(std::string(name, strnlen(name, sizeof(name))), 1252);
        for (int lang = 0; lang < SV_LANGS; lang++) {
            std::string d = SV_FirstLine(base + "_" + std::to_string(sv_langcountries[lang]) + ".descr");
            if (!d.empty())
                sv_levelnames[lang][l] = d;
        }
        for (int lang = SV_DE; lang < SV_LANGS; lang++)
            if (sv_levelnames[lang][l].empty())
                sv_levelnames[lang][l] = sv_levelnames[SV_EN][l];
    }
}

/* "1. Morning on the Farm" as the launcher lists it; "Level 1" without a name. */
static std::string SV_LevelName(int level, int lang)
{
    const std::string &n = sv_levelnames[lang][level];
    if (n.empty())
        return sv_texts[lang][SV_T_LEVEL] + std::to_string(level + 1);
    return std::to_string(level + 1) + ". " + n;
}

/* lang=en|de|ru, else the first of them the Accept-Language header names
 * (by weight, then order), else English. */
int SV_Language(const std::string &param, const std::string &accept)
{
    for (int lang = 0; lang < SV_LANGS; lang++)
        if (param == sv_langcodes[lang])
            return lang;
    int best = SV_EN;
    double bestq = 0;
    for (size_t at = 0; at < accept.size();) {
        size_t end = accept.find(',', at);
        std::string item = accept.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? accept.size() : end + 1;
        size_t semi = item.find(';');
        std::string tag = item.substr(0, semi);
        double q = 1;
        size_t qat = semi == std::string::npos ? semi : item.find("q=", semi);
        if (qat != std::string::npos)
            q = atof(item.c_str() + qat + 2);
        tag.erase(0, tag.find_first_not_of(" \t"));
        for (int lang = 0; lang < SV_LANGS; lang++)
            if (q > bestq && strncasecmp(tag.c_str(), sv_langcodes[lang], 2) == 0 &&
                (tag.size() == 2 || tag[2] == '-')) {
                best = lang;
                bestq = q;
            }
    }
    return best;
}

static const char sv_style[] =
    "*{box-sizing:border-box}"
    "body{margin:0;font:16px/1.4 system-ui,'DejaVu Sans',sans-serif;color:#e8ecff;"
    "background:#0b1030 linear-gradient(180deg,#101a52 0,#0b1030 320px,#05071a 100%);min-height:100vh}"
    "header{padding:28px 16px 8px;text-align:center}"
    "h1{margin:0;font-size:clamp(28px,6vw,48px);letter-spacing:.08em;color:#ffd23c;"
    "text-shadow:0 3px 0 #a0521a,0 0 24px rgba(255,210,60,.35)}"
    ".sub{margin:6px 0 0;color:#aab4e8}"
    "nav{display:flex;flex-wrap:wrap;gap:8px;justify-content:center;padding:14px 12px}"
    "nav a{color:#dfe5ff;text-decoration:none;padding:5px 12px;border-radius:999px;"
    "background:rgba(255,255,255,.08);border:1px solid rgba(255,255,255,.15);font-size:14px}"
    "nav a.on{background:#ffd23c;color:#1a1440;border-color:#ffd23c;font-weight:600}"
    "main{display:grid;grid-template-columns:repeat(auto-fill,minmax(270px,1fr));gap:16px;"
    "max-width:1280px;margin:0 auto;padding:8px 16px 32px}"
    "section{background:rgba(16,24,72,.82);border:1px solid rgba(140,160,255,.25);"
    "border-radius:14px;padding:12px 14px 8px;box-shadow:0 6px 24px rgba(0,0,0,.35)}"
    "h2{margin:0 0 8px;font-size:18px;color:#9fd0ff;display:flex;justify-content:space-between}"
    "h2 small{color:#7d88c0;font-weight:400;font-size:13px}"
    "table{width:100%;border-collapse:collapse;font-variant-numeric:tabular-nums}"
    "td{padding:4px 4px;border-top:1px solid rgba(255,255,255,.07)}"
    "td.r{width:2em;color:#7d88c0;text-align:right;padding-right:8px}"
    "td.n{width:100%;max-width:0;white-space:nowrap;overflow:hidden;text-overflow:ellipsis}"
    "td.c{color:#7d88c0;font-size:12px;text-align:right;line-height:1.1}"
    "td.p{text-align:right;font-weight:600;white-space:nowrap}"
    "tr.m1 td.r,tr.m1 td.n{color:#ffd23c}tr.m2 td.r,tr.m2 td.n{color:#d8dde8}"
    "tr.m3 td.r,tr.m3 td.n{color:#e0995a}"
    "td.v{width:1.2em;color:#5ee08a;text-align:center;padding:4px 0}"
    "p.none{color:#7d88c0;font-style:italic;margin:8px 0}"
    "footer{text-align:center;color:#59639a;font-size:13px;padding:0 16px 24px}footer a{color:#9fb0e8}"
    "@media (max-width:420px){main{padding:8px 8px 24px}section{padding:10px}}";

static void SV_PageLevel(std::string &h, int level, const std::vector<sv_row_t> &rows, bool world, int lang)
{
    const char *const *t = sv_texts[lang];
    h += "<section><h2>" + SV_HtmlEscape(SV_LevelName(level, lang));
    if (rows.empty()) {
        h += std::string("</h2><p class=\"none\">") + t[SV_T_NONE] + "</p></section>";
        return;
    }
    h += "<small>" + std::to_string(rows.size()) + (rows.size() == 1 ? t[SV_T_ENTRY] : t[SV_T_ENTRIES]) +
         "</small></h2>";
    h += "<table>";
    for (size_t i = 0; i < rows.size(); i++) {
        h += i < 3 ? "<tr class=\"m" + std::to_string(i + 1) + "\">" : std::string("<tr>");
        h += "<td class=\"r\">" + std::to_string(i + 1) + "</td><td class=\"n\">" +
             SV_HtmlEscape(rows[i].name) + "</td>";
        h += rows[i].verified ? std::string("<td class=\"v\" title=\"") + t[SV_T_MARK] + "\">&#10004;</td>"
                              : "<td class=\"v\"></td>";
        if (world)
            h += "<td class=\"c\">" + SV_HtmlEscape(SV_CountryName(rows[i].country)) + "</td>";
        h += "<td class=\"p\">" + std::to_string(rows[i].points) + "</td></tr>";
    }
    h += "</table></section>";
}

/* The address of a page: "/", "/?country=49&amp;verified=1&amp;lang=de", ... */
static std::string SV_PageLink(int country, bool verified, int lang)
{
    std::string q;
    if (country >= 0)
        q = "country=" + std::to_string(country);
    if (verified)
        q += (q.empty() ? "" : "&amp;") + std::string("verified=1");
    if (lang != SV_EN)
        q += (q.empty() ? "" : "&amp;") + std::string("lang=") + sv_langcodes[lang];
    return q.empty() ? "/" : "/?" + q;
}

std::string SV_Page(int country, bool verified, const sv_lists_t *lists,
                    const std::vector<std::pair<int, int>> &countries, int lang)
{
    if (lang < 0 || lang >= SV_LANGS)
        lang = SV_EN;
    const char *const *t = sv_texts[lang];
    std::string where = country < 0 ? t[SV_T_THEWORLD] : SV_HtmlEscape(SV_CountryName(country));
    std::string h = std::string("<!DOCTYPE html><html lang=\"") + sv_langcodes[lang] + "\"><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\"><title>" + t[SV_T_TITLE] +
        "</title><style>";
    h += sv_style;
    h += "</style></head><body><header><h1>GACKATRON</h1><p class=\"sub\">" +
         std::string(verified ? t[SV_T_VERIFIEDOF] : t[SV_T_OF]) + where + "</p></header><nav><a href=\"" +
         SV_PageLink(-1, verified, lang) + "\"" + (country < 0 ? " class=\"on\"" : "") + ">" + t[SV_T_WORLD] + "</a>";
    bool listed = country < 0;
    for (const auto &c : countries) {
        listed = listed || c.first == country;
        h += "<a href=\"" + SV_PageLink(c.first, verified, lang) + "\"" + (c.first == country ? " class=\"on\"" : "") +
             ">" + SV_HtmlEscape(SV_CountryName(c.first)) + " (" + std::to_string(c.second) + ")</a>";
    }
    if (!listed)
        h += "<a class=\"on\" href=\"" + SV_PageLink(country, verified, lang) + "\">" + where + "</a>";
    h += "<a href=\"" + SV_PageLink(country, !verified, lang) + "\">" +
         (verified ? std::string(t[SV_T_ALL]) : std::string("&#10004; ") + t[SV_T_ONLYVERIFIED]) + "</a></nav><main>";
    for (int l = 0; l < SV_LEVELS; l++)
        SV_PageLevel(h, l, lists->r[l], country < 0, lang);
    h += std::string("</main><footer>") + t[SV_T_FOOTER] + "<br>";
    for (int l = 0; l < SV_LANGS; l++)
        h += std::string(l ? " &middot; " : "") + "<a href=\"" + SV_PageLink(country, verified, l) + "\">" +
             (l == SV_EN ? "English" : l == SV_DE ? "Deutsch" : "Русский") + "</a>";
    return h + "</footer></body></html>\n";
}

/* A JSON string: quotes, backslashes and control characters escaped, and
 * the characters that could close a script block around it. */
static std::string SV_JsonString(const std::string &s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += (char)c;
        } else if (c < 0x20 || c == '<' || c == '>' || c == '&') {
            char u[8];
            snprintf(u, sizeof(u), "\\u%04x", c);
            out += u;
        } else {
            out += (char)c;
        }
    }
    return out + "\"";
}

std::string SV_Json(const std::vector<sv_row_t> &rows)
{
    std::string j = "[";
    for (size_t i = 0; i < rows.size(); i++) {
        char when[32] = "";
        time_t t = (time_t)rows[i].received;
        struct tm tm;
        if (gmtime_r(&t, &tm))
            strftime(when, sizeof(when), "%Y-%m-%dT%H:%M:%SZ", &tm);
        j += i ? ",\n" : "\n";
        j += "{\"name\":" + SV_JsonString(rows[i].name) + ",\"points\":" + std::to_string(rows[i].points) +
             ",\"country\":" + std::to_string(rows[i].country) + ",\"received\":\"" + when +
             "\",\"verified\":" + (rows[i].verified ? "true" : "false") + "}";
    }
    return j + "\n]\n";
}

std::string SV_JsonLevels(const sv_lists_t *lists, int lang)
{
    if (lang < 0 || lang >= SV_LANGS)
        lang = SV_EN;
    std::string j = "[";
    for (int l = 0; l < SV_LEVELS; l++) {
        std::string rows = SV_Json(lists->r[l]);
        rows.pop_back();
        j += std::string(l ? "," : "") + "\n{\"level\":" + std::to_string(l) + ",\"name\":" +
             SV_JsonString(sv_levelnames[lang][l]) + ",\"scores\":" + rows + "}";
    }
    return j + "\n]\n";
}
