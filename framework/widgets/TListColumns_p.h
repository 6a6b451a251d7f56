#pragma once

// Internal to the framework: how the list dialogs show a query's rows.

#include <QList>
#include <QSize>
#include <QStringList>

class QFontMetrics;
class QTableView;
class QWidget;
class TADOIBQuery;

// The declared visible fields in declared order, titled with their labels and sized
// from their widths; every column of the result when no field is declared.
class TListColumns
{
public:
    explicit TListColumns(const TADOIBQuery* query);

    QList<int> columns; // dataset columns
    QStringList labels;
    QList<int> sizes; // in characters

    // Pixels for the i-th shown column: its size or its label, within reason.
    int width(qsizetype i, const QFontMetrics& metrics) const;

    // The look both list dialogs share: whole rows, no editing, compact lines.
    static void styleView(QTableView* view);
    // A dialog's size: wide enough for the columns (at least `least`), within its
    // parent's screen.
    static QSize dialogSize(const QTableView* view, int columnsWidth, const QWidget* parent,
                            const QSize& least);
};
