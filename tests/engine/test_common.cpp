/*
 * Engine helpers shared by every subsystem.
 */
#include <gtest/gtest.h>

#include "common.h"

TEST(Common, StrncpyAlwaysTerminates)
{
    char buf[4];
    Com_Strncpy(buf, "abcdef", sizeof(buf));
    EXPECT_STREQ(buf, "abc");
    Com_Strncpy(buf, "", sizeof(buf));
    EXPECT_STREQ(buf, "");
}
