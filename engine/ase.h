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
 * when a later frame's counts differ from the first frame's, when the
 * text breaks an array bound (an index outside its mesh or array, a
 * missing list line, a name too long for its field), when a coordinate is
 * no finite number, when the scene ends inside a block, or when it yields
 * no mesh. */
int ASE_ReadScene(const char *filename, model_t *scene);
/* Why the last ASE_ReadScene failed, for the user: the line and the reason. */
const char *ASE_Error(void);

/* ---- scanning scene text (ase_scan.cpp) ---- */
/* The 8-bit character of a code point, -1 when 8-bit text has none. */
int ASE_CodePoint8(uint32_t c);
int ASE_Space(char c);
const char *ASE_SkipSpace(const char *p);
/* One step along a line, as %s, %d (clamped to int) or %f (C locale) would
 * read: where it stopped, or NULL when there was nothing (NULL passes
 * through the next steps). */
const char *ASE_SkipWord(const char *p);
const char *ASE_ScanInt(const char *p, int *v);
const char *ASE_ScanFloat(const char *p, float *v);

#endif
