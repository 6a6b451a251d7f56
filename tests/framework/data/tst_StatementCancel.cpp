// A long statement on each database: the clerk's cancel ends it soon with the silent
// abort, the time limit ends it with its message, and the connection serves the next
// lookup at once, also one started while the first is still ending. On the screen the
// wait dialog's Cancelar leaves the field's value and the focus where they were.
#include "DatabaseFixture.h"
#include "EAbort.h"
#include "EFrameworkError.h"
#include "LookupRows.h"
#include "RecordingPresenter.h"
#include "TADOIBDataSet.h"
#include "TADOIBQuery.h"
#include "TApplication.h"
#include "TDataModuleFactory.h"
#include "TMaskEdit.h"
#include "TRunningStatement.h"
#include "TStatementWaitDialog.h"
#include "TfrmListDocumentos.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

#include <csignal>

namespace {

// Far longer than any test waits; each one only stops when cancelled.
QString slowStatement(const QString& engine)
{
    if (engine == u"postgresql")
        return QStringLiteral("SELECT pg_sleep(40)");
    if (engine == u"firebird")
        return QStringLiteral("SELECT COUNT(*) FROM RDB$TYPES A, RDB$TYPES B, RDB$TYPES C, "
                              "RDB$TYPES D");
    return QStringLiteral("WITH RECURSIVE C(X) AS (SELECT 1 UNION ALL SELECT X + 1 FROM C "
                          "WHERE X < 1000000000) SELECT COUNT(*) FROM C");
}

const QString companies = QStringLiteral("SELECT COUNT(*) FROM EMPRESA");

// How the slow statement ended: "abort", the error's message, or "ran".
QString outcome(TdtmDBGeral* module, const QString& sql)
{
    try {
        LookupRows::firstValue(module, sql);
    } catch (const EAbort&) {
        return QStringLiteral("abort");
    } catch (const EFrameworkError& e) {
        return e.message();
    }
    return QStringLiteral("ran");
}

constexpr qint64 hangBound = 15000;

} // namespace

class tst_StatementCancel : public QObject
{
    Q_OBJECT

    DatabaseFixture m_db;
    RecordingPresenter m_presenter;

private Q_SLOTS:
    void initTestCase_data() { DatabaseFixture::addEngineRows(); }
    void initTestCase() { m_db.open(); }
    void init() { m_presenter.clear(); }
    void cleanup() { TRunningStatement::setWaitHandler({}); }

    void clerkCancelEndsTheStatement_data()
    {
        QTest::addColumn<bool>("nested");
        QTest::newRow("cancel") << false;
        // As a timer firing in the wait dialog would: it waits for the connection.
        QTest::newRow("lookup while it ends") << true;
    }
    void clerkCancelEndsTheStatement()
    {
        FIS_FETCH_DATABASE(m_db, module);
        QFETCH(bool, nested);
        int handled = 0;
        QString nestedValue;
        TRunningStatement::setWaitHandler([&](TRunningStatement& statement) {
            ++handled;
            statement.waitFor(200);
            statement.cancel();
            if (nested)
                nestedValue = LookupRows::firstValue(module, companies);
            while (!statement.waitFor(50)) {
            }
        });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(outcome(module, slowStatement(engine)), QStringLiteral("abort"));
        QVERIFY2(clock.elapsed() < hangBound, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(handled, 1);
        QVERIFY(m_presenter.errors.isEmpty());
        const QString after = LookupRows::firstValue(module, companies);
        QVERIFY(after.toInt() > 0);
        if (nested)
            QCOMPARE(nestedValue, after);
    }

    // The server frozen (its backend stopped): the cancel request goes unanswered, so the
    // session is given up and Cancelar ends the wait within a second; the next lookup runs
    // on a new session without a word.
    void clerkCancelOnAFrozenServer()
    {
        FIS_FETCH_DATABASE(m_db, module);
        if (engine != u"postgresql")
            QSKIP("PostgreSQL only: a backend of its own to freeze");
        const int backend =
            LookupRows::firstValue(module, QStringLiteral("SELECT pg_backend_pid()")).toInt();
        qint64 cancelled = -1;
        QElapsedTimer clock;
        TRunningStatement::setWaitHandler([&](TRunningStatement& statement) {
            QVERIFY(::kill(backend, SIGSTOP) == 0);
            statement.cancel();
            clock.start();
            while (!statement.waitFor(50)) {
            }
            cancelled = clock.elapsed();
        });
        const QString told = outcome(module, slowStatement(engine));
        ::kill(backend, SIGCONT);
        QCOMPARE(told, QStringLiteral("abort"));
        QVERIFY2(cancelled >= 0 && cancelled < 1000, qPrintable(QString::number(cancelled)));
        QVERIFY(m_presenter.errors.isEmpty());
        QVERIFY(LookupRows::firstValue(module, companies).toInt() > 0);
    }

    // Frozen between two rows of a stream: giving up the rest (a report cancelled) does not
    // wait for the server either.
    void closeOnAFrozenServerBetweenRows()
    {
        FIS_FETCH_DATABASE(m_db, module);
        if (engine != u"postgresql")
            QSKIP("PostgreSQL only: a backend of its own to freeze");
        const int backend =
            LookupRows::firstValue(module, QStringLiteral("SELECT pg_backend_pid()")).toInt();
        TADOIBQuery query;
        query.setADOConnection(module->adcGeral);
        query.setDataBase(module->dtbGeral);
        query.setSQL({QStringLiteral("SELECT G FROM generate_series(1, 100000) G, "
                                     "LATERAL pg_sleep(0.01 + 0 * G)")});
        query.Open();
        std::vector<TRowSource::Row> rows;
        query.Query()->readForward(2, rows);
        QCOMPARE(rows.size(), size_t(2));
        QVERIFY(::kill(backend, SIGSTOP) == 0);
        QElapsedTimer clock;
        clock.start();
        query.Close();
        const qint64 closed = clock.elapsed();
        ::kill(backend, SIGCONT);
        QVERIFY2(closed < 1000, qPrintable(QString::number(closed)));
        QVERIFY(LookupRows::firstValue(module, companies).toInt() > 0);
    }

    void timeLimitEndsTheStatement()
    {
        FIS_FETCH_DATABASE(m_db, module);
        if (engine == u"postgresql")
            QSKIP("the server's own statement_timeout serves PostgreSQL");
        const int was = module->adcGeral->StatementTimeout();
        module->adcGeral->setStatementTimeout(1000);
        QElapsedTimer clock;
        clock.start();
        const QString told = outcome(module, slowStatement(engine));
        const qint64 waited = clock.elapsed();
        module->adcGeral->setStatementTimeout(was);
        QCOMPARE(told, TRunningStatement::timeoutText());
        QVERIFY2(waited < hangBound, qPrintable(QString::number(waited)));
        QVERIFY(LookupRows::firstValue(module, companies).toInt() > 0);
    }

    void screenKeepsTheFieldWhenTheClerkCancels_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Cancelar") << false;
        QTest::newRow("Esc") << true;
    }
    void screenKeepsTheFieldWhenTheClerkCancels()
    {
        QFETCH_GLOBAL(QString, engine);
        QFETCH(bool, escape);
        if (engine != u"sqlite")
            QSKIP("SQLite only: the company table is made slow in a copy of the file");
        TConnectionOptions o = m_db.options(engine);
        o.database = m_db.scratchPath() + QStringLiteral("/lenta.sqlite");
        if (QFile::copy(m_db.options(engine).database, o.database)) {
            QSqlDatabase w =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("lenta"));
            w.setDatabaseName(o.database);
            QVERIFY(w.open());
            QSqlQuery q(w);
            QVERIFY(q.exec(QStringLiteral("ALTER TABLE EMPRESA RENAME TO EMPRESA_T")));
            QVERIFY(q.exec(QStringLiteral("CREATE VIEW EMPRESA AS SELECT * FROM EMPRESA_T WHERE "
                                          "(SELECT COUNT(*) FROM (%1)) > 0")
                               .arg(slowStatement(engine))));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("lenta"));
        const auto module = TDataModuleFactory::open(o);
        TApplication::instance()->setReportDirectory(qEnvironmentVariable("FIS_SOURCE_DIR") +
                                                     QStringLiteral("/reports"));
        TStatementWaitDialog::install();
        TdtmDBGeral* was = std::exchange(dtmDBGeral, module.get());
        {
            TfrmListDocumentos form;
            form.show();
            QVERIFY(QTest::qWaitForWindowActive(&form));
            form.medCdEmpresa->setFocus();
            QTest::keyClicks(form.medCdEmpresa, QStringLiteral("01"));
            QStringList seen;
            QTimer clerk;
            connect(&clerk, &QTimer::timeout, [&] {
                QWidget* dialog = QApplication::activeModalWidget();
                auto* cancel = dialog
                                   ? dialog->findChild<QPushButton*>(QStringLiteral("btnCancelar"))
                                   : nullptr;
                if (!cancel || !cancel->isEnabled())
                    return;
                seen << dialog->findChild<QLabel*>()->text() << cancel->text();
                if (escape)
                    QTest::keyClick(dialog, Qt::Key_Escape);
                else
                    QTest::mouseClick(cancel, Qt::LeftButton);
            });
            clerk.start(50);
            QElapsedTimer clock;
            clock.start();
            QTest::keyClick(form.medCdEmpresa, Qt::Key_Tab);
            clerk.stop();
            QVERIFY2(clock.elapsed() < hangBound, qPrintable(QString::number(clock.elapsed())));
            QCOMPARE(seen, (QStringList{QStringLiteral("Consultando o banco de dados…"),
                                        QStringLiteral("Cancelar")}));
            QCOMPARE(m_presenter.errors, QStringList());
            QVERIFY(!QApplication::activeModalWidget());
            QCOMPARE(form.focusWidget(), form.medCdEmpresa);
            QCOMPARE(form.medCdEmpresa->text(), QStringLiteral("01"));
            QVERIFY(form.edtNmEmpresa->text().isEmpty());
        }
        dtmDBGeral = was;
    }
};

QTEST_MAIN(tst_StatementCancel)
#include "tst_StatementCancel.moc"
