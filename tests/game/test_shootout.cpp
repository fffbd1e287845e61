/* A shot's whole road on the real headless engine: ship down, bombs, score line. */
#include <gtest/gtest.h>

#include "play_data.h"

namespace {

TEST(Shootout, ShipShotDownBombsShakeTheViewScoreLinePrinted)
{
    gk::TempDir dir;
    play::Spawn ship = {"enemy-ship", 0.2f, 0.0f, {0, 0, -150}, {0, 0, -1}, 0.0f};
    ASSERT_TRUE(play::WriteTree(dir.path, 2, 20.0f, {ship}))
        << "needs the runnable tree with the module and the archive";
    for (const char *m : {"enemy-ship", "bombe"})
        ASSERT_TRUE(gk::WriteBoxModel(dir.path + "/data/" + m, 12.0f));
    ASSERT_EQ(play::StartGame(dir.path, 2), 1);
    gentity_t *player = CL_Player();
    ASSERT_NE(player, nullptr);

    /* the ship fades in over a second and cannot be hit meanwhile */
    ASSERT_TRUE(play::Frames(150));
    ASSERT_EQ(harness::Count(MC_TARGET, SUB_ENEMYSHIP), 1);
    ASSERT_NE(harness::Count(MC_SOUND, SUB_CLASS_SOUND), 0) << "the ship's engine sound";

    /* fire until the ship breaks: 15 health / 0.55 = 28 plasma hits */
    Eng_PostEvent(IE_LBUTTONDOWN, 0, 0);
    int bombs = 0, frames = 0;
    for (; harness::Count(MC_TARGET, SUB_ENEMYSHIP) == 1 && frames < 600; frames++)
        ASSERT_TRUE(play::Frames(1));
    bombs = harness::Count(MC_TARGET, SUB_BOMBE);
    Eng_PostEvent(IE_LBUTTONUP, 0, 0);
    ASSERT_EQ(harness::Count(MC_TARGET, SUB_ENEMYSHIP), 0) << "the ship survived 6 s of fire";
    EXPECT_GE(frames, 270); /* 28 shots at ten a second */
    EXPECT_EQ(std::make_pair(bombs, CL_GetScore()), std::make_pair(4, 150)) << "four bombs, the ship's points";
    EXPECT_GE(harness::Count(MC_TEXT, SUB_TEXT_FONT_TECH), 1) << "the floating 150";

    /* the bombs come at 30 units/s and explode next to the view */
    int shook = 0;
    for (int i = 0; i < 1200 && harness::Count(MC_TARGET, SUB_BOMBE) > 0; i++) {
        ASSERT_TRUE(play::Frames(1));
        shook |= View_IsShaking(player);
    }
    EXPECT_EQ(harness::Count(MC_TARGET, SUB_BOMBE), 0);
    EXPECT_TRUE(shook && CL_GetScore() == 150) << "explosions score nothing: " << CL_GetScore();

    /* play out the level: the score line carries the points */
    testing::internal::CaptureStdout();
    int running = play::Frames(3000);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(running == 0 && out == "$$score 150\n") << running << out;

    Eng_StopHeadless();
    Sys_SetClock(nullptr);
}

} // namespace
