#include "LookupRows.h"

#include "TdtmDBGeral.h"

#include "EFrameworkError.h"
#include "TRawQuery.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

void LookupRows::setParams(TADOIBQuery* query, const QStringList& settings)
{
    for (const QString& s : settings) {
        const qsizetype eq = s.indexOf(u'=');
        TParam& p = query->ParamByName(eq < 0 ? s : s.left(eq));
        if (eq < 0)
            p.Clear();
        else
            p.SetAsString(s.mid(eq + 1));
    }
}

QList<QStringList> LookupRows::open(TADOIBQuery* query, const QStringList& settings)
{
    query->Close();
    setParams(query, settings);
    query->Open();
    return fetch(query);
}

QList<QStringList> LookupRows::fetch(TADOIBQuery* query)
{
    TADOIBDataSet* data = query->Query();
    data->fetchAll();
    QList<int> columns;
    for (const TADOIBStringField* f : query->Fields())
        columns << data->columnIndex(f->FieldName());
    QList<QStringList> rows;
    for (int r = 0; r < data->rowCount(); ++r) {
        QStringList row;
        for (int c : columns)
            row << data->value(r, c).toString();
        rows << row;
    }
    return rows;
}

QList<QStringList> LookupRows::raw(const QSqlDatabase& db, const QString& sql,
                                   const TParams& params, const QStringList& columns)
{
    QSqlQuery q = TRawQuery::run(db, sql, params);
    QList<QStringList> rows;
    while (q.next()) {
        QStringList row;
        for (const QString& c : columns)
            row << q.value(q.record().indexOf(c)).toString();
        rows << row;
    }
    if (q.lastError().isValid())
        throw EFrameworkError(q.lastError().text());
    return rows;
}

qint64 LookupRows::count(const QSqlDatabase& db, const QString& table)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM ") + table) || !q.next())
        throw EFrameworkError(q.lastError().text());
    return q.value(0).toLongLong();
}

QString LookupRows::firstValue(TdtmDBGeral* module, const QString& sql)
{
    TADOIBQuery query;
    query.setADOConnection(module->adcGeral);
    query.setDataBase(module->dtbGeral);
    query.setSQL({sql});
    query.Open();
    return query.Query()->value(0, 0).toString();
}
