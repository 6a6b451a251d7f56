#include "TScreen.h"

#include <QApplication>
#include <QCursor>

namespace {
int current = TScreen::crDefault;
}

int TScreen::Cursor()
{
    return current;
}

void TScreen::setCursor(int cursor)
{
    if (cursor == current)
        return;
    // One override at most, so the default really is the default again.
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    if (cursor == crHourGlass)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (cursor != crDefault)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    current = cursor;
}
