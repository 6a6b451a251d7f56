#include "TReportFile.h"

#include "EFrameworkError.h"
#include "TReportFolder.h"

#include <QFileInfo>
#include <QTemporaryFile>
#include <filesystem>

QString TReportFile::errorText(const QString& path, const QString& reason)
{
    return QStringLiteral("Não foi possível gravar o arquivo '%1': %2.").arg(path, reason);
}

bool TReportFile::writeThenRename(const QString& path,
                                  const std::function<bool(const QString& file)>& write)
{
    const QFileInfo target(path);
    QTemporaryFile partial(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                           QStringLiteral("-XXXXXX"));
    if (!partial.open())
        throw EFrameworkError(errorText(path, partial.errorString()));
    partial.close();
    if (!write(partial.fileName()))
        return false;
    // The documents hold personal data: the clerk's umask, or the old file's mode, decides.
    TReportFolder::applyMode(partial.fileName(), TReportFolder::publishMode(path));
    std::error_code error;
    std::filesystem::rename(partial.fileName().toStdString(), path.toStdString(), error);
    if (error)
        throw EFrameworkError(errorText(path, QString::fromStdString(error.message())));
    partial.setAutoRemove(false);
    return true;
}
