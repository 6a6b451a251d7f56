#pragma once

#include "FisReportWidgetsExport.h"
#include "TEvents.h"
#include "TParams.h"
#include "TReportDefinition.h"
#include "TReportFormats.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

class QPrinter;
class TADOIBQuery;
class TReportProgress;
class TReportRenderer;
class TReportRun;

// Runs a report definition: asks BeforeGetQueryParams for the values of the query's
// parameters, opens the query on the data module's connection, reads the rows forward
// once and prints, previews, exports or shows the definition. A long run shows its
// progress and can be cancelled. Errors travel out to the caller.
class FIS_REPORTWIDGETS_EXPORT TReportDesignerDialog : public QObject
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
    // Opens the designer on the definition, its parameters filled by BeforeGetQueryParams.
    void Design(const TReportDefinition& definition);
    // The texts the designer's "Salvar como…" asks the title with.
    void setSaveAsTexts(const QString& caption, const QString& prompt)
    {
        m_saveAsCaption = caption;
        m_saveAsPrompt = prompt;
    }
    // Writes the report to a PDF file; nothing is written when the run fails.
    void ExportPdf(const TReportDefinition& definition, const QString& pdfPath);
    // Writes the report in the format the file's extension names (TReportFormats);
    // nothing is written when the run fails or is cancelled. False when the handler
    // declined or the run was cancelled.
    bool ExportFile(const TReportDefinition& definition, const QString& path);
    // "PDF (*.pdf)" and one filter per other format, for a save dialog.
    static QString exportFilters();
    // A short note that the file is written, with "Abrir arquivo" and "Abrir pasta"
    // (the desktop's own applications); it does not wait for an answer. Over a modal
    // window (the preview) it must be that window's own, or it stands behind it, blocked.
    void announceExport(const QString& path, QWidget* over = nullptr);

    // Parent of the dialogs shown; by default the widget that owns this object.
    QWidget* parentWidget() const;
    void setParentWidget(QWidget* parent) { m_parentWidget = parent; }

    // The query of the last run, left open.
    TADOIBQuery* Query() const { return m_query; }
    // Pages of the last printed, previewed or exported report.
    int PageCount() const { return m_pageCount; }
    // Rows read by the last successful export.
    qint64 RowCount() const { return m_rowCount; }
    // The printer behind Print and Preview; its settings carry over between runs.
    QPrinter* Printer() const { return m_printer.get(); }

public Q_SLOTS:
    // Stops the run in progress: its statement is closed and nothing more is output.
    void cancel();

Q_SIGNALS:
    // A report was saved, renamed or deleted in the designer (the file's path).
    void reportSaved(const QString& path);
    // A run moved on (done of total; total 0 while the pages are still being counted).
    void progressed(const QString& text, qint64 done, qint64 total);

private:
    // The preamble of every action: the parameters filled and the query open, progress
    // and cancel wired; null when the handler declined.
    std::unique_ptr<TReportRun> start(const TReportDefinition& definition);
    bool printPages(const TReportRenderer& renderer, TReportRun& run);
    void preparePrinter(const TReportDefinition& definition);
    bool choosePrinter(const TReportDefinition& definition);
    void previewExport(const TReportDefinition& definition, QWidget* preview);
    bool exportTo(const TReportDefinition& definition, const QString& path,
                  const TReportFormats::Format* format);

    TADOIBQuery* m_query;
    std::unique_ptr<QPrinter> m_printer;
    QPointer<QWidget> m_parentWidget;
    bool m_cancelRequested = false;
    QString m_saveAsCaption, m_saveAsPrompt;
    int m_pageCount = 0;
    qint64 m_rowCount = 0;
};
