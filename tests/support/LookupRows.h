#pragma once

#include "TADOIBQuery.h"

#include <QList>
#include <QSqlDatabase>
#include <QStringList>

class TdtmDBGeral;

// Runs lookups and reads their rows back as text, a row a list of column values
// (NULL read as a null text).
class LookupRows
{
public:
    // "NAME=value" sets a text, "NAME" alone clears the parameter (NULL).
    static void setParams(TADOIBQuery* query, const QStringList& settings);
    // Close, set, Open, and every row of the declared fields.
    static QList<QStringList> open(TADOIBQuery* query, const QStringList& settings);
    static QList<QStringList> fetch(TADOIBQuery* query);
    // The text run through the driver as it is, values bound in marker order:
    // what the database itself makes of the statement.
    static QList<QStringList> raw(const QSqlDatabase& db, const QString& sql, const TParams& params,
                                  const QStringList& columns);
    static qint64 count(const QSqlDatabase& db, const QString& table);
    // The first value of a statement run through the screen's query component on the
    // module's connection.
    static QString firstValue(TdtmDBGeral* module, const QString& sql);
};
