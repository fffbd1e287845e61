/*
 * g_flow.cpp -- game flow and the state machine (placeholder until the
 * level and class code lands: initialisation reports failure).
 */
#include "g_local.h"

int Init_And_Load_Level(int level)
{
    (void)level;
    gi.conprintf("# Init_And_Load_Level: no game rules built in\n");
    return 1;
}

struct level_s *G_CurrentLevel(void)
{
    return NULL;
}

entity_t *G_CameraEntity(void)
{
    return NULL;
}
