/* world_fixture.h -- the real entity store, collision and sound system without a window. */
#ifndef WORLD_FIXTURE_H
#define WORLD_FIXTURE_H

#include <math.h>
#include <unistd.h>

#include "entity.h"
#include "gk_standin.h"
#include "gk_mesh.h"
#include "gk_support.h"
#include "module.h"
#include "sound.h"
#include "tgawriter.h"
#include "wavwriter.h"

namespace world {

inline const char *const kSounds[] = {
    "sounds/kluck.wav", "sounds/kluck2.wav", "sounds/kluck3.wav", "sounds/kluck4.wav", "sounds/kluck5.wav",
    "sounds/kluck6.wav", "sounds/expl_general.wav", "sounds/expl_ship.wav", "sounds/expl_rocket.wav",
    "sounds/ship.wav", "sounds/rocket.wav", "sounds/alien.wav", "sounds/shot3b.wav", "sounds/shot1.wav",
    "sounds/shot2.wav", "sounds/shot3a.wav"};

/* Once per process: data directory, models, sounds, services. */
inline void Start()
{
    static gk::TempDir *dir;
    if (dir)
        return;
    dir = new gk::TempDir();
    gk::MakeDirs(*dir / "data");
    gk::MakeDirs(*dir / "sounds");
    for (int i = 0; G_ClassByIndex(i); i++)
        if (G_ClassByIndex(i)->kind == ENT_MODEL)
            gk::WriteBoxModel(*dir / ("data/" + std::string(G_ClassByIndex(i)->medianame)), 10.0f);
    gk::WriteFont(*dir / "data/tech", 64, "- 0 0 8 8\n0 8 0 8 8\n2 16 0 8 8\n5 24 0 8 8\n");
    if (chdir(dir->path.c_str()) != 0)
        return;
    Com_Strncpy(com_datadir, "data/", sizeof(com_datadir));
    SFX_Init();
    gk::WavSpec spec;
    for (const char *s : kSounds) {
        gk::WriteWav(s, spec, gk::WavTone(spec, 2205)); /* 0.1 s */
        SFX_CacheFile(s);
    }
    Mod_GetServices(&gi);
    gi.conprintf = harness::Printf; /* the log of the stand-in engine */
    mod_running = 1;
}

/* A fresh world at game time 0. */
inline void Reset()
{
    Start();
    Ent_Reset();
    G_ResetPool();
    Missile_ClearHomingLock();
    FX_ResetParams();
    g_particlefactor = 1.0f;
    eng_gametime = eng_lastgametime = 0.0f;
    harness::log.clear();
}

/* One engine frame of dt seconds, with the game's sweep first. */
inline void Frame(float dt)
{
    eng_lastgametime = eng_gametime;
    eng_gametime += dt;
    G_Sweep();
    Ent_Motion();
    Ent_ThinkTouch();
    for (entity_t *e = Ent_First(); e; e = Ent_Next())
        SFX_UpdateEntitySound(e);
    Ent_Purge();
}

inline void Run(float seconds, float dt = 0.02f)
{
    int n = (int)(seconds / dt + 0.5f);
    for (int i = 0; i < n; i++)
        Frame(dt);
}

/* A class placed as the scheduler places it, with its behaviour. */
inline gentity_t *Place(int mainclass, int subclass, float x, float y, float z,
                        float dx = 0.0f, float dy = 0.0f, float dz = -1.0f, float speed = 0.0f)
{
    gentity_t *g = G_SpawnByClass(mainclass, subclass);
    if (!g)
        return nullptr;
    Vec_Set(g->ent->origin, x, y, z);
    Vec_Set(g->ent->dir, dx, dy, dz);
    Vec_Normalize(g->ent->dir);
    Ent_OrientToDirection(g->ent);
    g->ent->speed = speed;
    G_StartClassBehaviour(g);
    return g;
}

/* The player at the world centre looking down -z. */
inline gentity_t *Player()
{
    gentity_t *p = G_SpawnByClass(MC_PLAYER, SUB_PLAYER_CLIENT);
    if (p)
        Ent_OrientToDirection(p->ent);
    return p;
}

/* The engine's pair call: touch of both sides, as the store makes it. */
inline void Touch(gentity_t *a, gentity_t *b)
{
    if (a->ent->touch)
        a->ent->touch(a->ent, b->ent);
    if (b->ent->state == ES_ACTIVE && b->ent->touch)
        b->ent->touch(b->ent, a->ent);
}

} // namespace world

#endif
