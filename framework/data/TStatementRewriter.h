#pragma once

#include "FisDataExport.h"
#include "TDialect.h"
#include "TParams.h"

#include <QString>

// Turns a query text into the statement that runs on a dialect for the current
// parameter values, returning the same rows in the same order. Markers stay markers:
// values are always bound.
class FIS_DATA_EXPORT TStatementRewriter
{
public:
    static QString rewrite(const QString& sql, TDialect dialect, const TParams& params);
};
