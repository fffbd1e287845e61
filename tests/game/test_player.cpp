/*
 * The player on the stand-in engine: set-up and its failures, bad muzzle
 * and weapon numbers, weapon cycling with and without the bonus, the
 * chicken streak and the 16 second bonus weapon, the view limits and
 * inversion, the camera and music following the view, the view shake;
 * the heads-up display's timer and countdown and translation formats that
 * ask for more than they get; the pause state with its menu's hit boxes,
 * cursor, continue and quit, and failures to build the menu or the
 * cursor.  Firing on the real engine: test_play.
 */
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
    entity_t *W() { return h->warner->ent; }
    void Escape() { g_charhandler(KEY_ESCAPE, 0); }
    void Move(int a, int b) { g_pointerhandler(IE_MOUSEMOVE, a, b); }
    /* moves the cursor to (x, y) from where it is */
    void MoveTo(int x, int y)
    {
        int cx, cy;
        Pause_CursorPos(&cx, &cy);
        Move((x - cx) * 200, (y - cy) * 200);
        Pause_CursorPos(&cx, &cy);
        ASSERT_EQ(cx, x);
        ASSERT_EQ(cy, y);
    }
    std::string ClickCapturingStdout()
    {
        testing::internal::CaptureStdout();
        g_pointerhandler(IE_LBUTTONDOWN, 0, 0);
        return testing::internal::GetCapturedStdout();
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
    ASSERT_NE(BGM_Gentity(), nullptr);
    for (int i = 0; i < 3; i++)
        EXPECT_FLOAT_EQ(BGM_Gentity()->ent->dir[i], p->ent->dir[i]);
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

TEST_F(Player, TimerAndCountdownDigits)
{
    HUD_UpdateTimer(125.7f);
    EXPECT_STREQ(h->timer->ent->u.txt.text, "time 2:05");
    EXPECT_STREQ(W()->u.txt.text, "") << "the warner waits for the last six seconds";
    HUD_UpdateTimer(0.25f);
    EXPECT_STREQ(W()->u.txt.text, "0");
    EXPECT_NEAR(W()->color[3], 0.25f, 1e-6);
    EXPECT_NEAR(W()->u.txt.size, 75.0f, 1e-4);
    EXPECT_STREQ(h->timer->ent->u.txt.text, "time 0:00");
    HUD_UpdateTimer(0.0f);
    EXPECT_STREQ(W()->u.txt.text, "time up");
    EXPECT_FLOAT_EQ(W()->color[3], 1.0f);
    /* a level file may hold any play time */
    HUD_UpdateTimer(3.0e10f);
    EXPECT_STREQ(h->timer->ent->u.txt.text, "time 16666666:40");
    HUD_UpdateTimer(NAN);
    CL_Player()->score = 1234;
    HUD_UpdateTimer(0.0f);
    EXPECT_STREQ(h->score->ent->u.txt.text, "score 1234");
}

TEST(HudFormat, TranslationFormatsAreCheckedBeforeUse)
{
    char out[ENT_TEXTLEN];
    EXPECT_STREQ(HUD_FormatInts(out, sizeof(out), "%d:%02d", 2, 2, 5), "2:05");
    EXPECT_STREQ(HUD_FormatInts(out, sizeof(out), "100%% %i", 1, 7, 0), "100% 7");
    /* a string conversion or too many ints would read what is not there */
    EXPECT_STREQ(HUD_FormatInts(out, sizeof(out), "%s", 1, 7, 0), "%s");
    EXPECT_STREQ(HUD_FormatInts(out, sizeof(out), "%d %d", 1, 7, 0), "%d %d");
    for (const char *f : {"%n", "%*d", "50%", "%ld"})
        EXPECT_STREQ(HUD_FormatInts(out, sizeof(out), f, 2, 7, 0), f);
    EXPECT_STREQ(HUD_FormatInts(out, sizeof(out), nullptr, 2, 7, 0), "");
    /* long results are cut to the text field */
    std::string longfmt(300, 'a');
    HUD_FormatInts(out, sizeof(out), longfmt.c_str(), 0, 0, 0);
    EXPECT_EQ(strlen(out), sizeof(out) - 1);
}

TEST(HudFormat, HostileTranslationsDoNotBreakTheDisplay)
{
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
    EXPECT_FLOAT_EQ(G_GetMasterVolume(), 0.3f);
    EXPECT_FLOAT_EQ(dim->ent->brightness, 0.1f);
    EXPECT_FLOAT_EQ(bright->ent->brightness, 0.3f);
    EXPECT_FLOAT_EQ(Pause_Cursor()->ent->brightness, 1.0f);
    Escape();
    EXPECT_FLOAT_EQ(dim->ent->brightness, 0.1f);
    EXPECT_FLOAT_EQ(bright->ent->brightness, 1.0f);
    EXPECT_EQ(CL_Player()->ent->think, Player_FrameThink);
    /* the menu stays, hidden, for the next pause */
    menu_t *m = Pause_Menu();
    ASSERT_EQ(m->count, 2);
    EXPECT_EQ(m->items[0]->image->ent->state, ES_HIDDEN);
    EXPECT_EQ(m->items[1]->text->ent->state, ES_HIDDEN);
    /* a volume already below the pause level is kept */
    G_SetMasterVolume(0.2f);
    Escape();
    EXPECT_FLOAT_EQ(G_GetMasterVolume(), 0.2f);
    Escape();
    EXPECT_FLOAT_EQ(G_GetMasterVolume(), 0.2f);
}

TEST_F(Player, PauseMenuItemsSitBesideTheCentreWithShrunkHitBoxes)
{
    Escape();
    menu_t *m = Pause_Menu();
    ASSERT_EQ(m->count, 2);
    menuitem_t *cont = m->items[0], *quit = m->items[1];
    EXPECT_STREQ(quit->text->ent->u.txt.text, "quit");
    /* 128 x 128 image at (320, 300): x from -64 to 63, y from -64+42 to 63-42 */
    const struct { int x, y; bool in; } at[] = {{256, 278, true}, {383, 321, true}, {255, 300, false},
                                               {384, 300, false}, {320, 277, false}, {320, 322, false}};
    for (auto &a : at)
        EXPECT_EQ(MenuItem_Inside(cont, a.x, a.y) != 0, a.in) << a.x << "," << a.y;
}

TEST_F(Player, PauseClicksActOnlyOnTheButtons)
{
    const struct {
        int x, y;
        const char *out;
        int state, shutdowns;
    } clicks[] = {{400, 300, "", GST_PAUSE, 0}, {480, 240, "", GST_PAUSE, 0},
                  {320, 300, "", GST_ACTION, 0}, {480, 300, "$$abort\n", -1, 1}};
    for (auto &c : clicks) {
        if (G_CurrentStateId() != GST_PAUSE)
            Escape(); /* the first time, and after continue */
        MoveTo(c.x, c.y);
        EXPECT_EQ(ClickCapturingStdout(), c.out);
        if (c.state >= 0) {
            EXPECT_EQ(G_CurrentStateId(), c.state) << c.x << "," << c.y;
        }
        EXPECT_EQ(harness::shutdowns, c.shutdowns);
    }
    EXPECT_EQ(Pause_Cursor(), nullptr);
}

TEST_F(Player, PauseCursorRoundsStopsAtTheEdgesAndIsRemembered)
{
    Escape();
    int x, y;
    Move(100, -100); /* 0.5 each: halves go away from zero of the sum */
    Pause_CursorPos(&x, &y);
    EXPECT_EQ(x, 401);
    EXPECT_EQ(y, 300); /* 299.5 rounds to 300 */
    Move(-1000000, 1000000);
    Pause_CursorPos(&x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 600);
    MoveTo(123, 234);
    Escape();
    Escape();
    Pause_CursorPos(&x, &y);
    EXPECT_EQ(x, 123);
    EXPECT_EQ(y, 234);
    EXPECT_FLOAT_EQ(Pause_Cursor()->ent->origin[0], 127.0f);
    EXPECT_FLOAT_EQ(Pause_Cursor()->ent->origin[1], 230.0f);
}

TEST_F(Player, PauseOtherInputIsIgnoredWhilePaused)
{
    Escape();
    float yaw = CL_Player()->ent->angles[1];
    g_pointerhandler(IE_RBUTTONDOWN, 0, 0);
    g_charhandler('a', 0);
    Move(5000, 0);
    EXPECT_EQ(CL_Player()->weapon, 0);
    EXPECT_EQ(CL_Player()->ent->angles[1], yaw);
    EXPECT_EQ(G_CurrentStateId(), GST_PAUSE);
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

TEST(Menu, NinthItemIsRefusedAndBrightnessOutsideRangeIgnored)
{
    harness::ResetAll();
    menu_t m;
    Menu_Init(&m, 10, 20);
    menuitem_t items[9];
    for (int i = 0; i < 9; i++) {
        memset(&items[i], 0, sizeof(items[i]));
        ASSERT_EQ(MenuItem_Create(&items[i], SUB_IMAGE_PAUSE_BUTTON, "x", (float)i, 0), 1);
        EXPECT_EQ(Menu_AddItem(&m, &items[i]), i < 8 ? 1 : 0);
    }
    EXPECT_EQ(m.count, 8);
    EXPECT_FLOAT_EQ(items[3].x, 13.0f);
    EXPECT_FLOAT_EQ(items[3].image->ent->origin[1], 20.0f);
    EXPECT_FLOAT_EQ(items[8].x, 8.0f) << "a refused item is not moved";
    MenuItem_Brightness(&items[0], 0.7f);
    MenuItem_Brightness(&items[0], 1.5f);
    MenuItem_Brightness(&items[0], -0.1f);
    EXPECT_FLOAT_EQ(items[0].image->ent->brightness, 0.7f);
    EXPECT_FLOAT_EQ(items[0].text->ent->brightness, 0.7f);
}

} // namespace
