#pragma once

#include "FisReportExport.h"

#include "TReportDefinition.h"

#include <QByteArray>
#include <QVariant>
#include <utility>
#include <vector>

// A column's values as the report prints them, straight to Windows-1252 bytes: the same
// texts as TValueFormat and the column's value map give, without the QString, QLocale
// and QDate round trips that cost more than the rest of a row's layout.
// Exported for its tests.
class FIS_REPORT_EXPORT TReportCellFormat
{
public:
    explicit TReportCellFormat(const TReportDefinition::Column& column);

    // Replaces out's contents with the value's text; a value the column cannot hold reads
    // as TValueFormat::invalidText().
    void format(const QVariant& value, QByteArray& out) const;
    // The value in hundredths, for a sum; false for a value no amount column holds. The
    // first such value of the column is logged as a warning that names the column.
    bool cents(const QVariant& value, qint64& cents) const;
    // The same for a whole number.
    bool integer(const QVariant& value, qint64& integer) const;

private:
    bool fast(const QVariant& value, QByteArray& out) const;
    // Warns once per column; shown: the cell itself reads as the mark.
    void refused(const QVariant& value, bool shown) const;

    TReportDefinition::Format m_format;
    QString m_title;
    QString m_field;
    mutable bool m_warned = false;
    std::vector<std::pair<QByteArray, QByteArray>> m_values;
};
