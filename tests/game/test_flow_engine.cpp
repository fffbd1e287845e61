/* Scheduler, timer and score line on the real headless engine (one import per process). */
#include <gtest/gtest.h>

#include "entity.h"
#include "input.h"
#include "play_data.h"

namespace {

/* Milliseconds of wall clock spent in pause so far. */
uint32_t paused_ms;

/* One frame at game time t (the clock starts at 1000 ms). */
int FrameAt(float t)
{
    play::clock_ms = 1000 + paused_ms + (uint32_t)(t * 1000.0f + 0.5f);
    return Eng_RunFrame();
}

TEST(FlowEngine, ScheduleFadeOutAndScoreLineOnTheRealEngine)
{
    gk::TempDir dir;
    play::Spawn repeat = {"chicken", 1.0f, 0.5f, {0, 0, -300}, {0, 0, 1}, 0.0f};
    play::Spawn far = {"CHICKEN", 0.95f, 0.0f, {0, 0, -700}, {0, 0, 1}, 0.0f};
    ASSERT_TRUE(play::WriteTree(dir.path, 1, 4.0f, {repeat, far}))
        << "needs the runnable tree with the module and the archive";
    ASSERT_EQ(play::StartGame(dir.path, 1), 1);
    ASSERT_EQ(G_CurrentStateId(), GST_ACTION);
    /* the cache holds the fixed classes and the level's chicken, hidden */
    ASSERT_EQ(G_PrecachedCount(), 25);
    for (int i = 0; i < G_PrecachedCount(); i++)
        EXPECT_EQ(g_entities[i].ent->state, ES_HIDDEN) << g_entities[i].classname;

    ASSERT_TRUE(FrameAt(0.9f));
    EXPECT_EQ(harness::InUse(MC_TARGET, SUB_CHICKEN).size(), 0u);
    /* the window losing the focus pauses as Escape does, and again while paused keeps the pause */
    for (int state : {GST_PAUSE, GST_PAUSE}) {
        Eng_PostEvent(IE_FOCUSLOST, 0, 0);
        ASSERT_TRUE(FrameAt(0.9f));
        EXPECT_EQ(G_CurrentStateId(), state);
    }
    Eng_PostEvent(IE_CHAR, KEY_ESCAPE, 0);
    ASSERT_TRUE(FrameAt(0.9f));
    ASSERT_EQ(G_CurrentStateId(), GST_ACTION);
    /* frames at 2.2, 2.3, 2.4: one repeat each; the far chicken is swept at 2.2 */
    int live = Ent_LiveCount();
    ASSERT_TRUE(FrameAt(2.2f));
    EXPECT_EQ(std::make_pair(harness::InUse(MC_TARGET, SUB_CHICKEN).size(), Ent_LiveCount()), std::make_pair((size_t)1, live + 1));
    ASSERT_TRUE(FrameAt(2.3f) && FrameAt(2.4f));
    auto chickens = harness::InUse(MC_TARGET, SUB_CHICKEN);
    ASSERT_TRUE(chickens.size() == 3u && FrameAt(2.45f)) << chickens.size();
    EXPECT_EQ(harness::InUse(MC_TARGET, SUB_CHICKEN).size(), 3u);

    /* the newest chicken fades in, then thinks as a chicken; the 2.2 one shows at once */
    entity_t *first = chickens[0]->ent;
    for (gentity_t *g : chickens)
        if (g->spawntime > first->spawntime)
            first = g->ent;
    EXPECT_TRUE(first->think == SC_SpawnInThink && fabsf(first->color[0] - 0.15f) < 0.005f) << first->color[0];
    for (gentity_t *g : chickens)
        EXPECT_TRUE(g->spawntime >= 2.25f || g->ent->color[0] == 1.0f) << g->spawntime << ": " << g->ent->color[0];
    ASSERT_TRUE(FrameAt(3.45f));
    EXPECT_TRUE(first->color[0] == 1.0f && first->think != SC_SpawnInThink && first->think) << first->color[0];

    /* ten seconds of pause at 3.5: no spawns, and the level time carries on afterwards */
    Eng_PostEvent(IE_CHAR, KEY_ESCAPE, 0);
    ASSERT_TRUE(FrameAt(3.5f));
    ASSERT_EQ(G_CurrentStateId(), GST_PAUSE);
    size_t before = harness::InUse(MC_TARGET, SUB_CHICKEN).size();
    paused_ms = 10000;
    Eng_PostEvent(IE_CHAR, KEY_ESCAPE, 0);
    ASSERT_TRUE(FrameAt(3.5f));
    ASSERT_TRUE(G_CurrentStateId() == GST_ACTION && harness::InUse(MC_TARGET, SUB_CHICKEN).size() == before);
    ASSERT_TRUE(FrameAt(3.99f) && G_CurrentStateId() == GST_ACTION) << G_CurrentStateId();

    /* time up at 4: the fade-out starts, nothing spawns any more */
    before = harness::InUse(MC_TARGET, SUB_CHICKEN).size();
    ASSERT_TRUE(FrameAt(4.0f) && G_CurrentStateId() == GST_FADEOUT) << G_CurrentStateId();
    ASSERT_TRUE(FrameAt(4.0f + 0.5f / 0.3f));
    EXPECT_EQ(harness::InUse(MC_TARGET, SUB_CHICKEN).size(), before);
    EXPECT_TRUE(fabsf(G_GetFadeLevel() - 0.5f) < 0.01f && fabsf(G_GetMasterVolume() - 0.5f) < 0.01f &&
                fabsf(first->brightness - 0.5f) < 0.01f) << G_GetFadeLevel() << " " << G_GetMasterVolume() << " " << first->brightness;
    Eng_PostEvent(IE_CHAR, KEY_ESCAPE, 0); /* no pause during the fade */
    Eng_PostEvent(IE_FOCUSLOST, 0, 0);
    ASSERT_TRUE(FrameAt(4.0f + 0.6f / 0.3f) && G_CurrentStateId() == GST_FADEOUT) << G_CurrentStateId();

    /* the end of the fade prints the one result line and stops the loop */
    testing::internal::CaptureStdout();
    int running = FrameAt(4.0f + 1.1f / 0.3f);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::make_pair(running, out), std::make_pair(0, std::string("$$score 0\n")));
    EXPECT_EQ(Eng_Quit(), 1);
    EXPECT_EQ((std::vector<int>{Level_Count(), G_PrecachedCount()}), (std::vector<int>{0, 0})) << "levels, cache";

    Eng_StopHeadless();
    Sys_SetClock(nullptr);
}

} // namespace
