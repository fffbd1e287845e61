/*
 * bench_game -- a heavy scene played by the real game module, without a
 * window.  Part 1 runs the real engine loop headless (Eng_RunFrame) on the
 * runnable tree's module, archive and sounds with a level of 300 targets,
 * the held fire button sweeping the view, a homing capsule every 0.75 s
 * and an enemy ship exploding every second (290 particles, four bombs).
 * Part 2 plays a similar scene on the entity store directly and splits the
 * frame into the game's own work, the think/touch pass (behaviours plus
 * collision), motion and purge.  Prints CPU time per frame.
 * Usage: bench_game [frames]
 */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "collision.h"
#include "engine.h"
#include "entity.h"
#include "g_local.h"
#include "model.h"
#include "module.h"
#include "sound.h"

static void Bench_Quiet(const char *, ...) {}

static double Bench_Cpu(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

/* A cube of half size 10 with its collision file. */
static int Bench_WriteCube(const std::string &base)
{
    static float v[] = {-10, -10, -10, 10, -10, -10, 10, 10, -10, -10, 10, -10,
                        -10, -10, 10,  10, -10, 10,  10, 10, 10,  -10, 10, 10};
    static uint32_t f[] = {0, 1, 2, 0, 2, 3, 4, 6, 5, 4, 7, 6, 0, 4, 5, 0, 5, 1,
                           3, 2, 6, 3, 6, 7, 0, 3, 7, 0, 7, 4, 1, 5, 6, 1, 6, 2};
    mdl_frame_t fr = {0, v, NULL};
    mdl_mesh_t mesh;
    memset(&mesh, 0, sizeof(mesh));
    strcpy(mesh.name, "cube");
    mesh.numframes = 1;
    mesh.frames = &fr;
    mesh.numtris = 12;
    mesh.faces = f;
    mesh.numverts = 8;
    mdl_material_t mat;
    memset(&mat, 0, sizeof(mat));
    int ok = Model_WriteFile((base + ".dmo").c_str(), &mat, 1, &mesh, 1);
    colmodel_t *c = Col_Build(&mesh, 1);
    ok = ok && c && Col_WriteFile((base + ".dbb").c_str(), c);
    Col_Free(c);
    return ok;
}

/* 0.1 s of 16-bit mono silence at 22050 Hz. */
static void Bench_WriteWav(const char *name)
{
    const uint32_t data = 4410, rate = 22050, brate = rate * 2;
    FILE *fp = fopen(name, "wb");
    if (!fp)
        return;
    uint32_t riff = 36 + data, fmtlen = 16;
    uint16_t tag = 1, ch = 1, align = 2, bits = 16;
    fwrite("RIFF", 1, 4, fp);
    fwrite(&riff, 4, 1, fp);
    fwrite("WAVEfmt ", 1, 8, fp);
    fwrite(&fmtlen, 4, 1, fp);
    fwrite(&tag, 2, 1, fp);
    fwrite(&ch, 2, 1, fp);
    fwrite(&rate, 4, 1, fp);
    fwrite(&brate, 4, 1, fp);
    fwrite(&align, 2, 1, fp);
    fwrite(&bits, 2, 1, fp);
    fwrite("data", 1, 4, fp);
    fwrite(&data, 4, 1, fp);
    std::vector<char> zero(data, 0);
    fwrite(zero.data(), 1, data, fp);
    fclose(fp);
}

static const char *const bench_sounds[] = {
    "sounds/kluck.wav", "sounds/kluck2.wav", "sounds/kluck3.wav", "sounds/kluck4.wav",
    "sounds/kluck5.wav", "sounds/kluck6.wav", "sounds/expl_general.wav",
    "sounds/expl_ship.wav", "sounds/expl_rocket.wav", "sounds/ship.wav",
    "sounds/rocket.wav", "sounds/alien.wav", "sounds/shot3b.wav"};

static int Bench_Setup(void)
{
    std::string work = std::filesystem::temp_directory_path() / "gk-bench-game-store";
    std::filesystem::create_directories(work + "/data");
    std::filesystem::create_directories(work + "/sounds");
    if (chdir(work.c_str()) != 0)
        return 0;
    for (int i = 0; i < CLASS_COUNT; i++) {
        const classrow_t *r = G_ClassByIndex(i);
        if (r->kind == ENT_MODEL && !Bench_WriteCube(std::string("data/") + r->medianame))
            return 0;
    }
    Com_Strncpy(com_datadir, "data/", sizeof(com_datadir));
    SFX_Init();
    for (const char *s : bench_sounds) {
        Bench_WriteWav(s);
        SFX_CacheFile(s);
    }
    Mod_GetServices(&gi);
    gi.conprintf = Bench_Quiet;
    mod_running = 1;
    G_ResetPool();
    return 1;
}

static uint32_t bench_seed = 7;
static float Bench_Rand(void)
{
    bench_seed = bench_seed * 1103515245u + 12345u;
    return (float)((bench_seed >> 8) & 0xFFFF) / 65535.0f;
}

static const int bench_classes[][2] = {
    {1, 7}, {1, 7}, {1, 7}, {1, 8}, {1, 9}, {1, 10}, {1, 12}, {1, 13}, {1, 14},
    {1, 15}, {2, 16}, {2, 17}, {2, 18}, {2, 19}, {2, 20}, {2, 21}, {3, 22}};
#define BENCH_NCLASSES (int)(sizeof(bench_classes) / sizeof(bench_classes[0]))

static gentity_t *Bench_Target(int mainclass, int subclass)
{
    gentity_t *g = G_SpawnByClass(mainclass, subclass);
    if (!g)
        return NULL;
    float d[3] = {Bench_Rand() - 0.5f, Bench_Rand() * 0.5f, -0.2f - Bench_Rand()};
    Vec_Normalize(d);
    Vec_Scale(d, 300.0f + 300.0f * Bench_Rand(), g->ent->origin);
    float to[3] = {Bench_Rand() * 400 - 200, Bench_Rand() * 100, -100 - 300 * Bench_Rand()};
    Vec_Sub(to, g->ent->origin, g->ent->dir);
    Vec_Normalize(g->ent->dir);
    Ent_OrientToDirection(g->ent);
    g->ent->speed = 10.0f + 30.0f * Bench_Rand();
    G_StartClassBehaviour(g);
    return g;
}

static int Bench_CountTargets(gentity_t **ship)
{
    int n = 0;
    *ship = NULL;
    for (gentity_t *g = G_NextInUse(NULL); g; g = G_NextInUse(g)) {
        if (g->mainclass == MC_TARGET || g->mainclass == MC_SPACE ||
            g->subclass == SUB_KOMET) {
            n++;
            if (g->subclass == SUB_ENEMYSHIP && !*ship)
                *ship = g;
        }
    }
    return n;
}

static double Bench_Pct(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[(size_t)((v.size() - 1) * p)];
}

static int Bench_Store(int frames)
{
    const int warmup = 300;
    if (frames < 1 || !Bench_Setup()) {
        fprintf(stderr, "bench_game: set-up failed\n");
        return 1;
    }
    gentity_t *player = G_SpawnByClass(MC_PLAYER, SUB_PLAYER_CLIENT);
    const float dt = 1.0f / 60.0f;
    std::vector<double> total, game, thinktouch, motion;
    double maxlive = 0, sumtargets = 0, sumlive = 0;
    for (int f = 0; f < warmup + frames; f++) {
        eng_lastgametime = eng_gametime;
        eng_gametime += dt;
        double t0 = Bench_Cpu();
        /* the game's frame work: sweep, schedule, shots, explosions */
        G_Sweep();
        gentity_t *ship;
        int n = Bench_CountTargets(&ship);
        for (; n < 300; n++) {
            const int *c = bench_classes[(int)(Bench_Rand() * (BENCH_NCLASSES - 0.01f))];
            if (!Bench_Target(c[0], c[1]))
                break;
        }
        float aim[3] = {Bench_Rand() - 0.5f, Bench_Rand() * 0.4f - 0.2f, -1.0f};
        Vec_Normalize(aim);
        const float muzzle[3] = {7, -5, -30};
        if (f % 6 == 0)
            FirePlasma(muzzle, aim, player);
        if (f % 45 == 0)
            FireHomingCapsule(muzzle, aim, player);
        if (f % 60 == 0) {
            if (!ship)
                ship = Bench_Target(MC_TARGET, SUB_ENEMYSHIP);
            if (ship)
                Target_ShipDie(ship);
        }
        double t1 = Bench_Cpu();
        Ent_Motion();
        double t2 = Bench_Cpu();
        Ent_ThinkTouch();
        double t3 = Bench_Cpu();
        for (entity_t *e = Ent_First(); e; e = Ent_Next())
            SFX_UpdateEntitySound(e);
        Ent_Purge();
        double t4 = Bench_Cpu();
        if (f < warmup)
            continue;
        game.push_back((t1 - t0) * 1e6);
        thinktouch.push_back((t3 - t2) * 1e6);
        motion.push_back(((t2 - t1) + (t4 - t3)) * 1e6);
        total.push_back((t4 - t0) * 1e6);
        sumtargets += n;
        sumlive += Ent_LiveCount();
        maxlive = std::max(maxlive, (double)Ent_LiveCount());
    }
    double mean = 0;
    for (double v : total)
        mean += v;
    mean /= total.size();
    printf("entity store: %d frames, %.0f targets, %.0f live entities on average (max %.0f)\n",
           frames, sumtargets / frames, sumlive / frames, maxlive);
    printf("  frame total       mean %8.1f us  median %8.1f us  p99 %8.1f us\n", mean,
           Bench_Pct(total, 0.5), Bench_Pct(total, 0.99));
    printf("  game work         median %8.1f us  p99 %8.1f us  (sweep, spawns, shots, explosions)\n",
           Bench_Pct(game, 0.5), Bench_Pct(game, 0.99));
    printf("  think and touch   median %8.1f us  p99 %8.1f us  (behaviours and collision)\n",
           Bench_Pct(thinktouch, 0.5), Bench_Pct(thinktouch, 0.99));
    printf("  motion and purge  median %8.1f us  p99 %8.1f us\n", Bench_Pct(motion, 0.5),
           Bench_Pct(motion, 0.99));
    Ent_Reset();
    G_ResetPool();
    SFX_Shutdown();
    return 0;
}

/* ---- part 1: the real loop ---- */

#ifndef GK_DIST_DIR
#define GK_DIST_DIR "build/dist"
#endif

static uint32_t bench_ms;
static uint32_t Bench_Clock(void)
{
    return bench_ms;
}

static void Bench_Link(const std::string &from, const std::string &to)
{
    std::error_code ec;
    std::filesystem::remove(to, ec);
    std::filesystem::create_symlink(from, to, ec);
}

/* data/ with the runnable tree's module, archive and translations, sounds/,
 * and a level of 300 targets in front of the player. */
static int Bench_WriteTree(const std::string &dir)
{
    std::string dist = GK_DIST_DIR;
    std::string data = dir + "/data";
    std::filesystem::create_directories(data);
    if (!std::filesystem::exists(dist + "/data/vex0.pk3") ||
        !std::filesystem::exists(dist + "/sounds"))
        return 0;
    Bench_Link(dist + "/data/vex0.pk3", data + "/vex0.pk3");
    for (auto &e : std::filesystem::directory_iterator(dist + "/data")) {
        std::string name = e.path().filename().string();
        if (name.rfind("ingame_", 0) == 0)
            Bench_Link(e.path().string(), data + "/" + name);
    }
    Bench_Link(dist + "/sounds", dir + "/sounds");
    static level_t lv;
    memset(&lv, 0, sizeof(lv));
    Level_InitLists(&lv);
    snprintf(lv.name, sizeof(lv.name), "bench");
    snprintf(lv.skysphere, sizeof(lv.skysphere), "skysphere01");
    lv.duration = 600.0f;
    static spawnrec_t recs[300];
    for (int i = 0; i < 300; i++) {
        spawnrec_t *r = &recs[i];
        memset(r, 0, sizeof(*r));
        const int *c = bench_classes[i % BENCH_NCLASSES];
        const classrow_t *row = G_ClassByNumbers(c[0], c[1]);
        snprintf(r->name, sizeof(r->name), "%s", row->classname);
        float a = (Bench_Rand() - 0.5f) * 2.6f, h = (Bench_Rand() - 0.5f) * 1.2f;
        float d = 250.0f + 350.0f * Bench_Rand();
        r->pos[0] = sinf(a) * d;
        r->pos[1] = sinf(h) * d * 0.5f;
        r->pos[2] = -cosf(a) * d;
        r->dir[0] = Bench_Rand() - 0.5f;
        r->dir[1] = (Bench_Rand() - 0.5f) * 0.2f;
        r->dir[2] = Bench_Rand() - 0.5f;
        r->speed = 3.0f + 5.0f * Bench_Rand();
        r->spawntime = 0.01f * (float)i;
        r->respawnperiod = 10.0f; /* keeps the count up as targets die */
        Level_InsertSpawn(&lv, r);
    }
    return Level_WriteFile((data + "/script1.bin").c_str(), "script1.bin", &lv) == 1;
}

static int Bench_Loop(int frames)
{
    std::string dir = std::filesystem::temp_directory_path() / "gk-bench-game-loop";
    char cwd[1024];
    if (!getcwd(cwd, sizeof(cwd)) || !Bench_WriteTree(dir) || chdir(dir.c_str()) != 0) {
        fprintf(stderr, "bench_game: no runnable tree in %s, engine loop skipped\n", GK_DIST_DIR);
        return 0;
    }
    Sys_SetClock(Bench_Clock);
    bench_ms = 1000;
    eng_headless_t h;
    memset(&h, 0, sizeof(h));
    h.gamedir = "data";
    h.level = 1;
    h.imp = Game_Import;
    h.main = Game_Main;
    if (!Eng_StartHeadless(&h)) {
        fprintf(stderr, "bench_game: the game did not start\n");
        Sys_SetClock(NULL);
        if (chdir(cwd) != 0)
            return 0;
        return 0;
    }
    const int warmup = 600; /* ten seconds: everything has spawned */
    std::vector<double> cost;
    double live = 0, targets = 0;
    int sweep = 1;
    Eng_PostEvent(IE_LBUTTONDOWN, 0, 0);
    for (int f = 0; f < warmup + frames; f++) {
        bench_ms += 16;
        /* sweep the view left and right while firing */
        if (f % 4 == 0)
            Eng_PostEvent(IE_MOUSEMOVE, sweep * 4000, (f % 200 < 100) ? 300 : -300);
        if (f % 400 == 0)
            sweep = -sweep;
        gentity_t *player = CL_Player(), *ship = NULL;
        int n = Bench_CountTargets(&ship);
        double t0 = Bench_Cpu();
        if (player && f % 45 == 0)
            FireHomingCapsule(player->ent->origin, player->ent->dir, player);
        if (ship && f % 60 == 0)
            Target_ShipDie(ship);
        int running = Eng_RunFrame();
        double t1 = Bench_Cpu();
        if (!running)
            break;
        if (f < warmup)
            continue;
        cost.push_back((t1 - t0) * 1e6);
        live += Ent_LiveCount();
        targets += n;
    }
    Eng_PostEvent(IE_LBUTTONUP, 0, 0);
    if (!cost.empty()) {
        double mean = 0;
        for (double v : cost)
            mean += v;
        mean /= cost.size();
        printf("engine loop: %zu frames, %.0f targets, %.0f live entities on average, score %d\n",
               cost.size(), targets / cost.size(), live / cost.size(), CL_GetScore());
        printf("  frame (game + engine, no drawing)  mean %8.1f us  median %8.1f us  p99 %8.1f us\n",
               mean, Bench_Pct(cost, 0.5), Bench_Pct(cost, 0.99));
    }
    Eng_StopHeadless();
    Sys_SetClock(NULL);
    return chdir(cwd) == 0;
}

int main(int argc, char **argv)
{
    int frames = argc > 1 ? atoi(argv[1]) : 3000;
    if (frames < 1)
        frames = 3000;
    Bench_Loop(frames);
    return Bench_Store(frames);
}
