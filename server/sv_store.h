/*
 * sv_store.h -- between the store's schema, writes and replays
 * (sv_store.cpp) and its reads on any thread (sv_storeread.cpp).
 */
#ifndef SV_STORE_H
#define SV_STORE_H

#include "sv_local.h"

#include <atomic>
#include <memory>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

extern std::string sv_storeurl;             /* empty while the store is closed */
extern std::atomic<int> sv_storeopened;     /* counts opens and closes: readers of an older one reconnect */

/* Sets this thread's error text; false. */
bool SV_StoreFail(const QSqlError &e, const char *what);
void SV_StoreSetError(const std::string &e);
/* A forward-only statement prepared once and kept in q; NULL on failure. */
QSqlQuery *SV_StorePrepare(std::unique_ptr<QSqlQuery> &q, QSqlDatabase db, const QString &sql);
/* Closes this thread's read connection. */
void SV_StoreReaderClose(void);

#endif
