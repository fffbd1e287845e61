/* Each generated level played for real. */
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "common.h"
#include "draw.h"
#include "engine.h"
#include "fs.h"
#include "gk_support.h"
#include "glcontext.h"
#include "module.h"

namespace {

const int W = 800, H = 600;

bool HaveContent()
{
    return access((gk::DistDir() + "/data/script0.bin").c_str(), R_OK) == 0 &&
           access((gk::DistDir() + "/data/vex0.pk3").c_str(), R_OK) == 0;
}

bool HaveTools()
{
    return access("/usr/bin/xvfb-run", X_OK) == 0 && access("/usr/bin/ffmpeg", X_OK) == 0;
}

/* Runs the engine on level n in a private X server and grabs one frame five seconds after its */
gk::ProcResult Capture(int n, const std::string &png, const std::string &raw)
{
    std::string script =
        "cd '" + gk::DistDir() + "' || exit 3\n"
        "./vexengine -game data -map " + std::to_string(n) +
        " -countrycode 44 -width 800 -height 600 >/dev/null 2>&1 &\n"
        "pid=$!\n"
        "i=0\n"
        "while [ $i -lt 150 ] && ! xdotool search --name '^Gackatron' >/dev/null 2>&1; do\n"
        "  sleep 0.2; i=$((i+1))\n"
        "done\n"
        "sleep 5\n"
        "kill -0 $pid || exit 4\n"
        "ffmpeg -loglevel error -y -f x11grab -video_size 800x600 -i \"$DISPLAY\" "
        "-frames:v 1 '" + png + "' -frames:v 1 -f rawvideo -pix_fmt rgb24 '" + raw + "'\n"
        "rc=$?\n"
        "kill $pid; wait $pid\n"
        "exit $rc\n";
    /* each level starts its search for a free server number elsewhere, so parallel runs do not race */
    return gk::RunProcess({"/usr/bin/xvfb-run", "-a", "-n", std::to_string(150 + 10 * n), "-s",
                           "-screen 0 800x600x24", "sh", "-c", script},
                          "", {"ALSOFT_DRIVERS=null", "GACKATRON_HEADLESS=1", "LIBGL_ALWAYS_SOFTWARE=1"}, 120);
}

/* A picture of the generated content */
struct Picture {
    int level;
    const char *file;
    int frame, w, h;
    size_t colours; /* at least this many (4 bits a channel) in the upper half */
};

void PrintTo(const Picture &p, std::ostream *os)
{
    *os << (p.file ? p.file : "level") << p.level;
}

class GeneratedPicture : public ::testing::TestWithParam<Picture> {};

/* A rendered scene */
TEST_P(GeneratedPicture, IsARenderedScene)
{
    const Picture &m = GetParam();
    if (!HaveContent() || !HaveTools())
        GTEST_SKIP() << "no generated content, or no xvfb-run and ffmpeg";
    gk::TempDir tmp;
    std::string shots = std::string(GK_BINARY_DIR) + "/content-shots", path = gk::DistDir() + "/" + (m.file ? m.file : ""),
                png = shots + "/level" + std::to_string(m.level) + ".png", rgb;
    ASSERT_TRUE(gk::MakeDirs(shots));
    ASSERT_TRUE(m.level >= 0 || access(path.c_str(), R_OK) == 0) << "not rendered";
    gk::ProcResult r = m.level >= 0 ? Capture(m.level, png, tmp / "f.rgb")
                                    : gk::RunProcess({"/usr/bin/ffmpeg", "-loglevel", "error", "-i", path, "-vf",
                                                      "select=eq(n\\," + std::to_string(m.frame) + ")", "-frames:v",
                                                      "1", "-f", "rawvideo", "-pix_fmt", "rgb24", tmp / "f.rgb"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(gk::ReadFile(tmp / "f.rgb", &rgb));
    ASSERT_EQ(rgb.size(), (size_t)(m.w * m.h * 3));
    std::set<int> colours;
    int black = 0, keyed = 0;
    for (int i = 0; i < m.w * m.h; i++) {
        const unsigned char *p = (const unsigned char *)rgb.data() + 3 * i;
        if (i < m.w * m.h / 2) {
            colours.insert((p[0] >> 4) << 8 | (p[1] >> 4) << 4 | (p[2] >> 4));
            black += p[0] == 0 && p[1] == 0 && p[2] == 0;
        }
        keyed += !memcmp(p, rgb.data(), 3);
    }
    EXPECT_GE(colours.size(), m.colours) << "see " << png;
    EXPECT_LT(black, m.w * m.h / 8) << "see " << png;
    if (m.file && !m.frame) {
        EXPECT_EQ(keyed, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Content, GeneratedPicture,
                         ::testing::Values(Picture{0, nullptr, 0, W, H, 12}, Picture{1, nullptr, 0, W, H, 12},
                                           Picture{2, nullptr, 0, W, H, 12}, Picture{3, nullptr, 0, W, H, 12},
                                           Picture{4, nullptr, 0, W, H, 12}, Picture{5, nullptr, 0, W, H, 12},
                                           Picture{-1, "wy-intro.mpeg", 79, 320, 240, 100},
                                           Picture{-1, "qv-intro.mpg", 79, 320, 240, 100},
                                           Picture{-1, "data/bgimage_0.bmp", 0, 457, 521, 100},
                                           Picture{-1, "data/bgimage_7.bmp", 0, 457, 521, 100},
                                           Picture{-1, "data/bgimage_44.bmp", 0, 457, 521, 100},
                                           Picture{-1, "data/bgimage_49.bmp", 0, 457, 521, 100}));

/* ---- headless play ---------------------------------------------------------- */

uint32_t g_ms;
uint32_t FastClock(void)
{
    return g_ms;
}

/* The frame of the current game state, drawn plainly or with the depth pass for the overlay's */
std::string DrawState(int plain)
{
    r_plain = plain;
    glClearColor(1, 0, 1, 1);
    gk::GLClearAll();
    R_BeginFrame();
    R_BuildDrawLists();
    R_DrawFrame((entity_t *)Mod_Call(GOP_CAMERA, 0, 0, 0));
    glFinish();
    std::string px((size_t)W * H * 4, '\0');
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, &px[0]);
    r_plain = 0;
    return px;
}

class LevelPlay : public ::testing::TestWithParam<int> {};

/* The real loop on a fast clock, the fire button held all game */
TEST_P(LevelPlay, LessShadingSamePictureThenPlaysToTheScoreLine)
{
    if (!HaveContent())
        GTEST_SKIP() << "no generated content";
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
    ASSERT_EQ(chdir(gk::DistDir().c_str()), 0);
    bool drawn = gk::GLOpen(W, H);
    g_ms = 1000;
    Sys_SetClock(FastClock);
    eng_headless_t h = {};
    h.gamedir = "data";
    h.level = GetParam();
    h.countrycode = 44;
    h.draw = drawn;
    testing::internal::CaptureStdout();
    int started = Eng_StartHeadless(&h), frames = 0, compared = 0, viewmodels = 0;
    long differing = 0;
    if (started)
        Eng_PostEvent(IE_LBUTTONDOWN, 0, 0);
    while (started && frames < 20000 && Eng_RunFrame()) {
        g_ms += 40;
        frames++;
        if (frames <= 50 && frames % 10 == 4)
            Eng_PostEvent(IE_MOUSEMOVE, frames % 20 ? 60 : -45, frames % 30 ? 10 : -20);
        else if (frames % 250 == 0) /* look around a little */
            Eng_PostEvent(IE_MOUSEMOVE, (frames / 250) % 2 ? 40 : -40, 0);
        if (drawn && frames <= 50 && frames % 5 == 0) {
            std::string less = DrawState(0), plain = DrawState(1);
            viewmodels += R_ListCount(RL_VIEWMODELS);
            for (size_t i = 0; i < plain.size(); i += 4)
                differing += memcmp(&plain[i], &less[i], 3) != 0;
            compared++;
        }
        if (drawn && frames == 50) {
            gk::GLClose(); /* the rest is not drawn */
            drawn = false;
        }
    }
    std::string out = testing::internal::GetCapturedStdout();
    Eng_StopHeadless();
    Sys_SetClock(nullptr);
    if (drawn)
        gk::GLClose();
    EXPECT_EQ(chdir(cwd), 0);
    ASSERT_TRUE(started);
    if (compared) {
        EXPECT_EQ(10, compared);
        EXPECT_GT(viewmodels, 0) << "no cockpit to draw first";
        EXPECT_EQ(0, differing) << "pixels that differ in " << compared << " frames";
    }
    EXPECT_LT(frames, 20000) << "the level did not end";
    EXPECT_GT(frames, 60 * 25) << "ended before a minute of play";
    EXPECT_TRUE(std::regex_match(out, std::regex("\\$\\$score [0-9]+\n"))) << out;
}

INSTANTIATE_TEST_SUITE_P(Levels, LevelPlay, ::testing::Range(0, 6));

} // namespace
