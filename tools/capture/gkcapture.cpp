/*
 * gkcapture.cpp -- renders the launcher's intro videos and background
 * picture with the engine itself, from the built game content.  A shot is
 * a table of actors (models of the archive, the title as world text) that
 * move along scripted paths past a camera that flies through the scene;
 * every frame is drawn off screen by the engine's own frame drawing at
 * twice the size, read back, box-filtered down and written out.  A video
 * gets its sound track mixed from the game's own sounds (the level music
 * and the effects of what happens on screen).
 *   gkcapture DIST video SHOT OUT.mpg FFMPEG   frames piped into ffmpeg (MPEG-1, MP2)
 *   gkcapture DIST picture SHOT OUT.bmp...     one frame as 24-bit BMP files
 *   gkcapture DIST pictures SHOT=OUT.bmp...    one frame of each shot
 * SHOT is farm or night (videos), poster (the page background) or one of
 * the launcher's small pictures.  The exit status is 0 when everything
 * was written.
 */
#include <GL/gl.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bytes.h"
#include "common.h"
#include "draw.h"
#include "entity.h"
#include "fs.h"
#include "glstate.h"
#include "sound.h"
#include "vid.h"

#define SS 2                /* samples per pixel along each axis */
#define PI_F 3.14159265f

/* One actor: a model (or the title text) moving in a straight line from
 * `from` at time t0 with velocity vel; birds flap at `flap` frames a
 * second.  kind ENT_TEXT actors show `text` at size `size`, fading in
 * over a second from t0: in the world, or over everything in the 800 x 600
 * overlay when `from` has no depth (z = 0).  kind ENT_IMAGE actors show
 * the image `name` at `size` (800 x 600 units) centred at `from`. */
typedef struct {
    const char *name;
    int kind;
    float t0;
    float from[3];
    float vel[3];
    float yaw, pitch;
    float flap;
    float scale;
    const char *text;
    float size;
    float color[3];
} cap_actor_t;

/* A sound of a video's track: a sample of the game at time t, at a gain;
 * fade > 0 fades it out over that many seconds before the video ends. */
typedef struct {
    float t;
    const char *file;
    float gain;
    float fade;
} cap_cue_t;

/* A camera key: at time t at pos, looking by yaw and pitch (degrees). */
typedef struct {
    float t;
    float pos[3];
    float yaw, pitch;
} cap_key_t;

typedef struct {
    const char *name;
    const char *sky;
    int width, height;        /* output pixels */
    int fps;
    float seconds;            /* 0: one picture at time `still` */
    float still;
    const cap_actor_t *actors;
    int numactors;
    const cap_key_t *keys;
    int numkeys;
    int camrel;               /* actors placed in the camera's frame (x right, y up, -z ahead) */
    int post;                 /* CAP_POST_*: what is made of the frame */
    const cap_cue_t *cues;    /* a video's sound track */
    int numcues;
} cap_shot_t;

enum {
    CAP_POST_NONE,
    CAP_POST_WINDOW,          /* the frame in a window on a desktop, on a screen */
    CAP_POST_SCREEN,          /* the frame filling a screen */
    CAP_POST_16BIT            /* the frame in 4 bits a colour */
};

#define GOLD {1.0f, 0.78f, 0.15f}
#define WHITE {1, 1, 1}

/* Day over the farm: chickens cross the flight path, balloons drift up,
 * and the title comes into view ahead. */
static const cap_actor_t farm_actors[] = {
    {"chicken", ENT_MODEL, 0, {-70, 30, -210}, {36, 2, 6}, 0, 0, 37, 1, NULL, 0, WHITE},
    {"chicken", ENT_MODEL, 0, {80, -10, -240}, {-32, 3, 4}, 0, 0, 40, 1, NULL, 0, WHITE},
    {"superchicken", ENT_MODEL, 0, {-60, 40, -290}, {28, -2, 10}, 0, 0, 34, 1, NULL, 0, WHITE},
    {"chicken", ENT_MODEL, 0, {60, 36, -360}, {-14, -4, 20}, 0, 0, 38, 1, NULL, 0, WHITE},
    {"chicken", ENT_MODEL, 0.8f, {-110, -18, -300}, {45, 6, 0}, 0, 0, 36, 1, NULL, 0, WHITE},
    {"ballon", ENT_MODEL, 0, {110, -30, -360}, {0, 8, 0}, 30, 0, 0, 1, NULL, 0, WHITE},
    {"ballon", ENT_MODEL, 0, {-130, -50, -440}, {0, 10, 0}, -20, 0, 0, 1, NULL, 0, WHITE},
    {"chicken", ENT_MODEL, 1.5f, {-90, 44, -380}, {30, -3, 6}, 0, 0, 39, 1, NULL, 0, WHITE},
    {"tech", ENT_TEXT, 1.7f, {400, 330, 0}, {0, 0, 0}, 0, 0, 0, 1, "GACKATRON", 120, GOLD},
};
static const cap_key_t farm_keys[] = {
    {0, {0, 10, 0}, -14, 0},
    {1.6f, {0, 12, -60}, 8, -3},
    {3.2f, {0, 14, -110}, 0, -2},
};

/* Night: a flock passes the moon, the camera turns to follow it, and the
 * title rises over the fields. */
static const cap_actor_t night_actors[] = {
    {"chicken", ENT_MODEL, 0, {-10, 66, -110}, {30, 3, 0}, 0, 0, 36, 1, NULL, 0, WHITE},
    {"chicken", ENT_MODEL, 0, {-28, 60, -122}, {30, 3, 0}, 0, 0, 39, 1, NULL, 0, WHITE},
    {"chicken", ENT_MODEL, 0, {-44, 72, -128}, {30, 3, 0}, 0, 0, 35, 1, NULL, 0, WHITE},
    {"motherchicken", ENT_MODEL, 0, {-80, 56, -150}, {32, 4, 0}, 0, 0, 30, 1, NULL, 0, WHITE},
    {"ballon", ENT_MODEL, 0, {120, -20, -230}, {0, 12, 0}, 10, 0, 0, 1, NULL, 0, WHITE},
    {"bombe", ENT_MODEL, 0.6f, {190, 80, -120}, {-40, -6, 0}, 0, 0, 38, 1, NULL, 0, WHITE},
    {"tech", ENT_TEXT, 1.6f, {100, 36, -150}, {0, 2, 0}, 0, 0, 0, 1, "GACKATRON", 26, GOLD},
};
static const cap_key_t night_keys[] = {
    {0, {0, 0, 0}, 10, -12},
    {1.6f, {0, 0, -8}, 28, -22},
    {3.2f, {0, 0, -16}, 34, -18},
};

/* The launcher's page background, under its white list text: the night
 * sky, the title in the top band (the internet page shows only the top),
 * birds and a balloon in the margins the labels leave free (the right
 * strip and the bottom). */
static const cap_actor_t poster_actors[] = {
    {"tech", ENT_TEXT, -1, {0, 100, -160}, {0, 0, 0}, 0, 0, 0, 1, "GACKATRON", 19, GOLD},
    {"chicken", ENT_MODEL, 0, {102, 20, -200}, {0, 0, 0}, -70, 0, 8, 1, NULL, 0, WHITE},
    {"chicken", ENT_MODEL, 0, {100, -30, -210}, {0, 0, 0}, -110, 0, 3, 1, NULL, 0, WHITE},
    {"superchicken", ENT_MODEL, 0, {132, 70, -300}, {0, 0, 0}, -80, 0, 5, 1, NULL, 0, WHITE},
    {"ballon", ENT_MODEL, 0, {84, -178, -310}, {0, 0, 0}, 25, 0, 0, 1, NULL, 0, WHITE},
    {"chicken", ENT_MODEL, 0, {-57, -104, -180}, {0, 0, 0}, 40, 0, 11, 1, NULL, 0, WHITE},
};
static const cap_key_t poster_keys[] = {
    {0, {0, 10, 0}, 8, -6},
};

/* The sound tracks: the level's music under the clucks of the birds as
 * they come into view, a balloon's burner, the bomb's whistle. */
static const cap_cue_t farm_cues[] = {
    {0, "sounds/bgm0.wav", 0.55f, 0.6f}, {0.15f, "sounds/kluck.wav", 0.9f, 0},
    {0.7f, "sounds/kluck3.wav", 0.8f, 0}, {1.2f, "sounds/kluck2.wav", 0.8f, 0},
    {1.75f, "sounds/kluck5.wav", 0.9f, 0}, {2.4f, "sounds/kluck4.wav", 0.7f, 0},
};
static const cap_cue_t night_cues[] = {
    {0, "sounds/bgm2.wav", 0.55f, 0.6f}, {0.2f, "sounds/kluck6.wav", 0.8f, 0},
    {0.6f, "sounds/rocket.wav", 0.5f, 0}, {1.4f, "sounds/kluck2.wav", 0.7f, 0},
    {2.1f, "sounds/kluck.wav", 0.8f, 0},
};

/* The launcher's small pictures, each a still of the game's own scenes:
 * the glider of the internet page and the entry dialog, the settings
 * page's mouse (a chicken under the game's cursor), world, window modes
 * and colour depths. */
static const cap_actor_t glider_actors[] = {
    {"racer01", ENT_MODEL, 0, {3, -1, -50}, {0, 0, 0}, 125, -12, 0, 1, NULL, 0, WHITE},
    {"chicken", ENT_MODEL, 0, {22, 12, -90}, {0, 0, 0}, -60, 0, 2, 1, NULL, 0, WHITE},
};
static const cap_key_t glider_keys[] = {{0, {0, 20, 0}, -30, -4}};
static const cap_actor_t mouse_actors[] = {
    {"chicken", ENT_MODEL, 0, {0, -1, -26}, {0, 0, 0}, -35, 10, 3, 1, NULL, 0, WHITE},
    {"cursor", ENT_IMAGE, 0, {470, 280, 0}, {0, 0, 0}, 0, 0, 0, 1, NULL, 200, WHITE},
};
static const cap_key_t mouse_keys[] = {{0, {0, 10, 0}, 20, 4}};
static const cap_actor_t world_actors[] = {
    {"p01", ENT_MODEL, 0, {0, 0, -330}, {0, 0, 0}, 60, 10, 0, 1, NULL, 0, WHITE},
    {"satellit", ENT_MODEL, 0, {52, 40, -120}, {0, 0, 0}, 40, 20, 0, 1, NULL, 0, WHITE},
};
static const cap_key_t world_keys[] = {{0, {0, 0, 0}, 0, 0}};
static const cap_actor_t modes_actors[] = {
    {"chicken", ENT_MODEL, 0, {-16, 4, -70}, {0, 0, 0}, -70, 0, 3, 1, NULL, 0, WHITE},
    {"superchicken", ENT_MODEL, 0, {20, 10, -95}, {0, 0, 0}, 60, 0, 6, 1, NULL, 0, WHITE},
    {"ballon", ENT_MODEL, 0, {30, -30, -160}, {0, 0, 0}, 20, 0, 0, 1, NULL, 0, WHITE},
};
static const cap_key_t modes_keys[] = {{0, {0, 10, 0}, -10, 2}};
static const cap_actor_t depth_actors[] = {
    {"ballon", ENT_MODEL, 0, {-30, -6, -110}, {0, 0, 0}, 30, 0, 0, 1, NULL, 0, WHITE},
    {"chicken", ENT_MODEL, 0, {28, 4, -60}, {0, 0, 0}, 70, 0, 4, 1, NULL, 0, WHITE},
};
static const cap_key_t depth_keys[] = {{0, {0, 0, 0}, 100, 8}};

#define N(a) (int)(sizeof(a) / sizeof((a)[0]))
#define STILL(name, sky, w, h, actors, keys, post)                                                    \
    {name, sky, w, h, 0, 0, 0.3f, actors, N(actors), keys, N(keys), 1, post, NULL, 0}
static const cap_shot_t cap_shots[] = {
    {"farm", "skysphere01", 320, 240, 25, 3.2f, 0, farm_actors, N(farm_actors), farm_keys, N(farm_keys), 0,
     CAP_POST_NONE, farm_cues, N(farm_cues)},
    {"night", "skysphere03", 320, 240, 25, 3.2f, 0, night_actors, N(night_actors), night_keys, N(night_keys), 0,
     CAP_POST_NONE, night_cues, N(night_cues)},
    STILL("poster", "skysphere03", 457, 521, poster_actors, poster_keys, CAP_POST_NONE),
    STILL("glider", "skysphere02", 80, 60, glider_actors, glider_keys, CAP_POST_NONE),
    STILL("mouse", "skysphere01", 64, 64, mouse_actors, mouse_keys, CAP_POST_NONE),
    STILL("world", "skysphere05", 64, 64, world_actors, world_keys, CAP_POST_NONE),
    STILL("windowed", "skysphere01", 64, 48, modes_actors, modes_keys, CAP_POST_WINDOW),
    STILL("fullscreen", "skysphere01", 64, 48, modes_actors, modes_keys, CAP_POST_SCREEN),
    STILL("depth16", "skysphere02", 90, 36, depth_actors, depth_keys, CAP_POST_16BIT),
    STILL("depth32", "skysphere02", 90, 36, depth_actors, depth_keys, CAP_POST_NONE),
};

/* ---- the scene ----------------------------------------------------------------- */

typedef struct {
    entity_t *sky, *camera;
    entity_t *ents[32];
} cap_scene_t;

static float Ease(float x)
{
    x = x < 0 ? 0 : x > 1 ? 1 : x;
    return x * x * (3 - 2 * x);
}

static void CameraAt(const cap_shot_t *s, float t, entity_t *cam)
{
    const cap_key_t *k = s->keys;
    int i = 0;
    while (i + 1 < s->numkeys - 1 && t > k[i + 1].t)
        i++;
    float f = 0;
    const cap_key_t *a = &k[i], *b = s->numkeys > 1 ? &k[i + 1] : a;
    if (b->t > a->t)
        f = Ease((t - a->t) / (b->t - a->t));
    for (int j = 0; j < 3; j++)
        cam->origin[j] = a->pos[j] + (b->pos[j] - a->pos[j]) * f;
    cam->angles[0] = a->pitch + (b->pitch - a->pitch) * f;
    cam->angles[1] = a->yaw + (b->yaw - a->yaw) * f;
}

static int BuildScene(const cap_shot_t *s, cap_scene_t *sc)
{
    memset(sc, 0, sizeof(*sc));
    sc->sky = Ent_Spawn(s->sky, ENT_MODEL);     /* first model: the background */
    sc->camera = Ent_Spawn("camera", ENT_NOMEDIA);
    if (!sc->sky || !sc->camera) {
        fprintf(stderr, "gkcapture: cannot load %s\n", s->sky);
        return 0;
    }
    for (int i = 0; i < s->numactors && i < 32; i++) {
        const cap_actor_t *a = &s->actors[i];
        entity_t *e = Ent_Spawn(a->name, a->kind);
        if (!e) {
            fprintf(stderr, "gkcapture: cannot load %s\n", a->name);
            return 0;
        }
        if (a->kind == ENT_IMAGE) {
            e->u.img.width = e->u.img.height = a->size;
        } else if (a->kind == ENT_TEXT) {
            snprintf(e->u.txt.text, sizeof(e->u.txt.text), "%s", a->text);
            e->u.txt.size = a->size;
            e->u.txt.inworld = a->from[2] != 0;
            e->u.txt.shadow = 1;
        } else {
            e->u.mdl.scale = a->scale;
        }
        memcpy(e->color, a->color, sizeof(a->color));
        sc->ents[i] = e;
    }
    return 1;
}

/* Places every actor and the camera at time t. */
static void PoseScene(const cap_shot_t *s, cap_scene_t *sc, float t)
{
    CameraAt(s, t, sc->camera);
    memcpy(sc->sky->origin, sc->camera->origin, sizeof(sc->sky->origin)); /* the sky stays far */
    for (int i = 0; i < s->numactors; i++) {
        const cap_actor_t *a = &s->actors[i];
        entity_t *e = sc->ents[i];
        float dt = t - a->t0;
        e->state = dt < 0 ? ES_HIDDEN : ES_ACTIVE;
        for (int j = 0; j < 3; j++)
            e->origin[j] = a->from[j] + a->vel[j] * (dt > 0 ? dt : 0);
        float turn = 0;
        if (s->camrel && a->kind != ENT_IMAGE && (a->kind != ENT_TEXT || a->from[2] != 0)) {
            const float *c = sc->camera->origin;
            float th = sc->camera->angles[1] * PI_F / 180, el = -sc->camera->angles[0] * PI_F / 180;
            float right[3] = {cosf(th), 0, sinf(th)};
            float up[3] = {-sinf(th) * sinf(el), cosf(el), cosf(th) * sinf(el)};
            float fwd[3] = {sinf(th) * cosf(el), sinf(el), -cosf(th) * cosf(el)};
            float x = e->origin[0], y = e->origin[1], z = e->origin[2];
            for (int j = 0; j < 3; j++)
                e->origin[j] = c[j] + x * right[j] + y * up[j] - z * fwd[j];
            turn = -sc->camera->angles[1];
        }
        if (a->kind == ENT_TEXT) {
            e->color[3] = a->t0 < 0 ? 1 : Ease(dt);
            continue;
        }
        if (a->kind == ENT_IMAGE)
            continue;
        float sp = sqrtf(a->vel[0] * a->vel[0] + a->vel[2] * a->vel[2]);
        e->angles[1] = (sp > 0 ? atan2f(a->vel[0], a->vel[2]) * 180 / PI_F : a->yaw) + turn;
        e->angles[0] = a->pitch;
        if (a->flap > 0 && e->u.mdl.lastframe > 0)
            e->u.mdl.frame = fmodf((dt > 0 ? dt : 0) * a->flap + i * 1.7f, (float)e->u.mdl.lastframe);
    }
}

/* ---- frames -------------------------------------------------------------------- */

/* Draws the scene at time t and leaves the w x h picture, top row first,
 * 3 bytes a pixel, in out. */
static void RenderFrame(const cap_shot_t *s, cap_scene_t *sc, float t, std::vector<unsigned char> &big,
                        std::vector<unsigned char> &out)
{
    int bw = s->width * SS, bh = s->height * SS;
    glViewport(0, 0, bw, bh);       /* the shot's corner of the context */
    gls.viewwidth = bw;
    gls.viewheight = bh;
    gls.aspect = (float)bw / (float)bh;
    PoseScene(s, sc, t);
    eng_lastgametime = eng_gametime;
    eng_gametime = t;
    R_BeginFrame();
    R_LoadParticleTexture();
    R_BuildDrawLists();
    R_DrawFrame(sc->camera);
    glFinish();
    big.resize((size_t)bw * bh * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, bw, bh, GL_RGB, GL_UNSIGNED_BYTE, big.data());
    out.resize((size_t)s->width * s->height * 3);
    for (int y = 0; y < s->height; y++)
        for (int x = 0; x < s->width; x++)
            for (int c = 0; c < 3; c++) {
                int sum = 0;
                for (int j = 0; j < SS; j++)
                    for (int i = 0; i < SS; i++)
                        sum += big[((size_t)(y * SS + j) * bw + x * SS + i) * 3 + c];
                /* GL rows run bottom-up */
                out[((size_t)(s->height - 1 - y) * s->width + x) * 3 + c] =
                    (unsigned char)((sum + SS * SS / 2) / (SS * SS));
            }
}

/* ---- what is made of a still ----------------------------------------------------- */

static void Fill(std::vector<unsigned char> &pic, int w, int x0, int y0, int x1, int y1, int r, int g, int b)
{
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++) {
            unsigned char *p = &pic[((size_t)y * w + x) * 3];
            p[0] = (unsigned char)r;
            p[1] = (unsigned char)g;
            p[2] = (unsigned char)b;
        }
}

/* The w x h frame scaled (bilinear) into the rectangle x0,y0 - x1,y1 of out. */
static void Blit(const std::vector<unsigned char> &src, int w, int h, std::vector<unsigned char> &out, int ow,
                 int x0, int y0, int x1, int y1)
{
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++) {
            float fx = ((x - x0) + 0.5f) * w / (x1 - x0) - 0.5f, fy = ((y - y0) + 0.5f) * h / (y1 - y0) - 0.5f;
            int ix = fx < 0 ? 0 : (int)fx, iy = fy < 0 ? 0 : (int)fy;
            int jx = ix + 1 < w ? ix + 1 : ix, jy = iy + 1 < h ? iy + 1 : iy;
            float ax = fx - ix < 0 ? 0 : fx - ix, ay = fy - iy < 0 ? 0 : fy - iy;
            for (int c = 0; c < 3; c++) {
                float a = src[((size_t)iy * w + ix) * 3 + c] * (1 - ax) + src[((size_t)iy * w + jx) * 3 + c] * ax;
                float b = src[((size_t)jy * w + ix) * 3 + c] * (1 - ax) + src[((size_t)jy * w + jx) * 3 + c] * ax;
                out[((size_t)y * ow + x) * 3 + c] = (unsigned char)(a * (1 - ay) + b * ay + 0.5f);
            }
        }
}

/* Window modes: a screen in its dark bezel, showing the game in a window
 * on a blue desktop, or the game over the whole screen.  Colour depth:
 * 16 bits keep 4 bits of red, green and blue (as textures in 16-bit modes
 * do), which shows the bands of the sky. */
static void Post(const cap_shot_t *s, std::vector<unsigned char> &pic)
{
    int w = s->width, h = s->height;
    if (s->post == CAP_POST_16BIT) {
        for (size_t i = 0; i < pic.size(); i++)
            pic[i] = (unsigned char)((pic[i] >> 4) * 17);
        return;
    }
    if (s->post != CAP_POST_WINDOW && s->post != CAP_POST_SCREEN)
        return;
    std::vector<unsigned char> frame = pic;
    Fill(pic, w, 0, 0, w, h, 34, 34, 40);                     /* bezel */
    int sx0 = 3, sy0 = 3, sx1 = w - 3, sy1 = h - 3;
    if (s->post == CAP_POST_SCREEN) {
        Blit(frame, w, h, pic, w, sx0, sy0, sx1, sy1);
        return;
    }
    for (int y = sy0; y < sy1; y++)                           /* desktop */
        Fill(pic, w, sx0, y, sx1, y + 1, 30 + 20 * (y - sy0) / (sy1 - sy0), 70, 120 - 30 * (y - sy0) / (sy1 - sy0));
    int wx0 = w / 6, wy0 = h / 6, wx1 = w - w / 6, wy1 = h - h / 8;
    Fill(pic, w, wx0, wy0, wx1, wy1, 200, 200, 210);          /* window border */
    Fill(pic, w, wx0 + 1, wy0 + 1, wx1 - 1, wy0 + 5, 70, 100, 180);   /* caption */
    Fill(pic, w, wx1 - 5, wy0 + 2, wx1 - 2, wy0 + 4, 220, 90, 80);
    Blit(frame, w, h, pic, w, wx0 + 1, wy0 + 5, wx1 - 1, wy1 - 1);
}

/* A 24-bit BMP (rows bottom-up, padded to 4 bytes).  The launcher keys out
 * the colour of the top-left pixel: that pixel gets a colour the picture
 * does not otherwise hold, so nothing else is keyed away. */
static int WriteBMP(const char *path, int w, int h, std::vector<unsigned char> pic)
{
    const unsigned char key[3] = {255, 0, 255};
    for (size_t i = 0; i < pic.size(); i += 3)
        if (!memcmp(&pic[i], key, 3))
            pic[i + 1] = 1;
    memcpy(&pic[0], key, 3);
    int stride = (w * 3 + 3) & ~3;
    FILE *f = fopen(path, "wb");
    if (!f)
        return 0;
    bytes_writer_t out;
    Bytes_InitFileWriter(&out, f);
    Bytes_WriteData(&out, "BM", 2);
    Bytes_WriteU32(&out, 54 + stride * h); /* file size */
    Bytes_WriteU32(&out, 0);
    Bytes_WriteU32(&out, 54);              /* pixel data offset */
    Bytes_WriteU32(&out, 40);              /* info header size */
    Bytes_WriteU32(&out, (uint32_t)w);
    Bytes_WriteU32(&out, (uint32_t)h);
    Bytes_WriteU16(&out, 1);               /* planes */
    Bytes_WriteU16(&out, 24);              /* bits per pixel */
    Bytes_WriteU32(&out, 0);               /* uncompressed */
    Bytes_WriteU32(&out, stride * h);      /* pixel data size */
    Bytes_WriteZeros(&out, 16);            /* resolution and palette */
    std::vector<unsigned char> row(stride, 0);
    for (int y = h - 1; y >= 0; y--) {
        for (int x = 0; x < w; x++) {
            const unsigned char *p = &pic[((size_t)y * w + x) * 3];
            row[x * 3 + 0] = p[2];
            row[x * 3 + 1] = p[1];
            row[x * 3 + 2] = p[0];
        }
        Bytes_WriteData(&out, row.data(), stride);
    }
    return fclose(f) == 0;
}

/* ---- a video's sound track ----------------------------------------------------------- */

#define TRACK_RATE 22050

/* Adds a 16-bit PCM sample of the game (mono, or the mean of stereo) at
 * time t with a gain; fade > 0 fades everything of it out over the last
 * fade seconds of the track. */
static int MixCue(std::vector<float> &mix, const cap_cue_t *c)
{
    FILE *f = fopen(c->file, "rb");
    wavheader_t h;
    if (!f || !WAV_ReadHeader(f, &h) || h.samplerate != TRACK_RATE || h.bitspersample != 16 ||
        (h.channels != 1 && h.channels != 2)) {
        fprintf(stderr, "gkcapture: cannot use sound %s\n", c->file);
        if (f)
            fclose(f);
        return 0;
    }
    std::vector<int16_t> data(h.datasize / 2);
    size_t got = fread(data.data(), 2, data.size(), f);
    fclose(f);
    size_t start = (size_t)(c->t * TRACK_RATE), fadefrom = mix.size() - (size_t)(c->fade * TRACK_RATE);
    for (size_t i = 0; i + h.channels <= got && start + i / h.channels < mix.size(); i += h.channels) {
        size_t at = start + i / h.channels;
        float v = h.channels == 2 ? (data[i] + data[i + 1]) / 65536.0f : data[i] / 32768.0f;
        float g = c->fade > 0 && at >= fadefrom ? (float)(mix.size() - at) / (mix.size() - fadefrom) : 1;
        mix[at] += v * c->gain * g;
    }
    return 1;
}

/* The shot's sound track as a 16-bit mono WAV file of exactly its length. */
static int WriteTrack(const cap_shot_t *s, const char *path)
{
    std::vector<float> mix((size_t)(s->seconds * TRACK_RATE), 0.0f);
    for (int i = 0; i < s->numcues; i++)
        if (!MixCue(mix, &s->cues[i]))
            return 0;
    FILE *f = fopen(path, "wb");
    if (!f)
        return 0;
    bytes_writer_t out;
    Bytes_InitFileWriter(&out, f);
    uint32_t bytes = (uint32_t)mix.size() * 2;
    Bytes_WriteData(&out, "RIFF", 4);
    Bytes_WriteU32(&out, 36 + bytes);
    Bytes_WriteData(&out, "WAVEfmt ", 8);
    Bytes_WriteU32(&out, 16);
    Bytes_WriteU16(&out, 1);                /* PCM */
    Bytes_WriteU16(&out, 1);                /* mono */
    Bytes_WriteU32(&out, TRACK_RATE);
    Bytes_WriteU32(&out, TRACK_RATE * 2);
    Bytes_WriteU16(&out, 2);
    Bytes_WriteU16(&out, 16);
    Bytes_WriteData(&out, "data", 4);
    Bytes_WriteU32(&out, bytes);
    for (float v : mix)                     /* soft limit where sounds pile up */
        Bytes_WriteU16(&out, (uint16_t)(int16_t)(tanhf(v) * 32000.0f));
    return fclose(f) == 0;
}

static int Video(const cap_shot_t *s, cap_scene_t *sc, const char *out, const char *ffmpeg)
{
    std::string track = std::string(out) + ".track.wav";
    if (!WriteTrack(s, track.c_str())) {
        fprintf(stderr, "gkcapture: no sound track for %s\n", out);
        return 0;
    }
    char cmd[8192];
    snprintf(cmd, sizeof(cmd),
             "'%s' -hide_banner -loglevel error -y -f image2pipe -c:v ppm -framerate %d -i - -i '%s' "
             "-c:v mpeg1video -q:v 5 -c:a mp2 -b:a 128k -ar 44100 -ac 2 -f mpeg '%s'",
             ffmpeg, s->fps, track.c_str(), out);
    FILE *p = popen(cmd, "w");
    if (!p) {
        remove(track.c_str());
        fprintf(stderr, "gkcapture: cannot run %s\n", ffmpeg);
        return 0;
    }
    std::vector<unsigned char> big, pic;
    int frames = (int)(s->seconds * s->fps + 0.5f);
    for (int i = 0; i < frames; i++) {
        RenderFrame(s, sc, (float)i / s->fps, big, pic);
        fprintf(p, "P6\n%d %d\n255\n", s->width, s->height);
        fwrite(pic.data(), 1, pic.size(), p);
    }
    int rc = pclose(p);
    remove(track.c_str());
    if (rc != 0)
        fprintf(stderr, "gkcapture: ffmpeg failed on %s\n", out);
    return rc == 0;
}

static const cap_shot_t *FindShot(const std::string &name)
{
    for (const cap_shot_t &c : cap_shots)
        if (name == c.name)
            return &c;
    return NULL;
}

/* One still: the shot drawn once, made into its picture and written to
 * every file named for it. */
static int Still(const cap_shot_t *s, const std::vector<std::string> &outs)
{
    cap_scene_t sc;
    int ok = BuildScene(s, &sc);
    if (ok) {
        std::vector<unsigned char> big, pic;
        RenderFrame(s, &sc, s->still, big, pic);
        Post(s, pic);
        for (const std::string &o : outs)
            ok &= WriteBMP(o.c_str(), s->width, s->height, pic);
    }
    Ent_Reset();
    if (!ok)
        fprintf(stderr, "gkcapture: %s not written\n", s->name);
    return ok;
}

/* The jobs of the command line: (shot, output files); 0 when it is wrong. */
static int ReadJobs(int argc, char **argv, const char *cwd,
                    std::vector<std::pair<const cap_shot_t *, std::vector<std::string>>> &jobs)
{
    int video = !strcmp(argv[2], "video"), many = !strcmp(argv[2], "pictures");
    if (!video && !many && strcmp(argv[2], "picture"))
        return 0;
    for (int i = 3; i < (video ? 5 : argc); i++) {
        std::string a = argv[i], shot = a, out;
        if (many) {
            size_t eq = a.find('=');
            if (eq == std::string::npos)
                return 0;
            shot = a.substr(0, eq);
            out = a.substr(eq + 1);
        } else if (i == 3) {
            jobs.push_back({FindShot(a), {}});
            continue;
        } else {
            out = a;
        }
        if (many)
            jobs.push_back({FindShot(shot), {}});
        /* absolute before the change of directory */
        jobs.back().second.push_back(out[0] == '/' ? out : std::string(cwd) + "/" + out);
    }
    for (const auto &j : jobs)
        if (!j.first || j.second.empty())
            return 0;
    return !jobs.empty() && (!video || argc >= 6);
}

int main(int argc, char **argv)
{
    char cwd[4096];
    std::vector<std::pair<const cap_shot_t *, std::vector<std::string>>> jobs;
    if (argc < 4 || !getcwd(cwd, sizeof(cwd)) || !ReadJobs(argc, argv, cwd, jobs)) {
        fprintf(stderr, "usage: %s DIST video SHOT OUT FFMPEG | DIST picture SHOT OUT... | "
                        "DIST pictures SHOT=OUT...\n", argv[0]);
        return 2;
    }
    if (chdir(argv[1]) != 0 || !FS_Mount("data/vex0.pk3", "data/")) {
        fprintf(stderr, "gkcapture: no content archive in %s\n", argv[1]);
        return 1;
    }
    Com_Strncpy(com_datadir, "data/", sizeof(com_datadir));
    com_countrycode = 44;
    setenv("SDL_VIDEODRIVER", "offscreen", 0); /* never a window on the desktop */
    Vid_Probe();
    int width = 0, height = 0, made = 0;
    for (const auto &j : jobs) {    /* one context that holds the largest shot */
        width = j.first->width > width ? j.first->width : width;
        height = j.first->height > height ? j.first->height : height;
    }
    for (int tries = 0; tries < 1200; tries++) { /* another engine may hold the display */
        made = Vid_Create("gkcapture", width * SS, height * SS, 32, 0);
        if (made || Vid_ErrorText())
            break;
        usleep(100 * 1000);
    }
    if (!made) {
        fprintf(stderr, "gkcapture: no OpenGL context: %s\n", Vid_ErrorText() ? Vid_ErrorText() : "?");
        return 1;
    }
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    int ok = 1;
    if (!strcmp(argv[2], "video")) {
        cap_scene_t sc;
        const cap_shot_t *s = jobs[0].first;
        ok = BuildScene(s, &sc) && Video(s, &sc, jobs[0].second[0].c_str(), argv[5]);
        Ent_Reset();
        if (!ok)
            fprintf(stderr, "gkcapture: %s not written\n", s->name);
    } else {
        for (const auto &j : jobs)
            ok &= Still(j.first, j.second);
    }
    Vid_Shutdown();
    Vid_Restore();
    FS_Shutdown();
    return ok ? 0 : 1;
}
