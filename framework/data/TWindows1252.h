#pragma once

#include "FisDataExport.h"

#include <QByteArray>
#include <QString>

// The system's code page, decoded and encoded on the client: a legacy byte with no
// Unicode character (0x81, 0x8D, 0x8F, 0x90, 0x9D) becomes U+FFFD instead of failing
// the whole report or vanishing from a name.
class FIS_DATA_EXPORT TWindows1252
{
public:
    // replaced, when given, is set when some byte had no character.
    static QString decode(const char* bytes, qsizetype size, bool* replaced = nullptr);
    // Characters the code page lacks become '?'.
    static QByteArray encode(const QString& text);
    // Decodes and, when a byte had no character, logs one warning naming where.
    static QString decodeLogged(const char* bytes, qsizetype size, const QString& where);
};
