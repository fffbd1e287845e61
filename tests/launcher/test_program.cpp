/* The gackatron program in a scratch folder with a stand-in engine that reports no modes. */
#include <sys/stat.h>
#include <unistd.h>

#include "l_testapp.h"

static void MakeFolder(gk::TempDir &d, const std::string &say)
{
    std::string prog;
    ASSERT_TRUE(gk::ReadFile(gk::DistDir() + "/gackatron", &prog));
    gk::WriteFile(d / "gackatron", prog);
    chmod((d / "gackatron").c_str(), 0755);
    gk::MakeDirs(d / "data");
    std::string lang;
    ASSERT_TRUE(gk::ReadFile(gk::DistDir() + "/data/textres_44.ini", &lang));
    gk::WriteFile(d / "data/textres_44.ini", lang);
    gk::WriteFile(d / "vexengine", "#!/bin/sh\nprintf '" + say + "'\n");
    chmod((d / "vexengine").c_str(), 0755);
}

/* No display: with a Qt platform chosen the launcher runs; with none it says so. */
TEST(Program, NoModesOrNoDisplayEndsWithTheMessage)
{
    const struct { const char *say, *expect; bool engine; const char *qpa = "offscreen"; } rows[] = {
        {"1.05\\n", "Error: The game could not find any display modes.", true},
        {"1.05\\n' ; echo 'no video device' >&2 ; printf '", "Last messages of the game:\nno video device", true},
        {"", "Error: The game program could not be started.", false},
        {"1.05\\n800 600 32\\n", "gackatron: No display was found", true, ""},
    };
    for (const auto &row : rows) {
        gk::TempDir d;
        MakeFolder(d, row.say);
        if (!row.engine)
            unlink((d / "vexengine").c_str());
        gk::ProcResult r = gk::RunProcess({d / "gackatron", "-en"}, d.path, {"GACKATRON_HEADLESS=1", "DISPLAY=",
                                          "WAYLAND_DISPLAY=", std::string("QT_QPA_PLATFORM=") + row.qpa}, 60);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(row.expect), std::string::npos) << r.err;
        EXPECT_FALSE(access((d / "gackatron.ini").c_str(), F_OK) == 0);
    }
}
