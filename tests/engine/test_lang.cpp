/*
 * Translation packages read from a real data directory: which lines take
 * slots, the size limit, out-of-range indices, and a package inside an
 * archive.
 */
#include <gtest/gtest.h>

#include <string>

#include "common.h"
#include "fs.h"
#include "gk_support.h"
#include "lang.h"
#include "zipwriter.h"

namespace {

struct LangTest : ::testing::Test {
    gk::TempDir tmp;
    char saved[MAX_OSPATH];
    void SetUp() override
    {
        Com_Strncpy(saved, com_datadir, sizeof(saved));
        std::string d = tmp.path + "/data/";
        gk::MakeDirs(d);
        Com_Strncpy(com_datadir, d.c_str(), sizeof(com_datadir));
    }
    void TearDown() override
    {
        Com_Strncpy(com_datadir, saved, sizeof(com_datadir));
        FS_Shutdown();
        Lang_Load(-12345); /* leave the table empty for other tests */
    }
    void Package(int code, const std::string &text)
    {
        ASSERT_TRUE(gk::WriteFile(std::string(com_datadir) + "ingame_" + std::to_string(code) + ".txt", text));
    }
};

TEST_F(LangTest, CommentsAndEmptyLinesTakeNoSlot)
{
    Package(1, ";comment\r\n;another\n\nTitle %s\r\nPlasma\rGlibber\n\n\n;between\nLast;\n");
    Lang_Load(1);
    EXPECT_STREQ("Title %s", Lang_GetLocalizedStr(0));
    EXPECT_STREQ("Plasma", Lang_GetLocalizedStr(1));
    EXPECT_STREQ("Glibber", Lang_GetLocalizedStr(2));
    EXPECT_STREQ("Last;", Lang_GetLocalizedStr(3));
    EXPECT_STREQ("", Lang_GetLocalizedStr(4));
    EXPECT_STREQ("", Lang_GetLocalizedStr(15));
}

TEST_F(LangTest, OutOfRangeIndices)
{
    Package(1, "a\n");
    Lang_Load(1);
    EXPECT_STREQ("?", Lang_GetLocalizedStr(16));
    EXPECT_STREQ("?", Lang_GetLocalizedStr(-1));
    EXPECT_STREQ("?", Lang_GetLocalizedStr(1 << 30));
}

TEST_F(LangTest, KeepsTheFirstSixteenLines)
{
    std::string text;
    for (int i = 0; i < 20; i++)
        text += "line" + std::to_string(i) + "\n";
    Package(2, text);
    Lang_Load(2);
    EXPECT_STREQ("line0", Lang_GetLocalizedStr(0));
    EXPECT_STREQ("line15", Lang_GetLocalizedStr(15));
}

TEST_F(LangTest, LastLineIsKeptEvenAsComment)
{
    Package(2, "one\n;tail");
    Lang_Load(2);
    EXPECT_STREQ("one", Lang_GetLocalizedStr(0));
    EXPECT_STREQ(";tail", Lang_GetLocalizedStr(1));
}

TEST_F(LangTest, SizeLimitAndMissingPackage)
{
    Package(4, "old\n");
    Lang_Load(4);
    EXPECT_STREQ("old", Lang_GetLocalizedStr(0));
    std::string big = "x\n" + std::string(8192 - 2, ';');
    Package(5, big);
    Lang_Load(5);
    EXPECT_STREQ("", Lang_GetLocalizedStr(0)); /* exactly 8192 bytes: ignored */
    big.pop_back();
    Package(6, big);
    Lang_Load(6);
    EXPECT_STREQ("x", Lang_GetLocalizedStr(0));
    Lang_Load(3); /* no data/ingame_3.txt */
    for (int i = 0; i < 16; i++)
        EXPECT_STREQ("", Lang_GetLocalizedStr(i));
}

TEST_F(LangTest, LongLinesAreCut)
{
    Package(7, std::string(200, 'w') + "\nnext\n");
    Lang_Load(7);
    EXPECT_EQ(std::string(79, 'w'), Lang_GetLocalizedStr(0));
    EXPECT_STREQ("next", Lang_GetLocalizedStr(1));
}

TEST_F(LangTest, PackageFromAnArchive)
{
    std::string pk3 = tmp / "vex0.pk3";
    ASSERT_TRUE(gk::WriteFile(pk3, gk::ZipBuild({{"ingame_49.txt", "Hallo\nWelt\n"}})));
    ASSERT_EQ(1, FS_Mount(pk3.c_str(), com_datadir));
    Lang_Load(49);
    EXPECT_STREQ("Hallo", Lang_GetLocalizedStr(0));
    EXPECT_STREQ("Welt", Lang_GetLocalizedStr(1));
}

} // namespace
