#pragma once

#include "TLookupQueries.h"
#include "TReportFilterChecks.h"
#include "TSavedFilters.h"
#include "TfrmDadosGerRel.h"

#include <functional>
#include <memory>

namespace Ui {
class TfrmListDocumentos;
}

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;
class TBtnPesquisa;
class TDateEditPlus;
class TMaskEdit;

// "Listagem dos Documentos": the filter of the FIS012 reports.
class TfrmListDocumentos : public TfrmDadosGerRel, public TLookupQueries, public TReportFilterChecks
{
    Q_OBJECT

public:
    // What outlives one form, owned by whoever creates it: the chosen operation-type
    // keys, and who is told when the form closes.
    struct Session
    {
        QString* listaTp = nullptr; // nullptr: the form keeps its own list
        std::function<void()> closed;
    };

    // The one report whose query takes a list of operation types.
    static const QString WithholdingReport;

    explicit TfrmListDocumentos(QWidget* parent = nullptr);
    explicit TfrmListDocumentos(Session session, QWidget* parent = nullptr);
    ~TfrmListDocumentos() override;

    void FormCreate(QObject* Sender);
    void FormActivate(QObject* Sender);
    void FormClose(QObject* Sender, TCloseAction& Action);
    void cbbReportNamesChange(QObject* Sender);

    void medCdEmpresaChange(QObject* Sender);
    void medCdEmpresaExit(QObject* Sender);
    void medInscEstadExit(QObject* Sender);
    void medInscMuniExit(QObject* Sender);
    void medCdFilialChange(QObject* Sender);
    void medCdFilialExit(QObject* Sender);
    void depDtInicialExit(QObject* Sender);
    void depDtFinalExit(QObject* Sender);
    void btpEmpresaBeforePesq(QObject* Sender, bool& Proceed);
    void btpEmpresaAfterPesq(QObject* Sender);
    void btpInscEstadBeforePesq(QObject* Sender, bool& Proceed);
    void btpInscEstadAfterPesq(QObject* Sender);
    void btpInscMuniBeforePesq(QObject* Sender, bool& Proceed);
    void btpInscMuniAfterPesq(QObject* Sender);
    void btpFilialBeforePesq(QObject* Sender, bool& Proceed);
    void btpFilialAfterPesq(QObject* Sender);
    void chbEmpresaClick(QObject* Sender);
    void chbInscEstadClick(QObject* Sender);
    void chbInscMuniClick(QObject* Sender);
    void chbFilialClick(QObject* Sender);
    void rdbTodosClick(QObject* Sender);
    void rdbListaClick(QObject* Sender);
    void btnTpOperacaoClick(QObject* Sender);
    void rpddPadraoBeforeGetQueryParams(TParams& Params, bool& Handled);
    void sbtPrintClick(QObject* Sender);
    void sbtPreviewClick(QObject* Sender);
    void sbtReportEditClick(QObject* Sender);

    // Checks: a check that returns has passed; a failing one ends the action.
    void Vd_Empresa(bool Required) override;
    void Vd_InscEstad(bool Required) override;
    void Vd_InscMuni(bool Required) override;
    void Vd_Filial(bool Required) override;
    void Vd_Data() override;
    void Vd_EntrSaida() override;
    void Vd_TipoOper() override;

    const QWidget* codeField(Code code) const override;
    bool isWithholdingReport() const override;

    QLabel* lblEmpresa;
    TMaskEdit* medCdEmpresa;
    TBtnPesquisa* btpEmpresa;
    QLineEdit* edtNmEmpresa;
    QCheckBox* chbEmpresa;
    QLabel* lblInscEstad;
    TMaskEdit* medInscEstad;
    TBtnPesquisa* btpInscEstad;
    QCheckBox* chbInscEstad;
    QLabel* lblInscMuni;
    TMaskEdit* medInscMuni;
    TBtnPesquisa* btpInscMuni;
    QCheckBox* chbInscMuni;
    QLabel* lblFilialOrigem;
    TMaskEdit* medCdFilial;
    TBtnPesquisa* btpFilial;
    QLineEdit* edtNmFilial;
    QCheckBox* chbFilial;
    QLabel* lblEntrSaida;
    QComboBox* cbbEntrSaida;
    QLabel* lblDtInicial;
    TDateEditPlus* depDtInicial;
    QLabel* lblDtFinal;
    TDateEditPlus* depDtFinal;
    QGroupBox* gpbTpOper;
    QRadioButton* rdbTodos;
    QRadioButton* rdbLista;
    TBtnPesquisa* btnTpOperacao;
    QToolButton* sbtFiltros;
    QLabel* lblTiposOper;

    // Saved filters: what the screen holds now, and bringing one back. Applying sets the
    // fields as a clerk would and runs each code's check, so a code no longer on file
    // ends the apply with its message and the focus on that field.
    TSavedFilters::Entry currentFilter(const QString& name = {},
                                       TSavedFilters::Period period = {}) const;
    void applyFilter(const TSavedFilters::Entry& entry);
    void applySavedFilter(const QString& name);
    void repeatLastFilter();
    TSavedFilters savedFilters() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct CodeRule;

    [[noreturn]] void fail(const char* key);
    static const CodeRule& rule(Code code);
    TADOIBQuery* prepareLookup(const CodeRule& r);
    void checkCode(Code code, bool required);
    void searchCode(Code code);
    void copyPicked(Code code);
    void rememberLast();
    void showChosenTypes();
    void fillFiltersMenu();
    void askSaveFilter();
    void askRenameFilter(const QString& name);
    void askDeleteFilter(const QString& name);

    std::unique_ptr<Ui::TfrmListDocumentos> ui;
    QString m_ownListaTp;
    Session m_session;
};
