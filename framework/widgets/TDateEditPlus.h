#pragma once

#include "FisWidgetsExport.h"
#include "TEvents.h"

#include <QColor>
#include <QDate>
#include <QDateTime>
#include <QIcon>
#include <QPointer>
#include <QStringList>
#include <QTime>
#include <QWidget>

class QCalendarWidget;
class QLineEdit;
class QToolButton;

// A date edit: a line edit for dd/mm/aaaa and a calendar button beside it.
//
// Typing takes digits and slashes only and places the slashes itself: "01012026"
// shows as "01/01/2026". A slash typed after one digit of the day or month pads it
// with a zero ("1/1/2026" shows as "01/01/2026"). Deleting a digit inside the day,
// month or year leaves the other parts in place; Backspace just after (Delete just
// before) an inner slash deletes the digit beyond the slash. Alt+Down or F4 opens
// the calendar. The calendar button takes no focus; it opens a calendar whose
// picked day (click, or Enter) is written as the text.
//
// Text written by the program: setText lays out "d/m/yyyy" as "dd/mm/yyyy";
// anything else is stored as given.
//
// While the text is a valid date it shows in ValidDateColor, and the weekday from
// NomeSemana (Sunday first) is the tooltip of the edit, e.g. "Quinta".
//
// Events, each run inside TEventGuard::run, with the semantics of TMaskEdit:
// - OnChange: every change of the text, typed, picked or written by the program.
// - OnExit: the focus leaves the date edit for another widget of its form; going to
//   its own button or calendar, deactivating the window, going to another form or
//   focus going nowhere is no exit. Picking a day in the calendar puts the focus on
//   the date edit.
class FIS_WIDGETS_EXPORT TDateEditPlus : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor ValidDateColor READ ValidDateColor WRITE setValidDateColor)
    Q_PROPERTY(QStringList NomeSemana READ NomeSemana WRITE setNomeSemana)
    Q_PROPERTY(bool SaveTime READ SaveTime WRITE setSaveTime)
    Q_PROPERTY(QIcon ButtonBitmap READ ButtonBitmap WRITE setButtonBitmap)

public:
    explicit TDateEditPlus(QWidget* parent = nullptr);
    ~TDateEditPlus() override;

    // Invalid colour (the default): the ordinary text colour.
    QColor ValidDateColor() const { return m_validDateColor; }
    void setValidDateColor(const QColor& color);
    // Seven names, Sunday first; the default is "Domingo" .. "Sábado".
    QStringList NomeSemana() const { return m_nomeSemana; }
    void setNomeSemana(const QStringList& names);
    // False (the default): GetDate gives the date at 00:00. True: GetDate gives the
    // date at the time of day last written with setDateTime (00:00 for a date typed
    // or picked).
    bool SaveTime() const { return m_saveTime; }
    void setSaveTime(bool save) { m_saveTime = save; }
    // The calendar button's image; the default is a drawn calendar.
    QIcon ButtonBitmap() const;
    void setButtonBitmap(const QIcon& icon);

    // Empty when no digit was entered; otherwise the text as shown.
    QString Text() const;
    void setText(const QString& text);
    void Clear();

    // The date at 00:00 (see SaveTime); a null QDateTime when the text is empty or
    // no valid date.
    QDateTime GetDate() const;
    void setDate(const QDate& date);
    void setDateTime(const QDateTime& dateTime);
    // True when the text is a valid date (an empty text is none).
    bool isValidDate() const;
    // The weekday name of a valid date from NomeSemana; empty otherwise.
    QString weekDayName() const;

    // An empty text passes. Otherwise, when the text is no valid date, moves the
    // focus to the edit and calls MensErro("'<text>' não é uma data válida.", true),
    // which does not return.
    void CheckValidDate();

    TNotifyEvent OnExit;
    TNotifyEvent OnChange;

    // The parts, for layout and tests.
    QLineEdit* editor() const { return m_edit; }
    QToolButton* button() const { return m_button; }
    // The calendar, while it is open; nullptr otherwise.
    QCalendarWidget* calendar() const;
    void showCalendar();

    // Parses d/m/yyyy (one or two digits for the day and the month, four for the
    // year); a null QDate otherwise.
    static QDate parseDate(const QString& text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void textWasChanged(const QString& text);
    void updateLook();
    void pick(const QDate& date);

    QLineEdit* m_edit;
    QToolButton* m_button;
    QPointer<QWidget> m_popup;
    QCalendarWidget* m_calendar = nullptr;
    QColor m_validDateColor;
    QStringList m_nomeSemana;
    bool m_saveTime = false;
    QTime m_time = QTime(0, 0);
    QString m_lastText;
    bool m_focused = false;
};
