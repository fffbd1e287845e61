/*
 * hs_table.cpp -- highscore rows with their sort, rank and insert rules,
 * and the packed text form in which tables are stored and exchanged: a
 * listing text (UTF-8, or an older peer's code page) compressed with zlib,
 * headed by its length and CRC-32, written as upper-case hexadecimal
 * digits.  Packed texts come from settings files and from the network, so
 * every size they state is checked against what they really hold.  Code
 * pages are recoded by the C library's iconv.
 */
#include "hs_table.h"

#include <errno.h>
#include <iconv.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include <zlib.h>

void HS_Fill(HighscoreTable *t, const std::string &name, int32_t points)
{
    for (int r = 0; r < HS_ROWS; r++)
        for (int i = 0; i < HS_ENTRIES; i++) {
            t->e[r][i].name = name;
            t->e[r][i].points = points;
        }
}

/* Exchange-sort as the tables have always been sorted: descending points. */
void HS_SortRow(HighscoreTable *t, int row)
{
    if (row < 0 || row >= HS_ROWS)
        return;
    HighscoreEntry *e = t->e[row];
    for (int i = 0; i < HS_ENTRIES; i++)
        for (int j = i; j < HS_ENTRIES; j++)
            if (e[i].points < e[j].points) {
                HighscoreEntry tmp = e[i];
                e[i] = e[j];
                e[j] = tmp;
            }
}

int FindRank(const HighscoreTable *t, int row, int32_t score)
{
    if (row < 0 || row >= HS_ROWS)
        return HS_ENTRIES;
    for (int k = 0; k < HS_ENTRIES; k++)
        if (t->e[row][k].points < score)
            return k;
    return HS_ENTRIES;
}

void InsertEntry(HighscoreTable *t, int row, int rank, const std::string &name, int32_t score)
{
    if (row < 0 || row >= HS_ROWS || rank < 0 || rank >= HS_ENTRIES)
        return;
    HighscoreEntry *e = t->e[row];
    for (int i = HS_ENTRIES - 1; i > rank; i--)
        e[i] = e[i - 1];
    e[rank].name = HS_CutUtf8(name, HS_MAXNAME);
    e[rank].points = score;
}

/* ---- code pages ---- */

int32_t HS_NextUtf8(const std::string &s, size_t *i)
{
    unsigned char c = (unsigned char)s[*i];
    int n;
    uint32_t cp, min;
    if (c < 0x80) {
        (*i)++;
        return c;
    } else if ((c & 0xE0) == 0xC0) {
        n = 1, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        n = 2, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        n = 3, cp = c & 0x07, min = 0x10000;
    } else {
        (*i)++;
        return -1;
    }
    if (*i + n >= s.size()) {     /* cut short */
        (*i)++;
        return -1;
    }
    for (int k = 1; k <= n; k++) {
        unsigned char d = (unsigned char)s[*i + k];
        if ((d & 0xC0) != 0x80) {
            (*i)++;
            return -1;
        }
        cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        (*i)++;
        return -1;
    }
    *i += n + 1;
    return (int32_t)cp;
}

void HS_PutUtf8(std::string *out, uint32_t cp)
{
    if (cp < 0x80) {
        *out += (char)cp;
    } else if (cp < 0x800) {
        *out += (char)(0xC0 | (cp >> 6));
        *out += (char)(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out += (char)(0xE0 | (cp >> 12));
        *out += (char)(0x80 | ((cp >> 6) & 0x3F));
        *out += (char)(0x80 | (cp & 0x3F));
    } else {
        *out += (char)(0xF0 | (cp >> 18));
        *out += (char)(0x80 | ((cp >> 12) & 0x3F));
        *out += (char)(0x80 | ((cp >> 6) & 0x3F));
        *out += (char)(0x80 | (cp & 0x3F));
    }
}

/* Systems whose ANSI code page is not Windows-1252, by telephone country
 * number; the code page of a locale whose country has several scripts
 * (Serbia, Uzbekistan, Singapore) cannot be told and stays 1252. */
static const struct {
    int codepage;
    int countries[20];
} hs_codepages[] = {
    {1250, {36, 40, 48, 355, 385, 386, 387, 420, 421}},
    {1251, {7, 359, 375, 380, 389, 976, 992, 996}},
    {1253, {30}},
    {1254, {90}},
    {1255, {972}},
    {1256, {20, 98, 212, 213, 216, 218, 249, 961, 962, 963, 964, 965, 966, 967, 968, 971, 973, 974}},
    {1257, {370, 371, 372}},
    {1258, {84}},
    {874, {66}},
    {932, {81}},
    {936, {86}},
    {949, {82}},
    {950, {852, 853, 886}},
};

int HS_CountryCodePage(int country)
{
    for (const auto &c : hs_codepages)
        for (int n : c.countries)
            if (n && n == country)
                return c.codepage;
    return 1252;
}

/* UTF-8 with every malformed sequence replaced by "?". */
static std::string HS_CleanUtf8(const std::string &s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        int32_t cp = HS_NextUtf8(s, &i);
        HS_PutUtf8(&out, cp < 0 ? '?' : (uint32_t)cp);
    }
    return out;
}

/* in recoded by iconv; what has no form in the target (or is no character
 * of the source) becomes one "?": a whole UTF-8 sequence, or one byte of a
 * code page. */
static std::string HS_Recode(const std::string &in, const char *from, const char *to, bool fromutf8)
{
    std::string out;
    iconv_t cd = iconv_open(to, from);
    if (cd == (iconv_t)-1) {        /* no converter: only ASCII is sure */
        for (unsigned char c : in)
            out += c < 0x80 ? (char)c : '?';
        return out;
    }
    out.reserve(in.size() + in.size() / 2);
    char buf[512];
    for (size_t i = 0;;) {
        char *ip = (char *)in.data() + i, *op = buf;
        size_t il = in.size() - i, ol = sizeof(buf);
        bool last = il == 0;        /* flushes what a stateful code page holds back */
        size_t r = iconv(cd, last ? NULL : &ip, &il, &op, &ol);
        out.append(buf, (size_t)(op - buf));
        i = in.size() - il;
        if (r == (size_t)-1 && errno == E2BIG)
            continue;
        if (last)
            break;
        if (r == (size_t)-1) {
            out += '?';
            if (fromutf8)
                HS_NextUtf8(in, &i);
            else
                i++;
        }
    }
    iconv_close(cd);
    return out;
}

static std::string HS_IconvName(int codepage)
{
    return "CP" + std::to_string(codepage);
}

std::string HS_ToCodePage(const std::string &utf8, int codepage)
{
    if (codepage == HS_UTF8)
        return HS_CleanUtf8(utf8);
    return HS_Recode(utf8, "UTF-8", HS_IconvName(codepage).c_str(), true);
}

std::string HS_FromCodePage(const std::string &bytes, int codepage)
{
    if (codepage == HS_UTF8)
        return HS_CleanUtf8(bytes);
    return HS_Recode(bytes, HS_IconvName(codepage).c_str(), "UTF-8", false);
}

std::string HS_TextFrom(const std::string &bytes, int codepage)
{
    for (size_t i = 0; i < bytes.size();)
        if (HS_NextUtf8(bytes, &i) < 0)
            return HS_FromCodePage(bytes, codepage);
    return bytes;
}

std::string HS_CutUtf8(const std::string &utf8, size_t n)
{
    size_t i = 0;
    for (size_t k = 0; k < n && i < utf8.size(); k++)
        HS_NextUtf8(utf8, &i);
    return utf8.substr(0, i);
}

/* ---- the packed text ---- */

std::string HS_Listing(const HighscoreTable *t, int codepage)
{
    std::string s = "#!FORMAT 1 " + std::to_string(HS_ROWS) + " " + std::to_string(HS_ENTRIES) + "\n";
    if (codepage == HS_UTF8)
        s += HS_CHARSETLINE "\n";
    std::string entries;
    for (int r = 0; r < HS_ROWS; r++)
        for (int i = 0; i < HS_ENTRIES; i++)
            entries += std::to_string(t->e[r][i].points) + " " + t->e[r][i].name + "\n";
    return s + HS_ToCodePage(entries, codepage);
}

static void HS_PutU32(unsigned char *p, uint32_t v)
{
    p[0] = v & 0xff;
    p[1] = (v >> 8) & 0xff;
    p[2] = (v >> 16) & 0xff;
    p[3] = (v >> 24) & 0xff;
}

static uint32_t HS_GetU32(const unsigned char *p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

std::string PackTable(const HighscoreTable *t, int codepage)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string text = HS_Listing(t, codepage);
    unsigned char block[HS_BLOCKSIZE];
    uLongf n = HS_BLOCKSIZE - 8;

    HS_PutU32(block, (uint32_t)text.size());
    HS_PutU32(block + 4, (uint32_t)crc32(0, (const Bytef *)text.data(), (uInt)text.size()));
    if (compress(block + 8, &n, (const Bytef *)text.data(), text.size()) != Z_OK)
        return "";      /* does not fit the block: refuse rather than cut it */
    std::string out;
    out.reserve(2 * (8 + n));
    for (size_t i = 0; i < 8 + n; i++) {
        out += hex[block[i] >> 4];
        out += hex[block[i] & 15];
    }
    return out;
}

int HS_HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

/* Decimal signed 32-bit number filling the whole string. */
static bool HS_ParsePoints(const std::string &s, int32_t *out)
{
    if (s.empty() || s.size() > 20)
        return false;
    size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    if (i == s.size())
        return false;
    for (size_t k = i; k < s.size(); k++)
        if (s[k] < '0' || s[k] > '9')
            return false;
    errno = 0;
    long long v = strtoll(s.c_str(), NULL, 10);
    if (errno || v < INT32_MIN || v > INT32_MAX)
        return false;
    *out = (int32_t)v;
    return true;
}

std::vector<std::string> HS_SplitLines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0, i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(text.substr(start, i - start));
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                i++;
            start = i + 1;
        }
        i++;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

/* The leading "#" lines are skipped; the charset line among them says
 * UTF-8, else the text is in the given code page. */
static bool HS_ReadListing(const std::string &text, HighscoreTable *t, int codepage, int *found)
{
    std::vector<std::string> lines = HS_SplitLines(text);
    size_t l = 0;
    for (; l < lines.size() && !lines[l].empty() && lines[l][0] == '#'; l++)
        if (lines[l] == HS_CHARSETLINE)
            codepage = HS_UTF8;
    lines = HS_SplitLines(HS_FromCodePage(text, codepage));    /* line breaks stay where they were */
    if (lines.size() - l < HS_ROWS * HS_ENTRIES)
        return false;
    HighscoreTable tmp;
    for (int r = 0; r < HS_ROWS; r++)
        for (int i = 0; i < HS_ENTRIES; i++, l++) {
            const std::string &line = lines[l];
            size_t sp = line.find(' ');
            if (sp == std::string::npos)
                return false;
            if (!HS_ParsePoints(line.substr(0, sp), &tmp.e[r][i].points))
                return false;
            tmp.e[r][i].name = HS_CutUtf8(line.substr(sp + 1), HS_MAXNAME);
        }
    *t = tmp;
    if (found)
        *found = codepage;
    return true;
}

bool UnpackTable(const std::string &text, HighscoreTable *t, int codepage, int *found)
{
    if (text.size() < 16 || (text.size() & 1) || text.size() > 2 * HS_BLOCKSIZE)
        return false;
    std::vector<unsigned char> block(text.size() / 2);
    for (size_t i = 0; i < block.size(); i++) {
        int hi = HS_HexDigit(text[2 * i]), lo = HS_HexDigit(text[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        block[i] = (unsigned char)(hi * 16 + lo);
    }
    uint32_t len = HS_GetU32(block.data());
    uint32_t crc = HS_GetU32(block.data() + 4);
    if (len > HS_MAXLISTING)
        return false;
    uLong in = block.size() - 8;
    if (in > (uLong)len + 2)
        in = (uLong)len + 2;
    std::vector<unsigned char> out((size_t)len + 2, 0);
    uLongf outlen = out.size();
    uncompress(out.data(), &outlen, block.data() + 8, in);
    if (outlen < len)
        return false;   /* the stream holds less than the head claims */
    if ((uint32_t)crc32(0, out.data(), len) != crc)
        return false;
    return HS_ReadListing(std::string((const char *)out.data(), len), t, codepage, found);
}
