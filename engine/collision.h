/*
 * collision.h -- collision files (".dbb") and the collision tests between
 * model entities: spheres for most pairs, and for projectiles a swept
 * segment against the target's triangles through a coarse per-frame grid.
 */
#ifndef COLLISION_H
#define COLLISION_H

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

#endif
