#include "TReportCellFormat_p.h"
#include "TReportSum.h"
#include "TReportText.h"
#include "TValueFormat.h"

#include <QTest>
#include <cmath>
#include <limits>

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
        // What a column cannot hold shows a mark, never a figure rounded past 64 bits.
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("1e300") << QVariant(1e300) << Format::Money << "inválido";
        QTest::newRow("-infinity") << QVariant(-inf) << Format::Money << "inválido";
        QTest::newRow("nan") << QVariant(std::nan("")) << Format::Money << "inválido";
        QTest::newRow("1e300 text") << QVariant("1e300") << Format::Money << "inválido";
        QTest::newRow("not a number") << QVariant("=1+1") << Format::Money << "inválido";
        QTest::newRow("int64 max")
            << QVariant(std::numeric_limits<qlonglong>::max()) << Format::Money << "inválido";
        QTest::newRow("NUMERIC(15,2) max")
            << QVariant("-9999999999999.99") << Format::Money << "-9.999.999.999.999,99";
        QTest::newRow("16 digits")
            << QVariant("9999999999999999.99") << Format::Money << "9.999.999.999.999.999,99";
        QTest::newRow("17 digits") << QVariant("99999999999999999") << Format::Money << "inválido";
        QTest::newRow("integer 1e300") << QVariant(1e300) << Format::Integer << "inválido";
        QTest::newRow("integer nan") << QVariant(std::nan("")) << Format::Integer << "inválido";
        QTest::newRow("integer int64 min") << QVariant(std::numeric_limits<qlonglong>::min())
                                           << Format::Integer << "-9223372036854775808";
        QTest::newRow("integer text") << QVariant(" 42 ") << Format::Integer << "42";
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
        if (shown == TValueFormat::invalidText())
            QTest::ignoreMessage(QtWarningMsg,
                                 QByteArray("Coluna \"Valor\" (VL): o valor " +
                                            value.toString().toUtf8() +
                                            " está fora do que a coluna comporta; ele e os "
                                            "totais que o incluem aparecem como \"inválido\".")
                                     .constData());
        column.title = QStringLiteral("Valor");
        column.field = QStringLiteral("VL");
        TReportCellFormat(column).format(value, out);
        QCOMPARE(TReportText::decode(out), shown);
        const QString reference = TValueFormat::text(value, format);
        QCOMPARE(TReportText::decode(out), column.values.value(reference, reference));
    }

    // Totals stay exact past 64 bits and are marked once a refused value is in them.
    void sumsAreExact_data()
    {
        QTest::addColumn<qint64>("cents");
        QTest::addColumn<int>("times");
        QTest::addColumn<Format>("format");
        QTest::addColumn<bool>("spoiled");
        QTest::addColumn<QString>("shown");
        const qint64 largest = 999'999'999'999'999; // 9.999.999.999.999,99
        QTest::newRow("million largest")
            << largest << 1'000'000 << Format::Money << false << "9.999.999.999.999.990.000,00";
        QTest::newRow("million smallest")
            << -largest << 1'000'000 << Format::Money << false << "-9.999.999.999.999.990.000,00";
        QTest::newRow("limit twice")
            << TValueFormat::maxCents << 2 << Format::Money << false << "19.999.999.999.999.999,98";
        QTest::newRow("cents") << qint64(-5) << 3 << Format::Money << false << "-0,15";
        QTest::newRow("integers") << qint64(4200) << 3 << Format::Integer << false << "126";
        QTest::newRow("half negative integer")
            << qint64(-50) << 1 << Format::Integer << false << "0";
        QTest::newRow("spoiled") << qint64(100) << 2 << Format::Money << true << "inválido";
    }

    void sumsAreExact()
    {
        QFETCH(qint64, cents);
        QFETCH(int, times);
        QFETCH(Format, format);
        QFETCH(bool, spoiled);
        QFETCH(QString, shown);
        TReportSum group, total;
        for (int i = 0; i < times; ++i)
            group.add(cents);
        if (spoiled)
            group.spoil();
        total.add(group);
        QCOMPARE(total.text(format), shown);
        QCOMPARE(total.valid(), !spoiled);
        total.clear();
        QCOMPARE(total.text(Format::Money), QStringLiteral("0,00"));
    }
};

QTEST_MAIN(tst_ReportCells)
#include "tst_reportcells.moc"
