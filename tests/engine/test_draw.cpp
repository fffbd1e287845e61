/*
 * test_draw.cpp -- frame drawing with real entities, models, textures and
 * fonts: draw lists, frame interpolation, the sound update without a
 * context, and pictures read back from OpenGL (camera transform, textured
 * models, translucency, background without depth writes, particles, view
 * models and the 800 x 600 overlay at two window sizes).
 */
#include <gtest/gtest.h>

#include <math.h>

#include <random>

#include <GL/gl.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include "common.h"
#include "draw.h"
#include "entity.h"
#include "font.h"
#include "glcontext.h"
#include "glstate.h"
#include "gk_support.h"
#include "model.h"
#include "sound.h"
#include "texture.h"
#include "tgawriter.h"
#include "wavwriter.h"

namespace {

struct MeshSpec {
    std::vector<std::vector<float>> frames; /* 3 floats a vertex */
    std::vector<uint32_t> faces;
    std::vector<float> tverts;               /* empty: no texture coordinates */
    std::string texture;                     /* bitmap base name, "" for none */
};

/* A square of half size h in the plane z, facing +z (or -z when flipped). */
MeshSpec Quad(float h, float z, const std::string &tex, bool flipped = false)
{
    MeshSpec m;
    m.frames.push_back({-h, -h, z, h, -h, z, h, h, z, -h, h, z});
    m.faces = flipped ? std::vector<uint32_t>{0, 2, 1, 0, 3, 2} : std::vector<uint32_t>{0, 1, 2, 0, 2, 3};
    m.tverts = {0, 0, 1, 0, 1, 1, 0, 1};
    m.texture = tex;
    return m;
}

bool WriteModel(const std::string &path, const std::vector<MeshSpec> &specs)
{
    std::vector<mdl_material_t> mats(specs.size());
    std::vector<mdl_mesh_t> meshes(specs.size());
    std::vector<std::vector<mdl_frame_t>> frames(specs.size());
    for (size_t i = 0; i < specs.size(); i++) {
        const MeshSpec &s = specs[i];
        mdl_material_t &mat = mats[i];
        mat = mdl_material_t{};
        mat.diffusemap.present = s.texture.empty() ? 0 : 1;
        Com_Strncpy(mat.diffusemap.name, s.texture.c_str(), sizeof(mat.diffusemap.name));
        mat.diffusemap.utiling = mat.diffusemap.vtiling = 1;
        for (const auto &f : s.frames)
            frames[i].push_back(mdl_frame_t{0, const_cast<float *>(f.data()), nullptr});
        mdl_mesh_t &m = meshes[i];
        m = mdl_mesh_t{};
        m.numframes = (uint32_t)s.frames.size();
        m.frames = frames[i].data();
        m.numtris = (uint32_t)s.faces.size() / 3;
        m.faces = const_cast<uint32_t *>(s.faces.data());
        m.tfaces = s.tverts.empty() ? nullptr : const_cast<uint32_t *>(s.faces.data());
        m.numverts = (uint32_t)s.frames[0].size() / 3;
        m.numtverts = (uint32_t)s.tverts.size() / 2;
        m.tverts = s.tverts.empty() ? nullptr : const_cast<float *>(s.tverts.data());
        m.material = (int32_t)i;
    }
    return Model_WriteFile((path + ".dmo").c_str(), mats.data(), (uint32_t)mats.size(), meshes.data(),
                           (uint32_t)meshes.size()) != 0;
}

/* Entities spawned from files in a scratch data directory. */
class DrawBase : public ::testing::Test {
protected:
    gk::TempDir dir;
    void SetUp() override
    {
        Ent_Reset();
        Com_Strncpy(com_datadir, (dir.path + "/").c_str(), sizeof(com_datadir));
        gk::WriteFile(dir / "red.tga", gk::SolidRgb(2, 2, 255, 0, 0));
        gk::WriteFile(dir / "white.tga", gk::SolidRgb(2, 2, 255, 255, 255));
        gk::WriteFile(dir / "glass.tga", gk::SolidRgba(2, 2, 0, 255, 0, 128));
        gk::WriteFile(dir / "twotone.tga", gk::MakeTgaRgb(1, 2, std::string("\xff\x00\x00\x00\xff\x00", 6)));
        WriteModel(dir / "quad", {Quad(2, 0, "white")});
        WriteModel(dir / "untex", {Quad(2, 0, "")});
        WriteModel(dir / "big", {Quad(1000, 0, "")});
        WriteModel(dir / "twotone", {Quad(2, 0, "twotone")});
        /* a translucent box: near face toward the viewer, far face away */
        WriteModel(dir / "box", {Quad(2, 1, "white"), Quad(2, -1, "white", true)});
        /* one opaque mesh and one with a 32-bit (alpha) texture */
        WriteModel(dir / "mixed", {Quad(2, 0, "red"), Quad(1, 0.5f, "glass")});
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
        if (e) {
            e->origin[0] = x, e->origin[1] = y, e->origin[2] = z;
        }
        return e;
    }
    static void Colour(entity_t *e, float r, float g, float b, float a = 1)
    {
        e->color[0] = r, e->color[1] = g, e->color[2] = b, e->color[3] = a;
    }
};

/* ---- without a context ---------------------------------------------------- */

class DrawLists : public DrawBase {
protected:
    void SetUp() override
    {
        GLS_Reset(0, 0, 0);
        DrawBase::SetUp();
    }
};

TEST_F(DrawLists, EntitiesAreSortedByKindAndPurpose)
{
    entity_t *sky = Model("big", 0, 0, 0);
    entity_t *a = Model("quad", 0, 0, 0);
    entity_t *view = Model("quad", 0, 0, 0);
    view->u.mdl.collmode = CM_VIEW;
    entity_t *bg2 = Model("quad", 0, 0, 0);
    bg2->u.mdl.depth = 0;
    entity_t *b = Model("untex", 0, 0, 0);
    entity_t *hidden = Model("quad", 0, 0, 0);
    hidden->state = ES_HIDDEN;
    entity_t *gone = Model("quad", 0, 0, 0);
    Ent_PendRemove(gone);
    entity_t *txt = Ent_Spawn("font", ENT_TEXT);
    entity_t *img = Ent_Spawn("red", ENT_IMAGE);
    entity_t *p1 = Ent_Spawn("p", ENT_PARTICLE);
    entity_t *p2 = Ent_Spawn("p", ENT_PARTICLE);
    ASSERT_TRUE(txt && img && p1 && p2);
    ASSERT_NE(Ent_Spawn("n", ENT_NOMEDIA), nullptr);
    R_BuildDrawLists();
    ASSERT_EQ(R_ListCount(RL_BACKGROUND), 2);
    EXPECT_EQ(R_ListEntry(RL_BACKGROUND, 0), sky);
    EXPECT_EQ(R_ListEntry(RL_BACKGROUND, 1), bg2);
    ASSERT_EQ(R_ListCount(RL_MODELS), 2);
    EXPECT_EQ(R_ListEntry(RL_MODELS, 0), a);
    EXPECT_EQ(R_ListEntry(RL_MODELS, 1), b);
    ASSERT_EQ(R_ListCount(RL_VIEWMODELS), 1);
    EXPECT_EQ(R_ListEntry(RL_VIEWMODELS, 0), view);
    ASSERT_EQ(R_ListCount(RL_FLAT), 2);
    EXPECT_EQ(R_ListEntry(RL_FLAT, 0), txt);
    EXPECT_EQ(R_ListEntry(RL_FLAT, 1), img);
    EXPECT_EQ(R_ListCount(RL_PARTICLES), 2);
    EXPECT_EQ(R_ListCount(RL_SOUNDS), 0);
    EXPECT_EQ(R_ListEntry(RL_MODELS, 2), nullptr);

    /* a view model met first still lands in the background list */
    Ent_Reset();
    entity_t *v = Model("quad", 0, 0, 0);
    v->u.mdl.collmode = CM_VIEW;
    R_BuildDrawLists();
    EXPECT_EQ(R_ListCount(RL_BACKGROUND), 1);
    EXPECT_EQ(R_ListCount(RL_VIEWMODELS), 0);
    /* lists are rebuilt, not appended to */
    R_BuildDrawLists();
    EXPECT_EQ(R_ListCount(RL_BACKGROUND), 1);
    R_BeginFrame(); /* harmless without a context */
    R_DrawFrame(nullptr);
}

TEST_F(DrawLists, WithoutAContextFinishedSoundsAreStillCollected)
{
    if (!SFX_Init())
        GTEST_SKIP() << "no audio device";
    gk::WavSpec spec;
    ASSERT_TRUE(gk::WriteWav(dir / "quiet.wav", spec, gk::WavTone(spec, 100)));
    char cwd[1024];
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    int cached = SFX_CacheFile("quiet.wav");
    ASSERT_EQ(chdir(cwd), 0);
    ASSERT_GE(cached, 0);
    entity_t *s = Ent_Spawn("quiet.wav", ENT_SOUND);
    if (!s) {
        SFX_Shutdown();
        GTEST_SKIP() << "no sound source";
    }
    R_BuildDrawLists();
    ASSERT_EQ(R_ListCount(RL_SOUNDS), 1);
    R_DrawFrame(nullptr);
    EXPECT_EQ(s->state, ES_PENDREMOVE) << "a source that is not playing ends its entity";
    Ent_Purge();
    SFX_Shutdown();
}

TEST(FrameInterpolation, BlendsBetweenNeighbouringFramesWithinTheMesh)
{
    int a, b;
    float t;
    R_FrameBlend(2.25f, 4, &a, &b, &t);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 3);
    EXPECT_FLOAT_EQ(t, 0.25f);
    R_FrameBlend(2.0f, 4, &a, &b, &t);
    EXPECT_EQ(a, 2);
    EXPECT_FLOAT_EQ(t, 0);
    /* beyond the mesh's own frames: its last frame, nothing read past it */
    R_FrameBlend(3.5f, 4, &a, &b, &t);
    EXPECT_EQ(a, 3);
    EXPECT_EQ(b, 3);
    EXPECT_FLOAT_EQ(t, 0);
    R_FrameBlend(9.75f, 2, &a, &b, &t);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 1);
    R_FrameBlend(0.5f, 1, &a, &b, &t);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0);
    R_FrameBlend(-3.0f, 4, &a, &b, &t);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0);
    R_FrameBlend(NAN, 4, &a, &b, &t);
    EXPECT_EQ(a, 0);
    R_FrameBlend(1e30f, 4, &a, &b, &t);
    EXPECT_EQ(a, 3);

    std::vector<float> f2 = {0, 4, 8, 100, 0, -4}, f3 = {4, 8, 0, 100, 4, 4};
    R_FrameBlend(2.25f, 4, &a, &b, &t);
    float *v = R_LerpVerts(f2.data(), f3.data(), t, 2);
    ASSERT_NE(v, nullptr);
    const float want[6] = {1, 5, 6, 100, 1, -2};
    for (int i = 0; i < 6; i++)
        EXPECT_FLOAT_EQ(v[i], want[i]) << i;
}

TEST(FrameInterpolation, SharedBufferGrowsAndKeepsServing)
{
    std::vector<float> small(3 * 10, 1.0f), big(3 * 5000), other(3 * 5000, 0.0f);
    for (size_t i = 0; i < big.size(); i++)
        big[i] = (float)i;
    float *a = R_LerpVerts(small.data(), small.data(), 0, 10);
    ASSERT_NE(a, nullptr);
    float *b = R_LerpVerts(big.data(), other.data(), 0.5f, 5000);
    ASSERT_NE(b, nullptr);
    EXPECT_FLOAT_EQ(b[3 * 4999 + 2], (3 * 4999 + 2) / 2.0f);
    float *c = R_LerpVerts(small.data(), nullptr, 0.5f, 10);
    EXPECT_EQ(c, b) << "never shrinks";
    EXPECT_FLOAT_EQ(c[29], 1.0f);
    EXPECT_EQ(R_LerpVerts(small.data(), small.data(), 0, 0), nullptr);
}

bool Near(gk::Rgb c, int r, int g, int b, int tol = 6)
{
    return std::abs(c.r - r) <= tol && std::abs(c.g - g) <= tol && std::abs(c.b - b) <= tol;
}

::testing::AssertionResult IsRgb(gk::Rgb c, int r, int g, int b)
{
    if (Near(c, r, g, b))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << c.r << "," << c.g << "," << c.b << " want "
                                         << r << "," << g << "," << b;
}

/* ---- pictures --------------------------------------------------------------
 * A 160 x 120 window: the 70 degree view shows 7 units above and below the
 * centre at distance 10. */
class DrawGL : public DrawBase {
protected:
    static bool open;
    static void SetUpTestSuite() { open = gk::GLOpen(160, 120); }
    static void TearDownTestSuite()
    {
        if (open)
            gk::GLClose();
    }
    void SetUp() override
    {
        if (!open)
            GTEST_SKIP() << "no OpenGL context";
        DrawBase::SetUp();
        gk::GLClearAll();
    }
    static void Frame(entity_t *camera)
    {
        R_BeginFrame();
        R_BuildDrawLists();
        R_DrawFrame(camera);
        glFinish();
    }
};
bool DrawGL::open;

#define EXPECT_RGB(px, R_, G_, B_) EXPECT_TRUE(IsRgb((px), R_, G_, B_))

TEST_F(DrawGL, TexturedModelSeenThroughTheCamera)
{
    Colour(Model("big", 0, 0, -600), 0, 0, 0); /* background, black */
    entity_t *q = Model("twotone", 10, 0, 0);
    q->angles[1] = -90; /* turned to face -x ... */
    entity_t *cam = Ent_Spawn("camera", ENT_NOMEDIA);
    cam->angles[1] = 90; /* ... which the camera, turned by 90 degrees, looks at */
    Frame(cam);
    /* the quad covers +-2 units = +-17 pixels around the centre; texture
     * row 0 (red) at the bottom, row 1 (green) at the top */
    gk::Rgb low = gk::GLPixel(80, 51), high = gk::GLPixel(80, 69);
    EXPECT_TRUE(low.r > 215 && low.g < 40 && low.b < 10) << low.r << "," << low.g;
    EXPECT_TRUE(high.g > 215 && high.r < 40 && high.b < 10) << high.r << "," << high.g;
    EXPECT_RGB(gk::GLPixel(80, 85), 0, 0, 0);

    /* the camera position is taken off last: 3 units to the side moves
     * the quad out of the centre */
    gk::GLClearAll();
    cam->origin[0] = 3;
    Frame(cam);
    EXPECT_RGB(gk::GLPixel(80, 60), 0, 0, 0);
    EXPECT_NE(gk::GLPixel(50, 60).r + gk::GLPixel(50, 60).g, 0);

    /* without a camera the identity view looks down -z and misses it */
    gk::GLClearAll();
    Frame(nullptr);
    EXPECT_RGB(gk::GLPixel(80, 60), 0, 0, 0);
}

/* Models out of view are left out, but only those: quads strewn along
 * every plane of the view volume (turned, scaled, mirrored, some
 * translucent), seen through a turned camera, give the same frame whether
 * all of them are drawn or not. */
TEST_F(DrawGL, ModelsOutOfViewLeftOutWithoutChangingThePicture)
{
    std::mt19937 rng(11);
    auto uni = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    Colour(Model("big", 0, 0, -650), 0.1f, 0.1f, 0.1f);
    entity_t *cam = Ent_Spawn("camera", ENT_NOMEDIA);
    cam->origin[0] = 5, cam->angles[0] = 20, cam->angles[1] = 30;
    const float ty = tanf(35 * 3.14159265f / 180), tx = ty * 160 / 120;
    for (int i = 0; i < 400; i++) {
        float z = i % 7 ? -uni(-3, 60) : -uni(690, 710), sx = uni(-1.2f, 1.2f) * tx, sy = uni(-1.2f, 1.2f) * ty;
        if (i % 2) /* on a side plane */
            (i % 4 == 1 ? sx : sy) = (i % 8 < 4 ? 1 : -1) * (i % 4 == 1 ? tx : ty);
        float v[3] = {sx * -z + uni(-3, 3), sy * -z + uni(-3, 3), z};
        /* into the world: undo the camera turn and shift */
        float a = 20 * 3.14159265f / 180, b = 30 * 3.14159265f / 180;
        float y1 = v[1] * cosf(a) + v[2] * sinf(a), z1 = -v[1] * sinf(a) + v[2] * cosf(a);
        float x2 = v[0] * cosf(b) - z1 * sinf(b), z2 = v[0] * sinf(b) + z1 * cosf(b);
        entity_t *e = Model("quad", x2 + 5, y1, z2);
        ASSERT_NE(nullptr, e);
        Colour(e, uni(0, 1), uni(0, 1), uni(0, 1), i % 5 ? 1.0f : 0.5f);
        e->u.mdl.scale = uni(-1.5f, 1.5f);
        for (int k = 0; k < 3; k++)
            e->angles[k] = uni(0, 360);
    }
    std::vector<unsigned char> px[2];
    int drawn[2];
    for (int plain = 0; plain < 2; plain++) {
        r_plain = plain;
        gk::GLClearAll();
        Frame(cam);
        drawn[plain] = R_ListCount(RL_MODELS);
        px[plain].resize(160 * 120 * 4);
        glReadPixels(0, 0, 160, 120, GL_RGBA, GL_UNSIGNED_BYTE, px[plain].data());
    }
    r_plain = 0;
    EXPECT_EQ(400, drawn[1]);
    EXPECT_LT(drawn[0], 360);
    EXPECT_GT(drawn[0], 200);
    EXPECT_TRUE(px[0] == px[1]);
}

TEST_F(DrawGL, TranslucentModelsBlendOverOpaqueOnesBackFacesFirst)
{
    entity_t *sky = Model("big", 0, 0, -600);
    Colour(sky, 0, 0, 0);
    entity_t *glass = Model("box", 0, 0, -10);
    Colour(glass, 0, 1, 0, 0.5f);
    entity_t *wall = Model("untex", 0, 0, -20);
    Colour(wall, 1, 0, 0);
    wall->u.mdl.scale = 3;
    Frame(nullptr);
    /* far face (a back face) then near face over red:
     * g = .5 + .5 * .5 = .75, r = .5 * .5 = .25 */
    EXPECT_RGB(gk::GLPixel(80, 60), 64, 191, 0);
    /* beside the glass only the (scaled) wall */
    EXPECT_RGB(gk::GLPixel(80 + 20, 60), 255, 0, 0);

    /* a mesh with an alpha texture is translucent even at alpha 1; the
     * model's other mesh stays opaque */
    Ent_Reset();
    gk::GLClearAll();
    Colour(Model("big", 0, 0, -600), 0, 0, 1);
    Model("mixed", 0, 0, -10);
    Frame(nullptr);
    EXPECT_RGB(gk::GLPixel(80, 60), 127, 128, 0);
    EXPECT_RGB(gk::GLPixel(80 + 12, 60), 255, 0, 0);
    EXPECT_RGB(gk::GLPixel(80 + 25, 60), 0, 0, 255);

    /* brightness scales the colour, not the alpha */
    Ent_Reset();
    gk::GLClearAll();
    Colour(Model("big", 0, 0, -600), 0, 0, 0);
    entity_t *dim = Model("untex", 0, 0, -10);
    Colour(dim, 1, 1, 1, 1);
    dim->brightness = 0.5f;
    Frame(nullptr);
    EXPECT_RGB(gk::GLPixel(80, 60), 128, 128, 128);
}

TEST_F(DrawGL, BackgroundNeverWritesDepth)
{
    /* the sky is nearer than everything, yet all is drawn over it */
    entity_t *sky = Model("big", 0, 0, -5);
    Colour(sky, 0, 0, 1);
    entity_t *bg2 = Model("quad", 0, 0, -4);
    bg2->u.mdl.depth = 0;
    Colour(bg2, 0, 1, 0);
    entity_t *half = Model("quad", 0, 3, -4);
    half->u.mdl.depth = 0;
    Colour(half, 1, 1, 1, 0.5f); /* other background entities: opaque meshes only */
    entity_t *far = Model("untex", 0, 0, -50);
    Colour(far, 1, 0, 0);
    far->u.mdl.scale = 0.5f;
    Frame(nullptr);
    EXPECT_RGB(gk::GLPixel(80, 60), 255, 0, 0);   /* far model over both */
    EXPECT_RGB(gk::GLPixel(80 + 20, 60), 0, 255, 0); /* second background over the sky */
    EXPECT_RGB(gk::GLPixel(5, 5), 0, 0, 255);
    EXPECT_RGB(gk::GLPixel(80, 60 + 60 * 3 / 4 / 1), 0, 0, 255) << "translucent second background is skipped";
    GLfloat d = 0;
    glReadPixels(5, 5, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &d);
    EXPECT_FLOAT_EQ(d, 1.0f) << "no depth written by the background";
}

TEST_F(DrawGL, ParticlesFaceTheCameraAndTakeTheirTextureOnceItExists)
{
    char cwd[1024];
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
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
    gk::WriteFile(dir / "data/pointsprite.tga", gk::SolidRgb(2, 2, 0, 0, 255));
    R_LoadParticleTexture();
    R_LoadParticleTexture(); /* once loaded, further calls change nothing */
    gk::GLClearAll();
    Frame(cam);
    EXPECT_RGB(gk::GLPixel(80, 60), 0, 0, 255);
    EXPECT_RGB(gk::GLPixel(80 + 8, 60 + 8), 0, 0, 255) << "a full quad facing the camera";
    EXPECT_RGB(gk::GLPixel(80 + 20, 60), 0, 0, 0);
    GLint wrap = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    EXPECT_EQ(wrap, GL_CLAMP);
    ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(DrawGL, ViewModelsIgnoreTheCameraAndDrawOverTheWorld)
{
    Colour(Model("big", 0, 0, -600), 0, 0, 0);
    entity_t *w = Model("untex", 0, 0, -10);
    Colour(w, 1, 0, 0);
    entity_t *v = Model("untex", 0, 0, -30);
    v->u.mdl.collmode = CM_VIEW;
    Colour(v, 0, 1, 0);
    entity_t *cam = Ent_Spawn("camera", ENT_NOMEDIA);
    Frame(cam);
    EXPECT_RGB(gk::GLPixel(80, 60), 255, 0, 0) << "nearer world model wins the depth test";
    EXPECT_RGB(gk::GLPixel(80, 60 + 7), 255, 0, 0);
    gk::GLClearAll();
    cam->angles[1] = 90; /* the world model leaves the view, the view model stays */
    Frame(cam);
    EXPECT_RGB(gk::GLPixel(80, 60), 0, 255, 0);
}

/* The overlay is 800 x 600 units whatever the window. */
class OverlayGL : public DrawBase {};

TEST_F(OverlayGL, ImagesAndTextAtTheMiddleAreCentredInAnyWindow)
{
    struct Size {
        int w, h;
    } sizes[] = {{320, 240}, {400, 400}};
    for (const Size &s : sizes) {
        if (!gk::GLOpen(s.w, s.h))
            GTEST_SKIP() << "no OpenGL context";
        gk::GLClearAll();
        Colour(Model("big", 0, 0, -600), 0, 0, 0);
        entity_t *img = Ent_Spawn("red", ENT_IMAGE);
        ASSERT_NE(img, nullptr);
        EXPECT_FLOAT_EQ(img->u.img.width, 2);
        img->u.img.width = 200;
        img->u.img.height = 100;
        img->origin[0] = 400;
        img->origin[1] = 300;
        entity_t *txt = Ent_Spawn("font", ENT_TEXT);
        ASSERT_NE(txt, nullptr);
        Com_Strncpy(txt->u.txt.text, "^2AA", sizeof(txt->u.txt.text));
        txt->u.txt.size = 20;
        txt->origin[0] = 400;
        txt->origin[1] = 300;
        R_BeginFrame();
        R_BuildDrawLists();
        R_DrawFrame(nullptr);
        glFinish();
        float sx = s.w / 800.0f, sy = s.h / 600.0f;
        auto at = [&](float ox, float oy) { return gk::GLPixel((int)(ox * sx), (int)(oy * sy)); };
        /* the text (38 x 20 units, green) sits on the middle of the image */
        EXPECT_RGB(at(400, 300), 0, 255, 0) << s.w << "x" << s.h;
        EXPECT_RGB(at(384, 293), 0, 255, 0) << s.w << "x" << s.h;
        EXPECT_RGB(at(416, 307), 0, 255, 0) << s.w << "x" << s.h;
        EXPECT_RGB(at(400, 318), 255, 0, 0) << s.w << "x" << s.h;
        EXPECT_RGB(at(430, 300), 255, 0, 0) << s.w << "x" << s.h;
        EXPECT_RGB(at(305, 255), 255, 0, 0) << s.w << "x" << s.h;
        EXPECT_RGB(at(495, 345), 255, 0, 0) << s.w << "x" << s.h;
        EXPECT_RGB(at(400, 360), 0, 0, 0) << s.w << "x" << s.h;
        EXPECT_RGB(at(290, 300), 0, 0, 0) << s.w << "x" << s.h;
        Ent_Reset();
        gk::GLClose();
    }
}

TEST_F(OverlayGL, ShadowedAndInWorldText)
{
    if (!gk::GLOpen(160, 120))
        GTEST_SKIP() << "no OpenGL context";
    gk::GLClearAll();
    Colour(Model("big", 0, 0, -600), 0, 0, 1);
    entity_t *txt = Ent_Spawn("font", ENT_TEXT);
    ASSERT_NE(txt, nullptr);
    Com_Strncpy(txt->u.txt.text, "A", sizeof(txt->u.txt.text));
    txt->u.txt.size = 200;
    txt->u.txt.shadow = 1;
    txt->origin[0] = 400;
    txt->origin[1] = 300;
    R_BeginFrame();
    R_BuildDrawLists();
    R_DrawFrame(nullptr);
    /* glyph: 300..500 x 200..400 units; shadow 10 units right and down */
    EXPECT_RGB(gk::GLPixel(80, 60), 255, 255, 255);
    EXPECT_RGB(gk::GLPixel((int)(505 * 0.2f), (int)(250 * 0.2f)), 0, 0, 64) << "shadow at 3/4 alpha";
    Ent_Reset();

    /* in-world text faces the camera at its position, and not the overlay */
    gk::GLClearAll();
    Colour(Model("big", 0, 0, -600), 0, 0, 0);
    txt = Ent_Spawn("font", ENT_TEXT);
    Com_Strncpy(txt->u.txt.text, "^1A", sizeof(txt->u.txt.text));
    txt->u.txt.size = 4;
    txt->u.txt.inworld = 1;
    txt->origin[0] = 10;
    entity_t *cam = Ent_Spawn("camera", ENT_NOMEDIA);
    cam->angles[1] = 90;
    R_BeginFrame();
    R_BuildDrawLists();
    R_DrawFrame(cam);
    EXPECT_RGB(gk::GLPixel(80, 60), 255, 0, 0);
    EXPECT_RGB(gk::GLPixel(80, 60 + 20), 0, 0, 0);
    Ent_Reset();
    gk::GLClose();
}

} // namespace
