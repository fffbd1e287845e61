/*
 * sound.cpp -- the sound system on OpenAL: device and context start-up, the
 * sample cache (128 buffers filled from WAV files, indices given out in
 * order and never reused), the pool of 16 sources that sound entities
 * carry, playing and per-frame placement of those sources, the listener,
 * volumes, pause/resume of everything and shutdown.  While sound is
 * disabled (no device, or a failed start-up) every call that would talk to
 * OpenAL does nothing, so the game runs silently.  When the device gives
 * fewer sources than the pool holds, the pool plays with those it got.
 * OpenAL errors go to the log; positions and velocities that are not
 * finite never reach OpenAL.
 */
#include "sound.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <errno.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "entity.h"

static sound_t sfx_pool[SFX_MAX_SOURCES];
static ALuint sfx_buffers[SFX_MAX_SAMPLES];
static char sfx_names[SFX_MAX_SAMPLES][SFX_NAMELEN];
static int sfx_count;
static int sfx_enabled;
static int sfx_numsources;   /* pool entries with a real source: 1..16 while enabled */
/* The player's volumes (-musicvolume, -effectsvolume) and the one of them
 * each pool entry plays at; the game's own gains are scaled by it. */
static float sfx_musicvolume = 1.0f, sfx_effectsvolume = 1.0f;
static float sfx_poolvolume[SFX_MAX_SOURCES];
static float sfx_listenerpos[3];

const char *AL_ErrorString(int err)
{
    switch (err) {
    case AL_NO_ERROR: return "no error";
    case AL_INVALID_NAME: return "invalid name";
    case AL_INVALID_ENUM: return "invalid enum";
    case AL_INVALID_VALUE: return "invalid value";
    case AL_INVALID_OPERATION: return "invalid operation";
    case AL_OUT_OF_MEMORY: return "out of memory";
    default: return "???";
    }
}

int AL_GetSourceState(uint32_t source)
{
    ALint st = 0;

    alGetSourcei(source, AL_SOURCE_STATE, &st);
    switch (st) {
    case AL_PLAYING: return SFX_STATE_PLAYING;
    case AL_PAUSED: return SFX_STATE_PAUSED;
    case AL_INITIAL:
    case AL_STOPPED: return SFX_STATE_STOPPED;
    default:
        Com_Printf("# AL_GetSourceState: unknown state: %X\n", (unsigned)st);
        return SFX_STATE_UNKNOWN;
    }
}

/* Logs an error that an earlier call left behind, so that the check after
 * the next call reports only its own failure. */
static void SFX_FlushError(const char *where)
{
    ALenum err = alGetError();
    if (err != AL_NO_ERROR)
        Com_Printf("- %s: earlier OpenAL error: %s\n", where, AL_ErrorString(err));
}

/* 1 when the last calls succeeded; otherwise logs "# what failed: error". */
static int SFX_Check(const char *what)
{
    ALenum err = alGetError();
    if (err == AL_NO_ERROR)
        return 1;
    Com_Printf("# %s failed: %s\n", what, AL_ErrorString(err));
    return 0;
}

/* Copies three floats, replacing what is not finite by 0; 0 when any was. */
static int SFX_Finite(const float *in, float *out)
{
    int ok = 1;
    for (int i = 0; i < 3; i++) {
        out[i] = isfinite(in[i]) ? in[i] : 0.0f;
        ok &= out[i] == in[i];
    }
    return ok;
}

static int SFX_SourceActive(uint32_t source)
{
    int st = AL_GetSourceState(source);
    return st == SFX_STATE_PLAYING || st == SFX_STATE_PAUSED;
}

/* A handle the game hands back must be one of the pool's entries. */
static int SFX_IsPoolEntry(const sound_t *s)
{
    uintptr_t p = (uintptr_t)s, lo = (uintptr_t)&sfx_pool[0];
    uintptr_t hi = (uintptr_t)&sfx_pool[SFX_MAX_SOURCES];
    return p >= lo && p < hi && (p - lo) % sizeof(sound_t) == 0;
}

/* ---- start-up and shutdown ------------------------------------------- */

static int SFX_OpenDevice(void)
{
    ALCdevice *dev = alcOpenDevice("DirectSound3D");
    if (!dev)
        dev = alcOpenDevice(NULL);
    if (!dev) {
        Com_Printf("- SFX_Init: no audio device, sound disabled\n");
        return 0;
    }
    ALCcontext *ctx = alcCreateContext(dev, NULL);
    if (!ctx || !alcMakeContextCurrent(ctx)) {
        Com_Printf("- SFX_Init: no audio context, sound disabled\n");
        if (ctx)
            alcDestroyContext(ctx);
        alcCloseDevice(dev);
        return 0;
    }
    return 1;
}

/* Gives back the current context and its device. */
static void SFX_CloseDevice(void)
{
    ALCcontext *ctx = alcGetCurrentContext();
    if (!ctx)
        return;
    ALCdevice *dev = alcGetContextsDevice(ctx);
    alcMakeContextCurrent(NULL);
    alcDestroyContext(ctx);
    if (dev)
        alcCloseDevice(dev);
}

static void SFX_LogStrings(void)
{
    const char *v;

    Com_Printf("* SFX_Init\n");
    v = (const char *)alGetString(AL_VENDOR);
    Com_Printf("Vendor:     %s\n", v ? v : "");
    v = (const char *)alGetString(AL_VERSION);
    Com_Printf("Version:    %s\n", v ? v : "");
    v = (const char *)alGetString(AL_RENDERER);
    Com_Printf("Renderer:   %s\n", v ? v : "");
    v = (const char *)alGetString(AL_EXTENSIONS);
    Com_Printf("Extensions: %s\n", v ? v : "");
}

/* Generates and sets up pool entry i; 0 after logging the first failure. */
static int SFX_InitSource(int i)
{
    static const struct { ALenum param; float value; const char *name; } props[] = {
        { AL_REFERENCE_DISTANCE, 80.0f, "AL_REFERENCE_DISTANCE" },
        { AL_ROLLOFF_FACTOR, 10.0f, "AL_ROLLOFF_FACTOR" },
        { AL_PITCH, 1.0f, "AL_PITCH" },
    };
    ALuint src = 0;
    ALenum err;

    alGenSources(1, &src);
    if ((err = alGetError()) != AL_NO_ERROR) {
        Com_Printf("# SFX_Init: alGenSources() [#%i] failed: %s\n", i, AL_ErrorString(err));
        return 0;
    }
    for (const auto &p : props) {
        alSourcef(src, p.param, p.value);
        if ((err = alGetError()) != AL_NO_ERROR) {
            Com_Printf("# SFX_Init: alSourcef(%s) [#%i] failed: %s\n", p.name, i,
                       AL_ErrorString(err));
            alDeleteSources(1, &src);
            alGetError();
            return 0;
        }
    }
    sfx_pool[i].source = src;
    sfx_pool[i].loop = 0;
    sfx_pool[i].inuse = 0;
    return 1;
}

int SFX_Init(void)
{
    ALenum err;

    if (sfx_enabled)
        return 1;
    if (!SFX_OpenDevice())
        return 0;
    SFX_LogStrings();
    alGetError();
    sfx_enabled = 0;
    sfx_count = 0;
    memset(sfx_names, 0, sizeof(sfx_names));

    alGenBuffers(SFX_MAX_SAMPLES, sfx_buffers);
    if ((err = alGetError()) != AL_NO_ERROR) {
        Com_Printf("# SFX_Init: alGenBuffers() failed: %s\n", AL_ErrorString(err));
        SFX_CloseDevice();
        return 0;
    }
    /* a device that runs out of sources leaves the pool shorter: play
     * with what could be had, and go silent only without any source */
    memset(sfx_pool, 0, sizeof(sfx_pool));
    sfx_numsources = 0;
    while (sfx_numsources < SFX_MAX_SOURCES && SFX_InitSource(sfx_numsources))
        sfx_numsources++;
    if (sfx_numsources == 0) {
        alDeleteBuffers(SFX_MAX_SAMPLES, sfx_buffers);
        SFX_CloseDevice();
        return 0;
    }
    if (sfx_numsources < SFX_MAX_SOURCES)
        Com_Printf("- SFX_Init: only %i of %i sources, playing with those\n", sfx_numsources,
                   SFX_MAX_SOURCES);
    sfx_enabled = 1;
    return 1;
}

void SFX_Shutdown(void)
{
    ALenum err;

    if (!sfx_enabled)
        return;
    Com_Printf("* SFX_Shutdown\n");
    SFX_FlushError("SFX_Shutdown");
    for (int i = 0; i < sfx_numsources; i++) {
        if (SFX_SourceActive(sfx_pool[i].source)) {
            alSourceStop(sfx_pool[i].source);
            if ((err = alGetError()) != AL_NO_ERROR)
                Com_Printf("# SFX_Shutdown: alSourceStop() [#%i] failed: %s\n", i,
                           AL_ErrorString(err));
        }
        alDeleteSources(1, &sfx_pool[i].source);
        sfx_pool[i].source = 0;
        sfx_pool[i].inuse = 0;
    }
    Com_Printf("  deleting buffers...\n");
    alDeleteBuffers(SFX_MAX_SAMPLES, sfx_buffers);
    memset(sfx_buffers, 0, sizeof(sfx_buffers));
    sfx_enabled = 0;
    sfx_count = 0;
    sfx_numsources = 0;
    SFX_CloseDevice();
}

int SFX_Enabled(void)
{
    return sfx_enabled;
}

int SFX_SourceCount(void)
{
    return sfx_enabled ? sfx_numsources : 0;
}

/* ---- sample cache ---------------------------------------------------- */

/* Reads from the current position to the end of f; NULL when out of memory. */
static uint8_t *SFX_ReadRest(FILE *f, size_t *len)
{
    long here = ftell(f);
    size_t cap = 0;

    if (here >= 0 && fseek(f, 0, SEEK_END) == 0) {
        long end = ftell(f);
        if (end > here)
            cap = (size_t)(end - here);
        fseek(f, here, SEEK_SET);
    }
    uint8_t *buf = (uint8_t *)malloc(cap ? cap : 1);
    if (!buf)
        return NULL;
    *len = fread(buf, 1, cap, f);
    return buf;
}

/* Checks the data and hands it to buffer sfx_buffers[sfx_count]. */
static int SFX_BufferData(const char *name, const wavheader_t *h, const uint8_t *data,
                          size_t len)
{
    ALenum err;

    switch (WAV_CheckData(h, len)) {
    case WAV_SHORTDATA:
        Com_Printf("# SFX_CacheFile: corrupted file '%s': header promised %ld bytes data, "
                   "but we only got %ld\n", name, (long)h->datasize, (long)len);
        return 0;
    case WAV_BADFRAMES:
        Com_Printf("# SFX_CacheFile: corrupted file '%s': %ld bytes data are no whole "
                   "number of 16-bit frames\n", name, (long)h->datasize);
        return 0;
    default:
        break;
    }
    alBufferData(sfx_buffers[sfx_count], h->channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16,
                 data, (ALsizei)h->datasize, (ALsizei)h->samplerate);
    if ((err = alGetError()) != AL_NO_ERROR) {
        Com_Printf("# SFX_CacheFile: could not buffer '%s': %s\n", name, AL_ErrorString(err));
        return 0;
    }
    return 1;
}

/* Reads the file into the next buffer; 0 after logging why not. */
static int SFX_LoadFile(const char *name, FILE *f)
{
    wavheader_t h;
    size_t len = 0;

    if (!WAV_ReadHeader(f, &h)) {
        Com_Printf("# SFX_CacheFile: WAV_ReadHeader() failed (invalid header?)\n");
        return 0;
    }
    if (WAV_CheckData(&h, (size_t)-1) == WAV_BADCHANNELS) {
        Com_Printf("# SFX_CacheFile: bad no. of channels in .wav: %u\n", (unsigned)h.channels);
        return 0;
    }
    uint8_t *data = SFX_ReadRest(f, &len);
    if (!data) {
        Com_Printf("# SFX_CacheFile: could not load file '%s': %s\n", name, "out of mem");
        return 0;
    }
    int ok = SFX_BufferData(name, &h, data, len);
    free(data);
    return ok;
}

int SFX_CacheFile(const char *name)
{
    if (!name)
        return -1;
    if (!sfx_enabled) {
        Com_Printf("- SFX_CacheFile: sound disabled, '%s' not cached\n", name);
        return -1;
    }
    if (sfx_count >= SFX_MAX_SAMPLES) {
        Com_Printf("# SFX_CacheFile: sample cache full, '%s' not cached\n", name);
        return -1;
    }
    SFX_FlushError("SFX_CacheFile");
    FILE *f = fopen(name, "rb");
    if (!f) {
        Com_Printf("# SFX_CacheFile: could not open '%s': %s\n", name, strerror(errno));
        return -1;
    }
    int ok = SFX_LoadFile(name, f);
    fclose(f);
    if (!ok)
        return -1;
    if (strlen(name) >= SFX_NAMELEN - 1)
        Com_Printf("# SFX_CacheFile: warning: filename '%s' too long\n", name);
    Com_Strncpy(sfx_names[sfx_count], name, SFX_NAMELEN);
    return sfx_count++;
}

int SFX_FindSample(const char *name)
{
    if (!name)
        return -1;
    for (int i = 0; i < sfx_count; i++)
        if (strcmp(sfx_names[i], name) == 0)
            return i;
    return -1;
}

int SFX_SampleCount(void)
{
    return sfx_count;
}

uint32_t SFX_SampleBuffer(int index)
{
    if (index < 0 || index >= sfx_count)
        return 0;
    return sfx_buffers[index];
}

/* ---- source pool ------------------------------------------------------ */

sound_t *SFX_AllocSound(const char *name)
{
    if (SFX_FindSample(name) < 0)
        return NULL;
    for (int i = 0; i < sfx_numsources; i++) {
        if (!sfx_pool[i].inuse) {
            sfx_pool[i].inuse = 1;
            return &sfx_pool[i];
        }
    }
    return NULL;
}

void SFX_FreeSound(sound_t *s)
{
    if (!s) {
        Com_Printf("# SFX_FreeSound: given sound_t* is NULL\n");
        return;
    }
    if (!SFX_IsPoolEntry(s)) {
        Com_Printf("# SFX_FreeSound: given sound_t* is not a pool entry\n");
        return;
    }
    if (sfx_enabled && SFX_SourceActive(s->source)) {
        alSourceStop(s->source);
        SFX_Check("SFX_FreeSound: alSourceStop()");
    }
    s->inuse = 0;
}

sound_t *SFX_PoolEntry(int index)
{
    if (index < 0 || index >= SFX_MAX_SOURCES)
        return NULL;
    return &sfx_pool[index];
}

/* ---- playing and placing ---------------------------------------------- */

static void SFX_UpdateSound3D(sound_t *s, const float *origin)
{
    float pos[3];

    SFX_Finite(origin, pos);
    SFX_FlushError("_SFX_UpdateSound3D");
    alSourcefv(s->source, AL_POSITION, pos);
    SFX_Check("_SFX_UpdateSound3D: alSourcefv()");
}

/* The music is the loop that plays at the listener, without any 3D
 * offset (the game keeps it at the camera); everything else is an effect. */
static int SFX_IsMusic(const float *pos, int loop)
{
    float d2 = 0.0f;
    for (int i = 0; i < 3; i++)
        d2 += (pos[i] - sfx_listenerpos[i]) * (pos[i] - sfx_listenerpos[i]);
    return loop && d2 < 1.0f;
}

void SFX_SetVolumes(float music, float effects)
{
    sfx_musicvolume = music;
    sfx_effectsvolume = effects;
}

static void SFX_PlaySound(sound_t *s, int sample, const float *origin, int loop)
{
    ALenum err;

    if (!sfx_enabled)
        return;
    if (sample < 0 || sample >= sfx_count) {
        Com_Printf("# _PlaySound: invalid sample num: %i\n", sample);
        return;
    }
    s->loop = loop;
    SFX_FlushError("_PlaySound");
    alSourcei(s->source, AL_BUFFER, (ALint)sfx_buffers[sample]);
    if ((err = alGetError()) != AL_NO_ERROR) {
        Com_Printf("# _PlaySound: alSourcei() failed: %s\n", AL_ErrorString(err));
        return;
    }
    /* placed before it starts, so that not even its first samples come
     * from where the source played last */
    float pos[3];
    if (!SFX_Finite(origin, pos))
        Com_Printf("- _PlaySound: position not finite, played at the origin\n");
    float *volume = &sfx_poolvolume[s - sfx_pool];
    *volume = SFX_IsMusic(pos, loop) ? sfx_musicvolume : sfx_effectsvolume;
    alSourcei(s->source, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
    alSourcef(s->source, AL_GAIN, *volume);
    if (!SFX_Check("_PlaySound: alSourcei(AL_LOOPING)/alSourcef(AL_GAIN)"))
        return;
    SFX_UpdateSound3D(s, pos);
    alSourcePlay(s->source);
    SFX_Check("_PlaySound: alSourcePlay()");
}

void SFX_PlayByName(entity_t *e, int loop)
{
    char name[ENT_NAMELEN + 1];

    if (!e || e->kind != ENT_SOUND || !e->u.snd.handle)
        return;
    /* the game may have overwritten the name without a terminator */
    memcpy(name, e->name, ENT_NAMELEN);
    name[ENT_NAMELEN] = '\0';
    int sample = SFX_FindSample(name);
    if (sample < 0) {
        Com_Printf("# SFX_PlayByName: '%s' not in cache\n", name);
        return;
    }
    SFX_PlaySound(e->u.snd.handle, sample, e->origin, loop);
}

void SFX_UpdateEntitySound(entity_t *e)
{
    if (!sfx_enabled || !e || e->kind != ENT_SOUND || !e->u.snd.handle)
        return;
    if (SFX_SourceActive(e->u.snd.handle->source))
        SFX_UpdateSound3D(e->u.snd.handle, e->origin);
    else
        Ent_PendRemove(e);
}

static int SFX_ListenerCheck(void)
{
    return SFX_Check("SFX_UpdateListener3D: alListenerfv()");
}

/* The listener looks along the entity's direction with the view's up: the
 * world's up made square to the direction (the view never rolls).  Looking
 * straight up or down, up is the level forward of the yaw, turned over. */
static void SFX_ListenerOrientation(const entity_t *e, float *orient)
{
    float at[3], len = 0.0f;

    SFX_Finite(e->dir, at);
    for (int i = 0; i < 3; i++)
        len += at[i] * at[i];
    len = sqrtf(len);
    if (!(len > 0.0f) || !isfinite(len)) {
        at[0] = at[1] = 0.0f;
        at[2] = -1.0f;
        len = 1.0f;
    }
    for (int i = 0; i < 3; i++)
        at[i] /= len;
    float k = at[1], up[3] = {-k * at[0], 1.0f - k * at[1], -k * at[2]};
    float ul = sqrtf(up[0] * up[0] + up[1] * up[1] + up[2] * up[2]);
    if (!(ul > 1e-4f)) {
        float yaw = isfinite(e->angles[1]) ? e->angles[1] * 3.14159265f / 180.0f : 0.0f;
        up[0] = -k * sinf(yaw);
        up[1] = 0.0f;
        up[2] = k * cosf(yaw);
        ul = 1.0f;
    }
    for (int i = 0; i < 3; i++) {
        orient[i] = at[i];
        orient[3 + i] = up[i] / ul;
    }
}

void SFX_UpdateListener3D(entity_t *e)
{
    float pos[3], vel[3], orient[6];

    if (!sfx_enabled || !e)
        return;
    for (int i = 0; i < 3; i++)
        vel[i] = e->dir[i] * e->speed;
    SFX_Finite(vel, vel);
    SFX_Finite(e->origin, pos);
    SFX_ListenerOrientation(e, orient);
    SFX_FlushError("SFX_UpdateListener3D");
    alListenerfv(AL_POSITION, pos);
    if (!SFX_ListenerCheck())
        return;
    memcpy(sfx_listenerpos, pos, sizeof(pos));
    alListenerfv(AL_VELOCITY, vel);
    if (!SFX_ListenerCheck())
        return;
    alListenerfv(AL_ORIENTATION, orient);
    SFX_ListenerCheck();
}

/* ---- volumes, pause and resume ----------------------------------------- */

void SFX_SetSoundVolume(sound_t *s, float v)
{
    if (!sfx_enabled)
        return;
    if (!s) {
        Com_Printf("# SFX_SetSoundVolume: given sound_t* is NULL\n");
        return;
    }
    if (!SFX_IsPoolEntry(s)) {
        Com_Printf("# SFX_SetSoundVolume: given sound_t* is not a pool entry\n");
        return;
    }
    alSourcef(s->source, AL_GAIN, v * sfx_poolvolume[s - sfx_pool]);
    SFX_Check("SFX_SetSoundVolume: alSourcef()");
}

void SFX_SetMasterVolume(float v)
{
    if (!sfx_enabled)
        return;
    alListenerf(AL_GAIN, v);
    SFX_Check("SFX_SetMasterVolume: alListenerf()");
}

void SFX_PauseAll(void)
{
    if (!sfx_enabled)
        return;
    for (int i = 0; i < sfx_numsources; i++)
        if (AL_GetSourceState(sfx_pool[i].source) == SFX_STATE_PLAYING) {
            alSourcePause(sfx_pool[i].source);
            SFX_Check("SFX_PauseAll: alSourcePause()");
        }
}

void SFX_ResumeAll(void)
{
    if (!sfx_enabled)
        return;
    for (int i = 0; i < sfx_numsources; i++)
        if (AL_GetSourceState(sfx_pool[i].source) == SFX_STATE_PAUSED) {
            alSourcePlay(sfx_pool[i].source);
            SFX_Check("SFX_ResumeAll: alSourcePlay()");
        }
}
