#include "EFrameworkError.h"
#include "Helpers.h"
#include "RecordingPresenter.h"
#include "TADOIBQuery.h"
#include "TSqlText.h"
#include "TdtmDBGeral.h"
#include "TestDatabase.h"

#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

class tst_Data : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void markersSkipLiteralsCommentsAndCasts();
    void positionalKeepsEveryOccurrence();
    void castWidthIsTheQuerysOwn_data();
    void castWidthIsTheQuerysOwn();
    void dialectTextFallsBackToDefault();
    void paramCheckFollowsMarkersAndKeepsValues();
    void clearedParameterIsNullNotEmpty();
    void repeatedMarkerBindsSameValue();
    void nullSwitchMatchesNothing();
    void openRaisesDriverText();
    void refusesCharactersOutsideWindows1252();
    void lazyDataSetFetchesInBatches();
    void fieldsReadCurrentRowAndCarryLabels();
    void sqliteRowsAreQtsRows_data();
    void sqliteRowsAreQtsRows();
    void aStatementRunAgainReadsAnew_data();
    void aStatementRunAgainReadsAnew();

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TdtmDBGeral> m_dm;
    std::unique_ptr<RecordingPresenter> m_presenter;
    TADOIBQuery* makeQuery(const QStringList& sql);
    std::vector<std::unique_ptr<TADOIBQuery>> m_queries;
};

void tst_Data::init()
{
    QStringList statements{
        QStringLiteral("CREATE TABLE EMPRESA (CDEMPRESA VARCHAR(2), NMRAZSOCEMPR VARCHAR(80))")};
    for (int i = 1; i <= 1000; ++i)
        statements << QStringLiteral("INSERT INTO EMPRESA VALUES ('%1', 'Empresa %1')")
                          .arg(i, 4, 10, QChar(u'0'));
    statements << QStringLiteral("INSERT INTO EMPRESA VALUES ('01', 'São Paulo Comércio Ltda')");
    m_db = std::make_unique<TestDatabase>(statements);
    m_dm = std::make_unique<TdtmDBGeral>(m_db->connectionName());
    dtmDBGeral = m_dm.get();
    m_presenter = std::make_unique<RecordingPresenter>();
}

void tst_Data::cleanup()
{
    m_queries.clear();
    m_presenter.reset();
    m_dm.reset();
    m_db.reset();
}

TADOIBQuery* tst_Data::makeQuery(const QStringList& sql)
{
    auto query = std::make_unique<TADOIBQuery>();
    query->setObjectName(QStringLiteral("qryTeste"));
    query->setADOConnection(m_dm->adcGeral);
    query->setDataBase(m_dm->dtbGeral);
    query->setTransaction(m_dm->ibtGeral);
    query->setSQL(sql);
    m_queries.push_back(std::move(query));
    return m_queries.back().get();
}

void tst_Data::markersSkipLiteralsCommentsAndCasts()
{
    const QString sql = QStringLiteral(
        "SELECT ':NAO' AS \"x:NAO\", a::text -- :NAO\n"
        "FROM t /* :NAO */ WHERE a = :P_A OR :P_B = 'T' AND c = :P_A AND d = 'it''s :NAO'");
    QCOMPARE(TSqlText::markers(sql), (QStringList{u"P_A"_qs, u"P_B"_qs, u"P_A"_qs}));
    QCOMPARE(TSqlText::parameterNames(sql), (QStringList{u"P_A"_qs, u"P_B"_qs}));
}

void tst_Data::positionalKeepsEveryOccurrence()
{
    QStringList names;
    const QString out =
        TSqlText::toPositional(QStringLiteral("a = :X OR :Y = 'T' OR b = :X"), &names);
    QCOMPARE(out, u"a = ? OR ? = 'T' OR b = ?"_qs);
    QCOMPARE(names, (QStringList{u"X"_qs, u"Y"_qs, u"X"_qs}));
}

void tst_Data::castWidthIsTheQuerysOwn_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("width");
    QTest::newRow("report's list") << u"CAST(:P_L AS VARCHAR(4000)) LIKE '%x%'"_qs << 4000;
    QTest::newRow("spaced, lower case") << u"cast ( :p_l as varchar ( 300 ) )"_qs << 300;
    QTest::newRow("char varying") << u"CAST(:P_L AS CHARACTER VARYING(500))"_qs << 500;
    QTest::newRow("least of two") << u"CAST(:P_L AS VARCHAR(900)) || CAST(:P_L AS CHAR(400))"_qs
                                  << 400;
    QTest::newRow("one bare") << u"CAST(:P_L AS VARCHAR(4000)) OR PARAM(:P_L)"_qs << -1;
    QTest::newRow("other type") << u"CAST(:P_L AS INTEGER)"_qs << -1;
    QTest::newRow("cast of another") << u"CAST(:P_X AS VARCHAR(10)) = :P_L"_qs << -1;
    QTest::newRow("commented out") << u"PARAM(:P_L) -- CAST(:P_L AS VARCHAR(9))"_qs << -1;
    QTest::newRow("absent") << u"SELECT 1"_qs << -1;
}

void tst_Data::castWidthIsTheQuerysOwn()
{
    QFETCH(QString, sql);
    QFETCH(int, width);
    QCOMPARE(TSqlText::castWidth(sql, u"P_L"_qs), width);
}

void tst_Data::dialectTextFallsBackToDefault()
{
    TADOIBQuery* q = makeQuery({u"SELECT 1"_qs});
    q->setSQL_IB({u"SELECT 2 FROM RDB$DATABASE"_qs});
    QCOMPARE(q->textFor(TADOIBQuery::Dialect::InterBase),
             QStringList{u"SELECT 2 FROM RDB$DATABASE"_qs});
    QCOMPARE(q->textFor(TADOIBQuery::Dialect::Oracle), QStringList{u"SELECT 1"_qs});
    QCOMPARE(q->textFor(TADOIBQuery::Dialect::MSSQL), QStringList{u"SELECT 1"_qs});
    // SQLite is none of the named dialects.
    QCOMPARE(q->dialect(), TADOIBQuery::Dialect::Default);
    QCOMPARE(q->activeText(), u"SELECT 1"_qs);
    // Lines are joined with line breaks, empty lines and trailing blanks kept.
    q->setSQL({u"SELECT 1"_qs, QString(), u"  "_qs});
    QCOMPARE(q->activeText(), u"SELECT 1\n\n  "_qs);
}

void tst_Data::paramCheckFollowsMarkersAndKeepsValues()
{
    TADOIBQuery* q = makeQuery({u"SELECT * FROM EMPRESA WHERE CDEMPRESA = :P_CDEMPRESA"_qs});
    q->ParamByName(u"P_CDEMPRESA"_qs).SetAsString(u"01"_qs);
    q->setSQL({u"SELECT * FROM EMPRESA WHERE CDEMPRESA = :P_CDEMPRESA OR :P_TCDEMPRESA = 'T'"_qs});
    QCOMPARE(q->Params().names(), (QStringList{u"P_CDEMPRESA"_qs, u"P_TCDEMPRESA"_qs}));
    QCOMPARE(q->ParamByName(u"P_CDEMPRESA"_qs).AsString(), u"01"_qs);
    QVERIFY(q->ParamByName(u"P_TCDEMPRESA"_qs).IsNull());
    QVERIFY_THROWS_EXCEPTION(EFrameworkError, q->ParamByName(u"P_NAOEXISTE"_qs));
}

void tst_Data::clearedParameterIsNullNotEmpty()
{
    TParam p(u"P"_qs);
    p.SetAsString(QString());
    QVERIFY(!p.IsNull());
    QCOMPARE(p.AsString(), QString());
    p.Clear();
    QVERIFY(p.IsNull());
    p.SetAsDate(QDate(2026, 12, 9));
    QCOMPARE(p.DataType(), TFieldType::ftDate);
    p.Clear();
    QVERIFY(p.IsNull());
    QCOMPARE(p.Value().typeId(), QMetaType::QDate);
}

void tst_Data::repeatedMarkerBindsSameValue()
{
    TADOIBQuery* q = makeQuery(
        {u"SELECT CDEMPRESA FROM EMPRESA WHERE CDEMPRESA = :P OR NMRAZSOCEMPR = :P ORDER BY 1"_qs});
    q->ParamByName(u"P"_qs).SetAsString(u"Empresa 0002"_qs);
    q->Open();
    QCOMPARE(q->Query()->currentValue(u"CDEMPRESA"_qs).toString(), u"0002"_qs);
}

void tst_Data::nullSwitchMatchesNothing()
{
    TADOIBQuery* q = makeQuery({u"SELECT CDEMPRESA FROM EMPRESA"_qs,
                                u"WHERE (CDEMPRESA = :P_CDEMPRESA OR :P_TCDEMPRESA = 'T')"_qs,
                                u"ORDER BY CDEMPRESA"_qs});
    q->Open();
    QVERIFY(q->IsEmpty());
    q->Close();
    q->ParamByName(u"P_TCDEMPRESA"_qs).SetAsString(u"T"_qs);
    q->Open();
    QVERIFY(!q->IsEmpty());
    QCOMPARE(q->Query()->RecNo(), 0);
    QCOMPARE(q->Query()->currentValue(u"CDEMPRESA"_qs).toString(), u"0001"_qs);
    // A value that looks like SQL is only a value.
    q->Close();
    q->ParamByName(u"P_TCDEMPRESA"_qs).Clear();
    q->ParamByName(u"P_CDEMPRESA"_qs).SetAsString(u"' OR '1'='1"_qs);
    q->Open();
    QVERIFY(q->IsEmpty());
}

void tst_Data::openRaisesDriverText()
{
    TADOIBQuery* q = makeQuery({u"SELECT NADA FROM TABELA_QUE_NAO_EXISTE"_qs});
    try {
        q->Open();
        QFAIL("Open should fail");
    } catch (const EFrameworkError& e) {
        // The clerk reads Portuguese; the driver's text is the detail.
        QVERIFY2(e.message().startsWith(u"Não foi possível consultar o banco de dados."_qs),
                 qPrintable(e.message()));
        QVERIFY2(e.detail().contains(u"TABELA_QUE_NAO_EXISTE"_qs), qPrintable(e.detail()));
    }
    QVERIFY(!q->Active());

    auto orphan = std::make_unique<TADOIBQuery>();
    orphan->setSQL({u"SELECT 1"_qs});
    QVERIFY_THROWS_EXCEPTION(EFrameworkError, orphan->Open());
}

void tst_Data::refusesCharactersOutsideWindows1252()
{
    QVERIFY(FitsWindows1252(u"São Paulo – “Retenções” €"_qs));
    QVERIFY(!FitsWindows1252(u"東京"_qs));
    QVERIFY(!FitsWindows1252(QString(QChar(0x81))));
    TADOIBQuery* q = makeQuery({u"SELECT CDEMPRESA FROM EMPRESA WHERE CDEMPRESA = :P"_qs});
    q->ParamByName(u"P"_qs).SetAsString(u"😀"_qs);
    QVERIFY_THROWS_EXCEPTION(EFrameworkError, q->Open());
    QVERIFY(!q->Active());
}

void tst_Data::lazyDataSetFetchesInBatches()
{
    TADOIBQuery* q = makeQuery({u"SELECT CDEMPRESA FROM EMPRESA ORDER BY CDEMPRESA"_qs});
    q->Open();
    TADOIBDataSet* data = q->Query();
    // Opening reads just enough to know the first row.
    QCOMPARE(data->rowCount(), 1);
    QVERIFY(data->canFetchMore());
    QSignalSpy inserted(data, &QAbstractItemModel::rowsInserted);
    data->fetchMore();
    QCOMPARE(data->rowCount(), 1 + TADOIBDataSet::BatchSize);
    QCOMPARE(inserted.count(), 1);
    QVERIFY(data->MoveTo(1000));
    QCOMPARE(data->currentValue(u"CDEMPRESA"_qs).toString(), u"1000"_qs);
    QVERIFY(!data->MoveTo(5000));
    QVERIFY(data->allFetched());
    QCOMPARE(data->rowCount(), 1001);
    q->Close();
    QCOMPARE(data->rowCount(), 0);
    QVERIFY(!q->Active());
}

void tst_Data::fieldsReadCurrentRowAndCarryLabels()
{
    TADOIBQuery* q =
        makeQuery({u"SELECT CDEMPRESA, NMRAZSOCEMPR FROM EMPRESA WHERE CDEMPRESA = :P"_qs});
    TADOIBStringField* name = q->AddField(u"NMRAZSOCEMPR"_qs, u"Razão Social"_qs, 80, false, true);
    TADOIBStringField* code = q->AddField(u"CDEMPRESA"_qs, u"Código"_qs, 2, true, true);
    QCOMPARE(name->objectName(), u"qryTesteNMRAZSOCEMPR"_qs);
    QVERIFY_THROWS_EXCEPTION(EFrameworkError, name->AsString()); // closed
    q->ParamByName(u"P"_qs).SetAsString(u"01"_qs);
    q->Open();
    QCOMPARE(name->AsString(), u"São Paulo Comércio Ltda"_qs);
    QCOMPARE(code->AsString(), u"01"_qs);
    QCOMPARE(q->Query()->headerData(1, Qt::Horizontal).toString(), u"Razão Social"_qs);
    QCOMPARE(q->FieldByName(u"cdempresa"_qs), code);
    QVERIFY_THROWS_EXCEPTION(EFrameworkError, q->FieldByName(u"CHAVE"_qs));
}

void tst_Data::sqliteRowsAreQtsRows_data()
{
    QTest::addColumn<QString>("sql");
    // Every storage class, NULL and accents, past the first row and over batches.
    QTest::newRow("columns of every kind")
        << u"SELECT CDEMPRESA, NMRAZSOCEMPR, LENGTH(CDEMPRESA) AS N, 1.5 * LENGTH(CDEMPRESA) AS F, "
           "CAST(CDEMPRESA AS BLOB) AS B, NULL AS Z, '' AS E, CASE WHEN CDEMPRESA > '0500' THEN "
           "NULL ELSE 7 END AS M FROM EMPRESA ORDER BY NMRAZSOCEMPR DESC"_qs;
    // Bytes that are not UTF-8, past the first row: each decoder replaces them its own way.
    QTest::newRow("text that is not UTF-8")
        << u"SELECT CDEMPRESA, CASE WHEN CDEMPRESA = (SELECT MIN(CDEMPRESA) FROM EMPRESA) THEN 'a' "
           "ELSE CAST(X'E9' AS TEXT) || NMRAZSOCEMPR || CAST(X'80E980C080F0' AS TEXT) END AS L "
           "FROM EMPRESA ORDER BY CDEMPRESA"_qs;
    QTest::newRow("a NULL first row") << u"SELECT NULL AS Z, CDEMPRESA FROM EMPRESA"_qs;
    QTest::newRow("no row") << u"SELECT CDEMPRESA FROM EMPRESA WHERE 1 = 0"_qs;
}

// The rows read past the first through libsqlite3 hold what Qt's driver gives.
void tst_Data::sqliteRowsAreQtsRows()
{
    QFETCH(QString, sql);
    TADOIBQuery* q = makeQuery({sql});
    q->Open();
    std::vector<TRowSource::Row> ours, batch;
    do {
        q->Query()->readForward(100, batch);
        ours.insert(ours.end(), batch.begin(), batch.end());
    } while (!batch.empty());

    QSqlQuery qt(m_dm->adcGeral->database());
    qt.setForwardOnly(true);
    QVERIFY(qt.exec(sql));
    size_t r = 0;
    for (; qt.next(); ++r) {
        QVERIFY(r < ours.size());
        for (int c = 0; c < qt.record().count(); ++c) {
            const QVariant& v = ours[r][size_t(c)];
            QCOMPARE(v.metaType(), qt.value(c).metaType());
            QCOMPARE(v.isNull(), qt.value(c).isNull());
            QCOMPARE(v, qt.value(c));
        }
    }
    QCOMPARE(ours.size(), r);
}

void tst_Data::aStatementRunAgainReadsAnew_data()
{
    QTest::addColumn<QString>("between");
    QTest::newRow("nothing") << QString();
    QTest::newRow("a row changed by another connection") << u"write"_qs;
    QTest::newRow("the connection closed and reopened") << u"reopen"_qs;
}

// The statement kept prepared between runs reads the new values and the file as it is
// now, lets go of its lock once closed midway, and does not outlive its connection.
void tst_Data::aStatementRunAgainReadsAnew()
{
    QFETCH(QString, between);
    QTemporaryDir dir;
    const QString file = dir.filePath(u"dados.sqlite"_qs);
    cleanup();
    m_db = std::make_unique<TestDatabase>(
        QStringList{u"CREATE TABLE EMPRESA (CDEMPRESA VARCHAR(4), NMRAZSOCEMPR VARCHAR(80))"_qs,
                    u"INSERT INTO EMPRESA VALUES ('0001', 'Uma'), ('0002', 'Duas'), "
                    "('0003', 'Tres')"_qs},
        file);
    m_dm = std::make_unique<TdtmDBGeral>(m_db->connectionName());
    dtmDBGeral = m_dm.get();
    TADOIBQuery* q = makeQuery({u"SELECT NMRAZSOCEMPR FROM EMPRESA WHERE CDEMPRESA >= :P "
                                "ORDER BY CDEMPRESA"_qs});
    const auto names = [q] {
        QStringList read;
        for (int r = 0; q->Query()->MoveTo(r); ++r)
            read << q->Query()->currentValue(u"NMRAZSOCEMPR"_qs).toString();
        return read;
    };
    q->ParamByName(u"P"_qs).SetAsString(u"0001"_qs);
    q->Open();
    // Read to its end, or closed on its first row.
    if (between == u"write")
        QCOMPARE(q->Query()->currentValue(u"NMRAZSOCEMPR"_qs).toString(), u"Uma"_qs);
    else
        QCOMPARE(names(), (QStringList{u"Uma"_qs, u"Duas"_qs, u"Tres"_qs}));
    q->Close();

    QString expected = u"Duas"_qs;
    if (between == u"write") {
        QSqlDatabase writer = QSqlDatabase::addDatabase(u"QSQLITE"_qs, u"escritor"_qs);
        writer.setDatabaseName(file);
        writer.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=0"_qs);
        QVERIFY(writer.open());
        QSqlQuery update(writer);
        QVERIFY2(
            update.exec(u"UPDATE EMPRESA SET NMRAZSOCEMPR = 'Mudou' WHERE CDEMPRESA = '0002'"_qs),
            qPrintable(update.lastError().text()));
        update.finish();
        writer.close();
        writer = QSqlDatabase();
        QSqlDatabase::removeDatabase(u"escritor"_qs);
        expected = u"Mudou"_qs;
    } else if (between == u"reopen") {
        m_dm->adcGeral->database().close();
    }
    q->ParamByName(u"P"_qs).SetAsString(u"0002"_qs);
    q->Open();
    QCOMPARE(names(), (QStringList{expected, u"Tres"_qs}));
}

QTEST_MAIN(tst_Data)
#include "tst_data.moc"
