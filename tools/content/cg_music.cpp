/*
 * cg_music.cpp -- the level music: six seamless loops made by a small
 * sequencer (drums, bass line, chord pad, arpeggio and seeded melodies
 * over two eight-bar chord progressions), each level with its own key,
 * tempo, scale and sounds, in sections (intro, verse, chorus, breakdown)
 * that last at least a minute before the loop starts over.  Note tails
 * that run past the loop's end are folded back onto its start, so the
 * loop repeats without a click.
 */
#include "cg_sound.h"

#include <math.h>
#include <stdio.h>

#define PI 3.14159265f

typedef struct {
    float bpm;
    int root;              /* MIDI note of the key */
    int minor;
    int chords[8];         /* scale degree (0..6) of each bar */
    int leadwave;          /* 0 square, 1 saw, 2 sine-fm */
    float swing;
    int drums;             /* 0 light, 1 driving, 2 four on the floor with offbeat hats */
    float padlevel;
    uint32_t seed;
} cg_song_t;

static const cg_song_t cg_songs[6] = {
    {128, 60, 0, {0, 3, 4, 0, 5, 3, 4, 4}, 0, 0.10f, 0, 0.20f, 11},    /* farm morning */
    {112, 57, 1, {0, 5, 2, 6, 0, 5, 3, 4}, 1, 0.05f, 0, 0.35f, 22},    /* sunset */
    {100, 50, 1, {0, 0, 5, 5, 3, 3, 4, 4}, 2, 0.00f, 0, 0.40f, 33},    /* night */
    {120, 55, 0, {0, 4, 5, 3, 0, 4, 3, 4}, 0, 0.00f, 1, 0.25f, 44},    /* edge of space */
    {134, 52, 1, {0, 6, 5, 6, 0, 6, 3, 4}, 1, 0.00f, 2, 0.30f, 55},    /* nebula */
    {146, 54, 1, {0, 0, 6, 6, 5, 5, 4, 4}, 0, 0.00f, 2, 0.25f, 66},    /* extra level */
};

static const int cg_major[7] = {0, 2, 4, 5, 7, 9, 11};
static const int cg_minor[7] = {0, 2, 3, 5, 7, 8, 10};

static float Freq(int midi)
{
    return 440.0f * powf(2.0f, (midi - 69) / 12.0f);
}

static int ScaleNote(const cg_song_t *s, int degree, int octave)
{
    const int *sc = s->minor ? cg_minor : cg_major;
    int o = degree >= 0 ? degree / 7 : (degree - 6) / 7;
    int d = degree - o * 7;
    return s->root + 12 * (octave + o) + sc[d];
}

typedef struct {
    cg_wave_t *w;
    size_t len;            /* loop length in samples */
} cg_mix_t;

static void Put(cg_mix_t *m, size_t i, float v)
{
    m->w->s[i % m->len] += v;
}

/* ---- instruments ---------------------------------------------------------------- */

static void Kick(cg_mix_t *m, float at)
{
    size_t s = (size_t)(at * CG_RATE);
    float ph = 0;
    for (int i = 0; i < CG_RATE * 3 / 10; i++) {
        float t = (float)i / CG_RATE;
        ph += (45 + 110 * expf(-t * 30)) / CG_RATE;
        Put(m, s + i, 0.6f * sinf(2 * PI * ph) * expf(-t * 11));
    }
}

static void Snare(cg_mix_t *m, float at, cg_rng_t *r)
{
    size_t s = (size_t)(at * CG_RATE);
    cg_biquad_t bp = {};
    SND_BiquadBand(&bp, 1800, 0.8f);
    for (int i = 0; i < CG_RATE / 5; i++) {
        float t = (float)i / CG_RATE;
        float y = 0.9f * SND_Biquad(&bp, SND_Noise(r)) + 0.25f * sinf(2 * PI * 185 * t);
        Put(m, s + i, 0.35f * y * expf(-t * 22));
    }
}

static void Hat(cg_mix_t *m, float at, float level, cg_rng_t *r)
{
    size_t s = (size_t)(at * CG_RATE);
    float prev = 0;
    for (int i = 0; i < CG_RATE / 20; i++) {
        float t = (float)i / CG_RATE;
        float n = SND_Noise(r);
        float hp = n - prev;   /* crude high pass */
        prev = n;
        Put(m, s + i, level * hp * expf(-t * 70));
    }
}

/* A synth note: wave 0 square, 1 saw, 2 two-operator FM; one-pole low pass
 * with the cut-off falling from `bright`. */
static void Note(cg_mix_t *m, float at, float dur, int midi, int wave, float level, float bright,
                 float attack)
{
    size_t s = (size_t)(at * CG_RATE), n = (size_t)((dur + 0.25f) * CG_RATE);
    float f = Freq(midi), ph = 0, ph2 = 0, lp = 0;
    for (size_t i = 0; i < n; i++) {
        float t = (float)i / CG_RATE;
        ph += f / CG_RATE;
        ph2 += f * 2 / CG_RATE;
        ph -= floorf(ph);
        ph2 -= floorf(ph2);
        float y;
        if (wave == 0)
            y = ph < 0.5f ? 0.6f : -0.6f;
        else if (wave == 1)
            y = 2 * ph - 1;
        else
            y = sinf(2 * PI * ph + 2.2f * expf(-t * 6) * sinf(2 * PI * ph2));
        float cut = bright * expf(-t * 4) + 0.04f;
        lp += (y - lp) * (cut > 1 ? 1 : cut);
        float e = (t < attack ? t / attack : 1) * (t < dur ? 1 : expf(-(t - dur) * 20)) * expf(-t * 1.5f);
        Put(m, s + i, level * lp * e);
    }
}

/* ---- arrangement ------------------------------------------------------------------- */

/* One eight-bar section of a song: which parts play, over which of the
 * song's two chord progressions, and the seed of its melody. */
typedef struct {
    int drums;             /* 0 hats only, 1 kick and hats, 2 the song's full kit */
    int bass, melody;      /* parts on or off */
    int second;            /* the second progression (the first from its middle on) */
    int arp;               /* arpeggio pattern 0 or 1, -1 none */
    int octave;            /* melody octave */
} cg_section_t;

/* Intro, verse, chorus over the second progression, breakdown, verse
 * again: each repeats nothing of the others (new melody every time). */
static const cg_section_t cg_form[] = {
    {0, 1, 0, 0, 0, 1},
    {2, 1, 1, 0, 0, 1},
    {2, 1, 1, 1, 1, 1},
    {1, 0, 1, 1, -1, 2},
    {2, 1, 1, 0, 1, 1},
};

#define CG_MUSIC_MIN_SECONDS 60.0f  /* each level's music before it repeats */

static void Drums(cg_mix_t *m, const cg_song_t *s, const cg_section_t *sec, float t0, float beat, cg_rng_t *r)
{
    for (int q = 0; q < 8; q++) {
        float t = t0 + q * beat / 2 + ((q & 1) ? s->swing * beat : 0);
        int onbeat = !(q & 1);
        int kick = s->drums == 2 ? onbeat : (q == 0 || q == 4 || (s->drums == 1 && q == 5));
        if (sec->drums == 1 ? q == 0 || q == 4 : sec->drums == 2 && kick)
            Kick(m, t);
        if (sec->drums == 2 && (q == 2 || q == 6))
            Snare(m, t, r);
        Hat(m, t, s->drums == 2 && !onbeat ? 0.35f : 0.18f, r);
    }
}

/* The melody of one bar: a seeded walk over the scale, resting now and
 * then, starting each bar on a chord tone. */
static void Melody(cg_mix_t *m, const cg_song_t *s, int deg, int octave, float t0, float beat, cg_rng_t *r,
                   int *melody)
{
    for (int q = 0; q < 8; q++) {
        float roll = CG_Rand(r);
        if (roll < 0.25f && q != 0)
            continue;
        int step = (int)(CG_Rand(r) * 5) - 2;
        *melody += step;
        if (q == 0)
            *melody = deg + 7 * (*melody / 7 >= 1 ? 1 : 0) + (*melody % 7 > 3 ? 2 : 0);
        if (*melody < 0)
            *melody = 2;
        if (*melody > 11)
            *melody = 9;
        float dur = (CG_Rand(r) < 0.3f ? beat : beat / 2) * 0.85f;
        Note(m, t0 + q * beat / 2, dur, ScaleNote(s, *melody, octave), s->leadwave, 0.32f, 0.35f, 0.01f);
    }
}

static void Section(cg_mix_t *m, const cg_song_t *s, const cg_section_t *sec, int index, float t0, float beat,
                    cg_rng_t *r)
{
    cg_rng_t mr;
    CG_Seed(&mr, s->seed * 7919u + (uint32_t)index * 104729u);
    int melody = 4;
    for (int bar = 0; bar < 8; bar++, t0 += 4 * beat) {
        /* the second progression starts from the first's middle and turns
         * to the dominant at its end, leading back */
        int deg = sec->second ? (bar == 7 ? 4 : s->chords[(bar + 4) % 8]) : s->chords[bar];
        Drums(m, s, sec, t0, beat, r);
        for (int q = 0; sec->bass && q < 8; q++) { /* root and fifth in eighths */
            int note = ScaleNote(s, deg + ((q % 4 == 3) ? 4 : 0), -2);
            Note(m, t0 + q * beat / 2, beat * 0.4f, note, 1, 0.45f, 0.25f, 0.005f);
        }
        for (int k = 0; k < 3; k++) /* pad: the triad held over the bar */
            Note(m, t0, 4 * beat * 0.95f, ScaleNote(s, deg + 2 * k, -1), 1, s->padlevel * 0.5f, 0.06f, 0.3f);
        for (int q = 0; sec->arp >= 0 && q < 16; q++) { /* arpeggio in sixteenths */
            static const int arp[2][4] = {{0, 2, 4, 7}, {7, 4, 2, 4}};
            int note = ScaleNote(s, deg + arp[sec->arp][q % 4], 0);
            Note(m, t0 + q * beat / 4, beat * 0.18f, note, s->leadwave == 2 ? 2 : 0, 0.14f, 0.5f, 0.003f);
        }
        if (sec->melody)
            Melody(m, s, deg, sec->octave, t0, beat, &mr, &melody);
    }
}

/* As many sections of the form as make the song last a minute or more;
 * the loop then starts over at the intro. */
static void Song(cg_wave_t *w, const cg_song_t *s)
{
    float beat = 60.0f / s->bpm, section = 8 * 4 * beat;
    int count = (int)ceilf(CG_MUSIC_MIN_SECONDS / section - 0.001f);
    if (count > (int)(sizeof(cg_form) / sizeof(cg_form[0])))
        count = (int)(sizeof(cg_form) / sizeof(cg_form[0]));
    size_t len = (size_t)ceilf(count * section * CG_RATE);
    CG_WaveInit(w, count * section);
    w->s.resize(len, 0);
    cg_mix_t m = {w, len};
    cg_rng_t r;
    CG_Seed(&r, s->seed);
    for (int i = 0; i < count; i++)
        Section(&m, s, &cg_form[i], i, i * section, beat, &r);
    /* gentle saturation: the drums' peaks no longer set the loudness */
    CG_WaveNormalize(w, 1.0f);
    for (float &v : w->s)
        v = tanhf(2.0f * v) / tanhf(2.0f);
    CG_WaveNormalize(w, 0.8f);
}

int CG_GenMusic(const std::string &sounddir)
{
    int fails = 0;
    for (int i = 0; i < 6; i++) {
        cg_wave_t w;
        Song(&w, &cg_songs[i]);
        char name[32];
        snprintf(name, sizeof name, "/bgm%d.wav", i);
        fails += !CG_WriteWAV(sounddir + name, &w);
    }
    return fails;
}
