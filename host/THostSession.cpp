#include "THostSession.h"

#include "EFrameworkError.h"
#include "TApplication.h"
#include "TConnectionDialog.h"
#include "TConnectionSettings.h"
#include "TEventGuard.h"
#include "THelpWindow.h"
#include "TInstallPaths.h"
#include "TOpenDatabase.h"
#include "TReportDefinition.h"
#include "TdtmDBGeral.h"
#include "TfrmPrincipal.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

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
    armQuit();
    TApplication::instance()->setReportDirectory(m_commandLine.reportDirectory());
    if (!openDatabase(settings))
        return 1;

    m_frmPrincipal = std::make_unique<TfrmPrincipal>();
    m_frmPrincipal->showDatabase(m_database->dataModule()->adcGeral->database());
    m_frmPrincipal->setSettings(&settings);
    TApplication::instance()->setHelpHandler([this](int context) {
        if (!m_helpWindow)
            m_helpWindow = std::make_unique<THelpWindow>(TInstallPaths::helpDirectory());
        return m_helpWindow->showContext(context);
    });
    loadModule();
    m_frmPrincipal->show();
    startActions();

    const int result = QApplication::exec();
    shutdown();
    return result != 0 ? result : (m_actionFailed ? 1 : 0);
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

bool THostSession::openDatabase(QSettings& settings)
{
    TConnectionOptions options = m_commandLine.connection(TConnectionSettings::load(settings));
    QString error;
    if (!TConnectionDialog::resolvePassword(options, nullptr, &error)) {
        m_presenter.showError(error.isEmpty() ? QStringLiteral("Conexão cancelada.") : error);
        return false;
    }
    error = errorText([&] { m_database = std::make_unique<TOpenDatabase>(options); });
    if (!error.isEmpty()) {
        m_presenter.showError(error);
        return false;
    }
    dtmDBGeral = m_database->dataModule();
    return true;
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
    // Both wait for the event loop: a box then sits over the window, and a modal
    // screen runs its own loop inside the loop of the application.
    QTimer::singleShot(0, qApp, [this] {
        if (!m_moduleError.isEmpty()) {
            m_presenter.showError(m_moduleError);
            m_actionFailed = m_commandLine.openRequested();
            return;
        }
        if (!m_commandLine.openRequested())
            return;
        const int errorsBefore = m_presenter.errorCount();
        const bool opened =
            TEventGuard::run([this] { m_module.callIniProc(m_commandLine.openParameter()); });
        // A check's silent abort has shown its message already; only its count tells.
        if (!opened || m_presenter.errorCount() > errorsBefore)
            m_actionFailed = true;
    });
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
}

bool THostSession::listReports(const QString& directory)
{
    const QStringList files =
        QDir(directory).entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    std::printf("# %s\n", qPrintable(QDir(directory).absolutePath()));
    bool readable = true;
    for (const QString& file : files) {
        const QString error = errorText([&] {
            const TReportDefinition report =
                TReportDefinition::load(QDir(directory).filePath(file));
            std::printf("%s\t%s\t%s\n", qPrintable(file), qPrintable(report.ReportCode()),
                        qPrintable(report.Name()));
        });
        if (!error.isEmpty()) {
            std::fprintf(stderr, "fishost: %s: %s\n", qPrintable(file), qPrintable(error));
            readable = false;
        }
    }
    if (files.isEmpty())
        std::fprintf(stderr, "fishost: nenhum relatório em %s\n", qPrintable(directory));
    return readable && !files.isEmpty();
}
