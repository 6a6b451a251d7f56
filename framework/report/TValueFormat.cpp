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
    case TReportDefinition::Format::Money: {
        qint64 c = 0;
        return toCents(value, c) ? cents(c) : invalidText();
    }
    case TReportDefinition::Format::Integer: {
        qint64 n = 0;
        return toInteger(value, n) ? QString::number(n) : invalidText();
    }
    case TReportDefinition::Format::CnpjCpf:
        return cnpjCpf(value.toString().trimmed());
    case TReportDefinition::Format::Text:
        break;
    }
    // Fixed-width columns come padded with blanks.
    return value.toString().trimmed();
}

QString TValueFormat::invalidText()
{
    return QStringLiteral("inválido");
}

bool TValueFormat::dateParts(const QVariant& value, int& year, int& month, int& day)
{
    if (value.typeId() == QMetaType::QString) {
        // Read by hand: a million rows of QDate::fromString cost seconds.
        const QString& s = *static_cast<const QString*>(value.constData());
        if (s.size() < 10 || s[4] != u'-' || s[7] != u'-')
            return false;
        int part[3] = {0, 0, 0};
        const qsizetype starts[3] = {0, 5, 8};
        const qsizetype widths[3] = {4, 2, 2};
        for (int k = 0; k < 3; ++k)
            for (qsizetype i = starts[k]; i < starts[k] + widths[k]; ++i) {
                const char16_t c = s[i].unicode();
                if (c < u'0' || c > u'9')
                    return false;
                part[k] = part[k] * 10 + (c - u'0');
            }
        year = part[0];
        month = part[1];
        day = part[2];
        return QDate::isValid(year, month, day);
    }
    const QDate d = date(value);
    d.getDate(&year, &month, &day);
    return d.isValid();
}

QDate TValueFormat::date(const QVariant& value)
{
    if (value.typeId() == QMetaType::QDate)
        return value.toDate();
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().date();
    if (value.typeId() == QMetaType::QString) {
        const QString& s = *static_cast<const QString*>(value.constData());
        int year = 0, month = 0, day = 0;
        if (s.size() >= 10 && s[4] == u'-' && s[7] == u'-')
            return dateParts(value, year, month, day) ? QDate(year, month, day) : QDate();
    }
    return QDate::fromString(value.toString().left(10), Qt::ISODate);
}

namespace {

// "-1234.5" as hundredths, exactly; false for anything else (more decimals, exponents).
bool parseCents(QStringView text, qint64& cents)
{
    text = text.trimmed();
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text = text.mid(1);
    }
    qint64 units = 0;
    qsizetype i = 0;
    for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 0x80; ++i) {
        if (i >= 16)
            return false;
        units = units * 10 + (text[i].unicode() - u'0');
    }
    if (i == 0)
        return false;
    int fraction = 0;
    if (i < text.size()) {
        if (text[i] != u'.' || text.size() - i - 1 > 2)
            return false;
        int digits = 0;
        for (++i; i < text.size(); ++i, ++digits) {
            if (text[i].unicode() < u'0' || text[i].unicode() > u'9')
                return false;
            fraction = fraction * 10 + (text[i].unicode() - u'0');
        }
        if (digits == 1)
            fraction *= 10;
    }
    cents = units * 100 + fraction;
    if (negative)
        cents = -cents;
    return true;
}

} // namespace

bool TValueFormat::toCents(const QVariant& value, qint64& cents)
{
    cents = 0;
    if (value.isNull())
        return true;
    double amount = 0;
    bool ok = true;
    switch (value.typeId()) {
    case QMetaType::QString: {
        // PostgreSQL hands NUMERIC over as text.
        const QString& text = *static_cast<const QString*>(value.constData());
        if (parseCents(text, cents))
            return cents >= -maxCents && cents <= maxCents;
        const QString trimmed = text.trimmed();
        if (trimmed.isEmpty())
            return true;
        amount = QLocale::c().toDouble(trimmed, &ok);
        break;
    }
    case QMetaType::LongLong:
    case QMetaType::Int: {
        const qint64 units = value.toLongLong();
        if (units < -maxCents / 100 || units > maxCents / 100)
            return false;
        cents = units * 100;
        return true;
    }
    default:
        amount = value.toDouble(&ok);
    }
    // Compared before any conversion: a double past 64 bits has no integer to round to.
    if (!ok || !std::isfinite(amount) || std::fabs(amount * 100.0) >= double(maxCents) + 1.0)
        return false;
    cents = std::llround(amount * 100.0);
    return true;
}

qint64 TValueFormat::toCents(const QVariant& value)
{
    qint64 cents = 0;
    return toCents(value, cents) ? cents : 0;
}

bool TValueFormat::toInteger(const QVariant& value, qint64& integer)
{
    integer = 0;
    bool ok = true;
    double number = 0;
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Bool:
        integer = value.toLongLong();
        return true;
    case QMetaType::QString: {
        const QString trimmed = value.toString().trimmed();
        integer = trimmed.toLongLong(&ok);
        if (ok || trimmed.isEmpty())
            return true;
        number = QLocale::c().toDouble(trimmed, &ok);
        break;
    }
    default:
        number = value.toDouble(&ok);
    }
    // 2^63 is the first double past qint64.
    if (!ok || !std::isfinite(number) || std::fabs(number) >= 9223372036854775808.0)
        return false;
    integer = std::llround(number);
    return true;
}

QString TValueFormat::cents(qint64 cents)
{
    // Unsigned, so the most negative value has a magnitude too.
    const quint64 magnitude = cents < 0 ? 0 - quint64(cents) : quint64(cents);
    return QStringLiteral("%1%2,%3")
        .arg(cents < 0 ? QStringLiteral("-") : QString(), brazil().toString(magnitude / 100))
        .arg(int(magnitude % 100), 2, 10, QChar(u'0'));
}

QString TValueFormat::cnpjCpf(const QString& digits)
{
    if ((digits.size() != 14 && digits.size() != 11) || !allDigits(digits))
        return digits;
    // The punctuation after each digit, by position.
    static const char cnpj[] = "_.__.__/___-_";
    static const char cpf[] = "__.__.__-_";
    const char* marks = digits.size() == 14 ? cnpj : cpf;
    QString out(digits.size() == 14 ? 18 : 14, Qt::Uninitialized);
    QChar* p = out.data();
    for (qsizetype i = 0; i < digits.size(); ++i) {
        *p++ = digits[i];
        if (i < digits.size() - 1 && marks[i] != '_')
            *p++ = QLatin1Char(marks[i]);
    }
    return out;
}
