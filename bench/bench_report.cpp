// Times the shipped listing to PDF and in the preview on a SQLite database, and prints
// the process's peak memory. One size a process, so the peak is that size's own:
//   bench_report --database F --reports DIR (--pdf OUT | --preview [--hold S])
#include "BenchListing.h"
#include "BenchUsage.h"
#include "TADOIBQuery.h"
#include "TDataModuleFactory.h"
#include "TReportDesignerDialog.h"
#include "TReportPreview.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QDate>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace {

void fill(TParams& params)
{
    for (const char* name : {"P_CDEMPRESA", "P_CDINSCESTA", "P_CDINSCMUNI", "P_CDFILIAL"})
        if (ExistParam(params, QLatin1String(name)))
            params.ParamByName(QLatin1String(name)).SetAsString(QStringLiteral("T"));
    params.ParamByName(QStringLiteral("P_IDENTRSAID")).SetAsString(QStringLiteral("A"));
    params.ParamByName(QStringLiteral("P_DTENTRINI")).SetAsDate(QDate(2000, 1, 1));
    params.ParamByName(QStringLiteral("P_DTENTRFIM")).SetAsDate(QDate(2100, 1, 1));
}

using BenchUsage::cpuSeconds;
using BenchUsage::peakMb;

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{"database", "SQLite file.", "file"},
                       {"reports", "Report definitions.", "dir"},
                       {"pdf", "PDF to write.", "file"},
                       {"preview", "Time the preview instead."},
                       {"hold",
                        "Seconds the preview stays on page 1 and then on the last page, "
                        "for a screenshot.",
                        "seconds", "0"}});
    parser.process(app);
    TConnectionOptions options;
    options.database = parser.value("database");
    const auto dtm = TDataModuleFactory::open(options);
    dtmDBGeral = dtm.get();
    const TReportDefinition listing = benchListing(parser.value("reports"));

    TReportDesignerDialog designer;
    designer.BeforeGetQueryParams = [](TParams& params, bool&) { fill(params); };
    QElapsedTimer timer;
    timer.start();
    if (!parser.isSet("preview")) {
        const double cpu = cpuSeconds();
        designer.ExportPdf(listing, parser.value("pdf"));
        std::printf("pdf: %.2f s (cpu %.2f s), %d pages, peak %.0f MB\n", timer.elapsed() / 1000.0,
                    cpuSeconds() - cpu, designer.PageCount(), peakMb());
        return 0;
    }
    // First page: the window up with page 1 drawn. Last page: "Última" pressed at once,
    // until the last page is drawn with its number and total. Its peer, in a preview of
    // its own before it, is the count of every page, which "Última" used to wait for.
    double first = 0, count = 0, last = 0, again = 0;
    const int hold = parser.value("hold").toInt() * 1000;
    for (const bool press : {false, true}) {
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&, press] {
            auto* p = qobject_cast<TReportPreview*>(QApplication::activeModalWidget());
            if (!p)
                return;
            watch.stop();
            auto clock = std::make_shared<QElapsedTimer>();
            clock->start();
            if (!press) {
                first = timer.elapsed() / 1000.0;
                if (p->counted())
                    p->reject();
                QObject::connect(p, &TReportPreview::pagesCounted, p, [&, p, clock] {
                    count = clock->elapsed() / 1000.0;
                    p->reject();
                });
                return;
            }
            QObject::connect(p, &TReportPreview::pageShown, p, [&, p, clock, hold](int page) {
                if (last > 0 || p->totalPages() == 0 || page != p->totalPages())
                    return;
                last = clock->elapsed() / 1000.0;
                QTimer::singleShot(hold, p, [&, p] {
                    // Once counted, the last page is a page like any other.
                    if (!p->counted())
                        p->countPages();
                    p->setCurrentPage(1);
                    QElapsedTimer counted;
                    counted.start();
                    p->showLastPage();
                    again = counted.elapsed() / 1000.0;
                    QTimer::singleShot(hold, p, &QDialog::reject);
                });
            });
            p->findChild<QAction*>(QStringLiteral("actUltima"))->trigger();
        });
        watch.start(1);
        timer.restart();
        designer.Preview(listing);
    }
    if (count == 0)
        std::printf("preview: first page %.2f s; every page counted before the window opened; "
                    "last page %.3f s; %d pages, peak %.0f MB\n",
                    first, last, designer.PageCount(), peakMb());
    else
        std::printf("preview: first page %.2f s; last page %.2f s after it against %.2f s for "
                    "the count it waited for before: %.1fx faster; %.3f s once counted; %d "
                    "pages, peak %.0f MB\n",
                    first, last, count, count / qMax(last, 0.001), again, designer.PageCount(),
                    peakMb());
    return 0;
}
