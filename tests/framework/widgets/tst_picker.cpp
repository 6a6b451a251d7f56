// The list text TListText and the multiple-selection list PesquisaLista /
// TListPickerDialog over an SQLite query.

#include "EFrameworkError.h"
#include "PesquisaLista.h"
#include "RecordingPresenter.h"
#include "TADOIBQuery.h"
#include "TDBConnection.h"
#include "TDataSource.h"
#include "TListPickerDialog.h"
#include "TListText.h"
#include "TestDatabase.h"

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace {

void onModal(std::function<void(TListPickerDialog*)> steps)
{
    QTimer::singleShot(0, [steps] {
        auto* dialog = qobject_cast<TListPickerDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            onModal(steps);
            return;
        }
        steps(dialog);
        // A failed check leaves the steps early: do not leave the dialog hanging.
        if (dialog->isVisible())
            dialog->reject();
    });
}

} // namespace

class tst_Picker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void formatQuotesAndSeparates();
    void roundTrip_data();
    void roundTrip();
    void parseIsLenient();
    void reportQueryCanTestMembership();

    void okWritesMarkedKeysInRowOrder();
    void cancelLeavesListUnchanged();
    void preselectsKeysOfTheList();
    void markAllMarksEveryRowOfAnEmptyList();
    void buttonsMarkAndUnmarkAll();
    void emptyDatasetInformsAndKeepsList();
    void opensAClosedQuery();
    void showsVisibleFieldsOnly();
    void unknownKeyFieldIsAnError();

private:
    TDataSource* makeSource(const QString& where = {});

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDBConnection> m_connection;
    std::unique_ptr<RecordingPresenter> m_presenter;
    std::vector<std::unique_ptr<QObject>> m_owned;
    TADOIBQuery* m_query = nullptr;
};

void tst_Picker::init()
{
    m_db = std::make_unique<TestDatabase>(QStringList{
        QStringLiteral("CREATE TABLE TIPOOPERAC (IDENTRSAIDOP CHAR(1), CDTIPOOPER CHAR(2), "
                       "NMTIPOOPER VARCHAR(30))"),
        QStringLiteral("INSERT INTO TIPOOPERAC VALUES ('S', '05', 'Venda')"),
        QStringLiteral("INSERT INTO TIPOOPERAC VALUES ('E', '01', 'Compra')"),
        QStringLiteral("INSERT INTO TIPOOPERAC VALUES ('E', '02', 'Devolução de venda')"),
        QStringLiteral("INSERT INTO TIPOOPERAC VALUES ('S', '''', 'Aspas')")});
    m_connection = std::make_unique<TDBConnection>(m_db->connectionName());
    m_presenter = std::make_unique<RecordingPresenter>();
}

void tst_Picker::cleanup()
{
    m_owned.clear();
    m_query = nullptr;
    m_connection.reset();
    m_db.reset();
    m_presenter.reset();
}

TDataSource* tst_Picker::makeSource(const QString& where)
{
    auto* query = new TADOIBQuery;
    m_owned.emplace_back(query);
    query->setObjectName(QStringLiteral("qryTpOperacao"));
    query->setADOConnection(m_connection.get());
    query->setSQL({QStringLiteral("SELECT ' ' AS IDMARCADO, IDENTRSAIDOP || CDTIPOOPER AS CHAVE, "
                                  "IDENTRSAIDOP, CDTIPOOPER, NMTIPOOPER FROM TIPOOPERAC ") +
                   where + QStringLiteral(" ORDER BY IDENTRSAIDOP, CDTIPOOPER")});
    query->AddField(QStringLiteral("CHAVE"), QStringLiteral("CHAVE"), 7, false, false);
    query->AddField(QStringLiteral("IDENTRSAIDOP"), QStringLiteral("Operação"), 1, false, true);
    query->AddField(QStringLiteral("CDTIPOOPER"), QStringLiteral("Código"), 2, false, true);
    query->AddField(QStringLiteral("NMTIPOOPER"), QStringLiteral("Descrição"), 30, false, true);
    auto* source = new TDataSource;
    m_owned.emplace_back(source);
    source->setDataSet(query);
    m_query = query;
    return source;
}

// Rows in dataset order: E01 Compra, E02 Devolução, S' Aspas, S05 Venda.
static const QString titles =
    QStringLiteral("Tipo de Operação|Não há tipo de operação cadastrado.");

void tst_Picker::formatQuotesAndSeparates()
{
    QCOMPARE(TListText::format({}), QString());
    QCOMPARE(TListText::format({"E01", "S05"}), QStringLiteral("'E01','S05'"));
    QCOMPARE(TListText::format({"O'Neil"}), QStringLiteral("'O''Neil'"));
    QCOMPARE(TListText::format({""}), QStringLiteral("''"));
    QCOMPARE(TListText::parse(QString()), QStringList());
    QCOMPARE(TListText::parse(QStringLiteral("'E01','S05'")), (QStringList{"E01", "S05"}));
}

void tst_Picker::roundTrip_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("none") << QStringList{};
    QTest::newRow("one") << QStringList{"E01"};
    QTest::newRow("one empty key") << QStringList{""};
    QTest::newRow("empty keys around") << QStringList{"", "A", ""};
    QTest::newRow("quotes") << QStringList{"'", "''", "a'b", "'x'"};
    QTest::newRow("commas") << QStringList{",", "a,b", "','", ",,"};
    QTest::newRow("blanks") << QStringList{" ", " a ", "a b"};
    QTest::newRow("everything") << QStringList{"'a',", "%_", "\\", "ç|Ã", "\t\n", "\"q\""};
}

void tst_Picker::roundTrip()
{
    QFETCH(QStringList, keys);
    const QString text = TListText::format(keys);
    QCOMPARE(TListText::parse(text), keys);
    QCOMPARE(text.isEmpty(), keys.isEmpty());
}

void tst_Picker::parseIsLenient()
{
    QCOMPARE(TListText::parse(QStringLiteral("  ")), QStringList());
    QCOMPARE(TListText::parse(QStringLiteral(" 'E01' , 'S05' ")), (QStringList{"E01", "S05"}));
    QCOMPARE(TListText::parse(QStringLiteral("E01, S05")), (QStringList{"E01", "S05"}));
    QCOMPARE(TListText::parse(QStringLiteral("'E01")), QStringList{"E01"});
}

void tst_Picker::reportQueryCanTestMembership()
{
    makeSource();
    QSqlQuery q(m_connection->database());
    QVERIFY(q.prepare(QStringLiteral("SELECT IDENTRSAIDOP || CDTIPOOPER FROM TIPOOPERAC "
                                     "WHERE ? LIKE '%''' || IDENTRSAIDOP || CDTIPOOPER || '''%' "
                                     "ORDER BY IDENTRSAIDOP, CDTIPOOPER")));
    q.addBindValue(TListText::format({"S05", "E01", "X99"}));
    QVERIFY(q.exec());
    QStringList found;
    while (q.next())
        found << q.value(0).toString();
    QCOMPARE(found, (QStringList{"E01", "S05"}));
}

void tst_Picker::okWritesMarkedKeysInRowOrder()
{
    TDataSource* source = makeSource();
    QString list;
    onModal([](TListPickerDialog* dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Tipo de Operação"));
        QCOMPARE(dialog->rowCount(), 4);
        for (int row = 0; row < 4; ++row)
            QVERIFY(!dialog->isMarked(row));
        QTableView* view = dialog->view();
        QTRY_COMPARE(QApplication::focusWidget(), view);
        // Last row first: the list keeps the dataset's order.
        QTest::keyClick(view, Qt::Key_End);
        QCOMPARE(dialog->currentRow(), 3);
        QTest::keyClick(view, Qt::Key_Space);
        QTest::keyClick(view, Qt::Key_Home);
        QTest::keyClick(view, Qt::Key_Space);
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Space);
        QTest::keyClick(view, Qt::Key_Up);
        QTest::keyClick(view, Qt::Key_Space);
        QTest::keyClick(view, Qt::Key_Space); // toggled back
        QVERIFY(dialog->isMarked(0) && !dialog->isMarked(1) && dialog->isMarked(2) &&
                dialog->isMarked(3));
        QTest::keyClick(view, Qt::Key_Return);
    });
    PesquisaLista(source, QStringLiteral("CHAVE"), titles, false, list);
    QCOMPARE(list, QStringLiteral("'E01','S''','S05'"));
    QCOMPARE(TListText::parse(list), (QStringList{"E01", "S'", "S05"}));
    QVERIFY(m_presenter->informations.isEmpty());
}

void tst_Picker::cancelLeavesListUnchanged()
{
    TDataSource* source = makeSource();
    QString list = QStringLiteral("'E02'");
    onModal([](TListPickerDialog* dialog) {
        dialog->markAll();
        QTest::keyClick(dialog->view(), Qt::Key_Escape);
    });
    PesquisaLista(source, QStringLiteral("CHAVE"), titles, false, list);
    QCOMPARE(list, QStringLiteral("'E02'"));

    onModal([](TListPickerDialog* dialog) {
        dialog->markAll();
        dialog->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    });
    PesquisaLista(source, QStringLiteral("CHAVE"), titles, true, list);
    QCOMPARE(list, QStringLiteral("'E02'"));
}

void tst_Picker::preselectsKeysOfTheList()
{
    TDataSource* source = makeSource();
    QString list = TListText::format({"S05", "E01", "Z99"});
    QList<bool> marks;
    onModal([&](TListPickerDialog* dialog) {
        for (int row = 0; row < dialog->rowCount(); ++row)
            marks << dialog->isMarked(row);
        dialog->findChild<QPushButton*>(QStringLiteral("ok"))->click();
    });
    // markAll does not apply to a non-empty list.
    PesquisaLista(source, QStringLiteral("CHAVE"), titles, true, list);
    QCOMPARE(marks, (QList<bool>{true, false, false, true}));
    // OK writes what is marked: the unknown key is gone, the order is the dataset's.
    QCOMPARE(list, QStringLiteral("'E01','S05'"));
}

void tst_Picker::markAllMarksEveryRowOfAnEmptyList()
{
    TDataSource* source = makeSource();
    QString list;
    QList<bool> marks;
    onModal([&](TListPickerDialog* dialog) {
        for (int row = 0; row < dialog->rowCount(); ++row)
            marks << dialog->isMarked(row);
        QTest::keyClick(dialog->view(), Qt::Key_Enter);
    });
    PesquisaLista(source, QStringLiteral("CHAVE"), titles, true, list);
    QCOMPARE(marks, (QList<bool>{true, true, true, true}));
    QCOMPARE(TListText::parse(list), (QStringList{"E01", "E02", "S'", "S05"}));

    // With false nothing starts marked; OK with nothing marked gives the empty list.
    onModal([&](TListPickerDialog* dialog) {
        QVERIFY(dialog->markedKeys().isEmpty());
        dialog->unmarkAll();
        QTest::keyClick(dialog->view(), Qt::Key_Return);
    });
    list.clear();
    PesquisaLista(source, QStringLiteral("CHAVE"), titles, false, list);
    QCOMPARE(list, QString());
}

void tst_Picker::buttonsMarkAndUnmarkAll()
{
    TDataSource* source = makeSource();
    QString list = QStringLiteral("'E01'");
    onModal([](TListPickerDialog* dialog) {
        auto* markAll = dialog->findChild<QPushButton*>(QStringLiteral("markAll"));
        auto* unmarkAll = dialog->findChild<QPushButton*>(QStringLiteral("unmarkAll"));
        QCOMPARE(markAll->text(), QStringLiteral("Marcar todos"));
        QCOMPARE(unmarkAll->text(), QStringLiteral("Desmarcar todos"));
        QCOMPARE(dialog->findChild<QPushButton*>(QStringLiteral("ok"))->text(),
                 QStringLiteral("OK"));
        QCOMPARE(dialog->findChild<QPushButton*>(QStringLiteral("cancel"))->text(),
                 QStringLiteral("Cancelar"));
        markAll->click();
        QCOMPARE(dialog->markedKeys().size(), 4);
        unmarkAll->click();
        QVERIFY(dialog->markedKeys().isEmpty());
        dialog->setMarked(1, true);
        QTest::keyClick(dialog->view(), Qt::Key_Return);
    });
    PesquisaLista(source, QStringLiteral("CHAVE"), titles, false, list);
    QCOMPARE(list, QStringLiteral("'E02'"));
}

void tst_Picker::emptyDatasetInformsAndKeepsList()
{
    TDataSource* source = makeSource(QStringLiteral("WHERE 1 = 0"));
    QString list = QStringLiteral("'E01'");
    bool shown = false;
    QTimer guard;
    connect(&guard, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            shown = true;
            modal->close();
        }
    });
    guard.start(10);
    PesquisaLista(source, QStringLiteral("CHAVE"), titles, false, list);
    QCOMPARE(list, QStringLiteral("'E01'"));
    QCOMPARE(m_presenter->informations,
             QStringList{QStringLiteral("Não há tipo de operação cadastrado.")});
    QTest::qWait(30);
    QVERIFY(!shown);
}

void tst_Picker::opensAClosedQuery()
{
    TDataSource* source = makeSource();
    QVERIFY(!m_query->Active());
    QString list;
    onModal([](TListPickerDialog* dialog) { QTest::keyClick(dialog->view(), Qt::Key_Escape); });
    PesquisaLista(source, QStringLiteral("CHAVE"), titles, false, list);
    QVERIFY(m_query->Active());
}

void tst_Picker::showsVisibleFieldsOnly()
{
    makeSource();
    m_query->Open();
    TListPickerDialog dialog(m_query, QStringLiteral("CHAVE"), QString());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Pesquisa"));
    QAbstractItemModel* model = dialog.view()->model();
    QCOMPARE(model->columnCount(), 3);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Operação"));
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Código"));
    QCOMPARE(model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Descrição"));
    QCOMPARE(model->index(1, 2).data().toString(), QStringLiteral("Devolução de venda"));
    QCOMPARE(model->index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(dialog.keyOf(1), QStringLiteral("E02"));
    // A click on the check box marks the row.
    QVERIFY(model->setData(model->index(1, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(dialog.isMarked(1));
    QCOMPARE(dialog.markedKeys(), QStringList{"E02"});
}

void tst_Picker::unknownKeyFieldIsAnError()
{
    TDataSource* source = makeSource();
    QString list = QStringLiteral("'E01'");
    QVERIFY_THROWS_EXCEPTION(EFrameworkError,
                             PesquisaLista(source, QStringLiteral("NADA"), titles, false, list));
    QCOMPARE(list, QStringLiteral("'E01'"));
}

QTEST_MAIN(tst_Picker)
#include "tst_picker.moc"
