/* LibFuzzer target for demo files. */
#include <stdlib.h>

#include "demo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    demoheader_t h;
    int frames = 0;
    char err[256];
    if (Demo_Check(data, size, 200000, &h, &frames, err, sizeof(err)) && frames < 0)
        abort();
    return 0;
}
