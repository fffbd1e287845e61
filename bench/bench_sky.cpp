/*
 * bench_sky -- the cost of the sky: draws the real night sky sphere of the
 * built content alone at 800 x 600 in the engine's window (turning the
 * view), with its texture resized to several sizes and with several
 * filters, and prints the processor time of the upload (mipmaps built) and of one
 * frame for each.  The sky is always magnified, so the minifying filter
 * and the mipmaps only matter where it is not.
 * Usage: bench_sky [frames]   (from anywhere; run under xvfb-run)
 */
#include <GL/gl.h>
#include <GL/glu.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "common.h"
#include "draw.h"
#include "entity.h"
#include "fs.h"
#include "glstate.h"
#include "model.h"
#include "texture.h"
#include "vid.h"

/* Processor time of the whole process (the driver's threads included):
 * steadier than the wall clock on a shared machine. */
static double Now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

/* Bilinear resize of an RGB image (only the cost depends on the result). */
static std::vector<unsigned char> Resize(const texture_t *t, int w, int h)
{
    std::vector<unsigned char> out((size_t)w * h * 3);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            float sx = (x + 0.5f) * t->width / w - 0.5f, sy = (y + 0.5f) * t->height / h - 0.5f;
            int x0 = (int)floorf(sx), y0 = (int)floorf(sy);
            float fx = sx - x0, fy = sy - y0;
            for (int c = 0; c < 3; c++) {
                auto at = [&](int xx, int yy) {
                    xx = (xx + t->width) % t->width;
                    yy = yy < 0 ? 0 : yy >= t->height ? t->height - 1 : yy;
                    return (float)t->pixels[((size_t)yy * t->width + xx) * 3 + c];
                };
                float v = (at(x0, y0) * (1 - fx) + at(x0 + 1, y0) * fx) * (1 - fy) +
                          (at(x0, y0 + 1) * (1 - fx) + at(x0 + 1, y0 + 1) * fx) * fy;
                out[((size_t)y * w + x) * 3 + c] = (unsigned char)(v + 0.5f);
            }
        }
    return out;
}

#define ROUNDS 5

static double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

static double DrawFrames(entity_t *cam, int frames)
{
    double t0 = 0;
    for (int i = -5; i < frames; i++) {
        if (i == 0) {
            glFinish();
            t0 = Now();
        }
        R_BeginFrame();
        cam->angles[1] = 40 * sinf(i * 0.05f);
        cam->angles[0] = 15 + 10 * sinf(i * 0.03f);
        R_BuildDrawLists();
        R_DrawFrame(cam);
        Vid_Present();
    }
    glFinish();
    return (Now() - t0) * 1000 / frames;
}

int main(int argc, char **argv)
{
    int frames = argc > 1 ? atoi(argv[1]) : 200;
    if (chdir(GK_DIST_DIR) != 0 || !FS_Mount("data/vex0.pk3", "data/")) {
        fprintf(stderr, "bench_sky: no content in %s\n", GK_DIST_DIR);
        return 1;
    }
    Com_Strncpy(com_datadir, "data/", sizeof(com_datadir));
    Vid_Probe();
    if (!Vid_Create("bench_sky", 800, 600, 32, 0)) {
        fprintf(stderr, "bench_sky: no window\n");
        return 1;
    }
    glViewport(0, 0, gls.viewwidth, gls.viewheight);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);
    /* what a level start pays for its sky: archive read, inflate, decode,
     * upload with mipmaps */
    std::vector<double> load;
    for (int i = 1; i <= 7; i++) {
        char name[32];
        snprintf(name, sizeof(name), "data/sky%02d", i);
        double t0 = Now();
        texture_t *st = Tex_Get(name, 1);
        glFinish();
        double ms = (Now() - t0) * 1000;
        if (!st) {
            fprintf(stderr, "bench_sky: no %s\n", name);
            return 1;
        }
        printf("  %s %dx%d: read and upload %.1f ms\n", name, st->width, st->height, ms);
        Tex_Release(st);
    }
    entity_t *sky = Ent_Spawn("skysphere03", ENT_MODEL);
    entity_t *cam = Ent_Spawn("camera", ENT_NOMEDIA);
    if (!sky || !cam || !sky->u.mdl.model->meshes[0].diffuse) {
        fprintf(stderr, "bench_sky: no sky sphere\n");
        return 1;
    }
    texture_t *t = sky->u.mdl.model->meshes[0].diffuse;
    printf("bench_sky: night sky alone, 800x600, %d frames a run, medians of %d interleaved runs; "
           "file texture %dx%d\n", frames, ROUNDS, t->width, t->height);
    static const int sizes[][2] = {{1024, 512}, {2048, 1024}, {4096, 2048}};
    static const struct { const char *name; GLint mag, min; } filters[] = {
        {"linear, trilinear mipmaps", GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR},
        {"linear, nearest mipmap", GL_LINEAR, GL_LINEAR_MIPMAP_NEAREST},
        {"linear, no mipmaps", GL_LINEAR, GL_LINEAR},
        {"nearest", GL_NEAREST, GL_NEAREST}};
    const int NS = 3, NF = 4;
    std::vector<unsigned char> px[NS];
    for (int i = 0; i < NS; i++)
        px[i] = Resize(t, sizes[i][0], sizes[i][1]);
    std::vector<double> up[NS], up0[NS], draw[NS][NF];
    for (int r = 0; r < ROUNDS; r++)
        for (int i = 0; i < NS; i++) {
            GLS_BindTexture(t->glname);
            GLS_UnpackAlignment(1);
            double u0 = Now();
            gluBuild2DMipmaps(GL_TEXTURE_2D, 3, sizes[i][0], sizes[i][1], GL_RGB, GL_UNSIGNED_BYTE,
                              px[i].data());
            glFinish();
            up[i].push_back((Now() - u0) * 1000);
            u0 = Now();
            glTexImage2D(GL_TEXTURE_2D, 0, 3, sizes[i][0], sizes[i][1], 0, GL_RGB, GL_UNSIGNED_BYTE,
                         px[i].data());
            glFinish();
            up0[i].push_back((Now() - u0) * 1000);
            for (int f = 0; f < NF; f++) {
                GLS_BindTexture(t->glname);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filters[f].mag);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filters[f].min);
                draw[i][f].push_back(DrawFrames(cam, frames));
            }
        }
    for (int i = 0; i < NS; i++) {
        printf("  %4dx%-4d  upload with mipmaps %6.1f ms, level 0 alone %5.1f ms  (%4.1f MB of pixels)\n",
               sizes[i][0], sizes[i][1], Median(up[i]), Median(up0[i]),
               sizes[i][0] * sizes[i][1] * 3 / 1048576.0);
        for (int f = 0; f < NF; f++)
            printf("      %-28s %6.3f ms/frame\n", filters[f].name, Median(draw[i][f]));
    }
    Ent_Reset();
    Vid_Shutdown();
    Vid_Restore();
    return 0;
}
