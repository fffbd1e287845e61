/*
 * g_sound.h -- the game's sound backend: one-shot and looping positional
 * sounds carried by sound entities, and the looping background music that
 * travels with the camera.
 */
#ifndef G_SOUND_H
#define G_SOUND_H

struct gentity_s;

/* Plays name once at pos, moving along dir at speed; the entity removes
 * itself when the sound has ended.  A failed spawn is logged and skipped. */
void SoundBackend_Play(const float *pos, const float *dir, float speed, const char *name);
/* Plays name in a loop; the caller owns (and removes) the returned
 * gentity.  NULL after logging when the sound entity cannot be had. */
struct gentity_s *SoundBackend_PlayLoop(const float *pos, const float *dir, float speed,
                                        const char *name);

/* Starts the looping background music at the camera (replacing any). */
void BGM_Start(const char *name);
/* Removes the music's gentity and forgets it. */
void BGM_Stop(void);
/* Puts the music where the camera is. */
void BGM_MoveToCamera(void);
/* The music's gentity, or NULL. */
struct gentity_s *BGM_Gentity(void);

#endif
