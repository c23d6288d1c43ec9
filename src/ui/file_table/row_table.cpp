#include "ui/file_table/row_table.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSignalBlocker>

namespace vellumark::file_table {

void RowTable::setModel(QAbstractItemModel* model) {
    if (model == this->model()) {
        return;
    }
    for (const QMetaObject::Connection& connection : modelConnections_) {
        disconnect(connection);
    }
    modelConnections_.clear();
    drawsAll_ = true;
    QTableView::setModel(model);
    if (model == nullptr) {
        return;
    }
    const auto drawAll = [this] { drawsAll_ = true; };
    modelConnections_ = {
        connect(model, &QAbstractItemModel::modelAboutToBeReset, this, drawAll),
        connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this, drawAll),
        connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, drawAll),
        connect(model, &QAbstractItemModel::rowsAboutToBeMoved, this, drawAll),
        connect(model, &QAbstractItemModel::columnsAboutToBeInserted, this, drawAll),
        connect(model, &QAbstractItemModel::columnsAboutToBeRemoved, this, drawAll),
        connect(model, &QAbstractItemModel::columnsAboutToBeMoved, this, drawAll),
    };
}

void RowTable::reset() {
    drawsAll_ = true;
    QTableView::reset();
}

void RowTable::setRootIndex(const QModelIndex& index) {
    drawsAll_ = true;
    QTableView::setRootIndex(index);
}

void RowTable::doItemsLayout() {
    const bool onlyGrewOutOfSight = grewOutOfSight_ && !drawsAll_;
    grewOutOfSight_ = false;
    drawsAll_ = false;
    if (onlyGrewOutOfSight) {
        updateGeometries();
    } else {
        QTableView::doItemsLayout();
    }
}

void RowTable::selectAll() {
    constexpr qsizetype kClearedFirst = 64;
    const bool selectsRows = selectionMode() != NoSelection && selectionMode() != SingleSelection;
    if (selectsRows && selectionModel() != nullptr && selectionModel()->selection().size() > kClearedFirst) {
        const QSignalBlocker unseen(selectionModel());
        clearSelection();
    }
    QTableView::selectAll();
}

// Qt leaves the cells changed while a layout is pending to the layout, which then draws every row shown.
void RowTable::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                           const QList<int>& roles) {
    drawsAll_ = true;
    QTableView::dataChanged(topLeft, bottomRight, roles);
}

void RowTable::rowsInserted(const QModelIndex& parent, int first, int last) {
    QTableView::rowsInserted(parent, first, last);
    // Every row has the same height and none is hidden, so where the first new row begins is known
    // without asking the header, which would place every row to answer.
    const QHeaderView* rows = verticalHeader();
    const bool appended = !parent.isValid() && isVisible() && first > 0 && last + 1 == model()->rowCount();
    const bool uniform = rows->sectionResizeMode(0) == QHeaderView::Fixed && rows->hiddenSectionCount() == 0;
    if (appended && uniform &&
        static_cast<qint64>(first) * rows->defaultSectionSize() - verticalOffset() >= viewport()->height()) {
        grewOutOfSight_ = true;
    } else {
        drawsAll_ = true;
    }
}

bool RowTable::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::StyleChange:
        case QEvent::FontChange:
        case QEvent::LayoutDirectionChange:
            drawsAll_ = true;
            break;
        default:
            break;
    }
    return QTableView::event(event);
}

}  // namespace vellumark::file_table
