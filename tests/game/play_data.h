/*
 * play_data.h -- a small playable game tree for the tests that run the
 * real engine: the built module, archive, translations and sounds of the
 * runnable tree linked in, a box model with its collision data written
 * for every model the game caches, and a level file with a short play
 * time and the spawns a test asks for.
 */
#ifndef PLAY_DATA_H
#define PLAY_DATA_H

#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine.h"
#include "g_local.h"
#include "gk_mesh.h"
#include "gk_support.h"

namespace play {

struct Spawn {
    const char *name;
    float time, period;
    float pos[3], dir[3];
    float speed;
};

/* Every model the game loads for a level that places chickens. */
inline const char *const models[] = {
    "cockpit",    "arrow",      "weapon",     "shot01",    "shot02",    "shot03",
    "truemmer01", "truemmer02", "truemmer03", "truemmer04", "feather01", "feather02",
    "skysphere01", "chicken"};

inline void Link(const std::string &from, const std::string &to)
{
    std::error_code ec;
    std::filesystem::create_symlink(from, to, ec);
}

/* Builds the tree in dir: data/ and sounds/, level file data/script<n>.bin. */
inline bool WriteTree(const std::string &dir, int n, float duration,
                      const std::vector<Spawn> &spawns)
{
    std::string dist = gk::DistDir();
    std::string data = dir + "/data";
    gk::MakeDirs(data);
    if (!std::filesystem::exists(dist + "/data/game.dll") ||
        !std::filesystem::exists(dist + "/data/vex0.pk3"))
        return false;
    Link(dist + "/data/game.dll", data + "/game.dll");
    Link(dist + "/data/vex0.pk3", data + "/vex0.pk3");
    for (auto &e : std::filesystem::directory_iterator(dist + "/data")) {
        std::string name = e.path().filename().string();
        if (name.rfind("ingame_", 0) == 0)
            Link(e.path().string(), data + "/" + name);
    }
    Link(dist + "/sounds", dir + "/sounds");
    for (const char *m : models)
        if (!gk::WriteBoxModel(data + "/" + m, strcmp(m, "skysphere01") == 0 ? 600.0f : 8.0f))
            return false;

    level_t lv;
    memset(&lv, 0, sizeof(lv));
    Level_InitLists(&lv);
    snprintf(lv.name, sizeof(lv.name), "test level");
    snprintf(lv.bgm, sizeof(lv.bgm), "sounds/bgm0.wav");
    snprintf(lv.skysphere, sizeof(lv.skysphere), "skysphere01");
    lv.duration = duration;
    std::vector<spawnrec_t> recs(spawns.size());
    for (size_t i = 0; i < spawns.size(); i++) {
        spawnrec_t *r = &recs[i];
        memset(r, 0, sizeof(*r));
        r->spawntime = spawns[i].time;
        r->respawnperiod = spawns[i].period;
        snprintf(r->name, sizeof(r->name), "%s", spawns[i].name);
        for (int k = 0; k < 3; k++) {
            r->pos[k] = spawns[i].pos[k];
            r->dir[k] = spawns[i].dir[k];
        }
        r->speed = spawns[i].speed;
        Level_InsertSpawn(&lv, r);
    }
    char base[64];
    snprintf(base, sizeof(base), "script%i.bin", n);
    return Level_WriteFile((data + "/" + base).c_str(), base, &lv) == 1;
}

/* The controlled clock of a headless game, in milliseconds. */
inline uint32_t clock_ms;
inline uint32_t Clock(void) { return clock_ms; }

/* Starts level n of the tree in dir on the headless engine, driving the
 * module linked into the test; dir becomes the working directory and the
 * clock starts at 1000 ms.  Returns the engine's answer (1: running). */
inline int StartGame(const std::string &dir, int n)
{
    if (chdir(dir.c_str()) != 0)
        return 0;
    Sys_SetClock(Clock);
    clock_ms = 1000;
    eng_headless_t h;
    memset(&h, 0, sizeof(h));
    h.gamedir = "data";
    h.level = n;
    h.imp = Game_Import;
    h.main = Game_Main;
    return Eng_StartHeadless(&h);
}

} // namespace play

#endif
