#pragma once

#include <QChar>
#include <QString>
#include <QVariant>
#include <QtCore/qglobal.h>

class TfrmListDocumentos;

// The module's exported entry points and variables, under plain (C) names so the
// host resolves them by name.
#define FIS_MODULE_API extern "C" Q_DECL_EXPORT

// The one form instance; nullptr once it has been destroyed.
FIS_MODULE_API TfrmListDocumentos* frmListDocumentos;
// True while a form exists and has not been closed.
FIS_MODULE_API bool boStCriado;
// The chosen operation-type keys; outlives the form, cleared at unload.
FIS_MODULE_API QString stListaTp;
FIS_MODULE_API QString stListaMod;

// Opens the screen. Param: Null, or a list whose element 0 is Null or a mode text:
// "S..." (capital S) shows an MDI child, anything else a modal dialog. An empty mode
// text counts as no mode, like Null.
FIS_MODULE_API void IniProc(QVariant Param);
// Creates the form unless one exists and shows it: 'S' as MDI child, else modal.
FIS_MODULE_API void CriaListDocumentos(QChar Mode);
// Load and unload hooks; only the outermost pair does the work.
FIS_MODULE_API void Initialize();
FIS_MODULE_API void Finalize();
