#pragma once

#include "FisDataExport.h"

#include <QObject>
#include <QPointer>

class TADOIBQuery;

// Links a control that lists rows to the query whose dataset it shows.
class FIS_DATA_EXPORT TDataSource : public QObject
{
    Q_OBJECT

public:
    explicit TDataSource(QObject* parent = nullptr);

    TADOIBQuery* DataSet() const;
    void setDataSet(TADOIBQuery* query);

private:
    QPointer<QObject> m_dataSet;
};
