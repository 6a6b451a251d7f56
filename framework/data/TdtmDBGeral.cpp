#include "TdtmDBGeral.h"

TdtmDBGeral* dtmDBGeral = nullptr;

TdtmDBGeral::TdtmDBGeral(const QString& connectionName, QObject* parent)
    : QObject(parent), adcGeral(new TDBConnection(connectionName, this)),
      dtbGeral(new TDBConnection(connectionName, this)),
      ibtGeral(new TDBConnection(connectionName, this))
{
    setObjectName(QStringLiteral("dtmDBGeral"));
    // Three names for one connection: a loss seen through one is seen through all.
    dtbGeral->shareSession(*adcGeral);
    ibtGeral->shareSession(*adcGeral);
    adcGeral->setObjectName(QStringLiteral("adcGeral"));
    dtbGeral->setObjectName(QStringLiteral("dtbGeral"));
    ibtGeral->setObjectName(QStringLiteral("ibtGeral"));
}

TdtmDBGeral::~TdtmDBGeral()
{
    if (dtmDBGeral == this)
        dtmDBGeral = nullptr;
}
