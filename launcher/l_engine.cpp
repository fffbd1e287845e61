/*
 * l_engine.cpp -- running the engine: one routine starts it as a child
 * process and collects what it writes on standard output while the dialog
 * keeps processing its events; the start-up query of version and display
 * modes; the game command line built from the dialog; the score line read
 * after a game, and the entry of a qualifying score into the local table.
 */
#include "l_local.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QSlider>
#include <QWidget>

std::vector<std::string> ModeList;
std::string EngineVersion;
int DoneMask;
enginerun_t LastRun;

#define L_MAXCAPTURE (16 << 20)     /* more than any engine run has to say */
#define L_MAXERRTAIL (16 << 10)     /* the end of the engine's log we keep */

static void L_Append(std::string *out, const QByteArray &b)
{
    size_t room = out->size() < L_MAXCAPTURE ? L_MAXCAPTURE - out->size() : 0;
    out->append(b.constData(), (size_t)b.size() < room ? (size_t)b.size() : room);
}

/* Standard error is passed on to ours and its end kept for the player;
 * it never mixes with the standard output that carries modes and results. */
static void L_TakeErrors(QProcess *p)
{
    QByteArray b = p->readAllStandardError();
    if (b.isEmpty())
        return;
    fwrite(b.constData(), 1, (size_t)b.size(), stderr);
    std::string &t = LastRun.errtail;
    t.append(b.constData(), (size_t)b.size());
    if (t.size() > L_MAXERRTAIL)
        t.erase(0, t.size() - L_MAXERRTAIL);
}

/* Starts dir/file (or dir/Debug/file) in dir with args and returns its
 * standard output once it has ended, or once limit_ms (when not 0) have
 * passed, after which it is killed.  The output is read while waiting, so
 * a talkative engine never stalls on a full pipe. */
std::string RunAndCapture(const std::string &dir, const std::string &file,
                          const std::string &args, bool hidden, int limit_ms)
{
    (void)hidden;   /* the engine decides about its own window */
    std::string out;
    LastRun = enginerun_t{};
    std::string path = dir + "/" + file;
    if (!QFile::exists(QString::fromStdString(path)))
        path = dir + "/Debug/" + file;

    QProcess p;
    p.setProgram(QString::fromStdString(path));
    p.setArguments(QProcess::splitCommand(QString::fromStdString(args)));
    p.setWorkingDirectory(QString::fromStdString(dir));
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(QIODevice::ReadOnly);
    if (!p.waitForStarted(10000))
        return out;
    LastRun.started = true;
    QElapsedTimer since;
    since.start();
    while (!p.waitForFinished(limit_ms > 0 && limit_ms < 500 ? limit_ms : 500)) {
        L_Append(&out, p.readAllStandardOutput());
        L_TakeErrors(&p);
        QCoreApplication::processEvents();
        if (p.state() == QProcess::NotRunning)
            break;
        if (limit_ms > 0 && since.elapsed() >= limit_ms) {
            LastRun.timedout = true;
            p.kill();
            p.waitForFinished(5000);
            break;
        }
    }
    L_Append(&out, p.readAllStandardOutput());
    L_TakeErrors(&p);
    return out;
}

/* "640 480 16" -> "640 -height 480 -bpp 16" */
std::string L_ModeArgs(const std::string &modeline)
{
    std::string s = modeline;
    size_t p = s.find(' ');
    if (p != std::string::npos)
        s.replace(p, 1, "#-height#");
    p = s.find(' ');
    if (p != std::string::npos)
        s.replace(p, 1, "#-bpp#");
    for (char &c : s)
        if (c == '#')
            c = ' ';
    return s;
}

std::string L_GameArgs(const std::string &modeline, int map, int sens, int country,
                       bool mouseinv, bool fullscreen)
{
    std::string a = "-width " + L_ModeArgs(modeline);
    a += " -game data -map " + std::to_string(map);
    a += " -mousesens " + std::to_string(sens);
    a += " -countrycode " + std::to_string(country);
    if (mouseinv)
        a += " -mouseinv";
    if (fullscreen)
        a += " -fullscreen";
    return a;
}

std::string L_VolumeArgs(int music, int effects)
{
    return " -musicvolume " + std::to_string(music) + " -effectsvolume " + std::to_string(effects);
}

static std::string L_ReplaceFirst(std::string s, const std::string &what, const std::string &with)
{
    size_t p = s.find(what);
    if (p != std::string::npos)
        s.replace(p, what.size(), with);
    return s;
}

/* Shows the entry dialog for a score at rank; true when a name was entered. */
static bool L_AskName(int32_t score, int rank)
{
    mf.labelPoints->setText(QString::fromStdString(Lang(202) + std::to_string(rank + 1) +
                                                   Lang(203) + std::to_string(score)));
    QString tmpl = mf.labelText->text();
    std::string t = L_ReplaceFirst(tmpl.toStdString(), "#1", std::to_string(score));
    t = L_ReplaceFirst(t, "#2", std::to_string(rank + 1));
    mf.labelText->setText(QString::fromStdString(t));
    mf.editName->setFocus();
    int res = mf.pointf->exec();
    mf.labelText->setText(tmpl);
    return res == QDialog::Accepted;
}

/* The language text of a failure, followed by the last lines of the
 * engine's log when it wrote any. */
std::string L_FailureText(int key)
{
    std::string text = Lang(key);
    std::string tail = L_LastLines(LastRun.errtail, 6, 160);
    if (!tail.empty())
        text += "\n\n" + Lang(225) + "\n" + tail;
    return text;
}

/* A game that never started or ended without its result: say why, in the
 * player's language. */
static void L_GameFailed(int outcome)
{
    int key = !LastRun.started ? 223 : outcome == L_GAME_NOINIT ? 222
            : outcome == L_GAME_FAILURE ? 224 : 221;
    L_MessageBox(mf.mainf, L_MB_ERROR, Lang(220), L_FailureText(key));
}

static bool L_EnterScore(int m, const std::string &out, int32_t *score);

void Button1Click(void)
{
    int modeidx = mf.resBox->currentIndex();
    if (modeidx < 0 || modeidx >= (int)ModeList.size())
        modeidx = 0;
    if (ModeList.empty())
        return;
    int m = mf.comboMaps->currentIndex();
    if (m < 0)
        m = 0;
    std::string args = L_GameArgs(ModeList[modeidx], m, mf.trackMouse->value(), LanguageCountry,
                                  mf.checkMouse->isChecked(), mf.radioFullscreen->isChecked());
    args += L_VolumeArgs(mf.trackMusic->value(), mf.trackEffects->value());
    args += L_DemoRecordArgs();
    mf.mainf->hide();
    std::string out = RunAndCapture(".", "vexengine", args, false);
    mf.mainf->show();

    int outcome = L_GameOutcome(out);
    if (outcome != L_GAME_SCORE && outcome != L_GAME_ABORT) {
        L_GameFailed(outcome);
        L_DemoAfterGame(m, 0, false);
        return;
    }
    int32_t score = 0;
    bool entered = L_EnterScore(m, out, &score);
    L_DemoAfterGame(m, score, entered);
}

/* Takes the score of a game's output into the local table; true when it
 * was entered. */
static bool L_EnterScore(int m, const std::string &out, int32_t *scoreout)
{
    int32_t score;
    if (!L_FindScore(out, &score) || score < 0 || m >= HS_ROWS)
        return false;
    *scoreout = score;
    mf.labelExtra->hide();
    int rank = FindRank(&LocalTable, m, score);
    if (rank >= HS_ENTRIES)
        return false;
    if (rank == 0) {
        int old = DoneMask;
        DoneMask |= 1 << m;
        FillLevelList();
        if (DoneMask == 31 && old != 31)
            mf.labelExtra->show();
    }
    bool entered = L_AskName(score, rank);
    if (entered)
        InsertEntry(&LocalTable, m, rank, mf.editName->text().left(HS_TYPEDNAME).toStdString(), score);
    comboMapsChange(mf.comboMaps);
    return entered;
}
