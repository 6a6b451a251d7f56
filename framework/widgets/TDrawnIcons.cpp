#include "TDrawnIcons.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>
#include <array>
#include <functional>

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

// Normal and disabled images at the sizes buttons use.
QIcon iconOf(const std::function<QPixmap(int size, bool enabled)>& draw)
{
    QIcon icon;
    for (int size : {16, 24, 32}) {
        icon.addPixmap(draw(size, true), QIcon::Normal);
        icon.addPixmap(draw(size, false), QIcon::Disabled);
    }
    return icon;
}

enum Kind
{
    Magnifier,
    Calendar,
    Printer,
    Preview,
    ReportEdit,
    Save,
    Window,
    Kinds
};

std::array<QIcon, Kinds>& made()
{
    static std::array<QIcon, Kinds> icons;
    return icons;
}

bool forgetRegistered = false;

// The images go before the application that drew them.
void forgetIcons()
{
    made().fill(QIcon());
    forgetRegistered = false;
}

// Each image is drawn once per application and shared by every button. Fresh pixmaps
// for each form gave every button its own QPixmapCache keys for the scaled images it
// painted, so the cache filled with the images of forms long closed.
QIcon once(Kind kind, const std::function<QIcon()>& make)
{
    QIcon& icon = made()[kind];
    if (icon.isNull()) {
        icon = make();
        if (!forgetRegistered) {
            qAddPostRoutine(forgetIcons);
            forgetRegistered = true;
        }
    }
    return icon;
}

QColor ink(bool enabled)
{
    return enabled ? QColor(50, 50, 60) : QColor(160, 160, 160);
}

} // namespace

namespace TDrawnIcons {

QIcon magnifier()
{
    return once(Magnifier, [] {
        return iconOf([](int size, bool enabled) {
            return enabled ? drawMagnifier(size, QColor(40, 70, 120), QColor(90, 60, 30))
                           : drawMagnifier(size, QColor(150, 150, 150), QColor(170, 170, 170));
        });
    });
}

QIcon calendar()
{
    return once(Calendar, [] {
        return iconOf([](int size, bool enabled) {
            return enabled ? drawCalendar(size, QColor(50, 50, 60), QColor(190, 40, 40))
                           : drawCalendar(size, QColor(150, 150, 150), QColor(190, 190, 190));
        });
    });
}

QIcon printer()
{
    return once(Printer, [] {
        return iconOf([](int size, bool enabled) { return drawPrinter(size, ink(enabled)); });
    });
}

QIcon preview()
{
    return once(Preview, [] {
        return iconOf([](int size, bool enabled) { return drawPreview(size, ink(enabled)); });
    });
}

QIcon reportEdit()
{
    return once(ReportEdit, [] {
        return iconOf([](int size, bool enabled) { return drawPencil(size, ink(enabled)); });
    });
}

QIcon window()
{
    return once(Window,
                [] { return QApplication::style()->standardIcon(QStyle::SP_TitleBarMenuButton); });
}

QIcon save()
{
    return once(Save,
                [] { return QApplication::style()->standardIcon(QStyle::SP_DialogSaveButton); });
}

} // namespace TDrawnIcons
