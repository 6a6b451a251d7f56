#include "TfrmListDocumentos.h"
// Before the module's variables, whose form pointer has the same name as the definition's root.
#include "ui_TfrmListDocumentos.h"

#include "Cli_fis01200.h"

const QString TfrmListDocumentos::WithholdingReport =
    QStringLiteral("Retenções por Cliente/Fornecedor");

TfrmListDocumentos::TfrmListDocumentos(QWidget* parent)
    : TfrmDadosGerRel(parent), TLookupQueries(this), ui(new Ui::TfrmListDocumentos)
{
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
    boStCriado = false;
    Release();
}

void TfrmListDocumentos::cbbReportNamesChange(QObject*)
{
    if (cbbReportNames->currentText() == WithholdingReport) {
        rdbTodos->setEnabled(true);
        rdbLista->setEnabled(true);
        btnTpOperacao->setEnabled(rdbLista->isChecked());
    } else {
        rdbTodos->setEnabled(false);
        rdbLista->setEnabled(false);
        btnTpOperacao->setEnabled(false);
    }
}

// Filled in as the filter's checks, searches, boxes and report binding arrive.
void TfrmListDocumentos::medCdEmpresaChange(QObject*) {}
void TfrmListDocumentos::medCdEmpresaExit(QObject*) {}
void TfrmListDocumentos::medInscEstadExit(QObject*) {}
void TfrmListDocumentos::medInscMuniExit(QObject*) {}
void TfrmListDocumentos::medCdFilialChange(QObject*) {}
void TfrmListDocumentos::medCdFilialExit(QObject*) {}
void TfrmListDocumentos::depDtInicialExit(QObject*) {}
void TfrmListDocumentos::depDtFinalExit(QObject*) {}
void TfrmListDocumentos::btpEmpresaBeforePesq(QObject*, bool&) {}
void TfrmListDocumentos::btpEmpresaAfterPesq(QObject*) {}
void TfrmListDocumentos::btpInscEstadBeforePesq(QObject*, bool&) {}
void TfrmListDocumentos::btpInscEstadAfterPesq(QObject*) {}
void TfrmListDocumentos::btpInscMuniBeforePesq(QObject*, bool&) {}
void TfrmListDocumentos::btpInscMuniAfterPesq(QObject*) {}
void TfrmListDocumentos::btpFilialBeforePesq(QObject*, bool&) {}
void TfrmListDocumentos::btpFilialAfterPesq(QObject*) {}
void TfrmListDocumentos::chbEmpresaClick(QObject*) {}
void TfrmListDocumentos::chbInscEstadClick(QObject*) {}
void TfrmListDocumentos::chbInscMuniClick(QObject*) {}
void TfrmListDocumentos::chbFilialClick(QObject*) {}
void TfrmListDocumentos::rdbTodosClick(QObject*) {}
void TfrmListDocumentos::rdbListaClick(QObject*) {}
void TfrmListDocumentos::btnTpOperacaoClick(QObject*) {}
void TfrmListDocumentos::rpddPadraoBeforeGetQueryParams(TParams&, bool&) {}
