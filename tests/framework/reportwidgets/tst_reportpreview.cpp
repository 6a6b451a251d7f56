#include "ReportFixture.h"
#include "TADOIBQuery.h"
#include "TReportDesignerDialog.h"
#include "TReportPreview.h"
#include "WhenShown.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

using namespace ReportFixture;

// The preview opens before its pages are all counted and reads the rest while shown.
class tst_ReportPreview : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TdtmDBGeral> m_dtm;
    QTemporaryDir m_dir;

    static QString total(TReportPreview* preview)
    {
        return preview->findChild<QLabel*>("lblPaginas")->text().trimmed();
    }

    void run(TReportDesignerDialog& designer, const Filter& filter)
    {
        designer.BeforeGetQueryParams = [filter](TParams& params, bool&) { filter.fill(params); };
    }

private Q_SLOTS:
    void init()
    {
        // In a file: the last page is worked out on a connection of its own.
        const QString file = m_dir.filePath(QStringLiteral("preview.sqlite"));
        QFile::remove(file);
        m_db = std::make_unique<TestDatabase>(schema(), file);
        // Enough rows of company 01 that they take longer to count than the preview to open.
        QSqlQuery q(QSqlDatabase::database(m_db->connectionName()));
        QVERIFY(q.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i "
                       "< 150000) INSERT INTO DOCFISCAL (CDEMPRESA, CDINSCESTA, CDINSCMUNI, "
                       "CDFILIAL, IDENTRSAIDOP, CDTIPOOPER, NRDOCUMENTO, DTENTRADA, CDCLIFOR, "
                       "NMCLIFOR, VLDOCUMENTO, VLIRRF) SELECT '01', 'IE1', 'IM1', '0001', 'E', "
                       "'01', 500000 + i, '2024-01-15', '44444444000144', 'CLIENTE DELTA', "
                       "10.00, 1.00 FROM n"));
        m_dtm = std::make_unique<TdtmDBGeral>(m_db->connectionName());
        dtmDBGeral = m_dtm.get();
    }

    void cleanup()
    {
        m_dtm.reset();
        m_db.reset();
    }

    void closingWhileCountingStopsTheRead()
    {
        TReportDesignerDialog designer;
        run(designer, Filter());
        bool counting = false;
        QString shownTotal;
        whenShown<TReportPreview>(5, nullptr, [&](TReportPreview* preview) {
            counting = !preview->counted();
            shownTotal = total(preview);
            preview->reject();
        });
        designer.Preview(shipped(listagem()));
        QVERIFY(counting);
        QCOMPARE(shownTotal, QString("de …"));
        QVERIFY(!designer.Query()->Active());

        // The connection serves the next run.
        Filter other;
        other.empresa = "02";
        run(designer, other);
        designer.ExportPdf(shipped(listagem()), m_dir.filePath("depois.pdf"));
        QCOMPARE(designer.PageCount(), 1);
        QVERIFY(pdfText(m_dir.filePath("depois.pdf")).contains("Total geral - Documentos: 1"));
    }

    void lastPageShownBeforeTheCount()
    {
        TReportDesignerDialog designer;
        run(designer, Filter());
        int last = 0;
        bool early = false, finding = false, stillFinding = true;
        QString shownTotal;
        whenShown<TReportPreview>(5, nullptr, [&](TReportPreview* preview) {
            const auto state = [preview] {
                return preview->findChild<QAction*>("actEstado")->isVisible();
            };
            connect(preview, &TReportPreview::pageShown, preview, [&, preview, state](int page) {
                if (last || page != preview->totalPages())
                    return;
                last = page;
                early = !preview->counted();
                stillFinding = state();
                shownTotal = total(preview);
                preview->reject();
            });
            preview->showLastPage();
            finding = state();
            // The count waits here, the last page's statements do not: they end first even
            // on a busy machine.
            QThread::msleep(1000);
        });
        designer.Preview(shipped(listagem()));
        QVERIFY(early);
        QVERIFY(finding);
        QVERIFY(!stillFinding);

        designer.ExportPdf(shipped(listagem()), m_dir.filePath("contadas.pdf"));
        QVERIFY(designer.PageCount() > 1);
        QCOMPARE(last, designer.PageCount());
        QCOMPARE(shownTotal, QString("de %1").arg(
                                 QLocale(QLocale::Portuguese, QLocale::Brazil).toString(last)));
    }

    void closingWhileTheLastPageIsWorkedOut()
    {
        TReportDesignerDialog designer;
        run(designer, Filter());
        bool finding = false;
        whenShown<TReportPreview>(5, nullptr, [&](TReportPreview* preview) {
            preview->showLastPage();
            finding = preview->findingLastPage();
            preview->reject();
        });
        designer.Preview(shipped(listagem()));
        QVERIFY(finding);
        designer.ExportPdf(shipped(listagem()), m_dir.filePath("depois.pdf"));
        QVERIFY(designer.PageCount() > 1);
    }

    void lastPageWaitsForTheCount()
    {
        TReportDesignerDialog designer;
        run(designer, Filter());
        int last = 0;
        QString shownTotal;
        whenShown<TReportPreview>(5, nullptr, [&](TReportPreview* preview) {
            connect(preview, &TReportPreview::pageShown, preview, [&, preview](int page) {
                if (!preview->counted())
                    return;
                last = page;
                shownTotal = total(preview);
                preview->reject();
            });
            preview->showLastPage();
        });
        designer.Preview(shipped(listagem()));
        QVERIFY(last > 1);
        QCOMPARE(last, designer.PageCount());
        QCOMPARE(shownTotal, QString("de %1").arg(
                                 QLocale(QLocale::Portuguese, QLocale::Brazil).toString(last)));

        // Screen and PDF break the pages alike.
        designer.ExportPdf(shipped(listagem()), m_dir.filePath("todas.pdf"));
        QCOMPARE(designer.PageCount(), last);
        QVERIFY(
            pdfText(m_dir.filePath("todas.pdf"), last, last)
                .contains(QString("Página %1 de %1")
                              .arg(QLocale(QLocale::Portuguese, QLocale::Brazil).toString(last))));
    }
};

QTEST_MAIN(tst_ReportPreview)
#include "tst_reportpreview.moc"
