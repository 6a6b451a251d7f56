#include "TDBConnection.h"

#include "EFrameworkError.h"
#include "FisLog.h"
#include "TPgRowSource_p.h"

#include <QFile>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <unistd.h>

struct TDBConnection::Session
{
    SessionSetup setup;
    int timeout = 0;
    bool lost = false;
};

namespace {

const QString lostText = QStringLiteral(
    "A conexão com o banco de dados foi perdida. Ela será reaberta na próxima ação: repita a "
    "operação. Se o erro continuar, verifique a rede e o servidor do banco de dados.");

bool isSqlite(const QSqlDatabase& db)
{
    return db.driverName() == QLatin1String("QSQLITE");
}

QString sqliteFileText(const QSqlDatabase& db)
{
    return QStringLiteral("O arquivo do banco de dados SQLite '%1' não pode ser lido: foi "
                          "removido, trocado ou está danificado. Restaure o arquivo e repita a "
                          "operação.")
        .arg(db.databaseName());
}

// SQLite keeps reading a removed file through its open handle; the name is what counts.
bool sqliteFileGone(const QSqlDatabase& db)
{
    const QString name = db.databaseName();
    if (name.isEmpty() || name == u":memory:" || name.startsWith(u"file:"))
        return false;
    // One system call: it runs before every statement.
    return ::access(QFile::encodeName(name).constData(), R_OK) != 0;
}

bool connectionGone(const QSqlDatabase& db)
{
    if (!db.isValid() || !db.isOpen())
        return true;
    if (db.driverName() == QLatin1String("QPSQL"))
        return TPgRowSource::broken(db);
    // Elsewhere a trivial statement tells whether the session itself still answers.
    QSqlQuery probe(db);
    return !probe.exec(db.driver()->dbmsType() == QSqlDriver::Interbase
                           ? QStringLiteral("SELECT 1 FROM RDB$DATABASE")
                           : QStringLiteral("SELECT 1"));
}

} // namespace

TDBConnection::TDBConnection(const QString& connectionName, QObject* parent)
    : QObject(parent), m_connectionName(connectionName), m_session(std::make_shared<Session>())
{
}

TDBConnection::~TDBConnection() = default;

QSqlDatabase TDBConnection::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

bool TDBConnection::isInterBase() const
{
    const QSqlDatabase db = database();
    return db.isValid() && db.driver()->dbmsType() == QSqlDriver::Interbase;
}

void TDBConnection::shareSession(const TDBConnection& other)
{
    m_session = other.m_session;
}

void TDBConnection::setSessionSetup(SessionSetup setup)
{
    m_session->setup = std::move(setup);
}

int TDBConnection::StatementTimeout() const
{
    return m_session->timeout;
}

void TDBConnection::setStatementTimeout(int milliseconds)
{
    m_session->timeout = std::max(0, milliseconds);
}

bool TDBConnection::lost() const
{
    return m_session->lost;
}

void TDBConnection::markLost() const
{
    m_session->lost = true;
}

QSqlDatabase TDBConnection::openDatabase()
{
    QSqlDatabase db = database();
    if (!db.isValid())
        throw EFrameworkError(QStringLiteral("Não há conexão com o banco de dados."));
    // A PostgreSQL session given up under a cancel (its socket shut) reopens unseen.
    if (db.isOpen() && !m_session->lost && !(isSqlite(db) && sqliteFileGone(db)) &&
        !(db.driverName() == QLatin1String("QPSQL") && TPgRowSource::broken(db)))
        return db;

    qCInfo(fisData) << "reopening the connection" << m_connectionName;
    db.close();
    const QString again = QStringLiteral(
        "A conexão com o banco de dados foi perdida e ainda não pôde ser reaberta. Verifique a "
        "rede e o servidor do banco de dados e repita a operação.");
    if (isSqlite(db) && sqliteFileGone(db)) {
        m_session->lost = true;
        throw EFrameworkError(sqliteFileText(db), QStringLiteral("arquivo ausente ou ilegível"));
    }
    if (!db.open()) {
        m_session->lost = true;
        throw EFrameworkError(again, db.lastError().text());
    }
    try {
        if (m_session->setup)
            m_session->setup(db);
    } catch (const EFrameworkError& e) {
        db.close();
        m_session->lost = true;
        throw EFrameworkError(isSqlite(db) ? sqliteFileText(db) : again,
                              e.detail().isEmpty() ? e.message() : e.detail());
    }
    m_session->lost = false;
    return db;
}

EFrameworkError TDBConnection::diagnose(const EFrameworkError& failure,
                                        const QString& message) const
{
    const QString detail = failure.detail().isEmpty() ? failure.message() : failure.detail();
    const QSqlDatabase db = database();
    const bool gone = isSqlite(db)
                          ? sqliteFileGone(db) || detail.contains(u"not a database") ||
                                detail.contains(u"malformed") || detail.contains(u"disk I/O error")
                          : connectionGone(db);
    if (gone)
        m_session->lost = true;
    // Already told in the clerk's words (a timeout, say): kept as it is.
    if (!failure.detail().isEmpty())
        return failure;
    if (gone)
        return EFrameworkError(isSqlite(db) ? sqliteFileText(db) : lostText, detail);
    if (isSqlite(db) && detail.contains(u"database is locked"))
        return EFrameworkError(
            QStringLiteral("O arquivo do banco de dados SQLite '%1' está bloqueado por outro "
                           "programa que grava nele (uma importação, uma cópia, outro sistema). "
                           "Espere ele terminar, ou feche-o, e repita a operação.")
                .arg(db.databaseName()),
            detail);
    return EFrameworkError(message, detail);
}
