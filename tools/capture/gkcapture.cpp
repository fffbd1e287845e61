/*
 * gkcapture.cpp -- renders the launcher's intro videos and background
 * picture with the engine itself, from the built game content.  A shot is
 * a table of actors (models of the archive, the title as world text) that
 * move along scripted paths past a camera that flies through the scene;
 * every frame is drawn off screen by the engine's own frame drawing at
 * twice the size, read back, box-filtered down and written out.
 *   gkcapture DIST video SHOT OUT.mpg FFMPEG   frames piped into ffmpeg (MPEG-1)
 *   gkcapture DIST picture SHOT OUT.bmp...     one frame as 24-bit BMP files
 * SHOT is farm, night or poster.  The exit status is 0 when everything
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
#include "vid.h"

#define SS 2                /* samples per pixel along each axis */
#define PI_F 3.14159265f

/* One actor: a model (or the title text) moving in a straight line from
 * `from` at time t0 with velocity vel; birds flap at `flap` frames a
 * second.  kind ENT_TEXT actors show `text` at size `size`, fading in
 * over a second from t0: in the world, or over everything in the 800 x 600
 * overlay when `from` has no depth (z = 0). */
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
} cap_shot_t;

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

#define N(a) (int)(sizeof(a) / sizeof((a)[0]))
static const cap_shot_t cap_shots[] = {
    {"farm", "skysphere01", 320, 240, 25, 3.2f, 0, farm_actors, N(farm_actors), farm_keys, N(farm_keys), 0},
    {"night", "skysphere03", 320, 240, 25, 3.2f, 0, night_actors, N(night_actors), night_keys, N(night_keys), 0},
    {"poster", "skysphere03", 457, 521, 0, 0, 0.3f, poster_actors, N(poster_actors), poster_keys,
     N(poster_keys), 1},
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
        if (a->kind == ENT_TEXT) {
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
        if (s->camrel && (a->kind != ENT_TEXT || a->from[2] != 0)) {
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

static int Video(const cap_shot_t *s, cap_scene_t *sc, const char *out, const char *ffmpeg)
{
    char cmd[4096];
    snprintf(cmd, sizeof(cmd),
             "'%s' -hide_banner -loglevel error -y -f image2pipe -c:v ppm -framerate %d -i - "
             "-c:v mpeg1video -q:v 5 -f mpeg '%s'",
             ffmpeg, s->fps, out);
    FILE *p = popen(cmd, "w");
    if (!p) {
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
    if (rc != 0)
        fprintf(stderr, "gkcapture: ffmpeg failed on %s\n", out);
    return rc == 0;
}

int main(int argc, char **argv)
{
    if (argc < 5) {
        fprintf(stderr, "usage: %s DIST video SHOT OUT FFMPEG | DIST picture SHOT OUT...\n", argv[0]);
        return 2;
    }
    const cap_shot_t *s = NULL;
    for (const cap_shot_t &c : cap_shots)
        if (!strcmp(c.name, argv[3]))
            s = &c;
    int video = !strcmp(argv[2], "video");
    if (!s || (!video && strcmp(argv[2], "picture")) || (video && argc < 6)) {
        fprintf(stderr, "gkcapture: unknown shot or missing arguments\n");
        return 2;
    }
    char cwd[4096];
    if (!getcwd(cwd, sizeof(cwd)))
        return 1;
    std::vector<std::string> outs;
    for (int i = 4; i < (video ? 5 : argc); i++) /* absolute before the change of directory */
        outs.push_back(argv[i][0] == '/' ? argv[i] : std::string(cwd) + "/" + argv[i]);
    if (chdir(argv[1]) != 0 || !FS_Mount("data/vex0.pk3", "data/")) {
        fprintf(stderr, "gkcapture: no content archive in %s\n", argv[1]);
        return 1;
    }
    Com_Strncpy(com_datadir, "data/", sizeof(com_datadir));
    com_countrycode = 44;
    setenv("SDL_VIDEODRIVER", "offscreen", 0); /* never a window on the desktop */
    Vid_Probe();
    int made = 0;
    for (int tries = 0; tries < 1200; tries++) { /* another engine may hold the display */
        made = Vid_Create("gkcapture", s->width * SS, s->height * SS, 32, 0);
        if (made || Vid_ErrorText())
            break;
        usleep(100 * 1000);
    }
    if (!made) {
        fprintf(stderr, "gkcapture: no OpenGL context: %s\n", Vid_ErrorText() ? Vid_ErrorText() : "?");
        return 1;
    }
    glViewport(0, 0, gls.viewwidth, gls.viewheight);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    cap_scene_t sc;
    int ok = BuildScene(s, &sc);
    if (ok && video) {
        ok = Video(s, &sc, outs[0].c_str(), argv[5]);
    } else if (ok) {
        std::vector<unsigned char> big, pic;
        RenderFrame(s, &sc, s->still, big, pic);
        for (const std::string &o : outs)
            ok &= WriteBMP(o.c_str(), s->width, s->height, pic);
    }
    Ent_Reset();
    Vid_Shutdown();
    Vid_Restore();
    FS_Shutdown();
    if (!ok)
        fprintf(stderr, "gkcapture: %s not written\n", s->name);
    return ok ? 0 : 1;
}
