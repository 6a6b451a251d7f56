// What a clerk's click, key or shortcut does when leaving a field fails its check:
// one message, the action goes no further, the focus on the field at fault with its
// text kept. Messages come in real modal boxes, closed by a key press, so the nested
// loops and window activations of a desktop happen (the suite also runs under Xvfb).
#include "DatabaseFixture.h"
#include "TApplication.h"
#include "TBtnPesquisa.h"
#include "TDataModuleFactory.h"
#include "TDateEditPlus.h"
#include "TMaskEdit.h"
#include "TMessagePresenter.h"
#include "TStatementWaitDialog.h"
#include "TfrmListDocumentos.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

// Shows every message in a real box and closes it with Enter, as a clerk would.
class BoxPresenter : public TMessagePresenter
{
public:
    BoxPresenter() { install(this); }
    ~BoxPresenter() override { install(nullptr); }

    void showError(const QString& text) override
    {
        errors << text;
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Sistema Fiscal"), text,
                        QMessageBox::Ok, QApplication::activeWindow());
        QTimer::singleShot(60, &box, [&box] { QTest::keyClick(&box, Qt::Key_Return); });
        box.exec();
    }
    void showInformation(const QString& text) override { errors << text; }

    QStringList errors;
};

void clickInto(QWidget* field)
{
    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(4, field->height() / 2));
}

// The server's owner, beside the reader the screen uses.
QSqlDatabase openPgAdmin(const TConnectionOptions& options, const QString& name)
{
    QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    admin.setHostName(options.host);
    admin.setPort(options.port);
    admin.setDatabaseName(options.database);
    admin.setUserName(qEnvironmentVariable("FIS_PG_ADMIN_USER"));
    admin.setPassword(qEnvironmentVariable("FIS_DB_PASSWORD"));
    admin.open();
    return admin;
}

// The wait dialog's Cancelar, while the dialog is up.
QPushButton* waitDialogCancel()
{
    QWidget* dialog = QApplication::activeModalWidget();
    return dialog ? dialog->findChild<QPushButton*>(QStringLiteral("btnCancelar")) : nullptr;
}

// The company table of a copy of the database answers slowly (over the half second
// after which the wait dialog shows): a view over a slow expression on SQLite,
// pg_sleep in a view on PostgreSQL, found first on the session's search path.
QString slowCompanies(const QString& engine, const TConnectionOptions& options,
                      const QString& scratch, TConnectionOptions& slow)
{
    slow = options;
    if (engine == u"sqlite") {
        slow.database = scratch + QStringLiteral("/lenta.sqlite");
        QFile::remove(slow.database);
        if (!QFile::copy(options.database, slow.database))
            return QStringLiteral("copy failed");
        QSqlDatabase w = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), u"lenta"_qs);
        w.setDatabaseName(slow.database);
        QString error;
        if (!w.open())
            error = w.lastError().text();
        QSqlQuery q(w);
        if (!q.exec(u"ALTER TABLE EMPRESA RENAME TO EMPRESA_T"_qs) ||
            !q.exec(u"CREATE VIEW EMPRESA AS WITH RECURSIVE C(X) AS (SELECT 1 UNION ALL SELECT "
                    "X + 1 FROM C WHERE X < 3000000) SELECT E.* FROM (SELECT COUNT(*) AS N FROM "
                    "C) S CROSS JOIN EMPRESA_T E WHERE S.N > 0"_qs))
            error = q.lastError().text();
        w.close();
        w = {};
        QSqlDatabase::removeDatabase(u"lenta"_qs);
        return error;
    }
    QSqlDatabase admin = openPgAdmin(options, u"lentaadm"_qs);
    QString error = admin.lastError().text();
    QSqlQuery q(admin);
    for (const QString& sql :
         {u"CREATE SCHEMA IF NOT EXISTS lento"_qs,
          u"CREATE OR REPLACE VIEW lento.empresa AS SELECT e.* FROM (SELECT pg_sleep(0.8)) s "
          "CROSS JOIN public.empresa e"_qs,
          u"GRANT USAGE ON SCHEMA lento TO %1"_qs.arg(options.user),
          u"GRANT SELECT ON lento.empresa TO %1"_qs.arg(options.user)})
        if (error.isEmpty() && !q.exec(sql))
            error = q.lastError().text();
    admin.close();
    admin = {};
    QSqlDatabase::removeDatabase(u"lentaadm"_qs);
    return error;
}

} // namespace

class tst_FocusContract : public QObject
{
    Q_OBJECT

    DatabaseFixture m_db;
    std::unique_ptr<BoxPresenter> m_boxes;
    std::unique_ptr<QMainWindow> m_main;
    std::unique_ptr<TfrmListDocumentos> m_form;

    // The form as the host shows it: an MDI child of the main window.
    void openForm(TdtmDBGeral* module)
    {
        dtmDBGeral = module;
        m_main = std::make_unique<QMainWindow>();
        m_main->setCentralWidget(new QMdiArea);
        m_main->resize(900, 600);
        TApplication::instance()->setMainForm(m_main.get());
        m_main->show();
        QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
        m_form = std::make_unique<TfrmListDocumentos>();
        m_form->setFormStyle(TForm::fsMDIChild);
        m_form->Show();
        m_main->activateWindow(); // after a wait dialog while it was made
        QTRY_VERIFY(m_form->isActiveWindow());
    }
    QString focusName() const
    {
        QWidget* focus = m_form->focusWidget();
        if (focus && qobject_cast<TDateEditPlus*>(focus->parentWidget())) // its line edit
            focus = focus->parentWidget();
        return focus ? focus->objectName() : QString();
    }
    static QString textOf(QWidget* field)
    {
        if (auto* date = qobject_cast<TDateEditPlus*>(field))
            return date->Text();
        return static_cast<TMaskEdit*>(field)->text();
    }

private Q_SLOTS:
    void initTestCase_data() { DatabaseFixture::addEngineRows(); }
    void initTestCase()
    {
        m_db.open();
        TApplication::instance()->setReportDirectory(qEnvironmentVariable("FIS_SOURCE_DIR") +
                                                     QStringLiteral("/reports"));
        TStatementWaitDialog::install();
    }
    void init() { m_boxes = std::make_unique<BoxPresenter>(); }
    void cleanup()
    {
        m_form.reset();
        TApplication::instance()->setMainForm(nullptr);
        m_main.reset();
        m_boxes.reset();
        dtmDBGeral = nullptr;
    }

    void failedExitEndsTheAction_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("act"); // a control to click, or "Alt+1"
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        const QString company = QStringLiteral("Empresa não cadastrada.");
        const QString branch = QStringLiteral("Filial não cadastrada.");
        QTest::newRow("company, its Todas") << "medCdEmpresa"
                                            << "97"
                                            << "chbEmpresa" << company << "medCdEmpresa";
        QTest::newRow("company, Lista") << "medCdEmpresa"
                                        << "97"
                                        << "rdbLista" << company << "medCdEmpresa";
        QTest::newRow("company, registration's Todas")
            << "medCdEmpresa"
            << "97"
            << "chbInscEstad" << company << "medCdEmpresa";
        QTest::newRow("company, Alt+1") << "medCdEmpresa"
                                        << "97"
                                        << "Alt+1" << company << "medCdEmpresa";
        QTest::newRow("company, a field") << "medCdEmpresa"
                                          << "97"
                                          << "medCdFilial" << company << "medCdEmpresa";
        QTest::newRow("branch, its Todas") << "medCdFilial"
                                           << "ZZZZ"
                                           << "chbFilial" << branch << "medCdFilial";
        // The output checks put the focus on their own fault: that is no exit.
        QTest::newRow("branch, Imprimir")
            << "medCdFilial"
            << "ZZZZ"
            << "sbtPrint" << QStringLiteral("Empresa deve ser informada.") << "medCdEmpresa";
        QTest::newRow("end date, Tab")
            << "depDtFinal"
            << "31/02/24"
            << "Tab" << QStringLiteral("Data Final: '31/02/24' não é uma data válida.")
            << "depDtFinal";
        QTest::newRow("end date, Editar relatório")
            << "depDtFinal"
            << "99/99/9999"
            << "sbtReportEdit" << QStringLiteral("Data inicial deve ser informada.")
            << "depDtInicial";
    }
    void failedExitEndsTheAction()
    {
        FIS_FETCH_DATABASE(m_db, module);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, act);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        openForm(module);
        TfrmListDocumentos& f = *m_form;
        if (act == u"rdbLista") {
            f.cbbReportNames->setCurrentText(TfrmListDocumentos::WithholdingReport);
            f.cbbReportNamesChange(nullptr);
        }
        auto* edit = f.findChild<QWidget*>(field);
        clickInto(edit);
        QTest::keyClicks(QApplication::focusWidget(), typed);
        QCOMPARE(textOf(edit), typed);
        if (act == u"Alt+1")
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_1, Qt::AltModifier);
        else if (act == u"Tab")
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        else if (auto* target = f.findChild<QWidget*>(act); qobject_cast<QLineEdit*>(target))
            clickInto(target);
        else
            QTest::mouseClick(target, Qt::LeftButton);
        // Whatever a desktop still delivers (activation, a late release) changes nothing.
        QTest::qWait(300);
        QCOMPARE(m_boxes->errors, QStringList{message});
        QCOMPARE(focusName(), focus);
        QCOMPARE(textOf(edit), typed);
        for (QAbstractButton* b : {static_cast<QAbstractButton*>(f.chbEmpresa),
                                   static_cast<QAbstractButton*>(f.chbInscEstad),
                                   static_cast<QAbstractButton*>(f.chbInscMuni),
                                   static_cast<QAbstractButton*>(f.chbFilial),
                                   static_cast<QAbstractButton*>(f.rdbLista)})
            QVERIFY2(!b->isChecked() && !b->isDown(), qPrintable(b->objectName()));
        QVERIFY(f.medCdEmpresa->isEnabled() && !f.btnTpOperacao->isEnabled());
        // The box answers the next click as ever.
        if (act.startsWith(u"chb")) {
            static_cast<TMaskEdit*>(edit)->clear();
            QTest::mouseClick(f.findChild<QCheckBox*>(act), Qt::LeftButton);
            QVERIFY(f.findChild<QCheckBox*>(act)->isChecked());
            QCOMPARE(m_boxes->errors.size(), 1);
        }
    }

    void slowLookupShowsOneMessage()
    {
        FIS_FETCH_DATABASE(m_db, module);
        Q_UNUSED(module);
        if (engine == u"firebird")
            QSKIP("SQLite and PostgreSQL give the slow company table");
        TConnectionOptions slow;
        const QString made = slowCompanies(engine, m_db.options(engine), m_db.scratchPath(), slow);
        QVERIFY2(made.isEmpty(), qPrintable(made));
        const auto slowModule = TDataModuleFactory::open(slow);
        if (engine == u"postgresql") {
            QSqlQuery path(slowModule->adcGeral->database());
            QVERIFY(path.exec(QStringLiteral("SET search_path TO lento, public")));
        }
        openForm(slowModule.get());
        TfrmListDocumentos& f = *m_form;
        f.medCdFilial->setText(QStringLiteral("ZZZZ"));
        clickInto(f.medCdEmpresa);
        QTest::keyClicks(f.medCdEmpresa, QStringLiteral("99"));
        bool waited = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] { waited |= waitDialogCancel() != nullptr; });
        watch.start(50);
        clickInto(f.medCdFilial);
        QTest::qWait(2500);
        watch.stop();
        QVERIFY(waited);
        QCOMPARE(m_boxes->errors, QStringList{QStringLiteral("Empresa não cadastrada.")});
        QCOMPARE(focusName(), QStringLiteral("medCdEmpresa"));
        QCOMPARE(f.medCdFilial->text(), QStringLiteral("ZZZZ"));
        m_form.reset();
    }

    void cancelledProbeLeavesTheScreenUsable()
    {
        FIS_FETCH_DATABASE(m_db, module);
        if (engine != u"postgresql")
            QSKIP("only a server holds a reader back with a lock");
        QSqlDatabase admin = openPgAdmin(m_db.options(engine), u"trava"_qs);
        QVERIFY2(admin.isOpen(), qPrintable(admin.lastError().text()));
        {
            QSqlQuery lock(admin);
            QVERIFY(admin.transaction());
            QVERIFY(lock.exec(QStringLiteral("LOCK TABLE docfiscal IN ACCESS EXCLUSIVE MODE")));
            int cancels = 0;
            QTimer clerk;
            connect(&clerk, &QTimer::timeout, [&] {
                if (QPushButton* cancel = waitDialogCancel(); cancel && cancel->isEnabled()) {
                    ++cancels;
                    QTest::mouseClick(cancel, Qt::LeftButton);
                }
            });
            clerk.start(50);
            openForm(module);
            clerk.stop();
            admin.rollback();
            QCOMPARE(cancels, 1);
        }
        admin.close();
        admin = {};
        QSqlDatabase::removeDatabase(u"trava"_qs);
        QCOMPARE(m_boxes->errors, QStringList());
        QVERIFY(m_form->cbbReportNames->count() >= 2);
        QVERIFY(m_form->isVisible() && m_form->medCdEmpresa->isEnabled());
    }

    // The same code, typed with blanks around it, is found on every database.
    void blanksAroundACodeNeverDecide_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("trailing") << "110000000001 ";
        QTest::newRow("leading") << " 110000000001";
        QTest::newRow("none") << "110000000001";
    }
    void blanksAroundACodeNeverDecide()
    {
        FIS_FETCH_DATABASE(m_db, module);
        QFETCH(QString, typed);
        openForm(module);
        TfrmListDocumentos& f = *m_form;
        f.medCdEmpresa->setText(QStringLiteral("01"));
        clickInto(f.medInscEstad);
        QTest::keyClicks(f.medInscEstad, typed);
        QCOMPARE(f.medInscEstad->text(), typed);
        clickInto(f.medInscMuni);
        QCOMPARE(m_boxes->errors, QStringList());
        QCOMPARE(f.medInscEstad->text(), QStringLiteral("110000000001"));
        QCOMPARE(focusName(), QStringLiteral("medInscMuni"));
    }
};

QTEST_MAIN(tst_FocusContract)
#include "tst_focuscontract.moc"
