#include "TReportJob.h"

#include "EAbort.h"
#include "EFrameworkError.h"
#include "TADOIBQuery.h"
#include "TCancelToken.h"
#include "TDemoDatabase.h"
#include "TOpenDatabase.h"
#include "TReportDatabaseNote.h"
#include "TReportDefinition.h"
#include "TReportFormats.h"
#include "TReportParams.h"
#include "TReportRun.h"
#include "TSavedFilters.h"
#include "TdtmDBGeral.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <csignal>
#include <cstdio>

namespace {

// The run's progress as one line on standard error that updates in place, a few times a
// second; cleared once the run ends, so the summary on standard output stands alone.
class ProgressLine
{
public:
    explicit ProgressLine(bool on) : m_on(on) { m_shown.start(); }
    ~ProgressLine() { clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void show(const QString& text, qint64 done, qint64 total)
    {
        if (!m_on || (m_width > 0 && m_shown.elapsed() < 200 && done != total))
            return;
        m_shown.restart();
        const QByteArray line = text.toLocal8Bit();
        std::fprintf(stderr, "\r%s%*s", line.constData(),
                     int(std::max<qsizetype>(0, m_width - line.size())), "");
        std::fflush(stderr);
        m_width = std::max<qsizetype>(m_width, line.size());
    }

    void clear()
    {
        if (m_width == 0)
            return;
        std::fprintf(stderr, "\r%*s\r", int(m_width), "");
        std::fflush(stderr);
        m_width = 0;
    }

private:
    bool m_on;
    qsizetype m_width = 0;
    QElapsedTimer m_shown;
};

[[noreturn]] void refuse(const QString& text)
{
    throw EFrameworkError(text);
}

} // namespace

void TReportJob::requestStop()
{
    TCancelToken::process().cancel();
}

void TReportJob::checkOutput() const
{
    const QFileInfo output(m_commandLine.outputPath());
    if (!TReportFormats::forPath(output.filePath()))
        refuse(QStringLiteral("O formato do arquivo '%1' não é conhecido (use %2).")
                   .arg(m_commandLine.outputPath(),
                        TReportFormats::filters().replace(QStringLiteral(";;"),
                                                          QStringLiteral(", "))));
    if (!output.absoluteDir().exists())
        refuse(QStringLiteral("A pasta do arquivo '%1' não existe.").arg(output.absolutePath()));
    if (output.isDir())
        refuse(QStringLiteral("'%1' é uma pasta, não um arquivo.").arg(output.filePath()));
}

TReportJob::Result TReportJob::run()
{
    TReportParamBinder::Filter values;
    QString reportName = m_commandLine.reportName();
    const bool saved = !m_commandLine.filterName().isEmpty();
    if (saved) {
        const TSavedFilters filters(m_commandLine.reportCode());
        const std::optional<TSavedFilters::Entry> entry = filters.find(m_commandLine.filterName());
        if (!entry)
            refuse(QStringLiteral("O filtro salvo \"%1\" não existe em %2.")
                       .arg(m_commandLine.filterName(), filters.filePath()));
        const TSavedFilters::Entry today = TSavedFilters::resolved(*entry);
        values = today.filter;
        if (reportName.isEmpty())
            reportName = today.reportName;
    } else {
        values = TReportParams::readFilter(m_commandLine.params());
    }
    checkOutput();

    TReportDefinition definition;
    bool found = false;
    QStringList names;
    // A broken file beside the one asked for is passed over with a warning, as the screen
    // does; when the one asked for is not found, the broken ones may be it and are told.
    QStringList faults;
    for (const TReportDefinition& d : TReportDefinition::listForCode(
             m_commandLine.reportDirectory(), m_commandLine.reportCode(), faults)) {
        names << QStringLiteral("\"%1\"").arg(d.Name());
        if (!found && (d.Name() == reportName || d.Title() == reportName)) {
            definition = d;
            found = true;
        }
    }
    if (!found && !faults.isEmpty())
        refuse(QStringLiteral("O relatório \"%1\" não foi encontrado entre os que se pôde ler "
                              "em %2:\n%3")
                   .arg(m_commandLine.reportName(), m_commandLine.reportDirectory(),
                        faults.join(u'\n')));
    for (const QString& fault : std::as_const(faults))
        std::fprintf(stderr, "fisreport: aviso: %s\n", qPrintable(fault));
    if (!found)
        refuse(names.isEmpty()
                   ? QStringLiteral("Não há relatórios %1 em %2.")
                         .arg(m_commandLine.reportCode(), m_commandLine.reportDirectory())
                   : QStringLiteral("O relatório \"%1\" não existe em %2 (há %3).")
                         .arg(reportName, m_commandLine.reportDirectory(),
                              names.join(QStringLiteral(", "))));

    // The host makes a demo database in place of a missing file; a scheduled run would
    // then print demo data as if it were the office's.
    const TConnectionOptions& connection = m_commandLine.connection();
    if (connection.driver == QLatin1String("sqlite") && !QFileInfo(connection.database).isFile())
        refuse(QStringLiteral("O banco de dados SQLite %1 não existe.").arg(connection.database));

    // A report of the demo database says so on every page.
    TReportDatabaseNote::set(TDemoDatabase::isDemo(connection) ? TDemoDatabase::reportNote()
                                                               : QString());
    TOpenDatabase database(connection);
    struct Current
    {
        explicit Current(TdtmDBGeral* module) { dtmDBGeral = module; }
        ~Current() { dtmDBGeral = nullptr; }
        Current(const Current&) = delete;
        Current& operator=(const Current&) = delete;
    } current(database.dataModule());

    TADOIBQuery query;
    query.setObjectName(QStringLiteral("qryRelatorio"));
    TReportRun run(definition, &query);
    const auto bind = [&](TParams& params, bool&) {
        for (const QString& name : {TReportParams::DateStart, TReportParams::DateEnd}) {
            if (ExistParam(params, name) && !saved && !m_commandLine.params().contains(name))
                refuse(QStringLiteral("O relatório \"%1\" pede a data %2: informe --param "
                                      "%2=AAAA-MM-DD.")
                           .arg(definition.Name(), name));
        }
        if (saved && (!values.start.isValid() || !values.end.isValid()) &&
            (ExistParam(params, TReportParams::DateStart) ||
             ExistParam(params, TReportParams::DateEnd)))
            refuse(QStringLiteral("O filtro salvo \"%1\" não tem as datas que o relatório "
                                  "pede: salve-o na tela com as datas ou com um período.")
                       .arg(m_commandLine.filterName()));
        TReportParamBinder::Bind(params, values);
    };
    ProgressLine line(m_progressLine);
    run.setProgress([&line](const QString& text, qint64 done, qint64 total) {
        line.show(text, done, total);
        return !TCancelToken::process().isCancelled();
    });
    int pages = 0;
    bool written = false;
    try {
        written = run.start(bind);
        if (written) {
            run.checkColumns();
            written = TReportFormats::write(run, m_commandLine.outputPath(), pages);
        }
    } catch (const EAbort&) {
        // A statement or a read stopped by the signal.
        written = false;
    }
    line.clear();
    if (!written)
        refuse(QStringLiteral("A emissão do relatório foi interrompida; nenhum arquivo foi "
                              "gravado."));
    return {pages, run.rowsRead()};
}
