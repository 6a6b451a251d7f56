#pragma once

#include "FrameworkExport.h"

#include <QAbstractTableModel>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <vector>

// The rows of an open query as a table model that reads them from the driver a batch
// at a time, as views ask for them: a million-row list opens at once. It keeps a
// current row, on which field values are read.
class FW_EXPORT TADOIBDataSet : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit TADOIBDataSet(QObject* parent = nullptr);

    // Takes an executed forward-only query and reads its first batch.
    void open(QSqlQuery&& query);
    void close();
    bool isOpen() const { return m_open; }

    bool IsEmpty() const { return m_rows.empty(); }
    // Zero-based current row; -1 when there is none.
    int RecNo() const { return m_current; }
    // Moves to a row, reading from the driver as far as needed; false past the end.
    bool MoveTo(int row);
    void First() { MoveTo(0); }
    // True once every row has been read from the driver.
    bool allFetched() const { return m_atEnd; }
    void fetchAll();

    int columnIndex(const QString& name) const;
    QStringList columnNames() const { return m_columns; }
    QVariant value(int row, int column) const;
    // Value of a column on the current row (null when there is no current row).
    QVariant currentValue(const QString& column) const;

    void setColumnLabel(int column, const QString& label);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent = {}) const override;
    void fetchMore(const QModelIndex& parent = {}) override;

    static constexpr int BatchSize = 256;

private:
    std::vector<std::vector<QVariant>> readRows(int count);

    QSqlQuery m_query;
    QStringList m_columns;
    QStringList m_labels;
    std::vector<std::vector<QVariant>> m_rows;
    int m_current = -1;
    bool m_open = false;
    bool m_atEnd = true;
};
