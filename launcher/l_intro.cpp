/*
 * l_intro.cpp -- the intro: two short videos played one after the other in
 * a borderless window before the dialog appears; a click or a key press
 * skips the rest.  Without the first video there is no intro at all.
 */
#include "l_local.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QMediaPlayer>
#include <QThread>
#include <QUrl>
#include <QVideoWidget>
#include <QWidget>

int IntroCounter;

#define L_INTROLIMIT_MS 180000

static QMediaPlayer *player;
static std::string intro_dir;

/* Clicks, double clicks and keys on the intro window skip the intro. */
struct introfilter_s : public QObject {
    bool eventFilter(QObject *o, QEvent *e) override
    {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            FormClick();
            return true;
        case QEvent::KeyPress:
            FormKeyPress();
            return true;
        default:
            return QObject::eventFilter(o, e);
        }
    }
};

static void L_IntroStart(const std::string &file)
{
    player->setSource(QUrl::fromLocalFile(QString::fromStdString(intro_dir + "/" + file)));
    player->play();
}

void playerNotify(void)
{
    QThread::msleep(200);
    IntroCounter++;
    if (player)
        player->stop();
    if (IntroCounter == 1 && player)
        L_IntroStart("qv-intro.mpg");
}

void FormClick(void)
{
    IntroCounter = 3;
    playerNotify();
}

void FormKeyPress(void)
{
    FormClick();
}

void PlayIntro(const std::string &dir)
{
    if (!QFile::exists(QString::fromStdString(dir + "/wy-intro.mpeg")))
        return;
    intro_dir = dir;
    QWidget *v = mf.vidf = new QWidget(NULL, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    v->setFixedSize(640, 480);
    v->setStyleSheet("background: black;");
    QVideoWidget *panel = new QVideoWidget(v);     /* Panel1 */
    panel->setGeometry(0, 0, 640, 480);
    introfilter_s filter;
    v->installEventFilter(&filter);
    panel->installEventFilter(&filter);
    player = new QMediaPlayer(v);
    player->setVideoOutput(panel);
    QObject::connect(player, &QMediaPlayer::mediaStatusChanged, [](QMediaPlayer::MediaStatus s) {
        if (s == QMediaPlayer::EndOfMedia)
            playerNotify();
    });
    QObject::connect(player, &QMediaPlayer::errorOccurred, [] {
        if (IntroCounter < 2)
            playerNotify();
    });
    L_IntroStart("wy-intro.mpeg");
    if (QScreen *scr = QGuiApplication::primaryScreen())
        v->move(scr->availableGeometry().center() - QPoint(320, 240));
    v->show();
    /* wake up now and then; give up on a player that never reports */
    QTimer tick;
    tick.start(100);
    QElapsedTimer since;
    since.start();
    while (IntroCounter < 2 && since.elapsed() < L_INTROLIMIT_MS)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    IntroCounter = IntroCounter < 2 ? 2 : IntroCounter;
    player->stop();
    player = NULL;
    if (mf.mainf) {
        mf.mainf->show();
        mf.mainf->raise();
    }
    v->removeEventFilter(&filter);
    panel->removeEventFilter(&filter);
    delete v;
    mf.vidf = NULL;
}
