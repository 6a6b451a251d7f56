#include "TReportProgress_p.h"

#include <QCoreApplication>

namespace {

constexpr qint64 showAfterMs = 500;
constexpr qint64 eventsEveryMs = 40;

} // namespace

TReportProgress::TReportProgress(QWidget* parent) : m_parent(parent)
{
    m_started.start();
    m_lastEvents.start();
}

TReportProgress::~TReportProgress() = default;

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
