#include "TReportJob.h"

#include "EFrameworkError.h"
#include "TOpenDatabase.h"
#include "TReportDefinition.h"
#include "TReportDesignerDialog.h"
#include "TReportFormats.h"
#include "TReportParams.h"
#include "TdtmDBGeral.h"

#include <QDir>
#include <QFileInfo>

#include <csignal>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

[[noreturn]] void refuse(const QString& text)
{
    throw EFrameworkError(text);
}

} // namespace

void TReportJob::requestStop()
{
    stopRequested = 1;
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
    const TReportParamBinder::Filter values = TReportParams::readFilter(m_commandLine.params());
    checkOutput();

    TReportDefinition definition;
    bool found = false;
    QStringList names;
    for (const TReportDefinition& d : TReportDefinition::listForCode(
             m_commandLine.reportDirectory(), m_commandLine.reportCode())) {
        names << QStringLiteral("\"%1\"").arg(d.Name());
        if (!found &&
            (d.Name() == m_commandLine.reportName() || d.Title() == m_commandLine.reportName())) {
            definition = d;
            found = true;
        }
    }
    if (!found)
        refuse(names.isEmpty()
                   ? QStringLiteral("Não há relatórios %1 em %2.")
                         .arg(m_commandLine.reportCode(), m_commandLine.reportDirectory())
                   : QStringLiteral("O relatório \"%1\" não existe em %2 (há %3).")
                         .arg(m_commandLine.reportName(), m_commandLine.reportDirectory(),
                              names.join(QStringLiteral(", "))));

    // The host makes a demo database in place of a missing file; a scheduled run would
    // then print demo data as if it were the office's.
    const TConnectionOptions& connection = m_commandLine.connection();
    if (connection.driver == QLatin1String("sqlite") && !QFileInfo(connection.database).isFile())
        refuse(QStringLiteral("O banco de dados SQLite %1 não existe.").arg(connection.database));

    TOpenDatabase database(connection);
    struct Current
    {
        explicit Current(TdtmDBGeral* module) { dtmDBGeral = module; }
        ~Current() { dtmDBGeral = nullptr; }
        Current(const Current&) = delete;
        Current& operator=(const Current&) = delete;
    } current(database.dataModule());

    TReportDesignerDialog report;
    report.BeforeGetQueryParams = [&](TParams& params, bool&) {
        for (const QString& name : {TReportParams::DateStart, TReportParams::DateEnd}) {
            if (ExistParam(params, name) && !m_commandLine.params().contains(name))
                refuse(QStringLiteral("O relatório \"%1\" pede a data %2: informe --param "
                                      "%2=AAAA-MM-DD.")
                           .arg(definition.Name(), name));
        }
        TReportParamBinder::Bind(params, values);
    };
    QObject::connect(&report, &TReportDesignerDialog::progressed, [&report] {
        if (stopRequested)
            report.cancel();
    });
    if (!report.ExportFile(definition, m_commandLine.outputPath()))
        refuse(QStringLiteral("A emissão do relatório foi interrompida; nenhum arquivo foi "
                              "gravado."));
    return {report.PageCount(), report.RowCount()};
}
