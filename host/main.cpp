#include "TCommandLine.h"
#include "THostSession.h"
#include "TQtTranslations.h"
#include "TStatementWaitDialog.h"

#include <QApplication>
#include <QSettings>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("fis01200"));
    QApplication::setApplicationName(QStringLiteral("fishost"));
    QApplication::setApplicationDisplayName(QStringLiteral("Sistema Fiscal"));
    TQtTranslations::install(app);
    // A lookup that takes long shows a dialog the clerk may cancel it from.
    TStatementWaitDialog::install();

    TCommandLine commandLine;
    if (!commandLine.parse(QApplication::arguments())) {
        std::fprintf(stderr, "fishost: %s\n", qPrintable(commandLine.errorText()));
        return 2;
    }
    if (commandLine.helpRequested()) {
        std::fputs(qPrintable(commandLine.helpText()), stdout);
        return 0;
    }
    if (commandLine.listReportsRequested())
        return THostSession::listReports(commandLine.reportDirectory()) ? 0 : 1;

    QSettings settings;
    THostSession session(commandLine);
    return session.run(settings);
}
