#include "DatabaseFixture.h"
#include "EFrameworkError.h"
#include "ReportFixture.h"
#include "TApplication.h"
#include "TReportDesignModel.h"
#include "TReportDesignerDialog.h"
#include "TReportDesignerWindow.h"
#include "TReportParams.h"
#include "TReportQueryProbe.h"
#include "TUserReports.h"

#include <QApplication>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUndoStack>

using namespace ReportFixture;
using Format = TReportDefinition::Format;

namespace {

// The line of a text that holds all the parts, in that order; empty when none does.
QString lineWith(const QString& text, const QStringList& parts)
{
    for (const QString& line : text.split(u'\n')) {
        qsizetype at = 0;
        bool all = true;
        for (const QString& part : parts) {
            at = line.indexOf(part, at);
            if (at < 0) {
                all = false;
                break;
            }
            at += part.size();
        }
        if (all)
            return line;
    }
    return {};
}

QStringList fields(const TReportDefinition& d)
{
    QStringList out;
    for (const auto& c : d.Columns())
        out << c.field;
    return out;
}

} // namespace

class tst_Designer : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TdtmDBGeral> m_dtm;
    QTemporaryDir m_dir;
    QString m_userDir;
    // Opened on first use: only the query test needs the demo databases.
    std::unique_ptr<DatabaseFixture> m_demo;

    QString printPdf(const TReportDefinition& definition, const QString& name)
    {
        TReportDesignerDialog designer;
        designer.BeforeGetQueryParams = [](TParams& params, bool&) { Filter().fill(params); };
        const QString path = m_dir.filePath(name);
        designer.ExportPdf(definition, path);
        return path;
    }

    // The withholding layout, built by the designer from an empty report.
    void buildWithholding(TReportDesignModel& m)
    {
        const TReportDefinition source = shipped(retencoes());
        m.setQuery(TReportDesignModel::Dialect::Default, source.SQL().join(u'\n'));
        m.setQuery(TReportDesignModel::Dialect::Firebird, source.SQL_IB().join(u'\n'));
        m.setOrientation(QPageLayout::Landscape);
        for (const TReportDefinition::Column& c : source.Columns()) {
            const int at = int(m.definition().Columns().size());
            m.addColumn(c.field);
            m.setColumnTitle(at, c.title);
            m.setColumnWidth(at, c.width);
            m.setColumnAlignment(at, c.alignment);
            m.setColumnFormat(at, c.format);
            m.setColumnValues(at, c.values);
        }
        m.setTotals(source.TotalsBy().fields, source.TotalsBy().caption,
                    source.TotalsBy().countLabel);
        m.setGroup(0, source.GroupBy());
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_userDir = m_dir.filePath("usuario");
        qputenv("FIS_USER_REPORTS", m_userDir.toUtf8());
        TApplication::instance()->setReportDirectory(reportsDirectory());
        // The designer offers the parameters the application installs: the screen's.
        TReportParams::install();
    }

    void init()
    {
        QDir(m_userDir).removeRecursively();
        m_db = std::make_unique<TestDatabase>(schema());
        m_dtm = std::make_unique<TdtmDBGeral>(m_db->connectionName());
        dtmDBGeral = m_dtm.get();
    }

    void cleanup()
    {
        m_dtm.reset();
        m_db.reset();
    }

    void scriptedRunIsSavedReloadedAndPrinted()
    {
        TReportDesignModel m(TReportDesignModel::emptyReport("FIS012"), reportsDirectory());
        m.setQuery(TReportDesignModel::Dialect::Default, shipped(retencoes()).SQL().join(u'\n'));
        for (const char* field : {"DTENTRADA", "NRDOCUMENTO", "VLDOCUMENTO", "VLIRRF", "CDEMPRESA"})
            m.addColumn(QLatin1String(field));
        m.moveColumn(4, 1);
        m.removeColumn(2);
        QCOMPARE(fields(m.definition()),
                 QStringList({"DTENTRADA", "CDEMPRESA", "VLDOCUMENTO", "VLIRRF"}));
        QCOMPARE(m.definition().Columns()[2].format, Format::Money);
        m.setColumnTitle(2, "Valor");
        m.setColumnTitle(2, "Valor Bruto");
        m.setColumnTitle(1, "Emp.");
        TReportDefinition::Group g;
        g.field = "CDCLIFOR";
        g.caption = "Cliente/Fornecedor:";
        g.textColumns = {{"CDCLIFOR", "CNPJ/CPF", 13, Qt::AlignLeft, Format::CnpjCpf, {}},
                         {"NMCLIFOR", "Nome", 30, Qt::AlignLeft, Format::Text, {}}};
        g.footer = "Total do cliente";
        m.setGroup(0, g);
        m.setTotals({"VLDOCUMENTO", "VLIRRF"}, "Total geral", "Documentos");
        // Two title edits in a row are one step.
        QCOMPARE(m.undoStack()->count(), 12);

        m.undoStack()->undo();
        QVERIFY(!m.definition().HasTotals());
        m.undoStack()->undo();
        QVERIFY(!m.definition().HasGroup());
        m.undoStack()->redo();
        m.undoStack()->redo();
        QVERIFY(m.definition().HasGroup() && m.definition().HasTotals());

        QVERIFY(!m.canSave());
        QVERIFY_THROWS_EXCEPTION(EFrameworkError, m.save());
        const QString path = m.saveAs("Retenções do Balcão");
        QVERIFY(TUserReports::isUserReport(path));
        QVERIFY(m.undoStack()->isClean());

        const QList<TReportDefinition> mine = TUserReports::list("FIS012");
        QCOMPARE(mine.size(), 1);
        QCOMPARE(mine[0].Name(), QString("Retenções do Balcão"));
        QCOMPARE(mine[0].toJson(), m.definition().toJson());

        const QString text = pdfText(printPdf(mine[0], "balcao.pdf"));
        QVERIFY(text.contains("Retenções do Balcão"));
        QVERIFY(!lineWith(text, {"DTENTRADA", "Emp.", "Valor Bruto", "VLIRRF"}).isEmpty());
        QVERIFY(!lineWith(text, {"Cliente/Fornecedor: 22.222.222/0001-22 - FORNECEDOR BETA"})
                     .isEmpty());
        QVERIFY(!lineWith(text, {"10/01/2024", "01", "2.500,50", "150,03"}).isEmpty());
        QVERIFY(!lineWith(text, {"Total geral - Documentos: 3", "2.850,50", "185,03"}).isEmpty());
        // The removed column is not printed.
        QVERIFY(!text.contains("1002"));

        // Saved again in place after a further edit: the change reaches the file.
        m.setColumnVisible(1, false);
        QVERIFY(m.canSave());
        m.save();
        const QString hidden = pdfText(printPdf(TReportDefinition::load(path), "oculta.pdf"));
        QVERIFY(!hidden.contains("Emp."));
        QVERIFY(hidden.contains("Valor Bruto"));
    }

    void withholdingBuiltFromNothingPrintsLikeTheShippedOne()
    {
        TReportDesignModel m(TReportDesignModel::emptyReport("FIS012"), reportsDirectory());
        buildWithholding(m);
        const QString path = m.saveAs("Retenções (minha cópia)");
        const QString mine = pdfText(printPdf(TReportDefinition::load(path), "mine.pdf"));
        const QString theirs = pdfText(printPdf(shipped(retencoes()), "theirs.pdf"));
        const auto body = [](QString t, const QString& title) {
            // Only the title and the time printed differ.
            t.replace(title, "T");
            t.remove(QRegularExpression("\\d{2}/\\d{2}/\\d{4} \\d{2}:\\d{2}(:\\d{2})?"));
            return t.simplified();
        };
        QCOMPARE(body(mine, "Retenções (minha cópia)"), body(theirs, retencoes()));
    }

    void twoGroupLevelsWithChosenSubtotals()
    {
        TReportDesignModel m(TReportDesignModel::emptyReport("FIS012"), reportsDirectory());
        m.setQuery(TReportDesignModel::Dialect::Default,
                   "SELECT CDEMPRESA, CDCLIFOR, NMCLIFOR, NRDOCUMENTO, VLDOCUMENTO, VLIRRF FROM "
                   "DOCFISCAL WHERE DTENTRADA BETWEEN :P_DTENTRINI AND :P_DTENTRFIM");
        for (const char* field : {"NRDOCUMENTO", "VLDOCUMENTO", "VLIRRF"})
            m.addColumn(QLatin1String(field));
        m.setTotals({"VLDOCUMENTO", "VLIRRF"}, "Total geral", {});
        TReportDefinition::Group outer;
        outer.field = "CDEMPRESA";
        outer.caption = "Empresa:";
        outer.footer = "Total da empresa";
        m.setGroup(0, outer);
        TReportDefinition::Group inner;
        inner.field = "CDCLIFOR";
        inner.textFields = {"NMCLIFOR"};
        inner.footer = "Total do cliente";
        inner.sums = {"VLIRRF"};
        m.setGroup(1, inner);
        // No ORDER BY in the query: the groups order the rows.
        QCOMPARE(m.definition().Sort(), QStringList({"CDEMPRESA"}));
        const QString text = pdfText(printPdf(m.definition(), "niveis.pdf"));
        // Company 01, then its clients in order; the client's footer shows only the IRRF.
        QVERIFY(!lineWith(text, {"Empresa: 01"}).isEmpty());
        QVERIFY(text.indexOf("CLIENTE ALFA") < text.indexOf("FORNECEDOR BETA"));
        QVERIFY(text.indexOf("Empresa: 01") < text.indexOf("Empresa: 02"));
        const QString beta = lineWith(text, {"Total do cliente", "150,03"});
        QVERIFY2(!beta.isEmpty() && !beta.contains("3.500,50"), qPrintable(text));
        QVERIFY(!lineWith(text, {"Total da empresa", "3.800,50", "180,03"}).isEmpty());
        QVERIFY(!lineWith(text, {"Total geral", "3.850,50", "185,03"}).isEmpty());
        // Removing the outer level takes the inner one with it.
        m.setGroup(0, {});
        QVERIFY(!m.definition().HasGroup() && !m.definition().HasSubGroup());
        m.undoStack()->undo();
        QVERIFY(m.definition().HasSubGroup());
    }

    void allValuesMeanEverything()
    {
        TParams params(TReportDesignModel::parameterNames());
        bool handled = true;
        TReportDesignerWindow::allValues(params, handled);
        QVERIFY(handled);
        for (const char* code : {"P_CDEMPRESA", "P_CDINSCESTA", "P_CDINSCMUNI", "P_CDFILIAL"})
            QCOMPARE(params.ParamByName(code).AsString(), QString("T"));
        QCOMPARE(params.ParamByName("P_IDENTRSAID").AsString(), QString("A"));
        QCOMPARE(params.ParamByName("P_CDTIPOOPER").AsString(), QString());
        QCOMPARE(params.ParamByName("P_TCDTIPOOPER").AsString(), QString("T"));
        QCOMPARE(params.ParamByName("P_DTENTRINI").Value().toDate(), QDate(1900, 1, 1));
        QCOMPARE(params.ParamByName("P_DTENTRFIM").Value().toDate(), QDate(2099, 12, 31));
    }

    void titleAlreadyListedIsRefused_data()
    {
        QTest::addColumn<QString>("title");
        QTest::newRow("shipped") << listagem();
        QTest::newRow("other case") << listagem().toUpper();
        QTest::newRow("blanks") << "  " + retencoes() + " ";
        QTest::newRow("user's own") << "Minha Listagem";
        QTest::newRow("empty") << "   ";
    }

    void titleAlreadyListedIsRefused()
    {
        QFETCH(QString, title);
        TReportDesignModel first(shipped(listagem()), reportsDirectory());
        first.saveAs("Minha Listagem");
        TReportDesignModel m(shipped(listagem()), reportsDirectory());
        m.setTitle("outro");
        QVERIFY_THROWS_EXCEPTION(EFrameworkError, m.saveAs(title));
        QCOMPARE(TUserReports::list("FIS012").size(), 1);
    }

    // Saved only as one statement that reads, whichever dialect's text is wrong.
    void queryThatDoesNotOnlyReadIsNotSaved_data()
    {
        QTest::addColumn<int>("dialect");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("told");
        QTest::newRow("delete") << 0 << "DELETE FROM DOCFISCAL"
                                << "\"DELETE\" não é permitido";
        QTest::newRow("two, Firebird's") << 1 << "SELECT * FROM DOCFISCAL; DROP TABLE DOCFISCAL"
                                         << "único comando";
        QTest::newRow("vacuum into") << 0 << "VACUUM INTO '/tmp/copia'"
                                     << "VACUUM";
    }

    void queryThatDoesNotOnlyReadIsNotSaved()
    {
        QFETCH(int, dialect);
        QFETCH(QString, sql);
        QFETCH(QString, told);
        TReportDesignModel m(shipped(listagem()), reportsDirectory());
        m.setQuery(TReportDesignModel::Dialect(dialect), sql);
        try {
            m.saveAs("Minha Listagem");
            QFAIL("saved");
        } catch (const EFrameworkError& e) {
            QVERIFY2(e.message().contains(told), qPrintable(e.message()));
        }
        QCOMPARE(TUserReports::list("FIS012").size(), 0);
    }

    void unknownParameterIsRefusedByName_data()
    {
        QTest::addColumn<int>("dialect");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("name");
        const QString where = "SELECT * FROM DOCFISCAL WHERE CDEMPRESA = :%1";
        QTest::newRow("made up") << 0 << where.arg("P_EMPRESA") << "P_EMPRESA";
        QTest::newRow("lookup only") << 1 << where.arg("P_TCDEMPRESA") << "P_TCDEMPRESA";
        QTest::newRow("after known")
            << 0 << "SELECT 1 FROM DOCFISCAL WHERE DTENTRADA >= :P_DTENTRINI AND X = :P_X"
            << "P_X";
    }

    void unknownParameterIsRefusedByName()
    {
        QFETCH(int, dialect);
        QFETCH(QString, sql);
        QFETCH(QString, name);
        TReportDesignModel m(shipped(listagem()), reportsDirectory());
        const QString before = m.query(TReportDesignModel::Dialect(dialect));
        try {
            m.setQuery(TReportDesignModel::Dialect(dialect), sql);
            QFAIL("accepted");
        } catch (const EFrameworkError& e) {
            QVERIFY2(e.message().contains("'" + name + "'"), qPrintable(e.message()));
        }
        QCOMPARE(m.query(TReportDesignModel::Dialect(dialect)), before);
        QCOMPARE(m.undoStack()->count(), 0);
        // Quoted text and casts are not markers.
        m.setQuery(TReportDesignModel::Dialect(dialect),
                   "SELECT ':P_X' AS A, D.DTENTRADA::date FROM DOCFISCAL D WHERE "
                   "D.CDEMPRESA = :P_CDEMPRESA");
    }

    void shippedReportIsNeverOverwritten()
    {
        const TReportDefinition original = shipped(listagem());
        QFile file(original.FilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        file.close();

        TReportDesignModel m(original, reportsDirectory());
        m.setTitle("Mudado");
        QVERIFY(!m.canSave());
        QVERIFY_THROWS_EXCEPTION(EFrameworkError, m.save());
        QVERIFY_THROWS_EXCEPTION(EFrameworkError, TUserReports::remove(original.FilePath()));
        QVERIFY_THROWS_EXCEPTION(
            EFrameworkError, TUserReports::rename(original.FilePath(), "X", reportsDirectory()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bytes);
    }

    void userReportsRenameDeleteAndStayInOrder()
    {
        QStringList paths;
        for (const char* title : {"B primeiro", "A segundo", "C terceiro"}) {
            TReportDesignModel m(shipped(listagem()), reportsDirectory());
            paths << m.saveAs(QString::fromUtf8(title));
        }
        const auto names = [] {
            QStringList out;
            for (const auto& d : TUserReports::list("FIS012"))
                out << d.Name();
            return out;
        };
        // Saved order, whatever the titles.
        QCOMPARE(names(), QStringList({"B primeiro", "A segundo", "C terceiro"}));
        QVERIFY_THROWS_EXCEPTION(EFrameworkError,
                                 TUserReports::rename(paths[0], "C terceiro", reportsDirectory()));
        TUserReports::rename(paths[0], "B renomeado", reportsDirectory());
        TUserReports::remove(paths[1]);
        QCOMPARE(names(), QStringList({"B renomeado", "C terceiro"}));
    }

    void queryTestCountsRowsOrGivesTheMessage_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("sort");
        const QString companies = "SELECT CDEMPRESA, NMRAZSOCEMPR FROM EMPRESA WHERE "
                                  "(CDEMPRESA = :P_CDEMPRESA OR :P_CDEMPRESA = 'T')";
        for (const QString& engine : DatabaseFixture::engines()) {
            QTest::addRow("%s good", qPrintable(engine))
                << engine << companies << true << QStringList();
            // The designer's order wraps the query; every dialect must take it.
            QTest::addRow("%s sorted", qPrintable(engine))
                << engine << companies + " ORDER BY CDEMPRESA" << true
                << QStringList{"CDEMPRESA DESC"};
            QTest::addRow("%s broken", qPrintable(engine))
                << engine << "SELECT NAOEXISTE FROM EMPRESA" << false << QStringList();
        }
    }

    void queryTestCountsRowsOrGivesTheMessage()
    {
        QFETCH(QString, engine);
        QFETCH(QString, sql);
        QFETCH(bool, ok);
        QFETCH(QStringList, sort);
        if (!m_demo) {
            m_demo = std::make_unique<DatabaseFixture>();
            m_demo->open();
        }
        TdtmDBGeral* module = m_demo->module(engine);
        if (!module) {
            if (m_demo->broken(engine) || DatabaseFixture::serversRequired())
                QFAIL(qPrintable(m_demo->problem(engine)));
            QSKIP(qPrintable(m_demo->problem(engine)));
        }
        dtmDBGeral = module;
        TReportDefinition d = TReportDesignModel::emptyReport("FIS012");
        d.setSQL({sql});
        d.setSQL_IB({sql});
        d.setSort(sort);
        const TReportQueryProbe::Result r =
            TReportQueryProbe::test(d, &TReportDesignerWindow::allValues, 3);
        QCOMPARE(r.ok, ok);
        if (!ok) {
            QVERIFY2(r.message.startsWith("A consulta não pôde ser executada: "),
                     qPrintable(r.message));
            QVERIFY(r.message.size() > 40);
            return;
        }
        QSqlQuery count(m_demo->database(engine));
        QVERIFY(count.exec("SELECT COUNT(*) FROM EMPRESA") && count.next());
        QCOMPARE(r.rows, count.value(0).toLongLong());
        QCOMPARE(r.firstRows.size(), qMin(3, count.value(0).toInt()));
        QCOMPARE(r.fields.size(), 2);
        QCOMPARE(r.fields[0].toUpper(), QString("CDEMPRESA"));
        for (int i = 1; !sort.isEmpty() && i < r.firstRows.size(); ++i)
            QVERIFY(r.firstRows[i - 1][0].toString() > r.firstRows[i][0].toString());
    }

    void reportEditOpensTheDesignerWithTheFilterBound()
    {
        TReportDesignerDialog designer;
        QSignalSpy saved(&designer, &TReportDesignerDialog::reportSaved);
        QStringList seen;
        designer.BeforeGetQueryParams = [&](TParams& params, bool&) {
            Filter().fill(params);
            seen = params.names();
        };
        QString query, refused;
        QStringList fieldsShown;
        bool drawn = false, movedByKey = false, redrawn = false;
        auto* timer = new QTimer(this);
        timer->setInterval(50);
        connect(timer, &QTimer::timeout, [&, timer] {
            auto* w = qobject_cast<TReportDesignerWindow*>(QApplication::activeModalWidget());
            if (!w)
                return;
            timer->stop();
            // A failed check leaves the lambda early; the window still closes.
            const auto closeWindow = qScopeGuard([w] { w->close(); });
            query = w->findChild<QPlainTextEdit*>("memConsulta")->toPlainText();
            auto* list = w->findChild<QListWidget*>("lstCampos");
            for (int i = 0; i < list->count(); ++i)
                fieldsShown << list->item(i)->text();
            w->refreshPreview();
            drawn = !w->previewLabel()->pixmap().isNull();
            // Ctrl+Down moves the selected column; the preview follows on its own.
            const qint64 before = w->previewLabel()->pixmap().cacheKey();
            auto* columns = w->findChild<QTreeWidget*>("grdColunas");
            columns->setCurrentItem(columns->topLevelItem(0));
            const QString first = w->model()->definition().Columns()[0].field;
            QTest::keyClick(columns, Qt::Key_Down, Qt::ControlModifier);
            movedByKey = w->model()->definition().Columns()[1].field == first;
            QTRY_VERIFY(w->previewLabel()->pixmap().cacheKey() != before);
            redrawn = true;
            w->model()->undoStack()->undo();
            try {
                w->model()->saveAs(listagem());
            } catch (const EFrameworkError& e) {
                refused = e.message();
            }
            w->model()->setTitle("Documentos do Período");
            w->model()->saveAs("Listagem Resumida");
        });
        timer->start();
        designer.Design(shipped(listagem()));
        delete timer;

        QVERIFY(query.contains("FROM\n   DOCFISCAL D"));
        QVERIFY(seen.contains("P_DTENTRINI"));
        QVERIFY(fieldsShown.contains("NRDOCUMENTO"));
        QVERIFY(drawn);
        QVERIFY(movedByKey);
        QVERIFY(redrawn);
        QCOMPARE(refused,
                 QString("Já existe um relatório com o título 'Listagem dos Documentos'."));
        QCOMPARE(saved.count(), 1);
        const TReportDefinition copy = TReportDefinition::load(saved.first().first().toString());
        QCOMPARE(copy.Name(), QString("Listagem Resumida"));
        QCOMPARE(copy.SQL(), shipped(listagem()).SQL());
    }
};

QTEST_MAIN(tst_Designer)
#include "tst_designer.moc"
