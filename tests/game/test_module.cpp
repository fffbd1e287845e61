/*
 * The game module's interface: Game_Import's checks of the sixteen
 * services, the two guards of Game_Main, the opcodes served before
 * initialisation, the particle factor and the master volume.  Guards end
 * the process, so they run as death tests (exit status and message).
 */
#include <gtest/gtest.h>

#include <string>

#include "gk_standin.h"

namespace {

void *g_slots[GAME_SERVICE_COUNT] = {
    (void *)&harness::gametime, (void *)&harness::lastgametime, (void *)harness::Spawn,
    (void *)harness::PendRemove, (void *)harness::Printf, (void *)harness::Shutdown,
    (void *)harness::CacheFile, (void *)harness::Play, (void *)harness::Listener,
    (void *)harness::SoundVolume, (void *)harness::Master, (void *)harness::Void,
    (void *)harness::Void, (void *)harness::Void, (void *)harness::Void, (void *)harness::Str};

void ImportSlots(void *const *s)
{
    Game_Import((float *)s[0], (float *)s[1], (svc_spawnentity_f)s[2], (svc_pendremove_f)s[3],
                (svc_conprintf_f)s[4], (svc_void_f)s[5], (svc_cachefile_f)s[6],
                (svc_play_f)s[7], (svc_listener_f)s[8], (svc_soundvolume_f)s[9],
                (svc_mastervolume_f)s[10], (svc_void_f)s[11], (svc_void_f)s[12],
                (svc_void_f)s[13], (svc_void_f)s[14], (svc_getstr_f)s[15]);
}

void ImportWithNull(int a, int b = -1)
{
    void *s[GAME_SERVICE_COUNT];
    for (int i = 0; i < GAME_SERVICE_COUNT; i++)
        s[i] = (i == a || i == b) ? nullptr : g_slots[i];
    ImportSlots(s);
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
        EXPECT_EXIT(ImportWithNull(i), testing::ExitedWithCode(1), want) << kNames[i];
    }
    /* the first null slot in slot order is the one reported */
    EXPECT_EXIT(ImportWithNull(8, 2), testing::ExitedWithCode(1), "'__spawnentity' is NULL");
}

TEST(ModuleInterfaceDeathTest, OpcodesBeforeInitialisationEndTheProcess)
{
    ImportSlots(g_slots);
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
    ImportSlots(g_slots);
    float other;
    void *s[GAME_SERVICE_COUNT];
    for (int i = 0; i < GAME_SERVICE_COUNT; i++)
        s[i] = g_slots[i];
    s[0] = &other;
    harness::log.clear();
    ImportSlots(s);
    EXPECT_EQ(harness::log, "Game_Import: pointers are already imported\n");
    EXPECT_EQ(gi.gametime, &harness::gametime);
}

TEST(ModuleInterface, MasterVolumeRefusesValuesOutsideTheRange)
{
    ImportSlots(g_slots);
    harness::log.clear();
    harness::mastervolumes.clear();
    G_SetMasterVolume(0.3f);
    G_SetMasterVolume(1.5f);
    G_SetMasterVolume(-0.1f);
    EXPECT_EQ(harness::mastervolumes, std::vector<float>{0.3f});
    EXPECT_FLOAT_EQ(G_GetMasterVolume(), 0.3f);
    EXPECT_TRUE(harness::Logged(
        "# G_SetMasterVolume: invalud volume: 1.500000 (expected 0.0f .. 1.0f)\n"));
    G_SetMasterVolume(0.0f);
    G_SetMasterVolume(1.0f);
    EXPECT_FLOAT_EQ(G_GetMasterVolume(), 1.0f);
}

} // namespace
