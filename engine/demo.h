/*
 * demo.h -- demo files: a game recorded as the clock value of every frame
 * and the input events the engine forwarded to the game in it, so that the
 * game (whose only random source starts from a fixed seed) can be replayed
 * exactly: watched again, timed, or verified headless.
 *
 * File layout, little-endian:
 *   header (44 bytes): "GKDM", format version (u32), engine version
 *   (8 chars, zero padded), level, country code (i32), mouse sensitivity
 *   (f32), mouse inversion (i32), CRC-32 of the level file and of the game
 *   module, and the digest of what the mounted archives hold
 *   (FS_ArchiveDigest) (u32 each);
 *   then one record per frame, to the end of the file:
 *     varint  game clock step in ms * 2, plus 1 when a wall clock step
 *             different from it follows (the game was paused)
 *     varint  wall clock step in ms (only with that flag)
 *     varint  number of events
 *     events  type (byte, 0..8), a and b (zigzag varints)
 * The game clock value is (float)ms / 1000, as the loop computes it.
 */
#ifndef DEMO_H
#define DEMO_H

#include "common.h"

#define DEMO_MAGIC "GKDM"
#define DEMO_FORMAT 2
#define DEMO_HEADERSIZE 44
#define DEMO_MAXFILE (64u << 20)     /* larger files are refused */
#define DEMO_MAXFRAMES 3000000       /* bounded work for any demo */
#define DEMO_TIMEMARGIN 15.0f        /* seconds past the level's play time */

typedef struct {
    uint32_t format;
    char engine[8];
    int32_t level;
    int32_t countrycode;
    float mousesens;
    int32_t mouseinv;
    uint32_t levelcrc;
    uint32_t modulecrc;
    uint32_t archivecrc;
} demoheader_t;

typedef struct {
    uint32_t gamems;     /* game clock of the frame */
    uint32_t wallms;     /* wall clock since the first frame's start */
    int numevents;       /* events that Demo_NextEvent gives for it */
} demoframe_t;

/* ---- recording ---- */
/* Fills the header for this engine, the level, the module of com_datadir
 * and the archives mounted now. */
void Demo_MakeHeader(demoheader_t *h, int level, int countrycode, float mousesens,
                     int mouseinv);
/* The demo goes to a temporary file beside path and replaces path when the
 * recording stops; a demo that cannot be written is removed, with one
 * message on standard error, and the game goes on.  0 (after that
 * message) when the file cannot be written. */
int Demo_StartRecord(const char *path, const demoheader_t *h);
/* Begins a frame's record; the previous frame is written out now. */
void Demo_RecordFrame(uint32_t gamems, uint32_t wallms);
void Demo_RecordEvent(int type, int a, int b);
/* Writes the last frame, closes the file and puts it in place. */
void Demo_StopRecord(void);

/* ---- reading ---- */
/* Checks a whole demo in memory: header, every frame and event, counts
 * against the bytes that are there, the frame limit, and no game clock past
 * maxgamems.  Returns 1, or 0 with the reason in err. */
int Demo_Check(const uint8_t *data, size_t size, uint32_t maxgamems, demoheader_t *h,
               int *numframes, char *err, size_t errsize);
/* Reads and checks path for playing on this installation (level file,
 * module of com_datadir and the mounted archives must be those of the
 * recording).  On failure prints the reason on standard error and
 * returns 0. */
int Demo_Open(const char *path, demoheader_t *h);
void Demo_Close(void);
/* The next frame; 0 when the demo is over. */
int Demo_NextFrame(demoframe_t *f);
/* The next event of the current frame; 0 after its last one. */
int Demo_NextEvent(int *type, int *a, int *b);

/* ---- timing (-timedemo) ---- */
void Demo_TimeFrame(double seconds);
/* One line on standard output: frames, seconds, average frames per
 * second, median, 95th percentile and worst frame time in ms. */
void Demo_PrintTiming(void);

/* ---- helpers ---- */
/* CRC-32 of a whole file; 0 when it cannot be read. */
int Demo_FileCRC(const char *path, uint32_t *crc);
/* The play time of level n from its level file; negative when unreadable. */
float Demo_LevelDuration(int level);
/* Hash of the state of every live entity but sounds (whose lifetime
 * follows the sound device), for comparing a game and its replay. */
uint32_t Demo_EntityHash(void);

#endif
