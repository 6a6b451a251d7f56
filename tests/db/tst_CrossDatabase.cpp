// The same demo rows, functions and read-only guarantee on SQLite, PostgreSQL and
// Firebird, through the connections the host's data module opens.
#include "DatabaseFixture.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

namespace {

// Rows of a bound query, fields joined by "|", NULL as "<null>". Dates come back as
// ISO text on SQLite and as dates elsewhere, so both are written the same way.
QStringList rows(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {},
                 QString* error = nullptr)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    QStringList result;
    if (!q.prepare(sql)) {
        if (error)
            *error = q.lastError().text();
        return {QStringLiteral("prepare failed: ") + q.lastError().text()};
    }
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        if (error)
            *error = q.lastError().text();
        return {QStringLiteral("exec failed: ") + q.lastError().text()};
    }
    while (q.next()) {
        QStringList fields;
        for (int i = 0; i < q.record().count(); ++i) {
            const QVariant v = q.value(i);
            fields << (v.isNull()                              ? QStringLiteral("<null>")
                       : v.metaType().id() == QMetaType::QDate ? v.toDate().toString(Qt::ISODate)
                       : v.metaType().id() == QMetaType::QDateTime
                           ? v.toDate().toString(Qt::ISODate)
                           : v.toString());
        }
        result << fields.join(u'|');
    }
    return result;
}

const QVariant kNull = QVariant(QMetaType(QMetaType::QString));

} // namespace

class tst_CrossDatabase : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data();
    void initTestCase();

    void masterDataMatchesTheDemo();
    void documentsMatchTheDemo();
    void accentedTextRoundTrips();
    void rowsWithNullCodesAreStored();
    void writesAreRefused_data();
    void writesAreRefused();
    void nvlTakesEmptyTextForNull_data();
    void nvlTakesEmptyTextForNull();
    void paramYieldsOneRowWithItsArgument_data();
    void paramYieldsOneRowWithItsArgument();
    void emptyFilterRestrictsNothing();

private:
    QString nvlQuery(const QString& engine) const;
    DatabaseFixture m_fixture;
};

void tst_CrossDatabase::initTestCase_data()
{
    DatabaseFixture::addEngineRows();
}

void tst_CrossDatabase::initTestCase()
{
    m_fixture.open();
}

QString tst_CrossDatabase::nvlQuery(const QString& engine) const
{
    return m_fixture.engineOf(engine) == TDemoData::Engine::Firebird
               ? QStringLiteral("SELECT NVLSTR(?, ?) FROM RDB$DATABASE")
               : QStringLiteral("SELECT NVL(?, ?) FROM EMPRESA WHERE CDEMPRESA = '01'");
}

void tst_CrossDatabase::masterDataMatchesTheDemo()
{
    FIS_FETCH_DATABASE(m_fixture, module);
    const QSqlDatabase db = module->adcGeral->database();
    const TDemoData::Scale s;

    QStringList companies, states, municipals, branches, types;
    for (int c = 0; c < s.companies; ++c) {
        const TDemoData::Company company = TDemoData::company(c);
        companies << company.code + u'|' + company.name;
        for (int k = 0; k < s.registrations; ++k) {
            states << company.code + u'|' + TDemoData::stateRegistration(c, k);
            municipals << company.code + u'|' + TDemoData::municipalRegistration(c, k);
        }
        for (int j = 0; j < TDemoData::branchesOf(s, c); ++j) {
            const TDemoData::Branch b = TDemoData::branch(s, c, j);
            branches << QStringList{b.company, b.stateRegistration, b.municipalRegistration, b.code,
                                    b.name}
                            .join(u'|');
        }
    }
    for (const TDemoData::OperationType& t : TDemoData::operationTypes())
        types << QStringList{t.direction, t.code, t.name}.join(u'|');

    QCOMPARE(rows(db, "SELECT CDEMPRESA, NMRAZSOCEMPR FROM EMPRESA ORDER BY CDEMPRESA"), companies);
    QCOMPARE(rows(db, "SELECT CDEMPRESA, CDINSCESTA FROM INSCRESTAD ORDER BY 1, 2"), states);
    QCOMPARE(rows(db, "SELECT CDEMPRESA, CDINSCMUNI FROM INSCRMUNICIP ORDER BY 1, 2"), municipals);
    QCOMPARE(rows(db, "SELECT CDEMPRESA, CDINSCESTA, CDINSCMUNI, CDFILIAL, NMFILIAL FROM FILIAL "
                      "WHERE CDEMPRESA IS NOT NULL AND CDINSCESTA IS NOT NULL AND CDINSCMUNI IS "
                      "NOT NULL AND CDFILIAL IS NOT NULL ORDER BY CDEMPRESA, CDFILIAL"),
             branches);
    QCOMPARE(rows(db, "SELECT IDENTRSAIDOP, CDTIPOOPER, NMTIPOOPER FROM TIPOOPERAC "
                      "ORDER BY IDENTRSAIDOP, CDTIPOOPER"),
             types);
}

void tst_CrossDatabase::documentsMatchTheDemo()
{
    FIS_FETCH_DATABASE(m_fixture, module);
    const QSqlDatabase db = module->adcGeral->database();
    const TDemoData::Scale s;

    qint64 value = 0, withheld = 0;
    int march = 0;
    for (int i = 0; i < s.documents; ++i) {
        const TDemoData::Document d = TDemoData::document(s, i);
        value += d.valueCents;
        withheld += d.totalWithheldCents();
        march += d.date.month() == 3 ? 1 : 0;
    }
    const TDemoData::Document first = TDemoData::document(s, 0);
    // TRIM: Qt's Firebird driver reads CHAR(1) through a UTF8 attachment, four bytes
    // wide, and hands back "S   ".
    const QString expected = QStringList{first.branch.company,
                                         first.branch.code,
                                         first.direction,
                                         first.operationType,
                                         first.date.toString(Qt::ISODate),
                                         first.partnerCode,
                                         first.partnerName}
                                 .join(u'|');
    QCOMPARE(
        rows(db,
             "SELECT CDEMPRESA, CDFILIAL, TRIM(IDENTRSAIDOP), CDTIPOOPER, DTENTRADA, CDCLIFOR, "
             "NMCLIFOR FROM DOCFISCAL WHERE NRDOCUMENTO = ?",
             QVariantList{first.number}),
        QStringList(expected));

    // Amounts are exact to the cent; SQLite holds them as doubles, hence the rounding.
    QSqlQuery sums(db);
    QVERIFY2(sums.exec("SELECT COUNT(*), SUM(VLDOCUMENTO), SUM(VLIRRF + VLINSS + VLISS + VLPIS + "
                       "VLCOFINS + VLCSLL) FROM DOCFISCAL") &&
                 sums.next(),
             qPrintable(sums.lastError().text()));
    QCOMPARE(sums.value(0).toInt(), s.documents);
    QCOMPARE(qRound64(sums.value(1).toDouble() * 100), value);
    QCOMPARE(qRound64(sums.value(2).toDouble() * 100), withheld);

    // A date range bound as dates selects the same documents on every engine.
    QCOMPARE(
        rows(db, "SELECT COUNT(*) FROM DOCFISCAL WHERE CDEMPRESA = ? AND DTENTRADA BETWEEN ? AND ?",
             {QStringLiteral("01"), QDate(2024, 1, 1), QDate(2024, 12, 31)}),
        rows(db, "SELECT COUNT(*) FROM DOCFISCAL WHERE CDEMPRESA = '01'"));
    QCOMPARE(rows(db, "SELECT COUNT(*) FROM DOCFISCAL WHERE DTENTRADA BETWEEN ? AND ?",
                  {QDate(2024, 3, 1), QDate(2024, 3, 31)}),
             QStringList{QString::number(march)});
}

void tst_CrossDatabase::accentedTextRoundTrips()
{
    FIS_FETCH_DATABASE(m_fixture, module);
    const QSqlDatabase db = module->adcGeral->database();
    QCOMPARE(rows(db, "SELECT NMFILIAL FROM FILIAL WHERE CDEMPRESA = '01' AND CDFILIAL = '0001'"),
             QStringList{"São Paulo"});
    QCOMPARE(rows(db, "SELECT NMRAZSOCEMPR FROM EMPRESA WHERE CDEMPRESA = '04'"),
             QStringList{"Atacadão Nordeste Comércio e Representações Ltda."});
    // Accents in a bound value reach the database intact and match stored ones.
    QCOMPARE(rows(db,
                  "SELECT IDENTRSAIDOP, CDTIPOOPER FROM TIPOOPERAC WHERE NMTIPOOPER = ? "
                  "ORDER BY IDENTRSAIDOP",
                  {QStringLiteral("Retenções")}),
             (QStringList{"E|04", "S|04"}));
    QCOMPARE(rows(db, "SELECT NMTIPOOPER FROM TIPOOPERAC WHERE IDENTRSAIDOP = ? AND CDTIPOOPER = ?",
                  {QStringLiteral("E"), QStringLiteral("01")}),
             QStringList{"Compra para comercialização"});
    // One character each, not the two bytes of UTF-8: "João Pessoa" is eleven letters.
    const QString length =
        m_fixture.engineOf(engine) == TDemoData::Engine::SQLite ? "LENGTH" : "CHAR_LENGTH";
    QCOMPARE(rows(db,
                  QStringLiteral("SELECT %1(NMFILIAL) FROM FILIAL WHERE NMFILIAL = ?").arg(length),
                  {QStringLiteral("João Pessoa")}),
             QStringList{"11"});
}

void tst_CrossDatabase::rowsWithNullCodesAreStored()
{
    FIS_FETCH_DATABASE(m_fixture, module);
    QCOMPARE(rows(module->adcGeral->database(),
                  "SELECT NMFILIAL FROM FILIAL WHERE CDEMPRESA IS NULL OR CDINSCESTA IS NULL OR "
                  "CDINSCMUNI IS NULL OR CDFILIAL IS NULL ORDER BY NMFILIAL"),
             (QStringList{"Filial sem código", "Filial sem empresa",
                          "Filial sem inscrição estadual", "Filial sem inscrição municipal"}));
}

void tst_CrossDatabase::writesAreRefused_data()
{
    QTest::addColumn<QString>("statement");
    QTest::newRow("insert") << "INSERT INTO EMPRESA (CDEMPRESA, NMRAZSOCEMPR) VALUES ('77', 'X')";
    QTest::newRow("update") << "UPDATE FILIAL SET NMFILIAL = 'X'";
    QTest::newRow("delete") << "DELETE FROM TIPOOPERAC";
    QTest::newRow("create table") << "CREATE TABLE INTRUSO (A INTEGER)";
    QTest::newRow("drop table") << "DROP TABLE DOCFISCAL";
}

void tst_CrossDatabase::writesAreRefused()
{
    FIS_FETCH_DATABASE(m_fixture, module);
    QFETCH(QString, statement);
    QSqlDatabase db = module->adcGeral->database();
    QSqlQuery q(db);
    QVERIFY2(!q.exec(statement), qPrintable(statement));
    QVERIFY(!q.lastError().text().isEmpty());
    // Inside an explicit transaction too, and nothing changed afterwards.
    if (db.transaction()) {
        QSqlQuery again(db);
        QVERIFY(!again.exec(statement));
        db.rollback();
    }
    QCOMPARE(rows(db, "SELECT COUNT(*) FROM EMPRESA"),
             QStringList{QString::number(TDemoData::Scale().companies)});
    QCOMPARE(rows(db, "SELECT NMFILIAL FROM FILIAL WHERE CDEMPRESA = '01' AND CDFILIAL = '0002'"),
             QStringList{"Campinas"});
    QCOMPARE(rows(db, "SELECT COUNT(*) FROM TIPOOPERAC"),
             QStringList{QString::number(TDemoData::operationTypes().size())});
    QCOMPARE(rows(db, "SELECT COUNT(*) FROM DOCFISCAL"),
             QStringList{QString::number(TDemoData::Scale().documents)});
}

void tst_CrossDatabase::nvlTakesEmptyTextForNull_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("null") << kNull << "fallback";
    QTest::newRow("empty") << QVariant(QString("")) << "fallback";
    QTest::newRow("blank") << QVariant(QString(" ")) << " ";
    QTest::newRow("code") << QVariant(QString("01")) << "01";
    QTest::newRow("accented") << QVariant(QString("São Paulo")) << "São Paulo";
}

void tst_CrossDatabase::nvlTakesEmptyTextForNull()
{
    FIS_FETCH_DATABASE(m_fixture, module);
    QFETCH(QVariant, value);
    QFETCH(QString, expected);
    QCOMPARE(rows(module->adcGeral->database(), nvlQuery(engine), {value, QString("fallback")}),
             QStringList{expected});
}

void tst_CrossDatabase::paramYieldsOneRowWithItsArgument_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("null") << kNull << "<null>|fallback";
    QTest::newRow("empty") << QVariant(QString("")) << "|fallback";
    QTest::newRow("code") << QVariant(QString("0001")) << "0001|0001";
}

void tst_CrossDatabase::paramYieldsOneRowWithItsArgument()
{
    FIS_FETCH_DATABASE(m_fixture, module);
    if (m_fixture.engineOf(engine) != TDemoData::Engine::Firebird)
        QSKIP("PARAM exists on Firebird only");
    QFETCH(QVariant, value);
    QFETCH(QString, expected);
    QCOMPARE(rows(module->adcGeral->database(),
                  "SELECT P_CDFILIAL.PARAM, NVLSTR(P_CDFILIAL.PARAM, 'fallback') FROM "
                  "PARAM(?) P_CDFILIAL",
                  {value}),
             QStringList{expected});
}

void tst_CrossDatabase::emptyFilterRestrictsNothing()
{
    FIS_FETCH_DATABASE(m_fixture, module);
    const QSqlDatabase db = module->adcGeral->database();
    const bool firebird = m_fixture.engineOf(engine) == TDemoData::Engine::Firebird;
    const QString sql =
        firebird
            ? QStringLiteral("SELECT COUNT(*) FROM FILIAL, PARAM(?) P_CDEMPRESA "
                             "WHERE CDEMPRESA = NVLSTR(P_CDEMPRESA.PARAM, CDEMPRESA)")
            : QStringLiteral("SELECT COUNT(*) FROM FILIAL WHERE CDEMPRESA = NVL(?, CDEMPRESA)");
    const QStringList withCompany =
        rows(db, "SELECT COUNT(*) FROM FILIAL WHERE CDEMPRESA IS NOT NULL");
    QCOMPARE(rows(db, sql, {QString("")}), withCompany);
    QCOMPARE(rows(db, sql, {kNull}), withCompany);
    QCOMPARE(rows(db, sql, {QString("02")}),
             QStringList{QString::number(TDemoData::branchesOf(TDemoData::Scale(), 1))});
}

QTEST_GUILESS_MAIN(tst_CrossDatabase)
#include "tst_CrossDatabase.moc"
