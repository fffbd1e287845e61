/*
 * glstate.cpp -- the engine's one record of cached OpenGL state and the
 * small setters that skip redundant state changes.
 */
#include "glstate.h"

#include <string.h>

#include <GL/gl.h>

glstate_t gls;

void GLS_Reset(int active, int width, int height)
{
    memset(&gls, 0, sizeof(gls));
    gls.active = active;
    gls.viewwidth = width;
    gls.viewheight = height;
    gls.aspect = height > 0 ? (float)width / (float)height : 1.0f;
    gls.boundknown = 0;
    gls.texture2d = -1;
    gls.blend = -1;
    gls.depthmask = -1;
    gls.depthtest = -1;
    gls.cullface = -1;
    gls.texcoordarray = -1;
    gls.normalarray = -1;
    gls.vertexarray = -1;
    gls.unpackalign = -1;
    gls.stencilbits = -1;
}

void GLS_BindTexture(unsigned name)
{
    if (!gls.active || (gls.boundknown && gls.boundtexture == name))
        return;
    glBindTexture(GL_TEXTURE_2D, name);
    gls.boundtexture = name;
    gls.boundknown = 1;
}

void GLS_TextureDeleted(unsigned name)
{
    if (gls.boundknown && gls.boundtexture == name)
        gls.boundknown = 0;
}

static void GLS_Switch(int *cached, int on, GLenum cap)
{
    on = on ? 1 : 0;
    if (!gls.active || *cached == on)
        return;
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
    *cached = on;
}

void GLS_Texture2D(int on) { GLS_Switch(&gls.texture2d, on, GL_TEXTURE_2D); }
void GLS_Blend(int on) { GLS_Switch(&gls.blend, on, GL_BLEND); }
void GLS_DepthTest(int on) { GLS_Switch(&gls.depthtest, on, GL_DEPTH_TEST); }

void GLS_DepthMask(int on)
{
    on = on ? 1 : 0;
    if (!gls.active || gls.depthmask == on)
        return;
    glDepthMask(on ? GL_TRUE : GL_FALSE);
    gls.depthmask = on;
}

void GLS_CullFace(int face)
{
    if (!gls.active || gls.cullface == face)
        return;
    glCullFace((GLenum)face);
    gls.cullface = face;
}

static void GLS_ClientArray(int *cached, int on, GLenum array)
{
    on = on ? 1 : 0;
    if (*cached == on)
        return;
    if (on)
        glEnableClientState(array);
    else
        glDisableClientState(array);
    *cached = on;
}

void GLS_ClientArrays(int texcoord, int normal, int vertex)
{
    if (!gls.active)
        return;
    GLS_ClientArray(&gls.texcoordarray, texcoord, GL_TEXTURE_COORD_ARRAY);
    GLS_ClientArray(&gls.normalarray, normal, GL_NORMAL_ARRAY);
    GLS_ClientArray(&gls.vertexarray, vertex, GL_VERTEX_ARRAY);
}

void GLS_UnpackAlignment(int align)
{
    if (!gls.active || gls.unpackalign == align)
        return;
    glPixelStorei(GL_UNPACK_ALIGNMENT, align);
    gls.unpackalign = align;
}
