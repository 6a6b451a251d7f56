#include "EFrameworkError.h"
#include "ReportFixture.h"
#include "TADOIBQuery.h"
#include "TReportDesignerDialog.h"

#include <QApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace ReportFixture;

namespace {

// The document numbers of a report, in the order printed.
QStringList documents(const QString& pdf)
{
    QStringList out;
    auto it = QRegularExpression("\\b1\\d{3}\\b").globalMatch(pdfText(pdf));
    while (it.hasNext())
        out << it.next().captured();
    return out;
}

// Closes whatever modal window a failed run might have left open, so that the test
// fails instead of hanging, and remembers that one was shown.
class ModalWatch
{
public:
    ModalWatch()
    {
        m_timer.setInterval(200);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                shown = true;
                w->close();
            }
        });
        m_timer.start();
    }
    bool shown = false;

private:
    QTimer m_timer;
};

} // namespace

class tst_ReportRun : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TdtmDBGeral> m_dtm;
    QTemporaryDir m_dir;

private Q_SLOTS:
    void init()
    {
        m_db = std::make_unique<TestDatabase>(schema());
        m_dtm = std::make_unique<TdtmDBGeral>(m_db->connectionName());
        dtmDBGeral = m_dtm.get();
    }

    void cleanup()
    {
        m_dtm.reset();
        m_db.reset();
    }

    void eventComesBeforeTheQueryWithItsParameters_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QStringList>("expected");
        const QStringList seven{"P_CDEMPRESA",  "P_CDINSCESTA", "P_CDINSCMUNI", "P_CDFILIAL",
                                "P_IDENTRSAID", "P_DTENTRINI",  "P_DTENTRFIM"};
        QTest::newRow("listagem") << listagem() << seven;
        QTest::newRow("retenções")
            << retencoes() << (seven + QStringList{"P_TCDTIPOOPER", "P_CDTIPOOPER"});
    }

    void eventComesBeforeTheQueryWithItsParameters()
    {
        QFETCH(QString, report);
        QFETCH(QStringList, expected);
        TReportDesignerDialog designer;
        int calls = 0;
        QStringList seen;
        bool openDuringEvent = true;
        designer.BeforeGetQueryParams = [&](TParams& params, bool& handled) {
            ++calls;
            seen = params.names();
            openDuringEvent = designer.Query()->Active();
            for (int i = 0; i < params.Count(); ++i)
                QVERIFY(params[i].IsNull());
            QVERIFY(handled);
            Filter().fill(params);
        };
        // A second run must ask again and must not see the first run's result open.
        for (int run = 1; run <= 2; ++run) {
            designer.ExportPdf(shipped(report), m_dir.filePath("run.pdf"));
            QCOMPARE(calls, run);
            QCOMPARE(seen, expected);
            QVERIFY(!openDuringEvent);
            QVERIFY(designer.Query()->Active());
        }
    }

    void valuesReachTheQuery_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("expected");
        const QString l = listagem();
        const QString r = retencoes();
        // January's documents, both ends of the period included.
        QTest::newRow("tudo") << l << ""
                              << "" << QStringList{"1001", "1002", "1003", "1006"};
        QTest::newRow("empresa") << l << "empresa"
                                 << "01" << QStringList{"1001", "1002", "1003"};
        QTest::newRow("insc. estadual") << l << "inscEstad"
                                        << "IE2" << QStringList{"1003"};
        QTest::newRow("insc. municipal") << l << "inscMuni"
                                         << "IM1" << QStringList{"1001", "1002"};
        QTest::newRow("filial") << l << "filial"
                                << "0003" << QStringList{"1006"};
        QTest::newRow("entrada") << l << "direcao"
                                 << "E" << QStringList{"1001", "1003", "1006"};
        QTest::newRow("saída") << l << "direcao"
                               << "S" << QStringList{"1002"};
        QTest::newRow("código vazio") << l << "empresa"
                                      << "" << QStringList{};
        QTest::newRow("listagem ignora tipos")
            << l << "lista"
            << "'E02'" << QStringList{"1001", "1002", "1003", "1006"};
        // Withholding only, ordered by client/supplier.
        QTest::newRow("retenções") << r << ""
                                   << "" << QStringList{"1003", "1002", "1006"};
        QTest::newRow("retenções saída") << r << "direcao"
                                         << "S" << QStringList{"1002"};
        QTest::newRow("lista") << r << "lista"
                               << "'S05','E02'" << QStringList{"1003", "1002"};
        QTest::newRow("lista um") << r << "lista"
                                  << "'E01'" << QStringList{"1006"};
        QTest::newRow("chave com direção") << r << "lista"
                                           << "'E05'" << QStringList{};
        QTest::newRow("lista vazia") << r << "lista"
                                     << "" << QStringList{};
    }

    void valuesReachTheQuery()
    {
        QFETCH(QString, report);
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QStringList, expected);
        Filter filter;
        if (field == "empresa")
            filter.empresa = value;
        else if (field == "inscEstad")
            filter.inscEstad = value;
        else if (field == "inscMuni")
            filter.inscMuni = value;
        else if (field == "filial")
            filter.filial = value;
        else if (field == "direcao")
            filter.direcao = value;
        else if (field == "lista") {
            filter.listaTipos = value;
            filter.todosTipos = "";
        }
        TReportDesignerDialog designer;
        designer.BeforeGetQueryParams = [&](TParams& params, bool&) { filter.fill(params); };
        designer.ExportPdf(shipped(report), m_dir.filePath("valores.pdf"));
        QCOMPARE(documents(m_dir.filePath("valores.pdf")), expected);
    }

    void failingRunShowsNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("handler throws") << "throw";
        QTest::newRow("handler declines") << "decline";
        QTest::newRow("column missing") << "column";
        QTest::newRow("no connection") << "connection";
    }

    void failingRunShowsNothing()
    {
        QFETCH(QString, how);
        TReportDefinition definition = shipped(listagem());
        if (how == "column") {
            QJsonObject o = definition.toJson();
            QJsonArray columns = o["columns"].toArray();
            columns.append(QJsonObject{{"field", "VLICMS"}, {"title", "ICMS"}});
            o["columns"] = columns;
            definition = TReportDefinition::fromJson(o, "teste");
        }
        if (how == "connection")
            dtmDBGeral = nullptr;
        TReportDesignerDialog designer;
        designer.BeforeGetQueryParams = [&](TParams& params, bool& handled) {
            if (how == "throw")
                throw EFrameworkError("falhou no evento");
            handled = how != "decline";
            Filter().fill(params);
        };
        const QString expectedError = how == "throw"    ? "falhou no evento"
                                      : how == "column" ? "a consulta não traz a coluna 'VLICMS'"
                                                        : "Não há conexão";

        using Action = std::function<void()>;
        const QString pdf = m_dir.filePath("falha.pdf");
        const QList<Action> actions{
            [&] { designer.ExportPdf(definition, pdf); }, [&] { designer.Preview(definition); },
            [&] { designer.Print(definition); }, [&] { designer.Design(definition); }};
        for (int i = 0; i < actions.size(); ++i) {
            // The editor shows a definition whatever its columns.
            if (how == "column" && i == 3)
                break;
            ModalWatch watch;
            QString error;
            try {
                actions[i]();
            } catch (const EFrameworkError& e) {
                error = e.message();
            }
            if (how == "decline")
                QVERIFY(error.isEmpty());
            else
                QVERIFY2(error.contains(expectedError), qPrintable(error));
            QVERIFY(!watch.shown);
            QVERIFY(!QFileInfo::exists(pdf));
            QCOMPARE(designer.PageCount(), 0);
            if (how != "column")
                QVERIFY(!designer.Query()->Active());
        }
    }
};

QTEST_MAIN(tst_ReportRun)
#include "tst_reportrun.moc"
