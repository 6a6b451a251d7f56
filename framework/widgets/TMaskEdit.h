#pragma once

#include "FisWidgetsExport.h"
#include "TEvents.h"

#include <QLineEdit>
#include <QString>

class QValidator;

// A line edit with an edit mask in the notation of the form definition
// ("mask;save literals;blank"), an OnChange and an OnExit event.
//
// Masks. Only the part before the first ';' matters; it is a row of slots, one per
// character, with no literals:
//   9 optional digit      0 required digit
//   a optional letter or digit   A required letter or digit
//   l optional letter     L required letter
//   c optional character  C required character
//   >  following slots upper-case what is typed, <  lower-case, <> neither
// So "99;0; " takes up to two digits, ">aaaa;0; " up to four letters or digits in
// upper case, and "" anything. The mask is a validator on typing (keys, input
// methods, paste, drop); it never shows placeholders. The number of characters is
// limited by the number of slots and by maxLength (set separately).
//
// Text written by the program (setText, clear, insert) is stored as given and is
// not checked against the mask: a search writes a code as the database holds it.
// QLineEdit's maxLength still applies to it.
//
// Events, each run inside TEventGuard::run (a handler may end with MensErro):
// - OnChange: every change of the text, typed or written by the program; writing
//   the text the edit already holds runs nothing.
// - OnExit: the edit loses the focus to another widget of its form. Losing it
//   because the window was deactivated (a message box), the user went to another
//   form (another MDI child), a popup opened, or because no widget takes the focus
//   (the window is closing) is no exit; nor is a focus-out that had no focus-in
//   before it (another control's exit check took the focus back on its way here).
class FIS_WIDGETS_EXPORT TMaskEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(QString EditMask READ EditMask WRITE setEditMask)

public:
    explicit TMaskEdit(QWidget* parent = nullptr);
    ~TMaskEdit() override;

    QString EditMask() const { return m_editMask; }
    void setEditMask(const QString& mask);

    QString Text() const { return text(); }

    TNotifyEvent OnChange;
    TNotifyEvent OnExit;

    // True while the text being validated comes from the user (framework use).
    bool isUserInput() const { return m_userInput > 0; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    class UserInput;
    class ProgramWrites;
    void textWasChanged(const QString& text);

    QString m_editMask;
    QValidator* m_validator = nullptr;
    QString m_lastText;
    int m_userInput = 0;
    bool m_focused = false;
};
