#pragma once

#include "TConnectionOptions.h"

#include <QCommandLineOption>
#include <QHash>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QVariant>

class QCommandLineParser;

// The host's command line. The database password is never accepted as an
// argument, where other users could read it: it comes from the file named by
// --password-file or from FIS_DB_PASSWORD.
class TCommandLine
{
public:
    // Returns false and sets errorText() when the arguments are refused; the
    // first argument is the program name.
    bool parse(const QStringList& arguments,
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

    QString errorText() const { return m_errorText; }
    bool helpRequested() const { return m_helpRequested; }
    bool versionRequested() const { return m_versionRequested; }
    QString helpText() const { return m_helpText; }

    QString modulePath() const { return m_modulePath; }
    QString reportDirectory() const { return m_reportDirectory; }
    bool listReportsRequested() const { return m_listReports; }

    // The saved connection with what the command line names in its place. Naming
    // another driver starts from that driver's defaults: a server of one database
    // is no server of another.
    TConnectionOptions connection(const TConnectionOptions& saved = TConnectionOptions()) const;

    bool openRequested() const { return m_openRequested; }
    // Null without a mode, otherwise the one-element array {mode} that IniProc reads.
    QVariant openParameter() const;

    QString screenshotFile() const { return m_screenshotFile; }
    // Milliseconds until the host quits by itself; -1: it does not.
    int quitAfter() const { return m_quitAfter; }

private:
    bool fail(const QString& text);
    // Takes the optional mode of --open out and refuses a password argument.
    bool prepare(const QStringList& arguments, const QList<QCommandLineOption>& valued,
                 QStringList& prepared);
    bool readConnection(const QCommandLineParser& parser, const QProcessEnvironment& environment);
    bool readRun(const QCommandLineParser& parser);

    QString m_errorText;
    bool m_helpRequested = false;
    bool m_versionRequested = false;
    QString m_helpText;
    QString m_modulePath;
    QString m_reportDirectory;
    bool m_listReports = false;
    // Connection options given, by option name.
    QHash<QString, QString> m_connectionValues;
    QString m_password;
    bool m_openRequested = false;
    bool m_hasOpenMode = false;
    QString m_openMode;
    QString m_screenshotFile;
    int m_quitAfter = -1;
};
