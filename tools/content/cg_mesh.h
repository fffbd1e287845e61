/*
 * cg_mesh.h -- the model builder of the content generator: meshes made of
 * transformed primitives (lathe shapes, spheres, boxes, quads), materials
 * that name a texture, multi-frame meshes assembled from one build per
 * animation frame, and the writer of the scene text that the engine's
 * converter turns into model and collision files.
 *
 * Coordinates are the engine's: y up, a model's nose towards +z.
 */
#ifndef CG_MESH_H
#define CG_MESH_H

#include "cg_common.h"

#include <deque>

/* An affine transform: p' = o + x * p.x + y * p.y + z * p.z. */
typedef struct {
    cg_vec3_t x, y, z, o;
} cg_xf_t;

cg_xf_t XF_Identity(void);
cg_xf_t XF_Mul(cg_xf_t a, cg_xf_t b);          /* a after b */
cg_xf_t XF_T(float x, float y, float z);        /* translation */
cg_xf_t XF_S(float x, float y, float z);        /* scale */
cg_xf_t XF_RX(float deg);
cg_xf_t XF_RY(float deg);
cg_xf_t XF_RZ(float deg);
/* Convenience: translate * rotZ * rotY * rotX * scale. */
cg_xf_t XF_TRS(cg_vec3_t t, float rx, float ry, float rz, cg_vec3_t s);
cg_vec3_t XF_Apply(cg_xf_t a, cg_vec3_t p);

typedef struct {
    int a, b, c;
} cg_tri_t;

/* UV modes of a mesh: explicit coordinates from the primitives, or lit
 * coordinates derived from the surface normal (the material's texture is
 * then a shading map over all normal directions). */
enum { CG_UV_EXPLICIT = 0, CG_UV_NORMAL = 1 };

typedef struct {
    std::string name;
    int material;
    int uvmode;
    std::vector<std::vector<cg_vec3_t>> frames;
    std::vector<cg_vec3_t> normals;   /* frame 0 */
    std::vector<float> u, v;
    std::vector<cg_tri_t> tris;
} cg_mesh_t;

typedef struct {
    std::string tex;     /* texture base name */
} cg_mat_t;

typedef struct {
    std::vector<cg_mat_t> mats;
    std::deque<cg_mesh_t> meshes;   /* deque: mesh pointers stay valid */
} cg_model_t;

/* Returns the mesh of that name, creating it (with the material of the
 * given texture, added when new) on first use. */
cg_mesh_t *CG_Mesh(cg_model_t *m, const char *name, const char *tex, int uvmode);

/* Lathe: a profile of (radius, height) points revolved about the local y
 * axis in `slices` steps; rings of radius 0 close the shape.  v runs from
 * 0 (first profile point) to 1 (last), u once around.  `inward` turns the
 * faces to the inside (sky domes). */
void CG_Lathe(cg_mesh_t *me, cg_xf_t xf, const float *r, const float *y, int n, int slices,
              float utile, int inward);
/* Unit sphere (radius 1 about the origin) through xf. */
void CG_Sphere(cg_mesh_t *me, cg_xf_t xf, int slices, int stacks);
/* Unit cube [-1, 1]^3 through xf, each face mapped 0..1. */
void CG_Box(cg_mesh_t *me, cg_xf_t xf);
/* Unit square [-1, 1]^2 in the local xy plane facing +z; `twosided` adds
 * the back face. */
void CG_Quad(cg_mesh_t *me, cg_xf_t xf, int twosided);
/* Cylinder of radius r0 at y = 0 to radius r1 at y = h, closed. */
void CG_Tube(cg_mesh_t *me, cg_xf_t xf, float r0, float r1, float h, int slices);
/* Displaces every vertex of the mesh added since `first` along its
 * direction from `centre` by f(direction) (for rough rocks). */
void CG_Roughen(cg_mesh_t *me, size_t first, cg_vec3_t centre, float amount, uint32_t seed);

/* Adds frame 0 of every mesh of `src` as a new frame of the mesh of the
 * same name in `dst`; returns 0 when the shapes do not match. */
int CG_AppendFrame(cg_model_t *dst, const cg_model_t *src);

/* Writes the model as scene text; returns 1 on success. */
int CG_WriteASE(const std::string &path, cg_model_t *m);

#endif
