/*
 * The engine's command line: tokens, switches, integers and the mouse
 * sensitivity scale.
 */
#include <gtest/gtest.h>

#include <string>

#include "engine.h"

namespace {

struct Parsed {
    eng_settings_t s;
    eng_cmdresult_t r;
};

Parsed Parse(const std::string &line)
{
    Parsed p;
    Eng_DefaultSettings(&p.s);
    Eng_ParseCommandLine(line.c_str(), &p.s, &p.r);
    return p;
}

TEST(CommandLine, DefaultsWithoutSwitches)
{
    Parsed p = Parse("vexengine");
    EXPECT_EQ(p.r.action, CMD_RUN);
    EXPECT_EQ(p.s.width, 800);
    EXPECT_EQ(p.s.height, 600);
    EXPECT_EQ(p.s.bpp, 16);
    EXPECT_EQ(p.s.fullscreen, 0);
    EXPECT_EQ(p.s.havegame, 0);
    EXPECT_EQ(p.s.level, 0);
    EXPECT_FLOAT_EQ(p.s.mousesens, 0.3f);
    EXPECT_EQ(p.s.mouseinv, 0);
    EXPECT_EQ(p.s.countrycode, 0);
}

TEST(CommandLine, FullGameLineInAnyCase)
{
    Parsed p = Parse("vexengine.exe  -width 1024 -HEIGHT 768 -Bpp 32 -game data -map 3 "
                     "-fullscreen -mouseinv -countrycode 49");
    EXPECT_EQ(p.r.action, CMD_RUN);
    EXPECT_EQ(p.s.width, 1024);
    EXPECT_EQ(p.s.height, 768);
    EXPECT_EQ(p.s.bpp, 32);
    EXPECT_STREQ(p.s.gamedir, "data");
    EXPECT_EQ(p.s.havegame, 1);
    EXPECT_EQ(p.s.level, 3);
    EXPECT_EQ(p.s.fullscreen, 1);
    EXPECT_EQ(p.s.mouseinv, 1);
    EXPECT_EQ(p.s.countrycode, 49);
}

TEST(CommandLine, QuotedTokenKeepsBlanksAndCase)
{
    Parsed p = Parse("x -game \"My Game\" -map 1");
    EXPECT_STREQ(p.s.gamedir, "My Game");
    EXPECT_EQ(p.s.level, 1);
    /* an unterminated quote runs to the end of the line */
    p = Parse("x -game \"open end");
    EXPECT_STREQ(p.s.gamedir, "open end");
    /* tabs are not separators */
    p = Parse("x -game a\tb");
    EXPECT_STREQ(p.s.gamedir, "a\tb");
}

TEST(CommandLine, MouseSensitivityScale)
{
    EXPECT_FLOAT_EQ(Parse("x -mousesens 0").s.mousesens, 0.025f);
    EXPECT_FLOAT_EQ(Parse("x -mousesens 5").s.mousesens, 0.3f);
    EXPECT_FLOAT_EQ(Parse("x -mousesens 10").s.mousesens, 0.575f);
    EXPECT_EQ(Eng_MouseSens(10), (float)5 * 0.055f + 0.3f);
}

/* Numbers used in arithmetic are clamped as they are read: the extremes
 * of int once overflowed the sensitivity formula. */
TEST(CommandLine, ExtremeNumbersAreClamped)
{
    EXPECT_FLOAT_EQ(Parse("x -mousesens -2147483648").s.mousesens, 0.025f);
    EXPECT_FLOAT_EQ(Parse("x -mousesens 99999999999").s.mousesens, 0.575f);
    Parsed p = Parse("x -width 99999999999 -height -2147483648 -bpp 2147483647");
    EXPECT_EQ(p.s.width, ENG_MAX_SIZE);
    EXPECT_EQ(p.s.height, 0);
    EXPECT_EQ(p.s.bpp, 64);
}

TEST(CommandLine, DecimalPrefixIntegers)
{
    EXPECT_EQ(Eng_Atoi("  42abc"), 42);
    EXPECT_EQ(Eng_Atoi("-7"), -7);
    EXPECT_EQ(Eng_Atoi("+3"), 3);
    EXPECT_EQ(Eng_Atoi("abc"), 0);
    EXPECT_EQ(Eng_Atoi(""), 0);
    EXPECT_EQ(Eng_Atoi("99999999999999999999"), 2147483647);
    EXPECT_EQ(Eng_Atoi("-99999999999999999999"), -2147483647 - 1);
    EXPECT_EQ(Parse("x -width").s.width, 0); /* missing argument reads as nothing */
}

TEST(CommandLine, ToolModesAndUnknownSwitchesEndParsing)
{
    Parsed p = Parse("x -getvidmodes -bogus");
    EXPECT_EQ(p.r.action, CMD_GETVIDMODES);
    p = Parse("x -width 640 -bogus -height 10");
    EXPECT_EQ(p.r.action, CMD_UNKNOWN);
    EXPECT_STREQ(p.r.bad_token, "-BOGUS");
    EXPECT_EQ(p.s.width, 640);
    EXPECT_EQ(p.s.height, 600); /* switches after it are never read */
    p = Parse("x -convert Models/Chicken.ase");
    EXPECT_EQ(p.r.action, CMD_CONVERT);
    EXPECT_STREQ(p.r.convert_name, "Models/Chicken.ase");
}

TEST(CommandLine, OverlongTokensAreCutAndFlagged)
{
    std::string longname(400, 'g');
    Parsed p = Parse("x -game " + longname);
    EXPECT_EQ(p.s.havegame, 1);
    EXPECT_EQ(p.s.gamedirtoolong, 1);
    EXPECT_LT(strlen(p.s.gamedir), sizeof(p.s.gamedir));
    std::string fits(254, 'g');
    p = Parse("x -game " + fits);
    EXPECT_EQ(p.s.gamedirtoolong, 0);
    p = Parse("x -" + std::string(1000, 'Z'));
    EXPECT_EQ(p.r.action, CMD_UNKNOWN);
    EXPECT_LT(strlen(p.r.bad_token), sizeof(p.r.bad_token));
}

TEST(CommandLine, TitleFormatUsesOnlyOneStringArgument)
{
    char out[64];
    Eng_FormatTitle(out, sizeof(out), "Gackatron %s", "1.05");
    EXPECT_STREQ(out, "Gackatron 1.05");
    Eng_FormatTitle(out, sizeof(out), "%s %s %n %d 100%%", "1.05");
    EXPECT_STREQ(out, "1.05 %s %n %d 100%");
    Eng_FormatTitle(out, 6, "abc %s", "1.05");
    EXPECT_STREQ(out, "abc 1");
}

} // namespace
