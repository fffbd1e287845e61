/*
 * g_player.cpp -- the local player: CL_Init builds the player with its
 * bonus item, cockpit, weapon model, arrow and display; the weapon table
 * with fire intervals, muzzles, sounds and launch routines; firing from
 * alternating muzzles that converge 200 units ahead; weapon selection and
 * the bonus weapon that ten chickens in a row unlock for 16 seconds; the
 * score from the points of the class records; and the mouse input during play, which
 * turns the view within 85 degrees of straight ahead.
 */
#include "g_local.h"

#include <math.h>
#include <string.h>

client_t cl_client;

static const weapon_t cl_weapons[WEAPON_COUNT] = {
    {0.1f, "missile_plasma", "sounds/shot1.wav", {{-7, -5, 30}, {7, -5, 30}}, FirePlasma},
    {0.5f, "missile_glibber", "sounds/shot2.wav", {{-7, -5, 35}, {7, -5, 35}}, FireGlibber},
    {0.75f, "missile_homingcapsule", "sounds/shot3a.wav", {{-7, -5, 30}, {7, -5, 30}},
     FireHomingCapsule},
};

const weapon_t *Weapon_Get(int i)
{
    return (i >= 0 && i < WEAPON_COUNT) ? &cl_weapons[i] : NULL;
}

const points_t *CL_PointsFor(int mainclass, int subclass)
{
    const classrow_t *cls = G_ClassByNumbers(mainclass, subclass);
    return (cls && cls->score.points != 0) ? &cls->score : NULL;
}

gentity_t *CL_Player(void)
{
    gentity_t *p = cl_client.player;
    return (p && p->state == GS_INUSE && p->client == &cl_client) ? p : NULL;
}

/* ---- set-up ---- */

static const char *CL_Text(int i)
{
    const char *s = gi.lang_getlocalizedstr(i);
    return s ? s : "";
}

/* Spawns class (mainclass, subclass); logs fmt with the class name on
 * failure. */
static gentity_t *CL_SpawnPart(int mainclass, int subclass, const char *fmt)
{
    gentity_t *g = G_SpawnByClass(mainclass, subclass);
    if (!g) {
        const classrow_t *row = G_ClassByNumbers(mainclass, subclass);
        gi.conprintf(fmt, row ? row->classname : "?");
    }
    return g;
}

static int CL_SpawnAll(client_t *c)
{
    c->player = CL_SpawnPart(MC_PLAYER, SUB_PLAYER_CLIENT, "CL_Init: could not spawn player entity\n");
    if (!c->player)
        return 0;
    c->bonusitem = CL_SpawnPart(MC_ITEM, SUB_ITEM_BOMUSWEAPON,
                                "CL_Init: could not spawn bonusweapon entity\n");
    if (!c->bonusitem)
        return 0;
    c->cockpit = CL_SpawnPart(MC_ATTACHMENT, SUB_CLIENT_COCKPIT,
                              "CL_Init: could not spawn cockpit model '%s'\n");
    if (!c->cockpit)
        return 0;
    c->weapon = CL_SpawnPart(MC_ATTACHMENT, SUB_CLIENT_WEAPON,
                             "CL_Init: could not spawn weapon model '%s'\n");
    if (!c->weapon)
        return 0;
    c->arrow = CL_SpawnPart(MC_ATTACHMENT, SUB_CLIENT_ARROW,
                            "CL_Init: could not spawn arrow model '%s'\n");
    return c->arrow != NULL;
}

/* Pitch and yaw of a view direction (the inverse of the view basis), so
 * that the straight-ahead direction (0, 0, -1) is pitch 0, yaw 0. */
static void CL_ViewAngles(const float *d, float *angles)
{
    float y = d[1];
    if (y > 1.0f)
        y = 1.0f;
    if (y < -1.0f)
        y = -1.0f;
    angles[0] = asinf(-y) * 180.0f / G_PI;
    angles[1] = atan2f(d[0], -d[2]) * 180.0f / G_PI;
    angles[2] = 0.0f;
}

int CL_Init(void)
{
    client_t *c = &cl_client;
    memset(c, 0, sizeof(*c));
    for (int i = 0; i < CL_TEXTS; i++)
        c->texts[i] = CL_Text(i);
    if (!CL_SpawnAll(c))
        return 0;
    if (!HUD_Create(&c->hud))
        return 0;
    c->fireheld = 0;
    c->lastfire = 0.0f;
    c->player->score = 0;
    c->player->client = c;
    CL_SelectWeapon(0);

    G_SetModelScale(c->cockpit, 0.01f);
    c->cockpit->ent->origin[2] = -1.0f;
    G_SetModelScale(c->weapon, 0.01f);
    c->weapon->ent->origin[2] = -1.6f;

    entity_t *a = c->arrow->ent;
    Vec_Set(a->dir, 0.0f, 0.0f, -1.0f);
    Vec_Normalize(a->dir);
    Ent_OrientToDirection(a);
    G_SetModelScale(c->arrow, 0.08f);
    a->color[3] = 1.0f;

    entity_t *p = c->player->ent;
    Vec_Set(p->origin, 0.0f, 0.0f, 0.0f);
    Vec_Set(p->dir, 0.0f, 0.0f, -1.0f);
    Vec_Normalize(p->dir);
    CL_ViewAngles(p->dir, p->angles);
    View_Rebuild(c->player);

    CL_UpdateAim(c);
    CL_ResetPlayer();
    return 1;
}

void CL_Release(void)
{
    memset(&cl_client, 0, sizeof(cl_client));
    Pause_Release();
}

void CL_UpdateAim(client_t *c)
{
    if (!c->player)
        return;
    entity_t *p = c->player->ent;
    float side[3], up[3];
    Vec_Basis(p->dir, side, up);
    if (c->arrow) {
        float pos[3];
        Vec_MA(p->origin, 16.0f, up, pos);
        Vec_MA(pos, 30.0f, p->dir, c->arrow->ent->origin);
    }
    Cam_Set(p->origin, p->dir, p->angles);
}

/* ---- player state ---- */

void CL_ResetPlayer(void)
{
    gentity_t *p = CL_Player();
    cl_client.fireheld = 0;
    if (p)
        Player_ThinkOnReset(p);
}

void CL_PlayerThinkOff(void)
{
    gentity_t *p = CL_Player();
    if (p)
        Player_ThinkOff(p);
    cl_client.fireheld = 0;
}

void CL_PlayerThinkOn(void)
{
    gentity_t *p = CL_Player();
    if (p)
        Player_ThinkOn(p);
    cl_client.fireheld = 0;
}

int CL_GetScore(void)
{
    gentity_t *p = cl_client.player;
    return (p && p->client == &cl_client) ? p->score : 0;
}

void CL_SelectWeapon(int i)
{
    gentity_t *p = cl_client.player;
    if (!p || i < 0 || i >= WEAPON_COUNT)
        return;
    p->weapon = i;
    p->muzzle = 0;
    HUD_ShowWeaponIcon(i);
}

/* ---- input ---- */

/* Turn of the view in degrees per unit of mouse movement from the engine. */
#define CL_MOUSE_SCALE 0.0005f

void CL_PointerInput(int type, int a, int b)
{
    client_t *c = &cl_client;
    gentity_t *p = CL_Player();
    if (type == IE_LBUTTONDOWN) {
        c->fireheld = 1;
        return;
    }
    if (type == IE_LBUTTONUP) {
        c->fireheld = 0;
        return;
    }
    if (!p || View_IsShaking(p))
        return;
    if (type == IE_RBUTTONDOWN) {
        int next = (p->weapon + 1) % WEAPON_COUNT;
        if (!p->bonusactive && next == WEAPON_BONUS)
            next = 0;
        CL_SelectWeapon(next);
    } else if (type == IE_MOUSEMOVE) {
        if (a != 0)
            View_TurnYaw(p, (float)a * CL_MOUSE_SCALE);
        if (b != 0)
            View_TurnPitch(p, (float)b * (g_mouseinvert ? CL_MOUSE_SCALE : -CL_MOUSE_SCALE));
    }
}

/* ---- firing ---- */

void CL_FiringStep(client_t *c)
{
    gentity_t *p = c->player;
    if (!c->fireheld || !p)
        return;
    const weapon_t *w = Weapon_Get(p->weapon);
    float now = *gi.gametime;
    if (!w || !(now >= c->lastfire + w->interval))
        return;
    float dir[3];
    Vec_Copy(p->ent->dir, dir);
    Weapon_Fire(p, vec3_origin, dir);
    c->lastfire = now;
    p->muzzle = (p->muzzle + 1) % 2;
    if (c->weapon)
        Weapon_Recoil(c->weapon, 0.3f, 5.0f);
}

void Weapon_Fire(gentity_t *shooter, const float *origin, const float *dir)
{
    if (shooter->muzzle < 0 || shooter->muzzle > 1) {
        gi.conprintf("# Weapon_Fire: '%s': invalid muzzle no.: %i (expected 0..%i)\n",
                     shooter->ent->name, shooter->muzzle, 1);
        return;
    }
    const weapon_t *w = Weapon_Get(shooter->weapon);
    if (!w) {
        gi.conprintf("# Weapon_Fire: '%s': invalid weapon: %i (expected 0..%i)\n",
                     shooter->ent->name, shooter->weapon, WEAPON_COUNT - 1);
        return;
    }
    const float *m = w->muzzles[shooter->muzzle];
    float right[3], up[3], start[3], aim[3], aimdir[3];
    Vec_Basis(dir, right, up);
    Vec_Add(shooter->ent->origin, origin, start);
    Vec_MA(start, m[0], right, start);
    Vec_MA(start, m[1], up, start);
    Vec_MA(start, m[2], dir, start);
    Vec_MA(origin, 200.0f, dir, aim);
    Vec_Sub(aim, start, aimdir);
    Vec_Normalize(aimdir);
    w->launch(start, aimdir, shooter);
    SoundBackend_Play(start, vec3_origin, 0.0f, w->sound);
}

/* ---- score and bonus weapon ---- */

static void CL_BonusCountdown(entity_t *e)
{
    gentity_t *item = G_GentityOf(e);
    gentity_t *p = cl_client.player;
    if (!item || !p)
        return;
    float left = BONUS_SECONDS - (*gi.gametime - item->bonusstart);
    if (left <= 0.0f) {
        p->bonusactive = 0;
        if (p->weapon == WEAPON_BONUS)
            CL_SelectWeapon(0);
        HUD_BonusTextFadeOut();
        e->think = NULL;
        return;
    }
    HUD_SetBonusTime(left);
}

void CL_StartBonusWeapon(gentity_t *player)
{
    gentity_t *item = cl_client.bonusitem;
    if (item) {
        item->bonusstart = *gi.gametime;
        item->ent->nextthink = 0.0f;
        item->ent->think = CL_BonusCountdown;
    }
    HUD_BonusTextStart();
    if (player == cl_client.player)
        CL_SelectWeapon(WEAPON_BONUS);
}

void CL_ScoreKill(gentity_t *player, gentity_t *victim)
{
    if (!player || !victim)
        return;
    const points_t *row = CL_PointsFor(victim->mainclass, victim->subclass);
    if (row) {
        player->score += row->points;
        if (player->score < 0)
            player->score = 0;
    }
    if (!player->bonusactive) {
        if (victim->mainclass == MC_TARGET && victim->subclass == SUB_CHICKEN)
            player->streak++;
        else
            player->streak = 0;
        if (player->streak >= BONUS_STREAK) {
            player->streak = 0;
            player->bonusactive = 1;
            CL_StartBonusWeapon(player);
        }
    }
    if (row) {
        float to[3], at[3];
        Vec_Scale(player->ent->origin, 1.0f, at);
        Vec_Sub(at, victim->ent->origin, to);
        Vec_Normalize(to);
        Vec_MA(victim->ent->origin, 20.0f, to, at);
        FX_ScorePopup(at, row->points, row->size, row->color);
    }
}
