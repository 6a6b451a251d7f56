#include "THostSession.h"

#include "EFrameworkError.h"
#include "TApplication.h"
#include "TConnectionDialog.h"
#include "TConnectionSettings.h"
#include "TDemoDatabase.h"
#include "TEventGuard.h"
#include "THelpWindow.h"
#include "TInstallPaths.h"
#include "TOpenDatabase.h"
#include "TReportDatabaseNote.h"
#include "TReportDefinition.h"
#include "TUserReports.h"
#include "TdtmDBGeral.h"
#include "TfrmPrincipal.h"

#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QSettings>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// The main window with whatever dialog sits over it, as a person would see it.
bool saveScreenshot(QWidget* mainWindow, const QString& fileName)
{
    QPixmap image = mainWindow->grab();
    QPainter painter(&image);
    const QPoint origin = mainWindow->geometry().topLeft();
    QWidget* modal = QApplication::activeModalWidget();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != mainWindow && window != modal && window->isVisible() &&
            (window->windowType() == Qt::Window || window->windowType() == Qt::Dialog))
            painter.drawPixmap(window->geometry().topLeft() - origin, window->grab());
    }
    if (modal && modal != mainWindow)
        painter.drawPixmap(modal->geometry().topLeft() - origin, modal->grab());
    painter.end();
    return image.save(fileName, "PNG");
}

// The report windows that a change of connection would close under the clerk.
QList<QWidget*> reportWindows()
{
    QList<QWidget*> found;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() &&
            (window->inherits("TReportPreview") || window->inherits("TReportDesignerWindow") ||
             window->inherits("QProgressDialog")))
            found << window;
    }
    return found;
}

QString errorText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EFrameworkError& e) {
        return e.message();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    }
    return QString();
}

} // namespace

THostSession::THostSession(const TCommandLine& commandLine) : m_commandLine(commandLine)
{
}

THostSession::~THostSession()
{
    shutdown();
}

int THostSession::run(QSettings& settings)
{
    start(settings);
    const int result = QApplication::exec();
    // An --open that never found a database did not run.
    if (m_openPending)
        m_actionFailed = true;
    shutdown();
    return result != 0 ? result : (m_actionFailed ? 1 : 0);
}

void THostSession::start(QSettings& settings)
{
    armQuit();
    m_settings = &settings;
    TApplication::instance()->setReportDirectory(m_commandLine.reportDirectory());
    m_options = m_commandLine.connection(TConnectionSettings::load(settings, &m_settingsError));
    m_openPending = m_commandLine.openRequested();

    m_frmPrincipal = std::make_unique<TfrmPrincipal>();
    TfrmPrincipal* window = m_frmPrincipal.get();
    QObject::connect(window, &TfrmPrincipal::configureConnectionRequested, window,
                     [this] { TEventGuard::run([this] { configureConnection(); }); });
    QObject::connect(window, &TfrmPrincipal::retryConnectionRequested, window,
                     [this] { TEventGuard::run([this] { retryConnection(); }); });
    TApplication::instance()->setHelpHandler([this](int context) {
        if (!m_helpWindow)
            m_helpWindow = std::make_unique<THelpWindow>(TInstallPaths::helpDirectory());
        return m_helpWindow->showContext(context);
    });
    loadModule();
    window->show();
    startActions();
}

void THostSession::armQuit()
{
    if (m_commandLine.quitAfter() < 0)
        return;
    // Armed first, so a box shown on the way out does not keep a headless run waiting.
    QTimer::singleShot(m_commandLine.quitAfter(), qApp, [this] {
        const QString file = m_commandLine.screenshotFile();
        if (m_frmPrincipal && !file.isEmpty() && !saveScreenshot(m_frmPrincipal.get(), file)) {
            std::fprintf(stderr, "fishost: não foi possível gravar %s\n", qPrintable(file));
            m_actionFailed = true;
        }
        if (m_frmPrincipal)
            m_frmPrincipal->closeMdiChildren();
        QCoreApplication::exit(0);
    });
}

std::unique_ptr<TOpenDatabase> THostSession::connect(TConnectionOptions options, QWidget* parent)
{
    QString message;
    QString detail;
    std::unique_ptr<TOpenDatabase> database;
    bool cancelled = false;
    if (!TConnectionDialog::resolvePassword(options, parent, &message)) {
        cancelled = message.isEmpty();
        if (cancelled)
            message = QStringLiteral(
                "Conexão cancelada: a senha do banco de dados não foi informada. Use "
                "\"Tentar novamente\" para informá-la, ou \"Configurar conexão…\" para "
                "escolher outra conexão.");
    } else {
        try {
            database = std::make_unique<TOpenDatabase>(options);
        } catch (const EFrameworkError& e) {
            message = e.message();
            detail = e.detail();
        } catch (const std::exception& e) {
            message = QString::fromLocal8Bit(e.what());
        }
    }
    if (!database && parent == m_frmPrincipal.get()) {
        // A headless run's log gets the words the window shows.
        std::fprintf(stderr, "fishost: %s\n", qPrintable(message));
        if (!detail.isEmpty())
            std::fprintf(stderr, "  %s\n", qPrintable(detail));
        m_frmPrincipal->showConnectionFailure(message, detail);
    } else if (!database && !cancelled) {
        // Over the dialog, whose choice failed; a cancelled question just goes back to it.
        m_presenter.showDetailedError(message, detail);
    }
    return database;
}

void THostSession::install(std::unique_ptr<TOpenDatabase> database,
                           const TConnectionOptions& options)
{
    m_database.reset();
    m_database = std::move(database);
    dtmDBGeral = m_database->dataModule();
    m_options = options;
    const bool demo = TDemoDatabase::isDemo(options);
    TReportDatabaseNote::set(demo ? TDemoDatabase::reportNote() : QString());
    m_frmPrincipal->showDatabase(m_database->dataModule()->adcGeral->database(), demo);
}

void THostSession::retryConnection()
{
    if (m_database)
        return;
    auto database = connect(m_options, m_frmPrincipal.get());
    if (!database)
        return;
    install(std::move(database), m_options);
    runOpenAction();
}

void THostSession::configureConnection()
{
    TConnectionDialog dialog(m_frmPrincipal.get());
    dialog.setOptions(m_options);
    std::unique_ptr<TOpenDatabase> database;
    TConnectionOptions choice;
    // The dialog stays until its choice opens: a saved connection is a working one.
    while (!database) {
        if (dialog.exec() != QDialog::Accepted)
            return;
        choice = dialog.options();
        database = connect(choice, &dialog);
    }

    const QList<QWidget*> reports = reportWindows();
    if (!reports.isEmpty() &&
        QMessageBox::question(m_frmPrincipal.get(), QStringLiteral("Configurar conexão"),
                              QStringLiteral("Há um relatório aberto ou em andamento. Ele será "
                                             "fechado para usar a nova conexão. Continuar?")) !=
            QMessageBox::Yes)
        return;
    for (QWidget* window : reports)
        window->close();
    // The screens read the old database: they close, and open again on the new one.
    const QList<QMdiSubWindow*> before = m_frmPrincipal->mdiArea()->subWindowList();
    const bool screenOpen =
        std::any_of(before.begin(), before.end(), [](QMdiSubWindow* w) { return w->isVisible(); });
    if (!m_frmPrincipal->closeMdiChildren())
        return;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    TApplication::instance()->destroyOwnedForms();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    install(std::move(database), choice);
    if (m_settings)
        TConnectionSettings::save(*m_settings, choice);
    if (screenOpen && !m_openPending && m_module.isLoaded())
        m_module.callIniProc(QVariant());
    else
        runOpenAction();
}

void THostSession::loadModule()
{
    m_moduleError = errorText([this] { m_module.load(m_commandLine.modulePath()); });
    if (!m_moduleError.isEmpty())
        m_frmPrincipal->showModuleMissing(m_commandLine.modulePath(), m_moduleError);
    m_frmPrincipal->setModule(&m_module);
}

void THostSession::startActions()
{
    // Both wait for the event loop: a question or a box then sits over the window, and
    // a modal screen runs its own loop inside the loop of the application.
    QTimer::singleShot(0, m_frmPrincipal.get(), [this] {
        if (!m_moduleError.isEmpty()) {
            m_presenter.showError(m_moduleError);
            m_actionFailed = m_commandLine.openRequested();
            m_openPending = false;
        }
        TEventGuard::run([this] {
            // Connecting with a default in place of what was meant could reach the wrong
            // server; "Tentar novamente" goes on with the default once it has been read.
            if (!m_settingsError.isEmpty()) {
                std::fprintf(stderr, "fishost: %s\n", qPrintable(m_settingsError));
                m_frmPrincipal->showConnectionFailure(m_settingsError, {});
                return;
            }
            auto database = connect(m_options, m_frmPrincipal.get());
            if (database)
                install(std::move(database), m_options);
        });
        runOpenAction();
    });
}

void THostSession::runOpenAction()
{
    if (!m_openPending || !m_database)
        return;
    m_openPending = false;
    const int errorsBefore = m_presenter.errorCount();
    const bool opened =
        TEventGuard::run([this] { m_module.callIniProc(m_commandLine.openParameter()); });
    // A check's silent abort has shown its message already; only its count tells.
    if (!opened || m_presenter.errorCount() > errorsBefore)
        m_actionFailed = true;
}

void THostSession::shutdown()
{
    if (!m_frmPrincipal && !m_database)
        return;
    // The module's forms are destroyed while its code is still mapped, and the
    // database goes last, after every query that used it.
    if (m_frmPrincipal)
        m_frmPrincipal->closeMdiChildren();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    TApplication::instance()->destroyOwnedForms();
    TApplication::instance()->setHelpHandler(nullptr);
    m_helpWindow.reset();
    m_frmPrincipal.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    TEventGuard::run([this] { m_module.unload(); });
    m_database.reset();
    TReportDatabaseNote::set(QString());
}

namespace {

// One line a definition: its file, code and name, and where it comes from.
bool listFolder(const QString& directory, const QString& origin, int& found)
{
    const QStringList files =
        QDir(directory).entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    bool readable = true;
    for (const QString& file : files) {
        const QString path = QDir(directory).absoluteFilePath(file);
        const QString error = errorText([&] {
            const TReportDefinition report = TReportDefinition::load(path);
            std::printf("%s\t%s\t%s\t%s\n", qPrintable(file), qPrintable(report.ReportCode()),
                        qPrintable(report.Name()), qPrintable(origin));
            ++found;
        });
        if (!error.isEmpty()) {
            std::fprintf(stderr, "fishost: %s: %s\n", qPrintable(path), qPrintable(error));
            readable = false;
        }
    }
    return readable;
}

} // namespace

bool THostSession::listReports(const QString& directory)
{
    const QString user = TUserReports::directory();
    std::printf("# sistema: %s\n", qPrintable(QDir(directory).absolutePath()));
    std::printf("# usuário: %s\n", qPrintable(QDir(user).absolutePath()));
    int found = 0;
    bool readable = listFolder(directory, QStringLiteral("sistema"), found);
    if (QDir(user).exists() && QDir::cleanPath(QDir(user).absolutePath()) !=
                                   QDir::cleanPath(QDir(directory).absolutePath()))
        readable = listFolder(user, QStringLiteral("usuário"), found) && readable;
    if (found == 0)
        std::fprintf(stderr, "fishost: nenhum relatório em %s nem em %s\n", qPrintable(directory),
                     qPrintable(user));
    return readable && found > 0;
}
