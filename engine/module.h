/*
 * module.h -- loading the game module, the sixteen engine services handed
 * to it, and the opcode calls the engine makes.
 */
#ifndef MODULE_H
#define MODULE_H

#include "common.h"

/* 1 after a successful initialisation; gates every opcode and think call. */
extern int mod_running;

/* Loads ./<datadir>game.dll (or uses imp/main when both are given), hands it
 * the services and sends opcode 0 (and 7 with mouseinv).  Returns the
 * running flag. */
int Mod_LoadGame(int level, int mouseinv, game_import_f imp, game_main_f main);
void Mod_UnloadGame(void);
/* Why the last Mod_LoadGame could not load the module at all, or NULL when
 * it was loaded (and its initialisation decided). */
const char *Mod_LoadError(void);

/* Game_Main when running; 0 otherwise. */
intptr_t Mod_Call(int opcode, int a, int b, int c);

/* The table as the engine fills it. */
void Mod_GetServices(game_services_t *out);

#endif
