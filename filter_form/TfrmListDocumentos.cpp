#include "TfrmListDocumentos.h"
#include "ui_TfrmListDocumentos.h"

#include "EAbort.h"
#include "Helpers.h"
#include "PesquisaLista.h"
#include "TBtnPesquisa.h"
#include "TDateEditPlus.h"
#include "TMaskEdit.h"
#include "TMessages.h"
#include "TReportActions.h"
#include "TReportParamBinder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace {

// Any failure of a code check leaves the focus on the field under check.
template <typename F> void withFocusOn(QWidget* field, F check)
{
    try {
        check();
    } catch (...) {
        field->setFocus();
        throw;
    }
}

void setText(TADOIBQuery* query, const char* param, const QString& text)
{
    query->ParamByName(QLatin1String(param)).SetAsString(text);
}

void clear(TADOIBQuery* query, const char* param)
{
    query->ParamByName(QLatin1String(param)).Clear();
}

QString field(TADOIBQuery* query, const char* name)
{
    return query->FieldByName(QLatin1String(name))->AsString();
}

} // namespace

const QString TfrmListDocumentos::WithholdingReport =
    QStringLiteral("Retenções por Cliente/Fornecedor");

TfrmListDocumentos::TfrmListDocumentos(QWidget* parent) : TfrmListDocumentos(Session{}, parent)
{
}

TfrmListDocumentos::TfrmListDocumentos(Session session, QWidget* parent)
    : TfrmDadosGerRel(parent), TLookupQueries(this), ui(new Ui::TfrmListDocumentos),
      m_session(std::move(session))
{
    if (!m_session.listaTp)
        m_session.listaTp = &m_ownListaTp;
    ui->setupUi(this);
    lblEmpresa = ui->lblEmpresa;
    medCdEmpresa = ui->medCdEmpresa;
    btpEmpresa = ui->btpEmpresa;
    edtNmEmpresa = ui->edtNmEmpresa;
    chbEmpresa = ui->chbEmpresa;
    lblInscEstad = ui->lblInscEstad;
    medInscEstad = ui->medInscEstad;
    btpInscEstad = ui->btpInscEstad;
    chbInscEstad = ui->chbInscEstad;
    lblInscMuni = ui->lblInscMuni;
    medInscMuni = ui->medInscMuni;
    btpInscMuni = ui->btpInscMuni;
    chbInscMuni = ui->chbInscMuni;
    lblFilialOrigem = ui->lblFilialOrigem;
    medCdFilial = ui->medCdFilial;
    btpFilial = ui->btpFilial;
    edtNmFilial = ui->edtNmFilial;
    chbFilial = ui->chbFilial;
    lblEntrSaida = ui->lblEntrSaida;
    cbbEntrSaida = ui->cbbEntrSaida;
    lblDtInicial = ui->lblDtInicial;
    depDtInicial = ui->depDtInicial;
    lblDtFinal = ui->lblDtFinal;
    depDtFinal = ui->depDtFinal;
    gpbTpOper = ui->gpbTpOper;
    rdbTodos = ui->rdbTodos;
    rdbLista = ui->rdbLista;
    btnTpOperacao = ui->btnTpOperacao;

    FIS_HANDLER(TfrmListDocumentos, FormCreate);
    FIS_HANDLER(TfrmListDocumentos, FormActivate);
    FIS_HANDLER(TfrmListDocumentos, FormClose);
    FIS_HANDLER(TfrmListDocumentos, cbbReportNamesChange);
    FIS_HANDLER(TfrmListDocumentos, medCdEmpresaChange);
    FIS_HANDLER(TfrmListDocumentos, medCdEmpresaExit);
    FIS_HANDLER(TfrmListDocumentos, medInscEstadExit);
    FIS_HANDLER(TfrmListDocumentos, medInscMuniExit);
    FIS_HANDLER(TfrmListDocumentos, medCdFilialChange);
    FIS_HANDLER(TfrmListDocumentos, medCdFilialExit);
    FIS_HANDLER(TfrmListDocumentos, depDtInicialExit);
    FIS_HANDLER(TfrmListDocumentos, depDtFinalExit);
    FIS_HANDLER(TfrmListDocumentos, btpEmpresaBeforePesq);
    FIS_HANDLER(TfrmListDocumentos, btpEmpresaAfterPesq);
    FIS_HANDLER(TfrmListDocumentos, btpInscEstadBeforePesq);
    FIS_HANDLER(TfrmListDocumentos, btpInscEstadAfterPesq);
    FIS_HANDLER(TfrmListDocumentos, btpInscMuniBeforePesq);
    FIS_HANDLER(TfrmListDocumentos, btpInscMuniAfterPesq);
    FIS_HANDLER(TfrmListDocumentos, btpFilialBeforePesq);
    FIS_HANDLER(TfrmListDocumentos, btpFilialAfterPesq);
    FIS_HANDLER(TfrmListDocumentos, chbEmpresaClick);
    FIS_HANDLER(TfrmListDocumentos, chbInscEstadClick);
    FIS_HANDLER(TfrmListDocumentos, chbInscMuniClick);
    FIS_HANDLER(TfrmListDocumentos, chbFilialClick);
    FIS_HANDLER(TfrmListDocumentos, rdbTodosClick);
    FIS_HANDLER(TfrmListDocumentos, rdbListaClick);
    FIS_HANDLER(TfrmListDocumentos, btnTpOperacaoClick);
    FIS_HANDLER(TfrmListDocumentos, rpddPadraoBeforeGetQueryParams);
    FIS_HANDLER(TfrmListDocumentos, sbtPrintClick);
    FIS_HANDLER(TfrmListDocumentos, sbtPreviewClick);
    FIS_HANDLER(TfrmListDocumentos, sbtReportEditClick);
    Loaded();
}

TfrmListDocumentos::~TfrmListDocumentos() = default;

void TfrmListDocumentos::FormCreate(QObject* Sender)
{
    TfrmDadosGerRel::FormCreate(Sender);
    // Selecting from code raises no change event: activation applies the report state.
    cbbEntrSaida->setCurrentIndex(0);
    cbbReportNames->setCurrentIndex(0);
}

void TfrmListDocumentos::FormActivate(QObject* Sender)
{
    TfrmDadosGerRel::FormActivate(Sender);
    cbbReportNamesChange(cbbReportNames);
    Repaint();
}

void TfrmListDocumentos::FormClose(QObject* Sender, TCloseAction& Action)
{
    TfrmDadosGerRel::FormClose(Sender, Action);
    if (m_session.closed)
        m_session.closed();
    Release();
}

void TfrmListDocumentos::cbbReportNamesChange(QObject*)
{
    if (isWithholdingReport()) {
        rdbTodos->setEnabled(true);
        rdbLista->setEnabled(true);
        btnTpOperacao->setEnabled(rdbLista->isChecked());
    } else {
        rdbTodos->setEnabled(false);
        rdbLista->setEnabled(false);
        btnTpOperacao->setEnabled(false);
    }
}

bool TfrmListDocumentos::isWithholdingReport() const
{
    return cbbReportNames->currentText() == WithholdingReport;
}

const QWidget* TfrmListDocumentos::codeField(Code code) const
{
    switch (code) {
    case Empresa:
        return medCdEmpresa;
    case InscEstad:
        return medInscEstad;
    case InscMuni:
        return medInscMuni;
    case Filial:
        break;
    }
    return medCdFilial;
}

void TfrmListDocumentos::fail(const char* key)
{
    MensErro(msgPadrao->Msg(QLatin1String(key)), true);
    throw EAbort(); // MensErro with true does not return
}

// --- Code checks ---------------------------------------------------------------

void TfrmListDocumentos::Vd_Empresa(bool Required)
{
    withFocusOn(medCdEmpresa, [&] {
        if (EmptyString(medCdEmpresa->text())) {
            if (Required)
                fail("Emp_inf");
            return;
        }
        medCdEmpresa->setText(Ajusta(medCdEmpresa->text(), 2));
        qryEmpresa->Close();
        setText(qryEmpresa, "P_CDEMPRESA", medCdEmpresa->text());
        clear(qryEmpresa, "P_TCDEMPRESA");
        qryEmpresa->Open();
        if (qryEmpresa->IsEmpty())
            fail("Emp_cad");
        edtNmEmpresa->setText(field(qryEmpresa, "NMRAZSOCEMPR"));
    });
}

void TfrmListDocumentos::Vd_InscEstad(bool Required)
{
    withFocusOn(medInscEstad, [&] {
        if (EmptyString(medInscEstad->text())) {
            if (Required)
                fail("InscEstad_inf");
            return;
        }
        qryInscEstad->Close();
        setText(qryInscEstad, "P_CDEMPRESA", medCdEmpresa->text());
        setText(qryInscEstad, "P_CDINSCESTA", medInscEstad->text());
        clear(qryInscEstad, "P_TCDINSCESTA");
        qryInscEstad->Open();
        if (qryInscEstad->IsEmpty())
            fail("InscEstad_cad");
    });
}

void TfrmListDocumentos::Vd_InscMuni(bool Required)
{
    withFocusOn(medInscMuni, [&] {
        if (EmptyString(medInscMuni->text())) {
            if (Required)
                fail("InscMuni_inf");
            return;
        }
        qryInscMuni->Close();
        setText(qryInscMuni, "P_CDEMPRESA", medCdEmpresa->text());
        setText(qryInscMuni, "P_CDINSCMUNI", medInscMuni->text());
        clear(qryInscMuni, "P_TCDINSCMUNI");
        qryInscMuni->Open();
        if (qryInscMuni->IsEmpty())
            fail("InscMuni_cad");
    });
}

void TfrmListDocumentos::Vd_Filial(bool Required)
{
    withFocusOn(medCdFilial, [&] {
        if (EmptyString(medCdFilial->text())) {
            if (Required)
                fail("Filial_inf");
            return;
        }
        medCdFilial->setText(Ajusta(medCdFilial->text(), 4));
        qryFilial->Close();
        setText(qryFilial, "P_CDEMPRESA", medCdEmpresa->text());
        setText(qryFilial, "P_CDINSCMUNI", medInscMuni->text());
        setText(qryFilial, "P_CDINSCESTA", medInscEstad->text());
        setText(qryFilial, "P_CDFILIAL", medCdFilial->text());
        qryFilial->Open();
        if (qryFilial->IsEmpty())
            fail("Filial_cad");
        edtNmFilial->setText(field(qryFilial, "NMFILIAL"));
    });
}

void TfrmListDocumentos::Vd_Data()
{
    if (EmptyString(depDtInicial->Text())) {
        depDtInicial->setFocus();
        fail("DtInicial_inf");
    }
    if (EmptyString(depDtFinal->Text())) {
        depDtFinal->setFocus();
        fail("DtFinal_inf");
    }
    depDtInicial->CheckValidDate();
    depDtFinal->CheckValidDate();
    if (depDtFinal->GetDate() < depDtInicial->GetDate()) {
        depDtInicial->setFocus();
        fail("Dt_inv");
    }
}

void TfrmListDocumentos::Vd_EntrSaida()
{
    if (cbbEntrSaida->currentText().isEmpty()) {
        cbbEntrSaida->setFocus();
        fail("EntrSaida_inf");
    }
}

void TfrmListDocumentos::Vd_TipoOper()
{
    if (rdbLista->isChecked() && EmptyString(*m_session.listaTp)) {
        rdbLista->setFocus();
        fail("Tp_Inf");
    }
}

// --- Leaving and changing fields ----------------------------------------------

void TfrmListDocumentos::medCdEmpresaExit(QObject*)
{
    Vd_Empresa(false);
}

void TfrmListDocumentos::medInscEstadExit(QObject*)
{
    Vd_InscEstad(false);
}

void TfrmListDocumentos::medInscMuniExit(QObject*)
{
    Vd_InscMuni(false);
}

void TfrmListDocumentos::medCdFilialExit(QObject*)
{
    Vd_Filial(false);
}

void TfrmListDocumentos::depDtInicialExit(QObject*)
{
    depDtInicial->CheckValidDate();
}

void TfrmListDocumentos::depDtFinalExit(QObject*)
{
    depDtFinal->CheckValidDate();
}

void TfrmListDocumentos::medCdEmpresaChange(QObject*)
{
    // The registrations belong to the company: a new company voids them.
    edtNmEmpresa->clear();
    medInscEstad->clear();
    medInscMuni->clear();
}

void TfrmListDocumentos::medCdFilialChange(QObject*)
{
    edtNmFilial->clear();
}

// --- Search buttons ----------------------------------------------------------

void TfrmListDocumentos::btpEmpresaBeforePesq(QObject*, bool&)
{
    qryEmpresa->Close();
    setText(qryEmpresa, "P_TCDEMPRESA", QStringLiteral("T"));
    clear(qryEmpresa, "P_CDEMPRESA");
    qryEmpresa->Open();
}

void TfrmListDocumentos::btpEmpresaAfterPesq(QObject*)
{
    medCdEmpresa->setText(field(qryEmpresa, "CDEMPRESA"));
    edtNmEmpresa->setText(field(qryEmpresa, "NMRAZSOCEMPR"));
}

void TfrmListDocumentos::btpInscEstadBeforePesq(QObject*, bool&)
{
    qryInscEstad->Close();
    setText(qryInscEstad, "P_CDEMPRESA", medCdEmpresa->text());
    clear(qryInscEstad, "P_CDINSCESTA");
    setText(qryInscEstad, "P_TCDINSCESTA", QStringLiteral("T"));
    qryInscEstad->Open();
}

void TfrmListDocumentos::btpInscEstadAfterPesq(QObject*)
{
    medInscEstad->setText(field(qryInscEstad, "CDINSCESTA"));
}

void TfrmListDocumentos::btpInscMuniBeforePesq(QObject*, bool&)
{
    qryInscMuni->Close();
    setText(qryInscMuni, "P_CDEMPRESA", medCdEmpresa->text());
    setText(qryInscMuni, "P_TCDINSCMUNI", QStringLiteral("T"));
    clear(qryInscMuni, "P_CDINSCMUNI");
    qryInscMuni->Open();
}

void TfrmListDocumentos::btpInscMuniAfterPesq(QObject*)
{
    medInscMuni->setText(field(qryInscMuni, "CDINSCMUNI"));
}

void TfrmListDocumentos::btpFilialBeforePesq(QObject*, bool&)
{
    qryFilial->Close();
    setText(qryFilial, "P_CDEMPRESA", medCdEmpresa->text());
    setText(qryFilial, "P_CDINSCESTA", medInscEstad->text());
    setText(qryFilial, "P_CDINSCMUNI", medInscMuni->text());
    clear(qryFilial, "P_CDFILIAL");
    qryFilial->Open();
}

void TfrmListDocumentos::btpFilialAfterPesq(QObject*)
{
    medCdFilial->setText(field(qryFilial, "CDFILIAL"));
    edtNmFilial->setText(field(qryFilial, "NMFILIAL"));
}

// --- "Todas" boxes -------------------------------------------------------------

void TfrmListDocumentos::chbEmpresaClick(QObject*)
{
    const bool enabled = !chbEmpresa->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{
             lblEmpresa, medCdEmpresa, btpEmpresa, medInscEstad, btpInscEstad, chbInscEstad,
             lblInscEstad, medInscMuni, btpInscMuni, chbInscMuni, lblInscMuni})
        w->setEnabled(enabled);
    // A box changed here raises its own click handling at that point.
    if (chbEmpresa->isChecked()) {
        chbInscEstad->setChecked(true);
        chbInscMuni->setChecked(true);
        medCdEmpresa->clear();
        edtNmEmpresa->clear();
    } else {
        chbInscEstad->setChecked(false);
        chbInscMuni->setChecked(false);
    }
}

void TfrmListDocumentos::chbInscEstadClick(QObject*)
{
    const bool enabled = !chbInscEstad->isChecked();
    lblInscEstad->setEnabled(enabled);
    medInscEstad->setEnabled(enabled);
    btpInscEstad->setEnabled(enabled);
    if (chbInscEstad->isChecked())
        medInscEstad->clear();
}

void TfrmListDocumentos::chbInscMuniClick(QObject*)
{
    const bool enabled = !chbInscMuni->isChecked();
    lblInscMuni->setEnabled(enabled);
    medInscMuni->setEnabled(enabled);
    btpInscMuni->setEnabled(enabled);
    if (chbInscMuni->isChecked())
        medInscMuni->clear();
}

void TfrmListDocumentos::chbFilialClick(QObject*)
{
    const bool enabled = !chbFilial->isChecked();
    lblFilialOrigem->setEnabled(enabled);
    medCdFilial->setEnabled(enabled);
    btpFilial->setEnabled(enabled);
    if (chbFilial->isChecked()) {
        medCdFilial->clear();
        edtNmFilial->clear();
    }
}

// --- Operation types -----------------------------------------------------------

void TfrmListDocumentos::rdbTodosClick(QObject*)
{
    m_session.listaTp->clear();
    btnTpOperacao->setEnabled(false);
}

void TfrmListDocumentos::rdbListaClick(QObject*)
{
    // A list kept from an earlier form of this load is the choice again.
    btnTpOperacao->setEnabled(true);
}

void TfrmListDocumentos::btnTpOperacaoClick(QObject*)
{
    qryTpOperacao->Close();
    qryTpOperacao->Open();
    const QString titles = msgPadrao->Msg(QStringLiteral("TipoOper")) + u'|' +
                           msgPadrao->Msg(QStringLiteral("nao_ha_tipo"));
    PesquisaLista(dtsTpOperacao, QStringLiteral("CHAVE"), titles, false, *m_session.listaTp);
}

// --- Report ----------------------------------------------------------------------

void TfrmListDocumentos::rpddPadraoBeforeGetQueryParams(TParams& Params, bool&)
{
    TReportParamBinder::Filter filter;
    filter.empresa = {medCdEmpresa->text(), chbEmpresa->isChecked()};
    filter.inscEstad = {medInscEstad->text(), chbInscEstad->isChecked()};
    filter.inscMuni = {medInscMuni->text(), chbInscMuni->isChecked()};
    filter.filial = {medCdFilial->text(), chbFilial->isChecked()};
    filter.direction = cbbEntrSaida->currentText();
    filter.start = depDtInicial->GetDate().date();
    filter.end = depDtFinal->GetDate().date();
    filter.list = rdbLista->isChecked();
    filter.listaTp = *m_session.listaTp;
    TReportParamBinder::Bind(Params, filter);
}

void TfrmListDocumentos::sbtPrintClick(QObject* Sender)
{
    TReportActions::print(*this, [&] { TfrmDadosGerRel::sbtPrintClick(Sender); });
}

void TfrmListDocumentos::sbtPreviewClick(QObject* Sender)
{
    TReportActions::preview(*this, [&] { TfrmDadosGerRel::sbtPreviewClick(Sender); });
}

void TfrmListDocumentos::sbtReportEditClick(QObject* Sender)
{
    TReportActions::reportEdit(*this, [&] { TfrmDadosGerRel::sbtReportEditClick(Sender); });
}
