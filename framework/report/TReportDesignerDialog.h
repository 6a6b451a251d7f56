#pragma once

#include "FrameworkExport.h"
#include "TEvents.h"
#include "TParams.h"
#include "TReportDefinition.h"
#include "TReportExporter.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

class QPrinter;
class TADOIBQuery;

// Runs a report definition: asks BeforeGetQueryParams for the values of the query's
// parameters, opens the query on the data module's connection and prints, previews,
// exports or shows the definition. Errors travel out to the caller.
class FW_EXPORT TReportDesignerDialog : public QObject
{
    Q_OBJECT

public:
    explicit TReportDesignerDialog(QObject* parent = nullptr);
    ~TReportDesignerDialog() override;

    // Raised with the query's parameters before they are read. handled comes in true;
    // a handler that sets it false cancels the run, which then shows nothing.
    TBeforeGetQueryParamsEvent BeforeGetQueryParams;

    void Print(const TReportDefinition& definition);
    void Preview(const TReportDefinition& definition);
    void Design(const TReportDefinition& definition);
    // Writes the report to a PDF file; nothing is written when the run fails.
    void ExportPdf(const TReportDefinition& definition, const QString& pdfPath);
    // Writes the report's rows to a spreadsheet of the path's kind (.csv, .xlsx) or a
    // PDF; false when the run or the progress cancelled it, and then no file is left.
    bool ExportFile(const TReportDefinition& definition, const QString& path,
                    const TReportExporter::Progress& progress = {});

    // Parent of the dialogs shown; by default the widget that owns this object.
    QWidget* parentWidget() const;
    void setParentWidget(QWidget* parent) { m_parentWidget = parent; }

    // The query of the last run, left open.
    TADOIBQuery* Query() const { return m_query; }
    // Pages of the last printed, previewed or exported report.
    int PageCount() const { return m_pageCount; }
    // The printer behind Print and Preview; its settings carry over between runs.
    QPrinter* Printer() const { return m_printer.get(); }

Q_SIGNALS:
    // A definition was saved under a new title from the designer.
    void reportSaved(const QString& path);

private:
    // Fills the parameters and opens the query; false when the handler cancelled.
    bool run(const TReportDefinition& definition, TParams& params);
    void preparePrinter(const TReportDefinition& definition);

    TADOIBQuery* m_query;
    std::unique_ptr<QPrinter> m_printer;
    QPointer<QWidget> m_parentWidget;
    int m_pageCount = 0;
};
