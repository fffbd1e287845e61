/* Translation packages read from a real data directory */
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
        gk::MakeDirs(tmp / "data");
        Com_Strncpy(com_datadir, (tmp / "data/").c_str(), sizeof(com_datadir));
    }
    void TearDown() override
    {
        Com_Strncpy(com_datadir, saved, sizeof(com_datadir));
        FS_Shutdown();
        Lang_Load(-12345); /* leave the table empty for other tests */
    }
    /* Loads text as package 1; the slots it gives, up to the last filled one. */
    std::vector<std::string> Slots(const std::string &text)
    {
        EXPECT_TRUE(gk::WriteFile(std::string(com_datadir) + "ingame_1.txt", text));
        Lang_Load(1);
        std::vector<std::string> out;
        for (int i = 0; i < 16; i++)
            out.push_back(Lang_GetLocalizedStr(i));
        while (!out.empty() && out.back().empty())
            out.pop_back();
        return out;
    }
};

using S = std::vector<std::string>;

TEST_F(LangTest, WhichLinesTakeSlots)
{
    /* comments and empty lines take none; any line break ends a line */
    EXPECT_EQ(Slots(";a longer comment\r\n;d\n\nTitle %s\r\nPlasma\rGlibber\n\n;x\nLast;\n"),
              (S{"Title %s", "Plasma", "Glibber", "Last;"}));
    EXPECT_EQ(Slots("one\n;tail"), (S{"one", ";tail"}));
    std::string twenty;
    for (int i = 0; i < 20; i++)
        twenty += "line" + std::to_string(i) + "\n";
    EXPECT_EQ(Slots(twenty).back(), "line15");
    EXPECT_EQ(Slots(std::string(200, 'w') + "\nnext\n"), (S{std::string(79, 'w'), "next"}));
    std::string big = "x\n" + std::string(8192 - 2, ';');
    EXPECT_EQ(Slots(big), S{}) << "exactly 8192 bytes: ignored";
    big.pop_back();
    EXPECT_EQ(Slots(big).at(0), "x");
    for (int i : {16, -1, 1 << 30})
        EXPECT_STREQ("?", Lang_GetLocalizedStr(i));
    Lang_Load(3); /* no data/ingame_3.txt */
    EXPECT_STREQ("", Lang_GetLocalizedStr(0));
}

TEST_F(LangTest, PackageFromAnArchive)
{
    std::string pk3 = tmp / "vex0.pk3";
    ASSERT_TRUE(gk::WriteFile(pk3, gk::ZipBuild({{"ingame_49.txt", "Hallo\nWelt\n"}})));
    ASSERT_EQ(1, FS_Mount(pk3.c_str(), com_datadir));
    Lang_Load(49);
    EXPECT_EQ((S{"Hallo", "Welt"}), (S{Lang_GetLocalizedStr(0), Lang_GetLocalizedStr(1)}));
}

} // namespace
