/*
 * model.h -- models: materials with three texture maps, triangle meshes
 * with one or more frames of vertex positions, optional collision data.
 * Holds the records read from and written to model files (".dmo"), the
 * reference-counted model cache, and the converter's weld step.
 */
#ifndef MODEL_H
#define MODEL_H

#include <stddef.h>
#include <stdint.h>

#if __has_include("texture.h")
#include "texture.h"
#else
struct texture_s;
typedef struct texture_s texture_t;
texture_t *Tex_Get(const char *path, int upload);
void Tex_Release(texture_t *t);
#endif

#define MDL_NAMELEN 128
#define MDL_CACHE_SIZE 1024

/* On-disk record sizes. */
#define MDL_MAP_BYTES 160
#define MDL_MATERIAL_BYTES 524
#define MDL_MESHHEADER_BYTES 168
#define MDL_FRAMEHEADER_BYTES 12

typedef struct {
    int32_t present;            /* 1: a bitmap map */
    char name[MDL_NAMELEN];     /* bitmap base name, no directory or extension */
    float amount;
    float uoffset, voffset;
    float utiling, vtiling;
    float angle;
    texture_t *tex;             /* loaded texture, or NULL */
} mdl_map_t;

typedef struct {
    float ambient[3];
    float diffuse[3];
    float specular[3];
    float transparency;
    mdl_map_t diffusemap;
    mdl_map_t bumpmap;
    mdl_map_t reflectmap;
} mdl_material_t;

typedef struct {
    int32_t time;               /* time value of the scene, unused by the engine */
    float *verts;               /* numverts * 3 floats (x, y, z) */
    float *normals;             /* numtris * 9 floats (one per corner), or NULL */
} mdl_frame_t;

typedef struct {
    char name[MDL_NAMELEN];
    uint32_t numframes;         /* 1 or more */
    mdl_frame_t *frames;
    uint32_t numtris;
    uint32_t *faces;            /* numtris * 3 vertex indices */
    uint32_t *tfaces;           /* numtris * 3 texture vertex indices, NULL when numtverts is 0 */
    uint32_t numverts;
    uint32_t numtverts;         /* 0: no texture coordinates */
    float *tverts;              /* numtverts * 2 floats (u, v), or NULL */
    int32_t material;           /* index into the model's materials */
    texture_t *diffuse;         /* the material's diffuse texture (set by the
                                   cache); NULL when none or the index is bad */
    /* drawing's split of the faces, seen from the model origin: those the
       window always shows magnified, and the rest (NULL until made) */
    uint32_t *magfaces, *restfaces;
    uint32_t nummag, numrest;
} mdl_mesh_t;

struct colmodel_s;

typedef struct model_s {
    char name[MDL_NAMELEN];     /* data directory + spawn name */
    uint32_t nummaterials;
    mdl_material_t *materials;
    uint32_t nummeshes;
    mdl_mesh_t *meshes;
    uint32_t maxframes;         /* the largest mesh frame count (at least 1) */
    float radius;               /* collision sphere that fits the first frame */
    float cullradius;           /* farthest vertex from the origin in any frame;
                                   0 when not known (nothing is culled then) */
    int hascollision;
    struct colmodel_s *collision; /* NULL without a collision file */
} model_t;

/* The cache.  path is without extension: path + ".dmo" and path + ".dbb"
 * are read.  NULL when the model file is missing or broken or the cache is
 * full. */
model_t *Model_Get(const char *path);
void Model_Release(model_t *m);
int Model_CacheCount(void);      /* live cache entries (tests) */

/* Reads a model file (full file name).  Fills the arrays of *m (name and
 * collision untouched); 0 on failure, with nothing left allocated. */
int Model_ReadFile(const char *filename, int uvtransform, model_t *m);
/* Writes exactly the on-disk layout; 1 on success. */
int Model_WriteFile(const char *filename, const mdl_material_t *materials, uint32_t nummaterials,
                    const mdl_mesh_t *meshes, uint32_t nummeshes);

/* Frees the arrays of a mesh / of the whole record (textures untouched). */
void Model_FreeMesh(mdl_mesh_t *mesh);
void Model_FreeArrays(model_t *m);

/* Makes vertex i and texture vertex i belong together (one index list for
 * both); no-op for meshes without texture coordinates.  0 when out of
 * memory or an index is out of range. */
int Model_WeldMesh(mdl_mesh_t *mesh);
/* The same result by a linear first-match search (reference for tests). */
int Model_WeldMeshLinear(mdl_mesh_t *mesh);

#endif
