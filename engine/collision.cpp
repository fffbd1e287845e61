/*
 * collision.cpp -- collision files (".dbb") and the pair test of model
 * entities.  For every animation frame a model carries a box around its
 * triangles cut into a grid of cells, each listing copies of the triangles
 * that touch it.  Projectiles (collision mode 2) are tested as the segment
 * from their previous position to their position, carried into the
 * target's model space, against the cells that segment passes through;
 * every other pair is tested as two spheres.
 */
#include "collision.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "bytes.h"
#include "common.h"
#include "fs.h"

#define COL_BOX_BYTES 32
#define COL_CELL_BYTES 32
#define COL_TRI_BYTES 36
#define COL_EPSILON 0.000001f

/* ---- small vector helpers ----------------------------------------------- */

static void Col_Sub(const float *a, const float *b, float *out)
{
    out[0] = a[0] - b[0];
    out[1] = a[1] - b[1];
    out[2] = a[2] - b[2];
}

static void Col_Cross(const float *a, const float *b, float *out)
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

static float Col_Dot(const float *a, const float *b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

int Col_RayTriangle(const float o[3], const float d[3], const float v0[3], const float v1[3],
                    const float v2[3], float *t)
{
    float e1[3], e2[3], p[3], s[3], q[3];
    Col_Sub(v1, v0, e1);
    Col_Sub(v2, v0, e2);
    Col_Cross(d, e2, p);
    float det = Col_Dot(e1, p);
    if (det > -COL_EPSILON && det < COL_EPSILON)
        return 0;
    float inv = 1.0f / det;
    Col_Sub(o, v0, s);
    float u = Col_Dot(s, p) * inv;
    if (u < 0.0f || u > 1.0f)
        return 0;
    Col_Cross(s, e1, q);
    float v = Col_Dot(d, q) * inv;
    if (v < 0.0f || u + v > 1.0f)
        return 0;
    *t = Col_Dot(e2, q) * inv;
    return 1;
}

/* ---- files -------------------------------------------------------------- */

void Col_Free(colmodel_t *c)
{
    if (!c)
        return;
    for (uint32_t f = 0; c->frames && f < c->numframes; f++) {
        col_box_t *b = &c->frames[f];
        size_t ncells = b->cells ? (size_t)b->res * b->res * b->res : 0;
        for (size_t i = 0; i < ncells; i++)
            free(b->cells[i].tris);
        free(b->cells);
    }
    free(c->frames);
    free(c);
}

/* A box or a cell: centre, half extent, a count, 4 unused bytes. */
static void Col_ReadBox(bytes_reader_t *r, float *centre, float *half, uint32_t *count)
{
    Bytes_ReadF32s(r, centre, 3);
    Bytes_ReadF32s(r, half, 3);
    Bytes_ReadU32(r, count);
    Bytes_Skip(r, 4);
}

static int Col_ReadCells(bytes_reader_t *r, col_box_t *b)
{
    uint64_t n = b->res;
    if (n > 0 && n * n > Bytes_Left(r) / COL_CELL_BYTES)
        return 0;
    uint64_t ncells = n * n * n;
    if (!Bytes_Has(r, ncells * COL_CELL_BYTES))
        return 0;
    b->cells = (col_cell_t *)calloc((size_t)ncells + 1, sizeof(col_cell_t));
    if (!b->cells)
        return 0;
    for (size_t i = 0; i < ncells; i++)
        Col_ReadBox(r, b->cells[i].centre, b->cells[i].half, &b->cells[i].numtris);
    for (size_t i = 0; i < ncells; i++) {
        col_cell_t *c = &b->cells[i];
        if (!Bytes_Has(r, (uint64_t)c->numtris * COL_TRI_BYTES))
            return 0;
        c->tris = (float *)malloc((size_t)c->numtris * COL_TRI_BYTES + 1);
        if (!c->tris)
            return 0;
        Bytes_ReadF32s(r, c->tris, (size_t)c->numtris * 9);
    }
    return 1;
}

static int Col_Parse(bytes_reader_t *r, colmodel_t *c)
{
    uint32_t numframes;
    if (!Bytes_ReadU32(r, &numframes) || !Bytes_Skip(r, 4))
        return 0;
    if (!Bytes_Has(r, (uint64_t)numframes * COL_BOX_BYTES))
        return 0;
    c->frames = (col_box_t *)calloc((size_t)numframes + 1, sizeof(col_box_t));
    if (!c->frames)
        return 0;
    c->numframes = numframes;
    for (uint32_t f = 0; f < numframes; f++)
        Col_ReadBox(r, c->frames[f].centre, c->frames[f].half, &c->frames[f].res);
    for (uint32_t f = 0; f < numframes; f++)
        if (!Col_ReadCells(r, &c->frames[f]))
            return 0;
    return !r->failed;
}

colmodel_t *Col_ReadFile(const char *filename)
{
    uint32_t len = 0;
    unsigned char *data = FS_LoadFile(filename, &len);
    if (!data)
        return NULL;
    bytes_reader_t r;
    Bytes_InitReader(&r, data, len);
    colmodel_t *c = (colmodel_t *)calloc(1, sizeof(colmodel_t));
    int ok = c && Col_Parse(&r, c);
    FS_FreeFile(data);
    if (!ok) {
        if (c)
            Com_Printf("# Col_ReadFile: %s is broken\n", filename);
        Col_Free(c);
        return NULL;
    }
    Col_SetReach(c);
    return c;
}

/* Every point the segment query can count lies in a frame's box grown by
 * its margin (see Col_SegmentQuery); the reach holds all of them. */
void Col_SetReach(colmodel_t *c)
{
    double reach = 0.0;
    c->reach = 0.0f;
    for (uint32_t f = 0; f < c->numframes; f++) {
        const col_box_t *b = &c->frames[f];
        double cc = 0.0, hh = 0.0;
        for (int k = 0; k < 3; k++) {
            double h = fabs((double)b->half[k]), m = fabs((double)b->centre[k]);
            h = h * 1.001 + m * 1e-4 + 1e-5;
            cc += m * m;
            hh += h * h;
        }
        double r = sqrt(cc) + sqrt(hh);
        if (!isfinite(r) || r > 1e30)
            return;
        if (r > reach)
            reach = r;
    }
    c->reach = (float)(reach * 1.001 + 1e-4);
}

static void Col_WriteBox(bytes_writer_t *w, const float *centre, const float *half, uint32_t count)
{
    Bytes_WriteF32s(w, centre, 3);
    Bytes_WriteF32s(w, half, 3);
    Bytes_WriteU32(w, count);
    Bytes_WriteU32(w, 0);
}

int Col_WriteFile(const char *filename, const colmodel_t *c)
{
    bytes_writer_t w;
    size_t size = 8 + (size_t)c->numframes * COL_BOX_BYTES;
    for (uint32_t f = 0; f < c->numframes; f++) {
        size_t ncells = (size_t)c->frames[f].res * c->frames[f].res * c->frames[f].res;
        for (size_t i = 0; i < ncells; i++)
            size += COL_CELL_BYTES + (size_t)c->frames[f].cells[i].numtris * COL_TRI_BYTES;
    }
    Bytes_InitWriter(&w, size);
    Bytes_WriteU32(&w, c->numframes);
    Bytes_WriteU32(&w, 0);
    for (uint32_t f = 0; f < c->numframes; f++)
        Col_WriteBox(&w, c->frames[f].centre, c->frames[f].half, c->frames[f].res);
    for (uint32_t f = 0; f < c->numframes; f++) {
        const col_box_t *b = &c->frames[f];
        size_t ncells = (size_t)b->res * b->res * b->res;
        for (size_t i = 0; i < ncells; i++)
            Col_WriteBox(&w, b->cells[i].centre, b->cells[i].half, b->cells[i].numtris);
        for (size_t i = 0; i < ncells; i++)
            Bytes_WriteF32s(&w, b->cells[i].tris, (size_t)b->cells[i].numtris * 9);
    }
    int ok = !w.failed && Com_WriteFile(filename, w.data, w.size);
    Bytes_FreeWriter(&w);
    return ok;
}

/* ---- building ----------------------------------------------------------- */

/* Separating-axis test of a triangle against a box (bounds inclusive). */
static int Col_TriBoxSAT(const float *centre, const float *half, const float *tri)
{
    float v[3][3], e[3][3];
    for (int i = 0; i < 3; i++)
        Col_Sub(&tri[i * 3], centre, v[i]);
    for (int i = 0; i < 3; i++)
        Col_Sub(v[(i + 1) % 3], v[i], e[i]);
    float axes[13][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    Col_Cross(e[0], e[1], axes[3]);
    int n = 4;
    for (int a = 0; a < 3; a++)
        for (int k = 0; k < 3; k++) {
            const float unit[3] = {a == 0 ? 1.0f : 0.0f, a == 1 ? 1.0f : 0.0f, a == 2 ? 1.0f : 0.0f};
            Col_Cross(unit, e[k], axes[n++]);
        }
    for (int i = 0; i < n; i++) {
        const float *ax = axes[i];
        float p0 = Col_Dot(v[0], ax), p1 = Col_Dot(v[1], ax), p2 = Col_Dot(v[2], ax);
        float lo = fminf(p0, fminf(p1, p2)), hi = fmaxf(p0, fmaxf(p1, p2));
        float r = half[0] * fabsf(ax[0]) + half[1] * fabsf(ax[1]) + half[2] * fabsf(ax[2]);
        float slack = 1e-5f * (r + fabsf(lo) + fabsf(hi)) + 1e-7f;
        if (lo > r + slack || hi < -r - slack)
            return 0;
    }
    return 1;
}

/* A corner inside the box, or one of the box's twelve edges through the
 * triangle; a triangle can also pass through a box with neither (an edge
 * of it through a face), which the separating-axis test catches. */
static int Col_TriOverlapsBox(const float *centre, const float *half, const float *tri)
{
    float mn[3], mx[3];
    for (int k = 0; k < 3; k++) {
        mn[k] = centre[k] - half[k];
        mx[k] = centre[k] + half[k];
    }
    for (int i = 0; i < 3; i++) {
        const float *p = &tri[i * 3];
        if (p[0] >= mn[0] && p[0] <= mx[0] && p[1] >= mn[1] && p[1] <= mx[1] && p[2] >= mn[2] && p[2] <= mx[2])
            return 1;
    }
    for (int k = 0; k < 3; k++) {
        int a = (k + 1) % 3, b = (k + 2) % 3;
        for (int corner = 0; corner < 4; corner++) {
            float o[3], d[3] = {0, 0, 0}, t;
            o[k] = mn[k];
            d[k] = mx[k] - mn[k];
            o[a] = (corner & 1) ? mx[a] : mn[a];
            o[b] = (corner & 2) ? mx[b] : mn[b];
            if (Col_RayTriangle(o, d, &tri[0], &tri[3], &tri[6], &t) && t >= 0.0f && t <= 1.0f)
                return 1;
        }
    }
    return Col_TriBoxSAT(centre, half, tri);
}

/* Cheap rejection: the triangle's bounds (lo, hi), grown a little for
 * rounding, against the box.  Whatever overlaps the box also meets them. */
static int Col_BoundsMeet(const float *centre, const float *half, const float *lo3, const float *hi3)
{
    for (int k = 0; k < 3; k++) {
        float lo = lo3[k], hi = hi3[k];
        float slack = 1e-4f * (fabsf(half[k]) + fabsf(centre[k]) + (hi - lo)) + 1e-6f;
        if (lo > centre[k] + half[k] + slack || hi < centre[k] - half[k] - slack)
            return 0;
    }
    return 1;
}

static const float *Col_Vertex(const mdl_mesh_t *m, uint32_t frame, uint32_t v)
{
    uint32_t f = frame < m->numframes ? frame : m->numframes - 1;
    return &m->frames[f].verts[(size_t)v * 3];
}

static int Col_MeshUsable(const mdl_mesh_t *m)
{
    if (m->numframes == 0 || !m->frames)
        return 0;
    for (size_t c = 0; c < (size_t)m->numtris * 3; c++)
        if (m->faces[c] >= m->numverts)
            return 0;
    return 1;
}

static void Col_FrameBounds(const mdl_mesh_t *meshes, uint32_t nummeshes, uint32_t frame, col_box_t *b)
{
    float mn[3] = {0, 0, 0}, mx[3] = {0, 0, 0};
    int started = 0;
    if (nummeshes > 0 && meshes[0].numverts > 0 && Col_MeshUsable(&meshes[0])) {
        memcpy(mn, Col_Vertex(&meshes[0], frame, 0), 12);
        memcpy(mx, mn, 12);
        started = 1;
    }
    for (uint32_t i = 0; i < nummeshes; i++) {
        if (!Col_MeshUsable(&meshes[i]))
            continue;
        for (size_t c = 0; c < (size_t)meshes[i].numtris * 3; c++) {
            const float *p = Col_Vertex(&meshes[i], frame, meshes[i].faces[c]);
            if (!started) {
                memcpy(mn, p, 12);
                memcpy(mx, p, 12);
                started = 1;
            }
            for (int k = 0; k < 3; k++) {
                mn[k] = fminf(mn[k], p[k]);
                mx[k] = fmaxf(mx[k], p[k]);
            }
        }
    }
    for (int k = 0; k < 3; k++) {
        b->centre[k] = (mx[k] + mn[k]) / 2;
        b->half[k] = (mx[k] - mn[k]) / 2;
    }
}

static int Col_BuildFrame(const mdl_mesh_t *meshes, uint32_t nummeshes, uint32_t frame, col_box_t *b)
{
    const uint32_t n = COL_GRID;
    Col_FrameBounds(meshes, nummeshes, frame, b);
    b->res = n;
    b->cells = (col_cell_t *)calloc(n * n * n, sizeof(col_cell_t));
    if (!b->cells)
        return 0;
    std::vector<std::vector<float>> lists(n * n * n);
    for (uint32_t c = 0; c < n; c++)
        for (uint32_t bb = 0; bb < n; bb++)
            for (uint32_t a = 0; a < n; a++) {
                col_cell_t *cell = &b->cells[(c * n + bb) * n + a];
                const uint32_t g[3] = {a, bb, c};
                for (int k = 0; k < 3; k++) {
                    cell->half[k] = b->half[k] / n;
                    cell->centre[k] = b->centre[k] - b->half[k] + cell->half[k] * (1 + 2 * g[k]);
                }
            }
    for (uint32_t i = 0; i < nummeshes; i++) {
        const mdl_mesh_t *m = &meshes[i];
        if (!Col_MeshUsable(m))
            continue;
        for (uint32_t t = 0; t < m->numtris; t++) {
            float tri[9], lo[3], hi[3];
            for (int k = 0; k < 3; k++)
                memcpy(&tri[k * 3], Col_Vertex(m, frame, m->faces[t * 3 + k]), 12);
            for (int k = 0; k < 3; k++) {
                lo[k] = fminf(tri[k], fminf(tri[3 + k], tri[6 + k]));
                hi[k] = fmaxf(tri[k], fmaxf(tri[3 + k], tri[6 + k]));
            }
            for (uint32_t ci = 0; ci < n * n * n; ci++)
                if (Col_BoundsMeet(b->cells[ci].centre, b->cells[ci].half, lo, hi) &&
                    Col_TriOverlapsBox(b->cells[ci].centre, b->cells[ci].half, tri))
                    lists[ci].insert(lists[ci].end(), tri, tri + 9);
        }
    }
    for (uint32_t ci = 0; ci < n * n * n; ci++) {
        col_cell_t *cell = &b->cells[ci];
        cell->numtris = (uint32_t)(lists[ci].size() / 9);
        cell->tris = (float *)malloc(lists[ci].size() * sizeof(float) + 1);
        if (!cell->tris)
            return 0;
        if (!lists[ci].empty())
            memcpy(cell->tris, lists[ci].data(), lists[ci].size() * sizeof(float));
    }
    return 1;
}

colmodel_t *Col_Build(const mdl_mesh_t *meshes, uint32_t nummeshes)
{
    colmodel_t *c = (colmodel_t *)calloc(1, sizeof(colmodel_t));
    if (!c)
        return NULL;
    uint32_t numframes = 0;
    for (uint32_t i = 0; i < nummeshes; i++)
        if (meshes[i].numframes > numframes)
            numframes = meshes[i].numframes;
    c->frames = (col_box_t *)calloc((size_t)numframes + 1, sizeof(col_box_t));
    if (!c->frames) {
        free(c);
        return NULL;
    }
    c->numframes = numframes;
    for (uint32_t f = 0; f < numframes; f++)
        if (!Col_BuildFrame(meshes, nummeshes, f, &c->frames[f])) {
            Col_Free(c);
            return NULL;
        }
    Col_SetReach(c);
    return c;
}

/* ---- segment query ------------------------------------------------------ */

typedef struct {
    float o[3], d[3];           /* ray: origin and direction, d[w] > 0 */
    int reversed;
    float best;
    int hit;
} col_ray_t;

static void Col_TestCell(const col_cell_t *cell, col_ray_t *ray)
{
    for (uint32_t i = 0; i < cell->numtris; i++) {
        const float *tri = &cell->tris[(size_t)i * 9];
        float t;
        if (!Col_RayTriangle(ray->o, ray->d, &tri[0], &tri[3], &tri[6], &t) || t < 0.0f || t > 1.0f)
            continue;
        if (ray->reversed ? t > ray->best : t < ray->best) {
            ray->best = t;
            ray->hit = 1;
        }
    }
}

/* The walking axis: the largest movement measured in the box's own
 * proportions, the first one on ties. */
static int Col_WalkAxis(const float *d, const float *h)
{
    float minh = fminf(h[0], fminf(h[1], h[2]));
    int w = 0;
    if (minh > 0.0f) {
        float best = -1.0f;
        for (int k = 0; k < 3; k++) {
            float score = fabsf(d[k]) / (h[k] / minh);
            if (score > best) {
                best = score;
                w = k;
            }
        }
    }
    if (d[w] == 0.0f) /* flat box: fall back to the largest movement */
        for (int k = 0; k < 3; k++)
            if (fabsf(d[k]) > fabsf(d[w]))
                w = k;
    return w;
}

/* Parameter range [lo, hi] of the ray inside the box grown by margin. */
static int Col_ClipToBox(const col_ray_t *ray, const float *mn, const float *mx, const float *margin,
                         float *lo, float *hi)
{
    *lo = 0.0f;
    *hi = 1.0f;
    for (int k = 0; k < 3; k++) {
        float a = mn[k] - margin[k], b = mx[k] + margin[k];
        if (ray->d[k] == 0.0f) {
            if (ray->o[k] < a || ray->o[k] > b)
                return 0;
            continue;
        }
        float t1 = (a - ray->o[k]) / ray->d[k], t2 = (b - ray->o[k]) / ray->d[k];
        *lo = fmaxf(*lo, fminf(t1, t2));
        *hi = fminf(*hi, fmaxf(t1, t2));
    }
    return *lo <= *hi;
}

/* Cell range on axis k covered by the ray between parameters ta and tb. */
static void Col_CellRange(const col_ray_t *ray, int k, float ta, float tb, const float *mn,
                          const float *h, const float *margin, uint32_t n, uint32_t *first, uint32_t *last)
{
    if (h[k] <= 0.0f) {
        *first = 0;
        *last = n - 1;
        return;
    }
    float pa = ray->o[k] + ta * ray->d[k], pb = ray->o[k] + tb * ray->d[k];
    float lo = (fminf(pa, pb) - margin[k] - mn[k]) * n / (2 * h[k]);
    float hi = (fmaxf(pa, pb) + margin[k] - mn[k]) * n / (2 * h[k]);
    /* clamped into the grid; NaN from broken boxes lands on 0 */
    lo = fminf(fmaxf(lo, 0.0f), (float)(n - 1));
    hi = fminf(fmaxf(hi, 0.0f), (float)(n - 1));
    *first = (uint32_t)lo;
    *last = hi < lo ? *first : (uint32_t)hi;
}

/* Walks the slabs of the grid along the walking axis; in each slab every
 * cell the segment passes through is tested (at most two across on each
 * other axis, as the walking axis moves fastest relative to the cells). */
int Col_SegmentQuery(const col_box_t *box, const float s[3], const float e[3], float *frac)
{
    const uint32_t n = box->res;
    if (n == 0 || !box->cells)
        return 0;
    float mn[3], mx[3], margin[3];
    for (int k = 0; k < 3; k++) {
        mn[k] = box->centre[k] - box->half[k];
        mx[k] = box->centre[k] + box->half[k];
        if ((s[k] < mn[k] && e[k] < mn[k]) || (s[k] > mx[k] && e[k] > mx[k]))
            return 0;
        margin[k] = 1e-4f * fabsf(box->half[k]) + 1e-5f * fabsf(box->centre[k]) + 1e-6f;
    }
    col_ray_t ray;
    Col_Sub(e, s, ray.d);
    if (ray.d[0] == 0.0f && ray.d[1] == 0.0f && ray.d[2] == 0.0f)
        return 0;
    const int w = Col_WalkAxis(ray.d, box->half), u = (w + 1) % 3, v = (w + 2) % 3;
    ray.reversed = ray.d[w] < 0.0f;
    for (int k = 0; k < 3; k++) {
        ray.o[k] = ray.reversed ? e[k] : s[k];
        ray.d[k] = ray.reversed ? -ray.d[k] : ray.d[k];
    }
    ray.best = ray.reversed ? 0.0f : 1.0f;
    ray.hit = 0;
    float lo, hi;
    if (!Col_ClipToBox(&ray, mn, mx, margin, &lo, &hi))
        return 0;
    const float width = 2 * box->half[w] / n;
    for (uint32_t step = 0; step < n; step++) {
        /* slabs in the order the walk meets the wanted end: the nearest
         * hit to the start is found early and farther slabs are left out */
        uint32_t j = ray.reversed ? n - 1 - step : step;
        float ta = (mn[w] + j * width - margin[w] - ray.o[w]) / ray.d[w];
        float tb = (mn[w] + (j + 1) * width + margin[w] - ray.o[w]) / ray.d[w];
        ta = fmaxf(ta, lo);
        tb = fminf(tb, hi);
        if (ray.hit && (ray.reversed ? tb < ray.best : ta > ray.best))
            break;
        if (ta > tb)
            continue;
        uint32_t u0, u1, v0, v1;
        Col_CellRange(&ray, u, ta, tb, mn, box->half, margin, n, &u0, &u1);
        Col_CellRange(&ray, v, ta, tb, mn, box->half, margin, n, &v0, &v1);
        for (uint32_t a = u0; a <= u1; a++)
            for (uint32_t b = v0; b <= v1; b++) {
                uint32_t g[3];
                g[w] = j;
                g[u] = a;
                g[v] = b;
                const col_cell_t *cell = &box->cells[((size_t)g[2] * n + g[1]) * n + g[0]];
                float cmn[3], cmx[3], clo, chi;
                for (int k = 0; k < 3; k++) {
                    cmn[k] = mn[k] + g[k] * (2 * box->half[k] / n);
                    cmx[k] = mn[k] + (g[k] + 1) * (2 * box->half[k] / n);
                }
                /* skip the cells of the rectangle the segment misses */
                if (cell->numtris && Col_ClipToBox(&ray, cmn, cmx, margin, &clo, &chi))
                    Col_TestCell(cell, &ray);
            }
    }
    if (ray.hit && frac)
        *frac = ray.reversed ? 1.0f - ray.best : ray.best;
    return ray.hit;
}

/* ---- the pair test ------------------------------------------------------ */

static void Col_Rotate(float *p, int axis, float degrees)
{
    if (degrees == 0.0f)
        return;
    float r = degrees * 3.14159265358979f / 180.0f, c = cosf(r), s = sinf(r);
    int a = (axis + 1) % 3, b = (axis + 2) % 3; /* z: x, y; y: z, x; x: y, z */
    float pa = p[a], pb = p[b];
    p[a] = pa * c - pb * s;
    p[b] = pa * s + pb * c;
}

/* Into the target's model space: the inverse of the drawing transform. */
static int Col_ToModelSpace(const entity_t *t, const float *in, float *out)
{
    float scale = t->u.mdl.scale;
    if (scale == 0.0f)
        return 0;
    for (int k = 0; k < 3; k++)
        out[k] = (in[k] - t->origin[k]) / scale;
    Col_Rotate(out, 2, -t->angles[2]);
    Col_Rotate(out, 1, -t->angles[1]);
    Col_Rotate(out, 0, -t->angles[0]);
    return 1;
}

static int Col_Swept(entity_t *p, entity_t *t)
{
    const model_t *m = t->u.mdl.model;
    if (!m || !m->collision || m->collision->numframes == 0)
        return 0;
    /* The projectile's previous position is compared with the target's
     * origin, not with its own current one: a projectile that was exactly
     * at the target's origin a frame ago misses it.  Kept because the game
     * has always played this way. */
    if (p->oldorigin[0] == t->origin[0] && p->oldorigin[1] == t->origin[1] && p->oldorigin[2] == t->origin[2])
        return 0;
    float fr = floorf(t->u.mdl.frame);
    uint32_t last = m->collision->numframes - 1;
    uint32_t frame = !(fr > 0.0f) ? 0 : fr >= (float)last ? last : (uint32_t)fr;
    float s[3], e[3], f;
    if (!Col_ToModelSpace(t, p->oldorigin, s) || !Col_ToModelSpace(t, p->origin, e))
        return 0;
    return Col_SegmentQuery(&m->collision->frames[frame], s, e, &f);
}

int Col_Collide(entity_t *a, entity_t *b)
{
    int sa = a->u.mdl.collmode == CM_SWEPT, sb = b->u.mdl.collmode == CM_SWEPT;
    if (sa && sb)
        return 0;
    if (!sa && !sb)
        return Col_SphereMeets(a->origin, a->u.mdl.radius * a->u.mdl.scale, b);
    return sa ? Col_Swept(a, b) : Col_Swept(b, a);
}
