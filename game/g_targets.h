/*
 * g_targets.h -- balloons, the two racers (the second turns to the player
 * and fires twice) and the enemy ship that drops four bombs when destroyed.
 */
#ifndef G_TARGETS_H
#define G_TARGETS_H

#include "game_api.h"

typedef struct gentity_s gentity_t;

/* Spawn behaviours (the spawn functions of the class records). */
void Target_SpawnBalloon(gentity_t *g);
void Target_SpawnRacer(gentity_t *g);
void Target_SpawnRacer2(gentity_t *g);
void Target_SpawnShip(gentity_t *g);

/* Hit and death handlers handed to G_Damage. */
void Target_BalloonBurst(gentity_t *g);
void Target_RacerHit(gentity_t *g, float d);
void Target_RacerDie(gentity_t *g);
void Target_ShipDie(gentity_t *g);

/* Thinks, touches and on-destroy handlers, exposed for tests. */
void Target_BalloonTouch(entity_t *self, entity_t *other);
void Target_BalloonSpinDown(entity_t *e);
void Target_RacerTouch(entity_t *self, entity_t *other);
void Target_RacerScan(entity_t *e);
void Target_RacerApproach(entity_t *e);
void Target_RacerAttack(entity_t *e);
void Target_RacerTurnBack(entity_t *e);
void Target_ShipTouch(entity_t *self, entity_t *other);
/* On destroy of objects with a looping engine sound: removes the sound. */
void Target_RemoveEngineSound(entity_t *e);

#endif
