#pragma once

#include <QString>
#include <QStringList>

// Splits an SQL script into its statements the way psql and isql-fb read it:
// terminators inside quotes, comments and PostgreSQL dollar quotes do not count,
// and isql's "SET TERM" changes the terminator (the command itself is dropped).
class TSqlScript
{
public:
    static QStringList statements(const QString& script);
    // CREATE [UNIQUE] INDEX: a bulk load runs these after the rows are in.
    static bool isIndexStatement(const QString& statement);
};
