#include "TSqlText.h"
#include "TStatementRewriter.h"

#include <QTest>

using Dialect = TDialect;

namespace {

// "name=value" sets a text, "name" alone leaves it NULL.
TParams paramsOf(const QStringList& settings)
{
    TParams params;
    for (const QString& s : settings) {
        const qsizetype eq = s.indexOf(u'=');
        TParam& p = params.Add(eq < 0 ? s : s.left(eq));
        if (eq >= 0)
            p.SetAsString(s.mid(eq + 1));
    }
    return params;
}

} // namespace

class tst_StatementRewriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaultDialect_data();
    void defaultDialect();
    void otherDialectsKeepTheText();
    void interBaseWidensTextMarkers_data();
    void interBaseWidensTextMarkers();
    void interBaseParamRows_data();
    void interBaseParamRows();
};

void tst_StatementRewriter::defaultDialect_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("params");
    QTest::addColumn<QString>("expected");

    QTest::newRow("value") << "SELECT * FROM F WHERE (A = NVL(:P, A))" << QStringList{"P=01"}
                           << "SELECT * FROM F WHERE (A = :P)";
    QTest::newRow("null") << "SELECT * FROM F WHERE (A = NVL(:P, A))" << QStringList{"P"}
                          << "SELECT * FROM F WHERE (A IS NOT NULL)";
    QTest::newRow("empty text is null")
        << "SELECT * FROM F WHERE (A = NVL(:P, A))" << QStringList{"P="}
        << "SELECT * FROM F WHERE (A IS NOT NULL)";
    // Only an empty text counts as NULL, as in the database's NVL.
    QTest::newRow("blank is a value") << "SELECT * FROM F WHERE (A = NVL(:P, A))"
                                      << QStringList{"P= "} << "SELECT * FROM F WHERE (A = :P)";
    QTest::newRow("any spacing and case")
        << "SELECT * FROM F WHERE\n(  A\t=nvl (\n :P ,A )\n) AND ( B=NVL(:Q,b))"
        << QStringList{"P", "Q=x"} << "SELECT * FROM F WHERE\n(A IS NOT NULL) AND (B = :Q)";
    QTest::newRow("qualified column") << "SELECT * FROM F WHERE (F.A = NVL(:P, F.A))"
                                      << QStringList{"P=1"} << "SELECT * FROM F WHERE (F.A = :P)";
    QTest::newRow("first in a group, or in an OR chain")
        << "SELECT * FROM F WHERE ((A = NVL(:P, A)) OR (B = NVL(:Q, B)))" << QStringList{"P", "Q=2"}
        << "SELECT * FROM F WHERE ((A IS NOT NULL) OR (B = :Q))";
    QTest::newRow("join condition")
        << "SELECT * FROM F JOIN G ON (G.A = NVL(:P, G.A))" << QStringList{"P"}
        << "SELECT * FROM F JOIN G ON (G.A IS NOT NULL)";

    // Everything else is left alone.
    const QStringList unchanged = {
        "SELECT * FROM F WHERE (A = NVL(:P, B))",
        "SELECT * FROM F WHERE (A = NVL(:P, A, C))",
        "SELECT * FROM F WHERE (A = NVL2(:P, A))",
        "SELECT * FROM F WHERE (A = NVL(:UNDECLARED, A))",
        "SELECT * FROM F WHERE (A = NVL(:P, A) AND B = 1)",
        "SELECT * FROM F WHERE A = NVL(:P, A)",
        "SELECT * FROM F WHERE (A = ISNULL(:P, A))",
        "SELECT * FROM F WHERE (\"A\" = NVL(:P, \"A\"))",
        "SELECT '(A = NVL(:P, A))' FROM F",
        "SELECT * FROM F -- WHERE (A = NVL(:P, A))",
        "SELECT * FROM F /* WHERE (A = NVL(:P, A)) */",
        // Under NOT, or as a value, a NULL column would not drop its row the same way.
        "SELECT * FROM F WHERE NOT (A = NVL(:P, A))",
        "SELECT * FROM F WHERE NOT ((A = NVL(:P, A)) AND B = 1)",
        "SELECT (A = NVL(:P, A)) AS X FROM F",
        "SELECT * FROM F WHERE COALESCE((A = NVL(:P, A)), TRUE)",
    };
    for (const QString& sql : unchanged) {
        QTest::newRow(qPrintable(QStringLiteral("unchanged: ") + sql))
            << sql << QStringList{"P"} << sql;
        QTest::newRow(qPrintable(QStringLiteral("unchanged with value: ") + sql))
            << sql << QStringList{"P=1"} << sql;
    }
}

void tst_StatementRewriter::defaultDialect()
{
    QFETCH(QString, sql);
    QFETCH(QStringList, params);
    QFETCH(QString, expected);
    const TParams p = paramsOf(params);
    const QString rewritten = TStatementRewriter::rewrite(sql, Dialect::Default, p);
    QCOMPARE(rewritten, expected);
    // Values stay bound: every marker left is one of the text's own.
    for (const QString& marker : TSqlText::markers(rewritten))
        QVERIFY(TSqlText::markers(sql).contains(marker));
}

void tst_StatementRewriter::otherDialectsKeepTheText()
{
    const QString sql = QStringLiteral("SELECT * FROM F WHERE (A = NVL(:P, A))");
    const TParams p = paramsOf({"P"});
    QCOMPARE(TStatementRewriter::rewrite(sql, Dialect::Oracle, p), sql);
    QCOMPARE(TStatementRewriter::rewrite(sql, Dialect::MSSQL, p), sql);
}

void tst_StatementRewriter::interBaseWidensTextMarkers_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("params");
    QTest::addColumn<QString>("expected");

    QTest::newRow("value of its own length")
        << "SELECT * FROM E WHERE (CDEMPRESA = :P_CDEMPRESA OR :P_TCDEMPRESA = 'T')"
        << QStringList{"P_CDEMPRESA=01xxxxxxxx", "P_TCDEMPRESA"}
        << "SELECT * FROM E WHERE (CDEMPRESA = CAST(:P_CDEMPRESA AS VARCHAR(10)) OR "
           "CAST(:P_TCDEMPRESA AS VARCHAR(1)) = 'T')";
    // A parameter row read elsewhere stays, its argument widened.
    QTest::newRow("procedure argument")
        << "SELECT P.PARAM FROM F, PARAM(:P) P WHERE (A = NVLSTR(P.PARAM, A))" << QStringList{"P="}
        << "SELECT P.PARAM FROM F, PARAM(CAST(:P AS VARCHAR(1))) P WHERE (A = NVLSTR(P.PARAM, A))";
    QTest::newRow("quotes, comments and casts hold no marker")
        << "SELECT ':P', \":P\" FROM F -- :P\nWHERE A = X::P /* :P */" << QStringList{"P=1"}
        << "SELECT ':P', \":P\" FROM F -- :P\nWHERE A = X::P /* :P */";
    QTest::newRow("undeclared marker")
        << "SELECT * FROM F WHERE A = :Q" << QStringList{"P=1"} << "SELECT * FROM F WHERE A = :Q";
}

void tst_StatementRewriter::interBaseWidensTextMarkers()
{
    QFETCH(QString, sql);
    QFETCH(QStringList, params);
    QFETCH(QString, expected);
    QCOMPARE(TStatementRewriter::rewrite(sql, Dialect::InterBase, paramsOf(params)), expected);

    // A date is no text and keeps its marker as it is.
    TParams dated;
    dated.Add(QStringLiteral("D")).SetAsDate(QDate(2024, 1, 31));
    const QString byDate = QStringLiteral("SELECT * FROM F WHERE DT >= :D");
    QCOMPARE(TStatementRewriter::rewrite(byDate, Dialect::InterBase, dated), byDate);
}

void tst_StatementRewriter::interBaseParamRows_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("params");
    QTest::addColumn<QString>("expected");

    const QString two = "SELECT C FROM F,\n  PARAM(:P) P,\n  PARAM(:Q) Q\nWHERE\n"
                        "  (A = NVLSTR(P.PARAM, A)) AND\n  (B = nvlstr( q.param ,b ))\nORDER BY C";
    QTest::newRow("values") << two << QStringList{"P=01", "Q=x "}
                            << "SELECT C FROM F\nWHERE\n  (A = CAST(:P AS VARCHAR(2))) AND\n"
                               "  (B = CAST(:Q AS VARCHAR(2)))\nORDER BY C";
    QTest::newRow("null and empty") << two << QStringList{"P", "Q="}
                                    << "SELECT C FROM F\nWHERE\n  (A IS NOT NULL) AND\n"
                                       "  (B IS NOT NULL)\nORDER BY C";
    QTest::newRow("first in the list, qualified column")
        << "SELECT * FROM PARAM(:P) P, F WHERE (F.A = NVLSTR(P.PARAM, F.A))" << QStringList{"P=T"}
        << "SELECT * FROM F WHERE (F.A = CAST(:P AS VARCHAR(1)))";
    QTest::newRow("only the rows every use allows")
        << "SELECT * FROM F, PARAM(:P) P, PARAM(:Q) Q WHERE (A = NVLSTR(P.PARAM, A)) AND "
           "(B = NVLSTR(Q.PARAM, C))"
        << QStringList{"P=1", "Q=2"}
        << "SELECT * FROM F, PARAM(CAST(:Q AS VARCHAR(1))) Q WHERE (A = CAST(:P AS VARCHAR(1))) "
           "AND (B = NVLSTR(Q.PARAM, C))";

    // Anything else keeps its parameter rows.
    const QStringList unchanged = {
        "SELECT P.PARAM FROM F, PARAM(:P) P WHERE (A = NVLSTR(P.PARAM, A))",
        "SELECT * FROM F, PARAM(:P) P WHERE NOT (A = NVLSTR(P.PARAM, A))",
        "SELECT * FROM F, PARAM(:P) P WHERE A = NVLSTR(P.PARAM, A)",
        "SELECT * FROM F, PARAM(:P) P WHERE (A = NVLSTR(P.PARAM, B))",
        "SELECT * FROM F, PARAM(:P) P WHERE (A = NVL(P.PARAM, A))",
        "SELECT * FROM F, PARAM(:U) P WHERE (A = NVLSTR(P.PARAM, A))",
        "SELECT * FROM F JOIN PARAM(:P) P ON 1 = 1 WHERE (A = NVLSTR(P.PARAM, A))",
        "SELECT * FROM F, PARAM(:P) P, PARAM(:P) P WHERE (A = NVLSTR(P.PARAM, A))",
        "SELECT * FROM F /* , PARAM(:Q) Q */, PARAM(:P) P WHERE (A = NVLSTR(Q.PARAM, A))",
        "SELECT '(A = NVLSTR(P.PARAM, A))' FROM F, PARAM(:P) P",
    };
    for (const QString& sql : unchanged)
        QTest::newRow(qPrintable(QStringLiteral("unchanged: ") + sql))
            << sql << QStringList{"P=1"}
            << QString(sql).replace(QLatin1String(":P)"), QLatin1String("CAST(:P AS VARCHAR(1)))"));
}

void tst_StatementRewriter::interBaseParamRows()
{
    QFETCH(QString, sql);
    QFETCH(QStringList, params);
    QFETCH(QString, expected);
    const QString rewritten =
        TStatementRewriter::rewrite(sql, Dialect::InterBase, paramsOf(params));
    QCOMPARE(rewritten, expected);
    for (const QString& marker : TSqlText::markers(rewritten))
        QVERIFY(TSqlText::markers(sql).contains(marker));
}

QTEST_GUILESS_MAIN(tst_StatementRewriter)
#include "tst_StatementRewriter.moc"
