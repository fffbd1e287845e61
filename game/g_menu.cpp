/*
 * g_menu.cpp -- the pause state: game time stops, the scene is darkened
 * and the sound turned down, the player stops shooting, and a menu of two
 * buttons ("continue", "quit") is shown with a cursor the mouse moves.
 * Also the small screen menu itself: items of an image and a text with a
 * hit box and hover, leave and click actions, and the cursor image.
 */
#include "g_local.h"

#include <stdio.h>
#include <string.h>

#define PAUSE_DIM 0.3f
#define PAUSE_VOLUME 0.3f

typedef struct {
    gentity_t *g;
    float brightness;
} dimmed_t;

static menu_t pause_menu;
static menuitem_t pause_continue, pause_quit;
static int pause_menubuilt;
static int pause_savedstate;
static float pause_savedvolume = 1.0f;
static dimmed_t pause_dimmed[GENT_MAX];
static int pause_dimcount;
static gentity_t *pause_cursor;
static int pause_cx = 400, pause_cy = 300;
/* The exact cursor position: slow mouse moves arrive as fractions of a
 * unit, which must add up over frames instead of being rounded away. */
static float pause_fx = 400.0f, pause_fy = 300.0f;

/* ---- menu items ---- */

static void MenuItem_Place(menuitem_t *item)
{
    item->image->ent->origin[0] = item->x;
    item->image->ent->origin[1] = item->y;
    item->text->ent->origin[0] = item->x;
    item->text->ent->origin[1] = item->y;
}

int MenuItem_Create(menuitem_t *item, int subclass, const char *text, float x, float y)
{
    item->image = G_SpawnImage(subclass);
    if (!item->image) {
        gi.conprintf("# MenuItem_Create: could not spawn imageclass %i (probably too many entities: %i)\n",
                     subclass, G_GentityCount());
        return 0;
    }
    item->text = G_SpawnText(SUB_TEXT_FONT_TECH);
    if (!item->text) {
        gi.conprintf("# MenuItem_Create: could not spawn tech text (probably too many entities: %i)\n",
                     G_GentityCount());
        return 0;
    }
    item->x = x;
    item->y = y;
    MenuItem_Place(item);
    float w = item->image->ent->u.img.width, h = item->image->ent->u.img.height;
    item->left = (int)(-w * 0.5f);
    item->right = (int)(w * 0.5f - 1.0f);
    item->top = (int)(-h * 0.5f);
    item->bottom = (int)(h * 0.5f - 1.0f);
    snprintf(item->text->ent->u.txt.text, sizeof(item->text->ent->u.txt.text), "%s",
             text ? text : "");
    G_SetTextSize(item->text, 25.0f);
    return 1;
}

void Menu_Init(menu_t *menu, float x, float y)
{
    memset(menu, 0, sizeof(*menu));
    menu->x = x;
    menu->y = y;
}

int Menu_AddItem(menu_t *menu, menuitem_t *item)
{
    if (menu->count >= MENU_MAX_ITEMS)
        return 0;
    item->x += menu->x;
    item->y += menu->y;
    MenuItem_Place(item);
    menu->items[menu->count++] = item;
    return 1;
}

void MenuItem_SetHover(menuitem_t *item, menuaction_f f) { item->hover = f; }
void MenuItem_SetClick(menuitem_t *item, menuaction_f f) { item->click = f; }
void MenuItem_SetLeave(menuitem_t *item, menuaction_f f) { item->leave = f; }

void MenuItem_Brightness(menuitem_t *item, float value)
{
    if (!(value >= 0.0f && value <= 1.0f))
        return;
    item->image->ent->brightness = value;
    item->text->ent->brightness = value;
}

void MenuItem_GrowHitBox(menuitem_t *item, int left, int right, int bottom, int top)
{
    item->left += left;
    item->right += right;
    item->bottom += bottom;
    item->top += top;
}

int MenuItem_Inside(const menuitem_t *item, int cx, int cy)
{
    return (int)(item->x + (float)item->left) <= cx && cx <= (int)(item->x + (float)item->right) &&
           (int)(item->y + (float)item->top) <= cy && cy <= (int)(item->y + (float)item->bottom);
}

void Menu_Show(menu_t *menu, int on)
{
    int state = on ? ES_ACTIVE : ES_HIDDEN;
    for (int i = 0; i < menu->count; i++) {
        menu->items[i]->image->ent->state = state;
        menu->items[i]->text->ent->state = state;
    }
}

void Menu_Hover(menu_t *menu, int cx, int cy)
{
    for (int i = 0; i < menu->count; i++) {
        menuitem_t *it = menu->items[i];
        menuaction_f f = MenuItem_Inside(it, cx, cy) ? it->hover : it->leave;
        if (f)
            f(it);
    }
}

void Menu_Press(menu_t *menu, int cx, int cy, int click)
{
    for (int i = 0; i < menu->count; i++) {
        menuitem_t *it = menu->items[i];
        if (!MenuItem_Inside(it, cx, cy))
            continue;
        if (it->hover)
            it->hover(it);
        if (click && it->click) {
            it->click(it);
            return; /* the click may have left the pause or ended the game */
        }
    }
}

/* ---- cursor ---- */

gentity_t *Cursor_SpawnImage(void)
{
    gentity_t *g = G_SpawnImage(SUB_IMAGE_MOUSECURSOR);
    if (!g)
        gi.conprintf("# Cursor_SpawnImage: could not spawn cursor image (probably too many entities: %i)\n",
                     G_GentityCount());
    return g;
}

static float Cursor_Limit(float v, float hi)
{
    if (!(v > 0.0f)) /* also NaN */
        return 0.0f;
    return v > hi ? hi : v;
}

/* Holds the exact position on the screen; the shown one is its nearest
 * whole unit. */
static void Cursor_Clamp(void)
{
    pause_fx = Cursor_Limit(pause_fx, 800.0f);
    pause_fy = Cursor_Limit(pause_fy, 600.0f);
    pause_cx = G_Nearest(pause_fx);
    pause_cy = G_Nearest(pause_fy);
}

static void Cursor_Place(void)
{
    if (!pause_cursor)
        return;
    pause_cursor->ent->origin[0] = (float)(pause_cx + 4);
    pause_cursor->ent->origin[1] = (float)(pause_cy - 4);
}

/* ---- the pause menu ---- */

static void Pause_Highlight(menuitem_t *item) { MenuItem_Brightness(item, 1.0f); }
static void Pause_Dim(menuitem_t *item) { MenuItem_Brightness(item, 0.5f); }
static void Pause_Continue(menuitem_t *) { G_SetState(pause_savedstate); }
static void Pause_Quit(menuitem_t *) { G_EndGame(END_ABORT); }

static int Pause_BuildItem(menuitem_t *item, const char *name, int textindex, float x,
                           menuaction_f click)
{
    const char *text = gi.lang_getlocalizedstr(textindex);
    memset(item, 0, sizeof(*item));
    if (!MenuItem_Create(item, SUB_IMAGE_PAUSE_BUTTON, text, x, 0.0f))
        return 0;
    item->name = name;
    MenuItem_SetHover(item, Pause_Highlight);
    MenuItem_SetLeave(item, Pause_Dim);
    MenuItem_SetClick(item, click);
    MenuItem_GrowHitBox(item, 0, 0, -42, 42);
    return 1;
}

static int Pause_BuildMenu(void)
{
    Menu_Init(&pause_menu, 400.0f, 300.0f);
    if (!Pause_BuildItem(&pause_continue, "menuitem_continue", 5, -80.0f, Pause_Continue) ||
        !Pause_BuildItem(&pause_quit, "menuitem_quit", 6, 80.0f, Pause_Quit))
        return 0;
    Menu_AddItem(&pause_menu, &pause_continue);
    Menu_AddItem(&pause_menu, &pause_quit);
    pause_menubuilt = 1;
    return 1;
}

static void Pause_Darken(void)
{
    pause_dimcount = 0;
    for (gentity_t *g = G_NextInUse(NULL); g && pause_dimcount < GENT_MAX; g = G_NextInUse(g)) {
        pause_dimmed[pause_dimcount].g = g;
        pause_dimmed[pause_dimcount].brightness = g->ent->brightness;
        pause_dimcount++;
        if (g->ent->brightness > PAUSE_DIM)
            g->ent->brightness = PAUSE_DIM;
    }
}

void Pause_Enter(void)
{
    pause_savedstate = G_CurrentStateId();
    gi.gametime_pause();
    CL_PlayerThinkOff();
    pause_savedvolume = G_GetMasterVolume();
    if (pause_savedvolume > PAUSE_VOLUME)
        G_SetMasterVolume(PAUSE_VOLUME);
    if (!pause_menubuilt && !Pause_BuildMenu()) {
        G_EndGame(END_FAILURE);
        return;
    }
    Pause_Darken();
    pause_cursor = Cursor_SpawnImage();
    if (!pause_cursor) {
        G_EndGame(END_FAILURE);
        return;
    }
    Cursor_Clamp();
    Cursor_Place();
    Menu_Show(&pause_menu, 1);
    pause_cursor->ent->brightness = 1.0f;
}

void Pause_Leave(void)
{
    gi.gametime_resume();
    for (int i = pause_dimcount - 1; i >= 0; i--) {
        gentity_t *g = pause_dimmed[i].g;
        if (g->state == GS_INUSE)
            g->ent->brightness = pause_dimmed[i].brightness;
    }
    pause_dimcount = 0;
    if (pause_menubuilt)
        Menu_Show(&pause_menu, 0);
    if (pause_cursor)
        G_Remove(pause_cursor);
    pause_cursor = NULL;
    CL_PlayerThinkOn();
    G_SetMasterVolume(pause_savedvolume);
}

void Pause_Frame(struct level_s *)
{
    if (pause_menubuilt)
        Menu_Hover(&pause_menu, pause_cx, pause_cy);
}

void Pause_Char(int code, int)
{
    if (code == KEY_ESCAPE)
        G_SetState(pause_savedstate);
}

void Pause_Pointer(int type, int a, int b)
{
    if (!pause_menubuilt)
        return;
    if (type == IE_LBUTTONDOWN) {
        Menu_Press(&pause_menu, pause_cx, pause_cy, 1);
    } else if (type == IE_MOUSEMOVE) {
        pause_fx += (float)a * 0.005f;
        pause_fy += (float)b * 0.005f;
        Cursor_Clamp();
        Cursor_Place();
        Menu_Press(&pause_menu, pause_cx, pause_cy, 0);
    }
}

menu_t *Pause_Menu(void)
{
    return &pause_menu;
}

void Pause_CursorPos(int *x, int *y)
{
    *x = pause_cx;
    *y = pause_cy;
}

gentity_t *Pause_Cursor(void)
{
    return pause_cursor;
}

void Pause_Release(void)
{
    memset(&pause_menu, 0, sizeof(pause_menu));
    pause_menubuilt = 0;
    pause_dimcount = 0;
    pause_cursor = NULL;
    pause_cx = 400;
    pause_cy = 300;
    pause_fx = 400.0f;
    pause_fy = 300.0f;
    pause_savedvolume = 1.0f;
}
