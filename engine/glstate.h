/*
 * glstate.h -- all OpenGL state the engine caches, in one record that is
 * reset whenever a context is made current.  `active` is 0 while there is
 * no context (headless runs): uploads and drawing are then skipped.
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
    int texture2d;                    /* GL_TEXTURE_2D enabled */
    int blend;                        /* translucent pass */
    int depthmask;
} glstate_t;

extern glstate_t gls;

/* Called right after a context is made current (and with 0 when it goes). */
void GLS_Reset(int active, int width, int height);

#endif
