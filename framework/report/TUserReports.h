#pragma once

#include "FisReportExport.h"
#include "TReportDefinition.h"

#include <QList>
#include <QString>
#include <QStringList>

// The reports a user saved: a per-user data folder beside the shipped definitions,
// which an installed system cannot write. FIS_USER_REPORTS names another folder.
class FIS_REPORT_EXPORT TUserReports
{
public:
    static QString directory();
    static bool isUserReport(const QString& path);
    // The user's definitions of that code, in file name order; a broken file is left
    // out with a warning so that it cannot keep the screen from opening.
    static QList<TReportDefinition> list(const QString& reportCode);
    // The names listed for that code, shipped and user ones, except the file at exceptPath.
    static QStringList names(const QString& shippedDirectory, const QString& reportCode,
                             const QString& exceptPath = {});
    // Refuses an empty title and one already in names().
    static void checkTitle(const QString& title, const QString& shippedDirectory,
                           const QString& reportCode, const QString& exceptPath = {});
    // Writes the definition to a new file of the user's folder and returns its path.
    static QString saveNew(const TReportDefinition& definition);
    // Both refuse a file outside the user's folder.
    static void rename(const QString& path, const QString& title, const QString& shippedDirectory);
    static void remove(const QString& path);
};
