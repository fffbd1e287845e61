/*
 * engine.h -- start-up, the command line, the main loop with its game clock
 * and input forwarding, and the headless driver that tests, benchmarks and
 * tools use to run the real loop without a window.
 */
#ifndef ENGINE_H
#define ENGINE_H

#include "common.h"

/* Start-up settings from the command line. */
typedef struct {
    int width;
    int height;
    int bpp;
    int fullscreen;
    char gamedir[MAX_OSPATH];
    int havegame;         /* -game was given */
    int gamedirtoolong;   /* the -game argument did not fit */
    int level;
    float mousesens;
    int mouseinv;
    int countrycode;
    int musicvolume;      /* percent, 0 to 100 */
    int effectsvolume;
    int demomode;         /* DEMO_* below */
    char demofile[MAX_OSPATH];
    int demofiletoolong;
} eng_settings_t;

/* What -record, -playdemo, -timedemo and -verifydemo ask for. */
enum {
    DEMO_NONE = 0,
    DEMO_RECORD,          /* play and record */
    DEMO_PLAY,            /* replay in a window at the recorded pace */
    DEMO_TIME,            /* replay as fast as it draws, print the timing */
    DEMO_VERIFY           /* replay headless, print the result line */
};

enum {
    CMD_RUN = 0,          /* start a game with the settings */
    CMD_CONVERT,          /* -convert: name in convert_name */
    CMD_GETVIDMODES,      /* -getvidmodes */
    CMD_UNKNOWN           /* unknown switch: upper-cased token in bad_token */
};

typedef struct {
    int action;
    char convert_name[MAX_OSPATH];
    char bad_token[MAX_OSPATH];
} eng_cmdresult_t;

void Eng_DefaultSettings(eng_settings_t *s);
/* Parses a whole command line (program name first), as the system hands it. */
void Eng_ParseCommandLine(const char *cmdline, eng_settings_t *s, eng_cmdresult_t *r);
/* The same on tokens already split (argv without the program name). */
void Eng_ParseTokens(int count, const char *const *tokens, eng_settings_t *s,
                     eng_cmdresult_t *r);
/* Decimal prefix: optional blanks and sign, digits; no digits give 0. */
int Eng_Atoi(const char *s);
/* Mouse movement reaches the game scaled by the sensitivity: the default,
 * and the change per step of -mousesens n (n taken within 0 to 10, 5 gives
 * the default). */
#define ENG_MOUSESENS_DEFAULT 0.3f
#define ENG_MOUSESENS_STEP 0.055f
float Eng_MouseSens(int n);
int Eng_Clamp(int v, int lo, int hi);
#define ENG_MAX_SIZE 16384 /* largest window width or height taken */

/* The program: start-up, loop, shutdown.  Returns the exit status. */
int Eng_Main(int argc, char **argv);

/* Services the loop implements for the game module. */
void Eng_Shutdown(void);
void Eng_GametimePause(void);
void Eng_GametimeResume(void);

/* Raise an input event as the window would (types IE_*). */
void Eng_InputEvent(int type, int a, int b);

/* ---- headless driver ---------------------------------------------------
 * Runs the real start-up (sound, archives, translations, module) and the
 * real frame loop without a window: drawing is skipped, the clock can be
 * replaced with Sys_SetClock.  When imp and main are given the game is
 * driven through them (a module linked into the caller); otherwise
 * ./<gamedir>/game.dll is loaded. */
typedef struct {
    const char *gamedir;      /* "data" */
    int level;
    int mouseinv;
    float mousesens;          /* 0 means the default 0.3 */
    int countrycode;
    game_import_f imp;
    game_main_f main;
    int nosound;              /* do not open a sound device */
    int draw;                 /* non-zero: draw into the GL context that is
                                 already current (tests, benchmarks) */
} eng_headless_t;

int Eng_StartHeadless(const eng_headless_t *h); /* returns 1 when the game runs */
int Eng_RunFrame(void);      /* one frame; returns 0 once the loop has ended */
void Eng_StopHeadless(void); /* unload the module, release what start-up made */
int Eng_Quit(void);          /* the quit flag */
/* Queue an input event for the next frame's pump step (headless). */
void Eng_PostEvent(int type, int a, int b);

/* The window title: fmt's first "%s" replaced by version, "%%" by "%";
 * nothing else in fmt is interpreted. */
void Eng_FormatTitle(char *out, size_t size, const char *fmt, const char *version);

/* -convert: the exit status, 0 when both files were written, else 1 (the
 * reason is one line on standard error). */
int Eng_Convert(const char *scene);

#endif
