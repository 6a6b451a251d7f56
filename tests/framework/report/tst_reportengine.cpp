#include "DatabaseFixture.h"
#include "EFrameworkError.h"
#include "ReportFixture.h"
#include "TADOIBQuery.h"
#include "TDataModuleFactory.h"
#include "TReportDesignerDialog.h"
#include "TReportLastPage.h"
#include "TReportPreview.h"
#include "TReportRenderer.h"
#include "TReportRun.h"
#include "WhenShown.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QPaintEngine>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <sqlite3.h>
#include <unistd.h>

using ReportFixture::Filter;
Q_DECLARE_METATYPE(Filter)

namespace {

// A paint device that keeps the texts drawn on it: what the preview's canvas draws on its
// image, without the pixels.
class TextEngine : public QPaintEngine
{
public:
    TextEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawPath(const QPainterPath&) override {}
    void drawTextItem(const QPointF&, const QTextItem& item) override { texts << item.text(); }
    Type type() const override { return User; }
    QStringList texts;
};

class TextDevice : public QPaintDevice
{
public:
    QPaintEngine* paintEngine() const override { return &m_engine; }
    QString text() const { return m_engine.texts.join(u' '); }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
        case PdmHeight:
            return 1000;
        case PdmWidthMM:
        case PdmHeightMM:
            return 353;
        case PdmNumColors:
            return INT_MAX;
        case PdmDepth:
            return 32;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        default:
            return 72;
        }
    }

private:
    mutable TextEngine m_engine;
};

// The words of each page, in order of appearance thrown away: the three outputs place
// the same texts, but a PDF reader may give them in another order. Each run stamps its
// own time of printing, which may fall in the next minute.
QList<QStringList> pageWords(const QStringList& pages)
{
    static const QRegularExpression stamp(QStringLiteral("Emissão:\\s*\\S+\\s+\\d\\d:\\d\\d"));
    QList<QStringList> words;
    for (QString page : pages) {
        page.replace(stamp, QStringLiteral("Emissão:"));
        QStringList w = page.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        w.sort();
        words << w;
    }
    return words;
}

QStringList pdfPages(const QString& path)
{
    QStringList pages = ReportFixture::pdfText(path).split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

QDate day(int month, int d)
{
    return QDate(2024, month, d);
}

QString pageText(const TReportRenderer& renderer, int page)
{
    TextDevice device;
    QPainter painter(&device);
    renderer.drawPage(page, &painter, 1.0);
    painter.end();
    return device.text();
}

// The shipped listing changed into the shapes the last page's shortcut meets.
TReportDefinition listingShaped(const QString& shape)
{
    TReportDefinition d = ReportFixture::shipped(ReportFixture::listagem());
    TReportDefinition::Group group = d.GroupBy();
    if (shape == QLatin1String("no group")) {
        d.setGroupBy({});
    } else if (shape == QLatin1String("two levels")) {
        TReportDefinition::Group branch;
        branch.field = QStringLiteral("CDFILIAL");
        branch.caption = QStringLiteral("Filial:");
        branch.textFields = {QStringLiteral("CDFILIAL")};
        branch.textColumns = {d.Columns().at(2)};
        branch.footer = QStringLiteral("Total da filial");
        branch.sums = {QStringLiteral("VLDOCUMENTO")};
        d.setSubGroup(branch);
        d.setSort({QStringLiteral("DTENTRADA DESC"), QStringLiteral("IDENTRSAIDOP"),
                   QStringLiteral("NRDOCUMENTO")});
    } else if (shape == QLatin1String("text varies in its group")) {
        group.textFields << QStringLiteral("NMCLIFOR");
        group.textColumns << d.Columns().at(10);
        d.setGroupBy(group);
    } else if (shape == QLatin1String("no ORDER BY") || shape == QLatin1String("ties")) {
        for (const bool ib : {false, true}) {
            QStringList sql = d.QueryFor(ib);
            sql = sql.mid(0, sql.indexOf(QStringLiteral("ORDER BY")));
            if (shape == QLatin1String("ties"))
                sql << QStringLiteral("ORDER BY D.CDEMPRESA");
            ib ? d.setSQL_IB(sql) : d.setSQL(sql);
        }
    }
    return d;
}

// A file cut short from inside SQLite's own reading, the moment a statement of the last
// page visits its first row: FIS_CORTE, called by the query on every row, is made on each
// connection opened (sqlite3_auto_extension), and those opened once armed are numbered.
namespace Cutter {

std::atomic<bool> armed{false};
std::atomic<int> opened{0};
std::atomic<int> cutOn{0};
std::atomic<bool> cut{false};
std::atomic<int> truncated{-1};
QByteArray file;
qint64 keep = 0;

void visit(sqlite3_context* context, int, sqlite3_value**)
{
    const auto ordinal = int(reinterpret_cast<intptr_t>(sqlite3_user_data(context)));
    if (ordinal > 0 && ordinal == cutOn && !cut.exchange(true))
        truncated = ::truncate(file.constData(), keep);
    sqlite3_result_int(context, 1);
}

int made(sqlite3* db, char**, const sqlite3_api_routines*)
{
    const intptr_t ordinal = armed ? ++opened : 0;
    return sqlite3_create_function(db, "FIS_CORTE", 1, SQLITE_UTF8,
                                   reinterpret_cast<void*>(ordinal), visit, nullptr, nullptr);
}

void (*entry())()
{
    return reinterpret_cast<void (*)()>(&made);
}

} // namespace Cutter

} // namespace

class tst_ReportEngine : public QObject
{
    Q_OBJECT

    DatabaseFixture m_fixture;
    QTemporaryDir m_dir;

    // COUNT and SUM(VLDOCUMENTO) of the documents of the filter, in cents, asked of the
    // database in a statement of this test's own.
    std::pair<qint64, qint64> expected(const QString& engine, const QString& report,
                                       const Filter& f) const
    {
        QStringList where{QStringLiteral("D.DTENTRADA >= ?"), QStringLiteral("D.DTENTRADA <= ?")};
        const auto date = [&](const QDate& d) {
            return engine == QLatin1String("sqlite") ? QVariant(d.toString(Qt::ISODate))
                                                     : QVariant(d);
        };
        QVariantList values{date(f.inicio), date(f.fim)};
        const std::pair<const char*, QString> codes[] = {{"D.CDEMPRESA", f.empresa},
                                                         {"D.CDINSCESTA", f.inscEstad},
                                                         {"D.CDINSCMUNI", f.inscMuni},
                                                         {"D.CDFILIAL", f.filial}};
        for (const auto& [column, value] : codes) {
            if (value != QLatin1String("T")) {
                where << QLatin1String(column) + QStringLiteral(" = ?");
                values << value;
            }
        }
        if (f.direcao != QLatin1String("A")) {
            where << QStringLiteral("D.IDENTRSAIDOP = ?");
            values << f.direcao;
        }
        if (report == ReportFixture::retencoes()) {
            where << QStringLiteral(
                "D.VLIRRF + D.VLINSS + D.VLISS + D.VLPIS + D.VLCOFINS + D.VLCSLL > 0");
            if (f.todosTipos != QLatin1String("T")) {
                QStringList marks;
                for (const QString& key : f.listaTipos.split(u',')) {
                    marks << QStringLiteral("?");
                    values << QString(key).remove(u'\'');
                }
                where << QStringLiteral("D.IDENTRSAIDOP || D.CDTIPOOPER IN (%1)")
                             .arg(marks.join(u','));
            }
        }
        QSqlQuery q(m_fixture.database(engine));
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT D.VLDOCUMENTO FROM DOCFISCAL D WHERE ") +
                  where.join(QStringLiteral(" AND ")));
        for (const QVariant& v : values)
            q.addBindValue(v);
        if (!q.exec())
            qFatal("%s", qPrintable(q.lastError().text()));
        qint64 count = 0, cents = 0;
        while (q.next()) {
            ++count;
            cents += qRound64(q.value(0).toDouble() * 100);
        }
        return {count, cents};
    }

    static void addFilterRows()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<Filter>("filter");
        const TDemoData::Branch b = TDemoData::branch(TDemoData::Scale(), 1, 0);
        Filter all;
        all.inicio = day(1, 1);
        all.fim = day(12, 31);
        Filter codes = all;
        codes.empresa = b.company;
        codes.inscEstad = b.stateRegistration;
        codes.inscMuni = b.municipalRegistration;
        codes.filial = b.code;
        Filter company = all;
        company.empresa = b.company;
        company.inicio = day(3, 1);
        company.fim = day(8, 31);
        QTest::newRow("all T") << ReportFixture::listagem() << all;
        QTest::newRow("every code") << ReportFixture::listagem() << codes;
        QTest::newRow("company, months") << ReportFixture::listagem() << company;
        for (const char* direction : {"E", "S", "A"}) {
            Filter f = company;
            f.direcao = QLatin1String(direction);
            QTest::newRow(qPrintable(QStringLiteral("direction %1").arg(f.direcao)))
                << ReportFixture::listagem() << f;
        }
        Filter list = all;
        list.listaTipos = QStringLiteral("'E04','E06','S04'");
        list.todosTipos = QString();
        QTest::newRow("type list") << ReportFixture::retencoes() << list;
        Filter allTypes = all;
        allTypes.direcao = QStringLiteral("S");
        QTest::newRow("all types, S") << ReportFixture::retencoes() << allTypes;
        Filter none = codes;
        none.empresa = QStringLiteral("99");
        QTest::newRow("nothing") << ReportFixture::listagem() << none;
    }

    // The report's figures as the PDF prints them: lines that open with the date of entry,
    // the grand count and the grand sum.
    struct ReadBack
    {
        qint64 lines = 0, count = -1, cents = -1;
    };
    static ReadBack readBack(const QString& path)
    {
        ReadBack r;
        const QString text = ReportFixture::pdfText(path);
        static const QRegularExpression row(QStringLiteral("^\\s*\\d\\d/\\d\\d/\\d{4}\\s"),
                                            QRegularExpression::MultilineOption);
        r.lines = text.count(row);
        static const QRegularExpression grand(
            QStringLiteral("Total geral - Documentos: ([\\d.]+)\\s+(-?[\\d.]+),(\\d\\d)"));
        const QRegularExpressionMatch m = grand.match(text);
        if (m.hasMatch()) {
            r.count = m.captured(1).remove(u'.').toLongLong();
            r.cents = m.captured(2).remove(u'.').toLongLong() * 100 + m.captured(3).toLongLong();
        }
        return r;
    }

    QString exportPdf(TReportDesignerDialog& designer, const TReportDefinition& definition,
                      const Filter& filter, const QString& name)
    {
        designer.BeforeGetQueryParams = [filter](TParams& params, bool&) { filter.fill(params); };
        const QString path = m_dir.filePath(name);
        designer.ExportPdf(definition, path);
        return path;
    }

    // A lookup on the data module's connection, as the filter form runs one.
    static QString companyName(TdtmDBGeral* module, const QString& code)
    {
        TADOIBQuery lookup;
        lookup.setADOConnection(module->adcGeral);
        lookup.setDataBase(module->dtbGeral);
        lookup.setTransaction(module->ibtGeral);
        lookup.setSQL({QStringLiteral("SELECT NMRAZSOCEMPR FROM EMPRESA WHERE CDEMPRESA = :CD")});
        lookup.AddField(QStringLiteral("NMRAZSOCEMPR"), QStringLiteral("Razão social"), 80, false,
                        true);
        lookup.ParamByName(QStringLiteral("CD")).SetAsString(code);
        lookup.Open();
        return lookup.IsEmpty() ? QString()
                                : lookup.FieldByName(QStringLiteral("NMRAZSOCEMPR"))->AsString();
    }

private Q_SLOTS:
    void initTestCase_data() { DatabaseFixture::addEngineRows(); }
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_fixture.open();
    }
    void cleanup() { dtmDBGeral = nullptr; }

    void rowsAndTotalsEqualTheDatabase_data() { addFilterRows(); }
    void rowsAndTotalsEqualTheDatabase()
    {
        FIS_FETCH_DATABASE(m_fixture, module);
        QFETCH(QString, report);
        QFETCH(Filter, filter);
        dtmDBGeral = module;

        const auto [count, cents] = expected(engine, report, filter);
        TReportDesignerDialog designer;
        const QString path =
            exportPdf(designer, ReportFixture::shipped(report), filter, engine + ".pdf");
        const ReadBack printed = readBack(path);
        QCOMPARE(designer.RowCount(), count);
        QCOMPARE(printed.lines, count);
        QCOMPARE(printed.count, count);
        QCOMPARE(printed.cents, cents);
        if (count == 0) {
            QCOMPARE(designer.PageCount(), 1);
            QVERIFY(ReportFixture::pdfText(path).contains(
                QStringLiteral("Não há dados para o filtro informado.")));
        }
        if (QTest::currentDataTag() == QLatin1String("all T"))
            QVERIFY2(count > 100 && designer.PageCount() > 3, "the demo fills several pages");
    }

    void pdfPrinterAndPreviewAgree()
    {
        FIS_FETCH_DATABASE(m_fixture, module);
        dtmDBGeral = module;
        Filter filter;
        filter.inicio = day(1, 1);
        filter.fim = day(12, 31);
        const TReportDefinition definition = ReportFixture::shipped(ReportFixture::listagem());

        TReportDesignerDialog designer;
        const QString pdf = exportPdf(designer, definition, filter, "engine.pdf");
        const QStringList pdfText = pdfPages(pdf);

        const QString printed = m_dir.filePath(QStringLiteral("printer.pdf"));
        designer.Printer()->setOutputFormat(QPrinter::PdfFormat);
        designer.Printer()->setOutputFileName(printed);
        whenShown<QPrintDialog>([](QPrintDialog* dialog) { dialog->accept(); });
        designer.Print(definition);
        const QStringList printerText = pdfPages(printed);

        TADOIBQuery query;
        TReportRun run(definition, &query);
        QVERIFY(run.start([filter](TParams& params, bool&) { filter.fill(params); }));
        TReportRenderer renderer(definition, run.params());
        QVERIFY(renderer.paginate(run));
        TReportPreview preview(renderer);
        QStringList previewText;
        for (int page = 1; page <= preview.pageCount(); ++page) {
            preview.setCurrentPage(page);
            QCOMPARE(preview.currentPage(), page);
            TextDevice device;
            QPainter painter(&device);
            renderer.drawPage(page, &painter, 1.0);
            painter.end();
            previewText << device.text();
        }

        QVERIFY(pdfText.size() > 3);
        QCOMPARE(designer.PageCount(), int(pdfText.size()));
        QCOMPARE(printerText.size(), pdfText.size());
        QCOMPARE(previewText.size(), pdfText.size());
        QVERIFY(pdfText.last().contains(
            QStringLiteral("Página %1 de %1")
                .arg(QLocale(QLocale::Portuguese, QLocale::Brazil).toString(pdfText.size()))));
        const QList<QStringList> words = pageWords(pdfText);
        QCOMPARE(pageWords(printerText), words);
        QCOMPARE(pageWords(previewText), words);
    }

    // The last page laid out from the groups' sizes and the final rows alone is the page
    // the count of every row lays out, or the shortcut declines.
    void lastPageFromTheGroupsEqualsTheCount_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("shape");
        QTest::addColumn<Filter>("filter");
        QTest::addColumn<bool>("shortcut");
        Filter all;
        all.inicio = day(1, 1);
        all.fim = day(12, 31);
        Filter company = all;
        company.empresa = TDemoData::branch(TDemoData::Scale(), 1, 0).company;
        company.direcao = QStringLiteral("S");
        Filter none = all;
        none.empresa = QStringLiteral("99");
        const QString listagem = ReportFixture::listagem();
        QTest::newRow("listing") << listagem << QString() << all << true;
        QTest::newRow("listing, company, S") << listagem << QString() << company << true;
        QTest::newRow("listing, nothing") << listagem << QString() << none << true;
        QTest::newRow("no group") << listagem << "no group" << all << true;
        QTest::newRow("no group, nothing") << listagem << "no group" << none << true;
        QTest::newRow("two levels, sorted") << listagem << "two levels" << all << true;
        QTest::newRow("withholdings") << ReportFixture::retencoes() << QString() << all << true;
        QTest::newRow("ordered by an expression")
            << QStringLiteral("Resumo Mensal por Tipo de Operação") << QString() << all << false;
        QTest::newRow("text varies in its group")
            << listagem << "text varies in its group" << all << false;
        QTest::newRow("no ORDER BY") << listagem << "no ORDER BY" << all << false;
        QTest::newRow("ordered by the group alone") << listagem << "ties" << all << false;
    }
    void lastPageFromTheGroupsEqualsTheCount()
    {
        FIS_FETCH_DATABASE(m_fixture, module);
        QFETCH(QString, report);
        QFETCH(QString, shape);
        QFETCH(Filter, filter);
        QFETCH(bool, shortcut);
        dtmDBGeral = module;
        const TReportDefinition definition =
            shape.isEmpty() ? ReportFixture::shipped(report) : listingShaped(shape);
        QVERIFY(!definition.Name().isEmpty());

        TADOIBQuery query;
        TReportRun run(definition, &query);
        QVERIFY(run.start([filter](TParams& params, bool&) { filter.fill(params); }));
        TReportRenderer counted(run.definition(), run.params());
        QVERIFY(counted.paginate(run));
        TReportLastPage last(run, counted.rowsPerPageAtMost());
        TReportRenderer ahead(run.definition(), run.params(), counted.printedAt());
        QCOMPARE(last.possible() && last.read() && last.layout(ahead), shortcut);
        if (!shortcut)
            return;
        const int pages = counted.pageCount();
        QCOMPARE(ahead.pageCount(), pages);
        const QString text = pageText(counted, pages);
        QVERIFY2(
            text.contains(QStringLiteral("Página %1 de %1")
                              .arg(QLocale(QLocale::Portuguese, QLocale::Brazil).toString(pages))),
            qPrintable(text));
        QCOMPARE(pageText(ahead, pages), text);
        // The fills too: the rows' stripes and the rules.
        QCOMPARE(ahead.pageImage(pages, 36), counted.pageImage(pages, 36));
        if (QTest::currentDataTag() == QLatin1String("listing"))
            QVERIFY2(pages > 3 && text.contains(QStringLiteral("(continuação)")),
                     "the last page continues a group begun before it");
    }

    // A database file cut short while the last page reads it (a backup restored over it, a
    // sync tool): SQLite reads it unmapped, so the process lives (a mapped page past the end
    // is SIGBUS), the shortcut gives up, and the count it leaves the pages to says in the
    // clerk's words that the file is damaged.
    void lastPageOfAFileCutShortWhileRead_data()
    {
        QTest::addColumn<int>("connection");
        QTest::newRow("while the final rows are read") << 1;
        QTest::newRow("while the groups are summed beside") << 2;
    }
    void lastPageOfAFileCutShortWhileRead()
    {
        QFETCH_GLOBAL(QString, engine);
        QFETCH(int, connection);
        if (engine != QLatin1String("sqlite"))
            QSKIP("a file of SQLite's");
        const QString big = m_dir.filePath(QStringLiteral("grande.sqlite"));
        if (!QFile::exists(big)) {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("grande"));
            db.setDatabaseName(big);
            QVERIFY(db.open());
            TDemoData::Scale scale;
            scale.documents = 20000;
            TDemoData::create(db, scale, {});
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("grande"));
        }
        const QString path = m_dir.filePath(QStringLiteral("cortado.sqlite"));
        QFile::remove(path);
        QVERIFY(QFile::copy(big, path));
        Cutter::file = QFile::encodeName(path);
        Cutter::keep = QFileInfo(path).size() * 2 / 5;
        Cutter::armed = false;
        Cutter::cut = false;
        Cutter::truncated = -1;
        Cutter::cutOn = connection;
        QCOMPARE(sqlite3_auto_extension(Cutter::entry()), SQLITE_OK);
        const auto registered = qScopeGuard([] { sqlite3_cancel_auto_extension(Cutter::entry()); });
        TConnectionOptions options;
        options.driver = QStringLiteral("sqlite");
        options.database = path;
        const std::unique_ptr<TdtmDBGeral> module = TDataModuleFactory::open(options);
        dtmDBGeral = module.get();

        TReportDefinition definition = ReportFixture::shipped(ReportFixture::listagem());
        QStringList sql = definition.QueryFor(false);
        sql.insert(sql.indexOf(QStringLiteral("ORDER BY")),
                   QStringLiteral("   AND FIS_CORTE(D.NRDOCUMENTO) = 1"));
        definition.setSQL(sql);
        Filter all;
        all.inicio = day(1, 1);
        all.fim = day(12, 31);
        TADOIBQuery query;
        TReportRun run(definition, &query);
        QVERIFY(run.start([all](TParams& params, bool&) { all.fill(params); }));
        // As the preview asks for it: page 1 laid out, the rest of the rows still unread.
        TReportRenderer counted(run.definition(), run.params());
        QVERIFY(counted.paginate(run, 1, 0));
        QVERIFY(!counted.paginated());
        TReportLastPage last(run, counted.rowsPerPageAtMost());
        QVERIFY(last.possible());
        Cutter::opened = 0;
        Cutter::armed = true;
        const bool read = last.read();
        Cutter::armed = false;
        QCOMPARE(Cutter::truncated.load(), 0);
        QVERIFY(!read);
        TReportRenderer ahead(run.definition(), run.params(), counted.printedAt());
        QVERIFY(!last.layout(ahead));
        try {
            counted.continuePass(run, -1);
            QFAIL("the count read a file cut short to its end");
        } catch (const EFrameworkError& e) {
            QVERIFY2(
                e.message().contains(QStringLiteral("foi removido, trocado ou está danificado")),
                qPrintable(e.message()));
        }
    }

    void cancelLeavesNoFileAndTheConnectionWorks_data()
    {
        QTest::addColumn<bool>("whileReading");
        QTest::newRow("while reading the rows") << true;
        QTest::newRow("while writing the pages") << false;
    }
    void cancelLeavesNoFileAndTheConnectionWorks()
    {
        FIS_FETCH_DATABASE(m_fixture, module);
        QFETCH(bool, whileReading);
        dtmDBGeral = module;
        Filter filter;
        filter.inicio = day(1, 1);
        filter.fim = day(12, 31);
        const TReportDefinition definition = ReportFixture::shipped(ReportFixture::listagem());
        const qint64 rows = expected(engine, ReportFixture::listagem(), filter).first;
        const QString before = companyName(module, QStringLiteral("01"));
        QVERIFY(!before.isEmpty());

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cancelado.pdf"));
        TReportDesignerDialog designer;
        designer.BeforeGetQueryParams = [filter](TParams& params, bool&) { filter.fill(params); };
        int seen = 0;
        connect(&designer, &TReportDesignerDialog::progressed,
                [&](const QString&, qint64 done, qint64 total) {
                    if ((total == 0) == whileReading && done >= 2) {
                        ++seen;
                        designer.cancel();
                    }
                });
        QVERIFY(!designer.ExportFile(definition, path));
        QCOMPARE(seen, 1);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
        QVERIFY(!designer.Query()->Active());

        // The same connection answers the next lookup and the next run in full.
        QCOMPARE(companyName(module, QStringLiteral("01")), before);
        TReportDesignerDialog again;
        readBack(exportPdf(again, definition, filter, "again.pdf"));
        QCOMPARE(again.RowCount(), rows);
        QCOMPARE(companyName(module, QStringLiteral("01")), before);
    }

    void queryDeclaringSomeParameters_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QStringList>("declared");
        QTest::addColumn<QString>("independent");
        QTest::addColumn<QVariantList>("values");
        QTest::newRow("company and start")
            << "D.CDEMPRESA = :P_CDEMPRESA AND D.DTENTRADA >= :P_DTENTRINI"
            << QStringList{"P_CDEMPRESA", "P_DTENTRINI"} << "D.CDEMPRESA = ? AND D.DTENTRADA >= ?"
            << QVariantList{"01", day(7, 1)};
        QTest::newRow("direction only")
            << "(D.IDENTRSAIDOP = :P_IDENTRSAID OR :P_IDENTRSAID = 'A')"
            << QStringList{"P_IDENTRSAID"} << "D.IDENTRSAIDOP = ?" << QVariantList{"S"};
        QTest::newRow("none") << "1 = 1" << QStringList{} << "1 = 1" << QVariantList{};
    }
    void queryDeclaringSomeParameters()
    {
        FIS_FETCH_DATABASE(m_fixture, module);
        QFETCH(QString, where);
        QFETCH(QStringList, declared);
        dtmDBGeral = module;

        QFile shippedFile(ReportFixture::shipped(ReportFixture::listagem()).FilePath());
        QVERIFY(shippedFile.open(QIODevice::ReadOnly));
        QJsonObject json = QJsonDocument::fromJson(shippedFile.readAll()).object();
        QString sql =
            QStringLiteral(
                "SELECT D.CDEMPRESA, E.NMRAZSOCEMPR, D.CDFILIAL, D.IDENTRSAIDOP, D.CDTIPOOPER, "
                "T.NMTIPOOPER, D.CDMODELO, D.CDSERIE, D.NRDOCUMENTO, D.DTEMISSAO, D.DTENTRADA, "
                "D.CDCLIFOR, D.NMCLIFOR, D.VLDOCUMENTO, D.VLIRRF AS VLRETIDO FROM DOCFISCAL D "
                "LEFT JOIN EMPRESA E ON (E.CDEMPRESA = D.CDEMPRESA) LEFT JOIN TIPOOPERAC T ON "
                "(T.IDENTRSAIDOP = D.IDENTRSAIDOP AND T.CDTIPOOPER = D.CDTIPOOPER) WHERE ") +
            where + QStringLiteral(" ORDER BY D.CDEMPRESA, D.NRDOCUMENTO");
        json[QStringLiteral("query")] = QJsonObject{{QStringLiteral("SQL"), QJsonArray{sql}}};
        const TReportDefinition definition =
            TReportDefinition::fromJson(json, QStringLiteral("parcial"));

        Filter filter;
        filter.empresa = QStringLiteral("01");
        filter.direcao = QStringLiteral("S");
        filter.inicio = day(7, 1);
        QStringList asked;
        TReportDesignerDialog designer;
        designer.BeforeGetQueryParams = [&](TParams& params, bool&) {
            asked = params.names();
            filter.fill(params);
        };
        const QString path = m_dir.filePath(QStringLiteral("parcial.pdf"));
        designer.ExportPdf(definition, path);
        QCOMPARE(asked, declared);

        QFETCH(QString, independent);
        QFETCH(QVariantList, values);
        QSqlQuery q(m_fixture.database(engine));
        q.prepare(QStringLiteral("SELECT COUNT(*) FROM DOCFISCAL D WHERE ") + independent);
        for (const QVariant& v : values)
            q.addBindValue(v.typeId() == QMetaType::QDate && engine == QLatin1String("sqlite")
                               ? QVariant(v.toDate().toString(Qt::ISODate))
                               : v);
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        QVERIFY(q.next());
        const ReadBack printed = readBack(path);
        QCOMPARE(designer.RowCount(), q.value(0).toLongLong());
        QCOMPARE(printed.count, designer.RowCount());
        QVERIFY(designer.RowCount() > 0);
    }
};

QTEST_MAIN(tst_ReportEngine)
#include "tst_reportengine.moc"
