#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <memory>

class QWidget;

// The progress of a report run as the user sees it: nothing for a short run; after half
// a second a modal "Gerando página N de M…" with "Cancelar". Meanwhile the windows repaint
// (events are served, user input only once the modal dialog blocks the others).
class TReportProgress
{
public:
    explicit TReportProgress(QWidget* parent);
    ~TReportProgress();

    // false once the user (or cancel()) asked to stop.
    bool step(const QString& text, qint64 done, qint64 total);
    void cancel() { m_cancelled = true; }

private:
    QPointer<QWidget> m_parent;
    std::unique_ptr<QProgressDialog> m_dialog;
    QElapsedTimer m_started;
    QElapsedTimer m_lastEvents;
    bool m_cancelled = false;
};
