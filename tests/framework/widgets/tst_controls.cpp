// The input controls: TMaskEdit (masks, OnChange, OnExit), TDateEditPlus (typing,
// Text, CheckValidDate, GetDate, events) and the focus rule of TBtnPesquisa.

#include "EAbort.h"
#include "Helpers.h"
#include "RecordingPresenter.h"
#include "TBtnPesquisa.h"
#include "TDateEditPlus.h"
#include "TMaskEdit.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QClipboard>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>

namespace {

// A shown, active window holding the controls of a test.
struct Window
{
    QWidget widget;
    QVBoxLayout* layout = new QVBoxLayout(&widget);

    template <class T> T* add(T* child)
    {
        layout->addWidget(child);
        return child;
    }
    bool show()
    {
        widget.show();
        QApplication::setActiveWindow(&widget);
        return QTest::qWaitForWindowActive(&widget);
    }
};

// Types text that QTest::keyClicks cannot (it takes Latin-1 letters only as keys).
void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

} // namespace

class tst_Controls : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void companyMaskTakesTwoDigits();
    void branchMaskUpperCasesFourLettersOrDigits();
    void noMaskTakesAnythingUpToMaxLength();
    void maskAppliesToPasteNotToProgramWrites();
    void handlersWriteAsTheProgram();
    void editMaskPropertyAndUnknownLetters();
    void onChangeOnTypedAndProgramChangesNotOnSameText();
    void onChangeHandlerMayAbort();
    void onExitWhenFocusMovesToAnotherWidget();
    void noExitWhenNoFocusButtonIsClicked();
    void noExitOnWindowDeactivationOrPopup();
    void exitCheckTakingFocusBackRunsNoOtherExit();
    void noExitWhenGoingToAnotherMdiChild();

    void dateTextEmptyUntilADigit();
    void dateTypingPlacesSlashes();
    void dateSlashPadsAndBackspaceWorks();
    void dateProgramWrites();
    void checkValidDatePassesValidAndEmpty();
    void checkValidDate_data();
    void checkValidDate();
    void twoDigitYearWindow_data();
    void twoDigitYearWindow();
    void getDateAtMidnightUnlessSaveTime();
    void dateColourAndWeekday();
    void dateColourShowsUnderTheFormsStyleSheet();
    void dateEvents();
    void dateCalendarPickWritesDateWithoutExit();
    void buttonsOfTwoFormsPaintOneCachedImage();

private:
    std::unique_ptr<RecordingPresenter> m_presenter;
};

void tst_Controls::init()
{
    m_presenter = std::make_unique<RecordingPresenter>();
}

void tst_Controls::cleanup()
{
    m_presenter.reset();
}

void tst_Controls::companyMaskTakesTwoDigits()
{
    TMaskEdit edit;
    edit.setEditMask(QStringLiteral("99;0; "));
    edit.setMaxLength(2);
    QTest::keyClicks(&edit, QStringLiteral("a1-b"));
    QCOMPARE(edit.Text(), QStringLiteral("1"));
    QTest::keyClicks(&edit, QStringLiteral("234"));
    QCOMPARE(edit.Text(), QStringLiteral("12"));
    // Even without maxLength the mask has two places.
    TMaskEdit unlimited;
    unlimited.setEditMask(QStringLiteral("99;0; "));
    QTest::keyClicks(&unlimited, QStringLiteral("98765"));
    QCOMPARE(unlimited.Text(), QStringLiteral("98"));
}

void tst_Controls::branchMaskUpperCasesFourLettersOrDigits()
{
    TMaskEdit edit;
    edit.setEditMask(QStringLiteral(">aaaa;0; "));
    edit.setMaxLength(4);
    QTest::keyClicks(&edit, QStringLiteral("a-b 1/c"));
    QCOMPARE(edit.Text(), QStringLiteral("AB1C"));
    QTest::keyClicks(&edit, QStringLiteral("d"));
    QCOMPARE(edit.Text(), QStringLiteral("AB1C"));
    QTest::keyClick(&edit, Qt::Key_Backspace);
    typeText(&edit, QStringLiteral("ç"));
    QCOMPARE(edit.Text(), QStringLiteral("AB1Ç"));
}

void tst_Controls::noMaskTakesAnythingUpToMaxLength()
{
    TMaskEdit edit;
    edit.setEditMask(QString());
    edit.setMaxLength(16);
    QTest::keyClicks(&edit, QStringLiteral("ab.-/ 12 XYZ!@#$%^&*"));
    QCOMPARE(edit.Text(), QStringLiteral("ab.-/ 12 XYZ!@#$"));
}

void tst_Controls::maskAppliesToPasteNotToProgramWrites()
{
    TMaskEdit branch;
    branch.setEditMask(QStringLiteral(">aaaa;0; "));
    branch.setMaxLength(4);
    branch.setText(QStringLiteral("ab-"));
    QCOMPARE(branch.Text(), QStringLiteral("ab-")); // stored as given
    branch.clear();

    QApplication::clipboard()->setText(QStringLiteral("x9"));
    QTest::keySequence(&branch, QKeySequence::Paste);
    QCOMPARE(branch.Text(), QStringLiteral("X9"));

    TMaskEdit company;
    company.setEditMask(QStringLiteral("99;0; "));
    company.setMaxLength(2);
    QApplication::clipboard()->setText(QStringLiteral("1a"));
    QTest::keySequence(&company, QKeySequence::Paste);
    QCOMPARE(company.Text(), QString());
    QApplication::clipboard()->setText(QStringLiteral("07"));
    QTest::keySequence(&company, QKeySequence::Paste);
    QCOMPARE(company.Text(), QStringLiteral("07"));
}

void tst_Controls::handlersWriteAsTheProgram()
{
    Window w;
    auto* edit = w.add(new TMaskEdit);
    auto* other = w.add(new QLineEdit);
    QVERIFY(w.show());
    edit->setEditMask(QStringLiteral(">aaaa;0; "));
    edit->setMaxLength(4);
    // An exit check writes a text that typing would turn to upper case; it is stored
    // as given.
    edit->OnExit = [&](QObject*) { edit->setText(QStringLiteral("ab")); };
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("x"));
    QCOMPARE(edit->Text(), QStringLiteral("X"));
    QTest::keyClick(edit, Qt::Key_Tab);
    QVERIFY(other->hasFocus());
    QCOMPARE(edit->Text(), QStringLiteral("ab"));
    // So does a change handler that runs inside a key press.
    edit->OnExit = nullptr;
    edit->clear();
    edit->OnChange = [&](QObject*) {
        if (edit->Text() == u"Q")
            edit->setText(QStringLiteral("qq"));
    };
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("q"));
    QCOMPARE(edit->Text(), QStringLiteral("qq"));
}

void tst_Controls::editMaskPropertyAndUnknownLetters()
{
    TMaskEdit edit;
    QVERIFY(edit.setProperty("EditMask", QStringLiteral("99;0; ")));
    QCOMPARE(edit.EditMask(), QStringLiteral("99;0; "));
    QCOMPARE(edit.property("EditMask").toString(), QStringLiteral("99;0; "));
    QVERIFY(edit.validator() != nullptr);
    edit.setEditMask(QString());
    QVERIFY(edit.validator() == nullptr);
    // 'L' letters only, '<' lower case.
    edit.setEditMask(QStringLiteral("<LL;0; "));
    QTest::keyClicks(&edit, QStringLiteral("A1bC"));
    QCOMPARE(edit.Text(), QStringLiteral("ab"));
}

void tst_Controls::onChangeOnTypedAndProgramChangesNotOnSameText()
{
    TMaskEdit edit;
    edit.setEditMask(QStringLiteral("99;0; "));
    edit.setMaxLength(2);
    QStringList seen;
    edit.OnChange = [&](QObject* sender) {
        QCOMPARE(sender, &edit);
        seen << edit.Text();
    };
    QTest::keyClicks(&edit, QStringLiteral("1"));
    QCOMPARE(seen, QStringList{QStringLiteral("1")});
    QTest::keyClicks(&edit, QStringLiteral("x")); // refused: no change
    QCOMPARE(seen.size(), 1);
    edit.setText(QStringLiteral("01"));
    QCOMPARE(seen.size(), 2);
    edit.setText(QStringLiteral("01")); // the same text
    QCOMPARE(seen.size(), 2);
    edit.clear();
    QCOMPARE(seen.last(), QString());
    QCOMPARE(seen.size(), 3);
    edit.clear();
    QCOMPARE(seen.size(), 3);
    QTest::keyClicks(&edit, QStringLiteral("12"));
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(seen, (QStringList{QStringLiteral("1"), QStringLiteral("01"), QString(),
                                QStringLiteral("1"), QStringLiteral("12"), QStringLiteral("1")}));
}

void tst_Controls::onChangeHandlerMayAbort()
{
    TMaskEdit edit;
    edit.OnChange = [](QObject*) { MensErro(QStringLiteral("Parou."), true); };
    edit.setText(QStringLiteral("abc")); // the guard swallows the abort
    QCOMPARE(edit.Text(), QStringLiteral("abc"));
    QCOMPARE(m_presenter->errors, QStringList{QStringLiteral("Parou.")});
}

void tst_Controls::onExitWhenFocusMovesToAnotherWidget()
{
    Window w;
    auto* edit = w.add(new TMaskEdit);
    auto* other = w.add(new QLineEdit);
    QVERIFY(w.show());
    int exits = 0;
    edit->OnExit = [&](QObject* sender) {
        QCOMPARE(sender, edit);
        ++exits;
    };
    edit->setFocus();
    QVERIFY(edit->hasFocus());
    QCOMPARE(exits, 0);
    other->setFocus();
    QCOMPARE(exits, 1);
    other->setFocus(); // already there
    QCOMPARE(exits, 1);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Tab);
    QVERIFY(other->hasFocus());
    QCOMPARE(exits, 2);

    // An exit handler may end with MensErro: the guard takes the abort.
    edit->OnExit = [&](QObject*) {
        ++exits;
        MensErro(QStringLiteral("Saída recusada."), true);
    };
    edit->setFocus();
    other->setFocus();
    QCOMPARE(exits, 3);
    QCOMPARE(m_presenter->lastError(), QStringLiteral("Saída recusada."));
}

void tst_Controls::noExitWhenNoFocusButtonIsClicked()
{
    Window w;
    auto* edit = w.add(new TMaskEdit);
    auto* button = w.add(new TBtnPesquisa);
    auto* date = w.add(new TDateEditPlus);
    QVERIFY(w.show());
    int exits = 0;
    int clicks = 0;
    edit->OnExit = [&](QObject*) { ++exits; };
    button->OnClick = [&](QObject*) { ++clicks; };
    QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    QCOMPARE(date->button()->focusPolicy(), Qt::NoFocus);
    edit->setFocus();
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicks, 1);
    QVERIFY(edit->hasFocus());
    QCOMPARE(exits, 0);
}

void tst_Controls::noExitOnWindowDeactivationOrPopup()
{
    Window w;
    auto* edit = w.add(new TMaskEdit);
    auto* other = w.add(new QLineEdit);
    QVERIFY(w.show());
    int exits = 0;
    edit->OnExit = [&](QObject*) { ++exits; };
    edit->setFocus();
    QFocusEvent deactivated(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(edit, &deactivated);
    QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(edit, &popup);
    QCOMPARE(exits, 0);
    // Still the edit's focus: leaving it now is an exit.
    other->setFocus();
    QCOMPARE(exits, 1);
    // Focus going nowhere (the window closes) is no exit.
    edit->setFocus();
    edit->clearFocus();
    QCOMPARE(exits, 1);
}

void tst_Controls::exitCheckTakingFocusBackRunsNoOtherExit()
{
    Window w;
    auto* first = w.add(new TMaskEdit);
    auto* second = w.add(new TMaskEdit);
    QVERIFY(w.show());
    int firstExits = 0;
    int secondExits = 0;
    first->OnExit = [&](QObject*) {
        ++firstExits;
        first->setFocus(); // the check puts the focus back on the field at fault
        MensErro(QStringLiteral("Empresa não cadastrada."), true);
    };
    second->OnExit = [&](QObject*) {
        ++secondExits;
        second->setFocus();
        MensErro(QStringLiteral("Filial não cadastrada."), true);
    };
    first->setFocus();
    QTest::keyClick(first, Qt::Key_Tab);
    QVERIFY(first->hasFocus());
    QCOMPARE(firstExits, 1);
    QCOMPARE(secondExits, 0);
    QCOMPARE(m_presenter->errors, QStringList{QStringLiteral("Empresa não cadastrada.")});
}

void tst_Controls::noExitWhenGoingToAnotherMdiChild()
{
    QMainWindow main;
    auto* area = new QMdiArea;
    main.setCentralWidget(area);
    auto* form = new QWidget;
    auto* formLayout = new QVBoxLayout(form);
    auto* edit = new TMaskEdit;
    auto* sameForm = new QLineEdit;
    formLayout->addWidget(edit);
    formLayout->addWidget(sameForm);
    auto* otherForm = new QLineEdit;
    area->addSubWindow(form)->show();
    area->addSubWindow(otherForm)->show();
    main.show();
    QApplication::setActiveWindow(&main);
    QVERIFY(QTest::qWaitForWindowActive(&main));
    int exits = 0;
    edit->OnExit = [&](QObject*) { ++exits; };
    area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(form->parentWidget()));
    edit->setFocus();
    QVERIFY(edit->hasFocus());
    // A click into the other child moves the focus there directly.
    QTest::mouseClick(otherForm, Qt::LeftButton);
    QVERIFY(otherForm->hasFocus());
    QCOMPARE(exits, 0);
    // Activating the other child first clears the focus: no exit either.
    area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(form->parentWidget()));
    edit->setFocus();
    area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(otherForm->parentWidget()));
    otherForm->setFocus();
    QCOMPARE(exits, 0);
    // Back on the form, leaving the edit inside it is an exit.
    area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(form->parentWidget()));
    edit->setFocus();
    sameForm->setFocus();
    QCOMPARE(exits, 1);
}

void tst_Controls::dateTextEmptyUntilADigit()
{
    TDateEditPlus date;
    QCOMPARE(date.Text(), QString());
    QVERIFY(EmptyString(date.Text()));
    QTest::keyClicks(date.editor(), QStringLiteral("/ab-"));
    QCOMPARE(date.Text(), QString());
    QTest::keyClicks(date.editor(), QStringLiteral("3"));
    QCOMPARE(date.Text(), QStringLiteral("3"));
    date.Clear();
    QCOMPARE(date.Text(), QString());
}

void tst_Controls::dateTypingPlacesSlashes()
{
    TDateEditPlus date;
    QTest::keyClicks(date.editor(), QStringLiteral("010"));
    QCOMPARE(date.Text(), QStringLiteral("01/0"));
    QTest::keyClicks(date.editor(), QStringLiteral("12026"));
    QCOMPARE(date.Text(), QStringLiteral("01/01/2026"));
    QTest::keyClicks(date.editor(), QStringLiteral("7"));
    QCOMPARE(date.Text(), QStringLiteral("01/01/2026"));
    QCOMPARE(date.GetDate(), QDateTime(QDate(2026, 1, 1), QTime(0, 0)));
    // A slash typed where it belongs is taken.
    date.Clear();
    QTest::keyClicks(date.editor(), QStringLiteral("15/03/2026"));
    QCOMPARE(date.Text(), QStringLiteral("15/03/2026"));
    // Slashes where none belongs are ignored.
    date.Clear();
    QTest::keyClicks(date.editor(), QStringLiteral("/15//03//2026/"));
    QCOMPARE(date.Text(), QStringLiteral("15/03/2026"));
    // A slash typed in front of the one shown steps over it.
    date.Clear();
    QTest::keyClicks(date.editor(), QStringLiteral("150"));
    date.editor()->setCursorPosition(2);
    QTest::keyClicks(date.editor(), QStringLiteral("/"));
    QCOMPARE(date.editor()->cursorPosition(), 3);
    QCOMPARE(date.Text(), QStringLiteral("15/0"));
}

void tst_Controls::dateSlashPadsAndBackspaceWorks()
{
    TDateEditPlus date;
    QTest::keyClicks(date.editor(), QStringLiteral("1/2/2026"));
    QCOMPARE(date.Text(), QStringLiteral("01/02/2026"));
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(date.editor(), Qt::Key_Backspace);
    QCOMPARE(date.Text(), QStringLiteral("01/02"));
    QTest::keyClick(date.editor(), Qt::Key_Backspace);
    QTest::keyClick(date.editor(), Qt::Key_Backspace);
    QCOMPARE(date.Text(), QStringLiteral("01/"));
    QTest::keyClick(date.editor(), Qt::Key_Backspace);
    QCOMPARE(date.Text(), QStringLiteral("01"));
    // Backspace just after an inner slash takes the digit before it.
    date.setText(QStringLiteral("01/02/2026"));
    date.editor()->setCursorPosition(3);
    QTest::keyClick(date.editor(), Qt::Key_Backspace);
    QCOMPARE(date.Text(), QStringLiteral("0/02/2026"));
    QCOMPARE(date.editor()->cursorPosition(), 1);
    QTest::keyClicks(date.editor(), QStringLiteral("5"));
    QCOMPARE(date.Text(), QStringLiteral("05/02/2026"));
    // Delete just before an inner slash takes the digit after it.
    date.editor()->setCursorPosition(5);
    QTest::keyClick(date.editor(), Qt::Key_Delete);
    QCOMPARE(date.Text(), QStringLiteral("05/02/026"));
    QTest::keyClicks(date.editor(), QStringLiteral("2"));
    QCOMPARE(date.Text(), QStringLiteral("05/02/2026"));
    date.setText(QStringLiteral("01"));
    date.editor()->end(false);
    QTest::keyClick(date.editor(), Qt::Key_Backspace);
    QTest::keyClick(date.editor(), Qt::Key_Backspace);
    QCOMPARE(date.Text(), QString());
}

void tst_Controls::dateProgramWrites()
{
    TDateEditPlus date;
    date.setText(QStringLiteral("5/3/2026"));
    QCOMPARE(date.Text(), QStringLiteral("05/03/2026"));
    date.setDate(QDate(2024, 2, 29));
    QCOMPARE(date.Text(), QStringLiteral("29/02/2024"));
    date.setText(QStringLiteral("31/02/2026"));
    QCOMPARE(date.Text(), QStringLiteral("31/02/2026"));
    QVERIFY(!date.isValidDate());
    date.setText(QStringLiteral("010124"));
    QCOMPARE(date.Text(), QStringLiteral("01/01/2024"));
    date.setText(QString());
    QCOMPARE(date.Text(), QString());
}

void tst_Controls::checkValidDatePassesValidAndEmpty()
{
    TDateEditPlus date;
    date.CheckValidDate(); // empty passes
    date.setText(QStringLiteral("29/02/2024"));
    date.CheckValidDate();
    QVERIFY(m_presenter->errors.isEmpty());
}

void tst_Controls::checkValidDate_data()
{
    // Typed keys, the text once the focus left, and the date or (empty date) the message.
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QDate>("date");
    QTest::newRow("ddmmyy") << "010124"
                            << "01/01/2024" << QDate(2024, 1, 1);
    QTest::newRow("dd/mm/yy") << "01/01/24"
                              << "01/01/2024" << QDate(2024, 1, 1);
    QTest::newRow("d/m/yyyy") << "1/1/2024"
                              << "01/01/2024" << QDate(2024, 1, 1);
    QTest::newRow("ddmmyyyy") << "01012024"
                              << "01/01/2024" << QDate(2024, 1, 1);
    QTest::newRow("d/m/yy") << "5/3/99"
                            << "05/03/1999" << QDate(1999, 3, 5);
    QTest::newRow("yy 00") << "311200"
                           << "31/12/2000" << QDate(2000, 12, 31);
    QTest::newRow("29 February, leap") << "290224"
                                       << "29/02/2024" << QDate(2024, 2, 29);
    QTest::newRow("31 February") << "31022026"
                                 << "31/02/2026" << QDate();
    QTest::newRow("31 February, yy") << "310224"
                                     << "31/02/24" << QDate();
    QTest::newRow("month 13") << "12132026"
                              << "12/13/2026" << QDate();
    QTest::newRow("partial") << "120"
                             << "12/0" << QDate();
    QTest::newRow("three-digit year") << "0101202"
                                      << "01/01/202" << QDate();
    QTest::newRow("29 February, no leap year") << "29022025"
                                               << "29/02/2025" << QDate();
    QTest::newRow("day zero") << "00012026"
                              << "00/01/2026" << QDate();
    QTest::newRow("year zero") << "01010000"
                               << "01/01/0000" << QDate();
}

void tst_Controls::checkValidDate()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QDate, date);
    Window w;
    auto* edit = w.add(new TDateEditPlus);
    auto* other = w.add(new QLineEdit);
    edit->setFieldName(QStringLiteral("Data Inicial"));
    QVERIFY(w.show());
    edit->setFocus();
    QTest::keyClicks(edit->editor(), typed);
    other->setFocus();
    QCOMPARE(edit->Text(), shown);
    QCOMPARE(edit->GetDate().date(), date);
    if (date.isValid()) {
        edit->CheckValidDate();
        QVERIFY(m_presenter->errors.isEmpty());
        return;
    }
    QVERIFY_THROWS_EXCEPTION(EAbort, edit->CheckValidDate());
    QCOMPARE(m_presenter->errors,
             QStringList{QStringLiteral("Data Inicial: '%1' não é uma data válida.").arg(shown)});
    QVERIFY(edit->editor()->hasFocus());
}

void tst_Controls::twoDigitYearWindow_data()
{
    QTest::addColumn<int>("typed");
    QTest::addColumn<int>("thisYear");
    QTest::addColumn<int>("year");
    QTest::newRow("2026: 45 ahead") << 45 << 2026 << 2045;
    QTest::newRow("2026: 46 behind") << 46 << 2026 << 1946;
    QTest::newRow("2026: 00") << 0 << 2026 << 2000;
    QTest::newRow("2090: 09 ahead") << 9 << 2090 << 2109;
    QTest::newRow("2090: 10 behind") << 10 << 2090 << 2010;
}

void tst_Controls::twoDigitYearWindow()
{
    QFETCH(int, typed);
    QFETCH(int, thisYear);
    QFETCH(int, year);
    QCOMPARE(TDateEditPlus::expandYear(typed, thisYear), year);
    const QString text = QStringLiteral("0101") + QString::number(typed).rightJustified(2, u'0');
    QCOMPARE(TDateEditPlus::parseDate(text, QDate(thisYear, 6, 1)), QDate(year, 1, 1));
}

void tst_Controls::getDateAtMidnightUnlessSaveTime()
{
    TDateEditPlus date;
    QVERIFY(!date.SaveTime());
    QVERIFY(date.GetDate().isNull());
    date.setDateTime(QDateTime(QDate(2026, 3, 15), QTime(10, 30)));
    QCOMPARE(date.GetDate(), QDateTime(QDate(2026, 3, 15), QTime(0, 0)));
    date.setSaveTime(true);
    QCOMPARE(date.GetDate(), QDateTime(QDate(2026, 3, 15), QTime(10, 30)));
    QVERIFY(date.setProperty("SaveTime", false));
    QCOMPARE(date.GetDate().time(), QTime(0, 0));
}

void tst_Controls::dateColourAndWeekday()
{
    TDateEditPlus date;
    QVERIFY(date.setProperty("ValidDateColor", QColor(Qt::blue)));
    const QStringList names{"Domingo", "Segunda", "Terça", "Quarta", "Quinta", "Sexta", "Sábado"};
    QVERIFY(date.setProperty("NomeSemana", names));
    QCOMPARE(date.NomeSemana(), names);
    const QColor normal = date.editor()->palette().color(QPalette::Text);
    date.setText(QStringLiteral("01/01/2026")); // a Thursday
    QCOMPARE(date.editor()->palette().color(QPalette::Text), QColor(Qt::blue));
    QCOMPARE(date.weekDayName(), QStringLiteral("Quinta"));
    QCOMPARE(date.editor()->toolTip(), QStringLiteral("Quinta"));
    date.setText(QStringLiteral("04/01/2026"));
    QCOMPARE(date.weekDayName(), QStringLiteral("Domingo"));
    date.setText(QStringLiteral("31/02/2026"));
    QCOMPARE(date.editor()->palette().color(QPalette::Text), normal);
    QCOMPARE(date.weekDayName(), QString());
}

void tst_Controls::dateColourShowsUnderTheFormsStyleSheet()
{
    // The form colours the editors' background with a style sheet; the valid-date
    // colour must still reach the text as drawn.
    Window w;
    w.widget.setStyleSheet(
        QStringLiteral("TDateEditPlus QLineEdit { background-color: #ffffe1; }"));
    auto* date = w.add(new TDateEditPlus);
    date->setValidDateColor(Qt::blue);
    QVERIFY(w.show());
    auto bluePixels = [&] {
        const QImage image = date->editor()->grab().toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.blue() > 150 && c.red() < 100 && c.green() < 100)
                    ++count;
            }
        return count;
    };
    date->setText(QStringLiteral("31/02/2026"));
    QCOMPARE(bluePixels(), 0);
    date->setText(QStringLiteral("28/02/2026"));
    QVERIFY(bluePixels() > 10);
    date->setText(QStringLiteral("30/02/2026"));
    QCOMPARE(bluePixels(), 0);
}

void tst_Controls::dateEvents()
{
    Window w;
    auto* date = w.add(new TDateEditPlus);
    auto* other = w.add(new QLineEdit);
    QVERIFY(w.show());
    int changes = 0;
    int exits = 0;
    date->OnChange = [&](QObject* sender) {
        QCOMPARE(sender, date);
        ++changes;
    };
    date->OnExit = [&](QObject* sender) {
        QCOMPARE(sender, date);
        ++exits;
    };
    date->setFocus();
    QVERIFY(date->editor()->hasFocus());
    QTest::keyClicks(date->editor(), QStringLiteral("0101"));
    QCOMPARE(changes, 4);
    date->setText(QStringLiteral("01/01"));
    QCOMPARE(changes, 4);
    date->setText(QStringLiteral("02/01/2026"));
    QCOMPARE(changes, 5);
    // The own calendar button takes no focus: no exit.
    QTest::mouseClick(date->button(), Qt::LeftButton);
    QVERIFY(date->calendar() != nullptr);
    QCOMPARE(exits, 0);
    QTest::keyClick(date->calendar(), Qt::Key_Escape);
    QTRY_VERIFY(date->calendar() == nullptr);
    QCOMPARE(exits, 0);
    date->setFocus();
    other->setFocus();
    QCOMPARE(exits, 1);
    // The exit check of a date edit is CheckValidDate.
    date->OnExit = [&](QObject*) {
        ++exits;
        date->CheckValidDate();
    };
    date->setFocus();
    date->setText(QStringLiteral("31/02/2026"));
    other->setFocus();
    QCOMPARE(exits, 2);
    QVERIFY(date->editor()->hasFocus());
    QCOMPARE(m_presenter->lastError(), QStringLiteral("'31/02/2026' não é uma data válida."));
}

void tst_Controls::dateCalendarPickWritesDateWithoutExit()
{
    Window w;
    auto* date = w.add(new TDateEditPlus);
    auto* other = w.add(new QLineEdit);
    QVERIFY(w.show());
    int exits = 0;
    int changes = 0;
    date->OnExit = [&](QObject*) { ++exits; };
    date->OnChange = [&](QObject*) { ++changes; };
    date->setText(QStringLiteral("10/03/2026"));
    date->setFocus();
    date->showCalendar();
    QCalendarWidget* calendar = date->calendar();
    QVERIFY(calendar);
    QCOMPARE(calendar->selectedDate(), QDate(2026, 3, 10));
    calendar->setSelectedDate(QDate(2026, 3, 20));
    Q_EMIT calendar->clicked(QDate(2026, 3, 20));
    QTRY_VERIFY(date->calendar() == nullptr);
    QCOMPARE(date->Text(), QStringLiteral("20/03/2026"));
    QCOMPARE(date->GetDate(), QDateTime(QDate(2026, 3, 20), QTime(0, 0)));
    QCOMPARE(changes, 2);
    QCOMPARE(exits, 0);
    QTRY_VERIFY(date->editor()->hasFocus());
    other->setFocus();
    QCOMPARE(exits, 1);
}

// A button paints its image scaled through QPixmapCache, keyed by the source pixmap: the
// buttons of every form opened must share it, or the cache keeps one per closed form.
void tst_Controls::buttonsOfTwoFormsPaintOneCachedImage()
{
    const QSize painted(20, 20); // not one of the drawn sizes, so it is scaled and cached
    TBtnPesquisa first, second;
    TDateEditPlus firstDate, secondDate;
    QCOMPARE(second.icon().pixmap(painted).cacheKey(), first.icon().pixmap(painted).cacheKey());
    QCOMPARE(secondDate.ButtonBitmap().pixmap(painted).cacheKey(),
             firstDate.ButtonBitmap().pixmap(painted).cacheKey());
}

QTEST_MAIN(tst_Controls)
#include "tst_controls.moc"
