#include "TDBConnection.h"

#include <QSqlDriver>

TDBConnection::TDBConnection(const QString& connectionName, QObject* parent)
    : QObject(parent), m_connectionName(connectionName)
{
}

QSqlDatabase TDBConnection::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

bool TDBConnection::isInterBase() const
{
    const QSqlDatabase db = database();
    return db.isValid() && db.driver()->dbmsType() == QSqlDriver::Interbase;
}
