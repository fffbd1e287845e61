/*
 * game_harness.h -- a stand-in engine for the game core's unit tests: a
 * pool of engine entity records handed out by the spawn service with the
 * engine's defaults, removal marks, a purge, a think pass, a controlled
 * clock, and a log of everything the module prints or caches.  Tests that
 * need models, fonts or images without content files use it; tests that
 * can run on the real entity store use that instead.
 */
#ifndef GAME_HARNESS_H
#define GAME_HARNESS_H

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "g_local.h"

namespace harness {

inline float gametime, lastgametime;
inline std::string log;
inline std::vector<std::string> cached;
inline std::vector<std::string> spawned;
inline std::vector<float> mastervolumes;
inline int shutdowns;
inline int failspawns;           /* spawns fail while non-zero */
inline entity_t ents[ENT_MAX];
inline int used[ENT_MAX];

inline entity_t *Spawn(const char *name, int kind)
{
    if (failspawns)
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
inline void Master(float v) { mastervolumes.push_back(v); }
inline const char *Str(int) { return "text"; }

/* Fills the module's services with the stand-ins and resets every part
 * of the game core and the stand-in engine. */
inline void Reset()
{
    gi.gametime = &gametime;
    gi.lastgametime = &lastgametime;
    gi.spawnentity = Spawn;
    gi.pendremove = PendRemove;
    gi.conprintf = Printf;
    gi.shutdown = Shutdown;
    gi.sfx_cachefile = CacheFile;
    gi.sfx_play = Play;
    gi.sfx_updatelistener3d = Listener;
    gi.sfx_setsoundvolume = SoundVolume;
    gi.sfx_setmastervolume = Master;
    gi.sfx_pauseall = Void;
    gi.sfx_resumeall = Void;
    gi.gametime_pause = Void;
    gi.gametime_resume = Void;
    gi.lang_getlocalizedstr = Str;
    gametime = lastgametime = 0.0f;
    log.clear();
    cached.clear();
    spawned.clear();
    mastervolumes.clear();
    shutdowns = 0;
    failspawns = 0;
    memset(ents, 0, sizeof(ents));
    memset(used, 0, sizeof(used));
    G_ResetPool();
    G_ResetFlow();
    Level_FreeAll();
    G_SetWorldSphere(0, 0, 0, 692.820323f);
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

/* The engine's purge: frees every record marked for removal. */
inline void Purge()
{
    for (int i = 0; i < ENT_MAX; i++)
        if (used[i] && ents[i].state == ES_PENDREMOVE)
            used[i] = 0;
}

inline int Live()
{
    int n = 0;
    for (int i = 0; i < ENT_MAX; i++)
        n += used[i];
    return n;
}

inline bool Logged(const std::string &s) { return log.find(s) != std::string::npos; }

} // namespace harness

#endif
