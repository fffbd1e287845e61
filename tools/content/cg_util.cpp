/*
 * cg_util.cpp -- the content generator's shared helpers: random numbers,
 * value noise, vector and colour arithmetic, float images written as TGA,
 * sample buffers written as WAV, and directory and file helpers.
 */
#include "cg_common.h"

#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include "bytes.h"

/* ---- random numbers and noise ------------------------------------------ */

void CG_Seed(cg_rng_t *r, uint32_t seed)
{
    r->s = seed * 2654435761u + 12345u;
    if (!r->s)
        r->s = 1;
}

float CG_Rand(cg_rng_t *r)
{
    /* xorshift32 */
    uint32_t x = r->s;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    r->s = x;
    return (float)(x >> 8) / 16777216.0f;
}

float CG_RandRange(cg_rng_t *r, float lo, float hi)
{
    return lo + (hi - lo) * CG_Rand(r);
}

static uint32_t Hash3(int x, int y, int z, uint32_t seed)
{
    uint32_t h = seed * 0x9E3779B1u;
    h ^= (uint32_t)x * 0x85EBCA6Bu;
    h = (h << 13) | (h >> 19);
    h ^= (uint32_t)y * 0xC2B2AE35u;
    h = (h << 11) | (h >> 21);
    h ^= (uint32_t)z * 0x27D4EB2Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

static float Lattice(int x, int y, int z, uint32_t seed)
{
    return (float)(Hash3(x, y, z, seed) & 0xFFFFFF) / 16777215.0f;
}

static float Fade(float t)
{
    return t * t * (3.0f - 2.0f * t);
}

static int Wrap(int v, int p)
{
    if (p <= 0)
        return v;
    v %= p;
    return v < 0 ? v + p : v;
}

float CG_Noise2(float x, float y, int px, int py, uint32_t seed)
{
    int xi = (int)floorf(x), yi = (int)floorf(y);
    float fx = Fade(x - xi), fy = Fade(y - yi);
    int x0 = Wrap(xi, px), x1 = Wrap(xi + 1, px);
    int y0 = Wrap(yi, py), y1 = Wrap(yi + 1, py);
    float a = Lattice(x0, y0, 0, seed), b = Lattice(x1, y0, 0, seed);
    float c = Lattice(x0, y1, 0, seed), d = Lattice(x1, y1, 0, seed);
    float ab = a + (b - a) * fx, cd = c + (d - c) * fx;
    return ab + (cd - ab) * fy;
}

float CG_Fbm2(float x, float y, int px, int py, int octaves, uint32_t seed)
{
    float sum = 0, amp = 0.5f, norm = 0;
    for (int i = 0; i < octaves; i++) {
        sum += amp * CG_Noise2(x, y, px, py, seed + (uint32_t)i * 101u);
        norm += amp;
        amp *= 0.5f;
        x *= 2;
        y *= 2;
        px *= 2;
        py *= 2;
    }
    return sum / norm;
}

float CG_Noise3(float x, float y, float z, uint32_t seed)
{
    int xi = (int)floorf(x), yi = (int)floorf(y), zi = (int)floorf(z);
    float fx = Fade(x - xi), fy = Fade(y - yi), fz = Fade(z - zi);
    float v[2][2][2];
    for (int k = 0; k < 2; k++)
        for (int j = 0; j < 2; j++)
            for (int i = 0; i < 2; i++)
                v[k][j][i] = Lattice(xi + i, yi + j, zi + k, seed);
    float r[2];
    for (int k = 0; k < 2; k++) {
        float a = v[k][0][0] + (v[k][0][1] - v[k][0][0]) * fx;
        float b = v[k][1][0] + (v[k][1][1] - v[k][1][0]) * fx;
        r[k] = a + (b - a) * fy;
    }
    return r[0] + (r[1] - r[0]) * fz;
}

float CG_Fbm3(float x, float y, float z, int octaves, uint32_t seed)
{
    float sum = 0, amp = 0.5f, norm = 0;
    for (int i = 0; i < octaves; i++) {
        sum += amp * CG_Noise3(x, y, z, seed + (uint32_t)i * 131u);
        norm += amp;
        amp *= 0.5f;
        x *= 2;
        y *= 2;
        z *= 2;
    }
    return sum / norm;
}

/* ---- vectors ------------------------------------------------------------ */

cg_vec3_t V3(float x, float y, float z)
{
    cg_vec3_t v = {x, y, z};
    return v;
}
cg_vec3_t V3Add(cg_vec3_t a, cg_vec3_t b) { return V3(a.x + b.x, a.y + b.y, a.z + b.z); }
cg_vec3_t V3Sub(cg_vec3_t a, cg_vec3_t b) { return V3(a.x - b.x, a.y - b.y, a.z - b.z); }
cg_vec3_t V3Scale(cg_vec3_t a, float s) { return V3(a.x * s, a.y * s, a.z * s); }
float V3Dot(cg_vec3_t a, cg_vec3_t b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
cg_vec3_t V3Cross(cg_vec3_t a, cg_vec3_t b)
{
    return V3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}
float V3Len(cg_vec3_t a) { return sqrtf(V3Dot(a, a)); }
cg_vec3_t V3Norm(cg_vec3_t a)
{
    float l = V3Len(a);
    return l > 0 ? V3Scale(a, 1.0f / l) : a;
}

/* ---- colours and images ------------------------------------------------- */

cg_color_t RGBA(float r, float g, float b, float a)
{
    cg_color_t c = {r, g, b, a};
    return c;
}

cg_color_t CG_Mix(cg_color_t a, cg_color_t b, float t)
{
    return RGBA(a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
                a.a + (b.a - a.a) * t);
}

float CG_Clamp01(float v)
{
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

float CG_Smooth(float e0, float e1, float x)
{
    float t = CG_Clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

void CG_ImageInit(cg_image_t *im, int w, int h, cg_color_t fill)
{
    im->w = w;
    im->h = h;
    im->px.assign((size_t)w * h, fill);
}

cg_color_t *CG_Pixel(cg_image_t *im, int x, int y)
{
    x = Wrap(x, im->w);
    y = Wrap(y, im->h);
    return &im->px[(size_t)y * im->w + x];
}

void CG_Blend(cg_image_t *im, int x, int y, cg_color_t c)
{
    cg_color_t *p = CG_Pixel(im, x, y);
    float a = CG_Clamp01(c.a);
    float outa = a + p->a * (1 - a);
    p->r = p->r * (1 - a) + c.r * a;
    p->g = p->g * (1 - a) + c.g * a;
    p->b = p->b * (1 - a) + c.b * a;
    p->a = outa;
}

void CG_Spot(cg_image_t *im, float cx, float cy, float rad, cg_color_t c)
{
    int x0 = (int)floorf(cx - rad), x1 = (int)ceilf(cx + rad);
    int y0 = (int)floorf(cy - rad), y1 = (int)ceilf(cy + rad);
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
            float d = sqrtf(dx * dx + dy * dy) / rad;
            if (d >= 1)
                continue;
            float f = (1 - d) * (1 - d);
            CG_Blend(im, x, y, RGBA(c.r, c.g, c.b, c.a * f));
        }
}

static uint8_t Byte(float v)
{
    return (uint8_t)lrintf(CG_Clamp01(v) * 255.0f);
}

/* The writer's bytes as the file at path (nothing when it ran out of memory). */
static int CG_WriteBuffer(const std::string &path, const bytes_writer_t *w)
{
    if (w->failed) {
        fprintf(stderr, "content: cannot write %s: out of memory\n", path.c_str());
        return 0;
    }
    return CG_WriteFile(path, w->data, w->size);
}

/* One mipmap level from the one above it (w x h, bpp bytes a pixel, rows
 * in file order): each byte the rounded mean of its 2 x 2 block, or the
 * truncated mean of its pair where one side is a single pixel, as OpenGL's
 * utility library builds mipmaps. */
static void CG_HalveLevel(const uint8_t *src, int w, int h, int bpp, uint8_t *dst)
{
    int nw = w > 1 ? w / 2 : 1, nh = h > 1 ? h / 2 : 1;
    size_t row = (size_t)w * bpp;
    for (int y = 0; y < nh; y++)
        for (int x = 0; x < nw; x++)
            for (int k = 0; k < bpp; k++) {
                const uint8_t *p = src + (size_t)(h > 1 ? 2 * y : y) * row + (size_t)(w > 1 ? 2 * x : x) * bpp + k;
                int sum;
                if (w > 1 && h > 1)
                    sum = (p[0] + p[bpp] + p[row] + p[row + bpp] + 2) / 4;
                else
                    sum = (p[0] + p[w > 1 ? bpp : row]) / 2;
                dst[((size_t)y * nw + x) * bpp + k] = (uint8_t)sum;
            }
}

/* The mipmaps below the base image, stored behind it so that loading
 * needs no filtering: a TGA 2.0 developer area with one field (tag
 * CG_TGA_MIPTAG) holding every level from half size down to 1 x 1, each
 * in the base image's byte and row order, then the developer directory
 * and the TGA 2.0 footer.  Only for sizes that are powers of two, which
 * is all the generator makes. */
#define CG_TGA_MIPTAG 0x6d6d
static void CG_WriteMips(bytes_writer_t *out, const uint8_t *base, int w, int h, int bpp)
{
    if (w < 1 || h < 1 || (w & (w - 1)) || (h & (h - 1)) || (w == 1 && h == 1))
        return;
    uint32_t start = (uint32_t)out->size;
    std::vector<uint8_t> level(base, base + (size_t)w * h * bpp), next;
    while (w > 1 || h > 1) {
        int nw = w > 1 ? w / 2 : 1, nh = h > 1 ? h / 2 : 1;
        next.resize((size_t)nw * nh * bpp);
        CG_HalveLevel(level.data(), w, h, bpp, next.data());
        Bytes_WriteData(out, next.data(), next.size());
        level.swap(next);
        w = nw, h = nh;
    }
    uint32_t dir = (uint32_t)out->size;
    Bytes_WriteU16(out, 1);
    Bytes_WriteU16(out, CG_TGA_MIPTAG);
    Bytes_WriteU32(out, start);
    Bytes_WriteU32(out, dir - start);
    Bytes_WriteU32(out, 0); /* no extension area */
    Bytes_WriteU32(out, dir);
    Bytes_WriteData(out, "TRUEVISION-XFILE.", 18);
}

int CG_WriteTGA(const std::string &path, const cg_image_t *im, int alpha)
{
    int bpp = alpha ? 4 : 3;
    bytes_writer_t out;
    Bytes_InitWriter(&out, 18 + (size_t)im->w * im->h * bpp * 4 / 3 + 64);
    Bytes_WriteZeros(&out, 2);      /* no image id, no colour map */
    Bytes_WriteU8(&out, 2);         /* uncompressed true colour */
    Bytes_WriteZeros(&out, 9);      /* colour map and origin */
    Bytes_WriteU16(&out, (uint16_t)im->w);
    Bytes_WriteU16(&out, (uint16_t)im->h);
    Bytes_WriteU8(&out, (uint8_t)(bpp * 8));
    Bytes_WriteU8(&out, alpha ? 8 : 0);
    for (int y = im->h - 1; y >= 0; y--)
        for (int x = 0; x < im->w; x++) {
            const cg_color_t &c = im->px[(size_t)y * im->w + x];
            const uint8_t px[4] = {Byte(c.b), Byte(c.g), Byte(c.r), Byte(c.a)};
            Bytes_WriteData(&out, px, (size_t)bpp);
        }
    if (!out.failed)
        CG_WriteMips(&out, out.data + 18, im->w, im->h, bpp);
    int ok = CG_WriteBuffer(path, &out);
    Bytes_FreeWriter(&out);
    return ok;
}

/* ---- sound -------------------------------------------------------------- */

void CG_WaveInit(cg_wave_t *w, float seconds)
{
    w->s.assign((size_t)(seconds * CG_RATE), 0.0f);
}

void CG_WaveNormalize(cg_wave_t *w, float peak)
{
    float m = 0;
    for (float v : w->s)
        m = fmaxf(m, fabsf(v));
    if (m <= 0)
        return;
    for (float &v : w->s)
        v *= peak / m;
}

int CG_WriteWAV(const std::string &path, const cg_wave_t *w)
{
    uint32_t n = (uint32_t)w->s.size();
    bytes_writer_t out;
    Bytes_InitWriter(&out, 44 + (size_t)n * 2);
    Bytes_WriteData(&out, "RIFF", 4);
    Bytes_WriteU32(&out, 36 + n * 2);
    Bytes_WriteData(&out, "WAVEfmt ", 8);
    Bytes_WriteU32(&out, 16);
    Bytes_WriteU16(&out, 1);        /* PCM */
    Bytes_WriteU16(&out, 1);        /* mono */
    Bytes_WriteU32(&out, CG_RATE);
    Bytes_WriteU32(&out, CG_RATE * 2);
    Bytes_WriteU16(&out, 2);
    Bytes_WriteU16(&out, 16);
    Bytes_WriteData(&out, "data", 4);
    Bytes_WriteU32(&out, n * 2);
    for (uint32_t i = 0; i < n; i++) {
        float v = w->s[i];
        v = v < -1 ? -1 : (v > 1 ? 1 : v);
        Bytes_WriteU16(&out, (uint16_t)(int16_t)lrintf(v * 32767.0f));
    }
    int ok = CG_WriteBuffer(path, &out);
    Bytes_FreeWriter(&out);
    return ok;
}

/* ---- files -------------------------------------------------------------- */

int CG_MakeDirs(const std::string &path)
{
    std::string cur;
    for (size_t i = 0; i <= path.size(); i++) {
        if (i == path.size() || path[i] == '/') {
            if (!cur.empty() && mkdir(cur.c_str(), 0755) != 0 && errno != EEXIST)
                return 0;
        }
        if (i < path.size())
            cur += path[i];
    }
    return 1;
}

int CG_WriteFile(const std::string &path, const void *data, size_t size)
{
    size_t slash = path.rfind('/');
    if (slash != std::string::npos && !CG_MakeDirs(path.substr(0, slash)))
        return 0;
    std::string tmp = path + ".tmp";
    FILE *f = fopen(tmp.c_str(), "wb");
    if (!f) {
        fprintf(stderr, "content: cannot write %s: %s\n", path.c_str(), strerror(errno));
        return 0;
    }
    size_t n = size ? fwrite(data, 1, size, f) : 0;
    int closed = fclose(f) == 0;
    int ok = (n == size) && closed;
    if (!ok || rename(tmp.c_str(), path.c_str()) != 0) {
        fprintf(stderr, "content: cannot write %s\n", path.c_str());
        remove(tmp.c_str());
        return 0;
    }
    return 1;
}

int CG_ReadFile(const std::string &path, std::vector<uint8_t> *out)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return 0;
    out->clear();
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out->insert(out->end(), buf, buf + n);
    int ok = !ferror(f);
    fclose(f);
    return ok;
}
