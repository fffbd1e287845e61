/*
 * convert.cpp -- the model converter: read an exported scene, weld every
 * mesh so one index list serves positions and texture coordinates, build
 * the collision grid, and write the model and collision files next to the
 * scene.  The scene is opened by the name as given; only the file name
 * part of the outputs is lower-cased, so the directory is kept as it is on
 * case-sensitive file systems.
 */
#include <ctype.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "ase.h"
#include "collision.h"
#include "common.h"
#include "convert.h"
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

static int Conv_Write(const char *base, model_t *scene)
{
    char path[MAX_OSPATH + 4];
    for (uint32_t i = 0; i < scene->nummeshes; i++)
        if (!Model_WeldMesh(&scene->meshes[i])) {
            Com_Printf("# Conv_ConvertScene: can't weld mesh %s\n", scene->meshes[i].name);
            return 0;
        }
    colmodel_t *col = Col_Build(scene->meshes, scene->nummeshes);
    if (!col) {
        Com_Printf("# Conv_ConvertScene: out of memory\n");
        return 0;
    }
    snprintf(path, sizeof(path), "%sdmo", base);
    int ok = Model_WriteFile(path, scene->materials, scene->nummaterials, scene->meshes, scene->nummeshes);
    if (ok) {
        snprintf(path, sizeof(path), "%sdbb", base);
        ok = Col_WriteFile(path, col);
    }
    if (!ok)
        Com_Printf("# Conv_ConvertScene: can't write %s\n", path);
    Col_Free(col);
    return ok;
}

int Conv_ConvertScene(const char *name)
{
    char base[MAX_OSPATH];
    model_t scene;
    memset(&scene, 0, sizeof(scene));
    if (!name || !Conv_OutputBase(name, base, sizeof(base))) {
        Com_Printf("# Conv_ConvertScene: bad scene name\n");
        return 0;
    }
    Com_Printf("* converting %s\n", name);
    if (!ASE_ReadScene(name, &scene)) {
        Com_Printf("# Conv_ConvertScene: can't read %s\n", name);
        return 0;
    }
    int ok = Conv_Write(base, &scene);
    if (ok)
        Com_Printf("* wrote %sdmo and %sdbb: %u materials, %u meshes\n", base, base, scene.nummaterials,
                   scene.nummeshes);
    Model_FreeArrays(&scene);
    return ok;
}
