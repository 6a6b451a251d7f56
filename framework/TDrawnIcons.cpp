#include "TDrawnIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap blank(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPixmap drawMagnifier(int size, const QColor& glass, const QColor& handle)
{
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const QRectF lens(s * 0.08, s * 0.08, s * 0.56, s * 0.56);
    p.setPen(QPen(handle, s * 0.10, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(s * 0.58, s * 0.58), QPointF(s * 0.90, s * 0.90));
    p.setPen(QPen(glass, s * 0.09));
    p.setBrush(QColor(200, 225, 255, 160));
    p.drawEllipse(lens);
    return pixmap;
}

QPixmap drawCalendar(int size, const QColor& ink, const QColor& top)
{
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const QRectF sheet(s * 0.10, s * 0.16, s * 0.80, s * 0.74);
    p.setPen(QPen(ink, qMax<qreal>(1.0, s * 0.06)));
    p.setBrush(Qt::white);
    p.drawRect(sheet);
    p.fillRect(QRectF(sheet.left(), sheet.top(), sheet.width(), s * 0.18), top);
    // The day grid.
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    const qreal cell = sheet.width() / 4.0;
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 3; ++col)
            p.drawRect(QRectF(sheet.left() + cell * (col + 0.6),
                              sheet.top() + s * 0.28 + row * s * 0.2, cell * 0.5, s * 0.10));
    return pixmap;
}

QPixmap drawPrinter(int size, const QColor& ink)
{
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    p.setPen(QPen(ink, qMax<qreal>(1.0, s * 0.06)));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(s * 0.28, s * 0.08, s * 0.44, s * 0.30)); // paper in
    p.setBrush(QColor(200, 200, 205));
    p.drawRoundedRect(QRectF(s * 0.08, s * 0.36, s * 0.84, s * 0.34), s * 0.06, s * 0.06);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(s * 0.26, s * 0.60, s * 0.48, s * 0.32)); // paper out
    p.drawLine(QPointF(s * 0.34, s * 0.72), QPointF(s * 0.66, s * 0.72));
    p.drawLine(QPointF(s * 0.34, s * 0.82), QPointF(s * 0.60, s * 0.82));
    return pixmap;
}

QPixmap drawPreview(int size, const QColor& ink)
{
    QPixmap pixmap = blank(size);
    {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal s = size;
        p.setPen(QPen(ink, qMax<qreal>(1.0, s * 0.06)));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(s * 0.10, s * 0.06, s * 0.60, s * 0.84));
        for (int line = 0; line < 4; ++line)
            p.drawLine(QPointF(s * 0.20, s * (0.22 + line * 0.14)),
                       QPointF(s * 0.58, s * (0.22 + line * 0.14)));
    }
    const QPixmap lens = drawMagnifier(size * 3 / 5, QColor(40, 70, 120), QColor(90, 60, 30));
    QPainter p(&pixmap);
    p.drawPixmap(size - lens.width(), size - lens.height(), lens);
    return pixmap;
}

QPixmap drawPencil(int size, const QColor& ink)
{
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    p.setPen(QPen(ink, qMax<qreal>(1.0, s * 0.06)));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(s * 0.08, s * 0.06, s * 0.56, s * 0.80));
    QPainterPath pencil;
    pencil.moveTo(s * 0.38, s * 0.88);
    pencil.lineTo(s * 0.44, s * 0.70);
    pencil.lineTo(s * 0.82, s * 0.32);
    pencil.lineTo(s * 0.94, s * 0.44);
    pencil.lineTo(s * 0.56, s * 0.82);
    pencil.closeSubpath();
    p.setBrush(QColor(230, 180, 40));
    p.drawPath(pencil);
    return pixmap;
}

QIcon twoStates(QPixmap (*draw)(int, const QColor&))
{
    QIcon icon;
    for (int size : {16, 24, 32}) {
        icon.addPixmap(draw(size, QColor(50, 50, 60)), QIcon::Normal);
        icon.addPixmap(draw(size, QColor(160, 160, 160)), QIcon::Disabled);
    }
    return icon;
}

} // namespace

namespace TDrawnIcons {

QIcon printer()
{
    return twoStates(drawPrinter);
}

QIcon preview()
{
    return twoStates(drawPreview);
}

QIcon reportEdit()
{
    return twoStates(drawPencil);
}

QIcon magnifier()
{
    QIcon icon;
    for (int size : {16, 24, 32}) {
        icon.addPixmap(drawMagnifier(size, QColor(40, 70, 120), QColor(90, 60, 30)), QIcon::Normal);
        icon.addPixmap(drawMagnifier(size, QColor(150, 150, 150), QColor(170, 170, 170)),
                       QIcon::Disabled);
    }
    return icon;
}

QIcon calendar()
{
    QIcon icon;
    for (int size : {16, 24, 32}) {
        icon.addPixmap(drawCalendar(size, QColor(50, 50, 60), QColor(190, 40, 40)), QIcon::Normal);
        icon.addPixmap(drawCalendar(size, QColor(150, 150, 150), QColor(190, 190, 190)),
                       QIcon::Disabled);
    }
    return icon;
}

} // namespace TDrawnIcons
