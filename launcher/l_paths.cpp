/*
 * l_paths.cpp -- where the launcher's files are and how it replaces them.
 * The engine, the data and the videos are beside the program itself
 * (whatever the current folder).  The settings are beside the program for
 * a copy of the game the user may write (the build tree), and the demos
 * then beside them; the installed game (its tree holds the install step's
 * marker) and a copy the user cannot write keep the settings in the user's
 * configuration folder and the demos in the user's data folder, whoever
 * runs them.  Every file the launcher replaces is written in full to a
 * temporary file beside it, flushed to disk and renamed over it; on any
 * failure the old file stays whole, the temporary file goes, and the player
 * is told the file and the reason.  Also --help and --version.
 */
#include "l_local.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QVariant>

#define L_CONFIGNAME "gackatron/gackatron.ini"
#define L_DEMONAME "gackatron/demos"
#define L_INSTALLMARK "gackatron.installed"     /* written into the game tree by the install step */
#define L_TEMPTAG ".new-"                        /* "<file>.new-XXXXXX" while a file is written */

static bool l_settingsinxdg;    /* the settings live in the user's configuration folder */

/* The folder of the running program, symbolic links resolved, so a link
 * on the PATH (/usr/games/gackatron) leads to the real game tree. */
std::string L_ProgramDir(void)
{
    return QCoreApplication::applicationDirPath().toStdString();
}

/* The engine, the data and the videos are found relative to the working
 * folder, so the launcher works from its own folder. */
bool L_EnterProgramDir(void)
{
    return chdir(L_ProgramDir().c_str()) == 0;
}

/* An installed game is known by where it lives, not by what may be
 * written there: root may write everywhere. */
bool L_Installed(void)
{
    return access((L_ProgramDir() + "/" L_INSTALLMARK).c_str(), F_OK) == 0;
}

/* $var, or HOME/fallback when it is unset, empty or not an absolute path. */
static std::string L_XdgDir(const char *var, const char *fallback)
{
    const char *x = getenv(var);
    if (x && x[0] == '/')
        return x;
    const char *h = getenv("HOME");
    return std::string(h && h[0] ? h : ".") + "/" + fallback;
}

std::string L_UserSettingsPath(void)
{
    return L_XdgDir("XDG_CONFIG_HOME", ".config") + "/" L_CONFIGNAME;
}

/* The demos follow the settings: beside them for a copy of the game the
 * user writes, else in $XDG_DATA_HOME/gackatron/demos. */
std::string L_DefaultDemoFolder(void)
{
    if (l_settingsinxdg)
        return L_XdgDir("XDG_DATA_HOME", ".local/share") + "/" L_DEMONAME;
    std::string s = L_SettingsPath();
    return s.substr(0, s.rfind('/') + 1) + "demos";
}

/* ---- the reasons of failed file operations ---- */

/* The reason in the player's language where the launcher has words for
 * it, else the system's text. */
std::string L_Reason(int err)
{
    static const struct { int err, key; } words[] = {
        {ENOSPC, 255}, {EDQUOT, 255}, {EFBIG, 255}, {EACCES, 256}, {EPERM, 256}, {EROFS, 257}};
    for (const auto &w : words)
        if (w.err == err && Lang(w.key) != "?")
            return Lang(w.key);
    return strerror(err);
}

static bool L_Fail(const std::string &what, int err, std::string *why)
{
    *why = what + ": " + L_Reason(err);
    return false;
}

/* Shows caption key and text key with "#1" the file and "#2" the reason. */
void L_TellFileError(int caption, int key, const std::string &file, const std::string &why)
{
    std::string text = Lang(key), reason = why;
    if (reason.compare(0, file.size() + 2, file + ": ") == 0)
        reason.erase(0, file.size() + 2);      /* the file is named once */
    size_t p = text.find("#1");
    if (p != std::string::npos)
        text.replace(p, 2, file);
    p = text.find("#2");
    if (p != std::string::npos)
        text.replace(p, 2, reason);
    L_MessageBox(NULL, L_MB_ERROR, Lang(caption), text);
}

/* ---- folders and files ---- */

/* The folder and every missing folder above it; false with the reason. */
bool L_MakeFolder(const std::string &dir, std::string *why)
{
    for (size_t i = 1; i <= dir.size(); i++) {
        if (i < dir.size() && dir[i] != '/')
            continue;
        std::string d = dir.substr(0, i);
        if (mkdir(d.c_str(), 0700) != 0 && errno != EEXIST)
            return L_Fail(d, errno, why);
    }
    struct stat st;
    if (stat(dir.c_str(), &st) != 0)
        return L_Fail(dir, errno, why);
    return S_ISDIR(st.st_mode) || L_Fail(dir, ENOTDIR, why);
}

static std::string L_FolderOf(const std::string &file)
{
    size_t s = file.rfind('/');
    return s == std::string::npos ? "." : s == 0 ? "/" : file.substr(0, s);
}

/* The new name of a renamed or replaced file reaches the disk too. */
static void L_SyncFolder(const std::string &file)
{
    int fd = open(L_FolderOf(file).c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

bool L_ReadFile(const std::string &path, std::string *bytes, std::string *why)
{
    bytes->clear();
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return L_Fail(path, errno, why);
    char buf[65536];
    ssize_t n;
    while ((n = read(fd, buf, sizeof(buf))) != 0) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int err = errno;
            close(fd);
            return L_Fail(path, err, why);
        }
        bytes->append(buf, (size_t)n);
    }
    close(fd);
    return true;
}

static int L_WriteAll(int fd, const std::string &bytes)
{
    size_t off = 0;
    while (off < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + off, bytes.size() - off);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        off += (size_t)n;
    }
    return 0;
}

/* Writes bytes to path through "<path>.new-XXXXXX" beside it: each write,
 * the flush to disk and the close are checked; check (when given) looks at
 * the written temporary file; then it is renamed over the old file.  On any
 * failure the old file is untouched, the temporary file removed and *why
 * names the file and the reason. */
bool L_ReplaceFile(const std::string &path, const std::string &bytes,
                   bool (*check)(const std::string &tmp, std::string *why), std::string *why)
{
    std::string tmp = path + L_TEMPTAG "XXXXXX";
    int fd = mkstemp(tmp.data());
    if (fd < 0)
        return L_Fail(path, errno, why);
    struct stat st;
    if (stat(path.c_str(), &st) == 0)   /* a new file stays the user's alone */
        fchmod(fd, st.st_mode & 07777);
    int err = L_WriteAll(fd, bytes);
    if (!err && fsync(fd) != 0)
        err = errno;
    if (close(fd) != 0 && !err)
        err = errno;
    bool ok = !err && (!check || check(tmp, why));
    if (ok && rename(tmp.c_str(), path.c_str()) != 0) {
        err = errno;
        ok = false;
    }
    if (!ok) {
        unlink(tmp.c_str());
        return err ? L_Fail(path, err, why) : false;
    }
    L_SyncFolder(path);
    return true;
}

/* Renames a finished file (a demo the engine wrote) after flushing it to
 * disk; without the copy a failed rename across disks would make. */
bool L_RenameFile(const std::string &from, const std::string &to, std::string *why)
{
    int fd = open(from.c_str(), O_RDONLY);
    if (fd < 0)
        return L_Fail(from, errno, why);
    int err = fsync(fd) != 0 ? errno : 0;
    close(fd);
    if (!err && rename(from.c_str(), to.c_str()) != 0)
        err = errno;
    if (err)
        return L_Fail(to, err, why);
    L_SyncFolder(to);
    return true;
}

/* The temporary files of replacements a kill interrupted. */
void L_RemoveStaleTemps(const std::string &path)
{
    std::string dir = L_FolderOf(path), base = path.substr(path.rfind('/') + 1) + L_TEMPTAG;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return;
    while (struct dirent *e = readdir(d))
        if (strlen(e->d_name) == base.size() + 6 && !strncmp(e->d_name, base.c_str(), base.size()))
            unlink((dir + "/" + e->d_name).c_str());
    closedir(d);
}

/* ---- the settings file ---- */

/* The file beside the program for a copy the user writes; else the user's
 * own file, which starts as a copy of the one beside the program (settings
 * and highscores of a portable copy are kept).  Temporary files a kill left
 * beside it are removed. */
std::string L_ChooseSettingsPath(const std::string &beside)
{
    std::string chosen = beside;
    if (L_Installed() || access(L_FolderOf(beside).c_str(), W_OK) != 0) {
        chosen = L_UserSettingsPath();
        std::string bytes, why;
        if (access(chosen.c_str(), F_OK) != 0 && access(beside.c_str(), R_OK) == 0 &&
            L_ReadFile(beside, &bytes, &why) && L_MakeFolder(L_FolderOf(chosen), &why))
            L_ReplaceFile(chosen, bytes, NULL, &why);   /* a failure shows at the save */
    }
    l_settingsinxdg = chosen != beside;
    L_RemoveStaleTemps(chosen);
    return chosen;
}

/* What the settings writer last meant to write, and where it wrote it. */
static QVariantMap l_settingsmeant;
static bool l_settingssynced;
static std::string l_workdir;

/* The end of SaveSettings: remembers every key and value it means the
 * file to hold (the old file's keys included), then writes it. */
void L_SyncSettings(QSettings *s)
{
    l_settingsmeant.clear();
    for (const QString &k : s->allKeys())
        l_settingsmeant.insert(k, s->value(k));
    s->sync();
    l_settingssynced = s->status() == QSettings::NoError;
}

/* The ini writer does not see a write that fails when the file is closed:
 * the file is read back (from a name it never saw) and must hold all. */
static bool L_SettingsWhole(const std::string &tmp, std::string *why)
{
    QSettings r(QString::fromStdString(tmp), QSettings::IniFormat);
    bool whole = l_settingssynced && r.status() == QSettings::NoError;
    for (auto it = l_settingsmeant.cbegin(); whole && it != l_settingsmeant.cend(); ++it) {
        QVariant v = r.value(it.key()), w = it.value();
        bool list = v.typeId() == QMetaType::QStringList || w.typeId() == QMetaType::QStringList;
        whole = v.isValid() && (list ? v.toStringList() == w.toStringList() : v.toString() == w.toString());
    }
    if (whole)
        return true;
    struct statvfs fs;
    bool full = statvfs(l_workdir.c_str(), &fs) == 0 && fs.f_bavail == 0;
    *why = l_workdir + ": " + (full ? L_Reason(ENOSPC) : Lang(258));
    return false;
}

/* Writes the settings to path in one step: the ini writer fills a private
 * copy of the old file in the temporary folder, which is then checked and
 * put in place by L_ReplaceFile; a kill leaves the old or the new file. */
bool L_WriteSettings(const std::string &path, std::string *why)
{
    QTemporaryDir tmp;
    l_workdir = QDir::tempPath().toStdString();
    if (!tmp.isValid()) {
        *why = l_workdir + ": " + tmp.errorString().toStdString();
        return false;
    }
    std::string work = tmp.filePath("settings.ini").toStdString(), old, text;
    if (access(path.c_str(), F_OK) == 0 &&
        (!L_ReadFile(path, &old, why) || !L_ReplaceFile(work, old, NULL, why)))
        return false;
    l_settingssynced = false;
    SaveSettings(work);
    return L_ReadFile(work, &text, why) && L_MakeFolder(L_FolderOf(path), why) &&
           L_ReplaceFile(path, text, L_SettingsWhole, why);
}

/* The save at the end of a run; a failure is shown, never swallowed. */
bool L_StoreSettings(const std::string &path)
{
    std::string why;
    if (L_WriteSettings(path, &why))
        return true;
    L_TellFileError(240, 241, path, why);
    return false;
}

/* --help and --version, answered before any window is made; -1 when the
 * command line asks for neither. */
int L_CommandLineInfo(int argc, char **argv)
{
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--version")) {
            printf("gackatron %s\n", GK_VERSION);
            return 0;
        }
        if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) {
            printf("Usage: gackatron [-de | -en | -ru]\n"
                   "The Gackatron launcher: choose display mode, mouse and level, start a game,\n"
                   "see the local and internet highscore lists.\n\n"
                   "  -de, -en, -ru  German, English or Russian texts (default: from the locale)\n"
                   "  --help         show this text and exit\n"
                   "  --version      show the version and exit\n\n"
                   "Settings and highscores: gackatron.ini beside the program for a copy of the\n"
                   "game in a folder you can write; for the installed game (or one you cannot\n"
                   "write) $XDG_CONFIG_HOME/gackatron/gackatron.ini (~/.config/gackatron/), with\n"
                   "the recordings of games in $XDG_DATA_HOME/gackatron/demos (~/.local/share/).\n");
            return 0;
        }
    }
    return -1;
}
