#pragma once

#include "FisWidgetsExport.h"

#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

// A window's size and place, kept between runs (QSettings, under "janelas/<key>") and
// always inside the screen's available area with its frame: a 1366x768 screen shows
// every window whole.
class FIS_WIDGETS_EXPORT TWindowPlacement
{
public:
    // Before the window is shown: the saved place, or the wanted size centred; either
    // one brought inside the screen.
    static void restore(QWidget* window, const QString& key, const QSize& wanted);
    // When the window closes.
    static void save(const QWidget* window, const QString& key);

    // The client rectangle nearest to wanted that fits available with the frame around it.
    static QRect fitted(const QRect& wanted, const QRect& available, const QMargins& frame);
    // What a window manager usually adds around a window, until the real frame is known.
    static QMargins assumedFrame() { return {4, 30, 4, 4}; }
};
