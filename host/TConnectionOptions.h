#pragma once

#include <QString>

// How the host reaches its database. The password never comes from the command
// line: it is read from the environment or from a file.
struct TConnectionOptions
{
    QString driver = QStringLiteral("sqlite"); // sqlite | postgresql | firebird
    QString database;                          // file path or database name
    QString host;                              // empty: local / embedded
    int port = 0;
    QString user;
    QString password;
};
