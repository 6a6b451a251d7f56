#include "TCommandLine.h"
#include "THostSession.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

#include <cstdio>

namespace {

void installTranslations(QApplication& app)
{
    // Qt's own texts (buttons, print and file dialogs) in Portuguese, when Debian's
    // qt6-translations-l10n is installed.
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Portuguese, QLocale::Brazil), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("fis01200"));
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
    if (commandLine.listReportsRequested())
        return THostSession::listReports(commandLine.reportDirectory()) ? 0 : 1;

    QSettings settings;
    THostSession session(commandLine);
    return session.run(settings);
}
