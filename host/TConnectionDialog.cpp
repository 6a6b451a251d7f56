#include "TConnectionDialog.h"

#include "TConnectionSettings.h"
#include "TEventGuard.h"
#include "TMessagePresenter.h"
#include "TOpenDatabase.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

namespace {

enum PasswordSource
{
    NoPassword,
    AskPassword,
    PasswordFile
};

QWidget* withButton(QLineEdit* edit, QToolButton* button)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit);
    button->setText(QStringLiteral("…"));
    layout->addWidget(button);
    return row;
}

void pickFile(QWidget* parent, QLineEdit* edit, const QString& title)
{
    const QString file = QFileDialog::getOpenFileName(parent, title, edit->text());
    if (!file.isEmpty())
        edit->setText(file);
}

} // namespace

TConnectionDialog::TConnectionDialog(QWidget* parent)
    : QDialog(parent), cbbDriver(new QComboBox(this)), edtBanco(new QLineEdit(this)),
      btnBanco(new QToolButton(this)), edtServidor(new QLineEdit(this)),
      spnPorta(new QSpinBox(this)), edtUsuario(new QLineEdit(this)), cbbSenha(new QComboBox(this)),
      edtArquivoSenha(new QLineEdit(this)), btnArquivoSenha(new QToolButton(this)),
      btnTestar(new QPushButton(QStringLiteral("&Testar conexão"), this))
{
    setObjectName(QStringLiteral("dlgConexao"));
    setWindowTitle(QStringLiteral("Configurar conexão"));
    // Wide enough for its title with the application's name, and for a server's path.
    setMinimumWidth(520);

    cbbDriver->addItem(QStringLiteral("SQLite"), QStringLiteral("sqlite"));
    cbbDriver->addItem(QStringLiteral("PostgreSQL"), QStringLiteral("postgresql"));
    cbbDriver->addItem(QStringLiteral("Firebird"), QStringLiteral("firebird"));
    edtBanco->setPlaceholderText(QStringLiteral("banco de demonstração"));
    spnPorta->setRange(0, 65535);
    spnPorta->setSpecialValueText(QStringLiteral("padrão"));
    cbbSenha->addItems({QStringLiteral("Sem senha"), QStringLiteral("Pedir ao conectar"),
                        QStringLiteral("Ler do arquivo")});
    edtArquivoSenha->setToolTip(QStringLiteral("Um arquivo legível só pelo dono (chmod 600)."));

    const QList<QPair<QWidget*, const char*>> names = {{cbbDriver, "cbbDriver"},
                                                       {edtBanco, "edtBanco"},
                                                       {btnBanco, "btnBanco"},
                                                       {edtServidor, "edtServidor"},
                                                       {spnPorta, "spnPorta"},
                                                       {edtUsuario, "edtUsuario"},
                                                       {cbbSenha, "cbbSenha"},
                                                       {edtArquivoSenha, "edtArquivoSenha"},
                                                       {btnArquivoSenha, "btnArquivoSenha"},
                                                       {btnTestar, "btnTestar"}};
    for (const auto& [widget, name] : names)
        widget->setObjectName(QLatin1String(name));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Banco de dados:"), cbbDriver);
    form->addRow(QStringLiteral("&Arquivo ou nome:"), withButton(edtBanco, btnBanco));
    form->addRow(QStringLiteral("&Servidor:"), edtServidor);
    form->addRow(QStringLiteral("&Porta:"), spnPorta);
    form->addRow(QStringLiteral("&Usuário:"), edtUsuario);
    form->addRow(QStringLiteral("S&enha:"), cbbSenha);
    form->addRow(QStringLiteral("Arquivo da s&enha:"),
                 withButton(edtArquivoSenha, btnArquivoSenha));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->addButton(btnTestar, QDialogButtonBox::ActionRole);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    // The rows' own widgets were reparented into their rows, which put them last in the chain.
    QWidget* previous = cbbDriver;
    for (QWidget* next :
         std::initializer_list<QWidget*>{edtBanco, btnBanco, edtServidor, spnPorta, edtUsuario,
                                         cbbSenha, edtArquivoSenha, btnArquivoSenha}) {
        setTabOrder(previous, next);
        previous = next;
    }
    const QList<QAbstractButton*> boxButtons = buttons->buttons();
    for (QAbstractButton* button : boxButtons) {
        setTabOrder(previous, button);
        previous = button;
    }

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(btnTestar, &QPushButton::clicked, this,
            [this] { TEventGuard::run([this] { testConnection(); }); });
    connect(btnBanco, &QToolButton::clicked, this,
            [this] { pickFile(this, edtBanco, QStringLiteral("Arquivo do banco de dados")); });
    connect(btnArquivoSenha, &QToolButton::clicked, this,
            [this] { pickFile(this, edtArquivoSenha, QStringLiteral("Arquivo da senha")); });
    connect(cbbDriver, &QComboBox::currentIndexChanged, this, &TConnectionDialog::updateControls);
    connect(cbbSenha, &QComboBox::currentIndexChanged, this, &TConnectionDialog::updateControls);
    updateControls();
}

TConnectionOptions TConnectionDialog::options() const
{
    TConnectionOptions options = m_given;
    options.password.clear();
    options.passwordFile.clear();
    options.driver = cbbDriver->currentData().toString();
    options.database = edtBanco->text().trimmed();
    options.host = edtServidor->text().trimmed();
    options.port = spnPorta->value();
    options.user = edtUsuario->text().trimmed();
    options.askPassword = cbbSenha->currentIndex() == AskPassword;
    if (cbbSenha->currentIndex() == PasswordFile)
        options.passwordFile = edtArquivoSenha->text().trimmed();
    // The server fields are disabled for SQLite; what they still hold is not its choice.
    if (options.driver == QLatin1String("sqlite")) {
        options.host.clear();
        options.port = 0;
        options.user.clear();
        options.askPassword = false;
        options.passwordFile.clear();
    }
    return options;
}

void TConnectionDialog::setOptions(const TConnectionOptions& options)
{
    m_given = options;
    cbbDriver->setCurrentIndex(std::max(0, cbbDriver->findData(options.driver)));
    edtBanco->setText(options.database);
    edtServidor->setText(options.host);
    spnPorta->setValue(options.port);
    edtUsuario->setText(options.user);
    edtArquivoSenha->setText(options.passwordFile);
    cbbSenha->setCurrentIndex(options.askPassword              ? AskPassword
                              : options.passwordFile.isEmpty() ? NoPassword
                                                               : PasswordFile);
    updateControls();
}

void TConnectionDialog::updateControls()
{
    const bool server = cbbDriver->currentData() != QLatin1String("sqlite");
    const bool file = cbbDriver->currentData() != QLatin1String("postgresql");
    for (QWidget* widget : {static_cast<QWidget*>(edtServidor), static_cast<QWidget*>(spnPorta),
                            static_cast<QWidget*>(edtUsuario), static_cast<QWidget*>(cbbSenha)})
        widget->setEnabled(server);
    btnBanco->setEnabled(file);
    const bool passwordFile = server && cbbSenha->currentIndex() == PasswordFile;
    edtArquivoSenha->setEnabled(passwordFile);
    btnArquivoSenha->setEnabled(passwordFile);
}

bool TConnectionDialog::resolvePassword(TConnectionOptions& options, QWidget* parent,
                                        QString* error)
{
    if (!TConnectionSettings::readPasswordFile(options, error))
        return false;
    if (!options.password.isEmpty() || !options.askPassword)
        return true;
    bool ok = false;
    const QString where = options.host.isEmpty() ? options.database : options.host;
    options.password =
        QInputDialog::getText(parent, QStringLiteral("Senha do banco de dados"),
                              QStringLiteral("Senha de %1 em %2:").arg(options.user, where),
                              QLineEdit::Password, QString(), &ok);
    error->clear();
    return ok;
}

void TConnectionDialog::testConnection()
{
    TConnectionOptions choice = options();
    QString error;
    if (!resolvePassword(choice, this, &error)) {
        if (!error.isEmpty())
            TMessagePresenter::current().showError(error);
        return;
    }
    QString detail;
    error = TOpenDatabase::tryOpen(choice, &detail);
    if (error.isEmpty())
        TMessagePresenter::current().showInformation(
            QStringLiteral("Conexão estabelecida com sucesso."));
    else
        TMessagePresenter::current().showDetailedError(error, detail);
}
