/*
 * The heads-up display: the timer and the shrinking countdown
 * digits, the time-up text, the score line, one weapon icon at a time,
 * showing and hiding with the player's models, the bonus text's rise and
 * fade, and translation formats that ask for more than they get.
 */
#include <gtest/gtest.h>

#include "gk_standin.h"

#include <math.h>

namespace {

class Hud : public testing::Test {
protected:
    hud_t *h = nullptr;
    void SetUp() override
    {
        harness::ResetAll();
        ASSERT_TRUE(harness::BuildPlayer());
        h = &cl_client.hud;
    }
    entity_t *W() { return h->warner->ent; }
};

TEST_F(Hud, TimerAndCountdownDigits)
{
    HUD_UpdateTimer(125.7f);
    EXPECT_STREQ(h->timer->ent->u.txt.text, "time 2:05");
    EXPECT_STREQ(W()->u.txt.text, "") << "the warner waits for the last six seconds";
    HUD_UpdateTimer(5.5f);
    EXPECT_STREQ(W()->u.txt.text, "5");
    EXPECT_NEAR(W()->color[3], 0.5f, 1e-6);
    EXPECT_NEAR(W()->u.txt.size, 150.0f, 1e-4);
    HUD_UpdateTimer(0.25f);
    EXPECT_STREQ(W()->u.txt.text, "0");
    EXPECT_NEAR(W()->color[3], 0.25f, 1e-6);
    EXPECT_NEAR(W()->u.txt.size, 75.0f, 1e-4);
    EXPECT_STREQ(h->timer->ent->u.txt.text, "time 0:00");
    HUD_UpdateTimer(0.0f);
    EXPECT_STREQ(W()->u.txt.text, "time up");
    EXPECT_FLOAT_EQ(W()->color[3], 1.0f);
    EXPECT_FLOAT_EQ(W()->u.txt.size, 100.0f);
    /* a level file may hold any play time */
    HUD_UpdateTimer(3.0e10f);
    EXPECT_STREQ(h->timer->ent->u.txt.text, "time 16666666:40");
    HUD_UpdateTimer(NAN);
    CL_Player()->score = 1234;
    HUD_UpdateTimer(0.0f);
    EXPECT_STREQ(h->score->ent->u.txt.text, "score 1234");
}

TEST_F(Hud, ShowAndHideKeepOnlyTheCurrentIcon)
{
    CL_SelectWeapon(1);
    HUD_Show(0);
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(h->icons[i]->ent->state, ES_HIDDEN);
    EXPECT_EQ(h->score->ent->state, ES_HIDDEN);
    EXPECT_EQ(cl_client.weapon->ent->state, ES_HIDDEN);
    HUD_Show(1);
    EXPECT_EQ(h->icons[0]->ent->state, ES_HIDDEN);
    EXPECT_EQ(h->icons[1]->ent->state, ES_ACTIVE);
    EXPECT_EQ(h->icons[2]->ent->state, ES_HIDDEN);
    EXPECT_EQ(h->bonus->ent->state, ES_ACTIVE);
    EXPECT_EQ(cl_client.cockpit->ent->state, ES_ACTIVE);
    EXPECT_EQ(h->icon, 1);
}

TEST_F(Hud, BonusTextRisesAndShrinksInAboutOneAndAHalfSeconds)
{
    HUD_BonusTextStart();
    entity_t *b = h->bonus->ent;
    EXPECT_FLOAT_EQ(b->origin[1], 300.0f);
    EXPECT_FLOAT_EQ(b->u.txt.size, 150.0f);
    harness::RunTo(1.0f);
    EXPECT_NEAR(b->origin[1], 480.0f, 0.01f);
    EXPECT_NEAR(b->u.txt.size, 70.0f, 0.01f);
    harness::RunTo(1.5f);
    EXPECT_NEAR(b->origin[1], 568.0f, 0.01f);
    EXPECT_NEAR(b->u.txt.size, 30.0f, 0.01f);
    harness::RunTo(3.0f);
    EXPECT_FLOAT_EQ(b->origin[1], 568.0f) << "capped";
    EXPECT_FLOAT_EQ(b->u.txt.size, 30.0f) << "floored";
    snprintf(b->u.txt.text, sizeof(b->u.txt.text), "x");
    HUD_BonusTextFadeOut();
    harness::RunTo(4.0f);
    EXPECT_NEAR(b->color[3], 0.3f, 0.01f);
    EXPECT_STREQ(b->u.txt.text, "x");
    harness::RunTo(4.5f);
    EXPECT_STREQ(b->u.txt.text, "");
    EXPECT_EQ(b->think, nullptr);
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

TEST(HudCreate, TextFailuresAreNamed)
{
    /* the n-th text spawn fails: fonts are spawned score, timer, warner,
     * weapon, then icons, then the bonus text */
    const char *lines[] = {"# HUD_Create: could not spawn score text\n",
                           "# HUD_Create: could not spawn timer text\n",
                           "# HUD_Create: could not spawn time-up warner text\n",
                           "# HUD_Create: could not spawn weapon text\n",
                           "# HUD_Create: could not spawn bonusweapon text\n"};
    for (int n = 0; n < 5; n++) {
        harness::ResetAll();
        static int left;
        left = n;
        gi.spawnentity = [](const char *name, int kind) -> entity_t * {
            if (strcmp(name, "tech") == 0 && left-- == 0)
                return nullptr;
            return harness::Spawn(name, kind);
        };
        hud_t hud;
        EXPECT_EQ(HUD_Create(&hud), 0);
        EXPECT_TRUE(harness::Logged(lines[n])) << n << ": " << harness::log;
    }
}

} // namespace
