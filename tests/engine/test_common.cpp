/* Engine helpers shared by every subsystem. */
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "gk_support.h"
#include "sys.h"

/* The one-window lock lives in the runtime directory, is private and follows no link. */
TEST(Common, InstanceLockFollowsNoLink)
{
    gk::TempDir dir;
    std::string oldxdg = getenv("XDG_RUNTIME_DIR") ? getenv("XDG_RUNTIME_DIR") : "";
    std::string olddisplay = getenv("DISPLAY") ? getenv("DISPLAY") : "";
    setenv("XDG_RUNTIME_DIR", dir.path.c_str(), 1);
    setenv("DISPLAY", ":lt/1", 1);
    std::string lock = dir / ("vexengine-" + std::to_string(getuid()) + "-:lt_1.lock");
    std::filesystem::create_symlink(dir / "victim", lock);
    EXPECT_EQ(1, Sys_AcquireInstanceLock()); /* no lock, but the game is not refused for it */
    EXPECT_FALSE(std::filesystem::exists(dir / "victim"));
    Sys_ReleaseInstanceLock();

    std::filesystem::remove(lock);
    ASSERT_EQ(1, Sys_AcquireInstanceLock());
    struct stat st;
    ASSERT_EQ(0, lstat(lock.c_str(), &st));
    EXPECT_TRUE(S_ISREG(st.st_mode) && (st.st_mode & 0777) == 0600) << std::oct << st.st_mode;
    Sys_ReleaseInstanceLock();
    setenv("XDG_RUNTIME_DIR", oldxdg.c_str(), 1);
    setenv("DISPLAY", olddisplay.c_str(), 1);
}
