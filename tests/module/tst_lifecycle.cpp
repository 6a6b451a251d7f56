#include "EAbort.h"
#include "EFrameworkError.h"
#include "HostFixture.h"
#include "RecordingPresenter.h"
#include "TForm.h"
#include "TScreen.h"

#include <QApplication>
#include <QComboBox>
#include <QLibrary>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

// Drives the module as the host does: through the entry points of the library.
class tst_Lifecycle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void parameterChoosesPresentation_data();
    void parameterChoosesPresentation();
    void refusesWhatIsNeitherNullNorArray();
    void secondMdiCallReusesFormInNormalState();
    void closedFormIsReplacedByFreshOne();
    void modalCallReturnsAfterDialogCloses();
    void createdFlagFollowsEveryState();
    void dialogCallOnOpenMdiChildBringsItToFront();
    void failedCreationRestoresCursorAndRetries();
    void mdiWithoutFrameFailsWithMessage();
    void operationTypeListOutlivesFormNotModule();
    void finalizeDestroysOpenForm();

private:
    using IniProcFn = void (*)(QVariant);
    using HookFn = void (*)();

    TForm* form() const { return *m_form ? reinterpret_cast<TForm*>(*m_form) : nullptr; }
    void closeForm();
    // Calls IniProc; a modal dialog is answered by `whileModal` and then closed.
    void call(const QVariant& param, const std::function<void(TForm*)>& whileModal = {});

    std::unique_ptr<HostFixture> m_host;
    QLibrary m_library;
    IniProcFn m_iniProc = nullptr;
    HookFn m_initialize = nullptr;
    HookFn m_finalize = nullptr;
    void** m_form = nullptr;
    bool* m_created = nullptr;
    QString* m_listaTp = nullptr;
    QString* m_listaMod = nullptr;
    bool m_sawModal = false;
};

void tst_Lifecycle::initTestCase()
{
    m_library.setFileName(QCoreApplication::applicationDirPath() +
                          QStringLiteral("/libfis01200.so"));
    QVERIFY2(m_library.load(), qPrintable(m_library.errorString()));
    m_iniProc = reinterpret_cast<IniProcFn>(m_library.resolve("IniProc"));
    m_initialize = reinterpret_cast<HookFn>(m_library.resolve("Initialize"));
    m_finalize = reinterpret_cast<HookFn>(m_library.resolve("Finalize"));
    m_form = reinterpret_cast<void**>(m_library.resolve("frmListDocumentos"));
    m_created = reinterpret_cast<bool*>(m_library.resolve("boStCriado"));
    m_listaTp = reinterpret_cast<QString*>(m_library.resolve("stListaTp"));
    m_listaMod = reinterpret_cast<QString*>(m_library.resolve("stListaMod"));
    QVERIFY(m_iniProc && m_initialize && m_finalize && m_form && m_created && m_listaTp &&
            m_listaMod);
    QVERIFY(m_library.resolve("CriaListDocumentos"));
    *m_created = true; // load state must be set by initialisation, not by chance
    m_initialize();
    QCOMPARE(*m_created, false);
}

void tst_Lifecycle::cleanupTestCase()
{
    m_finalize();
}

void tst_Lifecycle::init()
{
    m_host = std::make_unique<HostFixture>();
    m_sawModal = false;
}

void tst_Lifecycle::cleanup()
{
    closeForm();
    QCOMPARE(TScreen::Cursor(), TScreen::crDefault);
    QVERIFY(!QApplication::overrideCursor());
    m_host.reset();
}

void tst_Lifecycle::closeForm()
{
    if (form() && *m_created)
        form()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_Lifecycle::call(const QVariant& param, const std::function<void(TForm*)>& whileModal)
{
    QTimer::singleShot(0, this, [this, whileModal] {
        auto* modal = qobject_cast<TForm*>(QApplication::activeModalWidget());
        if (!modal)
            return;
        m_sawModal = true;
        if (whileModal)
            whileModal(modal);
        modal->close();
    });
    m_iniProc(param);
    QCoreApplication::processEvents();
}

void tst_Lifecycle::parameterChoosesPresentation_data()
{
    QTest::addColumn<QVariant>("param");
    QTest::addColumn<bool>("mdi");
    QTest::newRow("Null") << QVariant() << true;
    QTest::newRow("nullptr") << QVariant::fromValue(nullptr) << true;
    QTest::newRow("element 0 Null") << QVariant(QVariantList{QVariant()}) << true;
    QTest::newRow("S") << QVariant(QVariantList{u"S"_qs}) << true;
    QTest::newRow("Sxyz") << QVariant(QVariantList{u"Sxyz"_qs}) << true;
    QTest::newRow("string list S") << QVariant(QStringList{u"S"_qs}) << true;
    QTest::newRow("later elements ignored") << QVariant(QVariantList{u"S"_qs, u"X"_qs, 3}) << true;
    QTest::newRow("empty mode text") << QVariant(QVariantList{QString()}) << true;
    QTest::newRow("s") << QVariant(QVariantList{u"s"_qs}) << false;
    QTest::newRow("X") << QVariant(QVariantList{u"X"_qs}) << false;
    QTest::newRow("number") << QVariant(QVariantList{42}) << false;
    QTest::newRow("X then S") << QVariant(QVariantList{u"X"_qs, u"S"_qs}) << false;
}

void tst_Lifecycle::parameterChoosesPresentation()
{
    QFETCH(QVariant, param);
    QFETCH(bool, mdi);
    call(param);
    QCOMPARE(m_sawModal, !mdi);
    QVERIFY(form());
    QCOMPARE(form()->FormStyle() == TForm::fsMDIChild, mdi);
    if (mdi) {
        QVERIFY(form()->mdiSubWindow());
        QCOMPARE(m_host->mdiArea()->activeSubWindow(), form()->mdiSubWindow());
        QVERIFY(!(form()->BorderIcons() & (1 << TForm::biMaximize)));
        QCOMPARE(form()->BorderStyle(), int(TForm::bsSingle));
        QVERIFY(*m_created);
    } else {
        QCOMPARE(form()->BorderStyle(), int(TForm::bsDialog));
        QVERIFY(!*m_created); // closed by the dialog's answer
    }
    QCOMPARE(TScreen::Cursor(), TScreen::crDefault);
}

void tst_Lifecycle::refusesWhatIsNeitherNullNorArray()
{
    QVERIFY_THROWS_EXCEPTION(EFrameworkError, m_iniProc(QVariant(u"S"_qs)));
    QVERIFY_THROWS_EXCEPTION(EFrameworkError, m_iniProc(QVariant(QVariantList{})));
    QVERIFY(!*m_created);
    QCOMPARE(TScreen::Cursor(), TScreen::crDefault);
}

void tst_Lifecycle::secondMdiCallReusesFormInNormalState()
{
    call(QVariant());
    QPointer<TForm> first = form();
    first->mdiSubWindow()->showMinimized();
    QCOMPARE(first->WindowState(), int(TForm::wsMinimized));
    call(QVariant(QVariantList{u"S"_qs}));
    QCOMPARE(form(), first.data());
    QCOMPARE(m_host->mdiArea()->subWindowList().size(), 1);
    QCOMPARE(first->WindowState(), int(TForm::wsNormal));
    first->mdiSubWindow()->showMaximized();
    call(QVariant());
    QCOMPARE(first->WindowState(), int(TForm::wsNormal));
    QCOMPARE(m_host->mdiArea()->activeSubWindow(), first->mdiSubWindow());
}

void tst_Lifecycle::closedFormIsReplacedByFreshOne()
{
    call(QVariant());
    QPointer<TForm> first = form();
    auto* direction = first->findChild<QComboBox*>(u"cbbEntrSaida"_qs);
    direction->setCurrentIndex(2);
    first->close();
    QVERIFY(!*m_created);
    QVERIFY(first); // destruction is deferred to the event loop
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!first);
    QVERIFY(!form());
    call(QVariant());
    QVERIFY(form());
    QCOMPARE(form()->findChild<QComboBox*>(u"cbbEntrSaida"_qs)->currentText(), u"Entrada"_qs);
    QCOMPARE(form()->findChild<QComboBox*>(u"cbbReportNames"_qs)->currentIndex(), 0);
}

void tst_Lifecycle::modalCallReturnsAfterDialogCloses()
{
    bool answered = false;
    int cursorDuringDialog = -1;
    call(QVariant(QVariantList{u"X"_qs}), [&](TForm* modal) {
        answered = true;
        cursorDuringDialog = TScreen::Cursor();
        QVERIFY(modal->isVisible());
        QVERIFY(modal->isShowingModal());
    });
    QVERIFY(answered);
    // The dialog itself shows the normal cursor; the hourglass is the caller's.
    QCOMPARE(cursorDuringDialog, TScreen::crDefault);
    QCOMPARE(TScreen::Cursor(), TScreen::crDefault);
}

void tst_Lifecycle::createdFlagFollowsEveryState()
{
    QVERIFY(!*m_created);
    call(QVariant());
    QVERIFY(*m_created);
    QPointer<TForm> mdi = form();
    mdi->close();
    QVERIFY(!*m_created); // closed, destruction pending
    QVERIFY(mdi);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!mdi);
    QVERIFY(!*m_created);

    bool createdWhileOpen = false;
    call(QVariant(QVariantList{u"N"_qs}), [&](TForm*) { createdWhileOpen = *m_created; });
    QVERIFY(createdWhileOpen);
    QVERIFY(!*m_created);
}

void tst_Lifecycle::dialogCallOnOpenMdiChildBringsItToFront()
{
    call(QVariant());
    TForm* mdi = form();
    mdi->mdiSubWindow()->showMinimized();
    call(QVariant(QVariantList{u"X"_qs}));
    QVERIFY(!m_sawModal);
    QCOMPARE(form(), mdi);
    QVERIFY(*m_created);
    QCOMPARE(mdi->FormStyle(), int(TForm::fsMDIChild));
    QCOMPARE(mdi->WindowState(), int(TForm::wsNormal));
    QCOMPARE(m_host->mdiArea()->activeSubWindow(), mdi->mdiSubWindow());
}

void tst_Lifecycle::failedCreationRestoresCursorAndRetries()
{
    m_host->useEmptyReportDirectory();
    QVERIFY_THROWS_EXCEPTION(EAbort, m_iniProc(QVariant()));
    QVERIFY(m_host->presenter().lastError().startsWith(
        u"O arquivo contendo a definição do Relatório de código 'FIS012' não foi encontrado"_qs));
    QCOMPARE(TScreen::Cursor(), TScreen::crDefault);
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(!*m_created);
    m_host->useProjectReports();
    call(QVariant());
    QVERIFY(*m_created);
}

void tst_Lifecycle::mdiWithoutFrameFailsWithMessage()
{
    m_host->dropMainWindow();
    QVERIFY_THROWS_EXCEPTION(EFrameworkError, m_iniProc(QVariant()));
    QCOMPARE(TScreen::Cursor(), TScreen::crDefault);
    QVERIFY(!QApplication::overrideCursor());
    // The form was created; it is shown once the frame is there.
    QVERIFY(*m_created);
}

void tst_Lifecycle::operationTypeListOutlivesFormNotModule()
{
    call(QVariant());
    *m_listaTp = u"'E01','S05'"_qs;
    *m_listaMod = u"x"_qs;
    closeForm();
    call(QVariant());
    QCOMPARE(*m_listaTp, u"'E01','S05'"_qs);
    closeForm();
    m_finalize();
    QVERIFY(m_listaTp->isEmpty());
    QVERIFY(m_listaMod->isEmpty());
    m_initialize();
}

void tst_Lifecycle::finalizeDestroysOpenForm()
{
    call(QVariant());
    QPointer<TForm> open = form();
    QPointer<QMdiSubWindow> frame = open->mdiSubWindow();
    m_finalize();
    QVERIFY(!open);
    QVERIFY(!frame);
    QVERIFY(!*m_created);
    QVERIFY(!form());
    m_initialize();
    // Initialisation runs once per load: a second call changes nothing.
    call(QVariant());
    m_initialize();
    QVERIFY(*m_created);
    m_finalize();
    QVERIFY(*m_created);
}

QTEST_MAIN(tst_Lifecycle)
#include "tst_lifecycle.moc"
