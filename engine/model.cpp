/*
 * model.cpp -- model files (".dmo") and the model cache.  The reader takes
 * a whole file through the file layer and checks every count against the
 * bytes that are really there and every index against its array; the
 * writer produces the record layout byte for byte.  The cache shares
 * loaded models by name with reference counts, attaches the collision data
 * and the textures of the material maps ("notex" stands in for missing
 * ones).  The converter's weld step lives here too.
 */
#include "model.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "bytes.h"
#include "collision.h"
#include "common.h"
#include "fs.h"
#include "hitch.h"
#include "preload.h"

typedef struct {
    char name[MAX_OSPATH];
    model_t *model;
    int refcount;
} mdl_cacheentry_t;

static mdl_cacheentry_t mdl_cache[MDL_CACHE_SIZE];
static int mdl_numcache;

/* ---- reading ------------------------------------------------------------ */

static void MDL_ReadName(bytes_reader_t *r, char *name)
{
    Bytes_ReadData(r, name, MDL_NAMELEN);
    name[MDL_NAMELEN - 1] = 0;
}

static void MDL_ReadMap(bytes_reader_t *r, mdl_map_t *m)
{
    Bytes_ReadI32(r, &m->present);
    MDL_ReadName(r, m->name);
    Bytes_ReadF32(r, &m->amount);
    Bytes_ReadF32(r, &m->uoffset);
    Bytes_ReadF32(r, &m->voffset);
    Bytes_ReadF32(r, &m->utiling);
    Bytes_ReadF32(r, &m->vtiling);
    Bytes_ReadF32(r, &m->angle);
    Bytes_Skip(r, 4); /* texture address */
    m->tex = NULL;
}

static void MDL_ReadMaterial(bytes_reader_t *r, mdl_material_t *m)
{
    Bytes_ReadF32s(r, m->ambient, 3);
    Bytes_ReadF32s(r, m->diffuse, 3);
    Bytes_ReadF32s(r, m->specular, 3);
    Bytes_ReadF32(r, &m->transparency);
    MDL_ReadMap(r, &m->diffusemap);
    MDL_ReadMap(r, &m->bumpmap);
    MDL_ReadMap(r, &m->reflectmap);
    Bytes_Skip(r, 4);
}

static int MDL_ReadIndices(bytes_reader_t *r, uint32_t *out, size_t n, uint32_t limit)
{
    for (size_t i = 0; i < n; i++)
        if (!Bytes_ReadU32(r, &out[i]) || out[i] >= limit)
            return 0;
    return 1;
}

static int MDL_ReadFrame(bytes_reader_t *r, mdl_mesh_t *mesh, mdl_frame_t *fr)
{
    if (!Bytes_Has(r, MDL_FRAMEHEADER_BYTES + (uint64_t)mesh->numverts * 12))
        return 0;
    uint32_t hasnormals;
    Bytes_ReadI32(r, &fr->time);
    Bytes_Skip(r, 4);
    Bytes_ReadU32(r, &hasnormals);
    fr->verts = (float *)malloc((size_t)mesh->numverts * 12 + 1);
    if (!fr->verts)
        return 0;
    Bytes_ReadF32s(r, fr->verts, (size_t)mesh->numverts * 3);
    if (!hasnormals)
        return 1;
    if (!Bytes_Has(r, (uint64_t)mesh->numtris * 36))
        return 0;
    fr->normals = (float *)malloc((size_t)mesh->numtris * 36 + 1);
    if (!fr->normals)
        return 0;
    return Bytes_ReadF32s(r, fr->normals, (size_t)mesh->numtris * 9);
}

static int MDL_ReadMesh(bytes_reader_t *r, mdl_mesh_t *mesh)
{
    if (!Bytes_Has(r, MDL_MESHHEADER_BYTES))
        return 0;
    uint32_t numframes;
    MDL_ReadName(r, mesh->name);
    Bytes_ReadU32(r, &numframes);
    Bytes_Skip(r, 4);
    Bytes_ReadU32(r, &mesh->numtris);
    Bytes_Skip(r, 8);
    Bytes_ReadU32(r, &mesh->numverts);
    Bytes_ReadU32(r, &mesh->numtverts);
    Bytes_Skip(r, 4);
    Bytes_ReadI32(r, &mesh->material);
    Bytes_Skip(r, 4);
    /* every frame needs at least its record and vertices */
    if (numframes == 0 || !Bytes_Has(r, (uint64_t)numframes * (MDL_FRAMEHEADER_BYTES + (uint64_t)mesh->numverts * 12)))
        return 0;
    mesh->frames = (mdl_frame_t *)calloc(numframes, sizeof(mdl_frame_t));
    if (!mesh->frames)
        return 0;
    for (; mesh->numframes < numframes; mesh->numframes++)
        if (!MDL_ReadFrame(r, mesh, &mesh->frames[mesh->numframes])) {
            mesh->numframes++; /* so the partly read frame is freed */
            return 0;
        }
    uint64_t texbytes = mesh->numtverts ? (uint64_t)mesh->numtris * 12 + (uint64_t)mesh->numtverts * 8 : 0;
    if (!Bytes_Has(r, (uint64_t)mesh->numtris * 12 + texbytes))
        return 0;
    mesh->faces = (uint32_t *)malloc((size_t)mesh->numtris * 12 + 1);
    if (!mesh->faces || !MDL_ReadIndices(r, mesh->faces, (size_t)mesh->numtris * 3, mesh->numverts))
        return 0;
    if (!mesh->numtverts)
        return 1;
    mesh->tfaces = (uint32_t *)malloc((size_t)mesh->numtris * 12 + 1);
    mesh->tverts = (float *)malloc((size_t)mesh->numtverts * 8);
    if (!mesh->tfaces || !mesh->tverts ||
        !MDL_ReadIndices(r, mesh->tfaces, (size_t)mesh->numtris * 3, mesh->numtverts))
        return 0;
    return Bytes_ReadF32s(r, mesh->tverts, (size_t)mesh->numtverts * 2);
}

static void MDL_TransformUV(model_t *m)
{
    for (uint32_t i = 0; i < m->nummeshes; i++) {
        mdl_mesh_t *mesh = &m->meshes[i];
        if (mesh->material < 0 || (uint32_t)mesh->material >= m->nummaterials)
            continue;
        const mdl_map_t *map = &m->materials[mesh->material].diffusemap;
        if (!map->present)
            continue;
        for (uint32_t k = 0; k < mesh->numtverts; k++) {
            float *uv = &mesh->tverts[k * 2];
            uv[0] = (uv[0] + map->uoffset) * map->utiling;
            uv[1] = (uv[1] + map->voffset) * map->vtiling;
        }
    }
}

void Model_FreeMesh(mdl_mesh_t *mesh)
{
    if (mesh->frames) {
        for (uint32_t f = 0; f < mesh->numframes; f++) {
            free(mesh->frames[f].verts);
            free(mesh->frames[f].normals);
        }
    }
    free(mesh->frames);
    free(mesh->faces);
    free(mesh->tfaces);
    free(mesh->tverts);
    free(mesh->magfaces);
    mesh->frames = NULL;
    mesh->magfaces = mesh->restfaces = NULL;
    mesh->nummag = mesh->numrest = 0;
    mesh->faces = mesh->tfaces = NULL;
    mesh->tverts = NULL;
    mesh->numframes = 0;
}

void Model_FreeArrays(model_t *m)
{
    if (m->meshes)
        for (uint32_t i = 0; i < m->nummeshes; i++)
            Model_FreeMesh(&m->meshes[i]);
    free(m->meshes);
    free(m->materials);
    m->meshes = NULL;
    m->materials = NULL;
    m->nummeshes = m->nummaterials = 0;
}

static int MDL_Parse(bytes_reader_t *r, model_t *m)
{
    uint32_t nummat, nummesh;
    if (!Bytes_ReadU32(r, &nummat) || !Bytes_ReadU32(r, &nummesh))
        return 0;
    if (!Bytes_Has(r, (uint64_t)nummat * MDL_MATERIAL_BYTES + (uint64_t)nummesh * MDL_MESHHEADER_BYTES))
        return 0;
    m->materials = (mdl_material_t *)calloc((size_t)nummat + 1, sizeof(mdl_material_t));
    m->meshes = (mdl_mesh_t *)calloc((size_t)nummesh + 1, sizeof(mdl_mesh_t));
    if (!m->materials || !m->meshes)
        return 0;
    for (m->nummaterials = 0; m->nummaterials < nummat; m->nummaterials++)
        MDL_ReadMaterial(r, &m->materials[m->nummaterials]);
    m->maxframes = 1;
    for (m->nummeshes = 0; m->nummeshes < nummesh;) {
        mdl_mesh_t *mesh = &m->meshes[m->nummeshes++];
        if (!MDL_ReadMesh(r, mesh))
            return 0;
        if (mesh->numframes > m->maxframes)
            m->maxframes = mesh->numframes;
    }
    return !r->failed;
}

/* The bounding radius about the origin, for culling what is out of view:
 * an interpolated position lies between two frames' positions, so the
 * frames themselves bound it.  Left 0 when a value is not finite. */
static void MDL_SetRadius(model_t *m)
{
    double r2 = 0.0;
    m->cullradius = 0.0f;
    for (uint32_t i = 0; i < m->nummeshes; i++) {
        const mdl_mesh_t *mesh = &m->meshes[i];
        for (uint32_t f = 0; mesh->frames && f < mesh->numframes; f++) {
            const float *v = mesh->frames[f].verts;
            for (uint32_t k = 0; v && k < mesh->numverts; k++, v += 3) {
                double d = (double)v[0] * v[0] + (double)v[1] * v[1] + (double)v[2] * v[2];
                if (!(d < 1e60))
                    return;
                if (d > r2)
                    r2 = d;
            }
        }
    }
    m->cullradius = (float)(sqrt(r2) * 1.0001 + 1e-4);
}

int Model_ReadFile(const char *filename, int uvtransform, model_t *m)
{
    uint32_t len = 0;
    unsigned char *data = Pre_TakeFile(filename, &len);
    if (!data)
        data = FS_LoadFile(filename, &len);
    if (!data)
        return 0;
    bytes_reader_t r;
    Bytes_InitReader(&r, data, len);
    m->materials = NULL;
    m->meshes = NULL;
    m->nummaterials = m->nummeshes = 0;
    int ok = MDL_Parse(&r, m);
    FS_FreeFile(data);
    if (!ok) {
        Model_FreeArrays(m);
        return 0;
    }
    if (uvtransform)
        MDL_TransformUV(m);
    MDL_SetRadius(m);
    return 1;
}

/* ---- writing ------------------------------------------------------------ */

static void MDL_PutName(bytes_writer_t *w, const char *name)
{
    char b[MDL_NAMELEN] = {0};
    Com_Strncpy(b, name, sizeof(b));
    Bytes_WriteData(w, b, MDL_NAMELEN);
}

static void MDL_WriteMap(bytes_writer_t *w, const mdl_map_t *m)
{
    Bytes_WriteI32(w, m->present);
    MDL_PutName(w, m->name);
    const float f[6] = {m->amount, m->uoffset, m->voffset, m->utiling, m->vtiling, m->angle};
    Bytes_WriteF32s(w, f, 6);
    Bytes_WriteU32(w, 0);
}

static void MDL_WriteMaterial(bytes_writer_t *w, const mdl_material_t *m)
{
    Bytes_WriteF32s(w, m->ambient, 3);
    Bytes_WriteF32s(w, m->diffuse, 3);
    Bytes_WriteF32s(w, m->specular, 3);
    Bytes_WriteF32(w, m->transparency);
    MDL_WriteMap(w, &m->diffusemap);
    MDL_WriteMap(w, &m->bumpmap);
    MDL_WriteMap(w, &m->reflectmap);
    Bytes_WriteU32(w, 0);
}

static void MDL_WriteIndices(bytes_writer_t *w, const uint32_t *v, size_t n)
{
    for (size_t i = 0; i < n; i++)
        Bytes_WriteU32(w, v[i]);
}

static void MDL_WriteMesh(bytes_writer_t *w, const mdl_mesh_t *mesh)
{
    MDL_PutName(w, mesh->name);
    Bytes_WriteU32(w, mesh->numframes);
    Bytes_WriteU32(w, 0);
    Bytes_WriteU32(w, mesh->numtris);
    Bytes_WriteZeros(w, 8);
    Bytes_WriteU32(w, mesh->numverts);
    Bytes_WriteU32(w, mesh->numtverts);
    Bytes_WriteU32(w, 0);
    Bytes_WriteI32(w, mesh->material);
    Bytes_WriteU32(w, 0);
    for (uint32_t f = 0; f < mesh->numframes; f++) {
        const mdl_frame_t *fr = &mesh->frames[f];
        Bytes_WriteI32(w, fr->time);
        Bytes_WriteU32(w, 0);
        Bytes_WriteU32(w, fr->normals ? 1 : 0);
        Bytes_WriteF32s(w, fr->verts, (size_t)mesh->numverts * 3);
        if (fr->normals)
            Bytes_WriteF32s(w, fr->normals, (size_t)mesh->numtris * 9);
    }
    MDL_WriteIndices(w, mesh->faces, (size_t)mesh->numtris * 3);
    if (!mesh->numtverts)
        return;
    MDL_WriteIndices(w, mesh->tfaces, (size_t)mesh->numtris * 3);
    Bytes_WriteF32s(w, mesh->tverts, (size_t)mesh->numtverts * 2);
}

int Model_WriteFile(const char *filename, const mdl_material_t *materials, uint32_t nummaterials,
                    const mdl_mesh_t *meshes, uint32_t nummeshes)
{
    bytes_writer_t w;
    size_t size = 8 + (size_t)nummaterials * MDL_MATERIAL_BYTES;
    for (uint32_t i = 0; i < nummeshes; i++) {
        const mdl_mesh_t *m = &meshes[i];
        size += MDL_MESHHEADER_BYTES + (size_t)m->numtris * 24 + (size_t)m->numtverts * 8 +
                (size_t)m->numframes * (MDL_FRAMEHEADER_BYTES + (size_t)m->numverts * 12 + (size_t)m->numtris * 36);
    }
    Bytes_InitWriter(&w, size);
    Bytes_WriteU32(&w, nummaterials);
    Bytes_WriteU32(&w, nummeshes);
    for (uint32_t i = 0; i < nummaterials; i++)
        MDL_WriteMaterial(&w, &materials[i]);
    for (uint32_t i = 0; i < nummeshes; i++)
        MDL_WriteMesh(&w, &meshes[i]);
    int ok = !w.failed && Com_WriteFile(filename, w.data, w.size);
    Bytes_FreeWriter(&w);
    return ok;
}

/* ---- the cache ---------------------------------------------------------- */

static texture_t *MDL_MapTexture(const mdl_map_t *map)
{
    char path[MAX_OSPATH * 2];
    if (!map->present)
        return NULL;
    snprintf(path, sizeof(path), "%s%s", com_datadir, map->name);
    texture_t *t = Tex_Get(path, 1);
    if (t)
        return t;
    Com_Printf("model: (warning) texture %s not found\n", path);
    snprintf(path, sizeof(path), "%snotex", com_datadir);
    return Tex_Get(path, 1);
}

/* Gives a textured mesh one texture coordinate per vertex, so that the
 * face list can index both arrays when drawing. */
static int MDL_CoverVertices(mdl_mesh_t *mesh)
{
    if (!mesh->numtverts || mesh->numtverts >= mesh->numverts)
        return 1;
    float *tv = (float *)calloc((size_t)mesh->numverts, 8);
    if (!tv)
        return 0;
    memcpy(tv, mesh->tverts, (size_t)mesh->numtverts * 8);
    free(mesh->tverts);
    mesh->tverts = tv;
    mesh->numtverts = mesh->numverts;
    return 1;
}

/* The radius of the collision sphere that fits the model: the mean half
 * extent of the box around its first frame's vertices (what is not finite
 * is left out).  Long or flat models get a sphere between their smallest
 * and largest extent. */
static float MDL_FitRadius(const model_t *m)
{
    float mn[3] = {0, 0, 0}, mx[3] = {0, 0, 0};
    int any = 0;
    for (uint32_t i = 0; i < m->nummeshes; i++) {
        const mdl_mesh_t *mesh = &m->meshes[i];
        if (!mesh->frames || mesh->numframes == 0 || !mesh->frames[0].verts)
            continue;
        for (uint32_t v = 0; v < mesh->numverts; v++) {
            const float *p = &mesh->frames[0].verts[v * 3];
            if (!isfinite(p[0]) || !isfinite(p[1]) || !isfinite(p[2]))
                continue;
            for (int k = 0; k < 3; k++) {
                mn[k] = any && mn[k] < p[k] ? mn[k] : p[k];
                mx[k] = any && mx[k] > p[k] ? mx[k] : p[k];
            }
            any = 1;
        }
    }
    float r = ((mx[0] - mn[0]) + (mx[1] - mn[1]) + (mx[2] - mn[2])) / 6.0f;
    return isfinite(r) ? r : 0.0f;
}

static model_t *MDL_Load(const char *path)
{
    std::string base(path);
    model_t *m = (model_t *)calloc(1, sizeof(model_t));
    if (!m)
        return NULL;
    Hitch_Note(HN_MODEL, path);
    Com_Strncpy(m->name, path, sizeof(m->name));
    if (!Model_ReadFile((base + ".dmo").c_str(), 1, m)) {
        Com_Printf("# Model_Get: can't read %s.dmo\n", path);
        free(m);
        return NULL;
    }
    for (uint32_t i = 0; i < m->nummeshes; i++)
        if (!MDL_CoverVertices(&m->meshes[i])) {
            Model_FreeArrays(m);
            free(m);
            return NULL;
        }
    m->radius = MDL_FitRadius(m);
    m->collision = Pre_TakeCollision((base + ".dbb").c_str());
    if (!m->collision)
        m->collision = Col_ReadFile((base + ".dbb").c_str());
    m->hascollision = m->collision != NULL;
    if (!m->collision)
        Com_Printf("model: (warning) no collision data for %s\n", path);
    for (uint32_t i = 0; i < m->nummaterials; i++) {
        m->materials[i].diffusemap.tex = MDL_MapTexture(&m->materials[i].diffusemap);
        m->materials[i].reflectmap.tex = MDL_MapTexture(&m->materials[i].reflectmap);
    }
    for (uint32_t i = 0; i < m->nummeshes; i++) {
        mdl_mesh_t *mesh = &m->meshes[i];
        if (mesh->material >= 0 && (uint32_t)mesh->material < m->nummaterials)
            mesh->diffuse = m->materials[mesh->material].diffusemap.tex;
    }
    return m;
}

model_t *Model_Get(const char *path)
{
    if (!path || strlen(path) >= MAX_OSPATH)
        return NULL;
    for (int i = 0; i < mdl_numcache; i++) {
        if (strcmp(mdl_cache[i].name, path) == 0) {
            mdl_cache[i].refcount++;
            return mdl_cache[i].model;
        }
    }
    if (mdl_numcache >= MDL_CACHE_SIZE)
        return NULL;
    model_t *m = MDL_Load(path);
    if (!m)
        return NULL;
    mdl_cacheentry_t *e = &mdl_cache[mdl_numcache++];
    Com_Strncpy(e->name, path, sizeof(e->name));
    e->model = m;
    e->refcount = 1;
    return m;
}

void Model_Release(model_t *m)
{
    int i;
    for (i = 0; i < mdl_numcache; i++)
        if (mdl_cache[i].model == m)
            break;
    if (!m || i == mdl_numcache)
        return;
    if (--mdl_cache[i].refcount > 0)
        return;
    mdl_cache[i] = mdl_cache[--mdl_numcache];
    Hitch_Note(HN_FREE, m->name);
    for (uint32_t k = 0; k < m->nummaterials; k++) {
        if (m->materials[k].diffusemap.tex)
            Tex_Release(m->materials[k].diffusemap.tex);
        if (m->materials[k].reflectmap.tex)
            Tex_Release(m->materials[k].reflectmap.tex);
    }
    Col_Free(m->collision);
    Model_FreeArrays(m);
    free(m);
}

int Model_CacheCount(void)
{
    return mdl_numcache;
}

/* ---- welding ------------------------------------------------------------ */

typedef struct {
    uint32_t v, t;              /* vertex and texture vertex of the first corner */
} mdl_pair_t;

static int MDL_IndicesValid(const mdl_mesh_t *mesh)
{
    if (!mesh->faces || !mesh->tfaces || !mesh->tverts || !mesh->frames || mesh->numframes == 0)
        return 0;
    for (size_t c = 0; c < (size_t)mesh->numtris * 3; c++)
        if (mesh->faces[c] >= mesh->numverts || mesh->tfaces[c] >= mesh->numtverts)
            return 0;
    return 1;
}

/* Exact equality of texture coordinates and of the position in every frame. */
static int MDL_SameCorner(const mdl_mesh_t *mesh, mdl_pair_t p, uint32_t v, uint32_t t)
{
    const float *a = &mesh->tverts[(size_t)p.t * 2], *b = &mesh->tverts[(size_t)t * 2];
    if (a[0] != b[0] || a[1] != b[1])
        return 0;
    for (uint32_t f = 0; f < mesh->numframes; f++) {
        a = &mesh->frames[f].verts[(size_t)p.v * 3];
        b = &mesh->frames[f].verts[(size_t)v * 3];
        if (a[0] != b[0] || a[1] != b[1] || a[2] != b[2])
            return 0;
    }
    return 1;
}

/* Rebuilds the vertex and texture vertex arrays, one entry per pair. */
static int MDL_ApplyPairs(mdl_mesh_t *mesh, const std::vector<mdl_pair_t> &pairs)
{
    size_t n = pairs.size();
    std::vector<float *> verts(mesh->numframes, nullptr);
    float *tv = (float *)malloc(n * 8 + 1);
    int ok = tv != NULL;
    for (uint32_t f = 0; ok && f < mesh->numframes; f++)
        ok = (verts[f] = (float *)malloc(n * 12 + 1)) != NULL;
    if (!ok) {
        free(tv);
        for (float *p : verts)
            free(p);
        return 0;
    }
    for (size_t i = 0; i < n; i++) {
        memcpy(&tv[i * 2], &mesh->tverts[(size_t)pairs[i].t * 2], 8);
        for (uint32_t f = 0; f < mesh->numframes; f++)
            memcpy(&verts[f][i * 3], &mesh->frames[f].verts[(size_t)pairs[i].v * 3], 12);
    }
    for (uint32_t f = 0; f < mesh->numframes; f++) {
        free(mesh->frames[f].verts);
        mesh->frames[f].verts = verts[f];
    }
    free(mesh->tverts);
    mesh->tverts = tv;
    mesh->numverts = mesh->numtverts = (uint32_t)n;
    return 1;
}

int Model_WeldMeshLinear(mdl_mesh_t *mesh)
{
    if (!mesh->numtverts)
        return 1;
    if (!MDL_IndicesValid(mesh))
        return 0;
    std::vector<mdl_pair_t> pairs;
    std::vector<uint32_t> index((size_t)mesh->numtris * 3);
    for (size_t c = 0; c < index.size(); c++) {
        uint32_t v = mesh->faces[c], t = mesh->tfaces[c];
        size_t j = 0;
        while (j < pairs.size() && !MDL_SameCorner(mesh, pairs[j], v, t))
            j++;
        if (j == pairs.size())
            pairs.push_back(mdl_pair_t{v, t});
        index[c] = (uint32_t)j;
    }
    if (!MDL_ApplyPairs(mesh, pairs))
        return 0;
    for (size_t c = 0; c < index.size(); c++)
        mesh->faces[c] = mesh->tfaces[c] = index[c];
    return 1;
}

static uint64_t MDL_HashFloat(uint64_t h, float f, int *nan)
{
    uint32_t u;
    if (f != f)
        *nan = 1;
    if (f == 0.0f)
        f = 0.0f; /* -0 and +0 are equal, so they hash alike */
    memcpy(&u, &f, 4);
    h ^= u;
    h *= 0x100000001b3ULL;
    return h ^ (h >> 29);
}

/* Hash of everything MDL_SameCorner compares; *nan set when a value can
 * never compare equal. */
static uint64_t MDL_HashCorner(const mdl_mesh_t *mesh, uint32_t v, uint32_t t, int *nan)
{
    uint64_t h = 0xcbf29ce484222325ULL;
    *nan = 0;
    h = MDL_HashFloat(h, mesh->tverts[(size_t)t * 2], nan);
    h = MDL_HashFloat(h, mesh->tverts[(size_t)t * 2 + 1], nan);
    for (uint32_t f = 0; f < mesh->numframes; f++)
        for (int k = 0; k < 3; k++)
            h = MDL_HashFloat(h, mesh->frames[f].verts[(size_t)v * 3 + k], nan);
    return h;
}

/* Same result as the linear first-match search: equal corners form one
 * class with exactly one pair, the one appended first, so a table from
 * corner value to pair finds the first match directly. */
int Model_WeldMesh(mdl_mesh_t *mesh)
{
    if (!mesh->numtverts)
        return 1;
    if (!MDL_IndicesValid(mesh))
        return 0;
    size_t corners = (size_t)mesh->numtris * 3, cap = 16;
    while (cap < corners * 2)
        cap *= 2;
    std::vector<uint32_t> table(cap, 0); /* pair index + 1, 0 empty */
    std::vector<mdl_pair_t> pairs;
    std::vector<uint32_t> index(corners);
    for (size_t c = 0; c < corners; c++) {
        uint32_t v = mesh->faces[c], t = mesh->tfaces[c];
        int nan;
        size_t slot = (size_t)MDL_HashCorner(mesh, v, t, &nan) & (cap - 1);
        while (!nan && table[slot] && !MDL_SameCorner(mesh, pairs[table[slot] - 1], v, t))
            slot = (slot + 1) & (cap - 1);
        if (!nan && table[slot]) {
            index[c] = table[slot] - 1;
            continue;
        }
        pairs.push_back(mdl_pair_t{v, t});
        index[c] = (uint32_t)(pairs.size() - 1);
        if (!nan)
            table[slot] = (uint32_t)pairs.size();
    }
    if (!MDL_ApplyPairs(mesh, pairs))
        return 0;
    for (size_t c = 0; c < corners; c++)
        mesh->faces[c] = mesh->tfaces[c] = index[c];
    return 1;
}
