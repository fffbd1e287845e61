/* The module interface: Game_Import's checks and Game_Main's guards (death tests). */
#include <gtest/gtest.h>

#include "gk_standin.h"

namespace {

/* The stand-ins imported with slots a and b holding v instead. */
void ImportWith(int a, int b = -1, void *v = nullptr)
{
    void *s[GAME_SERVICE_COUNT];
    for (int i = 0; i < GAME_SERVICE_COUNT; i++)
        s[i] = (i == a || i == b) ? v : harness::services[i];
    harness::Import(s);
}

TEST(ModuleInterface, VersionAndInversionServedBeforeImport)
{
    EXPECT_STREQ((const char *)Game_Main(GOP_VERSION, 0, 0, 0), "1.0.3");
    EXPECT_TRUE(Game_Main(GOP_MOUSEINV, 1, 0, 0) == 0 && g_mouseinvert == 1) << "inverted";
    EXPECT_TRUE(Game_Main(GOP_MOUSEINV, 0, 0, 0) == 0 && g_mouseinvert == 0) << "not";
}

TEST(ModuleInterfaceDeathTest, AnyOtherOpcodeBeforeImportEndsTheProcess)
{
    EXPECT_EXIT(Game_Main(GOP_INIT, 0, 0, 0), testing::ExitedWithCode(1),
                "qzmm: Game_Main: no pointers imported \\(shutting down\\)");
    EXPECT_EXIT(Game_Main(GOP_PARTICLES, 50, 0, 0), testing::ExitedWithCode(1), "no pointers imported");
}

TEST(ModuleInterfaceDeathTest, EveryNullServiceEndsTheProcessAndTheFirstIsNamed)
{
    for (int i = 0; i < 16; i++)
        EXPECT_EXIT(ImportWith(i), testing::ExitedWithCode(1),
                    "qzmm: Game_Import: '[a-z_0-9]+' is NULL \\(which it should not!\\)") << i;
    /* slots 3 and 9 null: slot 3 is reported */
    EXPECT_EXIT(ImportWith(8, 2), testing::ExitedWithCode(1), "'__spawnentity' is NULL");
}

TEST(ModuleInterfaceDeathTest, OpcodesBeforeInitialisationEndTheProcess)
{
    harness::Import(harness::services);
    EXPECT_EXIT(Game_Main(GOP_FRAME, 0, 0, 0), testing::ExitedWithCode(1),
                "qzmm: Game_Main: requested opcode 4, but game is not initialized "
                "\\(exit\\(\\)'ing...\\)");
    EXPECT_EXIT(Game_Main(42, 0, 0, 0), testing::ExitedWithCode(1), "requested opcode 42");
    EXPECT_EXIT(Game_Main(GOP_PARTICLES, 10, 0, 0), testing::ExitedWithCode(1), "requested opcode 6");
}

TEST(ModuleInterface, SecondImportKeepsTheFirstTable)
{
    harness::Import(harness::services);
    float other;
    ImportWith(0, -1, &other);
    EXPECT_EQ(gi.gametime, &harness::gametime);
}

} // namespace
