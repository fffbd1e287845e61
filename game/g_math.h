/*
 * g_math.h -- the game's small vector library (three-float vectors, y up,
 * angles in degrees), the two routines that turn a direction into the
 * angles of a model, the view basis from pitch and yaw, and the module's
 * only random source with its rounding rule.
 */
#ifndef G_MATH_H
#define G_MATH_H

#include "game_api.h"

/* pi as the game's float arithmetic uses it */
#define G_PI 3.1415927f

typedef float vec3_t[3];

/* The world origin (also the zero vector) and the up axis. */
extern const vec3_t vec3_origin;
extern const vec3_t vec3_up;

/* Random float in [0.0001, 1]; linear congruential, seed 1 at load. */
float G_Random(void);
/* Puts the random seed back to its load value (tests only). */
void G_RandomReset(void);
/* x to the nearest integer, halves away from zero. */
int G_Nearest(float x);

/* Plain helpers. */
void Vec_Set(float *v, float x, float y, float z);
void Vec_Copy(const float *src, float *dst);
void Vec_Add(const float *a, const float *b, float *out);
void Vec_Sub(const float *a, const float *b, float *out);
void Vec_Scale(const float *v, float s, float *out);
float Vec_Dot(const float *a, const float *b);
float Vec_Length(const float *v);
float Vec_DistSquared(const float *a, const float *b);

/* In place; a zero vector stays zero. */
void Vec_Normalize(float *v);
/* out = a x b (out may alias a or b). */
void Vec_Cross(const float *a, const float *b, float *out);
/* out = a + s * b (out may alias a or b). */
void Vec_MA(const float *a, float s, const float *b, float *out);
/* 1 when |a.b| / (|a||b|) is exactly 1. */
int Vec_IsParallel(const float *a, const float *b);
/* Rotates v in place about x by ax, y by -ay, z by az (degrees). */
void Vec_Rotate(float *v, float ax, float ay, float az);
/* Signed angle of b against a about axis k (0 x, 1 y, 2 -z), in [-90, 90];
 * 0 when a or b is parallel to the axis. */
float Vec_SignedAngle(const float *a, const float *b, int k);
/* A random unit vector from three G_Random draws. */
void Vec_RandomDir(float *out);
/* Side and up vectors of a direction (zero for a vertical direction). */
void Vec_Basis(const float *d, float *side, float *up);
/* Forward, side and up of a view given as pitch, yaw, roll. */
void Vec_BasisFromAngles(float pitch, float yaw, float roll, float *forward,
                         float *side, float *up);
/* Pitch, yaw, roll (angles[0..2]) from a side vector and a direction. */
void Vec_AnglesFromVectors(const float *s, const float *d, float *angles);

/* Second vector and angles of an engine entity from its direction. */
void Ent_OrientToDirection(entity_t *e);
/* Missiles: oriented by the reversed direction (nudges a vertical one). */
void Ent_OrientMissile(entity_t *e);

#endif
