#include "TStatementRewriter.h"

QString TStatementRewriter::rewrite(const QString& sql, TADOIBQuery::Dialect, const TParams&)
{
    return sql;
}
