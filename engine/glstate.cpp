/*
 * glstate.cpp -- the engine's one record of cached OpenGL state.
 */
#include "glstate.h"

#include <string.h>

glstate_t gls;

void GLS_Reset(int active, int width, int height)
{
    memset(&gls, 0, sizeof(gls));
    gls.active = active;
    gls.viewwidth = width;
    gls.viewheight = height;
    gls.aspect = height > 0 ? (float)width / (float)height : 1.0f;
    gls.depthmask = 1;
}
