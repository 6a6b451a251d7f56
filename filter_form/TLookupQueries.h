#pragma once

#include "TADOIBQuery.h"
#include "TDataSource.h"

class QObject;

// The filter's five lookup queries and the data sources that show them, created on
// (and owned by) the form, closed, and referring to the host's data module.
class TLookupQueries
{
public:
    explicit TLookupQueries(QObject* owner);

    TADOIBQuery* qryEmpresa;
    TADOIBQuery* qryInscEstad;
    TADOIBQuery* qryInscMuni;
    TADOIBQuery* qryFilial;
    TADOIBQuery* qryTpOperacao;

    TDataSource* dtsEmpresa;
    TDataSource* dtsInscEstad;
    TDataSource* dtsInscMuni;
    TDataSource* dtsFilial;
    TDataSource* dtsTpOperacao;
};
