#pragma once

#include "FisWidgetsExport.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QTimer>

class QLineEdit;
class QModelIndex;
class QTableView;
class TADOIBQuery;
class TSearchFilterModel;

// The list of a search button: a filter edit over a table of the query's open
// dataset, which shows the declared fields whose Visible() is true, in declared
// order, titled with their DisplayLabel (every column when no field is declared).
//
// Typing filters the rows: a row stays when any shown column contains the typed
// text, without regard to letter case or accents. Up/Down/PageUp/PageDown move in
// the list while the filter edit has the focus; Enter or a double click picks the
// current row; Esc cancels.
//
// The dataset reads its rows lazily: the dialog opens at once on any number of rows.
// While a filter is typed the dialog reads further batches, a slice at a time from
// the event loop, until the view is filled or the data ends.
class FIS_WIDGETS_EXPORT TSearchDialog : public QDialog
{
    Q_OBJECT

public:
    TSearchDialog(TADOIBQuery* query, const QString& title, QWidget* parent = nullptr);
    ~TSearchDialog() override;

    // The picked row of the dataset (source row number); -1 when nothing was picked.
    int pickedRow() const { return m_picked; }

    // The source row the list stands on; -1 when none.
    int currentRow() const;
    // How many rows the filter leaves (of those read so far).
    int shownRowCount() const;
    // The source columns shown, in order.
    QList<int> shownColumns() const { return m_columns; }
    // True while batches are still being read for the filter.
    bool isFetching() const { return m_fetchTimer.isActive(); }

    QLineEdit* filterEdit() const { return m_filter; }
    QTableView* view() const { return m_view; }

public Q_SLOTS:
    void setFilterText(const QString& text);
    // Picks the current row and accepts; nothing when no row is current.
    void pickCurrent();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fetchSlice();
    void wantRows(int rows);
    int visibleRowCapacity() const;
    void ensureCurrent();

    QPointer<TADOIBQuery> m_query;
    QList<int> m_columns;
    QLineEdit* m_filter;
    QTableView* m_view;
    TSearchFilterModel* m_proxy;
    QTimer m_fetchTimer;
    int m_wantedRows = 0;
    int m_picked = -1;
};
