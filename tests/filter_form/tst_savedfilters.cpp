#include "EAbort.h"
#include "EFrameworkError.h"
#include "HostFixture.h"
#include "RecordingPresenter.h"
#include "TDateEditPlus.h"
#include "TMaskEdit.h"
#include "TfrmListDocumentos.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using Period = TSavedFilters::Period;
Q_DECLARE_METATYPE(TSavedFilters::Entry)

// Filters saved by name on the screen: kept in the user's folder, brought back on a new
// screen through the same checks as typing.
class TstSavedFilters : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<HostFixture> m_host;

    static TSavedFilters::Entry entry(const QString& empresa, const QString& direction,
                                      Period period, const QString& report,
                                      const QString& list = {})
    {
        TSavedFilters::Entry e;
        e.name = QStringLiteral("Mensal");
        e.reportName = report;
        e.period = period;
        e.filter.empresa = {empresa, empresa.isEmpty()};
        e.filter.inscEstad = {{}, true};
        e.filter.inscMuni = {{}, true};
        e.filter.filial = {{}, true};
        e.filter.direction = direction;
        if (period == Period::Fixed) {
            e.filter.start = QDate(2024, 1, 1);
            e.filter.end = QDate(2024, 1, 31);
        }
        e.filter.list = !list.isEmpty();
        e.filter.listaTp = list;
        return e;
    }

private Q_SLOTS:
    void init()
    {
        qputenv("FIS_USER_FILTERS", m_dir.filePath("filtros").toUtf8());
        QDir(m_dir.filePath("filtros")).removeRecursively();
        m_host = std::make_unique<HostFixture>();
    }

    void cleanup() { m_host.reset(); }

    void appliedOnANewScreen_data()
    {
        QTest::addColumn<TSavedFilters::Entry>("saved");
        QTest::addColumn<QString>("name");    // the company's name as its check shows it
        QTest::addColumn<QString>("types");   // beside "Lista"
        QTest::addColumn<QString>("message"); // of a code no longer on file
        const QString listagem = QStringLiteral("Listagem dos Documentos");
        const QString retencoes = TfrmListDocumentos::WithholdingReport;
        QTest::newRow("company, fixed dates")
            << entry("1", "Saída", Period::Fixed, listagem) << "Comércio São Paulo Ltda"
            << ""
            << "";
        QTest::newRow("all, previous month, type list")
            << entry("", "Ambos", Period::PreviousMonth, retencoes, "'E01','S05'") << ""
            << "Tipos: E01, S05"
            << "";
        QTest::newRow("company no longer on file")
            << entry("09", "Entrada", Period::CurrentYear, listagem) << ""
            << ""
            << "Empresa não cadastrada.";
    }

    void appliedOnANewScreen()
    {
        QFETCH(TSavedFilters::Entry, saved);
        QFETCH(QString, name);
        QFETCH(QString, types);
        QFETCH(QString, message);
        TfrmListDocumentos().savedFilters().save(saved);
        TfrmListDocumentos form;
        form.show();
        QCOMPARE(form.savedFilters().names(), QStringList{"Mensal"});
        if (!message.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(EAbort, form.applySavedFilter("Mensal"));
            QCOMPARE(m_host->presenter().lastError(), message);
            QCOMPARE(form.focusWidget(), form.medCdEmpresa);
            return;
        }
        form.applySavedFilter("Mensal");
        QVERIFY(m_host->presenter().errors.isEmpty());
        const TSavedFilters::Entry today = TSavedFilters::resolved(saved);
        QCOMPARE(form.cbbReportNames->currentText(), saved.reportName);
        QCOMPARE(form.medCdEmpresa->text(), saved.filter.empresa.text.isEmpty()
                                                ? QString()
                                                : saved.filter.empresa.text.rightJustified(2, '0'));
        QCOMPARE(form.edtNmEmpresa->text(), name);
        QCOMPARE(form.chbEmpresa->isChecked(), saved.filter.empresa.all);
        QVERIFY(form.chbFilial->isChecked());
        QCOMPARE(form.cbbEntrSaida->currentText(), saved.filter.direction);
        QCOMPARE(form.depDtInicial->GetDate().date(), today.filter.start);
        QCOMPARE(form.depDtFinal->GetDate().date(), today.filter.end);
        QCOMPARE(form.rdbLista->isChecked(), saved.filter.list);
        QCOMPARE(form.lblTiposOper->text(), types);
        // What the screen now holds saves back as the same filter.
        const TSavedFilters::Entry again = form.currentFilter("Mensal", saved.period);
        QCOMPARE(again.filter.listaTp, saved.filter.listaTp);
        QCOMPARE(again.filter.start, saved.filter.start);
    }

    void storeKeepsNamesAndTheLast()
    {
        TSavedFilters filters("FIS012");
        QVERIFY(!filters.last());
        TSavedFilters::Entry e = entry("01", "Entrada", Period::PreviousYear, "R");
        filters.save(e);
        e.name = "Anual";
        filters.save(e);
        QCOMPARE(filters.names(), QStringList({"Anual", "Mensal"}));
        QVERIFY_THROWS_EXCEPTION(EFrameworkError, filters.rename("Anual", " Mensal "));
        QVERIFY_THROWS_EXCEPTION(EFrameworkError, filters.rename("Anual", " "));
        filters.rename("Anual", "Ano passado");
        filters.remove("Mensal");
        QCOMPARE(filters.names(), QStringList{"Ano passado"});
        QCOMPARE(filters.find("Ano passado")->period, Period::PreviousYear);
        QVERIFY_THROWS_EXCEPTION(EFrameworkError, filters.remove("Mensal"));
        e.name = "último";
        filters.saveLast(e);
        QCOMPARE(TSavedFilters("FIS012").last()->filter.empresa.text, QString("01"));
        QCOMPARE(filters.names(), QStringList{"Ano passado"});
    }

    void periods_data()
    {
        QTest::addColumn<int>("period");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QDate>("start");
        QTest::addColumn<QDate>("end");
        QTest::newRow("previous month, January") << int(Period::PreviousMonth) << QDate(2026, 1, 15)
                                                 << QDate(2025, 12, 1) << QDate(2025, 12, 31);
        QTest::newRow("previous month, March") << int(Period::PreviousMonth) << QDate(2024, 3, 31)
                                               << QDate(2024, 2, 1) << QDate(2024, 2, 29);
        QTest::newRow("current month") << int(Period::CurrentMonth) << QDate(2026, 12, 10)
                                       << QDate(2026, 12, 1) << QDate(2026, 12, 31);
        QTest::newRow("previous year") << int(Period::PreviousYear) << QDate(2026, 1, 1)
                                       << QDate(2025, 1, 1) << QDate(2025, 12, 31);
        QTest::newRow("current year") << int(Period::CurrentYear) << QDate(2026, 6, 30)
                                      << QDate(2026, 1, 1) << QDate(2026, 12, 31);
    }

    void periods()
    {
        QFETCH(int, period);
        QFETCH(QDate, today);
        QFETCH(QDate, start);
        QFETCH(QDate, end);
        TSavedFilters::Entry e = entry("01", "Entrada", Period(period), "R");
        e = TSavedFilters::resolved(e, today);
        QCOMPARE(e.filter.start, start);
        QCOMPARE(e.filter.end, end);
    }
};

QTEST_MAIN(TstSavedFilters)
#include "tst_savedfilters.moc"
