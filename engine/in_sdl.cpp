/*
 * in_sdl.cpp -- window input on SDL: keys become virtual-key codes (and
 * the characters a keyboard would give), mouse motion arrives relative
 * (upward positive) in place of re-centring the cursor, buttons, the wheel
 * (one notch = 100) and the close request become the engine's input events.
 */
#include "input.h"

#include "engine.h"
#include "vid.h"

#include <SDL.h>

/* Virtual-key codes of the keys that are not letters or digits. */
static int IN_SpecialVK(int k)
{
    switch (k) {
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    case SDLK_RETURN: case SDLK_KP_ENTER: return 13;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return 16;
    case SDLK_LCTRL: case SDLK_RCTRL: return 17;
    case SDLK_LALT: case SDLK_RALT: return 18;
    case SDLK_PAUSE: return 19;
    case SDLK_CAPSLOCK: return 20;
    case SDLK_ESCAPE: return 27;
    case SDLK_SPACE: return 32;
    case SDLK_PAGEUP: return 33;
    case SDLK_PAGEDOWN: return 34;
    case SDLK_END: return 35;
    case SDLK_HOME: return 36;
    case SDLK_LEFT: return 37;
    case SDLK_UP: return 38;
    case SDLK_RIGHT: return 39;
    case SDLK_DOWN: return 40;
    case SDLK_INSERT: return 45;
    case SDLK_DELETE: return 46;
    case SDLK_KP_MULTIPLY: return 106;
    case SDLK_KP_PLUS: return 107;
    case SDLK_KP_MINUS: return 109;
    case SDLK_KP_PERIOD: return 110;
    case SDLK_KP_DIVIDE: return 111;
    case SDLK_SEMICOLON: return 186;
    case SDLK_EQUALS: case SDLK_PLUS: return 187;
    case SDLK_COMMA: return 188;
    case SDLK_MINUS: return 189;
    case SDLK_PERIOD: return 190;
    case SDLK_SLASH: return 191;
    case SDLK_BACKQUOTE: return 192;
    case SDLK_LEFTBRACKET: return 219;
    case SDLK_BACKSLASH: return 220;
    case SDLK_RIGHTBRACKET: return 221;
    case SDLK_QUOTE: return 222;
    case SDLK_LESS: return 226;
    default: return 0;
    }
}

int IN_KeyToVK(int k)
{
    if (k >= SDLK_a && k <= SDLK_z)
        return 'A' + (k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9)
        return k;
    if (k >= SDLK_F1 && k <= SDLK_F12)
        return 112 + (k - SDLK_F1);
    if (k >= SDLK_KP_1 && k <= SDLK_KP_9)
        return 97 + (k - SDLK_KP_1);
    if (k == SDLK_KP_0)
        return 96;
    return IN_SpecialVK(k);
}

void IN_Start(void)
{
    SDL_SetRelativeMouseMode(SDL_TRUE);
    SDL_StartTextInput();
}

void IN_Stop(void)
{
    SDL_StopTextInput();
    SDL_SetRelativeMouseMode(SDL_FALSE);
}

/* Keys that give a character without text input: the control characters
 * a keyboard produces (escape, return, backspace, tab). */
static void IN_ControlChar(int vk)
{
    if (vk == 27 || vk == 13 || vk == 8 || vk == 9)
        Eng_InputEvent(IE_CHAR, IN_MapKey(vk), 0);
}

/* Text arrives as UTF-8: code points below 256 are the characters of the
 * Western code page; anything else has no engine code. */
static void IN_Text(const char *s)
{
    const unsigned char *p = (const unsigned char *)s;
    while (*p) {
        int cp;
        if (*p < 0x80) {
            cp = *p++;
        } else if ((*p & 0xE0) == 0xC0 && (p[1] & 0xC0) == 0x80) {
            cp = ((p[0] & 0x1F) << 6) | (p[1] & 0x3F);
            p += 2;
        } else {
            cp = -1;
            p++;
            while ((*p & 0xC0) == 0x80)
                p++;
        }
        Eng_InputEvent(IE_CHAR, cp >= 0 && cp < 256 ? IN_MapKey(cp) : -1, 0);
    }
}

static void IN_Button(const SDL_MouseButtonEvent &b, int down)
{
    if (b.button == SDL_BUTTON_LEFT)
        Eng_InputEvent(down ? IE_LBUTTONDOWN : IE_LBUTTONUP, 0, 0);
    else if (b.button == SDL_BUTTON_RIGHT)
        Eng_InputEvent(down ? IE_RBUTTONDOWN : IE_RBUTTONUP, 0, 0);
}

/* Alt+Enter switches between the window and full screen; the keys go no
 * further. */
static int IN_AltEnter(const SDL_KeyboardEvent &k)
{
    if ((k.keysym.sym != SDLK_RETURN && k.keysym.sym != SDLK_KP_ENTER) || !(k.keysym.mod & KMOD_ALT))
        return 0;
    if (!k.repeat)
        Vid_ToggleFullscreen();
    return 1;
}

static void IN_Dispatch(const SDL_Event &e)
{
    switch (e.type) {
    case SDL_QUIT:
        Eng_InputEvent(IE_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE)
            Eng_InputEvent(IE_CLOSE, 0, 0);
        else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
            Eng_InputEvent(IE_FOCUSLOST, 0, 0);
        else if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
            Vid_UpdateViewport();
        break;
    case SDL_KEYDOWN: {
        if (IN_AltEnter(e.key))
            break;
        int vk = IN_KeyToVK(e.key.keysym.sym);
        Eng_InputEvent(IE_KEYDOWN, IN_MapKey(vk), 0);
        IN_ControlChar(vk);
        break;
    }
    case SDL_KEYUP:
        Eng_InputEvent(IE_KEYUP, IN_MapKey(IN_KeyToVK(e.key.keysym.sym)), 0);
        break;
    case SDL_TEXTINPUT:
        IN_Text(e.text.text);
        break;
    case SDL_MOUSEMOTION:
        if (e.motion.xrel || e.motion.yrel)
            Eng_InputEvent(IE_MOUSEMOVE, e.motion.xrel, -e.motion.yrel);
        break;
    case SDL_MOUSEBUTTONDOWN:
        IN_Button(e.button, 1);
        break;
    case SDL_MOUSEBUTTONUP:
        IN_Button(e.button, 0);
        break;
    case SDL_MOUSEWHEEL: {
        int notches = e.wheel.y;
        if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
            notches = -notches;
        Eng_InputEvent(IE_WHEEL, notches * 120 * 100 / 120, 0);
        break;
    }
    default:
        break;
    }
}

void IN_PumpEvents(void)
{
    SDL_Event e;
    while (SDL_PollEvent(&e))
        IN_Dispatch(e);
}
