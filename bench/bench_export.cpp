// Times the CSV and XLSX exporters on the shipped listing's columns and prints the
// process's peak memory; one size a process, so the peak is that size's own.
//   bench_export --reports DIR --format csv|xlsx --rows N [--peer SCRIPT --python EXE]
// Rows come from the demo generator, sorted as the listing's query sorts them. Up to
// --pool distinct rows are made up front and then repeated, so what is timed is the
// writer and not the generator; with --peer the same rows go to python3-xlsxwriter.
#include "BenchListing.h"
#include "BenchUsage.h"
#include "TDemoData.h"
#include "TReportDefinition.h"
#include "TReportExporter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

const QStringList kFields{"CDEMPRESA",    "NMRAZSOCEMPR", "DTENTRADA",  "DTEMISSAO",   "CDFILIAL",
                          "IDENTRSAIDOP", "CDTIPOOPER",   "NMTIPOOPER", "CDMODELO",    "CDSERIE",
                          "NRDOCUMENTO",  "CDCLIFOR",     "NMCLIFOR",   "VLDOCUMENTO", "VLRETIDO"};

QString money(qint64 cents)
{
    return QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
}

std::vector<TRowSource::Row> makeRows(int count)
{
    const TDemoData::Scale scale;
    QHash<QString, QString> types;
    for (const TDemoData::OperationType& t : TDemoData::operationTypes())
        types.insert(t.direction + t.code, t.name);
    std::vector<TRowSource::Row> rows;
    rows.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const TDemoData::Document d = TDemoData::document(scale, i);
        const TDemoData::Company c = TDemoData::company(d.branch.company.toInt() - 1);
        // Dates as SQLite hands them over, amounts as PostgreSQL does: both as text.
        rows.push_back({d.branch.company, c.name, d.date.toString(Qt::ISODate),
                        d.issued.toString(Qt::ISODate), d.branch.code, d.direction, d.operationType,
                        types.value(d.direction + d.operationType), d.model, d.series, d.number,
                        d.partnerCode, d.partnerName, money(d.valueCents),
                        money(d.totalWithheldCents())});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return std::make_pair(a[0].toString(), a[2].toString()) <
               std::make_pair(b[0].toString(), b[2].toString());
    });
    return rows;
}

// count rows, cycling through the pool: the company groups repeat, as they would in a
// long period.
class PoolRows : public TRowSource
{
public:
    PoolRows(const std::vector<Row>& pool, qint64 count) : m_pool(pool), m_count(count) {}
    QStringList columnNames() const override { return kFields; }
    void read(int count, std::vector<Row>& out) override
    {
        for (; count > 0 && m_next < m_count; --count, ++m_next)
            out.push_back(m_pool[size_t(m_next % qint64(m_pool.size()))]);
    }
    bool atEnd() const override { return m_next >= m_count; }
    void cancel() override { m_next = m_count; }

private:
    const std::vector<Row>& m_pool;
    qint64 m_count;
    qint64 m_next = 0;
};

using BenchUsage::cpuSeconds;
using BenchUsage::peakMb;

// The rows as the peer reads them: one line each, tab between fields.
void writeTsv(const std::vector<TRowSource::Row>& rows, qint64 count, const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    for (qint64 i = 0; i < count; ++i) {
        QByteArray line;
        for (const QVariant& v : rows[size_t(i % qint64(rows.size()))]) {
            if (!line.isEmpty())
                line += '\t';
            line += v.toString().toUtf8();
        }
        f.write(line + '\n');
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{"reports", "Report definitions.", "dir"},
                       {"format", "csv or xlsx.", "format", "xlsx"},
                       {"rows", "Rows to write.", "n", "100000"},
                       {"pool", "Distinct rows generated.", "n", "100000"},
                       {"out", "Folder for the files (a temporary one by default).", "dir"},
                       {"peer", "python3-xlsxwriter script to run on the same rows.", "file"},
                       {"python", "Interpreter of the peer.", "exe", "/usr/bin/python3"}});
    parser.process(app);
    const TReportDefinition listing = benchListing(parser.value("reports"));
    if (listing.Name().isEmpty())
        qFatal("no listing in %s", qPrintable(parser.value("reports")));

    const qint64 count = parser.value("rows").toLongLong();
    const auto pool = makeRows(int(std::min<qint64>(count, parser.value("pool").toLongLong())));
    QTemporaryDir scratch;
    const QString dir = parser.isSet("out") ? parser.value("out") : scratch.path();
    const QString format = parser.value("format");
    const QString file = QStringLiteral("%1/export-%2.%3").arg(dir).arg(count).arg(format);

    PoolRows rows(pool, count);
    QElapsedTimer timer;
    const double cpuBefore = cpuSeconds();
    timer.start();
    if (!TReportExporter::forPath(file)->write(listing, rows, file))
        qFatal("export cancelled");
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpuBefore;
    std::printf("%s %lld rows: %.2f s (cpu %.2f s), %.1f MB file, peak %.1f MB\n",
                qPrintable(format), static_cast<long long>(count), seconds, cpu,
                double(QFile(file).size()) / (1024.0 * 1024.0), peakMb());

    if (parser.isSet("peer")) {
        const QString tsv = dir + QStringLiteral("/peer-rows.tsv");
        writeTsv(pool, count, tsv);
        QProcess peer;
        peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        peer.start(parser.value("python"),
                   {parser.value("peer"), tsv, dir + QStringLiteral("/peer.xlsx")});
        peer.waitForFinished(-1);
        const QString out = QString::fromUtf8(peer.readAllStandardOutput()).trimmed();
        // "python3-xlsxwriter: W s (cpu C s), N rows"
        const double peerSeconds = out.section(u' ', 1, 1).toDouble();
        const double peerCpu = out.section(u' ', 4, 4).toDouble();
        if (peer.exitCode() != 0 || peerSeconds <= 0)
            qFatal("peer failed: %s", qPrintable(out));
        std::printf("%s\nratio python3-xlsxwriter / libxlsxwriter: %.2fx wall, %.2fx cpu "
                    "(target >= 3x)\n",
                    qPrintable(out), peerSeconds / seconds, peerCpu / cpu);
    }
    return 0;
}
