/*
 * l_intro.cpp -- the intro: two short videos played one after the other in
 * a borderless window before the dialog appears; a click or a key press
 * skips the rest.  Without the first video there is no intro at all.
 */
#include "l_local.h"

#include <QAudioOutput>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QMediaPlayer>
#include <QThread>
#include <QUrl>
#include <QVideoWidget>
#include <QWidget>

int IntroCounter;

#define L_INTROLIMIT_MS 180000
#define L_HINTHEIGHT 20         /* the strip below the video with the skip hint */

static QMediaPlayer *player;
static std::string intro_dir;
static void L_IntroStatus(QMediaPlayer::MediaStatus s);

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

/* Each video may take its length and a little more; one that never loads
 * or never reports its end is given up at that limit. */
#define L_LOADLIMIT_MS 10000
#define L_SLACK_MS 3000
#define L_UNKNOWNLIMIT_MS 10000   /* until a stream of unknown length shows progress */
static QTimer *watchdog;
static bool awaitingload;       /* a video was set and has not been started */

/* The length may be known at load or only a little later. */
static void L_IntroLimit(qint64 len)
{
    watchdog->start(len > 0 && len < L_INTROLIMIT_MS ? (int)len + L_SLACK_MS : L_UNKNOWNLIMIT_MS);
}

static void L_IntroStart(const std::string &file)
{
    watchdog->start(L_LOADLIMIT_MS);
    awaitingload = true;
    player->setSource(QUrl::fromLocalFile(QString::fromStdString(intro_dir + "/" + file)));
    /* playing starts when the media is loaded (L_IntroStatus): asked for
     * earlier, some back ends stay at "loaded" for good */
    if (player->mediaStatus() == QMediaPlayer::LoadedMedia)
        L_IntroStatus(QMediaPlayer::LoadedMedia);
}

static void L_IntroStatus(QMediaPlayer::MediaStatus s)
{
    if (!player)
        return;
    if (s == QMediaPlayer::LoadedMedia && awaitingload) {
        awaitingload = false;
        L_IntroLimit(player->duration());
        player->play();
    } else if (s == QMediaPlayer::EndOfMedia) {
        watchdog->stop();
        playerNotify();
    }
}

void playerNotify(void)
{
    QThread::msleep(200);
    IntroCounter++;
    if (watchdog)
        watchdog->stop();
    awaitingload = false;
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
    panel->setGeometry(0, 0, 640, 480 - L_HINTHEIGHT);
    /* the hint has a strip of its own: the video surface may be a native
     * window that would cover anything drawn over it */
    QLabel *hint = new QLabel(v);
    hint->setTextFormat(Qt::PlainText);
    hint->setText(QString::fromStdString(Lang(230)));
    hint->setGeometry(0, 480 - L_HINTHEIGHT, 632, L_HINTHEIGHT);
    hint->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    hint->setStyleSheet("color: #a0a0a0; background: black;");
    hint->setObjectName("introHint");
    introfilter_s filter;
    v->installEventFilter(&filter);
    panel->installEventFilter(&filter);
    hint->installEventFilter(&filter);
    player = new QMediaPlayer(v);
    player->setVideoOutput(panel);
    player->setAudioOutput(new QAudioOutput(v));    /* the videos have their sound */
    watchdog = new QTimer(v);
    watchdog->setSingleShot(true);
    QObject::connect(watchdog, &QTimer::timeout, [] {
        if (IntroCounter < 2)
            playerNotify();
    });
    QObject::connect(player, &QMediaPlayer::mediaStatusChanged, L_IntroStatus);
    QObject::connect(player, &QMediaPlayer::durationChanged, [](qint64 len) {
        if (player && !awaitingload && watchdog->isActive() && len > 0)
            L_IntroLimit(len);
    });
    /* a stream that never tells its length: what has played so far is its
     * length, and the limit moves on with every step of progress */
    QObject::connect(player, &QMediaPlayer::positionChanged, [] {
        if (player && !awaitingload && watchdog->isActive() && player->duration() <= 0)
            watchdog->start(L_SLACK_MS);
    });
    QObject::connect(player, &QMediaPlayer::errorOccurred, [] {
        if (IntroCounter < 2)
            playerNotify();
    });
    L_IntroStart("wy-intro.mpeg");
    if (QScreen *scr = QGuiApplication::primaryScreen()) {
        QRect a = scr->availableGeometry();
        v->move(a.x() + (a.width() - v->width()) / 2, a.y() + (a.height() - v->height()) / 2);
    }
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
    watchdog->stop();
    watchdog = NULL;
    if (mf.mainf) {
        mf.mainf->show();
        mf.mainf->raise();
    }
    v->removeEventFilter(&filter);
    panel->removeEventFilter(&filter);
    hint->removeEventFilter(&filter);
    delete v;
    mf.vidf = NULL;
}
