#pragma once

#include "FisReportExport.h"
#include "TEvents.h"
#include "TReportDefinition.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// The designer's look at the data: a report's query run on the data module's
// (read-only) connection with the parameters the handler fills, as a print runs it.
class FIS_REPORT_EXPORT TReportQueryProbe
{
public:
    struct Result
    {
        bool ok = false;
        // The database's message, introduced in Portuguese, when the query failed.
        QString message;
        QStringList fields;
        qint64 rows = 0;
        QList<QVariantList> firstRows;
    };

    // Runs the query, counting the rows (at most rowLimit, -1: all) and keeping the first.
    static Result test(const TReportDefinition& definition,
                       const TBeforeGetQueryParamsEvent& beforeGetQueryParams, int keepRows = 20,
                       qint64 rowLimit = -1);
    // The first page of the report laid out from at most rowLimit rows, at dpi;
    // message tells why there is none.
    static QImage firstPage(const TReportDefinition& definition,
                            const TBeforeGetQueryParamsEvent& beforeGetQueryParams, double dpi,
                            QString* message, qint64 rowLimit = 400);
};
