#pragma once

#include "FisReportWidgetsExport.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <memory>

class QWidget;

// The progress of a report run as the user sees it: nothing for a short run; after half
// a second "Gerando página N de M…" with "Cancelar". Meanwhile the windows repaint but
// take no input, as under a modal dialog; a window closed from the desktop asks whether
// to cancel the run, and closes once the run has ended.
class FIS_REPORTWIDGETS_EXPORT TReportProgress
{
public:
    explicit TReportProgress(QWidget* parent);
    ~TReportProgress();

    // false once the user (or cancel()) asked to stop.
    bool step(const QString& text, qint64 done, qint64 total);
    void cancel() { m_cancelled = true; }

    // Whether any run shows its progress now, and stopping them all (a host quitting).
    static bool anyRunning();
    static void cancelAll();

private:
    friend class TRunInputFilter;
    bool owns(const QObject* object) const;

    QPointer<QWidget> m_parent;
    std::unique_ptr<QProgressDialog> m_dialog;
    QElapsedTimer m_started;
    QElapsedTimer m_lastEvents;
    // A modal window already open (a designer) keeps the dialog modal, as before.
    QPointer<QWidget> m_modalAtStart;
    bool m_cancelled = false;
};
