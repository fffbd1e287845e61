/* LibFuzzer target for the score server's request handling. */
#include <stdlib.h>

#include <algorithm>

#include "sv_local.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const int32_t maxpoints[HS_ROWS] = {100000, 100000, 100000, 100000, 100000, 100000, 100000, 2147483647};
    std::string query((const char *)data, size), demo = query.substr(std::min(query.find('\n'), size - 1) + 1);
    sv_replay_t rp; /* a replay upload: the query, then after the first line feed the demo */
    if (SV_ParseReplay(query.substr(0, query.find('\n')), demo, &rp) == SV_OK && rp.level != SV_DemoLevel(demo))
        abort();
    sv_request_t req;
    int answer = SV_HandleQuery(query, maxpoints, &req);
    if (SV_LogQuery(query).find_first_of("\r\n") != std::string::npos)
        abort();
    if (answer != SV_OK) {
        if (SV_Message(answer, req.country, 0).compare(0, 4, "MSG:") != 0)
            abort();
        return 0;
    }
    sv_lists_t lists;
    for (const sv_entry_t &e : req.entries) {
        if (e.level < 0 || e.level >= HS_ROWS || e.points <= 0 || e.points > maxpoints[e.level] ||
            e.name.empty() || HS_CutUtf8(e.name, SV_NAMECHARS) != e.name)
            abort();
        if (lists.r[e.level].size() < HS_ENTRIES)
            lists.r[e.level].push_back({e.name, e.points, req.country, 0, (e.points & 1) != 0});
    }
    std::string packed = SV_PackLists(&lists);
    HighscoreTable t;
    if (packed.empty() || !UnpackTable(packed, &t))
        abort();
    std::string page = SV_Page(req.country, req.country & 1, &lists, {{req.country, (int)req.entries.size()}});
    if (page.find("<script") != std::string::npos || SV_Json(lists.r[0]).find('<') != std::string::npos)
        abort();
    return 0;
}
