#pragma once

#include "TConnectionOptions.h"

#include <QString>

// The SQLite demo database: made on first use at its own default path, and nowhere
// else, so a mistyped path never turns into invented documents.
class TDemoDatabase
{
public:
    // $XDG_DATA_HOME/fis01200/demo.sqlite, or ~/.local/share/fis01200/demo.sqlite.
    static QString defaultPath();
    // The SQLite file the options open: the demo's path when none is named.
    static QString sqlitePath(const TConnectionOptions& options);
    // Whether the options open the demo database.
    static bool isDemo(const TConnectionOptions& options);
    // What the window title, the banner and a printed report's header say of it.
    static QString label();
    // The line at the head of every page of a report run on it.
    static QString reportNote();
};
