#include "ReportFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <functional>
#include <sys/mount.h>
#include <unistd.h>

using namespace ReportFixture;

// fisreport under the faults a scheduler meets: a damaged or locked file, a missing one, a
// server that freezes or drops the session, a full disk, a folder it may not write, and
// the scheduler's own SIGTERM. Each says what happened in Portuguese, the database's text
// on a second line where there is one, and leaves no file (an old one kept as it was).
class tst_FisReportFaults : public QObject
{
    Q_OBJECT

    enum Fault
    {
        None,
        SigtermAtOneSecond,
        LockFile,
        FreezeServerThenSigterm,
        DropSession,
        FullDisk,
        ReadOnlyFolder,
    };

    QTemporaryDir m_dir;
    QString m_database;
    QString m_reports;

    static bool serversRequired() { return qEnvironmentVariable("FIS_REQUIRE_SERVERS") == "1"; }
    static bool hasPostgres() { return !qEnvironmentVariableIsEmpty("FIS_PG_DATABASE"); }
    static bool hasFirebirdServer() { return !qEnvironmentVariableIsEmpty("FIS_FB_HOST"); }

    // The Firebird server's process: the whole server is frozen, as a hung host is.
    static qint64 firebirdServer()
    {
        QFile pid(QFileInfo(qEnvironmentVariable("FIS_FB_PASSWORD_FILE"))
                      .dir()
                      .filePath(QStringLiteral("server.pid")));
        return pid.open(QIODevice::ReadOnly) ? pid.readAll().trimmed().toLongLong() : 0;
    }

    // A copy of the shipped listing under another name, with its query's FROM replaced
    // (and its ORDER BY dropped when sorted is false).
    void addReport(const QString& name, const QString& from, bool sorted)
    {
        QFile shipped(reportsDirectory() + QStringLiteral("/FIS012_01.json"));
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        QJsonObject report = QJsonDocument::fromJson(shipped.readAll()).object();
        QStringList sql;
        for (const QJsonValue& line :
             report[QStringLiteral("query")][QStringLiteral("SQL")].toArray())
            sql << line.toString();
        QString text = sql.join(u'\n');
        text.replace(QStringLiteral("   DOCFISCAL D\n"), from + u'\n');
        if (!sorted)
            text = text.left(text.indexOf(QStringLiteral("ORDER BY")));
        report[QStringLiteral("name")] = name;
        report[QStringLiteral("title")] = name;
        report[QStringLiteral("query")] =
            QJsonObject{{QStringLiteral("SQL"), QJsonArray::fromStringList(text.split(u'\n'))}};
        QFile file(m_reports + QStringLiteral("/FIS012_%1.json").arg(90 + QDir(m_reports).count()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(report).toJson());
    }

    QStringList sqlite(const QString& report, const QString& output,
                       const QString& database = {}) const
    {
        return {QStringLiteral("--database"), database.isEmpty() ? m_database : database,
                QStringLiteral("--reports"),  m_reports,
                QStringLiteral("--code"),     QStringLiteral("FIS012"),
                QStringLiteral("--report"),   report,
                QStringLiteral("--output"),   output,
                QStringLiteral("--param"),    QStringLiteral("P_DTENTRINI=2000-01-01"),
                QStringLiteral("--param"),    QStringLiteral("P_DTENTRFIM=2030-12-31")};
    }

    static QSqlDatabase postgresAdmin()
    {
        QSqlDatabase db = QSqlDatabase::database(QStringLiteral("pgadmin"));
        if (db.isValid() && db.isOpen())
            return db;
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("pgadmin"));
        db.setHostName(qEnvironmentVariable("FIS_PG_HOST"));
        db.setPort(qEnvironmentVariableIntValue("FIS_PG_PORT"));
        db.setDatabaseName(qEnvironmentVariable("FIS_PG_DATABASE"));
        db.setUserName(qEnvironmentVariable("FIS_PG_ADMIN_USER"));
        db.setPassword(qEnvironmentVariable("FIS_DB_PASSWORD"));
        db.open();
        return db;
    }

    // The server process of fisreport's running report statement, once it runs.
    static qint64 reportBackend()
    {
        QSqlQuery q(postgresAdmin());
        for (int tries = 0; tries < 100; ++tries) {
            if (q.exec(QStringLiteral("SELECT pid FROM pg_stat_activity WHERE state = 'active' "
                                      "AND query LIKE '%pg_sleep%' AND pid <> pg_backend_pid() "
                                      "ORDER BY backend_start DESC LIMIT 1")) &&
                q.next())
                return q.value(0).toLongLong();
            QThread::msleep(50);
        }
        return 0;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_database = m_dir.filePath(QStringLiteral("docs.sqlite"));
        m_reports = m_dir.filePath(QStringLiteral("reports"));
        QVERIFY(QDir().mkpath(m_reports));
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("make"));
            db.setDatabaseName(m_database);
            QVERIFY(db.open());
            QStringList statements = schema();
            // Enough rows that the documents fill pages past the file's first half.
            statements << QStringLiteral(
                "WITH RECURSIVE N(I) AS (SELECT 1 UNION ALL SELECT I + 1 FROM N WHERE I < 20000) "
                "INSERT INTO DOCFISCAL (CDEMPRESA, CDINSCESTA, CDINSCMUNI, CDFILIAL, "
                "IDENTRSAIDOP, CDTIPOOPER, NRDOCUMENTO, DTENTRADA, CDCLIFOR, NMCLIFOR, "
                "VLDOCUMENTO, VLIRRF) SELECT '01', 'IE1', 'IM1', '0001', 'E', '01', 9000 + I, "
                "'2024-01-05', '22222222000122', 'FORNECEDOR ' || I, I, 0 FROM N");
            for (const QString& sql : std::as_const(statements)) {
                QSqlQuery q(db);
                QVERIFY2(q.exec(sql), qPrintable(q.lastError().text()));
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("make"));
        QFile::copy(reportsDirectory() + QStringLiteral("/FIS012_01.json"),
                    m_reports + QStringLiteral("/FIS012_01.json"));
        // Rows without end, as fast as SQLite makes them; sorted, none before the sort ends.
        const QString endless = QStringLiteral(
            "   (SELECT X.* FROM (WITH RECURSIVE G(I) AS (SELECT 1 UNION ALL SELECT I + 1 FROM G "
            "WHERE I < 1000000000) SELECT I FROM G) CROSS JOIN DOCFISCAL X) D");
        addReport(QStringLiteral("Sem Fim"), endless, false);
        addReport(QStringLiteral("Sem Fim Ordenada"), endless, true);
        // Rows without end on Firebird, streamed.
        addReport(QStringLiteral("Cruzada"),
                  QStringLiteral("   DOCFISCAL D CROSS JOIN DOCFISCAL D2 CROSS JOIN DOCFISCAL D3"),
                  false);
        // A row each 50 ms on PostgreSQL.
        addReport(QStringLiteral("Lenta"),
                  QStringLiteral("   DOCFISCAL D CROSS JOIN LATERAL (SELECT 1 AS Z FROM "
                                 "pg_sleep(0.05 + 0 * length(D.NRDOCUMENTO))) S"),
                  false);
    }

    void cleanup()
    {
        // A mount left by a failed row.
        for (const QString& folder : {QStringLiteral("cheio"), QStringLiteral("leitura")})
            ::umount2(QFile::encodeName(m_dir.filePath(folder)).constData(), MNT_DETACH);
    }

    void faults_data()
    {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("detail");

        const QString listagem = QStringLiteral("Listagem dos Documentos");
        const QString stopped = QStringLiteral("interrompida; nenhum arquivo foi gravado");
        for (const char* format : {"pdf", "csv", "xlsx"})
            QTest::addRow("SIGTERM at 1 s, %s", format)
                << "sqlite"
                << "Sem Fim" << QStringLiteral("saida.%1").arg(format) << int(SigtermAtOneSecond)
                << stopped << QString();
        QTest::newRow("SIGTERM at 1 s, before the first row")
            << "sqlite"
            << "Sem Fim Ordenada"
            << "saida.csv" << int(SigtermAtOneSecond) << stopped << QString();
        QTest::newRow("sqlite file truncated")
            << "truncated" << listagem << "saida.csv" << int(None) << "danificado"
            << "malformed";
        QTest::newRow("sqlite file locked by a writer")
            << "sqlite" << listagem << "saida.csv" << int(LockFile)
            << "está bloqueado por outro programa"
            << "database is locked";
        QTest::newRow("firebird file missing") << "firebird" << listagem << "saida.csv" << int(None)
                                               << "não foi encontrado" << QString();
        for (const char* format : {"csv", "xlsx"})
            QTest::addRow("disk full, %s", format)
                << "sqlite" << listagem << QStringLiteral("cheio/saida.%1").arg(format)
                << int(FullDisk) << QStringLiteral("/cheio/saida.%1': o disco da pasta").arg(format)
                << QString();
        QTest::newRow("read-only folder")
            << "sqlite" << listagem << "leitura/saida.xlsx" << int(ReadOnlyFolder)
            << "/leitura/saida.xlsx': a pasta" << QString();
        QTest::newRow("postgresql frozen, SIGTERM at 1 s")
            << "postgresql"
            << "Lenta"
            << "saida.xlsx" << int(FreezeServerThenSigterm) << stopped << QString();
        QTest::newRow("firebird server frozen mid-read, SIGTERM at 1 s")
            << "firebird-server"
            << "Cruzada"
            << "saida.csv" << int(FreezeServerThenSigterm) << stopped << QString();
        QTest::newRow("postgresql session dropped after the first rows")
            << "postgresql"
            << "Lenta"
            << "saida.pdf" << int(DropSession) << "A conexão com o banco de dados foi perdida"
            << "terminating connection";
    }

    void faults()
    {
        QFETCH(QString, driver);
        QFETCH(QString, report);
        QFETCH(QString, output);
        QFETCH(int, fault);
        QFETCH(QString, message);
        QFETCH(QString, detail);

        const QString path = m_dir.filePath(output);
        const QString folder = QFileInfo(path).absolutePath();
        QVERIFY(QDir().mkpath(folder));
        QStringList args;
        if (driver == QLatin1String("postgresql")) {
            if (!hasPostgres()) {
                if (serversRequired())
                    QFAIL("PostgreSQL not configured");
                QSKIP("PostgreSQL not configured (scripts/db-servers.sh)");
            }
            args = sqlite(report, path);
            args[1] = qEnvironmentVariable("FIS_PG_DATABASE");
            args << QStringLiteral("--driver") << driver << QStringLiteral("--host")
                 << qEnvironmentVariable("FIS_PG_HOST") << QStringLiteral("--port")
                 << qEnvironmentVariable("FIS_PG_PORT") << QStringLiteral("--user")
                 << qEnvironmentVariable("FIS_PG_USER");
        } else if (driver == QLatin1String("firebird-server")) {
            if (!hasFirebirdServer()) {
                if (serversRequired())
                    QFAIL("Firebird server not configured");
                QSKIP("Firebird server not configured (scripts/db-servers.sh)");
            }
            args = sqlite(report, path, qEnvironmentVariable("FIS_FB_SERVER_DATABASE"));
            args << QStringLiteral("--driver") << QStringLiteral("firebird")
                 << QStringLiteral("--host") << qEnvironmentVariable("FIS_FB_HOST")
                 << QStringLiteral("--port") << qEnvironmentVariable("FIS_FB_PORT")
                 << QStringLiteral("--user") << qEnvironmentVariable("FIS_FB_USER")
                 << QStringLiteral("--password-file")
                 << qEnvironmentVariable("FIS_FB_PASSWORD_FILE");
        } else if (driver == QLatin1String("firebird")) {
            args = sqlite(report, path, m_dir.filePath(QStringLiteral("nao-existe.fdb")));
            args << QStringLiteral("--driver") << driver << QStringLiteral("--user")
                 << QStringLiteral("FISLEITOR");
        } else if (driver == QLatin1String("truncated")) {
            const QString cut = m_dir.filePath(QStringLiteral("cortado.sqlite"));
            QFile::remove(cut);
            QVERIFY(QFile::copy(m_database, cut));
            QVERIFY(QFile::resize(cut, QFileInfo(m_database).size() / 2));
            args = sqlite(report, path, cut);
        } else {
            args = sqlite(report, path);
        }

        // A full disk and a folder no one may write need a file system of their own.
        if (fault == FullDisk || fault == ReadOnlyFolder) {
            if (::geteuid() != 0) {
                if (fault == FullDisk)
                    QSKIP("a small file system needs root to mount it");
                QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
            } else {
                QVERIFY2(::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs",
                                 fault == ReadOnlyFolder ? MS_RDONLY : 0, "size=256k") == 0,
                         "mount tmpfs");
            }
        }
        // An old file of that name is kept whole whatever happens.
        const bool keepsOld = fault != FullDisk && fault != ReadOnlyFolder;
        if (keepsOld) {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("anterior");
        }

        QSqlDatabase locker;
        if (fault == LockFile) {
            locker = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("lock"));
            locker.setDatabaseName(m_database);
            QVERIFY(locker.open());
            QVERIFY(QSqlQuery(locker).exec(QStringLiteral("BEGIN EXCLUSIVE")));
        }

        QProcess p;
        p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/fisreport"), args);
        QVERIFY(p.waitForStarted());
        qint64 backend = 0;
        qint64 frozenServer = 0;
        qint64 stopMs = -1;
        if (fault == SigtermAtOneSecond || fault == FreezeServerThenSigterm) {
            if (fault == FreezeServerThenSigterm) {
                if (driver == QLatin1String("firebird-server")) {
                    // Once rows flow: the output's hidden temporary has grown.
                    const auto flowing = [&folder] {
                        const QFileInfoList files =
                            QDir(folder).entryInfoList(QDir::Files | QDir::Hidden);
                        return std::any_of(files.begin(), files.end(), [](const QFileInfo& f) {
                            return f.fileName().startsWith(u'.') && f.size() > 0;
                        });
                    };
                    QTRY_VERIFY_WITH_TIMEOUT(flowing(), 20000);
                    frozenServer = firebirdServer();
                    QVERIFY(frozenServer > 0);
                    QVERIFY(::kill(pid_t(frozenServer), SIGSTOP) == 0);
                } else {
                    backend = reportBackend();
                    QVERIFY(backend > 0);
                    QVERIFY(::kill(pid_t(backend), SIGSTOP) == 0);
                }
            }
            QVERIFY(!p.waitForFinished(1000));
            QElapsedTimer signalled;
            signalled.start();
            ::kill(pid_t(p.processId()), SIGTERM);
            p.waitForFinished(30000);
            stopMs = signalled.elapsed();
        } else if (fault == DropSession) {
            backend = reportBackend();
            QVERIFY(backend > 0);
            QThread::msleep(300);
            QSqlQuery q(postgresAdmin());
            QVERIFY(q.exec(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(backend)));
            backend = 0;
        }
        if (!p.waitForFinished(60000))
            p.kill();
        if (frozenServer > 0)
            ::kill(pid_t(frozenServer), SIGCONT);
        if (backend > 0) {
            ::kill(pid_t(backend), SIGCONT);
            // Gone before the next row looks for its own.
            QSqlQuery q(postgresAdmin());
            for (int tries = 0; tries < 100; ++tries) {
                q.exec(
                    QStringLiteral("SELECT 1 FROM pg_stat_activity WHERE pid = %1").arg(backend));
                if (!q.next())
                    break;
                QThread::msleep(50);
            }
        }
        if (locker.isValid()) {
            locker.close();
            locker = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("lock"));
        }
        const QString err = QString::fromUtf8(p.readAllStandardError());
        const QStringList lines = err.split(u'\n', Qt::SkipEmptyParts);
        const QStringList entries =
            QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
        cleanup();
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        QVERIFY2(!lines.isEmpty() && lines.first().startsWith(QStringLiteral("fisreport: ")) &&
                     lines.first().contains(message),
                 qPrintable(err));
        // Nothing any library printed on its own, and the database's text on the second line.
        for (const QString& line : lines.mid(1))
            QVERIFY2(line.startsWith(QStringLiteral("  ")), qPrintable(err));
        if (!detail.isEmpty())
            QVERIFY2(lines.size() > 1 && lines[1].contains(detail), qPrintable(err));
        QVERIFY2(!err.contains(QStringLiteral("/.saida")), qPrintable(err));
        if (stopMs >= 0)
            QVERIFY2(stopMs < 1500, qPrintable(QString::number(stopMs)));
        // The old file whole, or none, and no temporary beside it.
        if (keepsOld) {
            QFile old(path);
            QVERIFY(old.open(QIODevice::ReadOnly));
            QCOMPARE(old.readAll(), QByteArray("anterior"));
        }
        const QString name = QFileInfo(path).fileName();
        QCOMPARE(entries.filter(name), keepsOld ? QStringList{name} : QStringList());
        QFile::remove(path);
    }
};

QTEST_GUILESS_MAIN(tst_FisReportFaults)
#include "tst_fisreportfaults.moc"
