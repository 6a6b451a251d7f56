#include "TRawQuery.h"

#include "EFrameworkError.h"
#include "TSqlText.h"

#include <QSqlError>
#include <QStringList>

QSqlQuery TRawQuery::run(const QSqlDatabase& db, const QString& sql, const TParams& params)
{
    QStringList names;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(TSqlText::toPositional(sql, &names)))
        throw EFrameworkError(q.lastError().text());
    for (const QString& name : names)
        q.addBindValue(params.ParamByName(name).Value());
    if (!q.exec())
        throw EFrameworkError(q.lastError().text());
    return q;
}
