#pragma once

#include "FisReportWidgetsExport.h"

#include <QDialog>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QThread;
class TReportLastPage;
class QScrollArea;
class QSpinBox;
class QTimer;
class TReportRenderer;
class TReportRun;

// The preview of a laid-out report: opens on page 1 and draws a page only when it is
// shown (first, previous, next, last, go to page, zoom, fit width), so a report of
// thirty thousand pages opens as fast as one of a page. Given the run, it opens as soon
// as page 1 is laid out and reads on from the event loop in short slices, the total
// reading "de …" until it is known; closing it stops the read. The last page asked for
// before then is worked out beside the read, on a connection of its own
// (TReportLastPage), and shown as soon as it is, the read going on. Print and export hand
// over to the handlers, which run inside the event guard once every page is laid out.
class FIS_REPORTWIDGETS_EXPORT TReportPreview : public QDialog
{
    Q_OBJECT

public:
    // Every page already laid out.
    TReportPreview(const TReportRenderer& renderer, QWidget* parent = nullptr);
    // The pages still being laid out from run, which must outlive the preview.
    TReportPreview(TReportRenderer& renderer, TReportRun& run, QWidget* parent = nullptr);
    ~TReportPreview() override;

    // The pages laid out so far; final once counted() is true.
    int pageCount() const;
    bool counted() const;
    int currentPage() const { return m_page; }
    // The final page count: once counted, or once the last page was worked out; else 0.
    int totalPages() const;
    // A page not laid out yet is shown once it is.
    void setCurrentPage(int page);
    void showLastPage();
    // The last page is being worked out ahead of the count.
    bool findingLastPage() const { return m_lastReader != nullptr; }
    // 1.0 is the page at its printed size on this screen.
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    void fitWidth();
    // Lays out the rest with a progress dialog; false when the user cancelled it.
    bool countPages();

    void done(int result) override;

    std::function<void()> OnPrint;
    std::function<void()> OnExport;

Q_SIGNALS:
    void pageShown(int page);
    void pagesCounted(int pages);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TReportPreview(const TReportRenderer& renderer, TReportRenderer* pass, TReportRun* run,
                   QWidget* parent);
    void showPage();
    void readOn();
    void updateTotal();
    void stopReading();
    void findLastPage();
    void lastPageFound();

    const TReportRenderer& m_renderer;
    TReportRenderer* m_pass;
    TReportRun* m_run;
    QTimer* m_reader;
    QScrollArea* m_scroll;
    QLabel* m_image;
    QSpinBox* m_pageBox;
    QLabel* m_pageTotal;
    QAction* m_state;
    std::unique_ptr<TReportLastPage> m_lastPage;
    // The last page, laid out ahead of the count; until then only it can be drawn.
    std::unique_ptr<TReportRenderer> m_last;
    QThread* m_lastReader = nullptr;
    int m_page = 1;
    int m_shownPage = 0;
    int m_fittedWidth = 0;
    // The page asked for before it was laid out; -1 the last one.
    int m_wanted = 0;
    double m_zoom = 1.0;
    bool m_fitWidth = true;
};
