#include "TfrmDadosGerRel.h"

#include "EFrameworkError.h"
#include "Helpers.h"
#include "TApplication.h"
#include "TDrawnIcons.h"
#include "TMessages.h"
#include "TReportDesignerDialog.h"
#include "TUserReports.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QToolButton>

namespace {

template <typename T> T* required(QWidget* form, const char* name)
{
    T* found = form->findChild<T*>(QLatin1String(name));
    if (!found)
        throw EFrameworkError(
            QStringLiteral("Definição do formulário inválida: falta o controle %1.")
                .arg(QLatin1String(name)));
    return found;
}

template <typename T> T* named(T* object, const char* name)
{
    object->setObjectName(QLatin1String(name));
    return object;
}

} // namespace

TfrmDadosGerRel::TfrmDadosGerRel(QWidget* parent)
    : TForm(parent), msgPadrao(named(new TMessages(this), "msgPadrao")),
      msgMensagens(named(new TMessages(this), "msgMensagens")),
      rpddPadrao(named(new TReportDesignerDialog(this), "rpddPadrao")),
      svdSaveReport(named(new QFileDialog(this), "svdSaveReport")),
      ppmEditReport(named(new QMenu(this), "ppmEditReport")),
      ppmSalvarRelatorio(named(new QMenu(this), "ppmSalvarRelatorio"))
{
    svdSaveReport->setAcceptMode(QFileDialog::AcceptSave);
    svdSaveReport->setOption(QFileDialog::DontUseNativeDialog);
    FIS_HANDLER(TfrmDadosGerRel, FormCreate);
    FIS_HANDLER(TfrmDadosGerRel, FormActivate);
    FIS_HANDLER(TfrmDadosGerRel, FormClose);
    FIS_HANDLER(TfrmDadosGerRel, sbtPrintClick);
    FIS_HANDLER(TfrmDadosGerRel, sbtPreviewClick);
    FIS_HANDLER(TfrmDadosGerRel, sbtReportEditClick);
    connect(rpddPadrao, &TReportDesignerDialog::reportSaved, this,
            [this](const QString& path) { reloadReports(path); });
}

void TfrmDadosGerRel::Loaded()
{
    lblCodTela = required<QLabel>(this, "lblCodTela");
    panMenu = required<QFrame>(this, "panMenu");
    lblCodRel = required<QLabel>(this, "lblCodRel");
    grbDadosRel = required<QGroupBox>(this, "grbDadosRel");
    bvlSeparator = required<QFrame>(this, "bvlSeparator");
    panRelat = required<QFrame>(this, "panRelat");
    cbbReportNames = required<QComboBox>(this, "cbbReportNames");
    sbtPrint = required<QToolButton>(this, "sbtPrint");
    sbtPreview = required<QToolButton>(this, "sbtPreview");
    sbtReportEdit = required<QToolButton>(this, "sbtReportEdit");
    // Output buttons leave the focus where it is, so no field's exit check runs.
    for (QToolButton* button : {sbtPrint, sbtPreview, sbtReportEdit})
        button->setFocusPolicy(Qt::NoFocus);
    sbtPrint->setIcon(TDrawnIcons::printer());
    sbtPreview->setIcon(TDrawnIcons::preview());
    sbtReportEdit->setIcon(TDrawnIcons::reportEdit());
    TForm::Loaded();
}

void TfrmDadosGerRel::FormCreate(QObject*)
{
    const QString code = lblCodRel->text();
    const QString directory = TApplication::instance()->reportDirectory();
    m_reports = TReportDefinition::listForCode(directory, code);
    if (m_reports.isEmpty())
        MensErro(msgPadrao->Msg(QStringLiteral("Arq_Rel_Err"))
                     .replace(QStringLiteral("'%s'"), QStringLiteral("'%1'"))
                     .arg(code, QDir::toNativeSeparators(directory)),
                 true);
    m_reports += TUserReports::list(code);
    cbbReportNames->clear();
    for (const TReportDefinition& report : std::as_const(m_reports))
        cbbReportNames->addItem(report.Name());
    if (msgPadrao->contains(QStringLiteral("NovoCaption")) &&
        msgPadrao->contains(QStringLiteral("NovoPrompt")))
        rpddPadrao->setSaveAsTexts(msgPadrao->Msg(QStringLiteral("NovoCaption")),
                                   msgPadrao->Msg(QStringLiteral("NovoPrompt")));
}

void TfrmDadosGerRel::reloadReports(const QString& path)
{
    const QString code = lblCodRel->text();
    m_reports = TReportDefinition::listForCode(TApplication::instance()->reportDirectory(), code) +
                TUserReports::list(code);
    const QString current = cbbReportNames->currentText();
    int select = -1;
    cbbReportNames->clear();
    for (int i = 0; i < m_reports.size(); ++i) {
        cbbReportNames->addItem(m_reports[i].Name());
        if (m_reports[i].FilePath() == path)
            select = i;
        else if (select < 0 && m_reports[i].Name() == current)
            select = i;
    }
    // A saved report is chosen at once; a deleted one gives way to the first.
    cbbReportNames->setCurrentIndex(select < 0 ? 0 : select);
}

void TfrmDadosGerRel::FormActivate(QObject*)
{
}

void TfrmDadosGerRel::FormClose(QObject*, TCloseAction&)
{
}

const TReportDefinition& TfrmDadosGerRel::selectedReport() const
{
    const int index = cbbReportNames->currentIndex();
    if (index < 0 || index >= m_reports.size())
        MensErro(QStringLiteral("Selecione um relatório."), true);
    return m_reports.at(index);
}

void TfrmDadosGerRel::sbtPrintClick(QObject*)
{
    rpddPadrao->Print(selectedReport());
}

void TfrmDadosGerRel::sbtPreviewClick(QObject*)
{
    rpddPadrao->Preview(selectedReport());
}

void TfrmDadosGerRel::sbtReportEditClick(QObject*)
{
    rpddPadrao->Design(selectedReport());
}
