/*
 * sys.h -- platform services beyond those in common.h: the headless switch
 * and the one-window-per-display lock.
 */
#ifndef SYS_H
#define SYS_H

/* GACKATRON_HEADLESS=1: message boxes go to standard error. */
int Sys_Headless(void);
/* 0 when another engine window holds the display. */
int Sys_AcquireInstanceLock(void);
void Sys_ReleaseInstanceLock(void);

#endif
