#pragma once

#include "FisReportExport.h"
#include "TReportDefinition.h"
#include "TReportSum.h"
#include "TRowSource.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

// Writes a report's rows to a file as they are read, so memory stays flat at any size.
// The group's text fields lead as columns; the file appears only once it is complete.
class TReportRun;
class TReportCellFormat;

class FIS_REPORT_EXPORT TReportExporter
{
public:
    // Rows written so far; false cancels the export.
    using Progress = std::function<bool(qint64 rows)>;

    virtual ~TReportExporter();

    // The exporter for the file's extension (.csv, .xlsx), or null (TReportFormats).
    static std::unique_ptr<TReportExporter> forPath(const QString& path);
    // The file dialog's filters of the formats above.
    static QStringList fileFilters();

    // Writes every row; false when cancelled. On cancel and on error (EFrameworkError)
    // nothing is left at path and a file already there is kept.
    bool write(const TReportDefinition& definition, TRowSource& rows, const QString& path,
               const Progress& progress = {});

    // Writes the rows of a started run straight to file (the caller publishes it);
    // false when the run was cancelled.
    bool writeRun(TReportRun& run, const QString& file);

protected:
    struct Column
    {
        TReportDefinition::Column definition;
        int source = -1;
        bool summed = false;
        // The column's amounts read as the pages read them; shared by the cells and the
        // sums, so a value the column cannot hold is told once.
        std::shared_ptr<const TReportCellFormat> cell;
    };

    virtual void begin(const QString& file, const std::vector<Column>& columns) = 0;
    virtual void row(const TRowSource::Row& values) = 0;
    // A group's or the report's sums, one per summed column, in order.
    virtual void totals(const QString& caption, const std::vector<TReportSum>& sums, bool grand);
    // Completes the file; an error throws. False when given up meanwhile (goesOn()).
    virtual bool end() = 0;
    // Gives up a file begun, after a cancel or an error.
    virtual void discard() = 0;

    static QString fileError(const QString& file, const QString& reason);
    // The name of the report being written, for formats that show one.
    QString reportName() const { return m_reportName; }
    // Whether the write is still wanted, asked of its progress with the rows written and
    // of the process's stop: a completion that takes long (a workbook zipped) asks it too.
    bool goesOn() const;

private:
    QString m_reportName;
    const std::function<bool(qint64)>* m_progress = nullptr;
    qint64 m_written = 0;

    bool writeRows(const TReportDefinition& definition,
                   const std::function<int(const QString&)>& columnOf,
                   const std::function<const TRowSource::Row*()>& next, const QString& file,
                   const std::function<bool(qint64)>& progress);
};
