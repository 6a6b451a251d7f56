#pragma once

#include "FisReportExport.h"

#include <QString>
#include <QStringList>

// What a report run found wrong with its values (an amount no column holds, shown as
// "inválido"; a text cut to a spreadsheet's cell), kept for the clerk as well as logged.
// While one is alive it is the process's current collector and the engine tells it each
// text, once; one made during another's life collects alone until it ends, as an export
// started from a preview does.
class FIS_REPORT_EXPORT TReportWarnings
{
public:
    TReportWarnings();
    ~TReportWarnings();
    TReportWarnings(const TReportWarnings&) = delete;
    TReportWarnings& operator=(const TReportWarnings&) = delete;

    QStringList texts() const;
    // "O relatório foi gerado com avisos:" and the texts under it; empty when none.
    QString summary() const;

    // Logs text as a warning of fis.report and keeps it in the current collector, if
    // there is one. Any thread.
    static void tell(const QString& text);

private:
    QStringList m_texts;
    TReportWarnings* m_outer;
};
