/*
 * test_intro.cpp -- the intro videos: none without the first file, both
 * played to their end, a key press that skips the rest, a missing second
 * video that still ends the intro, and a player that stalls mid-video
 * while the skip hint is shown in the player's language.
 */
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMediaPlayer>
#include <QMouseEvent>
#include <QWidget>

#include "gk_support.h"
#include "l_local.h"
#include "l_testapp.h"

class Intro : public ::testing::Test {
protected:
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

TEST_F(Intro, NoFirstFileNoIntro)
{
    gk::WriteFile(d / "qv-intro.mpg", second);
    PlayIntro(d.path);
    EXPECT_EQ(IntroCounter, 0);
    EXPECT_EQ(mf.vidf, nullptr);
}

TEST_F(Intro, BothVideosPlayToTheirEnd)
{
    gk::WriteFile(d / "wy-intro.mpeg", first);
    gk::WriteFile(d / "qv-intro.mpg", second);
    PlayIntro(d.path);
    EXPECT_EQ(IntroCounter, 2);
    EXPECT_EQ(mf.vidf, nullptr);
}

TEST_F(Intro, KeyPressSkipsTheRest)
{
    gk::WriteFile(d / "wy-intro.mpeg", first);
    gk::WriteFile(d / "qv-intro.mpg", second);
    QTimer::singleShot(100, [] {
        if (mf.vidf)
            QCoreApplication::postEvent(mf.vidf, new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier));
    });
    PlayIntro(d.path);
    EXPECT_EQ(IntroCounter, 4);     /* skipped in the first video: no second */
}

TEST_F(Intro, ClickSkipsAndMissingSecondStillEnds)
{
    gk::WriteFile(d / "wy-intro.mpeg", first);
    QTimer::singleShot(100, [] {
        if (mf.vidf)
            QCoreApplication::postEvent(mf.vidf, new QMouseEvent(QEvent::MouseButtonPress, QPointF(5, 5),
                                                                 QPointF(5, 5), Qt::LeftButton,
                                                                 Qt::LeftButton, Qt::NoModifier));
    });
    PlayIntro(d.path);
    EXPECT_EQ(IntroCounter, 4);

    IntroCounter = 0;
    PlayIntro(d.path);              /* the second file is missing */
    EXPECT_GE(IntroCounter, 2);
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
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QMediaPlayer *p = mf.vidf ? mf.vidf->findChild<QMediaPlayer *>() : nullptr;
        if (!p || p->playbackState() != QMediaPlayer::PlayingState)
            return;
        hint = mf.vidf->findChild<QLabel *>()->text();
        length = p->duration();
        p->pause();
        poll.stop();
    });
    poll.start(20);
    QElapsedTimer clock;
    clock.start();
    PlayIntro(d.path);
    EXPECT_EQ(IntroCounter, 2);
    EXPECT_EQ(hint.toStdString(), Lang(230));
    ASSERT_GT(length, 0);
    /* the first video's limit, then the whole second video */
    EXPECT_GT(clock.elapsed(), length + 1000);
    EXPECT_LT(clock.elapsed(), 2 * length + 12000);
}
