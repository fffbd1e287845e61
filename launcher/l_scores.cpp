/*
 * l_scores.cpp -- the launcher's two highscore tables, the local one and
 * the internet one; their rows and packed form live in hs_table.cpp.
 */
#include "l_local.h"

HighscoreTable LocalTable;
HighscoreTable InternetTable;

void SortTables(void)
{
    for (int r = 0; r < HS_ROWS; r++) {
        HS_SortRow(&LocalTable, r);
        HS_SortRow(&InternetTable, r);
    }
}
