#pragma once

#include "FisFormsExport.h"
#include "TEvents.h"

#include <functional>

class QObject;
class QString;

// Applies a form definition's bindings, stored as dynamic properties:
// - on a control, "On<Event>" names the form's handler for that event, and
//   "Associate" / "DataSource" name the control or component they refer to, and on
//   a button "ShortCut" names its key ("Alt+1");
// - on the form, "On<Event>" binds the form's own events, "ActiveControl" names the
//   control focused first, and "component.Property" sets a property of a component
//   (a message table's lines, an engine event).
// The events are those the control types register with TControlEvents.
// A name that does not resolve is an error: a definition must not half-work.
class FIS_FORMS_EXPORT TEventBinder
{
public:
    // The form's handler of that name, or nullptr.
    using Handlers = std::function<const THandler*(const QString& name)>;

    static void bind(QObject* form, const Handlers& handlers);
};
