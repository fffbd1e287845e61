/* The scene converter end to end */
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "ase.h"
#include "collision.h"
#include "convert.h"
#include "gk_support.h"
#include "model.h"

namespace {

std::string Scene(const std::string &name)
{
    std::string s;
    EXPECT_TRUE(gk::ReadFile(gk::SourceDir() + "/tests/fuzz/corpus/fuzz_ase/" + name, &s)) << name;
    return s;
}

/* Floats compared as EXPECT_FLOAT_EQ does, in one line each side. */
void ExpectFloats(const std::vector<float> &want, const std::vector<float> &got)
{
    ASSERT_EQ(want.size(), got.size());
    for (size_t i = 0; i < want.size(); i++)
        EXPECT_FLOAT_EQ(want[i], got[i]) << i;
}

struct ConvertTest : ::testing::Test {
    gk::TempDir tmp;
    model_t m{};
    void TearDown() override { Model_FreeArrays(&m); }
    /* Writes text as dir/name and converts it. */
    int Convert(const std::string &text, const std::string &name = "Scene.ASE")
    {
        gk::MakeDirs(tmp / "Models");
        EXPECT_TRUE(gk::WriteFile(tmp / ("Models/" + name), text));
        return Conv_ConvertScene((tmp / ("Models/" + name)).c_str());
    }
    bool Exists(const std::string &rel)
    {
        std::string s;
        return gk::ReadFile(tmp / rel, &s);
    }
    void Load(const std::string &rel)   /* in place of the last one */
    {
        Model_FreeArrays(&m);
        ASSERT_EQ(1, Model_ReadFile((tmp / rel).c_str(), 0, &m));
    }
};

TEST_F(ConvertTest, CorpusScenes)
{
    /* after a line longer than 510 characters, which is read in pieces */
    ASSERT_EQ(1, Convert("*COMMENT " + std::string(600, 'c') + "\n" + Scene("quad.ase"), "Quad.ASE"));
    EXPECT_FALSE(Exists("Models/Quad.dmo"));
    Load("Models/quad.dmo");
    ASSERT_EQ(1u, m.nummeshes);
    const mdl_material_t &q = m.materials[0];
    const mdl_mesh_t &quad = m.meshes[0];
    EXPECT_STREQ("kluck", q.diffusemap.name);
    EXPECT_STREQ("Quad", quad.name);
    ExpectFloats({0.1f, 0.7f, 0.9f, 0.25f, 1, 0.5f, 2}, {q.ambient[0], q.diffuse[2], q.specular[0], q.transparency,
                                                         q.diffusemap.amount, q.diffusemap.uoffset,
                                                         q.diffusemap.utiling});
    EXPECT_EQ((std::vector<uint32_t>{1, 0, 0, 2, 4, 4, 1}),
              (std::vector<uint32_t>{(uint32_t)q.diffusemap.present, (uint32_t)q.bumpmap.present,
                                     (uint32_t)q.reflectmap.present, quad.numtris, quad.numverts, quad.numtverts,
                                     quad.numframes}));
    ASSERT_NE(nullptr, quad.frames[0].normals);
    const float *v = quad.frames[0].verts, *n = quad.frames[0].normals;
    ExpectFloats({0, 3, -2, 1}, {v[9], v[10], v[11], quad.tverts[5]});
    /* each corner's normal, of unit length; the face normal lines between them are no corners */
    ExpectFloats({0, 1, 0, 1, 0, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 0.8f, -0.6f}, std::vector<float>(n, n + 18));
    const uint32_t want[6] = {0, 1, 2, 0, 2, 3};
    EXPECT_EQ(0, std::memcmp(want, quad.faces, 24));
    EXPECT_EQ(0, std::memcmp(want, quad.tfaces, 24)) << "texture faces equal the faces";
    colmodel_t *c = Col_ReadFile((tmp / "Models/quad.dbb").c_str());
    ASSERT_TRUE(c && c->numframes == 1u) << (c ? c->numframes : 0);
    ExpectFloats({3, 1.5f, -1, 0.5f},
                 {(float)c->frames[0].res, c->frames[0].centre[1], c->frames[0].centre[2], c->frames[0].half[0]});
    Col_Free(c);

    ASSERT_EQ(1, Convert(Scene("anim3.ase"), "flap.ase"));
    Load("Models/flap.dmo");
    const mdl_mesh_t &flap = m.meshes[0];
    ASSERT_EQ(3u, flap.numframes);
    ExpectFloats({0, 160, 320, 3, 0, 2, -1, 1, -1},
                 {(float)flap.frames[0].time, (float)flap.frames[1].time, (float)flap.frames[2].time,
                  (float)flap.numverts, (float)flap.numtverts, flap.frames[2].verts[4], flap.frames[2].verts[8],
                  flap.frames[1].verts[7], flap.frames[1].verts[8]});
    c = Col_ReadFile((tmp / "Models/flap.dbb").c_str());
    ASSERT_NE(nullptr, c);
    ASSERT_EQ(3u, c->numframes);
    for (int f = 0; f < 3; f++)
        EXPECT_FLOAT_EQ(f / 2.0f, c->frames[f].half[1]) << f;
    Col_Free(c);

    ASSERT_EQ(1, Convert(Scene("twomat.ase"), "Two.ase"));
    Load("Models/two.dmo");
    ASSERT_EQ(2u, m.nummaterials);
    ASSERT_EQ(2u, m.nummeshes);
    EXPECT_EQ((std::vector<std::string>{"Chicken.Feathers", "shine", "bumpy", "Body", "Wing"}),
              (std::vector<std::string>{m.materials[0].diffusemap.name, m.materials[0].reflectmap.name,
                                        m.materials[1].bumpmap.name, m.meshes[0].name, m.meshes[1].name}));
    /* an object without a name line, or whose last one has no quotes, names its mesh nothing (not the name before) */
    for (const char *instead : {"", "*NODE_NAME \"Wing\"\n*NODE_NAME Wing"}) {
        std::string unnamed = Scene("twomat.ase");
        ASSERT_EQ(1, Convert(unnamed.replace(unnamed.find("*NODE_NAME \"Wing\""), 17, instead), "Two.ase"));
        Load("Models/two.dmo");
        EXPECT_STREQ("", m.meshes[1].name) << instead;
    }
}

TEST_F(ConvertTest, OutputNames)
{
    char out[64]; /* names that convert: the corpus scenes and the real tool */
    EXPECT_EQ(0, Conv_OutputBase("ab", out, sizeof(out)));
    EXPECT_EQ(0, Conv_OutputBase(std::string(70, 'x').c_str(), out, sizeof(out)));
    EXPECT_EQ(0, Conv_ConvertScene((tmp / "missing.ase").c_str()));
}

/* Text recoded by the C library's converters. */
std::string Recode(const std::string &text, const char *from, const char *to)
{
    iconv_t cd = iconv_open(to, from);
    std::string out(text.size() * 4, '\0');
    char *in = const_cast<char *>(text.data()), *at = out.data();
    size_t inleft = text.size(), outleft = out.size();
    EXPECT_NE((size_t)-1, iconv(cd, &in, &inleft, &at, &outleft)) << from << " to " << to;
    iconv_close(cd);
    out.resize(out.size() - outleft);
    return out;
}

/* A scene saved as UTF-8 with its mark or as UTF-16 of either byte order converts alike. */
TEST_F(ConvertTest, EncodedScenesGiveTheSameFiles)
{
    std::string text = Scene("twomat.ase");
    text.replace(text.find("\"Body\""), 6, "\"B\xF6" "dy\x80\x9F\"");
    ASSERT_EQ(1, Convert(text, "plain.ase"));
    std::string dmo, dbb, got;
    ASSERT_TRUE(gk::ReadFile(tmp / "Models/plain.dmo", &dmo));
    ASSERT_TRUE(gk::ReadFile(tmp / "Models/plain.dbb", &dbb) && dmo.find("B\xF6" "dy\x80\x9F") != std::string::npos);
    /* the exporters' 8-bit code page */
    const std::string utf8 = Recode(text, "CP1252", "UTF-8");
    const char *encodings[][3] = {{"utf8", "UTF-8", "\xEF\xBB\xBF"}, {"le", "UTF-16LE", "\xFF\xFE"},
                                  {"be", "UTF-16BE", "\xFE\xFF"}};
    for (const auto &enc : encodings) {
        std::string how = enc[0];
        auto encode = [&](const std::string &u8) { return enc[2] + Recode(u8, "UTF-8", enc[1]); };
        ASSERT_EQ(1, Convert(encode(utf8), how + ".ase")) << how;
        EXPECT_TRUE(gk::ReadFile(tmp / ("Models/" + how + ".dmo"), &got) && got == dmo) << how;
        EXPECT_TRUE(gk::ReadFile(tmp / ("Models/" + how + ".dbb"), &got) && got == dbb) << how;

        std::string beyond = encode(utf8 + "*COMMENT \u4E2D\n"), cut = encode(utf8 + "\u00E9");
        cut.pop_back();
        for (const std::string &bad : {beyond, cut}) {
            EXPECT_EQ(0, Convert(bad, "bad.ase")) << how;
            EXPECT_FALSE(Exists("Models/bad.dmo")) << how;
        }
    }
    /* a character split between two 64 KiB reads of a longer file is put together again */
    std::string longer = "\xEF\xBB\xBF" + utf8;
    while (longer.size() < 65400)
        longer += "*COMMENT " + std::string(90, 'x') + "\n";
    longer += "*COMMENT " + std::string(65538 - longer.size() - 9, 'x') + "\u00E9\n";
    EXPECT_EQ(1, Convert(longer, "long.ase"));
}

/* A bitmap's texture name is the part after the last folder separator, a slash or a backslash */
TEST_F(ConvertTest, BitmapNamesAndNumbers)
{
    const char *paths[][2] = {{"C:\\maps\\kluck.tga", "kluck"}, {"../3DS/MP5SIL.BMP", "MP5SIL"},
                              {"a/b\\mixed.tga", "mixed"},       {"a\\b/mixed2.tga", "mixed2"},
                              {"plain.tga", "plain"},            {"/abs/dir.v2/x.tga", "x"}};
    const char *numbers[] = {"0.1",      "-0.0000",  "16777215", "16777217", "123456.7", "0.30000001",
                             ".5",       "5.",       "+2.5",     "1e3",      "-1.5E-3",  "0x1p-2",
                             "0.00000000001", "3.4028234e38", "1234567.891", "0.333333333333",
                             /* digits up to a float's 24 bits divide exactly; the first that may not */
                             "1677720.7", "1677721.7"};
    const int count = (int)(sizeof(numbers) / sizeof(numbers[0]));
    std::string scene = "*MATERIAL_LIST {\n*MATERIAL_COUNT 6\n";
    for (int i = 0; i < 6; i++)
        scene += "*MATERIAL " + std::to_string(i) + " {\n*MAP_DIFFUSE {\n*MAP_CLASS \"Bitmap\"\n*BITMAP \"" +
                 paths[i][0] + "\"\n}\n}\n";
    scene += "}\n*GEOMOBJECT {\n*NODE_NAME \"N\"\n*MESH {\n*TIMEVALUE 0\n*MESH_NUMVERTEX " + std::to_string(count) + "\n*MESH_VERTEX_LIST {\n";
    for (const char *n : numbers)
        scene += std::string("*MESH_VERTEX 0\t") + n + "\t0\t0\n";
    scene += "}\n}\n*MATERIAL_REF 0\n}\n";
    ASSERT_TRUE(gk::WriteFile(tmp / "n.ase", scene));
    setlocale(LC_NUMERIC, "de_DE.UTF-8"); /* decimal comma, where installed */
    int ok = ASE_ReadScene((tmp / "n.ase").c_str(), &m);
    setlocale(LC_NUMERIC, "C");
    ASSERT_EQ(1, ok);
    ASSERT_EQ(6u, m.nummaterials);
    for (int i = 0; i < 6; i++)
        EXPECT_STREQ(paths[i][1], m.materials[i].diffusemap.name) << paths[i][0];
    ASSERT_EQ(1u, m.nummeshes);
    for (int i = 0; i < count; i++)
        EXPECT_EQ(strtof(numbers[i], nullptr), m.meshes[0].frames[0].verts[i * 3]) << numbers[i];
}

/* Scenes that break a bound, have an index outside their mesh or a coordinate that is no finite number,
 * are cut short or yield no mesh (the corpus's broken_line<N>_*.ase) fail, naming line N; the real tool
 * writes nothing for the large ones and ends with status 1. */
TEST_F(ConvertTest, BrokenScenesNameTheirLine)
{
    struct Case { std::string path; int line; bool tool; };
    std::vector<Case> cases;
    for (const auto &e : std::filesystem::directory_iterator(gk::SourceDir() + "/tests/fuzz/corpus/fuzz_ase")) {
        std::string name = e.path().filename().string();
        if (name.rfind("broken_line", 0) == 0)
            cases.push_back({e.path().string(), std::stoi(name.substr(11)), name.find("cut_short") != name.npos});
    }
    EXPECT_EQ(22u, cases.size());
    std::string nested;
    for (int i = 0; i < 400000; i++)
        nested += i < 200000 ? "*A {\n" : "}\n";
    ASSERT_TRUE(gk::WriteFile(tmp / "nested.ase", nested));
    ASSERT_TRUE(gk::WriteFile(tmp / "comment.ase", "*COMMENT " + std::string(50 << 20, 'c') + "\n"));
    cases.insert(cases.end(), {{tmp / "nested.ase", 400000, true}, {tmp / "comment.ase", 1, true}});
    for (const Case &c : cases) {
        std::string at = ": line " + std::to_string(c.line) + ": ";
        EXPECT_EQ(0, ASE_ReadScene(c.path.c_str(), &m)) << c.path;
        EXPECT_EQ(0u, (std::string(": ") + ASE_Error()).rfind(at, 0)) << c.path << ": " << ASE_Error();
        if (c.tool) { /* a copy beside the two large scenes: nothing else may appear there */
            std::filesystem::copy_file(c.path, tmp / "cut.ase", std::filesystem::copy_options::overwrite_existing);
            gk::ProcResult r = gk::RunProcess({gk::DistDir() + "/vexengine", "-convert", tmp / "cut.ase"}, tmp.path);
            EXPECT_TRUE(r.status == 1 && r.out.empty() && r.err.find("cut.ase" + at) != std::string::npos) << r.status << r.out << r.err;
            EXPECT_EQ(3, std::distance(std::filesystem::directory_iterator(tmp.path), {}));
        }
    }
}

TEST_F(ConvertTest, EngineToolModeStatusAndFullDisk)
{
    const std::string exe = gk::DistDir() + "/vexengine", scene = tmp / "Models/Quad.ASE";
    gk::MakeDirs(tmp / "Models");
    ASSERT_TRUE(gk::WriteFile(scene, Scene("quad.ase")));
    gk::ProcResult r = gk::RunProcess({exe, "-convert", scene}, tmp.path);
    EXPECT_TRUE(r.status == 0 && r.out.empty()) << r.err << r.out;
    Load("Models/quad.dmo");
    EXPECT_EQ(1u, m.nummeshes);
    EXPECT_TRUE(Exists("Models/quad.dbb"));

    ASSERT_TRUE(gk::WriteFile(tmp / "Models/quad.dmo", "old model"));
    ASSERT_TRUE(gk::WriteFile(tmp / "Models/quad.dbb", "old collision"));
    r = gk::RunProcess({"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 1; exec \"$0\" -convert \"$1\"", exe, scene},
                       tmp.path);
    EXPECT_EQ(1, r.status);
    std::string err; /* without the coverage runtime's own complaints about the size limit */
    for (size_t at = 0, nl; at < r.err.size(); at = nl + 1) {
        nl = r.err.find('\n', at);
        nl = nl == std::string::npos ? r.err.size() : nl;
        if (r.err.compare(at, 7, "libgcov"))
            err += r.err.substr(at, nl - at + 1);
    }
    EXPECT_EQ(1, std::count(err.begin(), err.end(), '\n')) << r.err;
    EXPECT_TRUE(r.err.find("Models/quad.d") != std::string::npos && r.err.find("File too large") != std::string::npos) << r.err;
    std::string old;
    EXPECT_TRUE(gk::ReadFile(tmp / "Models/quad.dmo", &old) && old == "old model");
    EXPECT_TRUE(gk::ReadFile(tmp / "Models/quad.dbb", &old) && old == "old collision");
    /* the scene and its two old outputs: no temporary file is left */
    EXPECT_EQ(3, std::distance(std::filesystem::directory_iterator(tmp / "Models"), {}));
}

} // namespace
