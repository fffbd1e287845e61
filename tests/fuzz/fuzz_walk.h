/* Touches every element a model's or collision data's counts promise; small models go on through weld and collision. */
#ifndef FUZZ_WALK_H
#define FUZZ_WALK_H

#include <stdlib.h>

#include "collision.h"
#include "model.h"

static inline float Fuzz_WalkMesh(const mdl_mesh_t *m)
{
    float sum = 0;
    if (m->numframes == 0 || !m->frames)
        abort();
    for (uint32_t f = 0; f < m->numframes; f++) {
        for (size_t i = 0; i < (size_t)m->numverts * 3; i++)
            sum += m->frames[f].verts[i];
        if (m->frames[f].normals)
            for (size_t i = 0; i < (size_t)m->numtris * 9; i++)
                sum += m->frames[f].normals[i];
    }
    for (size_t i = 0; i < (size_t)m->numtris * 3; i++) {
        if (m->faces[i] >= m->numverts)
            abort();
        if (m->numtverts && m->tfaces[i] >= m->numtverts)
            abort();
    }
    for (size_t i = 0; i < (size_t)m->numtverts * 2; i++)
        sum += m->tverts[i];
    return sum;
}

/* Every triangle of every cell touched, and a few segments through and around every frame box. */
static inline void Fuzz_Collision(const colmodel_t *c, const uint8_t *data, size_t size)
{
    volatile float sum = 0;
    for (uint32_t f = 0; f < c->numframes; f++) {
        const col_box_t *b = &c->frames[f];
        for (size_t i = 0; i < (size_t)b->res * b->res * b->res; i++)
            for (size_t k = 0; k < (size_t)b->cells[i].numtris * 9; k++)
                sum += b->cells[i].tris[k];
        for (int q = 0; q < 4 && f < 8; q++) {
            float s[3], e[3], frac = 0;
            for (int k = 0; k < 3; k++) {
                float r = size ? (float)data[(q * 6 + k) % size] / 64.0f - 2.0f : 0.5f;
                float r2 = size ? (float)data[(q * 6 + k + 3) % size] / 64.0f - 2.0f : -0.5f;
                s[k] = b->centre[k] + b->half[k] * r;
                e[k] = b->centre[k] - b->half[k] * r2;
            }
            if (Col_SegmentQuery(b, s, e, &frac) && !(frac >= 0.0f && frac <= 1.0f))
                abort();
        }
    }
}

/* Every mesh walked; a model small enough goes on as the converter takes it: welded (which must work when
 * mustweld), walked again, and given collision data that is walked and queried. */
static inline void Fuzz_WalkModel(model_t *m, bool mustweld, const uint8_t *data, size_t size)
{
    volatile float sum = 0;
    uint64_t tris = 0;
    for (uint32_t i = 0; i < m->nummeshes; i++) {
        sum += Fuzz_WalkMesh(&m->meshes[i]);
        tris += m->meshes[i].numtris * (uint64_t)m->meshes[i].numframes;
    }
    if (tris >= 2000)
        return;
    for (uint32_t i = 0; i < m->nummeshes; i++) {
        if (Model_WeldMesh(&m->meshes[i]))
            sum += Fuzz_WalkMesh(&m->meshes[i]);
        else if (mustweld)
            abort();
    }
    if (colmodel_t *c = Col_Build(m->meshes, m->nummeshes)) {
        Fuzz_Collision(c, data, size);
        Col_Free(c);
    }
}

#endif
