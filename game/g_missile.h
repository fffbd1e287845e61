/*
 * g_missile.h -- missiles and shots: plasma, glibber, the homing capsule
 * and its homing shots, enemy plasma that strikes near the player, and
 * deflection off debris.
 */
#ifndef G_MISSILE_H
#define G_MISSILE_H

#include "game_api.h"

typedef struct gentity_s gentity_t;

/* Spawns a missile of subclass SUB_MISSILE_* at start flying along dir;
 * NULL after logging when it cannot be spawned. */
gentity_t *FireMissile(int subclass, const float *start, const float *dir, gentity_t *owner);
/* The weapons' launch routines (shooter = the gentity that fires). */
void FirePlasma(const float *start, const float *dir, gentity_t *shooter);
void FireGlibber(const float *start, const float *dir, gentity_t *shooter);
void FireHomingCapsule(const float *start, const float *dir, gentity_t *shooter);

/* The module-wide homing lock: the gentity most recently taken by a
 * homing shot and when (NULL when clear). */
gentity_t *Missile_HomingLock(float *locktime);
void Missile_ClearHomingLock(void);

/* Handlers, exposed for tests. */
void Missile_Touch(entity_t *self, entity_t *other);
void Missile_EnemyShotThink(entity_t *e);
void Missile_CapsuleBurstThink(entity_t *e);
void Missile_CapsuleBurstTouch(entity_t *self, entity_t *other);
void Missile_SeekThink(entity_t *e);
void Missile_SteerThink(entity_t *e);
void Missile_FadeThink(entity_t *e);

#endif
