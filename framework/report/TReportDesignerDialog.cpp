#include "TReportDesignerDialog.h"

#include "TADOIBDataSet.h"

#include "EFrameworkError.h"
#include "TADOIBQuery.h"
#include "TReportDesignForm.h"
#include "TReportRenderer.h"
#include "TSqlText.h"
#include "TdtmDBGeral.h"

#include <QFileInfo>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSaveFile>
#include <exception>

namespace {

const QMarginsF pageMargins(10, 10, 10, 10);

// The open query's rows, read forward for an exporter.
class DataSetRows : public TRowSource
{
public:
    explicit DataSetRows(TADOIBDataSet* rows) : m_rows(rows) {}
    QStringList columnNames() const override { return m_rows->columnNames(); }
    void read(int count, std::vector<Row>& rows) override
    {
        const int columns = int(m_rows->columnNames().size());
        for (int n = 0; n < count && !m_atEnd; ++n, ++m_next) {
            if (!m_rows->MoveTo(m_next)) {
                m_atEnd = true;
                break;
            }
            Row row(static_cast<size_t>(columns));
            for (int c = 0; c < columns; ++c)
                row[size_t(c)] = m_rows->value(m_next, c);
            rows.push_back(std::move(row));
        }
    }
    bool atEnd() const override { return m_atEnd; }
    void cancel() override { m_atEnd = true; }

private:
    TADOIBDataSet* m_rows;
    int m_next = 0;
    bool m_atEnd = false;
};

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

bool TReportDesignerDialog::run(const TReportDefinition& definition, TParams& params)
{
    m_query->Close();
    if (!dtmDBGeral)
        throw EFrameworkError(
            QStringLiteral("Não há conexão com o banco de dados para emitir o relatório."));
    m_query->setADOConnection(dtmDBGeral->adcGeral);
    m_query->setDataBase(dtmDBGeral->dtbGeral);
    m_query->setTransaction(dtmDBGeral->ibtGeral);
    // The list follows the text that runs on this database, not the default one.
    m_query->setParamCheck(false);
    m_query->setSQL(definition.SQL());
    m_query->setSQL_IB(definition.SQL_IB());
    const QStringList names = TSqlText::parameterNames(m_query->activeText());

    params = TParams(names);
    bool handled = true;
    if (BeforeGetQueryParams)
        BeforeGetQueryParams(params, handled);
    if (!handled)
        return false;

    m_query->Params().Rebuild(names);
    for (const QString& name : names)
        m_query->ParamByName(name).SetAsVariant(params.ParamByName(name).Value());
    m_query->Open();
    return true;
}

void TReportDesignerDialog::preparePrinter(const TReportDefinition& definition)
{
    m_printer->setPageOrientation(definition.Orientation());
    m_printer->setDocName(definition.Title());
}

void TReportDesignerDialog::Print(const TReportDefinition& definition)
{
    TParams params;
    if (!run(definition, params))
        return;
    TReportRenderer renderer(definition, m_query->Query(), params);
    renderer.checkColumns();
    preparePrinter(definition);

    QPrintDialog dialog(m_printer.get(), parentWidget());
    dialog.setWindowTitle(QStringLiteral("Imprimir - %1").arg(definition.Name()));
    // Every page is printed; a range would need the page count before the dialog.
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_pageCount = renderer.render(m_printer.get());
}

void TReportDesignerDialog::Preview(const TReportDefinition& definition)
{
    TParams params;
    if (!run(definition, params))
        return;
    TReportRenderer renderer(definition, m_query->Query(), params);
    renderer.checkColumns();
    preparePrinter(definition);
    // Every row is read here, so a database error reaches the caller, not the dialog.
    m_pageCount = renderer.countPages(m_printer.get());

    QPrintPreviewDialog dialog(m_printer.get(), parentWidget());
    dialog.setWindowTitle(QStringLiteral("Visualizar - %1").arg(definition.Name()));
    std::exception_ptr failure;
    connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter* printer) {
        // Painting runs inside Qt's dialog: nothing may escape from here.
        try {
            m_pageCount = renderer.render(printer);
        } catch (...) {
            failure = std::current_exception();
            QMetaObject::invokeMethod(&dialog, &QDialog::reject, Qt::QueuedConnection);
        }
    });
    dialog.exec();
    if (failure)
        std::rethrow_exception(failure);
}

void TReportDesignerDialog::ExportPdf(const TReportDefinition& definition, const QString& pdfPath)
{
    TParams params;
    if (!run(definition, params))
        return;
    TReportRenderer renderer(definition, m_query->Query(), params);
    renderer.checkColumns();

    QSaveFile file(pdfPath);
    if (!file.open(QIODevice::WriteOnly))
        throw EFrameworkError(QStringLiteral("Não foi possível gravar o arquivo '%1': %2.")
                                  .arg(pdfPath, file.errorString()));
    int pages = 0;
    {
        QPdfWriter writer(&file);
        writer.setResolution(600);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(definition.Orientation());
        writer.setPageMargins(pageMargins, QPageLayout::Millimeter);
        writer.setTitle(definition.Title());
        writer.setCreator(definition.ReportCode());
        pages = renderer.render(&writer);
    }
    if (!file.commit())
        throw EFrameworkError(QStringLiteral("Não foi possível gravar o arquivo '%1': %2.")
                                  .arg(pdfPath, file.errorString()));
    m_pageCount = pages;
}

bool TReportDesignerDialog::ExportFile(const TReportDefinition& definition, const QString& path,
                                       const TReportExporter::Progress& progress)
{
    if (QFileInfo(path).suffix().compare(QStringLiteral("pdf"), Qt::CaseInsensitive) == 0) {
        ExportPdf(definition, path);
        return QFileInfo::exists(path);
    }
    const std::unique_ptr<TReportExporter> exporter = TReportExporter::forPath(path);
    if (!exporter)
        throw EFrameworkError(
            QStringLiteral("Formato de arquivo não suportado: '%1' (use .pdf, .csv ou .xlsx).")
                .arg(path));
    TParams params;
    if (!run(definition, params))
        return false;
    DataSetRows rows(m_query->Query());
    return exporter->write(definition, rows, path, progress);
}

void TReportDesignerDialog::Design(const TReportDefinition& definition)
{
    TParams params;
    if (!run(definition, params))
        return;
    TReportDesignForm form(definition, m_query->activeText(), params, parentWidget());
    connect(&form, &TReportDesignForm::saved, this, &TReportDesignerDialog::reportSaved);
    form.exec();
}
