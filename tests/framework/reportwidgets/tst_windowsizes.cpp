#include "TReportDefinition.h"
#include "TReportDesignerWindow.h"
#include "TWindowPlacement.h"

#include <QApplication>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

// A 1366x768 screen shows every window whole, frame included, and a window comes back
// where the clerk left it.
class tst_WindowSizes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
    }

    void fitted_data()
    {
        QTest::addColumn<QRect>("wanted");
        QTest::addColumn<QRect>("placed");
        const QRect screen(0, 0, 1366, 768);
        const QMargins f = TWindowPlacement::assumedFrame();
        const QRect room = screen.marginsRemoved(f);
        QTest::newRow("designer, too tall")
            << QRect(43, -6, 1280, 780) << QRect(43, room.top(), 1280, room.height());
        QTest::newRow("preview, too tall")
            << QRect(133, -16, 1100, 800) << QRect(133, room.top(), 1100, room.height());
        QTest::newRow("wider and taller") << QRect(0, 0, 1600, 900) << room;
        QTest::newRow("saved beyond the right")
            << QRect(1200, 100, 800, 600) << QRect(room.right() - 799, 100, 800, 600);
        QTest::newRow("saved, fits") << QRect(100, 100, 800, 600) << QRect(100, 100, 800, 600);
    }

    void fitted()
    {
        QFETCH(QRect, wanted);
        QFETCH(QRect, placed);
        const QRect screen(0, 0, 1366, 768);
        const QRect got =
            TWindowPlacement::fitted(wanted, screen, TWindowPlacement::assumedFrame());
        QCOMPARE(got, placed);
        QVERIFY(screen.contains(got.marginsAdded(TWindowPlacement::assumedFrame())));
    }

    void designerFitsAndComesBack()
    {
        const QList<TReportDefinition> reports = TReportDefinition::listForCode(
            qEnvironmentVariable("FIS_SOURCE_DIR") + "/reports", "FIS012");
        QVERIFY(!reports.isEmpty());
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QRect left;
        {
            TReportDesignerWindow window(reports.first(), {}, {});
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QVERIFY2(available.contains(window.frameGeometry()),
                     qPrintable(QStringLiteral("%1x%2")
                                    .arg(window.frameGeometry().width())
                                    .arg(window.frameGeometry().height())));
            const QSize narrower = window.size() - QSize(40, 0);
            window.resize(narrower);
            QTRY_COMPARE(window.size(), narrower);
            left = window.geometry();
            window.close();
        }
        TReportDesignerWindow again(reports.first(), {}, {});
        QCOMPARE(again.size(), left.size());
    }
};

QTEST_MAIN(tst_WindowSizes)
#include "tst_windowsizes.moc"
