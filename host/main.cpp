#include "EFrameworkError.h"
#include "TApplication.h"
#include "TCommandLine.h"
#include "TDataModuleFactory.h"
#include "TEventGuard.h"
#include "TMessagePresenter.h"
#include "TModuleLoader.h"
#include "TfrmPrincipal.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMdiArea>
#include <QPainter>
#include <QPixmap>
#include <QSqlDatabase>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <memory>

namespace {

// Boxes block a headless run, so every error is also on stderr.
void reportError(const QString& text)
{
    std::fprintf(stderr, "fishost: %s\n", qPrintable(text));
    TMessagePresenter::current().showError(text);
}

void installTranslations(QApplication& app)
{
    // Qt's own texts (buttons, window menus) in Portuguese, when the translations are installed.
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Portuguese, QLocale::Brazil), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
}

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

void closeDatabase(std::unique_ptr<TdtmDBGeral>& dataModule)
{
    if (!dataModule)
        return;
    const QString name = dataModule->adcGeral->connectionName();
    dtmDBGeral = nullptr;
    dataModule.reset();
    QSqlDatabase::database(name, false).close();
    QSqlDatabase::removeDatabase(name);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("fishost"));
    QApplication::setApplicationDisplayName(QStringLiteral("Sistema Fiscal"));
    installTranslations(app);

    TCommandLine commandLine;
    if (!commandLine.parse(QApplication::arguments())) {
        std::fprintf(stderr, "fishost: %s\n", qPrintable(commandLine.errorText()));
        return 2;
    }
    if (commandLine.helpRequested()) {
        std::fputs(qPrintable(commandLine.helpText()), stdout);
        return 0;
    }

    std::unique_ptr<TfrmPrincipal> frmPrincipal;
    if (commandLine.quitAfter() >= 0) {
        // Armed first, so a box shown on the way out does not keep a headless run waiting.
        QTimer::singleShot(commandLine.quitAfter(), &app, [&] {
            if (frmPrincipal && !commandLine.screenshotFile().isEmpty() &&
                !saveScreenshot(frmPrincipal.get(), commandLine.screenshotFile()))
                std::fprintf(stderr, "fishost: não foi possível gravar %s\n",
                             qPrintable(commandLine.screenshotFile()));
            if (frmPrincipal)
                frmPrincipal->closeMdiChildren();
            QCoreApplication::exit(0);
        });
    }

    TApplication::instance()->setReportDirectory(commandLine.reportDirectory());

    std::unique_ptr<TdtmDBGeral> dataModule;
    const TConnectionOptions& connection = commandLine.connection();
    try {
        dataModule = TDataModuleFactory::open(connection);
    } catch (const EFrameworkError& e) {
        reportError(e.message());
        return 1;
    } catch (const std::exception& e) {
        reportError(QString::fromLocal8Bit(e.what()));
        return 1;
    }
    dtmDBGeral = dataModule.get();

    frmPrincipal = std::make_unique<TfrmPrincipal>();
    frmPrincipal->showDatabase(dataModule->adcGeral->database());

    TModuleLoader module;
    QString moduleError;
    try {
        module.load(commandLine.modulePath());
    } catch (const EFrameworkError& e) {
        moduleError = e.message();
    } catch (const std::exception& e) {
        moduleError = QString::fromLocal8Bit(e.what());
    }
    if (!moduleError.isEmpty())
        frmPrincipal->showModuleMissing(commandLine.modulePath(), moduleError);
    frmPrincipal->setModule(&module);
    frmPrincipal->show();

    // Both wait for the event loop: a box then sits over the window, and a modal
    // screen runs its own loop inside the loop of the application.
    QTimer::singleShot(0, &app, [&] {
        if (!moduleError.isEmpty())
            reportError(moduleError);
        else if (commandLine.openRequested())
            TEventGuard::run([&] { module.callIniProc(commandLine.openParameter()); });
    });

    const int result = QApplication::exec();

    // The module's forms are destroyed while its code is still mapped, and the
    // database goes last, after every query that used it.
    frmPrincipal->closeMdiChildren();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    TApplication::instance()->destroyOwnedForms();
    frmPrincipal.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    TEventGuard::run([&] { module.unload(); });
    closeDatabase(dataModule);
    return result;
}
