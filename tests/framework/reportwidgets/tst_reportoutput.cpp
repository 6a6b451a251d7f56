#include "EFrameworkError.h"
#include "RecordingPresenter.h"
#include "ReportFixture.h"
#include "TReportDesignerDialog.h"
#include "TReportPreview.h"
#include "TSqliteAuthorizer.h"
#include "WhenShown.h"

#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace ReportFixture;

namespace {

// The first line of the text that holds every one of the parts.
QString lineWith(const QString& text, const QStringList& parts)
{
    for (const QString& line : text.split(u'\n')) {
        bool all = true;
        for (const QString& part : parts)
            all = all && line.contains(part);
        if (all)
            return line;
    }
    return {};
}

} // namespace

class tst_ReportOutput : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TdtmDBGeral> m_dtm;
    QTemporaryDir m_dir;
    Filter m_filter;

    QString exportPdf(const QString& report, TReportDesignerDialog* designer = nullptr)
    {
        TReportDesignerDialog local;
        TReportDesignerDialog& d = designer ? *designer : local;
        d.BeforeGetQueryParams = [this](TParams& params, bool&) { m_filter.fill(params); };
        const QString path = m_dir.filePath("relatorio.pdf");
        d.ExportPdf(shipped(report), path);
        return path;
    }

    void addDocuments(int count)
    {
        // The reports run before made the connection a reader's.
        TSqliteAuthorizer::uninstall(QSqlDatabase::database(m_db->connectionName()));
        QSqlQuery q(QSqlDatabase::database(m_db->connectionName()));
        QSqlDatabase::database(m_db->connectionName()).transaction();
        q.prepare("INSERT INTO DOCFISCAL (CDEMPRESA, CDINSCESTA, CDINSCMUNI, CDFILIAL, "
                  "IDENTRSAIDOP, CDTIPOOPER, NRDOCUMENTO, DTENTRADA, CDCLIFOR, NMCLIFOR, "
                  "VLDOCUMENTO, VLIRRF) VALUES ('01','IE1','IM1','0001','E','01',?,"
                  "'2024-01-15','44444444000144','CLIENTE DELTA',10.00,1.00)");
        for (int i = 0; i < count; ++i) {
            q.addBindValue(QString::number(500000 + i));
            QVERIFY(q.exec());
        }
        QSqlDatabase::database(m_db->connectionName()).commit();
    }

private Q_SLOTS:
    void init()
    {
        m_db = std::make_unique<TestDatabase>(schema());
        m_dtm = std::make_unique<TdtmDBGeral>(m_db->connectionName());
        dtmDBGeral = m_dtm.get();
        m_filter = Filter();
    }

    void cleanup()
    {
        m_dtm.reset();
        m_db.reset();
    }

    void listingHoldsRowsFilterAndTotals()
    {
        m_filter.direcao = "A";
        const QString text = pdfText(exportPdf(listagem()));
        QVERIFY(text.contains("FIS012"));
        QVERIFY(text.contains("Listagem dos Documentos"));
        QVERIFY(!lineWith(text, {"Empresa: Todas", "Filial: Todas", "Operação: Ambos",
                                 "Período: 01/01/2024 a 31/01/2024"})
                     .isEmpty());
        QVERIFY(!lineWith(text, {"05/01/2024", "0001", "Entrada", "COMPRA PARA", "1001",
                                 "22.222.222/0001-22", "FORNECEDOR BETA LTDA", "1.000,00", "0,00"})
                     .isEmpty());
        QVERIFY(!lineWith(text, {"10/01/2024", "Saída", "1002", "2.500,50", "150,03"}).isEmpty());
        QVERIFY(!text.contains("1004"));
        QVERIFY(!text.contains("1005"));
        QVERIFY(!lineWith(text, {"Empresa: 01 - EMPRESA UM LTDA"}).isEmpty());
        QVERIFY(
            !lineWith(text, {"Total da empresa - Documentos: 3", "3.800,50", "180,03"}).isEmpty());
        QVERIFY(!lineWith(text, {"Total da empresa - Documentos: 1", "50,00", "5,00"}).isEmpty());
        QVERIFY(!lineWith(text, {"Total geral - Documentos: 4", "3.850,50", "185,03"}).isEmpty());
        QVERIFY(text.contains("Página 1 de 1"));
        // Company 01's rows come before company 02's, in date order.
        QVERIFY(text.indexOf("1001") < text.indexOf("1003"));
        QVERIFY(text.indexOf("1003") < text.indexOf("1006"));
    }

    void withholdingGroupsByClientAndShowsTheList()
    {
        m_filter.listaTipos = "'S05','E02'";
        m_filter.todosTipos = "";
        const QString text = pdfText(exportPdf(retencoes()));
        QVERIFY(text.contains("Retenções por Cliente/Fornecedor"));
        QVERIFY(text.contains("Tipos de Operação: S05, E02"));
        const int alfa =
            text.indexOf("Cliente/Fornecedor: 11.111.111/0001-11 - CLIENTE ALFA E CIA");
        const int beta =
            text.indexOf("Cliente/Fornecedor: 22.222.222/0001-22 - FORNECEDOR BETA LTDA");
        QVERIFY(alfa >= 0 && beta > alfa);
        QVERIFY(!text.contains("SERVIÇOS GAMA"));
        QVERIFY(!text.contains("1001"));
        QVERIFY(!lineWith(text, {"Total geral - Documentos: 2", "2.800,50", "180,03"}).isEmpty());
    }

    void emptyResultStillPrintsAPage()
    {
        m_filter.empresa = "99";
        TReportDesignerDialog designer;
        const QString path = exportPdf(listagem(), &designer);
        QCOMPARE(designer.PageCount(), 1);
        const QString text = pdfText(path);
        QVERIFY(text.contains("Não há dados para o filtro informado."));
        QVERIFY(text.contains("Empresa: 99"));
        QVERIFY(text.contains("Total geral - Documentos: 0"));
    }

    void pagesGrowWithRows()
    {
        int previous = 0;
        int added = 0;
        for (int rows : {0, 40, 400}) {
            addDocuments(rows - added);
            added = rows;
            TReportDesignerDialog designer;
            const QString path = exportPdf(listagem(), &designer);
            const int pages = designer.PageCount();
            QCOMPARE(pdfPages(path), pages);
            QVERIFY2(pages > previous || rows == 0, qPrintable(QString::number(pages)));
            previous = pages;

            // Every page carries the header and its number; every row is printed once.
            QString all;
            for (int page = 1; page <= pages; ++page) {
                const QString text = pdfText(path, page, page);
                QVERIFY(text.contains("Valor Documento"));
                QVERIFY(text.contains(
                    QString("Página %1 de %2")
                        .arg(QLocale(QLocale::Portuguese, QLocale::Brazil).toString(page),
                             QLocale(QLocale::Portuguese, QLocale::Brazil).toString(pages))));
                all += text;
            }
            QCOMPARE(all.count(QRegularExpression("\\b5\\d{5}\\b")), rows);
            QCOMPARE(all.count("Total geral"), 1);
        }
        QVERIFY(previous >= 8);
    }

    void previewPaintsTheReport()
    {
        addDocuments(100);
        TReportDesignerDialog designer;
        designer.BeforeGetQueryParams = [this](TParams& params, bool&) { m_filter.fill(params); };
        int shownPages = -1;
        QString title;
        whenShown<TReportPreview>([&](TReportPreview* preview) {
            title = preview->windowTitle();
            shownPages = preview->pageCount();
            preview->reject();
        });
        designer.Preview(shipped(listagem()));
        QVERIFY(designer.PageCount() > 1);
        QCOMPARE(shownPages, designer.PageCount());
        QCOMPARE(title, QString("Visualizar - Listagem dos Documentos"));
        QCOMPARE(designer.Printer()->pageLayout().orientation(), QPageLayout::Landscape);
    }

    // A value no amount column holds, or a text cut to a spreadsheet's cell, is told to
    // the clerk once the run is over, once, in the words fisreport prints; the log keeps it.
    void valueWarningsAreToldOnce_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("told");
        const QString amount = "(VLDOCUMENTO): o valor 1e+300 está fora do que a coluna comporta";
        for (const char* action : {"pdf", "xlsx", "preview", "print"})
            QTest::addRow("%s, 1e300", action)
                << action << "VLDOCUMENTO" << QVariant(1e300) << amount;
        QTest::newRow("xlsx, a name of 40.000 characters")
            << "xlsx"
            << "NMCLIFOR" << QVariant(QString(40000, u'a'))
            << "um texto de 40.000 caracteres passa do limite";
        QTest::newRow("csv, plain values") << "csv"
                                           << "VLDOCUMENTO" << QVariant(10.0) << "";
    }
    void valueWarningsAreToldOnce()
    {
        QFETCH(QString, action);
        QFETCH(QString, column);
        QFETCH(QVariant, value);
        QFETCH(QString, told);
        QSqlQuery q(QSqlDatabase::database(m_db->connectionName()));
        QVERIFY(q.prepare(
            QStringLiteral("UPDATE DOCFISCAL SET %1 = ? WHERE NRDOCUMENTO = '1001'").arg(column)));
        q.addBindValue(value);
        QVERIFY(q.exec());
        if (!told.isEmpty())
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression(QRegularExpression::escape(told)));

        RecordingPresenter presenter;
        TReportDesignerDialog designer;
        designer.BeforeGetQueryParams = [this](TParams& params, bool&) { m_filter.fill(params); };
        const QString path = m_dir.filePath("avisos." + (action == "print" ? "pdf" : action));
        QFile::remove(path);
        if (action == "preview") {
            whenShown<TReportPreview>([](TReportPreview* preview) { preview->reject(); });
            designer.Preview(shipped(listagem()));
        } else if (action == "print") {
            designer.Printer()->setOutputFormat(QPrinter::PdfFormat);
            designer.Printer()->setOutputFileName(path);
            whenShown<QPrintDialog>([](QPrintDialog* dialog) { dialog->accept(); });
            designer.Print(shipped(listagem()));
        } else {
            QVERIFY(designer.ExportFile(shipped(listagem()), path));
        }
        if (action != "preview")
            QVERIFY(QFile::exists(path));
        QVERIFY(presenter.errors.isEmpty());
        if (told.isEmpty()) {
            QCOMPARE(presenter.informations, QStringList());
            return;
        }
        QCOMPARE(presenter.informations.size(), 1);
        const QString text = presenter.informations.first();
        QVERIFY2(text.startsWith("O relatório foi gerado com avisos:\n") && text.contains(told),
                 qPrintable(text));
    }

    void printGoesToTheChosenPrinter()
    {
        TReportDesignerDialog designer;
        designer.BeforeGetQueryParams = [this](TParams& params, bool&) { m_filter.fill(params); };
        const QString path = m_dir.filePath("impresso.pdf");
        designer.Printer()->setOutputFormat(QPrinter::PdfFormat);
        designer.Printer()->setOutputFileName(path);
        whenShown<QPrintDialog>([](QPrintDialog* dialog) { dialog->accept(); });
        designer.Print(shipped(retencoes()));
        QCOMPARE(designer.PageCount(), 1);
        QVERIFY(pdfText(path).contains("CLIENTE ALFA E CIA"));

        // A cancelled dialog prints nothing.
        QFile::remove(path);
        whenShown<QPrintDialog>([](QPrintDialog* dialog) { dialog->reject(); });
        designer.Print(shipped(retencoes()));
        QVERIFY(!QFile::exists(path));
    }
};

QTEST_MAIN(tst_ReportOutput)
#include "tst_reportoutput.moc"
