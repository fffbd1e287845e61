/*
 * bench_entity -- per-frame work of the entity store at a full pool: 1024
 * live entities, 300 of them models with touch functions (100 of those
 * swept-segment missiles flying through the 200 targets), the rest thinking
 * markers and particles, a few removed and respawned every frame.  Times
 * motion, think/touch and purge per frame and counts heap allocations made
 * during the frames, which must be zero.
 * Usage: bench_entity [frames]
 */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "collision.h"
#include "entity.h"
#include "model.h"
#include "module.h"

/* ---- allocation counter: interposes the C allocator of this process ---- */

extern "C" void *__libc_malloc(size_t);
extern "C" void *__libc_calloc(size_t, size_t);
extern "C" void *__libc_realloc(void *, size_t);
static long bench_allocs;
static int bench_counting;

extern "C" void *malloc(size_t n)
{
    if (bench_counting)
        bench_allocs++;
    return __libc_malloc(n);
}

extern "C" void *calloc(size_t a, size_t b)
{
    if (bench_counting)
        bench_allocs++;
    return __libc_calloc(a, b);
}

extern "C" void *realloc(void *p, size_t n)
{
    if (bench_counting)
        bench_allocs++;
    return __libc_realloc(p, n);
}

/* ---- the scene --------------------------------------------------------- */

static long bench_hits, bench_thinks;
static unsigned bench_seed = 12345;
static entity_t *bench_base;          /* the first entity: slots count from it */
static uint64_t bench_sequence = 1469598103934665603ull; /* hash of the touch calls in order */

static float Bench_Rand(void)
{
    bench_seed = bench_seed * 1103515245u + 12345u;
    return (float)((bench_seed >> 8) & 0xffff) / 65535.0f;
}

static double Seconds(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

/* A closed box of 12 triangles, 20 units wide, with its collision file. */
static int Bench_WriteBox(const std::string &base)
{
    static float v[8 * 3];
    static uint32_t faces[36] = {0, 1, 2, 0, 2, 3, 4, 6, 5, 4, 7, 6, 0, 4, 5, 0, 5, 1,
                                 1, 5, 6, 1, 6, 2, 2, 6, 7, 2, 7, 3, 3, 7, 4, 3, 4, 0};
    for (int i = 0; i < 8; i++) {
        v[i * 3 + 0] = (i == 1 || i == 2 || i == 5 || i == 6) ? 10.0f : -10.0f;
        v[i * 3 + 1] = (i == 2 || i == 3 || i == 6 || i == 7) ? 10.0f : -10.0f;
        v[i * 3 + 2] = i >= 4 ? 10.0f : -10.0f;
    }
    mdl_frame_t fr[2] = {};
    fr[0].verts = fr[1].verts = v;
    mdl_mesh_t mesh = {};
    snprintf(mesh.name, sizeof(mesh.name), "box");
    mesh.numframes = 2;
    mesh.frames = fr;
    mesh.numtris = 12;
    mesh.faces = faces;
    mesh.numverts = 8;
    mesh.material = -1;
    if (!Model_WriteFile((base + ".dmo").c_str(), NULL, 0, &mesh, 1))
        return 0;
    colmodel_t *c = Col_Build(&mesh, 1);
    int ok = c && Col_WriteFile((base + ".dbb").c_str(), c);
    Col_Free(c);
    return ok;
}

static void Bench_TargetTouch(entity_t *self, entity_t *other)
{
    uint64_t pair = (uint64_t)(self - bench_base) << 16 | (uint64_t)(other - bench_base);
    bench_sequence = (bench_sequence ^ pair) * 1099511628211ull;
    bench_hits++;
}

static void Bench_MissileThink(entity_t *self)
{
    float d2 = self->origin[0] * self->origin[0] + self->origin[1] * self->origin[1] +
               self->origin[2] * self->origin[2];
    if (d2 > 600.0f * 600.0f) {     /* back to the player, a new direction */
        self->origin[0] = self->origin[1] = self->origin[2] = 0.0f;
        float yaw = Bench_Rand() * 6.2831853f, pitch = (Bench_Rand() - 0.5f) * 1.2f;
        self->dir[0] = sinf(yaw) * cosf(pitch);
        self->dir[1] = sinf(pitch);
        self->dir[2] = -cosf(yaw) * cosf(pitch);
    }
    self->nextthink = 0.0f;
}

static void Bench_MarkerThink(entity_t *self)
{
    bench_thinks++;
    self->nextthink = 0.0f;
}

static void Bench_SparkRespawn(entity_t *self);

/* Particles end after a while and are replaced in their on-destroy. */
static void Bench_SparkThink(entity_t *self)
{
    if (Bench_Rand() < 0.01f)
        Ent_PendRemove(self);
}

static void Bench_SparkRespawn(entity_t *self)
{
    (void)self;
    entity_t *e = Ent_Spawn("spark", ENT_PARTICLE);
    if (!e)
        return;
    e->speed = 30.0f;
    e->think = Bench_SparkThink;
    e->ondestroy = Bench_SparkRespawn;
}

static int Bench_Populate(void)
{
    for (int i = 0; i < 200; i++) {
        entity_t *e = Ent_Spawn("models/box", ENT_MODEL);
        if (!e)
            return 0;
        if (!bench_base)
            bench_base = e;
        float yaw = Bench_Rand() * 6.2831853f, r = 150.0f + Bench_Rand() * 350.0f;
        e->origin[0] = sinf(yaw) * r;
        e->origin[1] = (Bench_Rand() - 0.5f) * 200.0f;
        e->origin[2] = -cosf(yaw) * r;
        e->dir[0] = cosf(yaw);
        e->dir[2] = sinf(yaw);
        e->speed = 20.0f;
        e->avelocity[1] = 45.0f;
        e->u.mdl.collmode = CM_SPHERE;
        e->u.mdl.radius = 12.0f;
        e->touch = Bench_TargetTouch;
    }
    for (int i = 0; i < 100; i++) {
        entity_t *e = Ent_Spawn("models/box", ENT_MODEL);
        if (!e)
            return 0;
        e->u.mdl.collmode = CM_SWEPT;
        e->u.mdl.scale = 0.2f;
        e->speed = 400.0f;
        e->origin[0] = 1000.0f;     /* the first think aims it */
        e->think = Bench_MissileThink;
        e->touch = Bench_TargetTouch;
    }
    for (int i = 0; i < 424; i++) {
        entity_t *e = Ent_Spawn("marker", ENT_NOMEDIA);
        if (!e)
            return 0;
        e->avelocity[1] = 90.0f;
        e->think = Bench_MarkerThink;
    }
    for (int i = 0; i < 300; i++)
        Bench_SparkRespawn(NULL);
    return Ent_LiveCount() == ENT_MAX;
}

int main(int argc, char **argv)
{
    int frames = argc > 1 ? atoi(argv[1]) : 5000;
    std::string work = std::filesystem::temp_directory_path() / "gk-bench-entity";
    std::filesystem::create_directories(work + "/data/models");
    if (chdir(work.c_str()) != 0)
        return 1;
    Com_Strncpy(com_datadir, "data/", MAX_OSPATH);
    if (!Bench_WriteBox("data/models/box") || !Bench_Populate()) {
        fprintf(stderr, "bench_entity: scene set-up failed\n");
        return 1;
    }
    mod_running = 1;
    std::vector<double> tm(frames), tt(frames), tp(frames), total(frames);
    eng_gametime = 1.0f;
    struct timespec c0, c1;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c0);
    bench_counting = 1;
    for (int i = 0; i < frames; i++) {
        eng_lastgametime = eng_gametime;
        eng_gametime += 1.0f / 60.0f;
        double t0 = Seconds();
        Ent_Motion();
        double t1 = Seconds();
        Ent_ThinkTouch();
        double t2 = Seconds();
        Ent_Purge();
        double t3 = Seconds();
        tm[i] = t1 - t0;
        tt[i] = t2 - t1;
        tp[i] = t3 - t2;
        total[i] = t3 - t0;
    }
    bench_counting = 0;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c1);
    double cpu = (double)(c1.tv_sec - c0.tv_sec) + (double)(c1.tv_nsec - c0.tv_nsec) * 1e-9;
    auto report = [&](const char *what, std::vector<double> &v) {
        double sum = 0;
        for (double x : v)
            sum += x;
        std::sort(v.begin(), v.end());
        printf("%-12s mean %8.1f us   median %8.1f us   p99 %8.1f us   max %8.1f us\n", what,
               sum / frames * 1e6, v[frames / 2] * 1e6, v[frames * 99 / 100] * 1e6,
               v[frames - 1] * 1e6);
    };
    printf("entity frame: %d frames, %d live entities, 300 touchable models (100 swept)\n",
           frames, Ent_LiveCount());
    report("motion", tm);
    report("think/touch", tt);
    report("purge", tp);
    report("total", total);
    printf("cpu per frame %.1f us\n", cpu / frames * 1e6);
    printf("touch calls %ld, marker thinks %ld, heap allocations during frames: %ld\n", bench_hits,
           bench_thinks, (long)bench_allocs);
    printf("touch sequence %016llx\n", (unsigned long long)bench_sequence);
    Ent_Reset();
    return bench_allocs == 0 ? 0 : 2;
}
