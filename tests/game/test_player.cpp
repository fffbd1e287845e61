/* The player on the stand-in engine: weapons, bonus, display, pause menu. */
#include <gtest/gtest.h>

#include <math.h>

#include "gk_standin.h"

namespace {

class Player : public testing::Test {
protected:
    gentity_t *p = nullptr;
    hud_t *h = nullptr;
    void SetUp() override
    {
        harness::ResetAll();
        ASSERT_TRUE(harness::BuildPlayer());
        p = CL_Player();
        ASSERT_NE(p, nullptr);
        h = &cl_client.hud;
    }
    void Kills(int n, int subclass)
    {
        for (int i = 0; i < n; i++) {
            gentity_t *v = harness::SpawnVictim(MC_TARGET, subclass);
            ASSERT_NE(v, nullptr);
            CL_ScoreKill(p, v);
            G_Remove(v);
        }
    }
    void Escape() { g_charhandler(KEY_ESCAPE, 0); }
    /* moves the cursor to (x, y) from where it is */
    void MoveTo(int x, int y)
    {
        int cx, cy;
        Pause_CursorPos(&cx, &cy);
        g_pointerhandler(IE_MOUSEMOVE, (x - cx) * 200, (y - cy) * 200);
        Pause_CursorPos(&cx, &cy);
        ASSERT_EQ(cx, x);
        ASSERT_EQ(cy, y);
    }
};

TEST(PlayerInit, EachFailedSpawnIsNamedAndFailsTheSetUp)
{
    const struct { const char *name, *line; } cases[] = {
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

TEST_F(Player, RightButtonCyclesWeaponsAndTheBonusWeaponOnlyWhileActive)
{
    /* bonus active or not, the weapons the right button steps through */
    const struct { int bonus; std::vector<int> seen; } cases[] = {{0, {1, 0, 1, 0}},
                                                                   {1, {1, 2, 0, 1}}};
    for (auto &c : cases) {
        p->weapon = 0;
        p->bonusactive = c.bonus;
        std::vector<int> seen;
        for (int i = 0; i < 4; i++) {
            CL_PointerInput(IE_RBUTTONDOWN, 0, 0);
            seen.push_back(p->weapon);
        }
        EXPECT_EQ(seen, c.seen) << c.bonus;
    }
    /* only the current weapon's icon is shown */
    EXPECT_EQ(h->icons[0]->ent->state, ES_HIDDEN);
    EXPECT_EQ(h->icons[1]->ent->state, ES_ACTIVE);
    EXPECT_EQ(h->icons[2]->ent->state, ES_HIDDEN);
}

TEST_F(Player, StreakOfTenChickensUnlocksTheBonusOnlyUnbroken)
{
    /* a balloon or a super chicken breaks the streak of plain chickens */
    for (int breaker : {SUB_BALLON, SUB_SUPERCHICKEN}) {
        Kills(9, SUB_CHICKEN);
        Kills(1, breaker);
        EXPECT_EQ(p->streak, 0);
        EXPECT_FALSE(p->bonusactive);
    }
    Kills(10, SUB_CHICKEN);
    EXPECT_TRUE(p->bonusactive);
    EXPECT_EQ(p->streak, 0);
    EXPECT_EQ(p->weapon, WEAPON_BONUS);
    /* kills during the bonus leave the streak alone */
    Kills(3, SUB_CHICKEN);
    EXPECT_EQ(p->streak, 0);
}

TEST_F(Player, BonusRunsSixteenSecondsThenFallsBackToWeaponZeroUnlessChanged)
{
    for (int changed : {0, 1}) {
        harness::RunTo(2.0f + 20.0f * changed);
        Kills(10, SUB_CHICKEN);
        ASSERT_TRUE(p->bonusactive);
        if (changed) { /* 2 -> 0 -> 1: the glibber gun stays selected */
            CL_PointerInput(IE_RBUTTONDOWN, 0, 0);
            CL_PointerInput(IE_RBUTTONDOWN, 0, 0);
        }
        entity_t *bonus = cl_client.hud.bonus->ent;
        harness::RunTo(2.5f + 20.0f * changed);
        EXPECT_STREQ(bonus->u.txt.text, "bonus 0:15"); /* 15.5 s left */
        harness::RunTo(17.9f + 20.0f * changed);
        EXPECT_TRUE(p->bonusactive);
        harness::RunTo(18.1f + 20.0f * changed);
        EXPECT_FALSE(p->bonusactive);
        EXPECT_EQ(p->weapon, changed);
        EXPECT_EQ(cl_client.bonusitem->ent->think, nullptr);
        /* the text fades out, then is emptied */
        harness::RunTo(20.0f + 20.0f * changed);
        EXPECT_STREQ(bonus->u.txt.text, "");
    }
    /* bonus gone: the cycle skips weapon 2 again */
    CL_PointerInput(IE_RBUTTONDOWN, 0, 0);
    EXPECT_EQ(p->weapon, 0);
}

TEST_F(Player, TimerTakesAnyPlayTimeALevelFileHolds)
{
    HUD_UpdateTimer(3.0e10f);
    EXPECT_STREQ(h->timer->ent->u.txt.text, "time 16666666:40");
    HUD_UpdateTimer(NAN);
    CL_Player()->score = 1234;
    HUD_UpdateTimer(0.0f);
    EXPECT_STREQ(h->score->ent->u.txt.text, "score 1234");
    EXPECT_STREQ(h->warner->ent->u.txt.text, "time up");
}

TEST(HudFormat, TranslationFormatsAreCheckedBeforeUse)
{
    char out[ENT_TEXTLEN];
    EXPECT_STREQ(HUD_FormatInts(out, sizeof(out), "%d:%02d", 2, 2, 5), "2:05");
    EXPECT_STREQ(HUD_FormatInts(out, sizeof(out), "100%% %i", 1, 7, 0), "100% 7");
    /* a string conversion or too many ints would read what is not there */
    for (const char *f : {"%s", "%d %d"})
        EXPECT_STREQ(HUD_FormatInts(out, sizeof(out), f, 1, 7, 0), f);
    for (const char *f : {"%n", "%*d", "50%", "%ld"})
        EXPECT_STREQ(HUD_FormatInts(out, sizeof(out), f, 2, 7, 0), f);
    EXPECT_STREQ(HUD_FormatInts(out, sizeof(out), nullptr, 2, 7, 0), "");
    /* long results are cut to the text field */
    std::string longfmt(300, 'a');
    HUD_FormatInts(out, sizeof(out), longfmt.c_str(), 0, 0, 0);
    EXPECT_EQ(strlen(out), sizeof(out) - 1);
    /* hostile translations reach the display as they are */
    harness::ResetAll();
    harness::texts[1] = "%s%s%s";
    harness::texts[3] = "%d %d %d %d";
    ASSERT_TRUE(harness::BuildPlayer());
    HUD_UpdateTimer(3.5f);
    EXPECT_STREQ(cl_client.hud.score->ent->u.txt.text, "%s%s%s");
    EXPECT_STREQ(cl_client.hud.timer->ent->u.txt.text, "%d %d %d %d");
}

TEST_F(Player, PauseEscapeLowersVolumeAndBrightnessAndGivesThemBack)
{
    gentity_t *dim = harness::SpawnVictim(MC_TARGET, SUB_CHICKEN);
    gentity_t *bright = harness::SpawnVictim(MC_TARGET, SUB_BALLON);
    dim->ent->brightness = 0.1f;
    Escape();
    ASSERT_EQ(G_CurrentStateId(), GST_PAUSE);
    EXPECT_FLOAT_EQ(dim->ent->brightness, 0.1f);
    EXPECT_FLOAT_EQ(bright->ent->brightness, 0.3f);
    EXPECT_FLOAT_EQ(Pause_Cursor()->ent->brightness, 1.0f);
    Escape();
    EXPECT_FLOAT_EQ(dim->ent->brightness, 0.1f);
    EXPECT_FLOAT_EQ(bright->ent->brightness, 1.0f);
    /* a volume already below the pause level is kept */
    G_SetMasterVolume(0.2f);
    Escape();
    EXPECT_FLOAT_EQ(G_GetMasterVolume(), 0.2f);
    Escape();
    EXPECT_FLOAT_EQ(G_GetMasterVolume(), 0.2f);
}

TEST_F(Player, PauseClicksActOnlyOnTheButtons)
{
    const struct {
        int x, y;
        const char *out;
        int state, shutdowns;
    } clicks[] = {/* continue: a 128 x 128 image at (320, 300), its hit box
                   * 42 short of the top and the bottom */
                  {255, 300, "", GST_PAUSE, 0},  {384, 300, "", GST_PAUSE, 0},
                  {320, 277, "", GST_PAUSE, 0},  {320, 322, "", GST_PAUSE, 0},
                  {480, 240, "", GST_PAUSE, 0},  {256, 278, "", GST_ACTION, 0},
                  {383, 321, "", GST_ACTION, 0}, {480, 300, "$$abort\n", -1, 1}};
    for (auto &c : clicks) {
        if (G_CurrentStateId() != GST_PAUSE)
            Escape(); /* the first time, and after continue */
        MoveTo(c.x, c.y);
        testing::internal::CaptureStdout();
        g_pointerhandler(IE_LBUTTONDOWN, 0, 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out);
        if (c.state >= 0) {
            EXPECT_EQ(G_CurrentStateId(), c.state) << c.x << "," << c.y;
        }
        EXPECT_EQ(harness::shutdowns, c.shutdowns);
    }
    EXPECT_EQ(Pause_Cursor(), nullptr);
}

TEST_F(Player, PauseMenuOrCursorThatCannotBeBuiltEndsWithTheFailureLine)
{
    const char *cases[][2] = {
        {"pause_button", "# MenuItem_Create: could not spawn imageclass 53 (probably too many entities: "},
        {"cursor", "# Cursor_SpawnImage: could not spawn cursor image (probably too many entities: "}};
    for (auto &c : cases) {
        harness::ResetAll();
        ASSERT_TRUE(harness::BuildPlayer());
        harness::failname = c[0];
        testing::internal::CaptureStdout();
        Escape();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "$$failure\n");
        EXPECT_TRUE(harness::Logged(c[1])) << harness::log;
        EXPECT_EQ(harness::shutdowns, 1);
    }
}

} // namespace
