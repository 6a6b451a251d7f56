#include "TDataModuleFactory.h"

#include "EFrameworkError.h"
#include "TConnectionError.h"
#include "TDemoData.h"
#include "TDemoDatabase.h"
#include "TDriverHandles.h"
#include "TSqliteFunctions.h"
#include "TdtmDBGeral.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace {

QString nextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("dtmDBGeral-%1").arg(counter.fetchAndAddRelaxed(1) + 1);
}

void dropConnection(const QString& name)
{
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// Drops the connection unless release() was called: every failed open leaves nothing behind.
class ConnectionGuard
{
public:
    explicit ConnectionGuard(QString name) : m_name(std::move(name)) {}
    ~ConnectionGuard()
    {
        if (!m_name.isEmpty())
            dropConnection(m_name);
    }
    ConnectionGuard(const ConnectionGuard&) = delete;
    ConnectionGuard& operator=(const ConnectionGuard&) = delete;
    void release() { m_name.clear(); }

private:
    QString m_name;
};

QSqlDatabase addConnection(const QString& qtDriver, const QString& name, const QString& engine)
{
    if (!QSqlDatabase::isDriverAvailable(qtDriver))
        throw EFrameworkError(
            QStringLiteral("O driver %1 do Qt para %2 não está instalado.").arg(qtDriver, engine));
    return QSqlDatabase::addDatabase(qtDriver, name);
}

// The tables are really there: an empty file or a wrong database fails here, clearly,
// rather than at the first lookup.
void checkSchema(const QSqlDatabase& db, const QString& driver, const QString& where,
                 const QString& user)
{
    QSqlQuery probe(db);
    if (probe.exec(QStringLiteral("SELECT COUNT(*) FROM EMPRESA WHERE 1 = 0")))
        return;
    const QString text = probe.lastError().text();
    const TConnectionError::Kind kind = TConnectionError::classify(driver, text);
    throw TConnectionError::make(kind == TConnectionError::Kind::FileLocked ||
                                         kind == TConnectionError::Kind::FileDamaged ||
                                         kind == TConnectionError::Kind::NoReadRights
                                     ? kind
                                     : TConnectionError::Kind::NotTheSystem,
                                 driver, where, user, text);
}

void execOrThrow(const QSqlDatabase& db, const QString& sql, const QString& what)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw EFrameworkError(QStringLiteral("%1: %2").arg(what, q.lastError().text()));
}

} // namespace

// Built under a temporary name and renamed, so an interrupted first run leaves no
// half-filled database that later runs would take for a good one.
void TDataModuleFactory::makeDemo(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists())
        return;
    if (!QDir().mkpath(info.absolutePath()))
        throw EFrameworkError(
            QStringLiteral("Não foi possível criar a pasta do banco de demonstração %1.")
                .arg(info.absolutePath()));
    const QString temporary =
        QStringLiteral("%1.%2.novo").arg(path).arg(QCoreApplication::applicationPid());
    QFile::remove(temporary);

    const QString name = nextConnectionName() + QStringLiteral("-demo");
    QString failure;
    {
        QSqlDatabase db = addConnection(QStringLiteral("QSQLITE"), name, QStringLiteral("SQLite"));
        db.setDatabaseName(temporary);
        if (!db.open()) {
            failure = db.lastError().text();
        } else {
            try {
                TDemoData::create(db);
            } catch (const EFrameworkError& e) {
                failure = e.message();
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);

    if (failure.isEmpty() && !QFile::rename(temporary, path) && !QFileInfo::exists(path))
        failure = QStringLiteral("não foi possível renomear %1").arg(temporary);
    QFile::remove(temporary);
    if (!failure.isEmpty())
        throw EFrameworkError(QStringLiteral("Não foi possível criar o banco de demonstração %1. "
                                             "Verifique o espaço livre e as permissões da pasta.")
                                  .arg(path),
                              failure);
}

namespace {

using SessionSetup = TDBConnection::SessionSetup;

SessionSetup openSqlite(const QString& name, const TConnectionOptions& options)
{
    const QString path = TDemoDatabase::sqlitePath(options);
    // Only the demo is ever made: any other missing file is a mistake to report, not to fill.
    if (!QFileInfo::exists(path)) {
        if (!TDemoDatabase::isDemo(options))
            throw TConnectionError::make(TConnectionError::Kind::FileMissing,
                                         QStringLiteral("sqlite"), path, QString(),
                                         QStringLiteral("%1: arquivo inexistente").arg(path));
        TDataModuleFactory::makeDemo(path);
    }

    QSqlDatabase db = addConnection(QStringLiteral("QSQLITE"), name, QStringLiteral("SQLite"));
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db.open())
        throw TConnectionError::fromDriver(QStringLiteral("sqlite"), path, QString(),
                                           db.lastError().text());
    SessionSetup setup = [path](QSqlDatabase& opened) {
        TSqliteFunctions::install(opened);
        checkSchema(opened, QStringLiteral("sqlite"), path, QString());
    };
    setup(db);
    return setup;
}

// Whether the rights query (one value: true, or a count above zero) finds a way to write.
bool rightsAllowWriting(const QSqlDatabase& db, const QString& sql, const QString& user,
                        const QString& where)
{
    QSqlQuery q(db);
    if (!q.exec(sql) || !q.next())
        throw EFrameworkError(
            QStringLiteral("Não foi possível verificar os direitos do usuário %1 no banco %2. "
                           "Tente novamente; se o erro continuar, chame o administrador do "
                           "banco.")
                .arg(user, where),
            q.lastError().text());
    return q.value(0).toLongLong() > 0;
}

// A login that may change anything of the schema is refused: the session's read-only
// default is only a setting, which any statement can lift (set_config), so the rights
// are what keeps the screen a reader. Owned, writable or creatable, all count.
void checkPostgresReadOnly(const QSqlDatabase& db, const QString& user, const QString& where)
{
    const bool mayWrite = rightsAllowWriting(
        db,
        QStringLiteral(
            "SELECT (SELECT rolsuper OR rolcreaterole OR rolcreatedb FROM pg_roles "
            "WHERE rolname = current_user) "
            "OR has_database_privilege(current_database(), 'CREATE') "
            "OR EXISTS (SELECT 1 FROM pg_namespace n WHERE n.nspname NOT LIKE 'pg\\_%' "
            "AND n.nspname <> 'information_schema' "
            "AND (pg_has_role(n.nspowner, 'USAGE') OR has_schema_privilege(n.oid, 'CREATE'))) "
            "OR EXISTS (SELECT 1 FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
            "WHERE n.nspname NOT LIKE 'pg\\_%' AND n.nspname <> 'information_schema' "
            "AND c.relkind IN ('r', 'p', 'v', 'm', 'f') AND (pg_has_role(c.relowner, 'USAGE') "
            "OR has_table_privilege(c.oid, 'INSERT, UPDATE, DELETE, TRUNCATE, TRIGGER')))"),
        user, where);
    // What PUBLIC may call unless reader-role.sql closed it: each writes or disturbs others.
    const bool mayDisturb = rightsAllowWriting(
        db,
        QStringLiteral(
            "SELECT has_database_privilege(current_database(), 'TEMPORARY') "
            "OR EXISTS (SELECT 1 FROM pg_proc p WHERE p.pronamespace = "
            "'pg_catalog'::regnamespace AND (p.proname ~ '^(lo_|loread$|lowrite$)' "
            "OR p.proname IN ('pg_terminate_backend', 'pg_cancel_backend', 'pg_notify') "
            "OR p.proname ~ '^pg_(try_)?advisory_') AND has_function_privilege(p.oid, "
            "'EXECUTE')) "
            "OR EXISTS (SELECT 1 FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
            "WHERE c.relkind = 'S' AND n.nspname NOT LIKE 'pg\\_%' "
            "AND CASE WHEN c.relkind = 'S' THEN has_sequence_privilege(c.oid, 'USAGE, UPDATE') "
            "END)"),
        user, where);
    if (mayWrite)
        throw TConnectionError::make(
            TConnectionError::Kind::MayWrite, QStringLiteral("postgresql"), where, user,
            QStringLiteral("%1 may create, own or change objects of %2").arg(user, where));
    if (mayDisturb)
        throw EFrameworkError(
            QStringLiteral("O usuário %1 ainda pode gravar ou interferir em outras sessões no "
                           "banco PostgreSQL %2 (objetos grandes, tabelas temporárias, "
                           "sequências, pg_notify, bloqueios consultivos ou o fim de outras "
                           "sessões). Peça ao administrador do banco que aplique "
                           "db/postgresql/reader-role.sql, ou escolha outro usuário em "
                           "Arquivo › Configurar conexão….")
                .arg(user, where),
            QStringLiteral("%1 may use large objects, temporary tables, sequences, pg_notify, "
                           "advisory locks or end other sessions")
                .arg(user));
}

SessionSetup openPostgres(const QString& name, const TConnectionOptions& options)
{
    QSqlDatabase db = addConnection(QStringLiteral("QPSQL"), name, QStringLiteral("PostgreSQL"));
    db.setDatabaseName(options.database);
    db.setHostName(options.host);
    if (options.port > 0)
        db.setPort(options.port);
    db.setUserName(options.user);
    db.setPassword(options.password);
    // A server that is down should be reported in seconds, not hang the start.
    QString connectOptions = QStringLiteral("connect_timeout=5;application_name=FIS01200");
    // A server gone without a word (cable, crash) is noticed by the probes, not at the
    // next statement's long wait.
    if (options.keepalive > 0)
        connectOptions += QStringLiteral(";keepalives=1;keepalives_idle=%1;keepalives_interval=%2;"
                                         "keepalives_count=3")
                              .arg(options.keepalive)
                              .arg(std::max(1, options.keepalive / 6));
    db.setConnectOptions(connectOptions);

    const QString where =
        QStringLiteral("%1 em %2%3")
            .arg(options.database.isEmpty() ? QStringLiteral("padrão") : options.database,
                 options.host.isEmpty() ? QStringLiteral("localhost") : options.host,
                 options.port > 0 ? QStringLiteral(":%1").arg(options.port) : QString());
    if (!db.open())
        throw TConnectionError::fromDriver(QStringLiteral("postgresql"), where, options.user,
                                           db.lastError().text());
    const QString user = options.user;
    const int timeout = options.statementTimeout;
    SessionSetup setup = [where, user, timeout](QSqlDatabase& opened) {
        // Every later transaction of this session is read-only: the screen never writes.
        QString refused;
        if (!TDriverHandles::setReadOnlySession(opened, &refused))
            throw EFrameworkError(QStringLiteral("Não foi possível tornar a conexão com o "
                                                 "PostgreSQL só de leitura: %1")
                                      .arg(refused));
        execOrThrow(opened, QStringLiteral("SET statement_timeout = %1").arg(timeout * 1000),
                    QStringLiteral("Não foi possível limitar o tempo das consultas"));
        checkSchema(opened, QStringLiteral("postgresql"), where, user);
        checkPostgresReadOnly(opened, user, where);
    };
    setup(db);
    return setup;
}

// The rights of the connected user are what makes a Firebird connection read-only, so
// a user that may write (the owner, SYSDBA, any INSERT/UPDATE/DELETE right) is refused.
void checkFirebirdReadOnly(const QSqlDatabase& db, const QString& user, const QString& where)
{
    const bool mayWrite = rightsAllowWriting(
        db,
        QStringLiteral(
            "SELECT COUNT(*) FROM RDB$RELATIONS R "
            "WHERE R.RDB$SYSTEM_FLAG = 0 AND (CURRENT_USER = 'SYSDBA' OR CURRENT_ROLE = "
            "'RDB$ADMIN' "
            "OR R.RDB$OWNER_NAME = CURRENT_USER OR EXISTS (SELECT 1 FROM RDB$USER_PRIVILEGES P "
            "WHERE P.RDB$RELATION_NAME = R.RDB$RELATION_NAME AND P.RDB$USER IN (CURRENT_USER, "
            "'PUBLIC') AND P.RDB$PRIVILEGE IN ('I', 'U', 'D')))"),
        user, where);
    if (mayWrite)
        throw TConnectionError::make(
            TConnectionError::Kind::MayWrite, QStringLiteral("firebird"), where, user,
            QStringLiteral("%1 may insert, update or delete in %2").arg(user, where));
}

SessionSetup openFirebird(const QString& name, const TConnectionOptions& options)
{
    QSqlDatabase db = addConnection(QStringLiteral("QIBASE"), name, QStringLiteral("Firebird"));
    const QString user = options.user.isEmpty() ? QStringLiteral("FISLEITOR") : options.user;
    // Without a host the engine is embedded and opens the file itself.
    db.setDatabaseName(options.database);
    db.setHostName(options.host);
    if (options.port > 0)
        db.setPort(options.port);
    db.setUserName(user);
    db.setPassword(options.password);
    // What the database holds. Qt 6.4's driver attaches as UTF8 whatever this says, and the
    // engine transliterates the WIN1252 columns, so accents survive either way.
    db.setConnectOptions(QStringLiteral("ISC_DPB_LC_CTYPE=WIN1252"));

    const QString where = options.host.isEmpty()
                              ? options.database
                              : QStringLiteral("%1:%2").arg(options.host, options.database);
    if (!db.open())
        throw TConnectionError::fromDriver(QStringLiteral("firebird"), where, user,
                                           db.lastError().text());
    SessionSetup setup = [where, user](QSqlDatabase& opened) {
        checkSchema(opened, QStringLiteral("firebird"), where, user);
        checkFirebirdReadOnly(opened, user, where);
    };
    setup(db);
    return setup;
}

} // namespace

std::unique_ptr<TdtmDBGeral> TDataModuleFactory::open(const TConnectionOptions& options)
{
    const QString driver = options.driver.trimmed().toLower();
    const QString name = nextConnectionName();
    ConnectionGuard guard(name);
    SessionSetup setup;
    bool postgres = false;
    if (driver.isEmpty() || driver == QLatin1String("sqlite")) {
        setup = openSqlite(name, options);
    } else if (driver == QLatin1String("postgresql")) {
        setup = openPostgres(name, options);
        postgres = true;
    } else if (driver == QLatin1String("firebird")) {
        setup = openFirebird(name, options);
    } else
        throw EFrameworkError(
            QStringLiteral("Banco de dados desconhecido: \"%1\" (use sqlite, postgresql ou "
                           "firebird).")
                .arg(options.driver));

    auto module = std::make_unique<TdtmDBGeral>(name);
    // A reopened connection is set up and checked as the first one was.
    module->adcGeral->setSessionSetup(std::move(setup));
    // The server bounds a PostgreSQL statement itself: the client's limit is on its answer.
    // Elsewhere the client cancels a statement that runs past the statement timeout.
    module->adcGeral->setStatementTimeout(
        (postgres ? options.responseTimeout : options.statementTimeout) * 1000);
    QObject::connect(module.get(), &QObject::destroyed, [name] { dropConnection(name); });
    guard.release();
    return module;
}
