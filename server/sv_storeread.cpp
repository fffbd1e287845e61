/*
 * sv_storeread.cpp -- reading the store, on any thread (the HTTP workers):
 * each thread reads on a connection of its own, made at its first read and
 * closed when the thread ends, so readers run beside the store's write
 * thread (SQLite's write-ahead log, PostgreSQL's snapshots).  Every read is
 * served by indexes: the ten best of every level, of the world or of one
 * country, of all or of the verified entries, and the countries by their
 * kept entry counts.  What was read is kept for the requests that follow
 * for a second at most (another server on the same PostgreSQL); a
 * launcher's table only until this process changes the store (a merge, an
 * entry verified), so that a launcher finds its own merge in its answer,
 * while pages and JSON take what is at most a second old.
 * As many reads run at once as there are HTTP worker threads (--threads),
 * at the writer's priority: none waits for a write, or for another read.
 */
#include "sv_store.h"

#include <chrono>
#include <map>
#include <mutex>

#include <QVariant>

#define SV_KEPTMS 1000          /* how long read results are kept at most */
#define SV_MAXKEPT 256          /* results kept at once (countries, verified) */
#define SV_KEPTCOUNTRIES (-2)   /* the key of the country list */

/* ---- what was read, kept ---- */

typedef struct {
    sv_lists_t lists;
    std::vector<std::pair<int, int>> countries;
    unsigned changes;       /* sv_changes when read */
    std::chrono::steady_clock::time_point when;
} sv_kept_t;

static std::mutex sv_keptlock;
static std::map<std::pair<int, bool>, sv_kept_t> sv_kept;
static std::atomic<unsigned> sv_changes;

void SV_StoreChanged(void)
{
    sv_changes++;
}

/* What is kept under that key, read after the last change when current. */
static const sv_kept_t *SV_Kept(int country, bool verified, unsigned changes, bool current)
{
    auto it = sv_kept.find({country, verified});
    if (it == sv_kept.end() || (current && it->second.changes != changes) ||
        std::chrono::steady_clock::now() - it->second.when > std::chrono::milliseconds(SV_KEPTMS))
        return NULL;
    return &it->second;
}

static sv_kept_t &SV_Keep(int country, bool verified, unsigned changes)
{
    if (sv_kept.size() >= SV_MAXKEPT)
        sv_kept.clear();
    sv_kept_t &k = sv_kept[{country, verified}];
    k.changes = changes;
    k.when = std::chrono::steady_clock::now();
    return k;
}

/* ---- a read connection a thread ---- */

typedef struct sv_reader_s {
    std::string name;                       /* of the connection; empty: none yet */
    int opened = 0;                         /* sv_storeopened when it was made */
    std::unique_ptr<QSqlQuery> lists[4];    /* world, country; all, verified */
    std::unique_ptr<QSqlQuery> countries, ping, waiting;
    ~sv_reader_s();
} sv_reader_t;

static thread_local sv_reader_t sv_reader;
static std::atomic<int> sv_readers;

void SV_StoreReaderClose(void)
{
    sv_reader_t &r = sv_reader;
    if (r.name.empty())
        return;
    for (auto &l : r.lists)
        l.reset();
    r.countries.reset();
    r.ping.reset();
    r.waiting.reset();
    {
        QSqlDatabase db = QSqlDatabase::database(QString::fromStdString(r.name), false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(QString::fromStdString(r.name));
    r.name.clear();
}

sv_reader_s::~sv_reader_s()
{
    SV_StoreReaderClose();
}

/* This thread's read connection, opened when needed; invalid on failure. */
static QSqlDatabase SV_ReadDb(void)
{
    sv_reader_t &r = sv_reader;
    if (!r.name.empty() && r.opened != sv_storeopened)
        SV_StoreReaderClose();      /* made for a store closed since */
    if (r.name.empty()) {
        if (sv_storeurl.empty()) {
            SV_StoreSetError("read: the store is not open");
            return QSqlDatabase();
        }
        r.name = "gkread" + std::to_string(sv_readers++);
        r.opened = sv_storeopened;
        SV_StoreAdd(sv_storeurl, r.name.c_str());
    }
    QSqlDatabase db = QSqlDatabase::database(QString::fromStdString(r.name), false);
    if (!db.isOpen() && !db.open()) {
        SV_StoreFail(db.lastError(), "read");
        return QSqlDatabase();
    }
    return db;
}

/* Runs the statement that make() prepares (and binds) on this thread's
 * connection; a connection lost since the last read (a restarted
 * database) is made again once.  NULL on failure. */
static QSqlQuery *SV_Read(const char *what, QSqlQuery *(*make)(QSqlDatabase db, const void *arg), const void *arg)
{
    for (int tries = 0; tries < 2; tries++) {
        QSqlDatabase db = SV_ReadDb();
        QSqlQuery *q = db.isValid() ? make(db, arg) : NULL;
        if (!q)
            return NULL;
        if (q->exec())
            return q;
        SV_StoreFail(q->lastError(), what);
        bool lost = q->lastError().type() == QSqlError::ConnectionError || !db.isOpen();
        q->finish();
        if (!lost)
            return NULL;
        SV_StoreReaderClose();
    }
    return NULL;
}

/* ---- the reads ---- */

static QSqlQuery *SV_ListsStatement(QSqlDatabase db, const void *arg)
{
    int country = ((const int *)arg)[0];
    bool verified = ((const int *)arg)[1] != 0, bycountry = country >= 0;
    std::unique_ptr<QSqlQuery> &q = sv_reader.lists[bycountry + 2 * verified];
    if (!q) {
        QString sql;
        for (int l = 0; l < HS_ROWS; l++)
            sql += QString("%1SELECT * FROM (SELECT level, name, points, country, id, received, verified FROM scores"
                           " WHERE level = %2%3%5 ORDER BY points DESC, id LIMIT %4) AS b%2")
                       .arg(l ? " UNION ALL " : "").arg(l).arg(bycountry ? " AND country = ?" : "")
                       .arg(HS_ENTRIES).arg(verified ? " AND verified = 1" : "");
        sql += " ORDER BY level, points DESC, id";
        if (!SV_StorePrepare(q, db, sql))
            return NULL;
    }
    if (bycountry)
        for (int l = 0; l < HS_ROWS; l++)
            q->bindValue(l, country);
    return q.get();
}

/* The ten best of every level: of the world (country < 0) or one country. */
bool SV_StoreLists(int country, bool verified, sv_lists_t *lists, bool current)
{
    unsigned changes = sv_changes;
    if (country < 0)
        country = -1;
    {
        std::lock_guard<std::mutex> lock(sv_keptlock);
        if (const sv_kept_t *k = SV_Kept(country, verified, changes, current)) {
            *lists = k->lists;
            return true;
        }
    }
    for (int l = 0; l < HS_ROWS; l++)
        lists->r[l].clear();
    int arg[2] = {country, verified};
    QSqlQuery *q = SV_Read("lists", SV_ListsStatement, arg);
    if (!q)
        return false;
    while (q->next()) {
        int l = q->value(0).toInt();
        if (l >= 0 && l < HS_ROWS && lists->r[l].size() < HS_ENTRIES)
            lists->r[l].push_back({q->value(1).toString().toStdString(), q->value(2).toInt(), q->value(3).toInt(),
                                   q->value(5).toLongLong(), q->value(6).toInt() != 0});
    }
    q->finish();
    std::lock_guard<std::mutex> lock(sv_keptlock);
    SV_Keep(country, verified, changes).lists = *lists;
    return true;
}

static QSqlQuery *SV_CountriesStatement(QSqlDatabase db, const void *)
{
    std::unique_ptr<QSqlQuery> &q = sv_reader.countries;
    return q ? q.get()
             : SV_StorePrepare(q, db, "SELECT country, entries FROM gk_countries WHERE entries > 0"
                                      " ORDER BY entries DESC, country LIMIT 60");
}

/* Countries with their number of entries, most first (kept a second). */
bool SV_StoreCountries(std::vector<std::pair<int, int>> *countries)
{
    unsigned changes = sv_changes;
    {
        std::lock_guard<std::mutex> lock(sv_keptlock);
        if (const sv_kept_t *k = SV_Kept(SV_KEPTCOUNTRIES, false, changes, false)) {
            *countries = k->countries;
            return true;
        }
    }
    countries->clear();
    QSqlQuery *q = SV_Read("countries", SV_CountriesStatement, NULL);
    if (!q)
        return false;
    while (q->next())
        countries->push_back({q->value(0).toInt(), q->value(1).toInt()});
    q->finish();
    std::lock_guard<std::mutex> lock(sv_keptlock);
    SV_Keep(SV_KEPTCOUNTRIES, false, changes).countries = *countries;
    return true;
}

static QSqlQuery *SV_PingStatement(QSqlDatabase db, const void *)
{
    std::unique_ptr<QSqlQuery> &q = sv_reader.ping;
    return q ? q.get() : SV_StorePrepare(q, db, "SELECT version FROM gk_schema");
}

/* The store answers a trivial read (never kept). */
bool SV_StorePing(void)
{
    QSqlQuery *q = SV_Read("ping", SV_PingStatement, NULL);
    bool ok = q && q->next();
    if (q)
        q->finish();
    return ok;
}

static QSqlQuery *SV_WaitingStatement(QSqlDatabase db, const void *)
{
    std::unique_ptr<QSqlQuery> &q = sv_reader.waiting;
    return q ? q.get() : SV_StorePrepare(q, db, "SELECT COUNT(*) FROM replay");
}

/* The replays in the store now, waiting or being replayed; -1 on failure. */
long long SV_StoreWaiting(void)
{
    QSqlQuery *q = SV_Read("waiting", SV_WaitingStatement, NULL);
    long long n = q && q->next() ? q->value(0).toLongLong() : -1;
    if (q)
        q->finish();
    return n;
}
