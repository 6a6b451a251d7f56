// The server, the file and the rights failing under the screen: a lost connection is
// told once and reopened on the next action, a frozen server costs no more than the
// timeout, and no statement can lift the read-only rights.
#include "DatabaseFixture.h"
#include "EFrameworkError.h"
#include "LookupRows.h"
#include "RecordingPresenter.h"
#include "TADOIBQuery.h"
#include "TApplication.h"
#include "TDataModuleFactory.h"
#include "TMaskEdit.h"
#include "TfrmListDocumentos.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>
#include <csignal>

namespace {

const QString lostStart = QStringLiteral("A conexão com o banco de dados foi perdida.");

// The error Open raises, or an empty one when it ran.
EFrameworkError failureOf(TdtmDBGeral* module, const QString& sql)
{
    try {
        LookupRows::firstValue(module, sql);
    } catch (const EFrameworkError& e) {
        return e;
    }
    return EFrameworkError(QString());
}

bool postgresHelper(const char* action)
{
    QProcess p;
    p.start(qEnvironmentVariable("FIS_SOURCE_DIR") + QStringLiteral("/scripts/db-servers.sh"),
            {QLatin1String(action)});
    return p.waitForFinished(60000) && p.exitCode() == 0;
}

} // namespace

class tst_Reconnect : public QObject
{
    Q_OBJECT

    DatabaseFixture m_db;
    RecordingPresenter m_presenter;

    TdtmDBGeral* postgres()
    {
        TdtmDBGeral* module = m_db.module(QStringLiteral("postgresql"));
        if (!module && (m_db.broken(QStringLiteral("postgresql")) || m_db.serversRequired()))
            qFatal("%s", qPrintable(m_db.problem(QStringLiteral("postgresql"))));
        return module;
    }

private Q_SLOTS:
    void initTestCase_data() { DatabaseFixture::addEngineRows(); }
    void initTestCase() { m_db.open(); }
    void init() { m_presenter.clear(); }

    // Whatever a statement does to its session, the login's rights still refuse a write.
    void noStatementLiftsReadOnly()
    {
        FIS_FETCH_DATABASE(m_db, module);
        if (engine == u"postgresql")
            QCOMPARE(
                LookupRows::firstValue(module, QStringLiteral("SELECT set_config("
                                                              "'default_transaction_read_only', "
                                                              "'off', false)")),
                QStringLiteral("off"));
        const EFrameworkError e = failureOf(
            module, QStringLiteral("UPDATE EMPRESA SET NMRAZSOCEMPR = 'X' WHERE CDEMPRESA = '01'"));
        QVERIFY2(!e.message().isEmpty(), "the write ran");
        QVERIFY2(!e.detail().isEmpty(), qPrintable(e.message()));
        QCOMPARE(LookupRows::firstValue(module, QStringLiteral("SELECT COUNT(*) FROM EMPRESA WHERE "
                                                               "NMRAZSOCEMPR = 'X'")),
                 QStringLiteral("0"));
    }

    // A connection closed under the screen is opened again, with its session set up anew.
    void closedConnectionReopensWithItsSession()
    {
        FIS_FETCH_DATABASE(m_db, module);
        module->adcGeral->database().close();
        QCOMPARE(
            LookupRows::firstValue(module, QStringLiteral("SELECT COUNT(*) FROM EMPRESA")).toInt() >
                0,
            true);
        if (engine == u"postgresql")
            QCOMPARE(LookupRows::firstValue(module,
                                            QStringLiteral("SHOW default_transaction_read_only")),
                     QStringLiteral("on"));
    }

    void sqliteFileRemovedIsNamed()
    {
        QFETCH_GLOBAL(QString, engine);
        if (engine != u"sqlite")
            QSKIP("SQLite only");
        QTemporaryDir dir;
        TConnectionOptions o = m_db.options(engine);
        o.database = dir.filePath(QStringLiteral("copia.sqlite"));
        QVERIFY(QFile::copy(m_db.options(engine).database, o.database));
        const auto module = TDataModuleFactory::open(o);
        QVERIFY(QFile::rename(o.database, o.database + QStringLiteral(".fora")));
        const EFrameworkError e = failureOf(module.get(), QStringLiteral("SELECT 1"));
        QVERIFY2(e.message().startsWith(
                     QStringLiteral("O arquivo do banco de dados SQLite '%1' não pode ser lido")
                         .arg(o.database)),
                 qPrintable(e.message()));
        QVERIFY(QFile::rename(o.database + QStringLiteral(".fora"), o.database));
        QCOMPARE(LookupRows::firstValue(module.get(), QStringLiteral("SELECT 1")),
                 QStringLiteral("1"));
    }

    // Stopped and started again: told once, reopened by the next action; while the
    // server is still down the next action says so instead.
    void postgresRestartIsSurvived()
    {
        QFETCH_GLOBAL(QString, engine);
        if (engine != u"postgresql")
            QSKIP("PostgreSQL only");
        TdtmDBGeral* module = postgres();
        if (!module)
            QSKIP("PostgreSQL not configured");
        const QString count = QStringLiteral("SELECT COUNT(*) FROM EMPRESA");
        const QString before = LookupRows::firstValue(module, count);
        QVERIFY(postgresHelper("pg-stop"));
        const EFrameworkError lost = failureOf(module, count);
        QVERIFY2(lost.message().startsWith(lostStart), qPrintable(lost.message()));
        QVERIFY(!lost.detail().isEmpty());
        const EFrameworkError down = failureOf(module, count);
        QVERIFY2(down.message().contains(QStringLiteral("ainda não pôde ser reaberta")),
                 qPrintable(down.message()));
        QVERIFY(postgresHelper("pg-start"));
        QCOMPARE(LookupRows::firstValue(module, count), before);
    }

    // The backend frozen: the statement gives up after the timeout, and the next one runs
    // on a new session once the server answers again.
    void frozenServerCostsOnlyTheTimeout()
    {
        QFETCH_GLOBAL(QString, engine);
        if (engine != u"postgresql")
            QSKIP("PostgreSQL only");
        TdtmDBGeral* module = postgres();
        if (!module)
            QSKIP("PostgreSQL not configured");
        const int backend =
            LookupRows::firstValue(module, QStringLiteral("SELECT pg_backend_pid()")).toInt();
        QVERIFY(backend > 0);
        module->adcGeral->setStatementTimeout(1000);
        QVERIFY(::kill(backend, SIGSTOP) == 0);
        QElapsedTimer clock;
        clock.start();
        const EFrameworkError e = failureOf(module, QStringLiteral("SELECT COUNT(*) FROM EMPRESA"));
        const qint64 waited = clock.elapsed();
        ::kill(backend, SIGCONT);
        module->adcGeral->setStatementTimeout(0);
        QVERIFY2(e.message().startsWith(QStringLiteral("O banco de dados não respondeu dentro "
                                                       "do tempo limite (1 s)")),
                 qPrintable(e.message()));
        QVERIFY2(waited < 5000, qPrintable(QString::number(waited)));
        QVERIFY(LookupRows::firstValue(module, QStringLiteral("SELECT pg_backend_pid()")).toInt() !=
                backend);
    }

    // On the screen: the exit check that meets the lost connection tells it once, keeps
    // the value and the focus; the next try runs on the reopened connection.
    void screenKeepsItsFilterAcrossARestart()
    {
        QFETCH_GLOBAL(QString, engine);
        if (engine != u"postgresql")
            QSKIP("PostgreSQL only");
        TdtmDBGeral* module = postgres();
        if (!module)
            QSKIP("PostgreSQL not configured");
        TApplication::instance()->setReportDirectory(qEnvironmentVariable("FIS_SOURCE_DIR") +
                                                     QStringLiteral("/reports"));
        TdtmDBGeral* was = dtmDBGeral;
        dtmDBGeral = module;
        {
            TfrmListDocumentos form;
            form.show();
            QVERIFY(QTest::qWaitForWindowActive(&form));
            form.medCdEmpresa->setFocus();
            QTest::keyClicks(form.medCdEmpresa, QStringLiteral("01"));
            QVERIFY(postgresHelper("pg-stop"));
            QVERIFY(postgresHelper("pg-start"));
            m_presenter.clear();
            QTest::keyClick(form.medCdEmpresa, Qt::Key_Tab);
            QCOMPARE(m_presenter.errors.size(), 1);
            QVERIFY2(m_presenter.errors.first().startsWith(lostStart),
                     qPrintable(m_presenter.errors.first()));
            QCOMPARE(form.focusWidget(), form.medCdEmpresa);
            QCOMPARE(form.medCdEmpresa->text(), QStringLiteral("01"));
            QTest::keyClick(form.medCdEmpresa, Qt::Key_Tab);
            QCOMPARE(m_presenter.errors.size(), 1);
            QVERIFY(!form.edtNmEmpresa->text().isEmpty());
            QVERIFY(form.focusWidget() != form.medCdEmpresa);
        }
        dtmDBGeral = was;
    }
};

QTEST_MAIN(tst_Reconnect)
#include "tst_Reconnect.moc"
