#include "TConnectionBanner.h"

#include "TDemoDatabase.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TConnectionBanner::TConnectionBanner(QWidget* parent)
    : QFrame(parent), lblMensagem(new QLabel(this)),
      btnDetalhes(new QPushButton(QStringLiteral("Mostrar &detalhes"), this)),
      lblDetalhes(new QLabel(this)),
      btnTentarNovamente(new QPushButton(QStringLiteral("&Tentar novamente"), this)),
      btnConfigurarConexao(new QPushButton(QStringLiteral("&Configurar conexão…"), this))
{
    setObjectName(QStringLiteral("pnlConexao"));
    lblMensagem->setObjectName(QStringLiteral("lblMensagem"));
    btnDetalhes->setObjectName(QStringLiteral("btnDetalhes"));
    lblDetalhes->setObjectName(QStringLiteral("lblDetalhes"));
    btnTentarNovamente->setObjectName(QStringLiteral("btnTentarNovamente"));
    btnConfigurarConexao->setObjectName(QStringLiteral("btnConfigurarConexao"));
    setFrameShape(QFrame::StyledPanel);
    lblMensagem->setWordWrap(true);
    lblMensagem->setTextFormat(Qt::PlainText);
    lblDetalhes->setWordWrap(true);
    lblDetalhes->setTextFormat(Qt::PlainText);
    lblDetalhes->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblDetalhes->hide();
    btnDetalhes->setCheckable(true);

    auto* row = new QHBoxLayout;
    row->addWidget(lblMensagem, 1);
    row->addWidget(btnDetalhes);
    row->addWidget(btnTentarNovamente);
    row->addWidget(btnConfigurarConexao);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addLayout(row);
    layout->addWidget(lblDetalhes);

    connect(btnDetalhes, &QPushButton::toggled, this, [this](bool shown) {
        lblDetalhes->setVisible(shown);
        btnDetalhes->setText(shown ? QStringLiteral("Ocultar &detalhes")
                                   : QStringLiteral("Mostrar &detalhes"));
    });
    connect(btnTentarNovamente, &QPushButton::clicked, this, &TConnectionBanner::retryRequested);
    connect(btnConfigurarConexao, &QPushButton::clicked, this,
            &TConnectionBanner::configureRequested);
    hide();
}

void TConnectionBanner::showFailure(const QString& message, const QString& detail)
{
    setStyleSheet(QStringLiteral("#pnlConexao { background: #f8d7da; color: #58151c; }"));
    lblMensagem->setText(message);
    lblDetalhes->setText(detail);
    btnDetalhes->setChecked(false);
    btnDetalhes->setVisible(!detail.isEmpty());
    btnTentarNovamente->show();
    btnConfigurarConexao->show();
    show();
}

void TConnectionBanner::showDemo()
{
    setStyleSheet(QStringLiteral("#pnlConexao { background: #fff3cd; color: #4d3800; }"));
    lblMensagem->setText(
        QStringLiteral("%1: os documentos são fictícios, só para conhecer o sistema. Para "
                       "trabalhar com os dados do escritório, configure a conexão com o banco "
                       "de dados.")
            .arg(TDemoDatabase::label()));
    lblDetalhes->clear();
    btnDetalhes->setChecked(false);
    btnDetalhes->hide();
    btnTentarNovamente->hide();
    btnConfigurarConexao->show();
    show();
}
