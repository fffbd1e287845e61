/* Highscore rows and the packed text form (lying texts go to the real server in tests/server). */
#include <gtest/gtest.h>
#include <iconv.h>

#include <fstream>
#include <map>
#include <set>

#include "../server/sv_testserver.h"
#include "l_local.h"

static HighscoreTable Fresh(const char *name = "unbekannt")
{
    HighscoreTable t;
    HS_Fill(&t, name, 0);
    return t;
}

TEST(HighscoreRows, StableSortAndANewScoreBehindItsEquals)
{
    HighscoreTable s = Fresh();
    s.e[0][0] = {"a", 5};
    s.e[0][1] = {"b", 9};
    s.e[0][2] = {"c", 5};
    HS_SortRow(&s, 0);
    EXPECT_EQ(s.e[0][0].name + s.e[0][1].name + s.e[0][2].name, "bac");
    /* 9 5 5 0 ... 0: a score ranks before the first entry with fewer points; equal to the tenth, none */
    const int ranks[][2] = {{10, 0}, {9, 1}, {6, 1}, {5, 3}, {1, 3}, {0, 10}, {-1, 10}};
    for (auto &r : ranks)
        EXPECT_EQ(FindRank(&s, 0, r[0]), r[1]) << r[0];
    EXPECT_EQ(FindRank(&s, -1, 10) + FindRank(&s, 8, 10), 20) << "rows 0 to 7 only";
}

TEST(PackedText, RoundTrip)
{
    HighscoreTable t = Fresh();
    t.e[3][4] = {"Zoë mit Leerzeichen", -17};
    t.e[7][9] = {std::string(255, 'n'), 2147483647};
    HighscoreTable u = Fresh("leer");
    std::string p = PackTable(&t);
    ASSERT_TRUE(UnpackTable(p, &u));
    for (int r = 0; r < HS_ROWS; r++)
        for (int i = 0; i < HS_ENTRIES; i++) {
            EXPECT_EQ(u.e[r][i].name, t.e[r][i].name);
            EXPECT_EQ(u.e[r][i].points, t.e[r][i].points);
        }
    for (char &c : p)       /* lower-case digits are fine too */
        c = (char)tolower(c);
    u = Fresh();
    EXPECT_TRUE(UnpackTable(p, &u));
    EXPECT_EQ(u.e[3][4].name, "Zoë mit Leerzeichen");
}

TEST(PackedText, ListingContents)
{
    std::string good = "#!FORMAT 1 8 10\n# another comment\r\n";
    for (int i = 0; i < 80; i++)    /* points of up to 20 characters */
        good += (i == 78 ? "+" + std::string(17, '0') : "") + std::to_string(i) + " name " + std::to_string(i) + (i % 2 ? "\r\n" : "\n");
    HighscoreTable u = Fresh("keep");
    EXPECT_FALSE(UnpackTable(SV_RawPack(good.substr(0, good.find("79 name"))), &u)) << "79 lines";
    EXPECT_FALSE(UnpackTable(SV_RawPack(std::string(good).insert(good.find("+0") + 1, "0")), &u)) << "points of 21 characters";
    ASSERT_TRUE(UnpackTable(SV_RawPack(good), &u));
    ASSERT_TRUE(UnpackTable(SV_RawPack(good + "999 extra line\nnot even a score\n"), &u));
    EXPECT_TRUE(u.e[0][1].name == "name 1" && u.e[7][8].points == 78 && u.e[7][9].points == 79 && u.e[7][9].name == "name 79")
        << u.e[7][8].points << " " << u.e[7][9].name;
    EXPECT_EQ(HS_SplitLines("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"})) << "CR LF ends one line";

    HighscoreTable t = Fresh();     /* incompressible: refused, not cut */
    uint32_t x = 12345;
    for (int r = 0; r < HS_ROWS; r++)
        for (int i = 0; i < HS_ENTRIES; i++) {
            std::string n;
            for (int k = 0; k < 255; k++) {
                x = x * 1103515245u + 12345u;
                n += (char)(33 + (x >> 16) % 90);
            }
            t.e[r][i] = {n, (int32_t)x};
        }
    EXPECT_TRUE(PackTable(&t).empty());
    /* a name grown a letter at a time: the packed text of exactly 16384 digits, the most there is, is read; 16386 not */
    const std::string last = t.e[7][9].name;
    for (int r = 0; r < HS_ROWS; r++)
        for (int i = 0; i < HS_ENTRIES; i++)
            t.e[r][i].name.resize(112);
    std::string packed;
    for (size_t len = 0; len < last.size() && packed.size() < 16384; len++) {
        t.e[7][9].name = last.substr(0, len);
        packed = PackTable(&t);
    }
    ASSERT_EQ(packed.size(), 16384u);
    EXPECT_TRUE(UnpackTable(packed, &u) && !UnpackTable(packed + "00", &u)) << "a byte past the most is refused";
}

/* A quoted value in a section of a C library locale source, followed through "copy" lines. */
static std::string LocaleValue(const std::string &locale, const std::string &section, const char *key)
{
    std::ifstream in("/usr/share/i18n/locales/" + locale);
    std::string line;
    char word[64], value[64];
    while (std::getline(in, line) && line != section) {}
    while (std::getline(in, line) && line != "END " + section) {
        if (sscanf(line.c_str(), "%63s \"%63[^\"]", word, value) != 2)
            continue;
        if (!strcmp(word, "copy"))
            return LocaleValue(value, section, key);
        if (!strcmp(word, key))
            return value;
    }
    return "";
}

/* A system's code page is its script's. The C library names, for each locale it supports, the
 * older charset of its script; that charset's Windows counterpart is the locale's code page, and
 * its telephone prefix the country. A country whose locales have several scripts keeps 1252. */
TEST(PackedText, EachCountryHasTheCodePageOfItsScript)
{
    const std::map<std::string, int> windows = {
        {"ISO-8859-1", 1252}, {"ISO-8859-15", 1252}, {"ISO-8859-2", 1250}, {"ISO-8859-5", 1251},
        {"CP1251", 1251},     {"KOI8-R", 1251},      {"KOI8-U", 1251},     {"KOI8-T", 1251},
        {"PT154", 1251},      {"RK1048", 1251},      {"ISO-8859-7", 1253}, {"ISO-8859-9", 1254},
        {"ISO-8859-8", 1255}, {"CP1255", 1255},      {"ISO-8859-6", 1256}, {"ISO-8859-13", 1257},
        {"TIS-620", 874},     {"EUC-JP", 932},       {"GB2312", 936},      {"GBK", 936},
        {"GB18030", 936},     {"EUC-KR", 949},       {"BIG5", 950},        {"BIG5-HKSCS", 950}};
    std::ifstream supported("/usr/share/i18n/SUPPORTED");
    ASSERT_TRUE(supported) << "the package locales installs it";
    std::map<int, std::set<int>> scripts;
    for (std::string locale, charset; supported >> locale >> charset;) {
        if (!windows.count(charset))
            continue;
        size_t dot = locale.find('.');     /* "en_DK.ISO-8859-15" names the locale en_DK */
        if (dot != std::string::npos)
            locale.erase(dot, locale.find('@', dot) - dot);
        int country = atoi(LocaleValue(locale, "LC_TELEPHONE", "int_prefix").c_str());
        ASSERT_GT(country, 0) << locale;
        scripts[country].insert(windows.at(charset));
    }
    ASSERT_GT(scripts.size(), 90u) << "countries";
    /* Windows' own choice where Latin-1 writes the language, and Chinese before English */
    std::map<int, int> expected = {{355, 1250}, {372, 1257}, {852, 950}};
    for (const auto &[country, cps] : scripts)
        if (!expected.count(country))
            expected[country] = cps.size() == 1 ? *cps.begin() : 1252;
    for (const auto &[country, cp] : expected)
        EXPECT_EQ(HS_CountryCodePage(country), cp) << country;
}

/* An older launcher packs names in its system's code page, which the country's script decides:
 * a name of each script, and of the countries the C library's locales leave out, encoded by the
 * C library, is read back letter for letter. */
TEST(PackedText, OlderLaunchersOfEveryScriptKeepTheirNames)
{
    const struct { int country; const char *charset, *name; } systems[] = {
        {44, "WINDOWS-1252", "Zoë"},  {48, "WINDOWS-1250", "Łukasz"}, {380, "WINDOWS-1251", "Тарас"},
        {30, "WINDOWS-1253", "Αλέξης"}, {90, "WINDOWS-1254", "Şükrü"}, {972, "WINDOWS-1255", "דוד"},
        {966, "WINDOWS-1256", "محمد"}, {371, "WINDOWS-1257", "Jānis"}, {84, "WINDOWS-1258", "Đăng"},
        {66, "CP874", "สมชาย"},        {81, "CP932", "太郎"},           {86, "CP936", "小明"},
        {82, "CP949", "민수"},         {886, "CP950", "志明"},         {853, "CP950", "嘉欣"},
        {976, "WINDOWS-1251", "Болд"}, {996, "WINDOWS-1251", "Айбек"}, {98, "WINDOWS-1256", "رضا"}};
    for (const auto &s : systems) {
        char out[64], *in = (char *)s.name, *o = out;
        size_t inleft = strlen(s.name), outleft = sizeof(out);
        iconv_t cd = iconv_open(s.charset, "UTF-8");
        ASSERT_NE(cd, (iconv_t)-1) << s.charset;
        ASSERT_NE(iconv(cd, &in, &inleft, &o, &outleft), (size_t)-1) << s.charset;
        iconv_close(cd);
        EXPECT_EQ(HS_TextFrom(std::string(out, o - out), HS_CountryCodePage(s.country)), s.name) << s.country;
    }
}

TEST(PackedText, NamesInUtf8AndOlderCodePages)
{
    const char *ends = "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80"; /* of each UTF-8 length */
    struct {
        int cp;                 /* of the listing */
        const char *utf8;       /* name in the table */
        const char *wire;       /* its bytes in the listing */
        const char *back;       /* what a table read from those bytes holds */
    } cases[] = {
        {HS_UTF8, "Дима Jürgen ~€😀", "Дима Jürgen ~€😀", "Дима Jürgen ~€😀"},
        {HS_UTF8, "a\xFF" "b", "a?b", "a?b"},                     /* malformed UTF-8 */
        {HS_UTF8, ends, ends, ends},
        {HS_UTF8, "\xED\x9F\xBF\xED\xA0\x80\xED\xBF\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF\xF4\x90\x80\x80",  /* U+D7FF, */
         "\xED\x9F\xBF??????\xEE\x80\x80\xF4\x8F\xBF\xBF????",            /* U+D800, U+DFFF, U+E000, */
         "\xED\x9F\xBF??????\xEE\x80\x80\xF4\x8F\xBF\xBF????"},           /* U+10FFFF and one past */
        {1252, "Jürgen", "J\xFCrgen", "Jürgen"},
        {1252, "€Ÿ\u00A0ÿ", "\x80\x9F\xA0\xFF", "€Ÿ\u00A0ÿ"},
        {1252, "Дима", "????", "????"},
        {1252, "a\xFF" "b\xC3", "a?b?", "a?b?"},
        {1252, "x\xC2\x81y", "x?y", "x?y"},                        /* U+0081 has no byte */
        {1252, "", "\x81\x8D\x8F\x90\x9D", "?????"},               /* undefined bytes read */
        {1251, "ЂїАяЁё", "\x80\xBF\xC0\xFF\xA8\xB8", "ЂїАяЁё"},
        {1251, "Jürgen", "J?rgen", "J?rgen"},
        {1251, "", "\x98", "?"},
    };
    for (const auto &c : cases) {
        std::string listing = SV_Listing(std::string("42 ") + c.wire + "\n", c.cp == HS_UTF8 ? "#!CHARSET UTF-8\n" : "");
        HighscoreTable t = Fresh("x");
        t.e[0][0] = {c.utf8, 42};
        if (*c.utf8) {
            EXPECT_EQ(HS_Listing(&t, c.cp), listing) << c.back;
            EXPECT_EQ(PackTable(&t, c.cp), SV_RawPack(listing));
        }
        HighscoreTable u = Fresh();
        int found = 0;
        ASSERT_TRUE(UnpackTable(SV_RawPack(listing), &u, c.cp == HS_UTF8 ? 1251 : c.cp, &found));
        EXPECT_EQ(u.e[0][0].name, c.back);
        EXPECT_EQ(found, c.cp);
    }
    /* the 255-character limit of a read name counts characters, not bytes */
    HighscoreTable u = Fresh();
    ASSERT_TRUE(UnpackTable(SV_RawPack(SV_Listing("1 " + std::string(256, '\xE4') + "\n")), &u));
    EXPECT_EQ(u.e[0][0].name.size(), 2 * 255u);
    for (const char *n : {"Jürgenjürgen", "Jürgenjürgenj"})    /* 12 letters kept, the 13th cut */
        EXPECT_EQ(HS_CutUtf8(n, HS_TYPEDNAME), "Jürgenjürgen");
}
