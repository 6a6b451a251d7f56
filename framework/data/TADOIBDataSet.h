#pragma once

#include "FisDataExport.h"
#include "TRowSource.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

// The rows of an open query as a table model that reads them from the driver a batch
// at a time, as views ask for them: a million-row list opens at once. It keeps a
// current row, on which field values are read.
//
// On PostgreSQL the rows stream from the server (TPgRowSource). Another statement on the
// same connection ends a stream still pending: the dataset keeps the rows it has (and
// those already received) and reads no more, as if that were its whole result.
class FIS_DATA_EXPORT TADOIBDataSet : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit TADOIBDataSet(QObject* parent = nullptr);
    ~TADOIBDataSet() override;

    // Takes the rows of an executed statement and reads the first one.
    void open(std::unique_ptr<TRowSource> source);
    // Forgets the rows; those the server has not sent yet are cancelled, not read.
    void close();
    bool isOpen() const { return m_open; }

    bool IsEmpty() const { return m_rows.empty(); }
    // Zero-based current row; -1 when there is none.
    int RecNo() const { return m_current; }
    // Moves to a row, reading from the driver as far as needed; false past the end.
    bool MoveTo(int row);
    void First() { MoveTo(0); }
    // True once every row has been read from the driver (or the rest was given up).
    bool allFetched() const { return !m_source || m_source->atEnd(); }
    void fetchAll();
    // Hands over up to count rows forward, those held first, keeping none: a report run
    // reads a million rows in constant memory. The dataset holds no rows afterwards.
    void readForward(int count, std::vector<TRowSource::Row>& rows);

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
    std::vector<TRowSource::Row> readRows(int count);

    std::unique_ptr<TRowSource> m_source;
    QStringList m_columns;
    QStringList m_labels;
    std::vector<TRowSource::Row> m_rows;
    int m_current = -1;
    bool m_open = false;
};
