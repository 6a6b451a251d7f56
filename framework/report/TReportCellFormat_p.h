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

    // Replaces out's contents with the value's text.
    void format(const QVariant& value, QByteArray& out) const;

private:
    bool fast(const QVariant& value, QByteArray& out) const;

    TReportDefinition::Format m_format;
    std::vector<std::pair<QByteArray, QByteArray>> m_values;
};
