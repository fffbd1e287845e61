/* LibFuzzer target for collision files. */
#include "fuzz_tmpfile.h"
#include "fuzz_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    colmodel_t *c = Col_ReadFile(Fuzz_WriteFile("c.dbb", data, size));
    if (!c)
        return 0;
    Fuzz_Collision(c, data, size);
    Col_Free(c);
    return 0;
}
