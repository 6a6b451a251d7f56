#include "TReportSpool_p.h"

#include "EFrameworkError.h"

#include <QDir>

namespace {

constexpr qsizetype flushSize = 1 << 20;

[[noreturn]] void fail(const QFile& file)
{
    throw EFrameworkError(QStringLiteral("Não foi possível usar o arquivo temporário do "
                                         "relatório: %1.")
                              .arg(file.errorString()));
}

} // namespace

TReportSpool::TReportSpool() : m_file(QDir::tempPath() + QStringLiteral("/fisreport-XXXXXX"))
{
    if (!m_file.open())
        fail(m_file);
}

void TReportSpool::endPage()
{
    m_buffer += m_page;
    m_offsets.push_back(m_offsets.back() + m_page.size());
    m_page.clear();
    if (m_buffer.size() >= flushSize)
        flush();
}

void TReportSpool::flush()
{
    // Reading a page moves the file's position.
    if (!m_file.seek(m_offsets.back() - m_buffer.size()) ||
        m_file.write(m_buffer) != m_buffer.size())
        fail(m_file);
    m_buffer.clear();
}

QByteArray TReportSpool::page(int page) const
{
    if (page < 1 || page > pageCount())
        return {};
    const qint64 begin = m_offsets[size_t(page) - 1];
    const qint64 size = m_offsets[size_t(page)] - begin;
    const qint64 written = m_offsets.back() - m_buffer.size();
    if (begin >= written)
        return m_buffer.mid(begin - written, size);
    if (!m_file.seek(begin))
        fail(m_file);
    QByteArray bytes = m_file.read(size);
    if (bytes.size() != size)
        fail(m_file);
    return bytes;
}
