#include "TUserAction.h"

#include <QAbstractButton>
#include <QApplication>
#include <QList>
#include <QMouseEvent>
#include <QPointer>
#include <QThread>

namespace {

// Qt gives the focus for a press before the widget under the mouse sees it, and a
// message box shown meanwhile runs a loop of its own: each loop level keeps the
// failure count its press started with.
class InputWatch : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (watched->isWindowType()) {
                m_dropRelease = false;
                const int level = loopLevel();
                while (!m_presses.isEmpty() && m_presses.last().level >= level)
                    m_presses.removeLast();
                m_presses.append({level, failures});
                return false;
            }
            if (!m_presses.isEmpty() && m_presses.last().level == loopLevel()) {
                const bool failed = m_presses.takeLast().failures != failures;
                if (failed)
                    m_dropRelease = true;
                return failed;
            }
            return m_dropRelease;
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
            if (!m_dropRelease || watched->isWindowType())
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

    int failures = 0;

private:
    struct Press
    {
        int level;
        int failures;
    };

    static int loopLevel() { return QThread::currentThread()->loopLevel(); }

    // A button's mnemonic takes the focus before it clicks; when leaving the field
    // fails, the click does not follow.
    bool shortcutMovedFocusAndFailed(QObject* watched)
    {
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (!button || button->focusPolicy() == Qt::NoFocus || button->hasFocus())
            return false;
        const int before = failures;
        QPointer<QAbstractButton> alive(button);
        button->setFocus(Qt::ShortcutFocusReason);
        return !alive || failures != before;
    }

    QList<Press> m_presses;
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

void TUserAction::handlerFailed()
{
    if (watch)
        ++watch->failures;
}
