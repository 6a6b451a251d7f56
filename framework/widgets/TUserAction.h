#pragma once

#include "FisWidgetsExport.h"

// The user action in progress: a press and release of the mouse, a key, a shortcut.
// When the field it leaves refuses the exit (its check failed), the action ends: the
// press, its release or the shortcut that moved the focus goes no further, so no box
// is toggled and no button run after the message.
class FIS_WIDGETS_EXPORT TUserAction
{
public:
    // Watches the application's input; forms call it, more calls change nothing.
    static void install();
    // A control's exit handler failed: the focus move that ran it is refused.
    static void exitRefused();
};
