#include "Cli_fis01200.h"
#include "HostFixture.h"
#include "RecordingPresenter.h"
#include "TDataModuleFactory.h"
#include "TDateEditPlus.h"
#include "TDemoData.h"
#include "TReportDesignerDialog.h"
#include "TReportExporter.h"
#include "TReportPreview.h"
#include "TfrmListDocumentos.h"
#include "WhenShown.h"
#include "XlsxRows.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

namespace {

// Types the name into the dialog's file name field, as a user does, and accepts.
void typeFileName(QFileDialog* dialog, const QString& file)
{
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    edit->setText(file);
    static_cast<QDialog*>(dialog)->accept();
}

// Answers the save dialog: picks the filter, types the name and accepts, or cancels.
void answerSaveDialog(QObject* owner, const QString& filter, const QString& file, bool* shown)
{
    whenShown<QFileDialog>(30, owner, [=](QFileDialog* dialog) {
        *shown = true;
        if (file.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->setDirectory(QFileInfo(file).absolutePath());
        dialog->selectNameFilter(filter);
        Q_EMIT dialog->filterSelected(filter);
        if (QFileInfo(file).fileName() == u"=")
            static_cast<QDialog*>(dialog)->accept();
        else
            typeFileName(dialog, file);
    });
}

// A name-filter entry of the export dialog by its suffix.
QString exportFilter(const QString& suffix)
{
    for (const QString& f : TReportExporter::fileFilters())
        if (f.contains(u"*." + suffix))
            return f;
    return {};
}

} // namespace

// The export action beside print on the report form.
class TstExportAction : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<TdtmDBGeral> m_dm;
    std::unique_ptr<TdtmDBGeral> m_bigDm;
    std::unique_ptr<HostFixture> m_host;
    std::unique_ptr<TfrmListDocumentos> m_form;

private Q_SLOTS:
    void initTestCase()
    {
        TConnectionOptions options;
        options.database = m_dir.filePath(u"demo.sqlite"_qs);
        TDataModuleFactory::makeDemo(options.database);
        m_dm = TDataModuleFactory::open(options);

        // Rows enough for an export to outlast the half second before its progress shows.
        options.database = m_dir.filePath(u"grande.sqlite"_qs);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_qs, u"grande"_qs);
            db.setDatabaseName(options.database);
            QVERIFY(db.open());
            TDemoData::Scale scale;
            scale.documents = 150000;
            TDemoData::create(db, scale, {});
        }
        QSqlDatabase::removeDatabase(u"grande"_qs);
        m_bigDm = TDataModuleFactory::open(options);
    }

    void init() { openForm(m_dm.get()); }

    void openForm(TdtmDBGeral* dm)
    {
        m_form.reset();
        m_host = std::make_unique<HostFixture>();
        m_host->useProjectReports();
        dtmDBGeral = dm;
        m_form = std::make_unique<TfrmListDocumentos>();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        m_form->depDtInicial->setText(u"01/01/2024"_qs);
        m_form->depDtFinal->setText(u"31/12/2024"_qs);
        for (QCheckBox* box : {m_form->chbEmpresa, m_form->chbFilial})
            box->setChecked(true);
        m_host->presenter().clear();
    }

    void cleanup()
    {
        qDeleteAll(findChildren<QTimer*>());
        m_form.reset();
        m_host.reset();
    }

    void exportsWhatTheDialogNames_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::newRow("xlsx, suffix from the filter") << "xlsx"
                                                      << "docs"
                                                      << "docs.xlsx";
        QTest::newRow("csv, suffix from the filter") << "csv"
                                                     << "docs"
                                                     << "docs.csv";
        QTest::newRow("csv typed") << "xlsx"
                                   << "docs.csv"
                                   << "docs.csv";
        QTest::newRow("cancelled") << "csv"
                                   << ""
                                   << "";
        // Only the filter changed: the proposed name takes its suffix.
        QTest::newRow("proposed name") << "csv"
                                       << "="
                                       << "Listagem dos Documentos.csv";
    }
    void exportsWhatTheDialogNames()
    {
        QFETCH(QString, filter);
        QFETCH(QString, typed);
        QFETCH(QString, written);
        QTemporaryDir out;
        bool shown = false;
        answerSaveDialog(this, exportFilter(filter),
                         typed.isEmpty() ? QString() : out.filePath(typed), &shown);
        QWidget* focused = m_form->focusWidget();
        m_form->sbtExport->click();
        QVERIFY(shown);
        QCOMPARE(m_form->focusWidget(), focused);
        QVERIFY(m_host->presenter().errors.isEmpty());
        const QStringList files = QDir(out.path()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(files, written.isEmpty() ? QStringList() : QStringList{written});
        if (written.endsWith(u".xlsx")) {
            const QStringList rows = xlsxRows(out.filePath(written));
            QVERIFY(rows.size() > 100);
            QVERIFY(rows.last().contains(u"Total geral - Documentos: "_qs));
        } else if (!written.isEmpty()) {
            QFile csv(out.filePath(written));
            QVERIFY(csv.open(QIODevice::ReadOnly));
            const QByteArray text = csv.readAll();
            QVERIFY(text.startsWith("\xEF\xBB\xBF") && text.count("\r\n") > 100);
        }
    }

    void checksAsPrintBeforeAsking_data()
    {
        QTest::addColumn<bool>("companyBox");
        QTest::addColumn<bool>("lista");
        QTest::addColumn<QString>("error");
        QTest::newRow("company required") << false << false << "Empresa deve ser informada.";
        // Print does not check the operation-type list, so neither does export.
        QTest::newRow("empty type list") << true << true << "";
    }
    void checksAsPrintBeforeAsking()
    {
        QFETCH(bool, companyBox);
        QFETCH(bool, lista);
        QFETCH(QString, error);
        m_form->chbEmpresa->setChecked(companyBox);
        m_form->cbbReportNames->setCurrentIndex(
            m_form->cbbReportNames->findText(TfrmListDocumentos::WithholdingReport));
        m_form->cbbReportNamesChange(m_form->cbbReportNames);
        m_form->rdbLista->setChecked(lista);
        bool shown = false;
        answerSaveDialog(this, QString(), QString(), &shown);
        m_form->sbtExport->click();
        QCOMPARE(shown, error.isEmpty());
        QCOMPARE(m_host->presenter().errors, error.isEmpty() ? QStringList() : QStringList{error});
    }

    // A long export shows its progress; the screen takes no other input meanwhile, and
    // Cancelar or closing the window (asked first) stops it with no file left.
    void longExportStops_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("written");
        QTest::addColumn<bool>("open");
        QTest::newRow("Cancelar") << "cancel" << false << true;
        QTest::newRow("closed, Sim") << "yes" << false << false;
        QTest::newRow("closed, Não") << "no" << true << true;
    }
    void longExportStops()
    {
        QFETCH(QString, how);
        QFETCH(bool, written);
        QFETCH(bool, open);
        openForm(m_bigDm.get());
        QTemporaryDir out;
        // A spreadsheet: several times slower a row than CSV, so the run outlasts its
        // first half second even on a fast reader.
        const QString path = out.filePath(u"grande.xlsx"_qs);
        bool shown = false, previewed = false, asked = false;
        answerSaveDialog(this, exportFilter(u"xlsx"_qs), path, &shown);
        whenShown<TReportPreview>(20, this, [&](TReportPreview* p) {
            previewed = true;
            p->reject();
        });
        auto* watch = new QTimer(this);
        watch->setInterval(20);
        connect(watch, &QTimer::timeout, this, [&, watch] {
            auto* progress = m_form->findChild<QProgressDialog*>();
            if (!progress || !progress->isVisible())
                return;
            watch->stop();
            QTest::mouseClick(m_form->sbtPreview, Qt::LeftButton);
            if (how == u"cancel") {
                QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
                return;
            }
            whenShown<QMessageBox>(20, this, [&](QMessageBox* box) {
                asked = true;
                box->button(how == u"yes" ? QMessageBox::Yes : QMessageBox::No)->click();
            });
            m_form->close();
        });
        watch->start();
        m_form->sbtExport->click();
        QVERIFY(shown);
        QTRY_VERIFY(!watch->isActive());
        QCOMPARE(asked, how != u"cancel");
        if (!open) {
            // A closed screen releases itself.
            const QPointer<QWidget> form = m_form.get();
            QTRY_VERIFY(form.isNull());
            (void)m_form.release();
        }
        QCOMPARE(m_form && m_form->isVisible(), open);
        QVERIFY(!previewed);
        QVERIFY(m_host->presenter().errors.isEmpty());
        const QStringList files = QDir(out.path()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(files, written ? QStringList{u"grande.xlsx"_qs} : QStringList());
    }

    void buttonKeepsTheFocus()
    {
        QCOMPARE(m_form->sbtExport->focusPolicy(), Qt::NoFocus);
        QCOMPARE(m_form->sbtExport->toolTip(), u"Exportar (Ctrl+S)"_qs);
        QCOMPARE(m_form->sbtExport->parentWidget(), m_form->sbtPrint->parentWidget());
    }

    void previewExportsToo()
    {
        QTemporaryDir out;
        const QString path = out.filePath(u"previa.xlsx"_qs);
        bool exported = false, noted = false;
        whenShown<TReportPreview>(30, this, [&](TReportPreview* preview) {
            bool shown = false;
            whenShown<QFileDialog>(30, this, [&](QFileDialog* dialog) {
                shown = true;
                typeFileName(dialog, path);
            });
            for (QAction* a : preview->findChildren<QAction*>())
                if (a->objectName() == u"actExportar")
                    a->trigger();
            exported = shown;
            // The note stands over the preview, not behind it on the blocked form.
            auto* note = preview->findChild<QMessageBox*>(u"msgExportado"_qs);
            noted = note && note->parentWidget() == preview && note->isVisible();
            preview->reject();
        });
        m_form->sbtPreview->click();
        QVERIFY(exported);
        QVERIFY(noted);
        QVERIFY(m_host->presenter().errors.isEmpty());
        QVERIFY2(QFile::exists(path), qPrintable(QDir(out.path()).entryList().join(u',')));
        const QStringList rows = xlsxRows(path);
        QVERIFY(!rows.isEmpty() && rows.last().contains(u"Total geral - Documentos: "_qs));
    }
};

QTEST_MAIN(TstExportAction)
#include "tst_exportaction.moc"
