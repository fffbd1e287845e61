/* The intro videos: played, skipped, missing or stalled. */
#include <QMediaPlayer>

#include "l_testapp.h"
#include "wavwriter.h"

struct Intro : ::testing::Test {
    gk::TempDir d;
    std::string first, second;
    void SetUp() override
    {
        L_TestApp();
        IntroCounter = 0;
        mf = mainf_t{};
        if (!gk::ReadFile(gk::DistDir() + "/wy-intro.mpeg", &first) ||
            !gk::ReadFile(gk::DistDir() + "/qv-intro.mpg", &second))
            GTEST_SKIP() << "no intro videos were made (ffmpeg missing)";
    }
};

/* The counter tells how the intro ended: 2 each video played to its end,
 * 4 skipped by a key or a click; a missing second video still ends it. */
TEST_F(Intro, PlayedSkippedOrMissing)
{
    const struct { bool first, second; int event, counter; bool atleast; } rows[] = {
        {false, true, 0, 0, false}, {true, true, 0, 2, false}, {true, true, 1, 4, false},
        {true, false, 2, 4, false}, {true, false, 0, 2, true}};
    for (const auto &r : rows) {
        gk::TempDir v;
        if (r.first)
            gk::WriteFile(v / "wy-intro.mpeg", first);
        if (r.second)
            gk::WriteFile(v / "qv-intro.mpg", second);
        QRect shown;
        QTimer poll;    /* acts once the window shows, however long a loaded machine takes */
        QObject::connect(&poll, &QTimer::timeout, [&r, &shown, &poll] {
            if (!mf.vidf || !mf.vidf->isVisible())
                return;
            poll.stop();
            shown = mf.vidf->geometry();
            if (r.event == 1)
                QCoreApplication::postEvent(mf.vidf, new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier));
            if (r.event == 2)
                QCoreApplication::postEvent(mf.vidf, new QMouseEvent(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5),
                                                                     Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        });
        poll.start(20);
        IntroCounter = 0;
        PlayIntro(v.path);
        EXPECT_TRUE((IntroCounter == r.counter || (r.atleast && IntroCounter > r.counter)) && !mf.vidf)
            << IntroCounter << " for " << r.first << r.second << r.event << ", window left: " << mf.vidf;
        QRect a = QGuiApplication::primaryScreen()->availableGeometry();    /* a 640 x 480 window centred */
        EXPECT_TRUE(!r.first || (shown.size() == QSize(640, 480) && abs(shown.left() + shown.right() - a.left() - a.right()) <= 1 &&
                                 abs(shown.top() + shown.bottom() - a.top() - a.bottom()) <= 1)) << shown.x() << "," << shown.y();
    }
}

/* A back end that stops delivering (paused here, as a stuck pipeline would
 * be) must not hold the intro: each video gets its length and a little. */
TEST_F(Intro, StalledVideoEndsAtItsTimeLimit)
{
    gk::WriteFile(d / "wy-intro.mpeg", first);
    gk::WriteFile(d / "qv-intro.mpg", second);
    Lang_LoadFile(gk::DistDir() + "/data/textres_7.ini", 7);
    QString hint;
    qint64 length = 0;
    bool sound = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QMediaPlayer *p = mf.vidf ? mf.vidf->findChild<QMediaPlayer *>() : nullptr;
        if (!p || p->playbackState() != QMediaPlayer::PlayingState)
            return;
        hint = mf.vidf->findChild<QLabel *>()->text();
        length = p->duration();
        sound = p->hasAudio() && p->audioOutput();
        p->pause();
        poll.stop();
    });
    poll.start(20);
    QElapsedTimer clock;
    clock.start();
    PlayIntro(d.path);
    EXPECT_EQ(IntroCounter, 2);
    EXPECT_EQ(hint.toStdString(), Lang(230));
    EXPECT_TRUE(sound) << "the intro plays without its sound";
    ASSERT_GT(length, 0);
    /* the first video's limit, then the whole second video */
    EXPECT_GT(clock.elapsed(), length + 1000);
    EXPECT_LT(clock.elapsed(), 2 * length + 12000);
}

/* Each video carries its sound: a track as long as the picture, not silent. */
TEST_F(Intro, EachVideoHasItsSound)
{
    for (const char *v : {"wy-intro.mpeg", "qv-intro.mpg"}) {
        gk::ProcResult r = gk::RunProcess({"/usr/bin/ffmpeg", "-v", "error", "-i", gk::DistDir() + "/" + v, "-ac", "1",
                                           "-ar", "8000", "-f", "s16le", "-"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_GE(r.out.size() / 2, 8000u * 3) << v;
        EXPECT_GT(gk::WavChannelRms(r.out, 1, 0), 1000.0) << v;
    }
}
