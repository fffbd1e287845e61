/* The engine's command line */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine.h"

namespace {

struct Parsed { eng_settings_t s; eng_cmdresult_t r; };

Parsed Parse(const std::string &line)
{
    Parsed p;
    Eng_DefaultSettings(&p.s);
    Eng_ParseCommandLine(line.c_str(), &p.s, &p.r);
    return p;
}

TEST(CommandLine, SwitchesInAnyCase)
{
    Parsed p = Parse("vexengine.exe  -width 1024 -HEIGHT 768 -Bpp 32 -game data -map 3 "
              "-fullscreen -mouseinv -countrycode 49 -MusicVolume 0 -EFFECTSVOLUME 100");
    EXPECT_EQ(p.r.action, CMD_RUN);
    EXPECT_EQ((std::vector<int>{p.s.width, p.s.height, p.s.bpp, p.s.havegame, p.s.level, p.s.fullscreen,
                                p.s.mouseinv, p.s.countrycode, p.s.musicvolume, p.s.effectsvolume}),
              (std::vector<int>{1024, 768, 32, 1, 3, 1, 1, 49, 0, 100}));
    EXPECT_STREQ(p.s.gamedir, "data");
    /* quotes keep blanks and run to the end when open; tabs are no separators */
    const char *games[][2] = {{"x -game \"My Game\" -map 2", "My Game"}, {"x -game \"open end", "open end"},
                              {"x -game a\tb", "a\tb"}};
    for (const auto &g : games)
        EXPECT_STREQ(Parse(g[0]).s.gamedir, g[1]) << g[0];
    Parsed q = Parse(games[0][0]);      /* the switch after a closing quote is read; what is not given keeps its default */
    EXPECT_EQ((std::vector<int>{q.s.level, q.s.width, q.s.height, q.s.bpp, q.s.musicvolume, q.s.effectsvolume}),
              (std::vector<int>{2, 800, 600, 16, 100, 100}));
}

/* Numbers are clamped as they are read */
TEST(CommandLine, NumbersAndTheSensitivityScale)
{
    struct { const char *arg; float sens; } sens[] = {
        {"0", 0.025f}, {"5", 0.3f}, {"10", 0.575f}, {"-2147483648", 0.025f}, {"99999999999", 0.575f}};
    for (const auto &c : sens)
        EXPECT_FLOAT_EQ(Parse(std::string("x -mousesens ") + c.arg).s.mousesens, c.sens) << c.arg;
    Parsed p = Parse("x -width 99999999999 -height -2147483648 -bpp 2147483647 -musicvolume 101 -effectsvolume -1");
    EXPECT_EQ(p.s.musicvolume * 1000 + p.s.effectsvolume, 100 * 1000 + 0);    /* volumes are percentages */
    EXPECT_EQ((std::vector<int>{p.s.width, p.s.height, p.s.bpp}), (std::vector<int>{ENG_MAX_SIZE, 0, 64}));
    EXPECT_EQ(Parse("x -bpp -1").s.bpp, 0);
    struct { const char *text; int v; } ints[] = {{"  42abc", 42}, {"-7", -7}, {"+3", 3}, {"abc", 0}, {"", 0},
                                                  {"99999999999999999999", 2147483647},
                                                  {"-99999999999999999999", -2147483647 - 1}};
    for (const auto &c : ints)
        EXPECT_EQ(Eng_Atoi(c.text), c.v) << c.text;
    EXPECT_EQ(Parse("x -width").s.width, 0); /* missing argument reads as nothing */
}

/* The tool modes and their answers run through the real program in test_e2e_engine. */
TEST(CommandLine, UnknownSwitchesAndOverlongTokens)
{
    Parsed p = Parse("x -width 640 -bogus -height 10");
    EXPECT_TRUE(p.r.action == CMD_UNKNOWN && std::string(p.r.bad_token) == "-BOGUS") << p.r.bad_token;
    EXPECT_EQ((std::vector<int>{p.s.width, p.s.height}), (std::vector<int>{640, 600}));
    p = Parse("x -game " + std::string(400, 'g'));
    EXPECT_TRUE(p.s.havegame + p.s.gamedirtoolong == 2 && strlen(p.s.gamedir) < sizeof(p.s.gamedir));
    EXPECT_EQ(Parse("x -game " + std::string(254, 'g')).s.gamedirtoolong, 0);
    EXPECT_LT(strlen(Parse("x -" + std::string(1000, 'Z')).r.bad_token), sizeof(p.r.bad_token));
}

TEST(CommandLine, TitleFormatUsesOnlyOneStringArgument)
{
    char out[64];
    Eng_FormatTitle(out, sizeof(out), "%s %s %n %d 100%%", "1.05");
    EXPECT_STREQ(out, "1.05 %s %n %d 100%");
    Eng_FormatTitle(out, 6, "abc %s", "1.05");
    EXPECT_STREQ(out, "abc 1");
}

} // namespace
