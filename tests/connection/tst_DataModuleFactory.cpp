// How the host opens its one connection: the SQLite demo made on first run, and clear
// Portuguese errors when a database cannot be opened.
#include "EFrameworkError.h"
#include "TDataModuleFactory.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

TConnectionOptions sqliteAt(const QString& path)
{
    TConnectionOptions o;
    o.driver = QStringLiteral("sqlite");
    o.database = path;
    return o;
}

// The message of the error the factory throws, or an empty text when it opened.
QString openError(const TConnectionOptions& options, QString* detail = nullptr)
{
    try {
        TDataModuleFactory::open(options);
    } catch (const EFrameworkError& e) {
        if (detail)
            *detail = e.detail();
        return e.message();
    }
    return {};
}

// A made demo at path: only the demo's default path is ever made by open().
TConnectionOptions demoAt(const QString& path)
{
    TDataModuleFactory::makeDemo(path);
    return sqliteAt(path);
}

int companies(const TdtmDBGeral& module)
{
    QSqlQuery q(module.adcGeral->database());
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM EMPRESA")) && q.next() ? q.value(0).toInt()
                                                                              : -1;
}

// Restores an environment variable when the test ends, however it ends.
class EnvironmentGuard
{
public:
    explicit EnvironmentGuard(const char* name)
        : m_name(name), m_was(qEnvironmentVariableIsSet(name)), m_value(qgetenv(name))
    {
    }
    ~EnvironmentGuard()
    {
        if (m_was)
            qputenv(m_name, m_value);
        else
            qunsetenv(m_name);
    }
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

private:
    const char* m_name;
    bool m_was;
    QByteArray m_value;
};

} // namespace

class tst_DataModuleFactory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sqliteDemoIsMadeOnFirstRunOnly();
    void missingFileIsNeverMade_data();
    void missingFileIsNeverMade();
    void sqliteDefaultPathFollowsXdg();
    void dataModuleSharesOneReadOnlyConnection();
    void destroyingTheModuleDropsItsConnection();
    void sqliteFileThatIsNotTheDatabaseIsRefused_data();
    void sqliteFileThatIsNotTheDatabaseIsRefused();
    void sqlitePathThatCannotBeMadeIsReported();
    void unknownDriverIsRefused();
    void missingPostgresServerIsReportedQuickly();
    void postgresLoginThatCanWriteIsRefused();
    void firebirdUserThatCanWriteIsRefused();
};

void tst_DataModuleFactory::sqliteDemoIsMadeOnFirstRunOnly()
{
    QTemporaryDir dir;
    EnvironmentGuard xdg("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("dados")).toLocal8Bit());
    const QString path = dir.filePath(QStringLiteral("dados/fis01200/demo.sqlite"));
    {
        const auto module = TDataModuleFactory::open(sqliteAt(path));
        QCOMPARE(companies(*module), 6);
    }
    QVERIFY(QFileInfo::exists(path));
    // Only the finished file is left: no temporary sibling of an interrupted build.
    QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files),
             QStringList{"demo.sqlite"});

    const QDateTime made = QFileInfo(path).lastModified();
    const qint64 size = QFileInfo(path).size();
    {
        const auto module = TDataModuleFactory::open(sqliteAt(path));
        QCOMPARE(companies(*module), 6);
    }
    QCOMPARE(QFileInfo(path).lastModified(), made);
    QCOMPARE(QFileInfo(path).size(), size);
}

void tst_DataModuleFactory::missingFileIsNeverMade_data()
{
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("name");
    QTest::newRow("sqlite beside the demo") << "sqlite"
                                            << "xdg/fis01200/fiscl.sqlite";
    QTest::newRow("sqlite named demo elsewhere") << "sqlite"
                                                 << "outro/demo.sqlite";
    QTest::newRow("firebird") << "firebird"
                              << "nao-existe/FISCAL.FDB";
}

void tst_DataModuleFactory::missingFileIsNeverMade()
{
    QFETCH(QString, driver);
    QFETCH(QString, name);
    QTemporaryDir dir;
    EnvironmentGuard xdg("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("xdg")).toLocal8Bit());
    TConnectionOptions o = sqliteAt(dir.filePath(name));
    o.driver = driver;
    const QStringList before = QSqlDatabase::connectionNames();
    QString detail;
    const QString error = openError(o, &detail);
    QCOMPARE(error, QStringLiteral("O arquivo do banco de dados %1 não foi encontrado; nenhum "
                                   "banco foi criado. Confira o caminho em Arquivo › Configurar "
                                   "conexão….")
                        .arg(o.database));
    QVERIFY(!detail.isEmpty());
    QVERIFY(!QFileInfo::exists(o.database));
    QVERIFY(!QFileInfo::exists(QFileInfo(o.database).absolutePath()));
    QCOMPARE(QSqlDatabase::connectionNames(), before);
}

void tst_DataModuleFactory::sqliteDefaultPathFollowsXdg()
{
    QTemporaryDir dir;
    EnvironmentGuard xdg("XDG_DATA_HOME");
    EnvironmentGuard home("HOME");

    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("xdg")).toLocal8Bit());
    TDataModuleFactory::open(sqliteAt(QString()));
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("xdg/fis01200/demo.sqlite"))));

    qunsetenv("XDG_DATA_HOME");
    qputenv("HOME", dir.filePath(QStringLiteral("casa")).toLocal8Bit());
    TDataModuleFactory::open(TConnectionOptions());
    QVERIFY(
        QFileInfo::exists(dir.filePath(QStringLiteral("casa/.local/share/fis01200/demo.sqlite"))));
}

void tst_DataModuleFactory::dataModuleSharesOneReadOnlyConnection()
{
    QTemporaryDir dir;
    const auto module = TDataModuleFactory::open(demoAt(dir.filePath("demo.sqlite")));
    QCOMPARE(module->objectName(), QStringLiteral("dtmDBGeral"));
    const QString name = module->adcGeral->connectionName();
    QCOMPARE(module->dtbGeral->connectionName(), name);
    QCOMPARE(module->ibtGeral->connectionName(), name);
    const QSqlDatabase db = module->adcGeral->database();
    QVERIFY(db.isOpen());
    QCOMPARE(db.driverName(), QStringLiteral("QSQLITE"));
    QVERIFY(db.connectOptions().contains(QLatin1String("QSQLITE_OPEN_READONLY")));
    QSqlQuery q(db);
    QVERIFY(!q.exec("DELETE FROM EMPRESA"));
    QVERIFY2(q.lastError().text().contains(QLatin1String("readonly")),
             qPrintable(q.lastError().text()));
}

void tst_DataModuleFactory::destroyingTheModuleDropsItsConnection()
{
    QTemporaryDir dir;
    const QStringList before = QSqlDatabase::connectionNames();
    auto module = TDataModuleFactory::open(demoAt(dir.filePath("demo.sqlite")));
    const QString name = module->adcGeral->connectionName();
    QVERIFY(QSqlDatabase::contains(name));
    auto second = TDataModuleFactory::open(sqliteAt(dir.filePath("demo.sqlite")));
    QVERIFY(second->adcGeral->connectionName() != name);
    module.reset();
    second.reset();
    QVERIFY(!QSqlDatabase::contains(name));
    QCOMPARE(QSqlDatabase::connectionNames(), before);
}

void tst_DataModuleFactory::sqliteFileThatIsNotTheDatabaseIsRefused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    QTest::newRow("text file") << QByteArray("não sou um banco de dados\n")
                               << "não contém as tabelas do sistema";
    QTest::newRow("empty database") << QByteArray() << "não contém as tabelas do sistema";
}

void tst_DataModuleFactory::sqliteFileThatIsNotTheDatabaseIsRefused()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath("outro.sqlite");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    const QStringList before = QSqlDatabase::connectionNames();
    const QString error = openError(sqliteAt(path));
    QVERIFY2(error.contains(expected), qPrintable(error));
    QVERIFY2(error.contains(path), qPrintable(error));
    QCOMPARE(QSqlDatabase::connectionNames(), before);
    // An existing file is the user's: it is neither replaced nor touched.
    QCOMPARE(QFileInfo(path).size(), qint64(content.size()));
}

void tst_DataModuleFactory::sqlitePathThatCannotBeMadeIsReported()
{
    QTemporaryDir dir;
    const QString blocker = dir.filePath("arquivo");
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    EnvironmentGuard xdg("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", blocker.toLocal8Bit());

    const QStringList before = QSqlDatabase::connectionNames();
    const QString error = openError(TConnectionOptions());
    QVERIFY2(error.startsWith(QStringLiteral("Não foi possível criar")), qPrintable(error));
    QVERIFY2(error.contains(blocker + QStringLiteral("/fis01200")), qPrintable(error));
    QCOMPARE(QSqlDatabase::connectionNames(), before);
}

void tst_DataModuleFactory::unknownDriverIsRefused()
{
    TConnectionOptions o;
    o.driver = QStringLiteral("oracle");
    const QString error = openError(o);
    QVERIFY2(error.contains(QLatin1String("\"oracle\"")), qPrintable(error));
    QVERIFY2(error.contains(QLatin1String("sqlite, postgresql ou firebird")), qPrintable(error));
}

void tst_DataModuleFactory::missingPostgresServerIsReportedQuickly()
{
    TConnectionOptions o;
    o.driver = QStringLiteral("postgresql");
    o.host = QStringLiteral("127.0.0.1");
    o.port = 1; // nothing listens there
    o.database = QStringLiteral("fis");
    o.user = QStringLiteral("fisleitor");
    QElapsedTimer timer;
    timer.start();
    const QStringList before = QSqlDatabase::connectionNames();
    QString detail;
    const QString error = openError(o, &detail);
    QVERIFY2(error.startsWith(QStringLiteral("O servidor do banco de dados fis em 127.0.0.1:1 não "
                                             "respondeu")),
             qPrintable(error));
    // The driver's own words are kept behind, so the user can tell a refusal from a bad password.
    QVERIFY2(detail.contains(QLatin1String("refused")) || detail.contains(QLatin1String("recusad")),
             qPrintable(detail));
    QVERIFY(timer.elapsed() < 10000);
    QCOMPARE(QSqlDatabase::connectionNames(), before);
}

void tst_DataModuleFactory::postgresLoginThatCanWriteIsRefused()
{
    if (qEnvironmentVariableIsEmpty("FIS_PG_DATABASE") ||
        qEnvironmentVariableIsEmpty("FIS_PG_ADMIN_USER")) {
        if (qEnvironmentVariable("FIS_REQUIRE_SERVERS") == QLatin1String("1"))
            QFAIL("PostgreSQL not configured");
        QSKIP("PostgreSQL not configured (scripts/db-servers.sh)");
    }
    TConnectionOptions o;
    o.driver = QStringLiteral("postgresql");
    o.host = qEnvironmentVariable("FIS_PG_HOST");
    o.port = qEnvironmentVariableIntValue("FIS_PG_PORT");
    o.database = qEnvironmentVariable("FIS_PG_DATABASE");
    // A superuser, owner of every table: its session could lift any read-only setting.
    o.user = qEnvironmentVariable("FIS_PG_ADMIN_USER");
    o.password = qEnvironmentVariable("FIS_DB_PASSWORD");
    const QString error = openError(o);
    QVERIFY2(error.contains(QStringLiteral("O usuário %1 pode gravar").arg(o.user)),
             qPrintable(error));
    o.user = qEnvironmentVariable("FIS_PG_USER");
    QCOMPARE(openError(o), QString());

    // A reader given back any one of the rights reader-role.sql takes from PUBLIC.
    QSqlDatabase admin =
        QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("admin"));
    admin.setHostName(o.host);
    admin.setPort(o.port);
    admin.setDatabaseName(o.database);
    admin.setUserName(qEnvironmentVariable("FIS_PG_ADMIN_USER"));
    admin.setPassword(o.password);
    QVERIFY2(admin.open(), qPrintable(admin.lastError().text()));
    QSqlQuery q(admin);
    QVERIFY(q.exec(QStringLiteral("DROP ROLE IF EXISTS fis_teste")));
    QVERIFY(q.exec(QStringLiteral("CREATE ROLE fis_teste LOGIN IN ROLE fis_leitores")));
    QVERIFY(q.exec(QStringLiteral("CREATE SEQUENCE IF NOT EXISTS fis_teste_seq")));
    o.user = QStringLiteral("fis_teste");
    QCOMPARE(openError(o), QString());
    for (const QString& right :
         QStringList{QStringLiteral("EXECUTE ON FUNCTION lo_from_bytea(oid, bytea)"),
                     QStringLiteral("EXECUTE ON FUNCTION pg_terminate_backend(integer, bigint)"),
                     QStringLiteral("EXECUTE ON FUNCTION pg_cancel_backend(integer)"),
                     QStringLiteral("EXECUTE ON FUNCTION pg_notify(text, text)"),
                     QStringLiteral("EXECUTE ON FUNCTION pg_advisory_lock(bigint)"),
                     QStringLiteral("TEMPORARY ON DATABASE ") + o.database,
                     QStringLiteral("USAGE ON SEQUENCE fis_teste_seq")}) {
        QVERIFY2(q.exec(QStringLiteral("GRANT %1 TO fis_teste").arg(right)),
                 qPrintable(q.lastError().text()));
        const QString refusal = openError(o);
        QVERIFY(q.exec(QStringLiteral("REVOKE %1 FROM fis_teste").arg(right)));
        QVERIFY2(refusal.contains(QStringLiteral("ainda pode gravar ou interferir")),
                 qPrintable(right + QStringLiteral(": ") + refusal));
    }
    QVERIFY(q.exec(QStringLiteral("DROP SEQUENCE fis_teste_seq")));
    QVERIFY(q.exec(QStringLiteral("DROP ROLE fis_teste")));
    q = QSqlQuery();
    admin.close();
    admin = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("admin"));
}

void tst_DataModuleFactory::firebirdUserThatCanWriteIsRefused()
{
    const QString source = qEnvironmentVariable("FIS_FB_DATABASE");
    if (source.isEmpty()) {
        if (qEnvironmentVariable("FIS_REQUIRE_SERVERS") == QLatin1String("1"))
            QFAIL("Firebird not configured");
        QSKIP("Firebird not configured (scripts/db-servers.sh)");
    }
    QTemporaryDir dir;
    TConnectionOptions o;
    o.driver = QStringLiteral("firebird");
    o.database = dir.filePath(QStringLiteral("fis.fdb"));
    QVERIFY(QFile::copy(source, o.database));

    for (const char* user : {"SYSDBA", "QUALQUER"}) {
        o.user = QString::fromLatin1(user);
        const QString error = openError(o);
        if (o.user == QLatin1String("SYSDBA"))
            QVERIFY2(error.contains(QStringLiteral("O usuário SYSDBA pode gravar")),
                     qPrintable(error));
        else // a user without rights is told so, not sent to look for another database
            QVERIFY2(error.contains(QStringLiteral("O usuário QUALQUER não tem permissão de "
                                                   "leitura")),
                     qPrintable(error));
    }
    o.user = QStringLiteral("FISLEITOR");
    const auto module = TDataModuleFactory::open(o);
    QCOMPARE(companies(*module), 6);
}

QTEST_GUILESS_MAIN(tst_DataModuleFactory)
#include "tst_DataModuleFactory.moc"
