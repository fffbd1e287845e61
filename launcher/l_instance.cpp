/*
 * l_instance.cpp -- one launcher at a time for a game tree: the first one
 * holds a lock file in the user's runtime folder and listens on a local
 * socket beside it; one started while it runs asks it to bring its window
 * to the front and ends, so two dialogs never overwrite each other's
 * settings.  A lock left by a launcher that died is taken over.
 */
#include "l_local.h"

#include <QCryptographicHash>
#include <QDialog>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>

#define L_REACH_MS 5000     /* how long a second launcher tries to reach the first */

static QLockFile *l_lock;
static QLocalServer *l_server;

/* Lock and socket names: one pair per game tree (its settings belong to
 * it), in the user's private runtime folder. */
static QString L_InstanceBase(void)
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    QByteArray tree = QCryptographicHash::hash(QByteArray::fromStdString(L_ProgramDir()),
                                               QCryptographicHash::Sha1);
    return dir + "/gackatron-" + QString::fromLatin1(tree.toHex().left(16));
}

/* On X the keyboard focus is also set straight away: Qt asks for it with
 * the time of the last event it saw, which the server ignores when the
 * focus has moved since (the player went to another window). */
static void L_TakeFocus(QWidget *w)
{
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_set_input_focus(x11->connection(), XCB_INPUT_FOCUS_PARENT, (xcb_window_t)w->winId(), XCB_CURRENT_TIME);
    xcb_flush(x11->connection());
}

/* The launcher's window that the player sees now comes to the front: the
 * score entry, the dialog or the intro.  While a game runs none is shown,
 * and none is brought up over the game. */
void L_RaiseWindow(void)
{
    QWidget *wins[] = {mf.pointf, mf.mainf, mf.vidf};
    for (QWidget *w : wins) {
        if (!w || !w->isVisible())
            continue;
        w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
        w->raise();
        w->activateWindow();
        L_TakeFocus(w);
        return;
    }
}

static void L_AnswerPeer(void)
{
    while (QLocalSocket *c = l_server->nextPendingConnection()) {
        QObject::connect(c, &QLocalSocket::disconnected, c, &QObject::deleteLater);
        QObject::connect(c, &QLocalSocket::readyRead, c, [c] {
            if (c->read(64).startsWith("raise"))
                L_RaiseWindow();
            c->disconnectFromServer();
        });
    }
}

/* Asks the launcher that holds the lock to come to the front. */
static bool L_AskFirst(const QString &name)
{
    QElapsedTimer since;
    since.start();
    while (since.elapsed() < L_REACH_MS) {
        QLocalSocket s;
        s.connectToServer(name);
        if (s.waitForConnected(1000)) {
            s.write("raise\n");
            if (s.waitForBytesWritten(1000)) {
                s.waitForDisconnected(1000);
                return true;
            }
        }
        QThread::msleep(100);   /* the first may be starting its server */
    }
    return false;
}

int L_SingleInstance(void)
{
    QString base = L_InstanceBase();
    l_lock = new QLockFile(base + ".lock");
    l_lock->setStaleLockTime(0);        /* stale only when its launcher is gone */
    if (l_lock->tryLock(0)) {
        QLocalServer::removeServer(base + ".sock");     /* left by one that died */
        l_server = new QLocalServer;
        l_server->setSocketOptions(QLocalServer::UserAccessOption);
        if (l_server->listen(base + ".sock"))
            QObject::connect(l_server, &QLocalServer::newConnection, L_AnswerPeer);
        return L_INSTANCE_FIRST;
    }
    if (l_lock->error() != QLockFile::LockFailedError)
        return L_INSTANCE_FIRST;        /* no lock to be had here: do not refuse to run */
    if (L_AskFirst(base + ".sock"))
        return L_INSTANCE_RAISED;
    L_MessageBox(NULL, L_MB_WARNING, Lang(260), Lang(261));
    return L_INSTANCE_UNREACHABLE;
}

void L_InstanceEnd(void)
{
    delete l_server;
    l_server = NULL;
    delete l_lock;      /* unlocks */
    l_lock = NULL;
}
