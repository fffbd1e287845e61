/* The generated game content in the runnable tree, read back through the engine's own readers */
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "collision.h"
#include "common.h"
#include "font.h"
#include "fs.h"
#include "gk_support.h"
#include "lang.h"
#include "model.h"
#include "sound.h"
#include "texture.h"

namespace {

/* Model names of the class table (kind 1). */
const char *const kModels[] = {
    "cockpit", "arrow", "weapon", "chicken", "superchicken", "bombe", "motherchicken", "egg",
    "ballon", "racer01", "racer02", "enemy-ship", "alien01", "alien02", "sonde", "satellit",
    "rakete", "astronaut", "komet", "skysphere01", "skysphere02", "skysphere03", "skysphere04",
    "skysphere05", "skysphere06", "skysphere07", "p01", "p02", "p03", "p04", "p05", "p06", "p07",
    "shot01", "shot03", "shot02", "truemmer01", "truemmer02", "truemmer03", "truemmer04",
    "feather01", "feather02"};

const char *const kSounds[] = {
    "sounds/kluck.wav", "sounds/kluck2.wav", "sounds/kluck3.wav", "sounds/kluck4.wav",
    "sounds/kluck5.wav", "sounds/kluck6.wav", "sounds/shot1.wav", "sounds/shot2.wav",
    "sounds/shot3a.wav", "sounds/shot3b.wav", "sounds/expl_general.wav", "sounds/expl_ship.wav",
    "sounds/expl_rocket.wav", "sounds/alien.wav", "sounds/ship.wav", "sounds/rocket.wav"};

/* Works in the runnable tree with its archive mounted, as the engine does. */
struct ContentTest : ::testing::Test {
    char savedcwd[4096] = {0};
    char saveddir[MAX_OSPATH];

    void SetUp() override
    {
        std::string dist = gk::DistDir();
        if (access((dist + "/data/vex0.pk3").c_str(), R_OK) != 0)
            GTEST_SKIP() << "no generated content in " << dist << " (GK_BUILD_CONTENT off?)";
        ASSERT_NE(getcwd(savedcwd, sizeof(savedcwd)), nullptr);
        ASSERT_EQ(chdir(dist.c_str()), 0);
        Com_Strncpy(saveddir, com_datadir, sizeof(saveddir));
        Com_Strncpy(com_datadir, "data/", sizeof(com_datadir));
        ASSERT_EQ(FS_Mount("data/vex0.pk3", "data/"), 1);
    }
    void TearDown() override
    {
        if (!savedcwd[0])
            return;
        FS_Shutdown();
        Com_Strncpy(com_datadir, saveddir, sizeof(com_datadir));
        EXPECT_EQ(chdir(savedcwd), 0);
    }
};

TEST_F(ContentTest, EveryModelLoadsFromTheArchiveWithCollisionAndItsOwnTextures)
{
    for (const char *name : kModels) {
        SCOPED_TRACE(name);
        std::string path = std::string("data/") + name;
        /* the models live only in the archive */
        EXPECT_NE(access((path + ".dmo").c_str(), F_OK), 0);
        model_t *m = Model_Get(path.c_str());
        ASSERT_NE(m, nullptr);
        EXPECT_GT(m->nummeshes, 0u);
        ASSERT_TRUE(m->hascollision);
        ASSERT_NE(m->collision, nullptr);
        EXPECT_EQ(m->collision->numframes, m->maxframes);
        for (uint32_t i = 0; i < m->nummeshes; i++) {
            const mdl_mesh_t &me = m->meshes[i];
            SCOPED_TRACE(me.name);
            EXPECT_GT(me.numtris, 0u);
            EXPECT_EQ(me.numtverts, me.numverts) << "welded: one index list for both";
            ASSERT_NE(me.diffuse, nullptr);
            EXPECT_STRNE(me.diffuse->name, "data/notex") << "a texture of the model is missing";
            for (uint32_t t = 0; t < 3 * me.numtris; t++)
                ASSERT_LT(me.faces[t], me.numverts);
        }
        Model_Release(m);
    }
    EXPECT_EQ(Model_CacheCount(), 0);
}

/* Counts printf conversions in a format. */
int Conversions(const char *s)
{
    int n = 0;
    for (; *s; s++)
        if (*s == '%' && s[1] && s[1] != '%')
            n++;
    return n;
}

TEST_F(ContentTest, TranslationPackagesFitTheGameAndTheirFonts)
{
    for (int code : {0, 44, 49, 7}) {
        SCOPED_TRACE(code);
        Lang_Load(code);
        for (int i = 0; i < 8; i++)
            EXPECT_STRNE(Lang_GetLocalizedStr(i), "") << "slot " << i;
        /* bonus: minutes, seconds; score; weapon label; timer; three labels */
        const int conversions[7] = {2, 1, 0, 2, 0, 0, 0};
        for (int i = 0; i < 7; i++)
            EXPECT_EQ(Conversions(Lang_GetLocalizedStr(i)), conversions[i]) << "slot " << i;
        EXPECT_STREQ(strchr(Lang_GetLocalizedStr(7), '%'), "%s");

        /* the font the engine picks for this country shows every byte */
        font_t *f = Font_Get(("data/tech_" + std::to_string(code)).c_str());
        if (!f)
            f = Font_Get("data/tech");
        ASSERT_NE(f, nullptr);
        for (int i = 0; i < 7; i++)
            for (const unsigned char *p = (const unsigned char *)Lang_GetLocalizedStr(i); *p; p++)
                EXPECT_TRUE(f->glyphs[*p].present) << "slot " << i << " byte " << (int)*p;
        Font_Release(f);
    }
    Lang_Load(-12345);
}

/* The music file named by a level file (its bgm field). */
std::string LevelMusic(int n)
{
    std::string bytes;
    if (!gk::ReadFile("data/script" + std::to_string(n) + ".bin", &bytes) || bytes.size() < 390)
        return "";
    return std::string(bytes.c_str() + 261);
}

TEST_F(ContentTest, EverySoundTheGameCachesIsAPlayableWave)
{
    ASSERT_EQ(SFX_Init(), 1) << "needs ALSOFT_DRIVERS=null";
    std::vector<std::string> names(std::begin(kSounds), std::end(kSounds));
    for (int n = 0; n < 6; n++) {
        std::string music = LevelMusic(n);
        EXPECT_FALSE(music.empty()) << "level " << n;
        if (!music.empty())
            names.push_back(music);
    }
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        FILE *f = fopen(name.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        wavheader_t h;
        ASSERT_EQ(WAV_ReadHeader(f, &h), 1);
        fclose(f);
        EXPECT_EQ(h.channels, 1);
        EXPECT_EQ(h.bitspersample, 16);
        EXPECT_GE(h.datasize / 2 / (float)h.samplerate, 0.1f);
        int idx = SFX_CacheFile(name.c_str());
        EXPECT_GE(idx, 0);
        EXPECT_EQ(SFX_FindSample(name.c_str()), idx);
    }
    SFX_Shutdown();
}

} // namespace
