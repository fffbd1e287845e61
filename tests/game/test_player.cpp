/* The player on the stand-in engine: weapons, bonus, display, pause menu. */
#include <gtest/gtest.h>

#include <map>

#include <math.h>

#include <algorithm>

#include "gk_standin.h"

namespace {

struct Player : testing::Test {
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
    static bool Word(const gentity_t *g) { return !strcmp(g->ent->u.txt.text, "continue") || !strcmp(g->ent->u.txt.text, "quit"); }
    /* the pause menu's buttons and words on show */
    int MenuShown()
    {
        int n = 0;
        for (gentity_t *g : harness::InUse(MC_IMAGE, SUB_IMAGE_PAUSE_BUTTON))
            n += g->ent->state == ES_ACTIVE;
        for (gentity_t *g : harness::InUse(MC_TEXT, SUB_TEXT_FONT_TECH))
            n += g->ent->state == ES_ACTIVE && Word(g);
        return n;
    }
    /* moves the cursor to (x, y) from where it is */
    void MoveTo(int x, int y)
    {
        int cx, cy;
        Pause_CursorPos(&cx, &cy);
        g_pointerhandler(IE_MOUSEMOVE, (x - cx) * 200, (y - cy) * 200);
        Pause_CursorPos(&cx, &cy);
        ASSERT_TRUE(cx == x && cy == y) << cx << "," << cy;
    }
};

TEST(PlayerInit, AnyPartThatCannotBeMadeFailsTheSetUp)
{
    for (const char *part : {"(no media)", "cockpit", "weapon", "arrow", "tech", "shot01icon",
                             "Shot03icon", "Shot02icon"}) {
        harness::ResetAll();
        harness::failname = part;
        EXPECT_EQ(CL_Init(), 0) << part;
    }
    harness::failname = "(no media)";
    EXPECT_EQ(Cam_Init(), 0);
}

TEST_F(Player, RightButtonCyclesWeaponsAndTheBonusWeaponOnlyWhileActive)
{
    /* bonus active or not, the weapons the right button steps through */
    const struct { int bonus; std::vector<int> seen; } cases[] = {{0, {1, 0, 1, 0}}, {1, {1, 2, 0, 1}}};
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
    /* only the current weapon's icon is shown; all three 40 x 40 at (442, 66) */
    EXPECT_EQ((std::vector<int>{h->icons[0]->ent->state, h->icons[1]->ent->state, h->icons[2]->ent->state}),
              (std::vector<int>{ES_HIDDEN, ES_ACTIVE, ES_HIDDEN}));
    for (const entity_t *e : {h->icons[0]->ent, h->icons[1]->ent, h->icons[2]->ent})
        EXPECT_EQ((std::vector<float>{e->origin[0], e->origin[1], e->u.img.width, e->u.img.height}), (std::vector<float>{442, 66, 40, 40}));
}

TEST_F(Player, StreakOfTenChickensUnlocksTheBonusOnlyUnbroken)
{
    /* a balloon or a super chicken breaks the streak of plain chickens */
    for (int breaker : {SUB_BALLON, SUB_SUPERCHICKEN}) {
        Kills(9, SUB_CHICKEN);
        Kills(1, breaker);
        EXPECT_EQ((std::vector<int>{p->streak, p->bonusactive}), (std::vector<int>{0, 0}));
    }
    Kills(10, SUB_CHICKEN);
    EXPECT_EQ((std::vector<int>{p->bonusactive, p->streak, p->weapon}), (std::vector<int>{1, 0, WEAPON_BONUS}));
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
        /* rising 180 a second from 300, shrinking 80 a second from 150 */
        EXPECT_EQ((std::vector<float>{bonus->origin[1], bonus->u.txt.size}), (std::vector<float>{390, 110}));
        harness::RunTo(17.9f + 20.0f * changed);
        EXPECT_TRUE(p->bonusactive);
        EXPECT_EQ((std::vector<float>{bonus->origin[1], bonus->u.txt.size}), (std::vector<float>{568, 30}));
        harness::RunTo(18.1f + 20.0f * changed);
        EXPECT_TRUE(!p->bonusactive && p->weapon == changed && !cl_client.bonusitem->ent->think) << p->weapon;
        /* the text fades out, then is emptied */
        harness::RunTo(20.0f + 20.0f * changed);
        EXPECT_STREQ(bonus->u.txt.text, "");
    }
    /* bonus gone: the cycle skips weapon 2 again */
    CL_PointerInput(IE_RBUTTONDOWN, 0, 0);
    EXPECT_EQ(p->weapon, 0);
}

TEST_F(Player, EachWeaponFiresAtItsIntervalFromAlternatingMuzzles)
{
    const float tick = 1.0f / 128.0f;
    /* frames from one shot to the next: 0.1, 0.5 and 0.75 s in frames of 1/128 s */
    const struct { int ticks; const char *sound; } rows[] = {
        {13, "sounds/shot1.wav"}, {64, "sounds/shot2.wav"}, {96, "sounds/shot3a.wav"}};
    for (int w = 0; w < 3; w++) {
        CL_SelectWeapon(w);
        float t0 = harness::gametime + 1.0f;
        harness::RunTo(t0);
        harness::spawned.clear();
        CL_PointerInput(IE_LBUTTONDOWN, 0, 0);
        harness::RunTo(t0 + tick * rows[w].ticks); /* the first shot comes at once */
        EXPECT_EQ(std::count(harness::spawned.begin(), harness::spawned.end(), rows[w].sound), 1);
        harness::RunTo(t0 + tick * (rows[w].ticks + 1));
        EXPECT_EQ(std::count(harness::spawned.begin(), harness::spawned.end(), rows[w].sound), 2);
        CL_PointerInput(IE_LBUTTONUP, 0, 0);
    }
    /* the shots left from the two sides, 7 units off the view's centre and 5 below, 30 ahead (glibber 35) */
    for (int sub : {SUB_MISSILE_PLASMA, SUB_MISSILE_GLIBBER}) {
        auto shots = harness::InUse(MC_MISSILE, sub);
        ASSERT_EQ(shots.size(), 2u);
        const float *a = shots[0]->ent->origin, *b = shots[1]->ent->origin, z = sub == SUB_MISSILE_GLIBBER ? -35 : -30;
        EXPECT_EQ((std::vector<float>{fabsf(a[0]), a[0] + b[0], a[1], b[1], a[2], b[2]}), (std::vector<float>{7, 0, -5, -5, z, z}));
    }
}

TEST_F(Player, TimerCountsDownAndTheLastSixSecondsShowShrinkingDigits)
{
    entity_t *warner = h->warner->ent;
    EXPECT_EQ((std::vector<float>{warner->origin[0], warner->origin[1], h->timer->ent->origin[0], h->score->ent->origin[0]}),
              (std::vector<float>{400, 300, 400, 400})) << "centred on the 800 x 600 screen";
    const struct { float left; const char *timer, *warn; float alpha, size; } rows[] = {
        {125.7f, "time 2:05", "", 1.0f, 300.0f}, {6.0f, "time 0:06", "", 1.0f, 300.0f},
        {5.5f, "time 0:05", "5", 0.5f, 150.0f}, {0.25f, "time 0:00", "0", 0.25f, 75.0f},
        {0.0f, "time 0:00", "time up", 1.0f, 100.0f}};
    for (auto &r : rows) {
        HUD_UpdateTimer(r.left);
        EXPECT_STREQ(h->timer->ent->u.txt.text, r.timer) << r.left;
        EXPECT_STREQ(warner->u.txt.text, r.warn) << r.left;
        EXPECT_EQ((std::vector<float>{warner->color[3], warner->u.txt.size}), (std::vector<float>{r.alpha, r.size})) << r.left;
    }
    HUD_UpdateTimer(3.0e10f); /* any play time a level file holds */
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

/* a unit of mouse motion turns the view 0.0005 degrees, a move up looks down
 * unless inverted, and the view stops 85 degrees from ahead each way */
TEST_F(Player, MouseTurnsTheViewUpTo85DegreesEachWay)
{
    const float *a = p->ent->angles;
    const struct { int x, y, invert; float pitch, yaw; } moves[] = {
        {1, 1, 0, -0.0005f, 0.0005f}, {169998, 1, 1, 0, 84.9995f}, {2, -340000, 1, -85, 85}, {-340001, -340000, 0, 85, -85}};
    for (auto &m : moves) {
        g_mouseinvert = m.invert;
        g_pointerhandler(IE_MOUSEMOVE, m.x, m.y);
        EXPECT_TRUE(fabsf(a[0] - m.pitch) < 1e-4f && fabsf(a[1] - m.yaw) < 1e-4f) << a[0] << " " << a[1] << " after " << m.x;
    }
    g_mouseinvert = 0;
}

TEST_F(Player, PauseEscapeLowersVolumeAndBrightnessAndGivesThemBack)
{
    gentity_t *dim = harness::SpawnVictim(MC_TARGET, SUB_CHICKEN);
    gentity_t *bright = harness::SpawnVictim(MC_TARGET, SUB_BALLON);
    dim->ent->brightness = 0.1f;
    std::vector<std::pair<gentity_t *, float>> was;    /* every brightness comes back, the first dimmed's too */
    for (gentity_t *g = G_NextInUse(NULL); g; g = G_NextInUse(g))
        was.push_back({g, g->ent->brightness});
    Escape();
    ASSERT_EQ(G_CurrentStateId(), GST_PAUSE);
    EXPECT_FLOAT_EQ(dim->ent->brightness, 0.1f);
    EXPECT_FLOAT_EQ(bright->ent->brightness, 0.3f);
    EXPECT_TRUE(Pause_Cursor()->ent->brightness == 1.0f && MenuShown() == 4) << MenuShown();
    /* the cursor stops at the screen's edges, drawn 4 right of and 4 above its point */
    g_pointerhandler(IE_MOUSEMOVE, -1000000, 1000000);
    g_pointerhandler(IE_MOUSEMOVE, 200, -200);
    EXPECT_EQ((std::vector<float>{Pause_Cursor()->ent->origin[0], Pause_Cursor()->ent->origin[1]}), (std::vector<float>{5, 595}));
    Escape();
    EXPECT_EQ((std::vector<float>{dim->ent->brightness, bright->ent->brightness, (float)MenuShown()}), (std::vector<float>{0.1f, 1, 0}));
    for (auto &[g, b] : was)
        EXPECT_EQ(g->ent->brightness, b) << g->classname;
    /* a volume already below the pause level is kept; the cursor is where the last pause left it; the same two buttons */
    G_SetMasterVolume(0.2f);
    Escape();
    EXPECT_EQ((std::vector<float>{G_GetMasterVolume(), Pause_Cursor()->ent->origin[0], (float)harness::Count(MC_IMAGE, SUB_IMAGE_PAUSE_BUTTON)}),
              (std::vector<float>{0.2f, 5, 2}));
    Escape();
    EXPECT_FLOAT_EQ(G_GetMasterVolume(), 0.2f);
}

TEST_F(Player, PauseClicksActOnlyOnTheButtons)
{
    /* continue: a 128 x 128 image at (320, 300), its hit box 42 short of the top and the bottom */
    const struct { int x, y; const char *out; int state, shutdowns; } clicks[] = {
        {255, 300, "", GST_PAUSE, 0}, {384, 300, "", GST_PAUSE, 0}, {320, 277, "", GST_PAUSE, 0},
        {320, 322, "", GST_PAUSE, 0}, {480, 240, "", GST_PAUSE, 0}, {256, 278, "", GST_ACTION, 0},
        {383, 321, "", GST_ACTION, 0}, {480, 300, "$$abort\n", -1, 1}};
    /* each button says what it does: continue on the left, quit on the right */
    Escape();
    std::map<std::string, float> at;
    for (gentity_t *t : harness::InUse(MC_TEXT, SUB_TEXT_FONT_TECH))
        at[t->ent->u.txt.text] = t->ent->origin[0];
    ASSERT_TRUE(at.count("continue") && at.count("quit"));
    EXPECT_LT(at["continue"], at["quit"]);
    for (gentity_t *b : harness::InUse(MC_IMAGE, SUB_IMAGE_PAUSE_BUTTON))    /* where the clicks find them */
        EXPECT_TRUE(b->ent->origin[1] == 300 && (b->ent->origin[0] == 320 || b->ent->origin[0] == 480));
    for (auto &c : clicks) {
        if (G_CurrentStateId() != GST_PAUSE)
            Escape(); /* the first time, and after continue */
        MoveTo(c.x, c.y);
        Pause_Frame(nullptr);   /* the button under the cursor lit with its word, the other dimmed */
        const float want[2] = {c.state == GST_ACTION ? 1.0f : 0.5f, c.shutdowns ? 1.0f : 0.5f};
        for (gentity_t *g : harness::InUse(MC_IMAGE, SUB_IMAGE_PAUSE_BUTTON))
            EXPECT_EQ(g->ent->brightness, want[g->ent->origin[0] > 400]) << c.x << "," << c.y;
        for (gentity_t *g : harness::InUse(MC_TEXT, SUB_TEXT_FONT_TECH))
            EXPECT_TRUE(!Word(g) || g->ent->brightness == want[g->ent->origin[0] > 400]) << g->ent->u.txt.text;
        testing::internal::CaptureStdout();
        g_pointerhandler(IE_LBUTTONDOWN, 0, 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out);
        if (c.state >= 0) {
            EXPECT_EQ(G_CurrentStateId(), c.state) << c.x << "," << c.y;
        }
        EXPECT_EQ(harness::shutdowns, c.shutdowns);
    }
    EXPECT_EQ(Pause_Cursor(), nullptr);
    /* a menu holds eight items and refuses a ninth */
    menu_t menu;
    menuitem_t items[9];
    Menu_Init(&menu, 0, 0);
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(MenuItem_Create(&items[i], SUB_IMAGE_PAUSE_BUTTON, "", 0, 0) && Menu_AddItem(&menu, &items[i]), i < 8);
}

TEST_F(Player, PauseMenuOrCursorThatCannotBeBuiltEndsWithTheFailureLine)
{
    for (const char *media : {"pause_button", "cursor"}) {
        harness::ResetAll();
        ASSERT_TRUE(harness::BuildPlayer());
        harness::failname = media;
        testing::internal::CaptureStdout();
        Escape();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "$$failure\n") << media;
        EXPECT_EQ(harness::shutdowns, 1);
    }
}

} // namespace
