/*
 * sv_page.cpp -- what the server answers with: the packed internet table
 * for the launcher, the ten best of a level as JSON, and the web page of
 * the lists for people (eight levels in a grid that folds to one column on
 * a phone; plain HTML and CSS, no script; every name escaped; verified
 * entries marked).
 */
#include "sv_local.h"

#include <stdio.h>
#include <time.h>

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
    "footer{text-align:center;color:#59639a;font-size:13px;padding:0 16px 24px}"
    "@media (max-width:420px){main{padding:8px 8px 24px}section{padding:10px}}";

static void SV_PageLevel(std::string &h, int level, const std::vector<sv_row_t> &rows, bool world)
{
    h += "<section><h2>Level " + std::to_string(level + 1);
    if (rows.empty()) {
        h += "</h2><p class=\"none\">No scores yet.</p></section>";
        return;
    }
    h += "<small>" + std::to_string(rows.size()) + (rows.size() == 1 ? " entry" : " entries") + "</small></h2>";
    h += "<table>";
    for (size_t i = 0; i < rows.size(); i++) {
        h += i < 3 ? "<tr class=\"m" + std::to_string(i + 1) + "\">" : std::string("<tr>");
        h += "<td class=\"r\">" + std::to_string(i + 1) + "</td><td class=\"n\">" +
             SV_HtmlEscape(rows[i].name) + "</td>";
        h += rows[i].verified ? "<td class=\"v\" title=\"verified by a replay of its game\">&#10004;</td>"
                              : "<td class=\"v\"></td>";
        if (world)
            h += "<td class=\"c\">" + SV_HtmlEscape(SV_CountryName(rows[i].country)) + "</td>";
        h += "<td class=\"p\">" + std::to_string(rows[i].points) + "</td></tr>";
    }
    h += "</table></section>";
}

std::string SV_Page(int country, bool verified, const sv_lists_t *lists,
                    const std::vector<std::pair<int, int>> &countries)
{
    std::string where = country < 0 ? "the world" : SV_HtmlEscape(SV_CountryName(country));
    std::string only = verified ? "&amp;verified=1" : "";
    std::string h =
        "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
        "<title>Gackatron highscores</title><style>";
    h += sv_style;
    h += "</style></head><body><header><h1>GACKATRON</h1><p class=\"sub\">" +
         std::string(verified ? "Verified highscores of " : "Highscores of ") + where +
         "</p></header><nav><a href=\"/" + (verified ? "?verified=1" : "") + "\"" +
         (country < 0 ? " class=\"on\"" : "") + ">World</a>";
    bool listed = country < 0;
    for (const auto &c : countries) {
        listed = listed || c.first == country;
        h += "<a href=\"/?country=" + std::to_string(c.first) + only + "\"" +
             (c.first == country ? " class=\"on\"" : "") + ">" + SV_HtmlEscape(SV_CountryName(c.first)) +
             " (" + std::to_string(c.second) + ")</a>";
    }
    if (!listed)
        h += "<a class=\"on\" href=\"/?country=" + std::to_string(country) + only + "\">" + where + "</a>";
    std::string here = country < 0 ? "/?" : "/?country=" + std::to_string(country) + "&amp;";
    h += verified ? "<a href=\"" + here.substr(0, here.size() - (country < 0 ? 1 : 5)) + "\">All entries</a>"
                  : "<a href=\"" + here + "verified=1\">&#10004; Verified only</a>";
    h += "</nav><main>";
    for (int l = 0; l < HS_ROWS; l++)
        SV_PageLevel(h, l, lists->r[l], country < 0);
    h += "</main><footer>The ten best of every level. Exchange your list from the launcher's "
         "Internet page to appear here; &#10004; marks an entry whose game the server has "
         "replayed.</footer></body></html>\n";
    return h;
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
