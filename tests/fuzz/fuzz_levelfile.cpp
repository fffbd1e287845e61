/* LibFuzzer round trip of level files: a level read from the input (its stored name patched to match)
 * is written, loaded back through the level table and written again to the same bytes. */
#include <sys/stat.h>

#include "fuzz_tmpfile.h"
#include "gk_standin.h"

/* level b written as the table's level 1: its bytes, or "" when it cannot be */
static std::string Fz_Write(const level_t *b)
{
    std::string s(1 << 20, '\0');
    FILE *f = b && Level_WriteFile("data/script1.bin", "script1.bin", b) ? fopen("data/script1.bin", "rb") : NULL;
    s.resize(f ? fread(&s[0], 1, s.size(), f) : 0);
    if (f)
        fclose(f);
    return s;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    setenv("GACKATRON_HEADLESS", "1", 1);
    static bool ready = mkdir((std::string(Fuzz_Dir()) + "/data").c_str(), 0777) == 0 && chdir(Fuzz_Dir()) == 0;
    if (!ready)
        abort();
    std::string in((const char *)data, size);
    for (size_t i = 0; i < 128 && i + 4 < size; i++)
        in[4 + i] = (char)((i < 11 ? "script1.bin"[i] : 0) ^ 0x6C);
    level_t a{};
    harness::Reset();
    if (SC_LoadLevel(&a, Fuzz_WriteFile("script1.bin", (const uint8_t *)in.data(), size))) {
        std::string once = Fz_Write(&a);
        level_t *b = Level_Load(1);
        if (once.empty() || !b || b != Level_Current() || Level_Count() != 1 || Fz_Write(b) != once)
            abort();
        Level_FreeAll();
    }
    Level_FreeSpawns(&a);
    return 0;
}
