#include "TReportFile.h"

#include "EFrameworkError.h"
#include "TCancelToken.h"
#include "TReportFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <filesystem>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// Below this a write of the formats' buffer size fails: the disk is as good as full.
constexpr unsigned long long fullBelowBytes = 2ULL << 20;

} // namespace

QString TReportFile::errorText(const QString& path, const QString& reason)
{
    return QStringLiteral("Não foi possível gravar o arquivo '%1': %2.").arg(path, reason);
}

QString TReportFile::folderFault(const QString& path)
{
    const QString folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    const QByteArray native = QFile::encodeName(folder);
    struct statvfs fs
    {
    };
    const bool known = ::statvfs(native.constData(), &fs) == 0;
    if ((known && (fs.f_flag & ST_RDONLY) != 0) || ::access(native.constData(), W_OK) != 0)
        return QStringLiteral("Não foi possível gravar o arquivo '%1': a pasta %2 não permite "
                              "gravação. Escolha outra pasta, ou peça a quem cuida do computador "
                              "acesso de gravação a ela; nenhum arquivo foi gravado.")
            .arg(path, folder);
    if (known && (unsigned long long)fs.f_bavail * fs.f_frsize < fullBelowBytes)
        return QStringLiteral("Não foi possível gravar o arquivo '%1': o disco da pasta %2 está "
                              "cheio. Libere espaço nele, ou escolha outra pasta, e repita; "
                              "nenhum arquivo foi gravado.")
            .arg(path, folder);
    return {};
}

bool TReportFile::writeThenRename(const QString& path,
                                  const std::function<bool(const QString& file)>& write)
{
    const QFileInfo target(path);
    QTemporaryFile partial(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                           QStringLiteral("-XXXXXX"));
    if (!partial.open()) {
        const QString fault = folderFault(path);
        const QString plain = errorText(path, partial.errorString());
        throw EFrameworkError(fault.isEmpty() ? plain : fault, partial.errorString());
    }
    partial.close();
    const QString temporary = partial.fileName();
    try {
        if (!write(temporary))
            return false;
    } catch (const EFrameworkError& e) {
        // The clerk never chose the hidden temporary: the error names the file asked for,
        // and says why when the folder tells (full, read-only). Looked at while the
        // temporary still holds its space.
        if (!e.message().contains(temporary))
            throw;
        QString message = e.message();
        message.replace(temporary, path);
        const QString fault = folderFault(path);
        QString detail = e.detail();
        detail.replace(temporary, path);
        throw EFrameworkError(fault.isEmpty() ? message : fault,
                              detail.isEmpty() ? message : detail);
    }
    // Stopped while the file was being closed: the old one stays.
    if (TCancelToken::process().isCancelled())
        return false;
    // The documents hold personal data: the clerk's umask, or the old file's mode, decides.
    TReportFolder::applyMode(temporary, TReportFolder::publishMode(path));
    std::error_code error;
    std::filesystem::rename(temporary.toStdString(), path.toStdString(), error);
    if (error) {
        const QString reason = QString::fromStdString(error.message());
        const QString fault = folderFault(path);
        throw EFrameworkError(fault.isEmpty() ? errorText(path, reason) : fault, reason);
    }
    partial.setAutoRemove(false);
    return true;
}
