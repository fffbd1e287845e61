/*
 * main.cpp -- the launcher's start-up: choose the language, ask the engine
 * for its version and display modes, build the windows, play the intro,
 * read the settings, run the dialog and write the settings back.  It runs
 * from its own folder, wherever it was started from.
 */
#include "l_local.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>

#include <QApplication>
#include <QWidget>

/* Qt gives up with an abort when it finds no display; a platform named
 * in QT_QPA_PLATFORM is the caller's choice. */
static bool L_HaveDisplay(void)
{
    for (const char *v : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (getenv(v) && getenv(v)[0])
            return true;
    return false;
}

/* Says so on standard error, in the player's language (no window can). */
static int L_NoDisplay(int argc, char **argv)
{
    char exe[PATH_MAX];
    std::string dir = ".";
    if (realpath("/proc/self/exe", exe)) {
        dir = exe;
        dir.erase(dir.rfind('/'));
    }
    int country = Lang_CountryFromArgs(std::vector<std::string>(argv + 1, argv + argc), Lang_LocaleCountry());
    if (!Lang_LoadFile(Lang_FilePath(dir, country), country))
        Lang_LoadFile(Lang_FilePath(dir, 44), 44);
    std::string text = Lang(226);
    if (text == "?")
        text = "No display was found. Start Gackatron from within your desktop session.";
    for (size_t p; (p = text.find('\r')) != std::string::npos;)
        text.erase(p, 1);
    fprintf(stderr, "gackatron: %s\n", text.c_str());
    return 1;
}

int main(int argc, char **argv)
{
    int info = L_CommandLineInfo(argc, argv);
    if (info >= 0)
        return info;
    if (!L_HaveDisplay())
        return L_NoDisplay(argc, argv);
    QApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string progdir = L_ProgramDir();
    L_EnterProgramDir();    /* the engine and its data are beside the program */

    Lang_Select(progdir, args);
    int instance = L_SingleInstance();
    if (instance != L_INSTANCE_FIRST)   /* the running launcher came to the front */
        return instance == L_INSTANCE_RAISED ? 0 : 1;

    L_BusyBegin(Lang(232));
    std::string answer = RunAndCapture(".", "vexengine", "-getvidmodes", true, L_QUERY_LIMIT_MS);
    L_BusyEnd();
    if (!L_ParseModes(answer, &EngineVersion, &ModeList)) {
        L_MessageBox(NULL, L_MB_ERROR, Lang(201), L_FailureText(LastRun.started ? 200 : 223));
        return 1;
    }

    QApplication::setApplicationName("Starter");
    L_CreateWindows();
    PlayIntro(".");

    std::string ini = L_ChooseSettingsPath(L_SettingsPath());
    LoadSettings(ini);
    mf.mainf->show();
    mf.mainf->raise();
    int rc = app.exec();
    L_StoreSettings(ini);
    L_DestroyWindows();
    L_InstanceEnd();
    return rc;
}
