#pragma once

#include "FisDataExport.h"
#include "TRowSource.h"

#include <QPointer>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <deque>
#include <memory>

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

// The rows of a PostgreSQL statement streamed through libpq on the Qt connection's own
// session: sent with its values bound (PQsendQueryParams, text format) and read a row at
// a time (single-row mode), so the first rows show before the server has sent the rest.
// Values come as Qt's QPSQL driver gives them: text, int, qlonglong, double (numeric as
// the driver's precision policy says), bool and QDate; a NULL is a null of that type.
//
// A connection carries one pending result at a time. A stream ends by itself as soon as
// its last row has been received; a statement started here on the same connection first
// ends the one pending, and so must anyone about to run a plain QSqlQuery (endPending).
// A stream ended that way keeps the rows it had read plus those already received, and
// the server is told to cancel the rest: its dataset then holds that shorter result as
// if it were the whole one (all fetched, no error).
class FIS_DATA_EXPORT TPgRowSource : public TRowSource
{
public:
    // Sends sql, written with $1..$n markers, with values bound in that order, and
    // waits for the first row (as a TRunningStatement, so the clerk may cancel it): an error
    // in the statement raises EFrameworkError here.
    // A timeout (milliseconds, 0 none) bounds each wait for the server: past it the
    // session is given up (its socket shut, so nothing blocks) and the error says so.
    static std::unique_ptr<TPgRowSource> start(const QSqlDatabase& db, const QString& sql,
                                               const QVariantList& values, int timeout = 0);
    // True when the connection's session is gone (libpq's status is bad).
    static bool broken(const QSqlDatabase& db);
    // Frees the connection of any stream pending on it. Not a PostgreSQL connection: nothing.
    static void endPending(const QSqlDatabase& db);

    ~TPgRowSource() override;
    TPgRowSource(const TPgRowSource&) = delete;
    TPgRowSource& operator=(const TPgRowSource&) = delete;

    QStringList columnNames() const override { return m_columns; }
    void read(int count, std::vector<Row>& rows) override;
    bool atEnd() const override { return !m_pending && m_queue.empty() && m_error.isEmpty(); }
    void cancel() override;

private:
    TPgRowSource(PGconn* connection, QSqlDriver* driver);

    bool alive() const;
    bool awaitAnswer();
    // Reads and drops the statement's results up to its end, for at most milliseconds;
    // false when the end did not come in time.
    bool drained(int milliseconds);
    // True when the first answer is in within that time, waited for on this thread.
    bool answeredWithin(int milliseconds);
    [[noreturn]] void raise();
    void receive(bool wait, bool keepAll);
    void take(PGresult* result);
    void stop(bool keepReceived);
    void endStream();
    QVariant value(const PGresult* result, int row, int column) const;
    QString text(const char* bytes) const;
    QByteArray encoded(const QString& text) const;

    PGconn* m_connection;
    QPointer<QSqlDriver> m_driver;
    int m_backendPid;
    bool m_utf8;
    bool m_win1252;
    bool m_restoreUtf8 = false;
    QSql::NumericalPrecisionPolicy m_precision;
    bool m_pending = false;
    QStringList m_columns;
    std::vector<unsigned int> m_types;
    // Received results not read yet; the first one from its row m_frontRow.
    std::deque<PGresult*> m_queue;
    int m_frontRow = 0;
    QString m_error;
    // A message for the clerk replaces the server's, which is kept as the detail.
    QString m_clerkError;
    // Stopped by the process's cancel token: raise() is the silent abort.
    bool m_cancelled = false;
    int m_timeout = 0;
};
