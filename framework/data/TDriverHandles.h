#pragma once

#include "FisDataExport.h"

#include <QString>
#include <functional>

class QSqlDatabase;
class QSqlQuery;
struct sqlite3;
struct sqlite3_stmt;

// What is done through a driver's own handle of an open Qt connection lives here, so no
// layer above the data layer links a database client library.
class FIS_DATA_EXPORT TDriverHandles
{
public:
    // The driver's own cancel of the statement running on the connection, callable from
    // any thread while the connection stays open: sqlite3_interrupt, a PostgreSQL cancel
    // request (it connects to the server and waits for its answer), Firebird's
    // fb_cancel_operation. Empty for a closed connection or another driver.
    static std::function<void()> cancelOf(const QSqlDatabase& db);
    // The last resort when a cancel goes unanswered (a frozen server): the session is
    // given up at once, so whatever waits on it fails now. PostgreSQL's socket is shut,
    // Firebird's fb_cancel_abort; SQLite's interrupt, which never goes unanswered.
    static std::function<void()> abortOf(const QSqlDatabase& db);

    // Makes every later transaction of the session read-only where that is a session
    // setting (PostgreSQL's default_transaction_read_only); elsewhere the connection's
    // open mode or the user's rights do it. False, with the driver's text in error,
    // when the setting was refused.
    static bool setReadOnlySession(const QSqlDatabase& db, QString* error = nullptr);

    // The open SQLite connection's own handle; null for a closed one or another driver.
    static sqlite3* sqlite(const QSqlDatabase& db);
    // The SQLite statement behind a prepared query; null once finalized, or on another driver.
    static sqlite3_stmt* sqlite(const QSqlQuery& query);
};
