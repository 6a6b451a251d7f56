#include "RecordingPresenter.h"
#include "TApplication.h"
#include "TModuleLoader.h"
#include "TestDatabase.h"
#include "TestModuleProbe.h"
#include "TfrmPrincipal.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSqlDatabase>
#include <QTest>

class tst_HostWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void isTheApplicationsMdiFrame();
    void entryIsDisabledWithoutModule();
    void entryCallsIniProcAndShowsItsErrors();
    void closingClosesMdiChildrenUnlessOneRefuses();
};

namespace {

class RefusingWidget : public QWidget
{
protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

} // namespace

void tst_HostWindow::isTheApplicationsMdiFrame()
{
    TestDatabase database({});
    TfrmPrincipal window;
    window.showDatabase(QSqlDatabase::database(database.connectionName()));

    QCOMPARE(TApplication::instance()->MainForm(), &window);
    QVERIFY(window.mdiArea());
    QCOMPARE(TApplication::instance()->mdiArea(), window.mdiArea());
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("lblBancoDados"))->text(),
             QStringLiteral("Banco de dados: SQLite — :memory:"));
}

void tst_HostWindow::entryIsDisabledWithoutModule()
{
    TfrmPrincipal window;
    window.show();
    TModuleLoader unloaded;
    window.setModule(&unloaded);
    window.showModuleMissing(QStringLiteral("/opt/fis/libfis01200.so"),
                             QStringLiteral("O módulo não foi encontrado."));

    QVERIFY(!window.actListagemDocumentos->isEnabled());
    auto* note = window.findChild<QLabel*>(QStringLiteral("lblModulo"));
    QVERIFY(note->isVisible());
    QCOMPARE(note->text(), QStringLiteral("Módulo não carregado: libfis01200.so"));
}

void tst_HostWindow::entryCallsIniProcAndShowsItsErrors()
{
    RecordingPresenter presenter;
    TestModuleProbe probe;
    TModuleLoader module;
    module.load(TestModuleProbe::path());
    TfrmPrincipal window;
    window.setModule(&module);
    QVERIFY(window.mnuFiscal->actions().contains(window.actListagemDocumentos));
    QCOMPARE(window.actListagemDocumentos->text(), QStringLiteral("Listagem dos Documentos"));

    window.actListagemDocumentos->trigger();
    QCOMPARE(probe.iniProcCount(), 1);
    QVERIFY(probe.lastParameter().isNull());

    probe.failNextIniProc("Não foi possível abrir a tela.");
    window.actListagemDocumentos->trigger();
    QCOMPARE(probe.iniProcCount(), 2);
    QCOMPARE(presenter.errors, QStringList{QStringLiteral("Não foi possível abrir a tela.")});
}

void tst_HostWindow::closingClosesMdiChildrenUnlessOneRefuses()
{
    TfrmPrincipal window;
    window.show();
    for (int i = 0; i < 2; ++i)
        window.mdiArea()->addSubWindow(new QWidget)->show();
    window.actFecharTodas->trigger();
    for (QMdiSubWindow* child : window.mdiArea()->subWindowList())
        QVERIFY(!child->isVisible());

    QMdiSubWindow* refusing = window.mdiArea()->addSubWindow(new RefusingWidget);
    refusing->show();
    QVERIFY(!window.close());
    QVERIFY(window.isVisible());

    delete refusing;
    window.mdiArea()->addSubWindow(new QWidget)->show();
    QVERIFY(window.close());
}

QTEST_MAIN(tst_HostWindow)
#include "tst_hostwindow.moc"
