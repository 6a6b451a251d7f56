#include "DatabaseFixture.h"
#include "EFrameworkError.h"
#include "ReportFixture.h"
#include "TADOIBQuery.h"
#include "TReportFormats.h"
#include "TReportRenderer.h"
#include "TReportRun.h"
#include "XlsxRows.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <QScopeGuard>
#include <atomic>
#include <csignal>
#include <thread>

namespace {

// A device that takes a few pages' worth of bytes and then fails, as a full disk does.
class FullDevice : public QBuffer
{
protected:
    qint64 writeData(const char* data, qint64 size) override
    {
        if (pos() + size > 20000)
            return -1;
        return QBuffer::writeData(data, size);
    }
};

} // namespace

// The rows read on one thread while the pages are laid out (or the rows written) on the
// other, and the pages compressed beside their drawing, give what one thread gives.
class tst_ReportPipeline : public QObject
{
    Q_OBJECT

    DatabaseFixture m_fixture;
    QTemporaryDir m_dir;

    std::unique_ptr<TReportRun>
    start(TADOIBQuery& query,
          const TReportDefinition& definition = ReportFixture::shipped(ReportFixture::listagem()))
    {
        ReportFixture::Filter filter;
        filter.inicio = QDate(2000, 1, 1);
        filter.fim = QDate(2100, 12, 31);
        auto run = std::make_unique<TReportRun>(definition, &query);
        if (!run->start([filter](TParams& params, bool&) { filter.fill(params); }))
            return nullptr;
        return run;
    }

    // The listing of every demo document in that format; xlsx as its cells. A PDF as the
    // format writes it (drawn as laid out) or, spooled, from the pages laid out first.
    QByteArray output(const QString& suffix, bool threaded, bool spooled = false)
    {
        qputenv("FIS_REPORT_THREADS", threaded ? "2" : "1");
        TADOIBQuery query;
        const auto run = start(query);
        if (!run)
            return {};
        if (suffix == QLatin1String("pdf")) {
            // Stamped at a fixed time.
            TReportRenderer renderer(run->definition(), run->params(),
                                     QDateTime(QDate(2024, 2, 1), QTime(8, 30)));
            QBuffer pdf;
            pdf.open(QIODevice::WriteOnly);
            run->readAhead();
            if (!spooled)
                return renderer.paginateToPdf(*run, &pdf) ? pdf.data() : QByteArray();
            if (!renderer.paginate(*run))
                return {};
            run->stopReadAhead();
            return renderer.writePdf(&pdf, *run) ? pdf.data() : QByteArray();
        }
        const QString path = m_dir.filePath(QStringLiteral("out.") + suffix);
        int pages = 0;
        if (!TReportFormats::write(*run, path, pages))
            return {};
        if (suffix == QLatin1String("xlsx"))
            return xlsxRows(path).join(u'\n').toUtf8();
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void initTestCase_data() { DatabaseFixture::addEngineRows(true); }
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_fixture.open();
    }
    void cleanup()
    {
        qunsetenv("FIS_REPORT_THREADS");
        dtmDBGeral = nullptr;
    }

    void sameOutputOnOneThreadAndTwo_data()
    {
        QTest::addColumn<QString>("suffix");
        for (const char* suffix : {"pdf", "csv", "xlsx"})
            QTest::newRow(suffix) << QString::fromLatin1(suffix);
    }
    void sameOutputOnOneThreadAndTwo()
    {
        FIS_FETCH_DATABASE(m_fixture, module);
        QFETCH(QString, suffix);
        dtmDBGeral = module;
        const QByteArray one = output(suffix, false);
        const QByteArray two = output(suffix, true);
        // Every demo document: several pages and row batches.
        QVERIFY(one.size() > 20000);
        QVERIFY(one == two);
        if (suffix == QLatin1String("pdf"))
            QVERIFY(output(suffix, true, true) == one);
    }

    // Stopped at its first progress, with the reader still ahead: no file, and the
    // connection answers again.
    void cancelLeavesNoFile_data() { sameOutputOnOneThreadAndTwo_data(); }
    void cancelLeavesNoFile()
    {
        FIS_FETCH_DATABASE(m_fixture, module);
        QFETCH(QString, suffix);
        dtmDBGeral = module;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cancelado.") + suffix);
        {
            TADOIBQuery query;
            const auto run = start(query);
            QVERIFY(run);
            run->setProgress([](const QString&, qint64, qint64) { return false; });
            int pages = 0;
            QVERIFY(!TReportFormats::write(*run, path, pages));
            QVERIFY(run->cancelled());
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
        QVERIFY(!output(suffix, true).isEmpty());
    }

    // The server stops answering in the middle of the rows (its process frozen, as a hung
    // server or a cut network does): Cancelar still ends the run within a second, with no
    // file, and the next run reads again. Read at the preview's pace, the rows that do not
    // come cost each turn of the event loop no more than its slice.
    void cancelOnAServerFrozenMidRead_data()
    {
        QTest::addColumn<bool>("paced");
        QTest::newRow("a file, cancelled from its progress") << false;
        QTest::newRow("the preview's count, a slice at a time") << true;
    }
    void cancelOnAServerFrozenMidRead()
    {
        FIS_FETCH_DATABASE(m_fixture, module);
        QFETCH(bool, paced);
        pid_t server = 0;
        if (engine == u"postgresql") {
            QSqlQuery q(m_fixture.database(engine));
            QVERIFY(q.exec(QStringLiteral("SELECT pg_backend_pid()")) && q.next());
            server = pid_t(q.value(0).toInt());
        } else if (engine == u"firebird-server") {
            QFile pid(QFileInfo(qEnvironmentVariable("FIS_FB_PASSWORD_FILE"))
                          .dir()
                          .filePath(QStringLiteral("server.pid")));
            QVERIFY(pid.open(QIODevice::ReadOnly));
            server = pid_t(pid.readAll().trimmed().toInt());
        } else {
            QSKIP("no server process of its own to freeze");
        }
        QVERIFY(server > 0);
        dtmDBGeral = module;
        // Whatever happens here, the server runs again within seconds.
        std::atomic<bool> over = false;
        std::thread thaw([&] {
            for (int i = 0; i < 100 && !over; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            ::kill(server, SIGCONT);
        });
        const auto thawed = qScopeGuard([&] {
            over = true;
            thaw.join();
        });

        // Rows without end, unsorted, so they stream.
        TReportDefinition endless = ReportFixture::shipped(ReportFixture::listagem());
        const auto cross = [](QStringList sql) {
            sql.replaceInStrings(QStringLiteral("   DOCFISCAL D"),
                                 QStringLiteral("   DOCFISCAL D CROSS JOIN DOCFISCAL D2 "
                                                "CROSS JOIN DOCFISCAL D3"));
            return sql.mid(0, sql.indexOf(QStringLiteral("ORDER BY")));
        };
        endless.setSQL(cross(endless.SQL()));
        endless.setSQL_IB(cross(endless.SQL_IB()));

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("congelado.csv"));
        QElapsedTimer frozen, cancelled;
        qint64 longestTurnMs = 0;
        bool written = false;
        {
            TADOIBQuery query;
            const auto run = start(query, endless);
            QVERIFY(run);
            if (paced) {
                TReportRenderer renderer(run->definition(), run->params());
                QVERIFY(renderer.paginate(*run, 1, 30));
                run->setPatience(30);
                run->readAhead();
                ::kill(server, SIGSTOP);
                frozen.start();
                // Long enough for the rows on their way to run out.
                while (frozen.elapsed() < 1500) {
                    QElapsedTimer turn;
                    turn.start();
                    QVERIFY(!renderer.continuePass(*run, 30));
                    longestTurnMs = qMax(longestTurnMs, turn.elapsed());
                }
                QVERIFY(run->late());
                cancelled.start();
                run->cancel();
            } else {
                run->setProgress([&](const QString&, qint64, qint64) {
                    if (!frozen.isValid()) {
                        ::kill(server, SIGSTOP);
                        frozen.start();
                    }
                    // Long enough for the reader to be left waiting on the server.
                    if (frozen.elapsed() < 1500)
                        return true;
                    if (!cancelled.isValid())
                        cancelled.start();
                    return false;
                });
                int pages = 0;
                written = TReportFormats::write(*run, path, pages);
            }
            QVERIFY(run->cancelled());
        }
        const qint64 stopMs = cancelled.isValid() ? cancelled.elapsed() : -1;
        ::kill(server, SIGCONT);
        QVERIFY(!written);
        QVERIFY2(longestTurnMs < 300, qPrintable(QString::number(longestTurnMs)));
        QVERIFY2(stopMs >= 0 && stopMs < 1500, qPrintable(QString::number(stopMs)));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
        QVERIFY(!output(QStringLiteral("csv"), true).isEmpty());
    }

    // A write that fails on the writer's thread fails the run, on the caller's.
    void writeErrorReachesTheCaller_data()
    {
        QTest::addColumn<bool>("spooled");
        QTest::newRow("drawn as laid out") << false;
        QTest::newRow("spooled") << true;
    }
    void writeErrorReachesTheCaller()
    {
        FIS_FETCH_DATABASE(m_fixture, module);
        QFETCH(bool, spooled);
        dtmDBGeral = module;
        TADOIBQuery query;
        const auto run = start(query);
        QVERIFY(run);
        TReportRenderer renderer(run->definition(), run->params());
        FullDevice device;
        device.open(QIODevice::WriteOnly);
        run->readAhead();
        if (!spooled) {
            QVERIFY_THROWS_EXCEPTION(EFrameworkError, renderer.paginateToPdf(*run, &device));
            return;
        }
        QVERIFY(renderer.paginate(*run));
        QVERIFY_THROWS_EXCEPTION(EFrameworkError, renderer.writePdf(&device, *run));
    }
};

QTEST_MAIN(tst_ReportPipeline)
#include "tst_reportpipeline.moc"
