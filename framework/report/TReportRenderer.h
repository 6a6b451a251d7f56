#pragma once

#include "FrameworkExport.h"
#include "TParams.h"
#include "TReportDefinition.h"

#include <QDateTime>
#include <QFont>
#include <QList>
#include <QString>
#include <vector>

class QPagedPaintDevice;
class QPainter;
class TADOIBDataSet;

// Lays out an open dataset as a paged table report on any paged device: title,
// filter line, column headers, rows, group and report totals, "Página N de M".
// Rows are read through the dataset's cursor, never copied.
class FW_EXPORT TReportRenderer
{
public:
    TReportRenderer(const TReportDefinition& definition, TADOIBDataSet* rows,
                    const TParams& params);

    // Every column, group and total field must be in the result; an error otherwise.
    void checkColumns() const;
    // Reads every row to lay the pages out on that device, painting nothing.
    int countPages(QPagedPaintDevice* device);
    // Paints the whole report on the device and returns the number of pages.
    int render(QPagedPaintDevice* device);

    // The filter line: the labelled values of the parameters the definition names.
    QString filterText() const;

    // A value as a column of that format shows it.
    static QString formatValue(const QVariant& value, TReportDefinition::Format format);
    static qint64 toCents(const QVariant& value);
    static QString formatCents(qint64 cents);

private:
    int layout(QPagedPaintDevice* device, QPainter* painter, int totalPages);

    TReportDefinition m_definition;
    TADOIBDataSet* m_rows;
    TParams m_params;
    QDateTime m_printedAt;
    QFont m_font;
};
