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
    // What a cell shows in place of a value its column cannot hold.
    static QString invalidText();

    // SQLite keeps dates as ISO text, the others hand over a date.
    static QDate date(const QVariant& value);
    // The same without building a QDate; false when the value holds no valid date.
    static bool dateParts(const QVariant& value, int& year, int& month, int& day);
    // The largest amount a cell takes, in hundredths: 16 digits before the comma, as wide as
    // a page lays a total out and far past NUMERIC(15,2).
    static constexpr qint64 maxCents = 999'999'999'999'999'999;
    // A value in hundredths; false for what is no amount within maxCents (text that is no
    // number, infinity, NaN, 1e300). Null and blank text are 0.
    static bool toCents(const QVariant& value, qint64& cents);
    // The same, 0 for a value refused.
    static qint64 toCents(const QVariant& value);
    // A whole number; false for one outside 64 bits, NaN, or text that is no number.
    static bool toInteger(const QVariant& value, qint64& integer);
    // 1.234,56
    static QString cents(qint64 cents);
    // 14 digits as 00.000.000/0000-00, 11 as 000.000.000-00; anything else unchanged.
    static QString cnpjCpf(const QString& digits);
};
