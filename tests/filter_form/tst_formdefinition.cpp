#include "EAbort.h"
#include "HostFixture.h"
#include "RecordingPresenter.h"
#include "TApplication.h"
#include "TBtnPesquisa.h"
#include "TDateEditPlus.h"
#include "TMaskEdit.h"
#include "TMessages.h"
#include "TdtmDBGeral.h"
#include "TfrmListDocumentos.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// The screen as its definition builds it, before any filter behaviour.
class TstFormDefinition : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void captionsAndCodes();
    void filterControlsInPlace_data();
    void filterControlsInPlace();
    void initialState();
    void masksLimitTyping_data();
    void masksLimitTyping();
    void directionHoldsOnlyItsItems();
    void tabOrder();
    void messageTable();
    void missingReportNamesCodeAndFolder();
    void unfitDefinitionIsRefusedOthersOffered_data();
    void unfitDefinitionIsRefusedOthersOffered();
    void searchButtonsSettings();
    void lookupQueriesClosedOnConnection();
    void reportDependentState_data();
    void reportDependentState();
    void reportSwitchKeepsListChoice();

private:
    std::unique_ptr<HostFixture> m_host;
    std::unique_ptr<TfrmListDocumentos> m_form;
};

void TstFormDefinition::init()
{
    m_host = std::make_unique<HostFixture>();
    m_form = std::make_unique<TfrmListDocumentos>();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
}

void TstFormDefinition::cleanup()
{
    m_form.reset();
    m_host.reset();
}

void TstFormDefinition::captionsAndCodes()
{
    QCOMPARE(m_form->windowTitle(), u"Listagem dos Documentos"_qs);
    QCOMPARE(m_form->size(), QSize(473, 270));
    QCOMPARE(m_form->lblCodTela->text(), u"FIS01200"_qs);
    QCOMPARE(m_form->lblCodRel->text(), u"FIS012"_qs);
    QCOMPARE(m_form->grbDadosRel->size(), QSize(473, 243));
    QCOMPARE(m_form->bvlSeparator->width(), 469);
    QCOMPARE(m_form->cbbReportNames->width(), 392);
    QCOMPARE(m_form->property("HelpContext").toInt(), 11501200);
    QVERIFY(m_form->lblEmpresa->font().bold());
}

void TstFormDefinition::filterControlsInPlace_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("entry");
    QTest::newRow("company") << u"lblEmpresa"_qs << u"Empresa"_qs << u"medCdEmpresa"_qs;
    QTest::newRow("state") << u"lblInscEstad"_qs << u"Insc. Estadual"_qs << u"medInscEstad"_qs;
    QTest::newRow("municipal") << u"lblInscMuni"_qs << u"Insc. Municipal"_qs << u"medInscMuni"_qs;
    QTest::newRow("branch") << u"lblFilialOrigem"_qs << u"Filial Origem"_qs << u"medCdFilial"_qs;
    QTest::newRow("direction") << u"lblEntrSaida"_qs << u"Entrada/Saída"_qs << u"cbbEntrSaida"_qs;
    QTest::newRow("start") << u"lblDtInicial"_qs << u"Data Inicial"_qs << u"depDtInicial"_qs;
    QTest::newRow("end") << u"lblDtFinal"_qs << u"Data Final"_qs << u"depDtFinal"_qs;
}

void TstFormDefinition::filterControlsInPlace()
{
    QFETCH(QString, label);
    QFETCH(QString, caption);
    QFETCH(QString, entry);
    auto* lbl = m_form->grbDadosRel->findChild<QLabel*>(label);
    QVERIFY(lbl);
    QCOMPARE(lbl->text(), caption);
    QVERIFY(m_form->grbDadosRel->findChild<QWidget*>(entry));
}

void TstFormDefinition::initialState()
{
    for (QCheckBox* box :
         {m_form->chbEmpresa, m_form->chbInscEstad, m_form->chbInscMuni, m_form->chbFilial}) {
        QCOMPARE(box->text(), u"Todas"_qs);
        QVERIFY(!box->isChecked());
        QVERIFY(!(box->focusPolicy() & Qt::TabFocus));
    }
    for (QLineEdit* name : {m_form->edtNmEmpresa, m_form->edtNmFilial}) {
        QVERIFY(!name->isEnabled());
        QVERIFY(name->text().isEmpty());
    }
    for (TMaskEdit* edit :
         {m_form->medCdEmpresa, m_form->medInscEstad, m_form->medInscMuni, m_form->medCdFilial})
        QVERIFY(edit->text().isEmpty());
    QCOMPARE(m_form->cbbEntrSaida->currentText(), u"Entrada"_qs);
    QCOMPARE(m_form->cbbReportNames->currentIndex(), 0);
    QVERIFY(m_form->depDtInicial->Text().isEmpty());
    QVERIFY(m_form->depDtFinal->Text().isEmpty());
    QCOMPARE(m_form->depDtInicial->ValidDateColor(), QColor(Qt::blue));
    QCOMPARE(m_form->depDtFinal->NomeSemana(),
             (QStringList{u"Domingo"_qs, u"Segunda"_qs, u"Terça"_qs, u"Quarta"_qs, u"Quinta"_qs,
                          u"Sexta"_qs, u"Sábado"_qs}));
    QVERIFY(!m_form->depDtFinal->SaveTime());
    QCOMPARE(m_form->gpbTpOper->title(), u"Tp. Operação"_qs);
    QVERIFY(m_form->gpbTpOper->isEnabled());
    QCOMPARE(m_form->rdbTodos->text(), u"Todos"_qs);
    QCOMPARE(m_form->rdbLista->text(), u"Lista"_qs);
    QVERIFY(m_form->rdbTodos->isChecked());
    // The first report is not the withholding one, so the group stays off.
    QVERIFY(m_form->cbbReportNames->currentText() != TfrmListDocumentos::WithholdingReport);
    QVERIFY(!m_form->rdbTodos->isEnabled());
    QVERIFY(!m_form->rdbLista->isEnabled());
    QVERIFY(!m_form->btnTpOperacao->isEnabled());
}

void TstFormDefinition::masksLimitTyping_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("company digits") << u"medCdEmpresa"_qs << u"1a2b3"_qs << u"12"_qs;
    QTest::newRow("branch upper") << u"medCdFilial"_qs << u"sp-0x9"_qs << u"SP0X"_qs;
    QTest::newRow("state anything")
        << u"medInscEstad"_qs << u"12.345/678-90 ABCDEFG"_qs << u"12.345/678-90 AB"_qs;
    QTest::newRow("municipal anything")
        << u"medInscMuni"_qs << u"%_'--;0123456789XYZ"_qs << u"%_'--;0123456789"_qs;
}

void TstFormDefinition::masksLimitTyping()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    auto* edit = m_form->findChild<TMaskEdit*>(field);
    QVERIFY(edit);
    edit->setFocus();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), expected);
}

void TstFormDefinition::directionHoldsOnlyItsItems()
{
    QComboBox* combo = m_form->cbbEntrSaida;
    QVERIFY(!combo->isEditable());
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(0), u"Entrada"_qs);
    QCOMPARE(combo->itemText(1), u"Saída"_qs);
    QCOMPARE(combo->itemText(2), u"Ambos"_qs);
}

void TstFormDefinition::tabOrder()
{
    const QList<QWidget*> expected{m_form->medCdEmpresa, m_form->medInscEstad, m_form->medInscMuni,
                                   m_form->medCdFilial, m_form->cbbEntrSaida};
    m_form->medCdEmpresa->setFocus();
    QCOMPARE(m_form->focusWidget(), m_form->medCdEmpresa);
    for (qsizetype i = 1; i < expected.size(); ++i) {
        QTest::keyClick(m_form->focusWidget(), Qt::Key_Tab);
        QCOMPARE(m_form->focusWidget(), expected.at(i));
    }
    QTest::keyClick(m_form->focusWidget(), Qt::Key_Tab);
    QVERIFY(m_form->depDtInicial->isAncestorOf(m_form->focusWidget()) ||
            m_form->focusWidget() == m_form->depDtInicial);
    QTest::keyClick(m_form->focusWidget(), Qt::Key_Tab);
    QVERIFY(m_form->depDtFinal->isAncestorOf(m_form->focusWidget()) ||
            m_form->focusWidget() == m_form->depDtFinal);
}

void TstFormDefinition::messageTable()
{
    const QStringList keys{u"Arq_Rel_Err"_qs,   u"NovoCaption"_qs,   u"NovoPrompt"_qs,
                           u"Emp_inf"_qs,       u"Emp_cad"_qs,       u"InscEstad_inf"_qs,
                           u"InscEstad_cad"_qs, u"InscMuni_inf"_qs,  u"InscMuni_cad"_qs,
                           u"Filial_inf"_qs,    u"Filial_cad"_qs,    u"Dt_inv"_qs,
                           u"DtFinal_inf"_qs,   u"DtInicial_inf"_qs, u"EntrSaida_inf"_qs,
                           u"nao_ha_tipo"_qs,   u"TipoOper"_qs,      u"Tp_Inf"_qs};
    const QStringList lines = m_form->msgPadrao->messages();
    QCOMPARE(lines.size(), keys.size());
    for (qsizetype i = 0; i < keys.size(); ++i)
        QVERIFY2(lines.at(i).startsWith(keys.at(i) + u'|'), qPrintable(lines.at(i)));
    TMessages* msg = m_form->msgPadrao;
    QCOMPARE(msg->Msg(u"Arq_Rel_Err"_qs),
             u"O arquivo contendo a definição do Relatório de código '%s' não foi encontrado no "
             "diretório '%s'."_qs);
    QCOMPARE(msg->Msg(u"NovoPrompt"_qs), u"Informe o título do relatório:"_qs);
    QCOMPARE(msg->Msg(u"Emp_cad"_qs), u"Empresa não cadastrada."_qs);
    QCOMPARE(msg->Msg(u"Filial_inf"_qs), u"Filial origem deve ser informada."_qs);
    QCOMPARE(msg->Msg(u"Dt_inv"_qs), u"Data inicial deve ser menor ou igual a data final."_qs);
    QCOMPARE(msg->Msg(u"EntrSaida_inf"_qs), u"Operação de Entrada/Saida deve ser informada."_qs);
    QCOMPARE(msg->Msg(u"nao_ha_tipo"_qs), u"Não há tipo de operação cadastrado."_qs);
    QCOMPARE(msg->Msg(u"Tp_Inf"_qs), u"Tipo de Operação deve ser informado."_qs);
    QVERIFY(m_form->msgMensagens->messages().isEmpty());
}

void TstFormDefinition::missingReportNamesCodeAndFolder()
{
    m_form.reset();
    m_host->useEmptyReportDirectory();
    m_host->presenter().clear();
    QVERIFY_THROWS_EXCEPTION(EAbort, TfrmListDocumentos());
    QCOMPARE(m_host->presenter().errors,
             QStringList{u"O arquivo contendo a definição do Relatório de código 'FIS012' não foi "
                         "encontrado no diretório '"_qs +
                         QDir::toNativeSeparators(TApplication::instance()->reportDirectory()) +
                         u"'."_qs});
}

void TstFormDefinition::unfitDefinitionIsRefusedOthersOffered_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("reason");
    const QString fits = u"SELECT CDEMPRESA FROM EMPRESA WHERE CDEMPRESA = :P_CDEMPRESA"_qs;
    QTest::newRow("fits") << fits << u"CDEMPRESA"_qs << QString();
    QTest::newRow("parameter") << u"SELECT CDEMPRESA FROM EMPRESA WHERE CDEMPRESA = :P_OUTRO"_qs
                               << u"CDEMPRESA"_qs
                               << u"a consulta usa o parâmetro P_OUTRO, que esta tela não "
                                  "preenche"_qs;
    QTest::newRow("field") << fits << u"NMEMPRESA"_qs
                           << u"a consulta não traz o campo 'NMEMPRESA'"_qs;
}

void TstFormDefinition::unfitDefinitionIsRefusedOthersOffered()
{
    QFETCH(QString, sql);
    QFETCH(QString, field);
    QFETCH(QString, reason);
    m_form.reset();
    QTemporaryDir reports;
    const auto write = [&](const QString& file, const QString& name, const QString& text,
                           const QString& column) {
        QFile f(reports.filePath(file));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(uR"({"name": "%1", "reportCode": "FIS012", "query": {"SQL": "%2"},
                    "columns": [{"field": "%3"}]})"_qs.arg(name, text, column)
                    .toUtf8());
    };
    const QString good = u"SELECT CDEMPRESA, NMRAZSOCEMPR FROM EMPRESA"_qs;
    write(u"FIS012_01.json"_qs, u"Bom"_qs, good, u"NMRAZSOCEMPR"_qs);
    write(u"FIS012_02.json"_qs, u"Em teste"_qs, sql, field);
    TApplication::instance()->setReportDirectory(reports.path());
    m_host->presenter().clear();
    TfrmListDocumentos form;
    QStringList offered;
    for (int i = 0; i < form.cbbReportNames->count(); ++i)
        offered << form.cbbReportNames->itemText(i);
    if (reason.isEmpty()) {
        QCOMPARE(offered, (QStringList{u"Bom"_qs, u"Em teste"_qs}));
        QVERIFY(m_host->presenter().errors.isEmpty());
        return;
    }
    QCOMPARE(offered, QStringList{u"Bom"_qs});
    QCOMPARE(m_host->presenter().errors.size(), 1);
    const QString message = m_host->presenter().errors.first();
    QVERIFY2(message.contains(reports.filePath(u"FIS012_02.json"_qs)), qPrintable(message));
    QVERIFY2(message.contains(reason), qPrintable(message));
}

void TstFormDefinition::searchButtonsSettings()
{
    struct Expected
    {
        TBtnPesquisa* button;
        QWidget* associate;
        QString title;
        TDataSource* source;
        QString empty;
    };
    const QList<Expected> all{
        {m_form->btpEmpresa, m_form->medCdEmpresa, u"Empresa"_qs, m_form->dtsEmpresa, {}},
        {m_form->btpInscEstad, m_form->medInscEstad, u"Inscrição Estadual"_qs, m_form->dtsInscEstad,
         u"Não há inscrição estadual cadastrada para a empresa informada."_qs},
        {m_form->btpInscMuni, m_form->medInscMuni, u"Inscrição Municipal"_qs, m_form->dtsInscMuni,
         u"Não há inscrição municipal cadastrada para a empresa informada."_qs},
        {m_form->btpFilial, m_form->medCdFilial, u"Filial"_qs, m_form->dtsFilial,
         u"Não há filial cadastrada para a empresa informada."_qs},
        {m_form->btnTpOperacao, m_form->rdbLista, QString(), m_form->dtsTpOperacao,
         u"Não há tipo de operação cadastrado."_qs},
    };
    for (const Expected& e : all) {
        QCOMPARE(e.button->Associate(), e.associate);
        QCOMPARE(e.button->Title(), e.title);
        QCOMPARE(e.button->DataSource(), e.source);
        QCOMPARE(e.button->EmptyError(), e.empty);
        QCOMPARE(e.button->toolTip(), u"Pesquisar"_qs);
        QCOMPARE(e.button->focusPolicy(), Qt::NoFocus);
    }
    QVERIFY(m_form->btpEmpresa->OnBeforePesq && m_form->btpEmpresa->OnAfterPesq);
    QVERIFY(m_form->btnTpOperacao->OnClick && !m_form->btnTpOperacao->OnBeforePesq);
    for (QToolButton* output : {m_form->sbtPrint, m_form->sbtPreview, m_form->sbtReportEdit})
        QCOMPARE(output->focusPolicy(), Qt::NoFocus);
}

void TstFormDefinition::lookupQueriesClosedOnConnection()
{
    for (TADOIBQuery* q : {m_form->qryEmpresa, m_form->qryInscEstad, m_form->qryInscMuni,
                           m_form->qryFilial, m_form->qryTpOperacao}) {
        QVERIFY(!q->Active());
        QCOMPARE(q->ADOConnection(), dtmDBGeral->adcGeral);
        QCOMPARE(q->DataBase(), dtmDBGeral->dtbGeral);
        QCOMPARE(q->Transaction(), dtmDBGeral->ibtGeral);
        QCOMPARE(q->DataSource()->DataSet(), q);
    }
    QCOMPARE(
        m_form->qryFilial->Params().names(),
        (QStringList{u"P_CDEMPRESA"_qs, u"P_CDINSCMUNI"_qs, u"P_CDINSCESTA"_qs, u"P_CDFILIAL"_qs}));
}

void TstFormDefinition::reportDependentState_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("exact") << TfrmListDocumentos::WithholdingReport << true;
    QTest::newRow("letter case") << u"Retenções por cliente/fornecedor"_qs << false;
    QTest::newRow("trailing blank") << u"Retenções por Cliente/Fornecedor "_qs << false;
    QTest::newRow("no accent") << u"Retencoes por Cliente/Fornecedor"_qs << false;
    QTest::newRow("other") << u"Listagem dos Documentos"_qs << false;
}

void TstFormDefinition::reportDependentState()
{
    QFETCH(QString, name);
    QFETCH(bool, enabled);
    m_form->cbbReportNames->addItem(name);
    m_form->cbbReportNames->setCurrentIndex(m_form->cbbReportNames->count() - 1);
    m_form->cbbReportNamesChange(m_form->cbbReportNames);
    QCOMPARE(m_form->rdbTodos->isEnabled(), enabled);
    QCOMPARE(m_form->rdbLista->isEnabled(), enabled);
    // With "Todos" chosen the picker stays off even for the withholding report.
    QVERIFY(!m_form->btnTpOperacao->isEnabled());
    QVERIFY(m_form->gpbTpOper->isEnabled());
}

void TstFormDefinition::reportSwitchKeepsListChoice()
{
    QComboBox* reports = m_form->cbbReportNames;
    const int withholding = reports->findText(TfrmListDocumentos::WithholdingReport);
    QVERIFY2(withholding > 0, "the project's reports include the withholding report");
    reports->setCurrentIndex(withholding);
    m_form->cbbReportNamesChange(reports);
    m_form->rdbLista->setChecked(true);
    m_form->cbbReportNamesChange(reports);
    QVERIFY(m_form->btnTpOperacao->isEnabled());

    reports->setCurrentIndex(0);
    m_form->cbbReportNamesChange(reports);
    QVERIFY(!m_form->rdbTodos->isEnabled());
    QVERIFY(!m_form->rdbLista->isEnabled());
    QVERIFY(!m_form->btnTpOperacao->isEnabled());
    QVERIFY(m_form->rdbLista->isChecked());

    reports->setCurrentIndex(withholding);
    m_form->cbbReportNamesChange(reports);
    QVERIFY(m_form->rdbLista->isEnabled());
    QVERIFY(m_form->btnTpOperacao->isEnabled());
}

QTEST_MAIN(TstFormDefinition)
#include "tst_formdefinition.moc"
