/*
 * g_player.h -- the local player: set-up of the player and its models, the
 * score, the per-frame firing and the mouse input during play.
 */
#ifndef G_PLAYER_H
#define G_PLAYER_H

/* Spawns the player, bonus item, cockpit, weapon model, arrow and the
 * display; 1 on success, 0 on failure. */
int CL_Init(void);
/* Score 0, fire held clear, the player's per-frame think given back. */
void CL_ResetPlayer(void);
/* Takes the player's think away and clears fire held. */
void CL_PlayerThinkOff(void);
/* The player's score (0 when there is no player). */
int CL_GetScore(void);
/* Pointer handler of the action and fade states (event type, a, b). */
void CL_PointerInput(int type, int a, int b);
/* Drops the references to the player's and the display's gentities. */
void CL_Release(void);

#endif
