/*
 * g_camera.cpp -- the camera entity (the engine asks for it every frame and
 * views the world from its position, pitch and yaw), the player's view
 * turning with its 85 degree limits, the random-walk view shake that
 * explosions near the player cause, the player's per-frame think, and the
 * kick-back of the weapon model when it fires.
 */
#include "g_local.h"

static gentity_t *cam_camera;
static entity_t *cam_ent;

static float Cam_Clamp(float v)
{
    if (v > VIEW_LIMIT)
        return VIEW_LIMIT;
    if (v < -VIEW_LIMIT)
        return -VIEW_LIMIT;
    return v;
}

static float Cam_FrameTime(void)
{
    return *gi.gametime - *gi.lastgametime;
}

int Cam_Init(void)
{
    cam_camera = G_SpawnByClass(MC_ATTACHMENT, SUB_CLIENT_CAMERA);
    if (!cam_camera) {
        cam_ent = NULL;
        gi.conprintf("Cam_Init: could not spawn camera entity\n");
        return 0;
    }
    cam_ent = cam_camera->ent;
    return 1;
}

void Cam_Release(void)
{
    cam_camera = NULL;
    cam_ent = NULL;
}

entity_t *Cam_GetCameraEntity(void)
{
    if (!cam_camera || cam_camera->state != GS_INUSE || cam_camera->ent != cam_ent)
        return NULL;
    return cam_ent;
}

void Cam_Set(const float *pos, const float *dir, const float *angles)
{
    entity_t *cam = Cam_GetCameraEntity();
    if (!cam)
        return;
    Vec_Copy(pos, cam->origin);
    Vec_Copy(dir, cam->dir);
    Vec_Copy(angles, cam->angles);
    BGM_MoveToCamera();
    gi.sfx_updatelistener3d(cam);
}

/* ---- view ---- */

void View_Rebuild(gentity_t *player)
{
    entity_t *e = player->ent;
    float up[3];
    Vec_BasisFromAngles(e->angles[0], e->angles[1], e->angles[2], e->dir, e->vec2, up);
}

static void View_Changed(gentity_t *player)
{
    View_Rebuild(player);
    if (player->client)
        CL_UpdateAim(player->client);
}

void View_TurnYaw(gentity_t *player, float d)
{
    player->ent->angles[1] = Cam_Clamp(player->ent->angles[1] + d);
    View_Changed(player);
}

void View_TurnPitch(gentity_t *player, float d)
{
    player->ent->angles[0] = Cam_Clamp(player->ent->angles[0] + d);
    View_Changed(player);
}

static void View_DrawRates(gentity_t *p)
{
    p->pitchrate = (2.0f * G_Random() - 1.0f) * p->shakeamplitude;
    p->yawrate = (2.0f * G_Random() - 1.0f) * p->shakeamplitude;
    p->nextratechange = *gi.gametime + 0.025f;
}

static void View_ShakeThink(entity_t *e)
{
    gentity_t *p = G_GentityOf(e);
    if (!p)
        return;
    float now = *gi.gametime;
    if (!(now < p->shakestart + p->shakeduration)) {
        e->think = p->shake_savedthink;
        return;
    }
    float dt = Cam_FrameTime();
    View_TurnPitch(p, dt * p->pitchrate);
    View_TurnYaw(p, dt * p->yawrate);
    if (p->nextratechange <= now)
        View_DrawRates(p);
}

void View_Shake(gentity_t *player, float duration, float amplitude)
{
    player->shakestart = *gi.gametime;
    player->shakeduration = duration;
    player->shakeamplitude = amplitude;
    View_DrawRates(player);
    if (player->ent->think != View_ShakeThink)
        player->shake_savedthink = player->ent->think;
    player->ent->think = View_ShakeThink;
}

int View_IsShaking(gentity_t *player)
{
    return player && player->ent && player->ent->think == View_ShakeThink;
}

/* ---- the player's think ---- */

void Player_FrameThink(entity_t *e)
{
    gentity_t *p = G_GentityOf(e);
    if (p && p->client)
        CL_FiringStep(p->client);
}

void Player_ThinkOn(gentity_t *player)
{
    player->ent->think = Player_FrameThink;
}

void Player_ThinkOnReset(gentity_t *player)
{
    player->ent->think = Player_FrameThink;
    player->score = 0;
}

void Player_ThinkOff(gentity_t *player)
{
    player->ent->think = NULL;
}

/* ---- weapon recoil ---- */

static void Weapon_RecoilThink(entity_t *e)
{
    gentity_t *w = G_GentityOf(e);
    if (!w)
        return;
    if (w->recoilphase == 1) {
        float off[3];
        Vec_Sub(e->origin, w->restpos, off);
        if (Vec_Length(off) >= w->kickdist) {
            Vec_MA(w->restpos, -w->kickdist, e->dir, e->origin);
            w->recoilphase = 2;
            e->speed = 0.0f;
        }
        return;
    }
    float u[3], v[3], s[3];
    Vec_Sub(e->oldorigin, w->restpos, u);
    Vec_Sub(e->origin, w->restpos, v);
    Vec_Normalize(u);
    Vec_Normalize(v);
    Vec_Add(u, v, s);
    if (Vec_Length(s) > 1.0f) {
        e->speed += Cam_FrameTime() * 200.0f;
        if (e->speed > 1.5f)
            e->speed = 1.5f;
    } else {
        Vec_Copy(w->restpos, e->origin);
        e->speed = 0.0f;
        e->think = NULL;
    }
}

void Weapon_Recoil(gentity_t *w, float kick, float rate)
{
    if (!w || !w->ent)
        return;
    if (w->recoilphase == 0)
        Vec_Copy(w->ent->origin, w->restpos);
    w->recoilphase = 1;
    w->kickdist = kick;
    w->ent->think = Weapon_RecoilThink;
    w->ent->speed -= rate;
}
