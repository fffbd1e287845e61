/*
 * vid.h -- the display: probing the desktop and its modes, creating the
 * window with its OpenGL context (windowed or full screen), presenting
 * frames, and restoring the display, gamma and cursor at exit.
 */
#ifndef VID_H
#define VID_H

typedef struct {
    int width;
    int height;
    int bpp;
} vidmode_t;

/* Desktop size and depth and the mode list; stage 1.  Returns 1 when the
 * display could be opened. */
int Vid_Probe(void);
int Vid_NumModes(void);
const vidmode_t *Vid_Mode(int i);

/* Window and context; 1, or 0 with Vid_ErrorText set (VID_ERR_RUNNING when
 * another engine window holds the display). */
#define VID_ERR_RUNNING                                                                                  \
    "Another Gackatron game is already running on this display. Finish that game or close its window, "  \
    "then start the game again."
/* VID_ERR_NODISPLAY: the system has no display the game could be seen on
 * (SDL would draw off the screen); SDL_VIDEODRIVER set means the caller
 * chose the driver, whatever it is. */
#define VID_ERR_NODISPLAY                                                                                \
    "No display was found: the game needs the screen of a desktop session (X11 or Wayland). Start it "   \
    "from within your desktop, or set DISPLAY to a running X server."
int Vid_Create(const char *title, int width, int height, int bpp, int fullscreen);
void Vid_SetSwapInterval(int n);
/* Alt+Enter: between the window and full screen at the started mode; 1
 * when switched. */
int Vid_ToggleFullscreen(void);
/* The viewport follows the window's drawable size. */
void Vid_UpdateViewport(void);
/* Present the back buffer; 0 after a failure (the loop then ends). */
int Vid_Present(void);
/* Release the context and the window, restore mode, gamma and cursor. */
void Vid_Shutdown(void);
/* Free the mode list and shut down. */
void Vid_Restore(void);
const char *Vid_ErrorText(void);

#endif
