/*
 * g_hud.h -- the heads-up display: score, timer, time-up warner, weapon
 * label and icons, bonus countdown.
 */
#ifndef G_HUD_H
#define G_HUD_H

/* Shows (on) or hides the display together with the player's models. */
void HUD_Show(int on);
/* Timer, warner and score texts for the remaining seconds. */
void HUD_UpdateTimer(float remaining);

#endif
