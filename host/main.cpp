#include "TAppIcon.h"
#include "TCommandLine.h"
#include "THostSession.h"
#include "TQtTranslations.h"
#include "TStatementWaitDialog.h"

#include <QApplication>
#include <QSettings>

#include <cstdio>

namespace {

void setNames()
{
    QCoreApplication::setOrganizationName(QStringLiteral("fis01200"));
    QCoreApplication::setApplicationName(QStringLiteral("fishost"));
    QCoreApplication::setApplicationVersion(QStringLiteral(FIS_VERSION));
}

// A window system Qt can reach: X11, Wayland, or a platform chosen by hand.
bool hasDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (!qEnvironmentVariableIsEmpty(name))
            return true;
    return QCoreApplication::arguments().contains(QStringLiteral("-platform"));
}

} // namespace

int main(int argc, char* argv[])
{
    TCommandLine commandLine;
    {
        // Help, the version, the report list and a refused command line need no display:
        // they are answered before any window system is loaded.
        QCoreApplication console(argc, argv);
        setNames();
        if (!commandLine.parse(QCoreApplication::arguments())) {
            std::fprintf(stderr, "fishost: %s\n", qPrintable(commandLine.errorText()));
            return 2;
        }
        if (commandLine.helpRequested()) {
            std::fputs(qPrintable(commandLine.helpText()), stdout);
            return 0;
        }
        if (commandLine.versionRequested()) {
            std::printf("fishost %s\n", FIS_VERSION);
            return 0;
        }
        if (commandLine.listReportsRequested())
            return THostSession::listReports(commandLine.reportDirectory()) ? 0 : 1;
        // Qt would abort on its own words (and a core) where no window can open.
        if (!hasDisplay()) {
            std::fputs("fishost: não há tela onde abrir a janela (DISPLAY e WAYLAND_DISPLAY não "
                       "estão definidos). Abra-o numa sessão gráfica; sem tela, --help, "
                       "--version e --list-reports respondem, e o fisreport emite os "
                       "relatórios.\n",
                       stderr);
            return 1;
        }
    }

    QApplication app(argc, argv);
    setNames();
    QApplication::setApplicationDisplayName(QStringLiteral("Sistema Fiscal"));
    QApplication::setWindowIcon(TAppIcon::icon());
    QApplication::setDesktopFileName(QStringLiteral("fishost"));
    TQtTranslations::install(app);
    // A lookup that takes long shows a dialog the clerk may cancel it from.
    TStatementWaitDialog::install();

    QSettings settings;
    THostSession session(commandLine);
    return session.run(settings);
}
