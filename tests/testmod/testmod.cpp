/* A game module for the engine tests: logs calls to TESTMOD_LOG; switches TESTMOD_INIT, _SHUTDOWN(_TWICE), _FRAMES, _SPAWN. */
#include "game_api.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static game_services_t tm;
static FILE *tm_log;
static int tm_frame;
static int tm_shutdownframe = -1;
static int tm_maxframes = -1;

static void TM_Log(const char *fmt, int a, int b, int c, int d)
{
    const char *path = getenv("TESTMOD_LOG");
    if (!tm_log && (!path || !(tm_log = fopen(path, "w"))))
        return;
    fprintf(tm_log, fmt, a, b, c, d);
    fputc('\n', tm_log);
    fflush(tm_log);
}

static int TM_Env(const char *name, int def)
{
    const char *v = getenv(name);
    return v ? atoi(v) : def;
}

static void TM_Think(entity_t *e)
{
    TM_Log("think %d %d %d %d", tm_frame, 0, 0, 0);
    e->nextthink = 0.0f;
}

extern "C" __attribute__((visibility("default"))) void
Game_Import(float *gametime, float *lastgametime, svc_spawnentity_f spawnentity, svc_pendremove_f pendremove,
            svc_conprintf_f conprintf, svc_void_f shutdown, svc_cachefile_f sfx_cachefile,
            svc_play_f sfx_play, svc_listener_f sfx_updatelistener3d, svc_soundvolume_f sfx_setsoundvolume,
            svc_mastervolume_f sfx_setmastervolume, svc_void_f sfx_pauseall, svc_void_f sfx_resumeall,
            svc_void_f gametime_pause, svc_void_f gametime_resume, svc_getstr_f lang_getlocalizedstr)
{
    game_services_t t = {gametime, lastgametime, spawnentity, pendremove, conprintf, shutdown, sfx_cachefile,
                         sfx_play, sfx_updatelistener3d, sfx_setsoundvolume, sfx_setmastervolume,
                         sfx_pauseall, sfx_resumeall, gametime_pause, gametime_resume, lang_getlocalizedstr};
    tm = t;
    const void *slots[GAME_SERVICE_COUNT];
    memcpy(slots, &t, sizeof(slots));
    int nulls = 0;
    for (int i = 0; i < GAME_SERVICE_COUNT; i++)
        nulls += slots[i] == NULL;
    TM_Log("import %d %d %d %d", nulls, 0, 0, 0);
    tm_shutdownframe = TM_Env("TESTMOD_SHUTDOWN", -1);
    tm_maxframes = TM_Env("TESTMOD_FRAMES", -1);
}

static void TM_EndGame(void)
{
    printf("$$frames %d\n", tm_frame);
    fflush(stdout);
    tm.shutdown();
    TM_Log("after-shutdown %d %d %d %d", tm_frame, 0, 0, 0);
    if (getenv("TESTMOD_SHUTDOWN_TWICE"))
        tm.shutdown();
}

[[maybe_unused]] static intptr_t TM_Init(void) /* unused in the module without an entry point */
{
    if (TM_Env("TESTMOD_INIT", 0))
        return 1;
    if (TM_Env("TESTMOD_SPAWN", 0))
        if (entity_t *e = tm.spawnentity("thinker", ENT_NOMEDIA))
            e->think = TM_Think;
    if (tm_shutdownframe == 0)
        TM_EndGame();
    return 0;
}

#ifndef TESTMOD_NOMAIN
extern "C" __attribute__((visibility("default"))) intptr_t Game_Main(int opcode, int a, int b, int c)
{
    TM_Log("op %d %d %d %d", opcode, a, b, c);
    switch (opcode) {
    case GOP_INIT:
        return TM_Init();
    case GOP_FRAME:
        tm_frame++;
        if (tm_frame == tm_shutdownframe || tm_frame == tm_maxframes)
            TM_EndGame();
        return 0;
    case GOP_KEY:
        if (a == IE_CHAR && b == KEY_ESCAPE)
            TM_EndGame();
        return 0;
    case GOP_VERSION:
        return (intptr_t) "testmod";
    default:
        return 0;
    }
}
#endif
