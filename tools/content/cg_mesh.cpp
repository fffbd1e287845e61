/*
 * cg_mesh.cpp -- the content generator's model builder: affine transforms,
 * primitive shapes appended to meshes with smooth normals, assembly of
 * animation frames, normal-derived texture coordinates, and the scene text
 * writer read by the engine's converter.
 */
#include "cg_mesh.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <map>

#define CG_PI 3.14159265358979f

/* ---- transforms --------------------------------------------------------- */

cg_xf_t XF_Identity(void)
{
    cg_xf_t t = {V3(1, 0, 0), V3(0, 1, 0), V3(0, 0, 1), V3(0, 0, 0)};
    return t;
}

static cg_vec3_t XF_Dir(cg_xf_t a, cg_vec3_t d)
{
    return V3Add(V3Add(V3Scale(a.x, d.x), V3Scale(a.y, d.y)), V3Scale(a.z, d.z));
}

cg_vec3_t XF_Apply(cg_xf_t a, cg_vec3_t p)
{
    return V3Add(a.o, XF_Dir(a, p));
}

cg_xf_t XF_Mul(cg_xf_t a, cg_xf_t b)
{
    cg_xf_t r;
    r.x = XF_Dir(a, b.x);
    r.y = XF_Dir(a, b.y);
    r.z = XF_Dir(a, b.z);
    r.o = XF_Apply(a, b.o);
    return r;
}

cg_xf_t XF_T(float x, float y, float z)
{
    cg_xf_t t = XF_Identity();
    t.o = V3(x, y, z);
    return t;
}

cg_xf_t XF_S(float x, float y, float z)
{
    cg_xf_t t = XF_Identity();
    t.x.x = x;
    t.y.y = y;
    t.z.z = z;
    return t;
}

cg_xf_t XF_RX(float deg)
{
    float c = cosf(deg * CG_PI / 180), s = sinf(deg * CG_PI / 180);
    cg_xf_t t = XF_Identity();
    t.y = V3(0, c, s);
    t.z = V3(0, -s, c);
    return t;
}

cg_xf_t XF_RY(float deg)
{
    float c = cosf(deg * CG_PI / 180), s = sinf(deg * CG_PI / 180);
    cg_xf_t t = XF_Identity();
    t.x = V3(c, 0, -s);
    t.z = V3(s, 0, c);
    return t;
}

cg_xf_t XF_RZ(float deg)
{
    float c = cosf(deg * CG_PI / 180), s = sinf(deg * CG_PI / 180);
    cg_xf_t t = XF_Identity();
    t.x = V3(c, s, 0);
    t.y = V3(-s, c, 0);
    return t;
}

cg_xf_t XF_TRS(cg_vec3_t tr, float rx, float ry, float rz, cg_vec3_t s)
{
    cg_xf_t r = XF_Mul(XF_RZ(rz), XF_Mul(XF_RY(ry), XF_RX(rx)));
    return XF_Mul(XF_T(tr.x, tr.y, tr.z), XF_Mul(r, XF_S(s.x, s.y, s.z)));
}

static float XF_Det(cg_xf_t a)
{
    return V3Dot(a.x, V3Cross(a.y, a.z));
}

/* ---- meshes ------------------------------------------------------------- */

cg_mesh_t *CG_Mesh(cg_model_t *m, const char *name, const char *tex, int uvmode)
{
    for (cg_mesh_t &me : m->meshes)
        if (me.name == name)
            return &me;
    int mat = -1;
    for (size_t i = 0; i < m->mats.size(); i++)
        if (m->mats[i].tex == tex)
            mat = (int)i;
    if (mat < 0) {
        cg_mat_t cm;
        cm.tex = tex;
        m->mats.push_back(cm);
        mat = (int)m->mats.size() - 1;
    }
    cg_mesh_t me;
    me.name = name;
    me.material = mat;
    me.uvmode = uvmode;
    me.frames.resize(1);
    m->meshes.push_back(me);
    return &m->meshes.back();
}

static int AddVert(cg_mesh_t *me, cg_vec3_t p, float u, float v)
{
    me->frames[0].push_back(p);
    me->normals.push_back(V3(0, 0, 0));
    me->u.push_back(u);
    me->v.push_back(v);
    return (int)me->frames[0].size() - 1;
}

static void AddTri(cg_mesh_t *me, int a, int b, int c, int flip)
{
    cg_tri_t t = {a, flip ? c : b, flip ? b : c};
    me->tris.push_back(t);
}

/* Area-weighted face normals summed into the vertices of the triangles
 * from index `tfirst` on. */
static void AccumulateNormals(cg_mesh_t *me, size_t tfirst)
{
    const std::vector<cg_vec3_t> &p = me->frames[0];
    for (size_t i = tfirst; i < me->tris.size(); i++) {
        const cg_tri_t &t = me->tris[i];
        cg_vec3_t n = V3Cross(V3Sub(p[t.b], p[t.a]), V3Sub(p[t.c], p[t.a]));
        me->normals[t.a] = V3Add(me->normals[t.a], n);
        me->normals[t.b] = V3Add(me->normals[t.b], n);
        me->normals[t.c] = V3Add(me->normals[t.c], n);
    }
}

static void NormalizeFrom(cg_mesh_t *me, size_t vfirst)
{
    for (size_t i = vfirst; i < me->normals.size(); i++)
        me->normals[i] = V3Norm(me->normals[i]);
}

void CG_Lathe(cg_mesh_t *me, cg_xf_t xf, const float *r, const float *y, int n, int slices,
              float utile, int inward)
{
    size_t vfirst = me->frames[0].size(), tfirst = me->tris.size();
    int flip = (XF_Det(xf) < 0) != (inward != 0);
    for (int j = 0; j < n; j++)
        for (int i = 0; i <= slices; i++) {
            float a = 2 * CG_PI * (i % slices) / slices; /* the seam closes exactly */
            cg_vec3_t p = XF_Apply(xf, V3(r[j] * cosf(a), y[j], r[j] * sinf(a)));
            AddVert(me, p, utile * (float)i / slices, n > 1 ? (float)j / (n - 1) : 0);
        }
    int row = slices + 1;
    for (int j = 0; j + 1 < n; j++)
        for (int i = 0; i < slices; i++) {
            int a = (int)vfirst + j * row + i, b = a + row, c = a + 1, d = b + 1;
            if (r[j] != 0)
                AddTri(me, a, b, c, flip);
            if (r[j + 1] != 0)
                AddTri(me, c, b, d, flip);
        }
    AccumulateNormals(me, tfirst);
    /* seam columns and closed rings share one normal */
    for (int j = 0; j < n; j++) {
        int base = (int)vfirst + j * row;
        if (r[j] == 0) {
            cg_vec3_t s = V3(0, 0, 0);
            for (int i = 0; i <= slices; i++)
                s = V3Add(s, me->normals[base + i]);
            for (int i = 0; i <= slices; i++)
                me->normals[base + i] = s;
        } else {
            cg_vec3_t s = V3Add(me->normals[base], me->normals[base + slices]);
            me->normals[base] = me->normals[base + slices] = s;
        }
    }
    NormalizeFrom(me, vfirst);
}

void CG_Sphere(cg_mesh_t *me, cg_xf_t xf, int slices, int stacks)
{
    std::vector<float> r(stacks + 1), y(stacks + 1);
    for (int j = 0; j <= stacks; j++) {
        float a = -CG_PI / 2 + CG_PI * j / stacks;
        r[j] = (j == 0 || j == stacks) ? 0.0f : cosf(a);
        y[j] = sinf(a);
    }
    CG_Lathe(me, xf, r.data(), y.data(), stacks + 1, slices, 1.0f, 0);
}

void CG_Tube(cg_mesh_t *me, cg_xf_t xf, float r0, float r1, float h, int slices)
{
    float r[4] = {0, r0, r1, 0};
    float y[4] = {0, 0, h, h};
    CG_Lathe(me, xf, r, y, 4, slices, 1.0f, 0);
}

static void Face(cg_mesh_t *me, cg_xf_t xf, cg_vec3_t c, cg_vec3_t du, cg_vec3_t dv, int flip)
{
    size_t tfirst = me->tris.size(), vfirst = me->frames[0].size();
    int a = AddVert(me, XF_Apply(xf, V3Sub(V3Sub(c, du), dv)), 0, 0);
    int b = AddVert(me, XF_Apply(xf, V3Sub(V3Add(c, du), dv)), 1, 0);
    int d = AddVert(me, XF_Apply(xf, V3Add(V3Add(c, du), dv)), 1, 1);
    int e = AddVert(me, XF_Apply(xf, V3Add(V3Sub(c, du), dv)), 0, 1);
    AddTri(me, a, b, d, flip);
    AddTri(me, a, d, e, flip);
    AccumulateNormals(me, tfirst);
    NormalizeFrom(me, vfirst);
}

void CG_Box(cg_mesh_t *me, cg_xf_t xf)
{
    int flip = XF_Det(xf) < 0;
    cg_vec3_t X = V3(1, 0, 0), Y = V3(0, 1, 0), Z = V3(0, 0, 1);
    cg_vec3_t nX = V3(-1, 0, 0), nY = V3(0, -1, 0), nZ = V3(0, 0, -1);
    Face(me, xf, Z, X, Y, flip);    /* +z */
    Face(me, xf, nZ, nX, Y, flip);  /* -z */
    Face(me, xf, X, nZ, Y, flip);   /* +x */
    Face(me, xf, nX, Z, Y, flip);   /* -x */
    Face(me, xf, Y, X, nZ, flip);   /* +y */
    Face(me, xf, nY, X, Z, flip);   /* -y */
}

void CG_Quad(cg_mesh_t *me, cg_xf_t xf, int twosided)
{
    int flip = XF_Det(xf) < 0;
    Face(me, xf, V3(0, 0, 0), V3(1, 0, 0), V3(0, 1, 0), flip);
    if (twosided)
        Face(me, xf, V3(0, 0, 0), V3(-1, 0, 0), V3(0, 1, 0), flip);
}

void CG_Roughen(cg_mesh_t *me, size_t first, cg_vec3_t centre, float amount, uint32_t seed)
{
    std::vector<cg_vec3_t> &p = me->frames[0];
    for (size_t i = first; i < p.size(); i++) {
        cg_vec3_t d = V3Norm(V3Sub(p[i], centre));
        float f = CG_Fbm3(d.x * 2.5f + 7, d.y * 2.5f + 7, d.z * 2.5f + 7, 4, seed) - 0.5f;
        p[i] = V3Add(p[i], V3Scale(d, f * amount));
    }
    /* recompute the normals of everything added since `first` */
    for (size_t i = first; i < p.size(); i++)
        me->normals[i] = V3(0, 0, 0);
    for (const cg_tri_t &t : me->tris) {
        if ((size_t)t.a < first)
            continue;
        cg_vec3_t n = V3Cross(V3Sub(p[t.b], p[t.a]), V3Sub(p[t.c], p[t.a]));
        me->normals[t.a] = V3Add(me->normals[t.a], n);
        me->normals[t.b] = V3Add(me->normals[t.b], n);
        me->normals[t.c] = V3Add(me->normals[t.c], n);
    }
    /* vertices at equal positions (seams, poles) share their normal */
    for (size_t i = first; i < p.size(); i++)
        for (size_t j = i + 1; j < p.size(); j++)
            if (p[i].x == p[j].x && p[i].y == p[j].y && p[i].z == p[j].z) {
                cg_vec3_t s = V3Add(me->normals[i], me->normals[j]);
                me->normals[i] = me->normals[j] = s;
            }
    NormalizeFrom(me, first);
}

int CG_AppendFrame(cg_model_t *dst, const cg_model_t *src)
{
    for (const cg_mesh_t &s : src->meshes) {
        cg_mesh_t *d = NULL;
        for (cg_mesh_t &m : dst->meshes)
            if (m.name == s.name)
                d = &m;
        if (!d || d->frames[0].size() != s.frames[0].size() || d->tris.size() != s.tris.size()) {
            fprintf(stderr, "content: animation frame of mesh %s does not match\n", s.name.c_str());
            return 0;
        }
        d->frames.push_back(s.frames[0]);
    }
    return 1;
}

/* ---- normal-derived texture coordinates ---------------------------------- */

static void NormalUV(cg_vec3_t n, float *u, float *v)
{
    *u = atan2f(n.x, n.z) / (2 * CG_PI) + 0.5f;
    float y = n.y < -1 ? -1 : (n.y > 1 ? 1 : n.y);
    *v = asinf(y) / CG_PI + 0.5f;
}

/* Gives every triangle corner its own vertex with coordinates from its
 * normal, unwrapping u within each triangle so that no triangle spans
 * the whole map; the converter welds equal corners again. */
static void BakeNormalUV(cg_mesh_t *me)
{
    cg_mesh_t out = *me;
    out.u.clear();
    out.v.clear();
    out.tris.clear();
    out.normals.clear();
    for (auto &f : out.frames)
        f.clear();
    std::map<std::string, int> seen;
    for (const cg_tri_t &t : me->tris) {
        int idx[3] = {t.a, t.b, t.c};
        float u[3], v[3];
        int pole[3];
        for (int k = 0; k < 3; k++) {
            cg_vec3_t n = me->normals[idx[k]];
            NormalUV(n, &u[k], &v[k]);
            pole[k] = fabsf(n.y) > 0.999f;
        }
        for (int k = 1; k < 3; k++) {
            while (u[k] - u[0] > 0.5f)
                u[k] -= 1;
            while (u[0] - u[k] > 0.5f)
                u[k] += 1;
        }
        float su = 0;
        int cnt = 0;
        for (int k = 0; k < 3; k++)
            if (!pole[k]) {
                su += u[k];
                cnt++;
            }
        for (int k = 0; k < 3; k++)
            if (pole[k] && cnt)
                u[k] = su / cnt;
        int corner[3];
        for (int k = 0; k < 3; k++) {
            /* corners equal in every frame and in u, v share one vertex */
            std::string key((const char *)&u[k], sizeof(float));
            key.append((const char *)&v[k], sizeof(float));
            for (size_t f = 0; f < me->frames.size(); f++)
                key.append((const char *)&me->frames[f][idx[k]], sizeof(cg_vec3_t));
            auto it = seen.find(key);
            if (it != seen.end()) {
                corner[k] = it->second;
                continue;
            }
            corner[k] = (int)out.u.size();
            seen[key] = corner[k];
            for (size_t f = 0; f < me->frames.size(); f++)
                out.frames[f].push_back(me->frames[f][idx[k]]);
            out.normals.push_back(me->normals[idx[k]]);
            out.u.push_back(u[k]);
            out.v.push_back(v[k]);
        }
        cg_tri_t nt = {corner[0], corner[1], corner[2]};
        out.tris.push_back(nt);
    }
    *me = out;
}

/* ---- scene text writer --------------------------------------------------- */

static void WriteMeshBlock(FILE *f, const cg_mesh_t *me, size_t frame, int timevalue,
                           const char *ind)
{
    const std::vector<cg_vec3_t> &p = me->frames[frame];
    fprintf(f, "%s*MESH {\n", ind);
    fprintf(f, "%s\t*TIMEVALUE %d\n", ind, timevalue);
    fprintf(f, "%s\t*MESH_NUMVERTEX %zu\n", ind, p.size());
    fprintf(f, "%s\t*MESH_NUMFACES %zu\n", ind, me->tris.size());
    fprintf(f, "%s\t*MESH_VERTEX_LIST {\n", ind);
    for (size_t i = 0; i < p.size(); i++)   /* scene axes: X = x, Y = -z, Z = y */
        fprintf(f, "%s\t\t*MESH_VERTEX %zu\t%.5f\t%.5f\t%.5f\n", ind, i, p[i].x, -p[i].z, p[i].y);
    fprintf(f, "%s\t}\n", ind);
    fprintf(f, "%s\t*MESH_FACE_LIST {\n", ind);
    for (size_t i = 0; i < me->tris.size(); i++) {
        const cg_tri_t &t = me->tris[i];
        fprintf(f, "%s\t\t*MESH_FACE %zu:  A: %d B: %d C: %d AB: 1 BC: 1 CA: 1\t*MESH_SMOOTHING 1\t*MESH_MTLID 0\n",
                ind, i, t.a, t.b, t.c);
    }
    fprintf(f, "%s\t}\n", ind);
    fprintf(f, "%s\t*MESH_NUMTVERTEX %zu\n", ind, me->u.size());
    fprintf(f, "%s\t*MESH_TVERTLIST {\n", ind);
    for (size_t i = 0; i < me->u.size(); i++)
        fprintf(f, "%s\t\t*MESH_TVERT %zu\t%.5f\t%.5f\t0.0000\n", ind, i, me->u[i], me->v[i]);
    fprintf(f, "%s\t}\n", ind);
    fprintf(f, "%s\t*MESH_NUMTVFACES %zu\n", ind, me->tris.size());
    fprintf(f, "%s\t*MESH_TFACELIST {\n", ind);
    for (size_t i = 0; i < me->tris.size(); i++) {
        const cg_tri_t &t = me->tris[i];
        fprintf(f, "%s\t\t*MESH_TFACE %zu\t%d\t%d\t%d\n", ind, i, t.a, t.b, t.c);
    }
    fprintf(f, "%s\t}\n", ind);
    fprintf(f, "%s}\n", ind);
}

static void WriteMaterial(FILE *f, int i, const cg_mat_t *m)
{
    fprintf(f, "\t*MATERIAL %d {\n", i);
    fprintf(f, "\t\t*MATERIAL_NAME \"%s\"\n", m->tex.c_str());
    fprintf(f, "\t\t*MATERIAL_CLASS \"Standard\"\n");
    fprintf(f, "\t\t*MATERIAL_AMBIENT 0.5882\t0.5882\t0.5882\n");
    fprintf(f, "\t\t*MATERIAL_DIFFUSE 1.0000\t1.0000\t1.0000\n");
    fprintf(f, "\t\t*MATERIAL_SPECULAR 0.9000\t0.9000\t0.9000\n");
    fprintf(f, "\t\t*MATERIAL_SHINE 0.1000\n");
    fprintf(f, "\t\t*MATERIAL_SHINESTRENGTH 0.0000\n");
    fprintf(f, "\t\t*MATERIAL_TRANSPARENCY 0.0000\n");
    fprintf(f, "\t\t*MAP_DIFFUSE {\n");
    fprintf(f, "\t\t\t*MAP_NAME \"%s\"\n", m->tex.c_str());
    fprintf(f, "\t\t\t*MAP_CLASS \"Bitmap\"\n");
    fprintf(f, "\t\t\t*MAP_AMOUNT 1.0000\n");
    fprintf(f, "\t\t\t*BITMAP \"C:\\maps\\%s.tga\"\n", m->tex.c_str());
    fprintf(f, "\t\t\t*MAP_TYPE Screen\n");
    fprintf(f, "\t\t\t*UVW_U_OFFSET 0.0000\n");
    fprintf(f, "\t\t\t*UVW_V_OFFSET 0.0000\n");
    fprintf(f, "\t\t\t*UVW_U_TILING 1.0000\n");
    fprintf(f, "\t\t\t*UVW_V_TILING 1.0000\n");
    fprintf(f, "\t\t\t*UVW_ANGLE 0.0000\n");
    fprintf(f, "\t\t}\n");
    fprintf(f, "\t}\n");
}

int CG_WriteASE(const std::string &path, cg_model_t *m)
{
    for (cg_mesh_t &me : m->meshes)
        if (me.uvmode == CG_UV_NORMAL)
            BakeNormalUV(&me);
    std::string tmp = path + ".tmp";
    size_t slash = path.rfind('/');
    if (slash != std::string::npos)
        CG_MakeDirs(path.substr(0, slash));
    FILE *f = fopen(tmp.c_str(), "w");
    if (!f) {
        fprintf(stderr, "content: cannot write %s\n", path.c_str());
        return 0;
    }
    fprintf(f, "*3DSMAX_ASCIIEXPORT\t200\n*COMMENT \"Gackatron content generator\"\n");
    fprintf(f, "*SCENE {\n\t*SCENE_FIRSTFRAME 0\n\t*SCENE_LASTFRAME %zu\n\t*SCENE_FRAMESPEED 25\n\t*SCENE_TICKSPERFRAME 160\n}\n",
            m->meshes.empty() ? (size_t)0 : m->meshes[0].frames.size() - 1);
    fprintf(f, "*MATERIAL_LIST {\n\t*MATERIAL_COUNT %zu\n", m->mats.size());
    for (size_t i = 0; i < m->mats.size(); i++)
        WriteMaterial(f, (int)i, &m->mats[i]);
    fprintf(f, "}\n");
    for (const cg_mesh_t &me : m->meshes) {
        if (me.tris.empty())
            continue;
        fprintf(f, "*GEOMOBJECT {\n\t*NODE_NAME \"%s\"\n", me.name.c_str());
        fprintf(f, "\t*NODE_TM {\n\t\t*NODE_NAME \"%s\"\n\t\t*TM_ROW0 1.0 0.0 0.0\n\t}\n", me.name.c_str());
        WriteMeshBlock(f, &me, 0, 0, "\t");
        if (me.frames.size() > 1) {
            fprintf(f, "\t*MESH_ANIMATION {\n");
            for (size_t fr = 0; fr < me.frames.size(); fr++)
                WriteMeshBlock(f, &me, fr, (int)fr * 160, "\t\t");
            fprintf(f, "\t}\n");
        }
        fprintf(f, "\t*PROP_MOTIONBLUR 0\n\t*MATERIAL_REF %d\n}\n", me.material);
    }
    int ok = !ferror(f);
    ok = (fclose(f) == 0) && ok;
    if (!ok || rename(tmp.c_str(), path.c_str()) != 0) {
        remove(tmp.c_str());
        return 0;
    }
    return 1;
}
