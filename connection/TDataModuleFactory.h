#pragma once

#include "TConnectionOptions.h"
#include "TdtmDBGeral.h"

#include <memory>

// Opens the host's one read-only connection and wraps it in the data module.
class TDataModuleFactory
{
public:
    // Throws EFrameworkError with a clear Portuguese message when the database
    // cannot be opened. For SQLite a missing demo file is first created from the
    // project's schema and demo data.
    static std::unique_ptr<TdtmDBGeral> open(const TConnectionOptions& options);
};
