#pragma once

#include "FisDataExport.h"

#include <QString>

// A report query is one statement that reads: checked in the designer when it is saved and
// again before it runs, in the clerk's words. The databases refuse writes themselves
// (read-only sessions, rights, an authorizer); this says early and clearly what is wrong.
class FIS_DATA_EXPORT TReadStatement
{
public:
    // Empty when sql is one SELECT (or WITH … SELECT); otherwise what is wrong, in Portuguese.
    static QString problem(const QString& sql);
};
