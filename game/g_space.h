/*
 * g_space.h -- objects of open space: the two aliens, the probe, the
 * satellite, the rocket and the astronaut (destroying them costs points),
 * the comet and the planets.
 */
#ifndef G_SPACE_H
#define G_SPACE_H

#include "game_api.h"

typedef struct gentity_s gentity_t;

/* Spawn behaviours (the spawn functions of the class records). */
void Space_SpawnAlien(gentity_t *g);
void Space_SpawnSonde(gentity_t *g);
void Space_SpawnSatellite(gentity_t *g);
void Space_SpawnRocket(gentity_t *g);
void Space_SpawnAstronaut(gentity_t *g);
void Space_SpawnComet(gentity_t *g);
void Space_SpawnPlanet(gentity_t *g);

/* Death handlers handed to G_Damage. */
void Space_AlienDie(gentity_t *g);
void Space_SondeDie(gentity_t *g);
void Space_SatelliteDie(gentity_t *g);
void Space_RocketDie(gentity_t *g);
void Space_AstronautDie(gentity_t *g);
void Space_CometDie(gentity_t *g);

/* Thinks, exposed for tests. */
void Space_AlienThink(entity_t *e);
void Space_RocketExhaust(entity_t *e);

#endif
