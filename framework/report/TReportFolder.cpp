#include "TReportFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

namespace {

mode_t processUmask()
{
    // Read without changing it: umask() alone would race with other threads creating files.
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return mode_t(mask);
            }
        }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

} // namespace

QString TReportFolder::unsafe(const QString& directory)
{
    struct stat st
    {
    };
    if (directory.isEmpty() || ::stat(QFile::encodeName(directory).constData(), &st) != 0)
        return QString();
    if (!(st.st_mode & (S_IWGRP | S_IWOTH)))
        return QString();
    return QStringLiteral("A pasta de relatórios '%1' pode ser alterada por outros usuários "
                          "além do dono e do root; os relatórios dela não foram carregados. "
                          "Retire a permissão de escrita dos outros (chmod go-w).")
        .arg(QDir::toNativeSeparators(QFileInfo(directory).absoluteFilePath()));
}

QString TReportFolder::symlinked(const QString& path, const QString& what)
{
    if (!QFileInfo(path).isSymLink())
        return QString();
    return QStringLiteral("%1 '%2' é um link simbólico e foi recusado: use um arquivo ou uma "
                          "pasta de verdade.")
        .arg(what, QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
}

unsigned TReportFolder::publishMode(const QString& target)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(target).constData(), &st) == 0 && S_ISREG(st.st_mode))
        return unsigned(st.st_mode & 07777);
    return unsigned(0666 & ~processUmask());
}

bool TReportFolder::applyMode(const QString& file, unsigned mode)
{
    return ::chmod(QFile::encodeName(file).constData(), mode_t(mode)) == 0;
}
