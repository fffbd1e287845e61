/*
 * g_class.h -- game object classes and gentities: the class table with one
 * record per class (media, behaviour, points, missile values, hit colours,
 * what the class produces), the gentity record with its per-class state,
 * the pool of 1024 gentities with spawning, removal and the per-frame
 * sweep, the class cache, the spawn scheduler of the level, and the small
 * setters other subsystems use on a gentity's engine entity.
 */
#ifndef G_CLASS_H
#define G_CLASS_H

#include "game_api.h"

struct level_s;
struct client_s;

constexpr int CLASS_COUNT = 54; /* rows of g_classes, checked where it is written */
#define GENT_MAX 1024
#define GENT_PARTICLE_LIMIT 681  /* particle spawns refused while above this */

/* gentity states */
enum {
    GS_FREE = 0,
    GS_INUSE = 1,
    GS_REMOVED = 2
};

/* mainclass groups */
enum {
    MC_TARGET = 1,     /* chickens, balloons, racers, enemy ship */
    MC_SPACE = 2,      /* aliens, probe, satellite, rocket, astronaut */
    MC_SCENERY = 3,    /* comet, sky spheres, planets */
    MC_MISSILE = 4,
    MC_DEBRIS = 5,
    MC_EFFECT = 6,     /* feathers, particles */
    MC_PLAYER = 7,
    MC_ATTACHMENT = 8, /* cockpit, arrow, weapon model, camera */
    MC_ITEM = 9,
    MC_IMAGE = 10,
    MC_TEXT = 11,
    MC_SOUND = 12
};

/* subclasses (unique over the table) */
enum {
    SUB_PLAYER_CLIENT = 1,
    SUB_PLAYER_BOT = 2,
    SUB_CLIENT_COCKPIT = 3,
    SUB_CLIENT_ARROW = 4,
    SUB_CLIENT_WEAPON = 5,
    SUB_CLIENT_CAMERA = 6,
    SUB_CHICKEN = 7,
    SUB_SUPERCHICKEN = 8,
    SUB_BOMBE = 9,
    SUB_MOTHERCHICKEN = 10,
    SUB_EGG = 11,
    SUB_BALLON = 12,
    SUB_RACER01 = 13,
    SUB_RACER02 = 14,
    SUB_ENEMYSHIP = 15,
    SUB_ALIEN01 = 16,
    SUB_ALIEN02 = 17,
    SUB_SONDE = 18,
    SUB_SATELLIT = 19,
    SUB_RAKETE = 20,
    SUB_ASTRONAUT = 21,
    SUB_KOMET = 22,
    SUB_P01 = 23,       /* planets p01..p07: 23..29 */
    SUB_P02 = 24,
    SUB_P03 = 25,
    SUB_P04 = 26,
    SUB_P05 = 27,
    SUB_P06 = 28,
    SUB_P07 = 29,
    SUB_SKYSPHERE01 = 30, /* sky spheres 01..07: 30..36 */
    SUB_SKYSPHERE02 = 31,
    SUB_SKYSPHERE03 = 32,
    SUB_SKYSPHERE04 = 33,
    SUB_SKYSPHERE05 = 34,
    SUB_SKYSPHERE06 = 35,
    SUB_SKYSPHERE07 = 36,
    SUB_MISSILE_PLASMA = 37,
    SUB_MISSILE_GLIBBER = 38,
    SUB_MISSILE_HOMINGCAPSULE = 39,
    SUB_MISSILE_HOMINGSHOT = 40,
    SUB_DEBRIS_BALLOONSEAT = 41,
    SUB_DEBRIS_RACER = 42,
    SUB_DEBRIS_SATELLITE = 43,
    SUB_DEBRIS_ROCKETWINGS = 44,
    SUB_RONLY_PARTICLE = 45,
    SUB_RONLY_FEATHER01 = 46,
    SUB_RONLY_FEATHER02 = 47,
    SUB_TEXT_FONT_TECH = 48,
    SUB_IMAGE_MOUSECURSOR = 49,
    SUB_IMAGE_ICON_PLASMA = 50,
    SUB_IMAGE_ICON_GLIBBER = 51,
    SUB_IMAGE_ICON_HOMING = 52,
    SUB_IMAGE_PAUSE_BUTTON = 53,
    SUB_CLASS_SOUND = 54,
    SUB_ITEM_BOMUSWEAPON = 55
};

/* levelflag of a class */
enum {
    LF_MODULE = 0,  /* made by the module itself, always cached */
    LF_LEVEL = 1    /* placed by level files, cached on demand */
};

typedef struct gentity_s gentity_t;

/* Behaviour hooks of a class. */
typedef void (*g_spawnbehaviour_f)(gentity_t *self);
typedef void (*g_hit_f)(gentity_t *self, float damage);
typedef void (*g_die_f)(gentity_t *self);

/* What a kill of a class is worth and how the floating number shows;
 * points 0: the class scores nothing. */
typedef struct {
    int points;
    float size;                 /* size of the score number */
    float color[4];
} points_t;

/* Flight values of a missile class. */
typedef struct {
    float scale;                /* model scale */
    float speed;
    float damage;               /* damage dealt */
} missilevalues_t;

/* One zone of a class's hit burst colours: the whole body (sphere 0,
 * taken unless a later sphere holds the hit point) or a sphere around
 * the origin plus offset. */
#define CLASS_HITZONES 4
typedef struct {
    int sphere;
    float offset[3];
    float radius;
    float colour[4];
} hitzone_t;

typedef struct {
    int count;                  /* 0: no hit burst */
    hitzone_t zones[CLASS_HITZONES];
} hitcolours_t;

typedef struct {
    int mainclass;
    int subclass;
} classkey_t;

/* One game class.  The first seven fields are what the engine and the level
 * files know of it; the rest have defaults so that a row names only what
 * the class has.  Starting the behaviour of a class with a spawn function
 * sets health and damage dealt, then calls spawn; a class without one
 * keeps the health 1 and damage 0 of G_Spawn.  hit and die name the
 * handlers that the class's touch hands to the damage rule (G_Damage). */
typedef struct classrow_s {
    int mainclass;              /* MC_* */
    int subclass;               /* SUB_*, unique over the table */
    const char *classname;
    const char *medianame;
    int kind;                   /* ENT_* handed to __spawnentity */
    int param;                  /* CM_* written at spawn (models only, else 0) */
    int levelflag;              /* LF_* */
    float health = 0.0f;
    float damage = 0.0f;        /* damage dealt to what the class hits */
    g_spawnbehaviour_f spawn = NULL;
    g_hit_f hit = NULL;
    g_die_f die = NULL;
    points_t score = {};
    missilevalues_t missile = {};
    hitcolours_t hitfx = {};
    classkey_t produces = {};   /* what it lays, hatches or drops; {0, 0}: nothing */
} classrow_t;

/* The game's record of one object.  Everything from 'weapon' on is
 * per-class state owned by the behaviours; the whole record is zero at
 * spawn apart from the common fields set by G_Spawn. */
struct gentity_s {
    entity_t *ent;              /* the engine entity */
    int state;                  /* GS_* */
    int mainclass;
    int subclass;
    const char *classname;      /* the class's text (or the spawn's) */
    const char *medianame;
    float spawntime;            /* gametime at spawn */
    float health;               /* 1.0 at spawn, then the class's record */
    float damage;               /* damage dealt to what this hits */

    /* spawn-in save area (scheduled entities fading in) */
    float saved_nextthink;
    ent_think_f saved_think;
    ent_touch_f saved_touch;
    ent_think_f saved_ondestroy;

    int score;                  /* the player's score */

    /* ---- per-class state ---- */
    /* player */
    int weapon;                 /* current weapon 0..2 */
    int muzzle;                 /* 0 or 1; also racer02 */
    int streak;                 /* chicken streak */
    int bonusactive;
    struct client_s *client;
    /* player view shake */
    float shakestart;
    float shakeduration;
    float nextratechange;
    float shakeamplitude;
    float pitchrate;
    float yawrate;
    ent_think_f shake_savedthink;
    /* weapon model recoil */
    int recoilphase;            /* 0 never kicked, 1 kicking, 2 returning */
    float restpos[3];
    float kickdist;
    /* bonus item */
    float bonusstart;
    /* chickens */
    float lastcluck;
    /* missiles (owner, homing target) and racer02 (target) */
    gentity_t *owner;
    gentity_t *target;
    float locktime;
    /* racer02 */
    float aimdir[3];
    int shotsleft;
    int aimed;
    float lastshot;
    /* enemy ship, rocket: the looping engine sound */
    gentity_t *enginesound;
    /* aliens */
    float lastexhaust;
    float lastsound;
    /* particles */
    float fadefactor;
    float gravity;
};

/* ---- class table (g_classes.cpp) ---- */
extern const classrow_t g_classes[CLASS_COUNT];
/* Row 0..CLASS_COUNT-1, else NULL. */
const classrow_t *G_ClassByIndex(int index);
/* First row with this classname, any letter case; NULL if none. */
const classrow_t *G_ClassByName(const char *classname);
/* First row with this mainclass and subclass; NULL if none. */
const classrow_t *G_ClassByNumbers(int mainclass, int subclass);
/* The class that row produces when it acts, or NULL. */
const classrow_t *G_ClassProduct(const classrow_t *row);

/* ---- pool ---- */
extern gentity_t g_entities[GENT_MAX];

gentity_t *G_Spawn(const char *medianame, int kind, int param, int mainclass,
                   int subclass, const char *classname);
gentity_t *G_SpawnClassRow(const classrow_t *row);
gentity_t *G_SpawnByClass(int mainclass, int subclass);
/* Spawns the class that class (mainclass, subclass) produces: the egg a
 * mother lays, the chicken an egg hatches, the bomb the ship drops. */
gentity_t *G_SpawnProductOf(int mainclass, int subclass);
/* Name of that product, for messages. */
const char *G_ProductName(int mainclass, int subclass);
gentity_t *G_SpawnImage(int subclass);
gentity_t *G_SpawnText(int subclass);
gentity_t *G_SpawnSound(const char *soundfile);
gentity_t *G_SpawnParticle(void);
/* Health, damage dealt and spawn behaviour from the class's record. */
void G_StartClassBehaviour(gentity_t *g);
/* Marks an in-use gentity removed (its engine entity pending removal). */
void G_Remove(gentity_t *g);
/* Next gentity in state 1 after prev (NULL: from the end of the class
 * cache); NULL at the end. */
gentity_t *G_NextInUse(gentity_t *prev);
/* The gentity whose index the engine entity holds; NULL if out of range. */
gentity_t *G_GentityOf(entity_t *e);
int G_GentityCount(void);
int G_PrecachedCount(void);
int G_ParticleCount(void);
/* Frees removed slots, removes objects that left the world sphere. */
void G_Sweep(void);
void G_RemoveAllAfterCache(void);
void G_RemoveCache(void);
/* Empties the class cache list (the gentities stay). */
void G_FreeCacheList(void);
/* Forgets every gentity without touching engine entities (tests, start). */
void G_ResetPool(void);

/* ---- world sphere ---- */
/* Radius of the world sphere about the origin: sqrt(480000), as a float. */
#define G_WORLD_RADIUS 692.820323f
void G_SetWorldSphere(float cx, float cy, float cz, float radius);
int G_InsideWorld(const float *pos);

/* ---- class cache and scheduler ---- */
int _CacheClasses(struct level_s *level);
void SC_CheckNewSpawns(struct level_s *level, float t);
/* Think of a scheduled entity while it fades in over one second. */
void SC_SpawnInThink(entity_t *e);

/* ---- setters on the engine entity ---- */
void G_SetModelScale(gentity_t *g, float scale);
void G_SetModelFrameRate(gentity_t *g, float rate);
void G_SetCollisionMode(gentity_t *g, int mode);
void G_SetImageSize(gentity_t *g, float width, float height);
void G_SetTextSize(gentity_t *g, float size);
void G_SetTextShadow(gentity_t *g, int on);
void G_SetTextInWorld(gentity_t *g, int on);

#endif
