// Report queries a clerk could write to change data, write files or disturb other
// sessions, run through the reader's own connection as a report runs them, past any
// text check: the database itself must refuse each one, leave its rows as they were
// and write no file. On SQLite, PostgreSQL and Firebird, embedded and server.
#include "DatabaseFixture.h"

#include "EFrameworkError.h"
#include "TADOIBQuery.h"
#include "TReadStatement.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

namespace {

// Runs sql as a report does and reads every row; the database's refusal, or empty.
QString runAsReport(TdtmDBGeral* module, const QString& sql, const QVariantMap& values = {},
                    QStringList* firstColumn = nullptr)
{
    TADOIBQuery query;
    query.setADOConnection(module->adcGeral);
    query.setDataBase(module->dtbGeral);
    query.setTransaction(module->ibtGeral);
    query.setParamCheck(true);
    query.setSQL({sql});
    query.setSQL_IB({sql});
    for (auto it = values.begin(); it != values.end(); ++it)
        query.ParamByName(it.key()).SetAsVariant(it.value());
    try {
        query.Open();
        query.Query()->fetchAll();
        for (int r = 0; firstColumn && r < query.Query()->rowCount(); ++r)
            *firstColumn << query.Query()->value(r, 0).toString();
    } catch (const EFrameworkError& e) {
        return e.detail().isEmpty() ? e.message() : e.detail();
    }
    return QString();
}

// What a write would change, read on a second connection of the same login.
QString stateOf(const QSqlDatabase& observer, const QString& engine)
{
    QString sql;
    if (engine == u"sqlite")
        sql = QStringLiteral("SELECT (SELECT COUNT(*) FROM DOCFISCAL), (SELECT COUNT(*) FROM "
                             "EMPRESA), (SELECT COUNT(*) FROM sqlite_master), (SELECT "
                             "MIN(NMRAZSOCEMPR) FROM EMPRESA), (SELECT user_version FROM "
                             "pragma_user_version)");
    else if (engine == u"postgresql")
        sql = QStringLiteral("SELECT (SELECT COUNT(*) FROM DOCFISCAL), (SELECT COUNT(*) FROM "
                             "EMPRESA), (SELECT COUNT(*) FROM pg_largeobject_metadata), (SELECT "
                             "COUNT(*) FROM pg_class WHERE relname = 'hostil'), (SELECT "
                             "MIN(NMRAZSOCEMPR) FROM EMPRESA), (SELECT COUNT(*) FROM pg_locks "
                             "WHERE locktype = 'advisory')");
    else
        sql = QStringLiteral("SELECT (SELECT COUNT(*) FROM DOCFISCAL), (SELECT COUNT(*) FROM "
                             "EMPRESA), (SELECT COUNT(*) FROM RDB$RELATIONS), (SELECT "
                             "MIN(NMRAZSOCEMPR) FROM EMPRESA) FROM RDB$DATABASE");
    QSqlQuery q(observer);
    if (!q.exec(sql) || !q.next())
        return QStringLiteral("observer failed: ") + q.lastError().text();
    QStringList fields;
    for (int i = 0; i < q.record().count(); ++i)
        fields << q.value(i).toString();
    return fields.join(u'|');
}

const char* const fbSelectable =
    "EXECUTE BLOCK RETURNS (N INTEGER) AS BEGIN %1; N = 1; SUSPEND; END";

} // namespace

class tst_HostileQueries : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { DatabaseFixture::addEngineRows(true); }
    void initTestCase() { m_fixture.open(); }

    void refusedByTheDatabase_data();
    void refusedByTheDatabase();
    void legacyByteShownReplaced();
    void readStatementCheck_data();
    void readStatementCheck();

private:
    DatabaseFixture m_fixture;
};

void tst_HostileQueries::refusedByTheDatabase_data()
{
    QTest::addColumn<QString>("only"); // the engine family it is written for, or empty
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("file"); // what it would write in the scratch folder

    QTest::newRow("delete") << ""
                            << "DELETE FROM DOCFISCAL"
                            << "";
    QTest::newRow("update") << ""
                            << "UPDATE EMPRESA SET NMRAZSOCEMPR = 'x'"
                            << "";
    QTest::newRow("insert") << ""
                            << "INSERT INTO EMPRESA (CDEMPRESA, NMRAZSOCEMPR) VALUES ('ZZ', 'x')"
                            << "";
    QTest::newRow("drop") << ""
                          << "DROP TABLE EMPRESA"
                          << "";
    QTest::newRow("create") << ""
                            << "CREATE TABLE HOSTIL (A INTEGER)"
                            << "";
    QTest::newRow("stacked") << ""
                             << "SELECT CDEMPRESA FROM EMPRESA; DELETE FROM EMPRESA"
                             << "";

    QTest::newRow("sqlite vacuum into") << "sqlite"
                                        << "VACUUM INTO '%DIR%/copia.sqlite'"
                                        << "copia.sqlite";
    QTest::newRow("sqlite attach") << "sqlite"
                                   << "ATTACH DATABASE '%DIR%/anexo.sqlite' AS anexo"
                                   << "anexo.sqlite";
    QTest::newRow("sqlite pragma user_version") << "sqlite"
                                                << "PRAGMA user_version = 7"
                                                << "";
    QTest::newRow("sqlite pragma writable_schema") << "sqlite"
                                                   << "PRAGMA writable_schema = 1"
                                                   << "";
    QTest::newRow("sqlite pragma journal_mode") << "sqlite"
                                                << "PRAGMA journal_mode = WAL"
                                                << "demo.sqlite-wal";
    QTest::newRow("sqlite temp table") << "sqlite"
                                       << "CREATE TEMP TABLE HOSTIL AS SELECT * FROM EMPRESA"
                                       << "";
    QTest::newRow("sqlite load_extension") << "sqlite"
                                           << "SELECT load_extension('%DIR%/x.so')"
                                           << "";
    QTest::newRow("sqlite cte delete") << "sqlite"
                                       << "WITH X AS (SELECT 1) DELETE FROM EMPRESA"
                                       << "";

    QTest::newRow("pg lo_from_bytea") << "postgresql"
                                      << "SELECT lo_from_bytea(0, 'abc'::bytea) AS N"
                                      << "";
    QTest::newRow("pg lo_create") << "postgresql"
                                  << "SELECT lo_create(0) AS N"
                                  << "";
    QTest::newRow("pg terminate others")
        << "postgresql"
        << "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = "
           "current_user AND pid <> pg_backend_pid()"
        << "";
    QTest::newRow("pg cancel others") << "postgresql"
                                      << "SELECT pg_cancel_backend(pid) FROM pg_stat_activity "
                                         "WHERE usename = current_user AND pid <> "
                                         "pg_backend_pid()"
                                      << "";
    QTest::newRow("pg notify") << "postgresql"
                               << "SELECT pg_notify('fis', 'x') AS N"
                               << "";
    QTest::newRow("pg advisory lock") << "postgresql"
                                      << "SELECT pg_advisory_lock(1) AS N"
                                      << "";
    QTest::newRow("pg try advisory lock") << "postgresql"
                                          << "SELECT pg_try_advisory_lock(1, 2) AS N"
                                          << "";
    QTest::newRow("pg temp table") << "postgresql"
                                   << "CREATE TEMP TABLE hostil AS SELECT 1 AS A"
                                   << "";
    QTest::newRow("pg read-only lifted")
        << "postgresql"
        << "SELECT set_config('default_transaction_read_only', 'off', false), lo_from_bytea(0, "
           "'x'::bytea)"
        << "";
    QTest::newRow("pg cte delete") << "postgresql"
                                   << "WITH D AS (DELETE FROM EMPRESA RETURNING *) SELECT * FROM D"
                                   << "";
    QTest::newRow("pg copy to program") << "postgresql"
                                        << "COPY (SELECT 1) TO PROGRAM 'touch /tmp/fis-hostil'"
                                        << "";
    QTest::newRow("pg read file") << "postgresql"
                                  << "SELECT pg_read_file('/etc/hostname')"
                                  << "";

    const QString es = QStringLiteral("EXECUTE STATEMENT '%1' %2 AS USER 'SYSDBA' PASSWORD "
                                      "'%ADMIN%'");
    const QString del = QStringLiteral("DELETE FROM DOCFISCAL");
    QTest::newRow("fb execute statement as SYSDBA")
        << "firebird" << QString::fromLatin1(fbSelectable).arg(es.arg(del, QString())) << "";
    QTest::newRow("fb execute statement autonomous")
        << "firebird"
        << QString::fromLatin1(fbSelectable)
               .arg(es.arg(del, QStringLiteral("WITH AUTONOMOUS TRANSACTION")))
        << "";
    QTest::newRow("fb on external file")
        << "firebird"
        << QString::fromLatin1(fbSelectable)
               .arg(es.arg(del, QStringLiteral("ON EXTERNAL '%FILE%' WITH AUTONOMOUS TRANSACTION")))
        << "";
    QTest::newRow("fb on external server")
        << "firebird"
        << QString::fromLatin1(fbSelectable)
               .arg(es.arg(del, QStringLiteral("ON EXTERNAL '%DSN%' WITH AUTONOMOUS TRANSACTION")))
        << "";
    QTest::newRow("fb in autonomous transaction")
        << "firebird"
        << QString::fromLatin1(fbSelectable)
               .arg(QStringLiteral("IN AUTONOMOUS TRANSACTION DO ") + es.arg(del, QString()))
        << "";
    QTest::newRow("fb autonomous own rights")
        << "firebird"
        << QString::fromLatin1(fbSelectable)
               .arg(QStringLiteral("IN AUTONOMOUS TRANSACTION DO DELETE FROM DOCFISCAL"))
        << "";
    QTest::newRow("fb create table as SYSDBA")
        << "firebird"
        << QString::fromLatin1(fbSelectable)
               .arg(es.arg(QStringLiteral("CREATE TABLE HOSTIL (A INTEGER)"),
                           QStringLiteral("WITH AUTONOMOUS TRANSACTION")))
        << "";
    QTest::newRow("fb block not selectable")
        << "firebird"
        << QStringLiteral("EXECUTE BLOCK AS BEGIN %1; END").arg(es.arg(del, QString())) << "";
    QTest::newRow("fb external table") << "firebird"
                                       << "CREATE TABLE HOSTIL EXTERNAL FILE '%DIR%/ext.dat' "
                                          "(A CHAR(10))"
                                       << "ext.dat";
}

void tst_HostileQueries::refusedByTheDatabase()
{
    FIS_FETCH_DATABASE(m_fixture, module);
    QFETCH(QString, only);
    QFETCH(QString, sql);
    QFETCH(QString, file);
    if (!only.isEmpty() && !engine.startsWith(only))
        QSKIP("written for another database");

    const TConnectionOptions options = m_fixture.options(engine);
    const QString dir = m_fixture.scratchPath();
    const QString admin = engine == u"firebird-server"
                              ? DatabaseFixture::passwordFrom("FIS_FB_ADMIN_PASSWORD_FILE")
                              : QStringLiteral("x");
    const QString dsn =
        options.host.isEmpty()
            ? options.database
            : QStringLiteral("%1/%2:%3").arg(options.host).arg(options.port).arg(options.database);
    sql.replace(QStringLiteral("%DIR%"), dir)
        .replace(QStringLiteral("%ADMIN%"), admin)
        .replace(QStringLiteral("%FILE%"), options.database)
        .replace(QStringLiteral("%DSN%"), dsn);

    const QString observerName = QStringLiteral("observer-") + engine;
    {
        QSqlDatabase observer =
            QSqlDatabase::cloneDatabase(module->adcGeral->database(), observerName);
        QVERIFY2(observer.open(), qPrintable(observer.lastError().text()));
        const QString before = stateOf(observer, engine);

        const QString refusal = runAsReport(module, sql);
        QVERIFY2(!refusal.isEmpty(), qPrintable(QStringLiteral("not refused: ") + sql));
        qInfo().noquote() << engine << "|" << QTest::currentDataTag() << "|"
                          << refusal.simplified().left(160);

        QCOMPARE(stateOf(observer, engine), before);
        if (!file.isEmpty())
            QVERIFY2(!QFile::exists(QDir(dir).filePath(file)), qPrintable(file));
        QVERIFY(!QFile::exists(QStringLiteral("/tmp/fis-hostil")));
        // The reader's own session is still good for the next report.
        QVERIFY2(runAsReport(module, QStringLiteral("SELECT CDEMPRESA FROM EMPRESA")).isEmpty(),
                 "the connection no longer reads");
        observer.close();
    }
    QSqlDatabase::removeDatabase(observerName);
}

// A name holding byte 0x9D, which WIN1252 leaves undefined: shown with U+FFFD, the row kept.
void tst_HostileQueries::legacyByteShownReplaced()
{
    FIS_FETCH_DATABASE(m_fixture, module);
    if (engine == u"sqlite")
        QSKIP("SQLite keeps texts as UTF-8: no code page to be invalid in");

    // The owner writes the row on a connection of its own, by bytes the client never decodes.
    TConnectionOptions options = m_fixture.options(engine);
    const QString ownerName = QStringLiteral("owner-") + engine;
    QString insert;
    {
        QSqlDatabase owner = QSqlDatabase::cloneDatabase(module->adcGeral->database(), ownerName);
        if (engine == u"postgresql") {
            owner.setUserName(qEnvironmentVariable("FIS_PG_ADMIN_USER"));
            insert = QStringLiteral("INSERT INTO EMPRESA (CDEMPRESA, NMRAZSOCEMPR) VALUES ('9D', "
                                    "'Fornecedor ' || chr(157) || ' Ltda')");
        } else {
            owner.setUserName(QStringLiteral("SYSDBA"));
            owner.setPassword(engine == u"firebird-server"
                                  ? DatabaseFixture::passwordFrom("FIS_FB_ADMIN_PASSWORD_FILE")
                                  : QString());
            insert = QStringLiteral(
                "INSERT INTO EMPRESA (CDEMPRESA, NMRAZSOCEMPR) VALUES ('9D', CAST('Fornecedor ' "
                "AS VARCHAR(11) CHARACTER SET WIN1252) || CAST(ASCII_CHAR(157) AS VARCHAR(1) "
                "CHARACTER SET WIN1252) || CAST(' Ltda' AS VARCHAR(5) CHARACTER SET WIN1252))");
        }
        QVERIFY2(owner.open(), qPrintable(owner.lastError().text()));
        QSqlQuery q(owner);
        q.exec(QStringLiteral("DELETE FROM EMPRESA WHERE CDEMPRESA = '9D'"));
        QVERIFY2(q.exec(insert), qPrintable(q.lastError().text()));

        QStringList names;
        const QString failure = runAsReport(
            module, QStringLiteral("SELECT NMRAZSOCEMPR FROM EMPRESA WHERE CDEMPRESA = :C"),
            {{QStringLiteral("C"), QStringLiteral("9D")}}, &names);
        QVERIFY(q.exec(QStringLiteral("DELETE FROM EMPRESA WHERE CDEMPRESA = '9D'")));
        owner.close();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QCOMPARE(names, QStringList{QStringLiteral(u"Fornecedor \uFFFD Ltda")});
    }
    QSqlDatabase::removeDatabase(ownerName);
    // Accented names of the same rows are still read right.
    QStringList accented;
    QVERIFY(runAsReport(module,
                        QStringLiteral("SELECT NMRAZSOCEMPR FROM EMPRESA ORDER BY CDEMPRESA"), {},
                        &accented)
                .isEmpty());
    QVERIFY(!accented.join(QString()).contains(QChar(0xFFFD)));
}

void tst_HostileQueries::readStatementCheck_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("problem"); // a word of the message; empty: accepted
    QTest::newRow("select") << "SELECT A FROM T WHERE B = ';' -- DELETE"
                            << "";
    QTest::newRow("with") << "WITH X AS (SELECT 1 AS A) SELECT A FROM X;"
                          << "";
    QTest::newRow("quoted name") << "SELECT \"UPDATE\" FROM T"
                                 << "";
    QTest::newRow("parenthesized") << "(SELECT 1) UNION (SELECT 2)"
                                   << "";
    QTest::newRow("empty") << "  -- nada\n"
                           << "vazia";
    QTest::newRow("stacked") << "SELECT 1; DELETE FROM T"
                             << "único comando";
    QTest::newRow("delete") << "DELETE FROM T"
                            << "DELETE";
    QTest::newRow("vacuum") << "VACUUM INTO '/tmp/x'"
                            << "VACUUM";
    QTest::newRow("pragma") << "PRAGMA user_version = 1"
                            << "PRAGMA";
    QTest::newRow("execute block") << "EXECUTE BLOCK AS BEGIN END"
                                   << "EXECUTE";
    QTest::newRow("cte write") << "WITH D AS (DELETE FROM T RETURNING *) SELECT * FROM D"
                               << "DELETE";
    QTest::newRow("select into") << "SELECT * INTO NOVA FROM T"
                                 << "INTO";
    QTest::newRow("for update") << "SELECT * FROM T FOR UPDATE"
                                << "UPDATE";
}

void tst_HostileQueries::readStatementCheck()
{
    QFETCH_GLOBAL(QString, engine);
    if (engine != u"sqlite")
        QSKIP("the text check is the same for every database");
    QFETCH(QString, sql);
    QFETCH(QString, problem);
    const QString told = TReadStatement::problem(sql);
    if (problem.isEmpty())
        QVERIFY2(told.isEmpty(), qPrintable(told));
    else
        QVERIFY2(told.contains(problem), qPrintable(told));
}

QTEST_MAIN(tst_HostileQueries)
#include "tst_HostileQueries.moc"
