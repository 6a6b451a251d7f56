#include "TListPickerDialog.h"

#include "TListColumns_p.h"
#include "TListKeys_p.h"

#include "EFrameworkError.h"
#include "TADOIBQuery.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <QVBoxLayout>

#include <vector>

// The rows of the dataset with a mark each; the first shown column carries the mark.
class TListPickerModel : public QAbstractTableModel
{
public:
    TListPickerModel(TADOIBDataSet* data, int keyColumn, const QList<int>& columns,
                     const QStringList& labels, QObject* parent)
        : QAbstractTableModel(parent), m_data(data), m_keyColumn(keyColumn), m_columns(columns),
          m_labels(labels), m_marks(size_t(data->rowCount()), false)
    {
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_marks.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(qMax<qsizetype>(1, m_columns.size()));
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (role == Qt::CheckStateRole && index.column() == 0)
            return m_marks[size_t(index.row())] ? Qt::Checked : Qt::Unchecked;
        if (role == Qt::DisplayRole && index.column() < m_columns.size())
            return m_data->value(index.row(), m_columns.at(index.column()));
        return {};
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (!index.isValid() || role != Qt::CheckStateRole || index.column() != 0)
            return false;
        setMarked(index.row(), value.toInt() == Qt::Checked);
        return true;
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (index.column() == 0)
            f |= Qt::ItemIsUserCheckable;
        return f;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return m_labels.value(section);
        return {};
    }

    QString keyOf(int row) const { return m_data->value(row, m_keyColumn).toString(); }
    bool isMarked(int row) const
    {
        return row >= 0 && row < int(m_marks.size()) && m_marks[size_t(row)];
    }
    void setMarked(int row, bool marked)
    {
        if (row < 0 || row >= int(m_marks.size()) || m_marks[size_t(row)] == marked)
            return;
        m_marks[size_t(row)] = marked;
        const QModelIndex cell = index(row, 0);
        Q_EMIT dataChanged(cell, cell, {Qt::CheckStateRole});
    }
    void setAll(bool marked)
    {
        std::fill(m_marks.begin(), m_marks.end(), marked);
        if (!m_marks.empty())
            Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
    }

private:
    TADOIBDataSet* m_data;
    int m_keyColumn;
    QList<int> m_columns;
    QStringList m_labels;
    std::vector<bool> m_marks;
};

TListPickerDialog::TListPickerDialog(TADOIBQuery* query, const QString& keyField,
                                     const QString& title, QWidget* parent)
    : QDialog(parent), m_view(new QTableView(this))
{
    setWindowTitle(title.trimmed().isEmpty() ? QStringLiteral("Pesquisa") : title);
    setObjectName(QStringLiteral("TListPickerDialog"));
    setSizeGripEnabled(true);

    TADOIBDataSet* dataSet = query->Query();
    const int keyColumn = dataSet->columnIndex(keyField);
    if (keyColumn < 0)
        throw EFrameworkError(QStringLiteral("%1: campo '%2' não encontrado no resultado.")
                                  .arg(query->objectName(), keyField));
    dataSet->fetchAll();

    const TListColumns shown(query);
    m_model = new TListPickerModel(dataSet, keyColumn, shown.columns, shown.labels, this);

    m_view->setObjectName(QStringLiteral("list"));
    m_view->setModel(m_model);
    TListColumns::styleView(m_view);
    m_view->installEventFilter(this);
    connect(m_view, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { toggle(index.row()); });

    const int checkWidth = m_view->style()->pixelMetric(QStyle::PM_IndicatorWidth) + 10;
    int total = 0;
    for (qsizetype i = 0; i < shown.columns.size(); ++i) {
        const int width = shown.width(i, m_view->fontMetrics()) + (i == 0 ? checkWidth : 0);
        m_view->horizontalHeader()->resizeSection(i, width);
        total += width;
    }

    auto* markAllButton = new QPushButton(QStringLiteral("Marcar todos"), this);
    auto* unmarkAllButton = new QPushButton(QStringLiteral("Desmarcar todos"), this);
    auto* okButton = new QPushButton(QStringLiteral("OK"), this);
    auto* cancelButton = new QPushButton(QStringLiteral("Cancelar"), this);
    markAllButton->setObjectName(QStringLiteral("markAll"));
    unmarkAllButton->setObjectName(QStringLiteral("unmarkAll"));
    okButton->setObjectName(QStringLiteral("ok"));
    cancelButton->setObjectName(QStringLiteral("cancel"));
    for (QPushButton* b : {markAllButton, unmarkAllButton, cancelButton})
        b->setAutoDefault(false);
    okButton->setDefault(true);
    connect(markAllButton, &QPushButton::clicked, this, &TListPickerDialog::markAll);
    connect(unmarkAllButton, &QPushButton::clicked, this, &TListPickerDialog::unmarkAll);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(markAllButton);
    buttons->addWidget(unmarkAllButton);
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);

    resize(TListColumns::dialogSize(m_view, total, parent, {420, 420}));

    if (m_model->rowCount() > 0)
        m_view->selectionModel()->setCurrentIndex(
            m_model->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_view->setFocus();
}

TListPickerDialog::~TListPickerDialog() = default;

int TListPickerDialog::rowCount() const
{
    return m_model->rowCount();
}

QString TListPickerDialog::keyOf(int row) const
{
    return m_model->keyOf(row);
}

bool TListPickerDialog::isMarked(int row) const
{
    return m_model->isMarked(row);
}

void TListPickerDialog::setMarked(int row, bool marked)
{
    m_model->setMarked(row, marked);
}

void TListPickerDialog::toggle(int row)
{
    m_model->setMarked(row, !m_model->isMarked(row));
}

void TListPickerDialog::setMarkedKeys(const QStringList& keys)
{
    const QSet<QString> wanted(keys.begin(), keys.end());
    for (int row = 0; row < m_model->rowCount(); ++row)
        m_model->setMarked(row, wanted.contains(m_model->keyOf(row)));
}

QStringList TListPickerDialog::markedKeys() const
{
    QStringList keys;
    QSet<QString> seen;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (!m_model->isMarked(row))
            continue;
        const QString key = m_model->keyOf(row);
        if (seen.contains(key))
            continue;
        seen.insert(key);
        keys << key;
    }
    return keys;
}

int TListPickerDialog::currentRow() const
{
    const QModelIndex index = m_view->currentIndex();
    return index.isValid() ? index.row() : -1;
}

void TListPickerDialog::markAll()
{
    m_model->setAll(true);
}

void TListPickerDialog::unmarkAll()
{
    m_model->setAll(false);
}

bool TListPickerDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space) {
            toggle(currentRow());
            return true;
        }
        if (TListKeys::jumpHomeEnd(m_view, key) ||
            TListKeys::confirmOrCancel(this, key, [this] { accept(); }))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}
