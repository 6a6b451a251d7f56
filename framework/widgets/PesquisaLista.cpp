#include "PesquisaLista.h"

#include "EFrameworkError.h"
#include "TADOIBQuery.h"
#include "TDataSource.h"
#include "TListPickerDialog.h"
#include "TListText.h"
#include "TMessagePresenter.h"

#include <QApplication>

void PesquisaLista(TDataSource* source, const QString& keyField, const QString& titles,
                   bool markAll, QString& list)
{
    TADOIBQuery* query = source ? source->DataSet() : nullptr;
    if (!query)
        throw EFrameworkError(QStringLiteral("PesquisaLista: a pesquisa não tem fonte de dados."));
    const qsizetype bar = titles.indexOf(u'|');
    const QString title = bar < 0 ? titles : titles.left(bar);
    const QString emptyText = bar < 0 ? QString() : titles.mid(bar + 1);

    if (!query->Active())
        query->Open();
    if (query->IsEmpty()) {
        TMessagePresenter::current().showInformation(
            emptyText.isEmpty() ? QStringLiteral("Nenhum registro encontrado.") : emptyText);
        return;
    }

    QWidget* parent = QApplication::activeModalWidget();
    if (!parent)
        parent = QApplication::activeWindow();
    TListPickerDialog dialog(query, keyField, title, parent);
    const QStringList keys = TListText::parse(list);
    if (keys.isEmpty() && markAll)
        dialog.markAll();
    else
        dialog.setMarkedKeys(keys);
    const int result = dialog.exec();
    // Where no window manager hands the activation back, the form's keys would be dead.
    if (parent)
        parent->window()->activateWindow();
    if (result != QDialog::Accepted)
        return;
    list = TListText::format(dialog.markedKeys());
}
