/*
 * g_hud.cpp -- the heads-up display: text and image gentities in the
 * 800 x 600 overlay showing the score, the remaining time, the shrinking
 * countdown digits of the last six seconds and the time-up text, the
 * weapon label with the icon of the current weapon, and the bonus weapon's
 * countdown with its rise-and-shrink and fade-out animations.  The texts'
 * formats come from the translation package, so they are checked before
 * they are used.
 */
#include "g_local.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#define HUD_WARN_LIMIT 5.999999f

static const int hud_iconclasses[HUD_WEAPONS] = {
    SUB_IMAGE_ICON_PLASMA, SUB_IMAGE_ICON_GLIBBER, SUB_IMAGE_ICON_HOMING};

static hud_t *HUD_Get(void)
{
    return &cl_client.hud;
}

/* ---- text helpers ---- */

/* Length of the conversion at fmt (just after '%'), 0 when it is not a
 * plain int conversion; *isint tells whether it takes an argument. */
static int HUD_IntConversion(const char *fmt, int *isint)
{
    int n = 0;
    *isint = 0;
    if (fmt[0] == '%') {
        return 1;
    }
    while (fmt[n] && strchr("-+ #0", fmt[n]))
        n++;
    while (fmt[n] >= '0' && fmt[n] <= '9')
        n++;
    if (fmt[n] == '.') {
        n++;
        while (fmt[n] >= '0' && fmt[n] <= '9')
            n++;
    }
    if (fmt[n] && strchr("diuxXoc", fmt[n])) {
        *isint = 1;
        return n + 1;
    }
    return 0;
}

/* 1 when fmt has only int conversions, at most nargs of them. */
static int HUD_FormatSafe(const char *fmt, int nargs)
{
    int used = 0;
    for (const char *s = fmt; *s; s++) {
        if (*s != '%')
            continue;
        int isint;
        int n = HUD_IntConversion(s + 1, &isint);
        if (n == 0)
            return 0;
        used += isint;
        if (used > nargs)
            return 0;
        s += n;
    }
    return 1;
}

char *HUD_FormatInts(char *out, size_t size, const char *fmt, int nargs, int a, int b)
{
    if (!fmt)
        fmt = "";
    if (HUD_FormatSafe(fmt, nargs))
        snprintf(out, size, fmt, a, b);
    else
        snprintf(out, size, "%s", fmt);
    return out;
}

static void HUD_SetText(gentity_t *g, const char *text)
{
    if (g)
        snprintf(g->ent->u.txt.text, sizeof(g->ent->u.txt.text), "%s", text);
}

static void HUD_Place(gentity_t *g, float x, float y)
{
    g->ent->origin[0] = x;
    g->ent->origin[1] = y;
}

static void HUD_SetColor(gentity_t *g, float r, float gr, float b, float a)
{
    g->ent->color[0] = r;
    g->ent->color[1] = gr;
    g->ent->color[2] = b;
    g->ent->color[3] = a;
}

/* ---- creation ---- */

static gentity_t *HUD_Text(float x, float y, float size, const char *failure)
{
    gentity_t *g = G_SpawnText(SUB_TEXT_FONT_TECH);
    if (!g) {
        gi.conprintf("%s", failure);
        return NULL;
    }
    HUD_Place(g, x, y);
    if (size > 0.0f)
        G_SetTextSize(g, size);
    g->ent->u.txt.text[0] = 0;
    return g;
}

static int HUD_CreateTexts(hud_t *h)
{
    char buf[ENT_TEXTLEN];
    h->score = HUD_Text(400, 96, 20, "# HUD_Create: could not spawn score text\n");
    if (!h->score)
        return 0;
    HUD_SetText(h->score, HUD_FormatInts(buf, sizeof(buf), cl_client.texts[1], 1, CL_GetScore(), 0));
    h->timer = HUD_Text(400, 36, 20, "# HUD_Create: could not spawn timer text\n");
    if (!h->timer)
        return 0;
    h->warner = HUD_Text(400, 300, 300, "# HUD_Create: could not spawn time-up warner text\n");
    if (!h->warner)
        return 0;
    G_SetTextShadow(h->warner, 1);
    HUD_SetColor(h->warner, 1, 0, 0, 1);
    h->weapontext = HUD_Text(384, 66, 20, "# HUD_Create: could not spawn weapon text\n");
    if (!h->weapontext)
        return 0;
    G_SetTextShadow(h->weapontext, 1);
    HUD_SetText(h->weapontext, cl_client.texts[2] ? cl_client.texts[2] : "");
    return 1;
}

int HUD_Create(hud_t *h)
{
    memset(h, 0, sizeof(*h));
    if (!HUD_CreateTexts(h))
        return 0;
    for (int i = 0; i < HUD_WEAPONS; i++) {
        h->icons[i] = G_SpawnImage(hud_iconclasses[i]);
        if (!h->icons[i]) {
            gi.conprintf("# HUD_Create: could not spawn weapon icon imageclass #%i (subclass %i)\n",
                         i, hud_iconclasses[i]);
            return 0;
        }
        HUD_Place(h->icons[i], 442, 66);
        G_SetImageSize(h->icons[i], 40, 40);
        h->icons[i]->ent->state = ES_HIDDEN;
    }
    h->bonus = HUD_Text(400, 0, 0, "# HUD_Create: could not spawn bonusweapon text\n");
    if (!h->bonus)
        return 0;
    G_SetTextShadow(h->bonus, 1);
    HUD_SetColor(h->bonus, 1, 0.5f, 0, 1);
    return 1;
}

/* ---- showing ---- */

static void HUD_SetState(gentity_t *g, int state)
{
    if (g && g->ent)
        g->ent->state = state;
}

void HUD_Show(int on)
{
    hud_t *h = HUD_Get();
    int state = on ? ES_ACTIVE : ES_HIDDEN;
    HUD_SetState(h->score, state);
    HUD_SetState(h->timer, state);
    HUD_SetState(h->warner, state);
    HUD_SetState(h->weapontext, state);
    if (h->icon >= 0 && h->icon < HUD_WEAPONS)
        HUD_SetState(h->icons[h->icon], state);
    HUD_SetState(h->bonus, state);
    HUD_SetState(cl_client.player, state);
    HUD_SetState(cl_client.cockpit, state);
    HUD_SetState(cl_client.weapon, state);
    HUD_SetState(cl_client.arrow, state);
}

void HUD_ShowWeaponIcon(int i)
{
    hud_t *h = HUD_Get();
    if (i < 0 || i >= HUD_WEAPONS)
        return;
    for (int k = 0; k < HUD_WEAPONS; k++)
        HUD_SetState(h->icons[k], ES_HIDDEN);
    h->icon = i;
    HUD_SetState(h->icons[i], ES_ACTIVE);
}

/* ---- per frame ---- */

void HUD_UpdateTimer(float r)
{
    hud_t *h = HUD_Get();
    char buf[ENT_TEXTLEN];
    /* the play time comes from the level file: keep the conversion to int
     * defined whatever it holds */
    if (!(r > -1.0e9f))
        r = -1.0e9f;
    if (r > 1.0e9f)
        r = 1.0e9f;
    float fs = floorf(r);
    int s = (int)fs;
    HUD_SetText(h->timer, HUD_FormatInts(buf, sizeof(buf), cl_client.texts[3], 2, s / 60, s % 60));
    if (r <= HUD_WARN_LIMIT && h->warner) {
        entity_t *w = h->warner->ent;
        if (r > 0.0f) {
            float frac = r - fs;
            snprintf(w->u.txt.text, sizeof(w->u.txt.text), "%i", s % 60);
            w->color[3] = frac;
            w->u.txt.size = frac * 300.0f;
        } else {
            HUD_SetText(h->warner, cl_client.texts[4] ? cl_client.texts[4] : "");
            w->color[3] = 1.0f;
            w->u.txt.size = 100.0f;
        }
    }
    HUD_SetText(h->score, HUD_FormatInts(buf, sizeof(buf), cl_client.texts[1], 1, CL_GetScore(), 0));
}

/* ---- bonus text ---- */

static float HUD_FrameTime(void)
{
    return *gi.gametime - *gi.lastgametime;
}

static void HUD_BonusRiseThink(entity_t *e)
{
    float dt = HUD_FrameTime();
    if (e->origin[1] < 568.0f) {
        e->origin[1] += 180.0f * dt;
        if (e->origin[1] > 568.0f)
            e->origin[1] = 568.0f;
    }
    if (e->u.txt.size > 30.0f) {
        e->u.txt.size -= 80.0f * dt;
        if (e->u.txt.size < 30.0f)
            e->u.txt.size = 30.0f;
    }
}

static void HUD_BonusFadeThink(entity_t *e)
{
    e->color[3] -= 0.7f * HUD_FrameTime();
    if (e->color[3] <= 0.0f) {
        e->u.txt.text[0] = 0;
        e->think = NULL;
    }
}

void HUD_BonusTextStart(void)
{
    gentity_t *b = HUD_Get()->bonus;
    if (!b)
        return;
    b->ent->u.txt.size = 150.0f;
    b->ent->origin[1] = 300.0f;
    b->ent->color[3] = 1.0f;
    b->ent->nextthink = 0.0f;
    b->ent->think = HUD_BonusRiseThink;
}

void HUD_BonusTextFadeOut(void)
{
    gentity_t *b = HUD_Get()->bonus;
    if (!b)
        return;
    b->ent->nextthink = 0.0f;
    b->ent->think = HUD_BonusFadeThink;
}

void HUD_SetBonusTime(float left)
{
    gentity_t *b = HUD_Get()->bonus;
    char buf[ENT_TEXTLEN];
    int s = (int)left;
    HUD_SetText(b, HUD_FormatInts(buf, sizeof(buf), cl_client.texts[0], 2, s / 60, s % 60));
}
