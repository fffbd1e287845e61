/*
 * l_engine.cpp -- running the engine: one routine starts it as a child
 * process and collects what it writes on standard output while the dialog
 * keeps processing its events; the start-up query of version and display
 * modes; the game command line built from the dialog; the score line read
 * after a game, and the entry of a qualifying score into the local table.
 */
#include "l_local.h"

#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
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

#define L_MAXCAPTURE (16 << 20)     /* more than any engine run has to say */

static void L_Append(std::string *out, const QByteArray &b)
{
    size_t room = out->size() < L_MAXCAPTURE ? L_MAXCAPTURE - out->size() : 0;
    out->append(b.constData(), (size_t)b.size() < room ? (size_t)b.size() : room);
}

/* Starts dir/file (or dir/Debug/file) in dir with args and returns its
 * standard output once it has ended.  The output is read while waiting, so
 * a talkative engine never stalls on a full pipe. */
std::string RunAndCapture(const std::string &dir, const std::string &file,
                          const std::string &args, bool hidden)
{
    (void)hidden;   /* the engine decides about its own window */
    std::string out;
    std::string path = dir + "/" + file;
    if (!QFile::exists(QString::fromStdString(path)))
        path = dir + "/Debug/" + file;

    QProcess p;
    p.setProgram(QString::fromStdString(path));
    p.setArguments(QProcess::splitCommand(QString::fromStdString(args)));
    p.setWorkingDirectory(QString::fromStdString(dir));
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QIODevice::ReadOnly);
    if (!p.waitForStarted(10000))
        return out;
    while (!p.waitForFinished(500)) {
        L_Append(&out, p.readAllStandardOutput());
        QCoreApplication::processEvents();
        if (p.state() == QProcess::NotRunning)
            break;
    }
    L_Append(&out, p.readAllStandardOutput());
    return out;
}

/* Lines ended by CR LF, LF or CR; a final unterminated line counts. */
std::vector<std::string> L_SplitLines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0, i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(text.substr(start, i - start));
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                i++;
            start = i + 1;
        }
        i++;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

/* A mode line is three decimal numbers separated by single spaces. */
static bool L_IsModeLine(const std::string &s)
{
    int fields = 0;
    size_t i = 0;
    while (i < s.size()) {
        size_t d = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            i++;
        if (i == d || i - d > 9)
            return false;
        fields++;
        if (i == s.size())
            break;
        if (s[i] != ' ')
            return false;
        i++;
        if (i == s.size())
            return false;
    }
    return fields == 3;
}

/* First line: the version; then one line per mode, duplicates dropped. */
bool L_ParseModes(const std::string &answer, std::string *version, std::vector<std::string> *modes)
{
    std::vector<std::string> lines = L_SplitLines(answer);
    modes->clear();
    version->clear();
    if (lines.empty())
        return false;
    *version = lines[0];
    for (size_t i = 1; i < lines.size(); i++) {
        if (!L_IsModeLine(lines[i]))
            continue;
        bool dup = false;
        for (const std::string &m : *modes)
            dup = dup || m == lines[i];
        if (!dup)
            modes->push_back(lines[i]);
    }
    return !modes->empty();
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

/* The first line that begins with "$$score " gives the score: up to 20
 * characters after the prefix, which must form a decimal number. */
bool L_FindScore(const std::string &output, int32_t *score)
{
    static const std::string prefix = "$$score ";
    for (const std::string &line : L_SplitLines(output)) {
        if (line.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::string num = line.substr(prefix.size(), 20);
        while (!num.empty() && (num.back() == ' ' || num.back() == '\t'))
            num.pop_back();
        size_t i = (!num.empty() && num[0] == '-') ? 1 : 0;
        if (i == num.size())
            return false;
        for (size_t k = i; k < num.size(); k++)
            if (num[k] < '0' || num[k] > '9')
                return false;
        errno = 0;
        long long v = strtoll(num.c_str(), NULL, 10);
        if (errno || v < INT32_MIN || v > INT32_MAX)
            return false;
        *score = (int32_t)v;
        return true;
    }
    return false;
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
    args += L_DemoRecordArgs();
    mf.mainf->hide();
    std::string out = RunAndCapture(".", "vexengine", args, false);
    mf.mainf->show();

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
