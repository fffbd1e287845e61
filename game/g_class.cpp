/*
 * g_class.cpp -- game objects and the gentity pool: the one spawn routine
 * through which every gentity is made (with its pool and particle limits),
 * starting a class's behaviour, removal and the per-frame sweep against the
 * world sphere, the class cache that makes the engine load every needed
 * medium before play (_CacheClasses), the level's spawn scheduler
 * (SC_CheckNewSpawns) with the one-second spawn-in fade, and the small
 * setters on a gentity's engine entity.  The class table is g_classes.cpp.
 */
#include "g_local.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

gentity_t g_entities[GENT_MAX];
static int g_gentcount;
static int g_particlecount;
static int g_precached;
static gentity_t **g_cachelist;
static int g_cachecount;
static float g_worldcentre[3];
static float g_worldradius = G_WORLD_RADIUS;

/* ---- spawning and removal ---- */

gentity_t *G_Spawn(const char *medianame, int kind, int param, int mainclass, int subclass,
                   const char *classname)
{
    if (mainclass == MC_EFFECT && g_particlecount > GENT_PARTICLE_LIMIT)
        return NULL;
    if (g_gentcount >= GENT_MAX) {
        gi.conprintf("- Spawn (%s) - already too many gentities\n", medianame);
        return NULL;
    }
    int slot = 0;
    while (slot < GENT_MAX && g_entities[slot].state != GS_FREE)
        slot++;
    if (slot == GENT_MAX) /* cannot happen while the count is right */
        return NULL;
    entity_t *e = gi.spawnentity(medianame, kind);
    if (!e)
        return NULL;
    if (kind == ENT_MODEL)
        e->u.mdl.collmode = param;
    gentity_t *g = &g_entities[slot];
    memset(g, 0, sizeof(*g));
    g->mainclass = mainclass;
    e->brightness = G_GetFadeLevel();
    e->gameslot = slot;
    g->subclass = subclass;
    g->ent = e;
    g->classname = classname;
    g->medianame = medianame;
    g->state = GS_INUSE;
    g->spawntime = *gi.gametime;
    g->health = 1.0f;
    g->damage = 0.0f;
    if (mainclass == MC_EFFECT)
        g_particlecount++;
    g_gentcount++;
    return g;
}

gentity_t *G_SpawnClassRow(const classrow_t *row)
{
    if (!row)
        return NULL;
    return G_Spawn(row->medianame, row->kind, row->param, row->mainclass, row->subclass,
                   row->classname);
}

gentity_t *G_SpawnByClass(int mainclass, int subclass)
{
    const classrow_t *row = G_ClassByNumbers(mainclass, subclass);
    if (!row) {
        gi.conprintf("# G_SpawnByClass: no class (%i, %i)\n", mainclass, subclass);
        return NULL;
    }
    return G_SpawnClassRow(row);
}

gentity_t *G_SpawnProductOf(int mainclass, int subclass)
{
    const classrow_t *row = G_ClassProduct(G_ClassByNumbers(mainclass, subclass));
    return row ? G_SpawnClassRow(row) : NULL;
}

const char *G_ProductName(int mainclass, int subclass)
{
    const classrow_t *row = G_ClassProduct(G_ClassByNumbers(mainclass, subclass));
    return row ? row->classname : "?";
}

gentity_t *G_SpawnImage(int subclass)
{
    return G_SpawnByClass(MC_IMAGE, subclass);
}

gentity_t *G_SpawnText(int subclass)
{
    return G_SpawnByClass(MC_TEXT, subclass);
}

gentity_t *G_SpawnSound(const char *soundfile)
{
    return G_Spawn(soundfile, ENT_SOUND, 0, MC_SOUND, SUB_CLASS_SOUND, "class_sound");
}

gentity_t *G_SpawnParticle(void)
{
    return G_Spawn("(particle)", ENT_PARTICLE, 0, MC_EFFECT, SUB_RONLY_PARTICLE,
                   "class_particle");
}

void G_StartClassBehaviour(gentity_t *g)
{
    const classrow_t *cls = G_ClassByNumbers(g->mainclass, g->subclass);
    if (!cls || !cls->spawn)
        return;
    g->health = cls->health;
    g->damage = cls->damage;
    cls->spawn(g);
}

void G_Remove(gentity_t *g)
{
    if (!g || g->state != GS_INUSE)
        return;
    gi.pendremove(g->ent);
    g->state = GS_REMOVED;
    if (g->mainclass == MC_EFFECT)
        g_particlecount--;
}

gentity_t *G_NextInUse(gentity_t *prev)
{
    int i = g_precached;
    if (prev && prev >= g_entities && prev < g_entities + GENT_MAX)
        i = (int)(prev - g_entities) + 1;
    for (; i < GENT_MAX; i++)
        if (g_entities[i].state == GS_INUSE)
            return &g_entities[i];
    return NULL;
}

gentity_t *G_GentityOf(entity_t *e)
{
    if (!e || e->gameslot < 0 || e->gameslot >= GENT_MAX)
        return NULL;
    gentity_t *g = &g_entities[e->gameslot];
    return g->ent == e ? g : NULL;
}

int G_GentityCount(void)
{
    return g_gentcount;
}

int G_PrecachedCount(void)
{
    return g_precached;
}

int G_ParticleCount(void)
{
    return g_particlecount;
}

void G_SetWorldSphere(float cx, float cy, float cz, float radius)
{
    Vec_Set(g_worldcentre, cx, cy, cz);
    g_worldradius = radius;
}

int G_InsideWorld(const float *pos)
{
    return Vec_DistSquared(pos, g_worldcentre) <= g_worldradius * g_worldradius;
}

void G_Sweep(void)
{
    for (int i = g_precached; i < GENT_MAX; i++) {
        gentity_t *g = &g_entities[i];
        if (g->state == GS_REMOVED) {
            g->state = GS_FREE;
            g_gentcount--;
        } else if (g->state == GS_INUSE && (g->mainclass < MC_PLAYER || g->mainclass > MC_SOUND) &&
                   !G_InsideWorld(g->ent->origin)) {
            G_Remove(g);
        }
    }
}

void G_RemoveAllAfterCache(void)
{
    for (int i = g_precached; i < GENT_MAX; i++)
        G_Remove(&g_entities[i]);
}

void G_RemoveCache(void)
{
    for (int i = 0; i < g_precached && i < GENT_MAX; i++)
        G_Remove(&g_entities[i]);
    g_precached = 0;
}

void G_FreeCacheList(void)
{
    free(g_cachelist);
    g_cachelist = NULL;
    g_cachecount = 0;
}

void G_ResetPool(void)
{
    memset(g_entities, 0, sizeof(g_entities));
    g_gentcount = 0;
    g_particlecount = 0;
    g_precached = 0;
    G_FreeCacheList();
}

/* ---- class cache ---- */

static int G_CacheHas(const char *classname)
{
    for (int i = 0; i < g_cachecount; i++)
        if (strcasecmp(g_cachelist[i]->classname, classname) == 0)
            return 1;
    return 0;
}

/* Grows the list, spawns the row hidden and appends it; 0 on failure. */
static int G_CacheRow(const classrow_t *row)
{
    gentity_t **grown =
        (gentity_t **)realloc(g_cachelist, (size_t)(g_cachecount + 1) * sizeof(*grown));
    if (!grown) {
        gi.conprintf("_CacheClasses: out of mem at entity #%i\n", g_cachecount + 1);
        return 0;
    }
    g_cachelist = grown;
    gentity_t *g = G_SpawnClassRow(row);
    if (!g) {
        gi.conprintf("# _CacheClasses: could not spawn '%s'\n", row->classname);
        return 0;
    }
    g->ent->state = ES_HIDDEN;
    g_cachelist[g_cachecount++] = g;
    return 1;
}

int _CacheClasses(struct level_s *level)
{
    G_FreeCacheList();
    gi.conprintf("* caching non-scriptable entity classes...\n");
    for (int i = 0; i < CLASS_COUNT; i++)
        if (g_classes[i].levelflag == LF_MODULE && !G_CacheRow(&g_classes[i]))
            return 0;
    gi.conprintf("* caching level entity classes...\n");
    spawnrec_t *s = &level->pending;
    for (spawnrec_t *r = s->next; r && r != s; r = r->next) {
        const classrow_t *row = G_ClassByName(r->name);
        for (; row; row = G_ClassProduct(row))
            if (!G_CacheHas(row->classname) && !G_CacheRow(row))
                return 0;
    }
    g_precached = g_gentcount;
    gi.conprintf("OK\n");
    return 1;
}

/* ---- spawn scheduler ---- */

/* Bound on spawns in one call: a made-up backlog beyond it waits for the
 * next frame (the pool holds at most 1024 anyway). */
#define SC_MAXSPAWNSPERCALL 4096

static void SC_StartSpawnIn(gentity_t *g)
{
    entity_t *e = g->ent;
    g->saved_nextthink = e->nextthink;
    g->saved_think = e->think;
    g->saved_touch = e->touch;
    g->saved_ondestroy = e->ondestroy;
    e->color[0] = e->color[1] = e->color[2] = 0.0f;
    e->nextthink = 0.0f;
    e->think = SC_SpawnInThink;
    e->touch = NULL;
    e->ondestroy = NULL;
}

static void SC_SpawnRecord(spawnrec_t *r)
{
    gentity_t *g = G_SpawnByClass(r->mainclass, r->subclass);
    if (!g) {
        gi.conprintf("# SC_CheckNewSpawns: could not spawn '%s'\n", r->name);
        return;
    }
    entity_t *e = g->ent;
    Vec_Copy(r->pos, e->origin);
    Vec_Copy(r->dir, e->dir);
    Ent_OrientToDirection(e);
    e->speed = r->speed;
    if (!G_InsideWorld(e->origin))
        gi.conprintf("- WARNING: spawned '%s' outside world: %f %f %f\n", g->classname,
                     (double)e->origin[0], (double)e->origin[1], (double)e->origin[2]);
    G_StartClassBehaviour(g);
    if (g->mainclass != MC_SCENERY && !(g->subclass >= SUB_P01 && g->subclass <= SUB_P07))
        SC_StartSpawnIn(g);
}

/* Back into the pending list at its next time, or onto the finished list.
 * A period too small to advance the time ends the repeats. */
static void SC_Reschedule(level_t *level, spawnrec_t *r)
{
    Level_UnlinkSpawn(r);
    if (r->respawnperiod > 0.0f) {
        float next = r->spawntime + r->respawnperiod;
        if (next > r->spawntime) {
            r->spawntime = next;
            Level_InsertSpawn(level, r);
            return;
        }
    }
    r->next = level->finished;
    level->finished = r;
}

void SC_CheckNewSpawns(struct level_s *level, float t)
{
    spawnrec_t *s = &level->pending;
    spawnrec_t *r = s->next;
    int spawned = 0;
    while (r && r != s && spawned < SC_MAXSPAWNSPERCALL) {
        spawnrec_t *next = r->next;
        if (!(t < r->spawntime)) {
            SC_SpawnRecord(r);
            SC_Reschedule(level, r);
            spawned++;
        }
        r = next;
    }
}

void SC_SpawnInThink(entity_t *e)
{
    float value = e->color[0] + (*gi.gametime - *gi.lastgametime);
    gentity_t *g = G_GentityOf(e);
    if (value >= 1.0f || !g) {
        e->color[0] = e->color[1] = e->color[2] = 1.0f;
        e->nextthink = g ? g->saved_nextthink : 0.0f;
        e->think = g ? g->saved_think : NULL;
        e->touch = g ? g->saved_touch : NULL;
        e->ondestroy = g ? g->saved_ondestroy : NULL;
        return;
    }
    e->color[0] = e->color[1] = e->color[2] = value;
}

/* ---- setters ---- */

static entity_t *G_EntOfKind(gentity_t *g, int kind)
{
    if (!g || !g->ent || g->ent->kind != kind)
        return NULL;
    return g->ent;
}

void G_SetModelScale(gentity_t *g, float scale)
{
    entity_t *e = G_EntOfKind(g, ENT_MODEL);
    if (e)
        e->u.mdl.scale = scale;
}

void G_SetModelFrameRate(gentity_t *g, float rate)
{
    entity_t *e = G_EntOfKind(g, ENT_MODEL);
    if (e)
        e->u.mdl.framerate = rate;
}

void G_SetCollisionMode(gentity_t *g, int mode)
{
    entity_t *e = G_EntOfKind(g, ENT_MODEL);
    if (e)
        e->u.mdl.collmode = mode;
}

void G_SetImageSize(gentity_t *g, float width, float height)
{
    entity_t *e = G_EntOfKind(g, ENT_IMAGE);
    if (e) {
        e->u.img.width = width;
        e->u.img.height = height;
    }
}

void G_SetTextSize(gentity_t *g, float size)
{
    entity_t *e = G_EntOfKind(g, ENT_TEXT);
    if (e)
        e->u.txt.size = size;
}

void G_SetTextShadow(gentity_t *g, int on)
{
    entity_t *e = G_EntOfKind(g, ENT_TEXT);
    if (e)
        e->u.txt.shadow = on != 0;
}

void G_SetTextInWorld(gentity_t *g, int on)
{
    entity_t *e = G_EntOfKind(g, ENT_TEXT);
    if (e)
        e->u.txt.inworld = on != 0;
}
