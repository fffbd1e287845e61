/* The launcher's network and engine text readers: packed tables, mode/score answers, messages. */
#include <stdlib.h>

#include <algorithm>

#include "l_local.h"

static void Fuzz_Table(const std::string &s)
{
    HighscoreTable t;
    HS_Fill(&t, "x", 0);
    if (!UnpackTable(s, &t))
        return;
    for (int r = 0; r < HS_ROWS; r++)
        for (int i = 0; i < HS_ENTRIES; i++) {
            const std::string &n = t.e[r][i].name;
            if (n.size() > 4 * HS_MAXNAME || n.find_first_of("\r\n") != std::string::npos)
                abort();
        }
    std::string p1 = PackTable(&t);
    if (p1.empty())
        return;     /* too big to fit a block again: refused, not cut */
    HighscoreTable t2;
    if (!UnpackTable(p1, &t2) || PackTable(&t2) != p1)
        abort();
}

static void Fuzz_EngineOutput(const std::string &s)
{
    std::string version;
    std::vector<std::string> modes;
    if (L_ParseModes(s, &version, &modes)) {
        for (size_t i = 0; i < modes.size(); i++) {
            const std::string &m = modes[i];
            if (m.find_first_not_of("0123456789 ") != std::string::npos || std::count(m.begin(), m.end(), ' ') != 2)
                abort();
            for (size_t k = 0; k < i; k++)
                if (modes[k] == m)
                    abort();
        }
    }
    int32_t score;
    bool has = L_FindScore(s, &score);
    int o = L_GameOutcome(s);
    if (o < L_GAME_SCORE || o > L_GAME_NORESULT || has != (o == L_GAME_SCORE))
        abort();
    std::string tail = L_LastLines(s, 6, 160);
    std::vector<std::string> lines = HS_SplitLines(tail);
    if (lines.size() > 6)
        abort();
    for (const std::string &l : lines)
        for (char c : l)
            if (l.size() > 163 || (unsigned char)c < 32 || c == 127)
                abort();
}

static void Fuzz_Message(const std::string &s)
{
    std::string caption, text;
    if (!L_SplitMessage(s, &caption, &text))
        return;
    if (text.size() > 4 * L_MAXMESSAGE || caption.find(':') != std::string::npos ||
        (caption + text).find_first_of("\x1b\r\t") != std::string::npos)
        abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string s((const char *)data, size);
    Fuzz_Table(s);
    Fuzz_EngineOutput(s);
    Fuzz_Message(s);
    return 0;
}
