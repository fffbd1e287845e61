/* LibFuzzer target for translation packages. */
#include "common.h"
#include "fuzz_tmpfile.h"
#include "lang.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz_WriteFile("ingame_0.txt", data, size);
    snprintf(com_datadir, sizeof(com_datadir), "%s/", Fuzz_Dir());
    Lang_Load(0);
    for (int i = -1; i <= LANG_SLOTS; i++) {
        const char *s = Lang_GetLocalizedStr(i);
        if (!s || strlen(s) >= LANG_SLOTLEN || ((i < 0 || i >= LANG_SLOTS) && strcmp(s, "?") != 0))
            abort();
    }
    return 0;
}
