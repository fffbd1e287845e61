/*
 * fuzz_cmdline.cpp -- libFuzzer target for the engine's command line: the
 * input is parsed once as a whole command line (up to its first zero
 * byte) and once split at line feeds into argument tokens, as the program
 * receives them.  Every setting must come out within its range and every
 * string terminated inside its field; UBSan catches overflowing
 * arithmetic on the numbers.
 */
#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "engine.h"

static void Fuzz_Check(const eng_settings_t *s, const eng_cmdresult_t *r)
{
    if (s->width < 0 || s->width > ENG_MAX_SIZE || s->height < 0 || s->height > ENG_MAX_SIZE)
        abort();
    if (s->bpp < 0 || s->bpp > 64)
        abort();
    if (!isfinite(s->mousesens) || s->mousesens < 0.02f || s->mousesens > 0.58f)
        abort();
    if (!memchr(s->gamedir, 0, sizeof(s->gamedir)) || !memchr(r->convert_name, 0, sizeof(r->convert_name)) ||
        !memchr(r->bad_token, 0, sizeof(r->bad_token)))
        abort();
    if (r->action < CMD_RUN || r->action > CMD_UNKNOWN)
        abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string line((const char *)data, size);
    eng_settings_t s;
    eng_cmdresult_t r;
    Eng_DefaultSettings(&s);
    Eng_ParseCommandLine(line.c_str(), &s, &r);
    Fuzz_Check(&s, &r);

    std::vector<std::string> tokens;
    size_t start = 0;
    for (size_t i = 0; i <= size; i++)
        if (i == size || data[i] == '\n') {
            tokens.emplace_back((const char *)data + start, i - start);
            start = i + 1;
        }
    std::vector<const char *> ptrs;
    for (const std::string &t : tokens)
        ptrs.push_back(t.c_str());
    Eng_DefaultSettings(&s);
    Eng_ParseTokens((int)ptrs.size(), ptrs.data(), &s, &r);
    Fuzz_Check(&s, &r);
    return 0;
}
