#include "EAbort.h"
#include "HostFixture.h"
#include "RecordingPresenter.h"
#include "TBtnPesquisa.h"
#include "TDataModuleFactory.h"
#include "TDateEditPlus.h"
#include "TDemoData.h"
#include "TEventGuard.h"
#include "TMaskEdit.h"
#include "TReportDesignerDialog.h"
#include "TfrmListDocumentos.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// The filter on the demo database: checks, searches, "Todas" boxes, operation types,
// report parameters and the output actions' order of checks.
class TstFilter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void companyCheckAdjustsAndNames();
    void unknownCompanyKeepsFocusAndCode();
    void companyChangeVoidsRegistrations();
    void registrationNeedsTheCompany();
    void branchFollowsCompanyAndRegistrations();
    void dateChecksInOrder();
    void searchPicksCopyCodeAndName();
    void todasBoxes();
    void parametersFollowTheFilter();
    void outputActionsCheckInOrder();
    void enabledTestIsTheFieldsOwn_data();
    void enabledTestIsTheFieldsOwn();

private:
    void leave(TMaskEdit* edit, const QString& text);
    // Runs an output action; returns the parameters the report received, if it ran.
    bool runs(void (TfrmListDocumentos::*action)(QObject*), TParams* params = nullptr);

    QTemporaryDir m_dir;
    std::unique_ptr<TdtmDBGeral> m_dm;
    std::unique_ptr<HostFixture> m_host;
    std::unique_ptr<TfrmListDocumentos> m_form;
    QString m_listaTp; // what the module keeps in stListaTp
    TDemoData::Company m_first, m_noBranches;
};

void TstFilter::initTestCase()
{
    TConnectionOptions options;
    options.database = m_dir.filePath(u"demo.sqlite"_qs);
    TDataModuleFactory::makeDemo(options.database);
    m_dm = TDataModuleFactory::open(options);
    m_first = TDemoData::company(0);
    m_noBranches = TDemoData::company(5);
}

void TstFilter::init()
{
    m_host = std::make_unique<HostFixture>();
    dtmDBGeral = m_dm.get(); // the demo database instead of the fixture's
    m_form = std::make_unique<TfrmListDocumentos>(TfrmListDocumentos::Session{&m_listaTp, {}});
    m_form->show();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    m_host->presenter().clear();
    m_listaTp.clear();
}

void TstFilter::cleanup()
{
    m_form.reset();
    m_host.reset();
}

void TstFilter::leave(TMaskEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    m_form->cbbEntrSaida->setFocus();
}

bool TstFilter::runs(void (TfrmListDocumentos::*action)(QObject*), TParams* params)
{
    bool ran = false;
    m_form->rpddPadrao->BeforeGetQueryParams = [&](TParams& p, bool& handled) {
        m_form->rpddPadraoBeforeGetQueryParams(p, handled);
        if (params)
            *params = p;
        ran = true;
        handled = false; // stop the run here: no dialog in a test
    };
    TEventGuard::run([&] { (m_form.get()->*action)(m_form->sbtPrint); });
    return ran;
}

void TstFilter::companyCheckAdjustsAndNames()
{
    leave(m_form->medCdEmpresa, m_first.code.right(1));
    QCOMPARE(m_form->medCdEmpresa->text(), m_first.code);
    QCOMPARE(m_form->edtNmEmpresa->text(), m_first.name);
    QVERIFY(m_host->presenter().errors.isEmpty());
    // Leaving an empty field asks nothing.
    m_form->medCdEmpresa->clear();
    m_form->qryEmpresa->Close();
    leave(m_form->medCdEmpresa, QString());
    QVERIFY(!m_form->qryEmpresa->Active());
}

void TstFilter::unknownCompanyKeepsFocusAndCode()
{
    leave(m_form->medCdEmpresa, u"9"_qs);
    QCOMPARE(m_host->presenter().errors, QStringList{u"Empresa não cadastrada."_qs});
    QCOMPARE(m_form->focusWidget(), m_form->medCdEmpresa);
    QCOMPARE(m_form->medCdEmpresa->text(), u"09"_qs);
    QVERIFY(m_form->edtNmEmpresa->text().isEmpty());
}

void TstFilter::companyChangeVoidsRegistrations()
{
    leave(m_form->medCdEmpresa, m_first.code);
    m_form->medInscEstad->setText(TDemoData::stateRegistration(0, 0));
    m_form->medInscMuni->setText(TDemoData::municipalRegistration(0, 0));
    m_form->medCdFilial->setText(u"0001"_qs);
    m_form->edtNmFilial->setText(u"Campinas"_qs);
    // Re-checking the same, adjusted code is no change.
    m_form->Vd_Empresa(true);
    QVERIFY(!m_form->medInscEstad->text().isEmpty());
    m_form->medCdEmpresa->setText(u"02"_qs);
    QVERIFY(m_form->edtNmEmpresa->text().isEmpty());
    QVERIFY(m_form->medInscEstad->text().isEmpty());
    QVERIFY(m_form->medInscMuni->text().isEmpty());
    QCOMPARE(m_form->medCdFilial->text(), u"0001"_qs);
    QCOMPARE(m_form->edtNmFilial->text(), u"Campinas"_qs);
}

void TstFilter::registrationNeedsTheCompany()
{
    leave(m_form->medInscEstad, TDemoData::stateRegistration(0, 0));
    QCOMPARE(m_host->presenter().lastError(), u"Inscrição estadual não cadastrada."_qs);
    m_host->presenter().clear();
    m_form->medCdEmpresa->setText(m_first.code);
    leave(m_form->medInscEstad, TDemoData::stateRegistration(0, 0));
    leave(m_form->medInscMuni, TDemoData::municipalRegistration(0, 1));
    QVERIFY(m_host->presenter().errors.isEmpty());
    leave(m_form->medInscMuni, TDemoData::municipalRegistration(1, 0));
    QCOMPARE(m_host->presenter().lastError(), u"Inscrição municipal não cadastrada."_qs);
}

void TstFilter::branchFollowsCompanyAndRegistrations()
{
    const TDemoData::Scale scale;
    const TDemoData::Branch branch = TDemoData::branch(scale, 0, 0);
    leave(m_form->medCdFilial, branch.code.right(1).toLower());
    QCOMPARE(m_form->medCdFilial->text(), branch.code);
    QVERIFY(!m_form->edtNmFilial->text().isEmpty());
    QVERIFY(m_host->presenter().errors.isEmpty());
    m_form->medCdEmpresa->setText(m_noBranches.code);
    QVERIFY_THROWS_EXCEPTION(EAbort, m_form->Vd_Filial(false));
    QCOMPARE(m_host->presenter().lastError(), u"Filial não cadastrada."_qs);
    QCOMPARE(m_form->focusWidget(), m_form->medCdFilial);
}

void TstFilter::dateChecksInOrder()
{
    QVERIFY_THROWS_EXCEPTION(EAbort, m_form->Vd_Data());
    QCOMPARE(m_host->presenter().errors, QStringList{u"Data inicial deve ser informada."_qs});
    QCOMPARE(m_form->focusWidget(), m_form->depDtInicial->focusWidget());
    m_form->depDtInicial->setText(u"10/03/2026"_qs);
    QVERIFY_THROWS_EXCEPTION(EAbort, m_form->Vd_Data());
    QCOMPARE(m_host->presenter().lastError(), u"Data final deve ser informada."_qs);
    m_form->depDtFinal->setText(u"09/03/2026"_qs);
    QVERIFY_THROWS_EXCEPTION(EAbort, m_form->Vd_Data());
    QCOMPARE(m_host->presenter().lastError(),
             u"Data inicial deve ser menor ou igual a data final."_qs);
    m_form->depDtFinal->setText(u"10/03/2026"_qs);
    m_form->Vd_Data();
    m_form->depDtFinal->setText(u"31/02/2026"_qs);
    QVERIFY_THROWS_EXCEPTION(EAbort, m_form->Vd_Data());
}

void TstFilter::searchPicksCopyCodeAndName()
{
    m_form->medCdEmpresa->setText(m_first.code);
    m_form->medInscEstad->setText(TDemoData::stateRegistration(0, 0));
    bool proceed = true;
    m_form->btpEmpresaBeforePesq(m_form->btpEmpresa, proceed);
    QVERIFY(m_form->qryEmpresa->Query()->MoveTo(1)); // every company, in code order
    m_form->btpEmpresaAfterPesq(m_form->btpEmpresa);
    QCOMPARE(m_form->medCdEmpresa->text(), TDemoData::company(1).code);
    QCOMPARE(m_form->edtNmEmpresa->text(), TDemoData::company(1).name);
    QVERIFY(m_form->medInscEstad->text().isEmpty());

    // With nothing typed, the branch list holds every branch of every company.
    m_form->medCdEmpresa->clear();
    m_form->btpFilialBeforePesq(m_form->btpFilial, proceed);
    m_form->qryFilial->Query()->fetchAll();
    QCOMPARE(m_form->qryFilial->Query()->rowCount(), TDemoData::Scale().branches);
    m_form->btpInscEstadBeforePesq(m_form->btpInscEstad, proceed);
    QVERIFY(m_form->qryInscEstad->IsEmpty());
}

void TstFilter::todasBoxes()
{
    m_form->medCdEmpresa->setText(m_first.code);
    m_form->medInscEstad->setText(u"123"_qs);
    m_form->medCdFilial->setText(u"0001"_qs);
    m_form->chbEmpresa->setChecked(true);
    QVERIFY(m_form->chbInscEstad->isChecked() && !m_form->chbInscEstad->isEnabled());
    QVERIFY(m_form->chbInscMuni->isChecked() && !m_form->chbInscMuni->isEnabled());
    QVERIFY(m_form->medCdEmpresa->text().isEmpty() && !m_form->medCdEmpresa->isEnabled());
    QVERIFY(m_form->medInscEstad->text().isEmpty() && !m_form->btpInscEstad->isEnabled());
    QCOMPARE(m_form->medCdFilial->text(), u"0001"_qs);
    QVERIFY(m_form->medCdFilial->isEnabled());
    m_form->chbEmpresa->setChecked(false);
    QVERIFY(!m_form->chbInscEstad->isChecked() && m_form->chbInscEstad->isEnabled());
    QVERIFY(m_form->medInscEstad->isEnabled() && m_form->lblInscMuni->isEnabled());
    m_form->edtNmFilial->setText(u"Campinas"_qs);
    m_form->chbFilial->setChecked(true);
    QVERIFY(m_form->medCdFilial->text().isEmpty() && m_form->edtNmFilial->text().isEmpty());
    QVERIFY(!m_form->btpFilial->isEnabled());
}

void TstFilter::parametersFollowTheFilter()
{
    TParams params(QStringList{u"P_CDEMPRESA"_qs, u"P_CDINSCESTA"_qs, u"P_CDINSCMUNI"_qs,
                               u"P_CDFILIAL"_qs, u"P_IDENTRSAID"_qs, u"P_DTENTRINI"_qs,
                               u"P_DTENTRFIM"_qs, u"P_CDTIPOOPER"_qs, u"P_TCDTIPOOPER"_qs,
                               u"P_OUTRO"_qs});
    params.ParamByName(u"P_OUTRO"_qs).SetAsString(u"intacto"_qs);
    m_form->chbEmpresa->setChecked(true);
    m_form->medCdFilial->setText(u"0001"_qs);
    m_form->chbFilial->setChecked(false);
    m_form->cbbEntrSaida->setCurrentIndex(1);
    m_form->depDtInicial->setText(u"01/03/2026"_qs);
    m_form->depDtFinal->setText(u"31/03/2026"_qs);
    m_listaTp = u"'E01','S05'"_qs;
    bool handled = true;
    m_form->rpddPadraoBeforeGetQueryParams(params, handled);
    QVERIFY(handled);
    QCOMPARE(params.ParamByName(u"P_CDEMPRESA"_qs).AsString(), u"T"_qs);
    QCOMPARE(params.ParamByName(u"P_CDINSCMUNI"_qs).AsString(), u"T"_qs);
    QCOMPARE(params.ParamByName(u"P_CDFILIAL"_qs).AsString(), u"0001"_qs);
    QCOMPARE(params.ParamByName(u"P_IDENTRSAID"_qs).AsString(), u"S"_qs);
    QCOMPARE(params.ParamByName(u"P_DTENTRINI"_qs).AsDate(), QDate(2026, 3, 1));
    QCOMPARE(params.ParamByName(u"P_DTENTRFIM"_qs).AsDate(), QDate(2026, 3, 31));
    QCOMPARE(params.ParamByName(u"P_CDTIPOOPER"_qs).AsString(), QString());
    QVERIFY(!params.ParamByName(u"P_CDTIPOOPER"_qs).IsNull());
    QCOMPARE(params.ParamByName(u"P_TCDTIPOOPER"_qs).AsString(), u"T"_qs);
    QCOMPARE(params.ParamByName(u"P_OUTRO"_qs).AsString(), u"intacto"_qs);

    // A box left unchecked passes the empty text, not "T"; "Lista" passes the list.
    m_form->chbEmpresa->setChecked(false);
    m_form->rdbLista->setChecked(true);
    m_form->rpddPadraoBeforeGetQueryParams(params, handled);
    QCOMPARE(params.ParamByName(u"P_CDEMPRESA"_qs).AsString(), QString());
    QVERIFY(!params.ParamByName(u"P_CDEMPRESA"_qs).IsNull());
    QCOMPARE(params.ParamByName(u"P_CDTIPOOPER"_qs).AsString(), u"'E01','S05'"_qs);
    QCOMPARE(params.ParamByName(u"P_TCDTIPOOPER"_qs).AsString(), QString());
    // "Todos" empties the list.
    m_form->rdbTodos->setChecked(true);
    QVERIFY(m_listaTp.isEmpty());

    TParams only(QStringList{u"P_DTENTRFIM"_qs});
    m_form->rpddPadraoBeforeGetQueryParams(only, handled);
    QCOMPARE(only.Count(), 1);
    QCOMPARE(only.ParamByName(u"P_DTENTRFIM"_qs).AsDate(), QDate(2026, 3, 31));
}

void TstFilter::outputActionsCheckInOrder()
{
    m_form->depDtInicial->setText(u"01/03/2026"_qs);
    m_form->depDtFinal->setText(u"31/03/2026"_qs);
    // Report edit accepts empty codes; print requires the enabled ones.
    QVERIFY(runs(&TfrmListDocumentos::sbtReportEditClick));
    QVERIFY(!runs(&TfrmListDocumentos::sbtPrintClick));
    QCOMPARE(m_host->presenter().lastError(), u"Empresa deve ser informada."_qs);
    for (QCheckBox* box : {m_form->chbEmpresa, m_form->chbFilial})
        box->setChecked(true);
    TParams params(QStringList{u"P_CDEMPRESA"_qs, u"P_TCDTIPOOPER"_qs});
    QVERIFY(runs(&TfrmListDocumentos::sbtPrintClick, &params));
    QCOMPARE(params.ParamByName(u"P_CDEMPRESA"_qs).AsString(), u"T"_qs);

    // The withholding report's preview refuses "Lista" with nothing picked; print does not.
    const int withholding = m_form->cbbReportNames->findText(TfrmListDocumentos::WithholdingReport);
    m_form->cbbReportNames->setCurrentIndex(withholding);
    m_form->cbbReportNamesChange(m_form->cbbReportNames);
    m_form->rdbLista->setChecked(true);
    m_host->presenter().clear();
    QVERIFY(!runs(&TfrmListDocumentos::sbtPreviewClick));
    QCOMPARE(m_host->presenter().lastError(), u"Tipo de Operação deve ser informado."_qs);
    QVERIFY(runs(&TfrmListDocumentos::sbtPrintClick));

    // The first fault in the fixed order is the one reported.
    m_form->chbEmpresa->setChecked(false);
    m_form->medCdEmpresa->setText(u"77"_qs);
    m_form->depDtFinal->Clear();
    m_host->presenter().clear();
    QVERIFY(!runs(&TfrmListDocumentos::sbtReportEditClick));
    QCOMPARE(m_host->presenter().errors, QStringList{u"Empresa não cadastrada."_qs});
}

void TstFilter::enabledTestIsTheFieldsOwn_data()
{
    QTest::addColumn<bool>("ownDisabled");
    QTest::addColumn<bool>("runs");
    QTest::newRow("parent disabled: still required") << false << false;
    QTest::newRow("own setting off: not checked") << true << true;
}

void TstFilter::enabledTestIsTheFieldsOwn()
{
    QFETCH(bool, ownDisabled);
    QFETCH(bool, runs);
    m_form->depDtInicial->setText(u"01/03/2026"_qs);
    m_form->depDtFinal->setText(u"31/03/2026"_qs);
    for (QCheckBox* box : {m_form->chbInscEstad, m_form->chbInscMuni, m_form->chbFilial})
        box->setChecked(true);
    // An ancestor disabled, as while a modal run holds the form, is not the field's setting.
    m_form->medCdEmpresa->parentWidget()->setEnabled(false);
    m_form->medCdEmpresa->setEnabled(!ownDisabled);
    QCOMPARE(this->runs(&TfrmListDocumentos::sbtPrintClick), runs);
}

QTEST_MAIN(TstFilter)
#include "tst_filter.moc"
