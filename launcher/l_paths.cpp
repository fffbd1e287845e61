/*
 * l_paths.cpp -- where the launcher's files are: the engine, the data and
 * the videos beside the program itself (whatever the current folder); the
 * settings file beside the program while that folder can be written, else
 * in the user's configuration folder; the settings saved by replacing the
 * file in one step, with a message when that fails; --help and --version.
 */
#include "l_local.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

#define L_CONFIGNAME "gackatron/gackatron.ini"

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

/* $XDG_CONFIG_HOME/gackatron/gackatron.ini; ~/.config when the variable
 * is unset, empty or not an absolute path. */
std::string L_UserSettingsPath(void)
{
    const char *x = getenv("XDG_CONFIG_HOME");
    if (x && x[0] == '/')
        return std::string(x) + "/" L_CONFIGNAME;
    const char *h = getenv("HOME");
    return std::string(h && h[0] ? h : ".") + "/.config/" L_CONFIGNAME;
}

/* Every missing folder of the file's path; false with the reason. */
static bool L_MakeParents(const std::string &file, std::string *why)
{
    for (size_t i = 1; i < file.size(); i++) {
        if (file[i] != '/')
            continue;
        std::string d = file.substr(0, i);
        if (mkdir(d.c_str(), 0700) != 0 && errno != EEXIST) {
            *why = d + ": " + strerror(errno);
            return false;
        }
    }
    return true;
}

/* The file beside the program while its folder can be written; else the
 * user's own file, which starts as a copy of the one beside the program
 * (settings and highscores of a portable copy are kept). */
std::string L_ChooseSettingsPath(const std::string &beside)
{
    std::string dir = beside.substr(0, beside.rfind('/') + 1);
    if (access(dir.empty() ? "." : dir.c_str(), W_OK) == 0)
        return beside;
    std::string user = L_UserSettingsPath();
    std::string why;
    if (access(user.c_str(), F_OK) != 0 && access(beside.c_str(), R_OK) == 0 &&
        L_MakeParents(user, &why))
        QFile::copy(QString::fromStdString(beside), QString::fromStdString(user));
    return user;
}

/* Writes the settings to path in one step: the keys are written into a
 * private copy of the old file, which then replaces the file through a
 * temporary file beside it; a kill leaves the old or the new file. */
bool L_WriteSettings(const std::string &path, std::string *why)
{
    QTemporaryDir tmp;
    if (!tmp.isValid()) {
        *why = tmp.errorString().toStdString();
        return false;
    }
    QString work = tmp.filePath("settings.ini");
    QString target = QString::fromStdString(path);
    if (QFile::exists(target))
        QFile::copy(target, work);
    QFile::setPermissions(work, QFile::ReadOwner | QFile::WriteOwner);
    SaveSettings(work.toStdString());
    QFile in(work);
    if (!in.open(QIODevice::ReadOnly)) {
        *why = in.errorString().toStdString();
        return false;
    }
    QByteArray text = in.readAll();
    if (!L_MakeParents(path, why))
        return false;
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit()) {
        *why = out.errorString().toStdString();
        return false;
    }
    return true;
}

/* The save at the end of a run; a failure is shown, never swallowed. */
bool L_StoreSettings(const std::string &path)
{
    std::string why;
    if (L_WriteSettings(path, &why))
        return true;
    std::string text = Lang(241);
    size_t p = text.find("#1");
    if (p != std::string::npos)
        text.replace(p, 2, path);
    p = text.find("#2");
    if (p != std::string::npos)
        text.replace(p, 2, why);
    L_MessageBox(NULL, L_MB_ERROR, Lang(240), text);
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
                   "Settings and highscores: gackatron.ini beside the program when its folder\n"
                   "is writable, else $XDG_CONFIG_HOME/gackatron/gackatron.ini\n"
                   "(~/.config/gackatron/gackatron.ini).\n");
            return 0;
        }
    }
    return -1;
}
