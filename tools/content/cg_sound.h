/*
 * cg_sound.h -- synthesis pieces shared by the sound effects
 * (cg_sounds.cpp) and the level music (cg_music.cpp): biquad filters and
 * white noise.
 */
#ifndef CG_SOUND_H
#define CG_SOUND_H

#include "cg_common.h"

typedef struct {
    float b0, b1, b2, a1, a2;
    float x1, x2, y1, y2;
} cg_biquad_t;

void SND_BiquadBand(cg_biquad_t *f, float freq, float q);
void SND_BiquadLow(cg_biquad_t *f, float freq, float q);
float SND_Biquad(cg_biquad_t *f, float x);
float SND_Noise(cg_rng_t *r);

/* Writes the level music loops bgm0.wav .. bgm5.wav. */
int CG_GenMusic(const std::string &sounddir);

#endif
