/*
 * ase.h -- the reader of exported ASCII scenes: materials with their three
 * texture maps, and for every geometry object with a material reference
 * one mesh with its animation frames, in the records of model.h.
 */
#ifndef ASE_H
#define ASE_H

#include "model.h"

#define ASE_MAX_COUNT (1 << 22)      /* largest vertex, face or list count taken */
#define ASE_MAX_MATERIALS (1 << 16)

/* Fills the materials and meshes of *scene (other fields untouched).
 * 1 on success; 0 with nothing allocated when the file cannot be opened,
 * when a later frame's counts differ from the first frame's, or when the
 * text breaks an array bound (an index past its array, a missing list
 * line, a name too long for its field). */
int ASE_ReadScene(const char *filename, model_t *scene);
/* Why the last ASE_ReadScene failed, for the user. */
const char *ASE_Error(void);

#endif
