/*
 * The player: set-up and its failures, firing at the weapons' intervals
 * from alternating muzzles that converge ahead, weapon cycling with and
 * without the bonus, the chicken streak and the 16 second bonus weapon, the view limits and inversion,
 * the camera and music following the view, and the view shake.
 */
#include <gtest/gtest.h>

#include "gk_standin.h"

#include <math.h>

namespace {

class Player : public testing::Test {
protected:
    gentity_t *p = nullptr;
    void SetUp() override
    {
        harness::ResetAll();
        ASSERT_TRUE(harness::BuildPlayer());
        p = CL_Player();
        ASSERT_NE(p, nullptr);
    }
    void Kill(int mainclass, int subclass)
    {
        gentity_t *v = harness::SpawnVictim(mainclass, subclass);
        ASSERT_NE(v, nullptr);
        CL_ScoreKill(p, v);
        G_Remove(v);
    }
    void Kills(int n, int mainclass, int subclass)
    {
        for (int i = 0; i < n; i++)
            Kill(mainclass, subclass);
    }
};

TEST(PlayerInit, EachFailedSpawnIsNamedAndFailsTheSetUp)
{
    struct {
        const char *name;
        const char *line;
    } cases[] = {
        {"cockpit", "CL_Init: could not spawn cockpit model 'client_cockpit'\n"},
        {"weapon", "CL_Init: could not spawn weapon model 'client_weapon'\n"},
        {"arrow", "CL_Init: could not spawn arrow model 'client_arrow'\n"},
        {"tech", "# HUD_Create: could not spawn score text\n"},
        {"shot01icon", "# HUD_Create: could not spawn weapon icon imageclass #0 (subclass 50)\n"},
        {"Shot02icon", "# HUD_Create: could not spawn weapon icon imageclass #2 (subclass 52)\n"},
    };
    for (auto &k : cases) {
        harness::ResetAll();
        harness::failname = k.name;
        EXPECT_EQ(CL_Init(), 0) << k.name;
        EXPECT_TRUE(harness::Logged(k.line)) << harness::log;
    }
    harness::ResetAll();
    harness::failspawns = 1;
    EXPECT_EQ(CL_Init(), 0);
    EXPECT_TRUE(harness::Logged("CL_Init: could not spawn player entity\n"));
    EXPECT_EQ(Cam_Init(), 0);
    EXPECT_TRUE(harness::Logged("Cam_Init: could not spawn camera entity\n"));
}

TEST_F(Player, HeldButtonFiresAtTheIntervalFromAlternatingMuzzles)
{
    CL_PointerInput(IE_LBUTTONDOWN, 0, 0);
    harness::RunTo(2.0f);
    CL_PointerInput(IE_LBUTTONUP, 0, 0);
    harness::RunTo(3.0f);
    std::vector<harness::Played> shots;
    for (auto &s : harness::played)
        if (s.name == "sounds/shot1.wav")
            shots.push_back(s);
    /* 0.1 s is 12.8 frames of 1/128 s: one shot every 13 frames */
    ASSERT_EQ(shots.size(), 19u);
    for (size_t i = 1; i < shots.size(); i++)
        EXPECT_EQ(shots[i].pos[0] > 0, !(shots[i - 1].pos[0] > 0)) << "shot " << i;
}

TEST_F(Player, SlowerWeaponsKeepTheirIntervalAndNoShotsWithoutTheButton)
{
    harness::RunTo(1.0f);
    EXPECT_EQ(harness::played.size(), 1u) << "only the music so far";
    CL_PointerInput(IE_RBUTTONDOWN, 0, 0);
    ASSERT_EQ(p->weapon, 1);
    CL_PointerInput(IE_LBUTTONDOWN, 0, 0);
    harness::RunTo(3.0f);
    /* 0.5 s after the last shot: shots at 1.5, 2.0, 2.5, 3.0 */
    EXPECT_EQ(harness::CountPlayed("sounds/shot2.wav"), 4);
    EXPECT_EQ(harness::CountPlayed("sounds/shot1.wav"), 0);
    /* no shots while the player's think is off; giving it back clears fire held */
    CL_PlayerThinkOff();
    harness::RunTo(4.0f);
    EXPECT_EQ(harness::CountPlayed("sounds/shot2.wav"), 4);
    CL_PlayerThinkOn();
    EXPECT_EQ(cl_client.fireheld, 0);
}

TEST_F(Player, WeaponFireRefusesBadMuzzleAndWeapon)
{
    float o[3] = {0, 0, 0}, d[3] = {0, 0, -1};
    p->muzzle = 2;
    Weapon_Fire(p, o, d);
    EXPECT_TRUE(harness::Logged("# Weapon_Fire: '(no media)': invalid muzzle no.: 2 (expected 0..1)\n"));
    p->muzzle = 0;
    p->weapon = 3;
    Weapon_Fire(p, o, d);
    EXPECT_TRUE(harness::Logged("# Weapon_Fire: '(no media)': invalid weapon: 3 (expected 0..2)\n"));
    EXPECT_EQ(harness::CountPlayed("sounds/shot1.wav") + harness::CountPlayed("sounds/shot3a.wav"), 0);
}

TEST_F(Player, MuzzlesConvergeTwoHundredUnitsAhead)
{
    CL_PointerInput(IE_MOUSEMOVE, 40000, 0); /* yaw 20 */
    CL_PointerInput(IE_LBUTTONDOWN, 0, 0);
    harness::RunTo(0.25f);
    CL_PointerInput(IE_LBUTTONUP, 0, 0);
    float ahead[3];
    Vec_Scale(p->ent->dir, 200.0f, ahead);
    int missiles = 0;
    for (gentity_t *g = G_NextInUse(nullptr); g; g = G_NextInUse(g)) {
        if (g->mainclass != MC_MISSILE)
            continue;
        missiles++;
        EXPECT_EQ(g->subclass, SUB_MISSILE_PLASMA);
        EXPECT_EQ(g->owner, p);
        /* its line from the muzzle passes through the point 200 ahead */
        float to[3];
        Vec_Sub(ahead, g->ent->origin, to);
        Vec_Normalize(to);
        for (int i = 0; i < 3; i++)
            EXPECT_NEAR(g->ent->dir[i], to[i], 1e-5);
    }
    EXPECT_EQ(missiles, 2);
}

TEST_F(Player, RightButtonCyclesWeaponsAndTheBonusWeaponOnlyWhileActive)
{
    std::vector<int> seen;
    for (int i = 0; i < 3; i++) {
        CL_PointerInput(IE_RBUTTONDOWN, 0, 0);
        seen.push_back(p->weapon);
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 0, 1}));
    CL_PointerInput(IE_RBUTTONDOWN, 0, 0);
    p->bonusactive = 1;
    seen.clear();
    for (int i = 0; i < 3; i++) {
        CL_PointerInput(IE_RBUTTONDOWN, 0, 0);
        seen.push_back(p->weapon);
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 0}));
    /* only the current weapon's icon is shown */
    hud_t *h = &cl_client.hud;
    EXPECT_EQ(h->icons[0]->ent->state, ES_ACTIVE);
    EXPECT_EQ(h->icons[1]->ent->state, ES_HIDDEN);
    EXPECT_EQ(h->icons[2]->ent->state, ES_HIDDEN);
}

TEST_F(Player, StreakOfTenChickensUnlocksTheBonusOnlyUnbroken)
{
    Kills(9, MC_TARGET, SUB_CHICKEN);
    EXPECT_EQ(p->streak, 9);
    Kill(MC_TARGET, SUB_BALLON);
    EXPECT_EQ(p->streak, 0);
    Kills(9, MC_TARGET, SUB_CHICKEN);
    EXPECT_FALSE(p->bonusactive);
    Kill(MC_TARGET, SUB_SUPERCHICKEN); /* not a plain chicken */
    EXPECT_EQ(p->streak, 0);
    Kills(9, MC_TARGET, SUB_CHICKEN);
    EXPECT_FALSE(p->bonusactive);
    Kill(MC_TARGET, SUB_CHICKEN);
    EXPECT_TRUE(p->bonusactive);
    EXPECT_EQ(p->streak, 0);
    EXPECT_EQ(p->weapon, WEAPON_BONUS);
    /* kills during the bonus leave the streak alone */
    Kills(3, MC_TARGET, SUB_CHICKEN);
    EXPECT_EQ(p->streak, 0);
}

TEST_F(Player, BonusRunsSixteenSecondsThenFallsBackToWeaponZero)
{
    harness::RunTo(2.0f);
    Kills(10, MC_TARGET, SUB_CHICKEN);
    ASSERT_TRUE(p->bonusactive);
    entity_t *bonus = cl_client.hud.bonus->ent;
    harness::RunTo(2.5f);
    /* 15.5 s left: format with minutes and whole seconds */
    EXPECT_STREQ(bonus->u.txt.text, "bonus 0:15");
    harness::RunTo(17.9f);
    EXPECT_TRUE(p->bonusactive);
    EXPECT_EQ(p->weapon, WEAPON_BONUS);
    harness::RunTo(18.1f);
    EXPECT_FALSE(p->bonusactive);
    EXPECT_EQ(p->weapon, 0);
    EXPECT_EQ(cl_client.bonusitem->ent->think, nullptr);
    /* the text fades out, then is emptied */
    harness::RunTo(20.0f);
    EXPECT_STREQ(bonus->u.txt.text, "");
    /* bonus gone: the cycle skips weapon 2 again */
    CL_PointerInput(IE_RBUTTONDOWN, 0, 0);
    CL_PointerInput(IE_RBUTTONDOWN, 0, 0);
    EXPECT_EQ(p->weapon, 0);
}

TEST_F(Player, BonusEndingKeepsTheGlibberGunSelected)
{
    Kills(10, MC_TARGET, SUB_CHICKEN);
    CL_PointerInput(IE_RBUTTONDOWN, 0, 0); /* 2 -> 0 */
    CL_PointerInput(IE_RBUTTONDOWN, 0, 0); /* 0 -> 1 */
    ASSERT_EQ(p->weapon, 1);
    harness::RunTo(16.1f);
    EXPECT_FALSE(p->bonusactive);
    EXPECT_EQ(p->weapon, 1);
}

TEST_F(Player, ViewStopsAtEightyFiveDegreesAndFollowsTheCamera)
{
    CL_PointerInput(IE_MOUSEMOVE, 100000000, 0);
    EXPECT_FLOAT_EQ(p->ent->angles[1], 85.0f);
    EXPECT_GT(p->ent->dir[0], 0.99f) << "positive yaw turns towards +x";
    CL_PointerInput(IE_MOUSEMOVE, -400000000, 0);
    EXPECT_FLOAT_EQ(p->ent->angles[1], -85.0f);
    /* mouse down (positive b) lowers the pitch without inversion */
    CL_PointerInput(IE_MOUSEMOVE, 0, 20000);
    EXPECT_FLOAT_EQ(p->ent->angles[0], -10.0f);
    CL_PointerInput(IE_MOUSEMOVE, 0, 1000000);
    EXPECT_FLOAT_EQ(p->ent->angles[0], -85.0f);
    g_mouseinvert = 1;
    CL_PointerInput(IE_MOUSEMOVE, 0, 20000);
    EXPECT_FLOAT_EQ(p->ent->angles[0], -75.0f);
    CL_PointerInput(IE_MOUSEMOVE, 0, 100000000);
    EXPECT_FLOAT_EQ(p->ent->angles[0], 85.0f);
    /* the camera carries the view and the listener; the music sits at it */
    entity_t *cam = Cam_GetCameraEntity();
    ASSERT_FALSE(harness::listeners.empty());
    EXPECT_EQ(harness::listeners.back(), cam);
    EXPECT_FLOAT_EQ(cam->angles[0], 85.0f);
    EXPECT_FLOAT_EQ(cam->angles[1], -85.0f);
    for (int i = 0; i < 3; i++)
        EXPECT_FLOAT_EQ(cam->dir[i], p->ent->dir[i]);
    ASSERT_NE(BGM_Gentity(), nullptr);
    for (int i = 0; i < 3; i++)
        EXPECT_FLOAT_EQ(BGM_Gentity()->ent->dir[i], cam->dir[i]);
}

TEST_F(Player, ShakeBlocksAimingAndFiringAndGivesTheThinkBack)
{
    harness::RunTo(1.0f);
    View_Shake(p, 0.5f, 60.0f);
    View_Shake(p, 1.5f, 150.0f); /* a second shake keeps the firing think */
    ASSERT_TRUE(View_IsShaking(p));
    float yaw = p->ent->angles[1];
    CL_PointerInput(IE_MOUSEMOVE, 50000, 0);
    CL_PointerInput(IE_RBUTTONDOWN, 0, 0);
    EXPECT_EQ(p->ent->angles[1], yaw);
    EXPECT_EQ(p->weapon, 0);
    CL_PointerInput(IE_LBUTTONDOWN, 0, 0);
    EXPECT_EQ(cl_client.fireheld, 1);
    harness::RunTo(2.4f);
    EXPECT_EQ(harness::CountPlayed("sounds/shot1.wav"), 0) << "no firing while shaking";
    EXPECT_LE(fabsf(p->ent->angles[0]), 85.0f);
    EXPECT_LE(fabsf(p->ent->angles[1]), 85.0f);
    harness::RunTo(2.6f);
    EXPECT_FALSE(View_IsShaking(p));
    EXPECT_EQ(p->ent->think, Player_FrameThink);
    harness::RunTo(3.0f);
    EXPECT_GT(harness::CountPlayed("sounds/shot1.wav"), 0);
}

TEST_F(Player, MusicReplacesItselfAndOneShotSoundsFreeTheirSlot)
{
    BGM_Start("sounds/a.wav");
    gentity_t *first = BGM_Gentity();
    ASSERT_NE(first, nullptr);
    BGM_Start("sounds/b.wav");
    EXPECT_EQ(first->state, GS_REMOVED);
    ASSERT_NE(BGM_Gentity(), nullptr);
    EXPECT_EQ(harness::played.back().name, "sounds/b.wav");
    EXPECT_EQ(harness::played.back().loop, 1);
    int count = G_GentityCount();
    float pos[3] = {1, 2, 3}, dir[3] = {0, 0, 0};
    SoundBackend_Play(pos, dir, 0.0f, "sounds/kluck.wav");
    EXPECT_EQ(G_GentityCount(), count + 1);
    /* the engine ends the sound: on destroy frees the gentity at the sweep */
    entity_t *e = nullptr;
    for (gentity_t *g = G_NextInUse(nullptr); g; g = G_NextInUse(g))
        if (g->mainclass == MC_SOUND && strcmp(g->ent->name, "sounds/kluck.wav") == 0)
            e = g->ent;
    ASSERT_NE(e, nullptr);
    ASSERT_NE(e->ondestroy, nullptr);
    e->state = ES_PENDREMOVE;
    e->ondestroy(e);
    G_Sweep();
    EXPECT_EQ(G_GentityCount(), count - 2) << "the two replaced loops and the sound are freed";
    harness::failspawns = 1;
    SoundBackend_Play(pos, dir, 0.0f, "sounds/x.wav");
    EXPECT_TRUE(harness::Logged("# SoundBackend: could not spawn 'sounds/x.wav'\n"));
}

} // namespace
