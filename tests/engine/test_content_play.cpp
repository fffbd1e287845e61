/*
 * Each generated level played for real.  On screen: the vexengine program
 * in its own Xvfb renders a level, and the captured frame shows the sky
 * (many colours, not the black of an uncleared buffer) and the display's
 * timer text on the cockpit console; the frames are kept as PNG files in
 * the build tree.  Headless: the real loop on a fast clock plays a whole
 * level with the fire button held and ends with the score line, its first
 * frames drawn both plainly and with less shading, alike.  The
 * launcher's intro videos and page backgrounds are frames of the engine.
 */
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

struct Frame {
    std::string rgb;
    const unsigned char *At(int x, int y) const { return (const unsigned char *)rgb.data() + 3 * (y * W + x); }
};

/* Runs the engine on level n in a private X server and captures one frame
 * `wait` seconds after its window appears: PNG kept in the build tree,
 * raw pixels returned. */
gk::ProcResult Capture(int n, int wait, const std::string &png, const std::string &raw)
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
        "sleep " + std::to_string(wait) + "\n"
        "kill -0 $pid || exit 4\n"
        "ffmpeg -loglevel error -y -f x11grab -video_size 800x600 -i \"$DISPLAY\" "
        "-frames:v 1 '" + png + "' -frames:v 1 -f rawvideo -pix_fmt rgb24 '" + raw + "'\n"
        "rc=$?\n"
        "kill $pid; wait $pid\n"
        "exit $rc\n";
    /* each level starts its search for a free server number elsewhere, so
     * parallel runs do not race for the same one */
    std::string first = std::to_string(150 + 10 * n);
    return gk::RunProcess({"/usr/bin/xvfb-run", "-a", "-n", first, "-s", "-screen 0 800x600x24", "sh", "-c",
                           script},
                          "", {"ALSOFT_DRIVERS=null", "GACKATRON_HEADLESS=1", "LIBGL_ALWAYS_SOFTWARE=1"},
                          120);
}

class LevelOnScreen : public ::testing::TestWithParam<int> {};

TEST_P(LevelOnScreen, ShowsSkyColoursAndTheDisplayText)
{
    if (!HaveContent())
        GTEST_SKIP() << "no generated content";
    if (!HaveTools())
        GTEST_SKIP() << "needs xvfb-run and ffmpeg";
    int n = GetParam();
    std::string dir = std::string(GK_BINARY_DIR) + "/content-shots";
    ASSERT_TRUE(gk::MakeDirs(dir));
    std::string png = dir + "/level" + std::to_string(n) + ".png";
    gk::TempDir tmp;
    std::string raw = tmp / "frame.rgb";
    gk::ProcResult r = Capture(n, 5, png, raw);
    ASSERT_EQ(r.status, 0) << r.err;
    Frame f;
    ASSERT_TRUE(gk::ReadFile(raw, &f.rgb));
    ASSERT_EQ(f.rgb.size(), (size_t)(W * H * 3));

    /* the sky: the upper part of the view is drawn (the colour buffer is
     * never cleared, so without the sky sphere it would stay black) and
     * shows many colours */
    std::set<int> colours;
    int black = 0, total = 0;
    for (int y = 20; y < 300; y += 2)
        for (int x = 100; x < 700; x += 2) {
            const unsigned char *p = f.At(x, y);
            colours.insert((p[0] >> 4) << 8 | (p[1] >> 4) << 4 | (p[2] >> 4));
            black += p[0] == 0 && p[1] == 0 && p[2] == 0;
            total++;
        }
    EXPECT_GE(colours.size(), 12u) << "see " << png;
    EXPECT_LT(black, total / 4) << "see " << png;

    /* the timer text (800 x 600 units, 36 above the bottom) in white over
     * the dark console */
    int bright = 0, dark = 0;
    for (int y = H - 36 - 12; y < H - 36 + 12; y++)
        for (int x = 340; x < 460; x++) {
            const unsigned char *p = f.At(x, y);
            bright += p[0] > 200 && p[1] > 200 && p[2] > 200;
            dark += p[0] < 90 && p[1] < 90 && p[2] < 90;
        }
    EXPECT_GE(bright, 30) << "no timer text; see " << png;
    EXPECT_GE(dark, 30) << "no console behind the timer; see " << png;
}

INSTANTIATE_TEST_SUITE_P(Levels, LevelOnScreen, ::testing::Range(0, 6));

/* ---- the launcher's media, rendered by the engine at build time ---------------- */

struct Media {
    const char *file;
    int frame, w, h;
    int titlerows;   /* the title lies within this many rows from the top */
};

void PrintTo(const Media &m, std::ostream *os)
{
    *os << m.file;
}

class RenderedMedia : public ::testing::TestWithParam<Media> {};

/* A frame of each intro and each page background, decoded by ffmpeg: a
 * rendered scene (many colours, sky all along the top, the title as one
 * band of gold, red of combs and balloons), not a test pattern or a flat
 * placeholder. */
TEST_P(RenderedMedia, ShowsTheSkyTheTitleAndTheBirds)
{
    const Media &m = GetParam();
    std::string path = gk::DistDir() + "/" + m.file;
    if (!HaveContent() || !HaveTools())
        GTEST_SKIP() << "no generated content, or no ffmpeg to render with";
    ASSERT_EQ(access(path.c_str(), R_OK), 0) << "not rendered";
    gk::TempDir tmp;
    gk::ProcResult r = gk::RunProcess({"/usr/bin/ffmpeg", "-loglevel", "error", "-i", path, "-vf",
                                       "select=eq(n\\," + std::to_string(m.frame) + ")", "-frames:v",
                                       "1", "-f", "rawvideo", "-pix_fmt", "rgb24", tmp / "f.rgb"});
    std::string rgb;
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(gk::ReadFile(tmp / "f.rgb", &rgb));
    ASSERT_EQ(rgb.size(), (size_t)(m.w * m.h * 3));
    auto at = [&](int x, int y) { return (const unsigned char *)rgb.data() + 3 * (y * m.w + x); };
    std::set<int> colours;
    std::vector<int> gold; /* rows of gold pixels */
    int sky = 0, top = 0, red = 0, keyed = 0;
    for (int y = 0; y < m.h; y++)
        for (int x = 0; x < m.w; x++) {
            const unsigned char *p = at(x, y);
            colours.insert((p[0] >> 4) << 8 | (p[1] >> 4) << 4 | (p[2] >> 4));
            bool isgold = p[0] > 200 && p[1] > 140 && p[1] < 225 && p[2] < 100;
            if (isgold && y < m.titlerows)
                gold.push_back(y);
            else if (y < m.h / 8) { /* sky around the title */
                top++;
                sky += p[2] > p[0] + 10;
            }
            red += p[0] > 160 && p[1] < 80 && p[2] < 80;
            keyed += !memcmp(p, at(0, 0), 3);
        }
    EXPECT_GE(colours.size(), 150u);
    EXPECT_GE(sky, top * 85 / 100) << "no sky at the top";
    ASSERT_GE(gold.size(), 150u) << "no title";
    EXPECT_LE(gold[gold.size() * 9 / 10] - gold[gold.size() / 10], 40) << "gold all over: no title";
    EXPECT_GE(red, 20) << "no combs or balloons";
    if (!m.frame) { /* the launcher keys out the corner's colour: only there */
        EXPECT_EQ(keyed, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Launcher, RenderedMedia,
                         ::testing::Values(Media{"wy-intro.mpeg", 79, 320, 240, 240},
                                           Media{"qv-intro.mpg", 79, 320, 240, 240},
                                           Media{"data/bgimage_0.bmp", 0, 457, 521, 145},
                                           Media{"data/bgimage_7.bmp", 0, 457, 521, 145},
                                           Media{"data/bgimage_44.bmp", 0, 457, 521, 145},
                                           Media{"data/bgimage_49.bmp", 0, 457, 521, 145}));

/* ---- headless play ---------------------------------------------------------- */

uint32_t g_ms;
uint32_t FastClock(void)
{
    return g_ms;
}

/* The frame of the current game state, drawn plainly or with the depth
 * pass for the overlay's opaque parts and the culling of models out of
 * view, on a buffer cleared to magenta; returns the pixels. */
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

/* The real loop on a fast clock, the fire button held all game: for the
 * first two seconds, shooting and looking around, each frame is drawn both
 * plainly and with less shading, and the pictures must agree pixel for
 * pixel; then the window goes and the level plays on, headless, to its
 * end and the score line. */
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
    RecordProperty("frames", frames);
    RecordProperty("result", out);
}

INSTANTIATE_TEST_SUITE_P(Levels, LevelPlay, ::testing::Range(0, 6));

} // namespace
