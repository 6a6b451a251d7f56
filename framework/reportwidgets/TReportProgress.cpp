#include "TReportProgress.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>

namespace {

constexpr qint64 showAfterMs = 500;
constexpr qint64 eventsEveryMs = 40;

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

} // namespace

// While runs go on: input reaches only their progress windows (and a box opened since),
// and a window closed from the desktop asks first. A modal progress window would do the
// former, but Qt drops the desktop's close of a window it blocks, so nobody would be asked.
class TRunInputFilter : public QObject
{
public:
    static TRunInputFilter& instance()
    {
        static auto* filter = new TRunInputFilter;
        return *filter;
    }

    QList<TReportProgress*> runs;
    QList<QPointer<QWidget>> closeAfter;

    void add(TReportProgress* run)
    {
        if (runs.isEmpty())
            qApp->installEventFilter(this);
        runs.append(run);
    }

    void remove(TReportProgress* run)
    {
        runs.removeOne(run);
        if (!runs.isEmpty())
            return;
        qApp->removeEventFilter(this);
        // Closed once the run's own frames have unwound.
        for (const QPointer<QWidget>& window : std::exchange(closeAfter, {}))
            if (window)
                QTimer::singleShot(0, window, &QWidget::close);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const bool input = isUserInput(event->type());
        if (!input && event->type() != QEvent::Close)
            return false;

        for (const TReportProgress* run : std::as_const(runs))
            if (run->owns(watched))
                return false;
        // A box opened during the run (this one's question, an error) takes its input.
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && std::none_of(runs.begin(), runs.end(), [modal](const TReportProgress* r) {
                return r->m_modalAtStart == modal;
            }))
            return false;
        if (input)
            return true;
        auto* window = qobject_cast<QWidget*>(watched);
        if (!window || !window->isWindow())
            return false;
        event->ignore();
        if (m_asking)
            return true;
        m_asking = true;
        const auto answer = QMessageBox::question(
            window, QStringLiteral("Relatório em andamento"),
            QStringLiteral("O relatório ainda está sendo gerado. Cancelar e fechar a janela?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        m_asking = false;
        if (answer == QMessageBox::Yes) {
            closeAfter.append(window);
            TReportProgress::cancelAll();
        }
        return true;
    }

private:
    bool m_asking = false;
};

TReportProgress::TReportProgress(QWidget* parent)
    : m_parent(parent), m_modalAtStart(QApplication::activeModalWidget())
{
    m_started.start();
    m_lastEvents.start();
    TRunInputFilter::instance().add(this);
}

TReportProgress::~TReportProgress()
{
    TRunInputFilter::instance().remove(this);
}

bool TReportProgress::anyRunning()
{
    return !TRunInputFilter::instance().runs.isEmpty();
}

void TReportProgress::cancelAll()
{
    for (TReportProgress* run : std::as_const(TRunInputFilter::instance().runs))
        run->cancel();
}

bool TReportProgress::owns(const QObject* object) const
{
    if (!m_dialog)
        return false;
    if (auto* window = qobject_cast<const QWindow*>(object))
        return window == m_dialog->windowHandle();
    auto* widget = qobject_cast<const QWidget*>(object);
    return widget && widget->window() == m_dialog.get();
}

bool TReportProgress::step(const QString& text, qint64 done, qint64 total)
{
    if (m_cancelled)
        return false;
    if (m_lastEvents.elapsed() < eventsEveryMs)
        return true;
    m_lastEvents.restart();
    if (!m_dialog && m_started.elapsed() >= showAfterMs) {
        m_dialog = std::make_unique<QProgressDialog>(m_parent);
        m_dialog->setWindowTitle(QStringLiteral("Relatório"));
        m_dialog->setCancelButtonText(QStringLiteral("Cancelar"));
        if (m_modalAtStart)
            m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setMinimumDuration(0);
        m_dialog->setMinimumWidth(320);
        QObject::connect(m_dialog.get(), &QProgressDialog::canceled,
                         [this] { m_cancelled = true; });
        m_dialog->show();
    }
    if (m_dialog) {
        m_dialog->setLabelText(text);
        // An unknown total shows a busy bar.
        const int scale = total > 0 ? int(qMin<qint64>(total, 1 << 30)) : 0;
        m_dialog->setRange(0, scale);
        m_dialog->setValue(total > 0 ? int(qMin(done, total)) : 0);
        QCoreApplication::processEvents();
    } else {
        // Repaints only: a click on the main window must not start another run.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    return !m_cancelled;
}
