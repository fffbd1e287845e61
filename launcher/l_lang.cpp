/*
 * l_lang.cpp -- the launcher's language: the country number of the system
 * locale, the choice made on the command line, the language file
 * ("data/textres_" + number + ".ini" beside the program) with its numbered
 * texts, and the replacement of control captions by their language keys.
 */
#include "l_local.h"

#include <langinfo.h>
#include <locale.h>
#include <stdlib.h>
#include <strings.h>

#include <fstream>
#include <sstream>

#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QVariant>
#include <QWidget>

int LocaleCountry;
int LanguageCountry = 44;
int LanguageCharset = -1;

static std::map<int, std::string> lang_texts;

int Lang_LocaleCountry(void)
{
    setlocale(LC_ALL, "");
    const char *s = nl_langinfo(_NL_TELEPHONE_INT_PREFIX);
    int n = s ? atoi(s) : 0;
    return n > 0 && n < 100000 ? n : 0;
}

std::string Lang_LocaleLanguageName(void)
{
    const char *s = nl_langinfo(_NL_IDENTIFICATION_LANGUAGE);
    return s ? s : "";
}

/* "-de"/"/de" -> 49, "en" -> 44, "ru" -> 7, tested in this order. */
int Lang_CountryFromArgs(const std::vector<std::string> &args, int localecountry)
{
    static const struct { const char *sw; int country; } table[] = {
        {"de", 49}, {"en", 44}, {"ru", 7}};
    for (const auto &t : table)
        for (const std::string &a : args)
            if (a.size() > 1 && (a[0] == '-' || a[0] == '/') && !strcasecmp(a.c_str() + 1, t.sw))
                return t.country;
    return localecountry;
}

std::string Lang_FilePath(const std::string &progdir, int country)
{
    std::string d = progdir;
    if (d.empty() || d.back() != '/')
        d += '/';
    return d + "data/textres_" + std::to_string(country) + ".ini";
}

static std::string Lang_Trim(const std::string &s)
{
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t'))
        a++;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r'))
        b--;
    return s.substr(a, b - a);
}

/* Reads the section named by the country number; keys are numbers. */
bool Lang_LoadFile(const std::string &path, int country)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    lang_texts.clear();
    std::string want = "[" + std::to_string(country) + "]";
    std::string line;
    bool in = false;
    while (std::getline(f, line)) {
        line = Lang_Trim(line);
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            in = line == want;
            continue;
        }
        size_t eq = line.find('=');
        if (!in || eq == std::string::npos)
            continue;
        std::string key = Lang_Trim(line.substr(0, eq));
        char *end;
        long k = strtol(key.c_str(), &end, 10);
        if (key.empty() || *end)
            continue;
        std::string v = Lang_Trim(line.substr(eq + 1));
        if (v.size() >= 2 && v[0] == '"' && v.back() == '"')
            v = v.substr(1, v.size() - 2);      /* quotes keep outer blanks */
        if (!lang_texts.count((int)k))
            lang_texts[(int)k] = v;
    }
    std::string cs = Lang(0);
    char *end;
    long v = strtol(cs.c_str(), &end, 10);
    LanguageCharset = (!cs.empty() && !*end) ? (int)v : -1;
    return true;
}

/* The text of a key, "?" when missing; a backslash-n is a line break. */
std::string Lang(int key)
{
    auto it = lang_texts.find(key);
    if (it == lang_texts.end())
        return "?";
    std::string out;
    const std::string &s = it->second;
    for (size_t i = 0; i < s.size(); i++) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'n') {
            out += "\r\n";
            i++;
        } else
            out += s[i];
    }
    return out;
}

bool Lang_Select(const std::string &progdir, const std::vector<std::string> &args)
{
    LocaleCountry = Lang_LocaleCountry();
    LanguageCountry = Lang_CountryFromArgs(args, LocaleCountry);
    std::string path = Lang_FilePath(progdir, LanguageCountry);
    if (!QFile::exists(QString::fromStdString(path))) {
        L_MessageBox(NULL, L_MB_WARNING, "No Panic",
                     "Unable to find the proper language support file for \"" +
                         Lang_LocaleLanguageName() + "\".\r\nFalling back to default English. "
                         "Please click OK to proceed.");
        LanguageCountry = 44;
        path = Lang_FilePath(progdir, LanguageCountry);
    }
    bool ok = Lang_LoadFile(path, LanguageCountry);
    HS_Fill(&LocalTable, Lang(205), 0);
    HS_Fill(&InternetTable, Lang(205), 0);
    return ok;
}

/* Children first, then the control's own caption from its tag. */
void ApplyLanguage(QWidget *w)
{
    for (QObject *o : w->children())
        if (o->isWidgetType())
            ApplyLanguage((QWidget *)o);
    int tag = w->property("tag").toInt();
    if (!tag)
        return;
    QString text = QString::fromStdString(Lang(tag));
    QWidget *parent = w->parentWidget();
    if (QLabel *l = qobject_cast<QLabel *>(w))
        l->setText(text);
    else if (QAbstractButton *b = qobject_cast<QAbstractButton *>(w))
        b->setText(text);
    else if (QGroupBox *g = qobject_cast<QGroupBox *>(w))
        g->setTitle(text);
    else {
        /* a page: its caption is the tab text of the page control */
        for (QWidget *p = parent; p; p = p->parentWidget())
            if (QTabWidget *tw = qobject_cast<QTabWidget *>(p)) {
                int i = tw->indexOf(w);
                if (i >= 0)
                    tw->setTabText(i, text);
                break;
            }
    }
}
