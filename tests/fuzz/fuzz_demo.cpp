/*
 * fuzz_demo.cpp -- libFuzzer target for demo files: the reader checks the
 * whole byte string (header, frame heads, event counts against the bytes
 * that are there, varints, the game clock bound and the frame limit).
 */
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
