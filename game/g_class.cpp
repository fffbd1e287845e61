/*
 * g_class.cpp -- game object classes and the gentity pool: the fixed class
 * table and class behaviour table, the one spawn routine through which
 * every gentity is made (with its pool and particle limits), removal and
 * the per-frame sweep against the world sphere, the class cache that makes
 * the engine load every needed medium before play (_CacheClasses), the
 * level's spawn scheduler (SC_CheckNewSpawns) with the one-second spawn-in
 * fade, and the small setters on a gentity's engine entity.
 */
#include "g_local.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

const classrow_t g_classes[CLASS_COUNT] = {
    {7, 1, "player_client", "(no media)", 6, 0, 0},
    {7, 2, "player_bot", "(no media)", 6, 0, 0},
    {8, 3, "client_cockpit", "cockpit", 1, 3, 0},
    {8, 4, "client_arrow", "arrow", 1, 1, 0},
    {8, 5, "client_weapon", "weapon", 1, 3, 0},
    {8, 6, "client_camera", "(no media)", 6, 0, 0},
    {1, 7, "chicken", "chicken", 1, 1, 1},
    {1, 8, "superchicken", "superchicken", 1, 1, 1},
    {1, 9, "bombe", "bombe", 1, 1, 1},
    {1, 10, "motherchicken", "motherchicken", 1, 1, 1},
    {1, 11, "egg", "egg", 1, 1, 1},
    {1, 12, "ballon", "ballon", 1, 1, 1},
    {1, 13, "racer01", "racer01", 1, 1, 1},
    {1, 14, "racer02", "racer02", 1, 1, 1},
    {1, 15, "enemy-ship", "enemy-ship", 1, 1, 1},
    {2, 16, "alien01", "alien01", 1, 1, 1},
    {2, 17, "alien02", "alien02", 1, 1, 1},
    {2, 18, "sonde", "sonde", 1, 1, 1},
    {2, 19, "satellit", "satellit", 1, 1, 1},
    {2, 20, "rakete", "rakete", 1, 1, 1},
    {2, 21, "astronaut", "astronaut", 1, 1, 1},
    {3, 22, "komet", "komet", 1, 1, 1},
    {3, 30, "skysphere01", "skysphere01", 1, 1, 1},
    {3, 31, "skysphere02", "skysphere02", 1, 1, 1},
    {3, 32, "skysphere03", "skysphere03", 1, 1, 1},
    {3, 33, "skysphere04", "skysphere04", 1, 1, 1},
    {3, 34, "skysphere05", "skysphere05", 1, 1, 1},
    {3, 35, "skysphere06", "skysphere06", 1, 1, 1},
    {3, 36, "skysphere07", "skysphere07", 1, 1, 1},
    {3, 23, "p01", "p01", 1, 1, 1},
    {3, 24, "p02", "p02", 1, 1, 1},
    {3, 25, "p03", "p03", 1, 1, 1},
    {3, 26, "p04", "p04", 1, 1, 1},
    {3, 27, "p05", "p05", 1, 1, 1},
    {3, 28, "p06", "p06", 1, 1, 1},
    {3, 29, "p07", "p07", 1, 1, 1},
    {4, 37, "missile_plasma", "shot01", 1, 2, 0},
    {4, 38, "missile_glibber", "shot03", 1, 2, 0},
    {4, 39, "missile_homingcapsule", "shot02", 1, 2, 0},
    {4, 40, "missile_homingshot", "shot02", 1, 2, 0},
    {5, 41, "debris_balloonseat", "truemmer01", 1, 1, 0},
    {5, 42, "debris_racer", "truemmer02", 1, 1, 0},
    {5, 43, "debris_satellite", "truemmer03", 1, 1, 0},
    {5, 44, "debris_rocketwings", "truemmer04", 1, 1, 0},
    {6, 46, "ronly_feather01", "feather01", 1, 1, 0},
    {6, 47, "ronly_feather02", "feather02", 1, 1, 0},
    {6, 45, "ronly_particle", "(no media)", 5, 0, 0},
    {11, 48, "text_font_tech", "tech", 2, 0, 0},
    {10, 49, "image_mousecursor", "cursor", 4, 0, 0},
    {10, 50, "image_icon_plasma", "shot01icon", 4, 0, 0},
    {10, 51, "image_icon_glibber", "Shot03icon", 4, 0, 0},
    {10, 52, "image_icon_homing", "Shot02icon", 4, 0, 0},
    {10, 53, "image_pause_button", "pause_button", 4, 0, 0},
    {9, 55, "item_bomusweapon", "(no media)", 6, 0, 0},
};

/* Health, damage dealt and behaviour of the classes that have them.  The
 * behaviour developers point the function columns at their handlers;
 * NULL means "nothing". Columns: spawn, think, touch, hit, die. */
#define CB_NONE NULL, NULL, NULL, NULL, NULL
static const classbehaviour_t g_behaviours[] = {
    {1, 7, "chicken", 2.0f, 0.0f, Chicken_Spawn, NULL, NULL, Chicken_Hit, Chicken_Die},
    {1, 8, "superchicken", 3.0f, 0.0f, Chicken_SpawnSuper, NULL, NULL, Chicken_SuperHit, Chicken_Die},
    {1, 9, "bombe", 2.0f, 0.0f, Chicken_SpawnBomb, NULL, NULL, Chicken_BombHit, Chicken_BombDie},
    {1, 10, "motherchicken", 15.0f, 0.0f, Chicken_SpawnMother, NULL, NULL, Chicken_MotherHit, Chicken_MotherDie},
    {1, 11, "egg", 12.0f, 0.0f, Chicken_SpawnEgg, NULL, NULL, NULL, Chicken_EggHatch},
    {1, 12, "ballon", 5.0f, 0.0f, Target_SpawnBalloon, NULL, NULL, NULL, Target_BalloonBurst},
    {1, 13, "racer01", 4.0f, 2.0f, Target_SpawnRacer, NULL, NULL, Target_RacerHit, Target_RacerDie},
    {1, 14, "racer02", 4.0f, 2.0f, Target_SpawnRacer2, NULL, NULL, Target_RacerHit, Target_RacerDie},
    {1, 15, "enemy-ship", 15.0f, 10.0f, Target_SpawnShip, NULL, NULL, NULL, Target_ShipDie},
    {2, 16, "alien01", 2.0f, 5.0f, Space_SpawnAlien, NULL, NULL, NULL, Space_AlienDie},
    {2, 17, "alien02", 2.0f, 5.0f, Space_SpawnAlien, NULL, NULL, NULL, Space_AlienDie},
    {2, 18, "sonde", 1.0f, 0.0f, Space_SpawnSonde, NULL, NULL, NULL, Space_SondeDie},
    {2, 19, "satellit", 1.0f, 0.0f, Space_SpawnSatellite, NULL, NULL, NULL, Space_SatelliteDie},
    {2, 20, "rakete", 1.0f, 10.0f, Space_SpawnRocket, NULL, NULL, NULL, Space_RocketDie},
    {2, 21, "astronaut", 1.0f, 0.0f, Space_SpawnAstronaut, NULL, NULL, NULL, Space_AstronautDie},
    {3, 22, "komet", 1.0f, 1.0f, Space_SpawnComet, NULL, NULL, NULL, Space_CometDie},
    {3, 23, "p01", 0.0f, 0.0f, Space_SpawnPlanet, NULL, NULL, NULL, NULL},
    {3, 24, "p02", 0.0f, 0.0f, Space_SpawnPlanet, NULL, NULL, NULL, NULL},
    {3, 25, "p03", 0.0f, 0.0f, Space_SpawnPlanet, NULL, NULL, NULL, NULL},
    {3, 26, "p04", 0.0f, 0.0f, Space_SpawnPlanet, NULL, NULL, NULL, NULL},
    {3, 27, "p05", 0.0f, 0.0f, Space_SpawnPlanet, NULL, NULL, NULL, NULL},
    {3, 28, "p06", 0.0f, 0.0f, Space_SpawnPlanet, NULL, NULL, NULL, NULL},
    {3, 29, "p07", 0.0f, 0.0f, Space_SpawnPlanet, NULL, NULL, NULL, NULL},
};
#define BEHAVIOUR_COUNT (int)(sizeof(g_behaviours) / sizeof(g_behaviours[0]))

gentity_t g_entities[GENT_MAX];
static int g_gentcount;
static int g_particlecount;
static int g_precached;
static gentity_t **g_cachelist;
static int g_cachecount;
static float g_worldcentre[3];
static float g_worldradius = G_WORLD_RADIUS;

/* ---- class lookups ---- */

const classrow_t *G_ClassByIndex(int index)
{
    if (index < 0 || index >= CLASS_COUNT)
        return NULL;
    return &g_classes[index];
}

const classrow_t *G_ClassByName(const char *classname)
{
    if (!classname)
        return NULL;
    for (int i = 0; i < CLASS_COUNT; i++)
        if (strcasecmp(g_classes[i].classname, classname) == 0)
            return &g_classes[i];
    return NULL;
}

const classrow_t *G_ClassByNumbers(int mainclass, int subclass)
{
    for (int i = 0; i < CLASS_COUNT; i++)
        if (g_classes[i].mainclass == mainclass && g_classes[i].subclass == subclass)
            return &g_classes[i];
    return NULL;
}

const classbehaviour_t *G_ClassBehaviour(int mainclass, int subclass)
{
    for (int i = 0; i < BEHAVIOUR_COUNT; i++)
        if (g_behaviours[i].mainclass == mainclass && g_behaviours[i].subclass == subclass)
            return &g_behaviours[i];
    return NULL;
}

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
    const classbehaviour_t *b = G_ClassBehaviour(g->mainclass, g->subclass);
    if (!b)
        return;
    g->health = b->health;
    g->damage = b->damage;
    if (b->think)
        g->ent->think = b->think;
    if (b->touch)
        g->ent->touch = b->touch;
    if (b->spawn)
        b->spawn(g);
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

/* The class that a class produces when it acts (mother lays eggs, eggs
 * hatch chickens, the enemy ship drops bombs); NULL ends the chain. */
static const classrow_t *G_ChainNext(const classrow_t *row)
{
    switch (row->subclass) {
    case SUB_MOTHERCHICKEN:
        return G_ClassByNumbers(MC_TARGET, SUB_EGG);
    case SUB_EGG:
        return G_ClassByNumbers(MC_TARGET, SUB_CHICKEN);
    case SUB_ENEMYSHIP:
        return G_ClassByNumbers(MC_TARGET, SUB_BOMBE);
    default:
        return NULL;
    }
}

int _CacheClasses(struct level_s *level)
{
    G_FreeCacheList();
    gi.conprintf("* caching non-scriptable entity classes...\n");
    for (int i = 0; i < CLASS_COUNT; i++)
        if (g_classes[i].levelflag == 0 && !G_CacheRow(&g_classes[i]))
            return 0;
    gi.conprintf("* caching level entity classes...\n");
    spawnrec_t *s = &level->pending;
    for (spawnrec_t *r = s->next; r && r != s; r = r->next) {
        const classrow_t *row = G_ClassByName(r->name);
        for (; row; row = G_ChainNext(row))
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
