/*
 * A recording on the headless engine that is never closed, as when the
 * engine is killed: every frame before the last is in the file, and the
 * real vexengine verifies that demo as a failure.
 */
#include <gtest/gtest.h>

#include "demo.h"
#include "play_data.h"

TEST(Demo, KilledRecordingKeepsItsFramesAndVerifiesAsFailure)
{
    gk::TempDir dir;
    play::Spawn chicken = {"chicken", 0.0f, 1.0f, {0, 0, -200}, {0, 0, 1}, 10.0f};
    ASSERT_TRUE(play::WriteTree(dir.path, 1, 30.0f, {chicken}));
    ASSERT_EQ(play::StartGame(dir.path, 1), 1);
    demoheader_t h;
    Demo_MakeHeader(&h, 1, 0, 0.3f, 0);
    ASSERT_TRUE(Demo_StartRecord((dir / "k.dem").c_str(), &h));
    for (int i = 0; i < 50; i++) {
        Eng_PostEvent(IE_MOUSEMOVE, 7, -3);
        if (i == 10)
            Eng_PostEvent(IE_LBUTTONDOWN, 0, 0);
        ASSERT_TRUE(play::Frames(1, 20));
    }
    std::string killed, full;
    ASSERT_TRUE(gk::ReadFile(dir / "k.dem", &killed));
    Demo_StopRecord();
    ASSERT_TRUE(gk::ReadFile(dir / "k.dem", &full));
    demoheader_t got;
    int frames = 0;
    char err[256] = "";
    ASSERT_TRUE(Demo_Check((const uint8_t *)killed.data(), killed.size(), 60000, &got, &frames,
                           err, sizeof(err))) << err;
    EXPECT_EQ(frames, 49);
    ASSERT_TRUE(Demo_Check((const uint8_t *)full.data(), full.size(), 60000, &got, &frames, err,
                           sizeof(err))) << err;
    EXPECT_EQ(frames, 50);
    EXPECT_EQ(got.level, 1);

    gk::WriteFile(dir / "k.dem", killed);
    gk::ProcResult r = play::Engine(dir.path, {"-verifydemo", dir / "k.dem"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "$$failure\n");
    Eng_StopHeadless();
}
