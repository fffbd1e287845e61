/*
 * bench_draw -- draws frames of a scene like a busy moment of the game:
 * a sky sphere, 200 animated, textured models (10-frame meshes of 1200
 * triangles) and 682 particles, at 800 x 600 in the engine's own window,
 * and prints the time of one frame (drawing, flush and swap).
 * Usage: bench_draw [frames]   (run it under xvfb-run on a headless box)
 */
#include <GL/gl.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common.h"
#include "draw.h"
#include "entity.h"
#include "glstate.h"
#include "model.h"
#include "vid.h"

#define BENCH_MODELS 200
#define BENCH_PARTICLES 682

static double Now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

static void Put16(std::string &s, int v)
{
    s.push_back((char)(v & 255));
    s.push_back((char)(v >> 8));
}

/* A size x size 32-bit TGA with a simple pattern (alpha opaque unless
 * soft, where it falls off from the centre). */
static bool WriteTga(const std::string &path, int size, int soft)
{
    std::string s = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put16(s, size);
    Put16(s, size);
    s += {32, 8};
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            float dx = (x + 0.5f) / size - 0.5f, dy = (y + 0.5f) / size - 0.5f;
            int a = soft ? (int)fmaxf(0, 255 - 510 * sqrtf(dx * dx + dy * dy) * 2) : 255;
            s += {(char)(x * 4), (char)(y * 4), (char)((x ^ y) * 8), (char)a};
        }
    FILE *f = fopen((path + ".tga").c_str(), "wb");
    if (!f)
        return false;
    fwrite(s.data(), 1, s.size(), f);
    return fclose(f) == 0;
}

/* A UV sphere of rings x segments quads with nframes wobbling frames. */
static bool WriteSphere(const std::string &path, const char *tex, float radius, int rings,
                        int segments, int nframes, int inside)
{
    int nv = (rings + 1) * (segments + 1);
    std::vector<std::vector<float>> frames(nframes, std::vector<float>(nv * 3));
    std::vector<float> tv(nv * 2);
    for (int f = 0; f < nframes; f++)
        for (int r = 0; r <= rings; r++)
            for (int s = 0; s <= segments; s++) {
                int i = r * (segments + 1) + s;
                float th = (float)M_PI * r / rings, ph = 2 * (float)M_PI * s / segments;
                float k = radius * (1 + 0.15f * sinf(ph * 3 + f * 0.6f) * sinf(th));
                frames[f][i * 3 + 0] = k * sinf(th) * cosf(ph);
                frames[f][i * 3 + 1] = k * cosf(th);
                frames[f][i * 3 + 2] = k * sinf(th) * sinf(ph);
                tv[i * 2 + 0] = (float)s / segments;
                tv[i * 2 + 1] = (float)r / rings;
            }
    std::vector<uint32_t> faces;
    for (int r = 0; r < rings; r++)
        for (int s = 0; s < segments; s++) {
            uint32_t a = r * (segments + 1) + s, b = a + 1, c = a + segments + 1, d = c + 1;
            if (inside)
                faces.insert(faces.end(), {a, b, c, b, d, c});
            else
                faces.insert(faces.end(), {a, c, b, b, c, d});
        }
    std::vector<mdl_frame_t> fr(nframes);
    for (int f = 0; f < nframes; f++)
        fr[f] = mdl_frame_t{0, frames[f].data(), NULL};
    mdl_material_t mat;
    memset(&mat, 0, sizeof(mat));
    mat.diffusemap.present = 1;
    Com_Strncpy(mat.diffusemap.name, tex, sizeof(mat.diffusemap.name));
    mat.diffusemap.utiling = mat.diffusemap.vtiling = 1;
    mdl_mesh_t m;
    memset(&m, 0, sizeof(m));
    m.numframes = nframes;
    m.frames = fr.data();
    m.numtris = (uint32_t)faces.size() / 3;
    m.faces = m.tfaces = faces.data();
    m.numverts = m.numtverts = nv;
    m.tverts = tv.data();
    return Model_WriteFile((path + ".dmo").c_str(), &mat, 1, &m, 1) != 0;
}

static float Rand(void)
{
    return (float)rand() / (float)RAND_MAX;
}

static int Setup(const std::string &dir)
{
    std::filesystem::create_directories(dir + "/data");
    if (!WriteTga(dir + "/skin", 64, 0) || !WriteTga(dir + "/sky", 256, 0) ||
        !WriteTga(dir + "/data/pointsprite", 32, 1))
        return 0;
    if (!WriteSphere(dir + "/chicken", "skin", 2, 20, 30, 10, 0) ||
        !WriteSphere(dir + "/skysphere", "sky", 650, 16, 24, 1, 1))
        return 0;
    Com_Strncpy(com_datadir, (dir + "/").c_str(), sizeof(com_datadir));
    if (chdir(dir.c_str()) != 0)
        return 0;
    if (!Ent_Spawn("skysphere", ENT_MODEL))
        return 0;
    srand(7);
    for (int i = 0; i < BENCH_MODELS; i++) {
        entity_t *e = Ent_Spawn("chicken", ENT_MODEL);
        if (!e)
            return 0;
        e->origin[0] = (Rand() - 0.5f) * 160;
        e->origin[1] = (Rand() - 0.5f) * 80;
        e->origin[2] = -20 - Rand() * 200;
        e->angles[1] = Rand() * 360;
        e->u.mdl.frame = Rand() * 9;
        if (i % 4 == 0)
            e->color[3] = 0.6f; /* some are fading out */
    }
    for (int i = 0; i < BENCH_PARTICLES; i++) {
        entity_t *e = Ent_Spawn("feather", ENT_PARTICLE);
        if (!e)
            return 0;
        e->origin[0] = (Rand() - 0.5f) * 120;
        e->origin[1] = (Rand() - 0.5f) * 60;
        e->origin[2] = -15 - Rand() * 150;
        e->u.part.size = 0.5f + Rand() * 2;
        e->color[3] = 0.8f;
    }
    return 1;
}

static void Animate(float t)
{
    for (entity_t *e = Ent_First(); e; e = Ent_Next())
        if (e->kind == ENT_MODEL && e->u.mdl.lastframe > 0) {
            e->u.mdl.frame += 0.37f;
            if (e->u.mdl.frame > 9)
                e->u.mdl.frame -= 9;
        } else if (e->kind == ENT_PARTICLE) {
            e->origin[1] += 0.05f * sinf(t + e->origin[0]);
        }
}

int main(int argc, char **argv)
{
    int frames = argc > 1 ? atoi(argv[1]) : 300;
    std::string dir = std::filesystem::temp_directory_path() / "gk-bench-draw";
    Vid_Probe();
    if (!Vid_Create("bench_draw", 800, 600, 32, 0)) {
        fprintf(stderr, "bench_draw: no window: %s\n", Vid_ErrorText() ? Vid_ErrorText() : "?");
        return 1;
    }
    glViewport(0, 0, gls.viewwidth, gls.viewheight);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);
    if (!Setup(dir)) {
        fprintf(stderr, "bench_draw: could not build the scene in %s\n", dir.c_str());
        return 1;
    }
    entity_t *cam = Ent_Spawn("camera", ENT_NOMEDIA);
    double draw = 0, total0 = 0;
    for (int i = -10; i < frames; i++) { /* ten frames to warm up */
        if (i == 0)
            total0 = Now();
        double t0 = Now();
        R_BeginFrame();
        R_LoadParticleTexture();
        Animate(i * 0.02f);
        cam->angles[1] = 10 * sinf(i * 0.01f);
        R_BuildDrawLists();
        R_DrawFrame(cam);
        glFinish();
        if (i >= 0)
            draw += Now() - t0;
        Vid_Present();
    }
    double total = Now() - total0;
    printf("bench_draw: %d models (%u triangles each), %d particles, 800x600, %d frames\n",
           BENCH_MODELS, 1200u, BENCH_PARTICLES, frames);
    printf("  draw (to glFinish): %.3f ms/frame\n", draw * 1000 / frames);
    printf("  with swap:          %.3f ms/frame (%.1f frames/s)\n", total * 1000 / frames,
           frames / total);
    Ent_Reset();
    Vid_Shutdown();
    Vid_Restore();
    return 0;
}
