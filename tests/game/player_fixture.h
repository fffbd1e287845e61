/*
 * player_fixture.h -- set-up shared by the player, display and pause
 * tests on the stand-in engine: the player built by CL_Init with its
 * camera, translation strings with real formats, images with sizes, a
 * record of every sound played, spawns that fail for one chosen name, and
 * frame stepping with an exact binary clock.
 */
#ifndef PLAYER_FIXTURE_H
#define PLAYER_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game_harness.h"

namespace pf {

struct Played {
    std::string name;
    int loop;
    float pos[3];
};

inline std::vector<Played> played;
inline std::vector<entity_t *> listeners;
inline std::string failname;          /* spawns of this name fail */
inline const char *texts[8] = {"bonus %d:%02d", "score %d", "weapon", "time %d:%02d",
                               "time up", "continue", "quit", ""};
inline float imagew = 128.0f, imageh = 128.0f;

inline entity_t *Spawn(const char *name, int kind)
{
    if (!failname.empty() && failname == name)
        return nullptr;
    entity_t *e = harness::Spawn(name, kind);
    if (e && kind == ENT_IMAGE) {
        e->u.img.width = imagew;
        e->u.img.height = imageh;
    }
    return e;
}

inline void Play(entity_t *e, int loop)
{
    Played p;
    p.name = e->name;
    p.loop = loop;
    for (int i = 0; i < 3; i++)
        p.pos[i] = e->origin[i];
    played.push_back(p);
}

inline void Listener(entity_t *e) { listeners.push_back(e); }
inline const char *Str(int i) { return (i >= 0 && i < 8) ? texts[i] : ""; }

inline int CountPlayed(const std::string &name)
{
    int n = 0;
    for (auto &p : played)
        n += p.name == name;
    return n;
}

/* Stand-in engine plus this module's parts reset; nothing built. */
inline void ResetAll()
{
    harness::Reset();
    gi.spawnentity = Spawn;
    gi.sfx_play = Play;
    gi.sfx_updatelistener3d = Listener;
    gi.lang_getlocalizedstr = Str;
    played.clear();
    listeners.clear();
    failname.clear();
    imagew = imageh = 128.0f;
    texts[0] = "bonus %d:%02d";
    texts[1] = "score %d";
    texts[3] = "time %d:%02d";
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

/* Frames of 1/128 s (exact in binary) up to t; think pass each frame. */
inline void RunTo(float t)
{
    while (harness::gametime + 1.0f / 128.0f <= t + 1e-6f) {
        harness::SetTime(harness::gametime + 1.0f / 128.0f);
        harness::Think();
    }
}

inline gentity_t *SpawnVictim(int mainclass, int subclass, float x = 0, float y = 0,
                              float z = -100)
{
    gentity_t *g = G_SpawnByClass(mainclass, subclass);
    if (g)
        Vec_Set(g->ent->origin, x, y, z);
    return g;
}

} // namespace pf

#endif
