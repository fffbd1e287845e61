/*
 * l_output.cpp -- reading what other programs tell the launcher: the lines
 * of the engine's output (its version and display modes, the result line
 * of a game, the signs of a game that never started), the tail of its log
 * for the player, and the message form of the highscore server's answer.
 * Everything here is untrusted text and is only looked at, never trusted
 * for sizes; no Qt, so the fuzz targets link it as it is.
 */
#include "l_local.h"

#include <errno.h>
#include <limits.h>
#include <stdlib.h>

/* A mode line is three decimal numbers separated by single spaces. */
static bool L_IsModeLine(const std::string &s)
{
    int fields = 0;
    size_t i = 0;
    while (i < s.size()) {
        size_t d = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            i++;
        if (i == d || i - d > 9)
            return false;
        fields++;
        if (i == s.size())
            break;
        if (s[i] != ' ')
            return false;
        i++;
        if (i == s.size())
            return false;
    }
    return fields == 3;
}

/* First line: the version; then one line per mode, duplicates dropped. */
bool L_ParseModes(const std::string &answer, std::string *version, std::vector<std::string> *modes)
{
    std::vector<std::string> lines = HS_SplitLines(answer);
    modes->clear();
    version->clear();
    if (lines.empty())
        return false;
    *version = lines[0];
    for (size_t i = 1; i < lines.size(); i++) {
        if (!L_IsModeLine(lines[i]))
            continue;
        bool dup = false;
        for (const std::string &m : *modes)
            dup = dup || m == lines[i];
        if (!dup)
            modes->push_back(lines[i]);
    }
    return !modes->empty();
}

/* The first line that begins with "$$score " gives the score: up to 20
 * characters after the prefix, which must form a decimal number. */
bool L_FindScore(const std::string &output, int32_t *score)
{
    static const std::string prefix = "$$score ";
    for (const std::string &line : HS_SplitLines(output)) {
        if (line.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::string num = line.substr(prefix.size(), 20);
        while (!num.empty() && (num.back() == ' ' || num.back() == '\t'))
            num.pop_back();
        size_t i = (!num.empty() && num[0] == '-') ? 1 : 0;
        if (i == num.size())
            return false;
        for (size_t k = i; k < num.size(); k++)
            if (num[k] < '0' || num[k] > '9')
                return false;
        errno = 0;
        long long v = strtoll(num.c_str(), NULL, 10);
        if (errno || v < INT32_MIN || v > INT32_MAX)
            return false;
        *score = (int32_t)v;
        return true;
    }
    return false;
}

/* How a game run ended, from its standard output alone. */
int L_GameOutcome(const std::string &output)
{
    int32_t score;
    if (L_FindScore(output, &score))
        return L_GAME_SCORE;
    int outcome = L_GAME_NORESULT;
    for (const std::string &line : HS_SplitLines(output)) {
        if (line.compare(0, 7, "$$abort") == 0)
            return L_GAME_ABORT;
        if (line.compare(0, 9, "$$failure") == 0)
            return L_GAME_FAILURE;
        if (line.compare(0, 16, "aiInit() failed!") == 0)
            outcome = L_GAME_NOINIT;
    }
    return outcome;
}

/* The last count non-empty lines of a log, each cut to maxline bytes, with
 * control characters dropped: fit for a message box. */
std::string L_LastLines(const std::string &log, int count, size_t maxline)
{
    std::vector<std::string> lines = HS_SplitLines(log);
    std::vector<std::string> keep;
    for (size_t i = lines.size(); i-- > 0 && (int)keep.size() < count;) {
        std::string s;
        for (char c : lines[i])
            if (c == '\t')
                s += ' ';
            else if ((unsigned char)c >= 32 && c != 127)
                s += c;
        if (s.find_first_not_of(' ') == std::string::npos)
            continue;
        if (s.size() > maxline) {
            size_t cut = maxline;   /* a character the cut would halve goes whole */
            while (cut > 0 && ((unsigned char)s[cut] & 0xc0) == 0x80)
                cut--;
            s.resize(cut);
            s += "...";
        }
        keep.push_back(s);
    }
    std::string out;
    for (size_t i = keep.size(); i-- > 0;)
        out += keep[i] + (i ? "\n" : "");
    return out;
}

/* Characters a text from the server never brings along: control
 * characters (terminal escapes among them), invisible marks that turn or
 * hide text, and the byte order mark. */
static bool L_DroppedChar(int32_t cp)
{
    return cp < 0x20 || (cp >= 0x7F && cp < 0xA0) || (cp >= 0x200B && cp <= 0x200F) ||
           (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069) || cp == 0xFEFF;
}

/* A name or message from the server as the server cleans names: dropped
 * characters gone (line feeds kept when lines is set), a malformed byte
 * read as "?", blanks trimmed at both ends, at most max characters. */
std::string L_CleanText(const std::string &utf8, size_t max, bool lines)
{
    std::vector<int32_t> cps;
    for (size_t i = 0; i < utf8.size();) {
        int32_t cp = HS_NextUtf8(utf8, &i);
        if (cp < 0)
            cp = '?';
        if (!L_DroppedChar(cp) || (lines && cp == '\n'))
            cps.push_back(cp);
    }
    size_t a = 0, b;
    while (a < cps.size() && (cps[a] == ' ' || cps[a] == 0xA0 || cps[a] == '\n'))
        a++;
    b = cps.size() - a > max ? a + max : cps.size();
    while (b > a && (cps[b - 1] == ' ' || cps[b - 1] == 0xA0 || cps[b - 1] == '\n'))
        b--;
    std::string out;
    for (size_t k = a; k < b; k++)
        HS_PutUtf8(&out, (uint32_t)cps[k]);
    return out;
}

/* "MSG:" caption ":" text; without a second colon the caption is empty.
 * The server writes it in the code page of the player's system (as older
 * launchers show it); UTF-8 is taken as it is.  Both are cleaned: a
 * caption is one short line, a text a bounded one. */
bool L_SplitMessage(const std::string &response, std::string *caption, std::string *text, int codepage)
{
    if (response.compare(0, 4, "MSG:") != 0)
        return false;
    std::string rest = HS_TextFrom(response.substr(4), codepage);
    size_t c = rest.find(':');
    *caption = L_CleanText(c == std::string::npos ? "" : rest.substr(0, c), L_MAXCAPTION, false);
    *text = L_CleanText(c == std::string::npos ? rest : rest.substr(c + 1), L_MAXMESSAGE, true);
    return true;
}
