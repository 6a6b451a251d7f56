#include "EFrameworkError.h"
#include "ReportFixture.h"
#include "TReportDefinition.h"
#include "TSqlText.h"

#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray definitionJson(const QString& name, const QString& code)
{
    return QStringLiteral(R"({"name": "%1", "reportCode": "%2",
        "query": {"SQL": ["SELECT NRDOCUMENTO FROM DOCFISCAL"]},
        "columns": [{"field": "NRDOCUMENTO", "title": "Documento"}]})")
        .arg(name, code)
        .toUtf8();
}

void write(const QString& path, const QByteArray& content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QStringList names(const QList<TReportDefinition>& list)
{
    QStringList out;
    for (const auto& d : list)
        out << d.Name();
    return out;
}

} // namespace

class tst_ReportDefinition : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsOnlyTheCodeInFileNameOrder()
    {
        QTemporaryDir dir;
        write(dir.filePath("FIS012_10.json"), definitionJson("Terceiro", "FIS012"));
        write(dir.filePath("FIS012_02.json"), definitionJson("Segundo", "FIS012"));
        write(dir.filePath("FIS012.json"), definitionJson("Primeiro", "FIS012"));
        write(dir.filePath("FIS0120_01.json"), definitionJson("Outro código", "FIS0120"));
        write(dir.filePath("FIS013_01.json"), definitionJson("Outra tela", "FIS013"));
        // Named after the code but declaring another one: not this report's.
        write(dir.filePath("FIS012_99.json"), definitionJson("Código trocado", "FIS099"));
        write(dir.filePath("FIS012_leiame.txt"), "não é definição");

        const auto list = TReportDefinition::listForCode(dir.path(), "FIS012");
        QCOMPARE(names(list), QStringList({"Primeiro", "Segundo", "Terceiro"}));
        QCOMPARE(list.first().FilePath(), dir.filePath("FIS012.json"));
        QVERIFY(TReportDefinition::listForCode(dir.path() + "/nada", "FIS012").isEmpty());
    }

    void shippedReportsOfFis012()
    {
        const auto list =
            TReportDefinition::listForCode(ReportFixture::reportsDirectory(), "FIS012");
        QVERIFY(list.size() >= 2);
        QCOMPARE(list[0].Name(), ReportFixture::listagem());
        QCOMPARE(list[1].Name(), ReportFixture::retencoes());

        const QStringList nine{"P_CDEMPRESA", "P_CDINSCESTA", "P_CDINSCMUNI",
                               "P_CDFILIAL",  "P_IDENTRSAID", "P_DTENTRINI",
                               "P_DTENTRFIM", "P_CDTIPOOPER", "P_TCDTIPOOPER"};
        for (const auto& d : list) {
            const QStringList sql = TSqlText::parameterNames(d.SQL().join('\n'));
            for (const QString& name : sql)
                QVERIFY2(nine.contains(name), qPrintable(d.Name() + ": " + name));
            // The Firebird text asks for the same values.
            if (!d.SQL_IB().isEmpty())
                QCOMPARE(TSqlText::parameterNames(d.SQL_IB().join('\n')), sql);
        }
        // Only the withholding report is restricted by the operation types.
        QVERIFY(!TSqlText::parameterNames(list[0].SQL().join('\n')).contains("P_CDTIPOOPER"));
        QCOMPARE(TSqlText::parameterNames(list[1].SQL().join('\n')).size(), 9);
    }

    void brokenFileIsNamedInTheMessage_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        QTest::newRow("json") << QByteArray("{\"name\": \"X\", ") << "o texto não é JSON válido";
        QTest::newRow("array") << QByteArray("[]") << "não contém um objeto JSON";
        QTest::newRow("name") << QByteArray(R"({"reportCode": "FIS012"})")
                              << "falta o texto 'name'";
        QTest::newRow("query") << QByteArray(R"({"name": "X", "reportCode": "FIS012",
            "columns": [{"field": "A"}]})")
                               << "falta a consulta ('query')";
        QTest::newRow("columns") << QByteArray(R"({"name": "X", "reportCode": "FIS012",
            "query": {"SQL": "SELECT 1"}, "columns": []})")
                                 << "falta a lista de colunas";
        QTest::newRow("format") << QByteArray(R"({"name": "X", "reportCode": "FIS012",
            "query": {"SQL": "SELECT 1"}, "columns": [{"field": "A"}, {"field": "B",
            "format": "moeda"}]})")
                                << "formato 'moeda' da coluna 2 desconhecido";
        QTest::newRow("total") << QByteArray(R"({"name": "X", "reportCode": "FIS012",
            "query": {"SQL": "SELECT 1"}, "columns": [{"field": "A"}],
            "totals": {"fields": ["A"]}})")
                               << "o total 'A' não é uma coluna de valor";
        // A width past these squeezes every other column to nothing, or to NaN.
        const QByteArray widths = R"({"name": "X", "reportCode": "FIS012",
            "query": {"SQL": "SELECT 1"}, "columns": [{"field": "A"}, {"field": "VL",
            "width": %1}], "group": {"field": "A", "text": [{"field": "A", "width": %2}]}})";
        for (const char* width : {"1e300", "1.7976931348623157e308", "0", "-1", "0.05", "1000.5"})
            QTest::addRow("width %s", width)
                << QString::fromLatin1(widths).arg(QLatin1String(width), "1").toUtf8()
                << "a largura da coluna 2 (VL) deve ser um número entre 0,1 e 1.000";
        QTest::newRow("width past a double")
            << QString::fromLatin1(widths).arg("1e999", "1").toUtf8()
            << "o texto não é JSON válido";
        QTest::newRow("group text width")
            << QString::fromLatin1(widths).arg("1000", "1e300").toUtf8()
            << "a largura do texto 1 do grupo (A) deve ser um número entre 0,1 e 1.000";
    }

    void brokenFileIsNamedInTheMessage()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        write(dir.filePath("FIS012_01.json"), definitionJson("Bom", "FIS012"));
        const QString path = dir.filePath("FIS012_02.json");
        write(path, content);
        try {
            TReportDefinition::listForCode(dir.path(), "FIS012");
            QFAIL("a broken definition was accepted");
        } catch (const EFrameworkError& e) {
            QVERIFY2(e.message().startsWith(
                         QStringLiteral("A definição de relatório do arquivo '%1' é inválida: ")
                             .arg(path)),
                     qPrintable(e.message()));
            QVERIFY2(e.message().contains(reason), qPrintable(e.message()));
        }
    }

    void badFileAmongGoodIsLeftOutAndNamed()
    {
        QTemporaryDir dir;
        write(dir.filePath("FIS012_01.json"), definitionJson("Primeiro", "FIS012"));
        write(dir.filePath("FIS012_02.json"), "{\"name\": ");
        write(dir.filePath("FIS012_03.json"), definitionJson("Terceiro", "FIS012"));
        QStringList faults;
        const auto list = TReportDefinition::listForCode(dir.path(), "FIS012", faults);
        QCOMPARE(names(list), QStringList({"Primeiro", "Terceiro"}));
        QCOMPARE(faults.size(), 1);
        QVERIFY2(faults[0].contains(dir.filePath("FIS012_02.json")), qPrintable(faults[0]));
    }

    void savedCopyReadsBackUnderTheNextFileName()
    {
        QTemporaryDir dir;
        TReportDefinition d = ReportFixture::shipped(ReportFixture::retencoes());
        QCOMPARE(TReportDefinition::newFilePath(dir.path(), "FIS012"),
                 dir.filePath("FIS012_01.json"));
        d.save(dir.filePath("FIS012_01.json"));
        d.setName("Cópia");
        d.setColumnTitle(0, "Emissão");
        const QString path = TReportDefinition::newFilePath(dir.path(), "FIS012");
        QCOMPARE(path, dir.filePath("FIS012_02.json"));
        d.save(path);

        const TReportDefinition back = TReportDefinition::load(path);
        QCOMPARE(back.toJson(), d.toJson());
        QCOMPARE(back.Columns()[0].title, QString("Emissão"));
        QCOMPARE(back.Orientation(), QPageLayout::Landscape);
        QCOMPARE(back.GroupBy().textFields, QStringList({"CDCLIFOR", "NMCLIFOR"}));
        QCOMPARE(names(TReportDefinition::listForCode(dir.path(), "FIS012")),
                 QStringList({ReportFixture::retencoes(), "Cópia"}));
    }
};

QTEST_GUILESS_MAIN(tst_ReportDefinition)
#include "tst_reportdefinition.moc"
