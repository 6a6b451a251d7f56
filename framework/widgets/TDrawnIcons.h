#pragma once

// Internal to the framework: the small images of the search and calendar buttons,
// drawn at run time (no image files).

#include <QIcon>

namespace TDrawnIcons {

// A magnifying glass.
QIcon magnifier();
// A calendar sheet.
QIcon calendar();
// The report form's output buttons: a printer, a page under a magnifier, a pencil.
QIcon printer();
QIcon preview();
QIcon reportEdit();

} // namespace TDrawnIcons
