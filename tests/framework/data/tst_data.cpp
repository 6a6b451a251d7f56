#include "EAbort.h"
#include "EFrameworkError.h"
#include "Helpers.h"
#include "RecordingPresenter.h"
#include "TADOIBQuery.h"
#include "TEventGuard.h"
#include "TMessages.h"
#include "TQtTranslations.h"
#include "TSqlText.h"
#include "TdtmDBGeral.h"
#include "TestDatabase.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <memory>

class TstCore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void markersSkipLiteralsCommentsAndCasts();
    void positionalKeepsEveryOccurrence();
    void dialectTextFallsBackToDefault();
    void paramCheckFollowsMarkersAndKeepsValues();
    void clearedParameterIsNullNotEmpty();
    void repeatedMarkerBindsSameValue();
    void nullSwitchMatchesNothing();
    void openRaisesDriverText();
    void refusesCharactersOutsideWindows1252();
    void lazyDataSetFetchesInBatches();
    void fieldsReadCurrentRowAndCarryLabels();
    void messagesLookupByKey();
    void ajustaPadsAndNeverTruncates();
    void emptyStringIsBlankOnly();
    void mensErroShowsAndAborts();
    void guardSwallowsAbortAndReportsErrors();
    void qtDialogsSpeakPortugueseWhereInstalled_data();
    void qtDialogsSpeakPortugueseWhereInstalled();

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TdtmDBGeral> m_dm;
    std::unique_ptr<RecordingPresenter> m_presenter;
    TADOIBQuery* makeQuery(const QStringList& sql);
    std::vector<std::unique_ptr<TADOIBQuery>> m_queries;
};

void TstCore::init()
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

void TstCore::cleanup()
{
    m_queries.clear();
    m_presenter.reset();
    m_dm.reset();
    m_db.reset();
}

TADOIBQuery* TstCore::makeQuery(const QStringList& sql)
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

void TstCore::markersSkipLiteralsCommentsAndCasts()
{
    const QString sql = QStringLiteral(
        "SELECT ':NAO' AS \"x:NAO\", a::text -- :NAO\n"
        "FROM t /* :NAO */ WHERE a = :P_A OR :P_B = 'T' AND c = :P_A AND d = 'it''s :NAO'");
    QCOMPARE(TSqlText::markers(sql), (QStringList{u"P_A"_qs, u"P_B"_qs, u"P_A"_qs}));
    QCOMPARE(TSqlText::parameterNames(sql), (QStringList{u"P_A"_qs, u"P_B"_qs}));
}

void TstCore::positionalKeepsEveryOccurrence()
{
    QStringList names;
    const QString out =
        TSqlText::toPositional(QStringLiteral("a = :X OR :Y = 'T' OR b = :X"), &names);
    QCOMPARE(out, u"a = ? OR ? = 'T' OR b = ?"_qs);
    QCOMPARE(names, (QStringList{u"X"_qs, u"Y"_qs, u"X"_qs}));
}

void TstCore::dialectTextFallsBackToDefault()
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

void TstCore::paramCheckFollowsMarkersAndKeepsValues()
{
    TADOIBQuery* q = makeQuery({u"SELECT * FROM EMPRESA WHERE CDEMPRESA = :P_CDEMPRESA"_qs});
    q->ParamByName(u"P_CDEMPRESA"_qs).SetAsString(u"01"_qs);
    q->setSQL({u"SELECT * FROM EMPRESA WHERE CDEMPRESA = :P_CDEMPRESA OR :P_TCDEMPRESA = 'T'"_qs});
    QCOMPARE(q->Params().names(), (QStringList{u"P_CDEMPRESA"_qs, u"P_TCDEMPRESA"_qs}));
    QCOMPARE(q->ParamByName(u"P_CDEMPRESA"_qs).AsString(), u"01"_qs);
    QVERIFY(q->ParamByName(u"P_TCDEMPRESA"_qs).IsNull());
    QVERIFY_THROWS_EXCEPTION(EFrameworkError, q->ParamByName(u"P_NAOEXISTE"_qs));
}

void TstCore::clearedParameterIsNullNotEmpty()
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

void TstCore::repeatedMarkerBindsSameValue()
{
    TADOIBQuery* q = makeQuery(
        {u"SELECT CDEMPRESA FROM EMPRESA WHERE CDEMPRESA = :P OR NMRAZSOCEMPR = :P ORDER BY 1"_qs});
    q->ParamByName(u"P"_qs).SetAsString(u"Empresa 0002"_qs);
    q->Open();
    QCOMPARE(q->Query()->currentValue(u"CDEMPRESA"_qs).toString(), u"0002"_qs);
}

void TstCore::nullSwitchMatchesNothing()
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

void TstCore::openRaisesDriverText()
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

void TstCore::refusesCharactersOutsideWindows1252()
{
    QVERIFY(FitsWindows1252(u"São Paulo – “Retenções” €"_qs));
    QVERIFY(!FitsWindows1252(u"東京"_qs));
    QVERIFY(!FitsWindows1252(QString(QChar(0x81))));
    TADOIBQuery* q = makeQuery({u"SELECT CDEMPRESA FROM EMPRESA WHERE CDEMPRESA = :P"_qs});
    q->ParamByName(u"P"_qs).SetAsString(u"😀"_qs);
    QVERIFY_THROWS_EXCEPTION(EFrameworkError, q->Open());
    QVERIFY(!q->Active());
}

void TstCore::lazyDataSetFetchesInBatches()
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

void TstCore::fieldsReadCurrentRowAndCarryLabels()
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

void TstCore::messagesLookupByKey()
{
    TMessages msg;
    msg.setMessages({u"Emp_inf|Empresa deve ser informada."_qs, u"Pipe|a|b"_qs, u"Emp|curta"_qs});
    QCOMPARE(msg.Msg(u"Emp_inf"_qs), u"Empresa deve ser informada."_qs);
    QCOMPARE(msg.Msg(u"Emp"_qs), u"curta"_qs); // a key is not matched by its prefix
    QCOMPARE(msg.Msg(u"Pipe"_qs), u"a|b"_qs);
    QVERIFY_THROWS_EXCEPTION(EFrameworkError, msg.Msg(u"Falta"_qs));
}

void TstCore::ajustaPadsAndNeverTruncates()
{
    QCOMPARE(Ajusta(u"1"_qs, 2), u"01"_qs);
    QCOMPARE(Ajusta(u"01"_qs, 2), u"01"_qs);
    QCOMPARE(Ajusta(u"1 "_qs, 2), u"01"_qs);
    QCOMPARE(Ajusta(u"A1"_qs, 4), u"00A1"_qs);
    QCOMPARE(Ajusta(u"123"_qs, 2), u"123"_qs);
    QCOMPARE(Ajusta(QString(), 2), QString());
}

void TstCore::emptyStringIsBlankOnly()
{
    QVERIFY(EmptyString(QString()));
    QVERIFY(EmptyString(u"   "_qs));
    QVERIFY(EmptyString(u"\t"_qs));
    QVERIFY(!EmptyString(u" 0 "_qs));
}

void TstCore::mensErroShowsAndAborts()
{
    QVERIFY_THROWS_EXCEPTION(EAbort, MensErro(u"Empresa não cadastrada."_qs, true));
    MensErro(u"Aviso"_qs, false);
    QCOMPARE(m_presenter->errors, (QStringList{u"Empresa não cadastrada."_qs, u"Aviso"_qs}));
}

void TstCore::guardSwallowsAbortAndReportsErrors()
{
    QVERIFY(TEventGuard::run([] {}));
    QVERIFY(!TEventGuard::run([] { MensErro(u"Falhou."_qs, true); }));
    QCOMPARE(m_presenter->errors, QStringList{u"Falhou."_qs});
    m_presenter->clear();
    QVERIFY(!TEventGuard::run([] { throw EFrameworkError(u"Erro do banco: tabela"_qs); }));
    QVERIFY(!TEventGuard::run([] { throw std::runtime_error("boom"); }));
    QVERIFY(!TEventGuard::run([] { throw 42; }));
    QCOMPARE(m_presenter->errors,
             (QStringList{u"Erro do banco: tabela"_qs, u"boom"_qs, u"Erro inesperado."_qs}));
}

void TstCore::qtDialogsSpeakPortugueseWhereInstalled_data()
{
    QTest::addColumn<bool>("installed");
    QTest::newRow("Debian's translations") << true;
    QTest::newRow("folder without them") << false;
}

void TstCore::qtDialogsSpeakPortugueseWhereInstalled()
{
    QFETCH(bool, installed);
    const QString shipped = TQtTranslations::defaultDirectory() + u"/qtbase_pt_BR.qm"_qs;
    if (!QFile::exists(shipped))
        QSKIP("qt6-translations-l10n is not installed");
    QTemporaryDir folder;
    if (installed)
        QVERIFY(QFile::copy(shipped, folder.filePath(u"qtbase_pt_BR.qm"_qs)));
    std::unique_ptr<QTranslator> translator(
        TQtTranslations::install(*QCoreApplication::instance(), folder.path()));
    QCOMPARE(translator != nullptr, installed);
    QCOMPARE(QCoreApplication::translate("QPrintPreviewDialog", "Print Preview"),
             installed ? u"Visualizar impressão"_qs : u"Print Preview"_qs);
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"),
             installed ? u"Cancelar"_qs : u"Cancel"_qs);
}

QTEST_MAIN(TstCore)
#include "tst_core.moc"
