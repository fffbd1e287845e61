/*
 * g_chicken.h -- the chickens: plain, super, bomb-carrying, the mother
 * that lays eggs, and the egg that hatches six chickens.
 */
#ifndef G_CHICKEN_H
#define G_CHICKEN_H

#include "game_api.h"

typedef struct gentity_s gentity_t;

/* Spawn behaviours (the spawn functions of the class records). */
void Chicken_Spawn(gentity_t *g);
void Chicken_SpawnSuper(gentity_t *g);
void Chicken_SpawnBomb(gentity_t *g);
void Chicken_SpawnMother(gentity_t *g);
void Chicken_SpawnEgg(gentity_t *g);

/* Hit and death handlers handed to G_Damage. */
void Chicken_Hit(gentity_t *g, float d);
void Chicken_SuperHit(gentity_t *g, float d);
void Chicken_Die(gentity_t *g);
void Chicken_BombHit(gentity_t *g, float d);
void Chicken_BombDie(gentity_t *g);
void Chicken_MotherHit(gentity_t *g, float d);
void Chicken_MotherDie(gentity_t *g);
void Chicken_EggHatch(gentity_t *g);

/* Shared pieces other targets with a chicken on board use. */
void Chicken_HitCluck(gentity_t *g);
void Chicken_HitFeathers(gentity_t *g, float d);

/* Thinks and touches, exposed for tests. */
void Chicken_IdleCluck(entity_t *e);
void Chicken_Touch(entity_t *self, entity_t *other);
void Chicken_SuperTouch(entity_t *self, entity_t *other);
void Chicken_BombThink(entity_t *e);
void Chicken_BombTouch(entity_t *self, entity_t *other);
void Chicken_LayEgg(entity_t *e);
void Chicken_MotherTouch(entity_t *self, entity_t *other);
void Chicken_EggTouch(entity_t *self, entity_t *other);
void Chicken_EggSpinDown(entity_t *e);

#endif
