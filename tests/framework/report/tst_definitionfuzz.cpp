#include "EFrameworkError.h"
#include "TCsvExporter.h"
#include "TParams.h"
#include "TReportRenderer.h"
#include "TReportRun.h"
#include "TXlsxExporter.h"
#include "VectorRows.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <limits>

// Report definitions mutated from a seed corpus (the shipped reports and the extreme ones
// in corpus/) through everything that reads one: the loader, the exporters and the page
// layout in this process, then `fisreport` and `fishost --list-reports` as a clerk runs
// them. A refusal is an answer; a crash, a hang or a sanitizer's report is a failure.
// The seed is fixed and the time bounded (FIS_FUZZ_SECONDS): a failing definition is
// kept and named in the message.
namespace {

constexpr quint32 kSeed = 20261210;

int budgetSeconds()
{
    bool ok = false;
    const int given = qEnvironmentVariableIntValue("FIS_FUZZ_SECONDS", &ok);
    if (ok && given > 0)
        return given;
#if defined(__SANITIZE_ADDRESS__)
    return 60;
#else
    return 15;
#endif
}

const QString kFormula = QStringLiteral("=cmd|' /C calc'!A0");

// What a column may bring from a database, its extremes first of all.
QVariant cellValue(QRandomGenerator& r)
{
    const double inf = std::numeric_limits<double>::infinity();
    switch (r.bounded(16)) {
    case 0:
        return 1e300;
    case 1:
        return -inf;
    case 2:
        return std::nan("");
    case 3:
        return std::numeric_limits<qlonglong>::max();
    case 4:
        return std::numeric_limits<qlonglong>::min();
    case 5:
        return QStringLiteral("9999999999999.99");
    case 6:
        return QStringLiteral("-1e400");
    case 7:
        return kFormula;
    case 8:
        return QString(r.bounded(2) ? 40000 : 300, u'\u00e7');
    case 9:
        return QStringLiteral("2024-02-30");
    case 10:
        return QVariant(QMetaType(QMetaType::QString));
    case 11:
        return QDate(1, 1, 1);
    case 12:
        return QStringLiteral("11222333000181");
    case 13:
        return r.generateDouble() * 1e6;
    case 14:
        return qlonglong(r.bounded(1000));
    default:
        return QStringLiteral("  TEXTO (COM) \\ PARÊNTESES  ");
    }
}

QJsonValue replacement(QRandomGenerator& r, const QJsonValue& old)
{
    static const QList<QJsonValue> values{
        1e300,
        -1e300,
        1.7976931348623157e308,
        5e-324,
        0,
        -1,
        0.1,
        1000,
        1000.5,
        2147483648.0,
        9223372036854775807.0,
        QString(),
        kFormula,
        QString(40000, u'x'),
        "money",
        "integer",
        "date",
        "cnpjcpf",
        "right",
        "landscape",
        "NaN",
        "VLDOCUMENTO",
        "NRDOCUMENTO",
        "CDEMPRESA",
        "DTENTRADA",
        QString(QChar(0)),
        true,
        false,
        QJsonValue::Null,
        QJsonArray(),
        QJsonObject(),
        QJsonArray{"VLDOCUMENTO", "VLDOCUMENTO", "CDEMPRESA"},
        QJsonObject{{"field", "VLDOCUMENTO"}, {"format", "money"}, {"width", 1e300}},
        "SELECT 1e999 AS VLDOCUMENTO, -9223372036854775808 AS NRDOCUMENTO, '=1+1' AS CDEMPRESA",
        "SELECT * FROM DOCFISCAL WHERE DTENTRADA >= :P_DTENTRINI"};
    if (old.isString() && r.bounded(3) == 0)
        return old.toString().repeated(int(r.bounded(1, 50)));
    return values[qsizetype(r.bounded(quint32(values.size())))];
}

// wide lets an array grow past a sheet's columns; too slow for the programs' full runs.
QJsonValue mutate(const QJsonValue& v, QRandomGenerator& r, bool wide, int depth = 0)
{
    if (depth > 8 || r.bounded(4) == 0 || !(v.isObject() || v.isArray()))
        return replacement(r, v);
    if (v.isObject()) {
        QJsonObject o = v.toObject();
        if (o.isEmpty())
            return replacement(r, v);
        const QString key = o.keys()[qsizetype(r.bounded(quint32(o.size())))];
        if (r.bounded(8) == 0)
            o.remove(key);
        else
            o[key] = mutate(o[key], r, wide, depth + 1);
        return o;
    }
    QJsonArray a = v.toArray();
    if (a.isEmpty())
        return replacement(r, v);
    const auto at = qsizetype(r.bounded(quint32(a.size())));
    switch (r.bounded(6)) {
    case 0:
        a.removeAt(at);
        break;
    case 1:
        // Many of one: columns past what a page or a sheet holds.
        for (quint32 n = r.bounded(1, wide && r.bounded(4) == 0 ? 17000 : 60); n > 0; --n)
            a.append(a[at]);
        break;
    default:
        a[at] = mutate(a[at], r, wide, depth + 1);
    }
    return a;
}

QByteArray mutated(const QByteArray& seed, QRandomGenerator& r, bool wide)
{
    QJsonValue v = QJsonDocument::fromJson(seed).object();
    for (quint32 n = r.bounded(1, 5); n > 0; --n)
        v = mutate(v, r, wide);
    QByteArray bytes = QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact);
    // Numbers past a double reach the JSON reader only as text.
    if (r.bounded(6) == 0) {
        const qsizetype at = bytes.indexOf("\"width\":");
        if (at >= 0)
            bytes.insert(at + 8, r.bounded(2) ? "1e999," : "-1e400e5,\"x\":");
    }
    return bytes;
}

// Every field a definition reads from its query, for rows made up in its place.
QStringList fieldsOf(const TReportDefinition& d)
{
    QStringList names;
    const auto add = [&](const QString& f) {
        if (!names.contains(f, Qt::CaseInsensitive))
            names << f;
    };
    for (const TReportDefinition::Column& c : d.Columns())
        add(c.field);
    for (const TReportDefinition::Group& g : {d.GroupBy(), d.SubGroup()}) {
        if (!g.field.isEmpty())
            add(g.field);
        for (const QString& f : g.textFields)
            add(f);
    }
    return names;
}

// One definition through the loader, both exporters and the pages of a PDF.
void exercise(const QByteArray& bytes, QRandomGenerator& r, const QString& dir, bool xlsx)
{
    const QJsonDocument doc = QJsonDocument::fromJson(bytes);
    if (!doc.isObject())
        return;
    TReportDefinition d;
    try {
        d = TReportDefinition::fromJson(doc.object(), QStringLiteral("fuzz")).printable();
        (void)TReportDefinition::fromJson(d.toJson(), QStringLiteral("fuzz"));
    } catch (const EFrameworkError&) {
        return;
    }
    const QStringList names = fieldsOf(d);
    std::vector<TRowSource::Row> rows(r.bounded(1, 30));
    for (TRowSource::Row& row : rows)
        for (qsizetype c = 0; c < names.size(); ++c)
            row.push_back(cellValue(r));
    try {
        VectorRows csv(names, rows);
        TCsvExporter().write(d, csv, dir + QStringLiteral("/fuzz.csv"));
        if (xlsx) {
            VectorRows sheet(names, rows);
            TXlsxExporter().write(d, sheet, dir + QStringLiteral("/fuzz.xlsx"));
        }
    } catch (const EFrameworkError&) {
    }
    try {
        TReportRenderer renderer(d, TParams());
        std::vector<TReportRenderer::Span> spans(rows.size());
        for (TReportRenderer::Span& span : spans) {
            span.rows = 1;
            for (int t = 0; t < d.TotalsBy().fields.size(); ++t)
                span.sums.push_back(r.bounded(2) ? std::numeric_limits<qint64>::max()
                                                 : qint64(r.bounded(100000)));
        }
        if (renderer.paginate(spans, rows, names)) {
            TReportRun run(d, nullptr);
            QBuffer pdf;
            pdf.open(QIODevice::WriteOnly);
            renderer.writePdf(&pdf, run);
        }
    } catch (const EFrameworkError&) {
    }
}

QString saneName(const QByteArray& bytes)
{
    return QJsonDocument::fromJson(bytes).object().value(QStringLiteral("name")).toString();
}

} // namespace

class tst_DefinitionFuzz : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QList<QByteArray> m_seeds;
    QString m_bin;
    QString m_database;
    QElapsedTimer m_clock;
    int m_budget = 0;

    // A run that ended by a signal or with a sanitizer's report fails the test, and the
    // definition behind it is kept.
    QString expectNoFault(QProcess& p, const QString& what, const QString& kept)
    {
        QString err;
        [&] {
            QVERIFY2(p.waitForFinished(120000),
                     qPrintable(QString(what + " não terminou; " + kept)));
            err = QString::fromUtf8(p.readAllStandardError());
            QVERIFY2(p.exitStatus() == QProcess::NormalExit && !err.contains(u"Sanitizer") &&
                         !err.contains(u"runtime error:"),
                     qPrintable(QString(what + " falhou (" + kept + "):\n" + err.left(4000))));
        }();
        return err;
    }

    QStringList reportArguments(const QString& dir, const QString& name, const QString& out)
    {
        return {"--reports",  dir,
                "--database", m_database,
                "--code",     "FIS012",
                "--report",   name,
                "--param",    "P_DTENTRINI=2024-01-01",
                "--param",    "P_DTENTRFIM=2024-03-31",
                "--output",   out};
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_clock.start();
        m_budget = budgetSeconds();
        // The values' warnings are the point here, by the thousand: the log keeps the faults.
        QLoggingCategory::setFilterRules(QStringLiteral("fis.report.warning=false"));
        const QString source = qEnvironmentVariable("FIS_SOURCE_DIR");
        for (const QString& folder :
             QStringList{source + "/reports", source + "/tests/framework/report/corpus"})
            for (const QFileInfo& f : QDir(folder).entryInfoList({"*.json"}, QDir::Files)) {
                QFile file(f.filePath());
                QVERIFY(file.open(QIODevice::ReadOnly));
                m_seeds << file.readAll();
            }
        QVERIFY(m_seeds.size() >= 7);
        m_bin = qEnvironmentVariable("FIS_BIN_DIR");
        QVERIFY2(QFile::exists(m_bin + "/fisreport"), qPrintable(m_bin));
        m_database = m_dir.filePath("demo.sqlite");
        QProcess demo;
        demo.start(m_bin + "/fisdemo", {"--database", m_database});
        expectNoFault(demo, "fisdemo", m_database);
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(demo.exitCode(), 0);
    }

    // The extreme corpus as fisreport writes it: marks, not figures, and no formula.
    void extremeValuesThroughFisreport()
    {
        const QString dir = m_dir.filePath("extremos");
        QVERIFY(QDir().mkpath(dir));
        QVERIFY(QFile::copy(qEnvironmentVariable("FIS_SOURCE_DIR") +
                                "/tests/framework/report/corpus/FIS012_80.json",
                            dir + "/FIS012_80.json"));
        for (const char* suffix : {"csv", "pdf", "xlsx"}) {
            QProcess p;
            const QString out = m_dir.filePath(QStringLiteral("extremos.") + suffix);
            p.start(m_bin + "/fisreport", reportArguments(dir, "Valores extremos", out));
            const QString err = expectNoFault(p, "fisreport", "FIS012_80.json");
            if (QTest::currentTestFailed())
                return;
            QCOMPARE(p.exitCode(), 0);
            QVERIFY2(err.contains("aviso: Coluna \"1e300\" (VLGRANDE): o valor 1e+300 está fora"),
                     qPrintable(err));
            if (QByteArray(suffix) != "csv")
                continue;
            QFile f(out);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QStringList lines = QString::fromUtf8(f.readAll()).split("\r\n");
            QCOMPARE(lines.value(1).section(u';', 2),
                     QStringLiteral("'=cmd|' /C calc'!A0;'+1+1;inválido;inválido;inválido;"
                                    "inválido;-9223372036854775808;inválido;9999999999999,99"));
        }
    }

    void mutatedDefinitions()
    {
        QRandomGenerator r(kSeed);
        const qint64 inProcessUntil = qint64(m_budget) * 1000 / 2;
        int iterations = 0;
        for (; m_clock.elapsed() < inProcessUntil; ++iterations) {
            const QByteArray bytes =
                mutated(m_seeds[qsizetype(r.bounded(quint32(m_seeds.size())))], r, true);
            QFile kept(m_dir.filePath("ultimo.json"));
            QVERIFY(kept.open(QIODevice::WriteOnly) && kept.write(bytes) == bytes.size());
            kept.close();
            exercise(bytes, r, m_dir.path(), iterations % 4 == 0);
        }
        qInfo("%d definições mutadas no processo (semente %u)", iterations, kSeed);

        // Then in batches, as the programs read them from a folder.
        int runs = 0;
        for (int batch = 0; batch == 0 || m_clock.elapsed() < qint64(m_budget) * 1000; ++batch) {
            const QString dir = m_dir.filePath(QStringLiteral("lote%1").arg(batch));
            QVERIFY(QDir().mkpath(dir));
            QList<QByteArray> files;
            for (int n = 0; n < 4; ++n) {
                const QByteArray& seed = m_seeds[qsizetype(r.bounded(quint32(m_seeds.size())))];
                files << (r.bounded(4) == 0 ? seed : mutated(seed, r, false));
                QFile f(
                    QStringLiteral("%1/FIS012_%2.json").arg(dir).arg(n + 1, 2, 10, QChar(u'0')));
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write(files.last());
            }
            QProcess list;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("FIS_USER_REPORTS", m_dir.filePath("sem-relatorios"));
            env.remove("DISPLAY");
            env.remove("WAYLAND_DISPLAY");
            env.remove("QT_QPA_PLATFORM");
            list.setProcessEnvironment(env);
            list.start(m_bin + "/fishost", {"--reports", dir, "--list-reports"});
            expectNoFault(list, "fishost --list-reports", dir);
            if (QTest::currentTestFailed())
                return;
            for (int n = 0; n < files.size(); ++n) {
                static const char* const suffixes[] = {"pdf", "csv", "xlsx"};
                QProcess p;
                p.start(
                    m_bin + "/fisreport",
                    reportArguments(dir, saneName(files[n]),
                                    QStringLiteral("%1/saida.%2").arg(dir, suffixes[runs % 3])));
                expectNoFault(
                    p, "fisreport",
                    QStringLiteral("%1/FIS012_%2.json").arg(dir).arg(n + 1, 2, 10, QChar(u'0')));
                ++runs;
            }
            QDir(dir).removeRecursively();
        }
        qInfo("%d execuções de fisreport sobre definições mutadas", runs);
    }
};

QTEST_MAIN(tst_DefinitionFuzz)
#include "tst_definitionfuzz.moc"
