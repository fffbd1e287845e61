/*
 * l_online.cpp -- the exchange with the highscore server: one GET sends the
 * packed local table and receives either the merged internet table or a
 * message for the user.  The dialog keeps running while the request is
 * under way; only the exchange button is locked.  Only a complete answer
 * with status 200 may change the internet list; names and messages from
 * the server are cleaned before they are shown or kept.  After an exchange
 * the kept demos of entries the server lists are sent to it for
 * verification, one after the other in the background.
 */
#include "l_local.h"

#include <stdlib.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>

std::string ResponseText;
/* The server is an endpoint of the deployment; GACKATRON_SCORE_HOST names it. */
std::string ScoreServerHost;
int ExchangeLimitMs = 60000;
int ExchangeIdleMs = 30000;

#define L_MAXRESPONSE (64 << 10)    /* a packed table or a message, with room */
#define L_MAXDEMO (2 << 20)         /* the largest demo the server takes */

std::string L_RequestURL(const std::string &host, int country, const std::string &packed)
{
    return "http://" + host + "/topten.php?game=gackatron&merge=1&getlist=1&country=" +
           std::to_string(country) + "&val=" + packed;
}

static std::string L_ServerHost(void)
{
    if (!ScoreServerHost.empty())
        return ScoreServerHost;
    const char *h = getenv("GACKATRON_SCORE_HOST");
    return h && *h ? h : "127.0.0.1:8000";
}

void httpDocData(const char *data, int length)
{
    if (length <= 0)
        return;
    size_t room = ResponseText.size() < L_MAXRESPONSE ? L_MAXRESPONSE - ResponseText.size() : 0;
    ResponseText.append(data, (size_t)length < room ? (size_t)length : room);
}

/* The end of a 200 answer: a message, or the new internet list with its
 * names cleaned as the server cleans them. */
void httpDocEnd(void)
{
    mf.buttonInternet->setEnabled(true);
    std::string caption, text;
    HighscoreTable t;
    if (L_SplitMessage(ResponseText, &caption, &text, HS_CountryCodePage(LocaleCountry))) {
        L_MessageBox(mf.mainf, L_MB_INFO, caption, text);
    } else if (!UnpackTable(ResponseText, &t)) {
        L_MessageBox(mf.mainf, L_MB_ERROR, Lang(213), Lang(214));
    } else {
        for (int r = 0; r < HS_ROWS; r++)
            for (int i = 0; i < HS_ENTRIES; i++)
                t.e[r][i].name = L_CleanText(t.e[r][i].name, HS_TYPEDNAME, false);
        InternetTable = t;
    }
    comboMapsChange(mf.comboIMaps);
}

std::string L_ReplayURL(const std::string &host, int country, const L_DemoUpload &u)
{
    QByteArray name = QByteArray::fromStdString(u.name).toPercentEncoding();
    return "http://" + host + "/replay?game=gackatron&level=" + std::to_string(u.level) + "&name=" +
           name.toStdString() + "&points=" + std::to_string(u.points) + "&country=" + std::to_string(country);
}

/* ---- demos sent for verification ---- */

static std::vector<L_DemoUpload> l_uploads;
static size_t l_uploadat;
static int l_uploadfailed;
static std::string l_uploadmsg;     /* the first refusal the server gave */
static std::string l_uploadhost;
static l_httpreq_t l_uploadreq;     /* proxy and limits of the round */

bool L_Uploading(void)
{
    return l_uploadat < l_uploads.size();
}

static void L_UploadStatus(const std::string &text)
{
    if (mf.labelStatus)
        mf.labelStatus->setText(QString::fromStdString(text));
}

/* All sent: a failure or a refusal is told once, for the whole round. */
static void L_UploadsDone(void)
{
    L_UploadStatus("");
    l_uploads.clear();
    l_uploadat = 0;
    std::string caption, text;
    if (!l_uploadmsg.empty() && L_SplitMessage(l_uploadmsg, &caption, &text, HS_CountryCodePage(LocaleCountry)))
        L_MessageBox(mf.mainf, L_MB_INFO, caption, text);
    else if (l_uploadfailed)
        L_MessageBox(mf.mainf, L_MB_ERROR, Lang(216), Lang(217));
}

static void L_UploadNext(void)
{
    while (l_uploadat < l_uploads.size()) {
        const L_DemoUpload &u = l_uploads[l_uploadat];
        QFile f(QString::fromStdString(u.file));
        QByteArray demo;
        if (f.open(QIODevice::ReadOnly))
            demo = f.read(L_MAXDEMO + 1);
        if (demo.isEmpty() || demo.size() > L_MAXDEMO) {
            l_uploadat++;       /* gone or too large: nothing to send */
            continue;
        }
        std::string status = Lang(233);
        size_t p = status.find("#1");
        if (p != std::string::npos)
            status.replace(p, 2, std::to_string(l_uploadat + 1));
        p = status.find("#2");
        if (p != std::string::npos)
            status.replace(p, 2, std::to_string(l_uploads.size()));
        L_UploadStatus(status);
        l_httpreq_t req = l_uploadreq;
        req.method = "POST";
        req.url = L_ReplayURL(l_uploadhost, LocaleCountry, u);
        req.headers = "Content-Type: application/octet-stream\r\n";
        req.body = demo.toStdString();
        std::string file = u.file;
        L_HttpStart(req, [file](const l_httpanswer_t &a) {
            bool answered = a.result == L_HTTP_DONE && a.status == 200;
            if (answered && a.body == "OK")
                L_DemoSent(file);
            else if (answered && a.body.compare(0, 4, "MSG:") == 0 && l_uploadmsg.empty())
                l_uploadmsg = a.body;
            else if (!answered)
                l_uploadfailed++;
            l_uploadat++;
            L_UploadNext();
        });
        return;
    }
    L_UploadsDone();
}

/* Starts sending the demos the server should verify; the dialog goes on. */
static void L_StartUploads(const HighscoreTable *internet, const l_httpreq_t &like)
{
    if (L_Uploading())
        return;
    l_uploads = L_DemosToSend(&LocalTable, internet);
    l_uploadat = 0;
    l_uploadfailed = 0;
    l_uploadmsg.clear();
    if (l_uploads.empty())
        return;
    l_uploadreq = like;
    l_uploadreq.limit_ms = 120000;
    l_uploadhost = L_ServerHost();
    L_UploadNext();
}

static void L_DeleteModesFile(void)
{
    const char *t = getenv("TEMP");
    if (!t)
        t = getenv("TMP");
    if (!t)
        return;
    std::string dir = t;
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    QFile::remove(QString::fromStdString(dir + "modes.$$$"));
}

/* The text of an exchange that brought no 200 answer. */
static std::string L_ExchangeFailure(const l_httpanswer_t &a, bool useproxy)
{
    std::string text;
    switch (a.result) {
    case L_HTTP_TIMEOUT:
        return Lang(215);
    case L_HTTP_TOOLARGE:
        return Lang(250);
    case L_HTTP_BADANSWER:
        return Lang(214);
    case L_HTTP_REDIRECT:
        text = Lang(251);
        if (text.find("#1") != std::string::npos)
            text.replace(text.find("#1"), 2, L_CleanText(a.location, 200, false));
        return text;
    case L_HTTP_DONE:
        text = Lang(259);
        if (text.find("#1") != std::string::npos)
            text.replace(text.find("#1"), 2, std::to_string(a.status));
        return text;
    }
    return Lang(useproxy ? 211 : 212);
}

void buttonInternetClick(void)
{
    ResponseText.clear();
    mf.buttonInternet->setEnabled(false);

    l_httpreq_t req = {};
    bool useproxy = mf.checkProxy->isChecked();
    if (useproxy) {
        req.proxyhost = mf.editProxy->text().trimmed().toStdString();
        req.proxyport = (uint16_t)mf.editPort->text().toUShort();
    }
    req.method = "GET";
    req.url = L_RequestURL(L_ServerHost(), LocaleCountry, PackTable(&LocalTable));
    req.headers = "User-Agent: Mozilla/3.0 (compatible)\r\n"
                  "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
                  "Pragma: no-cache\r\n";
    req.maxbody = L_MAXRESPONSE;
    req.limit_ms = ExchangeLimitMs;
    req.idle_ms = ExchangeIdleMs;

    L_BusyBegin(Lang(231));
    l_httpanswer_t a = L_HttpRun(req);
    L_BusyEnd();
    if (a.result != L_HTTP_DONE || a.status != 200) {
        /* no list changes; the server's own message says most */
        std::string caption, text;
        mf.buttonInternet->setEnabled(true);
        if (a.result == L_HTTP_DONE && L_SplitMessage(a.body, &caption, &text, HS_CountryCodePage(LocaleCountry)))
            L_MessageBox(mf.mainf, L_MB_INFO, caption, text);
        else
            L_MessageBox(mf.mainf, L_MB_ERROR, Lang(210), L_ExchangeFailure(a, useproxy));
        return;
    }
    httpDocData(a.body.data(), (int)a.body.size());
    httpDocEnd();
    L_DeleteModesFile();
    HighscoreTable internet;
    if (UnpackTable(ResponseText, &internet))
        L_StartUploads(&internet, req);
}
