#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

// The strip above the main window's screens that says what the clerk must know of the
// database: a connection that failed, with its remedies at hand, or the demo database.
class TConnectionBanner : public QFrame
{
    Q_OBJECT

public:
    explicit TConnectionBanner(QWidget* parent = nullptr);

    // The message and what to do; the driver's own text behind "Mostrar detalhes".
    void showFailure(const QString& message, const QString& detail);
    void showDemo();

    QLabel* lblMensagem;
    QPushButton* btnDetalhes;
    QLabel* lblDetalhes;
    QPushButton* btnTentarNovamente;
    QPushButton* btnConfigurarConexao;

Q_SIGNALS:
    void retryRequested();
    void configureRequested();
};
