/* The engine key table and the platform key translation in front of it */
#include <gtest/gtest.h>

#include <SDL.h>

#include "input.h"

TEST(KeyTable, PlatformKeysReachTheGameAsEngineCodes)
{
    const int cases[][2] = {{SDLK_a, 'A'}, {SDLK_z, 'Z'}, {SDLK_5, '5'}, {SDLK_F1, 142}, {SDLK_F12, 153},
                            {SDLK_KP_0, 96}, {SDLK_KP_9, 105}, {SDLK_ESCAPE, 141}, {SDLK_LEFT, 140},
                            {SDLK_LSHIFT, 128}, {SDLK_BACKSLASH, 130}, {SDLK_RETURN, -1}};
    for (const auto &c : cases)
        EXPECT_EQ(IN_MapKey(IN_KeyToVK(c[0])), c[1]) << c[0];
    /* the printable range maps to itself, except p to { that share the F-key codes and the
     * virtual keys of the table */
    const int codes[][2] = {{32, 32}, {'o', 'o'}, {126, 126}, {'p', 142}, {'{', 153}, {127, -1}, {-5, -1},
                            {16, 128}, {17, 129}, {220, 130}, {45, 131}, {46, 132}, {36, 133}, {35, 134},
                            {33, 135}, {34, 136}, {38, 137}, {40, 138}, {39, 139}, {37, 140}, {27, 141}};
    for (const auto &c : codes)
        EXPECT_EQ(IN_MapKey(c[0]), c[1]) << c[0];
}
