#pragma once

#include "TConnectionOptions.h"
#include "TdtmDBGeral.h"

#include <memory>

// Opens the host's one read-only connection and wraps it in the data module.
class TDataModuleFactory
{
public:
    // Throws EFrameworkError with a clear Portuguese message when the database
    // cannot be opened. For SQLite a missing file is made only at the demo's own
    // default path (TDemoDatabase); any other missing file is refused.
    static std::unique_ptr<TdtmDBGeral> open(const TConnectionOptions& options);
    // Fills a new SQLite file at path with the schema and the demo rows; an existing
    // file is left alone. Throws EFrameworkError when it cannot be made.
    static void makeDemo(const QString& path);
};
