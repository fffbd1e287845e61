/*
 * ase.cpp -- reads exported ASCII scene text into materials and meshes.
 * The text is a tree of blocks: a line ending in "{" opens one, a line
 * starting with "}" closes it.  Only material colours and maps, and each
 * geometry object's name, mesh, animation frames and material reference
 * are read; every other block is skipped whole.  Scene points (X, Y, Z)
 * are stored as (X, Z, -Y).  Every count is checked against the arrays it
 * fills and every index against its mesh, so a scene that lies about its
 * sizes is refused, not followed; the refusal names the line.
 */
#include "ase.h"

#include <errno.h>
#include <limits.h>
#include <stdarg.h>
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
    int lineno, midline;        /* the line read last; a piece of it is still to come */
    int bad;                    /* the scene broke a bound: refuse it */
    model_t *scene;
    char objname[MDL_NAMELEN];
    /* sizes of the arrays allocated so far for the current mesh */
    uint32_t faces_cap, tfaces_cap, tverts_cap;
} ase_t;

static char ase_error[200];

const char *ASE_Error(void)
{
    return ase_error;
}

/* Refuses the scene; the first reason, with the line read last, is what
 * the user is told. */
static void ASE_Fail(ase_t *a, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
static void ASE_Fail(ase_t *a, const char *fmt, ...)
{
    if (a->bad)
        return;
    a->bad = 1;
    int n = snprintf(ase_error, sizeof(ase_error), "line %d: ", a->lineno);
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(ase_error + n, sizeof(ase_error) - (size_t)n, fmt, ap);
    va_end(ap);
}

/* ---- the text ----------------------------------------------------------- */

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
    a->lineno += !a->midline;
    a->midline = !nl;
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

/* A scene cut short ends inside a block: what it would have held is lost. */
static void ASE_SkipBlock(ase_t *a)
{
    int depth = 1;
    while (depth > 0 && ASE_ReadLine(a)) {
        if (a->blockopen)
            depth++;
        else if (strcmp(a->word, "}") == 0)
            depth--;
    }
    if (depth > 0)
        ASE_Fail(a, "the scene ends inside a block");
}

/* Position (1-based) of the next listed keyword in this block, or 0 at
 * the block's end or the end of the file (which only the top level,
 * inblock 0, may reach). */
static int ASE_NextKeyword(ase_t *a, const char *const *list, int count, int inblock)
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
    if (inblock)
        ASE_Fail(a, "the scene ends inside a block");
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
    for (int k; (k = ASE_NextKeyword(a, keys, 9, 1)) != 0;) {
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
                ASE_Fail(a, "*BITMAP needs a file name with an extension, of fewer than %d characters",
                         MDL_NAMELEN);
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
    for (int k; (k = ASE_NextKeyword(a, keys, 11, 1)) != 0;) {
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
    for (int k; (k = ASE_NextKeyword(a, keys, 2, 1)) != 0;) {
        int n;
        if (!ASE_Int(a, &n)) {
            ASE_Fail(a, "%s without its number", keys[k - 1]);
        } else if (k == 1) {
            if (n < 0 || n > ASE_MAX_MATERIALS) {
                ASE_Fail(a, "material count %d is not between 0 and %d", n, ASE_MAX_MATERIALS);
                break;
            }
            free(s->materials);
            s->materials = (mdl_material_t *)calloc((size_t)n + 1, sizeof(mdl_material_t));
            s->nummaterials = (uint32_t)n;
            if (!s->materials)
                ASE_Fail(a, "out of memory");
        } else if (n < 0 || (uint32_t)n >= s->nummaterials) {
            ASE_Fail(a, "material %d is not below the material count %u", n, (unsigned)s->nummaterials);
        } else if (!a->blockopen) {
            ASE_Fail(a, "*MATERIAL does not open a block");
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

/* An index of a list line must name an element of its mesh. */
static int ASE_InMesh(ase_t *a, const char *what, int idx, uint32_t count, const char *of)
{
    if (idx >= 0 && (uint32_t)idx < count)
        return 1;
    ASE_Fail(a, "%s %d is outside the mesh's %u %s", what, idx, (unsigned)count, of);
    return 0;
}

/* The next line of a list: "keyword index" and n finite numbers, the index
 * below count. */
static int ASE_ListLine(ase_t *a, const char *list, uint32_t count, const char *of, float *out, int n)
{
    int idx;
    if (!ASE_ReadLine(a)) {
        ASE_Fail(a, "the scene ends inside %s", list);
        return 0;
    }
    const char *p = ASE_ScanInt(ASE_SkipWord(a->line), &idx);
    for (int k = 0; k < n; k++)
        p = ASE_ScanFloat(p, &out[k]);
    if (!p) {
        ASE_Fail(a, "%s has fewer lines than its count, or a line without its index and %d numbers", list, n);
        return 0;
    }
    for (int k = 0; k < n; k++)
        if (!isfinite(out[k])) {
            ASE_Fail(a, "a coordinate is not a finite number");
            return 0;
        }
    return ASE_InMesh(a, "index", idx, count, of);
}

/* A list keyword met before the count that sizes its array. */
static int ASE_Uncounted(ase_t *a, const char *list, const char *count)
{
    ASE_Fail(a, "%s comes before %s", list, count);
    return 0;
}

/* Reads the count's lines of a list, then the closing line. */
static int ASE_VertexList(ase_t *a, mdl_mesh_t *m, mdl_frame_t *fr)
{
    if (!fr->verts && m->numverts)
        return ASE_Uncounted(a, "*MESH_VERTEX_LIST", "this frame's *MESH_NUMVERTEX");
    for (uint32_t i = 0; i < m->numverts; i++) {
        float v[3];
        if (!ASE_ListLine(a, "*MESH_VERTEX_LIST", m->numverts, "vertices", v, 3))
            return 0;
        ASE_Point(v[0], v[1], v[2], &fr->verts[(size_t)i * 3]);
    }
    ASE_ReadLine(a);
    return 1;
}

static int ASE_FaceList(ase_t *a, mdl_mesh_t *m)
{
    if (m->numtris > a->faces_cap)
        return ASE_Uncounted(a, "*MESH_FACE_LIST", "*MESH_NUMFACES");
    for (uint32_t i = 0; i < m->numtris; i++) {
        int v[3], num;
        if (!ASE_ReadLine(a)) {
            ASE_Fail(a, "the scene ends inside *MESH_FACE_LIST");
            return 0;
        }
        /* the face word, its number, then a label before each corner */
        const char *p = ASE_SkipWord(ASE_SkipWord(a->line));
        for (int k = 0; k < 3; k++)
            p = ASE_ScanInt(ASE_SkipWord(p), &v[k]);
        if (!p) {
            ASE_Fail(a, "*MESH_FACE_LIST has fewer lines than its count, or a face without three corners");
            return 0;
        }
        if (ASE_ScanInt(ASE_SkipWord(a->line), &num) && !ASE_InMesh(a, "face", num, m->numtris, "faces"))
            return 0;
        for (int k = 0; k < 3; k++) {
            if (!ASE_InMesh(a, "face corner", v[k], m->numverts, "vertices"))
                return 0;
            m->faces[(size_t)i * 3 + k] = (uint32_t)v[k];
        }
    }
    ASE_ReadLine(a);
    return 1;
}

static int ASE_TVertList(ase_t *a, mdl_mesh_t *m)
{
    if (m->numtverts > a->tverts_cap)
        return ASE_Uncounted(a, "*MESH_TVERTLIST", "*MESH_NUMTVERTEX");
    for (uint32_t i = 0; i < m->numtverts; i++)
        if (!ASE_ListLine(a, "*MESH_TVERTLIST", m->numtverts, "texture vertices", &m->tverts[(size_t)i * 2], 2))
            return 0;
    ASE_ReadLine(a);
    return 1;
}

static int ASE_TFaceList(ase_t *a, mdl_mesh_t *m)
{
    if (m->numtris > a->tfaces_cap)
        return ASE_Uncounted(a, "*MESH_TFACELIST", "*MESH_NUMTVFACES");
    for (uint32_t i = 0; i < m->numtris; i++) {
        int idx, v[3];
        if (!ASE_ReadLine(a) ||
            !ASE_ScanInt(ASE_ScanInt(ASE_ScanInt(ASE_ScanInt(ASE_SkipWord(a->line), &idx), &v[0]), &v[1]), &v[2])) {
            ASE_Fail(a, "*MESH_TFACELIST has fewer lines than its count, or a line without four numbers");
            return 0;
        }
        if (!ASE_InMesh(a, "texture face", idx, m->numtris, "faces"))
            return 0;
        for (int k = 0; k < 3; k++) {
            if (!ASE_InMesh(a, "texture face corner", v[k], m->numtverts, "texture vertices"))
                return 0;
            m->tfaces[(size_t)i * 3 + k] = (uint32_t)v[k];
        }
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
        float *n = &fr->normals[c * 3], v[3];
        if (c % 3 == 0 && !ASE_ReadLine(a)) { /* the face normal */
            ASE_Fail(a, "the scene ends inside *MESH_NORMALS");
            return 0;
        }
        if (!ASE_ListLine(a, "*MESH_NORMALS", m->numverts, "vertices", v, 3))
            return 0;
        ASE_Point(v[0], v[1], v[2], n);
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
static int ASE_MeshCount(ase_t *a, mdl_mesh_t *m, mdl_frame_t *fr, int k, const char *key)
{
    uint32_t n, dummy;
    if (!ASE_Count(a, &n)) {
        ASE_Fail(a, "%s needs a count from 0 to %d", key, ASE_MAX_COUNT);
        return 0;
    }
    const uint32_t *current = k == 2 ? &m->numverts : k == 4 ? &m->numtverts : &m->numtris;
    if (m->numframes != 1 && n != *current) {
        ASE_Fail(a, "%s %u differs from the first frame's %u", key, (unsigned)n, (unsigned)*current);
        return 0;
    }
    switch (k) {
    case 2:
        if (!fr)
            return ASE_Uncounted(a, key, "*TIMEVALUE");
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
    for (int k; (k = ASE_NextKeyword(a, keys, 10, 1)) != 0;) {
        int ok = 1, opened = a->blockopen, t;
        if (k == 1) {
            if (!ASE_Int(a, &t))
                return ASE_Uncounted(a, "*TIMEVALUE without its number", "anything else");
            if (t == 0 && m->numframes > 0) {
                ASE_SkipBlock(a);
                return !a->bad;
            }
            ok = (fr = ASE_AddFrame(m, t)) != NULL;
        } else if (k <= 5) {
            ok = ASE_MeshCount(a, m, fr, k, keys[k - 1]);
        } else if (!opened) {
            ok = ASE_Uncounted(a, keys[k - 1], "a block of its own"); /* a list must open a block */
        } else if (!fr && k != 7 && k != 8 && k != 9) {
            ok = ASE_Uncounted(a, keys[k - 1], "*TIMEVALUE"); /* frame lists need a frame */
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
    if (!a->bad && !ASE_SizesAgree(a, m))
        ASE_Fail(a, "the mesh's face and texture lists disagree with its counts");
    return !a->bad;
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
        ASE_Fail(a, "the object name is longer than %d characters", MDL_NAMELEN - 1);
        return;
    }
    memcpy(a->objname, first + 1, n);
    a->objname[n] = 0;
}

static void ASE_ReadAnimation(ase_t *a, mdl_mesh_t *current)
{
    static const char *const keys[] = {"*MESH"};
    int seen = 0;
    for (int k; (k = ASE_NextKeyword(a, keys, 1, 1)) != 0;) {
        if (!a->blockopen)
            ASE_Fail(a, "*MESH does not open a block");
        else if (seen++ == 0)
            ASE_SkipBlock(a);
        else if (!current)
            ASE_Fail(a, "*MESH_ANIMATION comes before the object's *MESH");
        else if (!ASE_ReadMesh(a, current))
            ASE_Fail(a, "out of memory");
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

static void ASE_ReadObject(ase_t *a)
{
    static const char *const keys[] = {"*NODE_NAME", "*MESH", "*MESH_ANIMATION", "*MATERIAL_REF"};
    model_t *s = a->scene;
    mdl_mesh_t *current = NULL;
    uint32_t first = s->nummeshes; /* the meshes of this object */
    a->objname[0] = 0;
    for (int k; (k = ASE_NextKeyword(a, keys, 4, 1)) != 0;) {
        int n, opened = a->blockopen;
        if (k == 1) {
            ASE_NodeName(a);
        } else if (k == 2 || k == 3) {
            if (!opened) {
                ASE_Fail(a, "%s does not open a block", keys[k - 1]);
                break;
            }
            opened = 0;
            if (k == 3)
                ASE_ReadAnimation(a, current);
            else if (!(current = ASE_AddMesh(a)) || !ASE_ReadMesh(a, current))
                ASE_Fail(a, "out of memory");
        } else if (!current) {
            ASE_Fail(a, "*MATERIAL_REF comes before the object's *MESH");
        } else if (!ASE_Int(a, &n)) {
            ASE_Fail(a, "*MATERIAL_REF without its number");
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
    for (uint32_t i = first; i < s->nummeshes && !a->bad; i++)
        if (!ASE_MeshComplete(&s->meshes[i]))
            ASE_Fail(a, "a mesh of object \"%s\" ending here lacks lists its counts promise", s->meshes[i].name);
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
    for (int k; (k = ASE_NextKeyword(a, keys, 2, 0)) != 0;) {
        if (!a->blockopen)
            continue;
        if (k == 1)
            ASE_ReadMaterialList(a);
        else
            ASE_ReadObject(a);
    }
    if (scene->nummeshes == 0)
        ASE_Fail(a, "the scene ends without an object that has a mesh and a material reference");
    int ok = !a->bad;
    if (a->undecodable)
        snprintf(ase_error, sizeof(ase_error), "the %s scene text holds a character 8-bit text cannot hold",
                 a->encoding == ASE_UTF8 ? "UTF-8" : "UTF-16");
    fclose(a->f);
    free(a);
    if (!ok)
        Model_FreeArrays(scene);
    return ok;
}
