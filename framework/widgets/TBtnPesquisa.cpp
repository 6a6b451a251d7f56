#include "TBtnPesquisa.h"

#include "EFrameworkError.h"
#include "Helpers.h"
#include "TADOIBQuery.h"
#include "TDataSource.h"
#include "TDrawnIcons.h"
#include "TEventGuard.h"
#include "TMessagePresenter.h"
#include "TSearchDialog.h"

TBtnPesquisa::TBtnPesquisa(QWidget* parent) : QToolButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setToolTip(QStringLiteral("Pesquisar"));
    setIcon(TDrawnIcons::magnifier());
    setCursor(Qt::ArrowCursor);
    connect(this, &QToolButton::clicked, this,
            [this] { TEventGuard::run([this] { Pesquisar(); }); });
}

TBtnPesquisa::~TBtnPesquisa() = default;

void TBtnPesquisa::setDataSource(TDataSource* source)
{
    m_dataSource = source;
}

void TBtnPesquisa::Pesquisar()
{
    if (OnClick) {
        OnClick(this);
        return;
    }
    bool proceed = true;
    if (OnBeforePesq)
        OnBeforePesq(this, proceed);
    if (!proceed)
        return;
    TADOIBQuery* query = m_dataSource ? m_dataSource->DataSet() : nullptr;
    if (!query)
        throw EFrameworkError(
            QStringLiteral("%1: a pesquisa não tem fonte de dados.").arg(objectName()));
    if (!query->Active())
        query->Open();
    if (query->IsEmpty()) {
        if (!EmptyString(m_emptyError))
            MensErro(m_emptyError, true);
        TMessagePresenter::current().showInformation(QStringLiteral("Nenhum registro encontrado."));
        return;
    }
    TSearchDialog dialog(query, m_title, window());
    if (dialog.exec() != QDialog::Accepted || dialog.pickedRow() < 0)
        return;
    if (!query->Query()->MoveTo(dialog.pickedRow()))
        return;
    if (OnAfterPesq)
        OnAfterPesq(this);
}
