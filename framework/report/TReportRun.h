#pragma once

#include "FisReportExport.h"
#include "TEvents.h"
#include "TParams.h"
#include "TReportDefinition.h"
#include "TRowSource.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

class EFrameworkError;
class TADOIBQuery;
template <typename Item> class TReportPipeline;

// One run of a report's query: asks BeforeGetQueryParams for the values, opens the query
// on the data module's connection and hands the rows over forward, one at a time, keeping
// none. Whatever consumes them (the page layout, a spreadsheet exporter) reports its
// progress here, and a progress handler that answers false cancels the run: the statement
// is closed and no more rows come.
class FIS_REPORT_EXPORT TReportRun
{
public:
    // The text shown, what is done of total (0: not known yet); false cancels.
    using Progress = std::function<bool(const QString& text, qint64 done, qint64 total)>;

    TReportRun(const TReportDefinition& definition, TADOIBQuery* query);
    ~TReportRun();

    // Fills the parameters and opens the query; false when the handler declined.
    bool start(const TBeforeGetQueryParamsEvent& beforeGetQueryParams);

    const TReportDefinition& definition() const { return m_definition; }
    const TADOIBQuery* query() const { return m_query; }
    const TParams& params() const { return m_params; }
    // The result column of that field; a missing one is an error naming the report.
    int column(const QString& field) const;
    // Every column, group and total field of the definition must be in the result.
    void checkColumns() const;

    // The next row, or null at the end and after a cancel; valid until the next call.
    const TRowSource::Row* next();
    // With rows read ahead, next waits no longer than this for late rows: it returns null
    // with late() set, and a caller driven by the event loop comes back for them. -1 (the
    // default) waits, serving the progress handler meanwhile.
    void setPatience(int milliseconds) { m_patienceMs = milliseconds; }
    bool late() const { return m_late; }
    qint64 rowsRead() const { return m_rowsRead; }
    // Ends the rows after that many (a sample, as for a first-page preview); -1: all.
    void setRowLimit(qint64 limit) { m_rowLimit = limit; }
    // From here on the rows are read on a thread of their own, a few batches ahead of next,
    // until stopReadAhead, cancel or the end. Only for a run read to its end without the
    // event loop touching the connection meanwhile (a file, a print, the modal preview).
    void readAhead();
    void stopReadAhead();
    // Reads ahead for as long as it lives.
    class ReadAhead
    {
    public:
        explicit ReadAhead(TReportRun& run) : m_run(run) { m_run.readAhead(); }
        ~ReadAhead() { m_run.stopReadAhead(); }
        ReadAhead(const ReadAhead&) = delete;
        ReadAhead& operator=(const ReadAhead&) = delete;

    private:
        TReportRun& m_run;
    };

    void setProgress(Progress progress) { m_progress = std::move(progress); }
    // Tells the progress handler; false (and the run cancelled) when it says stop.
    bool progress(const QString& text, qint64 done, qint64 total);
    void cancel();
    bool cancelled() const { return m_cancelled; }

private:
    [[noreturn]] void readFailed(const EFrameworkError& failure) const;

    TReportDefinition m_definition;
    TADOIBQuery* m_query;
    TParams m_params;
    Progress m_progress;
    // What the progress handler was last told, told again while rows are late.
    QString m_lastText = QStringLiteral("Aguardando o banco de dados…");
    qint64 m_lastDone = 0;
    qint64 m_lastTotal = 0;
    std::vector<TRowSource::Row> m_batch;
    std::unique_ptr<TReportPipeline<std::vector<TRowSource::Row>>> m_ahead;
    // Batches read, given back to the reader to be freed where they were allocated.
    std::unique_ptr<TReportPipeline<std::vector<TRowSource::Row>>> m_spent;
    size_t m_next = 0;
    qint64 m_rowsRead = 0;
    qint64 m_rowLimit = -1;
    int m_patienceMs = -1;
    bool m_late = false;
    bool m_cancelled = false;
};
