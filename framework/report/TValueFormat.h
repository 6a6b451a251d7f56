#pragma once

#include "FisReportExport.h"
#include "TReportDefinition.h"

#include <QDate>
#include <QString>
#include <QVariant>

// How a stored value reads in a report and in its exports.
class FIS_REPORT_EXPORT TValueFormat
{
public:
    // The value as a column of that format shows it; null reads as the empty text.
    static QString text(const QVariant& value, TReportDefinition::Format format);
    // A sum of a column, kept in hundredths so that money adds up exactly.
    static QString sum(qint64 hundredths, TReportDefinition::Format format);

    // SQLite keeps dates as ISO text, the others hand over a date.
    static QDate date(const QVariant& value);
    // The same without building a QDate; false when the value holds no valid date.
    static bool dateParts(const QVariant& value, int& year, int& month, int& day);
    static qint64 toCents(const QVariant& value);
    // 1.234,56
    static QString cents(qint64 cents);
    // 14 digits as 00.000.000/0000-00, 11 as 000.000.000-00; anything else unchanged.
    static QString cnpjCpf(const QString& digits);
};
