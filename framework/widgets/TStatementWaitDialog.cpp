#include "TStatementWaitDialog.h"

#include "TEventGuard.h"
#include "TRunningStatement.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QVBoxLayout>

TStatementWaitDialog::TStatementWaitDialog(TRunningStatement& statement, QWidget* parent)
    : QDialog(parent), m_statement(statement), m_poll(new QTimer(this))
{
    setObjectName(QStringLiteral("dlgConsultando"));
    setWindowTitle(QApplication::applicationDisplayName());
    setModal(true);
    setMinimumWidth(340);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Consultando o banco de dados…"), this));
    auto* bar = new QProgressBar(this);
    // No end is known: the bar only shows that the wait goes on.
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    layout->addWidget(bar);
    auto* buttons = new QDialogButtonBox(this);
    m_cancel = buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    m_cancel->setObjectName(QStringLiteral("btnCancelar"));
    connect(buttons, &QDialogButtonBox::rejected, this, &TStatementWaitDialog::reject);
    layout->addWidget(buttons);

    connect(m_poll, &QTimer::timeout, this, [this] {
        TEventGuard::run([this] {
            if (m_statement.waitFor(0))
                accept();
        });
    });
    m_poll->start(50);
}

void TStatementWaitDialog::reject()
{
    // The dialog stays until the statement has really ended, so the connection is free.
    TEventGuard::run([this] { m_statement.cancel(); });
    m_cancel->setEnabled(false);
}

void TStatementWaitDialog::wait(TRunningStatement& statement)
{
    if (statement.waitFor(0))
        return;
    // The hourglass of the action would hide that Cancelar can be clicked.
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    // On the heap: a window closed meanwhile takes its dialog with it.
    const QPointer<TStatementWaitDialog> dialog =
        new TStatementWaitDialog(statement, QApplication::activeWindow());
    dialog->exec();
    delete dialog;
}

void TStatementWaitDialog::install()
{
    TRunningStatement::setWaitHandler(&TStatementWaitDialog::wait);
}
