#include "EAbort.h"
#include "TReportActions.h"
#include "TReportFilterChecks.h"

#include <QStringList>
#include <QTest>
#include <QWidget>
#include <memory>

namespace {

// A filter that records its checks; the one named in failing aborts, as MensErro does.
class RecordingFilter : public TReportFilterChecks
{
public:
    RecordingFilter()
    {
        for (auto& field : m_fields)
            field = std::make_unique<QWidget>(&m_form);
    }

    void Vd_Empresa(bool required) override { check("Empresa", required); }
    void Vd_InscEstad(bool required) override { check("InscEstad", required); }
    void Vd_InscMuni(bool required) override { check("InscMuni", required); }
    void Vd_Filial(bool required) override { check("Filial", required); }
    void Vd_Data() override { check("Data"); }
    void Vd_EntrSaida() override { check("EntrSaida"); }
    void Vd_TipoOper() override { check("TipoOper"); }

    const QWidget* codeField(Code code) const override { return m_fields[code].get(); }
    bool isWithholdingReport() const override { return withholding; }

    QWidget* field(Code code) { return m_fields[code].get(); }
    QWidget& form() { return m_form; }

    QStringList checks;
    QString failing;
    bool withholding = false;

private:
    void check(const char* name, bool required)
    {
        check(QLatin1String(name) +
              (required ? QStringLiteral("(true)") : QStringLiteral("(false)")));
    }
    void check(const char* name) { check(QLatin1String(name)); }
    void check(const QString& name)
    {
        checks << name;
        if (name.startsWith(failing) && !failing.isEmpty())
            throw EAbort();
    }

    QWidget m_form;
    std::unique_ptr<QWidget> m_fields[4];
};

} // namespace

// The output actions' order of checks, on a filter that records them.
class tst_ReportActions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void printRequiresTheEnabledCodesThenDatesAndDirection()
    {
        RecordingFilter filter;
        bool ran = false;
        TReportActions::print(filter, [&] { ran = true; });
        QVERIFY(ran);
        QCOMPARE(filter.checks, (QStringList{"Empresa(true)", "InscEstad(true)", "InscMuni(true)",
                                             "Filial(true)", "Data", "EntrSaida"}));
    }

    void aCodeFieldDisabledByItsOwnSettingIsNotRequired()
    {
        RecordingFilter filter;
        filter.field(TReportFilterChecks::InscMuni)->setEnabled(false);
        TReportActions::print(filter, [] {});
        QVERIFY(!filter.checks.contains("InscMuni(true)"));
        QCOMPARE(filter.checks.size(), 5);
    }

    void aCodeFieldDisabledOnlyByItsParentStillIs()
    {
        RecordingFilter filter;
        filter.form().setEnabled(false);
        QVERIFY(!filter.field(TReportFilterChecks::Empresa)->isEnabled());
        QVERIFY(TReportActions::isEnabledSetting(filter.field(TReportFilterChecks::Empresa)));
        TReportActions::print(filter, [] {});
        QCOMPARE(filter.checks.size(), 6);
    }

    void previewChecksOperationTypesOfAWithholdingReportOnly_data()
    {
        QTest::addColumn<bool>("withholding");
        QTest::newRow("listing") << false;
        QTest::newRow("withholding") << true;
    }

    void previewChecksOperationTypesOfAWithholdingReportOnly()
    {
        QFETCH(bool, withholding);
        RecordingFilter filter;
        filter.withholding = withholding;
        bool ran = false;
        TReportActions::preview(filter, [&] { ran = true; });
        QVERIFY(ran);
        QCOMPARE(filter.checks.contains("TipoOper"), withholding);
        QCOMPARE(filter.checks.last(), withholding ? QString("TipoOper") : QString("EntrSaida"));
    }

    void reportEditChecksEveryCodeWithoutRequiringIt()
    {
        RecordingFilter filter;
        filter.field(TReportFilterChecks::Empresa)->setEnabled(false);
        filter.withholding = true;
        TReportActions::reportEdit(filter, [] {});
        QCOMPARE(filter.checks,
                 (QStringList{"Empresa(false)", "InscEstad(false)", "InscMuni(false)",
                              "Filial(false)", "Data", "EntrSaida"}));
    }

    void aFailingCheckEndsTheActionBeforeItRuns_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<int>("checked");
        QTest::newRow("company") << "Empresa" << 1;
        QTest::newRow("dates") << "Data" << 5;
        QTest::newRow("direction") << "EntrSaida" << 6;
    }

    void aFailingCheckEndsTheActionBeforeItRuns()
    {
        QFETCH(QString, failing);
        QFETCH(int, checked);
        for (const auto& action :
             {&TReportActions::print, &TReportActions::preview, &TReportActions::reportEdit}) {
            RecordingFilter filter;
            filter.failing = failing;
            bool ran = false;
            QVERIFY_THROWS_EXCEPTION(EAbort, action(filter, [&] { ran = true; }));
            QVERIFY(!ran);
            QCOMPARE(filter.checks.size(), checked);
        }
    }
};

QTEST_MAIN(tst_ReportActions)
#include "tst_ReportActions.moc"
