/* LibFuzzer round trip of collision data: meshes made from the input are built into grids, written,
 * and read back to give every segment query the same answer. */
#include <algorithm>

#include "fuzz_tmpfile.h"
#include "fuzz_walk.h"
#include "gk_mesh.h"

static const uint8_t *fz_data;
static size_t fz_size, fz_at;

/* The input's bytes in turn, from the start again at its end: every input makes whole meshes. */
static int Fz_Byte(void) { return fz_data[fz_at++ % fz_size]; }
static float Fz_Coord(void) { int c = (int8_t)Fz_Byte(); return c == -128 ? NAN : c / 4.0f; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 4096)
        return 0;
    fz_data = data, fz_size = size, fz_at = 0;
    std::vector<mdl_mesh_t> meshes(Fz_Byte() % 4);
    for (mdl_mesh_t &m : meshes) { /* frames, vertices, triangles, coordinates, corners */
        uint32_t frames = 1 + Fz_Byte() % 3, nv = 1 + Fz_Byte() % 24, nt = Fz_Byte() % 32;
        std::vector<std::vector<float>> fr(frames, std::vector<float>(nv * 3));
        std::vector<uint32_t> faces(nt * 3);
        for (auto &f : fr)
            std::generate(f.begin(), f.end(), Fz_Coord);
        std::generate(faces.begin(), faces.end(), [nv] { return Fz_Byte() % (nv + 1); }); /* one past now and then */
        m = gk::MakeMesh("m", fr, faces);
    }
    colmodel_t *c = Col_Build(meshes.data(), (uint32_t)meshes.size()), *back = NULL;
    for (mdl_mesh_t &m : meshes)
        Model_FreeMesh(&m);
    char path[300];
    snprintf(path, sizeof(path), "%s/b.dbb", Fuzz_Dir());
    if (c && (!Col_WriteFile(path, c) || !(back = Col_ReadFile(path)) || back->numframes != c->numframes))
        abort();
    for (uint32_t f = 0; c && f < c->numframes; f++)
        for (int q = 0; q < 4; q++) {
            float s[3] = {Fz_Coord(), Fz_Coord(), Fz_Coord()}, e[3] = {Fz_Coord(), Fz_Coord(), Fz_Coord()}, fa = 0, fb = 0;
            int ha = Col_SegmentQuery(&c->frames[f], s, e, &fa), hb = Col_SegmentQuery(&back->frames[f], s, e, &fb);
            if (ha != hb || (ha && fa != fb))
                abort(); /* the file holds the grid exactly */
        }
    Col_Free(back);
    Col_Free(c);
    return 0;
}
