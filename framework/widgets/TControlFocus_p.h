#pragma once

// Internal to the framework: the rule the input controls share for their exit event.

#include "TEventGuard.h"

#include <QApplication>
#include <QFocusEvent>
#include <QMdiSubWindow>
#include <QWidget>

namespace TControlFocus {

// The form a widget belongs to: its window, or the widget an MDI child window holds.
inline const QWidget* formOf(const QWidget* widget)
{
    // Tab past a form's last control stops on its MDI frame on the way back to the first.
    if (const auto* frame = qobject_cast<const QMdiSubWindow*>(widget))
        return frame->widget();
    while (widget && !widget->isWindow()) {
        const QWidget* parent = widget->parentWidget();
        if (parent && parent->inherits("QMdiSubWindow"))
            return widget;
        widget = parent;
    }
    return widget;
}

// True when a focus-out of a control is an exit: the focus went to another widget of
// the same form that is not part of the control (self and its children). Deactivating
// the window (a message box, another application), going to another form (another MDI
// child), opening a popup (a completer, a calendar) or focus going nowhere (the
// window is closing) is no exit. Nor is a move the program makes while a handler
// runs (a failed check putting the focus on its field): only the user leaves a field.
inline bool isExit(const QFocusEvent* event, const QWidget* self)
{
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return false;
    if (TEventGuard::isHandling())
        return false;
    // QApplication already names the widget that receives the focus.
    const QWidget* next = QApplication::focusWidget();
    if (!next || next == self || self->isAncestorOf(next))
        return false;
    return formOf(next) == formOf(self);
}

} // namespace TControlFocus
