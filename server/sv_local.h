/*
 * sv_local.h -- the highscore server gackatron-scores: requests and their
 * refusals (sv_request.cpp), the store on SQLite or PostgreSQL
 * (sv_store.cpp), the web page of the lists (sv_page.cpp) and the HTTP
 * side with its command line (sv_main.cpp).
 */
#ifndef SV_LOCAL_H
#define SV_LOCAL_H

#include <stdint.h>

#include <string>
#include <vector>

#include "hs_table.h"

#define SV_VERSION "1.0"
#define SV_MAXQUERY 20000       /* longest query string we read */
#define SV_NAMECHARS 12         /* stored names, in characters */

/* ---- requests (sv_request.cpp) ---- */

/* What a request comes to; everything but SV_OK and SV_MERGED is a refusal. */
enum {
    SV_OK,
    SV_MERGED,          /* getlist=0: a short confirmation */
    SV_BADREQUEST,      /* a query we cannot read */
    SV_WRONGGAME,
    SV_TOOLARGE,
    SV_BADTABLE,        /* val does not unpack */
    SV_RATE,            /* too many merges from one address */
    SV_BUSY,            /* too much waiting work */
    SV_STOREFAIL,       /* the store could not take it */
    SV_NUMANSWERS
};

typedef struct {
    int level;
    std::string name;   /* UTF-8, cleaned */
    int32_t points;
} sv_entry_t;

typedef struct {
    bool merge;
    bool getlist;
    int country;
    std::string val;
    std::vector<sv_entry_t> entries;   /* what a merge offers the store */
    int overmax;                       /* entries refused for their points */
} sv_request_t;

int SV_ParseQuery(const std::string &query, sv_request_t *req);
int SV_ReadEntries(sv_request_t *req, const int32_t maxpoints[HS_ROWS]);
int SV_HandleQuery(const std::string &query, const int32_t maxpoints[HS_ROWS], sv_request_t *req);
std::string SV_CleanName(const std::string &utf8);
std::string SV_Message(int answer, int country, int added);
std::string SV_LogQuery(const std::string &query);

/* ---- the store (sv_store.cpp) ---- */

typedef struct {
    std::string name;
    int32_t points;
    int country;
} sv_row_t;

typedef struct {
    std::vector<sv_row_t> r[HS_ROWS];   /* best first, at most 10 a level */
} sv_lists_t;

bool SV_StoreOpen(const std::string &url, std::string *error);
void SV_StoreClose(void);
bool SV_StoreMerge(const std::vector<const sv_request_t *> &merges, std::vector<int> *added);
bool SV_StoreLists(int country, sv_lists_t *lists);     /* country < 0: the world */
bool SV_StoreCountries(std::vector<std::pair<int, int>> *countries);
std::string SV_StoreError(void);

/* ---- answers (sv_page.cpp) ---- */

std::string SV_PackLists(const sv_lists_t *lists);
std::string SV_Page(int country, const sv_lists_t *lists,
                    const std::vector<std::pair<int, int>> &countries);
std::string SV_HtmlEscape(const std::string &s);

#endif
