#pragma once

#include "TCommandLine.h"
#include "TConsolePresenter.h"
#include "TModuleLoader.h"

#include <memory>

class QSettings;
class THelpWindow;
class TOpenDatabase;
class TfrmPrincipal;

// One run of the host: the database, the main window, the module and the actions
// the command line asks for, torn down in the order their users need.
class THostSession
{
public:
    explicit THostSession(const TCommandLine& commandLine);
    ~THostSession();

    // Runs the application's event loop; the process's exit status: non-zero when
    // the database did not open or an action of the command line failed.
    int run(QSettings& settings);

    // Prints the report definitions of the directory; false when one cannot be read.
    static bool listReports(const QString& directory);

private:
    void armQuit();
    bool openDatabase(QSettings& settings);
    void loadModule();
    void startActions();
    void showHelp(int context);
    void shutdown();

    const TCommandLine& m_commandLine;
    TConsolePresenter m_presenter;
    std::unique_ptr<TOpenDatabase> m_database;
    std::unique_ptr<TfrmPrincipal> m_frmPrincipal;
    std::unique_ptr<THelpWindow> m_helpWindow;
    TModuleLoader m_module;
    QString m_moduleError;
    bool m_actionFailed = false;
};
