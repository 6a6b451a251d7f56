#include "TReportDesignerDialog.h"

#include "EFrameworkError.h"
#include "TADOIBQuery.h"
#include "TControlEvents.h"
#include "TEventGuard.h"
#include "TMessagePresenter.h"
#include "TReportDesignerWindow.h"
#include "TReportFormats.h"
#include "TReportPreview.h"
#include "TReportProgress.h"
#include "TReportRenderer.h"
#include "TReportRun.h"
#include "TReportWarnings.h"

#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <utility>

namespace {

const TControlEvents::Registration
    events(TReportDesignerDialog::staticMetaObject,
           {{QStringLiteral("BeforeGetQueryParams"),
             TControlEvents::member(&TReportDesignerDialog::BeforeGetQueryParams)}});

const QMarginsF pageMargins(10, 10, 10, 10);
// A short report is read whole before its preview opens, so its total shows at once.
constexpr int firstPageBudgetMs = 150;

// Every page to the printer; false, and none of them sent, when the run was cancelled.
bool print(const TReportRenderer& renderer, QPrinter* device, TReportRun& run)
{
    QPainter painter;
    if (!painter.begin(device))
        throw EFrameworkError(QStringLiteral("Não foi possível iniciar a impressão do relatório."));
    // The layout has its own margins: the page is drawn from the paper's corner.
    const QRect paper = device->pageLayout().fullRectPixels(device->logicalDpiX());
    const QRect paint = device->pageLayout().paintRectPixels(device->logicalDpiX());
    const double scale = paper.width() / renderer.pageSize().width();
    if (!renderer.paintPages(
            &painter, scale, QPointF(paper.topLeft() - paint.topLeft()),
            [device] { device->newPage(); }, run)) {
        // The pages drawn so far are not sent either.
        device->abort();
        painter.end();
        return false;
    }
    painter.end();
    return true;
}

// What the run found wrong with its values, told once it is over, in one box.
void tell(const TReportWarnings& warnings)
{
    const QString text = warnings.summary();
    if (!text.isEmpty())
        TMessagePresenter::current().showInformation(text);
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

QString TReportDesignerDialog::exportFilters()
{
    return TReportFormats::filters();
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
    if (print(renderer, m_printer.get(), run))
        return true;
    // A cancelled print to a file leaves no part of it.
    if (m_printer->outputFormat() == QPrinter::PdfFormat && !m_printer->outputFileName().isEmpty())
        QFile::remove(m_printer->outputFileName());
    return false;
}

void TReportDesignerDialog::Print(const TReportDefinition& definition)
{
    const TReportWarnings warnings;
    const auto run = start(definition);
    if (!run)
        return;
    run->checkColumns();
    if (!choosePrinter(definition))
        return;
    TReportRenderer renderer(run->definition(), run->params());
    // Read to the end as an export is, nothing but the progress's repaints in between: the
    // rows are read ahead on a thread of their own while the pages are laid out.
    bool laidOut = false;
    {
        const TReportRun::ReadAhead ahead(*run);
        laidOut = renderer.paginate(*run);
    }
    if (laidOut && printPages(renderer, *run)) {
        m_pageCount = renderer.pageCount();
        tell(warnings);
    }
}

void TReportDesignerDialog::Preview(const TReportDefinition& definition)
{
    const TReportWarnings warnings;
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
    preview.OnExport = [&] { previewExport(definition, &preview); };
    // Told over the preview once every row is read, or as it closes before.
    bool told = false;
    const auto tellOnce = [&] {
        if (!std::exchange(told, true))
            tell(warnings);
    };
    connect(
        &preview, &TReportPreview::pagesCounted, &preview, [&] { TEventGuard::run(tellOnce); },
        Qt::QueuedConnection);
    if (preview.counted())
        QTimer::singleShot(0, &preview, [&] { TEventGuard::run(tellOnce); });
    m_pageCount = renderer.pageCount();
    preview.exec();
    m_pageCount = renderer.pageCount();
    tellOnce();
}

void TReportDesignerDialog::previewExport(const TReportDefinition& definition, QWidget* preview)
{
    const QString path = QFileDialog::getSaveFileName(
        preview, QStringLiteral("Exportar - %1").arg(definition.Name()),
        QDir::home().filePath(definition.Name() + QStringLiteral(".pdf")), exportFilters());
    if (!path.isEmpty() && ExportFile(definition, path))
        announceExport(path, preview);
}

void TReportDesignerDialog::announceExport(const QString& path, QWidget* over)
{
    static const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    const QFileInfo file(path);
    QString what = m_pageCount > 0
                       ? QStringLiteral("%1 página(s)").arg(brazil.toString(m_pageCount))
                       : QStringLiteral("%1 linha(s)").arg(brazil.toString(m_rowCount));
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Exportação concluída"),
                                QStringLiteral("Exportado: %1 em\n%2")
                                    .arg(what, QDir::toNativeSeparators(file.absoluteFilePath())),
                                QMessageBox::NoButton, over ? over : parentWidget());
    box->setObjectName(QStringLiteral("msgExportado"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* open = box->addButton(QStringLiteral("Abrir arquivo"), QMessageBox::ActionRole);
    QPushButton* folder = box->addButton(QStringLiteral("Abrir pasta"), QMessageBox::ActionRole);
    box->setDefaultButton(box->addButton(QStringLiteral("Fechar"), QMessageBox::RejectRole));
    const QUrl fileUrl = QUrl::fromLocalFile(file.absoluteFilePath());
    const QUrl folderUrl = QUrl::fromLocalFile(file.absolutePath());
    connect(box, &QMessageBox::buttonClicked, box,
            [open, folder, fileUrl, folderUrl](QAbstractButton* b) {
                if (b == open)
                    QDesktopServices::openUrl(fileUrl);
                else if (b == folder)
                    QDesktopServices::openUrl(folderUrl);
            });
    box->setWindowModality(Qt::NonModal);
    box->show();
}

void TReportDesignerDialog::ExportPdf(const TReportDefinition& definition, const QString& pdfPath)
{
    exportTo(definition, pdfPath, TReportFormats::forSuffix(QStringLiteral("pdf")));
}

bool TReportDesignerDialog::ExportFile(const TReportDefinition& definition, const QString& path)
{
    const TReportFormats::Format* format = TReportFormats::forPath(path);
    if (!format)
        throw EFrameworkError(
            QStringLiteral("O formato do arquivo '%1' não é conhecido.").arg(path));
    return exportTo(definition, path, format);
}

bool TReportDesignerDialog::exportTo(const TReportDefinition& definition, const QString& path,
                                     const TReportFormats::Format* format)
{
    const TReportWarnings warnings;
    const auto run = start(definition);
    if (!run)
        return false;
    run->checkColumns();
    int pages = 0;
    const bool written = TReportFormats::write(*run, path, pages, format);
    m_pageCount = written ? pages : 0;
    if (written) {
        m_rowCount = run->rowsRead();
        tell(warnings);
    }
    return written;
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
