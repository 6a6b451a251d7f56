#pragma once

#include "TConnectionOptions.h"

#include <memory>

class TdtmDBGeral;

// A data module opened through TDataModuleFactory and dropped again, connection
// and all, when this goes: the host's own and the one "Testar conexão" tries.
class TOpenDatabase
{
public:
    // Throws EFrameworkError (or what the driver throws) as TDataModuleFactory does.
    explicit TOpenDatabase(const TConnectionOptions& options);
    ~TOpenDatabase();
    TOpenDatabase(const TOpenDatabase&) = delete;
    TOpenDatabase& operator=(const TOpenDatabase&) = delete;

    TdtmDBGeral* dataModule() const { return m_dataModule.get(); }

    // Empty when the connection opens; otherwise the reason, in Portuguese, with the
    // driver's own text in detail.
    static QString tryOpen(const TConnectionOptions& options, QString* detail = nullptr);

private:
    std::unique_ptr<TdtmDBGeral> m_dataModule;
};
