#pragma once

#include "FrameworkExport.h"

// The user action in progress: a press and release of the mouse, a key, a shortcut.
// A handler that fails while the action is moving the focus (an exit check refusing
// the field being left) ends the action: the press, its release and the shortcut
// that moved the focus are dropped, so no box is toggled and no button run after the
// message.
class FW_EXPORT TUserAction
{
public:
    // Watches the application's input; forms call it, more calls change nothing.
    static void install();
    // A guarded handler ended with the silent abort or an error.
    static void handlerFailed();
};
