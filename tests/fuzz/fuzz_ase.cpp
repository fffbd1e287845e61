/*
 * fuzz_ase.cpp -- libFuzzer target for the scene reader: whatever it
 * accepts must hold every element its counts promise, with indices inside
 * their arrays; small scenes go on through weld and collision building as
 * the converter does.
 */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "ase.h"
#include "collision.h"
#include "fuzz_tmpfile.h"
#include "fuzz_walk.h"
#include "model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *path = Fuzz_WriteFile("s.ase", data, size);
    model_t m;
    memset(&m, 0, sizeof(m));
    if (!ASE_ReadScene(path, &m)) {
        if (m.meshes || m.materials)
            abort();
        return 0;
    }
    volatile float sum = 0;
    uint64_t tris = 0;
    for (uint32_t i = 0; i < m.nummeshes; i++) {
        sum += Fuzz_WalkMesh(&m.meshes[i]);
        tris += m.meshes[i].numtris * (uint64_t)m.meshes[i].numframes;
    }
    for (uint32_t i = 0; i < m.nummaterials; i++)
        if (strlen(m.materials[i].diffusemap.name) >= MDL_NAMELEN)
            abort();
    if (tris < 2000) {
        for (uint32_t i = 0; i < m.nummeshes; i++) {
            if (!Model_WeldMesh(&m.meshes[i]))
                abort(); /* an accepted scene always welds */
            sum += Fuzz_WalkMesh(&m.meshes[i]);
        }
        colmodel_t *c = Col_Build(m.meshes, m.nummeshes);
        if (c) {
            sum += Fuzz_WalkCollision(c);
            Col_Free(c);
        }
    }
    Model_FreeArrays(&m);
    return 0;
}
