/* LibFuzzer target for level files, loaded as they are and with the stored name patched to
 * match, then scheduled for a few frames on the stand-in engine (run with -close_fd_mask=2). */
#include <stdint.h>
#include <stdlib.h>

#include <vector>

#include "fuzz_tmpfile.h"
#include "gk_standin.h"

/* A few frames of play: schedule, spawn-in fade, sweep, purge. */
static void Fz_Run(level_t *level)
{
    if (!_CacheClasses(level))
        return;
    static const float times[] = {0.0f, 0.5f, 2.0f, 2.01f, 30.0f, 31.0f};
    for (float t : times) {
        harness::SetTime(t);
        SC_CheckNewSpawns(level, t);
        for (int i = 0; i < ENT_MAX; i++)
            if (harness::used[i] && harness::ents[i].think == SC_SpawnInThink)
                SC_SpawnInThink(&harness::ents[i]);
        G_Sweep();
        harness::Purge();
    }
}

static void Fz_Load(const uint8_t *data, size_t size)
{
    const char *path = Fuzz_WriteFile("script1.bin", data, size);
    level_t level{};
    harness::Reset();
    if (SC_LoadLevel(&level, path) && Level_PendingCount(&level) < 64)
        Fz_Run(&level);
    Level_FreeSpawns(&level);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    setenv("GACKATRON_HEADLESS", "1", 1);
    Fz_Load(data, size);
    if (size >= 132) {
        std::vector<uint8_t> copy(data, data + size);
        uint8_t name[128] = "script1.bin";
        for (int i = 0; i < 128; i++)
            copy[4 + i] = name[i] ^ 0x6C;
        copy[0] = 3;
        copy[1] = copy[2] = copy[3] = 0;
        Fz_Load(copy.data(), size);
    }
    return 0;
}
