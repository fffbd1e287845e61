/*
 * cg_common.h -- shared pieces of the content generator: a deterministic
 * random source and value noise, colour and vector helpers, RGBA images
 * with TGA output, 16-bit PCM sample buffers with WAV output, and the
 * small file helpers every generator uses.  Each generator (models,
 * textures, font, sounds, translations, packer) has its own source file
 * and entry function declared at the end of this header.
 */
#ifndef CG_COMMON_H
#define CG_COMMON_H

#include <stdint.h>
#include <string>
#include <vector>

/* ---- random numbers and noise ------------------------------------------ */

typedef struct {
    uint32_t s;
} cg_rng_t;

void CG_Seed(cg_rng_t *r, uint32_t seed);
float CG_Rand(cg_rng_t *r);                 /* [0, 1) */
float CG_RandRange(cg_rng_t *r, float lo, float hi);

/* Smooth value noise in [0, 1], periodic with period px/py (in lattice
 * cells; 0 = not periodic) so textures wrap seamlessly. */
float CG_Noise2(float x, float y, int px, int py, uint32_t seed);
/* Fractal sum of octaves, result roughly in [0, 1]. */
float CG_Fbm2(float x, float y, int px, int py, int octaves, uint32_t seed);
float CG_Noise3(float x, float y, float z, uint32_t seed);
float CG_Fbm3(float x, float y, float z, int octaves, uint32_t seed);

/* ---- vectors ------------------------------------------------------------ */

typedef struct {
    float x, y, z;
} cg_vec3_t;

cg_vec3_t V3(float x, float y, float z);
cg_vec3_t V3Add(cg_vec3_t a, cg_vec3_t b);
cg_vec3_t V3Sub(cg_vec3_t a, cg_vec3_t b);
cg_vec3_t V3Scale(cg_vec3_t a, float s);
float V3Dot(cg_vec3_t a, cg_vec3_t b);
cg_vec3_t V3Cross(cg_vec3_t a, cg_vec3_t b);
float V3Len(cg_vec3_t a);
cg_vec3_t V3Norm(cg_vec3_t a);

/* ---- images ------------------------------------------------------------- */

typedef struct {
    float r, g, b, a;
} cg_color_t;

cg_color_t RGBA(float r, float g, float b, float a);
cg_color_t CG_Mix(cg_color_t a, cg_color_t b, float t);
float CG_Clamp01(float v);
float CG_Smooth(float e0, float e1, float x);

/* An image of floats, row 0 at the top as seen. */
typedef struct {
    int w, h;
    std::vector<cg_color_t> px;
} cg_image_t;

void CG_ImageInit(cg_image_t *im, int w, int h, cg_color_t fill);
cg_color_t *CG_Pixel(cg_image_t *im, int x, int y);
/* Alpha-blends c over the pixel (coordinates wrap). */
void CG_Blend(cg_image_t *im, int x, int y, cg_color_t c);
/* Soft round spot of radius rad, colour c, alpha fading to the edge. */
void CG_Spot(cg_image_t *im, float cx, float cy, float rad, cg_color_t c);
/* Writes an uncompressed TGA: 24-bit (descriptor 0) or 32-bit with alpha
 * (descriptor 8), rows bottom-up so that the first file row is the
 * image's bottom row.  Returns 1 on success. */
int CG_WriteTGA(const std::string &path, const cg_image_t *im, int alpha);

/* ---- sound -------------------------------------------------------------- */

#define CG_RATE 22050

typedef struct {
    std::vector<float> s;   /* mono samples in [-1, 1] */
} cg_wave_t;

void CG_WaveInit(cg_wave_t *w, float seconds);
/* Scales the peak to `peak`. */
void CG_WaveNormalize(cg_wave_t *w, float peak);
/* Writes a 44-byte-header PCM WAV, 16-bit mono at CG_RATE. */
int CG_WriteWAV(const std::string &path, const cg_wave_t *w);

/* ---- files -------------------------------------------------------------- */

int CG_MakeDirs(const std::string &path);
int CG_WriteFile(const std::string &path, const void *data, size_t size);
int CG_ReadFile(const std::string &path, std::vector<uint8_t> *out);

/* ---- generators: each returns the number of failures (0 = fine) ---------- */

int CG_GenModels(const std::string &asedir);     /* .ase scenes */
int CG_GenTextures(const std::string &datadir);  /* .tga textures and images */
int CG_GenFonts(const std::string &datadir);     /* .tga + .font */
/* The fonts from the face in `file` (of the Debian package named in the
 * message when it is missing) at `pixels`, or smaller where a cell needs. */
int CG_GenFontsFrom(const std::string &datadir, const char *file, const char *package, int pixels);
int CG_GenSounds(const std::string &sounddir);   /* .wav */
int CG_GenLang(const std::string &datadir);      /* ingame_%d.txt */
/* Packs the files listed (names relative to `root`) into a zip archive
 * with deflated members. */
int CG_Pack(const std::string &zippath, const std::string &root,
            const std::vector<std::string> &names);

#endif
