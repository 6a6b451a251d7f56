#pragma once

#include "TReportDefinition.h"

// The shipped "Listagem dos Documentos", the report every bench measures; empty when the
// folder has none.
inline TReportDefinition benchListing(const QString& reportDir)
{
    for (const TReportDefinition& d :
         TReportDefinition::listForCode(reportDir, QStringLiteral("FIS012")))
        if (d.Name() == QLatin1String("Listagem dos Documentos"))
            return d;
    return {};
}
