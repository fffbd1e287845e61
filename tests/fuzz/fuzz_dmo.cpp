/* LibFuzzer target for model files. */
#include "fuzz_tmpfile.h"
#include "fuzz_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    model_t m{}, again{};
    if (!Model_ReadFile(Fuzz_WriteFile("m.dmo", data, size), 1, &m)) {
        if (m.meshes || m.materials)
            abort();
        return 0;
    }
    char out[300];
    snprintf(out, sizeof(out), "%s/w.dmo", Fuzz_Dir());
    if (!Model_WriteFile(out, m.materials, m.nummaterials, m.meshes, m.nummeshes) ||
        !Model_ReadFile(out, 0, &again) || again.nummeshes != m.nummeshes)
        abort();
    Model_FreeArrays(&again);
    Fuzz_WalkModel(&m, false, data, size);
    Model_FreeArrays(&m);
    return 0;
}
