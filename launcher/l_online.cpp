/*
 * l_online.cpp -- the exchange with the highscore server: one GET sends the
 * packed local table and receives either the merged internet table or a
 * message for the user.  The dialog keeps running while the request is
 * under way; only the exchange button is locked.
 */
#include "l_local.h"

#include <stdlib.h>

#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

std::string ResponseText;
/* The server is an endpoint of the deployment; GACKATRON_SCORE_HOST names it. */
std::string ScoreServerHost;
int ExchangeLimitMs = 60000;

#define L_MAXRESPONSE (1 << 20)

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
    if (L_SplitMessage(ResponseText, &caption, &text)) {
        L_MessageBox(mf.mainf, L_MB_INFO, caption, text);
    } else if (!UnpackTable(ResponseText, &InternetTable)) {
        L_MessageBox(mf.mainf, L_MB_ERROR, Lang(213), Lang(214));
    }
    comboMapsChange(mf.comboIMaps);
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
}
