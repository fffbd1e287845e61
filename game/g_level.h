/*
 * g_level.h -- level script files: the in-memory level record with its
 * pending and finished spawn lists, the loader and its block reader, the
 * level table, and the writer that tools use to produce level files.
 */
#ifndef G_LEVEL_H
#define G_LEVEL_H

#include <stdio.h>

#define LEVEL_VERSION 3
#define LEVEL_NAMEKEY 0x6C        /* XOR key of the stored file name */
#define LEVEL_STOREDNAMELEN 128   /* bytes of the stored file name */
#define LEVEL_TEXTLEN 129         /* text fields: 128 characters + zero */
#define LEVEL_HEADERSIZE 523      /* bytes before the first spawn record */
#define LEVEL_SPAWNSIZE 165       /* bytes of one spawn record */
#define LEVEL_MAX 8               /* records in the level table */

typedef struct spawnrec_s {
    float spawntime;              /* advanced by the scheduler */
    float respawnperiod;          /* > 0: spawned again every period */
    char name[LEVEL_TEXTLEN];     /* class name (any letter case) */
    float pos[3];
    float dir[3];
    float speed;
    int mainclass;
    int subclass;
    struct spawnrec_s *prev;
    struct spawnrec_s *next;
} spawnrec_t;

typedef struct level_s {
    char name[LEVEL_TEXTLEN];
    char bgm[LEVEL_TEXTLEN];
    float duration;
    char skysphere[LEVEL_TEXTLEN];
    /* circular doubly linked list in ascending spawntime; 'pending' is the
     * sentinel (only its links are used) */
    spawnrec_t pending;
    /* singly linked through 'next': records that will not spawn again */
    spawnrec_t *finished;
} level_t;

/* Empties both spawn lists (does not free anything). */
void Level_InitLists(level_t *level);
/* Inserts in front of the first record with a strictly greater spawntime. */
void Level_InsertSpawn(level_t *level, spawnrec_t *rec);
/* Unlinks a record from the pending list. */
void Level_UnlinkSpawn(spawnrec_t *rec);
/* Frees every spawn record of both lists. */
void Level_FreeSpawns(level_t *level);
/* Number of records in the pending list. */
int Level_PendingCount(const level_t *level);

/* Loads "data/script%i.bin" into the next free table record; NULL on failure. */
level_t *Level_Load(int n);
/* 1 on success, 0 on failure (log lines and "Fehler" message boxes). */
int SC_LoadLevel(level_t *level, const char *path);
/* Reads version, stored name (storedname: 129 bytes, unXOR-ed and
 * terminated) and the level block; NULL on success, else the error text. */
const char *Level_ReadFile(level_t *level, char *storedname, FILE *f);
/* The current level record (the first loaded), or NULL. */
level_t *Level_Current(void);
/* Frees all loaded levels, last first; the count becomes 0. */
void Level_FreeAll(void);
/* Number of loaded levels. */
int Level_Count(void);

/* Writes a level file at path; installname is the base name stored
 * (XOR-ed) in the file.  Spawn records are written in list order.
 * 1 on success, 0 on failure. */
int Level_WriteFile(const char *path, const char *installname, const level_t *level);
/* Writes one spawn record (165 bytes) to an open file; 1 on success. */
int Level_WriteSpawn(FILE *f, const spawnrec_t *rec);

#endif
