/* The file layer against real zip archives written to disk */
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fs.h"
#include "gk_support.h"
#include "zipwriter.h"

namespace {

struct FsTest : ::testing::Test {
    gk::TempDir tmp;
    std::string prefix;
    void SetUp() override { prefix = tmp.path + "/data/"; }
    void TearDown() override { FS_Shutdown(); }

    std::string Archive(const std::string &name, const std::string &bytes)
    {
        std::string p = tmp / name;
        EXPECT_TRUE(gk::WriteFile(p, bytes));
        return p;
    }
    int Mount(const std::string &n, const std::string &z) { return FS_Mount(Archive(n, z).c_str(), prefix.c_str()); }
    /* Whole contents of path through the file layer, or "<none>". */
    std::string Slurp(const std::string &path)
    {
        fsfile_t *f = FS_Open(path.c_str(), "rb");
        if (!f)
            return "<none>";
        std::string s(FS_Length(f), '\0');
        size_t n = s.empty() ? 0 : FS_Read(s.data(), s.size(), 1, f);
        FS_Close(f);
        return (s.empty() || n == 1) ? s : "<short>";
    }
};

std::string Big(size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; i++)
        s.push_back((char)("abcdefgh"[i % 8] + (i / 4096) % 3));
    return s;
}

/* One archive mounted alone */
struct MountCase { const char *what; std::string zip; int mounted;
                   std::vector<std::pair<std::string, std::string>> files; };

std::string Patched(std::string zip, size_t at, uint32_t value, int bytes = 4)
{
    gk::ZipPut(zip, at, value, bytes);
    return zip;
}

TEST_F(FsTest, WhatAnArchiveContributes)
{
    gk::ZipLayout a, c, d, l, y, z;
    std::string longname(255 - prefix.size(), 'n');
    std::string altered = gk::ZipBuild({{"s", "stored data", 0}, {"d", Big(5000), 8}}, "", &a);
    altered[a.payload[0] + 3] ^= 1;
    std::string badsig = gk::ZipBuild({{"s", "x", 0}}, "", &c);
    badsig[c.local[0]] = 'Q';
    std::string garbage = gk::ZipBuild({{"d", Big(3000), 8}}, "", &d);
    garbage.replace(d.payload[0], 20, std::string(20, '\xff'));
    const std::string two = gk::ZipBuild({{"a", "A", 0}, {"b", "B", 0}}, "", &l);
    /* an archive whose sizes and offsets are made to lie (mounted or not) */
    const std::string good = gk::ZipBuild({{"d", Big(3000), 8}, {"s", "stored", 0}}, "", &y);
    /* a member whose local header (without its name) and data end the archive, in its comment */
    std::string last = gk::ZipBuild({{"e", "\xff\xff", 0}}, "", &z);
    last = gk::ZipBuild({{"e", "\xff\xff", 0}}, Patched(last.substr(z.local[0], 30), 26, 0, 2) + "\xff\xff", &z);
    last = Patched(last, z.central[0] + 42, z.eocd + 22);
    const MountCase cases[] = {
        {"stored and deflated, long comment",
         gk::ZipBuild({{"models/a.dmo", "stored bytes", 0}, {"b.txt", Big(70000), 8}}, std::string(100, 'c')), 1,
         {{"models/a.dmo", "stored bytes"}, {"b.txt", Big(70000)}, {"models/b.txt", "<none>"}}},
        {"a descriptor entry ends the directory",
         gk::ZipBuild({{"one", "1", 8}, {"two", "2", 8, true}, {"three", "3", 0}}), 0,
         {{"one", "1"}, {"two", "<none>"}, {"three", "<none>"}}},
        {"directories and unknown methods are no files",
         gk::ZipBuild({{"models/", "", 0}, {"models/x.dmo", "X", 0}, {"odd", "Q", 12}}), 1,
         {{"models/", "<none>"}, {"models", "<none>"}, {"odd", "<none>"}, {"models/x.dmo", "X"},
          {"Models/x.dmo", "<none>"}, {"models/X.dmo", "<none>"}}},
        {"the same name twice: the last", gk::ZipBuild({{"n", "old"}, {"n", "new"}}), 1, {{"n", "new"}}},
        {"altered member fails its CRC", altered, 1, {{"s", "<none>"}, {"d", Big(5000)}}},
        {"bad local signature", badsig, 1, {{"s", "<none>"}}},
        {"a long name stops the mount", gk::ZipBuild({{"ok", "1", 0}, {longname, "2", 0}, {"after", "3", 0}}), 0,
         {{"ok", "1"}, {"after", "<none>"}}},
        {"garbage deflate stream", garbage, 1, {{"d", "<none>"}}},
        /* a central directory that lies: entries read before the fault stay */
        {"more entries than there are", Patched(two, l.eocd + 10, 500, 2), 0, {{"a", "A"}, {"b", "B"}}},
        {"directory larger than the file", Patched(two, l.eocd + 12, 0x7fffffff), 0, {{"a", "<none>"}}},
        {"name runs past the directory", Patched(two, l.central[1] + 28, 0xfff0, 2), 0, {{"a", "A"}, {"b", "<none>"}}},
        {"extra field runs past it", Patched(two, l.central[0] + 30, 0xfff0, 2), 0, {{"a", "<none>"}}},
        {"compressed size past end", Patched(good, y.local[0] + 18, 0x7ffffff0u), -1, {{"d", "<none>"}}},
        {"uncompressed size huge", Patched(good, y.local[0] + 22, 0xffffffffu), -1, {{"d", "<none>"}}},
        {"stored size mismatch", Patched(good, y.local[1] + 22, 5), -1, {{"s", "<none>"}}},
        {"stored size past end", Patched(good, y.local[1] + 18, 1000000), -1, {{"s", "<none>"}}},
        {"local offset past end", Patched(good, y.central[0] + 42, 0xfffffff0u), -1, {{"d", "<none>"}}},
        {"local offset inside data", Patched(good, y.central[1] + 42, 3), -1, {{"s", "<none>"}}},
        {"local name length past the end", Patched(good, y.local[1] + 28, 0xffff, 2), -1, {{"s", "<none>"}}},
        {"data ends the file", last, 1, {{"e", "\xff\xff"}}},
        {"data one past the end", Patched(last, z.eocd + 22 + 18, 3), -1, {{"e", "<none>"}}},  /* its size */
    };
    for (const MountCase &k : cases) {
        int mounted = Mount("x.pk3", k.zip);
        EXPECT_TRUE(k.mounted < 0 || k.mounted == mounted) << k.what;
        for (const auto &f : k.files)
            EXPECT_EQ(f.second, Slurp(prefix + f.first)) << k.what << ": " << f.first;
        FS_Shutdown();
    }
    /* names only under the prefix; missing, tiny or directory archives */
    ASSERT_EQ(1, Mount("y.pk3", gk::ZipBuild({{"a", "A"}})));
    EXPECT_TRUE(Slurp("a") == "<none>" && !FS_Open(std::string(255, 'p').c_str(), "rb"));
    EXPECT_EQ((std::vector<int>{FS_Mount((tmp / "none.pk3").c_str(), prefix.c_str()), Mount("empty.pk3", ""),
                                Mount("short.pk3", std::string(21, '\0')), FS_Mount(tmp.path.c_str(), prefix.c_str())}),
              (std::vector<int>{0, 0, 0, 0})) << "missing, empty, 21 bytes, a directory";
}

/* A member may unpack to four times the game's largest file (a 6 MiB sky texture), no more: one
 * past it is refused and damages its archive.  All archives together hold at most 65535 names. */
TEST_F(FsTest, MemberSizeAndCountCaps)
{
    const std::string at(4u * (6u << 20), '\0');
    std::string bomb = Archive("vex1.pk3", gk::ZipBuild({{"at", at}, {"past", at + "x"}}));
    EXPECT_EQ(0, FS_Mount(bomb.c_str(), prefix.c_str()));
    EXPECT_TRUE(Slurp(prefix + "at") == at && Slurp(prefix + "past") == "<none>");
    char why[256] = "";
    const char *damaged = FS_DamagedArchive(why, sizeof(why));
    EXPECT_EQ(bomb, damaged ? damaged : "none");
    EXPECT_EQ(0u, std::string(why).rfind("past: ", 0)) << why;
    FS_Shutdown();

    std::vector<gk::ZipMember> names;
    for (int i = 0; i < 65535; i++)
        names.push_back({"m" + std::to_string(i), "", 0});
    ASSERT_EQ(1, Mount("a.pk3", gk::ZipBuild(names)));
    EXPECT_EQ(0, Mount("b.pk3", gk::ZipBuild({{"m9", "again"}, {"new", "N"}})));
    EXPECT_EQ((std::vector<std::string>{"again", "<none>"}), (std::vector<std::string>{Slurp(prefix + "m9"), Slurp(prefix + "new")}));
}

TEST_F(FsTest, LaterArchiveWinsAndDiskBeatsBoth)
{
    ASSERT_EQ(1, Mount("a.pk3", gk::ZipBuild({{"textures/sky.tga", "first"}, {"only", "A"}})));
    ASSERT_EQ(1, Mount("b.pk3", gk::ZipBuild({{"textures/sky.tga", "second", 0}})));
    EXPECT_EQ((std::vector<std::string>{"second", "A"}), (std::vector<std::string>{Slurp(prefix + "textures/sky.tga"), Slurp(prefix + "only")}));
    ASSERT_TRUE(gk::MakeDirs(prefix + "textures"));
    EXPECT_TRUE(gk::WriteFile(prefix + "textures/sky.tga", "disk") && Slurp(prefix + "textures/sky.tga") == "disk");
}

TEST_F(FsTest, MemoryReadsAndWrites)
{
    ASSERT_EQ(1, Mount("a.pk3", gk::ZipBuild({{"ten", "0123456789"}, {"e", "", 0}})));
    /* whole files come terminated, with their size */
    uint32_t len = 99;
    for (const char *name : {"ten", "e"}) {
        unsigned char *d = FS_LoadFile((prefix + name).c_str(), &len);
        ASSERT_NE(nullptr, d);
        EXPECT_TRUE(len == (strlen(name) == 1 ? 0u : 10u) && d[len] == 0) << len;
        FS_FreeFile(d);
    }
    EXPECT_EQ(nullptr, FS_LoadFile((prefix + "nothing").c_str(), &len));
    fsfile_t *f = FS_Open((prefix + "ten").c_str(), "rt");
    ASSERT_NE(nullptr, f);
    char buf[16] = {0};
    EXPECT_EQ((std::vector<size_t>{10, 2}), (std::vector<size_t>{FS_Length(f), FS_Read(buf, 4, 3, f)})) << "length, items read";
    EXPECT_EQ(std::string("01234567"), std::string(buf, 8));
    EXPECT_EQ((std::vector<size_t>{0, 2}), (std::vector<size_t>{FS_Read(buf, 4, 1, f), FS_Read(buf, 1, 5, f)})) << "2 left: no whole 4";
    EXPECT_EQ('8', buf[0]);
    EXPECT_EQ((std::vector<size_t>{FS_Read(buf, 0, 5, f), FS_Read(buf, 1, 0, f), FS_Write("x", 1, 1, f)}),
              (std::vector<size_t>{0, 0, 0})) << "no size, no count, no writing";
    FS_Close(f);
    /* Writing goes to disk */
    EXPECT_EQ(nullptr, FS_Open((prefix + "ten").c_str(), "wb")); /* no data/ directory yet */
    ASSERT_TRUE(gk::MakeDirs(prefix));
    f = FS_Open((prefix + "ten").c_str(), "wb");
    ASSERT_NE(nullptr, f);
    EXPECT_EQ((std::vector<size_t>{3, 6}), (std::vector<size_t>{FS_Write("abcdef", 2, 3, f), FS_Length(f)}));
    FS_Close(f);
    EXPECT_EQ("abcdef", Slurp(prefix + "ten"));
}

} // namespace
