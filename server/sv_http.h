/*
 * sv_http.h -- between the command line and the store thread (sv_main.cpp)
 * and the HTTP side (sv_http.cpp).
 */
#ifndef SV_HTTP_H
#define SV_HTTP_H

#include "sv_local.h"

typedef struct {
    std::string host;           /* numeric IPv4 or IPv6 address */
    int port;
    int maxconnections;         /* open connections */
    int maxperaddress;          /* open connections of one address (trusted proxies: no limit) */
    int timeout;                /* seconds for a request's head, and of silence */
    int uploadseconds;          /* seconds for a whole request with its body */
    int maxuploads;             /* request bodies being received at once */
    int threads;                /* HTTP worker threads */
    std::vector<std::string> proxies;   /* trusted, as SV_Address writes them */
} sv_httpopts_t;

/* What a merge or a replay upload leaves for the store thread.  The job
 * belongs to its request, which waits (suspended) until done() is called. */
enum { SV_JOB_MERGE, SV_JOB_REPLAY };

typedef struct sv_job_s {
    int kind;
    int fd;                     /* the client's socket: a job for a client gone is dropped */
    sv_request_t req;
    sv_replay_t replay;
    std::string demo;
    int answer;                 /* SV_OK, SV_BUSY, SV_STOREFAIL, ... */
    int added;
    bool gone;
    void (*done)(struct sv_job_s *job);
    void *owner;
} sv_job_t;

/* sv_main.cpp */
bool SV_Queue(sv_job_t *job);               /* false: too much waiting work */
bool SV_RateTake(const std::string &addr);  /* one merge of this address */
bool SV_StoreStalled(void);                 /* a write has waited too long */
extern int32_t sv_maxpoints[HS_ROWS];
extern bool sv_verifiedonly;

/* sv_http.cpp */
bool SV_Address(const char *text, std::string *out);   /* numeric address, as the log writes it */
bool SV_HttpStart(const sv_httpopts_t &o, int *port, std::string *error);
void SV_HttpTick(void);                     /* closes connections past their time */
int SV_HttpStop(int seconds);               /* the requests left unanswered */
bool SV_ClientGone(int fd);
void SV_MetricStore(const char *what, double seconds);
void SV_MetricMerge(int added);

#endif
