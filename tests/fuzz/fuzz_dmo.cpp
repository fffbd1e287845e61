/*
 * fuzz_dmo.cpp -- libFuzzer target for model files: whatever the reader
 * accepts is walked in full, written back (the bytes must read again),
 * welded and given collision data when it is small enough.
 */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "collision.h"
#include "fuzz_tmpfile.h"
#include "fuzz_walk.h"
#include "model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *path = Fuzz_WriteFile("m.dmo", data, size);
    model_t m;
    memset(&m, 0, sizeof(m));
    if (!Model_ReadFile(path, 1, &m)) {
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
    char out[300];
    snprintf(out, sizeof(out), "%s/w.dmo", Fuzz_Dir());
    if (!Model_WriteFile(out, m.materials, m.nummaterials, m.meshes, m.nummeshes))
        abort();
    model_t again;
    memset(&again, 0, sizeof(again));
    if (!Model_ReadFile(out, 0, &again) || again.nummeshes != m.nummeshes)
        abort();
    Model_FreeArrays(&again);
    if (tris < 2000) {
        for (uint32_t i = 0; i < m.nummeshes; i++)
            if (Model_WeldMesh(&m.meshes[i]))
                sum += Fuzz_WalkMesh(&m.meshes[i]);
        colmodel_t *c = Col_Build(m.meshes, m.nummeshes);
        if (c) {
            sum += Fuzz_WalkCollision(c);
            Fuzz_Queries(c, data, size);
            Col_Free(c);
        }
    }
    Model_FreeArrays(&m);
    return 0;
}
