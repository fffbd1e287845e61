/* play_data.h -- level files built byte by byte, and a playable game tree on the real engine. */
#ifndef PLAY_DATA_H
#define PLAY_DATA_H

#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine.h"
#include "g_local.h"
#include "gk_mesh.h"
#include "gk_standin.h"
#include "gk_support.h"

namespace levelbytes {

inline void PutFloat(std::string *b, float f)
{
    uint32_t u;
    memcpy(&u, &f, 4);
    gk::PutLE(*b, u, 4);
}

/* A fixed field of n bytes holding s, zero-padded (s may fill it all). */
inline void PutField(std::string *b, const std::string &s, size_t n, char mask = 0)
{
    std::string f = s.substr(0, n);
    f.resize(n, '\0');
    for (char &c : f)
        c = (char)(c ^ mask);
    *b += f;
}

inline std::string Header(const std::string &stored, const std::string &name = "Level",
                          const std::string &bgm = "sounds/music.wav", float duration = 60.0f,
                          const std::string &sky = "skysphere01", int version = 3)
{
    std::string b(4, '\0');
    b[0] = (char)version;
    PutField(&b, stored, 128, 0x6C);
    PutField(&b, name, 129);
    PutField(&b, bgm, 129);
    PutFloat(&b, duration);
    PutField(&b, sky, 129);
    return b;
}

inline std::string Spawn(float spawntime, float period, const std::string &name, float x = 0, float y = 0,
                         float z = -300, float dx = 0, float dy = 0, float dz = 1, float speed = 50)
{
    std::string b;
    PutFloat(&b, spawntime);
    PutFloat(&b, period);
    PutField(&b, name, 129);
    for (float v : {x, y, z, dx, dy, dz, speed})
        PutFloat(&b, v);
    return b;
}

} // namespace levelbytes

namespace play {

struct Spawn { const char *name; float time, period; float pos[3], dir[3]; float speed; };

/* Every model the game loads for a level that places chickens. */
inline const char *const models[] = {
    "cockpit", "arrow", "weapon", "shot01", "shot02", "shot03", "truemmer01", "truemmer02", "truemmer03",
    "truemmer04", "feather01", "feather02", "skysphere01", "chicken"};

inline void Link(const std::string &from, const std::string &to)
{
    std::error_code ec;
    std::filesystem::create_symlink(from, to, ec);
}

/* Builds the tree in dir: data/ and sounds/, level file data/script<n>.bin. */
inline bool WriteTree(const std::string &dir, int n, float duration, const std::vector<Spawn> &spawns)
{
    std::string dist = gk::DistDir();
    std::string data = dir + "/data";
    gk::MakeDirs(data);
    if (!std::filesystem::exists(dist + "/data/game.dll") || !std::filesystem::exists(dist + "/data/vex0.pk3"))
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
    std::string base = "script" + std::to_string(n) + ".bin";
    std::string b = levelbytes::Header(base, "test level", "sounds/bgm0.wav", duration);
    for (const Spawn &s : spawns)
        b += levelbytes::Spawn(s.time, s.period, s.name, s.pos[0], s.pos[1], s.pos[2], s.dir[0],
                               s.dir[1], s.dir[2], s.speed);
    return gk::WriteFile(data + "/" + base, b);
}

/* The controlled clock of a headless game, in milliseconds. */
inline uint32_t clock_ms;
inline uint32_t Clock(void) { return clock_ms; }

/* Starts level n of the tree in dir (now the working directory) headless; 1: running. */
inline int StartGame(const std::string &dir, int n)
{
    if (chdir(dir.c_str()) != 0)
        return 0;
    G_ResetFlow(); /* the module as freshly loaded, as each run of the program has it */
    Sys_SetClock(Clock);
    clock_ms = 1000;
    eng_headless_t h{};
    h.gamedir = "data";
    h.level = n;
    h.imp = Game_Import;
    h.main = Game_Main;
    return Eng_StartHeadless(&h);
}

/* n headless frames of ms milliseconds; 0 once the engine's loop ended. */
inline int Frames(int n, uint32_t ms = 10)
{
    for (int i = 0; i < n; i++) {
        clock_ms += ms;
        if (!Eng_RunFrame())
            return 0;
    }
    return 1;
}

/* The vexengine program on the tree in dir, to its end. */
inline gk::ProcResult Engine(const std::string &dir, const std::vector<std::string> &args,
                             const std::vector<std::string> &env = {}, int timeout_s = 120)
{
    std::vector<std::string> argv = {gk::DistDir() + "/vexengine", "-game", "data"};
    argv.insert(argv.end(), args.begin(), args.end());
    return gk::RunProcess(argv, dir, env, timeout_s);
}

/* vexengine on the tree with its log on; back a second after the level's classes are cached. */
inline gk::Proc Launch(const std::string &dir, const std::vector<std::string> &args, std::vector<std::string> env)
{
    std::vector<std::string> argv = {gk::DistDir() + "/vexengine", "-game", "data"};
    argv.insert(argv.end(), args.begin(), args.end());
    env.push_back("VEX_LOG=1");
    gk::Proc p = gk::StartProcess(argv, dir, env, dir);
    std::string err;
    for (int i = 0; i < 300 && err.find("**** entities cached ****") == std::string::npos; i++, usleep(100000))
        gk::ReadFile(p.errpath, &err);
    EXPECT_NE(err.find("**** entities cached ****"), std::string::npos) << "30 s for the level's classes: " << err;
    usleep(1000000);
    return p;
}

} // namespace play

#endif
