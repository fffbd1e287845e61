/* LibFuzzer target for the model cache: the input as a model file (with a collision file from the
 * builder now and then) loaded twice through the cache and released, against the plain reader. */
#include "fuzz_tmpfile.h"
#include "fuzz_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    char base[300], dbb[310];
    snprintf(base, sizeof(base), "%s/m", Fuzz_Dir());
    snprintf(dbb, sizeof(dbb), "%s.dbb", base);
    unlink(dbb);
    model_t plain{};
    int readable = Model_ReadFile(Fuzz_WriteFile("m.dmo", data, size), 1, &plain);
    colmodel_t *c = readable && size < 4096 && size / 4 % 2 ? Col_Build(plain.meshes, plain.nummeshes) : NULL;
    model_t *a = c && !Col_WriteFile(dbb, c) ? NULL : Model_Get(base), *b = Model_Get(base);
    if (!a != !readable || a != b || Model_CacheCount() != (a ? 1 : 0) ||
        (a && (a->nummeshes != plain.nummeshes || a->hascollision != (c != NULL))))
        abort();
    for (uint32_t i = 0; a && i < a->nummeshes; i++)
        if (a->meshes[i].numtverts && a->meshes[i].numtverts < a->meshes[i].numverts)
            abort(); /* every vertex has texture coordinates when any has */
    Model_Release(a);
    Model_Release(b);
    if (Model_CacheCount() != 0)
        abort();
    Col_Free(c);
    Model_FreeArrays(&plain);
    return 0;
}
