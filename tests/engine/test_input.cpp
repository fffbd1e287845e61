/*
 * The engine key table and the platform key translation in front of it.
 */
#include <gtest/gtest.h>

#include <SDL.h>

#include "input.h"

TEST(KeyTable, SpecialKeys)
{
    EXPECT_EQ(IN_MapKey(112), 142); /* F1 */
    EXPECT_EQ(IN_MapKey(123), 153); /* F12 */
    EXPECT_EQ(IN_MapKey(16), 128);
    EXPECT_EQ(IN_MapKey(17), 129);
    EXPECT_EQ(IN_MapKey(220), 130);
    EXPECT_EQ(IN_MapKey(45), 131);
    EXPECT_EQ(IN_MapKey(46), 132);
    EXPECT_EQ(IN_MapKey(36), 133);
    EXPECT_EQ(IN_MapKey(35), 134);
    EXPECT_EQ(IN_MapKey(33), 135);
    EXPECT_EQ(IN_MapKey(34), 136);
    EXPECT_EQ(IN_MapKey(38), 137);
    EXPECT_EQ(IN_MapKey(40), 138);
    EXPECT_EQ(IN_MapKey(39), 139);
    EXPECT_EQ(IN_MapKey(37), 140);
    EXPECT_EQ(IN_MapKey(27), 141);
}

TEST(KeyTable, PrintableRangeAndUnmapped)
{
    EXPECT_EQ(IN_MapKey(32), 32);
    EXPECT_EQ(IN_MapKey('A'), 'A');
    EXPECT_EQ(IN_MapKey('o'), 'o');
    EXPECT_EQ(IN_MapKey(126), 126);
    /* characters p to { share the F-key codes */
    EXPECT_EQ(IN_MapKey('p'), 142);
    EXPECT_EQ(IN_MapKey('{'), 153);
    EXPECT_EQ(IN_MapKey(13), -1);
    EXPECT_EQ(IN_MapKey(127), -1);
    EXPECT_EQ(IN_MapKey(255), -1);
    EXPECT_EQ(IN_MapKey(-5), -1);
}

TEST(KeyTable, PlatformKeysBecomeVirtualKeys)
{
    EXPECT_EQ(IN_KeyToVK(SDLK_a), 'A');
    EXPECT_EQ(IN_KeyToVK(SDLK_z), 'Z');
    EXPECT_EQ(IN_KeyToVK(SDLK_5), '5');
    EXPECT_EQ(IN_KeyToVK(SDLK_F1), 112);
    EXPECT_EQ(IN_KeyToVK(SDLK_ESCAPE), 27);
    EXPECT_EQ(IN_MapKey(IN_KeyToVK(SDLK_ESCAPE)), 141);
    EXPECT_EQ(IN_MapKey(IN_KeyToVK(SDLK_LEFT)), 140);
    EXPECT_EQ(IN_MapKey(IN_KeyToVK(SDLK_LSHIFT)), 128);
    EXPECT_EQ(IN_MapKey(IN_KeyToVK(SDLK_BACKSLASH)), 130);
    EXPECT_EQ(IN_KeyToVK(SDLK_KP_0), 96);
    EXPECT_EQ(IN_MapKey(IN_KeyToVK(SDLK_KP_0)), 96);
}
