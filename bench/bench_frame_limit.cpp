/*
 * bench_frame_limit -- the engine against the plain way of drawing the same
 * frame.  The real game plays the heaviest generated level (fire held, the
 * view sweeping) in the engine's own 800 x 600 window; after each engine
 * frame a minimal OpenGL 1.1 renderer draws the same state again: every
 * triangle of every model entity in immediate mode (sky first, the world,
 * then the cockpit and the overlay on top), particles and overlay quads,
 * with the same textures and blending, no culling and no depth tricks.
 * After skip frames of play, engine and reference frames alternate, each
 * timed to glFinish; the last line reads "ratio R", the engine's median
 * frame time over the reference's.  bench/frame_limit picks the heaviest
 * level and runs this under its own X server.
 * Usage: bench_frame_limit [pairs] [level] [skip] [plain]
 */
#include <GL/gl.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "common.h"
#include "draw.h"
#include "engine.h"
#include "entity.h"
#include "font.h"
#include "glstate.h"
#include "input.h"
#include "model.h"
#include "module.h"
#include "texture.h"
#include "vid.h"

#define W 800
#define H 600

static uint32_t bench_ms;
static uint32_t Bench_Clock(void)
{
    return bench_ms;
}

static double Now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

/* Processor time of the process (the driver's threads too): on a machine
 * busy with other work it still tells what each side cost. */
static double Cpu(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

/* ---- the reference: plain immediate-mode drawing ------------------------- */

static long ref_tris;

static void Ref_Transform(const entity_t *e)
{
    glTranslatef(e->origin[0], e->origin[1], e->origin[2]);
    glRotatef(e->angles[2], 0, 0, 1);
    glRotatef(e->angles[1], 0, 1, 0);
    glRotatef(e->angles[0], 1, 0, 0);
}

static void Ref_Mesh(const mdl_mesh_t *m, float frame)
{
    int last = (int)m->numframes - 1, a = (int)floorf(frame), b = a + 1;
    if (!(frame > 0))
        a = b = 0;
    a = std::min(std::max(a, 0), last);
    b = std::min(std::max(b, 0), last);
    float t = a == b ? 0.0f : frame - (float)a;
    const float *fa = m->frames[a].verts, *fb = m->frames[b].verts;
    int tex = m->tverts && m->diffuse && m->numtverts >= m->numverts;
    if (tex) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, m->diffuse->glname);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
    glBegin(GL_TRIANGLES);
    for (uint32_t i = 0; i < m->numtris * 3; i++) {
        uint32_t v = m->faces[i];
        if (tex)
            glTexCoord2fv(&m->tverts[v * 2]);
        glVertex3f(fa[v * 3] + (fb[v * 3] - fa[v * 3]) * t, fa[v * 3 + 1] + (fb[v * 3 + 1] - fa[v * 3 + 1]) * t,
                   fa[v * 3 + 2] + (fb[v * 3 + 2] - fa[v * 3 + 2]) * t);
    }
    glEnd();
    ref_tris += m->numtris;
}

/* One model in one pass (0 opaque meshes, 1 translucent ones). */
static void Ref_Model(const entity_t *e, int translucent)
{
    const model_t *mdl = e->u.mdl.model;
    glPushMatrix();
    Ref_Transform(e);
    glScalef(e->u.mdl.scale, e->u.mdl.scale, e->u.mdl.scale);
    glColor4f(e->color[0] * e->brightness, e->color[1] * e->brightness, e->color[2] * e->brightness,
              e->color[3]);
    for (uint32_t i = 0; mdl && i < mdl->nummeshes; i++) {
        const mdl_mesh_t *m = &mdl->meshes[i];
        int see = (m->diffuse && m->diffuse->depth == 32) || e->color[3] != 1.0f;
        if (see != translucent || !m->frames || !m->faces)
            continue;
        if (translucent) {
            glCullFace(GL_FRONT);
            Ref_Mesh(m, e->u.mdl.frame);
            glCullFace(GL_BACK);
        }
        Ref_Mesh(m, e->u.mdl.frame);
    }
    glPopMatrix();
}

static void Ref_Models(int list, int translucent)
{
    glDepthMask(translucent ? GL_FALSE : GL_TRUE);
    if (translucent)
        glEnable(GL_BLEND);
    else
        glDisable(GL_BLEND);
    for (int i = 0; i < R_ListCount(list); i++)
        Ref_Model(R_ListEntry(list, i), translucent);
}

static void Ref_Particles(void)
{
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    texture_t *t = Tex_Get("data/pointsprite", 1);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, t ? t->glname : 0);
    glBegin(GL_QUADS);
    for (int i = 0; i < R_ListCount(RL_PARTICLES); i++) {
        const entity_t *e = R_ListEntry(RL_PARTICLES, i);
        float h = e->u.part.size / 2, r[3] = {m[0] * h, m[4] * h, m[8] * h}, u[3] = {m[1] * h, m[5] * h, m[9] * h};
        glColor4f(e->color[0] * e->brightness, e->color[1] * e->brightness, e->color[2] * e->brightness,
                  e->color[3]);
        const float c[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (int k = 0; k < 4; k++) {
            glTexCoord2f(c[k][0] > 0, c[k][1] > 0);
            glVertex3f(e->origin[0] + r[0] * c[k][0] + u[0] * c[k][1], e->origin[1] + r[1] * c[k][0] + u[1] * c[k][1],
                       e->origin[2] + r[2] * c[k][0] + u[2] * c[k][1]);
        }
    }
    glEnd();
    if (t)
        Tex_Release(t);
}

static void Ref_Overlay(void)
{
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, W, 0, H, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    for (int i = 0; i < R_ListCount(RL_FLAT); i++) {
        const entity_t *e = R_ListEntry(RL_FLAT, i);
        float col[4] = {e->color[0] * e->brightness, e->color[1] * e->brightness, e->color[2] * e->brightness,
                        e->color[3]};
        if (e->kind == ENT_IMAGE && e->u.img.tex) {
            float hw = e->u.img.width / 2, hh = e->u.img.height / 2, x = e->origin[0], y = e->origin[1];
            glColor4fv(col);
            glBindTexture(GL_TEXTURE_2D, e->u.img.tex->glname);
            glBegin(GL_QUADS);
            glTexCoord2f(0, 0), glVertex2f(x - hw, y - hh);
            glTexCoord2f(1, 0), glVertex2f(x + hw, y - hh);
            glTexCoord2f(1, 1), glVertex2f(x + hw, y + hh);
            glTexCoord2f(0, 1), glVertex2f(x - hw, y + hh);
            glEnd();
        } else if (e->kind == ENT_TEXT && !e->u.txt.inworld && e->u.txt.font && e->u.txt.font->tex) {
            char text[ENT_TEXTLEN + 1];
            memcpy(text, e->u.txt.text, ENT_TEXTLEN);
            text[ENT_TEXTLEN] = 0;
            float size = e->u.txt.size, w = Font_DrawText(0, 0, 0, e->u.txt.font, size, 1, text);
            glBindTexture(GL_TEXTURE_2D, e->u.txt.font->tex->glname);
            Font_SetTextAlpha(col[3]);
            glColor4fv(col);
            Font_DrawText(1, e->origin[0] - w / 2, e->origin[1] - size / 2, e->u.txt.font, size, 1, text);
        }
    }
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
}

/* The state of the last engine frame, drawn the plain way. */
static void Ref_Frame(void)
{
    glDepthMask(GL_TRUE);
    glClear(GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPushMatrix();
    const entity_t *cam = (const entity_t *)Mod_Call(GOP_CAMERA, 0, 0, 0);
    if (cam) {
        glTranslatef(-cam->origin[0], -cam->origin[1], -cam->origin[2]);
        glRotatef(cam->angles[0], 1, 0, 0);
        glRotatef(cam->angles[1], 0, 1, 0);
    }
    glDisable(GL_BLEND);
    glDepthMask(GL_FALSE);
    for (int i = 0; i < R_ListCount(RL_BACKGROUND); i++)
        Ref_Model(R_ListEntry(RL_BACKGROUND, i), 0);
    Ref_Models(RL_MODELS, 0);
    Ref_Models(RL_MODELS, 1);
    Ref_Particles();
    glPopMatrix();
    Ref_Models(RL_VIEWMODELS, 0);
    Ref_Models(RL_VIEWMODELS, 1);
    glEnable(GL_BLEND);
    Ref_Overlay();
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    /* the engine's cache of GL state no longer holds */
    gls.boundknown = 0;
    gls.texture2d = gls.blend = gls.depthmask = gls.depthtest = gls.cullface = -1;
}

/* ---- the run -------------------------------------------------------------- */

static int Bench_Start(int level)
{
    bench_ms = 1000;
    Sys_SetClock(Bench_Clock);
    eng_headless_t h;
    memset(&h, 0, sizeof(h));
    h.gamedir = "data";
    h.level = level;
    h.countrycode = 44;
    h.draw = 1;
    if (!Eng_StartHeadless(&h))
        return 0;
    Eng_PostEvent(IE_LBUTTONDOWN, 0, 0);
    return 1;
}

/* One pair: an engine frame, then the reference on the same state (wall
 * and processor seconds of each). */
static int Bench_Pair(int n, double *engine, double *reference, double *cpu)
{
    bench_ms += 40;
    if (n % 25 == 0)
        Eng_PostEvent(IE_MOUSEMOVE, (n / 25) % 2 ? 50 : -50, 0);
    double t0 = Now(), c0 = Cpu();
    if (!Eng_RunFrame())
        return 0;
    glFinish();
    double t1 = Now(), c1 = Cpu();
    R_BuildDrawLists();
    Ref_Frame();
    glFinish();
    double t2 = Now(), c2 = Cpu();
    *engine = t1 - t0;
    *reference = t2 - t1;
    cpu[0] = c1 - c0;
    cpu[1] = c2 - c1;
    return 1;
}

static double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

int main(int argc, char **argv)
{
    int pairs = argc > 1 ? atoi(argv[1]) : 60, level = argc > 2 ? atoi(argv[2]) : 0;
    int skip = argc > 3 ? atoi(argv[3]) : 250;
    r_plain = argc > 4 && !strcmp(argv[4], "plain"); /* the engine without its savings */
    if (pairs < 5)
        pairs = 5;
    if (chdir(GK_DIST_DIR) != 0 || access("data/script0.bin", R_OK) != 0) {
        fprintf(stderr, "bench_frame_limit: no generated levels in %s\n", GK_DIST_DIR);
        return 1;
    }
    Vid_Probe();
    if (!Vid_Create("bench_frame_limit", W, H, 32, 0)) {
        fprintf(stderr, "bench_frame_limit: no OpenGL window (run it under xvfb-run)\n");
        return 1;
    }
    glViewport(0, 0, gls.viewwidth, gls.viewheight);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (!Bench_Start(level)) {
        fprintf(stderr, "bench_frame_limit: level %d does not start\n", level);
        return 1;
    }
    std::vector<double> e, r, q, ce, cr;
    for (int n = 0; n < skip; n++) { /* into the action first */
        bench_ms += 40;
        if (n % 25 == 0)
            Eng_PostEvent(IE_MOUSEMOVE, (n / 25) % 2 ? 50 : -50, 0);
        if (!Eng_RunFrame())
            break;
    }
    ref_tris = 0;
    for (int n = skip; n < skip + pairs; n++) {
        double a, b, c[2];
        if (!Bench_Pair(n, &a, &b, c))
            break;
        e.push_back(a), r.push_back(b), q.push_back(a / b);
        ce.push_back(c[0]), cr.push_back(c[1]);
    }
    Eng_StopHeadless();
    Sys_SetClock(nullptr);
    Vid_Shutdown();
    Vid_Restore();
    if (e.empty())
        return 1;
    std::vector<double> qs = q;
    std::sort(qs.begin(), qs.end());
    printf("level %d, %zu pairs, 800x600, %ld triangles a reference frame\n", level, e.size(),
           ref_tris / (long)e.size());
    printf("engine     median %7.2f ms\n", Median(e) * 1e3);
    printf("reference  median %7.2f ms\n", Median(r) * 1e3);
    printf("pair ratio median %.3f, spread %.3f .. %.3f (10th to 90th percentile)\n", qs[qs.size() / 2],
           qs[qs.size() / 10], qs[qs.size() * 9 / 10]);
    printf("processor time: engine median %.2f ms, reference median %.2f ms, ratio %.3f\n", Median(ce) * 1e3,
           Median(cr) * 1e3, Median(ce) / Median(cr));
    printf("ratio %.3f\n", Median(e) / Median(r));
    return 0;
}
