#pragma once

#include "TCommandLine.h"
#include "TConnectionOptions.h"
#include "TConsolePresenter.h"
#include "TModuleLoader.h"

#include <memory>

class QSettings;
class QWidget;
class THelpWindow;
class TOpenDatabase;
class TfrmPrincipal;

// One run of the host: the database, the main window, the module and the actions
// the command line asks for, torn down in the order their users need. A connection
// that fails leaves the window up with the failure and its remedies; one chosen in
// "Configurar conexão…" replaces the running one at once.
class THostSession
{
public:
    explicit THostSession(const TCommandLine& commandLine);
    ~THostSession();

    // Runs the application's event loop; the process's exit status: non-zero when an
    // action of the command line failed or could not run for want of a database.
    int run(QSettings& settings);

    // The window up and the connection tried once the event loop runs; run() without the
    // loop, for tests.
    void start(QSettings& settings);
    TfrmPrincipal* mainWindow() const { return m_frmPrincipal.get(); }
    bool connected() const { return m_database != nullptr; }

    // "Tentar novamente": the same connection again, its password asked again if it is asked.
    void retryConnection();
    // "Configurar conexão…": the dialog until a choice opens or it is cancelled; the choice
    // is saved and the screens open on it.
    void configureConnection();

    // Prints the shipped and the user's report definitions with where each comes from;
    // false when one cannot be read or none is found.
    static bool listReports(const QString& directory);

private:
    void armQuit();
    // Opens the options' database (asking its password if need be); nullptr with the
    // failure shown in the window and on stderr.
    std::unique_ptr<TOpenDatabase> connect(TConnectionOptions options, QWidget* parent);
    void install(std::unique_ptr<TOpenDatabase> database, const TConnectionOptions& options);
    void loadModule();
    void startActions();
    void runOpenAction();
    void shutdown();

    const TCommandLine& m_commandLine;
    TConsolePresenter m_presenter;
    QSettings* m_settings = nullptr;
    TConnectionOptions m_options;
    std::unique_ptr<TOpenDatabase> m_database;
    std::unique_ptr<TfrmPrincipal> m_frmPrincipal;
    std::unique_ptr<THelpWindow> m_helpWindow;
    TModuleLoader m_module;
    QString m_moduleError;
    // A bad value in the saved connection, told at start instead of connecting.
    QString m_settingsError;
    // --open waits for a database.
    bool m_openPending = false;
    bool m_actionFailed = false;
};
