/*
 * game_api.h -- the one declaration of everything that crosses the
 * engine/game boundary: the engine entity record (shared memory that both
 * sides read and write), the sixteen engine services handed to Game_Import,
 * the Game_Main opcodes and the input event types.  Both vexengine and the
 * game module include this file and nothing else of each other.
 */
#ifndef GAME_API_H
#define GAME_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- engine entity record -------------------------------------------- */

enum {
    ENT_MODEL = 1,
    ENT_TEXT = 2,
    ENT_SOUND = 3,
    ENT_IMAGE = 4,
    ENT_PARTICLE = 5,
    ENT_NOMEDIA = 6
};

enum {
    ES_ACTIVE = 0,
    ES_HIDDEN = 1,
    ES_PENDREMOVE = 2
};

/* collision modes of model entities */
enum {
    CM_SPHERE = 1,   /* ordinary model, tested as a sphere (also 0) */
    CM_SWEPT = 2,    /* swept point against the other's mesh */
    CM_VIEW = 3      /* attached to the view, drawn in the overlay pass */
};

#define ENT_MAX 1024
#define ENT_NAMELEN 128
#define ENT_TEXTLEN 132

struct model_s;
struct font_s;
struct texture_s;
struct sound_s;

typedef struct entity_s entity_t;
typedef void (*ent_think_f)(entity_t *self);
typedef void (*ent_touch_f)(entity_t *self, entity_t *other);

typedef struct {
    int32_t collmode;
    int32_t firstframe;
    int32_t lastframe;
    struct model_s *model;
    float frame;
    float framerate;
    float scale;
    float radius;
    int32_t depth;
} ent_model_t;

typedef struct {
    char text[ENT_TEXTLEN];
    struct font_s *font;
    float size;
    int32_t shadow;
    int32_t inworld;
} ent_text_t;

typedef struct {
    struct sound_s *handle;
} ent_sound_t;

typedef struct {
    float width;
    float height;
    struct texture_s *tex;
} ent_image_t;

typedef struct {
    float size;
} ent_particle_t;

struct entity_s {
    int32_t gameslot;          /* index of the game's own record; engine never touches */
    char name[ENT_NAMELEN];    /* spawn name, without data directory */
    int32_t kind;              /* ENT_* */
    int32_t state;             /* ES_* */
    float spawntime;
    float nextthink;
    float origin[3];
    float oldorigin[3];
    float dir[3];              /* direction of motion, (0,0,-1) at spawn */
    float vec2[3];             /* second vector, (1,0,0) at spawn, unused by the engine */
    float speed;
    float angles[3];           /* pitch, yaw, roll in degrees */
    float avelocity[3];
    float color[4];
    float brightness;
    union {
        ent_model_t mdl;
        ent_text_t txt;
        ent_sound_t snd;
        ent_image_t img;
        ent_particle_t part;
    } u;
    ent_think_f think;
    ent_touch_f touch;
    ent_think_f ondestroy;
};

/* ---- engine services --------------------------------------------------- */

typedef entity_t *(*svc_spawnentity_f)(const char *name, int kind);
typedef entity_t *(*svc_pendremove_f)(entity_t *ent);
typedef void (*svc_conprintf_f)(const char *fmt, ...);
typedef void (*svc_void_f)(void);
typedef int (*svc_cachefile_f)(const char *path);
typedef void (*svc_play_f)(entity_t *ent, int loop);
typedef void (*svc_listener_f)(entity_t *ent);
typedef void (*svc_soundvolume_f)(struct sound_s *snd, float volume);
typedef void (*svc_mastervolume_f)(float volume);
typedef const char *(*svc_getstr_f)(int index);

/* The sixteen services in slot order.  Game_Import receives them as sixteen
 * separate arguments; this record is how each side keeps them. */
typedef struct {
    float *gametime;
    float *lastgametime;
    svc_spawnentity_f spawnentity;
    svc_pendremove_f pendremove;
    svc_conprintf_f conprintf;
    svc_void_f shutdown;
    svc_cachefile_f sfx_cachefile;
    svc_play_f sfx_play;
    svc_listener_f sfx_updatelistener3d;
    svc_soundvolume_f sfx_setsoundvolume;
    svc_mastervolume_f sfx_setmastervolume;
    svc_void_f sfx_pauseall;
    svc_void_f sfx_resumeall;
    svc_void_f gametime_pause;
    svc_void_f gametime_resume;
    svc_getstr_f lang_getlocalizedstr;
} game_services_t;

#define GAME_SERVICE_COUNT 16

typedef void (*game_import_f)(float *gametime, float *lastgametime,
                              svc_spawnentity_f spawnentity,
                              svc_pendremove_f pendremove,
                              svc_conprintf_f conprintf, svc_void_f shutdown,
                              svc_cachefile_f sfx_cachefile, svc_play_f sfx_play,
                              svc_listener_f sfx_updatelistener3d,
                              svc_soundvolume_f sfx_setsoundvolume,
                              svc_mastervolume_f sfx_setmastervolume,
                              svc_void_f sfx_pauseall, svc_void_f sfx_resumeall,
                              svc_void_f gametime_pause,
                              svc_void_f gametime_resume,
                              svc_getstr_f lang_getlocalizedstr);

/* Opcode 1 returns an entity address, so the result is pointer-sized. */
typedef intptr_t (*game_main_f)(int opcode, int a, int b, int c);

/* ---- opcodes --------------------------------------------------------- */

enum {
    GOP_INIT = 0,        /* a = level number; 0 on success */
    GOP_CAMERA = 1,      /* returns the camera entity or 0 */
    GOP_KEY = 2,         /* a = event type 0..2, b, c = arguments */
    GOP_POINTER = 3,     /* a = event type 3..8, b, c = arguments */
    GOP_FRAME = 4,       /* once per frame, before input */
    GOP_VERSION = 5,     /* returns the version string */
    GOP_PARTICLES = 6,   /* a = particle amount in percent */
    GOP_MOUSEINV = 7,    /* a = inversion flag */
    GOP_POSTDRAW = 8     /* once per frame, after drawing */
};

/* ---- input events ------------------------------------------------------ */

enum {
    IE_KEYDOWN = 0,
    IE_KEYUP = 1,
    IE_CHAR = 2,
    IE_LBUTTONDOWN = 3,
    IE_LBUTTONUP = 4,
    IE_RBUTTONDOWN = 5,
    IE_RBUTTONUP = 6,
    IE_MOUSEMOVE = 7,
    IE_WHEEL = 8,
    IE_CLOSE = 9
};

#define KEY_ESCAPE 141

#ifdef __cplusplus
}
#endif

#endif
