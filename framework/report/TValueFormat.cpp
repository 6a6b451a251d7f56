#include "TValueFormat.h"

#include <QLocale>
#include <cmath>

namespace {

const QLocale& brazil()
{
    static const QLocale locale(QLocale::Portuguese, QLocale::Brazil);
    return locale;
}

bool allDigits(const QString& text)
{
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

} // namespace

QString TValueFormat::text(const QVariant& value, TReportDefinition::Format format)
{
    if (value.isNull())
        return {};
    switch (format) {
    case TReportDefinition::Format::Date: {
        const QDate d = date(value);
        return d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy")) : value.toString().trimmed();
    }
    case TReportDefinition::Format::Money:
        return cents(toCents(value));
    case TReportDefinition::Format::Integer:
        return QString::number(value.toLongLong());
    case TReportDefinition::Format::CnpjCpf:
        return cnpjCpf(value.toString().trimmed());
    case TReportDefinition::Format::Text:
        break;
    }
    // Fixed-width columns come padded with blanks.
    return value.toString().trimmed();
}

QString TValueFormat::sum(qint64 hundredths, TReportDefinition::Format format)
{
    if (format == TReportDefinition::Format::Integer)
        return brazil().toString(hundredths / 100);
    return cents(hundredths);
}

QDate TValueFormat::date(const QVariant& value)
{
    if (value.typeId() == QMetaType::QDate)
        return value.toDate();
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().date();
    return QDate::fromString(value.toString().left(10), Qt::ISODate);
}

qint64 TValueFormat::toCents(const QVariant& value)
{
    if (value.isNull())
        return 0;
    double amount = 0;
    if (value.typeId() == QMetaType::QString)
        // PostgreSQL hands NUMERIC over as text.
        amount = QLocale::c().toDouble(value.toString().trimmed());
    else
        amount = value.toDouble();
    return std::llround(amount * 100.0);
}

QString TValueFormat::cents(qint64 cents)
{
    const qint64 units = (cents < 0 ? -cents : cents) / 100;
    const qint64 fraction = (cents < 0 ? -cents : cents) % 100;
    return QStringLiteral("%1%2,%3")
        .arg(cents < 0 ? QStringLiteral("-") : QString(), brazil().toString(units))
        .arg(int(fraction), 2, 10, QChar(u'0'));
}

QString TValueFormat::cnpjCpf(const QString& digits)
{
    if (!allDigits(digits))
        return digits;
    if (digits.size() == 14)
        return QStringLiteral("%1.%2.%3/%4-%5")
            .arg(digits.left(2), digits.mid(2, 3), digits.mid(5, 3), digits.mid(8, 4),
                 digits.mid(12, 2));
    if (digits.size() == 11)
        return QStringLiteral("%1.%2.%3-%4")
            .arg(digits.left(3), digits.mid(3, 3), digits.mid(6, 3), digits.mid(9, 2));
    return digits;
}
