/*
 * test_scores.cpp -- highscore rows (sort, rank, insert) and the packed
 * text form: round trips, and texts that are cut, altered or lie about
 * their sizes.
 */
#include <gtest/gtest.h>
#include <zlib.h>

#include "l_local.h"

static HighscoreTable Fresh(const char *name = "unbekannt")
{
    HighscoreTable t;
    HS_Fill(&t, name, 0);
    return t;
}

static std::string Hex(const std::string &bytes)
{
    static const char h[] = "0123456789ABCDEF";
    std::string s;
    for (unsigned char c : bytes) {
        s += h[c >> 4];
        s += h[c & 15];
    }
    return s;
}

/* A packed text built by hand: any listing, any stated length and CRC. */
static std::string Packed(const std::string &listing, uint32_t len, uint32_t crc)
{
    std::string blk(8, '\0');
    for (int i = 0; i < 4; i++) {
        blk[i] = (char)(len >> (8 * i));
        blk[4 + i] = (char)(crc >> (8 * i));
    }
    uLongf n = compressBound(listing.size());
    std::string c(n, '\0');
    compress((Bytef *)c.data(), &n, (const Bytef *)listing.data(), listing.size());
    return Hex(blk + c.substr(0, n));
}

static uint32_t Crc(const std::string &s)
{
    return (uint32_t)crc32(0, (const Bytef *)s.data(), s.size());
}

TEST(HighscoreRows, RankInsertAndSort)
{
    HighscoreTable t = Fresh();
    for (int i = 0; i < 10; i++)
        t.e[2][i].points = 100;
    EXPECT_EQ(FindRank(&t, 2, 100), 10);
    EXPECT_EQ(FindRank(&t, 2, 101), 0);
    t.e[2][9].points = 50;
    EXPECT_EQ(FindRank(&t, 2, 50), 10);    /* equal to the 10th: no place */
    EXPECT_EQ(FindRank(&t, 2, 51), 9);

    InsertEntry(&t, 2, 0, "neu", 200);
    EXPECT_EQ(t.e[2][0].name, "neu");
    EXPECT_EQ(t.e[2][0].points, 200);
    EXPECT_EQ(t.e[2][9].points, 100);      /* the 50 fell out */
    EXPECT_EQ(t.e[1][0].points, 0);        /* other rows untouched */
    InsertEntry(&t, 2, 10, "x", 1);        /* out of range: nothing */
    InsertEntry(&t, 8, 0, "x", 1);
    EXPECT_EQ(t.e[2][9].points, 100);

    HighscoreTable s = Fresh();
    s.e[0][0] = {"a", 5};
    s.e[0][1] = {"b", 9};
    s.e[0][2] = {"c", 5};
    HS_SortRow(&s, 0);
    EXPECT_EQ(s.e[0][0].name, "b");
    EXPECT_EQ(s.e[0][1].name, "a");
    EXPECT_EQ(s.e[0][2].name, "c");
    for (int i = 1; i < 10; i++)
        EXPECT_GE(s.e[0][i - 1].points, s.e[0][i].points);
}

TEST(PackedText, RoundTripAndHead)
{
    HighscoreTable t = Fresh();
    std::string p = PackTable(&t);
    ASSERT_GE(p.size(), 16u);
    EXPECT_EQ(p.size() % 2, 0u);
    EXPECT_EQ(p.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    uint32_t L = (uint32_t)HS_Listing(&t).size();
    char head[9];
    snprintf(head, sizeof(head), "%02X%02X%02X%02X", L & 255, (L >> 8) & 255, (L >> 16) & 255, L >> 24);
    EXPECT_EQ(p.substr(0, 8), head);

    t.e[3][4] = {"Zoë mit Leerzeichen", -17};
    t.e[7][9] = {std::string(255, 'n'), 2147483647};
    HighscoreTable u = Fresh("leer");
    ASSERT_TRUE(UnpackTable(PackTable(&t), &u));
    for (int r = 0; r < HS_ROWS; r++)
        for (int i = 0; i < HS_ENTRIES; i++) {
            EXPECT_EQ(u.e[r][i].name, t.e[r][i].name);
            EXPECT_EQ(u.e[r][i].points, t.e[r][i].points);
        }
    /* lower-case digits are fine too */
    std::string lower = p;
    for (char &c : lower)
        c = (char)tolower(c);
    EXPECT_TRUE(UnpackTable(lower, &u));
    EXPECT_EQ(u.e[3][4].name, "unbekannt");
}

TEST(PackedText, DamagedTextsAreRejected)
{
    HighscoreTable t = Fresh();
    t.e[0][0] = {"keep", 77};
    HighscoreTable u = t;
    std::string p = PackTable(&t);

    EXPECT_FALSE(UnpackTable(p.substr(0, p.size() - 1), &u));     /* odd length */
    EXPECT_FALSE(UnpackTable(std::string(15, '0'), &u));          /* too short */
    EXPECT_FALSE(UnpackTable("", &u));
    std::string nothex = p;
    nothex[20] = 'G';
    EXPECT_FALSE(UnpackTable(nothex, &u));
    /* one changed digit in the compressed part */
    for (size_t pos : {p.size() / 3, p.size() / 2, (size_t)30}) {
        std::string bad = p;
        bad[pos] = bad[pos] == '0' ? '1' : '0';
        EXPECT_FALSE(UnpackTable(bad, &u)) << pos;
    }
    /* wrong CRC in the head */
    std::string badcrc = p;
    badcrc[8] = badcrc[8] == 'A' ? 'B' : 'A';
    EXPECT_FALSE(UnpackTable(badcrc, &u));
    EXPECT_EQ(u.e[0][0].name, "keep");
    EXPECT_EQ(u.e[0][0].points, 77);
}

TEST(PackedText, SizesThatLie)
{
    HighscoreTable t = Fresh();
    HighscoreTable u = Fresh("keep");
    std::string listing = HS_Listing(&t);
    uint32_t crc = Crc(listing);
    /* the head claims far more than the stream holds, up to 4 GB */
    for (uint32_t L : {0xffffffffu, 0x7fffffffu, (uint32_t)listing.size() * 4, (uint32_t)listing.size() + 3})
        EXPECT_FALSE(UnpackTable(Packed(listing, L, crc), &u)) << L;
    /* a shorter claim: the CRC of the shorter text does not match */
    EXPECT_FALSE(UnpackTable(Packed(listing, 100, crc), &u));
    /* a shorter claim with its matching CRC: too few entry lines */
    std::string part = listing.substr(0, 100);
    EXPECT_FALSE(UnpackTable(Packed(listing, 100, Crc(part)), &u));
    /* no stream at all, just a head */
    EXPECT_FALSE(UnpackTable(Hex(std::string(8, '\0')), &u));
    EXPECT_FALSE(UnpackTable(std::string(16, 'F'), &u));
    /* a decoded block beyond 8192 bytes */
    EXPECT_FALSE(UnpackTable(Packed(listing, listing.size(), crc) + std::string(2 * 8192, '0'), &u));
    EXPECT_EQ(u.e[5][5].name, "keep");
    /* the honest one is accepted */
    EXPECT_TRUE(UnpackTable(Packed(listing, listing.size(), crc), &u));
    EXPECT_EQ(u.e[5][5].name, "unbekannt");
}

TEST(PackedText, ListingContents)
{
    HighscoreTable u = Fresh("keep");
    std::string good;
    good = "#!FORMAT 1 8 10\n# another comment\r\n";
    for (int i = 0; i < 80; i++)
        good += std::to_string(i) + " name " + std::to_string(i) + (i % 2 ? "\r\n" : "\n");
    std::string extra = good + "999 extra line\nnot even a score\n";
    ASSERT_TRUE(UnpackTable(Packed(extra, extra.size(), Crc(extra)), &u));
    EXPECT_EQ(u.e[0][1].name, "name 1");
    EXPECT_EQ(u.e[7][9].points, 79);
    EXPECT_EQ(u.e[7][9].name, "name 79");

    HighscoreTable keep = Fresh("keep");
    auto rejected = [&keep](const std::string &s) {
        HighscoreTable v = keep;
        bool ok = UnpackTable(Packed(s, s.size(), Crc(s)), &v);
        return !ok && v.e[0][0].name == "keep";
    };
    std::string few = good.substr(0, good.find("79 name"));
    EXPECT_TRUE(rejected(few));
    std::string nospace = good;
    nospace.replace(nospace.find("5 name 5"), 8, "5xname_5");
    EXPECT_TRUE(rejected(nospace));
    std::string nonnum = good;
    nonnum.replace(nonnum.find("5 name 5"), 1, "x");
    EXPECT_TRUE(rejected(nonnum));
    std::string huge = good;
    huge.replace(huge.find("5 name 5"), 1, "99999999999");
    EXPECT_TRUE(rejected(huge));

    /* names longer than 255 characters are cut, not refused */
    std::string longname = "#!FORMAT 1 8 10\n";
    for (int i = 0; i < 80; i++)
        longname += "1 " + std::string(300, 'a' + i % 26) + "\n";
    ASSERT_TRUE(UnpackTable(Packed(longname, longname.size(), Crc(longname)), &u));
    EXPECT_EQ(u.e[0][0].name.size(), 255u);
    /* such a table still packs, or refuses cleanly when it cannot fit */
    std::string p = PackTable(&u);
    if (!p.empty()) {
        EXPECT_LE(p.size(), 16384u);
        HighscoreTable w = Fresh();
        EXPECT_TRUE(UnpackTable(p, &w));
    }
}

TEST(PackedText, IncompressibleTableIsRefusedNotCut)
{
    HighscoreTable t = Fresh();
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
    std::string p = PackTable(&t);
    EXPECT_TRUE(p.empty());
}

/* Names travel in Windows-1252: a listing built by hand from the format
 * rules against the packed text, both ways. */
TEST(PackedText, NamesInWindows1252)
{
    struct {
        const char *utf8;       /* name in the table */
        const char *wire;       /* its bytes in the listing */
        const char *back;       /* what a table read from those bytes holds */
    } cases[] = {
        {"Jürgen", "J\xFCrgen", "Jürgen"},
        {"€ŠšŽžŸ‰™", "\x80\x8A\x9A\x8E\x9E\x9F\x89\x99", "€ŠšŽžŸ‰™"},
        {"Дима", "????", "????"},
        {"a\xFF" "b\xC3", "a?b?", "a?b?"},             /* malformed UTF-8 */
        {"x\xC2\x81y", "x?y", "x?y"},                  /* U+0081 has no byte */
        {"", "\x81\x8D\x8F\x90\x9D", "?????"},          /* undefined bytes read */
    };
    for (const auto &c : cases) {
        std::string head = "#!FORMAT 1 8 10\n", listing = head;
        HighscoreTable t = Fresh("x");
        t.e[4][7] = {c.utf8, 42};
        for (int i = 0; i < 80; i++)
            listing += i == 47 ? std::string("42 ") + c.wire + "\n" : "0 x\n";
        if (*c.utf8) {
            EXPECT_EQ(HS_Listing(&t), listing) << c.back;
            std::string p = PackTable(&t);
            EXPECT_EQ(p, Packed(listing, listing.size(), Crc(listing)));
        }
        HighscoreTable u = Fresh();
        ASSERT_TRUE(UnpackTable(Packed(listing, listing.size(), Crc(listing)), &u));
        EXPECT_EQ(u.e[4][7].name, c.back);
    }
    /* the 255-character limit of a read name counts characters, not bytes */
    std::string listing = "#!FORMAT 1 8 10\n";
    for (int i = 0; i < 80; i++)
        listing += "1 " + std::string(300, '\xE4') + "\n";
    HighscoreTable u = Fresh();
    ASSERT_TRUE(UnpackTable(Packed(listing, listing.size(), Crc(listing)), &u));
    EXPECT_EQ(u.e[0][0].name.size(), 2 * 255u);
    EXPECT_EQ(HS_CutUtf8("Jürgenjürgenjürgen", HS_TYPEDNAME), "Jürgenjürgen");
}
