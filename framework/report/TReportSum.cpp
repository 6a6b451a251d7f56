#include "TReportSum.h"

#include "TValueFormat.h"

void TReportSum::add(const TReportSum& other)
{
    m_cents += other.m_cents;
    m_valid = m_valid && other.m_valid;
}

void TReportSum::clear()
{
    m_cents = 0;
    m_valid = true;
}

double TReportSum::value() const
{
    return double(m_cents) / 100.0;
}

QString TReportSum::text(TReportDefinition::Format format) const
{
    if (!m_valid)
        return TValueFormat::invalidText();
    // Digits from the right, a dot every three; 39 digits hold any 128-bit value.
    const bool negative = m_cents < 0;
    __extension__ unsigned __int128 v = negative ? 0 - static_cast<unsigned __int128>(m_cents)
                                                 : static_cast<unsigned __int128>(m_cents);
    const int fraction = int(v % 100);
    v /= 100;
    const bool shownNegative = negative && (v != 0 || format != TReportDefinition::Format::Integer);
    QString out;
    int n = 0;
    do {
        if (n && n % 3 == 0)
            out.prepend(u'.');
        out.prepend(QChar(u'0' + char16_t(v % 10)));
        v /= 10;
        ++n;
    } while (v);
    if (format != TReportDefinition::Format::Integer)
        out += u',' + QString::number(fraction).rightJustified(2, u'0');
    if (shownNegative)
        out.prepend(u'-');
    return out;
}
