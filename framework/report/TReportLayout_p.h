#pragma once

#include "FisReportExport.h"
#include "TReportDefinition.h"

#include <QByteArray>
#include <QDateTime>
#include <QSizeF>
#include <functional>
#include <memory>
#include <vector>

class TReportCanvas;
class TReportSpool;

// The pages of a table report: the frame of every page (title, filter line, column
// headers, "Página N de M") and the bands given in order (rows, group headers, sums),
// broken into pages as they come. Nothing is drawn while the bands arrive; they wait in
// a temporary file, so any page can be drawn later, in any order, on any canvas, with
// the page count known. A file written once (drawAsClosed) has each page drawn as it
// closes instead, its page number last. Texts are Windows-1252 (TReportText), sizes in
// points.
class FIS_REPORT_EXPORT TReportLayout
{
public:
    TReportLayout(const TReportDefinition& definition, const QString& filterText,
                  const QDateTime& printedAt);
    ~TReportLayout();

    // A4 in the definition's orientation.
    QSizeF pageSize() const { return m_page; }

    // Called as each page is begun, with its number.
    void setPageStarted(std::function<void(int page)> pageStarted)
    {
        m_pageStarted = std::move(pageStarted);
    }

    // One cell text per column.
    void row(const std::vector<QByteArray>& cells);
    // Takes the room of a row without its texts: for a page that is never drawn.
    void skipRow();
    // More rows than a page ever holds.
    int rowsPerPageAtMost() const;
    // Opens a group: its header, repeated on the pages its rows continue on.
    void group(const QByteArray& text);
    // Counts and sums: the caption, then one text per summed column of sumColumns().
    void sums(const QByteArray& caption, const std::vector<QByteArray>& sums, bool grand);
    void message(const QByteArray& text);
    // Closes the last page; the page count is known from here on.
    void finish();
    // From here on each page is drawn on canvas as it closes, all but its page number, and
    // not kept: a file written while the rows are read. Null: kept again.
    void drawAsClosed(TReportCanvas* canvas) { m_drawAsClosed = canvas; }
    bool finished() const { return m_finished; }

    // The columns the sums bands fill, in the order of the totals' fields.
    const std::vector<int>& sumColumns() const { return m_sumColumns; }
    // The pages closed so far; all of them once finished.
    int pageCount() const;
    // Draws a closed page (1-based); before finish its total reads "…". Unnumbered, the
    // page number is left for drawPageNumber.
    void drawPage(int page, TReportCanvas& canvas, bool numbered = true) const;
    // Only the page number of a page, on the page begun on canvas.
    void drawPageNumber(int page, TReportCanvas& canvas) const;

private:
    void ensure(double height, bool repeatGroup);
    void newPage();
    void closePage();
    void groupBand(bool continued);
    void draw(int page, const QByteArray& bands, TReportCanvas& canvas, bool numbered) const;
    void drawFrame(int page, TReportCanvas& canvas, bool texts, bool numbered) const;
    void drawBands(const QByteArray& bytes, TReportCanvas& canvas, bool texts) const;
    double room(int column) const;
    void cell(TReportCanvas& canvas, int column, double top, double height, QByteArrayView text,
              bool bold, double size) const;

    TReportDefinition m_definition;
    std::vector<QByteArray> m_filterLines;
    QByteArray m_printedAt;
    QByteArray m_code;
    QByteArray m_title;
    QByteArray m_footer;
    QSizeF m_page;
    std::vector<double> m_x;
    std::vector<Qt::Alignment> m_align;
    std::vector<bool> m_numeric;
    std::vector<QByteArray> m_titles;
    std::vector<double> m_titleSizes;
    std::vector<int> m_sumColumns;
    double m_filterTop = 0, m_ruleY = 0, m_headTop = 0, m_bodyTop = 0, m_footerLine = 0,
           m_bottom = 0;

    std::unique_ptr<TReportSpool> m_spool;
    std::function<void(int)> m_pageStarted;
    TReportCanvas* m_drawAsClosed = nullptr;
    int m_pages = 0;
    int m_closed = 0;
    bool m_finished = false;
    double m_y = 0;
    qint64 m_rows = 0;
    QByteArray m_groupText;
};
