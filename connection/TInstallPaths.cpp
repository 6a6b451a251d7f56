#include "TInstallPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

QString besideProgram(const QString& relative)
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') + relative);
}

} // namespace

QString TInstallPaths::pick(const QString& installed, const QString& buildTree)
{
    const QString path = besideProgram(installed);
    return QFileInfo::exists(path) ? path : buildTree;
}

QString TInstallPaths::modulePath()
{
    return pick(QStringLiteral("../lib/fis01200/libfis01200.so"),
                besideProgram(QStringLiteral("libfis01200.so")));
}

QString TInstallPaths::reportDirectory()
{
    return pick(QStringLiteral("../share/fis01200/reports"),
                QStringLiteral(FIS_SOURCE_DIR "/reports"));
}

QString TInstallPaths::helpDirectory()
{
    return pick(QStringLiteral("../share/fis01200/help"),
                QStringLiteral(FIS_SOURCE_DIR "/host/share/help"));
}
