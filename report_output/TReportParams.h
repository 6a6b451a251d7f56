#pragma once

#include "TReportParamBinder.h"
#include "TReportParameters.h"

#include <QMap>
#include <QString>
#include <QStringList>

class TParams;

// The nine parameters the filter screen gives a report's query, spelled here only: their
// names in the screen's order, the values that mean "all", the standard filter lines of
// a report, and the reading of NAME=value pairs (fisreport's --param) into a filter.
class TReportParams
{
public:
    // The codes, each "T" for "Todas".
    static const QString Empresa, InscEstad, InscMuni, Filial;
    // "E", "S" or "A".
    static const QString Direction;
    static const QString DateStart, DateEnd;
    // The quoted list of operation types, and "T" for every type with an empty list.
    static const QString TypeList, AllTypes;
    // "All", for the codes and the operation types; "both", for the direction.
    static const QString All, BothDirections;

    // The nine, in the screen's order.
    static QStringList names();
    // The filter line items of those parameters, as the shipped reports show them.
    static QList<TReportDefinition::FilterItem> standardFilters();
    // Every company, registration, branch, both directions, every operation type and
    // any date, for a run without a filter screen.
    static void allValues(TParams& params, bool& handled);
    // The set the report designer receives; install() makes it the application's.
    static TReportParameters parameters();
    static void install();

    // NAME=value texts (--param) by name in capitals, as given. False, with the reason in
    // error, for a text without a name or an equals sign and for a name given twice.
    static bool readPairs(const QStringList& texts, QMap<QString, QString>& pairs, QString& error);
    // The filter of NAME=value pairs (names in capitals, dates AAAA-MM-DD). A name left
    // out means "all"; a name that is not one of the nine, an empty code, a bad date,
    // direction or operation-type list is an EFrameworkError in Portuguese.
    static TReportParamBinder::Filter readFilter(const QMap<QString, QString>& pairs);
};
