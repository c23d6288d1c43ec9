#pragma once

#include <QList>
#include <QTableView>

namespace vellumark::file_table {

// The file table's view: a QTableView whose rows all have the same height, with two costs of Qt's own
// taken away for lists of a million rows.
//
// Qt finds what Select All changed by comparing the old selection with the new one range by range, which
// takes the square of the ranges: with ten thousand rows selected here and there, seconds. Past
// kClearedFirst ranges the selection is cleared first, unseen, so that each comparison has an empty side;
// Select All then reports every row selected, one write of the user's change, and every row is redrawn.
// A selection of a few ranges is compared as ever, and what Select All adds to it is all it reports.
//
// A list growing below the rows shown changes none of them, and laying the table out again then only
// moves the scroll bar: the rows shown are not drawn again for each batch of a million items being added.
// Any other change to the model or of the model, and any change of style, draws the table in full.
class RowTable final : public QTableView {
public:
    using QTableView::QTableView;

    void setModel(QAbstractItemModel* model) override;
    void reset() override;
    void setRootIndex(const QModelIndex& index) override;
    void doItemsLayout() override;
    void selectAll() override;

protected:
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles) override;
    void rowsInserted(const QModelIndex& parent, int first, int last) override;
    bool event(QEvent* event) override;

private:
    // Since the last layout: rows were appended below the rows shown, and something else changed.
    bool grewOutOfSight_ = false;
    bool drawsAll_ = false;
    QList<QMetaObject::Connection> modelConnections_;
};

}  // namespace vellumark::file_table
