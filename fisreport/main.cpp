#include "EFrameworkError.h"
#include "TQtTranslations.h"
#include "TReportCommandLine.h"
#include "TReportJob.h"

#include <QApplication>
#include <QFileInfo>

#include <csignal>
#include <cstdio>
#include <exception>

namespace {

// A scheduler mails whatever reaches stderr: only the tool's own message and Qt's
// critical ones go there, not the platform's chatter.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "fisreport: %s\n", qPrintable(message));
}

void stop(int)
{
    TReportJob::requestStop();
}

} // namespace

int main(int argc, char* argv[])
{
    qInstallMessageHandler(quietMessages);
    // No window ever shows, whatever display there is; the engine still needs fonts and
    // widgets for its progress.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("fis01200"));
    QApplication::setApplicationName(QStringLiteral("fisreport"));
    TQtTranslations::install(app);

    TReportCommandLine commandLine;
    if (!commandLine.parse(QApplication::arguments())) {
        std::fprintf(stderr, "fisreport: %s\n", qPrintable(commandLine.errorText()));
        return 2;
    }
    if (commandLine.helpRequested()) {
        std::fputs(qPrintable(commandLine.helpText()), stdout);
        return 0;
    }

    // A scheduler that gives up on the run gets no half-written file.
    std::signal(SIGTERM, stop);
    std::signal(SIGINT, stop);
    QString failure;
    try {
        TReportJob job(commandLine);
        const TReportJob::Result result = job.run();
        std::printf("Arquivo: %s\n", qPrintable(QFileInfo(commandLine.outputPath()).filePath()));
        if (result.pages > 0)
            std::printf("Páginas: %d\n", result.pages);
        std::printf("Linhas: %lld\n", static_cast<long long>(result.rows));
        return 0;
    } catch (const EFrameworkError& e) {
        failure = e.message();
    } catch (const std::exception& e) {
        failure = QString::fromLocal8Bit(e.what());
    }
    std::fprintf(stderr, "fisreport: %s\n", qPrintable(failure));
    return 1;
}
