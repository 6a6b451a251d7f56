#pragma once

#include "FisReportExport.h"
#include "TParams.h"
#include "TReportDefinition.h"
#include "TReportSum.h"
#include "TRowSource.h"

#include <QDateTime>
#include <QImage>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QIODevice;
class QPainter;
class TReportLayout;
class TReportRun;

// Turns the rows of a report run into pages: formats the values, follows the groups and
// sums the totals while the rows are read forward once (paginate), then draws any page on
// demand: to a PDF, a printer, a painter or an image. Only the page count and a
// temporary file of laid-out bands outlive the read.
class FIS_REPORT_EXPORT TReportRenderer
{
public:
    // printedAt stamps every page; invalid: now.
    TReportRenderer(const TReportDefinition& definition, const TParams& params,
                    const QDateTime& printedAt = {});
    ~TReportRenderer();

    const TReportDefinition& definition() const { return m_definition; }
    const TParams& params() const { return m_params; }
    QDateTime printedAt() const { return m_printedAt; }

    // A run of rows with the same group values, in the report's order: an innermost group
    // of a grouped report, or every row of a report without groups.
    struct Span
    {
        qint64 rows = 0;
        // It begins a new outer group as well (always so with one group level).
        bool opensOuter = true;
        // The summed columns' cents, in the order of the totals' fields.
        std::vector<qint64> sums;
    };

    // Reads every row of the run and lays the pages out, drawing nothing. False when the
    // run was cancelled on the way.
    bool paginate(TReportRun& run);
    // Lays out at least that many pages (or all there are) and goes on for budgetMs,
    // then stops; continuePass reads on from there. False when cancelled.
    bool paginate(TReportRun& run, int pages, int budgetMs);
    // Reads on for about budgetMs (all, when negative); true once every row is read or
    // the run was cancelled. False too when the run's rows are late (TReportRun::late).
    bool continuePass(TReportRun& run, int budgetMs);
    // Lays every page out from the spans alone and draws the texts of the last page only:
    // lastRows are the final rows of the report, in order, in a result with those columns.
    // False, and nothing laid out, when they do not reach back to the last page's first row.
    bool paginate(const std::vector<Span>& spans, const std::vector<TRowSource::Row>& lastRows,
                  const QStringList& columns);
    // More rows than a page ever holds; needs a pass begun.
    int rowsPerPageAtMost() const;
    // Every page laid out: the page count is final.
    bool paginated() const;
    // The pages laid out so far.
    int pageCount() const;
    // Page size in points.
    QSizeF pageSize() const;

    // Page (1-based) on a painter: scale turns points into the painter's units, origin
    // is where the page's top-left corner falls.
    void drawPage(int page, QPainter* painter, double scale, const QPointF& origin = {}) const;
    // Page as an image at that resolution, on white.
    QImage pageImage(int page, double dpi) const;
    // Every page, in order; false when the run's progress said stop.
    bool writePdf(QIODevice* device, TReportRun& run) const;
    // Reads every row of the run and writes the PDF as the pages are laid out, the page
    // numbers last: the same file as paginate then writePdf, without waiting for the read
    // to end. No page is kept to be drawn again. False when the run was cancelled.
    bool paginateToPdf(TReportRun& run, QIODevice* device);
    // Every page on a painter (a printer's), in order, newPage starting each after the
    // first; false when the run's progress said stop, the device's pages then unfinished.
    bool paintPages(QPainter* painter, double scale, const QPointF& origin,
                    const std::function<void()>& newPage, TReportRun& run) const;

    // The filter line: the labelled values of the parameters the definition names.
    QString filterText() const;

    // A value as a column of that format shows it.
    static QString formatValue(const QVariant& value, TReportDefinition::Format format);
    static qint64 toCents(const QVariant& value);
    static QString formatCents(qint64 cents);

private:
    struct Pass;

    void beginPass(TReportRun& run);
    void beginPass(const std::function<int(const QString&)>& column);
    QByteArray groupText(size_t level, const TRowSource::Row& row) const;
    void layRow(const TRowSource::Row& row);
    void finishPass(qint64 rows);
    // Returns the rows laid out before the last page began.
    qint64 layOutSpans(const std::vector<Span>& spans, qint64 total,
                       const std::vector<TRowSource::Row>* lastRows);
    void sumsBand(const QString& caption, qint64 count, const std::vector<TReportSum>& sums,
                  bool grand, const std::vector<bool>& shows = {});
    // Closes the group levels from the innermost up to first, with their footers.
    void closeLevels(size_t first);

    TReportDefinition m_definition;
    TParams m_params;
    QDateTime m_printedAt;
    std::unique_ptr<TReportLayout> m_layout;
    std::unique_ptr<Pass> m_pass;
};
