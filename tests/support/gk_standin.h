/* gk_standin.h -- a stand-in engine for the game module (game unit tests, level fuzz target). */
#ifndef GK_STANDIN_H
#define GK_STANDIN_H

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "g_local.h"

namespace harness {

inline float gametime, lastgametime;
inline std::string log, failname;
inline std::vector<std::string> cached, spawned;
inline int shutdowns, failspawns;
inline entity_t ents[ENT_MAX];
inline int used[ENT_MAX];
inline const char *texts[8];

inline entity_t *Spawn(const char *name, int kind)
{
    if (failspawns || (!failname.empty() && failname == name))
        return nullptr;
    for (int i = 0; i < ENT_MAX; i++) {
        if (used[i])
            continue;
        used[i] = 1;
        entity_t *e = &ents[i];
        memset(e, 0, sizeof(*e));
        snprintf(e->name, sizeof(e->name), "%s", name);
        e->kind = kind;
        e->spawntime = gametime;
        e->dir[2] = -1.0f;
        e->vec2[0] = 1.0f;
        for (int c = 0; c < 4; c++)
            e->color[c] = 1.0f;
        e->brightness = 1.0f;
        if (kind == ENT_MODEL) {
            e->u.mdl.framerate = 1.0f;
            e->u.mdl.scale = 1.0f;
            e->u.mdl.depth = 1;
        } else if (kind == ENT_IMAGE) {
            e->u.img.width = e->u.img.height = 128.0f;
        }
        spawned.push_back(name);
        return e;
    }
    return nullptr;
}

inline entity_t *PendRemove(entity_t *e)
{
    e->state = ES_PENDREMOVE;
    return e;
}

inline void Printf(const char *fmt, ...)
{
    char buf[1024];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof(buf), fmt, ap);
    va_end(ap);
    log += buf;
}

inline void Shutdown() { shutdowns++; }
inline void Void() {}
inline int CacheFile(const char *p)
{
    cached.push_back(p);
    return 1;
}
inline void Play(entity_t *, int) {}
inline void Listener(entity_t *) {}
inline void SoundVolume(struct sound_s *, float) {}
inline void Master(float) {}
inline const char *Str(int i) { return (i >= 0 && i < 8) ? texts[i] : ""; }

/* Hands the stand-ins to the module as its services. */
inline void Install()
{
    gi = {&gametime, &lastgametime, Spawn, PendRemove, Printf, Shutdown, CacheFile, Play, Listener, SoundVolume,
          Master, Void, Void, Void, Void, Str};
}

/* The services installed, every record of the stand-in and the game
 * core's pool, flow and level table reset. */
inline void Reset()
{
    static const char *const t[8] = {"bonus %d:%02d", "score %d", "weapon", "time %d:%02d",
                                     "time up", "continue", "quit", ""};
    Install();
    gametime = lastgametime = 0.0f;
    log.clear();
    failname.clear();
    cached.clear();
    spawned.clear();
    shutdowns = failspawns = 0;
    memcpy(texts, t, sizeof(texts));
    memset(ents, 0, sizeof(ents));
    memset(used, 0, sizeof(used));
    G_ResetPool();
    G_ResetFlow();
    Level_FreeAll();
    G_SetWorldSphere(0, 0, 0, G_WORLD_RADIUS);
}

/* The stand-ins in the module's import order, and Game_Import over such
 * a table (the module's own services are kept for the process's life). */
inline void *const services[GAME_SERVICE_COUNT] = {
    (void *)&gametime, (void *)&lastgametime, (void *)Spawn, (void *)PendRemove, (void *)Printf,
    (void *)Shutdown, (void *)CacheFile, (void *)Play, (void *)Listener, (void *)SoundVolume,
    (void *)Master, (void *)Void, (void *)Void, (void *)Void, (void *)Void, (void *)Str};

inline void Import(void *const *s)
{
    Game_Import((float *)s[0], (float *)s[1], (svc_spawnentity_f)s[2], (svc_pendremove_f)s[3],
                (svc_conprintf_f)s[4], (svc_void_f)s[5], (svc_cachefile_f)s[6], (svc_play_f)s[7],
                (svc_listener_f)s[8], (svc_soundvolume_f)s[9], (svc_mastervolume_f)s[10], (svc_void_f)s[11],
                (svc_void_f)s[12], (svc_void_f)s[13], (svc_void_f)s[14], (svc_getstr_f)s[15]);
}

/* Reset plus the player's parts released; nothing built. */
inline void ResetAll()
{
    Reset();
    BGM_Stop();
    Cam_Release();
    CL_Release();
    G_SetMasterVolume(1.0f);
    g_mouseinvert = 0;
    G_RandomReset();
}

/* Camera and player as level initialisation makes them, in action. */
inline bool BuildPlayer()
{
    if (!Cam_Init() || !CL_Init())
        return false;
    G_ResetStates();
    G_SetState(GST_ACTION);
    BGM_Start("sounds/music.wav");
    return true;
}

/* A gentity of a class, 100 units ahead of the view. */
inline gentity_t *SpawnVictim(int mainclass, int subclass)
{
    gentity_t *g = G_SpawnByClass(mainclass, subclass);
    if (g)
        Vec_Set(g->ent->origin, 0, 0, -100);
    return g;
}

/* One engine frame's clock step. */
inline void SetTime(float t)
{
    lastgametime = gametime;
    gametime = t;
}

/* The engine's think pass: think when due (kept simple: no motion). */
inline void Think()
{
    for (int i = 0; i < ENT_MAX; i++) {
        entity_t *e = &ents[i];
        if (used[i] && e->state != ES_PENDREMOVE && e->think && e->nextthink <= gametime)
            e->think(e);
    }
}

/* Frames of 1/128 s (exact in binary) up to t; think pass each frame. */
inline void RunTo(float t)
{
    while (gametime + 1.0f / 128.0f <= t + 1e-6f) {
        SetTime(gametime + 1.0f / 128.0f);
        Think();
    }
}

/* The engine's purge: frees every record marked for removal. */
inline void Purge()
{
    for (int i = 0; i < ENT_MAX; i++)
        if (used[i] && ents[i].state == ES_PENDREMOVE)
            used[i] = 0;
}

/* The gentities in use of a class (any subclass when subclass < 0). */
inline std::vector<gentity_t *> InUse(int mainclass, int subclass = -1)
{
    std::vector<gentity_t *> v;
    for (gentity_t *g = G_NextInUse(nullptr); g; g = G_NextInUse(g))
        if (g->mainclass == mainclass && (subclass < 0 || g->subclass == subclass))
            v.push_back(g);
    return v;
}

inline int Count(int mainclass, int subclass = -1) { return (int)InUse(mainclass, subclass).size(); }

} // namespace harness

#endif
