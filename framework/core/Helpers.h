#pragma once

#include "FisCoreExport.h"

#include <QString>

// True when the text holds nothing but blanks.
FIS_CORE_EXPORT bool EmptyString(const QString& text);

// Pads a code on the left with zeros up to the width; a blank-only text stays as it
// is, and a longer code is returned unchanged so that it is refused, not truncated.
FIS_CORE_EXPORT QString Ajusta(const QString& text, int width);

// Shows the text as an error; with abort true it ends the current action by
// throwing the silent abort and does not return.
FIS_CORE_EXPORT void MensErro(const QString& text, bool abort);

// True when every character of the text exists in the Windows-1252 code page.
FIS_CORE_EXPORT bool FitsWindows1252(const QString& text);
