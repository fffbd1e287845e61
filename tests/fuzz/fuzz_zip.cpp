/* LibFuzzer target for archive mounting and member opening. */
#include <string>

#include "fs.h"
#include "fuzz_tmpfile.h"

static void Fuzz_ReadAll(const std::string &path)
{
    fsfile_t *f = FS_Open(path.c_str(), "rb");
    if (!f)
        return;
    uint32_t len = FS_Length(f);
    if (len > (64u << 20))
        abort(); /* a member must not claim more than it can hold */
    unsigned char buf[7];
    size_t total = 0, n;
    while ((n = FS_Read(buf, 3, 2, f)) > 0)
        total += n * 3;
    if (total > len || len - total >= 6)
        abort();
    FS_Close(f);
    uint32_t l2 = 0;
    unsigned char *d = FS_LoadFile(path.c_str(), &l2);
    if (!d || l2 != len || d[l2] != 0)
        abort(); /* whole, and terminated */
    FS_FreeFile(d);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string archive = Fuzz_WriteFile("a.pk3", data, size);
    FS_Mount(archive.c_str(), "z/");
    for (size_t i = 0; i + 46 <= size; i++) {
        if (memcmp(data + i, "PK\1\2", 4) != 0)
            continue;
        size_t n = data[i + 28] | (data[i + 29] << 8);
        if (i + 46 + n > size)
            continue;
        Fuzz_ReadAll("z/" + std::string((const char *)data + i + 46, n));
    }
    Fuzz_ReadAll("z/a");
    Fuzz_ReadAll(archive); /* a file on disk, through the same calls */
    FS_Shutdown();
    return 0;
}
