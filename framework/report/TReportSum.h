#pragma once

#include "FisReportExport.h"
#include "TReportDefinition.h"

#include <QString>

// A column's total in hundredths, exact over any count of rows of NUMERIC(15,2) (a million
// of the largest already passes 64 bits); once a value it could not take was added, the
// total reads as the mark of such a value, never as a figure.
class FIS_REPORT_EXPORT TReportSum
{
public:
    void add(qint64 cents) { m_cents += cents; }
    // A value of the column that is no amount (TValueFormat::toCents refused it).
    void spoil() { m_valid = false; }
    void add(const TReportSum& other);
    void clear();

    bool valid() const { return m_valid; }
    // The total as a spreadsheet number; precise to the cent up to 2^53 hundredths.
    double value() const;
    // 1.234.567,89 (integers: 1.234.567), or the invalid mark.
    QString text(TReportDefinition::Format format) const;

private:
    __extension__ using Cents = __int128;
    Cents m_cents = 0;
    bool m_valid = true;
};
