// The search button TBtnPesquisa and its list TSearchDialog over an SQLite query.

#include "EAbort.h"
#include "EFrameworkError.h"
#include "Helpers.h"
#include "RecordingPresenter.h"
#include "TADOIBQuery.h"
#include "TBtnPesquisa.h"
#include "TDBConnection.h"
#include "TDataSource.h"
#include "TSearchDialog.h"
#include "TestDatabase.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace {

// Runs the steps on the modal dialog that the next call opens.
void onModal(std::function<void(QWidget*)> steps)
{
    QTimer::singleShot(0, [steps] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            // Not up yet: look again.
            onModal(steps);
            return;
        }
        steps(modal);
        // A failed check leaves the steps early: do not leave the dialog hanging.
        if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog->isVisible())
            dialog->reject();
    });
}

} // namespace

class tst_Search : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void beforeRunsFirstThenListThenAfter();
    void throwingBeforeShowsNoList();
    void proceedFalseStops();
    void emptyResultShowsEmptyError();
    void emptyResultWithoutEmptyErrorInforms();
    void clickRunsInsideGuard();
    void onClickReplacesTheSearch();
    void opensAClosedQuery();
    void escCancels();
    void upDownFromFilterAndEnterPicks();
    void doubleClickPicks();
    void filterIgnoresCaseAndAccents();
    void enterWithoutMatchPicksNothing();
    void showsVisibleFieldsInDeclaredOrder();
    void allColumnsWithoutDeclaredFields();
    void titleDefaults();
    void millionRowsOpenAtOnce();
    void filterReadsOnUntilViewFilled();

private:
    TADOIBQuery* makeQuery(const QString& sql, bool fields = true);
    // Every company, opened.
    TADOIBQuery* openAllCompanies();
    TBtnPesquisa* makeButton(TADOIBQuery* query);

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDBConnection> m_connection;
    std::unique_ptr<RecordingPresenter> m_presenter;
    std::vector<std::unique_ptr<QObject>> m_owned;
    std::unique_ptr<TBtnPesquisa> m_button;
};

void tst_Search::init()
{
    m_db = std::make_unique<TestDatabase>(QStringList{
        QStringLiteral("CREATE TABLE EMPRESA (CDEMPRESA VARCHAR(2), NMRAZSOCEMPR VARCHAR(80), "
                       "SECRETO VARCHAR(10))"),
        QStringLiteral("INSERT INTO EMPRESA VALUES ('01', 'Alfa Comércio', 'x')"),
        QStringLiteral("INSERT INTO EMPRESA VALUES ('02', 'Beta Indústria', 'y')"),
        QStringLiteral("INSERT INTO EMPRESA VALUES ('03', 'Gama Serviços', 'z')"),
        QStringLiteral("INSERT INTO EMPRESA VALUES ('10', 'AÇÃO SOCIAL', 'w')")});
    m_connection = std::make_unique<TDBConnection>(m_db->connectionName());
    m_presenter = std::make_unique<RecordingPresenter>();
}

void tst_Search::cleanup()
{
    m_button.reset();
    m_owned.clear();
    m_connection.reset();
    m_db.reset();
    m_presenter.reset();
}

TADOIBQuery* tst_Search::makeQuery(const QString& sql, bool fields)
{
    auto* query = new TADOIBQuery;
    m_owned.emplace_back(query);
    query->setObjectName(QStringLiteral("qryEmpresa"));
    query->setADOConnection(m_connection.get());
    query->setSQL({sql});
    if (fields) {
        query->AddField(QStringLiteral("CDEMPRESA"), QStringLiteral("Código"), 2, true, true);
        query->AddField(QStringLiteral("NMRAZSOCEMPR"), QStringLiteral("Razão Social"), 40, false,
                        true);
        query->AddField(QStringLiteral("SECRETO"), QStringLiteral("Segredo"), 10, false, false);
    }
    return query;
}

TBtnPesquisa* tst_Search::makeButton(TADOIBQuery* query)
{
    auto* source = new TDataSource;
    m_owned.emplace_back(source);
    source->setDataSet(query);
    m_button = std::make_unique<TBtnPesquisa>();
    m_button->setTitle(QStringLiteral("Empresa"));
    m_button->setDataSource(source);
    return m_button.get();
}

static const QString allCompanies =
    QStringLiteral("SELECT CDEMPRESA, NMRAZSOCEMPR, SECRETO FROM EMPRESA "
                   "WHERE (:P_TCDEMPRESA = 'T' OR CDEMPRESA = :P_CDEMPRESA) ORDER BY CDEMPRESA");

TADOIBQuery* tst_Search::openAllCompanies()
{
    TADOIBQuery* query = makeQuery(allCompanies);
    query->ParamByName(QStringLiteral("P_TCDEMPRESA")).SetAsString(QStringLiteral("T"));
    query->Open();
    return query;
}

void tst_Search::beforeRunsFirstThenListThenAfter()
{
    TADOIBQuery* query = makeQuery(allCompanies);
    TBtnPesquisa* button = makeButton(query);
    QStringList order;
    button->OnBeforePesq = [&](QObject* sender, bool& proceed) {
        QCOMPARE(sender, button);
        QVERIFY(proceed);
        order << QStringLiteral("before");
        query->Close();
        query->ParamByName(QStringLiteral("P_TCDEMPRESA")).SetAsString(QStringLiteral("T"));
        query->ParamByName(QStringLiteral("P_CDEMPRESA")).Clear();
        query->Open();
    };
    button->OnAfterPesq = [&](QObject* sender) {
        QCOMPARE(sender, button);
        order << QStringLiteral("after:") +
                     query->FieldByName(QStringLiteral("CDEMPRESA"))->AsString();
    };
    onModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<TSearchDialog*>(modal);
        QVERIFY(dialog);
        order << QStringLiteral("list");
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Empresa"));
        QTRY_COMPARE(QApplication::focusWidget(), dialog->filterEdit());
        QTRY_COMPARE(dialog->shownRowCount(), 4);
        QCOMPARE(dialog->currentRow(), 0);
        QTest::keyClicks(dialog->filterEdit(), QStringLiteral("gama"));
        QTRY_COMPARE(dialog->shownRowCount(), 1);
        QTest::keyClick(dialog->filterEdit(), Qt::Key_Return);
    });
    button->Pesquisar();
    QCOMPARE(order, (QStringList{"before", "list", "after:03"}));
    QCOMPARE(query->Query()->RecNo(), 2);
    QCOMPARE(query->FieldByName(QStringLiteral("NMRAZSOCEMPR"))->AsString(),
             QStringLiteral("Gama Serviços"));
}

void tst_Search::throwingBeforeShowsNoList()
{
    TADOIBQuery* query = makeQuery(allCompanies);
    TBtnPesquisa* button = makeButton(query);
    bool after = false;
    button->OnBeforePesq = [&](QObject*, bool&) {
        query->Close();
        query->ParamByName(QStringLiteral("P_TCDEMPRESA")).SetAsString(QStringLiteral("T"));
        query->Open();
        throw EFrameworkError(QStringLiteral("Falha no banco."));
    };
    button->OnAfterPesq = [&](QObject*) { after = true; };
    bool listShown = false;
    QTimer guard;
    connect(&guard, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            listShown = true;
            modal->close();
        }
    });
    guard.start(10);
    QVERIFY_THROWS_EXCEPTION(EFrameworkError, button->Pesquisar());
    // Pressing the button: the guard shows the error.
    button->click();
    QCOMPARE(m_presenter->errors, QStringList{QStringLiteral("Falha no banco.")});
    QTest::qWait(30);
    QVERIFY(!listShown);
    QVERIFY(!after);
}

void tst_Search::proceedFalseStops()
{
    TADOIBQuery* query = makeQuery(allCompanies);
    TBtnPesquisa* button = makeButton(query);
    bool after = false;
    button->OnBeforePesq = [&](QObject*, bool& proceed) { proceed = false; };
    button->OnAfterPesq = [&](QObject*) { after = true; };
    button->Pesquisar(); // no list: returns at once
    QVERIFY(!query->Active());
    QVERIFY(!after);
    QVERIFY(m_presenter->errors.isEmpty() && m_presenter->informations.isEmpty());
}

void tst_Search::emptyResultShowsEmptyError()
{
    TADOIBQuery* query = makeQuery(allCompanies);
    TBtnPesquisa* button = makeButton(query);
    const QString text = QStringLiteral("Não há filial cadastrada para a empresa informada.");
    button->setEmptyError(text);
    QCOMPARE(button->property("EmptyError").toString(), text);
    bool after = false;
    button->OnBeforePesq = [&](QObject*, bool&) {
        query->Close();
        query->ParamByName(QStringLiteral("P_TCDEMPRESA")).Clear();
        query->ParamByName(QStringLiteral("P_CDEMPRESA")).SetAsString(QStringLiteral("99"));
        query->Open();
    };
    button->OnAfterPesq = [&](QObject*) { after = true; };
    QVERIFY_THROWS_EXCEPTION(EAbort, button->Pesquisar());
    QCOMPARE(m_presenter->errors, QStringList{text});
    button->click(); // the silent abort ends the click
    QCOMPARE(m_presenter->errors, (QStringList{text, text}));
    QVERIFY(m_presenter->informations.isEmpty());
    QVERIFY(!after);
}

void tst_Search::emptyResultWithoutEmptyErrorInforms()
{
    TADOIBQuery* query = makeQuery(allCompanies);
    TBtnPesquisa* button = makeButton(query);
    button->OnBeforePesq = [&](QObject*, bool&) {
        query->Close();
        query->ParamByName(QStringLiteral("P_CDEMPRESA")).SetAsString(QStringLiteral("99"));
        query->Open();
    };
    button->Pesquisar();
    QCOMPARE(m_presenter->informations, QStringList{QStringLiteral("Nenhum registro encontrado.")});
    QVERIFY(m_presenter->errors.isEmpty());
}

void tst_Search::clickRunsInsideGuard()
{
    TADOIBQuery* query = makeQuery(allCompanies);
    TBtnPesquisa* button = makeButton(query);
    QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    QCOMPARE(button->toolTip(), QStringLiteral("Pesquisar"));
    QVERIFY(!button->icon().isNull());
    int after = 0;
    button->OnBeforePesq = [&](QObject*, bool&) {
        query->Close();
        query->ParamByName(QStringLiteral("P_TCDEMPRESA")).SetAsString(QStringLiteral("T"));
        query->Open();
    };
    button->OnAfterPesq = [&](QObject*) {
        ++after;
        MensErro(QStringLiteral("Depois."), true); // guarded by the click
    };
    onModal([](QWidget* modal) {
        auto* dialog = qobject_cast<TSearchDialog*>(modal);
        QVERIFY(dialog);
        QTest::keyClick(dialog->filterEdit(), Qt::Key_Down);
        QTest::keyClick(dialog->filterEdit(), Qt::Key_Enter);
    });
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(after, 1);
    QCOMPARE(query->Query()->RecNo(), 1);
    QCOMPARE(m_presenter->errors, QStringList{QStringLiteral("Depois.")});
}

void tst_Search::onClickReplacesTheSearch()
{
    TADOIBQuery* query = makeQuery(allCompanies);
    TBtnPesquisa* button = makeButton(query);
    QStringList calls;
    button->OnBeforePesq = [&](QObject*, bool&) { calls << QStringLiteral("before"); };
    button->OnAfterPesq = [&](QObject*) { calls << QStringLiteral("after"); };
    button->OnClick = [&](QObject* sender) {
        QCOMPARE(sender, button);
        calls << QStringLiteral("click");
    };
    button->Pesquisar();
    button->click();
    QCOMPARE(calls, (QStringList{"click", "click"}));
    QVERIFY(!query->Active());
}

void tst_Search::opensAClosedQuery()
{
    TADOIBQuery* query = makeQuery(
        QStringLiteral("SELECT CDEMPRESA, NMRAZSOCEMPR, SECRETO FROM EMPRESA ORDER BY CDEMPRESA"));
    TBtnPesquisa* button = makeButton(query);
    bool after = false;
    button->OnAfterPesq = [&](QObject*) { after = true; };
    onModal([](QWidget* modal) {
        auto* dialog = qobject_cast<TSearchDialog*>(modal);
        QVERIFY(dialog);
        QTest::keyClicks(dialog->filterEdit(), QStringLiteral("10"));
        QTRY_COMPARE(dialog->shownRowCount(), 1);
        QTest::keyClick(dialog->filterEdit(), Qt::Key_Return);
    });
    button->Pesquisar();
    QVERIFY(query->Active());
    QVERIFY(after);
    QCOMPARE(query->FieldByName(QStringLiteral("CDEMPRESA"))->AsString(), QStringLiteral("10"));
}

void tst_Search::escCancels()
{
    TADOIBQuery* query = makeQuery(allCompanies);
    TBtnPesquisa* button = makeButton(query);
    bool after = false;
    button->OnBeforePesq = [&](QObject*, bool&) {
        query->Close();
        query->ParamByName(QStringLiteral("P_TCDEMPRESA")).SetAsString(QStringLiteral("T"));
        query->Open();
    };
    button->OnAfterPesq = [&](QObject*) { after = true; };
    int result = -2;
    onModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<TSearchDialog*>(modal);
        QVERIFY(dialog);
        QTest::keyClick(dialog->filterEdit(), Qt::Key_Down);
        QTest::keyClick(dialog->filterEdit(), Qt::Key_Down);
        QTest::keyClick(dialog->filterEdit(), Qt::Key_Escape);
        result = dialog->pickedRow();
    });
    button->Pesquisar();
    QCOMPARE(result, -1);
    QVERIFY(!after);
    QCOMPARE(query->Query()->RecNo(), 0);

    // Esc from the list itself.
    onModal([](QWidget* modal) {
        auto* dialog = qobject_cast<TSearchDialog*>(modal);
        QVERIFY(dialog);
        dialog->view()->setFocus();
        QTest::keyClick(dialog->view(), Qt::Key_Escape);
    });
    button->Pesquisar();
    QVERIFY(!after);
}

void tst_Search::upDownFromFilterAndEnterPicks()
{
    TADOIBQuery* query = openAllCompanies();
    TSearchDialog dialog(query, QStringLiteral("Empresa"));
    dialog.show();
    QTRY_COMPARE(dialog.shownRowCount(), 4);
    QVERIFY(dialog.filterEdit()->hasFocus() || QApplication::focusWidget() == nullptr ||
            dialog.focusWidget() == dialog.filterEdit());
    QTest::keyClick(dialog.filterEdit(), Qt::Key_Down);
    QTest::keyClick(dialog.filterEdit(), Qt::Key_Down);
    QTest::keyClick(dialog.filterEdit(), Qt::Key_Down);
    QTest::keyClick(dialog.filterEdit(), Qt::Key_Up);
    QCOMPARE(dialog.currentRow(), 2);
    QTest::keyClick(dialog.filterEdit(), Qt::Key_Return);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.pickedRow(), 2);
}

void tst_Search::doubleClickPicks()
{
    TADOIBQuery* query = openAllCompanies();
    TSearchDialog dialog(query, QString());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTRY_COMPARE(dialog.shownRowCount(), 4);
    QTableView* view = dialog.view();
    const QModelIndex cell = view->model()->index(3, 0);
    const QPoint at = view->visualRect(cell).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.pickedRow(), 3);
}

void tst_Search::filterIgnoresCaseAndAccents()
{
    TADOIBQuery* query = openAllCompanies();
    TSearchDialog dialog(query, QStringLiteral("Empresa"));
    dialog.show();
    QTest::keyClicks(dialog.filterEdit(), QStringLiteral("acao"));
    QTRY_COMPARE(dialog.shownRowCount(), 1);
    QCOMPARE(dialog.currentRow(), 3);
    dialog.setFilterText(QStringLiteral("COMERCIO"));
    QTRY_COMPARE(dialog.shownRowCount(), 1);
    QCOMPARE(dialog.currentRow(), 0);
    dialog.setFilterText(QStringLiteral("ç"));
    QTRY_COMPARE(dialog.shownRowCount(), 3); // Comércio, Serviços, AÇÃO: 'c' without accent
    // The hidden field is not searched.
    dialog.setFilterText(QStringLiteral("x"));
    QTRY_COMPARE(dialog.shownRowCount(), 0);
    QCOMPARE(dialog.currentRow(), -1);
    // Typing in the list goes on in the filter.
    dialog.setFilterText(QString());
    QTRY_COMPARE(dialog.shownRowCount(), 4);
    dialog.view()->setFocus();
    QTest::keyClicks(dialog.view(), QStringLiteral("beta"));
    QCOMPARE(dialog.filterEdit()->text(), QStringLiteral("beta"));
    QTRY_COMPARE(dialog.shownRowCount(), 1);
    QCOMPARE(dialog.currentRow(), 1);
}

void tst_Search::enterWithoutMatchPicksNothing()
{
    TADOIBQuery* query = openAllCompanies();
    TSearchDialog dialog(query, QStringLiteral("Empresa"));
    dialog.show();
    QTest::keyClicks(dialog.filterEdit(), QStringLiteral("zzz"));
    QTRY_COMPARE(dialog.shownRowCount(), 0);
    QTest::keyClick(dialog.filterEdit(), Qt::Key_Return);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.pickedRow(), -1);
    QTest::keyClick(dialog.filterEdit(), Qt::Key_Backspace);
    QTest::keyClick(dialog.filterEdit(), Qt::Key_Backspace);
    QTest::keyClick(dialog.filterEdit(), Qt::Key_Backspace);
    QTRY_COMPARE(dialog.shownRowCount(), 4);
    QTest::keyClick(dialog.filterEdit(), Qt::Key_Return);
    QCOMPARE(dialog.pickedRow(), 0);
}

void tst_Search::showsVisibleFieldsInDeclaredOrder()
{
    auto* query = makeQuery(allCompanies, false);
    query->AddField(QStringLiteral("NMRAZSOCEMPR"), QStringLiteral("Razão Social"), 40, false,
                    true);
    query->AddField(QStringLiteral("SECRETO"), QStringLiteral("Segredo"), 10, false, false);
    query->AddField(QStringLiteral("CDEMPRESA"), QStringLiteral("Código"), 2, true, true);
    query->ParamByName(QStringLiteral("P_TCDEMPRESA")).SetAsString(QStringLiteral("T"));
    query->Open();
    TSearchDialog dialog(query, QStringLiteral("Empresa"));
    QCOMPARE(dialog.shownColumns(), (QList<int>{1, 0}));
    QTableView* view = dialog.view();
    QHeaderView* header = view->horizontalHeader();
    QCOMPARE(view->model()->columnCount(), 2);
    QStringList titles;
    for (int visual = 0; visual < header->count(); ++visual)
        titles
            << view->model()->headerData(header->logicalIndex(visual), Qt::Horizontal).toString();
    QCOMPARE(titles, (QStringList{"Razão Social", "Código"}));
    // Width follows the declared size.
    QVERIFY(header->sectionSize(header->logicalIndex(0)) >
            header->sectionSize(header->logicalIndex(1)));
    QVERIFY(dialog.width() >= 360);
}

void tst_Search::allColumnsWithoutDeclaredFields()
{
    auto* query = makeQuery(allCompanies, false);
    query->ParamByName(QStringLiteral("P_TCDEMPRESA")).SetAsString(QStringLiteral("T"));
    query->Open();
    TSearchDialog dialog(query, QStringLiteral("Empresa"));
    QCOMPARE(dialog.shownColumns(), (QList<int>{0, 1, 2}));
    QCOMPARE(dialog.view()->model()->headerData(2, Qt::Horizontal).toString(),
             QStringLiteral("SECRETO"));
}

void tst_Search::titleDefaults()
{
    auto* query = makeQuery(allCompanies);
    query->ParamByName(QStringLiteral("P_TCDEMPRESA")).SetAsString(QStringLiteral("T"));
    query->Open();
    TSearchDialog untitled(query, QString());
    QCOMPARE(untitled.windowTitle(), QStringLiteral("Pesquisa"));
    TBtnPesquisa button;
    QVERIFY(button.setProperty("Title", QStringLiteral("Filial")));
    QCOMPARE(button.Title(), QStringLiteral("Filial"));
}

static const QString countingRows =
    QStringLiteral("WITH RECURSIVE N(X) AS (SELECT 1 UNION ALL SELECT X + 1 FROM N WHERE X < %1) "
                   "SELECT substr('0000000' || X, -7, 7) AS CDEMPRESA, 'Nome ' || X AS "
                   "NMRAZSOCEMPR, '' AS SECRETO FROM N");

void tst_Search::millionRowsOpenAtOnce()
{
    auto* query = makeQuery(countingRows.arg(1000000));
    QElapsedTimer clock;
    clock.start();
    query->Open();
    TSearchDialog dialog(query, QStringLiteral("Muitas"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTRY_VERIFY(!dialog.isFetching());
    QTest::qWait(50);
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(dialog.shownRowCount() > 0);
    QVERIFY2(query->Query()->rowCount() < 10000,
             qPrintable(QString::number(query->Query()->rowCount())));
    QVERIFY(!query->Query()->allFetched());
    // Moving down past what was read reads on.
    const int read = query->Query()->rowCount();
    for (int i = 0; i < read + 5; ++i)
        QTest::keyClick(dialog.filterEdit(), Qt::Key_PageDown);
    QTRY_VERIFY(query->Query()->rowCount() > read);
    QTest::keyClick(dialog.filterEdit(), Qt::Key_Return);
    QVERIFY(dialog.pickedRow() > 0);
}

void tst_Search::filterReadsOnUntilViewFilled()
{
    const int total = 200000;
    auto* query = makeQuery(countingRows.arg(total));
    query->Open();
    TSearchDialog dialog(query, QStringLiteral("Muitas"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // A rare match: the dialog reads to the end of the data.
    dialog.setFilterText(QStringLiteral("0123456"));
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isFetching(), 60000);
    QCOMPARE(dialog.shownRowCount(), 1);
    QVERIFY(query->Query()->allFetched());
    QTest::keyClick(dialog.filterEdit(), Qt::Key_Return);
    QCOMPARE(dialog.pickedRow(), 123455);

    // A common match stops reading once the view is full.
    query->Close();
    query->Open();
    TSearchDialog second(query, QStringLiteral("Muitas"));
    second.show();
    QVERIFY(QTest::qWaitForWindowExposed(&second));
    second.setFilterText(QStringLiteral("7"));
    QTRY_VERIFY_WITH_TIMEOUT(!second.isFetching(), 60000);
    QVERIFY(second.shownRowCount() >= 20);
    QVERIFY(!query->Query()->allFetched());
}

QTEST_MAIN(tst_Search)
#include "tst_search.moc"
