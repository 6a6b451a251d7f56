#include "TfrmListDocumentos.h"
#include "ui_TfrmListDocumentos.h"

#include "EAbort.h"
#include "EFrameworkError.h"
#include "Helpers.h"
#include "PesquisaLista.h"
#include "TBtnPesquisa.h"
#include "TDateEditPlus.h"
#include "TEventGuard.h"
#include "TMaskEdit.h"
#include "TMessages.h"
#include "TReportActions.h"
#include "TReportParamBinder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QtDebug>

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
    sbtFiltros = ui->sbtFiltros;
    lblTiposOper = ui->lblTiposOper;
    depDtInicial->setFieldName(lblDtInicial->text());
    auto* filtersMenu = new QMenu(sbtFiltros);
    filtersMenu->setObjectName(QStringLiteral("ppmFiltros"));
    sbtFiltros->setMenu(filtersMenu);
    connect(filtersMenu, &QMenu::aboutToShow, this, &TfrmListDocumentos::fillFiltersMenu);
    rdbTodos->installEventFilter(this);
    rdbLista->installEventFilter(this);
    depDtFinal->setFieldName(lblDtFinal->text());

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

// --- Code checks and their searches -----------------------------------------------

// What a code field's check and its search button share: the field, its lookup, the
// codes above it that restrict the lookup, and where the name it names is shown.
struct TfrmListDocumentos::CodeRule
{
    TMaskEdit* TfrmListDocumentos::*field;
    TADOIBQuery* TLookupQueries::*query;
    int width; // brought to this width before the lookup; 0 leaves it
    const char* missingKey;
    const char* unknownKey;
    const char* param;     // the code's parameter, also its column without "P_"
    const char* allParam;  // the lookup's "all" switch; nullptr when it has none
    unsigned restrictedBy; // the codes (bits of Code) set as the lookup's context
    QLineEdit* TfrmListDocumentos::*name;
    const char* nameColumn;
};

const TfrmListDocumentos::CodeRule& TfrmListDocumentos::rule(Code code)
{
    using F = TfrmListDocumentos;
    constexpr unsigned company = 1u << Empresa;
    static const CodeRule rules[] = {
        {&F::medCdEmpresa, &F::qryEmpresa, 2, "Emp_inf", "Emp_cad", "P_CDEMPRESA", "P_TCDEMPRESA",
         0, &F::edtNmEmpresa, "NMRAZSOCEMPR"},
        {&F::medInscEstad, &F::qryInscEstad, 0, "InscEstad_inf", "InscEstad_cad", "P_CDINSCESTA",
         "P_TCDINSCESTA", company, nullptr, nullptr},
        {&F::medInscMuni, &F::qryInscMuni, 0, "InscMuni_inf", "InscMuni_cad", "P_CDINSCMUNI",
         "P_TCDINSCMUNI", company, nullptr, nullptr},
        {&F::medCdFilial, &F::qryFilial, 4, "Filial_inf", "Filial_cad", "P_CDFILIAL", nullptr,
         company | 1u << InscEstad | 1u << InscMuni, &F::edtNmFilial, "NMFILIAL"},
    };
    return rules[code];
}

// Closes the lookup and sets its context: the codes above the field, as typed.
TADOIBQuery* TfrmListDocumentos::prepareLookup(const CodeRule& r)
{
    TADOIBQuery* query = this->*r.query;
    query->Close();
    for (Code above : {Empresa, InscEstad, InscMuni})
        if (r.restrictedBy & (1u << above))
            setText(query, rule(above).param, (this->*rule(above).field)->text().trimmed());
    return query;
}

void TfrmListDocumentos::checkCode(Code code, bool required)
{
    const CodeRule& r = rule(code);
    TMaskEdit* edit = this->*r.field;
    withFocusOn(edit, [&] {
        if (EmptyString(edit->text())) {
            if (required)
                fail(r.missingKey);
            return;
        }
        // Blanks around a code cannot be seen, so they never decide a match: Firebird
        // ignores trailing ones, SQLite and PostgreSQL would not.
        edit->setText(r.width > 0 ? Ajusta(edit->text(), r.width) : edit->text().trimmed());
        TADOIBQuery* query = prepareLookup(r);
        setText(query, r.param, edit->text());
        if (r.allParam)
            clear(query, r.allParam);
        query->Open();
        if (query->IsEmpty())
            fail(r.unknownKey);
        if (r.name)
            (this->*r.name)->setText(field(query, r.nameColumn));
    });
}

void TfrmListDocumentos::searchCode(Code code)
{
    const CodeRule& r = rule(code);
    TADOIBQuery* query = prepareLookup(r);
    clear(query, r.param);
    if (r.allParam)
        setText(query, r.allParam, QStringLiteral("T"));
    query->Open();
}

void TfrmListDocumentos::copyPicked(Code code)
{
    const CodeRule& r = rule(code);
    TADOIBQuery* query = this->*r.query;
    (this->*r.field)->setText(field(query, r.param + 2)); // the column: the name without "P_"
    if (r.name)
        (this->*r.name)->setText(field(query, r.nameColumn));
}

void TfrmListDocumentos::Vd_Empresa(bool Required)
{
    checkCode(Empresa, Required);
}

void TfrmListDocumentos::Vd_InscEstad(bool Required)
{
    checkCode(InscEstad, Required);
}

void TfrmListDocumentos::Vd_InscMuni(bool Required)
{
    checkCode(InscMuni, Required);
}

void TfrmListDocumentos::Vd_Filial(bool Required)
{
    checkCode(Filial, Required);
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
    searchCode(Empresa);
}

void TfrmListDocumentos::btpEmpresaAfterPesq(QObject*)
{
    copyPicked(Empresa);
}

void TfrmListDocumentos::btpInscEstadBeforePesq(QObject*, bool&)
{
    searchCode(InscEstad);
}

void TfrmListDocumentos::btpInscEstadAfterPesq(QObject*)
{
    copyPicked(InscEstad);
}

void TfrmListDocumentos::btpInscMuniBeforePesq(QObject*, bool&)
{
    searchCode(InscMuni);
}

void TfrmListDocumentos::btpInscMuniAfterPesq(QObject*)
{
    copyPicked(InscMuni);
}

void TfrmListDocumentos::btpFilialBeforePesq(QObject*, bool&)
{
    searchCode(Filial);
}

void TfrmListDocumentos::btpFilialAfterPesq(QObject*)
{
    copyPicked(Filial);
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
    showChosenTypes();
}

void TfrmListDocumentos::rdbListaClick(QObject*)
{
    // A list kept from an earlier form of this load is the choice again.
    btnTpOperacao->setEnabled(true);
    showChosenTypes();
}

void TfrmListDocumentos::btnTpOperacaoClick(QObject*)
{
    qryTpOperacao->Close();
    qryTpOperacao->Open();
    const QString titles = msgPadrao->Msg(QStringLiteral("TipoOper")) + u'|' +
                           msgPadrao->Msg(QStringLiteral("nao_ha_tipo"));
    PesquisaLista(dtsTpOperacao, QStringLiteral("CHAVE"), titles, false, *m_session.listaTp);
    showChosenTypes();
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
    TReportActions::print(*this, [&] {
        rememberLast();
        TfrmDadosGerRel::sbtPrintClick(Sender);
    });
}

void TfrmListDocumentos::sbtPreviewClick(QObject* Sender)
{
    TReportActions::preview(*this, [&] {
        rememberLast();
        TfrmDadosGerRel::sbtPreviewClick(Sender);
    });
}

void TfrmListDocumentos::sbtReportEditClick(QObject* Sender)
{
    TReportActions::reportEdit(*this, [&] { TfrmDadosGerRel::sbtReportEditClick(Sender); });
}

bool TfrmListDocumentos::eventFilter(QObject* watched, QEvent* event)
{
    // An arrow key chooses the radio it reaches, as everywhere on the desktop.
    if (event->type() == QEvent::KeyPress && (watched == rdbTodos || watched == rdbLista)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up ||
            key == Qt::Key_Down) {
            QRadioButton* other = watched == rdbTodos ? rdbLista : rdbTodos;
            if (other->isEnabled()) {
                other->setFocus(Qt::TabFocusReason);
                if (!other->isChecked())
                    other->click();
            }
            return true;
        }
    }
    return TfrmDadosGerRel::eventFilter(watched, event);
}

// --- Saved filters -----------------------------------------------------------------

void TfrmListDocumentos::showChosenTypes()
{
    // The list text is quoted keys ('1','5'); the clerk reads the keys.
    QString keys = *m_session.listaTp;
    keys.remove(u'\'');
    keys.replace(u',', QStringLiteral(", "));
    const bool shown = rdbLista->isChecked() && !keys.isEmpty();
    lblTiposOper->setText(shown ? QStringLiteral("Tipos: %1").arg(keys) : QString());
    lblTiposOper->setToolTip(lblTiposOper->text());
}

TSavedFilters TfrmListDocumentos::savedFilters() const
{
    return TSavedFilters(lblCodRel->text());
}

TSavedFilters::Entry TfrmListDocumentos::currentFilter(const QString& name,
                                                       TSavedFilters::Period period) const
{
    TSavedFilters::Entry entry;
    entry.name = name;
    entry.reportName = cbbReportNames->currentText();
    entry.period = period;
    TReportParamBinder::Filter& f = entry.filter;
    f.empresa = {medCdEmpresa->text().trimmed(), chbEmpresa->isChecked()};
    f.inscEstad = {medInscEstad->text().trimmed(), chbInscEstad->isChecked()};
    f.inscMuni = {medInscMuni->text().trimmed(), chbInscMuni->isChecked()};
    f.filial = {medCdFilial->text().trimmed(), chbFilial->isChecked()};
    f.direction = cbbEntrSaida->currentText();
    if (period == TSavedFilters::Period::Fixed) {
        f.start = depDtInicial->GetDate().date();
        f.end = depDtFinal->GetDate().date();
    }
    f.list = rdbLista->isChecked();
    f.listaTp = f.list ? *m_session.listaTp : QString();
    return entry;
}

void TfrmListDocumentos::rememberLast()
{
    try {
        savedFilters().saveLast(currentFilter(QStringLiteral("último")));
    } catch (const EFrameworkError& e) {
        // The report still runs; only "Repetir último filtro" misses this one.
        qWarning().noquote() << e.message();
    }
}

void TfrmListDocumentos::applyFilter(const TSavedFilters::Entry& saved)
{
    const TSavedFilters::Entry entry = TSavedFilters::resolved(saved);
    const TReportParamBinder::Filter& f = entry.filter;
    const int report = cbbReportNames->findText(entry.reportName, Qt::MatchExactly);
    if (report >= 0)
        cbbReportNames->setCurrentIndex(report);
    const int direction = cbbEntrSaida->findText(f.direction, Qt::MatchExactly);
    if (direction >= 0)
        cbbEntrSaida->setCurrentIndex(direction);
    depDtInicial->setDate(f.start);
    depDtFinal->setDate(f.end);
    // Each box runs its own handling as it changes, as a click would.
    chbEmpresa->setChecked(f.empresa.all);
    if (!f.empresa.all) {
        chbInscEstad->setChecked(f.inscEstad.all);
        chbInscMuni->setChecked(f.inscMuni.all);
    }
    chbFilial->setChecked(f.filial.all);
    if (f.list) {
        *m_session.listaTp = f.listaTp;
        rdbLista->setChecked(true);
    } else {
        rdbTodos->setChecked(true);
    }
    cbbReportNamesChange(cbbReportNames);
    showChosenTypes();
    // The codes last, each looked up as when its field is left.
    if (!f.empresa.all) {
        medCdEmpresa->setText(f.empresa.text);
        Vd_Empresa(false);
        if (!f.inscEstad.all) {
            medInscEstad->setText(f.inscEstad.text);
            Vd_InscEstad(false);
        }
        if (!f.inscMuni.all) {
            medInscMuni->setText(f.inscMuni.text);
            Vd_InscMuni(false);
        }
    }
    if (!f.filial.all) {
        medCdFilial->setText(f.filial.text);
        Vd_Filial(false);
    }
}

void TfrmListDocumentos::applySavedFilter(const QString& name)
{
    const std::optional<TSavedFilters::Entry> entry = savedFilters().find(name);
    if (!entry)
        MensErro(QStringLiteral("O filtro \"%1\" não existe mais.").arg(name), true);
    applyFilter(*entry);
}

void TfrmListDocumentos::repeatLastFilter()
{
    const std::optional<TSavedFilters::Entry> entry = savedFilters().last();
    if (!entry)
        MensErro(QStringLiteral("Ainda não há último filtro: ele é guardado ao imprimir, "
                                "visualizar ou exportar."),
                 true);
    applyFilter(*entry);
}

void TfrmListDocumentos::fillFiltersMenu()
{
    QMenu* menu = sbtFiltros->menu();
    menu->clear();
    const auto guarded = [](std::function<void()> f) {
        return [f = std::move(f)] { TEventGuard::run(f); };
    };
    menu->addAction(QStringLiteral("Salvar filtro atual…"), this,
                    guarded([this] { askSaveFilter(); }));
    QAction* last = menu->addAction(QStringLiteral("Repetir último filtro"), this,
                                    guarded([this] { repeatLastFilter(); }));
    QStringList names;
    TEventGuard::run([&] {
        const TSavedFilters filters = savedFilters();
        last->setEnabled(filters.last().has_value());
        names = filters.names();
    });
    if (names.isEmpty())
        return;
    menu->addSeparator();
    for (const QString& name : std::as_const(names)) {
        QMenu* sub = menu->addMenu(name);
        sub->addAction(QStringLiteral("Aplicar"), this,
                       guarded([this, name] { applySavedFilter(name); }));
        sub->addAction(QStringLiteral("Renomear…"), this,
                       guarded([this, name] { askRenameFilter(name); }));
        sub->addAction(QStringLiteral("Excluir…"), this,
                       guarded([this, name] { askDeleteFilter(name); }));
    }
}

void TfrmListDocumentos::askSaveFilter()
{
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("dlgSalvarFiltro"));
    dialog.setWindowTitle(QStringLiteral("Salvar filtro"));
    auto* layout = new QFormLayout(&dialog);
    auto* name = new QLineEdit(&dialog);
    name->setObjectName(QStringLiteral("edtNome"));
    name->setMinimumWidth(dialog.fontMetrics().horizontalAdvance(u'M') * 28);
    auto* period = new QComboBox(&dialog);
    period->setObjectName(QStringLiteral("cbbPeriodo"));
    const QString fixed =
        depDtInicial->isValidDate() && depDtFinal->isValidDate()
            ? QStringLiteral("Datas fixas (%1 a %2)").arg(depDtInicial->Text(), depDtFinal->Text())
            : QStringLiteral("Datas fixas");
    for (TSavedFilters::Period p : TSavedFilters::periods()) {
        QString text = p == TSavedFilters::Period::Fixed ? fixed : TSavedFilters::periodName(p);
        text[0] = text[0].toUpper();
        period->addItem(text, int(p));
    }
    layout->addRow(QStringLiteral("&Nome:"), name);
    layout->addRow(QStringLiteral("&Período:"), period);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Save)->setText(QStringLiteral("Salvar"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;
    TSavedFilters filters = savedFilters();
    if (filters.find(name->text().trimmed()) &&
        QMessageBox::question(this, QStringLiteral("Salvar filtro"),
                              QStringLiteral("Já existe um filtro \"%1\". Substituir?")
                                  .arg(name->text().trimmed())) != QMessageBox::Yes)
        return;
    filters.save(currentFilter(name->text(), TSavedFilters::Period(period->currentData().toInt())));
}

void TfrmListDocumentos::askRenameFilter(const QString& name)
{
    QInputDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Renomear filtro"));
    dialog.setLabelText(QStringLiteral("Novo nome do filtro \"%1\":").arg(name));
    dialog.setTextValue(name);
    dialog.setOkButtonText(QStringLiteral("Renomear"));
    dialog.setCancelButtonText(QStringLiteral("Cancelar"));
    dialog.resize(dialog.fontMetrics().horizontalAdvance(dialog.labelText()) + 80,
                  dialog.sizeHint().height());
    if (dialog.exec() == QDialog::Accepted && dialog.textValue() != name)
        savedFilters().rename(name, dialog.textValue());
}

void TfrmListDocumentos::askDeleteFilter(const QString& name)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Excluir filtro"),
                    QStringLiteral("Excluir o filtro \"%1\"?").arg(name), QMessageBox::NoButton,
                    this);
    QPushButton* yes = box.addButton(QStringLiteral("Excluir"), QMessageBox::DestructiveRole);
    box.addButton(QStringLiteral("Cancelar"), QMessageBox::RejectRole);
    box.exec();
    if (box.clickedButton() == yes)
        savedFilters().remove(name);
}
