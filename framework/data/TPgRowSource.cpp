#include "TPgRowSource_p.h"

#include "EAbort.h"
#include "EFrameworkError.h"
#include "TCancelToken.h"
#include "TRunningStatement.h"
#include "TWindows1252.h"

#include <QDate>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QTime>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <libpq-fe.h>
#include <limits>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <unordered_map>
#include <utility>

namespace {

// Type identifiers of the server's catalogue (pg_type), for the types Qt decodes.
enum : Oid
{
    BoolOid = 16,
    Int8Oid = 20,
    Int2Oid = 21,
    Int4Oid = 23,
    OidOid = 26,
    Float4Oid = 700,
    Float8Oid = 701,
    DateOid = 1082,
    NumericOid = 1700,
};

// The stream pending on each connection. A connection is used by one thread at a time, but
// a stream's first answer is awaited on a worker thread.
std::unordered_map<PGconn*, TPgRowSource*> pendingStreams;
std::mutex pendingMutex;

TPgRowSource* pendingOn(PGconn* connection)
{
    const std::lock_guard lock(pendingMutex);
    const auto it = pendingStreams.find(connection);
    return it == pendingStreams.end() ? nullptr : it->second;
}

PGconn* handleOf(const QSqlDriver* driver)
{
    if (!driver || !driver->isOpen())
        return nullptr;
    // Qt 6.4 names the type after the struct behind the typedef.
    const QVariant handle = driver->handle();
    const char* type = handle.typeName();
    if (!type || (qstrcmp(type, "PGconn*") != 0 && qstrcmp(type, "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(handle.constData());
}

PGconn* connectionOf(const QSqlDatabase& db)
{
    return db.isValid() && db.driverName() == QLatin1String("QPSQL") ? handleOf(db.driver())
                                                                     : nullptr;
}

// As Qt binds: a null QString, date or byte array is NULL too.
bool isNull(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::QString:
        return v.isNull() || static_cast<const QString*>(v.constData())->isNull();
    case QMetaType::QByteArray:
        return v.isNull() || static_cast<const QByteArray*>(v.constData())->isNull();
    case QMetaType::QDate:
        return v.isNull() || static_cast<const QDate*>(v.constData())->isNull();
    case QMetaType::QTime:
        return v.isNull() || static_cast<const QTime*>(v.constData())->isNull();
    case QMetaType::QDateTime:
        return v.isNull() || static_cast<const QDateTime*>(v.constData())->isNull();
    default:
        return v.isNull();
    }
}

QMetaType::Type metaTypeOf(Oid type)
{
    switch (type) {
    case BoolOid:
        return QMetaType::Bool;
    case Int8Oid:
        return QMetaType::LongLong;
    case Int2Oid:
    case Int4Oid:
    case OidOid:
        return QMetaType::Int;
    case Float4Oid:
    case Float8Oid:
    case NumericOid:
        return QMetaType::Double;
    case DateOid:
        return QMetaType::QDate;
    default:
        return QMetaType::QString;
    }
}

QString timeoutText(int timeout)
{
    return QStringLiteral("O banco de dados não respondeu dentro do tempo limite (%1 s) e a "
                          "consulta foi interrompida. A conexão será reaberta na próxima ação; "
                          "se o erro continuar, verifique o servidor.")
        .arg((timeout + 999) / 1000);
}

// How long a cancelled statement may take to end before its session is given up.
constexpr int unansweredCancelMilliseconds = 600;

enum class Answer
{
    Done,
    Failed,
    TimedOut
};

// The session's client encoding, sent and awaited as a statement is: a frozen server costs
// the timeout (then the session is given up), never a wait without end.
Answer setEncoding(PGconn* connection, const char* encoding, int timeout)
{
    const QByteArray sql = QByteArray("SET client_encoding TO '") + encoding + '\'';
    if (!PQsendQuery(connection, sql.constData()))
        return Answer::Failed;
    const QDeadlineTimer deadline =
        timeout > 0 ? QDeadlineTimer(timeout) : QDeadlineTimer(QDeadlineTimer::Forever);
    while (PQisBusy(connection)) {
        pollfd fd{PQsocket(connection), POLLIN, 0};
        const int ready =
            poll(&fd, 1, timeout > 0 ? int(std::max<qint64>(0, deadline.remainingTime())) : -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            ::shutdown(PQsocket(connection), SHUT_RDWR);
            // Read to the end, so libpq marks the session bad and it is reopened.
            while (PQconsumeInput(connection) && PQisBusy(connection)) {
            }
            while (PGresult* result = PQgetResult(connection))
                PQclear(result);
            return Answer::TimedOut;
        }
        if (ready < 0 || !PQconsumeInput(connection))
            break;
    }
    bool done = !PQisBusy(connection);
    if (done)
        while (PGresult* result = PQgetResult(connection)) {
            done = done && PQresultStatus(result) == PGRES_COMMAND_OK;
            PQclear(result);
        }
    return done && PQstatus(connection) == CONNECTION_OK ? Answer::Done : Answer::Failed;
}

} // namespace

TPgRowSource::TPgRowSource(PGconn* connection, QSqlDriver* driver)
    : m_connection(connection), m_driver(driver), m_backendPid(PQbackendPID(connection)),
      m_utf8(qstrcmp(pg_encoding_to_char(PQclientEncoding(connection)), "UTF8") == 0),
      m_win1252(qstrcmp(pg_encoding_to_char(PQclientEncoding(connection)), "WIN1252") == 0),
      m_precision(driver->numericalPrecisionPolicy())
{
}

TPgRowSource::~TPgRowSource()
{
    cancel();
    endStream();
}

bool TPgRowSource::broken(const QSqlDatabase& db)
{
    PGconn* connection = connectionOf(db);
    return !connection || PQstatus(connection) == CONNECTION_BAD;
}

std::unique_ptr<TPgRowSource> TPgRowSource::start(const QSqlDatabase& db, const QString& sql,
                                                  const QVariantList& values, int timeout)
{
    PGconn* connection = connectionOf(db);
    if (!connection)
        throw EFrameworkError(QStringLiteral("A conexão não é uma conexão PostgreSQL aberta."));
    TRunningStatement::awaitIdle(db.driver());
    endPending(db);
    // Whatever Qt's own forward-only query left unread is discarded, as Qt itself does
    // before sending a statement.
    while (PGresult* stale = PQgetResult(connection))
        PQclear(stale);
    // A WIN1252 database is read in its own code page and decoded here: the server refuses
    // to convert a legacy byte with no character (0x9D) to UTF-8, failing the whole report.
    // Only for this statement: Qt's driver decodes its own results as UTF-8.
    const char* serverEncoding = PQparameterStatus(connection, "server_encoding");
    bool ownEncoding = false;
    if (serverEncoding && qstrcmp(serverEncoding, "WIN1252") == 0 &&
        qstrcmp(pg_encoding_to_char(PQclientEncoding(connection)), "UTF8") == 0) {
        switch (setEncoding(connection, "WIN1252", timeout)) {
        case Answer::TimedOut:
            throw EFrameworkError(timeoutText(timeout),
                                  QStringLiteral("sem resposta do servidor em %1 ms").arg(timeout));
        case Answer::Failed:
            // The caller tells a lost connection from the driver's text.
            throw EFrameworkError(QString::fromUtf8(PQerrorMessage(connection)).trimmed());
        case Answer::Done:
            ownEncoding = true;
            break;
        }
    }

    std::unique_ptr<TPgRowSource> source(new TPgRowSource(connection, db.driver()));
    source->m_restoreUtf8 = ownEncoding;
    source->m_timeout = timeout;
    std::vector<QByteArray> texts;
    std::vector<const char*> pointers;
    texts.reserve(size_t(values.size()));
    for (const QVariant& v : values) {
        if (isNull(v)) {
            texts.emplace_back();
            pointers.push_back(nullptr);
            continue;
        }
        switch (v.typeId()) {
        case QMetaType::QDate:
            texts.push_back(v.toDate().toString(Qt::ISODate).toLatin1());
            break;
        case QMetaType::QTime:
            texts.push_back(v.toTime().toString(Qt::ISODateWithMs).toLatin1());
            break;
        case QMetaType::QDateTime:
            texts.push_back(v.toDateTime().toUTC().toString(Qt::ISODateWithMs).toLatin1());
            break;
        case QMetaType::Bool:
            texts.push_back(v.toBool() ? "true" : "false");
            break;
        default:
            texts.push_back(source->encoded(v.toString()));
            break;
        }
        pointers.push_back(texts.back().constData());
    }
    const QByteArray statement = source->encoded(sql);
    // No parameter types: the server infers each from its place, as for a PREPARE.
    if (!PQsendQueryParams(connection, statement.constData(), int(pointers.size()), nullptr,
                           pointers.data(), nullptr, nullptr, 0))
        throw EFrameworkError(source->text(PQerrorMessage(connection)).trimmed());
    source->m_pending = true;
    {
        const std::lock_guard lock(pendingMutex);
        pendingStreams[connection] = source.get();
    }
    PQsetSingleRowMode(connection);

    // The server's own statement_timeout bounds the statement; the response timeout stays here.
    // A quick answer is taken on this thread: handing the wait to a worker thread costs more
    // than a lookup when the cores are busy.
    TPgRowSource* waiting = source.get();
    if (waiting->answeredWithin(2))
        waiting->receive(true, false);
    else
        TRunningStatement::run(db, 0, [waiting] { waiting->receive(true, false); });
    if (!source->m_error.isEmpty())
        source->raise();
    return source;
}

void TPgRowSource::endPending(const QSqlDatabase& db)
{
    PGconn* connection = connectionOf(db);
    if (!connection)
        return;
    TRunningStatement::awaitIdle(db.driver());
    if (TPgRowSource* pending = pendingOn(connection))
        pending->stop(true);
}

bool TPgRowSource::alive() const
{
    // The same session: a reopened connection may be given the same address.
    return handleOf(m_driver) == m_connection && PQbackendPID(m_connection) == m_backendPid;
}

void TPgRowSource::read(int count, std::vector<Row>& rows)
{
    if (m_pending)
        TRunningStatement::awaitIdle(m_driver);
    const int columns = int(m_columns.size());
    for (int read = 0; read < count; ++read) {
        if (m_queue.empty() && m_pending)
            receive(true, false);
        if (m_queue.empty()) {
            if (!m_error.isEmpty())
                raise();
            return;
        }
        PGresult* result = m_queue.front();
        Row row;
        row.reserve(size_t(columns));
        for (int c = 0; c < columns; ++c)
            row.push_back(value(result, m_frontRow, c));
        rows.push_back(std::move(row));
        if (++m_frontRow >= PQntuples(result)) {
            PQclear(result);
            m_queue.pop_front();
            m_frontRow = 0;
        }
        // Seeing the end now, when it is already here, frees the connection at once.
        if (m_queue.empty() && m_pending)
            receive(false, false);
    }
}

// Moves results from libpq to the queue: waiting for one when wait is set, otherwise
// only those already received; one row ahead at most unless keepAll.
void TPgRowSource::receive(bool wait, bool keepAll)
{
    if (m_pending && !alive()) {
        endStream();
        m_error = QStringLiteral("A conexão com o banco de dados foi fechada durante a consulta.");
        return;
    }
    bool consumed = false;
    while (m_pending && (keepAll || m_queue.empty())) {
        if (!wait && PQisBusy(m_connection)) {
            if (consumed || !PQconsumeInput(m_connection) || PQisBusy(m_connection))
                return;
            consumed = true;
        }
        if (wait && !awaitAnswer())
            return;
        wait = false;
        PGresult* result = PQgetResult(m_connection);
        if (!result) {
            // Someone else read the end of this result: nothing more will come.
            endStream();
            return;
        }
        take(result);
    }
}

void TPgRowSource::raise()
{
    if (std::exchange(m_cancelled, false)) {
        m_error.clear();
        m_clerkError.clear();
        throw EAbort();
    }
    const QString error = std::exchange(m_error, QString());
    const QString clerk = std::exchange(m_clerkError, QString());
    if (clerk.isEmpty())
        throw EFrameworkError(error);
    throw EFrameworkError(clerk, error);
}

// Waits, up to the timeout, until a result can be read without blocking. A server
// that does not answer in time (frozen, unreachable) loses the session: its socket is
// shut, so that libpq fails at once instead of waiting, and the connection reads as lost.
// The process's cancel token (a signal) ends the wait at once the same way: a cancel
// request to a frozen server could itself wait without end.
bool TPgRowSource::awaitAnswer()
{
    const TCancelToken& token = TCancelToken::process();
    const QDeadlineTimer deadline =
        m_timeout > 0 ? QDeadlineTimer(m_timeout) : QDeadlineTimer(QDeadlineTimer::Forever);
    while (PQisBusy(m_connection)) {
        pollfd fds[2]{{PQsocket(m_connection), POLLIN, 0}, {token.fd(), POLLIN, 0}};
        const int ready =
            poll(fds, token.fd() >= 0 ? 2 : 1,
                 deadline.isForever() ? -1 : int(std::max<qint64>(0, deadline.remainingTime())));
        if (token.isCancelled()) {
            ::shutdown(PQsocket(m_connection), SHUT_RDWR);
            endStream();
            m_error = QStringLiteral("interrompida");
            m_cancelled = true;
            return false;
        }
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            ::shutdown(PQsocket(m_connection), SHUT_RDWR);
            endStream();
            m_error = QStringLiteral("sem resposta do servidor em %1 ms").arg(m_timeout);
            m_clerkError = timeoutText(m_timeout);
            return false;
        }
        if (ready < 0 || !PQconsumeInput(m_connection))
            break;
    }
    return true;
}

bool TPgRowSource::answeredWithin(int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    while (PQisBusy(m_connection)) {
        pollfd fd{PQsocket(m_connection), POLLIN, 0};
        const int ready = poll(&fd, 1, int(std::max<qint64>(0, deadline.remainingTime())));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || !PQconsumeInput(m_connection))
            return false;
    }
    return true;
}

void TPgRowSource::take(PGresult* result)
{
    if (m_columns.isEmpty() && m_types.empty()) {
        for (int c = 0; c < PQnfields(result); ++c) {
            m_columns << text(PQfname(result, c));
            m_types.push_back(PQftype(result, c));
        }
    }
    switch (PQresultStatus(result)) {
    case PGRES_SINGLE_TUPLE:
        m_queue.push_back(result);
        return;
    case PGRES_TUPLES_OK:
    case PGRES_COMMAND_OK:
        // The end of the result (all its rows, should single-row mode not have taken).
        if (PQntuples(result) > 0)
            m_queue.push_back(result);
        else
            PQclear(result);
        break;
    default:
        m_error = text(PQresultErrorMessage(result)).trimmed();
        if (m_error.isEmpty())
            m_error = text(PQerrorMessage(m_connection)).trimmed();
        // The server's own statement timeout (query_canceled).
        if (qstrcmp(PQresultErrorField(result, PG_DIAG_SQLSTATE), "57014") == 0)
            m_clerkError = TRunningStatement::timeoutText();
        PQclear(result);
        break;
    }
    endStream();
}

void TPgRowSource::cancel()
{
    stop(false);
    for (PGresult* result : m_queue)
        PQclear(result);
    m_queue.clear();
    m_frontRow = 0;
    m_error.clear();
    m_clerkError.clear();
    m_cancelled = false;
}

// Ends a pending stream: what has already arrived is read (and kept, or dropped) without
// waiting; if the server is still sending, it is asked to cancel, which costs a short
// connection instead of receiving the rest of a large result.
void TPgRowSource::stop(bool keepReceived)
{
    if (!m_pending)
        return;
    const size_t kept = m_queue.size();
    receive(false, true);
    if (!keepReceived) {
        for (size_t i = kept; i < m_queue.size(); ++i)
            PQclear(m_queue[i]);
        m_queue.resize(kept);
    }
    if (!m_pending)
        return;
    // The process stopping (a signal) waits for no server: the session is given up.
    const bool stopping = TCancelToken::process().isCancelled();
    if (!stopping) {
        if (PGcancel* request = PQgetCancel(m_connection)) {
            char error[256];
            PQcancel(request, error, int(sizeof error));
            PQfreeCancel(request);
        }
    }
    // A server that does not act on the cancel at once (frozen, out of reach) loses the
    // session too, rather than keep the clerk waiting; it is reopened on the next action.
    // Ended for another statement on the connection, it is waited for as before.
    if (stopping || (!keepReceived && !drained(unansweredCancelMilliseconds)))
        ::shutdown(PQsocket(m_connection), SHUT_RDWR);
    // The cancelled statement's error is read and dropped with the rest.
    endStream();
}

bool TPgRowSource::drained(int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    for (;;) {
        while (PQisBusy(m_connection)) {
            pollfd fd{PQsocket(m_connection), POLLIN, 0};
            const int ready = poll(&fd, 1, int(std::max<qint64>(0, deadline.remainingTime())));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready == 0)
                return false;
            // A failed connection ends its results without waiting.
            if (ready < 0 || !PQconsumeInput(m_connection))
                return true;
        }
        PGresult* result = PQgetResult(m_connection);
        if (!result)
            return true;
        PQclear(result);
    }
}

// Reads whatever is left of the statement's results (nothing more is kept) and lets the
// connection go.
void TPgRowSource::endStream()
{
    if (m_pending) {
        m_pending = false;
        {
            const std::lock_guard lock(pendingMutex);
            const auto it = pendingStreams.find(m_connection);
            if (it != pendingStreams.end() && it->second == this)
                pendingStreams.erase(it);
        }
        if (alive())
            while (PGresult* rest = PQgetResult(m_connection))
                PQclear(rest);
    }
    // Qt's own statements on this connection read their texts as UTF-8.
    if (std::exchange(m_restoreUtf8, false) && alive() && PQstatus(m_connection) == CONNECTION_OK)
        setEncoding(m_connection, "UTF8", m_timeout);
}

QString TPgRowSource::text(const char* bytes) const
{
    if (m_win1252)
        return TWindows1252::decode(bytes, qsizetype(qstrlen(bytes)));
    return m_utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

QByteArray TPgRowSource::encoded(const QString& text) const
{
    if (m_win1252)
        return TWindows1252::encode(text);
    return m_utf8 ? text.toUtf8() : text.toLocal8Bit();
}

QVariant TPgRowSource::value(const PGresult* result, int row, int column) const
{
    const Oid type = m_types[size_t(column)];
    if (PQgetisnull(result, row, column))
        return QVariant(QMetaType(metaTypeOf(type)));
    const char* v = PQgetvalue(result, row, column);
    switch (type) {
    case BoolOid:
        return v[0] == 't';
    case Int8Oid:
        return qlonglong(std::strtoll(v, nullptr, 10));
    case Int2Oid:
    case Int4Oid:
    case OidOid:
        return std::atoi(v);
    case NumericOid: {
        if (m_precision == QSql::HighPrecision)
            return QString::fromLatin1(v);
        bool ok = false;
        const double d = QByteArray::fromRawData(v, qsizetype(qstrlen(v))).toDouble(&ok);
        if (!ok)
            return {};
        if (m_precision == QSql::LowPrecisionInt64)
            return qlonglong(d);
        if (m_precision == QSql::LowPrecisionInt32)
            return int(d);
        return d;
    }
    case Float4Oid:
    case Float8Oid:
        if (qstricmp(v, "Infinity") == 0)
            return std::numeric_limits<double>::infinity();
        if (qstricmp(v, "-Infinity") == 0)
            return -std::numeric_limits<double>::infinity();
        return QByteArray::fromRawData(v, qsizetype(qstrlen(v))).toDouble();
    case DateOid:
        return v[0] == '\0' ? QDate() : QDate::fromString(QLatin1String(v), Qt::ISODate);
    default:
        if (m_win1252)
            return TWindows1252::decodeLogged(v, qsizetype(qstrlen(v)), m_columns[column]);
        return text(v);
    }
}
