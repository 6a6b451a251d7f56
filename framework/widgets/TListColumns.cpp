#include "TListColumns_p.h"

#include "TADOIBQuery.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QStyle>
#include <QTableView>

TListColumns::TListColumns(const TADOIBQuery* query)
{
    const TADOIBDataSet* dataSet = query->Query();
    const QList<TADOIBStringField*> fields = query->Fields();
    if (fields.isEmpty()) {
        for (int c = 0; c < dataSet->columnCount(); ++c) {
            columns << c;
            labels << dataSet->headerData(c, Qt::Horizontal).toString();
            sizes << 15;
        }
        return;
    }
    for (const TADOIBStringField* field : fields) {
        const int column = dataSet->columnIndex(field->FieldName());
        if (!field->Visible() || column < 0 || columns.contains(column))
            continue;
        columns << column;
        labels << field->DisplayLabel();
        sizes << field->Size();
    }
}

int TListColumns::width(qsizetype i, const QFontMetrics& metrics) const
{
    const int chars = qBound(4, qMax(sizes.at(i), int(labels.at(i).size())), 60);
    return chars * qMax(1, metrics.averageCharWidth()) + 16;
}

void TListColumns::styleView(QTableView* view)
{
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setAlternatingRowColors(true);
    view->setWordWrap(false);
    view->setTabKeyNavigation(false);
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setStretchLastSection(true);
    view->horizontalHeader()->setHighlightSections(false);
}

QSize TListColumns::dialogSize(const QTableView* view, int columnsWidth, const QWidget* parent,
                               const QSize& least)
{
    QSize room(1000, 700);
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        room = {screen->availableGeometry().width() * 9 / 10,
                screen->availableGeometry().height() * 8 / 10};
    const int wanted = columnsWidth + 2 * view->frameWidth() +
                       view->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 30;
    return {qBound(least.width(), wanted, qMax(least.width(), room.width())),
            qMin(least.height(), room.height())};
}
