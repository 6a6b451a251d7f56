#include "TReportColumnList_p.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>

TReportColumnList::TReportColumnList(QWidget* parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setDragDropMode(QAbstractItemView::InternalMove);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDropIndicatorShown(true);
    setUniformRowHeights(true);
}

void TReportColumnList::dropEvent(QDropEvent* event)
{
    const int from = currentIndex().row();
    QModelIndex target = indexAt(event->position().toPoint());
    int to = target.isValid() ? target.row() : topLevelItemCount() - 1;
    if (target.isValid() && dropIndicatorPosition() == QAbstractItemView::BelowItem)
        ++to;
    if (to > from)
        --to;
    // The tree is redrawn from the model; its own move is not made.
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    if (from >= 0 && to >= 0 && to < topLevelItemCount() && from != to && OnMove)
        OnMove(from, to);
}

void TReportColumnList::keyPressEvent(QKeyEvent* event)
{
    const int row = currentIndex().row();
    if (row >= 0 && (event->modifiers() & Qt::ControlModifier) &&
        (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
        const int to = event->key() == Qt::Key_Up ? row - 1 : row + 1;
        if (to >= 0 && to < topLevelItemCount() && OnMove)
            OnMove(row, to);
        return;
    }
    if (row >= 0 && event->key() == Qt::Key_Delete && OnRemove) {
        OnRemove(row);
        return;
    }
    QTreeWidget::keyPressEvent(event);
}
