#include "TDriverHandles.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlResult>
#include <QVariant>
#include <ibase.h>
#include <libpq-fe.h>
#include <memory>
#include <sqlite3.h>
#include <sys/socket.h>

namespace {

template <typename T> bool handleAs(const QVariant& handle, const char* name, T* out)
{
    if (!handle.isValid() || qstrcmp(handle.typeName(), name) != 0)
        return false;
    *out = *static_cast<const T*>(handle.constData());
    return true;
}

// Firebird's cancel of what runs on the connection: raise stops the statement, abort the
// whole call; null when the handle is not one.
std::function<void()> firebirdCancel(const QVariant& handle, int kind)
{
    // The driver's handle is a plain isc_db_handle.
    if (handle.metaType().sizeOf() != sizeof(isc_db_handle))
        return {};
    isc_db_handle connection = *static_cast<const isc_db_handle*>(handle.constData());
    if (!connection)
        return {};
    return [connection, kind]() mutable {
        ISC_STATUS_ARRAY status;
        fb_cancel_operation(status, &connection, ISC_USHORT(kind));
    };
}

} // namespace

sqlite3* TDriverHandles::sqlite(const QSqlDatabase& db)
{
    const QSqlDriver* driver = db.driver();
    sqlite3* connection = nullptr;
    if (!driver || driver->dbmsType() != QSqlDriver::SQLite || !driver->isOpen() ||
        !handleAs(driver->handle(), "sqlite3*", &connection))
        return nullptr;
    return connection;
}

sqlite3_stmt* TDriverHandles::sqlite(const QSqlQuery& query)
{
    sqlite3_stmt* statement = nullptr;
    if (!query.result() || !handleAs(query.result()->handle(), "sqlite3_stmt*", &statement))
        return nullptr;
    return statement;
}

std::function<void()> TDriverHandles::cancelOf(const QSqlDatabase& db)
{
    const QSqlDriver* driver = db.driver();
    if (!driver || !driver->isOpen())
        return {};
    const QVariant handle = driver->handle();
    switch (driver->dbmsType()) {
    case QSqlDriver::SQLite: {
        sqlite3* connection = nullptr;
        if (!handleAs(handle, "sqlite3*", &connection) || !connection)
            return {};
        return [connection] { sqlite3_interrupt(connection); };
    }
    case QSqlDriver::PostgreSQL: {
        // Qt 6.4 names the type after the struct behind the typedef.
        PGconn* connection = nullptr;
        if (!handleAs(handle, "PGconn*", &connection) && !handleAs(handle, "pg_conn*", &connection))
            return {};
        if (!connection)
            return {};
        std::shared_ptr<PGcancel> request(PQgetCancel(connection), PQfreeCancel);
        if (!request)
            return {};
        // A cancel that arrives once the statement has ended is ignored.
        return [request] {
            char error[256];
            PQcancel(request.get(), error, int(sizeof error));
        };
    }
    case QSqlDriver::Interbase:
        return firebirdCancel(handle, fb_cancel_raise);
    default:
        return {};
    }
}

std::function<void()> TDriverHandles::abortOf(const QSqlDatabase& db)
{
    const QSqlDriver* driver = db.driver();
    if (!driver || !driver->isOpen())
        return {};
    const QVariant handle = driver->handle();
    switch (driver->dbmsType()) {
    case QSqlDriver::PostgreSQL: {
        PGconn* connection = nullptr;
        if (!handleAs(handle, "PGconn*", &connection) && !handleAs(handle, "pg_conn*", &connection))
            return {};
        const int socket = connection ? PQsocket(connection) : -1;
        if (socket < 0)
            return {};
        // Shut, not closed: libpq still owns the descriptor and closes it itself.
        return [socket] { ::shutdown(socket, SHUT_RDWR); };
    }
    case QSqlDriver::Interbase:
        return firebirdCancel(handle, fb_cancel_abort);
    default:
        return cancelOf(db);
    }
}

bool TDriverHandles::setReadOnlySession(const QSqlDatabase& db, QString* error)
{
    if (db.driverName() != QLatin1String("QPSQL"))
        return true;
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("SET default_transaction_read_only = on")))
        return true;
    if (error)
        *error = q.lastError().text();
    return false;
}
