/*
 * input.cpp -- the engine key table: virtual-key and character codes to
 * the engine's key codes, tried row by row.
 */
#include "input.h"

typedef struct {
    int code;
    int engine;
} keymap_t;

static const keymap_t in_keytable[] = {
    {16, 128},  /* shift */
    {17, 129},  /* control */
    {220, 130},
    {45, 131},  /* insert */
    {46, 132},  /* delete */
    {36, 133},  /* home */
    {35, 134},  /* end */
    {33, 135},  /* page up */
    {34, 136},  /* page down */
    {38, 137},  /* up */
    {40, 138},  /* down */
    {39, 139},  /* right */
    {37, 140},  /* left */
    {27, 141},  /* escape */
};

int IN_MapKey(int code)
{
    if (code >= 112 && code <= 123) /* F1 to F12, and the characters p to { */
        return code + 30;
    for (const keymap_t &k : in_keytable)
        if (k.code == code)
            return k.engine;
    if (code >= 32 && code <= 126)
        return code;
    return -1;
}
