#include "TDateEditPlus.h"

#include "Helpers.h"
#include "TControlEvents.h"
#include "TControlFocus_p.h"
#include "TDrawnIcons.h"
#include "TEventGuard.h"
#include "TUserAction.h"

#include <QCalendarWidget>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValidator>

namespace {

const TControlEvents::Registration
    events(TDateEditPlus::staticMetaObject,
           {{QStringLiteral("OnChange"), TControlEvents::member(&TDateEditPlus::OnChange)},
            {QStringLiteral("OnExit"), TControlEvents::member(&TDateEditPlus::OnExit)}});

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Lays the digits out as dd/mm/yyyy while they are typed. Only digits and slashes
// are taken, at most eight digits. A text whose slashes part it into a day, a month
// and a year no longer than 2, 2 and 4 digits stays as it is (so deleting a digit
// inside a part shifts nothing else); otherwise the digits are laid out again with
// the slashes after the second and the fourth digit when more digits follow (so
// "010" shows as "01/0"). A slash typed after a whole day or month stays.
class DateLayoutValidator : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override
    {
        static const int limits[3] = {2, 2, 4};
        QString digits;
        int digitsBeforeCursor = 0;
        for (qsizetype i = 0; i < input.size(); ++i) {
            const QChar c = input.at(i);
            if (isDigit(c)) {
                digits += c;
                if (i < pos)
                    ++digitsBeforeCursor;
            } else if (c != u'/') {
                return Invalid;
            }
        }
        if (digits.size() > 8)
            return Invalid;
        const QStringList parts = input.split(u'/');
        if (parts.size() > 3)
            return Invalid;
        bool structured = true;
        for (qsizetype i = 0; i < parts.size(); ++i)
            if (parts.at(i).size() > limits[i])
                structured = false;
        if (structured)
            return Acceptable;

        QString out;
        int cursor = -1;
        for (qsizetype i = 0; i < digits.size(); ++i) {
            if (i == digitsBeforeCursor)
                cursor = int(out.size());
            if (i == 2 || i == 4)
                out += u'/';
            out += digits.at(i);
        }
        if (input.endsWith(u'/') && (digits.size() == 2 || digits.size() == 4))
            out += u'/';
        if (cursor < 0)
            cursor = int(out.size());
        input = out;
        pos = cursor;
        return Acceptable;
    }
};

const QStringList defaultWeekDays = {QStringLiteral("Domingo"), QStringLiteral("Segunda"),
                                     QStringLiteral("Terça"),   QStringLiteral("Quarta"),
                                     QStringLiteral("Quinta"),  QStringLiteral("Sexta"),
                                     QStringLiteral("Sábado")};

} // namespace

TDateEditPlus::TDateEditPlus(QWidget* parent)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_button(new QToolButton(this)),
      m_nomeSemana(defaultWeekDays)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_button);

    m_edit->setObjectName(QStringLiteral("editor"));
    m_edit->setValidator(new DateLayoutValidator(m_edit));
    m_edit->setMaxLength(10);
    m_edit->setPlaceholderText(QStringLiteral("dd/mm/aaaa"));
    m_edit->installEventFilter(this);

    m_button->setObjectName(QStringLiteral("button"));
    m_button->setFocusPolicy(Qt::NoFocus);
    m_button->setIcon(TDrawnIcons::calendar());
    m_button->setToolTip(QStringLiteral("Calendário"));
    m_button->setCursor(Qt::ArrowCursor);
    connect(m_button, &QToolButton::clicked, this, &TDateEditPlus::showCalendar);

    setFocusProxy(m_edit);
    setFocusPolicy(m_edit->focusPolicy());
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(m_edit, &QLineEdit::textChanged, this, &TDateEditPlus::textWasChanged);
    updateLook();
}

TDateEditPlus::~TDateEditPlus()
{
    delete m_popup;
}

void TDateEditPlus::setValidDateColor(const QColor& color)
{
    m_validDateColor = color;
    updateLook();
}

void TDateEditPlus::setNomeSemana(const QStringList& names)
{
    m_nomeSemana = names;
    updateLook();
}

QIcon TDateEditPlus::ButtonBitmap() const
{
    return m_button->icon();
}

void TDateEditPlus::setButtonBitmap(const QIcon& icon)
{
    m_button->setIcon(icon.isNull() ? TDrawnIcons::calendar() : icon);
}

QString TDateEditPlus::Text() const
{
    const QString text = m_edit->text();
    for (const QChar c : text)
        if (c.isDigit())
            return text;
    return {};
}

void TDateEditPlus::setText(const QString& text)
{
    // A date in any form a clerk types is laid out as dd/mm/aaaa; anything else goes
    // to the editor as given.
    const QDate date = parseDate(text);
    m_edit->setText(date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : text);
}

void TDateEditPlus::Clear()
{
    m_edit->clear();
}

int TDateEditPlus::expandYear(int twoDigits, int currentYear)
{
    // The window reaches 80 years back and 19 ahead: birth dates and due dates both fit.
    const int century = (currentYear - 80) / 100 * 100;
    int year = century + twoDigits;
    if (year < currentYear - 80)
        year += 100;
    return year;
}

QDate TDateEditPlus::parseDate(const QString& text, const QDate& today)
{
    static const QRegularExpression separated(
        QStringLiteral("^(\\d{1,2})[/.-](\\d{1,2})[/.-](\\d{2}|\\d{4})$"));
    static const QRegularExpression plain(QStringLiteral("^(\\d{2})(\\d{2})(\\d{2}|\\d{4})$"));
    QRegularExpressionMatch m = separated.match(text);
    if (!m.hasMatch())
        m = plain.match(text);
    if (!m.hasMatch())
        return {};
    int year = m.captured(3).toInt();
    if (m.capturedLength(3) == 2)
        year = expandYear(year, (today.isValid() ? today : QDate::currentDate()).year());
    if (year < 1)
        return {};
    return QDate(year, m.captured(2).toInt(), m.captured(1).toInt());
}

bool TDateEditPlus::isValidDate() const
{
    return parseDate(m_edit->text()).isValid();
}

QString TDateEditPlus::weekDayName() const
{
    const QDate date = parseDate(m_edit->text());
    if (!date.isValid())
        return {};
    const int index = date.dayOfWeek() % 7; // Sunday first
    return index < m_nomeSemana.size() ? m_nomeSemana.at(index) : QString();
}

QDateTime TDateEditPlus::GetDate() const
{
    const QDate date = parseDate(m_edit->text());
    if (!date.isValid())
        return {};
    return QDateTime(date, m_saveTime ? m_time : QTime(0, 0));
}

void TDateEditPlus::setDate(const QDate& date)
{
    if (!date.isValid()) {
        Clear();
        return;
    }
    setText(date.toString(QStringLiteral("dd/MM/yyyy")));
}

void TDateEditPlus::setDateTime(const QDateTime& dateTime)
{
    setDate(dateTime.date());
    m_time = dateTime.isValid() ? dateTime.time() : QTime(0, 0);
}

void TDateEditPlus::CheckValidDate()
{
    const QString text = Text();
    if (text.isEmpty())
        return;
    if (isValidDate()) {
        layOut();
        return;
    }
    m_edit->setFocus();
    const QString message = QStringLiteral("'%1' não é uma data válida.").arg(text);
    MensErro(m_fieldName.isEmpty() ? message : m_fieldName + QStringLiteral(": ") + message, true);
}

void TDateEditPlus::layOut()
{
    const QDate date = parseDate(m_edit->text());
    const QString shown = date.toString(QStringLiteral("dd/MM/yyyy"));
    if (date.isValid() && m_edit->text() != shown)
        m_edit->setText(shown);
}

void TDateEditPlus::textWasChanged(const QString& text)
{
    m_time = QTime(0, 0);
    updateLook();
    if (text == m_lastText)
        return;
    m_lastText = text;
    if (OnChange)
        TEventGuard::run([this] { OnChange(this); });
}

void TDateEditPlus::updateLook()
{
    const bool valid = isValidDate();
    QPalette pal = m_edit->palette();
    const QColor normal = palette().color(QPalette::Text);
    pal.setColor(QPalette::Text, valid && m_validDateColor.isValid() ? m_validDateColor : normal);
    m_edit->setPalette(pal);
    const QString day = weekDayName();
    m_edit->setToolTip(day);
    setToolTip(day);
}

QCalendarWidget* TDateEditPlus::calendar() const
{
    return m_popup && m_popup->isVisible() ? m_calendar : nullptr;
}

void TDateEditPlus::showCalendar()
{
    if (!m_popup) {
        auto* frame = new QFrame(nullptr, Qt::Popup);
        frame->setFrameStyle(QFrame::Box | QFrame::Plain);
        auto* layout = new QVBoxLayout(frame);
        layout->setContentsMargins(1, 1, 1, 1);
        m_calendar = new QCalendarWidget(frame);
        m_calendar->setLocale(QLocale(QLocale::Portuguese, QLocale::Brazil));
        m_calendar->setFirstDayOfWeek(Qt::Sunday);
        m_calendar->setGridVisible(true);
        m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
        layout->addWidget(m_calendar);
        connect(m_calendar, &QCalendarWidget::clicked, this, &TDateEditPlus::pick);
        connect(m_calendar, &QCalendarWidget::activated, this, &TDateEditPlus::pick);
        m_popup = frame;
    }
    const QDate date = parseDate(m_edit->text());
    m_calendar->setSelectedDate(date.isValid() ? date : QDate::currentDate());
    m_popup->adjustSize();
    QPoint at = mapToGlobal(QPoint(0, height()));
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        const QSize size = m_popup->sizeHint();
        if (at.y() + size.height() > area.bottom())
            at.setY(mapToGlobal(QPoint(0, 0)).y() - size.height());
        at.setX(qBound(area.left(), at.x(), qMax(area.left(), area.right() - size.width())));
    }
    m_popup->move(at);
    m_popup->show();
    m_calendar->setFocus(Qt::PopupFocusReason);
}

void TDateEditPlus::pick(const QDate& date)
{
    if (m_popup)
        m_popup->hide();
    setDate(date);
    m_edit->setFocus(Qt::OtherFocusReason);
}

bool TDateEditPlus::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edit) {
        switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->text() == QLatin1String("/") && !m_edit->hasSelectedText()) {
                // A slash typed where one stands steps over it; one at the start, after
                // another slash or beyond the second is ignored.
                const QString text = m_edit->text();
                const int pos = m_edit->cursorPosition();
                if (pos < text.size() && text.at(pos) == u'/') {
                    m_edit->setCursorPosition(pos + 1);
                    return true;
                }
                if (pos == 0 || text.at(pos - 1) == u'/' || text.count(u'/') >= 2)
                    return true;
            }
            // A slash after one digit of the day or the month pads it with a zero.
            if (key->text() == QLatin1String("/") && !m_edit->hasSelectedText() &&
                m_edit->cursorPosition() == m_edit->text().size()) {
                static const QRegularExpression oneDigit(QStringLiteral("^(\\d\\d/)?(\\d)$"));
                const QRegularExpressionMatch m = oneDigit.match(m_edit->text());
                if (m.hasMatch()) {
                    m_edit->setText(m.captured(1) + u'0' + m.captured(2) + u'/');
                    return true;
                }
            }
            // Deleting next to a slash deletes the digit beyond it (the slash itself
            // would only come back); a trailing slash is deleted as usual.
            if (!m_edit->hasSelectedText() && key->modifiers() == Qt::NoModifier) {
                const QString text = m_edit->text();
                const int pos = m_edit->cursorPosition();
                if (key->key() == Qt::Key_Backspace && pos > 1 && pos < text.size() &&
                    text.at(pos - 1) == u'/')
                    m_edit->setCursorPosition(pos - 1);
                else if (key->key() == Qt::Key_Delete && pos + 1 < text.size() &&
                         text.at(pos) == u'/')
                    m_edit->setCursorPosition(pos + 1);
            }
            if ((key->key() == Qt::Key_Down && key->modifiers() & Qt::AltModifier) ||
                key->key() == Qt::Key_F4) {
                showCalendar();
                return true;
            }
            break;
        }
        case QEvent::FocusIn:
            m_focused = true;
            break;
        case QEvent::FocusOut: {
            auto* focus = static_cast<QFocusEvent*>(event);
            if (focus->reason() == Qt::ActiveWindowFocusReason ||
                focus->reason() == Qt::PopupFocusReason)
                break;
            const bool wasFocused = m_focused;
            m_focused = false;
            layOut();
            const QWidget* next = QApplication::focusWidget();
            if (wasFocused && TControlFocus::isExit(focus, this) &&
                !(m_popup && (next == m_popup || m_popup->isAncestorOf(next))) && OnExit &&
                !TEventGuard::run([this] { OnExit(this); }))
                TUserAction::exitRefused();
            break;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TDateEditPlus::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::EnabledChange)
        updateLook();
}

QSize TDateEditPlus::sizeHint() const
{
    const QFontMetrics fm(m_edit->font());
    const int editWidth = fm.horizontalAdvance(QStringLiteral("00/00/00000")) + 12;
    const QSize edit = m_edit->sizeHint();
    const QSize button = m_button->sizeHint();
    return {editWidth + 1 + button.width(), qMax(edit.height(), button.height())};
}

QSize TDateEditPlus::minimumSizeHint() const
{
    return sizeHint();
}
