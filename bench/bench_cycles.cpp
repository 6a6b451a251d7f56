// Resident memory per open/close cycle of the screen, against a plain Qt widget of
// about as many controls opened and closed the same way, in the same run:
//   bench_cycles [--cycles 1000] [--database F] [--reports DIR]
// Each kind is warmed up first (caches, fonts), then measured from /proc/self/statm.
#include "TApplication.h"
#include "TDataModuleFactory.h"
#include "TfrmListDocumentos.h"

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <unistd.h>

namespace {

double residentKb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / 1024.0 : 0;
}

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// KB of resident memory gained per cycle after a warm-up of a tenth of the cycles.
double growthPerCycle(int cycles, const std::function<void()>& cycle)
{
    for (int i = 0; i < std::max(20, cycles / 10); ++i)
        cycle();
    settle();
    malloc_trim(0);
    const double before = residentKb();
    for (int i = 0; i < cycles; ++i)
        cycle();
    settle();
    malloc_trim(0);
    return (residentKb() - before) / cycles;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{"cycles", "Open/close cycles of each kind.", "n", "1000"},
                       {"database", "SQLite file (default: a demo made here).", "file"},
                       {"reports", "Report definitions.", "dir", FIS_SOURCE_DIR "/reports"}});
    parser.process(app);
    const int cycles = parser.value("cycles").toInt();

    QTemporaryDir scratch;
    TConnectionOptions options;
    options.database = parser.isSet("database") ? parser.value("database")
                                                : scratch.filePath(QStringLiteral("demo.sqlite"));
    const auto dtm = TDataModuleFactory::open(options);
    dtmDBGeral = dtm.get();
    TApplication::instance()->setReportDirectory(parser.value("reports"));

    const double form = growthPerCycle(cycles, [] {
        auto* f = new TfrmListDocumentos;
        f->show();
        QCoreApplication::processEvents();
        f->close();
        delete f;
    });
    const double plain = growthPerCycle(cycles, [] {
        auto* w = new QWidget;
        auto* layout = new QVBoxLayout(w);
        for (int i = 0; i < 20; ++i) {
            layout->addWidget(new QLineEdit);
            layout->addWidget(new QCheckBox(QStringLiteral("Todas")));
        }
        w->show();
        QCoreApplication::processEvents();
        w->close();
        delete w;
    });
    std::printf("open/close cycles: %d each\n", cycles);
    std::printf("TfrmListDocumentos: %.2f KB resident per cycle\n", form);
    std::printf("plain QWidget (40 controls): %.2f KB resident per cycle\n", plain);
    std::printf("ratio screen/plain: %.1f\n", plain > 0.01 ? form / plain : 0.0);
    dtmDBGeral = nullptr;
    return 0;
}
