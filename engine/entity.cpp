/*
 * entity.cpp -- the entity store: a pool of exactly 1024 engine entity
 * records allocated once, a free list and an active list (spawn order)
 * threaded through the slots, spawning with the set-up of each kind's
 * resource (model, font, sound source, texture), removal marks, and the
 * three per-frame steps: motion with angle and animation-frame wrap, think
 * and touch calls with the pair loop among touchable models, and the purge
 * of marked entities with the release of their resources.  Nothing is
 * allocated after the pool: spawning and purging move slots between lists.
 */
#include "entity.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "collision.h"
#include "font.h"
#include "hitch.h"
#include "model.h"
#include "module.h"
#include "sound.h"
#include "texture.h"

#define ENT_NONE (-1)

static entity_t ent_pool[ENT_MAX];
static int ent_next[ENT_MAX];      /* link within whichever list holds the slot */
static int ent_spawnkind[ENT_MAX]; /* kind at spawn: decides what purge releases */
static int ent_freehead = ENT_NONE;
static int ent_activehead = ENT_NONE;
static int ent_activetail = ENT_NONE;
/* The slots of the model entities of the active list, in the same order,
 * and where each slot stands among them (-1 once purged): the pair loop
 * walks only these.  Purged places are squeezed out after each purge; a
 * slot purged and taken again by a spawn during the purge leaves a stale
 * place behind until then, so there is room for twice the pool. */
#define ENT_MPLACES (2 * ENT_MAX)
static int ent_mslot[ENT_MPLACES];
static int ent_mindex[ENT_MAX];
static int ent_mcount;
static int ent_live;
static int ent_built;
static int ent_cursor = ENT_NONE;
static int ent_savedcursor = ENT_NONE;
/* Localised font names found missing: files do not appear while the engine
 * runs, so later text spawns (score numbers in play) take the fallback
 * without looking for the file again. */
#define ENT_MISSEDFONTS 4
static char ent_missedfont[ENT_MISSEDFONTS][MAX_OSPATH + ENT_NAMELEN + 16];
static int ent_nummissed;

static int Ent_Index(const entity_t *e)
{
    uintptr_t p = (uintptr_t)e, lo = (uintptr_t)&ent_pool[0];
    if (!e || p < lo || p >= (uintptr_t)&ent_pool[ENT_MAX] || (p - lo) % sizeof(entity_t))
        return ENT_NONE;
    return (int)((p - lo) / sizeof(entity_t));
}

static void Ent_BuildFreeList(void)
{
    for (int i = 0; i < ENT_MAX; i++)
        ent_next[i] = i + 1 < ENT_MAX ? i + 1 : ENT_NONE;
    ent_freehead = 0;
    ent_activehead = ent_activetail = ENT_NONE;
    ent_mcount = 0;
    ent_cursor = ent_savedcursor = ENT_NONE;
    ent_live = 0;
    ent_built = 1;
}

/* Drops the places of purged and re-spawned slots, keeping the order. */
static void Ent_SqueezeModels(void)
{
    int n = 0;
    for (int i = 0; i < ent_mcount; i++) {
        int slot = ent_mslot[i];
        if (ent_mindex[slot] != i)
            continue;
        ent_mindex[slot] = n;
        ent_mslot[n++] = slot;
    }
    ent_mcount = n;
}

/* ---- spawning ---------------------------------------------------------- */

static int Ent_SetupModel(entity_t *e, const char *path)
{
    model_t *m = Model_Get(path);
    uint32_t frames = 0;

    if (!m)
        return 0;
    for (uint32_t i = 0; m->meshes && i < m->nummeshes; i++)
        if (m->meshes[i].numframes > frames)
            frames = m->meshes[i].numframes;
    e->u.mdl.model = m;
    e->u.mdl.firstframe = 0;
    /* a model without meshes or frames still gets a sane range */
    e->u.mdl.lastframe = frames ? (int32_t)(frames - 1) : 0;
    e->u.mdl.framerate = 1.0f;
    e->u.mdl.scale = 1.0f;
    /* the sphere that makes touchable models meet (ships ramming chickens) */
    e->u.mdl.radius = m->radius;
    e->u.mdl.depth = 1;
    return 1;
}

static int Ent_SetupText(entity_t *e, const char *path)
{
    char local[MAX_OSPATH + ENT_NAMELEN + 16];
    font_t *f;

    snprintf(local, sizeof(local), "%s_%d", path, com_countrycode);
    int missed = 0;
    for (int i = 0; i < ent_nummissed && i < ENT_MISSEDFONTS && !missed; i++)
        missed = !strcmp(ent_missedfont[i], local);
    f = missed ? NULL : Font_Get(local);
    if (!f && !missed)
        memcpy(ent_missedfont[ent_nummissed++ % ENT_MISSEDFONTS], local, sizeof(local));
    if (!f) {
        /* the attempt first, so that the cache's own messages do not split
         * this line */
        f = Font_Get(path);
        Com_Printf("entity: (info) font %s missed, ", local);
        Com_Printf("fallback to %s ... ", path);
        Com_Printf("%s\n", f ? "ok" : "failed");
        if (!f)
            return 0;
    }
    e->u.txt.font = f;
    return 1;
}

static int Ent_SetupImage(entity_t *e, const char *path)
{
    texture_t *t = Tex_Get(path, 1);
    if (!t)
        return 0;
    e->u.img.tex = t;
    e->u.img.width = (float)t->width;
    e->u.img.height = (float)t->height;
    return 1;
}

static int Ent_SetupKind(entity_t *e, int kind, const char *name, const char *path)
{
    switch (kind) {
    case ENT_MODEL: return Ent_SetupModel(e, path);
    case ENT_TEXT: return Ent_SetupText(e, path);
    case ENT_SOUND: return (e->u.snd.handle = SFX_AllocSound(name)) != NULL;
    case ENT_IMAGE: return Ent_SetupImage(e, path);
    case ENT_PARTICLE: e->u.part.size = 1.0f; return 1;
    default: return 1;
    }
}

static void Ent_Defaults(entity_t *e, const char *name, int kind)
{
    memset(e, 0, sizeof(*e));
    memcpy(e->name, name, strlen(name) + 1);
    e->kind = kind;
    e->spawntime = eng_gametime;
    e->color[0] = e->color[1] = e->color[2] = e->color[3] = 1.0f;
    e->brightness = 1.0f;
    e->vec2[0] = 1.0f;
    e->dir[2] = -1.0f;
}

entity_t *Ent_Spawn(const char *name, int kind)
{
    char path[MAX_OSPATH + ENT_NAMELEN];

    if (!name || strnlen(name, ENT_NAMELEN) >= ENT_NAMELEN)
        return NULL;
    if (!ent_built)
        Ent_BuildFreeList();
    if (ent_live >= ENT_MAX || ent_freehead == ENT_NONE)
        return NULL;
    int slot = ent_freehead;
    entity_t *e = &ent_pool[slot];
    Ent_Defaults(e, name, kind);
    snprintf(path, sizeof(path), "%s%s", com_datadir, name);
    if (!Ent_SetupKind(e, kind, name, path))
        return NULL;
    ent_spawnkind[slot] = kind;
    Hitch_Note(HN_SPAWN, name);
    ent_live++;
    ent_freehead = ent_next[slot];
    ent_next[slot] = ENT_NONE;
    if (ent_activetail == ENT_NONE)
        ent_activehead = slot;
    else
        ent_next[ent_activetail] = slot;
    ent_activetail = slot;
    if (kind == ENT_MODEL) {
        if (ent_mcount == ENT_MPLACES)
            Ent_SqueezeModels();
        ent_mindex[slot] = ent_mcount;
        ent_mslot[ent_mcount++] = slot;
    }
    return e;
}

entity_t *Ent_PendRemove(entity_t *e)
{
    if (Ent_Index(e) == ENT_NONE)
        return e;
    e->state = ES_PENDREMOVE;
    return e;
}

/* ---- iteration ------------------------------------------------------------ */

entity_t *Ent_First(void)
{
    ent_cursor = ent_activehead;
    return ent_cursor == ENT_NONE ? NULL : &ent_pool[ent_cursor];
}

entity_t *Ent_Next(void)
{
    if (ent_cursor == ENT_NONE)
        return NULL;
    ent_cursor = ent_next[ent_cursor];
    return ent_cursor == ENT_NONE ? NULL : &ent_pool[ent_cursor];
}

void Ent_SaveCursor(void)
{
    ent_savedcursor = ent_cursor;
}

void Ent_RestoreCursor(void)
{
    ent_cursor = ent_savedcursor;
}

int Ent_LiveCount(void)
{
    return ent_live;
}

/* ---- motion ----------------------------------------------------------------- */

static float Ent_WrapAngle(float a)
{
    if (a >= 360.0f)
        return a - 360.0f;
    if (a < 0.0f)
        return a + 360.0f;
    return a;
}

static void Ent_AnimateFrame(ent_model_t *m, float dt)
{
    uint32_t first = (uint32_t)m->firstframe, last = (uint32_t)m->lastframe;
    float ff = (float)first, lf = (float)last;

    if (first == last) {
        m->frame = ff;
        return;
    }
    m->frame += dt * 25.0f * m->framerate;
    if (!isfinite(m->frame) || m->frame < ff) {
        m->frame = ff;
        return;
    }
    float range = (float)(last - first);
    /* step back by whole ranges; a frame far beyond the range (a huge frame
     * rate or time step) goes back in one step instead of looping forever */
    for (int n = 0; m->frame > lf; n++) {
        if (n >= 8) {
            float over = ceilf((m->frame - lf) / range);
            m->frame -= over * range;
            if (m->frame > lf || m->frame < ff)
                m->frame = ff;
            break;
        }
        m->frame -= range;
    }
}

static void Ent_Move(entity_t *e, float dt)
{
    for (int i = 0; i < 3; i++) {
        e->oldorigin[i] = e->origin[i];
        e->origin[i] += dt * e->speed * e->dir[i];
    }
    for (int i = 0; i < 3; i++)
        if (e->avelocity[i] != 0.0f)
            e->angles[i] = Ent_WrapAngle(e->angles[i] + dt * e->avelocity[i]);
    if (e->kind == ENT_MODEL && ent_spawnkind[e - ent_pool] == ENT_MODEL)
        Ent_AnimateFrame(&e->u.mdl, dt);
}

void Ent_Motion(void)
{
    float dt = eng_gametime - eng_lastgametime;

    if (dt == 0.0f)
        return;
    for (int i = ent_activehead; i != ENT_NONE; i = ent_next[i])
        if (ent_pool[i].state == ES_ACTIVE)
            Ent_Move(&ent_pool[i], dt);
}

/* ---- think and touch ---------------------------------------------------------- */

/* Active, a model (then and now) and with a touch function. */
static int Ent_Touchable(const entity_t *e)
{
    return e->state == ES_ACTIVE && e->kind == ENT_MODEL && e->touch &&
           ent_spawnkind[e - ent_pool] == ENT_MODEL;
}

/* The first model entity from place i of the model list on that is
 * touchable and may collide with a (ent_mcount when none is left).
 * Nothing calls into the game here, so what is read of a stays valid for
 * the whole walk. */
static int Ent_NextCandidate(const entity_t *a, int i)
{
    const float ao[3] = {a->origin[0], a->origin[1], a->origin[2]};
    if (a->u.mdl.collmode == CM_SWEPT) { /* only targets can meet a projectile */
        for (; i < ent_mcount; i++) {
            const entity_t *b = &ent_pool[ent_mslot[i]];
            /* b's model is only read once b is known a touchable model */
            if (b->u.mdl.collmode != CM_SWEPT && Ent_Touchable(b) &&
                Col_SegmentMayReach(a->oldorigin, ao, b->origin, Col_TargetReach(b)))
                return i;
        }
        return ent_mcount;
    }
    const float ra = a->u.mdl.radius * a->u.mdl.scale, reach = Col_TargetReach(a);
    for (; i < ent_mcount; i++) {
        const entity_t *b = &ent_pool[ent_mslot[i]];
        int near = b->u.mdl.collmode == CM_SWEPT ? Col_SegmentMayReach(b->oldorigin, b->origin, ao, reach)
                                                 : Col_SphereMeets(ao, ra, b);
        if (near && Ent_Touchable(b))
            return i;
    }
    return ent_mcount;
}

/* Tests a against every model entity after it in the active list; the
 * model list holds them in the same order, entities spawned meanwhile
 * included.  Pairs that cannot collide are passed over cheaply first. */
static void Ent_TouchPairs(entity_t *a)
{
    for (int i = ent_mindex[a - ent_pool] + 1; i < ent_mcount && Ent_Touchable(a); i++) {
        i = Ent_NextCandidate(a, i);
        if (i == ent_mcount)
            break;
        entity_t *b = &ent_pool[ent_mslot[i]];
        if (!Col_Collide(a, b))
            continue;
        a->touch(a, b);
        if (b->state == ES_ACTIVE && b->touch)
            b->touch(b, a);
    }
}

void Ent_ThinkTouch(void)
{
    for (entity_t *a = Ent_First(); a; a = Ent_Next()) {
        if (a->state == ES_PENDREMOVE)
            continue;
        if (a->think && a->nextthink <= eng_gametime && mod_running)
            a->think(a);
        Ent_SaveCursor();
        if (Ent_Touchable(a))
            Ent_TouchPairs(a);
        Ent_RestoreCursor();
    }
}

/* ---- purge ----------------------------------------------------------------------- */

static void Ent_ReleaseResources(entity_t *e, int kind)
{
    switch (kind) {
    case ENT_MODEL:
        if (e->u.mdl.model)
            Model_Release(e->u.mdl.model);
        e->u.mdl.model = NULL;
        break;
    case ENT_TEXT:
        if (e->u.txt.font)
            Font_Release(e->u.txt.font);
        e->u.txt.font = NULL;
        break;
    case ENT_SOUND:
        if (e->u.snd.handle)
            SFX_FreeSound(e->u.snd.handle);
        e->u.snd.handle = NULL;
        break;
    case ENT_IMAGE:
        if (e->u.img.tex)
            Tex_Release(e->u.img.tex);
        e->u.img.tex = NULL;
        break;
    default:
        break;
    }
}

/* Takes slot out of the active list (prev is its predecessor or ENT_NONE)
 * and puts it at the head of the free list. */
static void Ent_Unlink(int slot, int prev)
{
    if (prev == ENT_NONE)
        ent_activehead = ent_next[slot];
    else
        ent_next[prev] = ent_next[slot];
    if (ent_activetail == slot)
        ent_activetail = prev;
    ent_next[slot] = ent_freehead;
    ent_freehead = slot;
    ent_live--;
}

void Ent_Purge(void)
{
    int prev = ENT_NONE, i = ent_activehead, models = 0;

    while (i != ENT_NONE) {
        entity_t *e = &ent_pool[i];
        if (e->state != ES_PENDREMOVE) {
            /* whatever the game wrote, the text drawn later ends in the field */
            if (ent_spawnkind[i] == ENT_TEXT)
                e->u.txt.text[ENT_TEXTLEN - 1] = '\0';
            prev = i;
            i = ent_next[i];
            continue;
        }
        Ent_ReleaseResources(e, ent_spawnkind[i]);
        if (e->ondestroy)
            e->ondestroy(e);
        /* read the link only now: on-destroy may have appended new entities */
        int next = ent_next[i];
        if (ent_spawnkind[i] == ENT_MODEL) {
            ent_mindex[i] = -1;
            models++;
        }
        Ent_Unlink(i, prev);
        i = next;
    }
    if (models)
        Ent_SqueezeModels();
    ent_cursor = ent_savedcursor = ENT_NONE;
}

void Ent_Reset(void)
{
    if (ent_built)
        for (int i = ent_activehead; i != ENT_NONE; i = ent_next[i])
            Ent_ReleaseResources(&ent_pool[i], ent_spawnkind[i]);
    ent_built = 0;
    ent_freehead = ent_activehead = ent_activetail = ENT_NONE;
    ent_mcount = 0;
    ent_cursor = ent_savedcursor = ENT_NONE;
    ent_live = 0;
    ent_nummissed = 0;
}
