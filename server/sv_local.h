/*
 * sv_local.h -- the highscore server gackatron-scores: requests and their
 * refusals (sv_request.cpp), the store on SQLite or PostgreSQL
 * (sv_store.cpp, its reads sv_storeread.cpp), the web page of the lists
 * (sv_page.cpp), the replays that verify entries (sv_verify.cpp), the
 * command line and the store thread (sv_main.cpp) and the HTTP side
 * (sv_http.cpp).
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
#define SV_MAXDEMO (2 << 20)    /* largest demo a replay request may bring */
#define SV_DEMOHEADER 44        /* bytes of a demo's header; its frames follow */
#define SV_LEVELS 6             /* the game's levels; the tables have HS_ROWS rows */
#define SV_KEEPDEFAULT 100000   /* entries kept of each level and country */
#define SV_REPLAYSPERADDRESS 10 /* replays one address may have waiting */

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
    SV_NOENTRY,         /* a replay of an entry the store does not hold */
    SV_BADDEMO,         /* a replay that is not a demo of its level */
    SV_DEMOLARGE,       /* a replay whose demo is over SV_MAXDEMO */
    SV_NOVERIFY,        /* this server cannot replay demos */
    SV_REPLAYLIMIT,     /* too many replays of one address wait */
    SV_ENTRYWAITS,      /* replays of that entry wait already */
    SV_LONGDEMO,        /* more frames than the level's play time holds */
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
    int codepage;                      /* of val, and of the table it is answered with */
    std::vector<sv_entry_t> entries;   /* what a merge offers the store */
    int overmax;                       /* entries refused for their points */
} sv_request_t;

int SV_ParseQuery(const std::string &query, sv_request_t *req);
int SV_ReadEntries(sv_request_t *req, const int32_t maxpoints[HS_ROWS]);
int SV_HandleQuery(const std::string &query, const int32_t maxpoints[HS_ROWS], sv_request_t *req);
std::string SV_CleanName(const std::string &utf8);
std::string SV_Message(int answer, int country, int added);
std::string SV_LogQuery(const std::string &query);

/* POST /replay: the entry a demo claims to have made. */
typedef struct {
    int level;
    std::string name;   /* UTF-8, cleaned */
    int32_t points;
    int country;
    std::string address;    /* the client's, as the log names it */
} sv_replay_t;

int SV_ParseReplay(const std::string &query, const std::string &demo, sv_replay_t *r);
int SV_DemoLevel(const std::string &demo);     /* -1: no demo header */

/* ---- the store (sv_store.cpp) ---- */

typedef struct {
    std::string name;
    int32_t points;
    int country;
    int64_t received;   /* seconds since 1970, UTC */
    bool verified;
} sv_row_t;

typedef struct {
    std::vector<sv_row_t> r[HS_ROWS];   /* best first, at most 10 a level */
} sv_lists_t;

/* A connection of that name to the store at url; false for an unknown kind. */
bool SV_StoreAdd(const std::string &url, const char *connection);
bool SV_StoreIsPostgres(const std::string &url);
bool SV_StoreOpen(const std::string &url, std::string *error);
void SV_StoreClose(void);
/* --keep and the replays one address may have waiting; before the open. */
void SV_StoreLimits(int keep, int replaysperaddress);
/* Merges and replays on the store's one write thread. */
bool SV_StoreMerge(const std::vector<const sv_request_t *> &merges, std::vector<int> *added);
/* Queues a replay of an entry the store holds: SV_OK (also when the entry
 * is verified already), SV_NOENTRY, SV_REPLAYLIMIT, SV_ENTRYWAITS, SV_BUSY
 * (maxjobs waiting) or SV_STOREFAIL. */
int SV_StoreReplay(const sv_replay_t &r, const std::string &demo, int maxjobs);
/* Reads (sv_storeread.cpp), on any thread, each on a connection of its
 * own, once the store is open; what was read is kept for a second at
 * most, and only until the next change of this process when current.
 * country < 0: the world; verified: only verified entries */
bool SV_StoreLists(int country, bool verified, sv_lists_t *lists, bool current = true);
bool SV_StoreCountries(std::vector<std::pair<int, int>> *countries);
bool SV_StorePing(void);        /* the store answers a trivial read */
long long SV_StoreWaiting(void);        /* replays in the store; -1 on failure */
/* The store changed (a merge, an entry verified): kept reads are old. */
void SV_StoreChanged(void);
std::string SV_StoreError(void);

/* ---- answers (sv_page.cpp) ---- */

std::string SV_PackLists(const sv_lists_t *lists, int codepage = HS_UTF8);
/* The level names of the game tree, once at start. */
void SV_PageNames(const std::string &game);
/* The page's language (0 English, 1 German, 2 Russian) from a lang=
 * parameter or else the Accept-Language header. */
int SV_Language(const std::string &param, const std::string &accept);
std::string SV_Page(int country, bool verified, const sv_lists_t *lists,
                    const std::vector<std::pair<int, int>> &countries, int lang = 0);
std::string SV_HtmlEscape(const std::string &s);
std::string SV_Json(const std::vector<sv_row_t> &rows);
/* The game's levels with their names and ten best each. */
std::string SV_JsonLevels(const sv_lists_t *lists, int lang);

/* ---- verification (sv_verify.cpp) ---- */

typedef struct {
    std::string db;
    std::string game;       /* the tree holding vexengine and data/ */
    std::string user;       /* who runs the engine when we are root */
    int cpuseconds;
    int wallseconds;
    int memorymb;
} sv_verifyopts_t;

/* Worker threads that take jobs from the store until SV_VerifyStop.  When
 * the replay user cannot run the game tree, a copy it can run is made; on
 * failure verification is off (SV_VerifyOff) and error says why. */
bool SV_VerifyStart(const sv_verifyopts_t &o, int threads, std::string *error);
void SV_VerifyStop(void);
void SV_VerifyWake(void);
bool SV_VerifyOff(void);
/* The levels' play times from the tree, for SV_DemoFits. */
void SV_ReadPlayTimes(const std::string &game);
/* False for a demo with more frames than its level's play time holds at
 * the engine's frame rate limit (true while the play times are unknown). */
bool SV_DemoFits(const std::string &demo);

void SV_Log(const std::string &line);
/* for /metrics (sv_http.cpp): a replay's outcome ("verified", "refused", "failed") */
void SV_MetricVerify(const char *outcome);

#endif
