#include "TBtnPesquisa.h"

#include "EFrameworkError.h"
#include "Helpers.h"
#include "TADOIBQuery.h"
#include "TControlEvents.h"
#include "TDataSource.h"
#include "TDrawnIcons.h"
#include "TEventGuard.h"
#include "TMessagePresenter.h"
#include "TSearchDialog.h"

namespace {

const TControlEvents::Registration
    events(TBtnPesquisa::staticMetaObject,
           {{QStringLiteral("OnBeforePesq"), TControlEvents::member(&TBtnPesquisa::OnBeforePesq)},
            {QStringLiteral("OnAfterPesq"), TControlEvents::member(&TBtnPesquisa::OnAfterPesq)},
            {QStringLiteral("OnClick"), TControlEvents::member(&TBtnPesquisa::OnClick)}});

} // namespace

TBtnPesquisa::TBtnPesquisa(QWidget* parent) : QToolButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setToolTip(QStringLiteral("Pesquisar"));
    setIcon(TDrawnIcons::magnifier());
    setCursor(Qt::ArrowCursor);
    connect(this, &QToolButton::clicked, this,
            [this] { TEventGuard::run([this] { Pesquisar(); }); });
}

TBtnPesquisa::~TBtnPesquisa()
{
    delete m_searchKey;
}

void TBtnPesquisa::setAssociate(QWidget* associate)
{
    delete m_searchKey;
    m_associate = associate;
    if (!associate)
        return;
    m_searchKey =
        new QShortcut(QKeySequence(Qt::Key_F2), associate, nullptr, nullptr, Qt::WidgetShortcut);
    connect(m_searchKey, &QShortcut::activated, this, [this] {
        if (isEnabled())
            TEventGuard::run([this] { Pesquisar(); });
    });
    const QString hint = QStringLiteral("F2: pesquisar");
    if (!associate->toolTip().contains(hint))
        associate->setToolTip(associate->toolTip().isEmpty()
                                  ? hint
                                  : associate->toolTip() + QLatin1Char('\n') + hint);
}

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
    const int result = dialog.exec();
    // Where no window manager hands the activation back, the form's keys would be dead.
    window()->activateWindow();
    if (result != QDialog::Accepted || dialog.pickedRow() < 0)
        return;
    if (!query->Query()->MoveTo(dialog.pickedRow()))
        return;
    if (OnAfterPesq)
        OnAfterPesq(this);
}
