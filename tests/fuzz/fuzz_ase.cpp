/* LibFuzzer target for the scene reader. */
#include "ase.h"
#include "fuzz_tmpfile.h"
#include "fuzz_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    model_t m{};
    if (!ASE_ReadScene(Fuzz_WriteFile("s.ase", data, size), &m)) {
        if (m.meshes || m.materials)
            abort();
        return 0;
    }
    for (uint32_t i = 0; i < m.nummaterials; i++)
        if (strlen(m.materials[i].diffusemap.name) >= MDL_NAMELEN)
            abort();
    Fuzz_WalkModel(&m, true, data, size);
    Model_FreeArrays(&m);
    return 0;
}
