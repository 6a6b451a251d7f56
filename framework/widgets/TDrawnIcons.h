#pragma once

// Internal to the framework: the small images of the search, calendar and output
// buttons, drawn at run time (no image files), each made once per application.

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
// The style's save image, for the export button.
QIcon save();
// The style's window image, for a form's frame when the application has none.
QIcon window();

} // namespace TDrawnIcons
