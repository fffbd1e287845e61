/*
 * warmup.cpp -- what drawing prepares once a level has loaded: the faces of
 * the sky that this window only ever magnifies (drawn without choosing a
 * mipmap level), and the warm-up frame that draws everything loaded once,
 * small and out of sight of the first real frame, so that textures are
 * uploaded and the driver has prepared each drawing state before play.
 */
#include "draw.h"

#include <GL/gl.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "entity.h"
#include "glstate.h"
#include "model.h"
#include "texture.h"

/* ---- faces the window only magnifies ------------------------------------ */

#define R_MAGMARGIN 0.9f /* texels per pixel taken as surely magnified */

static float R_Dot(const float *a, const float *b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

/* The most texels that triangle f of m puts into one radian of view when
 * seen from the model origin (any direction across it, foreshortening
 * included); negative when it does not face the origin or is degenerate. */
static float R_TexelsPerRadian(const mdl_mesh_t *m, const uint32_t *f)
{
    const float *p[3], *t[3];
    for (int i = 0; i < 3; i++) {
        p[i] = m->frames[0].verts + 3 * f[i];
        t[i] = m->tverts + 2 * f[i];
    }
    float e1[3], e2[3], n[3], c[3], b[3];
    for (int k = 0; k < 3; k++) {
        e1[k] = p[1][k] - p[0][k];
        e2[k] = p[2][k] - p[0][k];
        c[k] = (p[0][k] + p[1][k] + p[2][k]) / 3.0f;
    }
    n[0] = e1[1] * e2[2] - e1[2] * e2[1];
    n[1] = e1[2] * e2[0] - e1[0] * e2[2];
    n[2] = e1[0] * e2[1] - e1[1] * e2[0];
    float nl = sqrtf(R_Dot(n, n)), l1 = sqrtf(R_Dot(e1, e1));
    if (!(nl > 0.0f) || !(l1 > 0.0f) || !(R_Dot(n, c) < 0.0f))
        return -1.0f; /* front faces turn to the eye at the origin */
    for (int k = 0; k < 3; k++)
        n[k] /= nl;
    b[0] = n[1] * e1[2] - n[2] * e1[1];
    b[1] = n[2] * e1[0] - n[0] * e1[2];
    b[2] = n[0] * e1[1] - n[1] * e1[0];
    /* plane coordinates: e1 = (l1, 0), e2 = (x2a, x2b); J maps them to texels */
    float x2a = R_Dot(e2, e1) / l1, x2b = R_Dot(e2, b) / l1, det = l1 * x2b;
    float w = (float)m->diffuse->width, h = (float)m->diffuse->height;
    float t1u = (t[1][0] - t[0][0]) * w, t1v = (t[1][1] - t[0][1]) * h;
    float t2u = (t[2][0] - t[0][0]) * w, t2v = (t[2][1] - t[0][1]) * h;
    if (!(fabsf(det) > 0.0f))
        return -1.0f;
    float ja = t1u * x2b / det, jb = (t2u * l1 - t1u * x2a) / det;
    float jc = t1v * x2b / det, jd = (t2v * l1 - t1v * x2a) / det;
    float s1 = ja * ja + jb * jb + jc * jc + jd * jd;
    float s2 = sqrtf((ja * ja + jb * jb - jc * jc - jd * jd) * (ja * ja + jb * jb - jc * jc - jd * jd) +
                     4.0f * (ja * jc + jb * jd) * (ja * jc + jb * jd));
    float stretch = sqrtf((s1 + s2) / 2.0f), far = 0.0f, facing = 1.0f;
    for (int i = 0; i < 3; i++) {
        float d = sqrtf(R_Dot(p[i], p[i]));
        far = d > far ? d : far;
        facing = fminf(facing, d > 0.0f ? fabsf(R_Dot(n, p[i])) / d : 0.0f);
    }
    return facing > 0.0f ? stretch * far / facing : -1.0f;
}

/* Splits each textured, single-frame mesh of m whose every face turns to
 * the model origin (a sky around the eye: no two faces can then cover the
 * same pixel, so their order does not matter) into the faces this window
 * shows magnified from any view direction, where mipmaps are never
 * sampled, and the rest.  Pixels per radian are fewest at the middle of
 * the screen. */
static void R_SplitMagnified(model_t *mdl)
{
    float ppr = (float)gls.viewheight / 2.0f / tanf(R_FOV * 0.5f * 3.14159265f / 180.0f);
    for (uint32_t i = 0; i < mdl->nummeshes; i++) {
        mdl_mesh_t *m = &mdl->meshes[i];
        if (m->magfaces || !m->tverts || !m->diffuse || m->numframes != 1 || !m->numtris ||
            m->numtverts < m->numverts)
            continue;
        uint32_t mag = 0, t;
        for (t = 0; t < m->numtris; t++) {
            float tpr = R_TexelsPerRadian(m, &m->faces[3 * t]);
            if (tpr < 0.0f)
                break;
            mag += tpr <= R_MAGMARGIN * ppr;
        }
        if (t < m->numtris || !mag || !(m->magfaces = (uint32_t *)malloc((size_t)m->numtris * 12)))
            continue;
        m->restfaces = m->magfaces + 3 * mag;
        for (t = 0; t < m->numtris; t++) {
            uint32_t *to = R_TexelsPerRadian(m, &m->faces[3 * t]) <= R_MAGMARGIN * ppr
                               ? m->magfaces + 3 * m->nummag++
                               : m->restfaces + 3 * m->numrest++;
            memcpy(to, &m->faces[3 * t], 12);
        }
    }
}

/* ---- warm-up ------------------------------------------------------------ */

/* A copy of e for the warm-up frame: small, just in front of the eye (or
 * in the middle of the overlay), plain colour with the given alpha. */
static void R_WarmCopy(entity_t *c, const entity_t *e, float alpha, int inworld)
{
    *c = *e;
    c->state = ES_ACTIVE;
    c->origin[0] = c->origin[1] = 0.0f;
    c->origin[2] = -100.0f;
    c->angles[0] = c->angles[1] = c->angles[2] = 0.0f;
    c->color[0] = c->color[1] = c->color[2] = 1.0f;
    c->color[3] = alpha;
    c->brightness = 1.0f;
    if (c->kind == ENT_MODEL) {
        const model_t *m = c->u.mdl.model;
        float r = m && m->cullradius > 1.0f ? m->cullradius : 1.0f;
        c->u.mdl.scale = 1.0f / r;
        c->u.mdl.frame = 0.0f;
    } else if (c->kind == ENT_TEXT) {
        snprintf(c->u.txt.text, sizeof(c->u.txt.text), "0Aa");
        c->u.txt.size = 2.0f;
        c->u.txt.shadow = 1;
        c->u.txt.inworld = inworld;
    } else if (c->kind == ENT_IMAGE) {
        c->u.img.width = c->u.img.height = 2.0f;
    }
    if (!inworld && c->kind != ENT_MODEL) {
        c->origin[0] = R_OVERLAY_W / 2;
        c->origin[1] = R_OVERLAY_H / 2;
    }
}

/* The warm-up's stand-in for a model: the same materials and textures,
 * every mesh cut to its first triangle (what the driver prepares depends
 * on the states and textures, not on the number of triangles). */
static model_t *R_WarmModel(const model_t *m)
{
    model_t *w = (model_t *)malloc(sizeof(model_t) + (size_t)m->nummeshes * sizeof(mdl_mesh_t));
    if (!w)
        return NULL;
    *w = *m;
    w->meshes = (mdl_mesh_t *)(w + 1);
    memcpy(w->meshes, m->meshes, (size_t)m->nummeshes * sizeof(mdl_mesh_t));
    for (uint32_t i = 0; i < w->nummeshes; i++)
        w->meshes[i].numtris = w->meshes[i].numtris ? 1 : 0;
    return w;
}

/* Whether e's model, font or image was met before in the entities up to
 * (not including) stop: the warm-up draws each once. */
static int R_WarmSeen(const entity_t *e, entity_t *stop)
{
    for (entity_t *o = Ent_First(); o && o != stop; o = Ent_Next())
        if (o->kind == e->kind && (e->kind == ENT_MODEL ? o->u.mdl.model == e->u.mdl.model
                                   : e->kind == ENT_TEXT ? o->u.txt.font == e->u.txt.font
                                                         : o->u.img.tex == e->u.img.tex))
            return 1;
    return 0;
}

int R_WarmFadedKinds(const model_t *m)
{
    int kinds = 0;
    for (uint32_t i = 0; i < m->nummeshes; i++) {
        const texture_t *t = m->meshes[i].tverts ? m->meshes[i].diffuse : NULL;
        kinds |= 1 << (!t ? 0 : t->depth == 32 ? 3 : t->depth == 8 ? 1 : 2);
    }
    return kinds & 7; /* colour and alpha goes translucent anyway */
}

/* Copies of e for the lists it may be drawn in: the view models list for
 * what is attached to the view, else the models list, the background list
 * where e is in it now, and a faded
 * copy (debris and feathers fade out) while that adds a texture kind to
 * the translucent pass.  faded collects the kinds covered. */
static int R_WarmEntity(entity_t *c, entity_t *e, model_t **stand, int *faded)
{
    int n = 0;
    if (e->kind == ENT_MODEL && (*stand = R_WarmModel(e->u.mdl.model)) != NULL) {
        R_WarmCopy(&c[n], e, 1.0f, 1);
        c[n].u.mdl.model = *stand;
        if (e->state == ES_ACTIVE && (e->u.mdl.depth == 0 || R_ListCount(RL_BACKGROUND) == 0))
            R_AddToList(RL_BACKGROUND, &c[n]);
        R_AddToList(e->u.mdl.collmode == CM_VIEW ? RL_VIEWMODELS : RL_MODELS, &c[n++]);
        int kinds = R_WarmFadedKinds(e->u.mdl.model);
        if (kinds & ~*faded) {
            *faded |= kinds;
            R_WarmCopy(&c[n], e, 0.5f, 1);
            c[n].u.mdl.model = *stand;
            R_AddToList(RL_MODELS, &c[n++]);
        }
    } else if (e->kind == ENT_TEXT || e->kind == ENT_IMAGE) {
        for (int inworld = 0; inworld < 1 + (e->kind == ENT_TEXT); inworld++) {
            R_WarmCopy(&c[n], e, 1.0f, inworld);
            R_AddToList(RL_FLAT, &c[n++]);
        }
    }
    return n;
}

void R_Prewarm(void)
{
    if (!gls.active)
        return;
    R_LoadParticleTexture();
    entity_t *c = (entity_t *)calloc(2 * ENT_MAX + 1, sizeof(entity_t));
    model_t **stand = (model_t **)calloc(ENT_MAX, sizeof(model_t *));
    if (!c || !stand) {
        free(c);
        free(stand);
        return;
    }
    int n = 0, ns = 0, faded = 0;
    R_ClearLists();
    for (entity_t *e = Ent_First(); e && ns < ENT_MAX; e = Ent_Next())
        if (e->kind == ENT_MODEL && e->state == ES_ACTIVE) {
            R_SplitMagnified(e->u.mdl.model); /* the sky: the first model */
            break;
        }
    for (entity_t *e = Ent_First(); e && ns < ENT_MAX; e = Ent_Next()) {
        Ent_SaveCursor();
        int seen = R_WarmSeen(e, e);
        Ent_RestoreCursor();
        if (!seen)
            n += R_WarmEntity(&c[n], e, &stand[ns], &faded);
        ns += stand[ns] != NULL;
    }
    if (R_ListCount(RL_BACKGROUND) == 1) /* planets come in play: the marked way too */
        R_AddToList(RL_BACKGROUND, R_ListEntry(RL_BACKGROUND, 0));
    entity_t particle;
    memset(&particle, 0, sizeof(particle));
    particle.kind = ENT_PARTICLE;
    particle.u.part.size = 1.0f;
    R_WarmCopy(&c[n], &particle, 1.0f, 1);
    R_AddToList(RL_PARTICLES, &c[n]);
    R_BeginFrame();
    r_warming = 1;
    R_DrawFrame(NULL);
    R_TrimList(RL_BACKGROUND, 1);
    R_DrawBackground(); /* the sky alone too */
    r_warming = 0;
    glFinish();
    R_ClearLists();
    for (int i = 0; i < ns; i++)
        free(stand[i]);
    free(stand);
    free(c);
}
