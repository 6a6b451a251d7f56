#pragma once

#include "FisReportExport.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class TReportExporter;
class TReportRun;

// The file formats a report is written in, found by the file's suffix: PDF (its pages)
// and the row exporters' CSV and XLSX. One registry serves the save dialogs of the
// screen and the preview and fisreport's --output.
class FIS_REPORT_EXPORT TReportFormats
{
public:
    // Writes the rows or pages of a started run to file; false when the run was
    // cancelled. pages: the pages written, 0 for a format without pages.
    using Writer = std::function<bool(TReportRun& run, const QString& file, int& pages)>;

    struct Format
    {
        // Without the dot, in small letters: "csv".
        QString suffix;
        // The row exporter's own filter text ("Texto separado por ponto e vírgula"), for
        // the screen's "Exportar"; empty for a format that is not one.
        QString description;
        Writer write;
        // A row exporter of the format; empty for a format that is not one.
        std::function<std::unique_ptr<TReportExporter>()> exporter;
    };

    // The format of a suffix ("xlsx") or of a path's suffix; null when none is known.
    static const Format* forSuffix(const QString& suffix);
    static const Format* forPath(const QString& path);
    // Adds a format, or replaces the one of its suffix.
    static void add(const Format& format);
    // "PDF (*.pdf)" and one filter per other format, for a save dialog.
    static QString filters();
    // The row exporters' filters, XLSX first.
    static QStringList exporterFilters();

    // Writes a started run to path in the format given (by default the one its suffix
    // names) through TReportFile::writeThenRename; false when the run was cancelled. An
    // unknown format is an error.
    static bool write(TReportRun& run, const QString& path, int& pages,
                      const Format* format = nullptr);
};
