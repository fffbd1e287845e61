/* The engine's own window and GL context for tests that draw (GLTest), pixels read back. */
#ifndef GK_GLCONTEXT_H
#define GK_GLCONTEXT_H

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string.h>
#include <unistd.h>

#include "glstate.h"
#include "vid.h"

namespace gk {

/* A windowed context with the engine's start-up GL state; waits up to 2 min for the display's one window. */
inline bool GLOpen(int width, int height)
{
    Vid_Probe();
    int ok = 0;
    for (int tries = 0; tries < 1200; tries++) {
        ok = Vid_Create("gktest", width, height, 32, 0);
        const char *err = Vid_ErrorText();
        if (ok || (err && strcmp(err, VID_ERR_RUNNING) != 0))
            break;
        usleep(100 * 1000);
    }
    if (!ok)
        return false;
    glViewport(0, 0, gls.viewwidth, gls.viewheight);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glClearColor(0, 0, 0, 1);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    return true;
}

inline void GLClose()
{
    Vid_Shutdown();
    Vid_Restore();
}

inline void GLClearAll()
{
    glDepthMask(GL_TRUE);
    gls.depthmask = 1;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

struct Rgb { int r, g, b; };

/* The colour at (x, y) of the frame being drawn (origin lower left). */
inline Rgb GLPixel(int x, int y)
{
    unsigned char p[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return Rgb{p[0], p[1], p[2]};
}

/* A suite sharing one W x H window; each test starts on a cleared frame, or is skipped without a context. */
template <int W, int H> struct GLTest : ::testing::Test {
    static inline bool open = false;
    static void SetUpTestSuite() { open = GLOpen(W, H); }
    static void TearDownTestSuite()
    {
        if (open)
            GLClose();
        open = false;
    }
    void SetUp() override
    {
        if (!open)
            GTEST_SKIP() << "no OpenGL context: " << (Vid_ErrorText() ? Vid_ErrorText() : "");
        GLClearAll();
    }
};

} // namespace gk

#endif
