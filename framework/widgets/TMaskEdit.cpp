#include "TMaskEdit.h"

#include "Helpers.h"
#include "TControlEvents.h"
#include "TControlFocus_p.h"
#include "TEventGuard.h"
#include "TUserAction.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>
#include <QValidator>

namespace {

const TControlEvents::Registration
    events(TMaskEdit::staticMetaObject,
           {{QStringLiteral("OnChange"), TControlEvents::member(&TMaskEdit::OnChange)},
            {QStringLiteral("OnExit"), TControlEvents::member(&TMaskEdit::OnExit)}});

// One slot of a mask: what it takes and how it changes the letter case.
struct MaskSlot
{
    enum Kind
    {
        Digit,
        Alnum,
        Letter,
        Any
    } kind = Any;
    bool required = false;
    enum Case
    {
        Keep,
        Upper,
        Lower
    } letterCase = Keep;
};

QList<MaskSlot> parseMask(const QString& editMask)
{
    const QString mask = editMask.section(u';', 0, 0);
    QList<MaskSlot> parts;
    MaskSlot::Case letterCase = MaskSlot::Keep;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        const QChar c = mask.at(i);
        if (c == u'<' && i + 1 < mask.size() && mask.at(i + 1) == u'>') {
            letterCase = MaskSlot::Keep;
            ++i;
            continue;
        }
        MaskSlot slot;
        switch (c.unicode()) {
        case u'>':
            letterCase = MaskSlot::Upper;
            continue;
        case u'<':
            letterCase = MaskSlot::Lower;
            continue;
        case u'9':
        case u'0':
            slot.kind = MaskSlot::Digit;
            slot.required = c == u'0';
            break;
        case u'a':
        case u'A':
            slot.kind = MaskSlot::Alnum;
            slot.required = c == u'A';
            break;
        case u'l':
        case u'L':
            slot.kind = MaskSlot::Letter;
            slot.required = c == u'L';
            break;
        default: // 'c', 'C' and anything this notation has no use for here
            slot.kind = MaskSlot::Any;
            slot.required = c == u'C';
            break;
        }
        slot.letterCase = letterCase;
        parts.append(slot);
    }
    return parts;
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isLetter(QChar c)
{
    // A letter the database's code page can hold.
    return c.isLetter() && FitsWindows1252(QString(c));
}

// Checks typed text against the parts; rewrites the letter case. Text written by the
// program is accepted as it is.
class MaskValidator : public QValidator
{
public:
    MaskValidator(const QList<MaskSlot>& slotList, TMaskEdit* edit)
        : QValidator(edit), m_slots(slotList), m_edit(edit)
    {
    }

    State validate(QString& input, int& /*pos*/) const override
    {
        if (!m_edit->isUserInput())
            return Acceptable;
        if (input.size() > m_slots.size())
            return Invalid;
        QString out = input;
        for (qsizetype i = 0; i < out.size(); ++i) {
            const MaskSlot& slot = m_slots.at(i);
            QChar c = out.at(i);
            bool fits = true;
            switch (slot.kind) {
            case MaskSlot::Digit:
                fits = isDigit(c);
                break;
            case MaskSlot::Alnum:
                fits = isDigit(c) || isLetter(c);
                break;
            case MaskSlot::Letter:
                fits = isLetter(c);
                break;
            case MaskSlot::Any:
                fits = c.isPrint();
                break;
            }
            if (!fits)
                return Invalid;
            if (slot.letterCase == MaskSlot::Upper)
                c = c.toUpper();
            else if (slot.letterCase == MaskSlot::Lower)
                c = c.toLower();
            out[i] = c;
        }
        // The upper-case of a letter may not exist in the code page (ÿ -> Ÿ does).
        if (!FitsWindows1252(out))
            return Invalid;
        input = out;
        for (qsizetype i = input.size(); i < m_slots.size(); ++i)
            if (m_slots.at(i).required)
                return Intermediate;
        return Acceptable;
    }

private:
    QList<MaskSlot> m_slots;
    TMaskEdit* m_edit;
};

} // namespace

// Marks the text changes made inside its lifetime as typed by the user.
class TMaskEdit::UserInput
{
public:
    explicit UserInput(TMaskEdit* edit) : m_edit(edit) { ++m_edit->m_userInput; }
    ~UserInput()
    {
        if (m_edit)
            --m_edit->m_userInput;
    }
    UserInput(const UserInput&) = delete;
    UserInput& operator=(const UserInput&) = delete;

private:
    QPointer<TMaskEdit> m_edit;
};

// Handlers run as the program, not as typing: what they write is stored as given
// even when they run inside a key press (Tab moving the focus runs OnExit).
class TMaskEdit::ProgramWrites
{
public:
    explicit ProgramWrites(TMaskEdit* edit) : m_edit(edit), m_saved(edit->m_userInput)
    {
        m_edit->m_userInput = 0;
    }
    ~ProgramWrites()
    {
        if (m_edit)
            m_edit->m_userInput = m_saved;
    }
    ProgramWrites(const ProgramWrites&) = delete;
    ProgramWrites& operator=(const ProgramWrites&) = delete;

private:
    QPointer<TMaskEdit> m_edit;
    int m_saved;
};

TMaskEdit::TMaskEdit(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, &TMaskEdit::textWasChanged);
}

TMaskEdit::~TMaskEdit() = default;

void TMaskEdit::setEditMask(const QString& mask)
{
    m_editMask = mask;
    const QList<MaskSlot> slotList = parseMask(mask);
    QValidator* old = m_validator;
    m_validator = slotList.isEmpty() ? nullptr : new MaskValidator(slotList, this);
    setValidator(m_validator);
    delete old;
}

void TMaskEdit::textWasChanged(const QString& text)
{
    if (text == m_lastText)
        return;
    m_lastText = text;
    if (OnChange) {
        ProgramWrites asProgram(this);
        TEventGuard::run([this] { OnChange(this); });
    }
}

void TMaskEdit::keyPressEvent(QKeyEvent* event)
{
    UserInput typing(this);
    QLineEdit::keyPressEvent(event);
}

void TMaskEdit::inputMethodEvent(QInputMethodEvent* event)
{
    UserInput typing(this);
    QLineEdit::inputMethodEvent(event);
}

void TMaskEdit::dropEvent(QDropEvent* event)
{
    UserInput typing(this);
    QLineEdit::dropEvent(event);
}

void TMaskEdit::contextMenuEvent(QContextMenuEvent* event)
{
    // The menu's paste and undo/redo are typing too.
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QList<QAction*> actions = menu->actions();
    for (QAction* action : actions) {
        const QString name = action->objectName();
        void (QLineEdit::*slot)() = nullptr;
        if (name == QLatin1String("edit-paste"))
            slot = &QLineEdit::paste;
        else if (name == QLatin1String("edit-undo"))
            slot = &QLineEdit::undo;
        else if (name == QLatin1String("edit-redo"))
            slot = &QLineEdit::redo;
        if (!slot)
            continue;
        action->disconnect(this);
        connect(action, &QAction::triggered, this, [this, slot] {
            UserInput typing(this);
            (this->*slot)();
        });
    }
    menu->popup(event->globalPos());
}

void TMaskEdit::focusInEvent(QFocusEvent* event)
{
    m_focused = true;
    QLineEdit::focusInEvent(event);
}

void TMaskEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return; // the edit keeps the focus of its window
    // A focus-out without a focus-in before it (the focus was taken back while it was
    // on its way here, as an exit check of another control does) is no exit either.
    const bool wasFocused = m_focused;
    m_focused = false;
    if (!wasFocused || !TControlFocus::isExit(event, this))
        return;
    if (OnExit) {
        ProgramWrites asProgram(this);
        if (!TEventGuard::run([this] { OnExit(this); }))
            TUserAction::exitRefused();
    }
}
