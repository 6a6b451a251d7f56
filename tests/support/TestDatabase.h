#pragma once

#include <QString>
#include <QStringList>

// A throw-away SQLite database for framework tests, built from statements: in memory, or
// in a file (which other connections can open too).
class TestDatabase
{
public:
    explicit TestDatabase(const QStringList& statements, const QString& file = QString());
    ~TestDatabase();

    QString connectionName() const { return m_name; }

private:
    QString m_name;
};
