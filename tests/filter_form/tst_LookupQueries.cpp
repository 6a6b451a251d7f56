#include "DatabaseFixture.h"
#include "LookupRows.h"
#include "TLookupQueries.h"

#include <QTest>
#include <algorithm>

using Rows = QList<QStringList>;

namespace {

const TDemoData::Scale kScale; // the fixture's rows

// Every FILIAL row the demo stores, the incomplete ones included.
QList<TDemoData::Branch> allBranches()
{
    QList<TDemoData::Branch> rows;
    for (int c = 0; c < kScale.companies; ++c)
        for (int j = 0; j < TDemoData::branchesOf(kScale, c); ++j)
            rows << TDemoData::branch(kScale, c, j);
    return rows + TDemoData::incompleteBranches();
}

bool unrestricted(const QString& value)
{
    return value.isEmpty(); // NULL or empty text
}

// What the branch text means: each set parameter restricts its column, and a NULL
// column equals nothing.
Rows expectedBranches(const QString& company, const QString& state, const QString& municipal,
                      const QString& code)
{
    Rows rows;
    for (const TDemoData::Branch& b : allBranches()) {
        if (b.company.isNull() || b.stateRegistration.isNull() ||
            b.municipalRegistration.isNull() || b.code.isNull())
            continue;
        if ((unrestricted(company) || b.company == company) &&
            (unrestricted(state) || b.stateRegistration == state) &&
            (unrestricted(municipal) || b.municipalRegistration == municipal) &&
            (unrestricted(code) || b.code == code))
            rows << QStringList{b.code, b.name};
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The text orders by branch code only, so rows of one code may come in any order.
void compareBranchRows(Rows actual, const Rows& expected)
{
    for (qsizetype i = 1; i < actual.size(); ++i)
        QVERIFY2(actual[i - 1][0] <= actual[i][0], "not in branch code order");
    std::sort(actual.begin(), actual.end());
    QCOMPARE(actual, expected);
}

Rows expectedCompanies(const QStringList& indexes)
{
    Rows rows;
    for (const QString& i : indexes) {
        const TDemoData::Company c = TDemoData::company(i.toInt());
        rows << QStringList{c.code, c.name};
    }
    return rows;
}

QStringList allCompanyIndexes()
{
    QStringList all;
    for (int c = 0; c < kScale.companies; ++c)
        all << QString::number(c);
    return all;
}

Rows expectedRegistrations(bool state, int company)
{
    Rows rows;
    for (int k = 0; k < kScale.registrations; ++k)
        rows << QStringList{state ? TDemoData::stateRegistration(company, k)
                                  : TDemoData::municipalRegistration(company, k)};
    std::sort(rows.begin(), rows.end());
    return rows;
}

QString nullOr(const QString& name, const QString& value)
{
    return value.isNull() ? name : name + u'=' + value;
}

} // namespace

class tst_LookupQueries : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data();
    void initTestCase();
    void dialectText();
    void companies_data();
    void companies();
    void registrations_data();
    void registrations();
    void branches_data();
    void branches();
    void operationTypes();

private:
    DatabaseFixture m_fixture;
};

// Every test runs once per engine, on the same rows.
void tst_LookupQueries::initTestCase_data()
{
    DatabaseFixture::addEngineRows();
}

void tst_LookupQueries::initTestCase()
{
    m_fixture.open();
}

void tst_LookupQueries::dialectText()
{
    FIS_FETCH_DATABASE(m_fixture, module);
    dtmDBGeral = module;
    QObject owner;
    TLookupQueries q(&owner);
    const bool firebird = engine == QLatin1String("firebird");

    QCOMPARE(q.qryFilial->activeText(),
             (firebird ? q.qryFilial->SQL_IB() : q.qryFilial->SQL()).join(u'\n'));
    // Without a text of their own the others run the default one everywhere.
    for (TADOIBQuery* query : {q.qryEmpresa, q.qryInscEstad, q.qryInscMuni, q.qryTpOperacao})
        QCOMPARE(query->activeText(), query->SQL().join(u'\n'));

    // The statement sent: NVL (on Firebird the PARAM rows and NVLSTR) written out, and
    // on Firebird texts cast to their own length.
    LookupRows::setParams(q.qryFilial,
                          {"P_CDEMPRESA=01", "P_CDINSCESTA", "P_CDINSCMUNI=", "P_CDFILIAL"});
    const QString sent = q.qryFilial->statementText();
    if (firebird) {
        QVERIFY(!sent.contains(QLatin1String("PARAM")));
        QVERIFY(!sent.contains(QLatin1String("NVLSTR(")));
        QVERIFY(sent.contains(QLatin1String("(CDEMPRESA = CAST(:P_CDEMPRESA AS VARCHAR(2)))")));
        QVERIFY(sent.contains(QLatin1String("(CDINSCMUNI IS NOT NULL)")));
    } else {
        QVERIFY(!sent.contains(QLatin1String("NVL(")));
        QVERIFY(sent.contains(QLatin1String("(CDEMPRESA = :P_CDEMPRESA)")));
        QVERIFY(sent.contains(QLatin1String("(CDINSCMUNI IS NOT NULL)")));
    }
}

void tst_LookupQueries::companies_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("all");
    QTest::addColumn<QStringList>("expected"); // company indexes

    const QString null;
    const QStringList every = allCompanyIndexes();
    {
        auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };
        row("switch, code NULL: every company in code order") << null << "T" << every;
        row("switch, a company's code") << "03"
                                        << "T" << every;
        row("switch, an unknown code") << "99"
                                       << "T" << every;
        row("switch, empty code") << ""
                                  << "T" << every;
        row("switch, code T") << "T"
                              << "T" << every;
        row("code and switch NULL") << null << null << QStringList{};
        row("a code, switch NULL") << "03" << null << QStringList{"2"};
        row("unknown code") << "99" << null << QStringList{};
        row("empty code") << "" << null << QStringList{};
        row("T as a code") << "T" << null << QStringList{};
        row("switch other than T") << null << "t" << QStringList{};
    }
}

void tst_LookupQueries::companies()
{
    QFETCH(QString, code);
    QFETCH(QString, all);
    QFETCH(QStringList, expected);
    FIS_FETCH_DATABASE(m_fixture, module);
    dtmDBGeral = module;
    QObject owner;
    TLookupQueries q(&owner);
    QCOMPARE(
        LookupRows::open(q.qryEmpresa, {nullOr("P_CDEMPRESA", code), nullOr("P_TCDEMPRESA", all)}),
        expectedCompanies(expected));
}

void tst_LookupQueries::registrations_data()
{
    QTest::addColumn<bool>("state");
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("all");
    QTest::addColumn<Rows>("expected");

    const QString null;
    {
        for (const bool state : {true, false}) {
            auto row = [&](const char* name) -> QTestData& {
                const QString kind =
                    state ? QStringLiteral("state, ") : QStringLiteral("municipal, ");
                return QTest::newRow(qPrintable(kind + name)) << state;
            };
            auto reg = [&](int company, int k) {
                return state ? TDemoData::stateRegistration(company, k)
                             : TDemoData::municipalRegistration(company, k);
            };
            row("company NULL, switch") << null << null << "T" << Rows{};
            row("company empty, switch") << "" << null << "T" << Rows{};
            row("company T is a code") << "T" << null << "T" << Rows{};
            row("company T with a code") << "T" << reg(0, 0) << null << Rows{};
            row("list of a company") << "01" << null << "T" << expectedRegistrations(state, 0);
            row("list ignores the code")
                << "01" << reg(1, 0) << "T" << expectedRegistrations(state, 0);
            row("list of a company without branches")
                << TDemoData::company(kScale.companies - 1).code << null << "T"
                << expectedRegistrations(state, kScale.companies - 1);
            row("code of the company") << "02" << reg(1, 2) << null << Rows{{reg(1, 2)}};
            row("code of another company") << "01" << reg(1, 2) << null << Rows{};
            row("code NULL, switch NULL") << "02" << null << null << Rows{};
        }
    }
}

void tst_LookupQueries::registrations()
{
    QFETCH(bool, state);
    QFETCH(QString, company);
    QFETCH(QString, code);
    QFETCH(QString, all);
    QFETCH(Rows, expected);
    FIS_FETCH_DATABASE(m_fixture, module);
    dtmDBGeral = module;
    QObject owner;
    TLookupQueries q(&owner);
    const Rows rows = state ? LookupRows::open(q.qryInscEstad, {nullOr("P_CDEMPRESA", company),
                                                                nullOr("P_CDINSCESTA", code),
                                                                nullOr("P_TCDINSCESTA", all)})
                            : LookupRows::open(q.qryInscMuni, {nullOr("P_CDEMPRESA", company),
                                                               nullOr("P_CDINSCMUNI", code),
                                                               nullOr("P_TCDINSCMUNI", all)});
    QCOMPARE(rows, expected);
}

void tst_LookupQueries::branches_data()
{
    QTest::addColumn<QStringList>("values"); // company, state, municipal, branch

    const QString null;
    // A complete branch, and the values of the incomplete rows, whose NULL columns
    // must keep them out whatever is left unrestricted.
    const TDemoData::Branch b = TDemoData::branch(kScale, 1, 3);
    const TDemoData::Branch incomplete = TDemoData::incompleteBranches().at(1);
    const QList<QStringList> references = {
        {b.company, b.stateRegistration, b.municipalRegistration, b.code},
        {incomplete.company, TDemoData::stateRegistration(0, 0), incomplete.municipalRegistration,
         incomplete.code}};
    {
        for (int r = 0; r < references.size(); ++r) {
            // Every combination of set and unset, unset as NULL and as an empty text.
            for (int mask = 0; mask < 16; ++mask) {
                for (const QString& unset : {null, QStringLiteral("")}) {
                    QStringList values;
                    QString name = QStringLiteral("ref %1, set").arg(r);
                    for (int k = 0; k < 4; ++k) {
                        const bool set = mask & (1 << k);
                        values << (set ? references[r][k] : unset);
                        name += set ? QStringLiteral(" %1").arg(k) : QString();
                    }
                    name += unset.isNull() ? QStringLiteral(", rest NULL")
                                           : QStringLiteral(", rest empty");
                    QTest::newRow(qPrintable(name)) << values;
                }
            }
        }
        auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };
        row("only the company") << QStringList{"01", null, "", null};
        row("a company without branches")
            << QStringList{TDemoData::company(kScale.companies - 1).code, null, null, null};
        row("a code many companies use") << QStringList{null, null, null, "0001"};
        row("the branch with no state registration") << QStringList{null, null, null, "N002"};
        row("the branch with no company") << QStringList{null, null, null, "N001"};
        row("a blank is a value, not NULL") << QStringList{" ", null, null, null};
        for (int k = 0; k < 4; ++k) {
            QStringList values{null, null, null, null};
            values[k] = QStringLiteral("T");
            QTest::newRow(qPrintable(QStringLiteral("T as code %1").arg(k))) << values;
        }
        row("a registration of another company")
            << QStringList{"01", TDemoData::stateRegistration(1, 0), null, null};
    }
}

void tst_LookupQueries::branches()
{
    QFETCH(QStringList, values);
    FIS_FETCH_DATABASE(m_fixture, module);
    dtmDBGeral = module;
    QObject owner;
    TLookupQueries q(&owner);
    const Rows rows = LookupRows::open(
        q.qryFilial, {nullOr("P_CDEMPRESA", values[0]), nullOr("P_CDINSCESTA", values[1]),
                      nullOr("P_CDINSCMUNI", values[2]), nullOr("P_CDFILIAL", values[3])});
    compareBranchRows(rows, expectedBranches(values[0], values[1], values[2], values[3]));

    // The statement the query sent returns what the text itself returns; on Firebird the
    // one sent leaves PARAM and NVLSTR out, so that its index serves it.
    const Rows raw = LookupRows::raw(dtmDBGeral->adcGeral->database(), q.qryFilial->activeText(),
                                     q.qryFilial->Params(), {"CDFILIAL", "NMFILIAL"});
    compareBranchRows(raw, expectedBranches(values[0], values[1], values[2], values[3]));
    if (engine.startsWith(QLatin1String("firebird")))
        QVERIFY(!q.qryFilial->statementText().contains(QLatin1String("NVLSTR")));
}

void tst_LookupQueries::operationTypes()
{
    FIS_FETCH_DATABASE(m_fixture, module);
    dtmDBGeral = module;
    QObject owner;
    TLookupQueries q(&owner);
    Rows expected;
    for (const TDemoData::OperationType& t : TDemoData::operationTypes())
        expected << QStringList{t.direction, t.code, t.name, t.direction + t.code};
    std::sort(expected.begin(), expected.end());
    QCOMPARE(LookupRows::open(q.qryTpOperacao, {}), expected);
    QCOMPARE(q.qryTpOperacao->Query()->currentValue(QStringLiteral("IDMARCADO")).toString(),
             QStringLiteral(" "));
}

QTEST_MAIN(tst_LookupQueries)
#include "tst_LookupQueries.moc"
