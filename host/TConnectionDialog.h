#pragma once

#include "TConnectionOptions.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolButton;

// "Configurar conexão": which database the host opens at its next start. The
// password is never kept; the dialog only says where it comes from.
class TConnectionDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TConnectionDialog(QWidget* parent = nullptr);

    TConnectionOptions options() const;
    void setOptions(const TConnectionOptions& options);

    // Completes options.password from its file or, when asked for, from the user.
    // False with the reason (empty when the user cancelled).
    static bool resolvePassword(TConnectionOptions& options, QWidget* parent, QString* error);

    // "Testar conexão": says whether the choice opens, with the server's reason if not.
    void testConnection();

    QComboBox* cbbDriver;
    QLineEdit* edtBanco;
    QToolButton* btnBanco;
    QLineEdit* edtServidor;
    QSpinBox* spnPorta;
    QLineEdit* edtUsuario;
    QComboBox* cbbSenha;
    QLineEdit* edtArquivoSenha;
    QToolButton* btnArquivoSenha;
    QPushButton* btnTestar;

private:
    void updateControls();

    // What the dialog does not show (the server time limits) passes through unchanged.
    TConnectionOptions m_given;
};
