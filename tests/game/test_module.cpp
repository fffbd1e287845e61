/* The module interface: Game_Import's checks and Game_Main's guards (death tests). */
#include <gtest/gtest.h>

#include <string>

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

const char *const kNames[GAME_SERVICE_COUNT] = {
    "gametime", "lastgametime", "__spawnentity", "__pendremove", "conprintf", "shutdown",
    "sfx_cachefile", "sfx_play", "sfx_updatelistener3d", "sfx_setsoundvolume",
    "sfx_setmastervolume", "sfx_pauseall", "sfx_resumeall", "gametime_pause",
    "gametime_resume", "lang_getlocalizedstr"};

TEST(ModuleInterface, VersionAndInversionServedBeforeImport)
{
    EXPECT_STREQ((const char *)Game_Main(GOP_VERSION, 0, 0, 0), "1.0.3");
    EXPECT_EQ(Game_Main(GOP_MOUSEINV, 1, 0, 0), 0);
    EXPECT_EQ(g_mouseinvert, 1);
    EXPECT_EQ(Game_Main(GOP_MOUSEINV, 0, 0, 0), 0);
    EXPECT_EQ(g_mouseinvert, 0);
}

TEST(ModuleInterfaceDeathTest, AnyOtherOpcodeBeforeImportEndsTheProcess)
{
    EXPECT_EXIT(Game_Main(GOP_INIT, 0, 0, 0), testing::ExitedWithCode(1),
                "qzmm: Game_Main: no pointers imported \\(shutting down\\)");
    EXPECT_EXIT(Game_Main(GOP_PARTICLES, 50, 0, 0), testing::ExitedWithCode(1),
                "no pointers imported");
}

TEST(ModuleInterfaceDeathTest, EachNullServiceIsNamed)
{
    for (int i = 0; i < GAME_SERVICE_COUNT; i++) {
        std::string want = std::string("qzmm: Game_Import: '") + kNames[i] +
                           "' is NULL \\(which it should not!\\)";
        EXPECT_EXIT(ImportWith(i), testing::ExitedWithCode(1), want) << kNames[i];
    }
    /* the first null slot in slot order is the one reported */
    EXPECT_EXIT(ImportWith(8, 2), testing::ExitedWithCode(1), "'__spawnentity' is NULL");
}

TEST(ModuleInterfaceDeathTest, OpcodesBeforeInitialisationEndTheProcess)
{
    harness::Import(harness::services);
    EXPECT_TRUE(harness::Logged("Game_Import: successfully imported all pointers\n"));
    EXPECT_TRUE(harness::Logged("Game version: 1.0.3\n"));
    EXPECT_EXIT(Game_Main(GOP_FRAME, 0, 0, 0), testing::ExitedWithCode(1),
                "qzmm: Game_Main: requested opcode 4, but game is not initialized "
                "\\(exit\\(\\)'ing...\\)");
    EXPECT_EXIT(Game_Main(42, 0, 0, 0), testing::ExitedWithCode(1), "requested opcode 42");
    EXPECT_EXIT(Game_Main(GOP_PARTICLES, 10, 0, 0), testing::ExitedWithCode(1),
                "requested opcode 6");
}

TEST(ModuleInterface, SecondImportKeepsTheFirstTable)
{
    harness::Import(harness::services);
    float other;
    harness::log.clear();
    ImportWith(0, -1, &other);
    EXPECT_EQ(harness::log, "Game_Import: pointers are already imported\n");
    EXPECT_EQ(gi.gametime, &harness::gametime);
}

} // namespace
