/*
 * convert.cpp -- the model converter: read an exported scene, weld every
 * mesh so one index list serves positions and texture coordinates, build
 * the collision grid, and write the model and collision files next to the
 * scene.  The scene is opened by the name as given; only the file name
 * part of the outputs is lower-cased, so the directory is kept as it is on
 * case-sensitive file systems.  Any failure is one line on standard
 * error naming the file and the reason.
 */
#include <ctype.h>
#include <errno.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "ase.h"
#include "collision.h"
#include "common.h"
#include "convert.h"
#include "fs.h"
#include "model.h"

int Conv_OutputBase(const char *name, char *out, size_t size)
{
    size_t len = strlen(name);
    if (len < 3 || len - 3 + 4 > size) /* room for "dmo" and the zero */
        return 0;
    memcpy(out, name, len - 3);
    out[len - 3] = 0;
    char *file = strrchr(out, '/');
    for (char *p = file ? file + 1 : out; *p; p++)
        *p = (char)tolower((unsigned char)*p);
    return 1;
}

/* The tool's own failure line on standard error. */
static void Conv_Fail(const char *what, const char *file, const char *reason)
{
    fprintf(stderr, "vexengine: can't %s %s: %s\n", what, file, reason);
    fflush(stderr);
}

/* Both outputs go to temporary files first and replace the old ones only
 * when both are complete and on disk: a full disk or a failed write leaves
 * the old model and collision files as they were, and no temporary file. */
#define CONV_OUTPUTS 2 /* the model file, then the collision file */
static int Conv_Write(const char *name, const char *base, model_t *scene)
{
    char path[CONV_OUTPUTS][MAX_OSPATH + 4], tmp[CONV_OUTPUTS][MAX_OSPATH + 32];
    for (uint32_t i = 0; i < scene->nummeshes; i++)
        if (!Model_WeldMesh(&scene->meshes[i])) {
            Conv_Fail("convert", name, "a mesh cannot be welded");
            return 0;
        }
    colmodel_t *col = Col_Build(scene->meshes, scene->nummeshes);
    if (!col) {
        Conv_Fail("convert", name, "out of memory");
        return 0;
    }
    snprintf(path[0], sizeof(path[0]), "%sdmo", base);
    snprintf(path[1], sizeof(path[1]), "%sdbb", base);
    FS_RemoveStaleTemps(path[1]); /* the model's go when its temporary file is made */
    int pending[CONV_OUTPUTS] = {0, 0}, ok = 1;
    for (int i = 0; i < CONV_OUTPUTS && ok; i++) {
        int fd = FS_CreateTemp(path[i], tmp[i], sizeof(tmp[i]));
        pending[i] = fd >= 0;
        ok = fd >= 0 && close(fd) == 0;
        if (ok)
            ok = i == 0 ? Model_WriteFile(tmp[0], scene->materials, scene->nummaterials, scene->meshes,
                                          scene->nummeshes)
                        : Col_WriteFile(tmp[1], col);
        if (!ok)
            Conv_Fail("write", path[i], strerror(errno));
    }
    Col_Free(col);
    for (int i = 0; i < CONV_OUTPUTS && ok; i++)
        if (!FS_SyncFile(tmp[i])) {
            Conv_Fail("write", path[i], strerror(errno));
            ok = 0;
        }
    for (int i = 0; i < CONV_OUTPUTS && ok; i++) {
        if (!FS_ReplaceWith(tmp[i], path[i])) {
            Conv_Fail("write", path[i], strerror(errno));
            ok = 0;
        } else {
            pending[i] = 0;
        }
    }
    for (int i = 0; i < CONV_OUTPUTS; i++)
        if (pending[i])
            unlink(tmp[i]);
    return ok;
}

int Conv_ConvertScene(const char *name)
{
    char base[MAX_OSPATH];
    model_t scene;
    memset(&scene, 0, sizeof(scene));
    if (!name || !Conv_OutputBase(name, base, sizeof(base))) {
        Conv_Fail("convert", name ? name : "(no name)", "the name is too short or too long");
        return 0;
    }
    Com_Printf("* converting %s\n", name);
    if (!ASE_ReadScene(name, &scene)) {
        Conv_Fail("convert", name, ASE_Error());
        return 0;
    }
    int ok = Conv_Write(name, base, &scene);
    if (ok)
        Com_Printf("* wrote %sdmo and %sdbb: %u materials, %u meshes\n", base, base, scene.nummaterials,
                   scene.nummeshes);
    Model_FreeArrays(&scene);
    return ok;
}
