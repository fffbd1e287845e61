/*
 * hitch.h -- what the engine did in a frame that it does not do every
 * frame: models, textures, fonts and sounds loaded, textures uploaded or
 * drawn for the first time, drawing states met for the first time (the
 * driver builds its code for them then), sound sources created, spawns,
 * frees and buffer growth.  While recording, every such step is noted
 * against the current frame; -timedemo with VEX_HITCHLOG=1 then prints one
 * line on standard error for each frame that took more than twice the
 * median, naming what was done in it (VEX_HITCHLOG=cpu: processor time
 * over twice its median), and VEX_FRAMELOG=path writes every frame's
 * times to path.
 */
#ifndef HITCH_H
#define HITCH_H

#include <stdint.h>
#include <stdio.h>

enum {
    HN_MODEL,       /* model file read */
    HN_TEXTURE,     /* image file read */
    HN_UPLOAD,      /* texture uploaded */
    HN_FONT,        /* font read (or looked for and missed) */
    HN_SOUND,       /* sample file read */
    HN_SOURCE,      /* sound source created */
    HN_FIRSTDRAW,   /* texture drawn for the first time */
    HN_NEWSTATE,    /* drawing state met for the first time */
    HN_SPAWN,       /* entity spawned (a level event) */
    HN_FREE,        /* model or texture freed */
    HN_GROW,        /* a buffer grew */
    HN_COUNT
};

/* Starts or stops recording notes (counts start again at 0). */
void Hitch_Record(int on);
int Hitch_Recording(void);
/* A note against the current frame; nothing while not recording. */
void Hitch_Note(int kind, const char *name);
/* Notes of one kind since recording started. */
int Hitch_Count(int kind);
/* The name and kind of note i (0 first) since recording started (spawns
 * are only counted); NULL past the last one kept. */
const char *Hitch_NoteAt(int i, int *kind);

/* Frame bounds while timing: the frame's wall and processor seconds and
 * its game clock. */
void Hitch_BeginFrame(void);
void Hitch_EndFrame(double wall, double cpu, uint32_t gamems);
/* One line for each frame over twice the median and a summary line;
 * forgets the frames.  bycpu compares processor times instead of wall
 * times (on a busy machine wall times mostly tell what others did).
 * Returns the number of frames reported. */
int Hitch_Report(FILE *out, int bycpu);
/* Every frame as a line "frame wall-ms cpu-ms game-s" into path (for
 * benchmarks that pool several runs); 0 when it cannot be written. */
int Hitch_WriteFrames(const char *path);

#endif
