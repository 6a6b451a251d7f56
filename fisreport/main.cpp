#include "EAbort.h"
#include "EFrameworkError.h"
#include "TCancelToken.h"
#include "TQtTranslations.h"
#include "TReportCommandLine.h"
#include "TReportJob.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QList>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <unistd.h>
#include <utility>

namespace {

// A scheduler mails whatever reaches stderr: only the tool's own message and Qt's
// critical ones go there, not the platform's chatter.
void quietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "fisreport: %s\n", qPrintable(message));
    // The engine's own warnings (a value a column cannot hold, a cell cut) are the report's.
    else if (type == QtWarningMsg && context.category &&
             std::strcmp(context.category, "fis.report") == 0)
        std::fprintf(stderr, "fisreport: aviso: %s\n", qPrintable(message));
}

// The screen's texts point to "Mostrar detalhes"; here the database's text is the line
// under the message, or there is none.
QString forTerminal(QString message, bool detailFollows)
{
    static const QList<std::pair<QString, QString>> pointers{
        {QStringLiteral(" (o texto do banco de dados está nos detalhes)"),
         QStringLiteral(" (o texto do banco de dados vem na linha abaixo)")},
        {QStringLiteral("; os detalhes trazem a resposta do banco"),
         QStringLiteral("; a linha abaixo traz a resposta do banco")}};
    for (const auto& [screen, terminal] : pointers)
        message.replace(screen, detailFollows ? terminal : QString());
    return message;
}

void stop(int)
{
    TCancelToken::process().cancel();
}

} // namespace

int main(int argc, char* argv[])
{
    qInstallMessageHandler(quietMessages);
    // No window ever shows, whatever display there is: the engine needs only the fonts
    // and their metrics, which the offscreen platform gives without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("fis01200"));
    QGuiApplication::setApplicationName(QStringLiteral("fisreport"));
    TQtTranslations::install(app);

    TReportCommandLine commandLine;
    if (!commandLine.parse(QGuiApplication::arguments())) {
        std::fprintf(stderr, "fisreport: %s\n", qPrintable(commandLine.errorText()));
        return 2;
    }
    if (commandLine.helpRequested()) {
        std::fputs(qPrintable(commandLine.helpText()), stdout);
        return 0;
    }
    if (commandLine.versionRequested()) {
        std::printf("fisreport %s\n", FIS_VERSION);
        return 0;
    }

    // A scheduler that gives up on the run gets no half-written file. Not restarted: a
    // read waiting on the database wakes at once.
    struct sigaction action = {};
    action.sa_handler = stop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    QString failure;
    try {
        TReportJob job(commandLine);
        // A person at a terminal sees the run move on; a scheduler's log gets no such line.
        job.setProgressLine(isatty(STDERR_FILENO) == 1);
        const TReportJob::Result result = job.run();
        std::printf("Arquivo: %s\n", qPrintable(QFileInfo(commandLine.outputPath()).filePath()));
        if (result.pages > 0)
            std::printf("Páginas: %d\n", result.pages);
        std::printf("Linhas: %lld\n", static_cast<long long>(result.rows));
        return 0;
    } catch (const EFrameworkError& e) {
        // The database's own words, for whoever reads the scheduler's log, on a line of
        // their own; a text of several lines stays indented under it.
        const QString detail = e.detail().trimmed();
        const bool detailFollows = !detail.isEmpty() && detail != e.message();
        failure = forTerminal(e.message(), detailFollows);
        if (detailFollows)
            failure +=
                QStringLiteral("\n  ") + QString(detail).replace(u'\n', QStringLiteral("\n  "));
    } catch (const EAbort&) {
        // Stopped by the signal before the run began (while connecting).
        failure = QStringLiteral("A emissão do relatório foi interrompida; nenhum arquivo foi "
                                 "gravado.");
    } catch (const std::exception& e) {
        failure = QString::fromLocal8Bit(e.what());
    }
    std::fprintf(stderr, "fisreport: %s\n", qPrintable(failure));
    return 1;
}
