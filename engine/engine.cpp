/*
 * engine.cpp -- start-up, main loop (being built).
 */
#include "engine.h"

int Eng_Main(int argc, char **argv)
{
    (void)argc;
    (void)argv;
    return 1;
}
