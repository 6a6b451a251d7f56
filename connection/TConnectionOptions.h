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
    // Server connections, in seconds (0: off): the longest a statement may run on the
    // server, the longest the screen waits for any answer of it (rows stream, so a long
    // report answers often), and the idle time after which TCP keepalive probes check
    // that the server is still there.
    int statementTimeout = 300;
    int responseTimeout = 60;
    int keepalive = 60;
};
