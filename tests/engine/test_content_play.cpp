/* Each generated level played for real, headless. */
#include <gtest/gtest.h>

#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <string>

#include "common.h"
#include "draw.h"
#include "engine.h"
#include "entity.h"
#include "font.h"
#include "fs.h"
#include "gk_support.h"
#include "glcontext.h"
#include "hitch.h"
#include "model.h"
#include "module.h"
#include "preload.h"

namespace {

const int W = 800, H = 600;

uint32_t g_ms;
uint32_t FastClock(void) { return g_ms; }

/* The frame of the current game state, drawn plainly or with the depth pass. */
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

/* Textures of loaded entities (the class cache's hidden ones too) never drawn so far. */
int Undrawn()
{
    int n = 0;
    for (entity_t *e = Ent_First(); e; e = Ent_Next()) {
        for (uint32_t i = 0; e->kind == ENT_MODEL && i < e->u.mdl.model->nummeshes; i++) {
            const mdl_mesh_t &m = e->u.mdl.model->meshes[i];
            n += m.tverts && m.diffuse && !m.diffuse->drawn;
        }
        n += e->kind == ENT_TEXT && !e->u.txt.font->tex->drawn;
        n += e->kind == ENT_IMAGE && !e->u.img.tex->drawn;
    }
    return n;
}

/* How many notes of these kinds were made, and their names after the count. */
std::string Notes(std::initializer_list<int> kinds)
{
    int n = 0, kind;
    std::string names;
    for (int i = 0; const char *name = Hitch_NoteAt(i, &kind); i++)
        if (std::find(kinds.begin(), kinds.end(), kind) != kinds.end())
            names += std::string(" ") + name;
    for (int k : kinds)
        n += Hitch_Count(k);
    return std::to_string(n) + names;
}

/* The collision frames and each diffuse texture's name and pixels, stored levels included, hashed. */
std::string Loaded(const std::string &path)
{
    model_t *m = Model_Get(path.c_str());
    std::string s = m ? std::to_string(m->collision ? (int)m->collision->numframes : -1) : "none";
    for (uint32_t i = 0; m && i < m->nummeshes; i++)
        if (const texture_t *t = m->meshes[i].diffuse)
            s += strrchr(t->name, '/') + std::to_string(std::hash<std::string>()(std::string(
                     (char *)t->pixels, t->width * t->height * t->depth / 8) + std::string((char *)t->mips, t->nummips)));
    Model_Release(m);
    return s;
}

/* A level's load list read ahead: the loaders get what they would have read, each file once; the rest is freed */
TEST(ReadAhead, LoadersGetWhatTheyWouldHaveReadOnce)
{
    gk::TempDir tmp;
    std::string pk3 = gk::DistDir() + "/data/vex0.pk3", data = tmp / "data/", saved = com_datadir;
    if (access(pk3.c_str(), R_OK))
        GTEST_SKIP() << "no generated content";
    ASSERT_TRUE(gk::MakeDirs(data) && gk::WriteFile(data + "preload7.txt", "cockpit.dmo\r\n\r\nmc_metal.tga\r\nnothing.tga"
        "\n../data/preload7.txt\n\ncockpit.dbb\npanel.tga\nmc_darkmetal.tga\ngl_green.tga\ngl_red.tga\nbombe.dbb"));
    Com_Strncpy(com_datadir, data.c_str(), sizeof(com_datadir));
    ASSERT_EQ(1, FS_Mount(pk3.c_str(), data.c_str()));
    Pre_Read(7);
    FS_Shutdown(); /* from here on only what was read ahead is there */
    EXPECT_EQ(nullptr, Tex_Get((data + "nothing").c_str(), 0));
    EXPECT_EQ(nullptr, Pre_TakeFile((data + "../data/preload7.txt").c_str(), nullptr));
    std::string ahead = Loaded(data + "cockpit");
    EXPECT_EQ("none", Loaded(data + "cockpit"));
    Pre_Free();
    EXPECT_EQ(nullptr, Pre_TakeCollision((data + "bombe.dbb").c_str()));
    FS_Mount(pk3.c_str(), data.c_str());
    EXPECT_EQ(Loaded(data + "cockpit"), ahead);
    Com_Strncpy(com_datadir, saved.c_str(), sizeof(com_datadir));
    FS_Shutdown();
}

class LevelPlay : public ::testing::TestWithParam<int> {};

/* The real loop on a fast clock, the fire button held all game */
TEST_P(LevelPlay, LessShadingSamePictureThenPlaysToTheScoreLine)
{
    if (access((gk::DistDir() + "/data/script0.bin").c_str(), R_OK) ||
        access((gk::DistDir() + "/data/vex0.pk3").c_str(), R_OK))
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
    if (started && drawn) {
        EXPECT_EQ(0, Undrawn()) << "textures left to their first draw in play";
    }
    Hitch_Record(drawn); /* without drawing the particle texture comes in the first frame */
    while (started && frames < 20000 && Eng_RunFrame()) {
        g_ms += 40;
        if (++frames == 1 && !drawn)
            Hitch_Record(1);
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
    EXPECT_EQ("0", Notes({HN_MODEL, HN_TEXTURE, HN_UPLOAD, HN_FONT, HN_SOUND, HN_SOURCE})) << "loaded in play";
    EXPECT_EQ("0", Notes({HN_FIRSTDRAW, HN_NEWSTATE, HN_GROW})) << "left to the first drawn frames";
    Hitch_Record(0);
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
    EXPECT_TRUE(frames > 60 * 25 && frames < 20000) << frames << " frames: a minute of play at least, and an end";
    EXPECT_TRUE(std::regex_match(out, std::regex("\\$\\$score [0-9]+\n"))) << out;
}

INSTANTIATE_TEST_SUITE_P(Levels, LevelPlay, ::testing::Range(0, 6));

} // namespace
