#include "TUserAction.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

namespace {

// Qt gives the focus for a press before the widget under the mouse sees the press, so
// when leaving the field is refused then, the press is still to come in the same
// delivery: it and its release are dropped. A refusal by Tab arms nothing past the
// return to the event loop.
class InputWatch : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched->isWindowType())
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            m_dropRelease = m_dropPress;
            m_dropPress = false;
            return m_dropRelease;
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
            if (!m_dropRelease)
                return false;
            if (event->type() == QEvent::MouseButtonRelease &&
                static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton)
                m_dropRelease = false;
            return true;
        case QEvent::Shortcut:
            return shortcutMovedFocusAndFailed(watched);
        default:
            return false;
        }
    }

    void refused()
    {
        ++m_failures;
        if (m_dropPress)
            return;
        m_dropPress = true;
        QTimer::singleShot(0, this, [this] { m_dropPress = false; });
    }

private:
    // A button's mnemonic takes the focus before it clicks; when leaving the field
    // fails, the click does not follow.
    bool shortcutMovedFocusAndFailed(QObject* watched)
    {
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (!button || button->focusPolicy() == Qt::NoFocus || button->hasFocus())
            return false;
        const int before = m_failures;
        QPointer<QAbstractButton> alive(button);
        button->setFocus(Qt::ShortcutFocusReason);
        return !alive || m_failures != before;
    }

    int m_failures = 0;
    bool m_dropPress = false;
    bool m_dropRelease = false;
};

InputWatch* watch = nullptr;

} // namespace

void TUserAction::install()
{
    if (watch || !qApp)
        return;
    watch = new InputWatch;
    watch->setParent(qApp);
    qApp->installEventFilter(watch);
}

void TUserAction::exitRefused()
{
    if (watch)
        watch->refused();
}
