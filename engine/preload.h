/*
 * preload.h -- what a level is known to load, read ahead.  The content
 * build plays every level's loading once and writes the files it read into
 * "<data directory>preload<level>.txt", one name (relative to the data
 * directory) a line.  The windowed game reads, inflates and decodes those
 * files on its start-up thread while the window and the OpenGL context are
 * made; the loaders then take images, model files and collision data from
 * here instead of reading them again.  Without a list, or for a file not
 * on it, everything is read as before.
 */
#ifndef PRELOAD_H
#define PRELOAD_H

#include <stdint.h>

#include "collision.h"
#include "texture.h"

#define PRE_MAXFILES 256

/* Reads the list of level n and everything on it (images decoded,
 * collision files parsed).  Runs on the start-up thread; nothing else may
 * use the file layer meanwhile. */
void Pre_Read(int level);
/* The decoded image of path + ".tga" into t (width, height, depth,
 * pixels, mips); 0 when it was not read ahead. */
int Pre_TakeImage(const char *path, texture_t *t);
/* The bytes of filename as FS_LoadFile gives them (free with
 * FS_FreeFile); NULL when it was not read ahead. */
unsigned char *Pre_TakeFile(const char *filename, uint32_t *len);
/* The parsed collision file; NULL when it was not read ahead. */
colmodel_t *Pre_TakeCollision(const char *filename);
/* Frees whatever the level did not take. */
void Pre_Free(void);

#endif
