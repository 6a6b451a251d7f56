#pragma once

#include "FisWidgetsExport.h"

// The application-wide screen cursor, by the numbers forms use for it.
class FIS_WIDGETS_EXPORT TScreen
{
public:
    static constexpr int crDefault = 0;
    static constexpr int crHourGlass = -11;

    static int Cursor();
    // Any cursor other than the default stays until the default is set again.
    static void setCursor(int cursor);
};
