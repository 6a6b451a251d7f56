#pragma once

#include "TConnectionOptions.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QVariant>

// The host's command line. The database password is never accepted as an
// argument, where other users could read it: it comes from FIS_DB_PASSWORD or
// from the file named by --password-file.
class TCommandLine
{
public:
    // Returns false and sets errorText() when the arguments are refused; the
    // first argument is the program name.
    bool parse(const QStringList& arguments,
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

    QString errorText() const { return m_errorText; }
    bool helpRequested() const { return m_helpRequested; }
    QString helpText() const { return m_helpText; }

    QString modulePath() const { return m_modulePath; }
    QString reportDirectory() const { return m_reportDirectory; }
    const TConnectionOptions& connection() const { return m_connection; }

    bool openRequested() const { return m_openRequested; }
    // Null without a mode, otherwise the one-element array {mode} that IniProc reads.
    QVariant openParameter() const;

    QString screenshotFile() const { return m_screenshotFile; }
    // Milliseconds until the host quits by itself; -1: it does not.
    int quitAfter() const { return m_quitAfter; }

    static QString defaultModulePath();
    static QString defaultReportDirectory();

private:
    bool fail(const QString& text);

    QString m_errorText;
    bool m_helpRequested = false;
    QString m_helpText;
    QString m_modulePath;
    QString m_reportDirectory;
    TConnectionOptions m_connection;
    bool m_openRequested = false;
    bool m_hasOpenMode = false;
    QString m_openMode;
    QString m_screenshotFile;
    int m_quitAfter = -1;
};
