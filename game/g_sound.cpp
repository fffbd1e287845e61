/*
 * g_sound.cpp -- the sound backend: every sound of the game is a sound
 * entity spawned at a position (optionally flying along a path), played
 * once and left to the engine to end, or played in a loop and removed by
 * its owner.  The background music is one such loop that is kept at the
 * camera, so it is heard without any 3D offset.
 */
#include "g_local.h"

static gentity_t *bgm_music;
static entity_t *bgm_ent;       /* the music's engine entity when started */
static float bgm_spawntime;

/* The music reference, if it still names the loop that BGM_Start made
 * (a removal of everything may have freed and reused the slot). */
static gentity_t *BGM_Valid(void)
{
    if (bgm_music && bgm_music->state == GS_INUSE && bgm_music->ent == bgm_ent &&
        bgm_music->spawntime == bgm_spawntime)
        return bgm_music;
    return NULL;
}

/* On destroy of a one-shot sound: the engine ended it, free the gentity. */
static void SoundBackend_Release(entity_t *e)
{
    gentity_t *g = G_GentityOf(e);
    if (g)
        G_Remove(g);
}

static gentity_t *SoundBackend_Spawn(const float *pos, const float *dir, float speed,
                                     const char *name)
{
    gentity_t *g = G_SpawnSound(name);
    if (!g) {
        gi.conprintf("# SoundBackend: could not spawn '%s'\n", name);
        return NULL;
    }
    Vec_Copy(pos, g->ent->origin);
    Vec_Copy(dir, g->ent->dir);
    g->ent->speed = speed;
    return g;
}

void SoundBackend_Play(const float *pos, const float *dir, float speed, const char *name)
{
    gentity_t *g = SoundBackend_Spawn(pos, dir, speed, name);
    if (!g)
        return;
    gi.sfx_play(g->ent, 0);
    g->ent->ondestroy = SoundBackend_Release;
}

gentity_t *SoundBackend_PlayLoop(const float *pos, const float *dir, float speed,
                                 const char *name)
{
    gentity_t *g = SoundBackend_Spawn(pos, dir, speed, name);
    if (!g)
        return NULL;
    gi.sfx_play(g->ent, 1);
    return g;
}

void BGM_MoveToCamera(void)
{
    gentity_t *music = BGM_Valid();
    if (!music)
        return;
    entity_t *cam = Cam_GetCameraEntity();
    if (!cam) {
        gi.conprintf("# BGM_MoveToCamera: Cam_GetCameraEntity() returnd NULL\n");
        return;
    }
    Vec_Copy(cam->origin, music->ent->origin);
    Vec_Copy(cam->dir, music->ent->dir);
    music->ent->speed = cam->speed;
}

void BGM_Start(const char *name)
{
    BGM_Stop();
    bgm_music = SoundBackend_PlayLoop(vec3_origin, vec3_origin, 0.0f, name);
    if (!bgm_music)
        return;
    bgm_ent = bgm_music->ent;
    bgm_spawntime = bgm_music->spawntime;
    BGM_MoveToCamera();
}

void BGM_Stop(void)
{
    gentity_t *music = BGM_Valid();
    if (music)
        G_Remove(music);
    bgm_music = NULL;
    bgm_ent = NULL;
}

gentity_t *BGM_Gentity(void)
{
    return BGM_Valid();
}
