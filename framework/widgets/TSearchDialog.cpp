#include "TSearchDialog.h"

#include "TListColumns_p.h"
#include "TListKeys_p.h"

#include "TADOIBQuery.h"
#include "TEventGuard.h"
#include "TTextFold_p.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

// Shows the chosen columns of the dataset and keeps the rows whose shown text
// contains the needle (both folded: no letter case, no accents).
class TSearchFilterModel : public QSortFilterProxyModel
{
public:
    TSearchFilterModel(const QList<int>& columns, const QStringList& labels, QObject* parent)
        : QSortFilterProxyModel(parent), m_columns(columns)
    {
        m_sorted = columns;
        std::sort(m_sorted.begin(), m_sorted.end());
        for (int i = 0; i < columns.size(); ++i)
            m_labels.insert(columns.at(i), labels.value(i));
    }

    void setSourceModel(QAbstractItemModel* model) override
    {
        QSortFilterProxyModel::setSourceModel(model);
        connect(model, &QAbstractItemModel::modelAboutToBeReset, this,
                [this] { m_folded.clear(); });
        connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                [this] { m_folded.clear(); });
    }

    void setNeedle(const QString& needle)
    {
        if (needle == m_needle)
            return;
        m_needle = needle;
        invalidateFilter();
    }
    QString needle() const { return m_needle; }

    // The source column of a proxy column.
    int sourceColumn(int proxyColumn) const { return m_sorted.value(proxyColumn, -1); }
    int proxyColumn(int sourceColumn) const { return int(m_sorted.indexOf(sourceColumn)); }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
            const int source = sourceColumn(section);
            const QString label = m_labels.value(source);
            if (!label.isEmpty())
                return label;
        }
        return QSortFilterProxyModel::headerData(section, orientation, role);
    }

    void fetchMore(const QModelIndex& parent) override
    {
        // A database error while the view reads on must not cross Qt's code.
        TEventGuard::run([&] { QSortFilterProxyModel::fetchMore(parent); });
    }

protected:
    bool filterAcceptsColumn(int sourceColumn, const QModelIndex&) const override
    {
        return m_columns.contains(sourceColumn);
    }

    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override
    {
        if (m_needle.isEmpty() || sourceParent.isValid())
            return true;
        return foldedRow(sourceRow).contains(m_needle);
    }

private:
    const QString& foldedRow(int row) const
    {
        if (row >= int(m_folded.size()))
            m_folded.resize(size_t(row) + 1);
        QString& text = m_folded[size_t(row)];
        if (text.isNull()) {
            const QAbstractItemModel* model = sourceModel();
            QString joined;
            for (int column : m_columns) {
                joined += TTextFold::fold(model->index(row, column).data().toString());
                joined += QChar(0x1F); // no needle holds it: matches stay inside a column
            }
            text = joined;
        }
        return text;
    }

    QList<int> m_columns;
    QList<int> m_sorted;
    QHash<int, QString> m_labels;
    QString m_needle;
    mutable std::vector<QString> m_folded;
};

TSearchDialog::TSearchDialog(TADOIBQuery* query, const QString& title, QWidget* parent)
    : QDialog(parent), m_query(query), m_filter(new QLineEdit(this)), m_view(new QTableView(this))
{
    setWindowTitle(title.trimmed().isEmpty() ? QStringLiteral("Pesquisa") : title);
    setObjectName(QStringLiteral("TSearchDialog"));
    setSizeGripEnabled(true);

    TADOIBDataSet* dataSet = query->Query();
    const TListColumns shown(query);
    m_columns = shown.columns;

    m_proxy = new TSearchFilterModel(m_columns, shown.labels, this);
    m_proxy->setSourceModel(dataSet);

    m_filter->setObjectName(QStringLiteral("filter"));
    m_filter->setPlaceholderText(QStringLiteral("Digite para filtrar"));
    m_filter->setClearButtonEnabled(true);
    m_filter->installEventFilter(this);
    connect(m_filter, &QLineEdit::textChanged, this, &TSearchDialog::setFilterText);

    m_view->setObjectName(QStringLiteral("list"));
    m_view->setModel(m_proxy);
    TListColumns::styleView(m_view);
    m_view->setSortingEnabled(false);
    m_view->installEventFilter(this);

    // Declared order and widths from the fields' sizes.
    QHeaderView* header = m_view->horizontalHeader();
    int total = 0;
    for (int i = 0; i < m_columns.size(); ++i) {
        const int logical = m_proxy->proxyColumn(m_columns.at(i));
        header->moveSection(header->visualIndex(logical), i);
        const int width = shown.width(i, m_view->fontMetrics());
        header->resizeSection(logical, width);
        total += width;
    }

    connect(m_view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            pickCurrent();
    });
    connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (value == m_view->verticalScrollBar()->maximum())
            wantRows(m_proxy->rowCount() + visibleRowCapacity());
    });
    connect(m_proxy, &QAbstractItemModel::rowsInserted, this, &TSearchDialog::ensureCurrent);
    connect(m_proxy, &QAbstractItemModel::layoutChanged, this, &TSearchDialog::ensureCurrent);
    connect(m_proxy, &QAbstractItemModel::modelReset, this, &TSearchDialog::ensureCurrent);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok =
        buttons->addButton(QStringLiteral("Selecionar"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    ok->setFocusPolicy(Qt::NoFocus);
    cancel->setFocusPolicy(Qt::NoFocus);
    ok->setAutoDefault(false);
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &TSearchDialog::pickCurrent);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_filter);
    layout->addWidget(m_view, 1);
    layout->addWidget(buttons);

    resize(TListColumns::dialogSize(m_view, total, parent, {360, 440}));

    m_fetchTimer.setInterval(0);
    connect(&m_fetchTimer, &QTimer::timeout, this, &TSearchDialog::fetchSlice);

    // The first batch at once, so that the keys move in a full list from the start.
    if (dataSet->canFetchMore() && dataSet->rowCount() < TADOIBDataSet::BatchSize)
        TEventGuard::run([dataSet] { dataSet->fetchMore(); });

    // Start on the dataset's current row.
    const int start = dataSet->RecNo();
    if (start >= 0 && start < dataSet->rowCount()) {
        const QModelIndex index =
            m_proxy->mapFromSource(dataSet->index(start, m_columns.value(0, 0)));
        if (index.isValid())
            m_view->setCurrentIndex(index);
    }
    ensureCurrent();
    wantRows(visibleRowCapacity() + 1);
    m_filter->setFocus();
}

TSearchDialog::~TSearchDialog() = default;

int TSearchDialog::currentRow() const
{
    const QModelIndex index = m_view->currentIndex();
    if (!index.isValid())
        return -1;
    return m_proxy->mapToSource(index).row();
}

int TSearchDialog::shownRowCount() const
{
    return m_proxy->rowCount();
}

void TSearchDialog::setFilterText(const QString& text)
{
    if (m_filter->text() != text) {
        m_filter->setText(text); // comes back here through textChanged
        return;
    }
    m_proxy->setNeedle(TTextFold::fold(text.trimmed()));
    // The first match becomes the current row.
    m_view->setCurrentIndex(QModelIndex());
    ensureCurrent();
    m_view->scrollToTop();
    m_wantedRows = 0;
    wantRows(visibleRowCapacity() + 1);
}

void TSearchDialog::pickCurrent()
{
    const int row = currentRow();
    if (row < 0)
        return;
    m_picked = row;
    m_fetchTimer.stop();
    accept();
}

int TSearchDialog::visibleRowCapacity() const
{
    const int rowHeight = qMax(1, m_view->verticalHeader()->defaultSectionSize());
    return qMax(20, m_view->viewport()->height() / rowHeight + 1);
}

void TSearchDialog::wantRows(int rows)
{
    m_wantedRows = qMax(m_wantedRows, rows);
    if (m_query && m_proxy->rowCount() < m_wantedRows && m_query->Query()->canFetchMore())
        m_fetchTimer.start();
}

void TSearchDialog::fetchSlice()
{
    TADOIBDataSet* dataSet = m_query ? m_query->Query() : nullptr;
    QElapsedTimer clock;
    clock.start();
    bool ok = true;
    while (ok && dataSet && m_proxy->rowCount() < m_wantedRows && dataSet->canFetchMore() &&
           clock.elapsed() < 25)
        ok = TEventGuard::run([dataSet] { dataSet->fetchMore(); });
    if (!ok || !dataSet || m_proxy->rowCount() >= m_wantedRows || !dataSet->canFetchMore())
        m_fetchTimer.stop();
}

void TSearchDialog::ensureCurrent()
{
    if (m_view->currentIndex().isValid() || m_proxy->rowCount() == 0)
        return;
    const int logical = m_view->horizontalHeader()->logicalIndex(0);
    const QModelIndex first = m_proxy->index(0, qMax(0, logical));
    m_view->selectionModel()->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
}

bool TSearchDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (TListKeys::confirmOrCancel(this, key, [this] { pickCurrent(); }))
        return true;
    if (watched == m_filter) {
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            TListKeys::forward(m_view, key);
            return true;
        default:
            break;
        }
    } else if (watched == m_view) {
        // Typing in the list goes on in the filter.
        const QString text = key->text();
        const bool printable = !text.isEmpty() && text.at(0).isPrint() &&
                               !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (printable || key->key() == Qt::Key_Backspace) {
            m_filter->setFocus();
            TListKeys::forward(m_filter, key);
            return true;
        }
        if (TListKeys::jumpHomeEnd(m_view, key))
            return true;
        if (key->key() == Qt::Key_Down || key->key() == Qt::Key_PageDown) {
            // Moving past what was read reads on.
            const int row = m_view->currentIndex().row();
            if (row >= m_proxy->rowCount() - 2)
                wantRows(m_proxy->rowCount() + visibleRowCapacity());
        }
    }
    return QDialog::eventFilter(watched, event);
}
