#pragma once

#include "EFrameworkError.h"

#include <QString>

// A connection that failed, told as the lost-connection message is: what happened and
// what to do, with the driver's own text kept as the detail behind "Mostrar detalhes".
class TConnectionError
{
public:
    enum class Kind
    {
        WrongPassword,
        PasswordMissing,
        UnknownUser,
        ServerDown,
        DatabaseMissing,
        FileMissing,
        HostRefused,
        NotTheSystem,
        FileLocked,
        FileDamaged,
        NoReadRights,
        MayWrite,
        Other
    };

    // What the driver's text says went wrong; driver is "sqlite", "postgresql" or "firebird".
    static Kind classify(const QString& driver, const QString& driverText);

    // where names the database as the clerk knows it (file, or name on server:port).
    static EFrameworkError make(Kind kind, const QString& driver, const QString& where,
                                const QString& user, const QString& detail);
    static EFrameworkError fromDriver(const QString& driver, const QString& where,
                                      const QString& user, const QString& driverText);
};
