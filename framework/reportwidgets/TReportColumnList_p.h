#pragma once

#include <QTreeWidget>
#include <functional>

// The designer's column table: a row per report column, reordered by dragging or by
// Ctrl+Up/Ctrl+Down and removed with Delete. The moves are handed to OnMove and OnRemove
// rather than made here, so that the model stays the one owner of the order.
class TReportColumnList : public QTreeWidget
{
    Q_OBJECT

public:
    explicit TReportColumnList(QWidget* parent = nullptr);

    std::function<void(int from, int to)> OnMove;
    std::function<void(int row)> OnRemove;

protected:
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
