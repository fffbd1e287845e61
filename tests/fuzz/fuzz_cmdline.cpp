/* LibFuzzer target for the engine's command line. */
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "engine.h"

static void Fuzz_Check(const eng_settings_t *s, const eng_cmdresult_t *r)
{
    if (s->width < 0 || s->width > ENG_MAX_SIZE || s->height < 0 || s->height > ENG_MAX_SIZE || s->bpp < 0 ||
        s->bpp > 64 || !isfinite(s->mousesens) || s->mousesens < 0.02f || s->mousesens > 0.58f)
        abort();
    if (!memchr(s->gamedir, 0, sizeof(s->gamedir)) || !memchr(r->convert_name, 0, sizeof(r->convert_name)) ||
        !memchr(r->bad_token, 0, sizeof(r->bad_token)) || r->action < CMD_RUN || r->action > CMD_UNKNOWN)
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

    std::vector<std::string> tokens(1);
    for (size_t i = 0; i < size; i++)
        if (data[i] == '\n')
            tokens.emplace_back();
        else
            tokens.back() += (char)data[i];
    std::vector<const char *> ptrs;
    for (const std::string &t : tokens)
        ptrs.push_back(t.c_str());
    Eng_DefaultSettings(&s);
    Eng_ParseTokens((int)ptrs.size(), ptrs.data(), &s, &r);
    Fuzz_Check(&s, &r);
    return 0;
}
