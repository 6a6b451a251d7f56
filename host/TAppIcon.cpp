#include "TAppIcon.h"

#include <QPainter>
#include <QPixmap>

QImage TAppIcon::draw(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // The SVG's 64-unit view box.
    painter.scale(size / 64.0, size / 64.0);
    const QColor blue(0x3a, 0x5a, 0x80);
    const QColor green(0x2b, 0x7a, 0x3d);
    painter.setPen(QPen(blue, 3));
    painter.setBrush(QColor(0xf4, 0xf4, 0xf0));
    painter.drawRoundedRect(QRectF(10, 4, 40, 52), 3, 3);
    painter.setPen(QPen(blue, 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(18, 16), QPointF(42, 16));
    painter.drawLine(QPointF(18, 25), QPointF(42, 25));
    painter.drawLine(QPointF(18, 34), QPointF(32, 34));
    painter.setPen(QPen(green, 4));
    painter.setBrush(QColor(255, 255, 255, 204));
    painter.drawEllipse(QPointF(42, 44), 10, 10);
    painter.setPen(QPen(green, 5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(49, 51), QPointF(58, 60));
    return image;
}

const QList<int>& TAppIcon::sizes()
{
    static const QList<int> all = {16, 22, 24, 32, 48, 64, 128, 256};
    return all;
}

QIcon TAppIcon::icon()
{
    QIcon icon;
    for (int size : sizes())
        icon.addPixmap(QPixmap::fromImage(draw(size)));
    return icon;
}
