/* One scripted game on the real headless engine (one test: one import per process). */
#include <gtest/gtest.h>

#include <algorithm>

#include "demo.h"
#include "engine.h"
#include "play_data.h"

namespace {

TEST(Play, RammingFirePauseAndContinueOnTheRealEngine)
{
    gk::TempDir dir;
    play::Spawn spawns[] = {
        {"chicken", 0.0f, 0.0f, {0, 0, -200}, {0, 0, 1}, 0.0f},
        {"enemy-ship", 0.0f, 0.0f, {-300, 0, -200}, {1, 0, 0}, 100.0f},
        {"chicken", 0.0f, 0.0f, {0, 50, -400}, {0, 0, 1}, 0.0f},
        {"rakete", 0.0f, 0.0f, {-300, 50, -400}, {1, 0, 0}, 100.0f}};
    ASSERT_TRUE(play::WriteTree(dir.path, 1, 30.0f, {std::begin(spawns), std::end(spawns)}))
        << "needs the runnable tree with the module and the archive";
    ASSERT_EQ(play::StartGame(dir.path, 1), 1);
    ASSERT_EQ(G_CurrentStateId(), GST_ACTION);
    demoheader_t h;
    Demo_MakeHeader(&h, 1, 0, 0.3f, 0);
    ASSERT_TRUE(Demo_StartRecord((dir / "k.dem").c_str(), &h));
    ASSERT_TRUE(play::Frames(150)); /* both are 150 units short of their chicken */
    ASSERT_EQ(harness::Count(MC_TARGET, SUB_CHICKEN), 2);
    ASSERT_TRUE(play::Frames(300)); /* three seconds: through and past */
    EXPECT_EQ((std::vector<int>{harness::Count(MC_TARGET, SUB_CHICKEN), harness::Count(MC_TARGET, SUB_ENEMYSHIP),
                                harness::Count(MC_SPACE, SUB_RAKETE)}), (std::vector<int>{0, 1, 1})) << "the rammed chickens die, the rammers fly on";
    client_t *c = &cl_client;
    EXPECT_STREQ(c->hud.score->ent->u.txt.text, "SCORE 0") << "kills by ships and rockets score nothing";

    /* one second held: ten shots, muzzles alternating, kick-back at most 0.3, no drift */
    entity_t *gun = c->weapon->ent;
    EXPECT_FLOAT_EQ(gun->origin[2], -1.6f);
    Eng_PostEvent(IE_LBUTTONDOWN, 0, 0);
    float kick = 0.0f;
    for (int i = 0; i < 100; i++) {
        ASSERT_TRUE(play::Frames(1));
        kick = std::max(kick, gun->origin[2] + 1.6f);
        EXPECT_GE(gun->origin[2], -1.6f - 1e-4f) << "never ahead of its rest";
    }
    EXPECT_TRUE(kick > 0.05f && kick <= 0.3f + 1e-4f) << kick;
    Eng_PostEvent(IE_LBUTTONUP, 0, 0);
    ASSERT_TRUE(play::Frames(1));
    int fired = harness::Count(MC_MISSILE);
    EXPECT_TRUE(fired >= 10 && fired <= 11) << fired;
    ASSERT_TRUE(play::Frames(50));
    EXPECT_EQ(harness::Count(MC_MISSILE), fired) << "nothing fired after the release";
    EXPECT_TRUE(fabsf(gun->origin[2] + 1.6f) < 1e-5f && !gun->think) << gun->origin[2] << ": back at rest";

    /* a long look to the right stops at 85 degrees, and the camera follows */
    Eng_PostEvent(IE_MOUSEMOVE, 100000, 0);
    ASSERT_TRUE(play::Frames(3));
    entity_t *cam = (entity_t *)Game_Main(GOP_CAMERA, 0, 0, 0);
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ((std::vector<float>{cam->angles[1], CL_Player()->ent->angles[1]}), (std::vector<float>{85, 85}));

    /* pause: time and the level timer stand still however long it lasts */
    Eng_PostEvent(IE_CHAR, KEY_ESCAPE, 0);
    ASSERT_TRUE(play::Frames(1));
    ASSERT_EQ(G_CurrentStateId(), GST_PAUSE);
    float paused_at = eng_gametime;
    std::string timer = c->hud.timer->ent->u.txt.text;
    ASSERT_TRUE(G_GetMasterVolume() == 0.3f && !CL_Player()->ent->think && Pause_Cursor()) << G_GetMasterVolume();
    ASSERT_TRUE(play::Frames(1000)); /* ten seconds */
    EXPECT_TRUE(eng_gametime == paused_at && timer == c->hud.timer->ent->u.txt.text) << timer;
    EXPECT_FLOAT_EQ(CL_Player()->ent->angles[1], 85.0f) << "the mouse moves the cursor only";

    /* Escape continues where the game stopped, without a jump */
    Eng_PostEvent(IE_CHAR, KEY_ESCAPE, 0);
    ASSERT_TRUE(play::Frames(2));
    EXPECT_TRUE(G_CurrentStateId() == GST_ACTION && G_GetMasterVolume() == 1.0f && eng_gametime - paused_at < 0.05f)
        << G_CurrentStateId() << " " << G_GetMasterVolume() << " " << eng_gametime - paused_at;
    EXPECT_TRUE(Pause_Cursor() == nullptr && CL_Player()->ent->think) << "the cursor gone, the player thinking";

    /* an unclosed recording is its temporary file beside the demo: every frame but the last, which
     * verifies as a failure; the demo is put in place when the recording stops */
    std::string killed, full;
    for (const auto &e : std::filesystem::directory_iterator(dir.path))
        if (e.path().filename().string().rfind("k.dem.tmp", 0) == 0) {
            ASSERT_TRUE(gk::ReadFile(e.path().string(), &killed));
        }
    EXPECT_FALSE(gk::ReadFile(dir / "k.dem", &full));
    Demo_StopRecord();
    ASSERT_TRUE(gk::ReadFile(dir / "k.dem", &full));
    demoheader_t got;
    int frames[2] = {0, 0};
    char err[256] = "";
    for (int i = 0; i < 2; i++) {
        const std::string &d = i ? full : killed;
        ASSERT_TRUE(Demo_Check((const uint8_t *)d.data(), d.size(), 60000, &got, &frames[i], err, sizeof(err))) << err;
    }
    EXPECT_TRUE(frames[0] == frames[1] - 1 && frames[0] > 1000 && got.level == 1) << frames[0] << " " << frames[1];
    /* the reader takes a game clock up to the 30 s of play and 15 s of fade-out, no further:
     * one last empty frame brings it to 45 000 ms, or one past */
    ASSERT_TRUE(Demo_Open((dir / "k.dem").c_str(), &got));
    demoframe_t f;
    uint32_t end = 0;
    while (Demo_NextFrame(&f))
        end = f.gamems;
    Demo_Close();
    for (uint32_t past : {0u, 1u}) {
        std::string longer = full;
        for (uint32_t v = (45000 + past - end) << 1; ; v >>= 7) {
            longer += (char)((v & 0x7f) | (v > 0x7f ? 0x80 : 0));
            if (v <= 0x7f)
                break;
        }
        ASSERT_TRUE(gk::WriteFile(dir / "long.dem", longer + '\0'));
        testing::internal::CaptureStderr();
        EXPECT_EQ(Demo_Open((dir / "long.dem").c_str(), &got), past ? 0 : 1) << past;
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.find("play time") != std::string::npos, past == 1) << said;
        Demo_Close();
    }
    gk::WriteFile(dir / "k.dem", killed);
    gk::ProcResult r = play::Engine(dir.path, {"-verifydemo", dir / "k.dem"});
    EXPECT_TRUE(r.status == 0 && r.out == "$$failure\n") << r.out << r.err;
    Eng_StopHeadless();
    Sys_SetClock(nullptr);
}

} // namespace
