#include "TUserReports.h"

#include "EFrameworkError.h"
#include "TReportFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtDebug>

namespace {

// The folder and the file are where they seem: no link leads a save elsewhere, and no one
// else may plant a file there.
QString placeProblem(const QString& directory, const QString& file = QString())
{
    QString problem = TReportFolder::symlinked(directory, QStringLiteral("A pasta de relatórios"));
    if (problem.isEmpty())
        problem = TReportFolder::unsafe(directory);
    if (problem.isEmpty() && !file.isEmpty())
        problem = TReportFolder::symlinked(file, QStringLiteral("O relatório"));
    return problem;
}

void checkUserFile(const QString& path)
{
    if (const QString problem = placeProblem(TUserReports::directory(), path); !problem.isEmpty())
        throw EFrameworkError(problem);
    if (!TUserReports::isUserReport(path))
        throw EFrameworkError(QStringLiteral("O relatório '%1' é fornecido com o sistema e não "
                                             "pode ser alterado nem excluído.")
                                  .arg(QFileInfo(path).fileName()));
}

} // namespace

QString TUserReports::directory()
{
    const QString overridden = qEnvironmentVariable("FIS_USER_REPORTS");
    if (!overridden.isEmpty())
        return overridden;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/reports");
}

bool TUserReports::isUserReport(const QString& path)
{
    const QString dir = QFileInfo(directory()).canonicalFilePath();
    if (path.isEmpty() || dir.isEmpty())
        return false;
    return QFileInfo(path).absoluteDir().canonicalPath() == dir;
}

QList<TReportDefinition> TUserReports::list(const QString& reportCode)
{
    QList<TReportDefinition> out;
    const QDir dir(directory());
    if (const QString problem = placeProblem(directory()); !problem.isEmpty()) {
        if (dir.exists())
            qWarning().noquote() << problem;
        return out;
    }
    const QStringList files =
        dir.entryList({reportCode + QStringLiteral("_*.json")}, QDir::Files, QDir::Name);
    for (const QString& fileName : files) {
        if (const QString link =
                TReportFolder::symlinked(dir.filePath(fileName), QStringLiteral("O relatório"));
            !link.isEmpty()) {
            qWarning().noquote() << link;
            continue;
        }
        try {
            TReportDefinition d = TReportDefinition::load(dir.filePath(fileName));
            if (d.ReportCode().compare(reportCode, Qt::CaseInsensitive) == 0)
                out << d;
        } catch (const EFrameworkError& e) {
            qWarning().noquote() << e.message();
        }
    }
    return out;
}

QStringList TUserReports::names(const QString& shippedDirectory, const QString& reportCode,
                                const QString& exceptPath)
{
    QList<TReportDefinition> all;
    if (!shippedDirectory.isEmpty() && QDir(shippedDirectory).exists())
        all = TReportDefinition::listForCode(shippedDirectory, reportCode);
    all += list(reportCode);
    QStringList out;
    const QString except =
        exceptPath.isEmpty() ? QString() : QFileInfo(exceptPath).absoluteFilePath();
    for (const TReportDefinition& d : std::as_const(all))
        if (except.isEmpty() || QFileInfo(d.FilePath()).absoluteFilePath() != except)
            out << d.Name();
    return out;
}

void TUserReports::checkTitle(const QString& title, const QString& shippedDirectory,
                              const QString& reportCode, const QString& exceptPath)
{
    const QString wanted = title.trimmed();
    if (wanted.isEmpty())
        throw EFrameworkError(QStringLiteral("Informe o título do relatório."));
    for (const QString& name : names(shippedDirectory, reportCode, exceptPath))
        if (name.trimmed().compare(wanted, Qt::CaseInsensitive) == 0)
            throw EFrameworkError(
                QStringLiteral("Já existe um relatório com o título '%1'.").arg(name));
}

QString TUserReports::saveNew(const TReportDefinition& definition)
{
    const QString dir = directory();
    if (const QString problem = placeProblem(dir); !problem.isEmpty())
        throw EFrameworkError(problem);
    // A new folder is the clerk's alone: the reports may hold queries on personal data.
    const bool existed = QFileInfo::exists(dir);
    if (!QDir().mkpath(dir))
        throw EFrameworkError(
            QStringLiteral("Não foi possível criar a pasta de relatórios '%1'.").arg(dir));
    if (!existed)
        TReportFolder::applyMode(dir, 0700);
    const QString path = TReportDefinition::newFilePath(dir, definition.ReportCode());
    definition.save(path);
    return path;
}

void TUserReports::rename(const QString& path, const QString& title,
                          const QString& shippedDirectory)
{
    checkUserFile(path);
    TReportDefinition d = TReportDefinition::load(path);
    checkTitle(title, shippedDirectory, d.ReportCode(), path);
    d.setName(title.trimmed());
    d.setTitle(title.trimmed());
    d.save(path);
}

void TUserReports::remove(const QString& path)
{
    checkUserFile(path);
    QFile file(path);
    if (!file.remove())
        throw EFrameworkError(QStringLiteral("Não foi possível excluir o relatório '%1': %2.")
                                  .arg(path, file.errorString()));
}
