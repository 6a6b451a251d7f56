#pragma once

#include <functional>

class QObject;
class TParams;

// Event handlers are plain callables, as a form's methods bound by name. A control
// calls its handler inside TEventGuard::run, so no exception reaches Qt's event loop
// and no exception crosses Qt's own code.
using TNotifyEvent = std::function<void(QObject* sender)>;
using TBeforePesqEvent = std::function<void(QObject* sender, bool& proceed)>;

enum class TCloseAction
{
    caNone,
    caHide,
    caFree,
    caMinimize
};
using TCloseEvent = std::function<void(QObject* sender, TCloseAction& action)>;

using TBeforeGetQueryParamsEvent = std::function<void(TParams& params, bool& handled)>;

#include <variant>

// Any handler a form offers for binding by name.
using THandler =
    std::variant<TNotifyEvent, TBeforePesqEvent, TCloseEvent, TBeforeGetQueryParamsEvent>;
