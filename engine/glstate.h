/*
 * glstate.h -- all OpenGL state the engine caches, in one record that is
 * reset whenever a context is made current.  `active` is 0 while there is
 * no context (headless runs): uploads and drawing are then skipped.
 * Cached switches start out unknown (-1) so the first request always
 * reaches OpenGL, whatever start-up set directly.
 */
#ifndef GLSTATE_H
#define GLSTATE_H

typedef void (*gl_lockarrays_f)(int first, int count);
typedef void (*gl_unlockarrays_f)(void);

typedef struct {
    int active;                       /* a context is current */
    int viewwidth, viewheight;        /* client area */
    float aspect;                     /* width / height */
    gl_lockarrays_f lockarrays;       /* glLockArraysEXT or NULL */
    gl_unlockarrays_f unlockarrays;   /* glUnlockArraysEXT or NULL */
    unsigned boundtexture;            /* last glBindTexture name */
    int boundknown;                   /* boundtexture is valid */
    int texture2d;                    /* GL_TEXTURE_2D enabled (-1 unknown) */
    int blend;                        /* GL_BLEND enabled (-1 unknown) */
    int depthmask;                    /* depth writes (-1 unknown) */
    int depthtest;                    /* GL_DEPTH_TEST enabled (-1 unknown) */
    int cullface;                     /* GL_FRONT / GL_BACK (-1 unknown) */
    int texcoordarray;                /* client arrays enabled (-1 unknown) */
    int normalarray;
    int vertexarray;
    int unpackalign;                  /* GL_UNPACK_ALIGNMENT (-1 unknown) */
    int stencilbits;                  /* of the frame buffer (-1 not asked yet) */
} glstate_t;

extern glstate_t gls;

/* Called right after a context is made current (and with 0 when it goes). */
void GLS_Reset(int active, int width, int height);

/* Cached state changes; each reaches OpenGL only when the value changes.
 * All are no-ops without a context. */
void GLS_BindTexture(unsigned name);
void GLS_Texture2D(int on);
void GLS_Blend(int on);
void GLS_DepthMask(int on);
void GLS_DepthTest(int on);
void GLS_CullFace(int face);          /* GL_FRONT or GL_BACK */
void GLS_ClientArrays(int texcoord, int normal, int vertex);
void GLS_UnpackAlignment(int align);
/* Forgets a deleted texture name if it is the bound one. */
void GLS_TextureDeleted(unsigned name);

#endif
