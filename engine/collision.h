/*
 * collision.h -- collision files (".dbb") and the collision tests between
 * model entities: spheres for most pairs, and for projectiles a swept
 * segment against the target's triangles through a coarse per-frame grid.
 */
#ifndef COLLISION_H
#define COLLISION_H

#include <math.h>
#include <stdint.h>

#include "game_api.h"
#include "model.h"

#define COL_GRID 3             /* grid resolution the builder writes */

typedef struct {
    float centre[3];
    float half[3];
    uint32_t numtris;
    float *tris;               /* numtris * 9 floats: three corners x, y, z */
} col_cell_t;

typedef struct {
    float centre[3];
    float half[3];
    uint32_t res;              /* n: n * n * n cells */
    col_cell_t *cells;         /* index (c * n + b) * n + a */
} col_box_t;

typedef struct colmodel_s {
    uint32_t numframes;
    col_box_t *frames;
    float reach;               /* radius about the model origin holding every
                                  frame's box with the query's margin; 0 unknown */
} colmodel_t;

/* NULL when the file is missing or broken. */
colmodel_t *Col_ReadFile(const char *filename);
int Col_WriteFile(const char *filename, const colmodel_t *c);
/* Boxes and grids for every frame of the meshes; NULL without triangles. */
colmodel_t *Col_Build(const mdl_mesh_t *meshes, uint32_t nummeshes);
void Col_Free(colmodel_t *c);

/* Ray against one triangle: 1 and *t when it meets it (t unchecked). */
int Col_RayTriangle(const float o[3], const float d[3], const float v0[3], const float v1[3],
                    const float v2[3], float *t);
/* Segment s->e against one frame's grid; 1 on a hit, *frac the fraction
 * along s->e of the hit nearest to s. */
int Col_SegmentQuery(const col_box_t *box, const float s[3], const float e[3], float *frac);

/* The pair test of two model entities. */
int Col_Collide(entity_t *a, entity_t *b);

/* Sets c->reach from the frame boxes (left 0 when they are not finite). */
void Col_SetReach(colmodel_t *c);

/* The exact sphere test of b against a sphere at ao of radius ra (the
 * radius times the scale): Col_Collide's own test, so that a rejection
 * built on it gives the same answer. */
static inline int Col_SphereMeets(const float ao[3], float ra, const entity_t *b)
{
    float rb = b->u.mdl.radius * b->u.mdl.scale;
    float dx = ao[0] - b->origin[0], dy = ao[1] - b->origin[1], dz = ao[2] - b->origin[2];
    return (ra + rb) * (ra + rb) > dx * dx + dy * dy + dz * dz;
}

/* How far from its origin a projectile can hit target t: -1 when nothing
 * can hit it, infinite when unknown, else its reach scaled with a little
 * slack.  t must be a model entity. */
static inline float Col_TargetReach(const entity_t *t)
{
    const model_t *m = t->u.mdl.model;
    if (!m || !m->collision)
        return -1.0f;
    float reach = m->collision->reach;
    if (!(reach > 0.0f))
        return INFINITY;
    return reach * fabsf(t->u.mdl.scale) * 1.001f + 1e-4f;
}

/* 0 when the segment p0->p1 surely misses everything within reach of the
 * target origin to: the segment's box lies beyond the cube around the
 * reach on some axis (|s + e| > |e - s| + 2 lim says that s and e, taken
 * from to, are both beyond lim on the same side).  The slack grows with
 * the distances involved, which bound the rounding of the exact test's
 * transform; a value that is not finite rejects nothing. */
static inline int Col_SegmentMayReach(const float p0[3], const float p1[3], const float to[3], float reach)
{
    if (reach < 0.0f)
        return 0;
    /* written out per axis: this runs for most pairs of a frame */
    float sx = p0[0] - to[0], sy = p0[1] - to[1], sz = p0[2] - to[2];
    float ex = p1[0] - to[0], ey = p1[1] - to[1], ez = p1[2] - to[2];
    float mx = fabsf(sx + ex), my = fabsf(sy + ey), mz = fabsf(sz + ez);
    float lx = fabsf(ex - sx), ly = fabsf(ey - sy), lz = fabsf(ez - sz);
    float lim2 = 2.0f * reach + (mx + my + mz + lx + ly + lz) * 1e-3f;
    return !((mx > lx + lim2) | (my > ly + lim2) | (mz > lz + lim2));
}

#endif
