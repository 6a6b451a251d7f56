#include "TADOIBDataSet.h"

TADOIBDataSet::TADOIBDataSet(QObject* parent) : QAbstractTableModel(parent)
{
}

TADOIBDataSet::~TADOIBDataSet() = default;

void TADOIBDataSet::open(std::unique_ptr<TRowSource> source)
{
    beginResetModel();
    m_source = std::move(source);
    m_columns = m_source->columnNames();
    m_labels = m_columns;
    m_rows.clear();
    m_open = true;
    // One row tells whether the result is empty and gives the current row; the view
    // asks for the rest.
    m_rows = readRows(1);
    m_current = m_rows.empty() ? -1 : 0;
    endResetModel();
}

void TADOIBDataSet::close()
{
    if (!m_open && m_rows.empty())
        return;
    beginResetModel();
    if (m_source)
        m_source->cancel();
    m_source.reset();
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_columns.clear();
    m_labels.clear();
    m_current = -1;
    m_open = false;
    endResetModel();
}

std::vector<TRowSource::Row> TADOIBDataSet::readRows(int count)
{
    std::vector<TRowSource::Row> rows;
    if (m_source && !m_source->atEnd())
        m_source->read(count, rows);
    return rows;
}

bool TADOIBDataSet::MoveTo(int row)
{
    if (row < 0)
        return false;
    while (row >= int(m_rows.size()) && canFetchMore())
        fetchMore();
    if (row >= int(m_rows.size()))
        return false;
    m_current = row;
    return true;
}

void TADOIBDataSet::fetchAll()
{
    while (canFetchMore())
        fetchMore();
}

void TADOIBDataSet::readForward(int count, std::vector<TRowSource::Row>& rows)
{
    rows.clear();
    if (!m_rows.empty()) {
        beginResetModel();
        rows.swap(m_rows);
        m_current = -1;
        endResetModel();
    }
    if (int(rows.size()) < count && m_source && !m_source->atEnd())
        m_source->read(count - int(rows.size()), rows);
}

int TADOIBDataSet::columnIndex(const QString& name) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant TADOIBDataSet::value(int row, int column) const
{
    if (row < 0 || row >= int(m_rows.size()) || column < 0 || column >= m_columns.size())
        return {};
    return m_rows[size_t(row)][size_t(column)];
}

QVariant TADOIBDataSet::currentValue(const QString& column) const
{
    return value(m_current, columnIndex(column));
}

void TADOIBDataSet::setColumnLabel(int column, const QString& label)
{
    if (column < 0 || column >= m_labels.size())
        return;
    m_labels[column] = label;
    Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
}

int TADOIBDataSet::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TADOIBDataSet::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant TADOIBDataSet::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return value(index.row(), index.column());
}

QVariant TADOIBDataSet::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < m_labels.size() ? QVariant(m_labels.at(section))
                                                         : QVariant();
    return section + 1;
}

bool TADOIBDataSet::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && m_open && !allFetched();
}

void TADOIBDataSet::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    auto rows = readRows(BatchSize);
    if (rows.empty())
        return;
    const int first = int(m_rows.size());
    beginInsertRows({}, first, first + int(rows.size()) - 1);
    std::move(rows.begin(), rows.end(), std::back_inserter(m_rows));
    endInsertRows();
}
