/*
 * l_online.cpp -- the exchange with the highscore server: one GET sends the
 * packed local table and receives either the merged internet table or a
 * message for the user.  The dialog keeps running while the request is
 * under way; only the exchange button is locked.  After an exchange the
 * kept demos of entries the server lists are sent to it for verification,
 * one after the other in the background.
 */
#include "l_local.h"

#include <stdlib.h>

#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

std::string ResponseText;
/* The server is an endpoint of the deployment; GACKATRON_SCORE_HOST names it. */
std::string ScoreServerHost;
int ExchangeLimitMs = 60000;

#define L_MAXRESPONSE (1 << 20)
#define L_MAXDEMO (2 << 20)     /* the largest demo the server takes */

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

void httpDocEnd(void)
{
    mf.buttonInternet->setEnabled(true);
    std::string caption, text;
    if (L_SplitMessage(ResponseText, &caption, &text, HS_CountryCodePage(LocaleCountry))) {
        L_MessageBox(mf.mainf, L_MB_INFO, caption, text);
    } else if (!UnpackTable(ResponseText, &InternetTable)) {
        L_MessageBox(mf.mainf, L_MB_ERROR, Lang(213), Lang(214));
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

static QPointer<QNetworkAccessManager> l_uploadnam;    /* goes with the dialog */
static std::vector<L_DemoUpload> l_uploads;
static size_t l_uploadat;
static int l_uploadfailed;
static std::string l_uploadmsg;     /* the first refusal the server gave */
static std::string l_uploadhost;

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
        QNetworkRequest req(QUrl(QString::fromStdString(L_ReplayURL(l_uploadhost, LocaleCountry, u))));
        req.setHeader(QNetworkRequest::ContentTypeHeader, "application/octet-stream");
        req.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        req.setTransferTimeout(30000);
        QNetworkReply *r = l_uploadnam->post(req, demo);
        std::string file = u.file;
        QObject::connect(r, &QNetworkReply::finished, [r, file] {
            std::string body = r->read(65536).toStdString();
            bool answered = r->error() == QNetworkReply::NoError &&
                            r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
            r->deleteLater();
            if (answered && body == "OK")
                L_DemoSent(file);
            else if (answered && body.compare(0, 4, "MSG:") == 0 && l_uploadmsg.empty())
                l_uploadmsg = body;
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
static void L_StartUploads(const HighscoreTable *internet, const QNetworkProxy &proxy)
{
    if (L_Uploading())
        return;
    l_uploads = L_DemosToSend(&LocalTable, internet);
    l_uploadat = 0;
    l_uploadfailed = 0;
    l_uploadmsg.clear();
    if (l_uploads.empty())
        return;
    if (!l_uploadnam)
        l_uploadnam = new QNetworkAccessManager(mf.mainf);
    l_uploadnam->setProxy(proxy);
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

void buttonInternetClick(void)
{
    ResponseText.clear();
    mf.buttonInternet->setEnabled(false);

    QNetworkAccessManager nam;
    bool useproxy = mf.checkProxy->isChecked();
    quint16 port = (quint16)mf.editPort->text().toUShort();
    if (useproxy)
        nam.setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, mf.editProxy->text(), port));
    else
        nam.setProxy(QNetworkProxy(QNetworkProxy::NoProxy));

    std::string url = L_RequestURL(L_ServerHost(), LocaleCountry, PackTable(&LocalTable));
    QNetworkRequest req(QUrl(QString::fromStdString(url)));
    req.setHeader(QNetworkRequest::UserAgentHeader, "Mozilla/3.0 (compatible)");
    req.setRawHeader("Accept", "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    req.setRawHeader("Pragma", "no-cache");
    req.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    req.setTransferTimeout(30000);

    L_BusyBegin(Lang(231));
    QNetworkReply *r = nam.get(req);
    /* the transfer timeout restarts with every byte: a server that drips
     * its answer is stopped by a limit on the whole exchange */
    bool late = false;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [r, &late] {
        late = true;
        r->abort();
    });
    limit.start(ExchangeLimitMs);
    QEventLoop loop;
    QObject::connect(r, &QNetworkReply::readyRead, [r] {
        QByteArray b = r->readAll();
        httpDocData(b.constData(), (int)b.size());
    });
    QObject::connect(r, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!r->isFinished())
        loop.exec();
    if (!late) {
        QByteArray rest = r->readAll();
        httpDocData(rest.constData(), (int)rest.size());
    }

    /* a document arrived when the server answered with a status */
    bool answered = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    bool failed = r->error() != QNetworkReply::NoError;
    limit.stop();
    r->deleteLater();
    L_BusyEnd();
    if (late) {
        mf.buttonInternet->setEnabled(true);
        L_MessageBox(mf.mainf, L_MB_ERROR, Lang(210), Lang(215));
        return;
    }
    if (answered)
        httpDocEnd();
    if (failed) {
        mf.buttonInternet->setEnabled(true);
        L_MessageBox(mf.mainf, L_MB_ERROR, Lang(210), Lang(useproxy ? 211 : 212));
        return;
    }
    L_DeleteModesFile();
    HighscoreTable internet;
    if (UnpackTable(ResponseText, &internet))
        L_StartUploads(&internet, nam.proxy());
}
