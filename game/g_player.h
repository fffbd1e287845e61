/*
 * g_player.h -- the local player: set-up of the player and its models, the
 * weapons with their fire intervals and muzzles, weapon selection, the
 * bonus weapon, the score, the per-frame firing and the
 * mouse input during play.
 */
#ifndef G_PLAYER_H
#define G_PLAYER_H

#include "g_class.h"
#include "g_hud.h"

struct gentity_s;

#define CL_TEXTS 5          /* display texts: translation strings 0..4 */
#define WEAPON_COUNT 3
#define WEAPON_BONUS 2
#define BONUS_STREAK 10     /* chickens in a row that unlock the bonus */
#define BONUS_SECONDS 16.0f

/* Launch routine of a weapon: muzzle position, aim direction, shooter. */
typedef void (*weapon_launch_f)(const float *start, const float *dir,
                                struct gentity_s *shooter);

typedef struct {
    float interval;             /* seconds between shots */
    const char *missile;        /* missile class name */
    const char *sound;
    float muzzles[2][3];        /* (right, up, forward) of each muzzle */
    weapon_launch_f launch;
} weapon_t;

/* The local player's record. */
typedef struct client_s {
    struct gentity_s *player;
    struct gentity_s *bonusitem;
    struct gentity_s *cockpit;
    struct gentity_s *weapon;
    struct gentity_s *arrow;
    hud_t hud;
    int fireheld;
    float lastfire;
    const char *texts[CL_TEXTS];
} client_t;

extern client_t cl_client;

/* Spawns the player, bonus item, cockpit, weapon model, arrow and the
 * display; 1 on success, 0 on failure. */
int CL_Init(void);
/* Score 0, fire held clear, the player's per-frame think given back. */
void CL_ResetPlayer(void);
/* Takes the player's think away and clears fire held. */
void CL_PlayerThinkOff(void);
/* Gives the player's think back and clears fire held. */
void CL_PlayerThinkOn(void);
/* The player's score (0 when there is no player). */
int CL_GetScore(void);
/* Pointer handler of the action and fade states (event type, a, b). */
void CL_PointerInput(int type, int a, int b);
/* Drops the references to the player's and the display's gentities. */
void CL_Release(void);

/* The player's gentity, or NULL. */
struct gentity_s *CL_Player(void);
/* Moves the arrow and the camera after a change of the view. */
void CL_UpdateAim(client_t *c);
/* Selects weapon i (0..2): muzzle 0, its icon on the display. */
void CL_SelectWeapon(int i);
/* Fires when the button is held and the weapon is ready (once a frame). */
void CL_FiringStep(client_t *c);
/* Credits a kill of victim to the player: points, chicken streak, bonus
 * weapon, the floating score number. */
void CL_ScoreKill(struct gentity_s *player, struct gentity_s *victim);
/* Unlocks the bonus weapon for 16 seconds and selects it. */
void CL_StartBonusWeapon(struct gentity_s *player);

/* Fires the shooter's current weapon from its current muzzle. */
void Weapon_Fire(struct gentity_s *shooter, const float *origin, const float *dir);
const weapon_t *Weapon_Get(int i);
/* What a kill of the class is worth (its record's score), or NULL when
 * it scores nothing. */
const points_t *CL_PointsFor(int mainclass, int subclass);

#endif
