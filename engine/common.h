/*
 * common.h -- what every engine subsystem shares: the engine log, the data
 * directory and country code chosen on the command line, the game clock
 * floats handed to the game module, and the few platform calls (clock,
 * message box) that subsystems outside the platform layer may use.
 */
#ifndef COMMON_H
#define COMMON_H

#include <stddef.h>
#include <stdint.h>

#include "game_api.h"

/* The version: the first line of -getvidmodes, the window title, demo
 * headers; CMake reads it from here for the packages and the launcher. */
#define ENGINE_VERSION "1.05"
#define MAX_OSPATH 256

/* The engine log.  Discarded, or written to standard error when VEX_LOG=1;
 * never to standard output. */
void Com_Printf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

/* Data directory ("data/" until start-up sets game directory + "/") and
 * the country code of -countrycode. */
extern char com_datadir[MAX_OSPATH];
extern int com_countrycode;

/* The game clock in seconds; the game module reads both through pointers,
 * so they live at fixed addresses for the whole run. */
extern float eng_gametime;
extern float eng_lastgametime;

/* Milliseconds since an arbitrary start, 32-bit wrapping (the engine's
 * timeGetTime).  Tests and benchmarks may install their own clock. */
uint32_t Sys_Milliseconds(void);
typedef uint32_t (*sys_clock_f)(void);
void Sys_SetClock(sys_clock_f clock); /* NULL restores the real clock */

/* A message box with an error icon; with GACKATRON_HEADLESS=1 in the
 * environment it prints caption and text to standard error instead. */
void Sys_MessageBox(const char *caption, const char *text);

/* Bounded string copy that always terminates (dst of size n). */
void Com_Strncpy(char *dst, const char *src, size_t n);

/* Writes size bytes as the whole of the file path (created or truncated):
 * 1 when every byte was written, flushed and the file closed; 0 with errno
 * telling why otherwise. */
int Com_WriteFile(const char *path, const void *data, size_t size);

#endif
