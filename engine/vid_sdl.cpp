/*
 * vid_sdl.cpp -- the display on SDL: the desktop and its mode list, the
 * window with a double-buffered OpenGL compatibility context (24-bit
 * colour, 32-bit depth falling back to 24, 8-bit stencil), full-screen
 * mode switching with the windowed fallback, presenting frames, and
 * putting display mode, gamma and cursor back at exit.
 */
#include "vid.h"

#include "common.h"
#include "glstate.h"
#include "sys.h"

#include <GL/gl.h>
#include <SDL.h>
#include <stdlib.h>
#include <string.h>

enum { STAGE_NONE, STAGE_PROBED, STAGE_MODESET, STAGE_CONTEXT };

typedef struct {
    int stage;
    int videoinit;
    int deskwidth, deskheight, deskbpp;
    vidmode_t *modes;
    int nummodes;
    int fullscreen;
    int width, height, bpp;     /* the mode the game was started with */
    SDL_Window *window;
    SDL_GLContext context;
    const char *error;
    int havegamma;
    Uint16 gamma[3][256];
} vidstate_t;

static vidstate_t vid;

/* Depth as the launcher knows it: 32 for 8-bit-per-channel modes. */
static int Vid_FormatBits(Uint32 format)
{
    int bytes = SDL_BYTESPERPIXEL(format);
    if (bytes >= 3)
        return bytes == 3 ? 24 : 32;
    return SDL_BITSPERPIXEL(format);
}

/* Without a display SDL falls back to drawing off the screen, and the
 * game would run unseen: that is no display, unless the caller chose the
 * driver. */
static int Vid_InitVideo(void)
{
    if (vid.videoinit)
        return 1;
    const char *chosen = getenv("SDL_VIDEODRIVER");
    int ok = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (!ok)
        Com_Printf("# Vid_Probe: %s\n", SDL_GetError());
    const char *d = ok ? SDL_GetCurrentVideoDriver() : NULL;
    if (!(chosen && chosen[0]) && (!d || !strcmp(d, "offscreen") || !strcmp(d, "dummy"))) {
        if (ok)
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
        vid.error = VID_ERR_NODISPLAY;
        return 0;
    }
    vid.videoinit = ok;
    return ok;
}

int Vid_Probe(void)
{
    free(vid.modes);
    vid.modes = NULL;
    vid.nummodes = 0;
    vid.stage = STAGE_PROBED;
    if (!Vid_InitVideo())
        return 0;
    SDL_DisplayMode dm;
    if (SDL_GetDesktopDisplayMode(0, &dm) == 0) {
        vid.deskwidth = dm.w;
        vid.deskheight = dm.h;
        vid.deskbpp = Vid_FormatBits(dm.format);
    }
    int n = SDL_GetNumDisplayModes(0);
    if (n > 0) {
        vid.modes = (vidmode_t *)calloc((size_t)n, sizeof(vidmode_t));
        for (int i = 0; vid.modes && i < n; i++) {
            if (SDL_GetDisplayMode(0, i, &dm) != 0)
                break;
            vid.modes[vid.nummodes].width = dm.w;
            vid.modes[vid.nummodes].height = dm.h;
            vid.modes[vid.nummodes].bpp = Vid_FormatBits(dm.format);
            vid.nummodes++;
        }
    }
    return 1;
}

int Vid_NumModes(void) { return vid.nummodes; }
const vidmode_t *Vid_Mode(int i) { return (i >= 0 && i < vid.nummodes) ? &vid.modes[i] : NULL; }

const char *Vid_ErrorText(void) { return vid.error; }

/* Display mode step: 1 to go on (vid.fullscreen may have been cleared),
 * 0 with the error text set. */
static int Vid_SetMode(int width, int height, int bpp, const SDL_DisplayMode **want,
                       SDL_DisplayMode *mode)
{
    *want = NULL;
    if (!vid.fullscreen)
        return 1;
    if (width == vid.deskwidth && height == vid.deskheight && bpp == vid.deskbpp)
        return 1;
    for (int i = 0; i < vid.nummodes; i++) {
        if (vid.modes[i].width == width && vid.modes[i].height == height &&
            vid.modes[i].bpp == bpp) {
            if (SDL_GetDisplayMode(0, i, mode) == 0)
                *want = mode;
            return 1;
        }
    }
    vid.error = "Your requested video mode is unavailable.";
    return 0;
}

static void Vid_SetGLAttributes(int depthbits)
{
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthbits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
}

/* The window itself; the pixel format is part of it on SDL.  The depth
 * size is a lower bound, and the X visual chosen is the one with the
 * deepest depth buffer at or above it: asking 24 bits first still gets 32
 * where the driver has them, without the slow refused attempt where it
 * has not (Mesa).  32 is tried after 24 only for a driver that would
 * refuse 24. */
static int Vid_MakeWindow(const char *title, int width, int height)
{
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (vid.fullscreen)
        flags |= SDL_WINDOW_FULLSCREEN;
    int pos = SDL_WINDOWPOS_CENTERED;
    static const int depths[2] = {24, 32};
    for (int i = 0; i < (int)(sizeof(depths) / sizeof(depths[0])) && !vid.window; i++) {
        Vid_SetGLAttributes(depths[i]);
        vid.window = SDL_CreateWindow(title, vid.fullscreen ? 0 : pos, vid.fullscreen ? 0 : pos,
                                      width, height, flags);
    }
    if (!vid.window) {
        Com_Printf("# Vid_Create: %s\n", SDL_GetError());
        vid.error = "ChoosePixelFormat failed";
        return 0;
    }
    return 1;
}

static void Vid_LookupExtensions(void)
{
    gls.lockarrays = (gl_lockarrays_f)SDL_GL_GetProcAddress("glLockArraysEXT");
    gls.unlockarrays = (gl_unlockarrays_f)SDL_GL_GetProcAddress("glUnlockArraysEXT");
    if (!gls.lockarrays || !gls.unlockarrays) {
        gls.lockarrays = NULL;
        gls.unlockarrays = NULL;
    }
}

static int Vid_MakeContext(void)
{
    vid.context = SDL_GL_CreateContext(vid.window);
    if (!vid.context) {
        Com_Printf("# Vid_Create: %s\n", SDL_GetError());
        vid.error = "wglCreateContext failed";
        return 0;
    }
    if (SDL_GL_MakeCurrent(vid.window, vid.context) < 0) {
        vid.error = "wglMakeCurrent failed";
        SDL_GL_DeleteContext(vid.context);
        vid.context = NULL;
        return 0;
    }
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(vid.window, &w, &h);
    GLS_Reset(1, w, h);
    vid.stage = STAGE_CONTEXT;
    Vid_LookupExtensions();
    return 1;
}

static void Vid_DestroyWindow(void)
{
    if (vid.window) {
        SDL_DestroyWindow(vid.window);
        vid.window = NULL;
    }
}

int Vid_Create(const char *title, int width, int height, int bpp, int fullscreen)
{
    SDL_DisplayMode mode;
    const SDL_DisplayMode *want = NULL;
    vid.fullscreen = fullscreen;
    vid.width = width;
    vid.height = height;
    vid.bpp = bpp;
    if (!Vid_InitVideo()) {
        if (!vid.error)     /* else: no display */
            vid.error = "GetDC on main window failed";
        return 0;
    }
    if (!Vid_SetMode(width, height, bpp, &want, &mode))
        return 0;
    vid.stage = STAGE_MODESET;
    if (!Sys_AcquireInstanceLock()) {
        vid.error = VID_ERR_RUNNING;
        return 0;
    }
    if (!Vid_MakeWindow(title, width, height) || !Vid_MakeContext()) {
        Vid_DestroyWindow();
        return 0;
    }
    if (vid.fullscreen && SDL_SetWindowDisplayMode(vid.window, want) < 0) {
        /* a refused switch is no error: run windowed at the requested size */
        SDL_SetWindowFullscreen(vid.window, 0);
        SDL_SetWindowSize(vid.window, width, height);
        SDL_SetWindowPosition(vid.window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
        vid.fullscreen = 0;
    }
    vid.havegamma = SDL_GetWindowGammaRamp(vid.window, vid.gamma[0], vid.gamma[1],
                                           vid.gamma[2]) == 0;
    SDL_ShowWindow(vid.window);
    SDL_RaiseWindow(vid.window);
    SDL_ShowCursor(SDL_DISABLE);
    return 1;
}

/* The drawing covers the window's drawable, whatever its size now. */
void Vid_UpdateViewport(void)
{
    if (vid.stage != STAGE_CONTEXT || !vid.window)
        return;
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(vid.window, &w, &h);
    if (w <= 0 || h <= 0 || (w == gls.viewwidth && h == gls.viewheight))
        return;
    glViewport(0, 0, w, h);
    gls.viewwidth = w;
    gls.viewheight = h;
    gls.aspect = (float)w / (float)h;
}

/* Full screen at the mode the game was started with (the closest one the
 * display has when the list lacks it), or back to the centred window of
 * that size.  Context, game and mouse grab stay as they are.  The window
 * is put over the screen at the mode's size before it goes full screen
 * and set back to its own size after, because without a window manager
 * nobody else moves or sizes it. */
int Vid_ToggleFullscreen(void)
{
    if (!vid.window)
        return 0;
    int on = !vid.fullscreen;
    if (on) {
        SDL_DisplayMode mode, use;
        const SDL_DisplayMode *want = NULL;
        vid.fullscreen = 1;
        if (!Vid_SetMode(vid.width, vid.height, vid.bpp, &want, &mode))
            vid.error = NULL;   /* not in the list: the closest mode SDL finds */
        SDL_SetWindowDisplayMode(vid.window, want);
        if (SDL_GetWindowDisplayMode(vid.window, &use) == 0) {
            SDL_SetWindowPosition(vid.window, 0, 0);
            SDL_SetWindowSize(vid.window, use.w, use.h);
        }
    }
    if (SDL_SetWindowFullscreen(vid.window, on ? SDL_WINDOW_FULLSCREEN : 0) < 0) {
        Com_Printf("# Vid_ToggleFullscreen: %s\n", SDL_GetError());
        vid.fullscreen = !on;
        return 0;
    }
    if (!on) {
        SDL_SetWindowSize(vid.window, vid.width, vid.height);
        SDL_SetWindowPosition(vid.window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
    vid.fullscreen = on;
    Vid_UpdateViewport();
    return 1;
}

void Vid_SetSwapInterval(int n)
{
    if (vid.context)
        SDL_GL_SetSwapInterval(n);
}

int Vid_Present(void)
{
    if (!vid.window)
        return 0;
    SDL_GL_SwapWindow(vid.window);
    return 1;
}

void Vid_Shutdown(void)
{
    if (vid.stage == STAGE_CONTEXT) {
        if (vid.context) {
            SDL_GL_MakeCurrent(vid.window, NULL);
            SDL_GL_DeleteContext(vid.context);
            vid.context = NULL;
        }
        GLS_Reset(0, 0, 0);
    }
    if (vid.window) {
        if (vid.havegamma)
            SDL_SetWindowGammaRamp(vid.window, vid.gamma[0], vid.gamma[1], vid.gamma[2]);
        if (vid.fullscreen)
            SDL_SetWindowFullscreen(vid.window, 0); /* gives the desktop mode back */
        SDL_DestroyWindow(vid.window);
        vid.window = NULL;
    }
    vid.havegamma = 0;
    if (vid.stage >= STAGE_MODESET)
        Sys_ReleaseInstanceLock();
    if (vid.videoinit)
        SDL_ShowCursor(SDL_ENABLE);
    if (vid.stage > STAGE_PROBED)
        vid.stage = STAGE_PROBED;
}

void Vid_Restore(void)
{
    if (vid.stage >= STAGE_PROBED) {
        free(vid.modes);
        vid.modes = NULL;
        vid.nummodes = 0;
    }
    Vid_Shutdown();
    if (vid.videoinit) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        vid.videoinit = 0;
    }
    vid.stage = STAGE_NONE;
}
