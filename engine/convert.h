/*
 * convert.h -- the model converter of the -convert switch: an exported
 * scene becomes a model file and a collision file beside it.
 */
#ifndef CONVERT_H
#define CONVERT_H

#include <stddef.h>

/* Reads the scene, welds its meshes, builds the collision data and writes
 * <name without its 3-character extension>"dmo" and "dbb", the file name
 * part lower-cased.  1 when both files were written; otherwise 0 with one
 * line on standard error, and the files that were there before are left
 * as they were. */
int Conv_ConvertScene(const char *name);

/* The output base for a scene name ("Dir/Hen.ASE" -> "Dir/hen."); 0 when
 * the name is too short or too long. */
int Conv_OutputBase(const char *name, char *out, size_t size);

#endif
