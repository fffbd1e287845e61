/*
 * g_main.cpp -- the module interface: Game_Import with its checks of the
 * sixteen engine services, Game_Main with its two guards and the opcode
 * table, the state handler slots, the master volume and the module's own
 * message boxes.
 */
#include "g_local.h"

#include <SDL.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

game_services_t gi;
float g_particlefactor = 1.0f;
int g_mouseinvert = 0;

g_framehandler_f g_framehandler;
g_charhandler_f g_charhandler;
g_pointerhandler_f g_pointerhandler;

static int g_imported;
static int g_initialised;
static float g_mastervolume = 1.0f;
static const char g_version[] = GAME_VERSION;

static const char *const g_slotnames[GAME_SERVICE_COUNT] = {
    "gametime", "lastgametime", "__spawnentity", "__pendremove",
    "conprintf", "shutdown", "sfx_cachefile", "sfx_play",
    "sfx_updatelistener3d", "sfx_setsoundvolume", "sfx_setmastervolume",
    "sfx_pauseall", "sfx_resumeall", "gametime_pause", "gametime_resume",
    "lang_getlocalizedstr"};

void G_MessageBox(const char *caption, const char *text)
{
    const char *headless = getenv("GACKATRON_HEADLESS");
    fflush(stdout);
    if (headless && strcmp(headless, "1") == 0) {
        fprintf(stderr, "%s: %s\n", caption, text);
        fflush(stderr);
        return;
    }
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, NULL) < 0) {
        fprintf(stderr, "%s: %s\n", caption, text);
        fflush(stderr);
    }
}

void G_FatalError(const char *text)
{
    G_MessageBox("qzmm", text);
    exit(1);
}

void G_SetMasterVolume(float volume)
{
    if (!(volume >= 0.0f && volume <= 1.0f)) {
        gi.conprintf("# G_SetMasterVolume: invalud volume: %f (expected 0.0f .. 1.0f)\n",
                     (double)volume);
        return;
    }
    gi.sfx_setmastervolume(volume);
    g_mastervolume = volume;
}

float G_GetMasterVolume(void)
{
    return g_mastervolume;
}

extern "C" __attribute__((visibility("default"))) void
Game_Import(float *gametime, float *lastgametime, svc_spawnentity_f spawnentity,
            svc_pendremove_f pendremove, svc_conprintf_f conprintf,
            svc_void_f shutdown, svc_cachefile_f sfx_cachefile,
            svc_play_f sfx_play, svc_listener_f sfx_updatelistener3d,
            svc_soundvolume_f sfx_setsoundvolume,
            svc_mastervolume_f sfx_setmastervolume, svc_void_f sfx_pauseall,
            svc_void_f sfx_resumeall, svc_void_f gametime_pause,
            svc_void_f gametime_resume, svc_getstr_f lang_getlocalizedstr)
{
    if (g_imported) {
        gi.conprintf("Game_Import: pointers are already imported\n");
        return;
    }
    const void *slots[GAME_SERVICE_COUNT] = {
        (const void *)gametime, (const void *)lastgametime,
        (const void *)spawnentity, (const void *)pendremove,
        (const void *)conprintf, (const void *)shutdown,
        (const void *)sfx_cachefile, (const void *)sfx_play,
        (const void *)sfx_updatelistener3d, (const void *)sfx_setsoundvolume,
        (const void *)sfx_setmastervolume, (const void *)sfx_pauseall,
        (const void *)sfx_resumeall, (const void *)gametime_pause,
        (const void *)gametime_resume, (const void *)lang_getlocalizedstr};
    for (int i = 0; i < GAME_SERVICE_COUNT; i++) {
        if (!slots[i]) {
            char text[128];
            snprintf(text, sizeof(text), "Game_Import: '%s' is NULL (which it should not!)",
                     g_slotnames[i]);
            G_FatalError(text);
        }
    }
    gi.gametime = gametime;
    gi.lastgametime = lastgametime;
    gi.spawnentity = spawnentity;
    gi.pendremove = pendremove;
    gi.conprintf = conprintf;
    gi.shutdown = shutdown;
    gi.sfx_cachefile = sfx_cachefile;
    gi.sfx_play = sfx_play;
    gi.sfx_updatelistener3d = sfx_updatelistener3d;
    gi.sfx_setsoundvolume = sfx_setsoundvolume;
    gi.sfx_setmastervolume = sfx_setmastervolume;
    gi.sfx_pauseall = sfx_pauseall;
    gi.sfx_resumeall = sfx_resumeall;
    gi.gametime_pause = gametime_pause;
    gi.gametime_resume = gametime_resume;
    gi.lang_getlocalizedstr = lang_getlocalizedstr;
    g_imported = 1;
    gi.conprintf("Game_Import: successfully imported all pointers\n");
    gi.conprintf("Game version: %s\n", g_version);
}

/* Opcode 0: a second successful call only warns (see the flow code).  The
 * one place where the module's 1-for-success becomes the interface's 0 on
 * success, 1 on failure. */
static intptr_t G_OpInit(int level)
{
    if (!Init_And_Load_Level(level))
        return 1;
    g_initialised = 1;
    return 0;
}

static void G_Guards(int opcode)
{
    if (!g_imported && opcode != GOP_VERSION && opcode != GOP_MOUSEINV)
        G_FatalError("Game_Main: no pointers imported (shutting down)");
    if (!g_initialised && opcode != GOP_INIT && opcode != GOP_VERSION &&
        opcode != GOP_MOUSEINV) {
        char text[260];
        snprintf(text, sizeof(text),
                 "Game_Main: requested opcode %i, but game is not initialized (exit()'ing...)",
                 opcode);
        G_FatalError(text);
    }
}

extern "C" __attribute__((visibility("default"))) intptr_t
Game_Main(int opcode, int a, int b, int c)
{
    G_Guards(opcode);
    switch (opcode) {
    case GOP_INIT:
        return G_OpInit(a);
    case GOP_CAMERA:
        return (intptr_t)G_CameraEntity();
    case GOP_KEY:
        if (a == IE_CHAR)
            g_charhandler(b, c);
        return 0;
    case GOP_POINTER:
        g_pointerhandler(a, b, c);
        return 0;
    case GOP_FRAME:
        g_framehandler(G_CurrentLevel());
        return 0;
    case GOP_VERSION:
        return (intptr_t)g_version;
    case GOP_PARTICLES:
        if ((unsigned)a <= 100u)
            g_particlefactor = (float)a / 100.0f;
        return 0;
    case GOP_MOUSEINV:
        g_mouseinvert = (a != 0);
        return 0;
    case GOP_POSTDRAW:
        return 0;
    default:
        gi.conprintf("# Game_Main: unknown opcode: %i\n", opcode);
        return 0;
    }
}
