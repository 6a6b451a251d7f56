#pragma once

#include "TConnectionOptions.h"

class QSettings;

// The connection remembered between starts, in QSettings under "conexao/". The
// password itself is never written there.
class TConnectionSettings
{
public:
    // Defaults (the SQLite demo database) when nothing was saved.
    static TConnectionOptions load(const QSettings& settings);
    static void save(QSettings& settings, const TConnectionOptions& options);

    // Fills options.password from options.passwordFile when the password is still
    // empty. False with a Portuguese reason when the file cannot be read or others
    // may read it.
    static bool readPasswordFile(TConnectionOptions& options, QString* error);
};
