#pragma once

#include "FisWidgetsExport.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>

class QPushButton;
class QTableView;
class TADOIBQuery;
class TListPickerModel;

// The multiple-selection list of PesquisaLista: one row per row of the query's
// dataset with a check mark, over the declared fields whose Visible() is true
// (hidden fields such as the key are not shown; every column when no field is
// declared). Buttons "Marcar todos", "Desmarcar todos", "OK", "Cancelar".
// Space toggles the current row, a double click toggles the clicked row, Home and
// End go to the first and the last row,
// Enter is OK, Esc is Cancelar.
//
// The dialog reads every row of the dataset (a multiple selection is meant for a
// short list) and tells rows apart by the text of the key column.
class FIS_WIDGETS_EXPORT TListPickerDialog : public QDialog
{
    Q_OBJECT

public:
    TListPickerDialog(TADOIBQuery* query, const QString& keyField, const QString& title,
                      QWidget* parent = nullptr);
    ~TListPickerDialog() override;

    int rowCount() const;
    QString keyOf(int row) const;
    bool isMarked(int row) const;
    void setMarked(int row, bool marked);
    void toggle(int row);
    // Marks exactly the rows whose key is in the list.
    void setMarkedKeys(const QStringList& keys);
    // The keys of the marked rows in the dataset's row order, each key once.
    QStringList markedKeys() const;
    int currentRow() const;

    QTableView* view() const { return m_view; }

public Q_SLOTS:
    void markAll();
    void unmarkAll();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TListPickerModel* m_model;
    QTableView* m_view;
};
