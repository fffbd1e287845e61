/*
 * preload.cpp -- the files of a level's load list read ahead: images
 * decoded into textures (not yet uploaded), collision files parsed, model
 * files kept as bytes, each in a fixed table entry until its loader takes
 * it.  Lists are plain text written by the content build; a name that
 * cannot be read is skipped, so a stale list only costs the time of the
 * start-up thread.
 */
#include "preload.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common.h"
#include "fs.h"

enum { PRE_BYTES, PRE_IMAGE, PRE_COLLISION };

typedef struct {
    char name[MAX_OSPATH];    /* file name as the loaders ask for it */
    int kind;
    unsigned char *data;      /* PRE_BYTES */
    uint32_t len;
    texture_t *image;         /* PRE_IMAGE */
    colmodel_t *collision;    /* PRE_COLLISION */
} prefile_t;

static prefile_t pre_files[PRE_MAXFILES];
static int pre_count;

static int Pre_EndsWith(const char *s, const char *end)
{
    size_t n = strlen(s), m = strlen(end);
    return n >= m && strcmp(s + n - m, end) == 0;
}

/* One file of the list, read as its loader will want it. */
static void Pre_ReadOne(const char *name)
{
    prefile_t *p = &pre_files[pre_count];
    memset(p, 0, sizeof(*p));
    if (snprintf(p->name, sizeof(p->name), "%s%s", com_datadir, name) >= (int)sizeof(p->name))
        return;
    if (Pre_EndsWith(p->name, ".tga")) {
        uint32_t len = 0;
        unsigned char *data = FS_LoadFile(p->name, &len);
        p->image = (texture_t *)calloc(1, sizeof(texture_t));
        if (!data || !p->image || !Tex_ReadTGA(data, len, p->image)) {
            free(p->image);
            p->image = NULL;
        }
        FS_FreeFile(data);
        p->kind = PRE_IMAGE;
        p->name[strlen(p->name) - 4] = 0; /* images are asked for without extension */
        pre_count += p->image != NULL;
    } else if (Pre_EndsWith(p->name, ".dbb")) {
        p->kind = PRE_COLLISION;
        p->collision = Col_ReadFile(p->name);
        pre_count += p->collision != NULL;
    } else {
        p->kind = PRE_BYTES;
        p->data = FS_LoadFile(p->name, &p->len);
        pre_count += p->data != NULL;
    }
}

void Pre_Read(int level)
{
    char listname[MAX_OSPATH + 32];
    snprintf(listname, sizeof(listname), "%spreload%d.txt", com_datadir, level);
    uint32_t len = 0;
    char *list = (char *)FS_LoadFile(listname, &len); /* zero-terminated */
    if (!list)
        return;
    char *rest = NULL;
    for (char *line = strtok_r(list, "\r\n", &rest); line && pre_count < PRE_MAXFILES;
         line = strtok_r(NULL, "\r\n", &rest))
        if (line[0] && !strstr(line, ".."))
            Pre_ReadOne(line);
    FS_FreeFile((unsigned char *)list);
    Com_Printf("* Pre_Read: %d files of %s read ahead\n", pre_count, listname);
}

static prefile_t *Pre_Find(const char *name, int kind)
{
    for (int i = 0; i < pre_count; i++)
        if (pre_files[i].kind == kind && strcmp(pre_files[i].name, name) == 0)
            return &pre_files[i];
    return NULL;
}

/* Forgets entry p once its loader has it. */
static void Pre_Drop(prefile_t *p)
{
    *p = pre_files[--pre_count];
}

int Pre_TakeImage(const char *path, texture_t *t)
{
    prefile_t *p = path ? Pre_Find(path, PRE_IMAGE) : NULL;
    if (!p)
        return 0;
    t->width = p->image->width;
    t->height = p->image->height;
    t->depth = p->image->depth;
    t->pixels = p->image->pixels;
    t->mips = p->image->mips;
    t->nummips = p->image->nummips;
    free(p->image);
    Pre_Drop(p);
    return 1;
}

unsigned char *Pre_TakeFile(const char *filename, uint32_t *len)
{
    prefile_t *p = filename ? Pre_Find(filename, PRE_BYTES) : NULL;
    if (!p)
        return NULL;
    unsigned char *data = p->data;
    if (len)
        *len = p->len;
    Pre_Drop(p);
    return data;
}

colmodel_t *Pre_TakeCollision(const char *filename)
{
    prefile_t *p = filename ? Pre_Find(filename, PRE_COLLISION) : NULL;
    if (!p)
        return NULL;
    colmodel_t *c = p->collision;
    Pre_Drop(p);
    return c;
}

void Pre_Free(void)
{
    for (int i = 0; i < pre_count; i++) {
        prefile_t *p = &pre_files[i];
        FS_FreeFile(p->data);
        if (p->image) {
            free(p->image->pixels);
            free(p->image->mips);
            free(p->image);
        }
        Col_Free(p->collision);
    }
    if (pre_count)
        Com_Printf("- Pre_Free: %d files read ahead were not used\n", pre_count);
    pre_count = 0;
}
