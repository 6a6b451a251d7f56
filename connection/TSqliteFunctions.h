#pragma once

#include <QSqlDatabase>

// The functions the queries call that SQLite lacks, registered on one open connection.
// Nothing is written to the database file.
class TSqliteFunctions
{
public:
    // NVL(a, b): b when a is NULL or an empty text (as on Oracle), else a.
    // Throws EFrameworkError when the connection is not an open SQLite one.
    static void install(const QSqlDatabase& db);
};
