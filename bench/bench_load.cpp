// Twenty clerks on one PostgreSQL: each client its own process and connection (the
// reader's, through the host's factory), for a while doing a clerk's mix: company code
// checks, branch searches, and once a minute a report of up to 10,000 rows. Prints the
// code check's p50/p99 and, with --restart-at, how every client came through a server
// restart (scripts/db-servers.sh pg-stop / pg-start) half way.
//   bench_load [--clients 20] [--seconds 60] [--restart-at 30]
// Needs the FIS_PG_* variables of scripts/db-servers.sh env.
#include "EFrameworkError.h"
#include "TADOIBQuery.h"
#include "TDataModuleFactory.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

TConnectionOptions reader()
{
    TConnectionOptions o;
    o.driver = QStringLiteral("postgresql");
    o.host = qEnvironmentVariable("FIS_PG_HOST", QStringLiteral("127.0.0.1"));
    o.port = qEnvironmentVariableIntValue("FIS_PG_PORT");
    o.database = qEnvironmentVariable("FIS_PG_DATABASE", QStringLiteral("fis"));
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

// One client: prints "ms ms ms ...", then "errors N recovered R" on its last line.
int client(int seconds, int seed)
{
    const auto dm = TDataModuleFactory::open(reader());
    TADOIBQuery check, search, report;
    prepare(check, *dm, QStringLiteral("SELECT NMRAZSOCEMPR FROM EMPRESA WHERE CDEMPRESA = :P"));
    prepare(search, *dm,
            QStringLiteral("SELECT CDFILIAL, NMFILIAL FROM FILIAL WHERE CDEMPRESA = :P"));
    prepare(report, *dm, QStringLiteral("SELECT * FROM DOCFISCAL ORDER BY NRDOCUMENTO"));
    std::vector<double> checks;
    int errors = 0, recovered = 0;
    bool failing = false;
    QElapsedTimer run, lap;
    run.start();
    qint64 nextReport = (seed % 60) * 1000; // spread over the minute
    for (int i = seed; run.elapsed() < seconds * 1000; ++i) {
        const QString code = QStringLiteral("%1").arg(i % 5 + 1, 2, 10, QChar(u'0'));
        try {
            lap.start();
            check.Close();
            check.ParamByName(QStringLiteral("P")).SetAsString(code);
            check.Open();
            checks.push_back(double(lap.nsecsElapsed()) / 1e6);
            if (i % 4 == 0) {
                search.Close();
                search.ParamByName(QStringLiteral("P")).SetAsString(code);
                search.Open();
                std::vector<TRowSource::Row> rows;
                search.Query()->readForward(1000, rows);
            }
            if (run.elapsed() >= nextReport) {
                nextReport += 60000;
                report.Close();
                report.Open();
                std::vector<TRowSource::Row> rows;
                for (int read = 0; read < 10000; read += int(rows.size())) {
                    report.Query()->readForward(1000, rows);
                    if (rows.empty())
                        break;
                }
                report.Close();
            }
            if (failing)
                ++recovered;
            failing = false;
        } catch (const EFrameworkError&) {
            ++errors;
            failing = true;
            QThread::msleep(200);
        }
        QThread::msleep(20); // a clerk does not type a code every instant
    }
    for (double ms : checks)
        std::printf("%.3f ", ms);
    std::printf("\nerrors %d recovered %d failing-at-end %d\n", errors, recovered, failing ? 1 : 0);
    return 0;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{"clients", "Client processes.", "n", "20"},
                       {"seconds", "Length of the run.", "s", "60"},
                       {"restart-at", "Restart PostgreSQL after s seconds (0: never).", "s", "0"},
                       {"client", "Run as one client (internal).", "seed"}});
    parser.process(app);
    const int seconds = parser.value("seconds").toInt();
    if (parser.isSet("client"))
        return client(seconds, parser.value("client").toInt());

    const int clients = parser.value("clients").toInt();
    std::vector<std::unique_ptr<QProcess>> running;
    for (int c = 0; c < clients; ++c) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--client"), QString::number(c * 7 + 1),
                  QStringLiteral("--seconds"), QString::number(seconds)});
        running.push_back(std::move(p));
    }
    const int restartAt = parser.value("restart-at").toInt();
    if (restartAt > 0) {
        QThread::sleep(restartAt);
        const QString script = QStringLiteral(FIS_SOURCE_DIR "/scripts/db-servers.sh");
        QProcess::execute(script, {QStringLiteral("pg-stop")});
        QProcess::execute(script, {QStringLiteral("pg-start")});
        std::printf("server restarted at %d s\n", restartAt);
    }
    std::vector<double> all;
    int errors = 0, recovered = 0, stuck = 0;
    for (auto& p : running) {
        p->waitForFinished(-1);
        const QList<QByteArray> lines = p->readAllStandardOutput().split('\n');
        if (lines.size() < 2) {
            ++stuck;
            continue;
        }
        for (const QByteArray& ms : lines[0].split(' '))
            if (!ms.isEmpty())
                all.push_back(ms.toDouble());
        int e = 0, r = 0, f = 0;
        std::sscanf(lines[1].constData(), "errors %d recovered %d failing-at-end %d", &e, &r, &f);
        errors += e;
        recovered += r;
        stuck += f;
    }
    std::printf("clients %d, %d s, code checks %zu\n", clients, seconds, all.size());
    std::printf("code check p50 %.2f ms, p99 %.2f ms (goal: p99 < 20 ms)\n", percentile(all, 0.50),
                percentile(all, 0.99));
    std::printf("failed actions %d, recoveries %d, clients not recovered %d\n", errors, recovered,
                stuck);
    return stuck == 0 ? 0 : 1;
}
