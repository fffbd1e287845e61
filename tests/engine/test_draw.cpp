/* test_draw.cpp -- frame drawing with real entities, models, textures and fonts */
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <string>
#include <vector>

#include "common.h"
#include "draw.h"
#include "entity.h"
#include "font.h"
#include "glcontext.h"
#include "gk_mesh.h"
#include "gk_support.h"
#include "model.h"
#include "texture.h"
#include "tgawriter.h"

namespace {

/* A square of half size h in the plane z, facing +z (or -z when flipped), with its bitmap. */
struct Square { float h, z; const char *tex; bool flipped = false; };

bool WriteModel(const std::string &base, const std::vector<Square> &squares)
{
    std::vector<mdl_material_t> mats(squares.size());
    std::vector<mdl_mesh_t> meshes;
    for (size_t i = 0; i < squares.size(); i++) {
        const Square &q = squares[i];
        mats[i] = mdl_material_t{};
        mats[i].diffusemap.present = *q.tex != 0;
        Com_Strncpy(mats[i].diffusemap.name, q.tex, sizeof(mats[i].diffusemap.name));
        mats[i].diffusemap.utiling = mats[i].diffusemap.vtiling = 1;
        meshes.push_back(gk::MakeMesh("sq", {{-q.h, -q.h, q.z, q.h, -q.h, q.z, q.h, q.h, q.z, -q.h, q.h, q.z}},
                                      q.flipped ? std::vector<uint32_t>{0, 2, 1, 0, 3, 2}
                                                : std::vector<uint32_t>{0, 1, 2, 0, 2, 3},
                                      {0, 0, 1, 0, 1, 1, 0, 1}, {}, (int)i));
    }
    bool ok = Model_WriteFile((base + ".dmo").c_str(), mats.data(), (uint32_t)mats.size(), meshes.data(),
                              (uint32_t)meshes.size()) == 1;
    for (mdl_mesh_t &m : meshes)
        Model_FreeMesh(&m);
    return ok;
}

/* Entities spawned from files in a scratch data directory */
template <class Base> struct DrawScene : Base {
    gk::TempDir dir;
    void SetUp() override
    {
        Base::SetUp();
        if (this->IsSkipped())
            return;
        Ent_Reset();
        Com_Strncpy(com_datadir, (dir.path + "/").c_str(), sizeof(com_datadir));
        gk::WriteFile(dir / "red.tga", gk::SolidRgb(2, 2, 255, 0, 0));
        gk::WriteFile(dir / "white.tga", gk::SolidRgb(2, 2, 255, 255, 255));
        gk::WriteFile(dir / "glass.tga", gk::SolidRgba(2, 2, 0, 255, 0, 128));
        gk::WriteFile(dir / "twotone.tga", gk::MakeTgaRgb(1, 2, std::string("\xff\x00\x00\x00\xff\x00", 6)));
        WriteModel(dir / "quad", {{2, 0, "white"}});
        WriteModel(dir / "untex", {{2, 0, ""}});
        WriteModel(dir / "big", {{1000, 0, ""}});
        WriteModel(dir / "twotone", {{2, 0, "twotone"}});
        /* a translucent box: near face toward the viewer, far face away */
        WriteModel(dir / "box", {{2, 1, "white"}, {2, -1, "white", true}});
        /* one opaque mesh and one with a 32-bit (alpha) texture */
        WriteModel(dir / "mixed", {{2, 0, "red"}, {1, 0.5f, "glass"}});
        gk::WriteFont(dir / "font", 64, "A 0 0 64 64\n");
    }
    void TearDown() override
    {
        Ent_Reset();
        Com_Strncpy(com_datadir, "data/", sizeof(com_datadir));
    }
    entity_t *Model(const char *name, float x, float y, float z)
    {
        entity_t *e = Ent_Spawn(name, ENT_MODEL);
        EXPECT_NE(e, nullptr) << name;
        if (e)
            e->origin[0] = x, e->origin[1] = y, e->origin[2] = z;
        return e;
    }
    static void Colour(entity_t *e, float r, float g, float b, float a = 1)
    {
        e->color[0] = r, e->color[1] = g, e->color[2] = b, e->color[3] = a;
    }
    static void Frame(entity_t *camera)
    {
        R_BeginFrame();
        R_BuildDrawLists();
        R_DrawFrame(camera);
        glFinish();
    }
};

TEST(FrameInterpolation, BlendsNeighbouringFramesWithinTheMesh)
{
    struct { float frame; int frames, a, b; float t; } cases[] = {
        {2.25f, 4, 2, 3, 0.25f}, {2.0f, 4, 2, 2, 0}, {3.5f, 4, 3, 3, 0}, {9.75f, 2, 1, 1, 0},
        {0.5f, 1, 0, 0, 0},      {-3.0f, 4, 0, 0, 0}, {NAN, 4, 0, 0, 0},  {1e30f, 4, 3, 3, 0}};
    for (const auto &c : cases) {
        int a = -1, b = -1;
        float t = -1;
        R_FrameBlend(c.frame, c.frames, &a, &b, &t);
        EXPECT_EQ(std::make_pair(a, b), std::make_pair(c.a, c.b)) << c.frame;
        EXPECT_FLOAT_EQ(t, c.t) << c.frame;
    }
    std::vector<float> f2 = {0, 4, 8, 100, 0, -4}, f3 = {4, 8, 0, 100, 4, 4};
    float *v = R_LerpVerts(f2.data(), f3.data(), 0.25f, 2);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(std::vector<float>(v, v + 6), (std::vector<float>{1, 5, 6, 100, 1, -2}));
    EXPECT_EQ(R_LerpVerts(f2.data(), f3.data(), 0, 0), nullptr);
}

::testing::AssertionResult IsRgb(gk::Rgb c, int r, int g, int b, int tol = 6)
{
    if (std::abs(c.r - r) <= tol && std::abs(c.g - g) <= tol && std::abs(c.b - b) <= tol)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << c.r << "," << c.g << "," << c.b << " want " << r << "," << g
                                         << "," << b;
}

class DrawGL : public DrawScene<gk::GLTest<160, 120>> {};

#define EXPECT_RGB(px, R_, G_, B_) EXPECT_TRUE(IsRgb((px), R_, G_, B_))

/* Scenes of coloured models (background "big" first), seen through a turned camera. */
struct Obj { const char *name; float x, y, z, r, g, b, a = 1, scale = 1, yaw = 0; int depth = 1, view = 0; };
struct Px { int x, y, r, g, b, tol = 6; };
struct GLScene { const char *what; int camera; float camx, camyaw; std::vector<Obj> objs; std::vector<Px> want; };

const GLScene kScenes[] = {
    {"a quad turned to face -x, the camera turned to look at it: texture row 0 (red) low, row 1 (green) high",
     1, 0, 90, {{"big", 0, 0, -600, 0, 0, 0}, {"twotone", 10, 0, 0, 1, 1, 1, 1, 1, -90}},
     {{80, 51, 255, 0, 0, 40}, {80, 69, 0, 255, 0, 40}, {80, 85, 0, 0, 0}}},
    {"the camera position is taken off last: 3 units aside move the quad out of the centre",
     1, 3, 90, {{"big", 0, 0, -600, 0, 0, 0}, {"twotone", 10, 0, 0, 1, 1, 1, 1, 1, -90}},
     {{80, 60, 0, 0, 0}, {50, 60, -1, 0, 0}}},
    {"without a camera the identity view looks down -z and misses it",
     0, 0, 0, {{"big", 0, 0, -600, 0, 0, 0}, {"twotone", 10, 0, 0, 1, 1, 1, 1, 1, -90}}, {{80, 60, 0, 0, 0}}},
    {"a translucent box over red: far (back) face, then near face: g = .5 + .5 * .5, r = .5 * .5",
     0, 0, 0, {{"big", 0, 0, -600, 0, 0, 0}, {"box", 0, 0, -10, 0, 1, 0, 0.5f}, {"untex", 0, 0, -20, 1, 0, 0, 1, 3}},
     {{80, 60, 64, 191, 0}, {100, 60, 255, 0, 0}}},
    {"a mesh with an alpha texture is translucent at alpha 1; the model's other mesh stays opaque",
     0, 0, 0, {{"big", 0, 0, -600, 0, 0, 1}, {"mixed", 0, 0, -10, 1, 1, 1}},
     {{80, 60, 127, 128, 0}, {92, 60, 255, 0, 0}, {105, 60, 0, 0, 255}}},
    {"the background writes no depth: the sky is nearest, yet all is drawn over it; a translucent "
     "second background is skipped",
     0, 0, 0, {{"big", 0, 0, -5, 0, 0, 1}, {"quad", 0, 0, -4, 0, 1, 0, 1, 1, 0, 0}, {"quad", 0, 3, -4, 1, 1, 1, 0.5f, 1, 0, 0},
               {"untex", 0, 0, -50, 1, 0, 0, 1, 0.5f}},
     {{80, 60, 255, 0, 0}, {100, 60, 0, 255, 0}, {5, 5, 0, 0, 255}, {80, 105, 0, 0, 255}}},
    {"view models ignore the camera; the nearer world model wins the depth test",
     1, 0, 0, {{"big", 0, 0, -600, 0, 0, 0}, {"untex", 0, 0, -10, 1, 0, 0}, {"untex", 0, 0, -30, 0, 1, 0, 1, 1, 0, 1, 1}},
     {{80, 60, 255, 0, 0}, {80, 67, 255, 0, 0}}},
    {"the world model leaves the turned view, the view model stays",
     1, 0, 90, {{"big", 0, 0, -600, 0, 0, 0}, {"untex", 0, 0, -10, 1, 0, 0}, {"untex", 0, 0, -30, 0, 1, 0, 1, 1, 0, 1, 1}},
     {{80, 60, 0, 255, 0}}},
};

TEST_F(DrawGL, ModelScenes)
{
    for (const GLScene &sc : kScenes) {
        Ent_Reset();
        gk::GLClearAll();
        for (const Obj &o : sc.objs) {
            entity_t *e = Model(o.name, o.x, o.y, o.z);
            ASSERT_NE(e, nullptr);
            Colour(e, o.r, o.g, o.b, o.a);
            e->u.mdl.scale = o.scale;
            e->angles[1] = o.yaw;
            e->u.mdl.depth = o.depth;
            e->u.mdl.collmode = o.view ? CM_VIEW : e->u.mdl.collmode;
        }
        entity_t *cam = sc.camera ? Ent_Spawn("camera", ENT_NOMEDIA) : nullptr;
        if (cam)
            cam->origin[0] = sc.camx, cam->angles[1] = sc.camyaw;
        Frame(cam);
        for (const Px &p : sc.want) {
            gk::Rgb c = gk::GLPixel(p.x, p.y);
            if (p.r < 0)
                EXPECT_NE(c.r + c.g + c.b, 0) << sc.what << " at " << p.x << "," << p.y;
            else
                EXPECT_TRUE(IsRgb(c, p.r, p.g, p.b, p.tol)) << sc.what << " at " << p.x << "," << p.y;
        }
    }
    /* brightness scales the colour, not the alpha */
    Ent_Reset();
    gk::GLClearAll();
    Colour(Model("big", 0, 0, -600), 0, 0, 0);
    entity_t *dim = Model("untex", 0, 0, -10);
    dim->brightness = 0.5f;
    Frame(nullptr);
    EXPECT_RGB(gk::GLPixel(80, 60), 128, 128, 128);
    EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY)) << "meshes pass no normals: on, the driver would read them from nowhere";
}

/* Overlay text in its code's colour with its shadow, and text placed in the world. */
TEST_F(DrawGL, ShadowedAndInWorldText)
{
    const int want[2][2][5] = {{{80, 60, 255, 0, 0}, {101, 50, 0, 0, 64}}, {{80, 60, 128, 0, 0}, {80, 80, 0, 0, 0}}};
    for (int inworld = 0; inworld < 2; inworld++) {
        Ent_Reset();
        gk::GLClearAll();
        Colour(Model("big", 0, 0, -600), 0, 0, inworld ? 0 : 1);
        entity_t *txt = Ent_Spawn("font", ENT_TEXT), *cam = Ent_Spawn("camera", ENT_NOMEDIA);
        ASSERT_NE(txt, nullptr);
        Com_Strncpy(txt->u.txt.text, "^1A", sizeof(txt->u.txt.text));
        txt->color[3] = inworld ? 0.5f : 1;
        txt->u.txt.size = inworld ? 4 : 200;
        txt->u.txt.shadow = !inworld;
        txt->u.txt.inworld = inworld;
        txt->origin[0] = inworld ? 10 : 400;
        txt->origin[1] = inworld ? 0 : 300;
        cam->angles[1] = 90;
        Frame(inworld ? cam : nullptr);
        for (const auto &p : want[inworld])
            EXPECT_RGB(gk::GLPixel(p[0], p[1]), p[2], p[3], p[4]) << inworld;
        for (int y : {4, 115}) /* measuring the text draws nothing: the corners keep the sky */
            EXPECT_RGB(gk::GLPixel(4, y), 0, 0, inworld ? 0 : 255) << inworld;
        if (!inworld)
            continue;
        /* text in the world is centred on its place as measured; the pen's one-unit overlap between
         * glyphs leaves a lone glyph 4 units wide at -1.5..2.5 */
        int first = -1, last = -1;
        for (int x = 0; x < 160; x++)
            if (gk::GLPixel(x, 60).r > 64)
                last = x, first = first < 0 ? x : first;
        double unit = (last - first + 1) / 4.0;
        EXPECT_NEAR((first + last) / 2.0, 79.5 + 0.5 * unit, 1.0) << first << ".." << last;
    }
}

TEST_F(DrawGL, ParticlesFaceTheCameraAndTakeTheirTextureOnceItExists)
{
    ASSERT_TRUE(dir.Enter());
    R_LoadParticleTexture(); /* not there yet */
    Colour(Model("big", 0, 0, -600), 0, 0, 0);
    entity_t *p = Ent_Spawn("spark", ENT_PARTICLE);
    p->origin[0] = 10;
    p->u.part.size = 4;
    entity_t *cam = Ent_Spawn("camera", ENT_NOMEDIA);
    cam->angles[1] = 90;
    Frame(cam);
    EXPECT_RGB(gk::GLPixel(80, 60), 255, 255, 255) << "untextured until the texture loads";
    EXPECT_RGB(gk::GLPixel(80, 85), 0, 0, 0);

    gk::MakeDirs(dir / "data");
    gk::WriteFile(dir / "data/pointsprite.tga", gk::MakeTgaRgb(2, 2, std::string("\0\0\xff\xff\0\0\0\xff\0\xff\xff\xff", 12)));
    R_LoadParticleTexture();
    R_LoadParticleTexture(); /* once loaded, further calls change nothing */
    gk::GLClearAll();
    Frame(cam);
    /* blue and red below green and white: the texture spans the quad (80 +- 17) once, in both its triangles */
    const int want[][5] = {{71, 45, 0, 0, 1}, {89, 45, 1, 0, 0}, {71, 75, 0, 1, 0}, {89, 75, 1, 1, 1}, {100, 60, 0, 0, 0}};
    for (const auto &w : want) {
        gk::Rgb c = gk::GLPixel(w[0], w[1]);
        const int got[3] = {c.r, c.g, c.b};
        for (int k = 0; k < 3; k++)
            EXPECT_TRUE(w[2 + k] ? got[k] > 100 : got[k] < 40) << w[0] << "," << w[1] << " channel " << k << ": " << got[k];
    }
    GLint wrap = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    EXPECT_EQ(wrap, GL_CLAMP);
}

/* A 120-pixel-high view of 70 degrees has 60 / tan 35° = 85.7 pixels a radian at its middle; a sky
 * face there is drawn without mipmaps when even its worst point puts at most 0.9 of that, 77.1
 * texels, on a radian: a 2-texel square of half size 1 at distance d puts d + 2 / d at its corners. */
TEST_F(DrawGL, SkyFacesMagnifiedFromEveryViewAreSetApart)
{
    WriteModel(dir / "sky", {{1, -77, "red"}, {1, -78, "red"}});
    const mdl_mesh_t *m = Model("sky", 0, 0, 0)->u.mdl.model->meshes;
    R_Prewarm();
    EXPECT_EQ(std::make_pair(m[0].nummag, m[0].numrest), std::make_pair(2u, 0u));
    EXPECT_EQ(m[1].magfaces, nullptr);
}

/* The warm-up's faded copies meet each texture kind of the translucent pass: untextured (also a texture
 * without coordinates), grey, colour; colour with alpha is drawn translucent anyway and needs none. */
TEST(Warmup, FadedCopiesTellTheTextureKinds)
{
    texture_t grey{}, colour{}, alpha{};
    grey.depth = 8, colour.depth = 24, alpha.depth = 32;
    float uv[2] = {};
    mdl_mesh_t mesh[2]{};
    model_t m{};
    m.meshes = mesh;
    auto kinds = [&](std::vector<texture_t *> tex, bool coords = true) {
        for (size_t i = 0; i < tex.size(); i++)
            mesh[i].diffuse = tex[i], mesh[i].tverts = coords && tex[i] ? uv : nullptr;
        m.nummeshes = (uint32_t)tex.size();
        return R_WarmFadedKinds(&m);
    };
    int none = kinds({nullptr}), g = kinds({&grey}), c = kinds({&colour});
    EXPECT_TRUE(none && g && c && none != g && g != c && none != c) << none << " " << g << " " << c;
    EXPECT_EQ((std::vector<int>{kinds({&alpha}), kinds({&colour}, false), kinds({&grey, &colour})}), (std::vector<int>{0, none, g | c}));
}

/* The overlay is 800 x 600 units whatever the window. */
class OverlayGL : public DrawScene<::testing::Test> {};

TEST_F(OverlayGL, ImagesAndTextAtTheMiddleAreCentredInAnyWindow)
{
    struct Size { int w, h; } sizes[] = {{320, 240}, {400, 400}};
    for (const Size &s : sizes) {
        if (!gk::GLOpen(s.w, s.h))
            GTEST_SKIP() << "no OpenGL context";
        gk::GLClearAll();
        Colour(Model("big", 0, 0, -600), 0, 0, 0);
        entity_t *img = Ent_Spawn("white", ENT_IMAGE);    /* 24 bits: no alpha to read */
        ASSERT_NE(img, nullptr);
        Colour(img, 1, 0, 0);
        EXPECT_FLOAT_EQ(img->u.img.width, 2);
        img->u.img.width = 200;
        img->u.img.height = 100;
        img->origin[0] = 400;
        img->origin[1] = 300;
        entity_t *txt = Ent_Spawn("font", ENT_TEXT);
        ASSERT_NE(txt, nullptr);
        Com_Strncpy(txt->u.txt.text, "^2A^9A", sizeof(txt->u.txt.text)); /* ^9 keeps the colour */
        txt->u.txt.size = 20;
        txt->origin[0] = 400;
        txt->origin[1] = 300;
        for (int frame = 0; frame < 2; frame++)  /* the second with the image's texture known */
            Frame(nullptr);
        float sx = s.w / 800.0f, sy = s.h / 600.0f;
        auto at = [&](float ox, float oy) { return gk::GLPixel((int)(ox * sx), (int)(oy * sy)); };
        /* the text (38 x 20 units, green) sits on the middle of the image */
        const int px[][5] = {{400, 300, 0, 255, 0}, {384, 293, 0, 255, 0}, {416, 307, 0, 255, 0},
                             {400, 318, 255, 0, 0}, {430, 300, 255, 0, 0}, {305, 255, 255, 0, 0},
                             {495, 345, 255, 0, 0}, {400, 360, 0, 0, 0},   {290, 300, 0, 0, 0}};
        for (const auto &p : px)
            EXPECT_RGB(at(p[0], p[1]), p[2], p[3], p[4]) << s.w << "x" << s.h << " at " << p[0] << "," << p[1];
        Ent_Reset();
        gk::GLClose();
    }
}

} // namespace
