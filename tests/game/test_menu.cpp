/*
 * The pause state: master volume and brightness lowered and given back,
 * the menu's hit boxes (shrunk at top and bottom), hover and leave, the
 * cursor with its rounding, edges and memory between pauses, continue and
 * Escape returning to play, quit printing the abort line, and failures to
 * build the menu or the cursor ending the game with the failure line.
 */
#include <gtest/gtest.h>

#include "gk_standin.h"

namespace {

class Pause : public testing::Test {
protected:
    void SetUp() override
    {
        harness::ResetAll();
        ASSERT_TRUE(harness::BuildPlayer());
    }
    void Escape() { g_charhandler(KEY_ESCAPE, 0); }
    void Move(int a, int b) { g_pointerhandler(IE_MOUSEMOVE, a, b); }
    void Click() { g_pointerhandler(IE_LBUTTONDOWN, 0, 0); }
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
        Click();
        return testing::internal::GetCapturedStdout();
    }
};

TEST_F(Pause, EscapeLowersVolumeAndBrightnessAndGivesThemBack)
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

TEST_F(Pause, MenuItemsSitBesideTheCentreWithShrunkHitBoxes)
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

TEST_F(Pause, ClicksActOnlyOnTheButtons)
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
        if (c.state >= 0)
            EXPECT_EQ(G_CurrentStateId(), c.state) << c.x << "," << c.y;
        EXPECT_EQ(harness::shutdowns, c.shutdowns);
    }
    EXPECT_EQ(Pause_Cursor(), nullptr);
}

TEST_F(Pause, HoverLightsTheButtonUnderTheCursor)
{
    Escape();
    menu_t *m = Pause_Menu();
    MoveTo(480, 300);
    EXPECT_FLOAT_EQ(m->items[1]->image->ent->brightness, 1.0f);
    Pause_Frame(nullptr);
    EXPECT_FLOAT_EQ(m->items[1]->text->ent->brightness, 1.0f);
    EXPECT_FLOAT_EQ(m->items[0]->image->ent->brightness, 0.5f);
    MoveTo(400, 500);
    Pause_Frame(nullptr);
    EXPECT_FLOAT_EQ(m->items[1]->image->ent->brightness, 0.5f);
}

TEST_F(Pause, CursorRoundsStopsAtTheEdgesAndIsRemembered)
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

TEST_F(Pause, OtherInputIsIgnoredWhilePaused)
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

TEST_F(Pause, MenuOrCursorThatCannotBeBuiltEndsWithTheFailureLine)
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
