/*
 * draw.h -- frame drawing: per-frame draw lists built from the active
 * entities, the world pass under the camera transform and the overlay
 * pass in 800 x 600 units, and the frame interpolation of mesh vertices.
 * Without a GL context only the per-frame sound update runs.
 */
#ifndef DRAW_H
#define DRAW_H

#include "game_api.h"

#define R_FOV 70.0f
#define R_ZNEAR 1.0f
#define R_ZFAR 700.0f
#define R_OVERLAY_W 800.0f
#define R_OVERLAY_H 600.0f

/* Clear depth, projection, identity matrices, white, filled polygons. */
void R_BeginFrame(void);
/* Tries "data/pointsprite" until it loads; cheap once loaded. */
void R_LoadParticleTexture(void);
/* Once the level has loaded: draws everything loaded so far (the hidden
 * entities of the game's class cache too) once, small, in every pass it
 * can be drawn in, where the first frame paints over it, so that textures
 * are uploaded and the driver's code for each drawing state is built
 * before play.  Loads the particle texture. */
void R_Prewarm(void);
void R_BuildDrawLists(void);
void R_DrawFrame(entity_t *camera);
/* Non-zero: draw everything the plain way, without the depth pass for the
 * overlay's opaque parts and without leaving out models out of view.  The
 * picture is the same either way (tests and benchmarks compare them). */
extern int r_plain;

/* Draw lists, valid after R_BuildDrawLists (tests). */
enum { RL_BACKGROUND, RL_MODELS, RL_VIEWMODELS, RL_FLAT, RL_SOUNDS, RL_PARTICLES, RL_COUNT };
int R_ListCount(int list);
entity_t *R_ListEntry(int list, int index);

/* For the warm-up (warmup.cpp): lists filled by hand (R_AddToList takes
 * up to ENT_MAX entries, R_TrimList keeps the first n), the background
 * list drawn alone as the world pass draws it, and the flag under which
 * the sky's split faces are drawn wherever it stands. */
void R_ClearLists(void);
void R_AddToList(int list, entity_t *e);
void R_TrimList(int list, int n);
void R_DrawBackground(void);
extern int r_warming;
/* Texture kinds (bit 0 none, 1 grey, 2 colour, 3 colour and alpha) of the
 * meshes a faded copy of m would add to the translucent pass. */
int R_WarmFadedKinds(const struct model_s *m);

/* Frame blending for a mesh of numframes frames at frame f: the two frames
 * to mix (both within 0..numframes-1) and the weight t of the second;
 * t is 0 when one frame is simply copied. */
void R_FrameBlend(float f, int numframes, int *a, int *b, float *t);
/* Mixes numverts positions (3 floats each) of two frames into the shared
 * vertex buffer, which grows by 1024 vertices at a time; returns the
 * buffer or NULL when it cannot grow. */
float *R_LerpVerts(const float *fa, const float *fb, float t, int numverts);

#endif
