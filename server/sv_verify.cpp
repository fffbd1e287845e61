/*
 * sv_verify.cpp -- entries verified by replaying their games: worker
 * threads (a pool inside the server on SQLite, `--worker` processes on
 * PostgreSQL) take waiting replays from the store, run each demo through
 * the engine of the server's own game tree in a child process with hard
 * limits, and mark the entry verified only when the replay ends with
 * exactly its points.  Anything else leaves the entry as it was and logs
 * the reason.  At start the replay user (nobody when the server runs as
 * root) must be able to run the engine and read the game's data; where it
 * cannot (a tree in a private home), the server copies the engine, module
 * and data into a folder of its own that the user may read, or, failing
 * that, turns verification off and says why.  Demos with more frames than
 * their level's play time can hold are refused before they cost a replay.
 */
#include "sv_local.h"

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#define SV_OUTPUTMAX 4096       /* bytes of the engine's output we keep */
#define SV_IDLEWAIT 500         /* ms between looks at an empty queue */
#define SV_MAXFPS 1000          /* the engine's game clock counts whole milliseconds */
#define SV_TIMEMARGIN 15        /* seconds past the play time the engine accepts */

enum { SV_NET_OWN, SV_NET_USERNS, SV_NET_SHARED };

static sv_verifyopts_t sv_vopt;
static std::vector<std::thread> sv_workers;
static std::atomic<bool> sv_vstop;
static std::mutex sv_vlock;             /* the wait, and taking on SQLite */
static std::condition_variable sv_vwake;
static int sv_netmode = SV_NET_SHARED;
static bool sv_drop;
static uid_t sv_uid;
static gid_t sv_gid;
static std::atomic<bool> sv_off;        /* asked to verify and cannot */
static float sv_playtime[HS_ROWS];      /* seconds; 0: unknown */
static std::string sv_copy;             /* the replay user's copy of the tree */

static double SV_Now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

/* ---- one demo in a child process ---- */

/* The child, forked from a threaded process: system calls only from here
 * to the engine. */
static void SV_Child(const char *dir, char *const *argv, char *const *envp, int outfd, int errfd)
{
    setpgid(0, 0);
    int null = open("/dev/null", O_RDONLY);
    if (null < 0 || dup2(null, 0) < 0 || dup2(outfd, 1) < 0 || dup2(errfd, 2) < 0)
        _exit(126);
    close_range(3, ~0u, 0);
    if (sv_netmode == SV_NET_OWN)
        unshare(CLONE_NEWNET);
    else if (sv_netmode == SV_NET_USERNS)
        unshare(CLONE_NEWUSER | CLONE_NEWNET);
    struct rlimit cpu = {(rlim_t)sv_vopt.cpuseconds, (rlim_t)sv_vopt.cpuseconds + 1};
    struct rlimit mem = {(rlim_t)sv_vopt.memorymb << 20, (rlim_t)sv_vopt.memorymb << 20};
    struct rlimit fsize = {1 << 20, 1 << 20};
    struct rlimit core = {0, 0};
    if (setrlimit(RLIMIT_CPU, &cpu) != 0 || setrlimit(RLIMIT_AS, &mem) != 0 ||
        setrlimit(RLIMIT_FSIZE, &fsize) != 0 || setrlimit(RLIMIT_CORE, &core) != 0)
        _exit(126);
    if (sv_drop && (setgroups(0, NULL) != 0 || setgid(sv_gid) != 0 || setuid(sv_uid) != 0))
        _exit(126);
    if (chdir(dir) != 0)
        _exit(126);
    execve(argv[0], argv, envp);
    char msg[64] = "the engine cannot be started: error ";
    size_t n = strlen(msg);
    int e = errno;
    char digits[12];
    size_t d = 0;
    do
        digits[d++] = (char)('0' + e % 10);
    while ((e /= 10) > 0 && d < sizeof(digits));
    while (d > 0 && n + 2 < sizeof(msg))
        msg[n++] = digits[--d];
    msg[n++] = '\n';
    ssize_t w = write(2, msg, n);
    (void)w;
    _exit(127);
}

/* Reads what the pipes hold, at most SV_OUTPUTMAX of each; false at the end of both. */
static bool SV_Drain(struct pollfd (&p)[2], std::string *out, std::string *err, int ms)
{
    if (p[0].fd < 0 && p[1].fd < 0)
        return false;
    if (poll(p, std::size(p), ms) <= 0)
        return true;
    std::string *to[2] = {out, err};
    for (size_t i = 0; i < std::size(p); i++) {
        if (p[i].fd < 0 || !p[i].revents)
            continue;
        char buf[4096];
        ssize_t n = read(p[i].fd, buf, sizeof(buf));
        if (n > 0 && to[i]->size() < SV_OUTPUTMAX)
            to[i]->append(buf, (size_t)n < SV_OUTPUTMAX - to[i]->size() ? (size_t)n : SV_OUTPUTMAX - to[i]->size());
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
            close(p[i].fd);
            p[i].fd = -1;
        }
    }
    return true;
}

/* Runs the engine on the demo in dir; its exit status (or -signal), or
 * -1000 when the wall clock ran out, -1001 when we are stopping. */
static int SV_RunEngine(const std::string &dir, std::string *out, std::string *err)
{
    std::string exe = sv_vopt.game + "/vexengine", home = "HOME=" + dir;
    const char *args[] = {exe.c_str(), "-game", "data", "-verifydemo", "demo.dem", NULL};
    const char *env[] = {"GACKATRON_HEADLESS=1", "ALSOFT_DRIVERS=null", "PATH=/usr/bin:/bin",
                         "LANG=C.UTF-8", home.c_str(), NULL};
    int o[2], e[2];
    if (pipe2(o, O_CLOEXEC) != 0)
        return 126;
    if (pipe2(e, O_CLOEXEC) != 0) {
        close(o[0]);
        close(o[1]);
        return 126;
    }
    pid_t pid = fork();
    if (pid == 0)
        SV_Child(dir.c_str(), (char *const *)args, (char *const *)env, o[1], e[1]);
    close(o[1]);
    close(e[1]);
    if (pid < 0) {
        close(o[0]);
        close(e[0]);
        return 126;
    }
    struct pollfd p[2] = {{o[0], POLLIN, 0}, {e[0], POLLIN, 0}};
    double deadline = SV_Now() + sv_vopt.wallseconds;
    int result = 0, status = 0;
    bool exited = false;
    for (;;) {
        if (!exited && waitpid(pid, &status, WNOHANG) == pid)
            exited = true;
        bool open = SV_Drain(p, out, err, 100);
        if (exited && !open)
            break;
        if (SV_Now() > deadline || sv_vstop) {
            result = sv_vstop ? -1001 : -1000;
            kill(-pid, SIGKILL);
            if (!exited)
                waitpid(pid, &status, 0);
            break;
        }
        if (!open)
            usleep(20000);      /* both pipes closed, the child not yet gone */
    }
    for (int i = 0; i < 2; i++)
        if (p[i].fd >= 0)
            close(p[i].fd);
    if (result)
        return result;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

/* The last line of a text, printable and short, for the log. */
static std::string SV_LastLine(std::string s)
{
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.pop_back();
    size_t nl = s.find_last_of('\n');
    if (nl != std::string::npos)
        s = s.substr(nl + 1);
    if (s.size() > 160)
        s = s.substr(0, 160) + "...";
    for (char &c : s)
        if ((unsigned char)c < 0x20 || (unsigned char)c == 0x7f)
            c = '?';
    return s;
}

/* Runs one demo; true when it made exactly that entry, else the reason. */
static bool SV_VerifyDemo(const sv_replay_t &r, const std::string &demo, std::string *reason)
{
    int level = SV_DemoLevel(demo);
    if (level != r.level) {
        *reason = level < 0 ? "not a demo" : "a demo of level " + std::to_string(level);
        return false;
    }
    if (!SV_DemoFits(demo)) {
        *reason = "more frames than the level's play time holds";
        return false;
    }
    const char *tmp = getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/gk-verify.XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back(0);
    if (!mkdtemp(buf.data())) {
        *reason = std::string("no working folder: ") + strerror(errno);
        return false;
    }
    std::string dir = buf.data(), file = dir + "/demo.dem", data = dir + "/data";
    bool ok = false;
    int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0 && write(fd, demo.data(), demo.size()) == (ssize_t)demo.size() && close(fd) == 0 &&
        symlink((sv_vopt.game + "/data").c_str(), data.c_str()) == 0 && chmod(dir.c_str(), 0755) == 0) {
        ok = true;
    } else {
        *reason = std::string("cannot prepare the working folder: ") + strerror(errno);
        if (fd >= 0)
            close(fd);
    }
    std::string sounds = dir + "/sounds";
    if (ok && access((sv_vopt.game + "/sounds").c_str(), F_OK) == 0 &&
        symlink((sv_vopt.game + "/sounds").c_str(), sounds.c_str()) != 0) {
        *reason = std::string("cannot prepare the working folder: ") + strerror(errno);
        ok = false;
    }
    std::string out, err;
    int status = ok ? SV_RunEngine(dir, &out, &err) : 0;
    unlink(sounds.c_str());
    unlink(data.c_str());
    unlink(file.c_str());
    rmdir(dir.c_str());
    if (!ok)
        return false;
    std::string want = "$$score " + std::to_string(r.points) + "\n";
    if (status == 0 && out == want)
        return true;
    if (status == -1001)
        *reason = "stopped";
    else if (status == -1000)
        *reason = "killed after " + std::to_string(sv_vopt.wallseconds) + " s";
    else if (status == -SIGXCPU)
        *reason = "over " + std::to_string(sv_vopt.cpuseconds) + " s of processor time";
    else if (status == -SIGKILL)
        *reason = "killed by the system (processor time or memory)";
    else if (status < 0)
        *reason = "engine died of signal " + std::to_string(-status);
    else if (status != 0)
        *reason = "engine status " + std::to_string(status) + ": " + SV_LastLine(err);
    else
        *reason = "the replay gave '" + SV_LastLine(out) + "'";
    return false;
}

/* ---- jobs from the store ---- */

typedef struct {
    qlonglong id;
    sv_replay_t r;
    std::string demo;
} sv_vjob_t;

/* The waiting replay of the lowest turn, oldest first: 1, 0 when none
 * waits, -1 on a store error.
 * PostgreSQL: the row stays locked in an open transaction until the job is
 * done, so other workers skip it and a worker that dies gives it back.
 * SQLite (one process): the row is marked taken under a lock of ours. */
static int SV_TakeJob(QSqlDatabase &db, bool pg, sv_vjob_t *j)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    std::unique_lock<std::mutex> lock(sv_vlock, std::defer_lock);
    if (pg) {
        if (!db.transaction())
            return -1;
    } else {
        lock.lock();
    }
    if (!q.exec(pg ? "SELECT id, level, name, points, demo FROM replay ORDER BY turn, id LIMIT 1 FOR UPDATE SKIP LOCKED"
                   : "SELECT id, level, name, points, demo FROM replay WHERE taken = 0 ORDER BY turn, id LIMIT 1")) {
        if (pg)
            db.rollback();
        return -1;
    }
    if (!q.next()) {
        q.finish();
        if (pg)
            db.commit();
        return 0;
    }
    j->id = q.value(0).toLongLong();
    j->r.level = q.value(1).toInt();
    j->r.name = q.value(2).toString().toStdString();
    j->r.points = q.value(3).toInt();
    j->r.country = 0;
    j->demo = q.value(4).toByteArray().toStdString();
    q.finish();
    if (!pg) {
        q.prepare("UPDATE replay SET taken = 1 WHERE id = ?");
        q.bindValue(0, j->id);
        if (!q.exec())
            return -1;
    }
    return 1;
}

/* Marks the entry when verified and removes the job, in one transaction. */
static bool SV_FinishJob(QSqlDatabase &db, bool pg, const sv_vjob_t &j, bool verified)
{
    if (!pg && !db.transaction())
        return false;
    QSqlQuery q(db);
    if (verified) {
        q.prepare("UPDATE scores SET verified = 1 WHERE level = ? AND name = ? AND points = ?");
        q.bindValue(0, j.r.level);
        q.bindValue(1, QString::fromStdString(j.r.name));
        q.bindValue(2, j.r.points);
        if (!q.exec()) {
            db.rollback();
            return false;
        }
    }
    q.prepare("DELETE FROM replay WHERE id = ?");
    q.bindValue(0, j.id);
    if (!q.exec() || !db.commit()) {
        db.rollback();
        return false;
    }
    return true;
}

static void SV_Idle(int ms)
{
    std::unique_lock<std::mutex> lock(sv_vlock);
    sv_vwake.wait_for(lock, std::chrono::milliseconds(ms), [] { return sv_vstop.load(); });
}

static void SV_Worker(int n)
{
    std::string conn = "gkverify" + std::to_string(n);
    bool pg = SV_StoreIsPostgres(sv_vopt.db);
    SV_StoreAdd(sv_vopt.db, conn.c_str());
    bool complained = false;
    while (!sv_vstop) {
        QSqlDatabase db = QSqlDatabase::database(conn.c_str(), false);
        if (!db.isOpen() && !db.open()) {
            if (!complained)
                SV_Log("verify: cannot open the store: " + db.lastError().text().toStdString());
            complained = true;
            SV_Idle(2000);
            continue;
        }
        sv_vjob_t j;
        int got = SV_TakeJob(db, pg, &j);
        if (got < 0) {
            SV_Log("verify: cannot take a job: " + db.lastError().text().toStdString());
            db.close();
            SV_Idle(2000);
            continue;
        }
        complained = false;
        if (got == 0) {
            SV_Idle(SV_IDLEWAIT);
            continue;
        }
        double t0 = SV_Now();
        std::string reason;
        bool ok = SV_VerifyDemo(j.r, j.demo, &reason);
        if (reason == "stopped") {
            if (pg)
                db.rollback();
            break;      /* the job waits for the next start */
        }
        std::string what = "verify: replay " + std::to_string(j.id) + " level " + std::to_string(j.r.level) +
                           " points " + std::to_string(j.r.points) + " name '" + SV_LogQuery(j.r.name) + "': ";
        char took[32];
        snprintf(took, sizeof(took), " (%.2f s)", SV_Now() - t0);
        bool recorded = SV_FinishJob(db, pg, j, ok);
        SV_MetricVerify(!recorded ? "failed" : ok ? "verified" : "refused");
        if (!recorded) {
            SV_Log(what + "not recorded: " + db.lastError().text().toStdString());
            db.close();
            continue;
        }
        if (ok)
            SV_StoreChanged();
        SV_Log(what + (ok ? "verified" : "refused: " + reason) + took);
    }
    {
        QSqlDatabase db = QSqlDatabase::database(conn.c_str(), false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(QString::fromStdString(conn));
}

/* ---- what a demo may hold ---- */

/* A varint of the demo layout (engine/demo.h); false past the end. */
static bool SV_Varint(const unsigned char *p, size_t size, size_t *at, uint32_t *v)
{
    *v = 0;
    for (int shift = 0; shift < 35 && *at < size; shift += 7) {
        unsigned char b = p[(*at)++];
        *v |= (uint32_t)(b & 0x7f) << shift;
        if (!(b & 0x80))
            return true;
    }
    return false;
}

/* Frames of a demo: each a game clock step (with a flag for a wall clock
 * step that follows), an event count and the events (a type byte and two
 * varints).  Counting stops past max; a damaged demo counts what it holds. */
static long SV_DemoFrames(const std::string &demo, long max)
{
    const unsigned char *p = (const unsigned char *)demo.data();
    size_t at = SV_DEMOHEADER, size = demo.size();
    long frames = 0;
    uint32_t v, events, a;
    while (at < size && frames <= max) {
        if (!SV_Varint(p, size, &at, &v) || ((v & 1) && !SV_Varint(p, size, &at, &a)) ||
            !SV_Varint(p, size, &at, &events))
            break;
        frames++;
        for (uint32_t e = 0; e < events && at < size; e++) {
            at++;       /* the type */
            if (!SV_Varint(p, size, &at, &a) || !SV_Varint(p, size, &at, &a))
                break;
        }
    }
    return frames;
}

bool SV_DemoFits(const std::string &demo)
{
    int level = SV_DemoLevel(demo);
    if (level < 0 || !(sv_playtime[level] > 0))
        return true;    /* not for us to judge: the engine refuses what it cannot play */
    long max = (long)((sv_playtime[level] + SV_TIMEMARGIN) * SV_MAXFPS);
    return SV_DemoFrames(demo, max) <= max;
}

/* The play time of every level, from the level files of the tree. */
void SV_ReadPlayTimes(const std::string &game)
{
    for (int l = 0; l < HS_ROWS; l++) {
        sv_playtime[l] = 0;
        unsigned char b[394];
        FILE *f = fopen((game + "/data/script" + std::to_string(l) + ".bin").c_str(), "rb");
        if (!f)
            continue;
        if (fread(b, 1, sizeof(b), f) == sizeof(b) && b[0] == 3 && !b[1] && !b[2] && !b[3])
            memcpy(&sv_playtime[l], b + 390, 4);    /* the play time in the level header */
        fclose(f);
    }
}

/* ---- the replay user and the game tree ---- */

/* Every path the engine needs of a tree: the tree (to enter), the engine
 * (to run), the folders and files of data/ and sounds/ (to read). */
static void SV_TreePaths(const std::string &game, std::vector<std::pair<std::string, int>> *paths)
{
    namespace fs = std::filesystem;
    paths->push_back({game, X_OK});
    paths->push_back({game + "/vexengine", X_OK});
    for (const char *sub : {"/data", "/sounds"}) {
        std::error_code ec;
        if (!fs::exists(game + sub, ec) && sub[1] == 's')
            continue;
        paths->push_back({game + sub, R_OK | X_OK});
        for (fs::recursive_directory_iterator it(game + sub, ec), end; !ec && it != end; it.increment(ec))
            paths->push_back({it->path().string(), it->is_directory(ec) ? R_OK | X_OK : R_OK});
    }
}

/* Can the replay user use every path of the tree?  Asked of the system as
 * that user, in a child; why names the first path it cannot. */
static bool SV_UserCanRun(const std::string &game, std::string *why)
{
    std::vector<std::pair<std::string, int>> paths;
    SV_TreePaths(game, &paths);
    int fd[2];
    if (pipe2(fd, O_CLOEXEC) != 0) {
        *why = std::string("no pipe: ") + strerror(errno);
        return false;
    }
    pid_t pid = fork();
    if (pid == 0) {
        if (sv_drop && (setgroups(0, NULL) != 0 || setgid(sv_gid) != 0 || setuid(sv_uid) != 0))
            _exit(2);
        for (size_t i = 0; i < paths.size(); i++)
            if (access(paths[i].first.c_str(), paths[i].second) != 0) {
                int report[2] = {(int)i, errno};
                ssize_t n = write(fd[1], report, sizeof(report));
                (void)n;
                _exit(1);
            }
        _exit(0);
    }
    close(fd[1]);
    int report[2] = {-1, 0}, status = 0;
    ssize_t n = pid > 0 ? read(fd[0], report, sizeof(report)) : 0;
    close(fd[0]);
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        *why = "cannot ask as the replay user";
        return false;
    }
    if (WEXITSTATUS(status) == 0)
        return true;
    if (n == sizeof(report) && report[0] >= 0 && (size_t)report[0] < paths.size())
        *why = paths[report[0]].first + ": " + strerror(report[1]);
    else
        *why = "cannot become the replay user";
    return false;
}

/* A copy of the engine, data/ and sounds/ (links followed) in a new
 * folder that everyone may read; false with the reason. */
static bool SV_CopyTree(const std::string &game, std::string *copy, std::string *why)
{
    namespace fs = std::filesystem;
    const char *tmp = getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/gk-game.XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back(0);
    if (!mkdtemp(buf.data())) {
        *why = std::string("no folder for a copy: ") + strerror(errno);
        return false;
    }
    *copy = buf.data();
    std::error_code ec;
    fs::copy_file(game + "/vexengine", *copy + "/vexengine", ec);
    for (const char *sub : {"/data", "/sounds"})
        if (!ec && (sub[1] == 'd' || fs::exists(game + sub, ec)))
            fs::copy(game + sub, *copy + sub, fs::copy_options::recursive, ec);
    for (fs::recursive_directory_iterator it(*copy, ec), end; !ec && it != end; it.increment(ec))
        chmod(it->path().c_str(), it->is_directory(ec) ? 0755 : 0644);
    if (ec || chmod(copy->c_str(), 0755) != 0 || chmod((*copy + "/vexengine").c_str(), 0755) != 0) {
        *why = "cannot copy the game tree to " + *copy + ": " + (ec ? ec.message() : strerror(errno));
        fs::remove_all(*copy, ec);
        copy->clear();
        return false;
    }
    return true;
}

/* The tree the engine runs from: the given one, or a copy the replay user
 * can read; false with the reason. */
static bool SV_ReplayTree(std::string *error)
{
    std::string why;
    std::string who = sv_drop ? "the engine's user '" + sv_vopt.user + "'" : "this user";
    if (SV_UserCanRun(sv_vopt.game, &why))
        return true;
    std::string copyerror;
    if (!SV_CopyTree(sv_vopt.game, &sv_copy, &copyerror)) {
        *error = who + " cannot use the game tree (" + why + ") and " + copyerror;
        return false;
    }
    SV_Log("verify: " + who + " cannot use the game tree (" + why + "): the engine, module and data are copied to " +
           sv_copy);
    sv_vopt.game = sv_copy;
    if (!SV_UserCanRun(sv_vopt.game, &why)) {
        *error = who + " cannot use the copy of the game tree either (" + why + ")";
        return false;
    }
    return true;
}

/* Can a child have a network of its own (nothing but a loopback that is down)? */
static int SV_ProbeNetwork(void)
{
    pid_t pid = fork();
    if (pid == 0)
        _exit(unshare(CLONE_NEWNET) == 0 ? SV_NET_OWN
              : unshare(CLONE_NEWUSER | CLONE_NEWNET) == 0 ? SV_NET_USERNS : SV_NET_SHARED);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return SV_NET_SHARED;
    return WEXITSTATUS(status);
}

bool SV_VerifyStart(const sv_verifyopts_t &o, int threads, std::string *error)
{
    sv_vopt = o;
    sv_vstop = false;
    sv_off = true;
    if (access((o.game + "/vexengine").c_str(), F_OK) != 0 || access((o.game + "/data").c_str(), F_OK) != 0) {
        *error = "no vexengine and data/ in the game tree " + o.game;
        return false;
    }
    sv_drop = geteuid() == 0 && !o.user.empty();
    if (sv_drop) {
        struct passwd *pw = getpwnam(o.user.c_str());
        if (!pw || pw->pw_uid == 0) {
            *error = "no unprivileged user '" + o.user + "' to run the engine as";
            return false;
        }
        sv_uid = pw->pw_uid;
        sv_gid = pw->pw_gid;
    }
    if (!SV_ReplayTree(error))
        return false;
    SV_ReadPlayTimes(sv_vopt.game);
    sv_off = false;
    sv_netmode = SV_ProbeNetwork();
    if (sv_netmode == SV_NET_SHARED)
        SV_Log("verify: no network namespace can be made here; the engine runs with the server's network");
    if (geteuid() == 0 && !sv_drop)
        SV_Log("verify: the engine runs as root (--user is empty)");
    if (!SV_StoreIsPostgres(o.db)) {
        /* replays taken when the last run ended wait again */
        SV_StoreAdd(o.db, "gkverifystart");
        {
            QSqlDatabase db = QSqlDatabase::database("gkverifystart", false);
            QSqlQuery q(db);
            if (!db.open() || !q.exec("UPDATE replay SET taken = 0 WHERE taken <> 0"))
                SV_Log("verify: cannot reset the taken replays: " + db.lastError().text().toStdString());
            q.finish();
            db.close();
        }
        QSqlDatabase::removeDatabase("gkverifystart");
    }
    for (int i = 0; i < threads; i++)
        sv_workers.emplace_back(SV_Worker, i);
    SV_Log("verify: " + std::to_string(threads) + (threads == 1 ? " worker" : " workers") + ", game tree " +
           sv_vopt.game + ", limits " + std::to_string(o.cpuseconds) + " s processor, " +
           std::to_string(o.wallseconds) + " s wall clock, " + std::to_string(o.memorymb) + " MB");
    return true;
}

void SV_VerifyWake(void)
{
    sv_vwake.notify_all();
}

void SV_VerifyStop(void)
{
    {
        std::lock_guard<std::mutex> lock(sv_vlock);
        sv_vstop = true;
    }
    sv_vwake.notify_all();
    for (auto &t : sv_workers)
        t.join();
    sv_workers.clear();
    if (!sv_copy.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(sv_copy, ec);
        sv_copy.clear();
    }
}

bool SV_VerifyOff(void)
{
    return sv_off;
}
