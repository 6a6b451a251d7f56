#include "TSqliteFunctions.h"

#include "EFrameworkError.h"

#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

namespace {

void nvl(sqlite3_context* context, int, sqlite3_value** argv)
{
    sqlite3_value* a = argv[0];
    const int type = sqlite3_value_type(a);
    const bool empty = type == SQLITE_NULL || (type == SQLITE_TEXT && sqlite3_value_bytes(a) == 0);
    sqlite3_result_value(context, empty ? argv[1] : a);
}

} // namespace

void TSqliteFunctions::install(const QSqlDatabase& db)
{
    const QVariant handle = db.isOpen() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw EFrameworkError(QStringLiteral("A conexão %1 não é uma conexão SQLite aberta.")
                                  .arg(db.connectionName()));
    sqlite3* sqlite = *static_cast<sqlite3* const*>(handle.constData());
    if (!sqlite)
        throw EFrameworkError(QStringLiteral("A conexão %1 não é uma conexão SQLite aberta.")
                                  .arg(db.connectionName()));
    const int rc = sqlite3_create_function_v2(sqlite, "NVL", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                              nullptr, &nvl, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw EFrameworkError(
            QStringLiteral("Não foi possível registrar a função NVL no SQLite: %1")
                .arg(QString::fromUtf8(sqlite3_errstr(rc))));
}
