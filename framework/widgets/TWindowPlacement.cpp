#include "TWindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

namespace {

QString settingsKey(const QString& key)
{
    return QStringLiteral("janelas/") + key;
}

} // namespace

QRect TWindowPlacement::fitted(const QRect& wanted, const QRect& available, const QMargins& frame)
{
    const QRect room = available.marginsRemoved(frame);
    const QSize size = wanted.size().boundedTo(room.size());
    QRect out(wanted.topLeft(), size);
    out.moveLeft(qBound(room.left(), out.left(), room.right() - size.width() + 1));
    out.moveTop(qBound(room.top(), out.top(), room.bottom() - size.height() + 1));
    return out;
}

void TWindowPlacement::restore(QWidget* window, const QString& key, const QSize& wanted)
{
    const QWidget* parent = window->parentWidget();
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1366, 768);
    const QRect saved = QSettings().value(settingsKey(key)).toRect();
    QRect want = saved;
    if (!saved.isValid() || !available.intersects(saved)) {
        want = QRect(QPoint(), wanted);
        want.moveCenter(available.center());
    }
    const QRect place = fitted(want, available, assumedFrame());
    window->resize(place.size());
    window->move(place.topLeft() - QPoint(assumedFrame().left(), assumedFrame().top()));
}

void TWindowPlacement::save(const QWidget* window, const QString& key)
{
    if (window->isMaximized() || window->isMinimized())
        return;
    // The client rectangle, as restore() places it.
    QSettings().setValue(settingsKey(key), window->geometry());
}
