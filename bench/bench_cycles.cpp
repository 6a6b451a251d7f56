// Memory per open/close cycle of the screen, against a plain Qt widget of about as many
// controls opened and closed the same way, in the same run:
//   bench_cycles [--cycles 1000] [--rounds 2] [--image-rounds 5] [--idle S]
//                [--database F] [--reports DIR]
// Each kind is warmed up first, then measured round by round from /proc/self/statm
// (what the system sees) and from mallinfo2 (what the program still holds). Ten image
// buttons with images drawn per widget show what made the screen grow before its
// buttons shared their images, and how far that goes.
#include "Cli_fis01200.h"
#include "TApplication.h"
#include "TDataModuleFactory.h"
#include "TDemoData.h"
#include "TMaskEdit.h"
#include "TMessagePresenter.h"
#include "TfrmListDocumentos.h"

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPixmapCache>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
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
        std::printf("%-30s cycles %5zu-%-5zu  resident %6.2f KB/cycle  held %6.2f KB/cycle\n", kind,
                    r * cycles + 1, (r + 1) * cycles, rounds[r].resident, rounds[r].held);
}

QIcon drawnIcon(int shade)
{
    QIcon icon;
    for (int size : {16, 24, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter(&pixmap).fillRect(2, 2, size - 4, size - 4, QColor(shade, 80, 120));
        icon.addPixmap(pixmap);
    }
    return icon;
}

// A widget of ten image buttons, as the screen has; with fresh images, every widget
// brings pixmaps of its own, as the screen's buttons did before they shared theirs.
void imageButtons(const QIcon& shared)
{
    const bool fresh = shared.isNull();
    auto* w = new QWidget;
    auto* layout = new QVBoxLayout(w);
    for (int i = 0; i < 10; ++i) {
        auto* button = new QToolButton;
        button->setIcon(fresh ? drawnIcon(40) : shared);
        layout->addWidget(button);
    }
    w->show();
    QCoreApplication::processEvents();
    w->close();
    delete w;
}

// Counts the messages a cycle's checks raise instead of showing boxes nobody closes.
struct CountingPresenter : TMessagePresenter
{
    void showError(const QString&) override { ++messages; }
    void showInformation(const QString&) override { ++messages; }
    int messages = 0;
};

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
                       {"rounds", "Rounds of the screen and the plain widget.", "n", "2"},
                       {"image-rounds", "Rounds of the image buttons.", "n", "5"},
                       {"idle", "Seconds of idle event loop after the image buttons.", "s", "0"},
                       {"database", "SQLite file (default: a demo made here).", "file"},
                       {"reports", "Report definitions.", "dir", FIS_SOURCE_DIR "/reports"}});
    parser.process(app);
    const int cycles = std::max(1, parser.value("cycles").toInt());
    const int rounds = std::max(1, parser.value("rounds").toInt());
    const int imageRounds = std::max(1, parser.value("image-rounds").toInt());

    QTemporaryDir scratch;
    TConnectionOptions options;
    options.database = parser.isSet("database") ? parser.value("database")
                                                : scratch.filePath(QStringLiteral("demo.sqlite"));
    TDataModuleFactory::makeDemo(options.database);
    const auto dtm = TDataModuleFactory::open(options);
    dtmDBGeral = dtm.get();
    TApplication::instance()->setReportDirectory(parser.value("reports"));

    std::printf("open/close cycles: %d a round after a warm-up; QPixmapCache limit %d KB\n", cycles,
                QPixmapCache::cacheLimit());
    const auto screen = measure(cycles, rounds, [] {
        auto* f = new TfrmListDocumentos;
        f->show();
        QCoreApplication::processEvents();
        f->close();
        delete f;
    });
    print("TfrmListDocumentos", cycles, screen);

    // As the clerk does it: the module opens the screen in the host's MDI area and the
    // frame's close button closes it, its deletion deferred to the event loop.
    QMainWindow host;
    host.setCentralWidget(new QMdiArea);
    host.resize(1000, 700);
    TApplication::instance()->setMainForm(&host);
    host.show();
    Initialize();
    CountingPresenter presenter;
    TMessagePresenter::install(&presenter);
    const QString company = TDemoData::company(0).code;
    const QString registration = TDemoData::stateRegistration(0, 0);
    print("  module, MDI child, 2 checks", cycles, measure(cycles, rounds, [&] {
              CriaListDocumentos(u'S');
              QCoreApplication::processEvents();
              if (TfrmListDocumentos* f = frmListDocumentos) {
                  f->medCdEmpresa->setText(company);
                  f->medInscEstad->setText(registration);
                  try {
                      f->Vd_Empresa(true);
                      f->Vd_InscEstad(true);
                      if (f->edtNmEmpresa->text().isEmpty())
                          ++presenter.messages; // the lookup did not run
                  } catch (...) {
                      ++presenter.messages;
                  }
                  f->mdiSubWindow()->close();
              }
              settle();
          }));
    TMessagePresenter::install(nullptr);
    std::printf("  checks that failed: %d\n", presenter.messages);
    Finalize();
    TApplication::instance()->setMainForm(nullptr);
    host.hide();
    const auto plain = measure(cycles, rounds, [] {
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
    print("plain QWidget (40)", cycles, plain);
    // Below a tenth of a KB a cycle both are noise; the ratio is taken against that floor.
    const auto ratio = [](double a, double b) { return std::max(a, 0.1) / std::max(b, 0.1); };
    std::printf("screen/plain, last round: resident %.1f, held %.1f (floor 0.1 KB/cycle)\n",
                ratio(screen.back().resident, plain.back().resident),
                ratio(screen.back().held, plain.back().held));

    // What the screen did before its buttons shared their images: QPixmapCache keeps
    // every painted pixmap up to its limit, and past it still keeps the key of each one
    // it evicted (Qt 6.4), so the growth slows but does not stop.
    std::printf("ten image buttons, the cause and its bound:\n");
    print("  images per widget", cycles, measure(cycles, imageRounds, [] { imageButtons({}); }));
    if (const int idle = parser.value("idle").toInt(); idle > 0) {
        const double held = heldKb();
        QEventLoop loop;
        QTimer::singleShot(idle * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        std::printf("  after %d s idle: held %.0f KB -> %.0f KB\n", idle, held, heldKb());
    }
    const double held = heldKb();
    QPixmapCache::clear();
    std::printf("  QPixmapCache::clear: held %.0f KB -> %.0f KB\n", held, heldKb());
    const QIcon shared = drawnIcon(40);
    print("  images shared", cycles,
          measure(cycles, imageRounds, [&shared] { imageButtons(shared); }));
    const double resident = residentKb();
    malloc_trim(0);
    std::printf("malloc_trim: resident %.0f KB -> %.0f KB, held %.0f KB\n", resident, residentKb(),
                heldKb());
    dtmDBGeral = nullptr;
    return 0;
}
