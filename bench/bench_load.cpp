// Twenty clerks on one PostgreSQL: each client its own process and connection (the
// reader's, through the host's factory), for a while doing a clerk's mix: company code
// checks, branch searches, and once a minute a report of 10,000 rows. Prints the code
// check's p50/p99 and, with --restart-at, how every client came through a server
// restart (scripts/db-servers.sh pg-stop / pg-start): its failed actions, its first
// success after the outage and how long after the server was back that came.
//   bench_load [--clients 20] [--seconds 60] [--restart-at 30] [--database fis]
// Needs the FIS_PG_* variables of scripts/db-servers.sh env.
#include "EFrameworkError.h"
#include "TADOIBQuery.h"
#include "TDataModuleFactory.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int reportRows = 10000;

TConnectionOptions reader(const QString& database)
{
    TConnectionOptions o;
    o.driver = QStringLiteral("postgresql");
    o.host = qEnvironmentVariable("FIS_PG_HOST", QStringLiteral("127.0.0.1"));
    o.port = qEnvironmentVariableIntValue("FIS_PG_PORT");
    o.database = database;
    o.user = qEnvironmentVariable("FIS_PG_USER", QStringLiteral("fisleitor"));
    o.password = qEnvironmentVariable("FIS_DB_PASSWORD");
    return o;
}

void prepare(TADOIBQuery& q, TdtmDBGeral& dm, const QString& sql)
{
    q.setADOConnection(dm.adcGeral);
    q.setDataBase(dm.dtbGeral);
    q.setSQL({sql});
}

// Milliseconds since the moment the parent started the run, shared by every process.
qint64 sinceStart(qint64 epoch)
{
    return QDateTime::currentMSecsSinceEpoch() - epoch;
}

int readAll(TADOIBQuery& q, int limit)
{
    std::vector<TRowSource::Row> rows;
    int read = 0;
    while (read < limit) {
        q.Query()->readForward(1000, rows);
        if (rows.empty())
            break;
        read += int(rows.size());
    }
    return read;
}

// What one client prints on its last line; the parent reads it back.
struct Outcome
{
    int errors = 0;
    int outages = 0;       // runs of failed actions
    qint64 firstDown = -1; // first failed action, ms since start
    qint64 lastBack = -1;  // first success after the last run of failures
    int failingAtEnd = 0;
    int reports = 0;
    qint64 reportMs = 0; // the slowest report
    int reportShort = 0; // reports that read fewer rows than asked
};

constexpr const char* outcomeFormat = "errors %d outages %d down %lld back %lld failing-at-end %d "
                                      "reports %d report-ms %lld short %d";

// One client: prints "ms ms ms ..." of its code checks, then its outcome.
int client(qint64 epoch, int seconds, int seed, const QString& database)
{
    const auto dm = TDataModuleFactory::open(reader(database));
    TADOIBQuery check, search, report;
    prepare(check, *dm, QStringLiteral("SELECT NMRAZSOCEMPR FROM EMPRESA WHERE CDEMPRESA = :P"));
    prepare(search, *dm,
            QStringLiteral("SELECT CDFILIAL, NMFILIAL FROM FILIAL WHERE CDEMPRESA = :P"));
    prepare(report, *dm,
            QStringLiteral("SELECT * FROM DOCFISCAL ORDER BY CDEMPRESA, CDFILIAL, NRDOCUMENTO"));
    std::vector<double> checks;
    Outcome out;
    bool failing = false;
    qint64 nextReport = (seed * 2971) % 60000; // spread over the minute
    for (int i = seed; sinceStart(epoch) < seconds * 1000; ++i) {
        const QString code = QStringLiteral("%1").arg(i % 5 + 1, 2, 10, QChar(u'0'));
        try {
            QElapsedTimer timer;
            timer.start();
            check.Close();
            check.ParamByName(QStringLiteral("P")).SetAsString(code);
            check.Open();
            check.IsEmpty();
            checks.push_back(double(timer.nsecsElapsed()) / 1e6);
            if (i % 4 == 0) {
                search.Close();
                search.ParamByName(QStringLiteral("P")).SetAsString(code);
                search.Open();
                readAll(search, 1000);
            }
            if (sinceStart(epoch) >= nextReport) {
                nextReport += 60000;
                timer.start();
                report.Close();
                report.Open();
                if (readAll(report, reportRows) < reportRows)
                    ++out.reportShort;
                report.Close();
                out.reportMs = std::max(out.reportMs, timer.elapsed());
                ++out.reports;
            }
            if (failing)
                out.lastBack = sinceStart(epoch);
            failing = false;
        } catch (const EFrameworkError&) {
            ++out.errors;
            if (!failing) {
                ++out.outages;
                if (out.firstDown < 0)
                    out.firstDown = sinceStart(epoch);
            }
            failing = true;
            QThread::msleep(200); // the clerk reads the message before trying again
        }
        QThread::msleep(50); // a clerk does not type a code every instant
    }
    out.failingAtEnd = failing ? 1 : 0;
    for (double ms : checks)
        std::printf("%.3f ", ms);
    std::printf("\n");
    std::printf(outcomeFormat, out.errors, out.outages, out.firstDown, out.lastBack,
                out.failingAtEnd, out.reports, out.reportMs, out.reportShort);
    std::printf("\n");
    return 0;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

double seconds(qint64 ms)
{
    return double(ms) / 1000.0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{"clients", "Client processes.", "n", "20"},
                       {"seconds", "Length of the run.", "s", "60"},
                       {"restart-at", "Restart PostgreSQL after s seconds (0: never).", "s", "0"},
                       {"database", "PostgreSQL database.", "name",
                        qEnvironmentVariable("FIS_PG_DATABASE", QStringLiteral("fis"))},
                       {"client", "Run as one client (internal).", "seed"},
                       {"epoch", "Start of the run, ms since 1970 (internal).", "ms"}});
    parser.process(app);
    const int runSeconds = parser.value("seconds").toInt();
    const QString database = parser.value("database");
    if (parser.isSet("client")) {
        try {
            return client(parser.value("epoch").toLongLong(), runSeconds,
                          parser.value("client").toInt(), database);
        } catch (const EFrameworkError& e) {
            std::fprintf(stderr, "client %s: %s\n", qPrintable(parser.value("client")),
                         qPrintable(e.message()));
            return 1;
        }
    }

    const int clients = parser.value("clients").toInt();
    const qint64 epoch = QDateTime::currentMSecsSinceEpoch();
    std::vector<std::unique_ptr<QProcess>> running;
    for (int c = 0; c < clients; ++c) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--client"), QString::number(c + 1), QStringLiteral("--seconds"),
                  QString::number(runSeconds), QStringLiteral("--epoch"), QString::number(epoch),
                  QStringLiteral("--database"), database});
        running.push_back(std::move(p));
    }
    const int restartAt = parser.value("restart-at").toInt();
    qint64 stopAt = -1, upAt = -1;
    if (restartAt > 0) {
        QThread::msleep(std::max<qint64>(0, restartAt * 1000 - sinceStart(epoch)));
        const QString script = QStringLiteral(FIS_SOURCE_DIR "/scripts/db-servers.sh");
        stopAt = sinceStart(epoch);
        QProcess::execute(script, {QStringLiteral("pg-stop")});
        QProcess::execute(script, {QStringLiteral("pg-start")});
        upAt = sinceStart(epoch);
        std::printf("server stopped at %.1f s, accepting again at %.1f s\n", seconds(stopAt),
                    seconds(upAt));
    }
    std::vector<double> all;
    int errors = 0, notRecovered = 0, reports = 0, shortReports = 0;
    qint64 slowestReport = 0, slowestRecovery = 0;
    for (size_t c = 0; c < running.size(); ++c) {
        QProcess& p = *running[c];
        p.waitForFinished(-1);
        const QList<QByteArray> lines = p.readAllStandardOutput().split('\n');
        Outcome o;
        if (lines.size() < 2 || std::sscanf(lines[1].constData(), outcomeFormat, &o.errors,
                                            &o.outages, &o.firstDown, &o.lastBack, &o.failingAtEnd,
                                            &o.reports, &o.reportMs, &o.reportShort) != 8) {
            std::printf("client %2zu: no result (exit %d)\n", c + 1, p.exitCode());
            ++notRecovered;
            continue;
        }
        for (const QByteArray& ms : lines[0].split(' '))
            if (!ms.isEmpty())
                all.push_back(ms.toDouble());
        errors += o.errors;
        reports += o.reports;
        shortReports += o.reportShort;
        slowestReport = std::max(slowestReport, o.reportMs);
        const bool recovered = o.errors == 0 || (!o.failingAtEnd && o.lastBack >= 0);
        if (!recovered)
            ++notRecovered;
        if (restartAt > 0 && o.errors == 0) {
            std::printf("client %2zu: no failed action\n", c + 1);
        } else if (restartAt > 0) {
            const qint64 after = o.lastBack >= 0 ? o.lastBack - upAt : -1;
            if (after > slowestRecovery)
                slowestRecovery = after;
            std::printf("client %2zu: %d failed actions from %.2f s, first success after at "
                        "%.2f s, %lld ms after the server was back%s\n",
                        c + 1, o.errors, seconds(o.firstDown), seconds(o.lastBack), after,
                        recovered ? "" : "  NOT RECOVERED");
        } else if (o.errors > 0) {
            std::printf("client %2zu: %d failed actions\n", c + 1, o.errors);
        }
    }
    const double p99 = percentile(all, 0.99);
    std::printf("clients %d, %d s, code checks %zu (%.0f a second)\n", clients, runSeconds,
                all.size(), double(all.size()) / runSeconds);
    std::printf("code check p50 %.2f ms, p99 %.2f ms (goal: p99 < 20 ms: %s)\n",
                percentile(all, 0.50), p99, p99 < 20 ? "met" : "missed");
    std::printf("reports of %d rows: %d, slowest %.2f s, short %d\n", reportRows, reports,
                seconds(slowestReport), shortReports);
    if (restartAt > 0)
        std::printf("restart: %d failed actions in all, clients not recovered %d, slowest "
                    "recovery %lld ms after the server was back\n",
                    errors, notRecovered, slowestRecovery);
    else
        std::printf("failed actions %d, clients with no result %d\n", errors, notRecovered);
    return notRecovered == 0 ? 0 : 1;
}
