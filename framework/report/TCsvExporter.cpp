#include "TCsvExporter.h"

#include "EFrameworkError.h"
#include "TValueFormat.h"

namespace {

constexpr qsizetype kFlushAt = 1 << 20;

// 1234,56: no thousands separator, which some importers would take for a decimal point.
void appendCents(QByteArray& out, qint64 cents)
{
    if (cents < 0) {
        out += '-';
        cents = -cents;
    }
    out += QByteArray::number(cents / 100);
    out += ',';
    out += char('0' + cents % 100 / 10);
    out += char('0' + cents % 10);
}

} // namespace

QString TCsvExporter::inert(const QString& text)
{
    // A spreadsheet opening the file would run a text such as "=HYPERLINK(...)" as a
    // formula; the apostrophe is how its users themselves mark a text.
    if (!text.isEmpty() && QStringView(u"=+-@\t\r").contains(text.front()))
        return u'\'' + text;
    return text;
}

QByteArray TCsvExporter::field(const QString& text)
{
    QByteArray utf8 = text.toUtf8();
    for (const char c : utf8)
        if (c == ';' || c == '"' || c == '\n' || c == '\r')
            return '"' + utf8.replace('"', "\"\"") + '"';
    return utf8;
}

void TCsvExporter::begin(const QString& file, const std::vector<Column>& columns)
{
    m_columns = columns;
    m_file.setFileName(file);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EFrameworkError(fileError(file, m_file.errorString()));
    m_buffer.reserve(kFlushAt + 4096);
    m_buffer = "\xEF\xBB\xBF";
    for (size_t c = 0; c < columns.size(); ++c) {
        if (c > 0)
            m_buffer += ';';
        m_buffer += field(columns[c].definition.title);
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
        case TReportDefinition::Format::Money:
            appendCents(m_buffer, TValueFormat::toCents(v));
            break;
        case TReportDefinition::Format::Integer:
            m_buffer += QByteArray::number(v.toLongLong());
            break;
        default: {
            const QString text = TValueFormat::text(v, column.definition.format);
            const auto it = column.definition.values.constFind(text);
            m_buffer += field(inert(it == column.definition.values.constEnd() ? text : it.value()));
        }
        }
    }
    m_buffer += "\r\n";
    if (m_buffer.size() >= kFlushAt)
        flush();
}

void TCsvExporter::flush()
{
    if (m_file.write(m_buffer) != m_buffer.size())
        throw EFrameworkError(fileError(m_file.fileName(), m_file.errorString()));
    m_buffer.clear();
}

void TCsvExporter::end()
{
    flush();
    if (!m_file.flush())
        throw EFrameworkError(fileError(m_file.fileName(), m_file.errorString()));
    m_file.close();
}

void TCsvExporter::discard()
{
    m_file.close();
    m_buffer.clear();
}
