/* Stereo on the real headless engine through OpenAL's wave-file back end in a child. */
#include <gtest/gtest.h>

#include <stdlib.h>

#include "play_data.h"
#include "wavwriter.h"

namespace {

TEST(Stereo, ChildPlaysTheLevel)
{
    const char *dir = getenv("GK_STEREO_CHILD");
    if (!dir)
        GTEST_SKIP() << "runs inside the stereo test";
    ASSERT_EQ(play::StartGame(dir, 1), 1);
    BGM_Stop(); /* the music sits at the listener, on both sides alike */
    Eng_PostEvent(IE_MOUSEMOVE, atoi(getenv("GK_STEREO_TURN")), 0);
    for (int i = 0; i < 80; i++, usleep(10000)) /* in step with the back end's real time */
        ASSERT_TRUE(play::Frames(1));
    Eng_StopHeadless();
}

TEST(Stereo, EachSoundIsLouderOnItsOwnSide)
{
    if (getenv("GK_STEREO_CHILD"))
        GTEST_SKIP();
    /* ship position, mouse motion that turns the view, louder channel */
    struct Case { float x, z; int turn, louder; } cases[] = {
        {60, -20, 0, 1},       /* right of the view */
        {-60, -20, 0, 0},      /* left of the view */
        {0, -60, 100000, 0},   /* ahead at first; left once the view looks right */
    };
    for (const Case &c : cases) {
        gk::TempDir d;
        play::Spawn ship = {"enemy-ship", 0.0f, 0.0f, {c.x, 0, c.z}, {0, 0, -1}, 0.0f};
        ASSERT_TRUE(play::WriteTree(d.path, 1, 30.0f, {ship}));
        ASSERT_TRUE(gk::WriteFile(d / "alsoft.conf", "[general]\ndrivers=wave\nchannels=stereo\nsample-type=int16\n"
                                                     "[wave]\nfile=" + (d / "out.wav") + "\n"));
        gk::ProcResult r = gk::RunSelf(
            "Stereo.ChildPlaysTheLevel",
            {"GK_STEREO_CHILD=" + d.path, "GK_STEREO_TURN=" + std::to_string(c.turn),
             "ALSOFT_DRIVERS=wave", "ALSOFT_CONF=" + (d / "alsoft.conf")});
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        std::string out;
        ASSERT_TRUE(gk::ReadFile(d / "out.wav", &out));
        std::string pcm = gk::WavDataChunk(out);
        double side[2] = {gk::WavChannelRms(pcm, 2, 0), gk::WavChannelRms(pcm, 2, 1)};
        EXPECT_GT(side[c.louder], 200.0) << "the ship was not heard";
        EXPECT_GT(side[c.louder], 2.0 * side[1 - c.louder])
            << "ship at " << c.x << ", " << c.z << " turn " << c.turn << ": left " << side[0]
            << ", right " << side[1];
    }
}

/* The player's volumes on the command line of the real program scale the
 * music (at the listener) and the effects (a ship's loop beside it). */
TEST(Stereo, VolumesScaleMusicAndEffects)
{
    gk::PrivateDisplay x;
    if (getenv("GK_STEREO_CHILD") || !x.Start())
        GTEST_SKIP() << "needs Xvfb";
    gk::TempDir d;
    play::Spawn ship = {"enemy-ship", 0.0f, 0.0f, {60, 0, -20}, {0, 0, -1}, 0.0f};
    ASSERT_TRUE(play::WriteTree(d.path, 1, 0.5f, {ship}));
    ASSERT_TRUE(gk::WriteFile(d / "alsoft.conf", "[general]\ndrivers=wave\nchannels=stereo\nsample-type=int16\n"
                                                 "[wave]\nfile=" + (d / "out.wav") + "\n"));
    auto rms = [&](int music, int effects) {   /* from the first sound to the last */
        gk::ProcResult r = play::Engine(d.path, {"-map", "1", "-musicvolume", std::to_string(music), "-effectsvolume",
                                                 std::to_string(effects)},
                                        {"ALSOFT_DRIVERS=wave", "ALSOFT_CONF=" + (d / "alsoft.conf")});
        EXPECT_EQ(r.out.rfind("$$score", 0), 0u) << r.out << r.err;
        std::string pcm = gk::WavDataChunk(gk::FileText(d / "out.wav"));
        size_t a = pcm.find_first_not_of('\0'), b = pcm.find_last_not_of('\0');
        return a < b ? gk::WavChannelRms(pcm.substr(a & ~(size_t)3, (b - a) & ~(size_t)3), 1, 0) : 0.0;
    };
    double music = rms(100, 0), effects = rms(0, 100);
    EXPECT_GT(music, 300.0);
    EXPECT_GT(effects, 300.0);
    EXPECT_NEAR(rms(50, 0) / music, 0.5, 0.06) << "music at half volume";
    EXPECT_NEAR(rms(0, 25) / effects, 0.25, 0.04) << "effects at a quarter";
}

} // namespace
