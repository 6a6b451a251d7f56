#pragma once

#include "FisDataExport.h"

class QSqlDatabase;

// Lets an SQLite connection read and nothing else, checked by the engine as each statement
// is prepared: a read-only open still lets VACUUM INTO or ATTACH write another file.
class FIS_DATA_EXPORT TSqliteAuthorizer
{
public:
    // On a QSQLITE connection; any other is left alone. Safe to call again.
    static void install(const QSqlDatabase& db);
    // Lets everything through again: for a test fixture that fills its own database on the
    // connection the reports read from.
    static void uninstall(const QSqlDatabase& db);
};
