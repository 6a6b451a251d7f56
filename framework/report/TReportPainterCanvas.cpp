#include "TReportPainterCanvas_p.h"

#include "TReportText.h"

#include <QPainter>

TReportPainterCanvas::TReportPainterCanvas(QPainter* painter, double scale, const QPointF& origin,
                                           std::function<void()> newPage)
    : m_painter(painter), m_scale(scale), m_origin(origin), m_newPage(std::move(newPage)),
      m_font(TReportText::family())
{
    m_font.setStyleHint(QFont::SansSerif);
    m_font.setHintingPreference(QFont::PreferNoHinting);
    // No ligatures nor kerning: the layout measured the letters one by one.
    m_font.setStyleStrategy(QFont::PreferNoShaping);
    m_font.setKerning(false);
}

void TReportPainterCanvas::beginPage()
{
    if (m_started && m_newPage)
        m_newPage();
    m_started = true;
}

void TReportPainterCanvas::text(double x, double y, bool bold, double size, QByteArrayView text)
{
    if (text.empty())
        return;
    // Pixels, not points: the device's own resolution must not enter a second time.
    m_font.setPixelSize(qMax(1, int(std::lround(size * m_scale))));
    m_font.setBold(bold);
    m_painter->setFont(m_font);
    m_painter->setPen(Qt::black);
    m_painter->drawText(m_origin + QPointF(x, y) * m_scale, TReportText::decode(text));
}

void TReportPainterCanvas::fill(const QRectF& rect, int gray)
{
    const QRectF r(m_origin + rect.topLeft() * m_scale, rect.size() * m_scale);
    m_painter->fillRect(r, QColor(gray, gray, gray));
}
