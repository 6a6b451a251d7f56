#pragma once

#include "FisCoreExport.h"
#include "TEventGuard.h"
#include "TEvents.h"

#include <QHash>
#include <QMetaObject>
#include <QObject>
#include <QString>

// The events each control type offers a form definition. A control type registers
// its own events, so a new control needs no change in the binder. A control's event
// is found on its most derived registered type that names it.
class FIS_CORE_EXPORT TControlEvents
{
public:
    // Gives the control the handler; false when the handler's type does not fit.
    using Binder = std::function<bool(QObject* control, const THandler& handler)>;

    static void add(const QMetaObject& type, const QHash<QString, Binder>& events);
    // Registers a type's events when its library loads: a static object of its source.
    struct Registration
    {
        Registration(const QMetaObject& type, const QHash<QString, Binder>& events)
        {
            add(type, events);
        }
    };
    // The binder of the control's event; an empty one when the control has no such event.
    static Binder find(const QObject* control, const QString& event);

    // An event the control keeps in a handler member (the framework's own controls).
    template <typename Control, typename Event> static Binder member(Event Control::*field)
    {
        return [field](QObject* control, const THandler& handler) {
            const Event* h = std::get_if<Event>(&handler);
            if (h)
                static_cast<Control*>(control)->*field = *h;
            return h != nullptr;
        };
    }

    // An event raised by a Qt signal when `when` accepts its arguments; the handler runs
    // guarded inside the slot so that nothing is thrown back into Qt.
    template <typename Control, typename... Args, typename When>
    static Binder signal(void (Control::*raised)(Args...), When when)
    {
        return [raised, when](QObject* control, const THandler& handler) {
            const TNotifyEvent* h = std::get_if<TNotifyEvent>(&handler);
            if (!h)
                return false;
            QObject::connect(static_cast<Control*>(control), raised, control,
                             [h = *h, control, when](Args... args) {
                                 if (when(args...))
                                     TEventGuard::run([&] { h(control); });
                             });
            return true;
        };
    }
    template <typename Control, typename... Args>
    static Binder signal(void (Control::*raised)(Args...))
    {
        return signal(raised, [](Args...) { return true; });
    }
};
