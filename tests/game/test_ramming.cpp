/*
 * Objects that fly into each other, on the real engine with the real game
 * module, headless: an enemy ship and a rocket (their models from the
 * game's archive) each fly through a chicken that hangs in their way.
 * The chickens die, the ship and the rocket fly on (a chicken deals no
 * damage), and nobody scores.  The module keeps its import for the life
 * of the process, so the game is one test.
 */
#include <gtest/gtest.h>

#include "engine.h"
#include "play_data.h"

namespace {

using play::clock_ms;

int Count(int mainclass, int subclass)
{
    int n = 0;
    for (gentity_t *g = G_NextInUse(nullptr); g; g = G_NextInUse(g))
        n += g->mainclass == mainclass && g->subclass == subclass;
    return n;
}

TEST(Ramming, ShipAndRocketKillChickensInTheirWayAndNobodyScores)
{
    gk::TempDir dir;
    play::Spawn spawns[] = {
        {"chicken", 0.0f, 0.0f, {0, 0, -200}, {0, 0, 1}, 0.0f},
        {"enemy-ship", 0.0f, 0.0f, {-300, 0, -200}, {1, 0, 0}, 100.0f},
        {"chicken", 0.0f, 0.0f, {0, 50, -400}, {0, 0, 1}, 0.0f},
        {"rakete", 0.0f, 0.0f, {-300, 50, -400}, {1, 0, 0}, 100.0f},
    };
    ASSERT_TRUE(play::WriteTree(dir.path, 1, 30.0f, {std::begin(spawns), std::end(spawns)}))
        << "needs the runnable tree with the module and the archive";
    ASSERT_EQ(play::StartGame(dir.path, 1), 1);
    for (int i = 0; i < 150; i++) { /* both are 150 units short of their chicken */
        clock_ms += 10;
        ASSERT_TRUE(Eng_RunFrame());
    }
    ASSERT_EQ(Count(MC_TARGET, SUB_CHICKEN), 2);
    for (int i = 0; i < 300; i++) { /* three seconds: through and past */
        clock_ms += 10;
        ASSERT_TRUE(Eng_RunFrame());
    }
    EXPECT_EQ(Count(MC_TARGET, SUB_CHICKEN), 0) << "a chicken survived being rammed";
    EXPECT_EQ(Count(MC_TARGET, SUB_ENEMYSHIP), 1);
    EXPECT_EQ(Count(MC_SPACE, SUB_RAKETE), 1);
    EXPECT_EQ(CL_GetScore(), 0) << "kills by ships and rockets score nothing";
    Eng_StopHeadless();
    Sys_SetClock(nullptr);
}

} // namespace
