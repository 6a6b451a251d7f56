#include "EFrameworkError.h"
#include "TParams.h"
#include "TReportParamBinder.h"
#include "TReportParams.h"

#include <QTest>

using P = TReportParams;

namespace {

TReportParamBinder::Filter screen()
{
    TReportParamBinder::Filter f;
    f.empresa = {QStringLiteral("01"), false};
    f.inscEstad = {QString(), true};
    f.inscMuni = {QStringLiteral("  "), true};
    f.filial = {QStringLiteral("0001"), true};
    f.direction = QStringLiteral("Entrada");
    f.start = QDate(2026, 1, 1);
    f.end = QDate(2026, 12, 31);
    return f;
}

QMap<QString, QString> pairs(std::initializer_list<std::pair<QString, QString>> list)
{
    QMap<QString, QString> out;
    for (const auto& [name, value] : list)
        out.insert(name, value);
    return out;
}

} // namespace

// The nine report parameters: their binding from the filter, their reading from
// NAME=value pairs and the set the designer receives.
class tst_ReportParamBinder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nineNamesInTheScreensOrder()
    {
        QCOMPARE(P::names(), (QStringList{"P_CDEMPRESA", "P_CDINSCESTA", "P_CDINSCMUNI",
                                          "P_CDFILIAL", "P_IDENTRSAID", "P_DTENTRINI",
                                          "P_DTENTRFIM", "P_CDTIPOOPER", "P_TCDTIPOOPER"}));
        const TReportParameters set = P::parameters();
        QCOMPARE(set.names, P::names());
        QCOMPARE(set.filters.size(), 8);
        QCOMPARE(set.filters[5].parameter, QString("P_DTENTRINI"));
        QCOMPARE(set.filters[5].toParameter, QString("P_DTENTRFIM"));
        QVERIFY(set.filters[7].list);
        QVERIFY(set.allValues);
    }

    void installMakesThemTheApplications()
    {
        P::install();
        QCOMPARE(TReportParameters::installed().names, P::names());
    }

    void bindsCodesDirectionAndDates()
    {
        TParams params(P::names());
        TReportParamBinder::Bind(params, screen());
        QCOMPARE(params.ParamByName("P_CDEMPRESA").AsString(), QString("01"));
        // "T" only when nothing is typed and the box says all.
        QCOMPARE(params.ParamByName("P_CDINSCESTA").AsString(), QString("T"));
        QCOMPARE(params.ParamByName("P_CDINSCMUNI").AsString(), QString("T"));
        QCOMPARE(params.ParamByName("P_CDFILIAL").AsString(), QString("0001"));
        QCOMPARE(params.ParamByName("P_IDENTRSAID").AsString(), QString("E"));
        QCOMPARE(params.ParamByName("P_DTENTRINI").Value().toDate(), QDate(2026, 1, 1));
        QCOMPARE(params.ParamByName("P_DTENTRFIM").Value().toDate(), QDate(2026, 12, 31));
    }

    void operationTypesAreAnEmptyTextNeverNull()
    {
        TParams params(P::names());
        TReportParamBinder::Bind(params, screen());
        QCOMPARE(params.ParamByName("P_CDTIPOOPER").Value(), QVariant(QString("")));
        QVERIFY(!params.ParamByName("P_CDTIPOOPER").Value().isNull());
        QCOMPARE(params.ParamByName("P_TCDTIPOOPER").AsString(), QString("T"));

        TReportParamBinder::Filter listed = screen();
        listed.list = true;
        listed.listaTp = QStringLiteral("'E01','S05'");
        TReportParamBinder::Bind(params, listed);
        QCOMPARE(params.ParamByName("P_CDTIPOOPER").AsString(), QString("'E01','S05'"));
        QVERIFY(!params.ParamByName("P_TCDTIPOOPER").Value().isNull());
        QCOMPARE(params.ParamByName("P_TCDTIPOOPER").AsString(), QString());
    }

    void fillsOnlyTheNamesTheQueryDeclares()
    {
        TParams params(QStringList{"P_CDEMPRESA", "P_OUTRO"});
        TReportParamBinder::Bind(params, screen());
        QCOMPARE(params.ParamByName("P_CDEMPRESA").AsString(), QString("01"));
        QVERIFY(params.ParamByName("P_OUTRO").Value().isNull());
        QVERIFY(!ExistParam(params, "P_CDFILIAL"));
    }

    void allValuesMeanEverything()
    {
        TParams params(P::names());
        bool handled = true;
        P::allValues(params, handled);
        QVERIFY(handled);
        for (const char* code : {"P_CDEMPRESA", "P_CDINSCESTA", "P_CDINSCMUNI", "P_CDFILIAL"})
            QCOMPARE(params.ParamByName(code).AsString(), QString("T"));
        QCOMPARE(params.ParamByName("P_IDENTRSAID").AsString(), QString("A"));
        QCOMPARE(params.ParamByName("P_TCDTIPOOPER").AsString(), QString("T"));
        QCOMPARE(params.ParamByName("P_DTENTRINI").Value().toDate(), QDate(1900, 1, 1));
        QCOMPARE(params.ParamByName("P_DTENTRFIM").Value().toDate(), QDate(2099, 12, 31));
    }

    void commandLineTextsAreReadIntoPairs()
    {
        QMap<QString, QString> read;
        QString error;
        QVERIFY(P::readPairs({"p_cdempresa=01", " P_DTENTRINI =2026-01-01", "P_CDTIPOOPER="}, read,
                             error));
        QCOMPARE(
            read,
            pairs({{"P_CDEMPRESA", "01"}, {"P_DTENTRINI", "2026-01-01"}, {"P_CDTIPOOPER", ""}}));
        for (const QStringList& bad : {QStringList{"=01"}, QStringList{"P_CDEMPRESA"},
                                       QStringList{"P_CDFILIAL=1", "p_cdfilial=2"}}) {
            QMap<QString, QString> none;
            QVERIFY(!P::readPairs(bad, none, error));
            QVERIFY(!error.isEmpty());
        }
    }

    void pairsLeftOutMeanAll()
    {
        const TReportParamBinder::Filter f = P::readFilter({});
        for (const TReportParamBinder::Code& code : {f.empresa, f.inscEstad, f.inscMuni, f.filial})
            QVERIFY(code.all && code.text.isEmpty());
        QCOMPARE(f.direction, QString("A"));
        QVERIFY(!f.start.isValid() && !f.end.isValid());
        QVERIFY(!f.list);
    }

    void pairsAreRead()
    {
        const TReportParamBinder::Filter f = P::readFilter(pairs({{"P_CDEMPRESA", " 01 "},
                                                                  {"P_CDFILIAL", "t"},
                                                                  {"P_IDENTRSAID", "s"},
                                                                  {"P_DTENTRINI", "2026-01-01"},
                                                                  {"P_DTENTRFIM", "2026-01-31"},
                                                                  {"P_CDTIPOOPER", "e01, 'S05'"}}));
        QCOMPARE(f.empresa.text, QString("01"));
        QVERIFY(f.filial.text.isEmpty() && f.filial.all);
        QCOMPARE(f.direction, QString("S"));
        QCOMPARE(f.start, QDate(2026, 1, 1));
        QCOMPARE(f.end, QDate(2026, 1, 31));
        QVERIFY(f.list);
        QCOMPARE(f.listaTp, QString("'E01','S05'"));
    }

    void badPairsAreRefusedByName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("said");
        QTest::newRow("unknown") << "P_EMPRESA"
                                 << "01"
                                 << "Parâmetro desconhecido: P_EMPRESA";
        QTest::newRow("empty code") << "P_CDEMPRESA"
                                    << " "
                                    << "P_CDEMPRESA está vazio";
        QTest::newRow("direction") << "P_IDENTRSAID"
                                   << "X"
                                   << "Direção inválida em P_IDENTRSAID";
        QTest::newRow("date shape") << "P_DTENTRINI"
                                    << "01/01/2026"
                                    << "Data inválida";
        QTest::newRow("no such day") << "P_DTENTRFIM"
                                     << "2026-02-30"
                                     << "Data inválida";
        QTest::newRow("quote in a type") << "P_CDTIPOOPER"
                                         << "E'1"
                                         << "Tipo de operação inválido";
        QTest::newRow("all types") << "P_TCDTIPOOPER"
                                   << "X"
                                   << "Valor inválido em P_TCDTIPOOPER";
        QTest::newRow("empty all without list") << "P_TCDTIPOOPER"
                                                << ""
                                                << "pede a lista";
    }

    void badPairsAreRefusedByName()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QString, said);
        try {
            P::readFilter(pairs({{name, value}}));
            QFAIL("accepted");
        } catch (const EFrameworkError& e) {
            QVERIFY2(e.message().contains(said), qPrintable(e.message()));
        }
    }

    void endBeforeStartAndContradictoryTypesAreRefused()
    {
        QVERIFY_THROWS_EXCEPTION(
            EFrameworkError,
            P::readFilter(pairs({{"P_DTENTRINI", "2026-02-01"}, {"P_DTENTRFIM", "2026-01-31"}})));
        QVERIFY_THROWS_EXCEPTION(EFrameworkError, P::readFilter(pairs({{"P_CDTIPOOPER", "E01"},
                                                                       {"P_TCDTIPOOPER", "T"}})));
    }
};

QTEST_MAIN(tst_ReportParamBinder)
#include "tst_ReportParamBinder.moc"
