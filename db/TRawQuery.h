#pragma once

#include "TParams.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

// A statement run through the driver as it is, named markers bound in order:
// what the database itself makes of it, without the query component in between.
class TRawQuery
{
public:
    // Prepared, bound and run, ready for next(); a driver fault throws.
    static QSqlQuery run(const QSqlDatabase& db, const QString& sql, const TParams& params);
};
