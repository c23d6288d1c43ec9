#include "ui/toolkit/selection_binding.h"

#include <QItemSelectionModel>

namespace vellumark::toolkit {

SelectionBinding::SelectionBinding(QAbstractItemView& view, std::function<const Uuid&(int)> idAt,
                                   std::function<void(Selection)> write, QObject* parent)
    : QObject(parent), view_(view), idAt_(std::move(idAt)), write_(std::move(write)) {
    // The view must repaint its own selection, so its selection model's signals are never blocked;
    // the `showing_` flag tells the changes made here from the user's.
    connect(view_.selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!showing_) {
            userChangedSelection();
        }
    });
}

void SelectionBinding::userChangedSelection() {
    shown_ = selectedIds();
    write_(shown_);
}

Selection SelectionBinding::selectedIds() const {
    Selection ids;
    const QItemSelection selection = view_.selectionModel()->selection();
    for (const QItemSelectionRange& range : selection) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            ids.insert(idAt_(row));
        }
    }
    return ids;
}

void SelectionBinding::showSelection(const Selection& ids, bool rowsChanged) {
    if (!rowsChanged && ids == shown_) {
        return;
    }
    const ShowingScope showing(*this);
    shown_ = ids;
    QItemSelectionModel& selectionModel = *view_.selectionModel();
    const QAbstractItemModel& model = *view_.model();
    if (ids.empty()) {
        selectionModel.clearSelection();
        return;
    }
    const int rows = model.rowCount();
    const int lastColumn = model.columnCount() - 1;
    QItemSelection selection;
    int runStart = -1;
    const auto closeRun = [&](int end) {
        if (runStart >= 0) {
            selection.append(QItemSelectionRange(model.index(runStart, 0), model.index(end, lastColumn)));
            runStart = -1;
        }
    };
    for (int row = 0; row < rows; ++row) {
        if (ids.contains(idAt_(row))) {
            if (runStart < 0) {
                runStart = row;
            }
        } else {
            closeRun(row - 1);
        }
    }
    closeRun(rows - 1);
    selectionModel.select(selection, QItemSelectionModel::ClearAndSelect);
}

}  // namespace vellumark::toolkit
