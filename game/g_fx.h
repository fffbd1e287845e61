/*
 * g_fx.h -- visual effects: coloured particle bursts with their one-shot
 * parameters, the per-class colours of hit bursts, feathers, debris and
 * the floating score numbers.
 */
#ifndef G_FX_H
#define G_FX_H

#include "game_api.h"

typedef struct gentity_s gentity_t;

/* One-shot burst parameters: every FX_Particles call uses them and then
 * puts them back to their defaults. */
void FX_SetSize(float f);                 /* size *= f; ignored when f < 0 */
void FX_SetMinRadius(float f);            /* ignored when f < 0 */
void FX_SetSpeedRange(float lo, float hi); /* lo >= 0, hi >= lo */
void FX_SetBasis(const float *row1, const float *row2, const float *row3);
void FX_SetPositiveOnly(int x, int y, int z);
void FX_SetFadeFactor(float f);           /* ignored when f <= 0 */
void FX_SetGravity(float g);
void FX_ResetParams(void);

/* A burst of count (times the particle amount factor) particles around
 * centre, spread up to radius. */
void FX_Particles(const float *centre, int count, float radius, const float *colour);
/* The victim's hit burst: its class colour at point, damage * 16 particles. */
void FX_HitEffect(gentity_t *victim, const float *point, float damage);
/* count feathers drifting out of point (no amount factor). */
void FX_Feathers(const float *point, int count);
/* count pieces of debris class (MC_DEBRIS, subclass) tumbling from centre. */
void FX_Debris(const float *centre, int count, float anglerange, float avelrange,
               int subclass);
/* A floating number that grows and fades over about 1.4 s. */
void FX_ScorePopup(const float *point, int points, float size, const float *colour);

/* Handlers, exposed for tests. */
void FX_ParticleThink(entity_t *e);
void FX_FeatherThink(entity_t *e);
void FX_DebrisThink(entity_t *e);
void FX_DebrisTouch(entity_t *self, entity_t *other);
void FX_ScoreThink(entity_t *e);

#endif
