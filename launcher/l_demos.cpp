/*
 * l_demos.cpp -- the demos of highscore games: every game is recorded by
 * the engine into a scratch file in the demo folder; a game that enters
 * the local table keeps its demo as level<N>-<points>-<date>.dem there,
 * and a level keeps only the demos whose entries are still in its table.
 * A game the engine could not record keeps its entry without a demo.  A
 * demo sent to the server for verification is renamed to
 * level<N>-<points>-<date>.sent.dem, so that it is sent once.
 */
#include "l_local.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

std::string DemoDir;

static const char *const l_scratchdemo = "recording.dem";

std::string L_DemoFolder(void)
{
    return DemoDir.empty() ? L_DefaultDemoFolder() : DemoDir;
}

static QString L_ScratchPath(void)
{
    return QString::fromStdString(L_DemoFolder()) + "/" + l_scratchdemo;
}

/* A demo folder that cannot be made is told once a run: the games are
 * played without recording. */
std::string L_DemoRecordArgs(void)
{
    static bool told;
    std::string why;
    if (!L_MakeFolder(L_DemoFolder(), &why)) {
        if (!told)
            L_TellFileError(253, 254, L_DemoFolder(), why);
        told = true;
        return "";
    }
    QFile::remove(L_ScratchPath());
    /* quoted for the command splitter; a quote in the path cannot be */
    std::string path = L_ScratchPath().toStdString();
    if (path.find('"') != std::string::npos)
        return "";
    return " -record \"" + path + "\"";
}

typedef struct {
    QString file;
    int32_t points;
    QString date;
} demofile_t;

static std::vector<demofile_t> L_ListDemos(int level)
{
    std::vector<demofile_t> list;
    QDir dir(QString::fromStdString(L_DemoFolder()));
    QRegularExpression re(QString("^level%1-(\\d{1,10})-(.+)\\.dem$").arg(level));
    for (const QString &name : dir.entryList(QDir::Files)) {
        QRegularExpressionMatch m = re.match(name);
        bool ok = false;
        long long points = m.hasMatch() ? m.captured(1).toLongLong(&ok) : 0;
        if (ok && points <= INT32_MAX)
            list.push_back({dir.filePath(name), (int32_t)points, m.captured(2)});
    }
    return list;
}

/* Keeps, best first and the older of equal scores first (as the table
 * ranks them), one demo for each entry of the level's row; deletes the
 * rest. */
void L_PruneDemos(int level)
{
    if (level < 0 || level >= HS_ROWS)
        return;
    std::vector<demofile_t> demos = L_ListDemos(level);
    std::sort(demos.begin(), demos.end(), [](const demofile_t &a, const demofile_t &b) {
        return a.points != b.points ? a.points > b.points : a.date < b.date;
    });
    std::vector<int32_t> entries;
    for (int i = 0; i < HS_ENTRIES; i++)
        entries.push_back(LocalTable.e[level][i].points);
    for (const demofile_t &d : demos) {
        auto it = std::find(entries.begin(), entries.end(), d.points);
        if (it != entries.end())
            entries.erase(it);
        else
            QFile::remove(d.file);
    }
}

/* An empty or missing scratch file is a game the engine could not record:
 * its entry stays, without a demo. */
void L_DemoAfterGame(int level, int32_t points, bool entered)
{
    std::string scratch = L_ScratchPath().toStdString();
    struct stat st;
    bool recorded = stat(scratch.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
    if (!entered || level < 0 || level >= HS_ROWS || !recorded) {
        unlink(scratch.c_str());
        return;
    }
    QString date = QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    QString name = QString("level%1-%2-%3.dem").arg(level).arg(points).arg(date);
    std::string target = L_DemoFolder() + "/" + name.toStdString(), why;
    if (!L_RenameFile(scratch, target, &why)) {
        unlink(scratch.c_str());
        L_TellFileError(253, 252, target, why);
    }
    L_PruneDemos(level);
}

std::vector<L_DemoUpload> L_DemosToSend(const HighscoreTable *local, const HighscoreTable *internet)
{
    std::vector<L_DemoUpload> out;
    for (int level = 0; level < HS_ROWS; level++) {
        std::vector<demofile_t> demos = L_ListDemos(level);
        std::sort(demos.begin(), demos.end(), [](const demofile_t &a, const demofile_t &b) {
            return a.date < b.date;
        });
        std::vector<bool> used(demos.size(), false);
        for (int i = 0; i < HS_ENTRIES; i++) {
            const HighscoreEntry &e = local->e[level][i];
            if (e.points <= 0)
                continue;
            bool listed = false;
            for (int k = 0; k < HS_ENTRIES && !listed; k++)
                listed = internet->e[level][k].points == e.points && internet->e[level][k].name == e.name;
            for (size_t d = 0; d < demos.size(); d++) {
                if (used[d] || demos[d].points != e.points)
                    continue;
                used[d] = true;
                if (listed && !demos[d].date.endsWith(".sent"))
                    out.push_back({demos[d].file.toStdString(), level, e.name, e.points});
                break;
            }
        }
    }
    return out;
}

void L_DemoSent(const std::string &file)
{
    size_t n = file.size();
    if (n < 4 || file.compare(n - 4, 4, ".dem") != 0 || (n >= 9 && file.compare(n - 9, 9, ".sent.dem") == 0))
        return;
    std::string why;
    if (!L_RenameFile(file, file.substr(0, n - 4) + ".sent.dem", &why))
        L_TellFileError(253, 252, file, why);
}
