/*
 * l_local.h -- the launcher's common header: the highscore tables, the
 * language texts, the engine runs, the online exchange, the intro and the
 * one dialog record that holds every control of the windows.
 */
#ifndef L_LOCAL_H
#define L_LOCAL_H

#include <stdint.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "hs_table.h"

class QWidget;
class QDialog;
class QLabel;
class QComboBox;
class QPushButton;
class QRadioButton;
class QCheckBox;
class QSlider;
class QLineEdit;
class QTabWidget;
class QImage;
class QSettings;

/* ---- highscore tables (l_scores.cpp; rows and packing in hs_table.h) ---- */
extern HighscoreTable LocalTable;
extern HighscoreTable InternetTable;

void SortTables(void);

/* ---- language (l_lang.cpp) ---- */
extern int LocaleCountry;
extern int LanguageCountry;
extern int LanguageCharset;     /* key 0; -1 when it is no number */

int Lang_LocaleCountry(void);
std::string Lang_LocaleLanguageName(void);
int Lang_CountryFromArgs(const std::vector<std::string> &args, int localecountry);
std::string Lang_FilePath(const std::string &progdir, int country);
bool Lang_LoadFile(const std::string &path, int country);
std::string Lang(int key);
bool Lang_Select(const std::string &progdir, const std::vector<std::string> &args);
void ApplyLanguage(QWidget *w);

/* ---- message boxes (l_dialog.cpp) ---- */
enum { L_MB_ERROR, L_MB_INFO, L_MB_WARNING };
void L_MessageBox(QWidget *owner, int icon, const std::string &caption, const std::string &text);
extern std::string l_lastcaption, l_lasttext;   /* the last message shown */
extern int l_messagecount;
#define L_MAXCAPTION 80         /* characters of a message box caption */
void L_BusyBegin(const std::string &status);
void L_BusyEnd(void);

/* ---- engine runs (l_engine.cpp) ---- */
extern std::vector<std::string> ModeList;
extern std::string EngineVersion;
extern int DoneMask;

/* What the last RunAndCapture saw besides standard output. */
typedef struct {
    bool started;           /* the program could be run */
    bool timedout;          /* it was ended at the time limit */
    std::string errtail;    /* the last part of its standard error */
} enginerun_t;
extern enginerun_t LastRun;

#define L_QUERY_LIMIT_MS 20000  /* the display-mode query */

std::string RunAndCapture(const std::string &dir, const std::string &file,
                          const std::string &args, bool hidden, int limit_ms = 0);
std::string L_ModeArgs(const std::string &modeline);
std::string L_GameArgs(const std::string &modeline, int map, int sens, int country,
                       bool mouseinv, bool fullscreen);
std::string L_VolumeArgs(int music, int effects);
#define L_MUSIC_DEFAULT 100     /* volumes of a first start, in percent */
#define L_EFFECTS_DEFAULT 100
std::string L_FailureText(int key);
void Button1Click(void);

/* ---- reading the engine's output and the server's message (l_output.cpp) ---- */
enum { L_GAME_SCORE, L_GAME_ABORT, L_GAME_FAILURE, L_GAME_NOINIT, L_GAME_NORESULT };
#define L_MAXMESSAGE 1024       /* characters of a server message shown */

bool L_ParseModes(const std::string &answer, std::string *version, std::vector<std::string> *modes);
bool L_FindScore(const std::string &output, int32_t *score);
int L_GameOutcome(const std::string &output);
std::string L_LastLines(const std::string &log, int count, size_t maxline);
bool L_SplitMessage(const std::string &response, std::string *caption, std::string *text, int codepage = 1252);
std::string L_CleanText(const std::string &utf8, size_t max, bool lines);

/* ---- demos of highscore games (l_demos.cpp) ---- */
extern std::string DemoDir;             /* empty: "demos" beside the settings file */
std::string L_DemoFolder(void);
std::string L_DemoRecordArgs(void);     /* " -record <file>" for the next game */
void L_DemoAfterGame(int level, int32_t points, bool entered);
void L_PruneDemos(int level);
typedef struct {
    std::string file;
    int level;
    std::string name;
    int32_t points;
} L_DemoUpload;
/* The kept demos of local entries that the internet table lists and that
 * were not sent yet. */
std::vector<L_DemoUpload> L_DemosToSend(const HighscoreTable *local, const HighscoreTable *internet);
void L_DemoSent(const std::string &file);

/* ---- the HTTP client (l_http.cpp) ---- */
enum { L_HTTP_DONE, L_HTTP_NOCONNECT, L_HTTP_TIMEOUT, L_HTTP_TOOLARGE, L_HTTP_BADANSWER, L_HTTP_REDIRECT };
typedef struct {
    std::string method, url;
    std::string headers;        /* "Name: value\r\n" lines */
    std::string body;           /* sent with a POST */
    std::string proxyhost;      /* empty: straight to the server */
    uint16_t proxyport;
    size_t maxbody;             /* a longer answer ends the exchange */
    int limit_ms;               /* the whole exchange */
    int idle_ms;                /* the longest pause of the server */
} l_httpreq_t;
typedef struct {
    int result;                 /* L_HTTP_* */
    int status;                 /* of a complete answer */
    std::string location;       /* where a redirect to another server pointed */
    std::string body;
} l_httpanswer_t;
void L_HttpStart(const l_httpreq_t &req, std::function<void(const l_httpanswer_t &)> done);
l_httpanswer_t L_HttpRun(const l_httpreq_t &req);

/* ---- online exchange (l_online.cpp) ---- */
extern std::string ResponseText;
extern std::string ScoreServerHost;
extern int ExchangeLimitMs;     /* the whole exchange, from request to last byte */
extern int ExchangeIdleMs;      /* the longest pause of the server in it */
std::string L_RequestURL(const std::string &host, int country, const std::string &packed);
std::string L_ReplayURL(const std::string &host, int country, const L_DemoUpload &u);
bool L_Uploading(void);         /* demos still on their way to the server */
void buttonInternetClick(void);
void httpDocData(const char *data, int length);
void httpDocEnd(void);

/* ---- intro (l_intro.cpp) ---- */
extern int IntroCounter;
void PlayIntro(const std::string &dir);
void playerNotify(void);
void FormClick(void);
void FormKeyPress(void);

/* ---- the dialog (l_dialog.cpp) ---- */
typedef struct {
    QWidget *mainf;
    QTabWidget *PageControl1;
    QWidget *TabSheet1, *tabInet, *TabSheet2;
    QLabel *imageLocal, *imageInternet, *imageGleiter, *imageMouse, *imageWorld;
    QLabel *imageWindowed, *imageFullscreen, *img16, *img32;
    QLabel *labelLHighscore, *labelIHighscore, *labelVersion, *labelVersion2;
    QLabel *lhn[HS_ENTRIES], *lhp[HS_ENTRIES], *ihn[HS_ENTRIES], *ihp[HS_ENTRIES];
    QComboBox *comboMaps, *comboIMaps, *resBox;
    QPushButton *Button1, *buttonInternet;
    QRadioButton *radioWindowed, *radioFullscreen;
    QCheckBox *checkMouse, *checkProxy;
    QSlider *trackMouse;
    QSlider *trackMusic, *trackEffects;     /* volumes in percent */
    QLabel *labelProxy, *labelPort;
    QLineEdit *editProxy, *editPort;
    QLabel *labelStatus;            /* what a running exchange is doing */
    /* score entry dialog */
    QDialog *pointf;
    QLabel *imageBest, *labelPoints, *labelExtra, *labelText;
    QLineEdit *editName;
    /* intro window */
    QWidget *vidf;
} mainf_t;

extern mainf_t mf;

void L_CreateWindows(void);
void L_DestroyWindows(void);
void CreateScoreLabels(QLabel *tmpl, QWidget *page, int spacing, QLabel **column);
void KeyColorToButtonFace(QImage *img, unsigned int buttonface);
void FillLevelList(void);
std::string L_LevelItem(int i, int country);
void comboMapsChange(QComboBox *sender);
void resBoxChange(void);
void checkProxyClick(void);
std::string L_SettingsPath(void);
void LoadSettings(const std::string &path);
void SaveSettings(const std::string &path);
void L_SetModes(void);

/* ---- one launcher at a time (l_instance.cpp) ---- */
enum { L_INSTANCE_FIRST, L_INSTANCE_RAISED, L_INSTANCE_UNREACHABLE };
int L_SingleInstance(void);     /* run on only for L_INSTANCE_FIRST */
void L_InstanceEnd(void);
void L_RaiseWindow(void);

/* ---- where the files are and how they are replaced (l_paths.cpp) ---- */
std::string L_ProgramDir(void);
bool L_EnterProgramDir(void);
bool L_Installed(void);
std::string L_UserSettingsPath(void);
std::string L_DefaultDemoFolder(void);
std::string L_ChooseSettingsPath(const std::string &beside);
std::string L_Reason(int err);
void L_TellFileError(int caption, int key, const std::string &file, const std::string &why);
bool L_MakeFolder(const std::string &dir, std::string *why);
bool L_ReadFile(const std::string &path, std::string *bytes, std::string *why);
bool L_ReplaceFile(const std::string &path, const std::string &bytes,
                   bool (*check)(const std::string &tmp, std::string *why), std::string *why);
bool L_RenameFile(const std::string &from, const std::string &to, std::string *why);
void L_RemoveStaleTemps(const std::string &path);
void L_SyncSettings(QSettings *s);
bool L_WriteSettings(const std::string &path, std::string *why);
bool L_StoreSettings(const std::string &path);
int L_CommandLineInfo(int argc, char **argv);

#endif
