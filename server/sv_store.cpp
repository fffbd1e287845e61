/*
 * sv_store.cpp -- where the highscores live: an SQLite file (one process,
 * write-ahead log, every commit on disk before it is answered) or a
 * PostgreSQL database that several server processes share.  Both take the
 * same schema and the same statements; the table itself refuses a second
 * (level, name, points), so concurrent merges can neither double nor lose
 * an entry.  Ties keep the order in which the entries were first received
 * (the row number).  Here: the schema and its upgrades, and what runs on
 * the store's one write thread: merges, which keep the number of entries
 * of every level and country up to date in the same transaction and use
 * it to keep only the best --keep of each, and the queued replays.  The
 * reads run on other threads (sv_storeread.cpp); SQLite's checkpoints have
 * a thread of their own, so that a merge waits for nothing but its own
 * commit.  Entries carry a verified flag; the replay table holds the demos
 * waiting for a worker (sv_verify.cpp takes them on connections of its
 * own), each with its sender's address and turn.
 */
#include "sv_store.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>

#include <QDateTime>
#include <QThread>
#include <QUrl>
#include <QVariant>

#define SV_CONNECTION "gkscores"
#define SV_CHUNK 100            /* rows per insert statement */
#define SV_SCHEMA_VERSION 3
#define SV_ENTRYREPLAYS 3       /* replays waiting for one entry */
#define SV_PRUNECHUNK 200       /* entries past --keep removed by one merge */
#define SV_CHECKPOINTMS 500     /* between SQLite's checkpoints */

static bool sv_pg;
std::string sv_storeurl;
std::atomic<int> sv_storeopened;
static thread_local std::string sv_error;
static int sv_keep = SV_KEEPDEFAULT;
static int sv_peraddress = SV_REPLAYSPERADDRESS;
static std::map<int, std::unique_ptr<QSqlQuery>> sv_inserts;   /* by row count */

/* The row number is the one place where the two dialects differ. */
static const char *sv_schema[] = {
    "CREATE TABLE IF NOT EXISTS gk_schema (version INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS scores ("
    " id %ROWID%,"
    " level INTEGER NOT NULL CHECK (level >= 0 AND level < 8),"
    " name VARCHAR(64) NOT NULL,"
    " points INTEGER NOT NULL CHECK (points > 0),"
    " country INTEGER NOT NULL,"
    " received BIGINT NOT NULL,"
    " CONSTRAINT scores_entry UNIQUE (level, name, points))",
    "CREATE INDEX IF NOT EXISTS scores_best ON scores (level, points DESC, id)",
    "CREATE INDEX IF NOT EXISTS scores_country ON scores (country, level, points DESC, id)",
    "CREATE TABLE IF NOT EXISTS replay ("
    " id %ROWID%,"
    " level INTEGER NOT NULL,"
    " name VARCHAR(64) NOT NULL,"
    " points INTEGER NOT NULL,"
    " demo %BLOB% NOT NULL,"
    " received BIGINT NOT NULL,"
    " taken INTEGER NOT NULL DEFAULT 0)",
    "INSERT INTO gk_schema (version) SELECT 0 WHERE NOT EXISTS (SELECT 1 FROM gk_schema)",
};

/* Upgrades, one list a version: the statements that bring the one before to it. */
static const char *sv_upgrade2[] = {
    "ALTER TABLE scores ADD COLUMN verified INTEGER NOT NULL DEFAULT 0",
    NULL,
};
static const char *sv_upgrade3[] = {
    "ALTER TABLE replay ADD COLUMN address VARCHAR(64) NOT NULL DEFAULT ''",
    "ALTER TABLE replay ADD COLUMN turn INTEGER NOT NULL DEFAULT 0",
    "CREATE INDEX scores_vbest ON scores (level, points DESC, id) WHERE verified = 1",
    "CREATE INDEX scores_vcountry ON scores (country, level, points DESC, id) WHERE verified = 1",
    "CREATE TABLE gk_counts (level INTEGER NOT NULL, country INTEGER NOT NULL, entries BIGINT NOT NULL,"
    " PRIMARY KEY (level, country))",
    "INSERT INTO gk_counts (level, country, entries) SELECT level, country, COUNT(*) FROM scores"
    " GROUP BY level, country",
    "CREATE TABLE gk_countries (country INTEGER NOT NULL PRIMARY KEY, entries BIGINT NOT NULL)",
    "INSERT INTO gk_countries (country, entries) SELECT country, SUM(entries) FROM gk_counts GROUP BY country",
    "CREATE INDEX gk_countries_most ON gk_countries (entries DESC, country)",
    NULL,
};
static const char *const *sv_upgrades[] = {NULL, NULL, sv_upgrade2, sv_upgrade3};

void SV_StoreSetError(const std::string &e)
{
    sv_error = e;
}

static QSqlDatabase SV_Db(void)
{
    return QSqlDatabase::database(SV_CONNECTION, false);
}

bool SV_StoreFail(const QSqlError &e, const char *what)
{
    sv_error = std::string(what) + ": " + e.text().toStdString();
    return false;
}

std::string SV_StoreError(void)
{
    return sv_error;
}

static bool SV_Exec(QSqlQuery &q, const QString &sql)
{
    if (!q.exec(sql))
        return SV_StoreFail(q.lastError(), "statement");
    return true;
}

/* Creates what is missing and brings an older schema up to date. */
static bool SV_Schema(void)
{
    QSqlDatabase db = SV_Db();
    QSqlQuery q(db);
    QString rowid = sv_pg ? "BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY" : "INTEGER PRIMARY KEY";
    if (!db.transaction())
        return SV_StoreFail(db.lastError(), "begin");
    for (const char *s : sv_schema)
        if (!SV_Exec(q, QString(s).replace("%ROWID%", rowid).replace("%BLOB%", sv_pg ? "BYTEA" : "BLOB"))) {
            db.rollback();
            return false;
        }
    if (!SV_Exec(q, "SELECT version FROM gk_schema") || !q.next()) {
        db.rollback();
        return false;
    }
    int version = q.value(0).toInt();
    for (int v = version + 1; v <= SV_SCHEMA_VERSION; v++)
        for (const char *const *u = sv_upgrades[v]; u && *u; u++)
            if (!SV_Exec(q, *u)) {
                db.rollback();
                return false;
            }
    if (version < SV_SCHEMA_VERSION &&
        !SV_Exec(q, QString("UPDATE gk_schema SET version = %1").arg(SV_SCHEMA_VERSION))) {
        db.rollback();
        return false;
    }
    if (!db.commit())
        return SV_StoreFail(db.lastError(), "commit");
    return true;
}

static bool SV_Connect(QSqlDatabase db)
{
    if (!db.open())
        return SV_StoreFail(db.lastError(), "open");
    if (!sv_pg) {
        QSqlQuery q(db);
        if (!SV_Exec(q, "PRAGMA journal_mode=WAL"))
            return false;   /* not a database, or not readable: SQLite's own words */
        if (!q.next() || q.value(0).toString().compare("wal", Qt::CaseInsensitive) != 0) {
            SV_StoreSetError("open: the SQLite file does not take a write-ahead log");
            return false;
        }
        /* checkpoints (copying the log into the file, with its sync) are
         * the checkpoint thread's, never a merge's */
        if (!SV_Exec(q, "PRAGMA synchronous=FULL") || !SV_Exec(q, "PRAGMA wal_autocheckpoint=0"))
            return false;
    }
    return true;
}

/* ---- SQLite's checkpoints, on a thread of their own ---- */

static std::thread sv_checkpointer;
static std::mutex sv_cplock;
static std::condition_variable sv_cpwake;
static bool sv_cpstop;

/* Copies what the log holds into the file twice a second, beside the
 * writer and the readers; the log starts again from its beginning once it
 * is copied whole and no reader still needs it. */
static void SV_Checkpoints(void)
{
    SV_StoreAdd(sv_storeurl, "gkcheckpoint");
    {
        QSqlDatabase db = QSqlDatabase::database("gkcheckpoint", false);
        QSqlQuery q(db);
        std::unique_lock<std::mutex> lock(sv_cplock);
        bool failing = false;
        while (!sv_cpwake.wait_for(lock, std::chrono::milliseconds(SV_CHECKPOINTMS), [] { return sv_cpstop; })) {
            bool ok = (db.isOpen() || db.open()) && q.exec("PRAGMA wal_checkpoint(PASSIVE)");
            if (!ok && !failing)
                SV_Log("store: checkpoint failed: " + (db.isOpen() ? q.lastError() : db.lastError()).text().toStdString());
            failing = !ok;
        }
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase("gkcheckpoint");
}

static void SV_CheckpointsStop(void)
{
    if (!sv_checkpointer.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(sv_cplock);
        sv_cpstop = true;
    }
    sv_cpwake.notify_all();
    sv_checkpointer.join();
}

bool SV_StoreIsPostgres(const std::string &url)
{
    QString u = QString::fromStdString(url);
    return u.startsWith("postgresql://") || u.startsWith("postgres://");
}

bool SV_StoreAdd(const std::string &url, const char *connection)
{
    QString u = QString::fromStdString(url);
    if (SV_StoreIsPostgres(url)) {
        QUrl q(u);
        QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", connection);
        db.setHostName(q.host());
        db.setPort(q.port(5432));
        db.setUserName(q.userName());
        db.setPassword(q.password());
        db.setDatabaseName(q.path().mid(1));
        db.setConnectOptions("connect_timeout=10");
    } else {
        if (u.startsWith("sqlite:"))
            u = u.mid(7);
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", connection);
        db.setDatabaseName(u);
        db.setConnectOptions("QSQLITE_BUSY_TIMEOUT=10000");
    }
    return QSqlDatabase::database(connection, false).isValid();
}

bool SV_StoreOpen(const std::string &url, std::string *error)
{
    sv_pg = SV_StoreIsPostgres(url);
    sv_storeurl = url;
    SV_StoreAdd(url, SV_CONNECTION);
    bool ok = SV_Connect(SV_Db());
    /* two processes starting on a fresh database may race for the schema */
    for (int tries = 0; ok && !SV_Schema(); tries++) {
        if (tries == 4) {
            ok = false;
            break;
        }
        QThread::msleep(200 + 300 * tries);
    }
    sv_storeopened++;
    SV_StoreChanged();
    if (!ok) {
        *error = SV_StoreError();
        SV_StoreClose();
    } else if (!sv_pg) {
        sv_cpstop = false;
        sv_checkpointer = std::thread(SV_Checkpoints);
    }
    return ok;
}

void SV_StoreLimits(int keep, int replaysperaddress)
{
    sv_keep = keep;
    sv_peraddress = replaysperaddress;
}

void SV_StoreClose(void)
{
    SV_CheckpointsStop();
    sv_inserts.clear();
    SV_StoreReaderClose();
    sv_storeopened++;
    {
        QSqlDatabase db = SV_Db();
        QSqlQuery q(db);
        if (db.isOpen() && !sv_pg)
            q.exec("PRAGMA wal_checkpoint(TRUNCATE)");     /* the file whole, the log empty */
        q.finish();
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(SV_CONNECTION);
}

/* ---- merging ---- */

typedef struct {
    int level;
    std::string name;
    int32_t points;
    int country;
    size_t merge;       /* the first merge of the batch that offered it */
} sv_newrow_t;

typedef std::tuple<int, std::string, int32_t> sv_key_t;

/* A forward-only statement prepared once and kept in q; NULL on failure. */
QSqlQuery *SV_StorePrepare(std::unique_ptr<QSqlQuery> &q, QSqlDatabase db, const QString &sql)
{
    q.reset(new QSqlQuery(db));
    q->setForwardOnly(true);
    if (!q->prepare(sql)) {
        SV_StoreFail(q->lastError(), "prepare");
        q.reset();
        return NULL;
    }
    return q.get();
}

static QSqlQuery *SV_InsertStatement(int n)
{
    std::unique_ptr<QSqlQuery> &q = sv_inserts[n];
    if (q)
        return q.get();
    QString sql = "INSERT INTO scores (level, name, points, country, received) VALUES ";
    for (int i = 0; i < n; i++)
        sql += i ? ",(?,?,?,?,?)" : "(?,?,?,?,?)";
    sql += " ON CONFLICT (level, name, points) DO NOTHING RETURNING level, name, points";
    return SV_StorePrepare(q, SV_Db(), sql);
}

/* Runs a prepared statement with its values; false (and finished) on failure. */
static bool SV_Run(QSqlQuery &q, const QString &sql, const std::vector<QVariant> &values, const char *what)
{
    if (!q.prepare(sql))
        return SV_StoreFail(q.lastError(), what);
    for (size_t i = 0; i < values.size(); i++)
        q.bindValue((int)i, values[i]);
    if (!q.exec()) {
        SV_StoreFail(q.lastError(), what);
        q.finish();
        return false;
    }
    return true;
}

/* Adds to the entries of a level and country (level -1: the country's
 * total); *now gets the new count. */
static bool SV_Count(int level, int country, qlonglong add, qlonglong *now)
{
    QSqlQuery q(SV_Db());
    q.setForwardOnly(true);
    bool ok = level < 0
        ? SV_Run(q, "INSERT INTO gk_countries (country, entries) VALUES (?, ?) ON CONFLICT (country)"
                    " DO UPDATE SET entries = gk_countries.entries + excluded.entries RETURNING entries",
                 {country, add}, "count")
        : SV_Run(q, "INSERT INTO gk_counts (level, country, entries) VALUES (?, ?, ?) ON CONFLICT (level, country)"
                    " DO UPDATE SET entries = gk_counts.entries + excluded.entries RETURNING entries",
                 {level, country, add}, "count");
    if (!ok)
        return false;
    *now = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    return true;
}

/* Removes the worst entries of a level and country past the best
 * sv_keep, a bounded number at a time (a store far over it, after --keep
 * was lowered, shrinks over the next merges, none of them held up);
 * *removed gets their number. */
static bool SV_Prune(int level, int country, qlonglong entries, qlonglong *removed)
{
    *removed = 0;
    if (entries <= sv_keep)
        return true;
    QSqlQuery q(SV_Db());
    qlonglong n = std::min(entries - sv_keep, (qlonglong)SV_PRUNECHUNK);
    if (!SV_Run(q, "DELETE FROM scores WHERE id IN (SELECT id FROM scores WHERE country = ? AND level = ?"
                   " ORDER BY points, id DESC LIMIT ?)", {country, level, n}, "keep"))
        return false;
    *removed = q.numRowsAffected();
    qlonglong left;
    return SV_Count(level, country, -*removed, &left);
}

/* The counts of what a merge added (in key order, so that two servers
 * lock the rows of one table in the same order), pruning past --keep. */
static bool SV_CountRows(const std::vector<sv_newrow_t> &rows, const std::vector<bool> &isnew)
{
    std::map<std::pair<int, int>, qlonglong> levels;
    std::map<int, qlonglong> countries;
    for (size_t i = 0; i < rows.size(); i++)
        if (isnew[i])
            levels[{rows[i].level, rows[i].country}]++;
    for (const auto &l : levels) {
        qlonglong now, removed;
        if (!SV_Count(l.first.first, l.first.second, l.second, &now) ||
            !SV_Prune(l.first.first, l.first.second, now, &removed))
            return false;
        countries[l.first.second] += l.second - removed;
    }
    for (const auto &c : countries) {
        qlonglong now;
        if (!SV_Count(-1, c.first, c.second, &now))
            return false;
    }
    return true;
}

/* One transaction for the rows; *isnew gets the rows the store did not hold. */
static bool SV_InsertRows(const std::vector<sv_newrow_t> &rows, std::map<sv_key_t, size_t> &index,
                          std::vector<bool> *isnew)
{
    QSqlDatabase db = SV_Db();
    qint64 now = QDateTime::currentSecsSinceEpoch();
    isnew->assign(rows.size(), false);
    if (!db.transaction())
        return SV_StoreFail(db.lastError(), "begin");
    for (size_t at = 0; at < rows.size(); at += SV_CHUNK) {
        int n = (int)(rows.size() - at < SV_CHUNK ? rows.size() - at : SV_CHUNK);
        QSqlQuery *q = SV_InsertStatement(n);
        if (!q) {
            db.rollback();
            return false;
        }
        for (int i = 0; i < n; i++) {
            const sv_newrow_t &r = rows[at + i];
            q->bindValue(5 * i + 0, r.level);
            q->bindValue(5 * i + 1, QString::fromStdString(r.name));
            q->bindValue(5 * i + 2, r.points);
            q->bindValue(5 * i + 3, r.country);
            q->bindValue(5 * i + 4, now);
        }
        if (!q->exec()) {
            SV_StoreFail(q->lastError(), "insert");
            q->finish();
            db.rollback();
            return false;
        }
        while (q->next()) {
            auto k = index.find({q->value(0).toInt(), q->value(1).toString().toStdString(), q->value(2).toInt()});
            if (k != index.end())
                (*isnew)[k->second] = true;
        }
        q->finish();
    }
    if (!SV_CountRows(rows, *isnew)) {
        db.rollback();
        return false;
    }
    if (!db.commit()) {
        SV_StoreFail(db.lastError(), "commit");
        db.rollback();
        return false;
    }
    return true;
}

/* Stores what a batch of merges offers, in the order it came, as one
 * transaction; added[i] counts the new entries of merge i.  False: nothing
 * of the batch was stored. */
bool SV_StoreMerge(const std::vector<const sv_request_t *> &merges, std::vector<int> *added)
{
    std::vector<sv_newrow_t> rows;
    std::map<sv_key_t, size_t> index;
    added->assign(merges.size(), 0);
    for (size_t m = 0; m < merges.size(); m++)
        for (const sv_entry_t &e : merges[m]->entries)
            if (index.emplace(sv_key_t{e.level, e.name, e.points}, rows.size()).second)
                rows.push_back({e.level, e.name, e.points, merges[m]->country, m});
    if (rows.empty())
        return true;
    /* a lost connection or a deadlock between two servers: try again */
    std::vector<bool> isnew;
    for (int tries = 0; tries < 3; tries++) {
        if (!SV_Db().isOpen() && !SV_Connect(SV_Db()))
            continue;
        if (SV_InsertRows(rows, index, &isnew)) {
            for (size_t i = 0; i < rows.size(); i++)
                if (isnew[i])
                    (*added)[rows[i].merge]++;
            SV_StoreChanged();
            return true;
        }
        if (!SV_Db().isOpen() || SV_Db().lastError().type() == QSqlError::ConnectionError) {
            sv_inserts.clear();
            SV_Db().close();
        }
    }
    return false;
}

/* ---- replays ---- */

/* What the store holds of an entry and its waiting replays. */
typedef struct {
    bool held, verified;
    qlonglong waiting, forentry, fromaddress, fromaddressforentry;
} sv_replaycounts_t;

static bool SV_ReplayCounts(const sv_replay_t &r, sv_replaycounts_t *c)
{
    QSqlQuery q(SV_Db());
    q.setForwardOnly(true);
    QString name = QString::fromStdString(r.name), address = QString::fromStdString(r.address);
    if (!SV_Run(q, "SELECT verified, (SELECT COUNT(*) FROM replay),"
                   " (SELECT COUNT(*) FROM replay WHERE level = ? AND name = ? AND points = ?),"
                   " (SELECT COUNT(*) FROM replay WHERE address = ?),"
                   " (SELECT COUNT(*) FROM replay WHERE level = ? AND name = ? AND points = ? AND address = ?)"
                   " FROM scores WHERE level = ? AND name = ? AND points = ?",
                {r.level, name, r.points, address, r.level, name, r.points, address, r.level, name, r.points},
                "replay"))
        return false;
    c->held = q.next();
    if (c->held) {
        c->verified = q.value(0).toInt() != 0;
        c->waiting = q.value(1).toLongLong();
        c->forentry = q.value(2).toLongLong();
        c->fromaddress = q.value(3).toLongLong();
        c->fromaddressforentry = q.value(4).toLongLong();
    }
    q.finish();
    return true;
}

/* A replay of an entry the store holds joins the queue behind its
 * sender's waiting ones: its turn is how many of them wait, and workers
 * take the lowest turn first, so every address gets its first replay
 * done before anyone's second. */
int SV_StoreReplay(const sv_replay_t &r, const std::string &demo, int maxjobs)
{
    if (!SV_Db().isOpen() && !SV_Connect(SV_Db()))
        return SV_STOREFAIL;
    sv_replaycounts_t c = {};
    if (!SV_ReplayCounts(r, &c))
        return SV_STOREFAIL;
    if (!c.held)
        return SV_NOENTRY;
    if (c.verified)
        return SV_OK;       /* nothing left to do */
    if (c.fromaddress >= sv_peraddress)
        return SV_REPLAYLIMIT;
    if (c.forentry >= SV_ENTRYREPLAYS || c.fromaddressforentry > 0)
        return SV_ENTRYWAITS;
    if (c.waiting >= maxjobs)
        return SV_BUSY;
    QSqlQuery ins(SV_Db());
    if (!SV_Run(ins, "INSERT INTO replay (level, name, points, demo, received, address, turn)"
                     " VALUES (?, ?, ?, ?, ?, ?, ?)",
                {r.level, QString::fromStdString(r.name), r.points, QByteArray::fromStdString(demo),
                 QDateTime::currentSecsSinceEpoch(), QString::fromStdString(r.address), c.fromaddress},
                "replay"))
        return SV_STOREFAIL;
    return SV_OK;
}
