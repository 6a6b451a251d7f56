#include "TfrmDadosGerRel.h"

#include "EAbort.h"
#include "EFrameworkError.h"
#include "Helpers.h"
#include "TADOIBQuery.h"
#include "TApplication.h"
#include "TDrawnIcons.h"
#include "TMessages.h"
#include "TReportDesignerDialog.h"
#include "TReportExporter.h"
#include "TSqlText.h"
#include "TUserReports.h"
#include "TdtmDBGeral.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QShortcut>
#include <QToolButton>
#include <variant>

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

// The message table keeps C-style markers; each %s in turn becomes %1, %2, ...
QString numberedMarkers(QString text)
{
    int number = 0;
    for (qsizetype at = text.indexOf(u"%s"); at >= 0; at = text.indexOf(u"%s", at))
        text.replace(at, 2, u'%' + QString::number(++number));
    return text;
}

QString invalid(const TReportDefinition& report, const QString& reason)
{
    return QStringLiteral("A definição de relatório do arquivo '%1' é inválida: %2. O relatório "
                          "não é oferecido; corrija o arquivo ou avise o suporte.")
        .arg(QDir::toNativeSeparators(report.FilePath()), reason);
}

// Why a loaded definition cannot run on this screen and connection, or nothing. Its
// parameters must all be filled by the screen's handler (asked once with the current
// filter), and its columns must be in the query's result where an empty run shows it.
// Cancelar in the wait dialog of a slow probe leaves that report and the ones after
// it unprobed (probing turns false): they are offered, and the run checks them.
QString refusal(const TReportDefinition& report, const TBeforeGetQueryParamsEvent& fill,
                bool& probing)
{
    const bool interBase = dtmDBGeral && dtmDBGeral->dtbGeral->isInterBase();
    const QString text = report.QueryFor(interBase).join(u'\n');
    if (text.trimmed().isEmpty())
        return invalid(report, QStringLiteral("falta a consulta para o banco conectado"));
    const QStringList names = TSqlText::parameterNames(text);
    TParams probe(names);
    if (fill) {
        bool handled = true;
        fill(probe, handled);
        for (const QString& name : names)
            if (!probe.ParamByName(name).Assigned())
                return invalid(report, QStringLiteral("a consulta usa o parâmetro %1, que "
                                                      "esta tela não preenche")
                                           .arg(name));
    }
    if (!dtmDBGeral || !probing)
        return {};
    TADOIBQuery query;
    query.setObjectName(QStringLiteral("qryDefinicao"));
    query.setADOConnection(dtmDBGeral->adcGeral);
    query.setDataBase(dtmDBGeral->dtbGeral);
    query.setParamCheck(false);
    query.setSQL({QStringLiteral("SELECT * FROM ("), text, QStringLiteral(") Q WHERE 1 = 0")});
    query.Params().Rebuild(names);
    for (const QString& name : names)
        query.ParamByName(name).SetAsVariant(probe.ParamByName(name).Value());
    try {
        query.Open();
    } catch (const EFrameworkError&) {
        // Not checkable here (tables of another database, no connection): the run checks.
        return {};
    } catch (const EAbort&) {
        probing = false;
        return {};
    }
    QStringList fields;
    for (const TReportDefinition::Column& c : report.Columns())
        fields << c.field;
    if (report.HasGroup())
        fields << report.GroupBy().field << report.GroupBy().textFields;
    for (const QString& field : std::as_const(fields))
        if (query.Query()->columnIndex(field) < 0)
            return invalid(report, QStringLiteral("a consulta não traz o campo '%1'").arg(field));
    return {};
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
    FIS_HANDLER(TfrmDadosGerRel, sbtExportClick);
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
    sbtExport = findChild<QToolButton*>(QStringLiteral("sbtExport"));
    if (sbtExport) {
        sbtExport->setFocusPolicy(Qt::NoFocus);
        sbtExport->setIcon(TDrawnIcons::save());
    }
    sbtPrint->setIcon(TDrawnIcons::printer());
    sbtPreview->setIcon(TDrawnIcons::preview());
    sbtReportEdit->setIcon(TDrawnIcons::reportEdit());
    giveKey(sbtPrint, PrintKey);
    giveKey(sbtPreview, PreviewKey);
    giveKey(sbtReportEdit, ReportEditKey);
    if (sbtExport)
        giveKey(sbtExport, QKeySequence(Qt::CTRL | Qt::Key_S));
    // The desktop's keys for closing a document window.
    for (const QKeySequence& key :
         {QKeySequence(Qt::CTRL | Qt::Key_F4), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto* shortcut = new QShortcut(key, this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
        const auto closeForm = [this] {
            if (QMdiSubWindow* frame = mdiSubWindow())
                frame->close();
            else
                close();
        };
        connect(shortcut, &QShortcut::activated, this, closeForm);
        // The MDI frame's own close action may hold the same key.
        connect(shortcut, &QShortcut::activatedAmbiguously, this, closeForm);
    }
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
    QStringList faults;
    m_reports.clear();
    bool probing = true;
    for (const TReportDefinition& report :
         TReportDefinition::listForCode(directory, code, faults)) {
        const QString refused = refusal(report, rpddPadrao->BeforeGetQueryParams, probing);
        if (refused.isEmpty())
            m_reports << report;
        else
            faults << refused;
    }
    // One message for every file left out; the good ones are still offered.
    if (!faults.isEmpty())
        MensErro(faults.join(QStringLiteral("\n\n")), false);
    if (m_reports.isEmpty())
        MensErro(numberedMarkers(msgPadrao->Msg(QStringLiteral("Arq_Rel_Err")))
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
    if (m_exporting)
        exportSelected();
    else
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

void TfrmDadosGerRel::sbtExportClick(QObject* Sender)
{
    // The checks are whatever the form's print handler runs before it hands over to
    // the base: that hand-over exports instead of printing.
    const THandler* bound = handler(sbtPrint->property("OnClick").toString());
    const auto* print = bound ? std::get_if<TNotifyEvent>(bound) : nullptr;
    m_exporting = true;
    try {
        if (print && *print)
            (*print)(Sender);
        else
            exportSelected();
    } catch (...) {
        m_exporting = false;
        throw;
    }
    m_exporting = false;
}

void TfrmDadosGerRel::exportSelected()
{
    m_exporting = false;
    const TReportDefinition& report = selectedReport();
    const QStringList filters = TReportExporter::fileFilters();
    QFileDialog dialog(this, QStringLiteral("Exportar - %1").arg(report.Name()));
    dialog.setObjectName(QStringLiteral("svdExport"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(filters);
    // The suffix names the format, so a bare name takes the chosen filter's.
    auto suffixOf = [](const QString& filter) {
        return filter.section(QStringLiteral("*."), 1).section(u')', 0, 0);
    };
    dialog.setDefaultSuffix(suffixOf(filters.first()));
    connect(&dialog, &QFileDialog::filterSelected, &dialog,
            [&dialog, suffixOf](const QString& filter) {
                const QString suffix = suffixOf(filter);
                dialog.setDefaultSuffix(suffix);
                // A name still carrying the other format's suffix follows the filter.
                const QStringList chosen = dialog.selectedFiles();
                if (!chosen.isEmpty() && TReportExporter::forPath(chosen.first()))
                    dialog.selectFile(QFileInfo(chosen.first()).completeBaseName() + u'.' + suffix);
            });
    if (m_exportDirectory.isEmpty())
        m_exportDirectory = QDir::homePath();
    dialog.setDirectory(m_exportDirectory);
    // A report name may hold a slash ("Cliente/Fornecedor"), which no file name can.
    QString name = report.Name();
    name.replace(u'/', u'-');
    dialog.selectFile(name + u'.' + dialog.defaultSuffix());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    m_exportDirectory = QFileInfo(path).absolutePath();
    if (!TReportExporter::forPath(path))
        MensErro(QStringLiteral("Informe um arquivo .csv ou .xlsx."), true);
    if (rpddPadrao->ExportFile(report, path))
        rpddPadrao->announceExport(path);
}
