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
    // Where the password comes from when the environment gives none: a file only its
    // owner can read, or a question at connect time. Both may be saved; the password never.
    QString passwordFile;
    bool askPassword = false;
    QString user;
    QString password;
};
