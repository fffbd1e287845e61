/* test_sound.cpp -- the sound system against OpenAL Soft's null backend with real WAV files */
#include <AL/al.h>
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>

#include <chrono>
#include <thread>

#include "entity.h"
#include "gk_support.h"
#include "sound.h"
#include "wavwriter.h"

namespace {

/* Waits (at most a generous deadline) until the source leaves playing. */
int WaitWhilePlaying(uint32_t src, double limit_s = 10.0)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(limit_s);
    int st;
    while ((st = AL_GetSourceState(src)) == SFX_STATE_PLAYING && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return st;
}

struct Sound : testing::Test {
    static inline gk::TempDir *dir;

    static void SetUpTestSuite()
    {
        dir = new gk::TempDir();
        ASSERT_TRUE(dir->Enter());
        gk::MakeDirs("sounds");
        gk::WavSpec s;
        /* 0.1 s tone and a long one (2 s) */
        ASSERT_TRUE(gk::WriteWav("sounds/short.wav", s, gk::WavTone(s, 2205)) &&
                    gk::WriteWav("sounds/long.wav", s, gk::WavTone(s, 44100)));
    }
    static void TearDownTestSuite()
    {
        Ent_Reset();
        SFX_Shutdown();
        delete dir;
    }
    void SetUp() override
    {
        ASSERT_EQ(1, SFX_Init()) << "null backend expected (ALSOFT_DRIVERS=null)";
        Ent_Reset();
    }
    void TearDown() override { Ent_Reset(); }
    /* Caches name once per process run of the suite. */
    static int Cached(const char *name)
    {
        int i = SFX_FindSample(name);
        return i >= 0 ? i : SFX_CacheFile(name);
    }
};

/* Files in every PCM shape are cached at the next index; broken ones are refused. */
TEST_F(Sound, CacheTakesPcmFilesAndRefusesBrokenOnes)
{
    gk::WavSpec ids, lie, m8{.bits = 8}, stereo{.channels = 2};
    ids.chunkid = "RIFX", ids.format = "AVI ", ids.fmtid = "xyz ", ids.dataid = "LIST";
    lie.datasize = 100000;
    struct { const char *name; gk::WavSpec spec; std::string data; int size, bits, channels; } cases[] = {
        {"m8", m8, gk::WavTone(m8, 1000), 1000, 16, 1}, {"st", stereo, gk::WavTone(stereo, 1000), 4000, 16, 2},
        {"ids", ids, gk::WavTone(ids, 100), 200, 16, 1}, {"tail", {}, std::string(400, '\0'), 400, 16, 1},
        {"lie", lie, std::string(1000, '\0'), 0, 0, 0}, {"three", {.channels = 3}, std::string(600, '\0'), 0, 0, 0},
        {"adpcm", {.formattag = 2}, std::string(600, '\0'), 0, 0, 0}, {"odd", m8, std::string(601, '\x80'), 0, 0, 0},
        {"stub", {}, "", 0, 0, 0}, {"missing", {}, "", 0, 0, 0}};
    ASSERT_TRUE(gk::WriteFile("sounds/stub.wav", "RIFF\x10\0\0\0WAVEfmt "));
    for (const auto &c : cases) {
        std::string name = std::string("sounds/") + c.name + ".wav";
        if (!c.data.empty()) {
            ASSERT_TRUE(gk::WriteWav(name, c.spec, c.data, !strcmp(c.name, "tail") ? std::string(1000, '\x7f') : ""));
        }
        int n = SFX_SampleCount(), idx = SFX_CacheFile(name.c_str());
        if (!c.size) {
            EXPECT_TRUE(idx == -1 && SFX_SampleCount() == n && SFX_FindSample(name.c_str()) == -1) << name << " taken as " << idx;
            continue;
        }
        EXPECT_EQ(n, idx) << name;
        ALint size = 0, bits = 0, chans = 0;
        alGetBufferi(SFX_SampleBuffer(idx), AL_SIZE, &size);
        alGetBufferi(SFX_SampleBuffer(idx), AL_BITS, &bits);
        alGetBufferi(SFX_SampleBuffer(idx), AL_CHANNELS, &chans);
        EXPECT_EQ((std::vector<int>{c.size, c.bits, c.channels}), (std::vector<int>{size, bits, chans})) << name;
    }

    /* the same file twice takes two indices; a long name is cut */
    int a = SFX_CacheFile("sounds/short.wav"), b = SFX_CacheFile("sounds/short.wav");
    EXPECT_EQ(a + 1, b);
    EXPECT_TRUE(SFX_FindSample("sounds/short.wav") <= a && SFX_FindSample("SOUNDS/SHORT.WAV") == -1) << "names are case-sensitive";
    std::string longname = "sounds/" + std::string(130, 'n') + ".wav";
    ASSERT_TRUE(gk::WriteWav(longname, gk::WavSpec(), gk::WavTone(gk::WavSpec(), 100)));
    int idx = SFX_CacheFile(longname.c_str());
    EXPECT_TRUE(idx >= 0 && SFX_FindSample(longname.substr(0, 128).c_str()) == idx) << idx;
}

TEST_F(Sound, PlayedSoundStopsAfterItsDurationAndRemovesItsEntity)
{
    ASSERT_GE(Cached("sounds/short.wav"), 0);
    entity_t *unplayed = Ent_Spawn("sounds/short.wav", ENT_SOUND);
    ASSERT_NE(nullptr, unplayed);
    SFX_UpdateEntitySound(unplayed);
    EXPECT_EQ(ES_PENDREMOVE, unplayed->state) << "an unplayed sound goes at the next update";
    entity_t *e = Ent_Spawn("sounds/short.wav", ENT_SOUND);
    ASSERT_NE(nullptr, e);
    /* positions that are not finite never reach OpenAL */
    e->origin[0] = NAN, e->origin[1] = 5.0f, e->origin[2] = -INFINITY;
    sound_t *s = e->u.snd.handle;
    auto position = [s] {
        std::vector<float> p(3);
        alGetSourcefv(s->source, AL_POSITION, p.data());
        return p;
    };
    SFX_PlayByName(e, 0);
    EXPECT_EQ(position(), (std::vector<float>{0, 5, 0}));
    e->origin[0] = 10.0f, e->origin[1] = 3.0f, e->origin[2] = -5.0f;
    SFX_UpdateEntitySound(e);
    EXPECT_EQ(ES_ACTIVE, e->state);
    EXPECT_EQ(position(), (std::vector<float>{10, 3, -5}));

    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(SFX_STATE_STOPPED, WaitWhilePlaying(s->source));
    /* it really played: not stopped before most of its 0.1 s were over */
    EXPECT_GE(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 0.05);

    SFX_UpdateEntitySound(e);
    EXPECT_EQ(ES_PENDREMOVE, e->state);
    Ent_Purge();
    EXPECT_EQ(0, s->inuse);
}

TEST_F(Sound, PlayRulesLoopGainAndUnknownNames)
{
    ASSERT_GE(Cached("sounds/long.wav"), 0);
    entity_t *e = Ent_Spawn("sounds/long.wav", ENT_SOUND);
    ASSERT_NE(nullptr, e);
    sound_t *s = e->u.snd.handle;
    auto gain = [s] {
        ALfloat g = 0;
        alGetSourcef(s->source, AL_GAIN, &g);
        return g;
    };
    /* a volume before playing does not last: playing resets it */
    SFX_SetSoundVolume(s, 0.25f);
    SFX_PlayByName(e, 7);
    EXPECT_EQ(7, s->loop);
    ALint looping = 0;
    alGetSourcei(s->source, AL_LOOPING, &looping);
    EXPECT_TRUE(looping == AL_TRUE && gain() == 1.0f) << gain();
    SFX_SetSoundVolume(s, 0.5f);
    EXPECT_FLOAT_EQ(0.5f, gain());
    ALfloat master = 0;
    SFX_SetMasterVolume(0.3f);
    alGetListenerf(AL_GAIN, &master);
    EXPECT_FLOAT_EQ(0.3f, master);
    SFX_SetMasterVolume(1.0f);
    /* the player's volumes: the loop at the listener is music, what plays elsewhere an effect */
    SFX_SetVolumes(0.5f, 0.25f);
    SFX_UpdateListener3D(e);
    const struct { float x; int loop; float gain; } plays[] = {{0, 7, 0.25f}, {2, 7, 0.125f}, {0, 0, 0.125f}};
    for (const auto &p : plays) {
        alSourceStop(s->source);
        e->origin[0] = p.x;
        SFX_PlayByName(e, p.loop);
        SFX_SetSoundVolume(s, 0.5f);  /* the game's gain, scaled by the player's volume */
        EXPECT_FLOAT_EQ(p.gain, gain()) << p.x << " " << p.loop;
    }
    SFX_SetVolumes(1.0f, 1.0f);
    alSourceStop(s->source);
    e->origin[0] = 0.0f;
    SFX_PlayByName(e, 7);
    SFX_SetSoundVolume(s, 0.5f);

    /* unknown names and handles are refused and change nothing */
    Com_Strncpy(e->name, "sounds/renamed.wav", sizeof(e->name));
    SFX_PlayByName(e, 0);
    SFX_SetSoundVolume(NULL, 1.0f);
    SFX_FreeSound(NULL);
    SFX_SetSoundVolume((sound_t *)&master, 1.0f);
    memset(e->name, 'q', sizeof(e->name));
    SFX_PlayByName(e, 0);
    EXPECT_TRUE(s->loop == 7 && gain() == 0.5f) << s->loop << " " << gain();

    /* pause and resume touch only what played */
    entity_t *idle = Ent_Spawn("sounds/long.wav", ENT_SOUND);
    ASSERT_NE(nullptr, idle);
    SFX_PauseAll();
    EXPECT_EQ(SFX_STATE_PAUSED, AL_GetSourceState(s->source));
    SFX_UpdateEntitySound(e);
    EXPECT_EQ(ES_ACTIVE, e->state);
    SFX_ResumeAll();
    EXPECT_EQ(SFX_STATE_PLAYING, AL_GetSourceState(s->source));
    EXPECT_EQ(SFX_STATE_STOPPED, AL_GetSourceState(idle->u.snd.handle->source));

    /* destroying the entity stops its source */
    Ent_PendRemove(e);
    Ent_Purge();
    EXPECT_EQ(SFX_STATE_STOPPED, AL_GetSourceState(s->source));
}

TEST_F(Sound, ListenerFollowsTheEntityAndLooksAlongItsDirection)
{
    /* direction, yaw, then the orientation OpenAL gets: at, up */
    struct Case { float dir[3], yaw, orient[6]; } cases[] = {
        {{0, 0, -1}, 0, {0, 0, -1, 0, 1, 0}}, {{1, 0, 0}, 90, {1, 0, 0, 0, 1, 0}},
        {{0, 0.6f, -0.8f}, 0, {0, 0.6f, -0.8f, 0, 0.8f, 0.6f}},
        {{0, 2, 0}, 90, {0, 1, 0, -1, 0, 0}},   /* straight up: up is the level back */
        {{NAN, 0, 0}, 0, {0, 0, -1, 0, 1, 0}},  /* no usable direction */
    };
    for (const Case &c : cases) {
        entity_t cam = {};
        cam.origin[0] = 1.0f, cam.origin[1] = NAN;
        memcpy(cam.dir, c.dir, sizeof(c.dir));
        cam.angles[1] = c.yaw, cam.speed = 4.0f;
        SFX_UpdateListener3D(&cam);
        ALfloat v[6];
        alGetListenerfv(AL_POSITION, v);
        EXPECT_EQ((std::vector<float>{1, 0}), (std::vector<float>{v[0], v[1]}));
        alGetListenerfv(AL_ORIENTATION, v);
        for (int i = 0; i < 6; i++)
            EXPECT_NEAR(c.orient[i], v[i], 1e-5f) << c.dir[0] << " " << c.dir[1] << " " << i;
    }
    EXPECT_EQ(AL_NO_ERROR, alGetError());
}

TEST_F(Sound, CacheFullAndRestart)
{
    SFX_Shutdown();
    EXPECT_EQ(0, SFX_Enabled());
    /* while disabled nothing is cached and nothing talks to OpenAL */
    EXPECT_EQ(-1, SFX_CacheFile("sounds/short.wav"));
    SFX_PauseAll();
    SFX_SetMasterVolume(0.5f);
    ASSERT_TRUE(SFX_Init() == 1 && SFX_SampleCount() == 0);

    for (int i = 0; i < 128; i++)   /* the cache holds 128 samples; the 129th is refused */
        ASSERT_EQ(i, SFX_CacheFile("sounds/short.wav"));
    EXPECT_EQ((std::vector<int>{SFX_CacheFile("sounds/long.wav"), SFX_SampleCount()}), (std::vector<int>{-1, 128}));
    SFX_Shutdown();
    EXPECT_EQ((std::vector<int>{SFX_Init(), SFX_SampleCount()}), (std::vector<int>{1, 0})) << "a new start, an empty cache";
}

TEST(SoundChild, PlaysWithTheSourcesItCanHave)
{
    const char *wav = getenv("GK_SOUND_CHILD");
    if (!wav)
        GTEST_SKIP() << "runs inside SoundChild.WaveOutputAndSourceShortage";
    ASSERT_EQ(1, SFX_Init());
    int n = atoi(getenv("GK_SOUND_SOURCES"));
    ASSERT_EQ(n, SFX_SourceCount());
    ASSERT_EQ(0, SFX_CacheFile(wav));
    entity_t *first = nullptr;
    for (int i = 0; i < n; i++) {
        entity_t *e = Ent_Spawn(wav, ENT_SOUND);
        ASSERT_NE(nullptr, e);
        e->origin[2] = -10.0f; /* in front of the listener, inside the reference distance */
        SFX_PlayByName(e, i > 0);
        EXPECT_EQ(SFX_STATE_PLAYING, AL_GetSourceState(e->u.snd.handle->source));
        first = first ? first : e;
    }
    EXPECT_EQ(nullptr, Ent_Spawn(wav, ENT_SOUND));
    SFX_PauseAll();
    SFX_ResumeAll();
    EXPECT_EQ(SFX_STATE_STOPPED, WaitWhilePlaying(first->u.snd.handle->source));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Ent_Reset();
    SFX_Shutdown();
}

/* The wave-file backend's output holds the tone */
TEST(SoundChild, WaveOutputAndSourceShortage)
{
    if (getenv("GK_SOUND_CHILD"))
        GTEST_SKIP();
    struct { const char *driver, *conf; int sources; } cases[] = {
        {"wave", "[general]\nsample-type=int16\nchannels=stereo\nfrequency=22050\n", 16},
        {"null", "[general]\nsources=5\n", 5}};
    for (const auto &c : cases) {
        gk::TempDir d;
        ASSERT_TRUE(gk::WriteWav(d / "tone.wav", gk::WavSpec(), gk::WavTone(gk::WavSpec(), 4410)));
        ASSERT_TRUE(gk::WriteFile(d / "alsoft.conf", c.conf + ("[wave]\nfile=" + (d / "out.wav") + "\n")));
        gk::ProcResult r = gk::RunSelf("SoundChild.PlaysWithTheSourcesItCanHave",
                                       {"GK_SOUND_CHILD=" + (d / "tone.wav"), "GK_SOUND_SOURCES=" + std::to_string(c.sources),
                                        std::string("ALSOFT_DRIVERS=") + c.driver, "ALSOFT_CONF=" + (d / "alsoft.conf")});
        ASSERT_EQ(0, r.status) << r.out << r.err;
        EXPECT_NE(std::string::npos, r.out.find("[  PASSED  ] 1 test")) << r.out;
        std::string out, pcm;
        if (c.sources == 5)
            continue;
        ASSERT_TRUE(gk::ReadFile(d / "out.wav", &out));
        pcm = gk::WavDataChunk(out);
        ASSERT_GT(pcm.size(), 4000u);
        int peak = 0;
        for (size_t i = 0; i + 1 < pcm.size(); i += 2)
            peak = std::max(peak, std::abs((int)(int16_t)((uint8_t)pcm[i] | ((uint8_t)pcm[i + 1] << 8))));
        EXPECT_GT(peak, 1000) << "the tone did not reach the output";
    }
}

} // namespace
