/*
 * g_camera.h -- the camera entity that the engine views the world from,
 * view control (turning within 85 degrees of straight ahead, the view
 * shake), the player's per-frame think and the weapon model's recoil.
 */
#ifndef G_CAMERA_H
#define G_CAMERA_H

#include "game_api.h"

struct gentity_s;

#define VIEW_LIMIT 85.0f   /* pitch and yaw stay within +-85 degrees */

/* Spawns the camera; 1, or 0 after logging. */
int Cam_Init(void);
/* Forgets the camera reference. */
void Cam_Release(void);
/* The camera's engine entity, or NULL. */
entity_t *Cam_GetCameraEntity(void);
/* Places the camera, moves the music there and puts the listener at it. */
void Cam_Set(const float *pos, const float *dir, const float *angles);

/* Turn the player's view by d degrees (clamped to +-85) and update the aim. */
void View_TurnYaw(struct gentity_s *player, float d);
void View_TurnPitch(struct gentity_s *player, float d);
/* Direction and side vector of the player from its pitch and yaw. */
void View_Rebuild(struct gentity_s *player);
/* Starts (or restarts) a view shake of duration seconds, rates up to
 * amplitude degrees per second. */
void View_Shake(struct gentity_s *player, float duration, float amplitude);
/* 1 while the player's think is the shake. */
int View_IsShaking(struct gentity_s *player);

/* The player's per-frame think (the firing step) on and off. */
void Player_ThinkOn(struct gentity_s *player);
void Player_ThinkOnReset(struct gentity_s *player);
void Player_ThinkOff(struct gentity_s *player);
/* The think installed by Player_ThinkOn (for tests and checks). */
void Player_FrameThink(entity_t *e);

/* Kicks the weapon model back by kick units at rate units per second;
 * it then creeps back to where it rests. */
void Weapon_Recoil(struct gentity_s *w, float kick, float rate);

#endif
