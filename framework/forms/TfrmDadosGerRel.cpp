#include "TfrmDadosGerRel.h"

#include "EFrameworkError.h"
#include "Helpers.h"
#include "TApplication.h"
#include "TDrawnIcons.h"
#include "TMessages.h"
#include "TReportDesignerDialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QShortcut>
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
    giveKey(sbtPrint, PrintKey);
    giveKey(sbtPreview, PreviewKey);
    giveKey(sbtReportEdit, ReportEditKey);
    TForm::Loaded();
}

void TfrmDadosGerRel::giveKey(QToolButton* button, const QKeySequence& key)
{
    // Without focus of its own, the button is reached by a key anywhere on the form;
    // its tooltip names the key.
    auto* shortcut = new QShortcut(key, this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, button, [button] {
        if (button->isEnabled() && button->isVisible())
            button->click();
    });
    const QString name = key.toString(QKeySequence::NativeText);
    if (!button->toolTip().contains(name))
        button->setToolTip(QStringLiteral("%1 (%2)").arg(button->toolTip(), name));
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
    cbbReportNames->clear();
    for (const TReportDefinition& report : std::as_const(m_reports))
        cbbReportNames->addItem(report.Name());
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
