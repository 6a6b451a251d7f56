#pragma once

#include "TConnectionOptions.h"

#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The command line of fisreport. As for the host, the database password is never an
// argument: it comes from --password-file or from FIS_DB_PASSWORD.
class TReportCommandLine
{
public:
    // False with errorText() when the arguments are refused; the first is the program.
    bool parse(const QStringList& arguments,
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

    QString errorText() const { return m_errorText; }
    bool helpRequested() const { return m_helpRequested; }
    bool versionRequested() const { return m_versionRequested; }
    QString helpText() const { return m_helpText; }

    const TConnectionOptions& connection() const { return m_connection; }
    QString reportDirectory() const { return m_reportDirectory; }
    QString reportCode() const { return m_reportCode; }
    QString reportName() const { return m_reportName; }
    // The --param values by parameter name in capitals, as given.
    const QMap<QString, QString>& params() const { return m_params; }
    QString outputPath() const { return m_outputPath; }
    // A filter saved on the screen (--filtro), in place of --param and --report.
    QString filterName() const { return m_filterName; }

private:
    bool fail(const QString& text);

    QString m_errorText;
    bool m_helpRequested = false;
    bool m_versionRequested = false;
    QString m_helpText;
    TConnectionOptions m_connection;
    QString m_reportDirectory;
    QString m_reportCode;
    QString m_reportName;
    QMap<QString, QString> m_params;
    QString m_outputPath;
    QString m_filterName;
};
