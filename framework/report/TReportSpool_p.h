#pragma once

#include <QByteArray>
#include <QTemporaryFile>
#include <vector>

// The laid-out bands of a report, page by page, in a temporary file: a report of a
// million rows keeps only the page being filled in memory, and any page can be read
// back at once to be drawn.
class TReportSpool
{
public:
    TReportSpool();

    // Bytes of the page being filled.
    QByteArray& current() { return m_page; }
    // Closes the page being filled.
    void endPage();
    int pageCount() const { return int(m_offsets.size()) - 1; }
    // The bytes of page (1-based).
    QByteArray page(int page) const;

private:
    void flush();

    mutable QTemporaryFile m_file;
    QByteArray m_buffer;
    QByteArray m_page;
    std::vector<qint64> m_offsets{0};
};
