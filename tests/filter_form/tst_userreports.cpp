#include "HostFixture.h"
#include "TReportDesignModel.h"
#include "TReportDesignerDialog.h"
#include "TUserReports.h"
#include "TfrmListDocumentos.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// The user's reports in the screen's list: after the shipped ones, in a stable order,
// and a report saved in the designer chosen at once.
class TstUserReports : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<HostFixture> m_host;

    QStringList listed(const TfrmListDocumentos& form) const
    {
        QStringList out;
        for (int i = 0; i < form.cbbReportNames->count(); ++i)
            out << form.cbbReportNames->itemText(i);
        return out;
    }

    QString saveUserReport(const QString& title)
    {
        TReportDefinition d = TReportDefinition::listForCode(
                                  qEnvironmentVariable("FIS_SOURCE_DIR") + "/reports", "FIS012")
                                  .first();
        TReportDesignModel model(d, qEnvironmentVariable("FIS_SOURCE_DIR") + "/reports");
        return model.saveAs(title);
    }

private Q_SLOTS:
    void init()
    {
        qputenv("FIS_USER_REPORTS", m_dir.filePath("meus").toUtf8());
        QDir(m_dir.filePath("meus")).removeRecursively();
        m_host = std::make_unique<HostFixture>();
        m_host->useProjectReports();
    }

    void cleanup() { m_host.reset(); }

    void userReportsFollowTheShippedOnes()
    {
        saveUserReport("Zeta do usuário");
        saveUserReport("Alfa do usuário");
        TfrmListDocumentos form;
        const QStringList names = listed(form);
        QCOMPARE(names.size(), 5);
        QCOMPARE(names.mid(3), QStringList({"Zeta do usuário", "Alfa do usuário"}));
        QCOMPARE(form.cbbReportNames->currentIndex(), 0);
    }

    void savedReportIsListedAndChosenAtOnce()
    {
        TfrmListDocumentos form;
        QCOMPARE(listed(form).size(), 3);
        const QString path = saveUserReport("Novo do balcão");
        Q_EMIT form.rpddPadrao->reportSaved(path);
        QCOMPARE(listed(form).size(), 4);
        QCOMPARE(form.cbbReportNames->currentText(), QString("Novo do balcão"));
        QCOMPARE(form.reports().at(3).FilePath(), path);

        TUserReports::remove(path);
        Q_EMIT form.rpddPadrao->reportSaved(path);
        QCOMPARE(listed(form).size(), 3);
        QCOMPARE(form.cbbReportNames->currentIndex(), 0);
    }
};

QTEST_MAIN(TstUserReports)
#include "tst_userreports.moc"
