#pragma once

#include "FisReportExport.h"

#include <QString>

// A line at the head of every report page while the application runs on a database a
// reader must not take for the real one (the demo): set by the application, empty else.
class FIS_REPORT_EXPORT TReportDatabaseNote
{
public:
    static QString text();
    static void set(const QString& text);
};
