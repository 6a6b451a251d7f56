#include "TDataSource.h"

#include "TADOIBQuery.h"

TDataSource::TDataSource(QObject* parent) : QObject(parent)
{
}

TADOIBQuery* TDataSource::DataSet() const
{
    return static_cast<TADOIBQuery*>(m_dataSet.data());
}

void TDataSource::setDataSet(TADOIBQuery* query)
{
    m_dataSet = query;
}
