#include "TADOIBDataSet.h"

#include "EFrameworkError.h"

#include <QSqlError>
#include <QSqlRecord>

TADOIBDataSet::TADOIBDataSet(QObject* parent) : QAbstractTableModel(parent) {}

void TADOIBDataSet::open(QSqlQuery&& query)
{
    beginResetModel();
    m_query = std::move(query);
    const QSqlRecord record = m_query.record();
    m_columns.clear();
    for (int i = 0; i < record.count(); ++i)
        m_columns << record.fieldName(i);
    m_labels = m_columns;
    m_rows.clear();
    m_open = true;
    m_atEnd = false;
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
    m_query.finish();
    m_query = QSqlQuery();
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_columns.clear();
    m_labels.clear();
    m_current = -1;
    m_open = false;
    m_atEnd = true;
    endResetModel();
}

std::vector<std::vector<QVariant>> TADOIBDataSet::readRows(int count)
{
    std::vector<std::vector<QVariant>> rows;
    const int columns = int(m_columns.size());
    while (int(rows.size()) < count && !m_atEnd) {
        if (!m_query.next()) {
            m_atEnd = true;
            const QSqlError error = m_query.lastError();
            m_query.finish();
            if (error.isValid())
                throw EFrameworkError(error.text());
            break;
        }
        std::vector<QVariant> row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c)
            row.push_back(m_query.value(c));
        rows.push_back(std::move(row));
    }
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
    return !parent.isValid() && m_open && !m_atEnd;
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
