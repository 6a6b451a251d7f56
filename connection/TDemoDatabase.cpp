#include "TDemoDatabase.h"

#include <QDir>
#include <QFileInfo>

QString TDemoDatabase::defaultPath()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/fis01200/demo.sqlite");
}

QString TDemoDatabase::sqlitePath(const TConnectionOptions& options)
{
    return options.database.trimmed().isEmpty() ? defaultPath() : options.database.trimmed();
}

bool TDemoDatabase::isDemo(const TConnectionOptions& options)
{
    const QString driver = options.driver.trimmed().toLower();
    if (!driver.isEmpty() && driver != QLatin1String("sqlite"))
        return false;
    return QFileInfo(sqlitePath(options)).absoluteFilePath() ==
           QFileInfo(defaultPath()).absoluteFilePath();
}

QString TDemoDatabase::label()
{
    return QStringLiteral("BANCO DE DEMONSTRAÇÃO");
}

QString TDemoDatabase::reportNote()
{
    return QStringLiteral("%1 — documentos fictícios, não são os do escritório.").arg(label());
}
