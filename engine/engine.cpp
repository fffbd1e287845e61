/*
 * engine.cpp -- the engine program: start-up in its fixed order, the frame
 * loop with the game clock, mouse look and input forwarding, the shutdown
 * service that abandons the rest of a frame, and the headless driver that
 * runs the same frames without a window for tests and benchmarks.
 */
#include "engine.h"

#include "convert.h"
#include "draw.h"
#include "entity.h"
#include "fs.h"
#include "glstate.h"
#include "input.h"
#include "lang.h"
#include "module.h"
#include "sound.h"
#include "sys.h"
#include "vid.h"

#include <GL/gl.h>
#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

typedef void (*eng_inputcb_f)(int type, int a, int b);

typedef struct {
    eng_settings_t set;
    int quit;
    int headless;
    /* game clock */
    uint32_t clockstart;
    uint32_t pausestart;
    int paused;
    /* mouse look: two slots, the current one collects this frame's motion */
    float mouse[2][2];
    int mouseslot;
    eng_inputcb_f inputcb;
    /* events posted by the headless driver, delivered at the pump step */
    int queued[64][3];
    int numqueued;
} engstate_t;

static engstate_t eng;
static jmp_buf eng_jump;
static int eng_jumparmed;
static double eng_launch;       /* when the program started, for the start-up log */
static int eng_presented;

/* Seconds on a monotonic clock. */
static double Eng_Seconds(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

/* Start-up milestones in the engine log, timed from the program start. */
static void Eng_LogStartup(const char *what)
{
    struct timespec cpu;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    Com_Printf("startup: %s after %.1f ms (%.1f ms CPU)\n", what, (Eng_Seconds() - eng_launch) * 1000.0,
               (double)cpu.tv_sec * 1000.0 + (double)cpu.tv_nsec * 1e-6);
}

/* ---- clock --------------------------------------------------------------- */

static void Eng_StartClock(void)
{
    eng.clockstart = Sys_Milliseconds();
    eng.paused = 0;
    eng_gametime = 0.0f;
    eng_lastgametime = 0.0f;
}

static void Eng_UpdateClock(void)
{
    eng_lastgametime = eng_gametime;
    if (!eng.paused)
        eng_gametime = (float)(uint32_t)(Sys_Milliseconds() - eng.clockstart) / 1000.0f;
}

void Eng_GametimePause(void)
{
    eng.pausestart = Sys_Milliseconds();
    eng.paused = 1;
}

void Eng_GametimeResume(void)
{
    eng.clockstart += Sys_Milliseconds() - eng.pausestart;
    eng.paused = 0;
}

/* ---- input ------------------------------------------------------------- */

static void Eng_IgnoreEvent(int type, int a, int b)
{
    (void)type;
    (void)a;
    (void)b;
}

static void Eng_HandleEvent(int type, int a, int b)
{
    if (type == IE_MOUSEMOVE) {
        eng.mouse[eng.mouseslot][0] += (float)a * eng.set.mousesens;
        eng.mouse[eng.mouseslot][1] += (float)b * eng.set.mousesens;
        return;
    }
    if (type == IE_CLOSE) {
        eng.quit = 1;
        return;
    }
    if (type >= IE_KEYDOWN && type <= IE_CHAR)
        Mod_Call(GOP_KEY, type, a, b);
    else if (type >= IE_LBUTTONDOWN && type <= IE_WHEEL)
        Mod_Call(GOP_POINTER, type, a, b);
}

void Eng_InputEvent(int type, int a, int b)
{
    (eng.inputcb ? eng.inputcb : Eng_IgnoreEvent)(type, a, b);
}

static void Eng_PumpQueued(void)
{
    for (int i = 0; i < eng.numqueued; i++)
        Eng_InputEvent(eng.queued[i][0], eng.queued[i][1], eng.queued[i][2]);
    eng.numqueued = 0;
}

void Eng_PostEvent(int type, int a, int b)
{
    if (eng.numqueued >= (int)(sizeof(eng.queued) / sizeof(eng.queued[0])))
        return;
    eng.queued[eng.numqueued][0] = type;
    eng.queued[eng.numqueued][1] = a;
    eng.queued[eng.numqueued][2] = b;
    eng.numqueued++;
}

static void Eng_NewMouseSlot(void)
{
    eng.mouseslot ^= 1;
    eng.mouse[eng.mouseslot][0] = 0.0f;
    eng.mouse[eng.mouseslot][1] = 0.0f;
}

static void Eng_MouseLook(void)
{
    float x = (eng.mouse[0][0] + eng.mouse[1][0]) / 4.0f;
    float y = (eng.mouse[0][1] + eng.mouse[1][1]) / 4.0f;
    if (x != 0.0f || y != 0.0f)
        Mod_Call(GOP_POINTER, IE_MOUSEMOVE, (int)(x * 1000.0f), (int)(y * 1000.0f));
}

/* ---- the frame ------------------------------------------------------------ */

void Eng_Shutdown(void)
{
    eng.quit = 1;
    if (eng_jumparmed) {
        eng_jumparmed = 0;
        longjmp(eng_jump, 1);
    }
}

int Eng_Quit(void)
{
    return eng.quit;
}

static void Eng_Frame(void)
{
    if (gls.active)
        R_BeginFrame();
    Eng_UpdateClock();
    Mod_Call(GOP_FRAME, 0, 0, 0);
    R_LoadParticleTexture();
    Eng_NewMouseSlot();

    if (eng.headless)
        Eng_PumpQueued();
    else
        IN_PumpEvents();

    Eng_MouseLook();
    Ent_Motion();
    Ent_ThinkTouch();
    Ent_Purge();

    R_BuildDrawLists();
    entity_t *camera = (entity_t *)Mod_Call(GOP_CAMERA, 0, 0, 0);
    R_DrawFrame(camera);
    if (gls.active)
        glFlush();
    Mod_Call(GOP_POSTDRAW, 0, 0, 0);
    if (!eng.headless && !Vid_Present())
        eng.quit = 1; /* the close request ends the loop after this frame */
    if (!eng.headless && !eng_presented) {
        eng_presented = 1;
        Eng_LogStartup("first frame");
    }
}

/* One frame with the shutdown jump target armed; 0 once the loop is over.
 * The game may call shutdown anywhere inside; the rest of the frame is then
 * skipped.  Nothing on that path holds resources that need unwinding. */
int Eng_RunFrame(void)
{
    if (eng.quit)
        return 0;
    if (setjmp(eng_jump))
        return 0;
    eng_jumparmed = 1;
    Eng_Frame();
    eng_jumparmed = 0;
    return !eng.quit;
}

/* Loads the module with the jump target armed: a shutdown during the
 * level's initialisation ends the game before its first frame. */
static int Eng_LoadModule(game_import_f imp, game_main_f main)
{
    if (setjmp(eng_jump))
        return 0;
    eng_jumparmed = 1;
    int ok = Mod_LoadGame(eng.set.level, eng.set.mouseinv, imp, main);
    eng_jumparmed = 0;
    return ok;
}

/* ---- start-up pieces --------------------------------------------------- */

static void Eng_MountArchives(void)
{
    char name[MAX_OSPATH + 32];
    snprintf(name, sizeof(name), "%sdemo.pk3", com_datadir);
    FS_Mount(name, com_datadir);
    for (int i = 0; i < 10; i++) {
        snprintf(name, sizeof(name), "%svex%i.pk3", com_datadir, i);
        FS_Mount(name, com_datadir);
    }
}

/* The title: translation string 7 with the version for its "%s".  The
 * string comes from a data file, so it is never used as a format: only
 * "%s" (once) and "%%" are expanded. */
void Eng_FormatTitle(char *out, size_t size, const char *fmt, const char *version)
{
    size_t n = 0;
    int used = 0;
    for (const char *p = fmt; *p && n + 1 < size; p++) {
        if (p[0] == '%' && p[1] == 's' && !used) {
            for (const char *v = version; *v && n + 1 < size; v++)
                out[n++] = *v;
            used = 1;
            p++;
        } else if (p[0] == '%' && p[1] == '%') {
            out[n++] = '%';
            p++;
        } else {
            out[n++] = *p;
        }
    }
    out[n] = 0;
}

static void Eng_InitGL(void)
{
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glEnable(GL_TEXTURE_2D);
}

static int Eng_SetDataDir(const char *gamedir)
{
    if (strlen(gamedir) + 2 > sizeof(com_datadir))
        return 0;
    snprintf(com_datadir, sizeof(com_datadir), "%s/", gamedir);
    return 1;
}

static void Eng_StartSound(void)
{
    static int started;
    if (started)
        return;
    started = 1;
    SFX_Init();
    atexit(SFX_Shutdown);
}

static int Eng_GetVidModes(void)
{
    printf("1.05\n");
    Vid_Probe();
    for (int i = 0; i < Vid_NumModes(); i++) {
        const vidmode_t *m = Vid_Mode(i);
        if (m->bpp >= 16)
            printf("%d %d %d\n", m->width, m->height, m->bpp);
    }
    fflush(stdout);
    fclose(stdout);
    Vid_Restore();
    return 0;
}

/* Start-up steps up to the window, shared by the program and the headless
 * driver. */
static void Eng_StartCommon(void)
{
    Eng_StartSound();
    Eng_MountArchives();
    Lang_Load(com_countrycode);
}

static int Eng_RunGame(void)
{
    Eng_StartCommon();
    Vid_Probe();
    char title[256];
    Eng_FormatTitle(title, sizeof(title), Lang_GetLocalizedStr(7), ENGINE_VERSION);
    if (!Vid_Create(title, eng.set.width, eng.set.height, eng.set.bpp, eng.set.fullscreen)) {
        Sys_MessageBox("QZM", Vid_ErrorText());
        Vid_Restore();
        return 0;
    }
    Vid_SetSwapInterval(0);
    Eng_LogStartup("window");
    IN_Start();
    eng.inputcb = Eng_HandleEvent;
    Eng_InitGL();
    int loaded = Eng_LoadModule(NULL, NULL);
    Eng_LogStartup("level");
    if (!loaded) {
        if (!eng.quit) {
            printf("aiInit() failed!\n");
            fflush(stdout);
        }
    } else {
        Eng_StartClock();
        while (Eng_RunFrame())
            ;
    }
    Mod_UnloadGame();
    IN_Stop();
    Vid_Shutdown();
    Vid_Restore();
    return 0;
}

int Eng_Main(int argc, char **argv)
{
    eng_launch = Eng_Seconds();
    memset(&eng, 0, sizeof(eng));
    Eng_DefaultSettings(&eng.set);
    eng_cmdresult_t r;
    Eng_ParseTokens(argc > 1 ? argc - 1 : 0, (const char *const *)argv + 1, &eng.set, &r);
    switch (r.action) {
    case CMD_CONVERT:
        return Eng_Convert(r.convert_name);
    case CMD_GETVIDMODES:
        return Eng_GetVidModes();
    case CMD_UNKNOWN:
        printf("Unknown command line switch : %s\n", r.bad_token);
        fflush(stdout);
        return 0;
    default:
        break;
    }
    if (!eng.set.havegame) {
        Com_Printf("\"-game xx\"parameter not found\n");
        return 1;
    }
    if (eng.set.gamedirtoolong || !Eng_SetDataDir(eng.set.gamedir)) {
        fprintf(stderr, "vexengine: the game directory name is too long\n");
        return 1;
    }
    com_countrycode = eng.set.countrycode;
    return Eng_RunGame();
}

/* ---- headless driver ---------------------------------------------------- */

int Eng_StartHeadless(const eng_headless_t *h)
{
    memset(&eng, 0, sizeof(eng));
    Eng_DefaultSettings(&eng.set);
    eng.headless = 1;
    eng.set.level = h->level;
    eng.set.mouseinv = h->mouseinv;
    if (h->mousesens > 0.0f)
        eng.set.mousesens = h->mousesens;
    com_countrycode = eng.set.countrycode = h->countrycode;
    if (!Eng_SetDataDir(h->gamedir ? h->gamedir : "data"))
        return 0;
    if (!h->draw || !gls.active)
        GLS_Reset(0, eng.set.width, eng.set.height);
    Eng_StartCommon();
    eng.inputcb = Eng_HandleEvent;
    if (!Eng_LoadModule(h->imp, h->main))
        return 0;
    Eng_StartClock();
    return !eng.quit;
}

void Eng_StopHeadless(void)
{
    Mod_UnloadGame();
    Ent_Reset();
    FS_Shutdown();
    eng.inputcb = NULL;
    eng.numqueued = 0;
}

int Eng_Convert(const char *scene)
{
    Conv_ConvertScene(scene); /* success or not, the tool exits 0 */
    return 0;
}
