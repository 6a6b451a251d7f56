#pragma once

#include "FisReportExport.h"
#include "TReportCanvas_p.h"

#include <QByteArray>
#include <QSizeF>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QIODevice;
template <typename Item> class TReportPipeline;

// A PDF written page by page as it is drawn, with the base-14 Helvetica fonts in
// WinAnsiEncoding: only the page being drawn is held in memory, whatever the number of
// pages (libharu and Qt's writer keep the whole document until it is saved). A page is
// compressed and written on a thread of its own while the next one is drawn. What a page
// shows of the page count goes in a stream of its own at the end, so the pages can be
// drawn before they are all counted.
class FIS_REPORT_EXPORT TReportPdfWriter : public TReportCanvas
{
public:
    // Page size in points.
    TReportPdfWriter(QIODevice* device, const QSizeF& pageSize, const QString& title,
                     const QString& creator);
    ~TReportPdfWriter() override;

    void beginPage() override;
    void endPage() override;
    void text(double x, double y, bool bold, double size, QByteArrayView text) override;
    void fill(const QRectF& rect, int gray) override;

    // Writes a second, small content stream for each page, drawn here by late (what waits
    // for the page count: its page number), then the pages, the page tree and the
    // cross-reference table; an error when the device failed. False, the file left
    // unfinished, when late says stop.
    bool finish(const std::function<bool(int page)>& late);

private:
    struct Deflater;

    void closeContent();
    void writeBody(const QByteArray& content);
    int beginObject();
    void write(const QByteArray& bytes);
    void write(const char* data, qsizetype size);
    void number(double value);

    QIODevice* m_device;
    QSizeF m_size;
    QString m_title;
    QString m_creator;
    qint64 m_offset = 0;
    std::vector<qint64> m_objects;
    // Each page's content stream drawn with it, by object number.
    std::vector<int> m_bodies;
    QByteArray m_content;
    std::unique_ptr<Deflater> m_deflater;
    int m_font = -1;
    double m_fontSize = 0;
    int m_gray = 0;
    bool m_inText = false;
    // Where the current text line starts, in hundredths of a point: Td moves from there.
    qint64 m_lineX = 0, m_lineY = 0;
    // Last: stopped before what it writes with goes.
    std::unique_ptr<TReportPipeline<QByteArray>> m_writer;
};
