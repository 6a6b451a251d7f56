// Resident memory per open/close cycle of the screen, against a plain Qt widget of
// about as many controls opened and closed the same way, in the same run:
//   bench_cycles [--cycles 1000] [--rounds 3] [--database F] [--reports DIR]
// Each kind is warmed up first, then measured round by round from /proc/self/statm
// (what the system sees) and from mallinfo2 (what the program still holds).
#include "TApplication.h"
#include "TDataModuleFactory.h"
#include "TfrmListDocumentos.h"

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QFile>
#include <QLineEdit>
#include <QPixmapCache>
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

// Bytes handed out by malloc and not yet freed, in every arena and in mmap'd blocks.
double heldKb()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / 1024.0;
}

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

struct Round
{
    double resident; // KB per cycle
    double held;     // KB per cycle
};

std::vector<Round> measure(int cycles, int rounds, const std::function<void()>& cycle)
{
    for (int i = 0; i < std::max(20, cycles / 10); ++i)
        cycle();
    settle();
    std::vector<Round> out;
    for (int r = 0; r < rounds; ++r) {
        const double resident = residentKb(), held = heldKb();
        for (int i = 0; i < cycles; ++i)
            cycle();
        settle();
        out.push_back({(residentKb() - resident) / cycles, (heldKb() - held) / cycles});
    }
    return out;
}

void print(const char* kind, int cycles, const std::vector<Round>& rounds)
{
    for (size_t r = 0; r < rounds.size(); ++r)
        std::printf("%-22s cycles %5zu-%-5zu  resident %6.2f KB/cycle  held %6.2f KB/cycle\n", kind,
                    r * cycles + 1, (r + 1) * cycles, rounds[r].resident, rounds[r].held);
}

void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (text.contains(u"propagateSizeHints"))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(quietOffscreen);
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{"cycles", "Open/close cycles of each kind in a round.", "n", "1000"},
                       {"rounds", "Rounds of each kind.", "n", "3"},
                       {"kind", "screen, create, plain (default: all).", "k"},
                       {"pixmap-cache", "QPixmapCache limit in KB.", "kb"},
                       {"database", "SQLite file (default: a demo made here).", "file"},
                       {"reports", "Report definitions.", "dir", FIS_SOURCE_DIR "/reports"}});
    parser.process(app);
    const int cycles = parser.value("cycles").toInt();
    const int rounds = parser.value("rounds").toInt();
    const QString kind = parser.value("kind");
    if (parser.isSet("pixmap-cache"))
        QPixmapCache::setCacheLimit(parser.value("pixmap-cache").toInt());

    QTemporaryDir scratch;
    TConnectionOptions options;
    options.database = parser.isSet("database") ? parser.value("database")
                                                : scratch.filePath(QStringLiteral("demo.sqlite"));
    const auto dtm = TDataModuleFactory::open(options);
    dtmDBGeral = dtm.get();
    TApplication::instance()->setReportDirectory(parser.value("reports"));

    std::printf("open/close cycles: %d a round, %d rounds of each kind\n", cycles, rounds);
    if (kind.isEmpty() || kind == u"screen")
        print("TfrmListDocumentos", cycles, measure(cycles, rounds, [] {
                  auto* f = new TfrmListDocumentos;
                  f->show();
                  QCoreApplication::processEvents();
                  f->close();
                  delete f;
              }));
    if (kind.isEmpty() || kind == u"create")
        print("  created, not shown", cycles,
              measure(cycles, rounds, [] { delete new TfrmListDocumentos; }));
    if (kind.isEmpty() || kind == u"plain")
        print("plain QWidget (40)", cycles, measure(cycles, rounds, [] {
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
              }));
    const double before = residentKb();
    malloc_trim(0);
    std::printf("malloc_trim: resident %.0f KB -> %.0f KB, held %.0f KB\n", before, residentKb(),
                heldKb());
    dtmDBGeral = nullptr;
    return 0;
}
