#pragma once

#include "FrameworkExport.h"

#include <QObject>
#include <QSqlDatabase>

// A reference to one open Qt SQL connection, by its connection name. The data
// module's ADO connection, InterBase database and InterBase transaction all refer
// to the same connection; components only read through them.
class FW_EXPORT TDBConnection : public QObject
{
    Q_OBJECT

public:
    explicit TDBConnection(const QString& connectionName, QObject* parent = nullptr);

    QString connectionName() const { return m_connectionName; }
    QSqlDatabase database() const;
    bool isInterBase() const;

private:
    QString m_connectionName;
};
