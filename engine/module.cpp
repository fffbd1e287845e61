/*
 * module.cpp -- the game module: loading ./<data directory>game.dll,
 * binding Game_Import and Game_Main by name, handing over the sixteen
 * engine services in slot order, the initialisation opcodes, and the
 * running flag that gates every later opcode.
 */
#include "module.h"

#include "engine.h"
#include "entity.h"
#include "lang.h"
#include "sound.h"

#include <dlfcn.h>
#include <stdarg.h>
#include <stdio.h>

int mod_running;

static void *mod_handle;
static game_import_f mod_import;
static game_main_f mod_main;
static char mod_error[512];

/* conprintf: the engine log. */
static void Mod_ConPrintf(const char *fmt, ...)
{
    char text[1024];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(text, sizeof(text), fmt, ap);
    va_end(ap);
    Com_Printf("%s", text);
}

void Mod_GetServices(game_services_t *t)
{
    t->gametime = &eng_gametime;
    t->lastgametime = &eng_lastgametime;
    t->spawnentity = Ent_Spawn;
    t->pendremove = Ent_PendRemove;
    t->conprintf = Mod_ConPrintf;
    t->shutdown = Eng_Shutdown;
    t->sfx_cachefile = SFX_CacheFile;
    t->sfx_play = SFX_PlayByName;
    t->sfx_updatelistener3d = SFX_UpdateListener3D;
    t->sfx_setsoundvolume = SFX_SetSoundVolume;
    t->sfx_setmastervolume = SFX_SetMasterVolume;
    t->sfx_pauseall = SFX_PauseAll;
    t->sfx_resumeall = SFX_ResumeAll;
    t->gametime_pause = Eng_GametimePause;
    t->gametime_resume = Eng_GametimeResume;
    t->lang_getlocalizedstr = Lang_GetLocalizedStr;
}

static int Mod_Bind(game_import_f imp, game_main_f main)
{
    if (imp && main) {
        mod_import = imp;
        mod_main = main;
        return 1;
    }
    char path[MAX_OSPATH + 16];
    snprintf(path, sizeof(path), "./%sgame.dll", com_datadir);
    mod_handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!mod_handle) {
        snprintf(mod_error, sizeof(mod_error), "%s", dlerror());
        Com_Printf("# Mod_LoadGame: %s\n", mod_error);
        return 0;
    }
    mod_import = (game_import_f)dlsym(mod_handle, "Game_Import");
    mod_main = (game_main_f)dlsym(mod_handle, "Game_Main");
    if (!mod_import || !mod_main) {
        snprintf(mod_error, sizeof(mod_error), "%s lacks Game_Import or Game_Main", path);
        Com_Printf("# Mod_LoadGame: %s\n", mod_error);
        Mod_UnloadGame();
        return 0;
    }
    return 1;
}

int Mod_LoadGame(int level, int mouseinv, game_import_f imp, game_main_f main)
{
    mod_running = 0;
    mod_error[0] = 0;
    if (!Mod_Bind(imp, main))
        return 0;
    game_services_t t;
    Mod_GetServices(&t);
    mod_import(t.gametime, t.lastgametime, t.spawnentity, t.pendremove, t.conprintf,
               t.shutdown, t.sfx_cachefile, t.sfx_play, t.sfx_updatelistener3d,
               t.sfx_setsoundvolume, t.sfx_setmastervolume, t.sfx_pauseall,
               t.sfx_resumeall, t.gametime_pause, t.gametime_resume,
               t.lang_getlocalizedstr);
    if (mod_main(GOP_INIT, level, 0, 0) == 0)
        mod_running = 1;
    if (mod_running && mouseinv)
        mod_main(GOP_MOUSEINV, 1, 0, 0);
    return mod_running;
}

const char *Mod_LoadError(void)
{
    return mod_error[0] ? mod_error : NULL;
}

void Mod_UnloadGame(void)
{
    if (mod_handle)
        dlclose(mod_handle);
    mod_handle = NULL;
    mod_import = NULL;
    mod_main = NULL;
    mod_running = 0;
}

intptr_t Mod_Call(int opcode, int a, int b, int c)
{
    if (!mod_running || !mod_main)
        return 0;
    return mod_main(opcode, a, b, c);
}
