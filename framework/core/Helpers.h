#pragma once

#include "FrameworkExport.h"

#include <QString>

// True when the text holds nothing but blanks.
FW_EXPORT bool EmptyString(const QString& text);

// Pads a code on the left with zeros up to the width; a blank-only text stays as it
// is, and a longer code is returned unchanged so that it is refused, not truncated.
FW_EXPORT QString Ajusta(const QString& text, int width);

// Shows the text as an error; with abort true it ends the current action by
// throwing the silent abort and does not return.
FW_EXPORT void MensErro(const QString& text, bool abort);

// True when every character of the text exists in the Windows-1252 code page.
FW_EXPORT bool FitsWindows1252(const QString& text);
