/*
 * sv_store.cpp -- where the highscores live: an SQLite file (one process,
 * write-ahead log, every commit on disk before it is answered) or a
 * PostgreSQL database that several server processes share.  Both take the
 * same schema and the same statements; the table itself refuses a second
 * (level, name, points), so concurrent merges can neither double nor lose
 * an entry.  Ties keep the order in which the entries were first received
 * (the row number).  All of it runs on the store thread.  Entries carry a
 * verified flag; the replay table holds the demos waiting for a worker
 * (sv_verify.cpp takes them on connections of its own).
 */
#include "sv_local.h"

#include <atomic>
#include <map>
#include <memory>
#include <tuple>

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUrl>
#include <QVariant>

#define SV_CONNECTION "gkscores"
#define SV_CHUNK 100            /* rows per insert statement */
#define SV_SCHEMA_VERSION 2

static bool sv_pg;
static std::string sv_url;
static thread_local std::string sv_error;
static thread_local bool sv_writer;     /* the thread that opened the store */
static std::map<int, std::unique_ptr<QSqlQuery>> sv_inserts;   /* by row count */
static thread_local std::unique_ptr<QSqlQuery> sv_lists[4];     /* world, country; all, verified */

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

/* The store thread writes on its connection; every other thread reads on
 * one of its own (SQLite's write-ahead log lets readers run beside it). */
static QSqlDatabase SV_Db(void)
{
    if (sv_writer)
        return QSqlDatabase::database(SV_CONNECTION, false);
    static std::atomic<int> readers;
    static thread_local std::string name;
    if (name.empty()) {
        name = SV_CONNECTION "-read" + std::to_string(readers++);
        SV_StoreAdd(sv_url, name.c_str());
    }
    return QSqlDatabase::database(QString::fromStdString(name), false);
}

static bool SV_Fail(const QSqlError &e, const char *what)
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
        return SV_Fail(q.lastError(), "statement");
    return true;
}

/* Creates what is missing and brings an older schema up to date. */
static bool SV_Schema(void)
{
    QSqlDatabase db = SV_Db();
    QSqlQuery q(db);
    QString rowid = sv_pg ? "BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY" : "INTEGER PRIMARY KEY";
    if (!db.transaction())
        return SV_Fail(db.lastError(), "begin");
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
    /* upgrades from older versions go here, one step per version */
    if (version < 2 && !SV_Exec(q, "ALTER TABLE scores ADD COLUMN verified INTEGER NOT NULL DEFAULT 0")) {
        db.rollback();
        return false;
    }
    if (version < SV_SCHEMA_VERSION &&
        !SV_Exec(q, QString("UPDATE gk_schema SET version = %1").arg(SV_SCHEMA_VERSION))) {
        db.rollback();
        return false;
    }
    if (!db.commit())
        return SV_Fail(db.lastError(), "commit");
    return true;
}

static bool SV_Connect(void)
{
    QSqlDatabase db = SV_Db();
    if (!db.open())
        return SV_Fail(db.lastError(), "open");
    if (!sv_pg) {
        QSqlQuery q(db);
        if (!SV_Exec(q, "PRAGMA journal_mode=WAL") || !q.next() ||
            q.value(0).toString().compare("wal", Qt::CaseInsensitive) != 0) {
            sv_error = "open: the SQLite file does not take a write-ahead log";
            return false;
        }
        if (!SV_Exec(q, "PRAGMA synchronous=FULL"))
            return false;
    }
    return true;
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
    sv_url = url;
    sv_writer = true;
    SV_StoreAdd(url, SV_CONNECTION);
    bool ok = SV_Connect();
    /* two processes starting on a fresh database may race for the schema */
    for (int tries = 0; ok && !SV_Schema(); tries++) {
        if (tries == 4) {
            ok = false;
            break;
        }
        QThread::msleep(200 + 300 * tries);
    }
    if (!ok) {
        *error = sv_error;
        SV_StoreClose();
    }
    return ok;
}

void SV_StoreClose(void)
{
    sv_inserts.clear();
    for (auto &l : sv_lists)
        l.reset();
    {
        QSqlDatabase db = SV_Db();
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
static QSqlQuery *SV_Prepare(std::unique_ptr<QSqlQuery> &q, const QString &sql)
{
    q.reset(new QSqlQuery(SV_Db()));
    q->setForwardOnly(true);
    if (!q->prepare(sql)) {
        SV_Fail(q->lastError(), "prepare");
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
    return SV_Prepare(q, sql);
}

/* One transaction for the rows; *isnew gets the rows the store did not hold. */
static bool SV_InsertRows(const std::vector<sv_newrow_t> &rows, std::map<sv_key_t, size_t> &index,
                          std::vector<bool> *isnew)
{
    QSqlDatabase db = SV_Db();
    qint64 now = QDateTime::currentSecsSinceEpoch();
    isnew->assign(rows.size(), false);
    if (!db.transaction())
        return SV_Fail(db.lastError(), "begin");
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
            SV_Fail(q->lastError(), "insert");
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
    if (!db.commit()) {
        SV_Fail(db.lastError(), "commit");
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
        if (!SV_Db().isOpen() && !SV_Connect())
            continue;
        if (SV_InsertRows(rows, index, &isnew)) {
            for (size_t i = 0; i < rows.size(); i++)
                if (isnew[i])
                    (*added)[rows[i].merge]++;
            return true;
        }
        if (!SV_Db().isOpen() || SV_Db().lastError().type() == QSqlError::ConnectionError) {
            sv_inserts.clear();
            for (auto &l : sv_lists)
                l.reset();
            SV_Db().close();
        }
    }
    return false;
}

/* ---- reading ---- */

static QSqlQuery *SV_ListsStatement(bool bycountry, bool verified)
{
    std::unique_ptr<QSqlQuery> &q = sv_lists[bycountry + 2 * verified];
    if (q)
        return q.get();
    QString sql;
    for (int l = 0; l < HS_ROWS; l++)
        sql += QString("%1SELECT * FROM (SELECT level, name, points, country, id, received, verified FROM scores"
                       " WHERE level = %2%3%5 ORDER BY points DESC, id LIMIT %4) AS b%2")
                   .arg(l ? " UNION ALL " : "").arg(l).arg(bycountry ? " AND country = ?" : "")
                   .arg(HS_ENTRIES).arg(verified ? " AND verified = 1" : "");
    sql += " ORDER BY level, points DESC, id";
    return SV_Prepare(q, sql);
}

/* The ten best of every level: of the world (country < 0) or one country. */
bool SV_StoreLists(int country, bool verified, sv_lists_t *lists)
{
    for (int l = 0; l < HS_ROWS; l++)
        lists->r[l].clear();
    if (!SV_Db().isOpen() && !SV_Connect())
        return false;
    QSqlQuery *q = SV_ListsStatement(country >= 0, verified);
    if (!q)
        return false;
    if (country >= 0)
        for (int l = 0; l < HS_ROWS; l++)
            q->bindValue(l, country);
    if (!q->exec()) {
        SV_Fail(q->lastError(), "lists");
        q->finish();
        return false;
    }
    while (q->next()) {
        int l = q->value(0).toInt();
        if (l >= 0 && l < HS_ROWS && lists->r[l].size() < HS_ENTRIES)
            lists->r[l].push_back({q->value(1).toString().toStdString(), q->value(2).toInt(), q->value(3).toInt(),
                                   q->value(5).toLongLong(), q->value(6).toInt() != 0});
    }
    q->finish();
    return true;
}

/* Countries with their number of entries, most first. */
bool SV_StoreCountries(std::vector<std::pair<int, int>> *countries)
{
    countries->clear();
    if (!SV_Db().isOpen() && !SV_Connect())
        return false;
    QSqlQuery q(SV_Db());
    q.setForwardOnly(true);
    if (!SV_Exec(q, "SELECT country, COUNT(*) FROM scores GROUP BY country ORDER BY 2 DESC, 1 LIMIT 60"))
        return false;
    while (q.next())
        countries->push_back({q.value(0).toInt(), q.value(1).toInt()});
    return true;
}

bool SV_StorePing(void)
{
    if (!SV_Db().isOpen() && !SV_Connect())
        return false;
    QSqlQuery q(SV_Db());
    return SV_Exec(q, "SELECT version FROM gk_schema") && q.next();
}

/* ---- replays ---- */

int SV_StoreReplay(const sv_replay_t &r, const std::string &demo, int maxjobs)
{
    if (!SV_Db().isOpen() && !SV_Connect())
        return SV_STOREFAIL;
    QSqlQuery q(SV_Db());
    q.setForwardOnly(true);
    q.prepare("SELECT verified, (SELECT COUNT(*) FROM replay),"
              " (SELECT COUNT(*) FROM replay WHERE level = ? AND name = ? AND points = ?)"
              " FROM scores WHERE level = ? AND name = ? AND points = ?");
    for (int k = 0; k < 2; k++) {
        q.bindValue(3 * k + 0, r.level);
        q.bindValue(3 * k + 1, QString::fromStdString(r.name));
        q.bindValue(3 * k + 2, r.points);
    }
    if (!q.exec()) {
        SV_Fail(q.lastError(), "replay");
        return SV_STOREFAIL;
    }
    if (!q.next())
        return SV_NOENTRY;
    /* a verified entry needs no more replays; a few waiting for one entry
     * are enough (one bad upload must not shut out the player's own) */
    if (q.value(0).toInt() != 0 || q.value(2).toLongLong() >= 3)
        return SV_OK;
    SV_MetricReplayQueue(q.value(1).toLongLong());
    if (q.value(1).toLongLong() >= maxjobs)
        return SV_BUSY;
    q.finish();
    QSqlQuery ins(SV_Db());
    ins.prepare("INSERT INTO replay (level, name, points, demo, received) VALUES (?, ?, ?, ?, ?)");
    ins.bindValue(0, r.level);
    ins.bindValue(1, QString::fromStdString(r.name));
    ins.bindValue(2, r.points);
    ins.bindValue(3, QByteArray::fromStdString(demo));
    ins.bindValue(4, QDateTime::currentSecsSinceEpoch());
    if (!ins.exec()) {
        SV_Fail(ins.lastError(), "replay");
        return SV_STOREFAIL;
    }
    return SV_OK;
}
