#include "TReportCellFormat_p.h"

#include "TReportText.h"
#include "TReportWarnings.h"
#include "TValueFormat.h"

#include <QDate>
#include <algorithm>
#include <cstring>

namespace {

using Format = TReportDefinition::Format;

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

int digits(const char16_t* at, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i)
        v = v * 10 + (at[i] - u'0');
    return v;
}

// The text without the blanks around it, when every letter is one Windows-1252 shares
// with Latin-1.
bool latinTrimmed(const QString& text, const char16_t*& begin, const char16_t*& end)
{
    begin = reinterpret_cast<const char16_t*>(text.constData());
    end = begin + text.size();
    while (begin < end && QChar::isSpace(*begin))
        ++begin;
    while (end > begin && QChar::isSpace(end[-1]))
        --end;
    for (const char16_t* at = begin; at < end; ++at)
        if (*at > 0xFF || (*at >= 0x80 && *at < 0xA0))
            return false;
    return true;
}

void appendLatin(QByteArray& out, const char16_t* begin, const char16_t* end)
{
    const qsizetype at = out.size();
    out.resize(at + (end - begin));
    char* o = out.data() + at;
    while (begin < end)
        *o++ = char(*begin++);
}

void appendTwo(char*& o, int v)
{
    *o++ = char('0' + v / 10);
    *o++ = char('0' + v % 10);
}

bool appendDate(QByteArray& out, int y, int m, int d)
{
    if (y < 1000 || y > 9999 || !QDate::isValid(y, m, d))
        return false;
    out.resize(10);
    char* o = out.data();
    appendTwo(o, d);
    *o++ = '/';
    appendTwo(o, m);
    *o++ = '/';
    appendTwo(o, y / 100);
    appendTwo(o, y % 100);
    return true;
}

// 1.234.567,89 as the Brazilian locale writes it.
void appendCents(QByteArray& out, qint64 cents)
{
    char buffer[40];
    char* end = buffer + sizeof buffer;
    char* at = end;
    quint64 v = cents < 0 ? 0 - quint64(cents) : quint64(cents);
    const int fraction = int(v % 100);
    v /= 100;
    *--at = char('0' + fraction % 10);
    *--at = char('0' + fraction / 10);
    *--at = ',';
    int n = 0;
    do {
        if (n && n % 3 == 0)
            *--at = '.';
        *--at = char('0' + v % 10);
        v /= 10;
        ++n;
    } while (v);
    if (cents < 0)
        *--at = '-';
    out.append(at, qsizetype(end - at));
}

} // namespace

TReportCellFormat::TReportCellFormat(const TReportDefinition::Column& column)
    : m_format(column.format), m_title(column.title), m_field(column.field)
{
    for (auto it = column.values.cbegin(); it != column.values.cend(); ++it)
        m_values.emplace_back(TReportText::encode(it.key()), TReportText::encode(it.value()));
}

void TReportCellFormat::format(const QVariant& value, QByteArray& out) const
{
    out.resize(0);
    if (value.isNull())
        return;
    if (!fast(value, out)) {
        const QString text = TValueFormat::text(value, m_format);
        if ((m_format == Format::Money || m_format == Format::Integer) &&
            text == TValueFormat::invalidText())
            refused(value, true);
        out = TReportText::encode(text);
    }
    for (const auto& [from, to] : m_values)
        if (out == from) {
            out = to;
            break;
        }
}

bool TReportCellFormat::cents(const QVariant& value, qint64& cents) const
{
    if (TValueFormat::toCents(value, cents))
        return true;
    refused(value, m_format == Format::Money);
    return false;
}

bool TReportCellFormat::integer(const QVariant& value, qint64& integer) const
{
    if (TValueFormat::toInteger(value, integer))
        return true;
    refused(value, true);
    return false;
}

void TReportCellFormat::refused(const QVariant& value, bool shown) const
{
    if (m_warned)
        return;
    m_warned = true;
    QString text = value.toString().simplified();
    if (text.size() > 40)
        text = text.left(39) + QChar(0x2026);
    // A whole number may show and still be past what a sum takes.
    const QString where = shown ? QStringLiteral("ele e os totais que o incluem aparecem")
                                : QStringLiteral("os totais que o incluem aparecem");
    TReportWarnings::tell(
        QStringLiteral("Coluna \"%1\" (%2): o valor %3 está fora do que a coluna comporta; "
                       "%4 como \"%5\".")
            .arg(m_title, m_field, text.isEmpty() ? QStringLiteral("vazio") : text, where,
                 TValueFormat::invalidText()));
}

bool TReportCellFormat::fast(const QVariant& value, QByteArray& out) const
{
    const int type = value.typeId();
    switch (m_format) {
    case Format::Money: {
        qint64 c = 0;
        if (!cents(value, c))
            return false;
        appendCents(out, c);
        return true;
    }
    case Format::Integer:
        if (type != QMetaType::LongLong && type != QMetaType::Int)
            return false;
        out.setNum(value.toLongLong());
        return true;
    case Format::Date: {
        if (type == QMetaType::QDate) {
            const QDate d = value.toDate();
            return appendDate(out, d.year(), d.month(), d.day());
        }
        if (type != QMetaType::QString)
            return false;
        // SQLite's ISO text: AAAA-MM-DD, perhaps with a time after it.
        const QString& text = *static_cast<const QString*>(value.constData());
        if (text.size() < 10)
            return false;
        const auto* c = reinterpret_cast<const char16_t*>(text.constData());
        for (const int i : {0, 1, 2, 3, 5, 6, 8, 9})
            if (!isDigit(c[i]))
                return false;
        if (c[4] != u'-' || c[7] != u'-')
            return false;
        return appendDate(out, digits(c, 4), digits(c + 5, 2), digits(c + 8, 2));
    }
    case Format::CnpjCpf:
    case Format::Text: {
        if (type != QMetaType::QString)
            return false;
        const char16_t* begin = nullptr;
        const char16_t* end = nullptr;
        if (!latinTrimmed(*static_cast<const QString*>(value.constData()), begin, end))
            return false;
        const qsizetype n = end - begin;
        if (m_format == Format::CnpjCpf && (n == 14 || n == 11) &&
            std::all_of(begin, end, isDigit)) {
            // 00.000.000/0000-00 and 000.000.000-00
            const char* pattern = n == 14 ? "##.###.###/####-##" : "###.###.###-##";
            out.resize(qsizetype(std::strlen(pattern)));
            char* o = out.data();
            for (const char* p = pattern; *p; ++p)
                *o++ = *p == '#' ? char(*begin++) : *p;
            return true;
        }
        appendLatin(out, begin, end);
        return true;
    }
    }
    return false;
}
