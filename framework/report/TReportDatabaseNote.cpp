#include "TReportDatabaseNote.h"

namespace {

QString& note()
{
    static QString text;
    return text;
}

} // namespace

QString TReportDatabaseNote::text()
{
    return note();
}

void TReportDatabaseNote::set(const QString& text)
{
    note() = text;
}
