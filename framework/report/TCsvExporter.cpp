#include "TCsvExporter.h"

#include "EFrameworkError.h"
#include "TReportCellFormat_p.h"
#include "TValueFormat.h"

#include <cerrno>

namespace {

constexpr qsizetype kFlushAt = 1 << 20;

bool needsQuotes(QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u';' || u == u'"' || u == u'\n' || u == u'\r')
            return true;
    }
    return false;
}

bool formulaLike(QStringView text)
{
    return !text.isEmpty() && QStringView(u"=+-@\t\r").contains(text.front());
}

// UTF-8 straight into the buffer, quoted (RFC 4180) when the text needs it; one a
// spreadsheet would take for a formula opens with an apostrophe. A lone surrogate becomes
// U+FFFD.
void appendField(QByteArray& out, QStringView text)
{
    const bool marked = formulaLike(text);
    const bool quoted = needsQuotes(text);
    const qsizetype start = out.size();
    // Three bytes a UTF-16 unit covers every case, a doubled quote included.
    out.resize(start + text.size() * 3 + 3);
    char* p = out.data() + start;
    if (quoted)
        *p++ = '"';
    if (marked)
        *p++ = '\'';
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t u = text[i].unicode();
        if (u < 0x80) {
            if (u == u'"')
                *p++ = '"';
            *p++ = char(u);
            continue;
        }
        if (u < 0x800) {
            *p++ = char(0xC0 | (u >> 6));
            *p++ = char(0x80 | (u & 0x3F));
            continue;
        }
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            u = QChar::surrogateToUcs4(char16_t(u), text[++i].unicode());
            *p++ = char(0xF0 | (u >> 18));
            *p++ = char(0x80 | ((u >> 12) & 0x3F));
            *p++ = char(0x80 | ((u >> 6) & 0x3F));
            *p++ = char(0x80 | (u & 0x3F));
            continue;
        }
        if (QChar::isSurrogate(u))
            u = 0xFFFD;
        *p++ = char(0xE0 | (u >> 12));
        *p++ = char(0x80 | ((u >> 6) & 0x3F));
        *p++ = char(0x80 | (u & 0x3F));
    }
    if (quoted)
        *p++ = '"';
    out.resize(p - out.data());
}

// 1234,56: no thousands separator, which some importers would take for a decimal point.
void appendCents(QByteArray& out, qint64 cents)
{
    char digits[24];
    char* end = digits + sizeof digits;
    char* p = end;
    const bool negative = cents < 0;
    quint64 units = negative ? quint64(0) - quint64(cents) : quint64(cents);
    *--p = char('0' + units % 10);
    units /= 10;
    *--p = char('0' + units % 10);
    units /= 10;
    *--p = ',';
    do {
        *--p = char('0' + units % 10);
        units /= 10;
    } while (units > 0);
    if (negative)
        *--p = '-';
    out.append(p, end - p);
}

void appendTwo(char*& p, int value)
{
    *p++ = char('0' + value / 10 % 10);
    *p++ = char('0' + value % 10);
}

// The text a value holds, without the blanks of a fixed-width column; owned keeps a
// converted value alive.
QStringView textOf(const QVariant& v, QString& owned)
{
    if (v.typeId() == QMetaType::QString) {
        const QStringView s(*static_cast<const QString*>(v.constData()));
        // Most values carry no blanks: skip the general trim.
        if (s.isEmpty() || (s.front().unicode() > u' ' && s.back().unicode() > u' '))
            return s;
        return s.trimmed();
    }
    owned = v.toString().trimmed();
    return owned;
}

} // namespace

QString TCsvExporter::inert(const QString& text)
{
    // A spreadsheet opening the file would run a text such as "=HYPERLINK(...)" as a
    // formula; the apostrophe is how its users themselves mark a text.
    if (formulaLike(text))
        return u'\'' + text;
    return text;
}

QByteArray TCsvExporter::field(const QString& text)
{
    QByteArray out;
    appendField(out, text);
    return out;
}

void TCsvExporter::begin(const QString& file, const std::vector<Column>& columns)
{
    m_columns = columns;
    m_file.setFileName(file);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EFrameworkError(fileError(file, m_file.errorString()));
    m_buffer.clear();
    m_buffer.reserve(kFlushAt + 4096);
    m_buffer.append("\xEF\xBB\xBF");
    for (size_t c = 0; c < columns.size(); ++c) {
        if (c > 0)
            m_buffer += ';';
        appendField(m_buffer, columns[c].definition.title);
    }
    m_buffer += "\r\n";
}

void TCsvExporter::row(const TRowSource::Row& values)
{
    for (size_t c = 0; c < m_columns.size(); ++c) {
        if (c > 0)
            m_buffer += ';';
        const Column& column = m_columns[c];
        const QVariant& v = values[size_t(column.source)];
        if (v.isNull())
            continue;
        switch (column.definition.format) {
        case TReportDefinition::Format::Money: {
            qint64 cents = 0;
            if (column.cell->cents(v, cents))
                appendCents(m_buffer, cents);
            else
                appendField(m_buffer, TValueFormat::invalidText());
            break;
        }
        case TReportDefinition::Format::Integer: {
            qint64 n = 0;
            if (column.cell->integer(v, n))
                m_buffer += QByteArray::number(n);
            else
                appendField(m_buffer, TValueFormat::invalidText());
            break;
        }
        case TReportDefinition::Format::Date:
            appendDate(v);
            break;
        case TReportDefinition::Format::CnpjCpf: {
            QString owned;
            const QStringView digits = textOf(v, owned);
            appendField(m_buffer, TValueFormat::cnpjCpf(digits.toString()));
            break;
        }
        case TReportDefinition::Format::Text: {
            QString owned;
            QStringView text = textOf(v, owned);
            const auto& shown = column.definition.values;
            if (!shown.isEmpty()) {
                const auto it = shown.constFind(text.toString());
                if (it != shown.constEnd())
                    text = it.value();
            }
            appendField(m_buffer, text);
        }
        }
    }
    m_buffer += "\r\n";
    if (m_buffer.size() >= kFlushAt)
        flush();
}

void TCsvExporter::appendDate(const QVariant& v)
{
    int year = 0, month = 0, day = 0;
    if (!TValueFormat::dateParts(v, year, month, day) || year < 1000 || year > 9999) {
        QString owned;
        appendField(m_buffer, textOf(v, owned));
        return;
    }
    const qsizetype start = m_buffer.size();
    m_buffer.resize(start + 10);
    char* p = m_buffer.data() + start;
    appendTwo(p, day);
    *p++ = '/';
    appendTwo(p, month);
    *p++ = '/';
    appendTwo(p, year / 100);
    appendTwo(p, year % 100);
}

void TCsvExporter::flush()
{
    errno = 0;
    if (m_file.write(m_buffer) != m_buffer.size()) {
        // The system's reason (a full disk), where Qt's would be "unknown".
        const QString reason = errno != 0 ? qt_error_string(errno) : m_file.errorString();
        throw EFrameworkError(fileError(m_file.fileName(), reason), reason);
    }
    m_buffer.resize(0); // keeps the capacity
}

bool TCsvExporter::end()
{
    flush();
    if (!m_file.flush())
        throw EFrameworkError(fileError(m_file.fileName(), m_file.errorString()));
    m_file.close();
    return true;
}

void TCsvExporter::discard()
{
    m_file.close();
    m_buffer.clear();
}
