/*
 * sv_http.cpp -- the HTTP side of gackatron-scores on libmicrohttpd: a pool
 * of worker threads (epoll) reads requests, refuses what passes a limit as
 * soon as it does, serves pages, JSON and the packed table through the
 * store's read functions, and hands merges and replays to the store thread
 * (sv_main.cpp), the request waiting suspended until it is done.  What a
 * client can hold is limited here: open connections (all, and per
 * address), the time for a request's head and for a whole request, bodies
 * being received at once and the size of one.  One answer a connection.
 * Also /healthz, /metrics and one log line per request.
 */
#include "sv_http.h"

#include <arpa/inet.h>
#include <malloc.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <unordered_map>

#include <microhttpd.h>

#define SV_CONNMEMORY (32 << 10)    /* a connection's buffers: the longest table fits */
#define SV_BACKLOG 4096             /* connection attempts the kernel holds for us */
#define SV_MAXREPLAYS 32            /* replays on their way to the store at once */

static sv_httpopts_t sv_http;
static struct MHD_Daemon *sv_daemon;

static double SV_Clock(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

/* ---- metrics ---- */

static std::mutex sv_mlock;
static std::map<std::pair<std::string, int>, long long> sv_mrequests;  /* path, status */
static std::map<std::string, long long> sv_mrefusals, sv_mverify;
static long long sv_mmerges, sv_madded;
static const double sv_mbuckets[] = {0.001, 0.005, 0.01, 0.05, 0.1, 0.5, 1, 5};
typedef struct {
    long long count[sizeof(sv_mbuckets) / sizeof(sv_mbuckets[0])];
    long long n;
    double sum;
} sv_histogram_t;
static std::map<std::string, sv_histogram_t> sv_mstore;

static void SV_MetricRefuse(const char *reason)
{
    std::lock_guard<std::mutex> g(sv_mlock);
    sv_mrefusals[reason]++;
}

void SV_MetricVerify(const char *outcome)
{
    std::lock_guard<std::mutex> g(sv_mlock);
    sv_mverify[outcome]++;
}

void SV_MetricMerge(int added)
{
    std::lock_guard<std::mutex> g(sv_mlock);
    sv_mmerges++;
    sv_madded += added;
}

void SV_MetricStore(const char *what, double seconds)
{
    std::lock_guard<std::mutex> g(sv_mlock);
    sv_histogram_t &h = sv_mstore[what];
    for (size_t i = 0; i < sizeof(sv_mbuckets) / sizeof(sv_mbuckets[0]); i++)
        h.count[i] += seconds <= sv_mbuckets[i];
    h.n++;
    h.sum += seconds;
}

/* The Prometheus text form. */
static std::string SV_Metrics(int connections, int uploads)
{
    long long waiting = SV_StoreWaiting();     /* read now: workers elsewhere take and finish replays */
    std::lock_guard<std::mutex> g(sv_mlock);
    std::string s = "# TYPE gackatron_scores_requests_total counter\n";
    for (auto &r : sv_mrequests)
        s += "gackatron_scores_requests_total{path=\"" + r.first.first + "\",status=\"" +
             std::to_string(r.first.second) + "\"} " + std::to_string(r.second) + "\n";
    s += "# TYPE gackatron_scores_merges_total counter\ngackatron_scores_merges_total " +
         std::to_string(sv_mmerges) + "\n# TYPE gackatron_scores_entries_added_total counter\n"
         "gackatron_scores_entries_added_total " + std::to_string(sv_madded) + "\n"
         "# TYPE gackatron_scores_refusals_total counter\n";
    for (auto &r : sv_mrefusals)
        s += "gackatron_scores_refusals_total{reason=\"" + r.first + "\"} " + std::to_string(r.second) + "\n";
    s += "# TYPE gackatron_scores_verifications_total counter\n";
    for (auto &r : sv_mverify)
        s += "gackatron_scores_verifications_total{outcome=\"" + r.first + "\"} " + std::to_string(r.second) + "\n";
    if (waiting >= 0)
        s += "# TYPE gackatron_scores_replay_queue gauge\ngackatron_scores_replay_queue " + std::to_string(waiting) + "\n";
    s += "# TYPE gackatron_scores_connections gauge\ngackatron_scores_connections " + std::to_string(connections) +
         "\n# TYPE gackatron_scores_uploads gauge\ngackatron_scores_uploads " + std::to_string(uploads) +
         "\n# TYPE gackatron_scores_store_seconds histogram\n";
    for (auto &h : sv_mstore) {
        std::string op = "{op=\"" + h.first + "\"";
        for (size_t i = 0; i < sizeof(sv_mbuckets) / sizeof(sv_mbuckets[0]); i++) {
            char le[32];
            snprintf(le, sizeof(le), "%g", sv_mbuckets[i]);
            s += "gackatron_scores_store_seconds_bucket" + op + ",le=\"" + le + "\"} " +
                 std::to_string(h.second.count[i]) + "\n";
        }
        char sum[64];
        snprintf(sum, sizeof(sum), "%.6f", h.second.sum);
        s += "gackatron_scores_store_seconds_bucket" + op + ",le=\"+Inf\"} " + std::to_string(h.second.n) + "\n" +
             "gackatron_scores_store_seconds_sum" + op + "} " + sum + "\n" +
             "gackatron_scores_store_seconds_count" + op + "} " + std::to_string(h.second.n) + "\n";
    }
    return s;
}

/* ---- addresses ---- */

bool SV_Address(const char *text, std::string *out)
{
    unsigned char a[16];
    char buf[INET6_ADDRSTRLEN];
    if (inet_pton(AF_INET, text, a) == 1)
        *out = inet_ntop(AF_INET, a, buf, sizeof(buf));
    else if (inet_pton(AF_INET6, text, a) == 1)
        *out = inet_ntop(AF_INET6, a, buf, sizeof(buf));
    else
        return false;
    if (out->compare(0, 7, "::ffff:") == 0 && out->find('.') != std::string::npos)
        out->erase(0, 7);
    return true;
}

static std::string SV_SockAddress(const struct sockaddr *sa)
{
    char buf[INET6_ADDRSTRLEN] = "?";
    if (sa && sa->sa_family == AF_INET)
        inet_ntop(AF_INET, &((const struct sockaddr_in *)sa)->sin_addr, buf, sizeof(buf));
    else if (sa && sa->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &((const struct sockaddr_in6 *)sa)->sin6_addr, buf, sizeof(buf));
    std::string s;
    return SV_Address(buf, &s) ? s : buf;
}

static bool SV_IsProxy(const std::string &addr)
{
    for (const std::string &p : sv_http.proxies)
        if (p == addr)
            return true;
    return false;
}

/* ---- connections ---- */

typedef struct {
    int fd;
    std::string address;        /* the peer's */
    bool proxy;
    double opened;
    double started;             /* its request's head complete; 0 before */
    bool suspended;             /* waiting for the store */
    bool closing;
} sv_conn_t;

static std::mutex sv_connlock;
static std::set<sv_conn_t *> sv_conns;
static std::atomic<int> sv_open;       /* changed under sv_connlock */
static std::unordered_map<std::string, int> sv_peraddress;
static long long sv_refused, sv_reaped;  /* since the last log line about them */
static std::atomic<int> sv_closed;      /* connections closed since the last trim */
static std::atomic<int> sv_uploads;     /* bodies being received */
static std::atomic<int> sv_inflight;    /* requests read and not yet answered */
static std::atomic<int> sv_replaysqueued;
static std::atomic<bool> sv_stopping;   /* SIGTERM: no request waits for the store any more */

static MHD_Result SV_Accept(void *, const struct sockaddr *sa, socklen_t)
{
    std::string a = SV_SockAddress(sa);
    bool proxy = SV_IsProxy(a);
    std::lock_guard<std::mutex> g(sv_connlock);
    const char *why = NULL;
    if (sv_open >= sv_http.maxconnections)
        why = "connections";
    else if (!proxy && sv_peraddress.count(a) && sv_peraddress[a] >= sv_http.maxperaddress)
        why = "address";
    if (why) {
        sv_refused++;
        SV_MetricRefuse(why);
        return MHD_NO;
    }
    sv_open++;
    if (!proxy)
        sv_peraddress[a]++;
    return MHD_YES;
}

static void SV_Connection(void *, struct MHD_Connection *c, void **context, enum MHD_ConnectionNotificationCode code)
{
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        const union MHD_ConnectionInfo *fd = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD);
        const union MHD_ConnectionInfo *ad = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
        sv_conn_t *k = new sv_conn_t{fd ? fd->connect_fd : -1, SV_SockAddress(ad ? ad->client_addr : NULL), false,
                                     SV_Clock(), 0, false, false};
        k->proxy = SV_IsProxy(k->address);
        *context = k;
        std::lock_guard<std::mutex> g(sv_connlock);
        sv_conns.insert(k);
        return;
    }
    sv_conn_t *k = (sv_conn_t *)*context;
    if (!k)
        return;
    sv_closed++;
    std::lock_guard<std::mutex> g(sv_connlock);
    sv_conns.erase(k);
    sv_open--;
    auto it = sv_peraddress.find(k->address);
    if (!k->proxy && it != sv_peraddress.end() && --it->second <= 0)
        sv_peraddress.erase(it);
    delete k;
}

bool SV_ClientGone(int fd)
{
    char c;
    ssize_t n = recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

/* Closes what has waited past its time: a head after --timeout seconds, a
 * whole request after --upload-seconds.  A shutdown lets the worker thread
 * see the end of the connection and close it. */
void SV_HttpTick(void)
{
    static double lastlog, trimmed;
    double now = SV_Clock();
    /* after a wave of connections their buffers go back to the system */
    if (sv_closed > 64 && now > trimmed + 2) {
        sv_closed = 0;
        trimmed = now;
        malloc_trim(0);
    }
    std::lock_guard<std::mutex> g(sv_connlock);
    for (sv_conn_t *k : sv_conns) {
        if (k->suspended || k->closing)
            continue;
        if (k->started ? now > k->started + sv_http.uploadseconds : now > k->opened + sv_http.timeout) {
            shutdown(k->fd, SHUT_RDWR);
            k->closing = true;
            sv_reaped++;
            SV_MetricRefuse(k->started ? "slow-request" : "slow-head");
        } else if (k->started && SV_ClientGone(k->fd)) {
            /* the library sees a client leave in the middle of a body only
             * when its time is up */
            shutdown(k->fd, SHUT_RDWR);
            k->closing = true;
        }
    }
    if ((sv_refused || sv_reaped) && now > lastlog + 10) {
        SV_Log("connections: " + std::to_string(sv_refused) + " refused at the limits, " + std::to_string(sv_reaped) +
               " closed for their time; " + std::to_string(sv_open) + " open");
        sv_refused = sv_reaped = 0;
        lastlog = now;
    }
}

/* ---- requests ---- */

enum { SV_R_OTHER, SV_R_PAGE, SV_R_TOPTEN, SV_R_JSON, SV_R_REPLAY, SV_R_HEALTH, SV_R_METRICS };

static const struct {
    const char *path;
    bool post;
} sv_routes[] = {
    {"other", false}, {"/", false}, {"/topten.php", false}, {"/scores.json", false}, {"/replay", true},
    {"/healthz", false}, {"/metrics", false},
};

typedef struct {
    struct MHD_Connection *c;
    sv_conn_t *conn;
    std::string uri;            /* as the request line has it */
    std::string query;
    std::string head;           /* for the log: client, method, path and query */
    double t0;
    int route;
    bool begun, upload, answered, queued, counted;
    std::string body;
    sv_job_t job;
    int status;
    size_t bytes;
    int over;
    const char *note;
} sv_req_t;

static const char *sv_notes[SV_NUMANSWERS] = {
    NULL, NULL, "refused=request", "refused=game", "refused=size", "refused=table", "refused=rate",
    "refused=busy", "refused=store", "refused=noentry", "refused=demo", "refused=demosize", "refused=noverify",
    "refused=replays", "refused=entrywaits", "refused=frames",
};

static void *SV_Uri(void *, const char *uri, struct MHD_Connection *c)
{
    sv_req_t *r = new sv_req_t();
    r->c = c;
    r->uri = uri;
    const union MHD_ConnectionInfo *k = MHD_get_connection_info(c, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    r->conn = k ? (sv_conn_t *)k->socket_context : NULL;
    return r;
}

/* kind: 0 plain text, 1 the page, 2 JSON, 3 metrics; plain text is in
 * codepage (an old launcher's tables and every message are in its system's) */
static MHD_Result SV_Respond(sv_req_t *r, int status, const std::string &body, int kind, const char *allow = NULL,
                             int codepage = HS_UTF8)
{
    struct MHD_Response *res = MHD_create_response_from_buffer(body.size(), (void *)body.data(), MHD_RESPMEM_MUST_COPY);
    if (!res)
        return MHD_NO;
    static const char *headers[4][5][2] = {
        {{"Content-Type", "text/plain; charset=utf-8"}, {"Cache-Control", "no-store"}},
        {{"Content-Type", "text/html; charset=utf-8"},
         {"Content-Security-Policy", "default-src 'none'; style-src 'unsafe-inline'"},
         {"X-Content-Type-Options", "nosniff"}, {"Cache-Control", "no-cache"}},
        {{"Content-Type", "application/json"}, {"X-Content-Type-Options", "nosniff"},
         {"Access-Control-Allow-Origin", "*"}, {"Cache-Control", "no-cache"}},
        {{"Content-Type", "text/plain; version=0.0.4; charset=utf-8"}, {"Cache-Control", "no-store"}},
    };
    for (int i = 0; i < 5 && headers[kind][i][0]; i++)
        if (kind != 0 || i != 0 || codepage == HS_UTF8)
            MHD_add_response_header(res, headers[kind][i][0], headers[kind][i][1]);
    if (kind == 0 && codepage != HS_UTF8)
        MHD_add_response_header(res, "Content-Type", ("text/plain; charset=windows-" + std::to_string(codepage)).c_str());
    if (allow)
        MHD_add_response_header(res, "Allow", allow);
    /* one request a connection: no idle connections pile up */
    MHD_add_response_header(res, "Connection", "close");
    MHD_Result ok = MHD_queue_response(r->c, status, res);
    MHD_destroy_response(res);
    r->answered = true;
    r->status = status;
    r->bytes = body.size();
    return ok;
}

/* A refusal the launcher shows: MSG:caption:text, status 200. */
static MHD_Result SV_Refuse(sv_req_t *r, int answer, int country, const char *reason = NULL)
{
    r->note = sv_notes[answer];
    SV_MetricRefuse(reason ? reason : sv_notes[answer] + 8);
    return SV_Respond(r, 200, SV_Message(answer, country, 0), 0, NULL, HS_CountryCodePage(country));
}

static MHD_Result SV_Header(void *cls, enum MHD_ValueKind, const char *key, const char *value)
{
    if (strcasecmp(key, "X-Forwarded-For") == 0)
        *(std::string *)cls = value;
    return MHD_YES;
}

/* The client: the peer, or behind a trusted proxy the last address it added. */
static std::string SV_Client(sv_req_t *r)
{
    std::string peer = r->conn ? r->conn->address : "?", last, client;
    if (!r->conn || !r->conn->proxy)
        return peer;
    MHD_get_connection_values(r->c, MHD_HEADER_KIND, SV_Header, &last);
    size_t comma = last.rfind(',');
    last = last.substr(comma == std::string::npos ? 0 : comma + 1);
    last.erase(0, last.find_first_not_of(" \t"));
    last.erase(last.find_last_not_of(" \t") + 1);
    return SV_Address(last.c_str(), &client) ? client : peer;
}

/* The first value of key in the query, as it came; *found: whether the key is there. */
static std::string SV_Param(const std::string &query, const char *key, bool *found = NULL)
{
    if (found)
        *found = true;
    size_t klen = strlen(key);
    for (size_t at = 0; at <= query.size();) {
        size_t amp = query.find('&', at);
        if (amp == std::string::npos)
            amp = query.size();
        if (query.compare(at, klen, key) == 0 && at + klen < amp && query[at + klen] == '=')
            return query.substr(at + klen + 1, amp - at - klen - 1);
        at = amp + 1;
    }
    if (found)
        *found = false;
    return "";
}

static void SV_UploadDone(sv_req_t *r)
{
    if (r->upload)
        sv_uploads--;
    r->upload = false;
}

/* The head has arrived: route it, refuse what cannot be taken before its body. */
static MHD_Result SV_Begin(sv_req_t *r, const char *method)
{
    r->begun = true;
    r->t0 = SV_Clock();
    sv_inflight++;
    r->counted = true;
    if (r->conn) {
        std::lock_guard<std::mutex> g(sv_connlock);
        r->conn->started = r->t0;
    }
    size_t q = r->uri.find('?');
    std::string path = r->uri.substr(0, q);
    r->query = q == std::string::npos ? "" : r->uri.substr(q + 1);
    r->job.replay.address = SV_Client(r);
    r->head = r->job.replay.address + " " + SV_LogQuery(method) + " " + SV_LogQuery(path) +
              (r->query.empty() ? "" : "?" + SV_LogQuery(r->query));
    r->route = SV_R_OTHER;
    for (int i = 1; i < (int)(sizeof(sv_routes) / sizeof(sv_routes[0])); i++)
        if (path == sv_routes[i].path)
            r->route = i;
    bool get = strcmp(method, "GET") == 0 || strcmp(method, "HEAD") == 0;
    if (r->route == SV_R_OTHER)
        return SV_Respond(r, 404, "Not found.\n", 0);
    if (sv_routes[r->route].post ? strcmp(method, "POST") != 0 : !get)
        return sv_routes[r->route].post ? SV_Respond(r, 405, "Only POST here.\n", 0, "POST")
                                        : SV_Respond(r, 405, "Only GET here.\n", 0, "GET, HEAD");
    if (r->route != SV_R_REPLAY)
        return MHD_YES;

    /* a replay: everything but the demo is known now */
    sv_replay_t check;
    int answer = SV_ParseReplay(r->query, "", &check);
    if (answer != SV_BADDEMO)
        return SV_Refuse(r, answer == SV_OK ? SV_BADDEMO : answer, check.country);
    if (SV_VerifyOff())
        return SV_Refuse(r, SV_NOVERIFY, check.country);
    const char *len = MHD_lookup_connection_value(r->c, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
    unsigned long long declared = len ? strtoull(len, NULL, 10) : 0;
    if (declared > SV_MAXDEMO)
        return SV_Refuse(r, SV_DEMOLARGE, check.country);
    r->upload = true;
    if (++sv_uploads > sv_http.maxuploads || sv_replaysqueued >= SV_MAXREPLAYS) {
        SV_UploadDone(r);
        return SV_Refuse(r, SV_BUSY, check.country, "uploads");
    }
    r->body.reserve(declared);
    return MHD_YES;
}

static void SV_JobDone(sv_job_t *job)
{
    sv_req_t *r = (sv_req_t *)job->owner;
    if (job->kind == SV_JOB_REPLAY)
        sv_replaysqueued--;
    if (r->conn) {
        std::lock_guard<std::mutex> g(sv_connlock);
        r->conn->suspended = false;
    }
    MHD_resume_connection(r->c);
}

/* Waits (suspended) for the store thread.  Once the server stops, a request
 * read after the last look for unanswered ones is told to come again: the
 * library cannot stop with a request suspended. */
static MHD_Result SV_ToStore(sv_req_t *r, int kind)
{
    if (sv_stopping)
        return SV_Refuse(r, SV_BUSY, r->job.req.country, "stopping");
    r->job.kind = kind;
    r->job.fd = r->conn ? r->conn->fd : -1;
    r->job.done = SV_JobDone;
    r->job.owner = r;
    r->queued = true;
    if (kind == SV_JOB_REPLAY)
        sv_replaysqueued++;
    if (r->conn) {
        std::lock_guard<std::mutex> g(sv_connlock);
        r->conn->suspended = true;
    }
    MHD_suspend_connection(r->c);
    if (!SV_Queue(&r->job)) {
        r->job.answer = SV_BUSY;
        SV_JobDone(&r->job);
    }
    return MHD_YES;
}

/* The packed world table the launcher receives. */
static MHD_Result SV_Table(sv_req_t *r, int added)
{
    if (!r->job.req.getlist) {
        r->job.added = added;
        return SV_Respond(r, 200, SV_Message(SV_MERGED, r->job.req.country, added), 0, NULL,
                          HS_CountryCodePage(r->job.req.country));
    }
    sv_lists_t world;
    double t0 = SV_Clock();
    bool ok = SV_StoreLists(-1, sv_verifiedonly, &world);
    SV_MetricStore("read", SV_Clock() - t0);
    if (!ok) {
        SV_Log("store: lists failed: " + SV_StoreError());
        return SV_Refuse(r, SV_STOREFAIL, r->job.req.country);
    }
    /* an older launcher reads its answer in the code page it sent */
    return SV_Respond(r, 200, SV_PackLists(&world, r->job.req.codepage), 0, NULL, r->job.req.codepage);
}

/* The page in the reader's language, or the JSON of one level or of all. */
static MHD_Result SV_Lists(sv_req_t *r)
{
    bool haslevel;
    std::string c = SV_Param(r->query, "country"), l = SV_Param(r->query, "level", &haslevel);
    int country = !c.empty() && c.size() <= 6 && c.find_first_not_of("0123456789") == std::string::npos ? atoi(c.c_str()) : -1;
    bool verified = SV_Param(r->query, "verified") == "1";
    int level = l.size() == 1 && l[0] >= '0' && l[0] < '0' + SV_LEVELS ? l[0] - '0' : -1;
    if (r->route == SV_R_JSON && level < 0 && haslevel)
        return SV_Respond(r, 400, "level=0..5 wanted.\n", 0);
    const char *accept = MHD_lookup_connection_value(r->c, MHD_HEADER_KIND, MHD_HTTP_HEADER_ACCEPT_LANGUAGE);
    int lang = SV_Language(SV_Param(r->query, "lang"), accept ? accept : "");
    sv_lists_t lists;
    std::vector<std::pair<int, int>> countries;
    double t0 = SV_Clock();
    bool ok = (r->route == SV_R_JSON || SV_StoreCountries(&countries)) && SV_StoreLists(country, verified, &lists, false);
    SV_MetricStore("read", SV_Clock() - t0);
    if (!ok) {
        SV_Log("store: lists failed: " + SV_StoreError());
        r->note = "refused=store";
        SV_MetricRefuse("store");
        return SV_Respond(r, 503, "The highscores cannot be read just now.\n", 0);
    }
    if (r->route == SV_R_PAGE)
        return SV_Respond(r, 200, SV_Page(country, verified, &lists, countries, lang), 1);
    return SV_Respond(r, 200, level < 0 ? SV_JsonLevels(&lists, lang) : SV_Json(lists.r[level]), 2);
}

/* The whole request is here. */
static MHD_Result SV_Serve(sv_req_t *r)
{
    /* nobody to answer: the work is not done */
    if (r->conn && SV_ClientGone(r->conn->fd)) {
        r->note = "gone";
        return MHD_NO;
    }
    switch (r->route) {
    case SV_R_PAGE:
    case SV_R_JSON:
        return SV_Lists(r);
    case SV_R_HEALTH:
        if (SV_StorePing() && !SV_StoreStalled())
            return SV_Respond(r, 200, "OK\n", 0);
        return SV_Respond(r, 503, "The store does not answer.\n", 0);
    case SV_R_METRICS:
        return SV_Respond(r, 200, SV_Metrics(sv_open, sv_uploads), 3);
    case SV_R_REPLAY: {
        int answer = SV_ParseReplay(r->query, r->body, &r->job.replay);
        if (answer == SV_OK && !SV_DemoFits(r->body))
            answer = SV_LONGDEMO;
        if (answer != SV_OK)
            return SV_Refuse(r, answer, r->job.replay.country);
        r->job.req.country = r->job.replay.country;
        r->job.demo = std::move(r->body);
        return SV_ToStore(r, SV_JOB_REPLAY);
    }
    default:
        break;
    }
    sv_request_t &q = r->job.req;
    int answer = SV_ParseQuery(r->query, &q);
    if (answer == SV_OK && q.merge && !SV_RateTake(r->job.replay.address))
        answer = SV_RATE;
    if (answer == SV_OK && q.merge)
        answer = SV_ReadEntries(&q, sv_maxpoints);
    r->over = q.overmax;
    if (answer != SV_OK)
        return SV_Refuse(r, answer, q.country);
    if (q.merge)
        return SV_ToStore(r, SV_JOB_MERGE);
    return SV_Table(r, 0);
}

/* Back from the store thread. */
static MHD_Result SV_Stored(sv_req_t *r)
{
    sv_job_t &j = r->job;
    if (j.gone) {
        r->note = "gone";
        return MHD_NO;
    }
    if (j.answer != SV_OK)
        return SV_Refuse(r, j.answer, j.req.country);
    if (j.kind == SV_JOB_REPLAY)
        return SV_Respond(r, 200, "OK", 0);
    return SV_Table(r, j.added);
}

static MHD_Result SV_Access(void *, struct MHD_Connection *c, const char *, const char *method, const char *,
                            const char *data, size_t *size, void **cls)
{
    sv_req_t *r = (sv_req_t *)*cls;
    if (!r)
        *cls = r = (sv_req_t *)SV_Uri(NULL, "/", c);
    if (!r->begun)
        return SV_Begin(r, method);
    if (*size) {
        size_t n = *size;
        *size = 0;
        if (r->answered || !r->upload)
            return MHD_YES;     /* a body nobody asked for is dropped as it comes */
        if (r->body.size() + n > SV_MAXDEMO) {
            /* no answer can be sent while a body is under way: the end of
             * the connection is the refusal */
            std::string().swap(r->body);
            SV_UploadDone(r);
            r->note = sv_notes[SV_DEMOLARGE];
            SV_MetricRefuse(sv_notes[SV_DEMOLARGE] + 8);
            return MHD_NO;
        }
        r->body.append(data, n);
        return MHD_YES;
    }
    if (r->answered)
        return MHD_YES;
    SV_UploadDone(r);
    return r->queued ? SV_Stored(r) : SV_Serve(r);
}

static void SV_Completed(void *, struct MHD_Connection *, void **cls, enum MHD_RequestTerminationCode toe)
{
    sv_req_t *r = (sv_req_t *)*cls;
    if (!r)
        return;
    *cls = NULL;
    SV_UploadDone(r);
    if (r->counted)
        sv_inflight--;
    if (r->begun) {
        if (!r->answered)
            r->status = 0;
        char tail[200];
        snprintf(tail, sizeof(tail), " %d added=%d over=%d %.1fms %zu bytes%s%s", r->status, r->job.added, r->over,
                 (SV_Clock() - r->t0) * 1e3, r->answered ? r->bytes : 0, r->note || toe ? " " : "",
                 r->note ? r->note : toe ? "gone" : "");
        SV_Log(r->head + tail);
        std::lock_guard<std::mutex> g(sv_mlock);
        sv_mrequests[{sv_routes[r->route].path, r->status}]++;
    }
    delete r;
}

/* ---- start and stop ---- */

static int SV_ListenSocket(const sv_httpopts_t &o, int *port, std::string *error)
{
    struct sockaddr_storage ss = {};
    socklen_t len;
    bool v6 = o.host.find(':') != std::string::npos;
    if (v6) {
        struct sockaddr_in6 *a = (struct sockaddr_in6 *)&ss;
        a->sin6_family = AF_INET6;
        a->sin6_port = htons((uint16_t)o.port);
        inet_pton(AF_INET6, o.host.c_str(), &a->sin6_addr);
        len = sizeof(*a);
    } else {
        struct sockaddr_in *a = (struct sockaddr_in *)&ss;
        a->sin_family = AF_INET;
        a->sin_port = htons((uint16_t)o.port);
        inet_pton(AF_INET, o.host.c_str(), &a->sin_addr);
        len = sizeof(*a);
    }
    int s = socket(ss.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0), on = 1;
    if (s >= 0)
        setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    if (s < 0 || bind(s, (struct sockaddr *)&ss, len) != 0 || listen(s, SV_BACKLOG) != 0 ||
        getsockname(s, (struct sockaddr *)&ss, &len) != 0) {
        *error = strerror(errno);
        if (s >= 0)
            close(s);
        return -1;
    }
    *port = ntohs(v6 ? ((struct sockaddr_in6 *)&ss)->sin6_port : ((struct sockaddr_in *)&ss)->sin_port);
    return s;
}

bool SV_HttpStart(const sv_httpopts_t &o, int *port, std::string *error)
{
    sv_http = o;
    int s = SV_ListenSocket(o, port, error);
    if (s < 0)
        return false;
    /* the limits of open connections are ours (SV_Accept); the library's
     * stays above them */
    sv_daemon = MHD_start_daemon(
        MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_SUPPRESS_DATE_NO_CLOCK,
        0, SV_Accept, NULL, SV_Access, NULL,
        MHD_OPTION_LISTEN_SOCKET, s,
        MHD_OPTION_THREAD_POOL_SIZE, (unsigned int)o.threads,
        MHD_OPTION_CONNECTION_LIMIT, (unsigned int)(o.maxconnections + 64) * (unsigned int)o.threads,
        MHD_OPTION_CONNECTION_TIMEOUT, (unsigned int)o.timeout,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, (size_t)SV_CONNMEMORY,
        MHD_OPTION_NOTIFY_CONNECTION, SV_Connection, NULL,
        MHD_OPTION_NOTIFY_COMPLETED, SV_Completed, NULL,
        MHD_OPTION_URI_LOG_CALLBACK, SV_Uri, NULL,
        MHD_OPTION_END);
    if (!sv_daemon) {
        *error = "the HTTP library did not start";
        close(s);
        return false;
    }
    return true;
}

int SV_HttpStop(int seconds)
{
    sv_stopping = true;
    MHD_socket l = MHD_quiesce_daemon(sv_daemon);
    if (l != MHD_INVALID_SOCKET)
        close(l);
    double end = SV_Clock() + seconds;
    while (sv_inflight > 0 && SV_Clock() < end)
        usleep(10000);
    int left = sv_inflight;
    if (left == 0)      /* with requests still suspended the library cannot stop */
        MHD_stop_daemon(sv_daemon);
    return left;
}
