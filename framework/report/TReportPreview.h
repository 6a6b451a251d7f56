#pragma once

#include "FrameworkExport.h"

#include <QDialog>
#include <functional>

class QLabel;
class QScrollArea;
class QSpinBox;
class TReportRenderer;

// The preview of a laid-out report: opens on page 1 and draws a page only when it is
// shown (first, previous, next, last, go to page, zoom, fit width), so a report of
// thirty thousand pages opens as fast as one of a page. Print and export hand over to
// the handlers, which run inside the event guard.
class FW_EXPORT TReportPreview : public QDialog
{
    Q_OBJECT

public:
    TReportPreview(const TReportRenderer& renderer, QWidget* parent = nullptr);

    int pageCount() const;
    int currentPage() const { return m_page; }
    void setCurrentPage(int page);
    // 1.0 is the page at its printed size on this screen.
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    void fitWidth();

    std::function<void()> OnPrint;
    std::function<void()> OnExport;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showPage();

    const TReportRenderer& m_renderer;
    QScrollArea* m_scroll;
    QLabel* m_image;
    QSpinBox* m_pageBox;
    QLabel* m_pageTotal;
    int m_page = 1;
    double m_zoom = 1.0;
    bool m_fitWidth = true;
};
