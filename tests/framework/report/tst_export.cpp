#include "EFrameworkError.h"
#include "TCancelToken.h"
#include "TCsvExporter.h"
#include "TValueFormat.h"
#include "TXlsxExporter.h"
#include "VectorRows.h"
#include "XlsxRows.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <limits>

namespace {

TReportDefinition definition()
{
    return TReportDefinition::fromJson(QJsonDocument::fromJson(R"({
        "name": "Teste", "reportCode": "FIS012", "query": {"SQL": "SELECT 1"},
        "columns": [
            {"field": "DT", "title": "Data", "width": 8, "format": "date"},
            {"field": "ES", "title": "E/S", "width": 5, "values": {"E": "Entrada"}},
            {"field": "QT", "title": "Qtd.", "width": 4, "format": "integer"},
            {"field": "VL", "title": "Valor", "width": 9, "format": "money"}],
        "group": {"field": "CD", "footer": "Total do participante",
                  "text": [{"field": "CD", "title": "CNPJ/CPF", "width": 13, "format": "cnpjcpf"},
                           {"field": "NM", "title": "Nome", "width": 30}]},
        "totals": {"fields": ["QT", "VL"], "caption": "Total geral", "countLabel": "Documentos"}
    })")
                                           .object(),
                                       QStringLiteral("teste"));
}

std::vector<TRowSource::Row> rows(int count)
{
    std::vector<TRowSource::Row> out;
    for (int i = 0; i < count; ++i)
        out.push_back(
            {QStringLiteral("2024-01-%1").arg(i % 28 + 1, 2, 10, QChar(u'0')), QStringLiteral("E"),
             i + 1, QString::number(1234.5 + i, 'f', 2),
             i < count / 2 ? QStringLiteral("11222333000181") : QStringLiteral("52998224725"),
             QStringLiteral("Nome %1").arg(i)});
    return out;
}

const QStringList kNames{"DT", "ES", "QT", "VL", "CD", "NM"};

} // namespace

class tst_Export : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void cnpjAndCpfAreFormatted_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<QString>("shown");
        QTest::newRow("cnpj") << "11222333000181"
                              << "11.222.333/0001-81";
        QTest::newRow("cpf") << "52998224725"
                             << "529.982.247-25";
        QTest::newRow("padded") << "52998224725   "
                                << "529.982.247-25";
        QTest::newRow("other length") << "1234"
                                      << "1234";
        QTest::newRow("not digits") << "ISENTO"
                                    << "ISENTO";
    }
    void cnpjAndCpfAreFormatted()
    {
        QFETCH(QString, digits);
        QFETCH(QString, shown);
        QCOMPARE(TValueFormat::text(digits, TReportDefinition::Format::CnpjCpf), shown);
    }

    void amountsAndDatesAreRead_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<qint64>("cents");
        QTest::addColumn<QString>("date");
        QTest::newRow("numeric text") << QVariant("1234.5") << qint64(123450) << "";
        QTest::newRow("negative") << QVariant(" -0.01 ") << qint64(-1) << "";
        QTest::newRow("exponent") << QVariant("1e3") << qint64(100000) << "";
        QTest::newRow("double") << QVariant(2500.55) << qint64(250055) << "";
        QTest::newRow("iso date") << QVariant("2024-02-29") << qint64(0) << "29/02/2024";
        QTest::newRow("timestamp") << QVariant("2024-01-05 10:00:00") << qint64(0) << "05/01/2024";
        QTest::newRow("no such day") << QVariant("2023-02-29") << qint64(0) << "2023-02-29";
    }
    void amountsAndDatesAreRead()
    {
        QFETCH(QVariant, value);
        QFETCH(qint64, cents);
        QFETCH(QString, date);
        if (date.isEmpty())
            QCOMPARE(TValueFormat::toCents(value), cents);
        else
            QCOMPARE(TValueFormat::text(value, TReportDefinition::Format::Date), date);
    }

    void csvQuotesAsRfc4180()
    {
        const QString path = m_dir.filePath("q.csv");
        auto r = rows(1);
        r[0][5] = QStringLiteral("Silva; \"Irmãos\"\nLtda.");
        VectorRows source(kNames, r);
        QVERIFY(TCsvExporter().write(definition(), source, path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(),
                 QByteArray("\xEF\xBB\xBF"
                            "CNPJ/CPF;Nome;Data;E/S;Qtd.;Valor\r\n"
                            "529.982.247-25;\"Silva; \"\"Irmãos\"\"\nLtda.\";01/01/2024;"
                            "Entrada;1;1234,50\r\n"));
    }

    void csvQuotesOnlyWhatNeedsIt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("field");
        QTest::newRow("plain") << "Irmãos Ltda." << QByteArray("Irmãos Ltda.");
        QTest::newRow("separator") << "A; B" << QByteArray("\"A; B\"");
        QTest::newRow("quote") << "O \"Toninho\"" << QByteArray("\"O \"\"Toninho\"\"\"");
        QTest::newRow("line feed") << "A\nB" << QByteArray("\"A\nB\"");
        QTest::newRow("carriage return") << "A\rB" << QByteArray("\"A\rB\"");
        QTest::newRow("comma stays bare") << "1,5" << QByteArray("1,5");
        // A text a spreadsheet would run as a formula is marked as text.
        QTest::newRow("formula") << "=HYPERLINK(\"x\")" << QByteArray("\"'=HYPERLINK(\"\"x\"\")\"");
        QTest::newRow("at sign") << "@SUM(A1)" << QByteArray("'@SUM(A1)");
        QTest::newRow("inner equals") << "A=B" << QByteArray("A=B");
    }
    void csvQuotesOnlyWhatNeedsIt()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, field);
        QCOMPARE(TCsvExporter::field(TCsvExporter::inert(text)), field);
    }

    // What a spreadsheet user sees besides the values: the header frozen and filtered,
    // the widths of the definition, dates as dates and amounts in 1.234,56.
    void xlsxSheetIsSetUp()
    {
        const QString path = m_dir.filePath("s.xlsx");
        VectorRows source(kNames, rows(4));
        QVERIFY(TXlsxExporter().write(definition(), source, path));
        const char* script = R"(
import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
print(ws.freeze_panes, ws.auto_filter.ref)
print(' '.join('%.1f' % ws.column_dimensions[c].width for c in 'ABCDEF'))
print(' '.join('%s:%s' % (type(c.value).__name__, c.number_format) for c in ws[2]))
print(ws['A1'].font.b, ws["A9"].font.b, ws["A9"].value)
)";
        QProcess p;
        p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, path});
        QVERIFY(p.waitForFinished(60000));
        const QStringList lines =
            QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.value(0), QString("A2 A1:F9"));
        // 1.4 characters a share, widened to what a title, a date or an amount needs,
        // plus the padding Excel keeps.
        QCOMPARE(lines.value(1), QString("18.9 42.7 11.9 7.7 9.7 17.7"));
        QCOMPARE(lines.value(2), QString("str:General str:General datetime:dd/mm/yyyy str:General "
                                         "int:#,##0 float:#,##0.00"));
        QCOMPARE(lines.value(3), QString("True True Total geral - Documentos: 4"));
    }

    void sheetNamesAreOnesExcelTakes()
    {
        TReportDefinition d = definition();
        d.setName(QStringLiteral("Retenções por Cliente/Fornecedor [Mensal]"));
        const QString path = m_dir.filePath("n.xlsx");
        VectorRows source(kNames, rows(6));
        TXlsxExporter exporter;
        exporter.setSheetRows(6);
        QVERIFY(exporter.write(d, source, path));
        QSet<QString> names;
        for (const QString& line : xlsxRows(path))
            names << line.section(u'|', 0, 0);
        QCOMPARE(names, (QSet<QString>{u"Retenções por Cliente-Forneced…"_qs,
                                       u"Retenções por Cliente-Forn… (2)"_qs}));
    }

    void xlsxHoldsTypedCellsAndSums_data()
    {
        QTest::addColumn<int>("sheetRows");
        QTest::addColumn<int>("sheets");
        QTest::newRow("one sheet") << 1048576 << 1;
        // Header plus 4 rows a sheet: 6 rows, two subtotals, a blank and the total.
        QTest::newRow("continues") << 5 << 3;
    }
    void xlsxHoldsTypedCellsAndSums()
    {
        QFETCH(int, sheetRows);
        QFETCH(int, sheets);
        const QString path = m_dir.filePath("t.xlsx");
        VectorRows source(kNames, rows(6));
        TXlsxExporter exporter;
        exporter.setSheetRows(sheetRows);
        QVERIFY(exporter.write(definition(), source, path));
        QStringList lines = xlsxRows(path);
        QStringList body;
        QSet<QString> names;
        for (const QString& line : lines) {
            names << line.section(u'|', 0, 0);
            if (!line.contains("|CNPJ/CPF|"))
                body << line.section(u'|', 1);
        }
        QCOMPARE(names.size(), sheets);
        // Named after the report ("Teste"), numbered from the second sheet.
        QVERIFY(names.contains("Teste") && names.contains(sheets > 1 ? "Teste (2)" : "Teste"));
        QCOMPARE(lines.filter(QRegularExpression("\\|CNPJ/CPF\\|Nome\\|Data\\|")).size(), sheets);
        QCOMPARE(body.first(), QString("11.222.333/0001-81|Nome 0|2024-01-01|Entrada|1|1234.5"));
        QVERIFY(body.contains("Total do participante - Documentos: 3||||6|3706.5"));
        QVERIFY(body.contains("Total do participante - Documentos: 3||||15|3715.5"));
        QCOMPARE(body.last(), QString("Total geral - Documentos: 6||||21|7422"));
        QCOMPARE(body.size(), 6 + 2 + 1 + 1);
    }

    // A value its column cannot hold is marked in the cell and in the totals it is in,
    // and told once per column; the largest NUMERIC(15,2) adds up exactly.
    void extremeValuesAreMarked_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("total");
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("1e300") << 3 << QVariant(1e300) << "inválido"
                               << "inválido";
        QTest::newRow("infinity") << 3 << QVariant(inf) << "inválido"
                                  << "inválido";
        QTest::newRow("nan") << 3 << QVariant(std::nan("")) << "inválido"
                             << "inválido";
        QTest::newRow("int64 max")
            << 3 << QVariant(std::numeric_limits<qlonglong>::max()) << "inválido"
            << "inválido";
        QTest::newRow("NUMERIC(15,2) max")
            << 3 << QVariant("9999999999999.99") << "9999999999999,99"
            << "10000000001235.49";
        QTest::newRow("quantity 1e300") << 2 << QVariant(1e300) << "inválido"
                                        << "inválido";
    }
    void extremeValuesAreMarked()
    {
        QFETCH(int, source);
        QFETCH(QVariant, value);
        QFETCH(QString, cell);
        QFETCH(QString, total);
        auto r = rows(2);
        r[0][size_t(source)] = value;
        // Exported columns: the group's two texts lead.
        const qsizetype column = source + 2;
        const QString csv = m_dir.filePath("x.csv"), xlsx = m_dir.filePath("x.xlsx");
        const QRegularExpression told(source == 3 ? R"(^Coluna "Valor" \(VL\): o valor )"
                                                  : R"(^Coluna "Qtd." \(QT\): o valor )");
        if (total == u"inválido") {
            QTest::ignoreMessage(QtWarningMsg, told);
            QTest::ignoreMessage(QtWarningMsg, told);
        }
        VectorRows forCsv(kNames, r), forXlsx(kNames, r);
        QVERIFY(TCsvExporter().write(definition(), forCsv, csv));
        QVERIFY(TXlsxExporter().write(definition(), forXlsx, xlsx));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()).split("\r\n").value(1).split(u';').value(column),
                 cell);
        const QStringList sheet = xlsxRows(xlsx);
        QCOMPARE(sheet.value(1).split(u'|').value(column + 1), cell.replace(u',', u'.'));
        QCOMPARE(sheet.last().split(u'|').value(column + 1), total);
    }

    // Any text of a CSV that a spreadsheet would run is inert, whatever its column's
    // format; a title too.
    void csvTextIsNeverAFormula()
    {
        const QString formula = QStringLiteral("=cmd|' /C calc'!A0");
        TReportDefinition d = definition();
        QList<TReportDefinition::Column> columns = d.Columns();
        columns[1].title = QStringLiteral("@SUM(A1)");
        d.setColumns(columns);
        auto r = rows(1);
        for (const size_t c : {0, 1, 4, 5}) // date, mapped text, CNPJ/CPF, name
            r[0][c] = formula;
        const QString path = m_dir.filePath("f.csv");
        VectorRows source(kNames, r);
        QVERIFY(TCsvExporter().write(d, source, path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split("\r\n");
        QCOMPARE(lines.value(0).split(u';').value(3), QStringLiteral("'@SUM(A1)"));
        const QString inert = QStringLiteral("'=cmd|' /C calc'!A0");
        QCOMPARE(lines.value(1),
                 QStringList({inert, inert, inert, inert, "1", "1234,50"}).join(u';'));
    }

    // Excel's limits are met, not failed on: a cell's text is cut with a mark and a
    // warning, too many columns are refused before any file is made.
    void xlsxLimits()
    {
        const QString path = m_dir.filePath("l.xlsx");
        auto r = rows(1);
        r[0][5] = QString(40000, u'a');
        VectorRows source(kNames, r);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^Relatório \"Teste\", coluna \"Nome\": um texto "
                                                "de 40.000 caracteres passa do limite de 32.767"));
        QVERIFY(TXlsxExporter().write(definition(), source, path));
        const QString name = xlsxRows(path).value(1).split(u'|').value(2);
        QCOMPARE(name.size(), 32767);
        QVERIFY(name.endsWith(u"a…"));

        TReportDefinition wide = definition();
        QList<TReportDefinition::Column> columns;
        for (int c = 0; c < 16384 - 1; ++c) // with the group's two, one too many
            columns << wide.Columns().first();
        wide.setColumns(columns);
        const QString refused = m_dir.filePath("w.xlsx");
        VectorRows none(kNames, {});
        try {
            TXlsxExporter().write(wide, none, refused);
            QFAIL("16.385 columns were written");
        } catch (const EFrameworkError& e) {
            QVERIFY2(e.message().contains("o relatório tem 16.385 colunas e uma planilha comporta "
                                          "no máximo 16.384"),
                     qPrintable(e.message()));
        }
        QVERIFY(!QFile::exists(refused));
    }

    void nothingIsLeftOnCancelOrError_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("failAt");
        QTest::newRow("csv cancelled") << "c.csv" << -1;
        QTest::newRow("xlsx cancelled") << "c.xlsx" << -1;
        QTest::newRow("csv failed") << "f.csv" << 1500;
        QTest::newRow("xlsx failed") << "f.xlsx" << 1500;
        // The process's stop (SIGTERM) comes with the last row, as the workbook is zipped.
        QTest::newRow("xlsx stopped at its close") << "z.xlsx" << -2;
    }
    void nothingIsLeftOnCancelOrError()
    {
        QFETCH(QString, file);
        QFETCH(int, failAt);
        QTemporaryDir dir;
        const QString path = dir.filePath(file);
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("anterior") == 8);
        old.close();
        VectorRows source(kNames, rows(3000), failAt);
        auto exporter = TReportExporter::forPath(path);
        qint64 seen = 0;
        int asked = 0;
        const auto stopped = qScopeGuard([] { TCancelToken::process().reset(); });
        const auto cancel = [&](qint64 done) {
            seen = done;
            if (failAt == -2) {
                // Asked once more while the workbook closes.
                if (done == 3000 && ++asked == 2)
                    TCancelToken::process().cancel();
                return true;
            }
            return done < 2000;
        };
        if (failAt < 0)
            QVERIFY(!exporter->write(definition(), source, path, cancel));
        else
            QVERIFY_THROWS_EXCEPTION(EFrameworkError, exporter->write(definition(), source, path));
        QCOMPARE(asked, failAt == -2 ? 2 : 0);
        QVERIFY(seen < 3000 || failAt == -2);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{file});
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("anterior"));
    }
};

QTEST_MAIN(tst_Export)
#include "tst_export.moc"
