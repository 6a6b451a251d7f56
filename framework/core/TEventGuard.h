#pragma once

#include "FisCoreExport.h"

#include <functional>

// Runs an event handler so that no exception reaches Qt's event loop: the silent
// abort is swallowed, any other error is shown as a message.
class FIS_CORE_EXPORT TEventGuard
{
public:
    // Returns false when the handler ended with an error or the silent abort.
    static bool run(const std::function<void()>& handler);
    // True while a handler runs in the current event loop (not in a dialog's loop it
    // opened): a focus change now is the program's, not the user's.
    static bool isHandling();
};
