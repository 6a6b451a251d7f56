#include "EFrameworkError.h"
#include "Helpers.h"
#include "RecordingPresenter.h"
#include "TApplication.h"
#include "TForm.h"
#include "TMaskEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace {

// A form whose definition is written in code, as uic would write it.
class SampleForm : public TForm
{
public:
    explicit SampleForm(const QString& boxHandler = u"boxClick"_qs)
    {
        setObjectName(u"frmSample"_qs);
        edit = new TMaskEdit(this);
        edit->setObjectName(u"medCodigo"_qs);
        edit->setProperty("OnChange", u"codigoChange"_qs);
        box = new QCheckBox(this);
        box->setObjectName(u"chbTodas"_qs);
        box->setProperty("OnClick", boxHandler);
        radio = new QRadioButton(this);
        radio->setObjectName(u"rdbLista"_qs);
        radio->setProperty("OnClick", u"listaClick"_qs);
        other = new QRadioButton(this);
        other->setChecked(true);
        combo = new QComboBox(this);
        combo->setObjectName(u"cbbNomes"_qs);
        combo->addItems({u"A"_qs, u"B"_qs});
        combo->setProperty("OnChange", u"nomesChange"_qs);
        setProperty("OnCreate", u"FormCreate"_qs);
        setProperty("OnClose", u"FormClose"_qs);
        FIS_HANDLER(SampleForm, FormCreate);
        FIS_HANDLER(SampleForm, FormClose);
        FIS_HANDLER(SampleForm, codigoChange);
        FIS_HANDLER(SampleForm, boxClick);
        FIS_HANDLER(SampleForm, listaClick);
        FIS_HANDLER(SampleForm, nomesChange);
        FIS_HANDLER(SampleForm, failingClick);
        Loaded();
    }

    void FormCreate(QObject*) { calls << u"create"_qs; }
    void FormClose(QObject*, TCloseAction& action)
    {
        calls << u"close"_qs;
        action = closeAction;
    }
    void codigoChange(QObject* sender) { calls << u"change:"_qs + sender->objectName(); }
    void boxClick(QObject*) { calls << u"box:"_qs + QString::number(box->isChecked()); }
    void listaClick(QObject*) { calls << u"lista"_qs; }
    void nomesChange(QObject*) { calls << u"nomes:"_qs + combo->currentText(); }
    void failingClick(QObject*)
    {
        if (box->isChecked())
            MensErro(u"Marcação recusada."_qs, true);
        throw EFrameworkError(u"Falha ao desmarcar."_qs);
    }

    TMaskEdit* edit;
    QCheckBox* box;
    QRadioButton* radio;
    QRadioButton* other;
    QComboBox* combo;
    QStringList calls;
    TCloseAction closeAction = TCloseAction::caHide;
};

class WrongSignature : public TForm
{
public:
    WrongSignature()
    {
        auto* box = new QCheckBox(this);
        box->setObjectName(u"chb"_qs);
        box->setProperty("OnClick", u"FormClose"_qs);
        FIS_HANDLER(WrongSignature, FormClose);
        Loaded();
    }
    void FormClose(QObject*, TCloseAction&) {}
};

} // namespace

class tst_Binder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bindsByNameAndCreates();
    void programChangesRaiseEventsToo();
    void comboChangeIsTheUsersOnly();
    void handlerErrorsStayInsideTheGuard();
    void unresolvedNamesAreRefused();
    void closeActionsAndDeferredRelease();
    void releaseWaitsForModalShow();
    void mdiFramesShareOneCachedImage();

private:
    RecordingPresenter m_presenter;
};

void tst_Binder::bindsByNameAndCreates()
{
    SampleForm form;
    QCOMPARE(form.calls, QStringList{u"create"_qs});
    QVERIFY(form.edit->OnChange);
    QVERIFY(form.OnClose);
    QVERIFY(!form.OnActivate);
}

void tst_Binder::programChangesRaiseEventsToo()
{
    SampleForm form;
    form.calls.clear();
    form.edit->setText(u"01"_qs);
    form.edit->setText(u"01"_qs); // the same text is no change
    form.box->setChecked(true);
    form.box->setChecked(true);
    form.box->setChecked(false);
    form.radio->setChecked(true); // becomes selected
    form.other->setChecked(true); // the radio is deselected: no event
    QCOMPARE(form.calls,
             (QStringList{u"change:medCodigo"_qs, u"box:1"_qs, u"box:0"_qs, u"lista"_qs}));
}

void tst_Binder::comboChangeIsTheUsersOnly()
{
    SampleForm form;
    form.show();
    form.calls.clear();
    form.combo->setCurrentIndex(1);
    QVERIFY(form.calls.isEmpty());
    form.combo->setFocus();
    QTest::keyClick(form.combo, Qt::Key_Up);
    QCOMPARE(form.calls, QStringList{u"nomes:A"_qs});
}

void tst_Binder::handlerErrorsStayInsideTheGuard()
{
    SampleForm form(u"failingClick"_qs);
    m_presenter.clear();
    form.box->setChecked(true); // MensErro: shown once, then the silent abort
    QCOMPARE(m_presenter.errors, QStringList{u"Marcação recusada."_qs});
    form.box->setChecked(false); // any other error is shown as a message
    QCOMPARE(m_presenter.errors,
             (QStringList{u"Marcação recusada."_qs, u"Falha ao desmarcar."_qs}));
}

void tst_Binder::unresolvedNamesAreRefused()
{
    QVERIFY_THROWS_EXCEPTION(EFrameworkError, SampleForm(u"naoExiste"_qs));
    QVERIFY_THROWS_EXCEPTION(EFrameworkError, WrongSignature());
}

void tst_Binder::closeActionsAndDeferredRelease()
{
    auto* form = new SampleForm;
    QPointer<SampleForm> alive(form);
    form->show();
    form->closeAction = TCloseAction::caNone;
    QVERIFY(!form->close());
    QVERIFY(form->isVisible());
    form->closeAction = TCloseAction::caFree;
    QVERIFY(form->close());
    QVERIFY(alive); // destroyed from the event loop, not inside the close
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!alive);
}

void tst_Binder::releaseWaitsForModalShow()
{
    auto* form = new SampleForm;
    QPointer<SampleForm> alive(form);
    form->closeAction = TCloseAction::caFree;
    bool stillThereAfterLoop = false;
    QTimer::singleShot(0, form, [form] {
        form->close();
        // Events the modal loop still handles must not destroy the form under it.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    });
    form->ShowModal();
    stillThereAfterLoop = !alive.isNull();
    QVERIFY(stillThereAfterLoop);
    form->setWindowState(TForm::wsNormal); // the caller may still use it
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!alive);
}

// A frame with no icon loads the style's image afresh, and QPixmapCache keeps what each
// painted: every form's frame must show the one shared image.
void tst_Binder::mdiFramesShareOneCachedImage()
{
    QMainWindow main;
    main.setCentralWidget(new QMdiArea);
    TApplication::instance()->setMainForm(&main);
    auto* first = new SampleForm;
    auto* second = new SampleForm;
    first->setFormStyle(TForm::fsMDIChild);
    second->setFormStyle(TForm::fsMDIChild);
    const QIcon a = first->mdiSubWindow()->windowIcon(), b = second->mdiSubWindow()->windowIcon();
    TApplication::instance()->setMainForm(nullptr);
    QVERIFY(!a.isNull());
    QCOMPARE(b.pixmap(16).cacheKey(), a.pixmap(16).cacheKey());
}

QTEST_MAIN(tst_Binder)
#include "tst_binder.moc"
