#include "TReportJob.h"

#include "EFrameworkError.h"
#include "TOpenDatabase.h"
#include "TReportDefinition.h"
#include "TReportDesignerDialog.h"
#include "TdtmDBGeral.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <csignal>
#include <cstdio>

namespace {

const QStringList codeNames = {QStringLiteral("P_CDEMPRESA"), QStringLiteral("P_CDINSCESTA"),
                               QStringLiteral("P_CDINSCMUNI"), QStringLiteral("P_CDFILIAL")};
const QStringList dateNames = {QStringLiteral("P_DTENTRINI"), QStringLiteral("P_DTENTRFIM")};
const QString directionName = QStringLiteral("P_IDENTRSAID");
const QString listName = QStringLiteral("P_CDTIPOOPER");
const QString allTypesName = QStringLiteral("P_TCDTIPOOPER");

volatile std::sig_atomic_t stopRequested = 0;

[[noreturn]] void refuse(const QString& text)
{
    throw EFrameworkError(text);
}

QDate isoDate(const QString& name, const QString& value)
{
    static const QRegularExpression shape(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    const QDate date = QDate::fromString(value.trimmed(), Qt::ISODate);
    if (!shape.match(value.trimmed()).hasMatch() || !date.isValid())
        refuse(QStringLiteral("Data inválida em %1: \"%2\" (use AAAA-MM-DD).").arg(name, value));
    return date;
}

// "E01,S05" or the screen's "'E01','S05'": the quoted list the queries look keys up in.
QString typeList(const QString& value)
{
    QStringList keys;
    for (QString key : value.split(u',', Qt::SkipEmptyParts)) {
        key = key.trimmed();
        if (key.size() > 2 && key.startsWith(u'\'') && key.endsWith(u'\''))
            key = key.mid(1, key.size() - 2);
        if (key.isEmpty() || key.contains(u'\''))
            refuse(QStringLiteral("Tipo de operação inválido em %1: \"%2\" (use, por exemplo, "
                                  "E01,S05).")
                       .arg(listName, value));
        keys << u'\'' + key.toUpper() + u'\'';
    }
    return keys.join(u',');
}

} // namespace

void TReportJob::requestStop()
{
    stopRequested = 1;
}

TReportParamBinder::Filter TReportJob::filter(const QMap<QString, QString>& params)
{
    const QStringList known =
        codeNames + QStringList{directionName} + dateNames + QStringList{listName, allTypesName};
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        if (!known.contains(it.key()))
            refuse(QStringLiteral("Parâmetro desconhecido: %1 (use %2).")
                       .arg(it.key(), known.join(QStringLiteral(", "))));
    }

    TReportParamBinder::Filter filter;
    TReportParamBinder::Code* codes[] = {&filter.empresa, &filter.inscEstad, &filter.inscMuni,
                                         &filter.filial};
    for (qsizetype i = 0; i < codeNames.size(); ++i) {
        const QString value = params.value(codeNames[i], QStringLiteral("T")).trimmed();
        if (value.isEmpty())
            refuse(QStringLiteral("O parâmetro %1 está vazio (use um código ou T para todos).")
                       .arg(codeNames[i]));
        *codes[i] = {
            value.compare(QLatin1String("T"), Qt::CaseInsensitive) == 0 ? QString() : value, true};
    }

    filter.direction = params.value(directionName, QStringLiteral("A")).trimmed().toUpper();
    if (!QStringList{QStringLiteral("E"), QStringLiteral("S"), QStringLiteral("A")}.contains(
            filter.direction))
        refuse(QStringLiteral("Direção inválida em %1: \"%2\" (use E, S ou A).")
                   .arg(directionName, params.value(directionName)));

    if (params.contains(dateNames[0]))
        filter.start = isoDate(dateNames[0], params.value(dateNames[0]));
    if (params.contains(dateNames[1]))
        filter.end = isoDate(dateNames[1], params.value(dateNames[1]));
    if (filter.start.isValid() && filter.end.isValid() && filter.end < filter.start)
        refuse(QStringLiteral("A data final (%1) é anterior à inicial (%2).")
                   .arg(params.value(dateNames[1]), params.value(dateNames[0])));

    filter.listaTp = typeList(params.value(listName));
    filter.list = !filter.listaTp.isEmpty();
    if (params.contains(allTypesName)) {
        const QString all = params.value(allTypesName).trimmed().toUpper();
        if (all != QLatin1String("T") && !all.isEmpty())
            refuse(QStringLiteral("Valor inválido em %1: \"%2\" (use T para todos os tipos, ou "
                                  "vazio com a lista em %3).")
                       .arg(allTypesName, params.value(allTypesName), listName));
        if (all.isEmpty() != filter.list)
            refuse(filter.list ? QStringLiteral("%1=T (todos os tipos) contradiz a lista em %2.")
                                     .arg(allTypesName, listName)
                               : QStringLiteral("%1 vazio pede a lista de tipos em %2.")
                                     .arg(allTypesName, listName));
    }
    return filter;
}

void TReportJob::checkOutput() const
{
    const QFileInfo output(m_commandLine.outputPath());
    const QString extension = output.suffix().toLower();
    const QString pattern = QStringLiteral("(*.%1)").arg(extension);
    if (extension.isEmpty() || !TReportDesignerDialog::exportFilters().contains(pattern))
        refuse(QStringLiteral("O formato do arquivo '%1' não é conhecido (use %2).")
                   .arg(m_commandLine.outputPath(),
                        TReportDesignerDialog::exportFilters().replace(QStringLiteral(";;"),
                                                                       QStringLiteral(", "))));
    if (!output.absoluteDir().exists())
        refuse(QStringLiteral("A pasta do arquivo '%1' não existe.").arg(output.absolutePath()));
    if (output.isDir())
        refuse(QStringLiteral("'%1' é uma pasta, não um arquivo.").arg(output.filePath()));
}

TReportJob::Result TReportJob::run()
{
    const TReportParamBinder::Filter values = filter(m_commandLine.params());
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
        if (!found &&
            (d.Name() == m_commandLine.reportName() || d.Title() == m_commandLine.reportName())) {
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
        for (const QString& name : dateNames) {
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
