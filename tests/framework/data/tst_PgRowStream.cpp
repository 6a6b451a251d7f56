#include "DatabaseFixture.h"
#include "EFrameworkError.h"
#include "TADOIBQuery.h"
#include "TDataModuleFactory.h"
#include "TSqlText.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

namespace {

constexpr int kLargeRows = 300000;

// Far more than socket buffers hold, so the server is still sending when the test looks.
// Each row records its number in a session setting: the setting survives only if the
// statement runs to its end, and reverts when it is cancelled.
QString largeStatement()
{
    return QStringLiteral("SELECT g AS N, set_config('fis.ultima', g::text, false) AS ULTIMA, "
                          "repeat('x', 200) AS PAD FROM generate_series(1, %1) g")
        .arg(kLargeRows);
}

} // namespace

// The PostgreSQL rows streamed through libpq: first rows at once, one pending stream per
// connection, values and errors as through Qt's driver.
class tst_PgRowStream : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void numberedMarkersSkipLiteralsAndComments();
    void firstRowsComeBeforeTheRestAndCloseCancels();
    void anotherStatementEndsThePendingStream();
    void valuesAndNullsAsQtGivesThem();
    void errorsCarryTheServerMessage();

private:
    TADOIBQuery* makeQuery(const QString& sql);
    QString setting(const QSqlDatabase& db);
    QString backendState(int pid);
    int backendPid();

    DatabaseFixture m_fixture;
    TdtmDBGeral* m_module = nullptr;
    std::unique_ptr<TdtmDBGeral> m_observer; // a second session that watches the first
    std::vector<std::unique_ptr<TADOIBQuery>> m_queries;
};

void tst_PgRowStream::initTestCase()
{
    m_fixture.open();
    m_module = m_fixture.module(QStringLiteral("postgresql"));
    if (!m_module) {
        const QString problem = m_fixture.problem(QStringLiteral("postgresql"));
        if (m_fixture.broken(QStringLiteral("postgresql")) || DatabaseFixture::serversRequired())
            QFAIL(qPrintable(problem));
        QSKIP(qPrintable(problem));
    }
    m_observer = TDataModuleFactory::open(m_fixture.options(QStringLiteral("postgresql")));
}

TADOIBQuery* tst_PgRowStream::makeQuery(const QString& sql)
{
    auto query = std::make_unique<TADOIBQuery>();
    query->setObjectName(QStringLiteral("qryStream"));
    query->setADOConnection(m_module->adcGeral);
    query->setSQL(sql.split(u'\n'));
    m_queries.push_back(std::move(query));
    return m_queries.back().get();
}

// The setting the large statement leaves, read with a plain QSqlQuery.
QString tst_PgRowStream::setting(const QSqlDatabase& db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT current_setting('fis.ultima', true)")) || !q.next())
        return QStringLiteral("error: ") + q.lastError().text();
    return q.value(0).toString();
}

QString tst_PgRowStream::backendState(int pid)
{
    QSqlQuery q(m_observer->adcGeral->database());
    q.prepare(QStringLiteral("SELECT state FROM pg_stat_activity WHERE pid = ?"));
    q.addBindValue(pid);
    if (!q.exec() || !q.next())
        return QStringLiteral("error: ") + q.lastError().text();
    return q.value(0).toString();
}

int tst_PgRowStream::backendPid()
{
    TADOIBQuery* q = makeQuery(QStringLiteral("SELECT pg_backend_pid() AS PID"));
    q->Open();
    const int pid = q->Query()->currentValue(QStringLiteral("PID")).toInt();
    q->Close();
    return pid;
}

void tst_PgRowStream::numberedMarkersSkipLiteralsAndComments()
{
    QStringList names;
    QCOMPARE(TSqlText::toNumbered(
                 QStringLiteral("SELECT ':A', \"x:B\", :A -- :C\n/* :D */ :B::text, :a"), &names),
             QStringLiteral("SELECT ':A', \"x:B\", $1 -- :C\n/* :D */ $2::text, $3"));
    QCOMPARE(names, (QStringList{"A", "B", "a"}));
}

void tst_PgRowStream::firstRowsComeBeforeTheRestAndCloseCancels()
{
    const int pid = backendPid();
    const QSqlDatabase db = m_module->adcGeral->database();
    TADOIBQuery* q = makeQuery(largeStatement());
    q->Open();
    TADOIBDataSet* data = q->Query();
    QCOMPARE(data->rowCount(), 1);
    QVERIFY(data->canFetchMore());
    data->fetchMore();
    QCOMPARE(data->rowCount(), 1 + TADOIBDataSet::BatchSize);
    QCOMPARE(data->value(TADOIBDataSet::BatchSize, data->columnIndex("N")),
             QVariant(1 + TADOIBDataSet::BatchSize));
    QVERIFY(!data->allFetched());
    // The server is still sending: the rest was not received to show the first rows.
    QCOMPARE(backendState(pid), QStringLiteral("active"));

    // Closing cancels the statement (its setting reverts) instead of reading the rest.
    q->Close();
    QCOMPARE(data->rowCount(), 0);
    QCOMPARE(backendState(pid), QStringLiteral("idle"));
    QCOMPARE(setting(db), QString());

    // The query opens again, and a stream read to its end leaves the connection free.
    q->setSQL({QStringLiteral("SELECT g AS N FROM generate_series(1, 3) g")});
    q->Open();
    data->fetchAll();
    QCOMPARE(data->rowCount(), 3);
    QCOMPARE(setting(db), QString());
    q->Close();
}

void tst_PgRowStream::anotherStatementEndsThePendingStream()
{
    const QSqlDatabase db = m_module->adcGeral->database();
    TADOIBQuery* a = makeQuery(largeStatement());
    TADOIBQuery* b = makeQuery(QStringLiteral("SELECT COUNT(*) AS TOTAL FROM EMPRESA"));

    // A large stream left pending is cut short by B: A keeps the rows it has, in order,
    // reads no more and reports no error; the server cancelled the rest.
    a->Open();
    a->Query()->fetchMore();
    b->Open();
    QCOMPARE(b->Query()->currentValue("TOTAL").toInt(), TDemoData::Scale().companies);
    TADOIBDataSet* rows = a->Query();
    QCOMPARE(rows->rowCount(), 1 + TADOIBDataSet::BatchSize);
    rows->fetchAll();
    QVERIFY(rows->allFetched());
    QVERIFY(rows->rowCount() > TADOIBDataSet::BatchSize);
    QVERIFY(rows->rowCount() < kLargeRows);
    const int n = rows->columnIndex("N");
    QCOMPARE(rows->value(rows->rowCount() - 1, n), QVariant(rows->rowCount()));
    QCOMPARE(setting(db), QString());
    a->Close();
    b->Close();

    // A small result has arrived whole by the time B starts: A keeps all of it.
    a->setSQL({QStringLiteral("SELECT g AS N FROM generate_series(1, 3) g")});
    a->Open();
    QCOMPARE(a->Query()->rowCount(), 1);
    b->Open();
    a->Query()->fetchAll();
    QCOMPARE(a->Query()->rowCount(), 3);
    a->Close();
    b->Close();

    // A plain QSqlQuery runs once EndPendingStream has freed the connection.
    a->setSQL({largeStatement()});
    a->Open();
    TADOIBQuery::EndPendingStream(db);
    QSqlQuery plain(db);
    QVERIFY2(plain.exec("SELECT 41 + 1") && plain.next(), qPrintable(plain.lastError().text()));
    QCOMPARE(plain.value(0).toInt(), 42);
    QCOMPARE(setting(db), QString());
    a->Query()->fetchAll();
    QVERIFY(a->Query()->rowCount() < kLargeRows);
    a->Close();
}

void tst_PgRowStream::valuesAndNullsAsQtGivesThem()
{
    const QString sql = QStringLiteral(
        "SELECT CAST(:P AS VARCHAR) AS V, CAST(:P AS VARCHAR) IS NULL AS ISNULO, "
        "CHAR_LENGTH(CAST(:P AS VARCHAR)) AS TAMANHO, CAST(:D AS DATE) AS DT, "
        "CAST(12.5 AS NUMERIC(10,2)) AS VL, CAST(7 AS BIGINT) AS GRANDE, 3 AS PEQUENO, "
        "CAST('ab' AS CHAR(4)) AS CH, 'São Paulo – “€”' AS TX, CAST(NULL AS DATE) AS DNULA");
    TADOIBQuery* q = makeQuery(sql);
    const QSqlDatabase db = m_module->adcGeral->database();
    for (const bool null : {true, false}) {
        if (null)
            q->ParamByName("P").Clear();
        else
            q->ParamByName("P").SetAsString(QString());
        q->ParamByName("D").SetAsDate(QDate(2024, 2, 29));
        q->Open();
        TADOIBDataSet* data = q->Query();
        QCOMPARE(data->currentValue("ISNULO").toBool(), null);
        QCOMPARE(data->currentValue("V").isNull(), null);
        QCOMPARE(data->currentValue("V").toString(), QString());
        QCOMPARE(data->currentValue("TAMANHO").isNull(), null);

        // The same statement through Qt's driver gives the same values of the same types.
        QStringList names;
        QSqlQuery qt(db);
        QVERIFY(qt.prepare(TSqlText::toPositional(q->statementText(), &names)));
        for (const QString& name : names)
            qt.addBindValue(q->ParamByName(name).Value());
        QVERIFY2(qt.exec() && qt.next(), qPrintable(qt.lastError().text()));
        for (int c = 0; c < qt.record().count(); ++c) {
            const QString column = qt.record().fieldName(c);
            const QVariant ours = data->currentValue(column), theirs = qt.value(c);
            QVERIFY2(ours == theirs && ours.isNull() == theirs.isNull(), qPrintable(column));
            if (column != QLatin1String("grande")) // Qt gives a positive int8 as unsigned
                QCOMPARE(ours.typeId(), theirs.typeId());
        }
        q->Close();
    }
    QCOMPARE(q->Query()->columnNames(), QStringList());
}

void tst_PgRowStream::errorsCarryTheServerMessage()
{
    TADOIBQuery* q = makeQuery(QStringLiteral("SELECT NAOEXISTE FROM EMPRESA"));
    QString message;
    try {
        q->Open();
    } catch (const EFrameworkError& e) {
        message = e.detail();
    }
    QVERIFY2(message.contains(QLatin1String("naoexiste")), qPrintable(message));
    QVERIFY(!q->Active());

    // An error after the first rows comes when the dataset reaches it, then ends it.
    q->setSQL({QStringLiteral("SELECT 10 / (3 - g) AS N FROM generate_series(1, 5) g")});
    q->Open();
    message.clear();
    try {
        q->Query()->fetchAll();
    } catch (const EFrameworkError& e) {
        message = e.message();
    }
    QVERIFY2(message.contains(QLatin1String("division by zero")), qPrintable(message));
    QVERIFY(q->Query()->allFetched());
    q->Close();

    // The connection is free again.
    q->setSQL({QStringLiteral("SELECT 1 AS N")});
    q->Open();
    QCOMPARE(q->Query()->currentValue("N"), QVariant(1));
    q->Close();
}

QTEST_GUILESS_MAIN(tst_PgRowStream)
#include "tst_PgRowStream.moc"
