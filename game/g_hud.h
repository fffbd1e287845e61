/*
 * g_hud.h -- the heads-up display: score, timer, time-up warner, weapon
 * label and icons, bonus countdown.
 */
#ifndef G_HUD_H
#define G_HUD_H

#include <stddef.h>

struct gentity_s;

#define HUD_WEAPONS 3

/* The display's gentities. */
typedef struct hud_s {
    struct gentity_s *score;
    struct gentity_s *timer;
    struct gentity_s *warner;
    struct gentity_s *weapontext;
    struct gentity_s *icons[HUD_WEAPONS];
    int icon;                   /* index of the icon shown */
    struct gentity_s *bonus;
} hud_t;

/* Spawns and lays out the display's items; 1, or 0 after logging. */
int HUD_Create(hud_t *hud);
/* Shows (on) or hides the display together with the player's models. */
void HUD_Show(int on);
/* Timer, warner and score texts for the remaining seconds. */
void HUD_UpdateTimer(float remaining);
/* Hides the three icons and shows icon i. */
void HUD_ShowWeaponIcon(int i);
/* The bonus text's animations: rise and shrink, and fade out. */
void HUD_BonusTextStart(void);
void HUD_BonusTextFadeOut(void);
/* Writes the seconds left of the bonus into the bonus text. */
void HUD_SetBonusTime(float left);

/* Formats up to two ints with a format from the translation package.  An
 * untrusted format that asks for anything but ints (or for more than
 * nargs of them) is shown as plain text instead.  Returns out. */
char *HUD_FormatInts(char *out, size_t size, const char *fmt, int nargs, int a, int b);

#endif
