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
