#pragma once

#include <QString>
#include <QStringList>

// A throw-away SQLite database for framework tests, built from statements.
class TestDatabase
{
public:
    explicit TestDatabase(const QStringList& statements);
    ~TestDatabase();

    QString connectionName() const { return m_name; }

private:
    QString m_name;
};
