/*
 * ase.cpp -- reads exported ASCII scene text into materials and meshes.
 * The text is a tree of blocks: a line ending in "{" opens one, a line
 * starting with "}" closes it.  Only material colours and maps, and each
 * geometry object's name, mesh, animation frames and material reference
 * are read; every other block is skipped whole.  Scene points (X, Y, Z)
 * are stored as (X, Z, -Y).  Every count is checked against the arrays it
 * fills, so a scene that lies about its sizes is refused, not followed.
 */
#include "ase.h"

#include <errno.h>
#include <limits.h>
#include <locale.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common.h"

#define ASE_LINE 512
#define ASE_CHUNK 65536

/* How the scene text is stored: 8-bit text, or (after a byte-order mark)
 * UTF-8 or UTF-16 that is read back as the 8-bit text it encodes. */
enum { ASE_TEXT8, ASE_UTF8, ASE_UTF16LE, ASE_UTF16BE };

typedef struct {
    FILE *f;
    int encoding;
    int eof;                    /* every byte of the file has been read */
    int undecodable;            /* a character beyond 8-bit text, or a cut one */
    unsigned char raw[ASE_CHUNK];
    size_t rawlen;              /* encoded bytes not yet decoded */
    char text[2 * ASE_CHUNK];   /* 8-bit text; pos is the next unread byte */
    size_t pos, len;
    char line[ASE_LINE];
    char word[ASE_LINE];
    int blockopen;
    int bad;                    /* the scene broke a bound: refuse it */
    model_t *scene;
    char objname[MDL_NAMELEN];
    /* sizes of the arrays allocated so far for the current mesh */
    uint32_t faces_cap, tfaces_cap, tverts_cap;
} ase_t;

static char ase_error[160];

const char *ASE_Error(void)
{
    return ase_error;
}

/* ---- the text ----------------------------------------------------------- */

/* The 8-bit character of a code point: itself up to 255, the code page's
 * own byte for the typographic characters it places at 128 to 159, -1 for
 * anything else. */
static int ASE_CodePoint8(uint32_t c)
{
    static const uint16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (c < 256)
        return (int)c;
    for (int i = 0; i < (int)(sizeof(high) / sizeof(high[0])); i++)
        if (high[i] == c)
            return 128 + i;
    return -1;
}

/* Decodes what raw holds into text; a sequence cut at the end of raw waits
 * for the next read.  Returns 0 at a character 8-bit text cannot hold. */
static int ASE_Decode(ase_t *a)
{
    size_t i = 0;
    while (i < a->rawlen) {
        const unsigned char *r = a->raw + i;
        size_t left = a->rawlen - i, used;
        uint32_t c;
        if (a->encoding != ASE_UTF8) {
            if (left < 2)
                break;
            c = a->encoding == ASE_UTF16LE ? (uint32_t)(r[0] | r[1] << 8) : (uint32_t)(r[0] << 8 | r[1]);
            used = 2;
        } else if (r[0] < 0x80) {
            c = r[0];
            used = 1;
        } else {
            used = r[0] >= 0xC2 && r[0] <= 0xDF ? 2 : r[0] >= 0xE0 && r[0] <= 0xEF ? 3 : 0;
            if (!used)
                return 0; /* only 2- and 3-byte forms reach 8-bit characters */
            if (left < used)
                break;
            c = r[0] & (used == 2 ? 0x1F : 0x0F);
            for (size_t k = 1; k < used; k++) {
                if ((r[k] & 0xC0) != 0x80)
                    return 0;
                c = c << 6 | (r[k] & 0x3F);
            }
        }
        int b = ASE_CodePoint8(c);
        if (b < 0)
            return 0;
        a->text[a->len++] = (char)b;
        i += used;
    }
    memmove(a->raw, a->raw + i, a->rawlen - i);
    a->rawlen -= i;
    return 1;
}

/* Tops the text up to at least one whole line, or to the end of the file. */
static void ASE_Fill(ase_t *a)
{
    memmove(a->text, a->text + a->pos, a->len - a->pos);
    a->len -= a->pos;
    a->pos = 0;
    while (!a->eof && a->len < ASE_LINE) {
        size_t n;
        if (a->encoding == ASE_TEXT8) {
            n = fread(a->text + a->len, 1, sizeof(a->text) - a->len, a->f);
            a->len += n;
        } else {
            n = fread(a->raw + a->rawlen, 1, sizeof(a->raw) - a->rawlen, a->f);
            a->rawlen += n;
            if (!ASE_Decode(a) || (n == 0 && a->rawlen > 0))
                a->undecodable = 1;
        }
        if (n == 0 || a->undecodable)
            a->eof = 1;
    }
    if (a->undecodable)
        a->bad = 1;
}

/* Takes the byte-order mark off the start of the file. */
static void ASE_Open(ase_t *a)
{
    static const struct {
        unsigned char bytes[3];
        size_t len;
        int encoding;
    } marks[] = {{{0xEF, 0xBB, 0xBF}, 3, ASE_UTF8}, {{0xFF, 0xFE}, 2, ASE_UTF16LE}, {{0xFE, 0xFF}, 2, ASE_UTF16BE}};
    size_t n = fread(a->raw, 1, 3, a->f);
    a->encoding = ASE_TEXT8;
    for (const auto &m : marks)
        if (n >= m.len && memcmp(a->raw, m.bytes, m.len) == 0) {
            a->encoding = m.encoding;
            memmove(a->raw, a->raw + m.len, n - m.len);
            a->rawlen = n - m.len;
            return;
        }
    memcpy(a->text, a->raw, n);
    a->len = n;
}

/* ---- words and numbers ---------------------------------------------------
 * One pass along a line: each step skips blanks and reads a word, an
 * integer or a float the way the scanf conversions %s, %d and %f would,
 * and returns where it stopped, or NULL when there was nothing to read
 * (NULL passes through the next steps).  Floats are read in the C locale
 * whatever the process's locale; integers are clamped to int. */

static int ASE_Space(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

static const char *ASE_SkipSpace(const char *p)
{
    while (ASE_Space(*p))
        p++;
    return p;
}

static const char *ASE_SkipWord(const char *p)
{
    if (!p || !*(p = ASE_SkipSpace(p)))
        return NULL;
    while (*p && !ASE_Space(*p))
        p++;
    return p;
}

static const char *ASE_ScanInt(const char *p, int *v)
{
    if (!p)
        return NULL;
    p = ASE_SkipSpace(p);
    int neg = *p == '-';
    const char *d = p + (*p == '-' || *p == '+');
    if (*d < '0' || *d > '9')
        return NULL;
    long long n = 0;
    for (; *d >= '0' && *d <= '9'; d++)
        if (n <= (long long)INT_MAX + 1)
            n = n * 10 + (*d - '0');
    n = neg ? -n : n;
    *v = n < INT_MIN ? INT_MIN : n > INT_MAX ? INT_MAX : (int)n;
    return d;
}

/* Plain decimals of up to 7 significant digits and 10 decimals, as the
 * exporters write them, are one exact division in single precision (both
 * operands are exact floats, so the quotient is the correctly rounded
 * value, as strtof gives it); everything else goes to strtof in the C
 * locale. */
static const char *ASE_ScanFloat(const char *p, float *v)
{
    static const float tens[11] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    static locale_t c_locale;
    if (!p)
        return NULL;
    p = ASE_SkipSpace(p);
    const char *d = p + (*p == '-' || *p == '+');
    uint32_t m = 0;
    int digits = 0, decimals = -1;
    for (;; d++) {
        if (*d >= '0' && *d <= '9') {
            if (m >= (1u << 24) / 10)
                break; /* too many digits for an exact float */
            m = m * 10 + (uint32_t)(*d - '0');
            digits++;
            decimals += decimals >= 0;
        } else if (*d == '.' && decimals < 0) {
            decimals = 0;
        } else {
            break;
        }
    }
    int plain = digits > 0 && decimals <= 10 && !((*d >= '0' && *d <= '9') || *d == 'e' || *d == 'E' ||
                                                 *d == 'x' || *d == 'X' || *d == 'p' || *d == 'P' || *d == '.');
    if (plain) {
        float f = (float)m / tens[decimals < 0 ? 0 : decimals];
        *v = *p == '-' ? -f : f;
        return d;
    }
    if (!c_locale && !(c_locale = newlocale(LC_ALL_MASK, "C", (locale_t)0)))
        return NULL;
    char *end;
    float f = strtof_l(p, &end, c_locale);
    if (end == p)
        return NULL;
    *v = f;
    return end;
}

/* ---- lines and blocks --------------------------------------------------- */

/* The next line of at most 510 characters (a longer one is taken in
 * pieces), ended at its line feed, carriage return or zero byte. */
static int ASE_ReadLine(ase_t *a)
{
    a->blockopen = 0;
    a->line[0] = 0;
    a->word[0] = 0;
    if (a->len - a->pos < ASE_LINE - 1 && !a->eof)
        ASE_Fill(a);
    size_t take = a->len - a->pos;
    if (take == 0)
        return 0;
    if (take > ASE_LINE - 2)
        take = ASE_LINE - 2;
    const char *s = a->text + a->pos;
    const char *nl = (const char *)memchr(s, '\n', take);
    if (nl)
        take = (size_t)(nl - s) + 1;
    a->pos += take;
    size_t n = 0;
    for (; n < take && s[n] != '\n' && s[n] != '\r' && s[n] != 0; n++)
        a->line[n] = s[n] == '\t' ? ' ' : s[n];
    a->line[n] = 0;
    if (n > 0 && a->line[n - 1] == '{') {
        a->blockopen = 1;
        a->line[n >= 2 ? n - 2 : 0] = 0;
    }
    const char *w = ASE_SkipSpace(a->line);
    size_t k = 0;
    while (w[k] && !ASE_Space(w[k])) {
        a->word[k] = w[k];
        k++;
    }
    a->word[k] = 0;
    return 1;
}

static void ASE_SkipBlock(ase_t *a)
{
    int depth = 1;
    while (depth > 0 && ASE_ReadLine(a)) {
        if (a->blockopen)
            depth++;
        else if (strcmp(a->word, "}") == 0)
            depth--;
    }
}

/* Position (1-based) of the next listed keyword in this block, or 0 at
 * the block's end or the end of the file. */
static int ASE_NextKeyword(ase_t *a, const char *const *list, int count)
{
    while (!a->bad && ASE_ReadLine(a)) {
        if (strcmp(a->word, "}") == 0)
            return 0;
        for (int i = 0; i < count; i++)
            if (strcmp(a->word, list[i]) == 0)
                return i + 1;
        if (a->blockopen)
            ASE_SkipBlock(a);
    }
    return 0;
}

/* The number after the keyword. */
static int ASE_Int(ase_t *a, int *v)
{
    return ASE_ScanInt(ASE_SkipWord(a->line), v) != NULL;
}

static float ASE_Float(ase_t *a)
{
    float v = 0;
    ASE_ScanFloat(ASE_SkipWord(a->line), &v);
    return v;
}

/* A count of a list: refused when negative or beyond what is taken. */
static int ASE_Count(ase_t *a, uint32_t *out)
{
    int n;
    if (!ASE_Int(a, &n) || n < 0 || n > ASE_MAX_COUNT)
        return 0;
    *out = (uint32_t)n;
    return 1;
}

/* ---- materials ---------------------------------------------------------- */

static int ASE_BitmapName(const char *line, char *out)
{
    char buf[ASE_LINE];
    Com_Strncpy(buf, line, sizeof(buf));
    char *dot = strrchr(buf, '.');
    if (!dot)
        return 0;
    *dot = 0;
    char *p = strrchr(buf, '"');
    if (!p)
        return 0;
    p++;
    for (char *c = p; *c; c++) /* the folder ends at the last separator of either kind */
        if (*c == '\\' || *c == '/')
            p = c + 1;
    if (strlen(p) >= MDL_NAMELEN)
        return 0;
    strcpy(out, p);
    return 1;
}

static void ASE_ReadMap(ase_t *a, mdl_map_t *map)
{
    static const char *const keys[] = {"*MAP_CLASS", "*MAP_AMOUNT", "*BITMAP", "*MAP_TYPE", "*UVW_U_OFFSET",
                                       "*UVW_V_OFFSET", "*UVW_U_TILING", "*UVW_V_TILING", "*UVW_ANGLE"};
    map->present = 0;
    for (int k; (k = ASE_NextKeyword(a, keys, 9)) != 0;) {
        int opened = a->blockopen;
        switch (k) {
        case 1: {
            const char *cls = ASE_SkipWord(a->line), *end = ASE_SkipWord(cls);
            cls = cls ? ASE_SkipSpace(cls) : NULL;
            if (!end || end - cls != 8 || memcmp(cls, "\"Bitmap\"", 8) != 0) {
                ASE_SkipBlock(a);
                return;
            }
            map->present = 1;
            break;
        }
        case 2: map->amount = ASE_Float(a); break;
        case 3:
            if (!ASE_BitmapName(a->line, map->name))
                a->bad = 1;
            break;
        case 4: break;
        case 5: map->uoffset = ASE_Float(a); break;
        case 6: map->voffset = ASE_Float(a); break;
        case 7: map->utiling = ASE_Float(a); break;
        case 8: map->vtiling = ASE_Float(a); break;
        case 9: map->angle = ASE_Float(a); break;
        }
        if (opened)
            ASE_SkipBlock(a);
    }
}

static void ASE_Colour(ase_t *a, float *c)
{
    const char *p = ASE_SkipWord(a->line);
    for (int k = 0; k < 3; k++)
        p = ASE_ScanFloat(p, &c[k]);
}

static void ASE_ReadMaterial(ase_t *a, mdl_material_t *m)
{
    static const char *const keys[] = {"*MATERIAL_AMBIENT", "*MATERIAL_DIFFUSE", "*MATERIAL_SPECULAR",
                                       "*MATERIAL_SHINE", "*MATERIAL_SHINESTRENGTH", "*MATERIAL_TRANSPARENCY",
                                       "*NUMSUBMTLS", "*SUBMATERIAL", "*MAP_DIFFUSE", "*MAP_BUMP",
                                       "*MAP_REFLECT"};
    memset(m, 0, sizeof(*m));
    for (int k; (k = ASE_NextKeyword(a, keys, 11)) != 0;) {
        int opened = a->blockopen;
        switch (k) {
        case 1: ASE_Colour(a, m->ambient); break;
        case 2: ASE_Colour(a, m->diffuse); break;
        case 3: ASE_Colour(a, m->specular); break;
        case 6: m->transparency = ASE_Float(a); break;
        case 9: ASE_ReadMap(a, &m->diffusemap); opened = 0; break;
        case 10: ASE_ReadMap(a, &m->bumpmap); opened = 0; break;
        case 11: ASE_ReadMap(a, &m->reflectmap); opened = 0; break;
        default: break;
        }
        if (opened)
            ASE_SkipBlock(a);
    }
}

static void ASE_ReadMaterialList(ase_t *a)
{
    static const char *const keys[] = {"*MATERIAL_COUNT", "*MATERIAL"};
    model_t *s = a->scene;
    for (int k; (k = ASE_NextKeyword(a, keys, 2)) != 0;) {
        int n;
        if (!ASE_Int(a, &n)) {
            a->bad = 1;
        } else if (k == 1) {
            if (n < 0 || n > ASE_MAX_MATERIALS) {
                a->bad = 1;
                break;
            }
            free(s->materials);
            s->materials = (mdl_material_t *)calloc((size_t)n + 1, sizeof(mdl_material_t));
            s->nummaterials = (uint32_t)n;
            if (!s->materials)
                a->bad = 1;
        } else if (n < 0 || (uint32_t)n >= s->nummaterials || !a->blockopen) {
            a->bad = 1;
        } else {
            ASE_ReadMaterial(a, &s->materials[n]);
        }
    }
}

/* ---- meshes ------------------------------------------------------------- */

static void ASE_Point(float x, float y, float z, float *out)
{
    out[0] = x;
    out[1] = z;
    out[2] = -y;
}

/* Reads count list lines with fn, then the closing line. */
static int ASE_VertexList(ase_t *a, mdl_mesh_t *m, mdl_frame_t *fr)
{
    if (!fr->verts && m->numverts)
        return 0;
    for (uint32_t i = 0; i < m->numverts; i++) {
        int idx;
        float x, y, z;
        if (!ASE_ReadLine(a) ||
            !ASE_ScanFloat(ASE_ScanFloat(ASE_ScanFloat(ASE_ScanInt(ASE_SkipWord(a->line), &idx), &x), &y), &z))
            return 0;
        ASE_Point(x, y, z, &fr->verts[(size_t)i * 3]);
    }
    ASE_ReadLine(a);
    return 1;
}

static int ASE_FaceList(ase_t *a, mdl_mesh_t *m)
{
    if (m->numtris > a->faces_cap)
        return 0;
    for (uint32_t i = 0; i < m->numtris; i++) {
        int v[3];
        if (!ASE_ReadLine(a))
            return 0;
        /* the face word, its number, then a label before each corner */
        const char *p = ASE_SkipWord(ASE_SkipWord(a->line));
        for (int k = 0; k < 3; k++)
            p = ASE_ScanInt(ASE_SkipWord(p), &v[k]);
        if (!p)
            return 0;
        for (int k = 0; k < 3; k++)
            m->faces[(size_t)i * 3 + k] = (uint32_t)v[k];
    }
    ASE_ReadLine(a);
    return 1;
}

static int ASE_TVertList(ase_t *a, mdl_mesh_t *m)
{
    if (m->numtverts > a->tverts_cap)
        return 0;
    for (uint32_t i = 0; i < m->numtverts; i++) {
        int idx;
        if (!ASE_ReadLine(a) || !ASE_ScanFloat(ASE_ScanFloat(ASE_ScanInt(ASE_SkipWord(a->line), &idx),
                                                             &m->tverts[(size_t)i * 2]),
                                               &m->tverts[(size_t)i * 2 + 1]))
            return 0;
    }
    ASE_ReadLine(a);
    return 1;
}

static int ASE_TFaceList(ase_t *a, mdl_mesh_t *m)
{
    if (m->numtris > a->tfaces_cap)
        return 0;
    for (uint32_t i = 0; i < m->numtris; i++) {
        int idx, v[3];
        if (!ASE_ReadLine(a) ||
            !ASE_ScanInt(ASE_ScanInt(ASE_ScanInt(ASE_ScanInt(ASE_SkipWord(a->line), &idx), &v[0]), &v[1]), &v[2]))
            return 0;
        for (int k = 0; k < 3; k++)
            m->tfaces[(size_t)i * 3 + k] = (uint32_t)v[k];
    }
    ASE_ReadLine(a);
    return 1;
}

static int ASE_Normals(ase_t *a, mdl_mesh_t *m, mdl_frame_t *fr)
{
    free(fr->normals);
    fr->normals = (float *)calloc((size_t)m->numtris * 9 + 1, sizeof(float));
    if (!fr->normals)
        return 0;
    for (size_t c = 0; c < (size_t)m->numtris * 3; c++) {
        int idx;
        float x, y, z;
        if (c % 3 == 0 && !ASE_ReadLine(a))
            return 0;
        if (!ASE_ReadLine(a) ||
            !ASE_ScanFloat(ASE_ScanFloat(ASE_ScanFloat(ASE_ScanInt(ASE_SkipWord(a->line), &idx), &x), &y), &z))
            return 0;
        float *n = &fr->normals[c * 3];
        ASE_Point(x, y, z, n);
        float len = sqrtf(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (len > 0.0f)
            for (int k = 0; k < 3; k++)
                n[k] /= len;
    }
    ASE_ReadLine(a);
    return 1;
}

static mdl_frame_t *ASE_AddFrame(mdl_mesh_t *m, int time)
{
    mdl_frame_t *fr = (mdl_frame_t *)realloc(m->frames, ((size_t)m->numframes + 1) * sizeof(mdl_frame_t));
    if (!fr)
        return NULL;
    m->frames = fr;
    fr = &m->frames[m->numframes++];
    memset(fr, 0, sizeof(*fr));
    fr->time = time;
    return fr;
}

/* Allocates a list of n elements of size bytes, replacing the old one. */
static int ASE_Alloc(void **p, uint32_t *cap, uint32_t n, size_t size)
{
    free(*p);
    *p = calloc((size_t)n + 1, size);
    *cap = *p ? n : 0;
    return *p != NULL;
}

/* A new triangle count in the first frame: its normals no longer fit. */
static void ASE_TrisChanged(mdl_mesh_t *m, uint32_t n)
{
    if (n != m->numtris) {
        free(m->frames[0].normals);
        m->frames[0].normals = NULL;
    }
    m->numtris = n;
}

/* Every list must have exactly the size its count gives. */
static int ASE_SizesAgree(const ase_t *a, const mdl_mesh_t *m)
{
    if (m->numtris && (!m->faces || a->faces_cap != m->numtris))
        return 0;
    if (m->tfaces && a->tfaces_cap != m->numtris)
        return 0;
    return !m->tverts || a->tverts_cap == m->numtverts;
}

/* One count keyword (2 to 5): 0 when it differs from the first frame's or
 * cannot be taken. */
static int ASE_MeshCount(ase_t *a, mdl_mesh_t *m, mdl_frame_t *fr, int k)
{
    uint32_t n, dummy;
    if (!ASE_Count(a, &n))
        return 0;
    const uint32_t *current = k == 2 ? &m->numverts : k == 4 ? &m->numtverts : &m->numtris;
    if (m->numframes != 1 && n != *current)
        return 0;
    switch (k) {
    case 2:
        if (!fr)
            return 0;
        m->numverts = n;
        return ASE_Alloc((void **)&fr->verts, &dummy, n, 12);
    case 3:
        if (m->numframes != 1)
            return 1;
        ASE_TrisChanged(m, n);
        return ASE_Alloc((void **)&m->faces, &a->faces_cap, n, 12);
    case 4:
        if (m->numframes != 1 || n == 0)
            return 1;
        m->numtverts = n;
        return ASE_Alloc((void **)&m->tverts, &a->tverts_cap, n, 8);
    default:
        if (m->numframes != 1 || n == 0)
            return 1;
        ASE_TrisChanged(m, n);
        return ASE_Alloc((void **)&m->tfaces, &a->tfaces_cap, n, 12);
    }
}

static int ASE_ReadMesh(ase_t *a, mdl_mesh_t *m)
{
    static const char *const keys[] = {"*TIMEVALUE", "*MESH_NUMVERTEX", "*MESH_NUMFACES", "*MESH_NUMTVERTEX",
                                       "*MESH_NUMTVFACES", "*MESH_VERTEX_LIST", "*MESH_FACE_LIST",
                                       "*MESH_TVERTLIST", "*MESH_TFACELIST", "*MESH_NORMALS"};
    mdl_frame_t *fr = NULL;
    for (int k; (k = ASE_NextKeyword(a, keys, 10)) != 0;) {
        int ok = 1, opened = a->blockopen, t;
        if (k == 1) {
            if (!ASE_Int(a, &t))
                return 0;
            if (t == 0 && m->numframes > 0) {
                ASE_SkipBlock(a);
                return 1;
            }
            ok = (fr = ASE_AddFrame(m, t)) != NULL;
        } else if (k <= 5) {
            ok = ASE_MeshCount(a, m, fr, k);
        } else if (!opened || (!fr && k != 7 && k != 8 && k != 9)) {
            ok = 0; /* a list must open a block; frame lists need a frame */
        } else {
            opened = 0;
            switch (k) {
            case 6: ok = ASE_VertexList(a, m, fr); break;
            case 7: ok = ASE_FaceList(a, m); break;
            case 8: ok = ASE_TVertList(a, m); break;
            case 9: ok = ASE_TFaceList(a, m); break;
            default: ok = ASE_Normals(a, m, fr); break;
            }
        }
        if (!ok)
            return 0;
        if (opened)
            ASE_SkipBlock(a);
    }
    return !a->bad && ASE_SizesAgree(a, m);
}

/* ---- geometry objects ---------------------------------------------------- */

static mdl_mesh_t *ASE_AddMesh(ase_t *a)
{
    model_t *s = a->scene;
    mdl_mesh_t *m = (mdl_mesh_t *)realloc(s->meshes, ((size_t)s->nummeshes + 1) * sizeof(mdl_mesh_t));
    if (!m)
        return NULL;
    s->meshes = m;
    m = &s->meshes[s->nummeshes++];
    memset(m, 0, sizeof(*m));
    m->material = -1;
    strcpy(m->name, a->objname);
    a->faces_cap = a->tfaces_cap = a->tverts_cap = 0;
    return m;
}

static void ASE_NodeName(ase_t *a)
{
    char *first = strchr(a->line, '"'), *last = strrchr(a->line, '"');
    a->objname[0] = 0;
    if (!first || last == first)
        return;
    size_t n = (size_t)(last - first - 1);
    if (n >= MDL_NAMELEN) {
        a->bad = 1;
        return;
    }
    memcpy(a->objname, first + 1, n);
    a->objname[n] = 0;
}

static void ASE_ReadAnimation(ase_t *a, mdl_mesh_t *current)
{
    static const char *const keys[] = {"*MESH"};
    int seen = 0;
    for (int k; (k = ASE_NextKeyword(a, keys, 1)) != 0;) {
        if (!a->blockopen) {
            a->bad = 1;
        } else if (seen++ == 0) {
            ASE_SkipBlock(a);
        } else if (!current || !ASE_ReadMesh(a, current)) {
            a->bad = 1;
        }
    }
}

static void ASE_ReadObject(ase_t *a)
{
    static const char *const keys[] = {"*NODE_NAME", "*MESH", "*MESH_ANIMATION", "*MATERIAL_REF"};
    model_t *s = a->scene;
    mdl_mesh_t *current = NULL;
    a->objname[0] = 0;
    for (int k; (k = ASE_NextKeyword(a, keys, 4)) != 0;) {
        int n, opened = a->blockopen;
        if (k == 1) {
            ASE_NodeName(a);
        } else if (k == 2 || k == 3) {
            if (!opened) {
                a->bad = 1;
                break;
            }
            opened = 0;
            if (k == 3) {
                ASE_ReadAnimation(a, current);
            } else if (!(current = ASE_AddMesh(a)) || !ASE_ReadMesh(a, current)) {
                a->bad = 1;
            }
        } else if (!current || !ASE_Int(a, &n)) {
            a->bad = 1;
        } else {
            current->material = n;
        }
        if (opened)
            ASE_SkipBlock(a);
    }
    if (current && current->material == -1 && current == &s->meshes[s->nummeshes - 1]) {
        Model_FreeMesh(current);
        s->nummeshes--;
    }
}

/* Every mesh must hold what its counts promise before it is used. */
static int ASE_MeshComplete(const mdl_mesh_t *m)
{
    if (m->numframes == 0 || (m->numtris && !m->faces) || (m->numtverts && (!m->tverts || !m->tfaces)))
        return 0;
    for (uint32_t f = 0; f < m->numframes; f++)
        if (m->numverts && !m->frames[f].verts)
            return 0;
    for (size_t c = 0; c < (size_t)m->numtris * 3; c++)
        if (m->faces[c] >= m->numverts || (m->numtverts && m->tfaces[c] >= m->numtverts))
            return 0;
    return 1;
}

int ASE_ReadScene(const char *filename, model_t *scene)
{
    static const char *const keys[] = {"*MATERIAL_LIST", "*GEOMOBJECT"};
    ase_t *a = (ase_t *)calloc(1, sizeof(ase_t));
    snprintf(ase_error, sizeof(ase_error), "out of memory");
    if (!a)
        return 0;
    a->f = fopen(filename, "r");
    scene->materials = NULL;
    scene->meshes = NULL;
    scene->nummaterials = scene->nummeshes = 0;
    if (!a->f) {
        snprintf(ase_error, sizeof(ase_error), "%s", strerror(errno));
        free(a);
        return 0;
    }
    a->scene = scene;
    ASE_Open(a);
    for (int k; (k = ASE_NextKeyword(a, keys, 2)) != 0;) {
        if (!a->blockopen)
            continue;
        if (k == 1)
            ASE_ReadMaterialList(a);
        else
            ASE_ReadObject(a);
    }
    for (uint32_t i = 0; !a->bad && i < scene->nummeshes; i++)
        if (!ASE_MeshComplete(&scene->meshes[i]))
            a->bad = 1;
    int ok = !a->bad;
    if (a->undecodable)
        snprintf(ase_error, sizeof(ase_error), "the %s scene text holds a character 8-bit text cannot hold",
                 a->encoding == ASE_UTF8 ? "UTF-8" : "UTF-16");
    else if (!ok)
        snprintf(ase_error, sizeof(ase_error), "the scene breaks a bound, or its lists and counts disagree");
    fclose(a->f);
    free(a);
    if (!ok)
        Model_FreeArrays(scene);
    return ok;
}
