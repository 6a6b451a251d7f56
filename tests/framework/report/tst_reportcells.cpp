#include "TReportCellFormat_p.h"
#include "TReportText.h"
#include "TValueFormat.h"

#include <QTest>

using Format = TReportDefinition::Format;
Q_DECLARE_METATYPE(Format)

// The printed cell texts come from a fast path of their own; they must read exactly as
// the exports' and the group lines' formatting does, whatever the driver hands over.
class tst_ReportCells : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void matchesTheValueFormat_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<Format>("format");
        QTest::addColumn<QString>("shown");

        QTest::newRow("iso date") << QVariant("2024-01-15") << Format::Date << "15/01/2024";
        QTest::newRow("date and time")
            << QVariant("2024-12-31 10:00:00") << Format::Date << "31/12/2024";
        QTest::newRow("no such day") << QVariant("2023-02-29") << Format::Date << "2023-02-29";
        QTest::newRow("driver date") << QVariant(QDate(2026, 3, 9)) << Format::Date << "09/03/2026";
        QTest::newRow("null date") << QVariant(QMetaType(QMetaType::QString)) << Format::Date << "";
        QTest::newRow("millions") << QVariant(1234567.891) << Format::Money << "1.234.567,89";
        QTest::newRow("thousand") << QVariant(1000.0) << Format::Money << "1.000,00";
        QTest::newRow("negative") << QVariant(-0.5) << Format::Money << "-0,50";
        QTest::newRow("rounded up") << QVariant(999.995) << Format::Money << "1.000,00";
        QTest::newRow("numeric text") << QVariant("2800.5") << Format::Money << "2.800,50";
        QTest::newRow("integer") << QVariant(qlonglong(-42)) << Format::Integer << "-42";
        QTest::newRow("cnpj") << QVariant("44444444000144 ") << Format::CnpjCpf
                              << "44.444.444/0001-44";
        QTest::newRow("cpf") << QVariant("12345678901") << Format::CnpjCpf << "123.456.789-01";
        QTest::newRow("foreign id") << QVariant("EX-1234") << Format::CnpjCpf << "EX-1234";
        QTest::newRow("padded text")
            << QVariant("  CLIENTE ALFA  ") << Format::Text << "CLIENTE ALFA";
        QTest::newRow("accents") << QVariant("SERVIÇOS Açaí") << Format::Text << "SERVIÇOS Açaí";
        QTest::newRow("euro sign") << QVariant("€ 10") << Format::Text << "€ 10";
        QTest::newRow("number as text") << QVariant(qlonglong(500123)) << Format::Text << "500123";
        QTest::newRow("mapped") << QVariant("S") << Format::Text << "Saída";
    }

    void matchesTheValueFormat()
    {
        QFETCH(QVariant, value);
        QFETCH(Format, format);
        QFETCH(QString, shown);
        TReportDefinition::Column column;
        column.format = format;
        column.values = {{"E", "Entrada"}, {"S", "Saída"}};
        QByteArray out("left over");
        TReportCellFormat(column).format(value, out);
        QCOMPARE(TReportText::decode(out), shown);
        const QString reference = TValueFormat::text(value, format);
        QCOMPARE(TReportText::decode(out), column.values.value(reference, reference));
    }
};

QTEST_MAIN(tst_ReportCells)
#include "tst_reportcells.moc"
