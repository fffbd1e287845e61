/*
 * g_local.h -- the game module's common header: the engine services as the
 * module keeps them, the module-wide settings that opcodes change, and the
 * headers of every game subsystem.
 */
#ifndef G_LOCAL_H
#define G_LOCAL_H

#include <stddef.h>
#include <stdint.h>

#include "game_api.h"

#define GAME_VERSION "1.0.3"

/* The engine services, copied by Game_Import. */
extern game_services_t gi;

/* Settings changed through Game_Main opcodes 6 and 7. */
extern float g_particlefactor;  /* particle amount factor, 1.0 at start */
extern int g_mouseinvert;       /* vertical mouse inversion */

/* The three state handler slots dispatched by opcodes 4, 2 and 3. */
struct level_s;
typedef void (*g_framehandler_f)(struct level_s *level);
typedef void (*g_charhandler_f)(int b, int c);
typedef void (*g_pointerhandler_f)(int type, int b, int c);
extern g_framehandler_f g_framehandler;
extern g_charhandler_f g_charhandler;
extern g_pointerhandler_f g_pointerhandler;

/* Master volume: outside [0, 1] is refused with a log line. */
void G_SetMasterVolume(float volume);
float G_GetMasterVolume(void);

/* Fatal error of the module interface: message box "qzmm", exit status 1. */
void G_FatalError(const char *text) __attribute__((noreturn));
/* A message box with the given caption (no exit). */
void G_MessageBox(const char *caption, const char *text);

/* Game flow: builds the game for level n; 1 on success, 0 on failure (a
 * second call only warns and succeeds). */
int Init_And_Load_Level(int level);
/* The camera's engine entity for opcode 1, or NULL. */
entity_t *G_CameraEntity(void);

/* The level record the frame handler receives. */
struct level_s *G_CurrentLevel(void);

/* Entry points (also called directly by tests that link the module). */
extern "C" void Game_Import(float *gametime, float *lastgametime,
                            svc_spawnentity_f spawnentity,
                            svc_pendremove_f pendremove,
                            svc_conprintf_f conprintf, svc_void_f shutdown,
                            svc_cachefile_f sfx_cachefile, svc_play_f sfx_play,
                            svc_listener_f sfx_updatelistener3d,
                            svc_soundvolume_f sfx_setsoundvolume,
                            svc_mastervolume_f sfx_setmastervolume,
                            svc_void_f sfx_pauseall, svc_void_f sfx_resumeall,
                            svc_void_f gametime_pause, svc_void_f gametime_resume,
                            svc_getstr_f lang_getlocalizedstr);
extern "C" intptr_t Game_Main(int opcode, int a, int b, int c);

/* Subsystem headers are included below, one line each. */
#include "g_math.h"
#include "g_level.h"
#include "g_class.h"
#include "g_flow.h"
#include "g_player.h"
#include "g_hud.h"
#include "g_camera.h"
#include "g_menu.h"
#include "g_sound.h"
#include "g_fx.h"
#include "g_damage.h"
#include "g_missile.h"
#include "g_chicken.h"
#include "g_targets.h"
#include "g_space.h"

#endif
