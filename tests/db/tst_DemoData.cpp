// The demo generator and loader, on a writable in-memory SQLite database.
#include "EFrameworkError.h"
#include "TDemoData.h"
#include "TSqlScript.h"
#include "TestDatabase.h"

#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

namespace {

QStringList dump(const QSqlDatabase& db, const QString& sql)
{
    QStringList rows;
    QSqlQuery q(db);
    if (!q.exec(sql))
        return {QStringLiteral("error: ") + sql};
    while (q.next()) {
        QStringList fields;
        for (int i = 0; i < q.record().count(); ++i)
            fields << (q.isNull(i) ? QStringLiteral("<null>") : q.value(i).toString());
        rows << fields.join(u'|');
    }
    return rows;
}

qint64 count(const QSqlDatabase& db, const QString& table)
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM ") + table) && q.next()
               ? q.value(0).toLongLong()
               : -1;
}

// Odd sizes, so every table ends in a partial batch.
TDemoData::Scale oddScale()
{
    TDemoData::Scale s;
    s.companies = 7;
    s.registrations = 5;
    s.branches = 601;
    s.documents = 517;
    return s;
}

} // namespace

class tst_DemoData : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scriptSplitting_data();
    void scriptSplitting();
    void everySchemaDefersItsIndexes_data();
    void everySchemaDefersItsIndexes();
    void loadFillsEveryTableAtTheScale();
    void branchesUseTheirCompanysRegistrations();
    void documentsPointAtRealRows();
    void branchCodesStayFourCharactersAndUnique();
    void hundredCompaniesHaveDistinctCodes();
    void scalesThatCannotBeHonouredAreRefused_data();
    void scalesThatCannotBeHonouredAreRefused();
    void secondLoadIntoTheSameDatabaseFails();
};

void tst_DemoData::scriptSplitting_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("plain") << "CREATE TABLE A (X INT);\n\nINSERT INTO A VALUES (1) ;"
                           << QStringList{"CREATE TABLE A (X INT)", "INSERT INTO A VALUES (1)"};
    QTest::newRow("terminator in quotes and comments")
        << "-- a; comment\nSELECT 'a;b', \"c;d\" /* e; */ FROM T;"
        << QStringList{"SELECT 'a;b', \"c;d\"   FROM T"};
    QTest::newRow("doubled quote") << "SELECT 'it''s; fine' FROM T; SELECT 2;"
                                   << QStringList{"SELECT 'it''s; fine' FROM T", "SELECT 2"};
    QTest::newRow("dollar quote")
        << "CREATE FUNCTION F() RETURNS INT AS $$ SELECT 1; $$ LANGUAGE SQL;\nSELECT $1;"
        << QStringList{"CREATE FUNCTION F() RETURNS INT AS $$ SELECT 1; $$ LANGUAGE SQL",
                       "SELECT $1"};
    QTest::newRow("set term")
        << "SET TERM ^ ;\nCREATE PROCEDURE P AS BEGIN X = 1; SUSPEND; END^\nSET TERM ; ^\nSELECT 1;"
        << QStringList{"CREATE PROCEDURE P AS BEGIN X = 1; SUSPEND; END", "SELECT 1"};
    QTest::newRow("no final terminator") << "SELECT 1" << QStringList{"SELECT 1"};
}

void tst_DemoData::scriptSplitting()
{
    QFETCH(QString, script);
    QFETCH(QStringList, expected);
    QCOMPARE(TSqlScript::statements(script), expected);
}

void tst_DemoData::everySchemaDefersItsIndexes_data()
{
    QTest::addColumn<int>("engine");
    QTest::newRow("sqlite") << int(TDemoData::Engine::SQLite);
    QTest::newRow("postgresql") << int(TDemoData::Engine::PostgreSQL);
    QTest::newRow("firebird") << int(TDemoData::Engine::Firebird);
}

void tst_DemoData::everySchemaDefersItsIndexes()
{
    QFETCH(int, engine);
    const QStringList statements =
        TSqlScript::statements(TDemoData::schema(TDemoData::Engine(engine)));
    QStringList tables, indexes;
    for (const QString& s : statements) {
        if (s.startsWith(QLatin1String("CREATE TABLE")))
            tables << s.section(u' ', 2, 2);
        if (TSqlScript::isIndexStatement(s))
            indexes << s.section(u' ', 2, 2);
    }
    QCOMPARE(tables, (QStringList{"EMPRESA", "INSCRESTAD", "INSCRMUNICIP", "FILIAL", "TIPOOPERAC",
                                  "DOCFISCAL"}));
    QCOMPARE(indexes, (QStringList{"IX_FILIAL_CDFILIAL", "IX_FILIAL_EMPRESA_FILIAL",
                                   "IX_FILIAL_EMPRESA_INSCR", "IX_DOCFISCAL_EMPRESA_DATA"}));
    // The branch columns must take NULL: no NOT NULL and no key on FILIAL.
    const QString filial = statements.filter(QStringLiteral("CREATE TABLE FILIAL")).value(0);
    QVERIFY(!filial.contains(QLatin1String("NOT NULL")));
    QVERIFY(!filial.contains(QLatin1String("KEY")));
}

void tst_DemoData::loadFillsEveryTableAtTheScale()
{
    TestDatabase test({});
    QSqlDatabase db = QSqlDatabase::database(test.connectionName());
    const TDemoData::Scale s = oddScale();
    QStringList tables;
    TDemoData::create(db, s, [&](const QString& table, qint64, qint64) { tables << table; });

    QCOMPARE(count(db, "EMPRESA"), 7);
    QCOMPARE(count(db, "INSCRESTAD"), 35);
    QCOMPARE(count(db, "INSCRMUNICIP"), 35);
    QCOMPARE(count(db, "FILIAL"), 601 + TDemoData::incompleteBranches().size());
    QCOMPARE(count(db, "TIPOOPERAC"), TDemoData::operationTypes().size());
    QCOMPARE(count(db, "DOCFISCAL"), 517);
    QCOMPARE(
        dump(db, "SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND name LIKE 'IX_%'"),
        QStringList{"4"});
    // One transaction per table, then the indexes.
    QCOMPARE(tables, (QStringList{"EMPRESA", "INSCRESTAD", "INSCRMUNICIP", "FILIAL", "TIPOOPERAC",
                                  "DOCFISCAL", QString()}));

    // Rows stored as generated, NULL codes included.
    QStringList expected;
    for (int c = 0; c < s.companies; ++c)
        for (int j = 0; j < TDemoData::branchesOf(s, c); ++j) {
            const TDemoData::Branch b = TDemoData::branch(s, c, j);
            expected << QStringList{b.company, b.stateRegistration, b.municipalRegistration, b.code,
                                    b.name}
                            .join(u'|');
        }
    for (const TDemoData::Branch& b : TDemoData::incompleteBranches()) {
        QStringList fields;
        for (const QString& f :
             {b.company, b.stateRegistration, b.municipalRegistration, b.code, b.name})
            fields << (f.isNull() ? QStringLiteral("<null>") : f);
        expected << fields.join(u'|');
    }
    QCOMPARE(dump(db, "SELECT CDEMPRESA, CDINSCESTA, CDINSCMUNI, CDFILIAL, NMFILIAL FROM FILIAL "
                      "ORDER BY rowid"),
             expected);
}

void tst_DemoData::branchesUseTheirCompanysRegistrations()
{
    TestDatabase test({});
    QSqlDatabase db = QSqlDatabase::database(test.connectionName());
    TDemoData::create(db, oddScale(), {});
    QCOMPARE(dump(db, "SELECT COUNT(*) FROM FILIAL F WHERE F.CDEMPRESA IS NOT NULL AND "
                      "F.CDINSCESTA IS NOT NULL AND NOT EXISTS (SELECT 1 FROM INSCRESTAD I "
                      "WHERE I.CDEMPRESA = F.CDEMPRESA AND I.CDINSCESTA = F.CDINSCESTA)"),
             QStringList{"0"});
    QCOMPARE(dump(db, "SELECT COUNT(*) FROM FILIAL F WHERE F.CDEMPRESA IS NOT NULL AND "
                      "F.CDINSCMUNI IS NOT NULL AND NOT EXISTS (SELECT 1 FROM INSCRMUNICIP I "
                      "WHERE I.CDEMPRESA = F.CDEMPRESA AND I.CDINSCMUNI = F.CDINSCMUNI)"),
             QStringList{"0"});
    // The filters have something to choose from: one company's branches span several
    // registration pairs, and one pair holds more than one branch.
    QVERIFY(dump(db, "SELECT COUNT(DISTINCT CDINSCESTA || CDINSCMUNI) FROM FILIAL "
                     "WHERE CDEMPRESA = '01'")
                .value(0)
                .toInt() > 1);
    QVERIFY(!dump(db, "SELECT 1 FROM FILIAL WHERE CDEMPRESA IS NOT NULL GROUP BY CDEMPRESA, "
                      "CDINSCESTA, CDINSCMUNI HAVING COUNT(*) > 1")
                 .isEmpty());
}

void tst_DemoData::documentsPointAtRealRows()
{
    TestDatabase test({});
    QSqlDatabase db = QSqlDatabase::database(test.connectionName());
    TDemoData::create(db);
    QCOMPARE(dump(db, "SELECT COUNT(*) FROM DOCFISCAL D WHERE NOT EXISTS (SELECT 1 FROM FILIAL F "
                      "WHERE F.CDEMPRESA = D.CDEMPRESA AND F.CDINSCESTA = D.CDINSCESTA AND "
                      "F.CDINSCMUNI = D.CDINSCMUNI AND F.CDFILIAL = D.CDFILIAL)"),
             QStringList{"0"});
    QCOMPARE(dump(db, "SELECT COUNT(*) FROM DOCFISCAL D WHERE NOT EXISTS (SELECT 1 FROM "
                      "TIPOOPERAC T WHERE T.IDENTRSAIDOP = D.IDENTRSAIDOP AND "
                      "T.CDTIPOOPER = D.CDTIPOOPER)"),
             QStringList{"0"});
    QCOMPARE(dump(db, "SELECT MIN(DTENTRADA) >= '2024-01-01', MAX(DTENTRADA) <= '2024-12-31', "
                      "COUNT(DISTINCT IDENTRSAIDOP), COUNT(DISTINCT NRDOCUMENTO) FROM DOCFISCAL"),
             QStringList{"1|1|2|300"});
    // Withholding only on the withholding and service types; the withholding types all carry it.
    QCOMPARE(dump(db, "SELECT COUNT(*) FROM DOCFISCAL WHERE VLIRRF + VLINSS + VLISS + VLPIS + "
                      "VLCOFINS + VLCSLL <> 0 AND CDTIPOOPER NOT IN "
                      "('04', '06')"),
             QStringList{"0"});
    QCOMPARE(dump(db, "SELECT COUNT(*) FROM DOCFISCAL WHERE VLISS = 0 AND CDTIPOOPER = '04'"),
             QStringList{"0"});
    // A textbook CNPJ: 11.222.333/0001-81.
    QCOMPARE(dump(db, "SELECT DISTINCT CDCLIFOR FROM DOCFISCAL WHERE NMCLIFOR = 'Mercado Bom "
                      "Preço Ltda.'"),
             QStringList{"11222333000181"});
}

void tst_DemoData::branchCodesStayFourCharactersAndUnique()
{
    TDemoData::Scale s;
    s.companies = 1;
    s.registrations = 1;
    s.branches = 9999 + 40;
    s.documents = 0;
    QSet<QString> codes;
    for (int j = 0; j < s.branches; ++j) {
        const QString code = TDemoData::branch(s, 0, j).code;
        QCOMPARE(code.size(), 4);
        QCOMPARE(code, code.toUpper());
        codes.insert(code);
    }
    QCOMPARE(codes.size(), s.branches);
    QCOMPARE(TDemoData::branch(s, 0, 9998).code, QStringLiteral("9999"));
    QCOMPARE(TDemoData::branch(s, 0, 9999).code, QStringLiteral("A000"));
    QCOMPARE(TDemoData::branch(s, 0, 9999 + 36).code, QStringLiteral("A010"));
}

void tst_DemoData::hundredCompaniesHaveDistinctCodes()
{
    QSet<QString> codes, names;
    for (int c = 0; c < 100; ++c) {
        const TDemoData::Company company = TDemoData::company(c);
        QCOMPARE(company.code.size(), 2);
        QVERIFY(company.name.size() <= 80);
        codes.insert(company.code);
        names.insert(company.name);
    }
    QCOMPARE(codes.size(), 100);
    QCOMPARE(names.size(), 100);
}

void tst_DemoData::scalesThatCannotBeHonouredAreRefused_data()
{
    QTest::addColumn<int>("companies");
    QTest::addColumn<int>("registrations");
    QTest::addColumn<int>("branches");
    QTest::addColumn<int>("documents");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("benchmark") << 100 << 1000 << 1000000 << 1000 << true;
    QTest::newRow("101 companies") << 101 << 1 << 0 << 0 << false;
    QTest::newRow("no registrations") << 1 << 0 << 0 << 0 << false;
    QTest::newRow("documents without branches") << 1 << 1 << 0 << 1 << false;
    QTest::newRow("codes exhausted") << 1 << 1 << 9999 + 26 * 36 * 36 * 36 + 1 << 0 << false;
    QTest::newRow("last code") << 1 << 1 << 9999 + 26 * 36 * 36 * 36 << 0 << true;
}

void tst_DemoData::scalesThatCannotBeHonouredAreRefused()
{
    QFETCH(int, companies);
    QFETCH(int, registrations);
    QFETCH(int, branches);
    QFETCH(int, documents);
    QFETCH(bool, accepted);
    TDemoData::Scale s;
    s.companies = companies;
    s.registrations = registrations;
    s.branches = branches;
    s.documents = documents;
    QCOMPARE(TDemoData::checkScale(s).isEmpty(), accepted);
    if (!accepted) {
        TestDatabase test({});
        QSqlDatabase db = QSqlDatabase::database(test.connectionName());
        QVERIFY_THROWS_EXCEPTION(EFrameworkError, TDemoData::create(db, s, {}));
        QCOMPARE(dump(db, "SELECT COUNT(*) FROM sqlite_master"), QStringList{"0"});
    }
}

void tst_DemoData::secondLoadIntoTheSameDatabaseFails()
{
    TestDatabase test({});
    QSqlDatabase db = QSqlDatabase::database(test.connectionName());
    TDemoData::create(db);
    try {
        TDemoData::create(db);
        QFAIL("a second load went through");
    } catch (const EFrameworkError& e) {
        QVERIFY2(e.message().contains(QLatin1String("EMPRESA")), qPrintable(e.message()));
    }
    QCOMPARE(count(db, "EMPRESA"), TDemoData::Scale().companies);
}

QTEST_GUILESS_MAIN(tst_DemoData)
#include "tst_DemoData.moc"
