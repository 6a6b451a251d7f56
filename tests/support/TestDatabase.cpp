#include "TestDatabase.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <stdexcept>

TestDatabase::TestDatabase(const QStringList& statements, const QString& file)
    : m_name(QStringLiteral("test-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(file.isEmpty() ? QStringLiteral(":memory:") : file);
    if (!db.open())
        throw std::runtime_error(db.lastError().text().toStdString());
    for (const QString& sql : statements) {
        QSqlQuery q(db);
        if (!q.exec(sql))
            throw std::runtime_error(
                QString(sql + QStringLiteral(": ") + q.lastError().text()).toStdString());
    }
}

TestDatabase::~TestDatabase()
{
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
}
