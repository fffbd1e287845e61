/*
 * sound.h -- the engine's sound system: a cache of up to 128 PCM samples
 * read from WAV files into OpenAL buffers, a fixed pool of 16 positional
 * OpenAL sources carried by sound entities, the listener, volumes and
 * pause/resume of everything that plays.  Without an audio device the
 * engine runs silently: every call is then a harmless no-op.
 */
#ifndef SOUND_H
#define SOUND_H

#include <stdint.h>
#include <stdio.h>

#include "common.h"

#define SFX_MAX_SAMPLES 128
#define SFX_MAX_SOURCES 16
#define SFX_NAMELEN 129

/* One entry of the source pool. */
typedef struct sound_s {
    uint32_t source;   /* OpenAL source name */
    int32_t loop;      /* loop argument of the last play, as passed */
    int32_t inuse;     /* 0 free, 1 taken by a sound entity */
} sound_t;

/* Source states as the sound system sees them. */
enum {
    SFX_STATE_UNKNOWN = 0,
    SFX_STATE_PLAYING = 1,
    SFX_STATE_PAUSED = 2,
    SFX_STATE_STOPPED = 3
};

/* The 44-byte canonical PCM WAV header, field by field. */
typedef struct {
    char chunkid[4];
    uint32_t chunksize;
    char format[4];
    char fmtid[4];
    uint32_t fmtsize;
    uint16_t formattag;
    uint16_t channels;
    uint32_t samplerate;
    uint32_t byterate;
    uint16_t blockalign;
    uint16_t bitspersample;
    char dataid[4];
    uint32_t datasize;
} wavheader_t;

#define WAV_HEADER_SIZE 44

/* Reads the 44 header bytes from f; 1 on success, 0 when a field reads
 * short or the format tag is not PCM (1). */
int WAV_ReadHeader(FILE *f, wavheader_t *h);
/* The same from memory (len bytes at p). */
int WAV_ParseHeader(const uint8_t *p, size_t len, wavheader_t *h);

/* Verdicts on a header against the data that really follows it. */
enum {
    WAV_OK = 0,
    WAV_BADCHANNELS,   /* channel count not 1 or 2 */
    WAV_SHORTDATA,     /* fewer data bytes than the header promises */
    WAV_BADFRAMES      /* data size not a whole number of 16-bit frames */
};
/* Checks h against avail bytes of data after the header.  Only the channel
 * count is examined when avail is (size_t)-1 (data not yet read). */
int WAV_CheckData(const wavheader_t *h, size_t avail);

/* Start-up and shutdown. SFX_Init returns 1 when sound is enabled. */
int SFX_Init(void);
void SFX_Shutdown(void);
int SFX_Enabled(void);
int SFX_SourceCount(void);   /* usable pool entries: 0 while disabled, at most 16 */

/* Source pool, used by the entity store for sound entities. */
struct sound_s *SFX_AllocSound(const char *name);
void SFX_FreeSound(struct sound_s *s);
void SFX_UpdateEntitySound(entity_t *e);

/* The player's music and effects volumes (gains 0..1, both 1 until set):
 * a looping sound that starts at the listener is the music, every other
 * sound an effect.  Applied to each sound as it starts. */
void SFX_SetVolumes(float music, float effects);

/* Services for the game module. */
int SFX_CacheFile(const char *name);
void SFX_PlayByName(entity_t *e, int loop);
void SFX_UpdateListener3D(entity_t *e);
void SFX_SetSoundVolume(struct sound_s *s, float v);
void SFX_SetMasterVolume(float v);
void SFX_PauseAll(void);
void SFX_ResumeAll(void);

/* Helpers, also used by the tests. */
const char *AL_ErrorString(int err);
int AL_GetSourceState(uint32_t source);
int SFX_SampleCount(void);
int SFX_FindSample(const char *name);      /* index or -1 */
uint32_t SFX_SampleBuffer(int index);      /* OpenAL buffer name, 0 if none */
struct sound_s *SFX_PoolEntry(int index);  /* 0..15, NULL outside */

#endif
