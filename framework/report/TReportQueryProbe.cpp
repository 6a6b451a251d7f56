#include "TReportQueryProbe.h"

#include "EFrameworkError.h"
#include "TADOIBQuery.h"
#include "TReportRenderer.h"
#include "TReportRun.h"

namespace {

QString failed(const QString& why)
{
    return QStringLiteral("A consulta não pôde ser executada: %1").arg(why);
}

bool hasQuery(const TReportDefinition& d, QString* message)
{
    if (!d.SQL().join(QString()).trimmed().isEmpty())
        return true;
    *message = QStringLiteral("Informe a consulta do relatório.");
    return false;
}

} // namespace

TReportQueryProbe::Result
TReportQueryProbe::test(const TReportDefinition& definition,
                        const TBeforeGetQueryParamsEvent& beforeGetQueryParams, int keepRows,
                        qint64 rowLimit)
{
    Result r;
    if (!hasQuery(definition, &r.message))
        return r;
    TADOIBQuery query;
    try {
        TReportRun run(definition, &query);
        if (!run.start(beforeGetQueryParams)) {
            r.message = QStringLiteral("A consulta foi cancelada.");
            return r;
        }
        r.fields = query.Query()->columnNames();
        run.setRowLimit(rowLimit);
        while (const TRowSource::Row* row = run.next()) {
            if (r.firstRows.size() < keepRows)
                r.firstRows << QVariantList(row->begin(), row->end());
        }
        r.rows = run.rowsRead();
        r.ok = true;
        r.message = QStringLiteral("%1 linha(s).").arg(r.rows);
    } catch (const EFrameworkError& e) {
        r.message = failed(e.message());
    }
    query.Close();
    return r;
}

QImage TReportQueryProbe::firstPage(const TReportDefinition& definition,
                                    const TBeforeGetQueryParamsEvent& beforeGetQueryParams,
                                    double dpi, QString* message, qint64 rowLimit)
{
    QString ignored;
    QString& why = message ? *message : ignored;
    why.clear();
    if (!hasQuery(definition, &why))
        return {};
    if (definition.Columns().isEmpty()) {
        why = QStringLiteral("Inclua colunas no relatório.");
        return {};
    }
    TADOIBQuery query;
    try {
        TReportRun run(definition, &query);
        if (!run.start(beforeGetQueryParams)) {
            why = QStringLiteral("A consulta foi cancelada.");
            return {};
        }
        run.setRowLimit(rowLimit);
        TReportRenderer renderer(run.definition(), run.params());
        if (!renderer.paginate(run) || renderer.pageCount() < 1)
            return {};
        query.Close();
        return renderer.pageImage(1, dpi);
    } catch (const EFrameworkError& e) {
        why = e.message();
    }
    query.Close();
    return {};
}
