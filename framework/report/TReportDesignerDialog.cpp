#include "TReportDesignerDialog.h"

#include "TReportFolder.h"

#include "TReportExporter.h"

#include "EFrameworkError.h"
#include "TADOIBQuery.h"
#include "TControlEvents.h"
#include "TReportDesignerWindow.h"
#include "TReportPreview.h"
#include "TReportProgress_p.h"
#include "TReportRenderer.h"
#include "TReportRun.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMap>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryFile>
#include <filesystem>

namespace {

const TControlEvents::Registration
    events(TReportDesignerDialog::staticMetaObject,
           {{QStringLiteral("BeforeGetQueryParams"),
             TControlEvents::member(&TReportDesignerDialog::BeforeGetQueryParams)}});

const QMarginsF pageMargins(10, 10, 10, 10);
// A short report is read whole before its preview opens, so its total shows at once.
constexpr int firstPageBudgetMs = 150;

QMap<QString, TReportDesignerDialog::Exporter>& exporters()
{
    static QMap<QString, TReportDesignerDialog::Exporter> registry = [] {
        QMap<QString, TReportDesignerDialog::Exporter> formats;
        for (const char* extension : {"csv", "xlsx"})
            formats.insert(
                QLatin1String(extension), [extension](TReportRun& run, const QString& file) {
                    return TReportExporter::forPath(QStringLiteral("x.") + QLatin1String(extension))
                        ->writeRun(run, file);
                });
        return formats;
    }();
    return registry;
}

[[noreturn]] void cannotWrite(const QString& path, const QString& why)
{
    throw EFrameworkError(
        QStringLiteral("Não foi possível gravar o arquivo '%1': %2.").arg(path, why));
}

} // namespace

TReportDesignerDialog::TReportDesignerDialog(QObject* parent)
    : QObject(parent), m_query(new TADOIBQuery(this)),
      m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    m_query->setObjectName(QStringLiteral("qryRelatorio"));
    m_printer->setPageSize(QPageSize(QPageSize::A4));
    m_printer->setPageMargins(pageMargins, QPageLayout::Millimeter);
}

TReportDesignerDialog::~TReportDesignerDialog() = default;

QWidget* TReportDesignerDialog::parentWidget() const
{
    return m_parentWidget ? m_parentWidget.data() : qobject_cast<QWidget*>(parent());
}

void TReportDesignerDialog::cancel()
{
    m_cancelRequested = true;
}

void TReportDesignerDialog::registerExporter(const QString& extension, const Exporter& exporter)
{
    exporters().insert(extension.toLower(), exporter);
}

QString TReportDesignerDialog::exportFilters()
{
    QStringList filters{QStringLiteral("PDF (*.pdf)")};
    for (auto it = exporters().cbegin(); it != exporters().cend(); ++it)
        filters << QStringLiteral("%1 (*.%2)").arg(it.key().toUpper(), it.key());
    return filters.join(QStringLiteral(";;"));
}

std::unique_ptr<TReportRun> TReportDesignerDialog::start(const TReportDefinition& definition)
{
    m_pageCount = 0;
    m_rowCount = 0;
    m_cancelRequested = false;
    auto run = std::make_unique<TReportRun>(definition, m_query);
    if (!run->start(BeforeGetQueryParams))
        return nullptr;
    auto progress = std::make_shared<TReportProgress>(parentWidget());
    run->setProgress([this, progress](const QString& text, qint64 done, qint64 total) {
        Q_EMIT progressed(text, done, total);
        return !m_cancelRequested && progress->step(text, done, total) && !m_cancelRequested;
    });
    return run;
}

void TReportDesignerDialog::preparePrinter(const TReportDefinition& definition)
{
    m_printer->setPageOrientation(definition.Orientation());
    m_printer->setDocName(definition.Title());
}

bool TReportDesignerDialog::choosePrinter(const TReportDefinition& definition)
{
    preparePrinter(definition);
    QPrintDialog dialog(m_printer.get(), parentWidget());
    dialog.setWindowTitle(QStringLiteral("Imprimir - %1").arg(definition.Name()));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    return dialog.exec() == QDialog::Accepted;
}

bool TReportDesignerDialog::printPages(const TReportRenderer& renderer, TReportRun& run)
{
    if (renderer.print(m_printer.get(), run))
        return true;
    // A cancelled print to a file leaves no part of it.
    if (m_printer->outputFormat() == QPrinter::PdfFormat && !m_printer->outputFileName().isEmpty())
        QFile::remove(m_printer->outputFileName());
    return false;
}

void TReportDesignerDialog::Print(const TReportDefinition& definition)
{
    const auto run = start(definition);
    if (!run)
        return;
    run->checkColumns();
    if (!choosePrinter(definition))
        return;
    TReportRenderer renderer(run->definition(), run->params());
    if (renderer.paginate(*run) && printPages(renderer, *run))
        m_pageCount = renderer.pageCount();
}

void TReportDesignerDialog::Preview(const TReportDefinition& definition)
{
    const auto run = start(definition);
    if (!run)
        return;
    // The window opens on page 1 and reads the rest of the rows itself.
    run->setProgress({});
    TReportRenderer renderer(run->definition(), run->params());
    if (!renderer.paginate(*run, 1, firstPageBudgetMs))
        return;
    preparePrinter(definition);

    TReportPreview preview(renderer, *run, parentWidget());
    preview.setWindowTitle(QStringLiteral("Visualizar - %1").arg(definition.Name()));
    preview.OnPrint = [&] {
        if (!choosePrinter(definition))
            return;
        // Printed from the pages laid out, without reading the rows again.
        TReportRun again(definition, m_query);
        again.setProgress([progress = std::make_shared<TReportProgress>(&preview)](
                              const QString& text, qint64 done, qint64 total) {
            return progress->step(text, done, total);
        });
        printPages(renderer, again);
    };
    preview.OnExport = [&] { previewExport(definition); };
    m_pageCount = renderer.pageCount();
    preview.exec();
    m_pageCount = renderer.pageCount();
}

void TReportDesignerDialog::previewExport(const TReportDefinition& definition)
{
    const QString path = QFileDialog::getSaveFileName(
        parentWidget(), QStringLiteral("Exportar - %1").arg(definition.Name()),
        QDir::home().filePath(definition.Name() + QStringLiteral(".pdf")), exportFilters());
    if (!path.isEmpty())
        ExportFile(definition, path);
}

void TReportDesignerDialog::ExportPdf(const TReportDefinition& definition, const QString& pdfPath)
{
    exportTo(definition, pdfPath,
             [this](TReportRun& run, const QString& file) { return writePdf(run, file); });
}

bool TReportDesignerDialog::ExportFile(const TReportDefinition& definition, const QString& path)
{
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension == QLatin1String("pdf"))
        return exportTo(definition, path, [this](TReportRun& run, const QString& file) {
            return writePdf(run, file);
        });
    const Exporter exporter = exporters().value(extension);
    if (!exporter)
        throw EFrameworkError(
            QStringLiteral("O formato do arquivo '%1' não é conhecido.").arg(path));
    return exportTo(definition, path, exporter);
}

bool TReportDesignerDialog::writePdf(TReportRun& run, const QString& file)
{
    TReportRenderer renderer(run.definition(), run.params());
    if (!renderer.paginate(run))
        return false;
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        cannotWrite(file, out.errorString());
    if (!renderer.writePdf(&out, run))
        return false;
    out.close();
    if (out.error() != QFileDevice::NoError)
        cannotWrite(file, out.errorString());
    m_pageCount = renderer.pageCount();
    return true;
}

bool TReportDesignerDialog::exportTo(const TReportDefinition& definition, const QString& path,
                                     const Exporter& exporter)
{
    const auto run = start(definition);
    if (!run)
        return false;
    run->checkColumns();
    // Written beside the target and renamed over it: a failed or cancelled run leaves
    // neither a part of the file nor a changed old one.
    const QFileInfo target(path);
    QTemporaryFile partial(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                           QStringLiteral("-XXXXXX"));
    if (!partial.open())
        cannotWrite(path, partial.errorString());
    partial.close();
    if (!exporter(*run, partial.fileName())) {
        m_pageCount = 0;
        return false;
    }
    // The documents hold personal data: the clerk's umask, or the old file's mode, decides.
    TReportFolder::applyMode(partial.fileName(), TReportFolder::publishMode(path));
    std::error_code error;
    std::filesystem::rename(partial.fileName().toStdString(), path.toStdString(), error);
    if (error) {
        m_pageCount = 0;
        cannotWrite(path, QString::fromStdString(error.message()));
    }
    partial.setAutoRemove(false);
    m_rowCount = run->rowsRead();
    return true;
}

void TReportDesignerDialog::Design(const TReportDefinition& definition)
{
    // The run checks the connection and the handler before the designer opens.
    if (!start(definition))
        return;
    m_query->Close();
    TReportDesignerWindow window(definition, BeforeGetQueryParams, {}, parentWidget());
    window.setWindowFlag(Qt::Window);
    window.setWindowModality(Qt::ApplicationModal);
    if (!m_saveAsCaption.isEmpty())
        window.setSaveAsTexts(m_saveAsCaption, m_saveAsPrompt);
    connect(&window, &TReportDesignerWindow::reportsChanged, this,
            &TReportDesignerDialog::reportSaved);
    QEventLoop loop;
    connect(&window, &TReportDesignerWindow::closed, &loop, &QEventLoop::quit);
    window.show();
    loop.exec();
}
