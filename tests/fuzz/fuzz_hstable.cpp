/* LibFuzzer round trip of highscore tables: entries from the input are ranked into a table, which
 * packs, unpacks to the same points and packs again to the same text. */
#include <stdlib.h>

#include <algorithm>

#include "hs_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    HighscoreTable t, u;
    HS_Fill(&t, "", 0);
    for (size_t at = 0; at + 6 <= size;) { /* row (8: none), name length, points, name */
        int row = data[at] % (HS_ROWS + 1), len = data[at + 1] % 24;
        int32_t points = (int32_t)(data[at + 2] | data[at + 3] << 8 | data[at + 4] << 16 | (uint32_t)data[at + 5] << 24);
        std::string name((const char *)data + at + 6, std::min((size_t)len, size - at - 6));
        at += 6 + name.size();
        std::replace(name.begin(), name.end(), '\n', ' '); /* a name is one line, as the launcher takes it */
        std::replace(name.begin(), name.end(), '\r', ' ');
        InsertEntry(&t, row, len == 23 ? data[at - 1] % 12 - 1 : FindRank(&t, row, points), name, points);
        HS_SortRow(&t, row); /* an entry put anywhere now and then is sorted in */
    }
    std::string p = PackTable(&t);
    if (p.empty())
        return 0; /* too much for one block: refused, not cut */
    if (!UnpackTable(p, &u) || PackTable(&u) != p)
        abort();
    for (int r = 0; r < HS_ROWS; r++)
        for (int i = 0; i < HS_ENTRIES; i++)
            if (u.e[r][i].points != t.e[r][i].points || (i && t.e[r][i].points > t.e[r][i - 1].points))
                abort();
    return 0;
}
