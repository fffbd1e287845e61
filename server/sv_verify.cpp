/*
 * sv_verify.cpp -- entries verified by replaying their games: worker
 * threads (a pool inside the server on SQLite, `--worker` processes on
 * PostgreSQL) take waiting replays from the store, run each demo through
 * the engine of the server's own game tree in a child process with hard
 * limits, and mark the entry verified only when the replay ends with
 * exactly its points.  Anything else leaves the entry as it was and logs
 * the reason.
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
#include <mutex>
#include <thread>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#define SV_OUTPUTMAX 4096       /* bytes of the engine's output we keep */
#define SV_IDLEWAIT 500         /* ms between looks at an empty queue */

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
static bool SV_Drain(struct pollfd *p, std::string *out, std::string *err, int ms)
{
    if (p[0].fd < 0 && p[1].fd < 0)
        return false;
    if (poll(p, 2, ms) <= 0)
        return true;
    std::string *to[2] = {out, err};
    for (int i = 0; i < 2; i++) {
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

/* The oldest waiting replay: 1, 0 when none waits, -1 on a store error.
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
    if (!q.exec(pg ? "SELECT id, level, name, points, demo FROM replay ORDER BY id LIMIT 1 FOR UPDATE SKIP LOCKED"
                   : "SELECT id, level, name, points, demo FROM replay WHERE taken = 0 ORDER BY id LIMIT 1")) {
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
        SV_Log(what + (ok ? "verified" : "refused: " + reason) + took);
    }
    {
        QSqlDatabase db = QSqlDatabase::database(conn.c_str(), false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(QString::fromStdString(conn));
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
    if (access((o.game + "/vexengine").c_str(), X_OK) != 0 || access((o.game + "/data").c_str(), R_OK) != 0) {
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
           o.game + ", limits " + std::to_string(o.cpuseconds) + " s processor, " +
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
}
