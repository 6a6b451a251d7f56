#pragma once

// The database dialects a query holds a text for.
enum class TDialect
{
    Default,
    Oracle,
    MSSQL,
    InterBase
};
