#pragma once

#include "FisWidgetsExport.h"

#include <QDialog>

class QPushButton;
class QTimer;
class TRunningStatement;

// Shown while a statement runs past its grace: "Consultando o banco de dados…" with
// "Cancelar". Cancelar (Esc, closing the window) cancels the statement; the dialog closes
// once the statement has ended, and the action that ran it then stops silently.
class FIS_WIDGETS_EXPORT TStatementWaitDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TStatementWaitDialog(TRunningStatement& statement, QWidget* parent = nullptr);

    // The wait handler: the dialog, modal over the active window, until the statement ends.
    static void wait(TRunningStatement& statement);
    // Makes it the application's wait handler.
    static void install();

    void reject() override;

private:
    TRunningStatement& m_statement;
    QPushButton* m_cancel;
    QTimer* m_poll;
};
