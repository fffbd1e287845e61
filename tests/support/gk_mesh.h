/* Model meshes for tests, filled from plain vectors, freed with Model_FreeMesh. */
#ifndef GK_MESH_H
#define GK_MESH_H

#include <cstdlib>
#include <cstring>
#include <vector>

#include <string>

#include "collision.h"
#include "model.h"

namespace gk {

template <typename T> T *MeshDup(const std::vector<T> &v)
{
    T *p = (T *)std::malloc(v.size() * sizeof(T) + 1);
    if (!v.empty())
        std::memcpy(p, v.data(), v.size() * sizeof(T));
    return p;
}

/* One mesh: frames of positions (3 floats a vertex), faces, optional texture vertices and texture faces. */
inline mdl_mesh_t MakeMesh(const char *name, const std::vector<std::vector<float>> &frames,
                           const std::vector<uint32_t> &faces, const std::vector<float> &tverts = {},
                           const std::vector<uint32_t> &tfaces = {}, int material = 0)
{
    mdl_mesh_t m{};
    std::strncpy(m.name, name, sizeof(m.name) - 1);
    m.numframes = (uint32_t)frames.size();
    m.frames = (mdl_frame_t *)std::calloc(frames.size() + 1, sizeof(mdl_frame_t));
    for (size_t f = 0; f < frames.size(); f++) {
        m.frames[f].time = (int32_t)(f * 160);
        m.frames[f].verts = MeshDup(frames[f]);
    }
    m.numverts = frames.empty() ? 0 : (uint32_t)(frames[0].size() / 3);
    m.numtris = (uint32_t)(faces.size() / 3);
    m.faces = MeshDup(faces);
    if (!tverts.empty()) {
        m.numtverts = (uint32_t)(tverts.size() / 2);
        m.tverts = MeshDup(tverts);
        m.tfaces = MeshDup(tfaces.empty() ? faces : tfaces);
    }
    m.material = material;
    return m;
}

/* A closed box from lo to hi: one frame, twelve triangles, one white
 * material; written as base.dmo with its collision file base.dbb. */
inline bool WriteBoxModel(const std::string &base, const float lo[3], const float hi[3])
{
    std::vector<float> v;
    for (int i = 0; i < 8; i++)
        v.insert(v.end(), {i & 1 ? hi[0] : lo[0], i & 2 ? hi[1] : lo[1], i & 4 ? hi[2] : lo[2]});
    mdl_mesh_t m = MakeMesh("box", {v}, {0, 2, 1, 1, 2, 3, 4, 5, 6, 5, 7, 6, 0, 1, 4, 1, 5, 4,
                                         2, 6, 3, 3, 6, 7, 0, 4, 2, 2, 4, 6, 1, 3, 5, 3, 7, 5});
    mdl_material_t mat{};
    for (int i = 0; i < 3; i++)
        mat.diffuse[i] = 1.0f;
    colmodel_t *c = Col_Build(&m, 1);
    bool ok = c && Model_WriteFile((base + ".dmo").c_str(), &mat, 1, &m, 1) == 1 &&
              Col_WriteFile((base + ".dbb").c_str(), c) == 1;
    Col_Free(c);
    Model_FreeMesh(&m);
    return ok;
}

/* A cube of half size h around the origin. */
inline bool WriteBoxModel(const std::string &base, float h)
{
    const float lo[3] = {-h, -h, -h}, hi[3] = {h, h, h};
    return WriteBoxModel(base, lo, hi);
}

} // namespace gk

#endif
