#include "DatabaseFixture.h"
#include "EFrameworkError.h"
#include "LookupRows.h"
#include "TLookupQueries.h"

#include <QHash>
#include <QTest>

namespace {

struct Use
{
    const char* name;
    TADOIBQuery* TLookupQueries::*query;
    QStringList settings; // "%1" stands for the value under test
};

// Each parameter of each lookup, the others as a check or a list sets them.
const QList<Use>& uses()
{
    static const QList<Use> all = {
        {"company check", &TLookupQueries::qryEmpresa, {"P_CDEMPRESA=%1", "P_TCDEMPRESA"}},
        {"state registration check",
         &TLookupQueries::qryInscEstad,
         {"P_CDEMPRESA=01", "P_CDINSCESTA=%1", "P_TCDINSCESTA"}},
        {"state registration list",
         &TLookupQueries::qryInscEstad,
         {"P_CDEMPRESA=%1", "P_CDINSCESTA", "P_TCDINSCESTA=T"}},
        {"municipal registration check",
         &TLookupQueries::qryInscMuni,
         {"P_CDEMPRESA=01", "P_CDINSCMUNI=%1", "P_TCDINSCMUNI"}},
        {"municipal registration list",
         &TLookupQueries::qryInscMuni,
         {"P_CDEMPRESA=%1", "P_CDINSCMUNI", "P_TCDINSCMUNI=T"}},
        {"branch by company",
         &TLookupQueries::qryFilial,
         {"P_CDEMPRESA=%1", "P_CDINSCESTA", "P_CDINSCMUNI", "P_CDFILIAL"}},
        {"branch by state registration",
         &TLookupQueries::qryFilial,
         {"P_CDEMPRESA", "P_CDINSCESTA=%1", "P_CDINSCMUNI", "P_CDFILIAL"}},
        {"branch by municipal registration",
         &TLookupQueries::qryFilial,
         {"P_CDEMPRESA", "P_CDINSCESTA", "P_CDINSCMUNI=%1", "P_CDFILIAL"}},
        {"branch check",
         &TLookupQueries::qryFilial,
         {"P_CDEMPRESA=01", "P_CDINSCESTA", "P_CDINSCMUNI", "P_CDFILIAL=%1"}},
    };
    return all;
}

QString tooLongMessage()
{
    return QStringLiteral("O valor informado em '%1' é longo demais para o banco de dados (mais "
                          "de 255 caracteres).");
}

QStringList filled(const QStringList& settings, const QString& value)
{
    QStringList out;
    for (const QString& s : settings)
        out << (s.endsWith(QLatin1String("%1")) ? s.left(s.size() - 2) + value : s);
    return out;
}

} // namespace

class tst_HostileInput : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data();
    void initTestCase();
    void findsNothing_data();
    void findsNothing();
    void refusedBeforeRunning_data();
    void refusedBeforeRunning();
    void nothingChanged();

private:
    DatabaseFixture m_fixture;
};

// Every test runs once per engine, on the same rows.
void tst_HostileInput::initTestCase_data()
{
    DatabaseFixture::addEngineRows();
}

void tst_HostileInput::initTestCase()
{
    m_fixture.open();
}

void tst_HostileInput::findsNothing_data()
{
    QTest::addColumn<int>("use");
    QTest::addColumn<QString>("value");

    const QString company = TDemoData::company(0).code;
    const QString state = TDemoData::stateRegistration(0, 0);
    const QString branch = TDemoData::branch(TDemoData::Scale(), 0, 0).code;
    const QStringList values = {
        company + u'\'',
        QStringLiteral("' OR '1'='1"),
        company + QStringLiteral("' OR 'T'='T"),
        company + QStringLiteral("' --"),
        QStringLiteral("--"),
        company + QStringLiteral("; DELETE FROM EMPRESA"),
        QStringLiteral("'; DROP TABLE FILIAL; --"),
        QStringLiteral("%"),
        company.left(1) + u'%',
        QStringLiteral("_"),
        QStringLiteral("__"),
        QStringLiteral("____"),
        company.left(1) + u'_',
        QStringLiteral("\\"),
        // A real code with more after it: a driver that cut the text to the
        // column's width would find it.
        company + QStringLiteral("xxxxxxxx"),
        company + QString(70, u' ') + u'x',
        branch + QString(70, u' ') + u'x',
        state + u'0',
        state + QString(70, u' ') + u'x',
        QStringLiteral("0123456789ABCDEF"),
        QString(255, u'x'),
        QStringLiteral("Ação Çé €"),
    };
    for (int u = 0; u < uses().size(); ++u)
        for (int v = 0; v < values.size(); ++v)
            QTest::newRow(qPrintable(
                QStringLiteral("%1, value %2").arg(QLatin1String(uses()[u].name)).arg(v)))
                << u << values[v];
}

void tst_HostileInput::findsNothing()
{
    QFETCH(int, use);
    QFETCH(QString, value);
    FIS_FETCH_DATABASE(m_fixture, module);
    dtmDBGeral = module;
    QObject owner;
    TLookupQueries q(&owner);
    TADOIBQuery* query = q.*(uses()[use].query);
    try {
        QCOMPARE(LookupRows::open(query, filled(uses()[use].settings, value)),
                 QList<QStringList>{});
    } catch (const EFrameworkError& e) {
        QFAIL(qPrintable(e.message()));
    }
}

void tst_HostileInput::refusedBeforeRunning_data()
{
    QTest::addColumn<int>("use");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");

    const QString outside = QStringLiteral("O valor informado em '%1' contém caracteres que o "
                                           "banco de dados não aceita. Use letras, algarismos e "
                                           "sinais comuns.");
    const QString tooLong = tooLongMessage();
    const QStringList values = {QStringLiteral("0\u0141"), QStringLiteral("01\u4e2d"),
                                QString::fromUtf8("\xf0\x9f\x98\x80")};
    for (int u = 0; u < uses().size(); ++u) {
        for (int v = 0; v < values.size(); ++v)
            QTest::newRow(qPrintable(QStringLiteral("%1, outside Windows-1252 %2")
                                         .arg(QLatin1String(uses()[u].name))
                                         .arg(v)))
                << u << values[v] << outside;
        // Firebird passes texts through PARAM and NVLSTR, 255 characters wide; elsewhere a
        // longer text just finds nothing.
        QTest::newRow(
            qPrintable(QStringLiteral("%1, 256 characters").arg(QLatin1String(uses()[u].name))))
            << u << QString(256, u'0') << tooLong;
    }
}

void tst_HostileInput::refusedBeforeRunning()
{
    QFETCH(int, use);
    QFETCH(QString, value);
    QFETCH(QString, message);
    FIS_FETCH_DATABASE(m_fixture, module);
    dtmDBGeral = module;
    QObject owner;
    TLookupQueries q(&owner);
    TADOIBQuery* query = q.*(uses()[use].query);
    const QStringList settings = filled(uses()[use].settings, value);
    // The clerk is told the field, by its label, never the parameter behind it.
    const QHash<QString, QString> labels = {
        {QStringLiteral("P_CDEMPRESA"), QStringLiteral("Empresa")},
        {QStringLiteral("P_CDINSCESTA"), QStringLiteral("Insc. Estadual")},
        {QStringLiteral("P_CDINSCMUNI"), QStringLiteral("Insc. Municipal")},
        {QStringLiteral("P_CDFILIAL"), QStringLiteral("Filial Origem")},
    };
    QString parameter;
    for (const QString& s : settings)
        if (s.endsWith(value))
            parameter = labels.value(s.left(s.indexOf(u'=')));

    QString raised;
    try {
        const QList<QStringList> rows = LookupRows::open(query, settings);
        QCOMPARE(rows, QList<QStringList>{});
    } catch (const EFrameworkError& e) {
        raised = e.message();
    }
    const bool refused = message != tooLongMessage() || engine == QLatin1String("firebird");
    QCOMPARE(raised, refused ? message.arg(parameter) : QString());
    if (refused)
        QVERIFY(!query->Active());
}

// Runs last: whatever the values above tried, every table holds the demo rows.
void tst_HostileInput::nothingChanged()
{
    FIS_FETCH_DATABASE(m_fixture, module);
    dtmDBGeral = module;
    const QSqlDatabase db = dtmDBGeral->adcGeral->database();
    const TDemoData::Scale s = TDemoData::Scale();
    QCOMPARE(LookupRows::count(db, QStringLiteral("EMPRESA")), qint64(s.companies));
    QCOMPARE(LookupRows::count(db, QStringLiteral("INSCRESTAD")),
             qint64(s.companies) * s.registrations);
    QCOMPARE(LookupRows::count(db, QStringLiteral("INSCRMUNICIP")),
             qint64(s.companies) * s.registrations);
    QCOMPARE(LookupRows::count(db, QStringLiteral("FILIAL")),
             qint64(s.branches) + TDemoData::incompleteBranches().size());
    QCOMPARE(LookupRows::count(db, QStringLiteral("TIPOOPERAC")),
             qint64(TDemoData::operationTypes().size()));
}

QTEST_MAIN(tst_HostileInput)
#include "tst_HostileInput.moc"
