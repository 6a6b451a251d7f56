#include "TOpenDatabase.h"

#include "EFrameworkError.h"
#include "TDataModuleFactory.h"
#include "TdtmDBGeral.h"

#include <QSqlDatabase>

TOpenDatabase::TOpenDatabase(const TConnectionOptions& options)
    : m_dataModule(TDataModuleFactory::open(options))
{
}

TOpenDatabase::~TOpenDatabase()
{
    const QString name = m_dataModule->adcGeral->connectionName();
    if (dtmDBGeral == m_dataModule.get())
        dtmDBGeral = nullptr;
    m_dataModule.reset();
    QSqlDatabase::database(name, false).close();
    QSqlDatabase::removeDatabase(name);
}

QString TOpenDatabase::tryOpen(const TConnectionOptions& options, QString* detail)
{
    try {
        TOpenDatabase database(options);
    } catch (const EFrameworkError& e) {
        if (detail)
            *detail = e.detail();
        return e.message();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    }
    return QString();
}
