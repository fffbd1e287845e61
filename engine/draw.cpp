/*
 * draw.cpp -- frame drawing.  Each frame the active entities are sorted
 * into draw lists (background, models, view models, flat, sounds,
 * particles); the world pass draws them under the camera transform and
 * the overlay pass draws view models and then images and screen text in
 * 800 x 600 units.  Meshes are drawn from client-side arrays, their
 * positions interpolated between animation frames into one shared,
 * growing vertex buffer.  Without a GL context only sounds are updated.
 */
#include "draw.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common.h"
#include "entity.h"
#include "font.h"
#include "glstate.h"
#include "hitch.h"
#include "model.h"
#include "sound.h"
#include "texture.h"

#define R_VERTSTEP 1024
#define R_MAXVERTS (1u << 24)
/* Always under "data/", whatever -game chose: the games and archives made
 * so far rely on the particle texture being found there. */
#define R_PARTICLETEX "data/pointsprite"

/* The depth pass writes only depth, for what is opaque and in front, so
 * that nothing hidden under it is shaded. */
enum { PASS_OPAQUE, PASS_TRANSLUCENT, PASS_DEPTH };

int r_plain;

static entity_t *r_lists[RL_COUNT][ENT_MAX];
static int r_listcount[RL_COUNT];

static float *r_verts;          /* shared vertex buffer, 3 floats a vertex */
static size_t r_vertcap;        /* in vertices */

static texture_t *r_particletex;  /* never released */
static int r_particleclamped;     /* its wrapping is set */
static int r_colourwrites = 1;    /* colour writes on (off in the depth pass) */
static int r_magsplit;            /* the entity drawn is seen from its origin */
static const entity_t *r_camera;  /* of the frame being drawn */
int r_warming;
static int r_stencil;             /* 0 off, 1 marking, 2 testing */

/* ---- draw lists --------------------------------------------------------- */

void R_AddToList(int list, entity_t *e)
{
    if (r_listcount[list] < ENT_MAX)
        r_lists[list][r_listcount[list]++] = e;
}

static int R_ModelList(const entity_t *e)
{
    if (e->u.mdl.depth == 0 || r_listcount[RL_BACKGROUND] == 0)
        return RL_BACKGROUND;
    return e->u.mdl.collmode == CM_VIEW ? RL_VIEWMODELS : RL_MODELS;
}

void R_BuildDrawLists(void)
{
    memset(r_listcount, 0, sizeof(r_listcount));
    for (entity_t *e = Ent_First(); e; e = Ent_Next()) {
        if (e->state != ES_ACTIVE)
            continue;
        switch (e->kind) {
        case ENT_MODEL: R_AddToList(R_ModelList(e), e); break;
        case ENT_TEXT:
        case ENT_IMAGE: R_AddToList(RL_FLAT, e); break;
        case ENT_SOUND: R_AddToList(RL_SOUNDS, e); break;
        case ENT_PARTICLE: R_AddToList(RL_PARTICLES, e); break;
        default: break;
        }
    }
}

int R_ListCount(int list)
{
    return list >= 0 && list < RL_COUNT ? r_listcount[list] : 0;
}

entity_t *R_ListEntry(int list, int index)
{
    if (index < 0 || index >= R_ListCount(list))
        return NULL;
    return r_lists[list][index];
}

void R_ClearLists(void)
{
    memset(r_listcount, 0, sizeof(r_listcount));
}

void R_TrimList(int list, int n)
{
    if (list >= 0 && list < RL_COUNT && n >= 0 && n < r_listcount[list])
        r_listcount[list] = n;
}

/* ---- frame interpolation ------------------------------------------------ */

void R_FrameBlend(float f, int numframes, int *a, int *b, float *t)
{
    int last = numframes > 1 ? numframes - 1 : 0;
    if (!(f > 0))
        f = 0; /* negative or not a number */
    if (f >= (float)last) {
        *a = *b = last;
        *t = 0;
        return;
    }
    *a = (int)floorf(f);
    *b = (int)ceilf(f);
    if (*a == *b) {
        *t = 0;
        return;
    }
    *b = *a + 1;
    *t = f - (float)*a;
}

static int R_GrowVerts(size_t n)
{
    if (n <= r_vertcap)
        return 1;
    if (n > R_MAXVERTS)
        return 0;
    size_t cap = r_vertcap;
    while (cap < n)
        cap += R_VERTSTEP;
    float *v = (float *)realloc(r_verts, cap * 3 * sizeof(float));
    if (!v)
        return 0;
    Hitch_Note(HN_GROW, "vertex buffer");
    r_verts = v;
    r_vertcap = cap;
    return 1;
}

float *R_LerpVerts(const float *fa, const float *fb, float t, int numverts)
{
    if (numverts <= 0 || !fa || !R_GrowVerts((size_t)numverts))
        return NULL;
    size_t n = (size_t)numverts * 3;
    if (t == 0 || !fb || fa == fb) {
        memcpy(r_verts, fa, n * sizeof(float));
        return r_verts;
    }
    float s = 1.0f - t;
    for (size_t i = 0; i < n; i++)
        r_verts[i] = fa[i] * s + fb[i] * t;
    return r_verts;
}

static float *R_MeshVerts(const mdl_mesh_t *m, float f)
{
    if (!m->frames || m->numframes == 0 || m->numverts > R_MAXVERTS)
        return NULL;
    int nf = m->numframes > R_MAXVERTS ? (int)R_MAXVERTS : (int)m->numframes;
    int a, b;
    float t;
    R_FrameBlend(f, nf, &a, &b, &t);
    return R_LerpVerts(m->frames[a].verts, m->frames[b].verts, t, (int)m->numverts);
}

/* ---- GL helpers --------------------------------------------------------- */

static void R_SetPass(int pass)
{
    if (pass == PASS_TRANSLUCENT) {
        GLS_Blend(1);
        GLS_DepthMask(0);
    } else {
        GLS_DepthMask(1);
        GLS_Blend(0);
    }
}

static void R_EntityTransform(const entity_t *e)
{
    glTranslatef(e->origin[0], e->origin[1], e->origin[2]);
    if (e->angles[2] != 0)
        glRotatef(e->angles[2], 0, 0, 1);
    if (e->angles[1] != 0)
        glRotatef(e->angles[1], 0, 1, 0);
    if (e->angles[0] != 0)
        glRotatef(e->angles[0], 1, 0, 0);
}

/* The camera's right and up axes from the current modelview matrix. */
static void R_CameraAxes(float right[3], float up[3])
{
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    right[0] = m[0], right[1] = m[4], right[2] = m[8];
    up[0] = m[1], up[1] = m[5], up[2] = m[9];
}

/* For the hitch log: a texture's first draw, and the first draw in each
 * combination of the states the driver builds its code for. */
static void R_NoteDraw(texture_t *t)
{
    static unsigned char seen[3][2][2][2][2][4];
    int tex = gls.texture2d != 0 && t ? (t->depth == 32 ? 3 : t->depth == 8 ? 1 : 2) : 0;
    unsigned char *s = &seen[r_stencil][gls.blend > 0][gls.depthmask != 0][gls.depthtest != 0][r_colourwrites][tex];
    if (t && !t->drawn) {
        t->drawn = 1;
        Hitch_Note(HN_FIRSTDRAW, t->name);
    }
    if (*s)
        return;
    *s = 1;
    char what[64];
    snprintf(what, sizeof(what), "%s%s%s%s%s %s", gls.blend > 0 ? "blend" : "opaque",
             gls.depthmask != 0 ? "" : " nodepthwrite", gls.depthtest != 0 ? "" : " nodepthtest",
             r_colourwrites ? "" : " depthonly", r_stencil ? (r_stencil == 1 ? " marking" : " masked") : "",
             tex == 3 ? "rgba" : tex == 2 ? "rgb" : tex ? "grey" : "untextured");
    Hitch_Note(HN_NEWSTATE, what);
}

/* ---- entities ----------------------------------------------------------- */

static int R_MeshInPass(const entity_t *e, const mdl_mesh_t *m, int pass)
{
    int tex32 = m->diffuse && m->diffuse->depth == 32;
    if (pass == PASS_DEPTH)
        pass = PASS_OPAQUE;
    if (pass == PASS_TRANSLUCENT)
        return tex32 || e->color[3] != 1.0f;
    return e->color[3] == 1.0f && !tex32;
}

static void R_DrawMesh(const entity_t *e, const mdl_mesh_t *m, int pass)
{
    if (m->numtris == 0 || m->numtris > (uint32_t)(0x7fffffff / 3) || !m->faces)
        return;
    float *v = R_MeshVerts(m, e->u.mdl.frame);
    if (!v)
        return;
    /* one index list serves both arrays, so texture coordinates are only
     * used when there is one per vertex */
    int hastc = m->tverts && m->numtverts >= m->numverts && pass != PASS_DEPTH;
    if (hastc && m->diffuse) {
        GLS_Texture2D(1);
        GLS_BindTexture(m->diffuse->glname);
    } else {
        GLS_Texture2D(0);
    }
    GLS_ClientArrays(hastc, 0, 1);
    if (hastc)
        glTexCoordPointer(2, GL_FLOAT, 0, m->tverts);
    glVertexPointer(3, GL_FLOAT, 0, v);
    int lock = gls.lockarrays && gls.unlockarrays;
    if (lock)
        gls.lockarrays(0, (int)m->numverts);
    GLsizei count = (GLsizei)(m->numtris * 3);
    R_NoteDraw(hastc ? m->diffuse : NULL);
    if (r_magsplit && m->magfaces && hastc && m->diffuse && pass == PASS_OPAQUE) {
        /* where the screen only ever magnifies the texture, the mipmaps
         * are never sampled: the same pixels without choosing a level */
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glDrawElements(GL_TRIANGLES, (GLsizei)(m->nummag * 3), GL_UNSIGNED_INT, m->magfaces);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        if (m->numrest)
            glDrawElements(GL_TRIANGLES, (GLsizei)(m->numrest * 3), GL_UNSIGNED_INT, m->restfaces);
        count = 0;
    }
    if (pass == PASS_TRANSLUCENT) {
        GLS_CullFace(GL_FRONT);
        glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT, m->faces);
        GLS_CullFace(GL_BACK);
    }
    if (count)
        glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT, m->faces);
    if (lock)
        gls.unlockarrays();
    GLS_Texture2D(0);
}

static void R_DrawModel(const entity_t *e, const float *col, int pass)
{
    const model_t *mdl = e->u.mdl.model;
    if (!mdl || !mdl->meshes)
        return;
    int pushed = 0;
    for (uint32_t i = 0; i < mdl->nummeshes; i++) {
        const mdl_mesh_t *m = &mdl->meshes[i];
        if (!R_MeshInPass(e, m, pass))
            continue;
        if (!pushed) {
            glPushMatrix();
            R_EntityTransform(e);
            if (e->u.mdl.scale != 1.0f)
                glScalef(e->u.mdl.scale, e->u.mdl.scale, e->u.mdl.scale);
            if (pass != PASS_DEPTH)
                glColor4fv(col);
            pushed = 1;
        }
        R_DrawMesh(e, m, pass);
    }
    if (pushed)
        glPopMatrix();
}

static void R_DrawText(const entity_t *e, const float *col)
{
    const ent_text_t *tx = &e->u.txt;
    font_t *f = tx->font;
    if (!f || !f->tex)
        return;
    /* the game writes the field directly: never read past it */
    char text[ENT_TEXTLEN + 1];
    memcpy(text, tx->text, ENT_TEXTLEN);
    text[ENT_TEXTLEN] = 0;
    float size = tx->size;
    float width = Font_DrawText(0, 0, 0, f, size, 1, text);
    GLS_BindTexture(f->tex->glname);
    float x, y;
    if (tx->inworld) {
        glPushMatrix();
        R_EntityTransform(e);
        Font_SetBillboard(1);
        x = -width / 2;
        y = -size / 2;
    } else {
        x = e->origin[0] - width / 2;
        y = e->origin[1] - size / 2;
    }
    R_NoteDraw(f->tex);
    if (tx->shadow) {
        glColor4f(0, 0, 0, col[3] * 0.75f);
        Font_DrawText(1, x + size / 20, y - size / 20, f, size, 0, text);
    }
    Font_SetTextAlpha(col[3]);
    glColor4fv(col);
    Font_DrawText(1, x, y, f, size, 1, text);
    if (tx->inworld) {
        Font_SetBillboard(0);
        glPopMatrix();
    }
}

static void R_DrawImage(const entity_t *e, const float *col)
{
    texture_t *t = e->u.img.tex;
    float hw = e->u.img.width / 2, hh = e->u.img.height / 2;
    float x = e->origin[0], y = e->origin[1];
    glColor4fv(col);
    GLS_BindTexture(t ? t->glname : 0);
    R_NoteDraw(t);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(x - hw, y - hh);
    glTexCoord2f(1, 0);
    glVertex2f(x + hw, y - hh);
    glTexCoord2f(1, 1);
    glVertex2f(x + hw, y + hh);
    glTexCoord2f(0, 1);
    glVertex2f(x - hw, y + hh);
    glEnd();
}

static void R_ParticleCorner(const float r[3], const float u[3], float sr, float su)
{
    glVertex3f(r[0] * sr + u[0] * su, r[1] * sr + u[1] * su, r[2] * sr + u[2] * su);
}

static void R_DrawParticle(const entity_t *e, const float *col)
{
    float right[3], up[3];
    float h = e->u.part.size / 2;
    glPushMatrix();
    R_EntityTransform(e);
    R_CameraAxes(right, up);
    GLS_BindTexture(r_particletex && r_particletex->uploaded ? r_particletex->glname : 0);
    R_NoteDraw(r_particletex && r_particletex->uploaded ? r_particletex : NULL);
    glColor4fv(col);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    R_ParticleCorner(right, up, -h, -h);
    glTexCoord2f(1, 0);
    R_ParticleCorner(right, up, h, -h);
    glTexCoord2f(1, 1);
    R_ParticleCorner(right, up, h, h);
    glTexCoord2f(0, 1);
    R_ParticleCorner(right, up, -h, h);
    glEnd();
    glPopMatrix();
}

static void R_DrawEntity(entity_t *e, int pass)
{
    float col[4] = {e->color[0] * e->brightness, e->color[1] * e->brightness,
                    e->color[2] * e->brightness, e->color[3]};
    switch (e->kind) {
    case ENT_MODEL: R_DrawModel(e, col, pass); break;
    case ENT_TEXT: R_DrawText(e, col); break;
    case ENT_SOUND: SFX_UpdateEntitySound(e); break;
    case ENT_IMAGE: R_DrawImage(e, col); break;
    case ENT_PARTICLE: R_DrawParticle(e, col); break;
    default: break;
    }
}

/* ---- what need not be shaded ------------------------------------------- */

/* 1 when the model cannot reach the view: its bounding sphere lies wholly
 * beyond one plane of the view volume.  mv is the camera's modelview
 * matrix.  Numbers that are not finite cull nothing. */
static int R_OutOfView(const entity_t *e, const float *mv)
{
    const model_t *m = e->u.mdl.model;
    if (!m || !(m->cullradius > 0.0f))
        return 0;
    const float *o = e->origin;
    float r = m->cullradius * fabsf(e->u.mdl.scale) * 1.01f + 0.01f;
    float x = mv[0] * o[0] + mv[4] * o[1] + mv[8] * o[2] + mv[12];
    float y = mv[1] * o[0] + mv[5] * o[1] + mv[9] * o[2] + mv[13];
    float z = mv[2] * o[0] + mv[6] * o[1] + mv[10] * o[2] + mv[14];
    float ty = tanf(R_FOV * 0.5f * 3.14159265f / 180.0f), tx = ty * gls.aspect;
    float ny = sqrtf(1.0f + ty * ty), nx = sqrtf(1.0f + tx * tx);
    return z - r > -R_ZNEAR || z + r < -R_ZFAR || y + z * ty > r * ny || -y + z * ty > r * ny ||
           x + z * tx > r * nx || -x + z * tx > r * nx;
}

/* Whether an image entity covers its quad completely: an uploaded texture
 * without see-through pixels, drawn at full alpha (blending then gives the
 * image's own colour). */
static int R_ImageOpaque(const entity_t *e)
{
    texture_t *t = e->u.img.tex;
    if (!t || !t->uploaded || e->color[3] != 1.0f)
        return 0;
    if (!t->opacity) {
        int opaque = t->depth == 24;
        if (t->depth == 32 && t->pixels) {
            size_t n = (size_t)t->width * (size_t)t->height;
            opaque = 1;
            for (size_t i = 0; i < n && opaque; i++)
                opaque = t->pixels[i * 4 + 3] == 255;
        }
        t->opacity = opaque ? 1 : -1;
    }
    return t->opacity > 0;
}

/* The overlay's own projection: R_OVERLAY_W x R_OVERLAY_H units whatever
 * the window size, both matrices saved. */
static void R_PushOverlay(void)
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, R_OVERLAY_W, 0, R_OVERLAY_H, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

static void R_PopOverlay(void)
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

/* Depth of what the overlay will cover for certain, before the world: the
 * opaque images at the very front (their quads exactly as drawn later) and
 * the opaque meshes of the view models at their own depth.  No colour is
 * written; the overlay pass draws them in their usual order and the world
 * beneath them fails the depth test instead of being shaded.  The view
 * models' opaque meshes then meet their own depth, which the less-or-equal
 * test passes. */
static void R_DepthPrepass(void)
{
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    r_colourwrites = 0;
    GLS_DepthMask(1);
    GLS_Blend(0);
    GLS_Texture2D(0);
    int images = 0;
    for (int i = 0; i < r_listcount[RL_FLAT] && !images; i++)
        images = r_lists[RL_FLAT][i]->kind == ENT_IMAGE && R_ImageOpaque(r_lists[RL_FLAT][i]);
    if (images) {
        R_PushOverlay();
        R_NoteDraw(NULL);
        glBegin(GL_QUADS);
        for (int i = 0; i < r_listcount[RL_FLAT]; i++) {
            const entity_t *e = r_lists[RL_FLAT][i];
            if (e->kind != ENT_IMAGE || !R_ImageOpaque(e))
                continue;
            float hw = e->u.img.width / 2, hh = e->u.img.height / 2, x = e->origin[0], y = e->origin[1];
            /* z 0.999 is depth 0.0005: in front of all the world */
            glVertex3f(x - hw, y - hh, 0.999f);
            glVertex3f(x + hw, y - hh, 0.999f);
            glVertex3f(x + hw, y + hh, 0.999f);
            glVertex3f(x - hw, y + hh, 0.999f);
        }
        glEnd();
        R_PopOverlay();
    }
    for (int i = r_listcount[RL_VIEWMODELS] - 1; i >= 0; i--)
        R_DrawEntity(r_lists[RL_VIEWMODELS][i], PASS_DEPTH);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    r_colourwrites = 1;
}

/* ---- passes ------------------------------------------------------------- */

static void R_DrawListBackward(int list, int pass)
{
    for (int i = r_listcount[list] - 1; i >= 0; i--)
        R_DrawEntity(r_lists[list][i], pass);
}

/* Drops the world models out of view from the models list for this frame
 * (the camera transform is current). */
static void R_CullModels(void)
{
    float mv[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, mv);
    int n = 0;
    for (int i = 0; i < r_listcount[RL_MODELS]; i++)
        if (!R_OutOfView(r_lists[RL_MODELS][i], mv))
            r_lists[RL_MODELS][n++] = r_lists[RL_MODELS][i];
    r_listcount[RL_MODELS] = n;
}

static void R_UpdateSounds(void)
{
    for (int i = r_listcount[RL_SOUNDS] - 1; i >= 0; i--)
        SFX_UpdateEntitySound(r_lists[RL_SOUNDS][i]);
}

/* Whether the eye sits at e's origin (the sky around the player): then
 * the split of its faces made for this window holds. */
static int R_SeenFromOrigin(const entity_t *e)
{
    if (r_warming)
        return 1;
    const float *c = r_camera ? r_camera->origin : NULL;
    for (int k = 0; k < 3; k++)
        if (fabsf(e->origin[k] - (c ? c[k] : 0.0f)) > 0.001f)
            return 0;
    return 1;
}

static int R_StencilBits(void)
{
    if (gls.stencilbits < 0) {
        GLint bits = 0;
        glGetIntegerv(GL_STENCIL_BITS, &bits);
        gls.stencilbits = bits;
    }
    return gls.stencilbits;
}

/* The background: the sky (its first entity) opaque and translucent, then
 * the others (planets) opaque over it, none writing depth.  Drawn the
 * other way round where there is a stencil buffer: the others first,
 * marking their pixels, then the sky only where they are not, which gives
 * the same picture (they only overwrite) without shading the sky under
 * them. */
void R_DrawBackground(void)
{
    int n = r_listcount[RL_BACKGROUND], marked = !r_plain && n > 1 && R_StencilBits() > 0;
    if (n == 0)
        return;
    GLS_DepthMask(0);
    if (marked) {
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(GL_ALWAYS, 1, 1);
        glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
        r_stencil = 1;
        for (int i = 1; i < n; i++)
            R_DrawEntity(r_lists[RL_BACKGROUND][i], PASS_OPAQUE);
        glStencilFunc(GL_NOTEQUAL, 1, 1);
        glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
        r_stencil = 2;
    }
    r_magsplit = !r_plain && R_SeenFromOrigin(r_lists[RL_BACKGROUND][0]);
    R_DrawEntity(r_lists[RL_BACKGROUND][0], PASS_OPAQUE);
    r_magsplit = 0;
    R_SetPass(PASS_TRANSLUCENT);
    R_DrawEntity(r_lists[RL_BACKGROUND][0], PASS_TRANSLUCENT);
    R_SetPass(PASS_OPAQUE);
    GLS_DepthMask(0);
    if (marked) {
        glDisable(GL_STENCIL_TEST);
        r_stencil = 0;
    }
    for (int i = 1; i < n && !marked; i++)
        R_DrawEntity(r_lists[RL_BACKGROUND][i], PASS_OPAQUE);
    GLS_DepthMask(1);
}

static void R_WorldPass(void)
{
    if (!r_plain)
        R_CullModels();
    R_SetPass(PASS_OPAQUE);
    if (r_plain) {
        R_DrawBackground();
        R_DrawListBackward(RL_MODELS, PASS_OPAQUE);
    } else {
        /* the background after the opaque models, pinned to the far end
         * of the depth range: it fills exactly the pixels nothing opaque
         * has covered, which is all it shows of itself when drawn first */
        R_DrawListBackward(RL_MODELS, PASS_OPAQUE);
        glDepthRange(1, 1);
        R_DrawBackground();
        glDepthRange(0, 1);
    }
    R_SetPass(PASS_TRANSLUCENT);
    for (int i = 0; i < r_listcount[RL_MODELS]; i++)
        R_DrawEntity(r_lists[RL_MODELS][i], PASS_TRANSLUCENT);
    GLS_Texture2D(1);
    R_DrawListBackward(RL_PARTICLES, PASS_TRANSLUCENT);
    for (int i = r_listcount[RL_FLAT] - 1; i >= 0; i--) {
        entity_t *e = r_lists[RL_FLAT][i];
        if (e->kind == ENT_TEXT && e->u.txt.inworld)
            R_DrawEntity(e, PASS_TRANSLUCENT);
    }
    GLS_Texture2D(0);
    R_SetPass(PASS_OPAQUE);
    R_UpdateSounds();
}

static void R_DrawFlat(void)
{
    GLS_Texture2D(1);
    GLS_DepthTest(0);
    R_PushOverlay();
    for (int i = 0; i < r_listcount[RL_FLAT]; i++) {
        entity_t *e = r_lists[RL_FLAT][i];
        if (e->kind == ENT_TEXT && e->u.txt.inworld)
            continue;
        R_DrawEntity(e, PASS_TRANSLUCENT);
    }
    R_PopOverlay();
    GLS_DepthTest(1);
    GLS_Texture2D(0);
}

static void R_OverlayPass(void)
{
    R_SetPass(PASS_OPAQUE);
    R_DrawListBackward(RL_VIEWMODELS, PASS_OPAQUE);
    R_SetPass(PASS_TRANSLUCENT);
    R_DrawListBackward(RL_VIEWMODELS, PASS_TRANSLUCENT);
    if (r_listcount[RL_FLAT] > 0)
        R_DrawFlat();
    R_SetPass(PASS_OPAQUE);
}

/* ---- frame -------------------------------------------------------------- */

void R_BeginFrame(void)
{
    if (!gls.active)
        return;
    GLS_DepthMask(1); /* a masked depth buffer would not clear */
    glClear(GL_DEPTH_BUFFER_BIT | (R_StencilBits() > 0 ? GL_STENCIL_BUFFER_BIT : 0));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(R_FOV, gls.aspect, R_ZNEAR, R_ZFAR);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor4f(1, 1, 1, 1);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void R_LoadParticleTexture(void)
{
    if (!r_particletex)
        r_particletex = Tex_Get(R_PARTICLETEX, 1);
    if (!r_particletex || r_particleclamped || !gls.active)
        return;
    Tex_Upload(r_particletex); /* at once when already up; else read headless */
    if (!r_particletex->uploaded)
        return;
    GLS_BindTexture(r_particletex->glname);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    r_particleclamped = 1;
}

void R_DrawFrame(entity_t *camera)
{
    if (!gls.active) {
        R_UpdateSounds();
        return;
    }
    r_camera = camera;
    if (!r_plain)
        R_DepthPrepass();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    if (camera) {
        glTranslatef(-camera->origin[0], -camera->origin[1], -camera->origin[2]);
        if (camera->angles[0] != 0)
            glRotatef(camera->angles[0], 1, 0, 0);
        if (camera->angles[1] != 0)
            glRotatef(camera->angles[1], 0, 1, 0);
    }
    R_WorldPass();
    glPopMatrix();
    R_OverlayPass();
}
