#pragma once

#include "FrameworkExport.h"

#include <QObject>
#include <QPointer>

class TADOIBQuery; // NOLINT

// Links a control that lists rows to the query whose dataset it shows.
class FW_EXPORT TDataSource : public QObject
{
    Q_OBJECT

public:
    explicit TDataSource(QObject* parent = nullptr);

    TADOIBQuery* DataSet() const { return m_dataSet; }
    void setDataSet(TADOIBQuery* query) { m_dataSet = query; }

private:
    QPointer<TADOIBQuery> m_dataSet;
};
