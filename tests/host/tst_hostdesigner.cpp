#include "TApplication.h"
#include "TReportDesignModel.h"
#include "TReportDesignerWindow.h"
#include "TfrmPrincipal.h"

#include <QInputDialog>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The host opens the report designer without the screen, on the report the
// administrator picks or on a new one.
class tst_HostDesigner : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void menuOpensTheDesignerOnThePickedReport_data()
    {
        QTest::addColumn<int>("pick");
        QTest::addColumn<QString>("expected");
        QTest::newRow("new") << 0 << QString();
        QTest::newRow("shipped") << 2 << QString("Retenções por Cliente/Fornecedor");
    }

    void menuOpensTheDesignerOnThePickedReport()
    {
        QFETCH(int, pick);
        QFETCH(QString, expected);
        QTemporaryDir user;
        qputenv("FIS_USER_REPORTS", user.path().toUtf8());
        TApplication::instance()->setReportDirectory(qEnvironmentVariable("FIS_SOURCE_DIR") +
                                                     "/reports");
        TfrmPrincipal host;
        QVERIFY(host.mnuFiscal->actions().contains(host.actEditorRelatorios));
        QStringList offered;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            offered = dialog->comboBoxItems();
            dialog->setTextValue(offered.value(pick));
            dialog->accept();
        });
        host.actEditorRelatorios->trigger();
        QCOMPARE(offered.size(), 4);
        QCOMPARE(offered.first(), QString("(novo relatório)"));
        auto* designer = host.findChild<TReportDesignerWindow*>();
        QVERIFY(designer);
        QCOMPARE(designer->model()->definition().Name(), expected);
        QCOMPARE(designer->model()->definition().ReportCode(), QString("FIS012"));
        QVERIFY(!designer->model()->canSave());
        designer->close();
    }
};

QTEST_MAIN(tst_HostDesigner)
#include "tst_hostdesigner.moc"
