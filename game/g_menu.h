/*
 * g_menu.h -- the pause state: its handlers, the screen menu and the cursor.
 */
#ifndef G_MENU_H
#define G_MENU_H

struct level_s;

void Pause_Enter(void);
void Pause_Leave(void);
void Pause_Frame(struct level_s *level);
void Pause_Char(int code, int arg);
void Pause_Pointer(int type, int a, int b);

#endif
