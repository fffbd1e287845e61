/*
 * g_camera.h -- the camera entity, view control, the sound backend and the
 * background music.
 */
#ifndef G_CAMERA_H
#define G_CAMERA_H

#include "game_api.h"

/* Spawns the camera; 1, or 0 after logging. */
int Cam_Init(void);
/* Forgets the camera reference. */
void Cam_Release(void);
/* The camera's engine entity, or NULL. */
entity_t *Cam_GetCameraEntity(void);
/* Starts the looping background music at the camera. */
void BGM_Start(const char *name);
/* Removes the music's gentity and forgets it. */
void BGM_Stop(void);

#endif
