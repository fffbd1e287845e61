/*
 * g_menu.h -- the pause state: its handlers, the screen menu of buttons
 * (an image and a text each, with a hit box and hover, leave and click
 * actions) and the mouse cursor.
 */
#ifndef G_MENU_H
#define G_MENU_H

struct level_s;
struct gentity_s;

#define MENU_MAX_ITEMS 8

typedef struct menuitem_s menuitem_t;
typedef void (*menuaction_f)(menuitem_t *item);

struct menuitem_s {
    const char *name;
    struct gentity_s *image;
    struct gentity_s *text;
    float x, y;                 /* centre; absolute once added to a menu */
    int left, top, right, bottom; /* hit box relative to (x, y) */
    menuaction_f hover;
    menuaction_f click;
    menuaction_f leave;
};

typedef struct {
    float x, y;
    int count;
    menuitem_t *items[MENU_MAX_ITEMS];
} menu_t;

/* Spawns the item's image (image subclass) and text; 1, or 0 after logging. */
int MenuItem_Create(menuitem_t *item, int subclass, const char *text, float x, float y);
void Menu_Init(menu_t *menu, float x, float y);
/* Appends item (moved by the menu's position); 0 when the menu is full. */
int Menu_AddItem(menu_t *menu, menuitem_t *item);
void MenuItem_SetHover(menuitem_t *item, menuaction_f f);
void MenuItem_SetClick(menuitem_t *item, menuaction_f f);
void MenuItem_SetLeave(menuitem_t *item, menuaction_f f);
/* Brightness of image and text; values outside [0, 1] are ignored. */
void MenuItem_Brightness(menuitem_t *item, float value);
void MenuItem_GrowHitBox(menuitem_t *item, int left, int right, int bottom, int top);
int MenuItem_Inside(const menuitem_t *item, int cx, int cy);
void Menu_Show(menu_t *menu, int on);
void Menu_Hover(menu_t *menu, int cx, int cy);
void Menu_Press(menu_t *menu, int cx, int cy, int click);

/* Spawns the cursor image; NULL after logging. */
struct gentity_s *Cursor_SpawnImage(void);

/* The pause state's handlers. */
void Pause_Enter(void);
void Pause_Leave(void);
void Pause_Frame(struct level_s *level);
void Pause_Char(int code, int arg);
void Pause_Pointer(int type, int a, int b);

/* Views for tests: the pause menu, the cursor position and gentity. */
menu_t *Pause_Menu(void);
void Pause_CursorPos(int *x, int *y);
struct gentity_s *Pause_Cursor(void);
/* Forgets the menu and cursor (their gentities go with the game's end). */
void Pause_Release(void);

#endif
