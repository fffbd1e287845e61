/*
 * g_flow.h -- the game's top level: level initialisation, the state
 * machine with its seven states, the level timer, the fade level and the
 * end-of-game routine that prints the result line.
 */
#ifndef G_FLOW_H
#define G_FLOW_H

/* state ids */
enum {
    GST_TITLESCREEN = 1,
    GST_ACTION = 2,
    GST_FADEIN = 3,
    GST_FADEOUT = 4,
    GST_INTERMISSION = 5,
    GST_PAUSE = 6,
    GST_GAMEOVER = 7
};

/* end codes of G_EndGame */
enum {
    END_TIMEUP = 0,    /* "$$score %i" */
    END_ABORT = 1,     /* "$$abort" */
    END_FAILURE = 2    /* "$$failure" */
};

/* Switches to the state with this id (unknown ids change nothing):
 * leave old, install handlers, enter new, make it current. */
void G_SetState(int id);
/* Next state after fade = 0, then state 1. */
void G_ResetStates(void);
/* Id of the current state, 0 when there is none. */
int G_CurrentStateId(void);
/* Name of the current state, "" when there is none. */
const char *G_CurrentStateName(void);
int G_GetNextStateAfterFade(void);

/* Global brightness of new entities; values outside [0, 1] are ignored. */
void G_SetFadeLevel(float level);
float G_GetFadeLevel(void);

/* Level timer (start time in gametime seconds, running flag). */
float G_TimerStart(void);
int G_TimerRunning(void);

/* Releases everything, prints the result line for the code on standard
 * output, flushes, and calls the engine's shutdown. */
void G_EndGame(int code);

/* Puts the flow back to its load state (tests only). */
void G_ResetFlow(void);

#endif
