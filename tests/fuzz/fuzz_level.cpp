/*
 * fuzz_level.cpp -- libFuzzer target for level script files: any byte
 * string is loaded as "script1.bin", once as it is and once with the
 * stored file name patched to match (so the fuzzer reaches the spawn
 * records), and whatever loads is scheduled over a few frames with the
 * class cache built, on a stand-in engine whose entity records are plain
 * memory.  Links every source of the game module and SDL.  The loader's
 * message boxes go to standard error: run with -close_fd_mask=2.
 */
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fuzz_tmpfile.h"
#include "g_local.h"

static entity_t fz_ents[ENT_MAX];
static int fz_used[ENT_MAX];
static float fz_time, fz_lasttime;

static entity_t *Fz_Spawn(const char *name, int kind)
{
    for (int i = 0; i < ENT_MAX; i++) {
        if (fz_used[i])
            continue;
        fz_used[i] = 1;
        entity_t *e = &fz_ents[i];
        memset(e, 0, sizeof(*e));
        snprintf(e->name, sizeof(e->name), "%s", name);
        e->kind = kind;
        e->dir[2] = -1.0f;
        e->color[0] = e->color[1] = e->color[2] = e->color[3] = 1.0f;
        return e;
    }
    return NULL;
}

static entity_t *Fz_PendRemove(entity_t *e)
{
    e->state = ES_PENDREMOVE;
    return e;
}

static void Fz_Printf(const char *fmt, ...)
{
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof(buf), fmt, ap);
    va_end(ap);
}

static void Fz_Void(void) {}
static int Fz_Cache(const char *) { return 1; }
static void Fz_Play(entity_t *, int) {}
static void Fz_Listener(entity_t *) {}
static void Fz_Volume(struct sound_s *, float) {}
static void Fz_Master(float) {}
static const char *Fz_Str(int) { return ""; }

static void Fz_Setup(void)
{
    gi.gametime = &fz_time;
    gi.lastgametime = &fz_lasttime;
    gi.spawnentity = Fz_Spawn;
    gi.pendremove = Fz_PendRemove;
    gi.conprintf = Fz_Printf;
    gi.shutdown = Fz_Void;
    gi.sfx_cachefile = Fz_Cache;
    gi.sfx_play = Fz_Play;
    gi.sfx_updatelistener3d = Fz_Listener;
    gi.sfx_setsoundvolume = Fz_Volume;
    gi.sfx_setmastervolume = Fz_Master;
    gi.sfx_pauseall = Fz_Void;
    gi.sfx_resumeall = Fz_Void;
    gi.gametime_pause = Fz_Void;
    gi.gametime_resume = Fz_Void;
    gi.lang_getlocalizedstr = Fz_Str;
    setenv("GACKATRON_HEADLESS", "1", 1);
}

/* A few frames of play: schedule, think, sweep, purge. */
static void Fz_Run(level_t *level)
{
    memset(fz_used, 0, sizeof(fz_used));
    G_ResetPool();
    fz_time = fz_lasttime = 0.0f;
    if (!_CacheClasses(level))
        return;
    static const float times[] = {0.0f, 0.5f, 2.0f, 2.01f, 30.0f, 31.0f};
    for (float t : times) {
        fz_lasttime = fz_time;
        fz_time = t;
        SC_CheckNewSpawns(level, t);
        for (int i = 0; i < ENT_MAX; i++)
            if (fz_used[i] && fz_ents[i].think == SC_SpawnInThink)
                SC_SpawnInThink(&fz_ents[i]);
        G_Sweep();
        for (int i = 0; i < ENT_MAX; i++)
            if (fz_used[i] && fz_ents[i].state == ES_PENDREMOVE)
                fz_used[i] = 0;
    }
}

static void Fz_Load(const uint8_t *data, size_t size)
{
    const char *path = Fuzz_WriteFile("script1.bin", data, size);
    level_t level;
    memset(&level, 0, sizeof(level));
    if (SC_LoadLevel(&level, path)) {
        if (Level_PendingCount(&level) < 64)
            Fz_Run(&level);
    }
    Level_FreeSpawns(&level);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int ready;
    if (!ready) {
        Fz_Setup();
        ready = 1;
    }
    Fz_Load(data, size);
    if (size >= 132) {
        uint8_t *copy = (uint8_t *)malloc(size);
        memcpy(copy, data, size);
        uint8_t name[128] = "script1.bin";
        for (int i = 0; i < 128; i++)
            copy[4 + i] = name[i] ^ 0x6C;
        copy[0] = 3;
        copy[1] = copy[2] = copy[3] = 0;
        Fz_Load(copy, size);
        free(copy);
    }
    return 0;
}
