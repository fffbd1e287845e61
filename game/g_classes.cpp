/*
 * g_classes.cpp -- the class table: one record per game class with what
 * the engine and the level files know of it (numbers, name, media, kind,
 * collision mode, level flag) and what the game does with it (health,
 * damage dealt, spawn/hit/die handlers, points, missile values, hit burst
 * colours, the class it produces), and the lookups by index, name and
 * numbers.  Row order is fixed: the class cache walks it, and level tools
 * and the engine see the rows by index.
 */
#include "g_local.h"

#include <strings.h>

/* The head of a row, in the order the engine and the level files know it. */
#define CLASS(mc, sub, name, media, k, cm, lf) \
    .mainclass = mc, .subclass = sub, .classname = name, .medianame = media, .kind = k, \
    .param = cm, .levelflag = lf

/* score number colours */
#define YELLOW {1.0f, 1.0f, 0.0f, 1.0f}
#define GOLD {1.0f, 0.75f, 0.0f, 1.0f}
#define AMBER {1.0f, 0.65f, 0.0f, 1.0f}
#define RED {1.0f, 0.0f, 0.0f, 1.0f}
/* hit burst colours */
#define ICE {0.75f, 0.94f, 1.0f, 1.0f}
#define WHITE {1.0f, 1.0f, 1.0f, 1.0f}
#define GREY {0.5f, 0.5f, 0.5f, 1.0f}
#define ROSE {0.88f, 0.31f, 0.31f, 1.0f}
#define ORANGE {1.0f, 0.5f, 0.0f, 1.0f}
#define TEAL {0.0f, 0.63f, 0.63f, 1.0f}
#define MAUVE {0.63f, 0.23f, 0.39f, 1.0f}
#define BROWN {0.44f, 0.28f, 0.12f, 1.0f}

/* Hit burst zones: the whole body, or a sphere around origin + offset. */
#define HIT_BODY(colour) {0, {0.0f, 0.0f, 0.0f}, 0.0f, colour}
#define HIT_SPHERE(x, y, z, r, colour) {1, {x, y, z}, r, colour}

constexpr classrow_t g_classes[CLASS_COUNT] = {
    {CLASS(MC_PLAYER, SUB_PLAYER_CLIENT, "player_client", "(no media)", ENT_NOMEDIA, 0, LF_MODULE),
     .hitfx = {1, {HIT_BODY(ICE)}}},
    {CLASS(MC_PLAYER, SUB_PLAYER_BOT, "player_bot", "(no media)", ENT_NOMEDIA, 0, LF_MODULE),
     .hitfx = {1, {HIT_BODY(ICE)}}},
    {CLASS(MC_ATTACHMENT, SUB_CLIENT_COCKPIT, "client_cockpit", "cockpit", ENT_MODEL, CM_VIEW,
           LF_MODULE)},
    {CLASS(MC_ATTACHMENT, SUB_CLIENT_ARROW, "client_arrow", "arrow", ENT_MODEL, CM_SPHERE,
           LF_MODULE)},
    {CLASS(MC_ATTACHMENT, SUB_CLIENT_WEAPON, "client_weapon", "weapon", ENT_MODEL, CM_VIEW,
           LF_MODULE)},
    {CLASS(MC_ATTACHMENT, SUB_CLIENT_CAMERA, "client_camera", "(no media)", ENT_NOMEDIA, 0,
           LF_MODULE)},

    /* targets */
    {CLASS(MC_TARGET, SUB_CHICKEN, "chicken", "chicken", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .health = 2.0f, .spawn = Chicken_Spawn, .hit = Chicken_Hit, .die = Chicken_Die,
     .score = {25, 20.0f, YELLOW}},
    {CLASS(MC_TARGET, SUB_SUPERCHICKEN, "superchicken", "superchicken", ENT_MODEL, CM_SPHERE,
           LF_LEVEL),
     .health = 3.0f, .spawn = Chicken_SpawnSuper, .hit = Chicken_SuperHit, .die = Chicken_Die,
     .score = {50, 20.0f, GOLD}},
    {CLASS(MC_TARGET, SUB_BOMBE, "bombe", "bombe", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .health = 2.0f, .spawn = Chicken_SpawnBomb, .hit = Chicken_BombHit, .die = Chicken_BombDie,
     .score = {75, 20.0f, AMBER}},
    {CLASS(MC_TARGET, SUB_MOTHERCHICKEN, "motherchicken", "motherchicken", ENT_MODEL, CM_SPHERE,
           LF_LEVEL),
     .health = 15.0f, .spawn = Chicken_SpawnMother, .hit = Chicken_MotherHit,
     .die = Chicken_MotherDie, .score = {100, 20.0f, GOLD}, .produces = {MC_TARGET, SUB_EGG}},
    {CLASS(MC_TARGET, SUB_EGG, "egg", "egg", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .health = 12.0f, .spawn = Chicken_SpawnEgg, .die = Chicken_EggHatch,
     .score = {100, 20.0f, GOLD}, .hitfx = {1, {HIT_BODY(WHITE)}},
     .produces = {MC_TARGET, SUB_CHICKEN}},
    {CLASS(MC_TARGET, SUB_BALLON, "ballon", "ballon", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .health = 5.0f, .spawn = Target_SpawnBalloon, .die = Target_BalloonBurst,
     .score = {10, 20.0f, YELLOW},
     .hitfx = {2, {HIT_BODY(GREY), HIT_SPHERE(0.0f, 40.0f, 0.0f, 50.0f, ROSE)}}},
    {CLASS(MC_TARGET, SUB_RACER01, "racer01", "racer01", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .health = 4.0f, .damage = 2.0f, .spawn = Target_SpawnRacer, .hit = Target_RacerHit,
     .die = Target_RacerDie, .score = {50, 20.0f, GOLD}, .hitfx = {1, {HIT_BODY(GREY)}}},
    {CLASS(MC_TARGET, SUB_RACER02, "racer02", "racer02", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .health = 4.0f, .damage = 2.0f, .spawn = Target_SpawnRacer2, .hit = Target_RacerHit,
     .die = Target_RacerDie, .score = {50, 20.0f, GOLD}, .hitfx = {1, {HIT_BODY(GREY)}}},
    {CLASS(MC_TARGET, SUB_ENEMYSHIP, "enemy-ship", "enemy-ship", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .health = 15.0f, .damage = 10.0f, .spawn = Target_SpawnShip, .die = Target_ShipDie,
     .score = {150, 30.0f, AMBER},
     .hitfx = {2, {HIT_BODY(GREY), HIT_SPHERE(0.0f, 0.0f, 0.0f, 70.0f, ORANGE)}},
     .produces = {MC_TARGET, SUB_BOMBE}},

    /* space objects */
    {CLASS(MC_SPACE, SUB_ALIEN01, "alien01", "alien01", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .health = 2.0f, .damage = 5.0f, .spawn = Space_SpawnAlien, .die = Space_AlienDie,
     .score = {-50, 20.0f, RED},
     .hitfx = {2, {HIT_BODY(GREY), HIT_SPHERE(0.0f, 20.0f, 0.0f, 20.0f, TEAL)}}},
    {CLASS(MC_SPACE, SUB_ALIEN02, "alien02", "alien02", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .health = 2.0f, .damage = 5.0f, .spawn = Space_SpawnAlien, .die = Space_AlienDie,
     .score = {-50, 20.0f, RED},
     .hitfx = {2, {HIT_BODY(GREY), HIT_SPHERE(0.0f, 20.0f, 0.0f, 20.0f, MAUVE)}}},
    {CLASS(MC_SPACE, SUB_SONDE, "sonde", "sonde", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .health = 1.0f, .spawn = Space_SpawnSonde, .die = Space_SondeDie, .score = {-50, 20.0f, RED},
     .hitfx = {1, {HIT_BODY(GREY)}}},
    {CLASS(MC_SPACE, SUB_SATELLIT, "satellit", "satellit", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .health = 1.0f, .spawn = Space_SpawnSatellite, .die = Space_SatelliteDie,
     .score = {-50, 20.0f, RED}, .hitfx = {1, {HIT_BODY(GREY)}}},
    {CLASS(MC_SPACE, SUB_RAKETE, "rakete", "rakete", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .health = 1.0f, .damage = 10.0f, .spawn = Space_SpawnRocket, .die = Space_RocketDie,
     .score = {-50, 20.0f, RED}, .hitfx = {1, {HIT_BODY(YELLOW)}}},
    {CLASS(MC_SPACE, SUB_ASTRONAUT, "astronaut", "astronaut", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .health = 1.0f, .spawn = Space_SpawnAstronaut, .die = Space_AstronautDie,
     .score = {-50, 20.0f, RED}, .hitfx = {1, {HIT_BODY(WHITE)}}},

    /* scenery */
    {CLASS(MC_SCENERY, SUB_KOMET, "komet", "komet", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .health = 1.0f, .damage = 1.0f, .spawn = Space_SpawnComet, .die = Space_CometDie,
     .hitfx = {1, {HIT_BODY(BROWN)}}},
    {CLASS(MC_SCENERY, SUB_SKYSPHERE01, "skysphere01", "skysphere01", ENT_MODEL, CM_SPHERE,
           LF_LEVEL)},
    {CLASS(MC_SCENERY, SUB_SKYSPHERE02, "skysphere02", "skysphere02", ENT_MODEL, CM_SPHERE,
           LF_LEVEL)},
    {CLASS(MC_SCENERY, SUB_SKYSPHERE03, "skysphere03", "skysphere03", ENT_MODEL, CM_SPHERE,
           LF_LEVEL)},
    {CLASS(MC_SCENERY, SUB_SKYSPHERE04, "skysphere04", "skysphere04", ENT_MODEL, CM_SPHERE,
           LF_LEVEL)},
    {CLASS(MC_SCENERY, SUB_SKYSPHERE05, "skysphere05", "skysphere05", ENT_MODEL, CM_SPHERE,
           LF_LEVEL)},
    {CLASS(MC_SCENERY, SUB_SKYSPHERE06, "skysphere06", "skysphere06", ENT_MODEL, CM_SPHERE,
           LF_LEVEL)},
    {CLASS(MC_SCENERY, SUB_SKYSPHERE07, "skysphere07", "skysphere07", ENT_MODEL, CM_SPHERE,
           LF_LEVEL)},
    {CLASS(MC_SCENERY, SUB_P01, "p01", "p01", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .spawn = Space_SpawnPlanet},
    {CLASS(MC_SCENERY, SUB_P02, "p02", "p02", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .spawn = Space_SpawnPlanet},
    {CLASS(MC_SCENERY, SUB_P03, "p03", "p03", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .spawn = Space_SpawnPlanet},
    {CLASS(MC_SCENERY, SUB_P04, "p04", "p04", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .spawn = Space_SpawnPlanet},
    {CLASS(MC_SCENERY, SUB_P05, "p05", "p05", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .spawn = Space_SpawnPlanet},
    {CLASS(MC_SCENERY, SUB_P06, "p06", "p06", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .spawn = Space_SpawnPlanet},
    {CLASS(MC_SCENERY, SUB_P07, "p07", "p07", ENT_MODEL, CM_SPHERE, LF_LEVEL),
     .spawn = Space_SpawnPlanet},

    /* missiles: model scale, speed, damage dealt */
    {CLASS(MC_MISSILE, SUB_MISSILE_PLASMA, "missile_plasma", "shot01", ENT_MODEL, CM_SWEPT,
           LF_MODULE),
     .missile = {0.25f, 300.0f, 0.55f}},
    {CLASS(MC_MISSILE, SUB_MISSILE_GLIBBER, "missile_glibber", "shot03", ENT_MODEL, CM_SWEPT,
           LF_MODULE),
     .missile = {0.25f, 500.0f, 2.0f}},
    {CLASS(MC_MISSILE, SUB_MISSILE_HOMINGCAPSULE, "missile_homingcapsule", "shot02", ENT_MODEL,
           CM_SWEPT, LF_MODULE),
     .missile = {0.5f, 400.0f, 0.0f}},
    {CLASS(MC_MISSILE, SUB_MISSILE_HOMINGSHOT, "missile_homingshot", "shot02", ENT_MODEL,
           CM_SWEPT, LF_MODULE),
     .missile = {0.5f, 120.0f, 5.0f}},

    /* debris */
    {CLASS(MC_DEBRIS, SUB_DEBRIS_BALLOONSEAT, "debris_balloonseat", "truemmer01", ENT_MODEL,
           CM_SPHERE, LF_MODULE),
     .hitfx = {1, {HIT_BODY(GREY)}}},
    {CLASS(MC_DEBRIS, SUB_DEBRIS_RACER, "debris_racer", "truemmer02", ENT_MODEL, CM_SPHERE,
           LF_MODULE),
     .hitfx = {1, {HIT_BODY(GREY)}}},
    {CLASS(MC_DEBRIS, SUB_DEBRIS_SATELLITE, "debris_satellite", "truemmer03", ENT_MODEL,
           CM_SPHERE, LF_MODULE),
     .hitfx = {1, {HIT_BODY(GREY)}}},
    {CLASS(MC_DEBRIS, SUB_DEBRIS_ROCKETWINGS, "debris_rocketwings", "truemmer04", ENT_MODEL,
           CM_SPHERE, LF_MODULE),
     .hitfx = {1, {HIT_BODY(RED)}}},

    /* effects, text, images, the bonus item */
    {CLASS(MC_EFFECT, SUB_RONLY_FEATHER01, "ronly_feather01", "feather01", ENT_MODEL, CM_SPHERE,
           LF_MODULE)},
    {CLASS(MC_EFFECT, SUB_RONLY_FEATHER02, "ronly_feather02", "feather02", ENT_MODEL, CM_SPHERE,
           LF_MODULE)},
    {CLASS(MC_EFFECT, SUB_RONLY_PARTICLE, "ronly_particle", "(no media)", ENT_PARTICLE, 0,
           LF_MODULE)},
    {CLASS(MC_TEXT, SUB_TEXT_FONT_TECH, "text_font_tech", "tech", ENT_TEXT, 0, LF_MODULE)},
    {CLASS(MC_IMAGE, SUB_IMAGE_MOUSECURSOR, "image_mousecursor", "cursor", ENT_IMAGE, 0,
           LF_MODULE)},
    {CLASS(MC_IMAGE, SUB_IMAGE_ICON_PLASMA, "image_icon_plasma", "shot01icon", ENT_IMAGE, 0,
           LF_MODULE)},
    {CLASS(MC_IMAGE, SUB_IMAGE_ICON_GLIBBER, "image_icon_glibber", "Shot03icon", ENT_IMAGE, 0,
           LF_MODULE)},
    {CLASS(MC_IMAGE, SUB_IMAGE_ICON_HOMING, "image_icon_homing", "Shot02icon", ENT_IMAGE, 0,
           LF_MODULE)},
    {CLASS(MC_IMAGE, SUB_IMAGE_PAUSE_BUTTON, "image_pause_button", "pause_button", ENT_IMAGE, 0,
           LF_MODULE)},
    {CLASS(MC_ITEM, SUB_ITEM_BOMUSWEAPON, "item_bomusweapon", "(no media)", ENT_NOMEDIA, 0,
           LF_MODULE)},
};

/* Checked while compiling: every row is written (a missing one would have
 * no name), subclasses are unique, and every product is in the table. */
static constexpr bool G_ClassKnown(classkey_t key)
{
    for (const classrow_t &c : g_classes)
        if (c.mainclass == key.mainclass && c.subclass == key.subclass)
            return true;
    return false;
}

static constexpr bool G_ClassTableSound(void)
{
    for (int i = 0; i < CLASS_COUNT; i++) {
        const classrow_t &c = g_classes[i];
        if (!c.classname || (c.produces.mainclass && !G_ClassKnown(c.produces)))
            return false;
        for (int j = 0; j < i; j++)
            if (g_classes[j].subclass == c.subclass)
                return false;
    }
    return true;
}
static_assert(G_ClassTableSound(),
              "class table: a row missing, a subclass twice or an unknown product");

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

const classrow_t *G_ClassProduct(const classrow_t *row)
{
    if (!row || !row->produces.mainclass)
        return NULL;
    return G_ClassByNumbers(row->produces.mainclass, row->produces.subclass);
}
