/*
 * l_http.cpp -- the launcher's HTTP/1.0 client: one request on a
 * connection of its own (to the server, or to the proxy with the whole
 * address), read piece by piece on the dialog's thread as it arrives, so
 * the dialog keeps drawing and answering.  An answer is held to small
 * limits: a head past L_MAXHEAD bytes or a body past the caller's limit
 * ends the exchange as soon as it passes it, and so do the time limit of
 * the whole exchange and a server that pauses too long.  A redirect is
 * followed only to the same server; one to another is reported.
 */
#include "l_local.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#define L_MAXHEAD (16 << 10)    /* status line and header lines */
#define L_READCHUNK (16 << 10)
#define L_MAXREDIRECTS 4

typedef struct {
    l_httpreq_t req;
    QUrl url;
    QTcpSocket *sock;
    QTimer *limit, *idle;
    std::string head;
    bool inbody, over;
    long long length;           /* Content-Length, -1 when not given */
    int redirects;
    l_httpanswer_t ans;
    std::function<void(const l_httpanswer_t &)> done;
} l_http_t;

static void L_HttpConnect(l_http_t *h);

/* Ends the exchange at once; the caller hears of it from the event loop,
 * after every handler that still holds h has returned. */
static void L_HttpEnd(l_http_t *h, int result)
{
    if (h->over)
        return;
    h->over = true;
    h->ans.result = result;
    h->limit->stop();
    h->idle->stop();
    if (h->sock) {
        h->sock->disconnect();
        h->sock->abort();
        h->sock->deleteLater();
    }
    QTimer::singleShot(0, [h] {
        l_httpanswer_t ans = h->ans;
        std::function<void(const l_httpanswer_t &)> done = h->done;
        delete h->limit;
        delete h->idle;
        delete h;
        done(ans);
    });
}

static bool L_SameOrigin(const QUrl &a, const QUrl &b)
{
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(80) == b.port(80);
}

/* A complete answer: a redirect within the same server is followed, one
 * to another server ends the exchange with its address. */
static void L_HttpAnswered(l_http_t *h)
{
    int s = h->ans.status;
    bool redirect = s == 301 || s == 302 || s == 303 || s == 307 || s == 308;
    if (!redirect || h->ans.location.empty())
        return L_HttpEnd(h, L_HTTP_DONE);
    QUrl to = h->url.resolved(QUrl(QString::fromStdString(h->ans.location)));
    if (!to.isValid() || !L_SameOrigin(h->url, to)) {
        h->ans.location = to.isValid() ? to.toString().toStdString() : h->ans.location;
        return L_HttpEnd(h, L_HTTP_REDIRECT);
    }
    if (h->req.method != "GET" || h->redirects >= L_MAXREDIRECTS)
        return L_HttpEnd(h, L_HTTP_DONE);
    h->redirects++;
    h->url = to;
    h->sock->disconnect();
    h->sock->abort();
    h->sock->deleteLater();
    L_HttpConnect(h);
}

/* "HTTP/1.x NNN text" and the header lines; false when it is no answer. */
static bool L_HttpParseHead(l_http_t *h)
{
    std::vector<std::string> lines = HS_SplitLines(h->head);
    if (lines.empty() || lines[0].compare(0, 7, "HTTP/1.") != 0 || lines[0].size() < 12 ||
        lines[0][8] != ' ' || lines[0].find_first_not_of("0123456789", 9) < 12)
        return false;
    h->ans.status = atoi(lines[0].c_str() + 9);
    for (size_t i = 1; i < lines.size(); i++) {
        const std::string &l = lines[i];
        size_t colon = l.find(':');
        if (colon == std::string::npos)
            continue;
        QByteArray name = QByteArray::fromStdString(l.substr(0, colon)).trimmed().toLower();
        std::string value = QByteArray::fromStdString(l.substr(colon + 1)).trimmed().toStdString();
        if (name == "content-length") {
            if (value.empty() || value.size() > 12 || value.find_first_not_of("0123456789") != std::string::npos)
                return false;
            h->length = atoll(value.c_str());
        } else if (name == "location") {
            h->ans.location = value;
        } else if (name == "transfer-encoding" && QByteArray::fromStdString(value).toLower() != "identity") {
            return false;   /* not for an HTTP/1.0 request */
        }
    }
    return true;
}

static void L_HttpBody(l_http_t *h, const char *data, size_t n)
{
    h->ans.body.append(data, n);
    if (h->ans.body.size() > h->req.maxbody || h->length > (long long)h->req.maxbody)
        return L_HttpEnd(h, L_HTTP_TOOLARGE);
    if (h->length >= 0 && h->ans.body.size() >= (size_t)h->length) {
        h->ans.body.resize((size_t)h->length);
        L_HttpAnswered(h);
    }
}

static void L_HttpRead(l_http_t *h)
{
    char buf[L_READCHUNK];
    QTcpSocket *sock = h->sock;
    while (!h->over && h->sock == sock && sock->bytesAvailable() > 0) {
        qint64 n = sock->read(buf, sizeof(buf));
        if (n <= 0)
            break;
        if (h->req.idle_ms > 0)
            h->idle->start();
        if (h->inbody) {
            L_HttpBody(h, buf, (size_t)n);
            continue;
        }
        size_t from = h->head.size() > 3 ? h->head.size() - 3 : 0;
        h->head.append(buf, (size_t)n);
        size_t crlf = h->head.find("\r\n\r\n", from), lf = h->head.find("\n\n", from);
        size_t end = crlf < lf ? crlf + 4 : lf != std::string::npos ? lf + 2 : std::string::npos;
        if (end == std::string::npos) {
            if (h->head.size() > L_MAXHEAD)
                L_HttpEnd(h, L_HTTP_TOOLARGE);
            continue;
        }
        std::string rest = h->head.substr(end);
        h->head.resize(end);
        if (h->head.size() > L_MAXHEAD)
            return L_HttpEnd(h, L_HTTP_TOOLARGE);
        if (!L_HttpParseHead(h))
            return L_HttpEnd(h, L_HTTP_BADANSWER);
        h->inbody = true;
        L_HttpBody(h, rest.data(), rest.size());
    }
}

/* The server closed the connection: the end of a body without a length. */
static void L_HttpClosed(l_http_t *h, QTcpSocket *sock)
{
    L_HttpRead(h);
    if (h->over || h->sock != sock)
        return;     /* ended, or a redirect went on */
    if (!h->inbody)
        return L_HttpEnd(h, h->head.empty() ? L_HTTP_NOCONNECT : L_HTTP_BADANSWER);
    if (h->length >= 0)     /* shorter than it said */
        return L_HttpEnd(h, L_HTTP_BADANSWER);
    L_HttpAnswered(h);
}

static void L_HttpConnect(l_http_t *h)
{
    h->head.clear();
    h->inbody = false;
    h->length = -1;
    h->ans = l_httpanswer_t{};
    QString host = h->url.host();
    quint16 port = (quint16)h->url.port(80);
    std::string target = h->url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment).toStdString();
    if (target.empty() || target[0] != '/')
        target = "/" + target;
    if (!h->req.proxyhost.empty()) {    /* the proxy gets the whole address */
        target = h->url.toEncoded(QUrl::RemoveFragment).toStdString();
        host = QString::fromStdString(h->req.proxyhost);
        port = h->req.proxyport;
    }
    std::string hosthead = h->url.host(QUrl::FullyEncoded).toStdString();
    if (hosthead.find(':') != std::string::npos)
        hosthead = "[" + hosthead + "]";    /* an IPv6 address */
    if (h->url.port() > 0)
        hosthead += ":" + std::to_string(h->url.port());
    std::string msg = h->req.method + " " + target + " HTTP/1.0\r\nHost: " + hosthead + "\r\n" + h->req.headers;
    if (h->req.method == "POST")
        msg += "Content-Length: " + std::to_string(h->req.body.size()) + "\r\n";
    msg += "\r\n" + h->req.body;

    QTcpSocket *sock = h->sock = new QTcpSocket;
    sock->setReadBufferSize(L_READCHUNK * 4);
    QObject::connect(sock, &QTcpSocket::connected, [sock, msg] {
        sock->write(msg.data(), (qint64)msg.size());
    });
    QObject::connect(sock, &QTcpSocket::readyRead, [h] { L_HttpRead(h); });
    QObject::connect(sock, &QTcpSocket::disconnected, [h, sock] { L_HttpClosed(h, sock); });
    QObject::connect(sock, &QTcpSocket::errorOccurred, [h, sock](QAbstractSocket::SocketError e) {
        if (e == QAbstractSocket::RemoteHostClosedError)
            return;     /* disconnected follows */
        if (sock->state() == QAbstractSocket::ConnectedState || h->inbody || !h->head.empty())
            return L_HttpClosed(h, sock);
        L_HttpEnd(h, L_HTTP_NOCONNECT);
    });
    if (h->req.idle_ms > 0)
        h->idle->start();
    sock->connectToHost(host, port);
}

void L_HttpStart(const l_httpreq_t &req, std::function<void(const l_httpanswer_t &)> done)
{
    l_http_t *h = new l_http_t{};
    h->req = req;
    h->done = done;
    h->url = QUrl(QString::fromStdString(req.url), QUrl::StrictMode);
    h->limit = new QTimer;
    h->idle = new QTimer;
    h->limit->setSingleShot(true);
    h->idle->setSingleShot(true);
    h->idle->setInterval(req.idle_ms);
    QObject::connect(h->limit, &QTimer::timeout, [h] { L_HttpEnd(h, L_HTTP_TIMEOUT); });
    QObject::connect(h->idle, &QTimer::timeout, [h] { L_HttpEnd(h, L_HTTP_TIMEOUT); });
    if (!h->url.isValid() || h->url.scheme() != "http" || h->url.host().isEmpty())
        return L_HttpEnd(h, L_HTTP_NOCONNECT);
    if (req.limit_ms > 0)
        h->limit->start(req.limit_ms);
    L_HttpConnect(h);
}

l_httpanswer_t L_HttpRun(const l_httpreq_t &req)
{
    l_httpanswer_t out;
    bool over = false;
    QEventLoop loop;
    L_HttpStart(req, [&](const l_httpanswer_t &a) {
        out = a;
        over = true;
        loop.quit();
    });
    if (!over)
        loop.exec();
    return out;
}
