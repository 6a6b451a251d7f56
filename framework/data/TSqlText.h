#pragma once

#include "FisDataExport.h"

#include <QString>
#include <QStringList>

// Parameter markers (":NAME") in an SQL text. Quoted strings, quoted names,
// comments and PostgreSQL's "::" casts hold no marker.
class FIS_DATA_EXPORT TSqlText
{
public:
    // Every marker in order of appearance, repeats included.
    static QStringList markers(const QString& sql);
    // Each name once, in order of first appearance: the parameter list of the text.
    static QStringList parameterNames(const QString& sql);
    // The text with every marker replaced by "?"; names receives the marker of each "?".
    static QString toPositional(const QString& sql, QStringList* names);
    // The same with PostgreSQL's numbered markers: "$1", "$2"... in order of appearance.
    static QString toNumbered(const QString& sql, QStringList* names);
    // The least width n of "CAST(:NAME AS VARCHAR(n))" (or CHAR(n)) over every marker of
    // that name; -1 when a marker of it stands without such a cast, or there is none.
    static int castWidth(const QString& sql, const QString& name);
    // Where the quoted string, quoted name or comment that begins at i ends (the position
    // after it); i itself when none begins there.
    static qsizetype skipQuotedOrComment(const QString& sql, qsizetype i);
};
