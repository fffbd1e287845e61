/*
 * lang.h -- the translation package: up to sixteen short texts in the
 * user's language (window title, weapon names, menu entries), read once at
 * start-up from the data directory and served by index.
 */
#ifndef LANG_H
#define LANG_H

#define LANG_SLOTS 16
#define LANG_SLOTLEN 80
#define LANG_MAXFILE 8192

/* Fills the table from com_datadir + "ingame_<code>.txt"; slots stay empty
 * when the package is missing or too large. */
void Lang_Load(int countrycode);
/* The slot's text for 0..15 (possibly empty), "?" for any other index. */
const char *Lang_GetLocalizedStr(int index);

#endif
