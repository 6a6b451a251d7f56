#pragma once

#include "FisReportExport.h"
#include "TEvents.h"
#include "TReportDefinition.h"

#include <QList>
#include <QStringList>

// The query parameters an application's reports may read, as the application defines
// them (the framework spells none): their names, in the filter screen's order, for the
// designer's completion and its check of a query; the filter lines a new report starts
// with; and the values that mean "everything", for a run without a filter screen (the
// designer's preview). The application installs its set once, at start.
class FIS_REPORT_EXPORT TReportParameters
{
public:
    QStringList names;
    QList<TReportDefinition::FilterItem> filters;
    TBeforeGetQueryParamsEvent allValues;

    // The set installed; empty until the application installs one.
    static const TReportParameters& installed();
    static void install(const TReportParameters& parameters);
};
