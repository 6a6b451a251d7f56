#include "TReportFormats.h"

#include "EFrameworkError.h"
#include "TCsvExporter.h"
#include "TReportFile.h"
#include "TReportRenderer.h"
#include "TReportRun.h"
#include "TXlsxExporter.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <algorithm>

namespace {

bool writePdf(TReportRun& run, const QString& file, int& pages)
{
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        throw EFrameworkError(TReportFile::errorText(file, out.errorString()));
    TReportRenderer renderer(run.definition(), run.params());
    {
        // A file is written from the rows to the end without the event loop reaching the
        // connection, so its rows may be read ahead on a thread of their own.
        const TReportRun::ReadAhead ahead(run);
        if (!renderer.paginateToPdf(run, &out))
            return false;
    }
    out.close();
    if (out.error() != QFileDevice::NoError)
        throw EFrameworkError(TReportFile::errorText(file, out.errorString()));
    pages = renderer.pageCount();
    return true;
}

template <class Exporter> TReportFormats::Format rows(const char* suffix, const char* description)
{
    TReportFormats::Format format;
    format.suffix = QLatin1String(suffix);
    format.description = QString::fromUtf8(description);
    format.exporter = [] { return std::make_unique<Exporter>(); };
    format.write = [](TReportRun& run, const QString& file, int& pages) {
        pages = 0;
        const TReportRun::ReadAhead ahead(run);
        return Exporter().writeRun(run, file);
    };
    return format;
}

QList<TReportFormats::Format>& registry()
{
    static QList<TReportFormats::Format> formats = [] {
        TReportFormats::Format pdf;
        pdf.suffix = QStringLiteral("pdf");
        pdf.write = &writePdf;
        return QList<TReportFormats::Format>{
            pdf, rows<TXlsxExporter>("xlsx", "Planilha do Excel"),
            rows<TCsvExporter>("csv", "Texto separado por ponto e vírgula")};
    }();
    return formats;
}

} // namespace

const TReportFormats::Format* TReportFormats::forSuffix(const QString& suffix)
{
    const QString wanted = suffix.toLower();
    for (const Format& format : registry())
        if (format.suffix == wanted)
            return &format;
    return nullptr;
}

const TReportFormats::Format* TReportFormats::forPath(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix();
    return suffix.isEmpty() ? nullptr : forSuffix(suffix);
}

void TReportFormats::add(const Format& format)
{
    Format added = format;
    added.suffix = added.suffix.toLower();
    for (Format& known : registry())
        if (known.suffix == added.suffix) {
            known = added;
            return;
        }
    registry().append(added);
}

QString TReportFormats::filters()
{
    // The same name for a format in every dialog: the row exporters' own.
    QStringList filters{QStringLiteral("PDF (*.pdf)")};
    filters << exporterFilters();
    for (const Format& format : registry())
        if (!format.exporter && format.suffix != QLatin1String("pdf"))
            filters << QStringLiteral("%1 (*.%2)").arg(format.suffix.toUpper(), format.suffix);
    return filters.join(QStringLiteral(";;"));
}

QStringList TReportFormats::exporterFilters()
{
    QStringList filters;
    for (const Format& format : registry())
        if (format.exporter)
            filters << QStringLiteral("%1 (*.%2)").arg(format.description, format.suffix);
    return filters;
}

bool TReportFormats::write(TReportRun& run, const QString& path, int& pages, const Format* format)
{
    if (!format)
        format = forPath(path);
    if (!format)
        throw EFrameworkError(
            QStringLiteral("O formato do arquivo '%1' não é conhecido.").arg(path));
    const Writer write = format->write;
    pages = 0;
    return TReportFile::writeThenRename(
        path, [&](const QString& file) { return write(run, file, pages); });
}
