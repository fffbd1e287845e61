/*
 * engine.cpp -- the engine program: start-up in its fixed order, the frame
 * loop with the game clock, mouse look and input forwarding, the shutdown
 * service that abandons the rest of a frame, and the headless driver that
 * runs the same frames without a window for tests and benchmarks.
 */
#include "engine.h"

#include "convert.h"
#include "demo.h"
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
#include <unistd.h>
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
    /* demos: the clock of the frame in ms, the wall clock at the start */
    uint32_t gamems;
    uint32_t wallstart;
    int replay;             /* frames and input come from a demo */
    demoframe_t dframe;
    int frames;             /* frames begun since the clock started */
    int gameended;          /* the game called shutdown */
    int hashlog;            /* VEX_DEMOHASH=1: entity hash every 100 frames */
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

/* Processor seconds of this process. */
static double Eng_CpuSeconds(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

/* Start-up milestones in the engine log, timed from the program start. */
static void Eng_LogStartup(const char *what)
{
    Com_Printf("startup: %s after %.1f ms (%.1f ms CPU)\n", what, (Eng_Seconds() - eng_launch) * 1000.0,
               Eng_CpuSeconds() * 1000.0);
}

/* ---- clock --------------------------------------------------------------- */

static void Eng_StartClock(void)
{
    eng.clockstart = Sys_Milliseconds();
    eng.wallstart = eng.clockstart;
    eng.gamems = 0;
    eng.paused = 0;
    eng_gametime = 0.0f;
    eng_lastgametime = 0.0f;
}

static void Eng_UpdateClock(void)
{
    eng_lastgametime = eng_gametime;
    if (eng.replay) {
        eng_gametime = (float)eng.dframe.gamems / 1000.0f;
        return;
    }
    uint32_t now = Sys_Milliseconds();
    if (!eng.paused) {
        eng.gamems = now - eng.clockstart;
        eng_gametime = (float)eng.gamems / 1000.0f;
    }
    Demo_RecordFrame(eng.gamems, now - eng.wallstart);
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

/* An input event to the game, and into the demo being recorded. */
static void Eng_Forward(int opcode, int type, int a, int b)
{
    if (mod_running)
        Demo_RecordEvent(type, a, b);
    Mod_Call(opcode, type, a, b);
}

static void Eng_HandleEvent(int type, int a, int b)
{
    if (type == IE_MOUSEMOVE) {
        eng.mouse[eng.mouseslot][0] += (float)a * eng.set.mousesens;
        eng.mouse[eng.mouseslot][1] += (float)b * eng.set.mousesens;
        return;
    }
    if (type == IE_CLOSE) {
        /* closing the window is quitting: the game ends with the line the
         * pause menu's "quit" gives, once */
        if (mod_running && !eng.quit) {
            printf("$$abort\n");
            fflush(stdout);
        }
        eng.quit = 1;
        return;
    }
    if (type == IE_FOCUSLOST) {
        /* the player went to another window: pause as Escape does, unless
         * the game has paused its clock already (Escape would resume) */
        if (mod_running && !eng.paused)
            Eng_Forward(GOP_KEY, IE_CHAR, KEY_ESCAPE, 0);
        return;
    }
    if (type >= IE_KEYDOWN && type <= IE_CHAR)
        Eng_Forward(GOP_KEY, type, a, b);
    else if (type >= IE_LBUTTONDOWN && type <= IE_WHEEL)
        Eng_Forward(GOP_POINTER, type, a, b);
}

/* While a demo plays the player's input is ignored; Escape or a close
 * request ends the playback. */
static void Eng_ReplayInput(int type, int a, int b)
{
    (void)b;
    if (type == IE_CLOSE || (type == IE_KEYDOWN && a == KEY_ESCAPE))
        eng.quit = 1;
}

/* The recorded input of this frame, in its order. */
static void Eng_ReplayEvents(void)
{
    int type, a, b;
    while (Demo_NextEvent(&type, &a, &b))
        Mod_Call(type <= IE_CHAR ? GOP_KEY : GOP_POINTER, type, a, b);
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
        Eng_Forward(GOP_POINTER, IE_MOUSEMOVE, (int)(x * 1000.0f), (int)(y * 1000.0f));
}

/* ---- the frame ------------------------------------------------------------ */

void Eng_Shutdown(void)
{
    eng.quit = 1;
    eng.gameended = 1;
    if (eng_jumparmed) {
        eng_jumparmed = 0;
        longjmp(eng_jump, 1);
    }
}

int Eng_Quit(void)
{
    return eng.quit;
}

/* -playdemo keeps the recorded pace; the window stays responsive. */
static void Eng_WaitForDemoFrame(void)
{
    while (!eng.quit && (uint32_t)(Sys_Milliseconds() - eng.wallstart) < eng.dframe.wallms) {
        IN_PumpEvents();
        struct timespec ts = {0, 1000000};
        nanosleep(&ts, NULL);
    }
}

static void Eng_Frame(void)
{
    if (eng.replay) {
        if (!Demo_NextFrame(&eng.dframe)) {
            eng.quit = 1; /* the demo is over */
            return;
        }
        if (eng.set.demomode == DEMO_PLAY)
            Eng_WaitForDemoFrame();
    }
    eng.frames++;
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
    if (eng.replay)
        Eng_ReplayEvents();

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
    if (FS_DamagedArchive(NULL, 0))
        eng.quit = 1; /* no play on data that is not what it should be */
    if (eng.hashlog && eng.frames % 100 == 0 && !eng.quit)
        fprintf(stderr, "demohash %d %08x\n", eng.frames, (unsigned)Demo_EntityHash());
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

static int eng_mainarchive; /* vex0.pk3 was mounted */

static void Eng_MountArchives(void)
{
    char name[MAX_OSPATH + 32];
    snprintf(name, sizeof(name), "%sdemo.pk3", com_datadir);
    FS_Mount(name, com_datadir);
    for (int i = 0; i < 10; i++) {
        snprintf(name, sizeof(name), "%svex%i.pk3", com_datadir, i);
        int ok = FS_Mount(name, com_datadir);
        if (i == 0)
            eng_mainarchive = ok;
    }
}

/* Neither the module nor the main archive in the data directory: the
 * engine was started from a folder that is not the game's. */
static int Eng_NoGameHere(void)
{
    char name[MAX_OSPATH + 16];
    snprintf(name, sizeof(name), "%sgame.dll", com_datadir);
    if (access(name, F_OK) == 0)
        return 0;
    snprintf(name, sizeof(name), "%svex0.pk3", com_datadir);
    return access(name, F_OK) != 0;
}

static void Eng_NotHereText(char *text, size_t size)
{
    char cwd[MAX_OSPATH] = "?", exe[MAX_OSPATH] = "";
    if (!getcwd(cwd, sizeof(cwd)))
        snprintf(cwd, sizeof(cwd), "?");
    ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    exe[n > 0 ? n : 0] = 0;
    char *slash = strrchr(exe, '/');
    if (slash)
        *slash = 0;
    snprintf(text, size,
             "The game data was not found in the current folder %s: it holds no %s folder with the game.\n\n"
             "Start Gackatron with its launcher (gackatron), or start vexengine -game %s from the game's own "
             "folder%s%s%s.",
             cwd, eng.set.gamedir, eng.set.gamedir, slash ? " (" : "", slash ? exe : "", slash ? ")" : "");
}

/* A damaged archive (a member that is not what the archive says, or
 * that would unpack to more than any game file) ends the game: the player
 * is told which file and why, in a message box or on standard error. */
static int Eng_ArchivesDamaged(int box)
{
    char why[256], text[1024];
    const char *name = FS_DamagedArchive(why, sizeof(why));
    if (!name)
        return 0;
    snprintf(text, sizeof(text), "The game data %s is damaged: %s.\n\nInstall Gackatron again.", name, why);
    if (box)
        Sys_MessageBox("QZM", text);
    else
        fprintf(stderr, "vexengine: %s\n", text);
    return 1;
}

/* What the player is told when the game cannot start: what went wrong
 * and what to do about it.  Standard output still carries only the line
 * the launcher looks for. */
static void Eng_StartFailure(int windowfailed)
{
    char text[1024];
    const char *moderr = Mod_LoadError();
    const char *err = Vid_ErrorText();
    if (windowfailed && err && (!strcmp(err, VID_ERR_RUNNING) || !strcmp(err, VID_ERR_NODISPLAY))) {
        snprintf(text, sizeof(text), "%s", err);
    } else if (windowfailed) {
        snprintf(text, sizeof(text),
                 "%s\n\nThe game window could not be opened. Choose another display mode or the window mode "
                 "in Gackatron's settings and start again; if that does not help, check the graphics driver.",
                 err ? err : "The game window could not be opened.");
    } else if (Eng_NoGameHere()) {
        Eng_NotHereText(text, sizeof(text));
    } else if (moderr) {
        snprintf(text, sizeof(text),
                 "The game module %sgame.dll could not be loaded (%s).\n\nInstall Gackatron again.", com_datadir,
                 moderr);
    } else if (!eng_mainarchive) {
        char name[MAX_OSPATH + 16];
        snprintf(name, sizeof(name), "%svex0.pk3", com_datadir);
        snprintf(text, sizeof(text),
                 access(name, F_OK) == 0
                     ? "The game data %s is damaged: it is not a readable archive.\n\nInstall Gackatron again."
                     : "The game data %s is missing.\n\nInstall Gackatron again, or start it from the folder it "
                       "was installed in.",
                 name);
    } else {
        snprintf(text, sizeof(text),
                 "Level %d could not be loaded: the game data in %svex0.pk3 is incomplete or damaged, or there is "
                 "no such level.\n\nChoose another level, or install Gackatron again.",
                 eng.set.level, com_datadir);
    }
    Sys_MessageBox("QZM", text);
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

static void Eng_StartSound(int sound)
{
    static int started;
    if (started || !sound)
        return;
    started = 1;
    SFX_Init();
    atexit(SFX_Shutdown);
}

static int Eng_GetVidModes(void)
{
    printf("%s\n", ENGINE_VERSION);
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
static void Eng_StartCommon(int sound)
{
    eng.hashlog = getenv("VEX_DEMOHASH") && strcmp(getenv("VEX_DEMOHASH"), "1") == 0;
    Eng_StartSound(sound);
    SFX_SetVolumes((float)eng.set.musicvolume / 100.0f, (float)eng.set.effectsvolume / 100.0f);
    Eng_MountArchives();
    Lang_Load(com_countrycode);
}

/* The main loop of the windowed program, recording, replaying or timing
 * as the command line asked. */
static void Eng_RunLoop(void)
{
    if (eng.set.demomode == DEMO_RECORD) {
        demoheader_t h;
        Demo_MakeHeader(&h, eng.set.level, eng.set.countrycode, eng.set.mousesens,
                        eng.set.mouseinv);
        Demo_StartRecord(eng.set.demofile, &h); /* the game runs on without */
    }
    eng.replay = eng.set.demomode == DEMO_PLAY || eng.set.demomode == DEMO_TIME;
    if (eng.replay)
        eng.inputcb = Eng_ReplayInput;
    Eng_StartClock();
    if (eng.set.demomode != DEMO_TIME) {
        while (Eng_RunFrame())
            ;
    } else {
        for (int run = 1; run;) {
            int before = eng.frames;
            double t0 = Eng_Seconds();
            run = Eng_RunFrame();
            if (eng.frames != before)
                Demo_TimeFrame(Eng_Seconds() - t0);
        }
    }
    Demo_StopRecord();
}

static int Eng_RunGame(void)
{
    Eng_StartCommon(1);
    if (Eng_ArchivesDamaged(1))
        return 1;
    Vid_Probe();
    char title[256];
    Eng_FormatTitle(title, sizeof(title), Lang_GetLocalizedStr(7), ENGINE_VERSION);
    if (!Vid_Create(title, eng.set.width, eng.set.height, eng.set.bpp, eng.set.fullscreen)) {
        Eng_StartFailure(1);
        Vid_Restore();
        return 1;
    }
    Vid_SetSwapInterval(0);
    Eng_LogStartup("window");
    IN_Start();
    eng.inputcb = Eng_HandleEvent;
    Eng_InitGL();
    int status = 0;
    int loaded = Eng_LoadModule(NULL, NULL);
    Eng_LogStartup("level");
    if (!loaded) {
        if (!eng.quit) {
            printf("aiInit() failed!\n");
            fflush(stdout);
            Eng_StartFailure(0);
            status = 1;
        }
    } else {
        if (!FS_DamagedArchive(NULL, 0))
            Eng_RunLoop();
        if (Eng_ArchivesDamaged(1))
            status = 1;
    }
    Mod_UnloadGame();
    IN_Stop();
    Vid_Shutdown();
    Vid_Restore();
    return status;
}

/* -verifydemo: the demo on the headless engine, without a window, GL or a
 * sound device, as fast as the processor goes.  The game prints its result
 * line; a demo that ends before the game does counts as a failure. */
static int Eng_VerifyDemo(const demoheader_t *d)
{
    char gamedir[MAX_OSPATH];
    Com_Strncpy(gamedir, eng.set.gamedir, sizeof(gamedir)); /* start-up clears eng */
    eng_headless_t h;
    memset(&h, 0, sizeof(h));
    h.gamedir = gamedir;
    h.level = d->level;
    h.mouseinv = d->mouseinv;
    h.mousesens = d->mousesens;
    h.countrycode = d->countrycode;
    h.nosound = 1;
    int mode = eng.set.demomode;
    if (!Eng_StartHeadless(&h)) {
        if (!eng.quit)
            printf("aiInit() failed!\n");
        fflush(stdout);
        Eng_StopHeadless();
        return 1;
    }
    eng.set.demomode = mode;
    eng.replay = 1;
    eng.inputcb = Eng_ReplayInput;
    double t0 = Eng_Seconds(), c0 = Eng_CpuSeconds();
    while (Eng_RunFrame())
        ;
    Com_Printf("* verifydemo: %d frames in %.3f s, %.3f s CPU\n", eng.frames,
               Eng_Seconds() - t0, Eng_CpuSeconds() - c0);
    if (Eng_ArchivesDamaged(0)) {
        Eng_StopHeadless();
        return 1;
    }
    if (!eng.gameended)
        printf("$$failure\n");
    fflush(stdout);
    Eng_StopHeadless();
    return 0;
}

/* -playdemo, -timedemo, -verifydemo: the demo must be readable and belong
 * to this level file, game module and archives; it brings level, country
 * code and mouse settings along. */
static int Eng_ReplayDemo(void)
{
    demoheader_t d;
    Eng_MountArchives(); /* the demo names what they held */
    int ok = !Eng_ArchivesDamaged(eng.set.demomode != DEMO_VERIFY) && Demo_Open(eng.set.demofile, &d);
    FS_Shutdown();       /* start-up mounts them again */
    if (!ok)
        return 1;
    eng.set.level = d.level;
    eng.set.mouseinv = d.mouseinv;
    eng.set.mousesens = d.mousesens;
    com_countrycode = eng.set.countrycode = d.countrycode;
    int status;
    if (eng.set.demomode == DEMO_VERIFY) {
        status = Eng_VerifyDemo(&d);
    } else {
        status = Eng_RunGame();
        if (eng.set.demomode == DEMO_TIME)
            Demo_PrintTiming();
    }
    Demo_Close();
    return status;
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
    if (eng.set.demofiletoolong) {
        fprintf(stderr, "vexengine: the demo file name is too long\n");
        return 1;
    }
    if (eng.set.demomode == DEMO_NONE || eng.set.demomode == DEMO_RECORD)
        return Eng_RunGame();
    return Eng_ReplayDemo();
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
    Eng_StartCommon(!h->nosound);
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
    return Conv_ConvertScene(scene) ? 0 : 1;
}
