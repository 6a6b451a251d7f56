#pragma once

#include "FisReportExport.h"
#include "TReportCanvas_p.h"

#include <QFont>
#include <QPointF>
#include <functional>

class QPainter;

// Draws report pages with a QPainter: a printer, the preview's image, a Qt PDF. scale
// turns points into device pixels, origin is where the page's corner falls; newPage
// starts a page of the device after the first.
class FIS_REPORT_EXPORT TReportPainterCanvas : public TReportCanvas
{
public:
    TReportPainterCanvas(QPainter* painter, double scale, const QPointF& origin = {},
                         std::function<void()> newPage = {});

    void beginPage() override;
    void endPage() override {}
    void text(double x, double y, bool bold, double size, QByteArrayView text) override;
    void fill(const QRectF& rect, int gray) override;

private:
    QPainter* m_painter;
    double m_scale;
    QPointF m_origin;
    std::function<void()> m_newPage;
    bool m_started = false;
    QFont m_font;
};
