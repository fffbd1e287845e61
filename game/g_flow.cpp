/*
 * g_flow.cpp -- the game's top level: Init_And_Load_Level (level, class
 * cache, sky sphere, music, camera, player, sounds, first state), the
 * seven-row state table and the state switch that installs the frame,
 * character and pointer handlers, the action state with the level timer,
 * the shared fade states with brightness and master volume, and the
 * end-of-game routine that releases everything and prints the result line.
 */
#include "g_local.h"

#include <stdio.h>

typedef struct {
    int id;
    const char *name;
    void (*enter)(void);
    void (*leave)(void);
    g_framehandler_f frame;
    g_charhandler_f chr;
    g_pointerhandler_f pointer;
} gstate_t;

static const gstate_t *g_state;
static int g_nextafterfade;
static float g_timerstart;
static int g_timerrunning = 1;
static float g_fadelevel = 1.0f;
static float g_fadevalue;
static int g_flowinit;
static int g_ended;

/* ---- handlers ---- */

static void St_Nothing(void) {}
static void St_NoFrame(struct level_s *) {}
static void St_NoChar(int, int) {}
static void St_NoPointer(int, int, int) {}

static void St_ActionEnter(void)
{
    if (!g_timerrunning) {
        CL_ResetPlayer();
        g_timerstart = *gi.gametime;
        g_timerrunning = 1;
    }
    HUD_Show(1);
}

static void St_ActionFrame(struct level_s *level)
{
    if (!level)
        return;
    float elapsed = *gi.gametime - g_timerstart;
    float remaining = level->duration - elapsed;
    if (!(remaining > 0.0f)) {
        g_timerrunning = 0;
        g_nextafterfade = GST_ACTION;
        G_SetState(GST_FADEOUT);
        return;
    }
    HUD_UpdateTimer(remaining);
    SC_CheckNewSpawns(level, elapsed);
    G_Sweep();
}

static void St_ActionChar(int code, int)
{
    if (code == KEY_ESCAPE)
        G_SetState(GST_PAUSE);
}

static void St_FadeEnter(void)
{
    g_fadevalue = g_fadelevel;
}

static void St_FadeFrame(struct level_s *)
{
    float dir = G_CurrentStateId() == GST_FADEIN ? 1.0f : -1.0f;
    float value = g_fadevalue + (*gi.gametime - *gi.lastgametime) * dir * 0.3f;
    if (value < 0.0f || value > 1.0f) {
        g_fadevalue = dir > 0 ? 1.0f : 0.0f;
        G_EndGame(END_TIMEUP);
        return;
    }
    g_fadevalue = value;
    HUD_UpdateTimer(0.0f);
    G_SetFadeLevel(value);
    for (int i = 0; i < GENT_MAX; i++)
        if (g_entities[i].state == GS_INUSE)
            g_entities[i].ent->brightness = value;
    if (G_GetMasterVolume() > value)
        G_SetMasterVolume(value);
    G_Sweep();
}

static void St_FadeLeave(void)
{
    CL_PlayerThinkOff();
    G_RemoveAllAfterCache();
}

static const gstate_t g_states[7] = {
    {GST_TITLESCREEN, "titlescreen", St_Nothing, St_Nothing, St_NoFrame, St_NoChar,
     St_NoPointer},
    {GST_ACTION, "action", St_ActionEnter, St_Nothing, St_ActionFrame, St_ActionChar,
     CL_PointerInput},
    {GST_FADEIN, "fadein", St_FadeEnter, St_FadeLeave, St_FadeFrame, St_NoChar,
     CL_PointerInput},
    {GST_FADEOUT, "fadeout", St_FadeEnter, St_FadeLeave, St_FadeFrame, St_NoChar,
     CL_PointerInput},
    {GST_INTERMISSION, "intermission", St_Nothing, St_Nothing, St_NoFrame, St_NoChar,
     St_NoPointer},
    {GST_PAUSE, "pause", Pause_Enter, Pause_Leave, Pause_Frame, Pause_Char,
     Pause_Pointer},
    {GST_GAMEOVER, "gameover", St_Nothing, St_Nothing, St_NoFrame, St_NoChar, St_NoPointer},
};

/* ---- state machine ---- */

void G_SetState(int id)
{
    const gstate_t *row = NULL;
    for (const gstate_t &s : g_states)
        if (!row && s.id == id)
            row = &s;
    if (!row)
        return;
    if (g_state)
        g_state->leave();
    g_framehandler = row->frame;
    g_charhandler = row->chr;
    g_pointerhandler = row->pointer;
    row->enter();
    g_state = row;
}

void G_ResetStates(void)
{
    g_nextafterfade = 0;
    G_SetState(GST_TITLESCREEN);
}

int G_CurrentStateId(void)
{
    return g_state ? g_state->id : 0;
}

const char *G_CurrentStateName(void)
{
    return g_state ? g_state->name : "";
}

int G_GetNextStateAfterFade(void)
{
    return g_nextafterfade;
}

void G_SetFadeLevel(float level)
{
    if (level >= 0.0f && level <= 1.0f)
        g_fadelevel = level;
}

float G_GetFadeLevel(void)
{
    return g_fadelevel;
}

float G_TimerStart(void)
{
    return g_timerstart;
}

int G_TimerRunning(void)
{
    return g_timerrunning;
}

/* ---- start and end of a game ---- */

static const char *const g_gamesounds[16] = {
    "sounds/kluck.wav",        "sounds/kluck2.wav",     "sounds/kluck3.wav",
    "sounds/kluck4.wav",       "sounds/kluck5.wav",     "sounds/kluck6.wav",
    "sounds/shot1.wav",        "sounds/shot2.wav",      "sounds/shot3a.wav",
    "sounds/shot3b.wav",       "sounds/expl_general.wav", "sounds/expl_ship.wav",
    "sounds/expl_rocket.wav",  "sounds/alien.wav",      "sounds/ship.wav",
    "sounds/rocket.wav"};

static int G_SpawnSkySphere(level_t *level)
{
    const classrow_t *row = G_ClassByName(level->skysphere);
    gentity_t *g = row ? G_SpawnClassRow(row) : NULL;
    if (!g) {
        gi.conprintf("# Init_And_Load_Level: could not load skysphere '%s'\n", level->skysphere);
        return 0;
    }
    return 1;
}

static void G_SetupSounds(void)
{
    G_SetWorldSphere(0.0f, 0.0f, 0.0f, G_WORLD_RADIUS);
    for (const char *name : g_gamesounds)
        gi.sfx_cachefile(name);
}

int Init_And_Load_Level(int n)
{
    gi.conprintf("* Init_And_Load_Level()\n");
    if (g_flowinit) {
        gi.conprintf("# Init_And_Load_Level: WARNING: already initialized\n");
        return 1;
    }
    char path[128];
    snprintf(path, sizeof(path), "data/script%i.bin", n);
    gi.conprintf("* Init_And_Load_Level: loading level '%s' ...", path);
    level_t *level = Level_Load(n);
    if (!level)
        return 0;
    gi.conprintf("OK\n");
    gi.conprintf("*****************************************\n");
    gi.conprintf("**** caching entities for the engine ****\n");
    if (!_CacheClasses(level))
        return 0;
    gi.conprintf("**** entities cached ****\n");
    gi.conprintf("*************************\n");
    if (!G_SpawnSkySphere(level))
        return 0;
    gi.sfx_cachefile(level->bgm);
    if (!Cam_Init() || !CL_Init())
        return 0;
    G_SetupSounds();
    G_ResetStates();
    G_SetState(GST_ACTION);
    BGM_Start(level->bgm);
    g_flowinit = 1;
    return 1;
}

struct level_s *G_CurrentLevel(void)
{
    return Level_Current();
}

entity_t *G_CameraEntity(void)
{
    return Cam_GetCameraEntity();
}

static void G_ReleaseAll(void)
{
    BGM_Stop();
    Cam_Release();
    CL_Release();
    G_RemoveAllAfterCache();
    G_FreeCacheList();
    G_RemoveCache();
    Level_FreeAll();
}

void G_EndGame(int code)
{
    if (g_ended)
        return;
    g_ended = 1;
    int score = CL_GetScore();
    G_ReleaseAll();
    /* nothing of the game runs any more, whatever the engine still sends */
    g_framehandler = St_NoFrame;
    g_charhandler = St_NoChar;
    g_pointerhandler = St_NoPointer;
    if (code == END_TIMEUP)
        printf("$$score %i\n", score);
    else if (code == END_ABORT)
        printf("$$abort\n");
    else if (code == END_FAILURE)
        printf("$$failure\n");
    fflush(stdout);
    gi.shutdown();
}

void G_ResetFlow(void)
{
    g_state = NULL;
    g_nextafterfade = 0;
    g_timerstart = 0.0f;
    g_timerrunning = 1;
    g_fadelevel = 1.0f;
    g_fadevalue = 0.0f;
    g_flowinit = 0;
    g_ended = 0;
}
