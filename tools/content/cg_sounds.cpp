/*
 * cg_sounds.cpp -- the synthesised sound effects: hen clucks and squawks
 * (a jittery pulse voice through formant filters), the three weapons'
 * shots, the capsule burst, three explosions, the alien warble and the
 * seamless engine loops of the enemy ship and the rocket.  The level
 * music is in cg_music.cpp.
 */
#include "cg_sound.h"

#include <math.h>
#include <stdio.h>

#define PI 3.14159265f

/* ---- building blocks ------------------------------------------------------------ */

void SND_BiquadBand(cg_biquad_t *f, float freq, float q)
{
    float w = 2 * PI * freq / CG_RATE, al = sinf(w) / (2 * q), a0 = 1 + al;
    f->b0 = al / a0;
    f->b1 = 0;
    f->b2 = -al / a0;
    f->a1 = -2 * cosf(w) / a0;
    f->a2 = (1 - al) / a0;
}

void SND_BiquadLow(cg_biquad_t *f, float freq, float q)
{
    float w = 2 * PI * freq / CG_RATE, al = sinf(w) / (2 * q), c = cosf(w), a0 = 1 + al;
    f->b0 = (1 - c) / 2 / a0;
    f->b1 = (1 - c) / a0;
    f->b2 = f->b0;
    f->a1 = -2 * c / a0;
    f->a2 = (1 - al) / a0;
}

float SND_Biquad(cg_biquad_t *f, float x)
{
    float y = f->b0 * x + f->b1 * f->x1 + f->b2 * f->x2 - f->a1 * f->y1 - f->a2 * f->y2;
    f->x2 = f->x1;
    f->x1 = x;
    f->y2 = f->y1;
    f->y1 = y;
    return y;
}

float SND_Noise(cg_rng_t *r)
{
    return CG_Rand(r) * 2 - 1;
}

/* Attack-decay envelope: rises in `att` seconds, then decays with rate k. */
static float Env(float t, float att, float k)
{
    if (t < 0)
        return 0;
    if (t < att)
        return t / att;
    return expf(-(t - att) * k);
}

/* ---- hens ----------------------------------------------------------------------- */

/* One cluck of `len` seconds at sample offset `at`: pitch follows f0 at
 * the start to f1 at the end; `noise` adds breath. */
static void Cluck(cg_wave_t *w, float at, float len, float f0, float f1, float noise, uint32_t seed)
{
    cg_rng_t r;
    CG_Seed(&r, seed);
    cg_biquad_t fm1 = {}, fm2 = {}, fm3 = {};
    SND_BiquadBand(&fm1, 950, 4);
    SND_BiquadBand(&fm2, 1750, 5);
    SND_BiquadBand(&fm3, 3100, 6);
    float phase = 0;
    size_t start = (size_t)(at * CG_RATE), n = (size_t)(len * CG_RATE);
    for (size_t i = 0; i < n && start + i < w->s.size(); i++) {
        float t = (float)i / n;
        float f = f0 + (f1 - f0) * t + 25 * (CG_Rand(&r) - 0.5f);
        phase += f / CG_RATE;
        if (phase >= 1)
            phase -= 1;
        float src = (phase < 0.18f ? 1.0f : -0.22f) + noise * SND_Noise(&r);
        float y = SND_Biquad(&fm1, src) * 1.0f + SND_Biquad(&fm2, src) * 0.8f + SND_Biquad(&fm3, src) * 0.35f;
        float e = Env(t * len, 0.008f, 6.0f / len) * (1 - t * 0.3f);
        w->s[start + i] += y * e;
    }
}

static void MakeKluck(cg_wave_t *w, int kind)
{
    switch (kind) {
    case 1: /* buk buk buk */
        CG_WaveInit(w, 0.75f);
        Cluck(w, 0.00f, 0.11f, 520, 430, 0.15f, 11);
        Cluck(w, 0.20f, 0.10f, 540, 450, 0.15f, 12);
        Cluck(w, 0.40f, 0.13f, 560, 420, 0.15f, 13);
        break;
    case 2: /* b'gawk */
        CG_WaveInit(w, 0.7f);
        Cluck(w, 0.00f, 0.08f, 480, 520, 0.2f, 21);
        Cluck(w, 0.10f, 0.45f, 640, 860, 0.3f, 22);
        break;
    case 3: /* the mother's low clucking */
        CG_WaveInit(w, 1.0f);
        for (int k = 0; k < 4; k++)
            Cluck(w, 0.22f * k, 0.14f, 360 - 10.0f * k, 300, 0.12f, 31 + k);
        break;
    case 4: /* hit squawk */
        CG_WaveInit(w, 0.4f);
        Cluck(w, 0.0f, 0.35f, 980, 1250, 0.55f, 41);
        break;
    case 5: /* falling squawk */
        CG_WaveInit(w, 0.45f);
        Cluck(w, 0.0f, 0.4f, 1300, 700, 0.5f, 51);
        break;
    default: /* bok bok bok BAGAAWK */
        CG_WaveInit(w, 1.5f);
        Cluck(w, 0.00f, 0.10f, 500, 430, 0.15f, 61);
        Cluck(w, 0.17f, 0.10f, 510, 440, 0.15f, 62);
        Cluck(w, 0.34f, 0.10f, 520, 450, 0.15f, 63);
        Cluck(w, 0.55f, 0.09f, 560, 600, 0.2f, 64);
        Cluck(w, 0.66f, 0.7f, 720, 950, 0.35f, 65);
        break;
    }
    CG_WaveNormalize(w, 0.9f);
}

/* ---- weapons ------------------------------------------------------------------- */

static void MakeShot1(cg_wave_t *w)
{
    CG_WaveInit(w, 0.25f);
    cg_rng_t r;
    CG_Seed(&r, 101);
    float ph = 0, ph2 = 0;
    for (size_t i = 0; i < w->s.size(); i++) {
        float t = (float)i / CG_RATE;
        float f = 300 + 1900 * expf(-t * 22);
        ph += f / CG_RATE;
        ph2 += f * 1.5f / CG_RATE;
        float sq = fmodf(ph, 1) < 0.5f ? 1.0f : -1.0f;
        float y = 0.55f * sq + 0.35f * sinf(2 * PI * ph2) + 0.25f * SND_Noise(&r) * expf(-t * 90);
        w->s[i] = y * Env(t, 0.002f, 16);
    }
    CG_WaveNormalize(w, 0.85f);
}

static void MakeShot2(cg_wave_t *w)
{
    CG_WaveInit(w, 0.4f);
    cg_rng_t r;
    CG_Seed(&r, 102);
    cg_biquad_t lp = {};
    SND_BiquadLow(&lp, 900, 2);
    float ph = 0;
    for (size_t i = 0; i < w->s.size(); i++) {
        float t = (float)i / CG_RATE;
        float f = 520 * expf(-t * 5) + 90 + 60 * sinf(2 * PI * 28 * t);
        ph += f / CG_RATE;
        float y = sinf(2 * PI * ph) + 0.6f * SND_Biquad(&lp, SND_Noise(&r));
        w->s[i] = y * Env(t, 0.01f, 9);
    }
    CG_WaveNormalize(w, 0.85f);
}

static void MakeShot3a(cg_wave_t *w)
{
    CG_WaveInit(w, 0.6f);
    cg_rng_t r;
    CG_Seed(&r, 103);
    cg_biquad_t bp = {};
    float ph = 0;
    for (size_t i = 0; i < w->s.size(); i++) {
        float t = (float)i / CG_RATE;
        if ((i & 63) == 0)
            SND_BiquadBand(&bp, 400 + 3000 * t, 3);
        ph += (200 + 700 * t) / CG_RATE;
        float y = 1.6f * SND_Biquad(&bp, SND_Noise(&r)) + 0.4f * sinf(2 * PI * ph);
        w->s[i] = y * Env(t, 0.05f, 5);
    }
    CG_WaveNormalize(w, 0.85f);
}

static void MakeShot3b(cg_wave_t *w)
{
    CG_WaveInit(w, 0.55f);
    for (int k = 0; k < 6; k++) {
        float at = 0.05f * k, f0 = 1400 + 260.0f * k;
        float ph = 0;
        for (size_t i = (size_t)(at * CG_RATE); i < w->s.size(); i++) {
            float t = (float)i / CG_RATE - at;
            ph += (f0 + 2500 * t) / CG_RATE;
            w->s[i] += 0.5f * sinf(2 * PI * ph) * Env(t, 0.002f, 30);
        }
    }
    CG_WaveNormalize(w, 0.85f);
}

/* ---- explosions -------------------------------------------------------------------- */

static void Boom(cg_wave_t *w, float len, float cutoff, float decay, float thump, float crackle, uint32_t seed)
{
    CG_WaveInit(w, len);
    cg_rng_t r;
    CG_Seed(&r, seed);
    cg_biquad_t lp = {}, lp2 = {};
    float ph = 0;
    for (size_t i = 0; i < w->s.size(); i++) {
        float t = (float)i / CG_RATE;
        if ((i & 31) == 0) {
            SND_BiquadLow(&lp, 150 + cutoff * expf(-t * 3.5f), 0.9f);
            SND_BiquadLow(&lp2, 90 + cutoff * 0.3f * expf(-t * 2), 0.7f);
        }
        float n = SND_Noise(&r);
        float y = SND_Biquad(&lp, n) * 1.2f + SND_Biquad(&lp2, n) * 1.5f;
        ph += (35 + 90 * expf(-t * 8)) / CG_RATE;
        y += thump * sinf(2 * PI * ph) * expf(-t * 5);
        if (crackle > 0 && CG_Rand(&r) < 0.0025f * crackle * expf(-t * 1.5f))
            y += (CG_Rand(&r) - 0.5f) * 6;
        w->s[i] = y * Env(t, 0.004f, decay);
    }
    CG_WaveNormalize(w, 0.95f);
}

/* ---- aliens and engines ------------------------------------------------------------- */

static void MakeAlien(cg_wave_t *w)
{
    CG_WaveInit(w, 1.3f);
    float ph = 0, ph2 = 0;
    for (size_t i = 0; i < w->s.size(); i++) {
        float t = (float)i / CG_RATE;
        float f = 700 + 250 * sinf(2 * PI * 3.2f * t) + 180 * sinf(2 * PI * 0.9f * t);
        ph += f / CG_RATE;
        ph2 += f * 2.01f / CG_RATE;
        float y = sinf(2 * PI * ph + 1.5f * sinf(2 * PI * ph2));
        float e = CG_Smooth(0, 0.08f, t) * CG_Smooth(1.3f, 1.0f, t) * (0.7f + 0.3f * sinf(2 * PI * 6.4f * t));
        w->s[i] = y * e;
    }
    CG_WaveNormalize(w, 0.8f);
}

/* A loop of exactly `len` seconds; tones use whole cycles per loop. */
static void MakeShipLoop(cg_wave_t *w)
{
    float len = 2.0f;
    CG_WaveInit(w, len);
    static const float f[4] = {55, 82.5f, 110.5f, 165};
    for (size_t i = 0; i < w->s.size(); i++) {
        float t = (float)i / CG_RATE, y = 0;
        for (int k = 0; k < 4; k++) {
            float ph = fmodf(f[k] * t, 1);
            y += (2 * ph - 1) * (k == 0 ? 0.6f : 0.3f);
        }
        y *= 0.75f + 0.25f * sinf(2 * PI * 2 * t / len * 2);
        y += 0.15f * sinf(2 * PI * 440 * t) * (0.5f + 0.5f * sinf(2 * PI * 4 * t / len));
        w->s[i] = y;
    }
    cg_biquad_t lp = {};
    SND_BiquadLow(&lp, 1200, 0.8f);
    for (int pass = 0; pass < 2; pass++)   /* second pass: settled filter, seamless */
        for (size_t i = 0; i < w->s.size(); i++) {
            float v = SND_Biquad(&lp, w->s[i]);
            if (pass)
                w->s[i] = v;
        }
    CG_WaveNormalize(w, 0.85f);
}

static void MakeRocketLoop(cg_wave_t *w)
{
    float len = 2.0f;
    size_t n = (size_t)(len * CG_RATE), fade = CG_RATE / 4;
    cg_wave_t raw;
    CG_WaveInit(&raw, len + 0.25f);
    cg_rng_t r;
    CG_Seed(&r, 404);
    cg_biquad_t lp = {}, bp = {};
    SND_BiquadLow(&lp, 500, 0.9f);
    SND_BiquadBand(&bp, 2200, 2);
    for (size_t i = 0; i < raw.s.size(); i++) {
        float x = SND_Noise(&r);
        float y = SND_Biquad(&lp, x) * 2.0f + SND_Biquad(&bp, x) * 0.35f;
        if (CG_Rand(&r) < 0.004f)
            y += SND_Noise(&r) * 2.5f;
        raw.s[i] = y;
    }
    CG_WaveInit(w, len);
    for (size_t i = 0; i < n; i++) {
        float v = raw.s[i];
        if (i < fade) {   /* crossfade the overhang into the start */
            float k = (float)i / fade;
            v = raw.s[i] * k + raw.s[n + i] * (1 - k);
        }
        w->s[i] = v;
    }
    CG_WaveNormalize(w, 0.85f);
}

/* ---- writer ------------------------------------------------------------------------- */

int CG_GenSounds(const std::string &sounddir)
{
    int fails = 0;
    cg_wave_t w;
    static const char *const kluck[6] = {"kluck", "kluck2", "kluck3", "kluck4", "kluck5", "kluck6"};
    for (int k = 0; k < 6; k++) {
        MakeKluck(&w, k + 1);
        fails += !CG_WriteWAV(sounddir + "/" + kluck[k] + ".wav", &w);
    }
    MakeShot1(&w);
    fails += !CG_WriteWAV(sounddir + "/shot1.wav", &w);
    MakeShot2(&w);
    fails += !CG_WriteWAV(sounddir + "/shot2.wav", &w);
    MakeShot3a(&w);
    fails += !CG_WriteWAV(sounddir + "/shot3a.wav", &w);
    MakeShot3b(&w);
    fails += !CG_WriteWAV(sounddir + "/shot3b.wav", &w);
    Boom(&w, 1.3f, 2500, 3.0f, 0.8f, 1, 501);
    fails += !CG_WriteWAV(sounddir + "/expl_general.wav", &w);
    Boom(&w, 2.4f, 1800, 1.6f, 1.2f, 3, 502);
    fails += !CG_WriteWAV(sounddir + "/expl_ship.wav", &w);
    Boom(&w, 1.8f, 3500, 2.2f, 0.9f, 6, 503);
    fails += !CG_WriteWAV(sounddir + "/expl_rocket.wav", &w);
    MakeAlien(&w);
    fails += !CG_WriteWAV(sounddir + "/alien.wav", &w);
    MakeShipLoop(&w);
    fails += !CG_WriteWAV(sounddir + "/ship.wav", &w);
    MakeRocketLoop(&w);
    fails += !CG_WriteWAV(sounddir + "/rocket.wav", &w);
    fails += CG_GenMusic(sounddir);
    if (fails)
        fprintf(stderr, "content: %d sound files failed\n", fails);
    return fails;
}
