/*
 * hs_table.h -- highscore tables (8 levels of 10 entries) and their packed
 * text form, shared by the launcher and the highscore server.  Names are
 * UTF-8 in memory and Windows-1252 in the packed form.
 */
#ifndef HS_TABLE_H
#define HS_TABLE_H

#include <stdint.h>

#include <string>
#include <vector>

#define HS_ROWS 8
#define HS_ENTRIES 10
#define HS_MAXNAME 255          /* names read from a packed text, in characters */
#define HS_TYPEDNAME 12         /* names typed by the player */
#define HS_BLOCKSIZE 8192       /* packed block: 8 bytes head + compressed */
#define HS_MAXLISTING (1 << 20) /* largest listing text we agree to inflate */

typedef struct {
    std::string name;
    int32_t points;
} HighscoreEntry;

typedef struct {
    HighscoreEntry e[HS_ROWS][HS_ENTRIES];
} HighscoreTable;

void HS_Fill(HighscoreTable *t, const std::string &name, int32_t points);
void HS_SortRow(HighscoreTable *t, int row);
int FindRank(const HighscoreTable *t, int row, int32_t score);
void InsertEntry(HighscoreTable *t, int row, int rank, const std::string &name, int32_t score);
std::string HS_Listing(const HighscoreTable *t);    /* Windows-1252 bytes */
std::string PackTable(const HighscoreTable *t);     /* empty when it does not fit */
bool UnpackTable(const std::string &text, HighscoreTable *t);

/* Names between UTF-8 and Windows-1252: a character without a Windows-1252
 * form, a malformed UTF-8 byte and a byte Windows-1252 leaves undefined all
 * become one "?". */
std::string HS_ToCp1252(const std::string &utf8);
std::string HS_FromCp1252(const std::string &cp1252);
/* The first n characters of a UTF-8 text (a malformed byte counts as one). */
std::string HS_CutUtf8(const std::string &utf8, size_t n);
/* Next code point of a UTF-8 text at *i; -1 (and one byte on) when malformed. */
int32_t HS_NextUtf8(const std::string &s, size_t *i);
void HS_PutUtf8(std::string *out, uint32_t cp);

/* Lines ended by CR LF, LF or CR; a final unterminated line counts. */
std::vector<std::string> HS_SplitLines(const std::string &text);
/* The value of one hexadecimal digit of either case, or -1. */
int HS_HexDigit(char c);

#endif
