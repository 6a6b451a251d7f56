#include "TSqliteAuthorizer.h"

#include "TDriverHandles.h"

#include <QSqlDatabase>
#include <sqlite3.h>

namespace {

bool oneOf(const char* name, std::initializer_list<const char*> names)
{
    if (!name)
        return false;
    for (const char* n : names)
        if (sqlite3_stricmp(name, n) == 0)
            return true;
    return false;
}

int readOnly(void*, int action, const char* first, const char* second, const char*, const char*)
{
    switch (action) {
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_RECURSIVE:
        return SQLITE_OK;
    case SQLITE_FUNCTION:
        return oneOf(second, {"load_extension", "fts3_tokenizer", "readfile", "writefile", "edit"})
                   ? SQLITE_DENY
                   : SQLITE_OK;
    case SQLITE_PRAGMA:
        // Questions about the schema, never a setting: a pragma with a value may write.
        return !second && oneOf(first, {"table_info", "table_xinfo", "index_list", "index_info",
                                        "index_xinfo", "foreign_key_list", "database_list"})
                   ? SQLITE_OK
                   : SQLITE_DENY;
    default:
        return SQLITE_DENY;
    }
}

} // namespace

void TSqliteAuthorizer::install(const QSqlDatabase& db)
{
    sqlite3* connection = TDriverHandles::sqlite(db);
    if (!connection)
        return;
    sqlite3_set_authorizer(connection, readOnly, nullptr);
    // VACUUM INTO attaches its target: with no room for attachments it cannot.
    sqlite3_limit(connection, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_db_config(connection, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(connection, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_db_config(connection, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
}

void TSqliteAuthorizer::uninstall(const QSqlDatabase& db)
{
    if (sqlite3* connection = TDriverHandles::sqlite(db)) {
        sqlite3_set_authorizer(connection, nullptr, nullptr);
        sqlite3_limit(connection, SQLITE_LIMIT_ATTACHED, 10);
    }
}
