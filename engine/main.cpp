/*
 * main.cpp -- the vexengine program: everything lives in the engine library.
 */
#include "engine.h"

int main(int argc, char **argv)
{
    return Eng_Main(argc, argv);
}
