#pragma once

#include <QIcon>
#include <QImage>

// The application's icon, drawn as host/share/fishost.svg draws it, so every window has it
// without an SVG plugin and the package's PNG sizes come from the same strokes.
class TAppIcon
{
public:
    static QImage draw(int size);
    // Every size the hicolor theme gets, for the window system to pick from.
    static QIcon icon();
    static const QList<int>& sizes();
};
