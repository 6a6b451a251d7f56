#pragma once

#include "FisDataExport.h"
#include "TDBConnection.h"

#include <QObject>

// The host's shared data module: the connection objects every query refers to.
// The host creates and opens it; components never open, close or commit it.
class FIS_DATA_EXPORT TdtmDBGeral : public QObject
{
    Q_OBJECT

public:
    explicit TdtmDBGeral(const QString& connectionName, QObject* parent = nullptr);
    ~TdtmDBGeral() override;

    TDBConnection* adcGeral; // ADO connection
    TDBConnection* dtbGeral; // InterBase database
    TDBConnection* ibtGeral; // InterBase transaction
};

// The host's one data module, or nullptr before the host has opened it.
extern FIS_DATA_EXPORT TdtmDBGeral* dtmDBGeral;
