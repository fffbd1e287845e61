/*
 * gk_mesh.h -- building model meshes in tests: owned arrays that are freed
 * with Model_FreeMesh, filled from plain vectors.
 */
#ifndef GK_MESH_H
#define GK_MESH_H

#include <cstdlib>
#include <cstring>
#include <vector>

#include "model.h"

namespace gk {

template <typename T> T *MeshDup(const std::vector<T> &v)
{
    T *p = (T *)std::malloc(v.size() * sizeof(T) + 1);
    if (!v.empty())
        std::memcpy(p, v.data(), v.size() * sizeof(T));
    return p;
}

/* One mesh: frames of positions (3 floats a vertex), faces, optional
 * texture vertices and texture faces. */
inline mdl_mesh_t MakeMesh(const char *name, const std::vector<std::vector<float>> &frames,
                           const std::vector<uint32_t> &faces, const std::vector<float> &tverts = {},
                           const std::vector<uint32_t> &tfaces = {}, int material = 0)
{
    mdl_mesh_t m;
    std::memset(&m, 0, sizeof(m));
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

} // namespace gk

#endif
