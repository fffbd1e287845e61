/*
 * bench_files -- the engine's file work: opening a 1 MiB deflated archive
 * member, loading a 10 000-triangle model with its collision file through
 * the model cache, converting a 100 000-triangle scene (read, weld,
 * collision build, write), and swept-segment queries per second against a
 * 10 000-triangle model.  Every input is generated into a scratch
 * directory first.  Usage: bench_files [scale]  (scale 1 = the sizes above)
 * bench_files -convert scene...: CPU time of converting the given scenes.
 * bench_files -mount: mounting 65 535 members with deep paths, 65 535 flat
 * ones (3.4 MB) and the game's own archives, and opening a member that
 * claims 1 GiB (time and the peak memory of the process that opens it).
 */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <zlib.h>

#include "ase.h"
#include "collision.h"
#include "common.h"
#include "convert.h"
#include "fs.h"
#include "model.h"

static double Bench_Now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

static uint32_t bench_seed = 12345;
static uint32_t Bench_Rand(void)
{
    bench_seed = bench_seed * 1664525u + 1013904223u;
    return bench_seed >> 8;
}

static void Bench_Put(std::string &s, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; i++)
        s.push_back((char)((v >> (8 * i)) & 0xff));
}

/* One deflated member in a minimal zip. */
static std::string Bench_Zip(const std::string &name, const std::string &data)
{
    z_stream zs;
    memset(&zs, 0, sizeof(zs));
    deflateInit2(&zs, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string body(deflateBound(&zs, data.size()), '\0');
    zs.next_in = (Bytef *)data.data();
    zs.avail_in = (uInt)data.size();
    zs.next_out = (Bytef *)body.data();
    zs.avail_out = (uInt)body.size();
    deflate(&zs, Z_FINISH);
    body.resize(zs.total_out);
    deflateEnd(&zs);
    uint32_t crc = (uint32_t)crc32(0, (const Bytef *)data.data(), (uInt)data.size());
    std::string z, cd;
    Bench_Put(z, 0x04034b50, 4);
    Bench_Put(z, 20, 2); Bench_Put(z, 0, 2); Bench_Put(z, 8, 2); Bench_Put(z, 0, 4);
    Bench_Put(z, crc, 4); Bench_Put(z, (uint32_t)body.size(), 4); Bench_Put(z, (uint32_t)data.size(), 4);
    Bench_Put(z, (uint32_t)name.size(), 2); Bench_Put(z, 0, 2);
    z += name + body;
    Bench_Put(cd, 0x02014b50, 4);
    Bench_Put(cd, 20, 2); Bench_Put(cd, 20, 2); Bench_Put(cd, 0, 2); Bench_Put(cd, 8, 2); Bench_Put(cd, 0, 4);
    Bench_Put(cd, crc, 4); Bench_Put(cd, (uint32_t)body.size(), 4); Bench_Put(cd, (uint32_t)data.size(), 4);
    Bench_Put(cd, (uint32_t)name.size(), 2); Bench_Put(cd, 0, 4); Bench_Put(cd, 0, 4); Bench_Put(cd, 0, 4);
    Bench_Put(cd, 0, 4);
    cd += name;
    uint32_t cdoff = (uint32_t)z.size();
    z += cd;
    Bench_Put(z, 0x06054b50, 4); Bench_Put(z, 0, 4); Bench_Put(z, 1, 2); Bench_Put(z, 1, 2);
    Bench_Put(z, (uint32_t)cd.size(), 4); Bench_Put(z, cdoff, 4); Bench_Put(z, 0, 2);
    return z;
}

static void Bench_WriteFile(const std::string &path, const std::string &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        fprintf(stderr, "bench_files: can't write %s\n", path.c_str());
        exit(1);
    }
    fclose(f);
}

static void Bench_ArchiveOpen(const std::string &dir)
{
    std::string data;
    static const char *words[] = {"chicken ", "plasma ", "glibber ", "balloon ", "comet ", "42 ", "\n"};
    while (data.size() < (1u << 20))
        data += words[Bench_Rand() % 7];
    data.resize(1u << 20);
    std::string zip = Bench_Zip("big.bin", data);
    Bench_WriteFile(dir + "/b.pk3", zip);
    FS_Mount((dir + "/b.pk3").c_str(), (dir + "/data/").c_str());
    const int n = 100;
    double t0 = Bench_Now();
    for (int i = 0; i < n; i++) {
        fsfile_t *f = FS_Open((dir + "/data/big.bin").c_str(), "rb");
        if (!f || FS_Length(f) != data.size()) {
            fprintf(stderr, "bench_files: member did not open\n");
            exit(1);
        }
        FS_Close(f);
    }
    double per = (Bench_Now() - t0) / n;
    printf("archive: open of a 1 MiB deflated member (%zu bytes packed): %.3f ms, %.0f MiB/s\n", zip.size(),
           per * 1e3, 1.0 / per);
}

/* A closed grid of rows x cols quads bent into a sphere; 2 triangles a quad. */
static void Bench_Sphere(int rows, int cols, std::vector<float> &pos, std::vector<float> &uv,
                         std::vector<uint32_t> &faces)
{
    for (int r = 0; r <= rows; r++)
        for (int c = 0; c <= cols; c++) {
            float th = (float)M_PI * r / rows, ph = 2 * (float)M_PI * c / cols;
            pos.insert(pos.end(), {sinf(th) * cosf(ph), cosf(th), sinf(th) * sinf(ph)});
            uv.insert(uv.end(), {(float)c / cols, (float)r / rows});
        }
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < cols; c++) {
            uint32_t a = r * (cols + 1) + c, b = a + 1, d = a + cols + 1, e = d + 1;
            faces.insert(faces.end(), {a, d, b, b, d, e});
        }
}

static mdl_mesh_t Bench_Mesh(int rows, int cols)
{
    std::vector<float> pos, uv;
    std::vector<uint32_t> faces;
    Bench_Sphere(rows, cols, pos, uv, faces);
    mdl_mesh_t m;
    memset(&m, 0, sizeof(m));
    strcpy(m.name, "sphere");
    m.numframes = 1;
    m.frames = (mdl_frame_t *)calloc(1, sizeof(mdl_frame_t));
    m.frames[0].verts = (float *)malloc(pos.size() * 4);
    memcpy(m.frames[0].verts, pos.data(), pos.size() * 4);
    m.numverts = (uint32_t)(pos.size() / 3);
    m.numtris = (uint32_t)(faces.size() / 3);
    m.faces = (uint32_t *)malloc(faces.size() * 4);
    memcpy(m.faces, faces.data(), faces.size() * 4);
    m.tfaces = (uint32_t *)malloc(faces.size() * 4);
    memcpy(m.tfaces, faces.data(), faces.size() * 4);
    m.numtverts = (uint32_t)(uv.size() / 2);
    m.tverts = (float *)malloc(uv.size() * 4);
    memcpy(m.tverts, uv.data(), uv.size() * 4);
    return m;
}

static void Bench_ModelLoad(const std::string &dir, int scale)
{
    mdl_mesh_t m = Bench_Mesh(50, 100 * scale);
    mdl_material_t mat;
    memset(&mat, 0, sizeof(mat));
    std::string base = dir + "/data/ball";
    colmodel_t *c = Col_Build(&m, 1);
    Model_WriteFile((base + ".dmo").c_str(), &mat, 1, &m, 1);
    Col_WriteFile((base + ".dbb").c_str(), c);
    Col_Free(c);
    const int n = 50;
    double t0 = Bench_Now();
    for (int i = 0; i < n; i++) {
        model_t *mm = Model_Get(base.c_str());
        if (!mm || !mm->collision) {
            fprintf(stderr, "bench_files: model did not load\n");
            exit(1);
        }
        Model_Release(mm);
    }
    printf("model: load of %u triangles with collision file (%ju + %ju bytes): %.3f ms\n", m.numtris,
           (uintmax_t)std::filesystem::file_size(base + ".dmo"), (uintmax_t)std::filesystem::file_size(base + ".dbb"),
           (Bench_Now() - t0) / n * 1e3);
    Model_FreeMesh(&m);
}

static void Bench_Queries(int scale)
{
    mdl_mesh_t m = Bench_Mesh(50, 100 * scale);
    colmodel_t *c = Col_Build(&m, 1);
    const col_box_t *b = &c->frames[0];
    const int n = 200000;
    std::vector<float> segs((size_t)n * 6);
    for (auto &v : segs)
        v = (float)(Bench_Rand() % 4001) / 1000.0f - 2.0f;
    int hits = 0;
    double t0 = Bench_Now();
    for (int i = 0; i < n; i++) {
        float f;
        hits += Col_SegmentQuery(b, &segs[(size_t)i * 6], &segs[(size_t)i * 6 + 3], &f);
    }
    double dt = Bench_Now() - t0;
    size_t tris = 0;
    for (int i = 0; i < 27; i++)
        tris += b->cells[i].numtris;
    printf("collision: %.0f segment queries/s against %u triangles (%zu cell entries), %d%% hit\n", n / dt,
           m.numtris, tris, hits * 100 / n);
    /* the all-triangle walk the grid saves */
    t0 = Bench_Now();
    const int nb = 2000;
    for (int i = 0; i < nb; i++)
        for (uint32_t t = 0; t < m.numtris; t++) {
            float tt;
            Col_RayTriangle(&segs[(size_t)i * 6], &segs[(size_t)i * 6 + 3], &m.frames[0].verts[m.faces[t * 3] * 3],
                            &m.frames[0].verts[m.faces[t * 3 + 1] * 3], &m.frames[0].verts[m.faces[t * 3 + 2] * 3],
                            &tt);
        }
    printf("collision: %.0f segments/s testing every triangle instead\n", nb / (Bench_Now() - t0));
    Col_Free(c);
    Model_FreeMesh(&m);
}

static void Bench_Convert(const std::string &dir, int scale)
{
    const int rows = 200, cols = 250 * scale;
    std::vector<float> pos, uv;
    std::vector<uint32_t> faces;
    Bench_Sphere(rows, cols, pos, uv, faces);
    std::string s = "*3DSMAX_ASCIIEXPORT 200\n*MATERIAL_LIST {\n\t*MATERIAL_COUNT 1\n\t*MATERIAL 0 {\n"
                    "\t\t*MAP_DIFFUSE {\n\t\t\t*MAP_CLASS \"Bitmap\"\n\t\t\t*BITMAP \"C:\\maps\\ball.tga\"\n"
                    "\t\t}\n\t}\n}\n*GEOMOBJECT {\n\t*NODE_NAME \"Ball\"\n\t*MESH {\n\t\t*TIMEVALUE 0\n";
    char line[256];
    size_t nv = pos.size() / 3, nt = faces.size() / 3;
    snprintf(line, sizeof(line), "\t\t*MESH_NUMVERTEX %zu\n\t\t*MESH_NUMFACES %zu\n\t\t*MESH_VERTEX_LIST {\n", nv, nt);
    s += line;
    for (size_t i = 0; i < nv; i++) {
        snprintf(line, sizeof(line), "\t\t\t*MESH_VERTEX %5zu\t%.4f\t%.4f\t%.4f\n", i, pos[i * 3], pos[i * 3 + 1],
                 pos[i * 3 + 2]);
        s += line;
    }
    s += "\t\t}\n\t\t*MESH_FACE_LIST {\n";
    for (size_t i = 0; i < nt; i++) {
        snprintf(line, sizeof(line), "\t\t\t*MESH_FACE %5zu:    A: %5u B: %5u C: %5u AB: 1 BC: 1 CA: 0\n", i,
                 faces[i * 3], faces[i * 3 + 1], faces[i * 3 + 2]);
        s += line;
    }
    snprintf(line, sizeof(line), "\t\t}\n\t\t*MESH_NUMTVERTEX %zu\n\t\t*MESH_TVERTLIST {\n", nv);
    s += line;
    for (size_t i = 0; i < nv; i++) {
        snprintf(line, sizeof(line), "\t\t\t*MESH_TVERT %zu\t%.4f\t%.4f\t0.0000\n", i, uv[i * 2], uv[i * 2 + 1]);
        s += line;
    }
    snprintf(line, sizeof(line), "\t\t}\n\t\t*MESH_NUMTVFACES %zu\n\t\t*MESH_TFACELIST {\n", nt);
    s += line;
    for (size_t i = 0; i < nt; i++) {
        snprintf(line, sizeof(line), "\t\t\t*MESH_TFACE %zu\t%u\t%u\t%u\n", i, faces[i * 3], faces[i * 3 + 1],
                 faces[i * 3 + 2]);
        s += line;
    }
    s += "\t\t}\n\t}\n\t*MATERIAL_REF 0\n}\n";
    std::string scene = dir + "/Ball.ASE";
    Bench_WriteFile(scene, s);

    /* the phases one by one, then the whole conversion */
    model_t m;
    memset(&m, 0, sizeof(m));
    double t0 = Bench_Now();
    if (!ASE_ReadScene(scene.c_str(), &m)) {
        fprintf(stderr, "bench_files: scene did not read\n");
        exit(1);
    }
    double t1 = Bench_Now();
    Model_WeldMesh(&m.meshes[0]);
    double t2 = Bench_Now();
    colmodel_t *c = Col_Build(m.meshes, 1);
    double t3 = Bench_Now();
    Col_Free(c);
    Model_FreeArrays(&m);
    double t4 = Bench_Now();
    int ok = Conv_ConvertScene(scene.c_str());
    double t5 = Bench_Now();
    printf("convert: scene of %zu triangles (%.1f MiB text): %.0f ms in all (%s); read %.0f ms, weld %.0f ms, "
           "collision %.0f ms\n",
           nt, s.size() / 1048576.0, (t5 - t4) * 1e3, ok ? "written" : "FAILED", (t1 - t0) * 1e3, (t2 - t1) * 1e3,
           (t3 - t2) * 1e3);
}

/* ---- mounting and deflate bombs ---------------------------------------- */

/* A zip of count stored members, all of whose central entries point at
 * one empty local header (as a hostile archive can), named by name(i). */
static std::string Bench_ManyMembers(int count, std::string (*name)(int))
{
    std::string z, cd;
    Bench_Put(z, 0x04034b50, 4);
    Bench_Put(z, 20, 2); Bench_Put(z, 0, 2); Bench_Put(z, 0, 2); Bench_Put(z, 0, 4);
    Bench_Put(z, 0, 4); Bench_Put(z, 0, 4); Bench_Put(z, 0, 4); Bench_Put(z, 1, 2); Bench_Put(z, 0, 2);
    z += "x";
    for (int i = 0; i < count; i++) {
        std::string n = name(i);
        Bench_Put(cd, 0x02014b50, 4);
        Bench_Put(cd, 20, 2); Bench_Put(cd, 20, 2); Bench_Put(cd, 0, 2); Bench_Put(cd, 0, 2); Bench_Put(cd, 0, 4);
        Bench_Put(cd, 0, 4); Bench_Put(cd, 0, 4); Bench_Put(cd, 0, 4);
        Bench_Put(cd, (uint32_t)n.size(), 2); Bench_Put(cd, 0, 4); Bench_Put(cd, 0, 4); Bench_Put(cd, 0, 4);
        Bench_Put(cd, 0, 4);
        cd += n;
    }
    uint32_t cdoff = (uint32_t)z.size();
    z += cd;
    Bench_Put(z, 0x06054b50, 4); Bench_Put(z, 0, 4); Bench_Put(z, (uint32_t)count, 2);
    Bench_Put(z, (uint32_t)count, 2); Bench_Put(z, (uint32_t)cd.size(), 4); Bench_Put(z, cdoff, 4);
    Bench_Put(z, 0, 2);
    return z;
}

/* 200-character paths twelve folders deep, spread over many folders */
static std::string Bench_DeepName(int i)
{
    char n[256];
    snprintf(n, sizeof(n), "d%03d/e%03d/", i % 257, (i / 257) % 263);
    std::string s = n;
    for (int k = 0; k < 10; k++)
        s += "folder" + std::to_string(k) + "x" + std::string(8, (char)('a' + (i + k) % 26)) + "/";
    while (s.size() < 190)
        s += "q";
    return s + std::to_string(i);
}

static std::string Bench_FlatName(int i)
{
    char n[16];
    snprintf(n, sizeof(n), "f%05d", i);
    return n;
}

static void Bench_MountOne(const std::string &dir, const char *what, const std::string &zip, const std::string &probe)
{
    std::string path = dir + "/m.pk3";
    Bench_WriteFile(path, zip);
    FS_Shutdown();
    double t0 = Bench_Now();
    clock_t c0 = clock(); /* processor time too: the machine may be busy with others */
    int ok = FS_Mount(path.c_str(), (dir + "/data/").c_str());
    double cpu = (double)(clock() - c0) / CLOCKS_PER_SEC, t1 = Bench_Now();
    fsfile_t *f = FS_Open((dir + "/data/" + probe).c_str(), "rb");
    double t2 = Bench_Now();
    printf("mount: %s (%.1f MB): %.3f s, %.3f s CPU (mounted %d), one look-up %.3f ms (%s)\n", what, zip.size() / 1e6,
           t1 - t0, cpu, ok, (t2 - t1) * 1e3, f ? "found" : "not found");
    FS_Close(f);
    FS_Shutdown();
}

static void Bench_MountGame(void)
{
    std::string data = std::string(GK_DIST_DIR) + "/data/";
    FS_Shutdown();
    double t0 = Bench_Now();
    int n = 0;
    clock_t c0 = clock();
    for (int i = -1; i < 10; i++) {
        std::string name = data + (i < 0 ? std::string("demo") : "vex" + std::to_string(i)) + ".pk3";
        n += FS_Mount(name.c_str(), data.c_str());
    }
    printf("mount: the game's own %d archives in %s: %.3f s, %.3f s CPU\n", n, data.c_str(), Bench_Now() - t0,
           (double)(clock() - c0) / CLOCKS_PER_SEC);
    FS_Shutdown();
}

/* A member of 1 GiB of zeros, deflated (about 1 MB), next to its CRC. */
static std::string Bench_Bomb(void)
{
    const size_t chunk = 16u << 20, count = 64;
    std::string zeros(chunk, '\0');
    z_stream zs;
    memset(&zs, 0, sizeof(zs));
    deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string piece(deflateBound(&zs, chunk), '\0');
    zs.next_in = (Bytef *)zeros.data();
    zs.avail_in = (uInt)chunk;
    zs.next_out = (Bytef *)piece.data();
    zs.avail_out = (uInt)piece.size();
    deflate(&zs, Z_FULL_FLUSH); /* byte-aligned, no reference before it: it can be repeated */
    piece.resize(zs.total_out);
    std::string body;
    for (size_t i = 0; i < count; i++)
        body += piece;
    unsigned char end[16];
    zs.next_out = end;
    zs.avail_out = sizeof(end);
    deflate(&zs, Z_FINISH);
    body.append((const char *)end, sizeof(end) - zs.avail_out);
    deflateEnd(&zs);
    uLong c1 = crc32(0, (const Bytef *)zeros.data(), (uInt)chunk), crc = c1;
    for (size_t i = 1; i < count; i++)
        crc = crc32_combine(crc, c1, (z_off_t)chunk);
    uint32_t usize = (uint32_t)(chunk * count), csize = (uint32_t)body.size();
    std::string z, cd;
    Bench_Put(z, 0x04034b50, 4);
    Bench_Put(z, 20, 2); Bench_Put(z, 0, 2); Bench_Put(z, 8, 2); Bench_Put(z, 0, 4);
    Bench_Put(z, (uint32_t)crc, 4); Bench_Put(z, csize, 4); Bench_Put(z, usize, 4);
    Bench_Put(z, 8, 2); Bench_Put(z, 0, 2);
    z += "bomb.dmo" + body;
    Bench_Put(cd, 0x02014b50, 4);
    Bench_Put(cd, 20, 2); Bench_Put(cd, 20, 2); Bench_Put(cd, 0, 2); Bench_Put(cd, 8, 2); Bench_Put(cd, 0, 4);
    Bench_Put(cd, (uint32_t)crc, 4); Bench_Put(cd, csize, 4); Bench_Put(cd, usize, 4);
    Bench_Put(cd, 8, 2); Bench_Put(cd, 0, 4); Bench_Put(cd, 0, 4); Bench_Put(cd, 0, 4); Bench_Put(cd, 0, 4);
    cd += "bomb.dmo";
    uint32_t cdoff = (uint32_t)z.size();
    z += cd;
    Bench_Put(z, 0x06054b50, 4); Bench_Put(z, 0, 4); Bench_Put(z, 1, 2); Bench_Put(z, 1, 2);
    Bench_Put(z, (uint32_t)cd.size(), 4); Bench_Put(z, cdoff, 4); Bench_Put(z, 0, 2);
    return z;
}

/* Mounts and opens the bomb in a child process: its time and peak memory. */
static void Bench_BombOpen(const std::string &dir)
{
    std::string zip = Bench_Bomb();
    Bench_WriteFile(dir + "/bomb.pk3", zip);
    double t0 = Bench_Now();
    pid_t pid = fork();
    if (pid == 0) {
        FS_Shutdown();
        FS_Mount((dir + "/bomb.pk3").c_str(), (dir + "/data/").c_str());
        fsfile_t *f = FS_Open((dir + "/data/bomb.dmo").c_str(), "rb");
        _exit(f ? 0 : 1);
    }
    int status = 0;
    struct rusage ru;
    memset(&ru, 0, sizeof(ru));
    wait4(pid, &status, 0, &ru);
    printf("bomb: a %.1f MB archive whose member claims 1 GiB: %s after %.3f s, peak memory %.0f MB\n",
           zip.size() / 1e6, WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "opened" : "refused", Bench_Now() - t0,
           ru.ru_maxrss / 1024.0);
}

static int Bench_Mounts(const std::string &dir)
{
    Bench_MountOne(dir, "65535 members with 200-character paths", Bench_ManyMembers(65535, Bench_DeepName),
                   Bench_DeepName(65534));
    Bench_MountOne(dir, "65535 members in one folder", Bench_ManyMembers(65535, Bench_FlatName),
                   Bench_FlatName(65534));
    Bench_MountGame();
    Bench_BombOpen(dir);
    return 0;
}

static double Bench_Cpu(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

/* bench_files -convert scene...: each scene converted in this process
 * until a second of CPU has gone (at least 3 times); the median CPU time
 * of a conversion, so other load on the machine does not count. */
static int Bench_ConvertFiles(int count, char **names)
{
    for (int i = 0; i < count; i++) {
        std::vector<double> cpu;
        double spent = 0;
        while (cpu.size() < 3 || (spent < 1.0 && cpu.size() < 50)) {
            double t0 = Bench_Cpu();
            if (!Conv_ConvertScene(names[i]))
                return 1;
            cpu.push_back(Bench_Cpu() - t0);
            spent += cpu.back();
        }
        std::sort(cpu.begin(), cpu.end());
        printf("convert %s: median %.1f ms of CPU over %zu conversions\n", names[i], cpu[cpu.size() / 2] * 1e3,
               cpu.size());
    }
    return 0;
}

int main(int argc, char **argv)
{
    if (argc > 2 && !strcmp(argv[1], "-convert"))
        return Bench_ConvertFiles(argc - 2, argv + 2);
    int scale = argc > 1 ? atoi(argv[1]) : 1;
    if (scale < 1)
        scale = 1;
    char tmpl[] = "/tmp/gkbench.XXXXXX";
    if (!mkdtemp(tmpl))
        return 1;
    std::string dir = tmpl;
    std::filesystem::create_directories(dir + "/data");
    Com_Strncpy(com_datadir, (dir + "/data/").c_str(), sizeof(com_datadir));
    if (argc > 1 && !strcmp(argv[1], "-mount")) {
        Bench_Mounts(dir);
        std::filesystem::remove_all(dir);
        return 0;
    }
    Bench_ArchiveOpen(dir);
    Bench_ModelLoad(dir, scale);
    Bench_Queries(scale);
    Bench_Convert(dir, scale);
    FS_Shutdown();
    std::filesystem::remove_all(dir);
    return 0;
}
