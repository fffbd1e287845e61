/*
 * input.h -- window input: the engine key table, the translation of the
 * platform's keys to virtual-key codes, and the message pump that raises
 * input events (IE_*) through Eng_InputEvent.
 */
#ifndef INPUT_H
#define INPUT_H

/* The engine's own input event beyond the window's IE_* types: the
 * window lost the keyboard focus.  The loop turns it into what pauses the
 * game; it never reaches the game as such. */
#define IE_FOCUSLOST 100

/* Virtual-key or character code -> engine key code (-1 when unmapped). */
int IN_MapKey(int code);

/* Platform key (SDL keycode) -> virtual-key code, 0 when it has none. */
int IN_KeyToVK(int sdlkey);

/* Relative mouse motion and text input on the engine window. */
void IN_Start(void);
void IN_Stop(void);

/* Dispatch every pending window message; events reach the game now. */
void IN_PumpEvents(void);

#endif
