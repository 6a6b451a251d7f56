#pragma once

#include "TConnectionOptions.h"

class QSettings;

// The connection remembered between starts, in QSettings under "conexao/". The
// password itself is never written there.
class TConnectionSettings
{
public:
    // Defaults (the SQLite demo database) when nothing was saved. A value that is not one
    // its key takes (a port "abc", a time past a day) keeps the default, and error, when
    // given, names the first such key, its value and the file.
    static TConnectionOptions load(const QSettings& settings, QString* error = nullptr);
    static void save(QSettings& settings, const TConnectionOptions& options);

    // Fills options.password from options.passwordFile when the password is still
    // empty. False with a Portuguese reason when the file cannot be read, or is not a
    // regular file of the user's own that no group or other user may touch (a FIFO is
    // refused, not waited on).
    static bool readPasswordFile(TConnectionOptions& options, QString* error);
};
