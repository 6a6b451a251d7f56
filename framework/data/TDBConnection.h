#pragma once

#include "FisDataExport.h"

#include <QObject>
#include <QSqlDatabase>
#include <functional>
#include <memory>

class EFrameworkError;

// A reference to one open Qt SQL connection, by its connection name. The data
// module's ADO connection, InterBase database and InterBase transaction all refer
// to the same connection and share its state; components only read through them.
//
// A connection found lost after a failed statement is reported once and reopened
// before the next statement, its session set up again as at the first open.
class FIS_DATA_EXPORT TDBConnection : public QObject
{
    Q_OBJECT

public:
    // Session settings and checks, run after every open; throws EFrameworkError to refuse.
    using SessionSetup = std::function<void(QSqlDatabase& db)>;

    explicit TDBConnection(const QString& connectionName, QObject* parent = nullptr);
    ~TDBConnection() override;

    QString connectionName() const { return m_connectionName; }
    QSqlDatabase database() const;
    bool isInterBase() const;

    // From now on this one and other are one connection state.
    void shareSession(const TDBConnection& other);
    void setSessionSetup(SessionSetup setup);
    // How long a statement's first answer may take, in milliseconds; 0 waits for ever. On
    // PostgreSQL the client then gives the session up (the server has its own statement
    // timeout); on SQLite and Firebird the statement is cancelled and the session kept.
    int StatementTimeout() const;
    void setStatementTimeout(int milliseconds);

    // The open connection for a statement; one lost (or closed) is reopened first.
    // Throws the clerk's message when that fails.
    QSqlDatabase openDatabase();
    // What to tell of a failed statement: the connection's loss (marking it for
    // reopening), a message already meant for the clerk, or message with the
    // driver's text as its detail.
    EFrameworkError diagnose(const EFrameworkError& failure, const QString& message) const;
    bool lost() const;
    void markLost() const;

private:
    struct Session;
    QString m_connectionName;
    std::shared_ptr<Session> m_session;
};
