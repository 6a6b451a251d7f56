#pragma once

// Internal to the framework: the small images of the search, calendar and output
// buttons, drawn at run time (no image files), each made once per application.

#include "FisWidgetsExport.h"

#include <QIcon>

namespace TDrawnIcons {

// A magnifying glass.
FIS_WIDGETS_EXPORT QIcon magnifier();
// A calendar sheet.
FIS_WIDGETS_EXPORT QIcon calendar();
// The report form's output buttons: a printer, a page under a magnifier, a pencil.
FIS_WIDGETS_EXPORT QIcon printer();
FIS_WIDGETS_EXPORT QIcon preview();
FIS_WIDGETS_EXPORT QIcon reportEdit();
// The style's save image, for the export button.
FIS_WIDGETS_EXPORT QIcon save();
// The style's window image, for a form's frame when the application has none.
FIS_WIDGETS_EXPORT QIcon window();

} // namespace TDrawnIcons
