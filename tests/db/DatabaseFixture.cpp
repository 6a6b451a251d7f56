#include "DatabaseFixture.h"

#include "EFrameworkError.h"
#include "TDataModuleFactory.h"

#include <QFile>

DatabaseFixture::DatabaseFixture() = default;
DatabaseFixture::~DatabaseFixture() = default;

QStringList DatabaseFixture::engines()
{
    return {QStringLiteral("sqlite"), QStringLiteral("postgresql"), QStringLiteral("firebird")};
}

void DatabaseFixture::addEngineRows(bool withServer)
{
    QTest::addColumn<QString>("engine");
    QStringList all = engines();
    if (withServer)
        all << QStringLiteral("firebird-server");
    for (const QString& engine : std::as_const(all))
        QTest::newRow(qPrintable(engine)) << engine;
}

QString DatabaseFixture::passwordFrom(const char* variable)
{
    QFile file(qEnvironmentVariable(variable));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll()).trimmed();
}

bool DatabaseFixture::serversRequired()
{
    return qEnvironmentVariable("FIS_REQUIRE_SERVERS") == QLatin1String("1");
}

void DatabaseFixture::openEngine(const QString& engine, const TConnectionOptions& options)
{
    Entry& entry = m_entries[engine];
    entry.options = options;
    try {
        entry.module = TDataModuleFactory::open(options);
    } catch (const EFrameworkError& e) {
        entry.problem = engine + QStringLiteral(": ") + e.message();
        entry.broken = true;
    }
}

void DatabaseFixture::open()
{
    const QString password = qEnvironmentVariable("FIS_DB_PASSWORD");

    TConnectionOptions sqlite;
    sqlite.driver = QStringLiteral("sqlite");
    sqlite.database = m_dir.filePath(QStringLiteral("demo.sqlite"));
    TDataModuleFactory::makeDemo(sqlite.database);
    openEngine(QStringLiteral("sqlite"), sqlite);

    const QString pgDatabase = qEnvironmentVariable("FIS_PG_DATABASE");
    if (pgDatabase.isEmpty()) {
        m_entries[QStringLiteral("postgresql")].problem =
            QStringLiteral("PostgreSQL not configured (scripts/db-servers.sh start, then eval "
                           "\"$(scripts/db-servers.sh env)\")");
    } else {
        TConnectionOptions pg;
        pg.driver = QStringLiteral("postgresql");
        pg.database = pgDatabase;
        pg.host = qEnvironmentVariable("FIS_PG_HOST");
        pg.port = qEnvironmentVariableIntValue("FIS_PG_PORT");
        pg.user = qEnvironmentVariable("FIS_PG_USER");
        pg.password = password;
        openEngine(QStringLiteral("postgresql"), pg);
    }

    const QString fbDatabase = qEnvironmentVariable("FIS_FB_DATABASE");
    if (fbDatabase.isEmpty()) {
        m_entries[QStringLiteral("firebird")].problem =
            QStringLiteral("Firebird not configured (scripts/db-servers.sh start, then eval "
                           "\"$(scripts/db-servers.sh env)\")");
    } else {
        // Embedded Firebird lets one process at a time open a file, and tests run in
        // parallel: each fixture reads its own copy.
        const QString copy = m_dir.filePath(QStringLiteral("demo.fdb"));
        if (!QFile::copy(fbDatabase, copy)) {
            Entry& entry = m_entries[QStringLiteral("firebird")];
            entry.problem = QStringLiteral("firebird: cannot copy %1").arg(fbDatabase);
            entry.broken = true;
        } else {
            TConnectionOptions fb;
            fb.driver = QStringLiteral("firebird");
            fb.database = copy;
            fb.user = qEnvironmentVariable("FIS_FB_USER");
            fb.password = password;
            openEngine(QStringLiteral("firebird"), fb);
        }
    }

    const QString fbServer = qEnvironmentVariable("FIS_FB_SERVER_DATABASE");
    if (fbServer.isEmpty()) {
        m_entries[QStringLiteral("firebird-server")].problem =
            QStringLiteral("Firebird server not configured (scripts/db-servers.sh start, then "
                           "eval \"$(scripts/db-servers.sh env)\")");
    } else {
        TConnectionOptions fb;
        fb.driver = QStringLiteral("firebird");
        fb.host = qEnvironmentVariable("FIS_FB_HOST");
        fb.port = qEnvironmentVariableIntValue("FIS_FB_PORT");
        fb.database = fbServer;
        fb.user = qEnvironmentVariable("FIS_FB_USER");
        fb.password = passwordFrom("FIS_FB_PASSWORD_FILE");
        openEngine(QStringLiteral("firebird-server"), fb);
    }
}

TdtmDBGeral* DatabaseFixture::module(const QString& engine) const
{
    const auto it = m_entries.find(engine);
    return it == m_entries.end() ? nullptr : it->second.module.get();
}

QSqlDatabase DatabaseFixture::database(const QString& engine) const
{
    const TdtmDBGeral* m = module(engine);
    return m ? m->adcGeral->database() : QSqlDatabase();
}

TDemoData::Engine DatabaseFixture::engineOf(const QString& engine) const
{
    if (engine == QLatin1String("postgresql"))
        return TDemoData::Engine::PostgreSQL;
    if (engine.startsWith(QLatin1String("firebird")))
        return TDemoData::Engine::Firebird;
    return TDemoData::Engine::SQLite;
}

TConnectionOptions DatabaseFixture::options(const QString& engine) const
{
    const auto it = m_entries.find(engine);
    return it == m_entries.end() ? TConnectionOptions() : it->second.options;
}

QString DatabaseFixture::problem(const QString& engine) const
{
    const auto it = m_entries.find(engine);
    if (it == m_entries.end())
        return engine + QStringLiteral(": not opened (call open() in initTestCase)");
    return it->second.problem;
}

bool DatabaseFixture::broken(const QString& engine) const
{
    const auto it = m_entries.find(engine);
    return it == m_entries.end() || it->second.broken;
}
