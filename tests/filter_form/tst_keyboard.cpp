#include "Cli_fis01200.h"
#include "HostFixture.h"
#include "RecordingPresenter.h"
#include "TBtnPesquisa.h"
#include "TDataModuleFactory.h"
#include "TDateEditPlus.h"
#include "TDemoData.h"
#include "TMaskEdit.h"
#include "TReportDesignerDialog.h"
#include "TfrmListDocumentos.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>

// The screen without the mouse: F2 searches, Enter and Esc in the lists, the "Todas"
// and output keys, and a whole filter typed through to a preview.
class TstKeyboard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void f2OpensTheFieldsSearch_data();
    void f2OpensTheFieldsSearch();
    void enterConfirmsEscCancels_data();
    void enterConfirmsEscCancels();
    void tabVisitsTheFilterInOrder();
    void todasKeysToggleTheirBox_data();
    void todasKeysToggleTheirBox();
    void arrowKeysChooseTheRadio_data();
    void arrowKeysChooseTheRadio();
    void outputKeysRunTheirAction_data();
    void outputKeysRunTheirAction();
    void wholeFilterToPreview();

private:
    // Presses key on the focused control; while the modal list it opens is up, records
    // its title and runs inList on it. Returns the title ("" when no list opened).
    QString inModal(int key, const std::function<void(QWidget*)>& inList);
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    QString focusName() const;
    void selectWithholdingReport();
    // Runs of the report started, with the parameters they were given.
    QList<TParams> m_runs;

    QTemporaryDir m_dir;
    std::unique_ptr<TdtmDBGeral> m_dm;
    std::unique_ptr<HostFixture> m_host;
    std::unique_ptr<TfrmListDocumentos> m_form;
};

void TstKeyboard::initTestCase()
{
    TConnectionOptions options;
    options.database = m_dir.filePath(u"demo.sqlite"_qs);
    TDataModuleFactory::makeDemo(options.database);
    m_dm = TDataModuleFactory::open(options);
}

void TstKeyboard::init()
{
    m_host = std::make_unique<HostFixture>();
    dtmDBGeral = m_dm.get();
    m_form = std::make_unique<TfrmListDocumentos>(TfrmListDocumentos::Session{&stListaTp, {}});
    m_form->show();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    m_host->presenter().clear();
    stListaTp.clear();
    m_runs.clear();
    m_form->rpddPadrao->BeforeGetQueryParams = [this](TParams& p, bool& handled) {
        m_form->rpddPadraoBeforeGetQueryParams(p, handled);
        m_runs << p;
        handled = false; // stop the run here: no preview window in a test
    };
}

void TstKeyboard::cleanup()
{
    m_form.reset();
    m_host.reset();
}

void TstKeyboard::press(int key, Qt::KeyboardModifiers modifiers)
{
    QWidget* target = m_form->focusWidget() ? m_form->focusWidget() : m_form.get();
    QTest::keyClick(target, Qt::Key(key), modifiers);
}

QString TstKeyboard::inModal(int key, const std::function<void(QWidget*)>& inList)
{
    QString title;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || dialog == m_form.get())
            return;
        poll.stop();
        title = dialog->windowTitle();
        inList(dialog);
        if (dialog->isVisible()) // the keys did not close it: do not hang the test
            QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
    });
    poll.start();
    press(key);
    poll.stop();
    // The form becomes the active window again (its window-wide keys need that).
    if (!QTest::qWaitForWindowActive(m_form.get()))
        qWarning("the form was not active again after its list closed");
    return title;
}

QString TstKeyboard::focusName() const
{
    QWidget* widget = m_form->focusWidget();
    // The control of the form, not a part inside it (the date edit's line edit).
    while (widget && widget->parentWidget() && !qobject_cast<QGroupBox*>(widget->parentWidget()) &&
           widget->parentWidget() != m_form->panRelat && widget->parentWidget() != m_form.get())
        widget = widget->parentWidget();
    return widget ? widget->objectName() : QString();
}

void TstKeyboard::selectWithholdingReport()
{
    m_form->cbbReportNames->setFocus();
    for (int i = 0; i < m_form->cbbReportNames->count() &&
                    m_form->cbbReportNames->currentText() != TfrmListDocumentos::WithholdingReport;
         ++i)
        press(i == 0 ? Qt::Key_Home : Qt::Key_Down);
    QCOMPARE(m_form->cbbReportNames->currentText(), TfrmListDocumentos::WithholdingReport);
}

namespace {

void keyTo(QWidget* dialog, int key)
{
    QWidget* target = dialog->focusWidget() ? dialog->focusWidget() : dialog;
    QTest::keyClick(target, Qt::Key(key));
}

} // namespace

void TstKeyboard::f2OpensTheFieldsSearch_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("title");
    QTest::newRow("company") << u"medCdEmpresa"_qs << u"Empresa"_qs;
    QTest::newRow("state registration") << u"medInscEstad"_qs << u"Inscrição Estadual"_qs;
    QTest::newRow("municipal registration") << u"medInscMuni"_qs << u"Inscrição Municipal"_qs;
    QTest::newRow("branch") << u"medCdFilial"_qs << u"Filial"_qs;
}

void TstKeyboard::f2OpensTheFieldsSearch()
{
    QFETCH(QString, field);
    QFETCH(QString, title);
    // The registrations are listed for the company in its field.
    m_form->medCdEmpresa->setText(TDemoData::company(0).code);
    auto* edit = m_form->findChild<TMaskEdit*>(field);
    QVERIFY(edit);
    QVERIFY(edit->toolTip().contains(u"F2: pesquisar"_qs));
    const QString before = edit->text();
    edit->setFocus();
    QCOMPARE(inModal(Qt::Key_F2, [](QWidget* list) { keyTo(list, Qt::Key_Escape); }), title);
    QVERIFY2(m_host->presenter().errors.isEmpty(), qPrintable(m_host->presenter().lastError()));
    QCOMPARE(edit->text(), before);
    QCOMPARE(m_form->focusWidget(), edit);
}

void TstKeyboard::enterConfirmsEscCancels_data()
{
    QTest::addColumn<bool>("picker");
    QTest::addColumn<int>("key");
    QTest::newRow("search, Enter") << false << int(Qt::Key_Return);
    QTest::newRow("search, keypad Enter") << false << int(Qt::Key_Enter);
    QTest::newRow("search, Esc") << false << int(Qt::Key_Escape);
    QTest::newRow("operation types, Enter") << true << int(Qt::Key_Return);
    QTest::newRow("operation types, Esc") << true << int(Qt::Key_Escape);
}

void TstKeyboard::enterConfirmsEscCancels()
{
    QFETCH(bool, picker);
    QFETCH(int, key);
    const bool confirms = key != Qt::Key_Escape;
    if (picker) {
        selectWithholdingReport();
        m_form->rdbLista->setChecked(true);
        m_form->rdbLista->setFocus();
    } else {
        m_form->medCdEmpresa->setFocus();
    }
    const QString title = inModal(Qt::Key_F2, [&](QWidget* list) {
        keyTo(list, picker ? Qt::Key_Space : Qt::Key_Down); // mark, or move to row 2
        keyTo(list, key);
        QVERIFY(!list->isVisible());
    });
    QVERIFY(!title.isEmpty());
    QVERIFY2(m_host->presenter().errors.isEmpty(), qPrintable(m_host->presenter().lastError()));
    if (picker) {
        QCOMPARE(!stListaTp.isEmpty(), confirms);
    } else {
        const TDemoData::Company second = TDemoData::company(1);
        QCOMPARE(m_form->medCdEmpresa->text(), confirms ? second.code : QString());
        QCOMPARE(m_form->edtNmEmpresa->text(), confirms ? second.name : QString());
    }
}

void TstKeyboard::tabVisitsTheFilterInOrder()
{
    selectWithholdingReport(); // so that the operation-type radios take part
    m_form->medCdEmpresa->setFocus();
    const QStringList expected{u"medCdEmpresa"_qs, u"medInscEstad"_qs, u"medInscMuni"_qs,
                               u"medCdFilial"_qs,  u"cbbEntrSaida"_qs, u"depDtInicial"_qs,
                               u"depDtFinal"_qs,   u"rdbTodos"_qs,     u"cbbReportNames"_qs,
                               u"medCdEmpresa"_qs};
    QStringList visited{focusName()};
    for (int i = 1; i < expected.size(); ++i) {
        press(Qt::Key_Tab);
        visited << focusName();
    }
    QCOMPARE(visited, expected);
    QVERIFY(m_host->presenter().errors.isEmpty());
}

void TstKeyboard::todasKeysToggleTheirBox_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("field");
    QTest::newRow("Alt+1") << int(Qt::Key_1) << u"chbEmpresa"_qs << u"medCdEmpresa"_qs;
    QTest::newRow("Alt+2") << int(Qt::Key_2) << u"chbInscEstad"_qs << u"medInscEstad"_qs;
    QTest::newRow("Alt+3") << int(Qt::Key_3) << u"chbInscMuni"_qs << u"medInscMuni"_qs;
    QTest::newRow("Alt+4") << int(Qt::Key_4) << u"chbFilial"_qs << u"medCdFilial"_qs;
}

void TstKeyboard::todasKeysToggleTheirBox()
{
    QFETCH(int, key);
    QFETCH(QString, box);
    QFETCH(QString, field);
    auto* check = m_form->findChild<QCheckBox*>(box);
    auto* edit = m_form->findChild<TMaskEdit*>(field);
    QCOMPARE(check->focusPolicy(), Qt::ClickFocus); // still no tab stop
    QVERIFY(check->toolTip().startsWith(QKeySequence(Qt::ALT | key).toString()));
    m_form->cbbEntrSaida->setFocus();
    press(key, Qt::AltModifier);
    QTRY_VERIFY(check->isChecked());
    QVERIFY(!edit->isEnabled());
    press(key, Qt::AltModifier);
    QTRY_VERIFY(!check->isChecked());
    QVERIFY(edit->isEnabled());
}

void TstKeyboard::arrowKeysChooseTheRadio_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("Down to Lista") << int(Qt::Key_Down) << u"rdbTodos"_qs << u"rdbLista"_qs;
    QTest::newRow("Right to Lista") << int(Qt::Key_Right) << u"rdbTodos"_qs << u"rdbLista"_qs;
    QTest::newRow("Up to Todos") << int(Qt::Key_Up) << u"rdbLista"_qs << u"rdbTodos"_qs;
    QTest::newRow("Left to Todos") << int(Qt::Key_Left) << u"rdbLista"_qs << u"rdbTodos"_qs;
}

void TstKeyboard::arrowKeysChooseTheRadio()
{
    QFETCH(int, key);
    QFETCH(QString, from);
    QFETCH(QString, to);
    selectWithholdingReport();
    auto* start = m_form->findChild<QRadioButton*>(from);
    start->click();
    start->setFocus();
    press(key);
    QCOMPARE(focusName(), to);
    QVERIFY(m_form->findChild<QRadioButton*>(to)->isChecked());
    QCOMPARE(m_form->btnTpOperacao->isEnabled(), to == u"rdbLista");
    QVERIFY(m_host->presenter().errors.isEmpty());
}

void TstKeyboard::outputKeysRunTheirAction_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<bool>("reportRuns");
    // Report edit needs only the dates; print and preview stop at the empty company.
    QTest::newRow("print") << u"sbtPrint"_qs << TfrmDadosGerRel::PrintKey << false;
    QTest::newRow("preview") << u"sbtPreview"_qs << TfrmDadosGerRel::PreviewKey << false;
    QTest::newRow("report edit") << u"sbtReportEdit"_qs << TfrmDadosGerRel::ReportEditKey << true;
}

void TstKeyboard::outputKeysRunTheirAction()
{
    QFETCH(QString, button);
    QFETCH(QKeySequence, key);
    QFETCH(bool, reportRuns);
    auto* tool = m_form->findChild<QToolButton*>(button);
    QVERIFY(tool->toolTip().contains(key.toString(QKeySequence::NativeText)));
    m_form->depDtInicial->setText(u"01/03/2026"_qs);
    m_form->depDtFinal->setText(u"31/03/2026"_qs);
    // From inside a line edit, which keeps keys of its own.
    m_form->medCdEmpresa->setFocus();
    QTest::keySequence(m_form->focusWidget(), key);
    QTRY_COMPARE(m_runs.size() + m_host->presenter().errors.size(), 1);
    QCOMPARE(m_runs.size(), reportRuns ? 1 : 0);
    if (!reportRuns)
        QCOMPARE(m_host->presenter().lastError(), u"Empresa deve ser informada."_qs);
}

void TstKeyboard::wholeFilterToPreview()
{
    const TDemoData::Company company = TDemoData::company(0);
    QCOMPARE(focusName(), u"medCdEmpresa"_qs); // where the form opens
    QTest::keyClicks(m_form->focusWidget(), company.code.right(1));
    press(Qt::Key_Tab);
    QCOMPARE(m_form->edtNmEmpresa->text(), company.name);
    QCOMPARE(focusName(), u"medInscEstad"_qs);
    // The state registration from its list: F2, first row, Enter.
    inModal(Qt::Key_F2, [](QWidget* list) { keyTo(list, Qt::Key_Return); });
    QVERIFY(!m_form->medInscEstad->text().isEmpty());
    press(Qt::Key_Tab);
    press(Qt::Key_3, Qt::AltModifier); // every municipal registration
    press(Qt::Key_4, Qt::AltModifier); // every branch
    QTRY_VERIFY(m_form->chbFilial->isChecked());
    // The key takes the focus to its box, as a click does; Tab goes on from there.
    QCOMPARE(focusName(), u"chbFilial"_qs);
    press(Qt::Key_Tab);
    QCOMPARE(focusName(), u"cbbEntrSaida"_qs);
    press(Qt::Key_Down);
    QCOMPARE(m_form->cbbEntrSaida->currentText(), u"Saída"_qs);
    press(Qt::Key_Tab);
    QTest::keyClicks(m_form->focusWidget(), u"01032026"_qs);
    press(Qt::Key_Tab);
    QTest::keyClicks(m_form->focusWidget(), u"31032026"_qs);
    press(Qt::Key_Tab);
    QCOMPARE(focusName(), u"cbbReportNames"_qs);
    selectWithholdingReport();
    press(Qt::Key_Tab, Qt::ShiftModifier); // back into the group, on its last radio
    QCOMPARE(focusName(), u"rdbLista"_qs);
    press(Qt::Key_Space);
    QVERIFY(m_form->rdbLista->isChecked());
    inModal(Qt::Key_F2, [](QWidget* list) {
        keyTo(list, Qt::Key_Space);
        keyTo(list, Qt::Key_Return);
    });
    QVERIFY(!stListaTp.isEmpty());
    QTest::keySequence(m_form->focusWidget(), TfrmDadosGerRel::PreviewKey);
    QTRY_COMPARE(m_runs.size(), 1);
    QVERIFY2(m_host->presenter().errors.isEmpty(), qPrintable(m_host->presenter().lastError()));

    const TParams& p = m_runs.first();
    const auto value = [&](const char* name) {
        const QString key = QString::fromLatin1(name);
        return ExistParam(p, key) ? p.ParamByName(key).AsString() : u"(ausente)"_qs;
    };
    QCOMPARE(value("P_CDEMPRESA"), company.code);
    QCOMPARE(value("P_CDINSCESTA"), m_form->medInscEstad->text());
    QCOMPARE(value("P_CDINSCMUNI"), u"T"_qs);
    QCOMPARE(value("P_CDFILIAL"), u"T"_qs);
    QCOMPARE(value("P_IDENTRSAID"), u"S"_qs);
    QCOMPARE(value("P_CDTIPOOPER"), stListaTp);
}

QTEST_MAIN(TstKeyboard)
#include "tst_keyboard.moc"
