/*
 * hs_table.h -- highscore tables (8 levels of 10 entries) and their packed
 * text form, shared by the launcher and the highscore server.  Names are
 * UTF-8 in memory.  A packed listing names UTF-8 in a "#!CHARSET UTF-8"
 * line (which readers of the plain format skip as a comment); a listing
 * without it is in the ANSI code page of the system that packed it.
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
#define HS_UTF8 65001           /* code pages by their Windows numbers */
#define HS_CHARSETLINE "#!CHARSET UTF-8"

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
/* The listing in a code page: HS_UTF8 (with its charset line) or that of
 * an older peer (1252, 1251, ...). */
std::string HS_Listing(const HighscoreTable *t, int codepage);
/* Empty when it does not fit. */
std::string PackTable(const HighscoreTable *t, int codepage = HS_UTF8);
/* A listing without the charset line is read in codepage; *found (when
 * given) tells the code page the text was in. */
bool UnpackTable(const std::string &text, HighscoreTable *t, int codepage = 1252, int *found = NULL);

/* The ANSI code page of a system by its telephone country number. */
int HS_CountryCodePage(int country);
/* Text between UTF-8 and a code page: a character without a form there, a
 * malformed UTF-8 sequence and a byte the code page leaves undefined all
 * become one "?". */
std::string HS_ToCodePage(const std::string &utf8, int codepage);
std::string HS_FromCodePage(const std::string &bytes, int codepage);
/* Valid UTF-8 as it is; anything else read in codepage. */
std::string HS_TextFrom(const std::string &bytes, int codepage);
inline std::string HS_ToCp1252(const std::string &utf8) { return HS_ToCodePage(utf8, 1252); }
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
