#pragma once

#include "FisDataExport.h"

#include <QString>
#include <QStringList>

// The list text of PesquisaLista: the keys of the chosen rows as one text that a
// report query can use as it is.
//
// Format: each key in single quotes, a single quote inside a key doubled, the keys
// separated by commas, no blanks: 'E01','S05'. A key may hold any character,
// including quotes, commas and blanks; an empty key is ''. The empty list is the
// empty text (and '' is a list of one empty key).
//
// A report query tests whether a key is in the list with
//   :P_LIST LIKE '%''' || KEY || '''%'
// (exact for keys without quote, '%' or '_').
class FIS_DATA_EXPORT TListText
{
public:
    static QString format(const QStringList& keys);
    // The keys of a list text. Lenient: blanks between items are skipped, an item
    // without quotes runs to the next comma (trimmed), an unclosed quote to the end.
    static QStringList parse(const QString& text);
};
