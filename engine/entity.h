/*
 * entity.h -- the entity store: a fixed pool of 1024 engine entity records
 * shared with the game module, with a free list and an active list in
 * spawn order, spawning with each kind's resources, removal at the end of
 * the frame, and the per-frame motion, think/touch and purge steps.
 */
#ifndef ENTITY_H
#define ENTITY_H

#include "common.h"

/* Spawns an entity of the given kind (ENT_*); NULL when the pool is full,
 * the name is too long or the kind's resource cannot be had. */
entity_t *Ent_Spawn(const char *name, int kind);
/* Marks e for removal at this frame's purge; returns e. */
entity_t *Ent_PendRemove(entity_t *e);

/* Per-frame steps, in this order. */
void Ent_Motion(void);
void Ent_ThinkTouch(void);
void Ent_Purge(void);

/* Iteration over the active list, with a one-level saved cursor. */
entity_t *Ent_First(void);
entity_t *Ent_Next(void);
void Ent_SaveCursor(void);
void Ent_RestoreCursor(void);

int Ent_LiveCount(void);
/* Frees every live entity with its resources (no on-destroy calls);
 * for tests and shutdown. */
void Ent_Reset(void);

#endif
