#include "ui/bindings/selection_binding.h"

#include <QItemSelectionModel>
#include <QScopedValueRollback>

#include <algorithm>

namespace vellumark::bindings {

namespace {

using RowRuns = std::vector<std::pair<int, int>>;

// Sorts `runs` and joins those that overlap or adjoin.
RowRuns joined(RowRuns runs) {
    std::sort(runs.begin(), runs.end());
    RowRuns result;
    result.reserve(runs.size());
    for (const auto& [first, last] : runs) {
        if (!result.empty() && first <= result.back().second + 1) {
            result.back().second = std::max(result.back().second, last);
        } else {
            result.emplace_back(first, last);
        }
    }
    return result;
}

// The rows with at least one cell in `selection`.
RowRuns rowsOf(const QItemSelection& selection) {
    RowRuns runs;
    runs.reserve(static_cast<std::size_t>(selection.size()));
    for (const QItemSelectionRange& range : selection) {
        if (range.isValid()) {
            runs.emplace_back(range.top(), range.bottom());
        }
    }
    return joined(std::move(runs));
}

std::size_t rowCount(const RowRuns& runs) {
    std::size_t count = 0;
    for (const auto& [first, last] : runs) {
        count += static_cast<std::size_t>(last - first + 1);
    }
    return count;
}

}  // namespace

SelectionBinding::SelectionBinding(QAbstractItemView& view, std::function<const Uuid&(int)> idAt,
                                   AppModel& model, QObject* parent)
    : QObject(parent),
      view_(view),
      idAt_(std::move(idAt)),
      model_(model),
      subscription_(model.objectWillChange().subscribe([this] {
          if (!writing_) {
              inStep_ = false;
              stopShowing();
          }
      })) {
    // The view must repaint its own selection, so its selection model's signals are never blocked;
    // the `showing_` flag tells the changes made here from the user's.
    connect(view_.selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                if (!showing_) {
                    userChangedSelection(selected, deselected);
                }
            });
}

void SelectionBinding::userChangedSelection(const QItemSelection& selected,
                                            const QItemSelection& deselected) {
    const RowRuns addedRows = rowsOf(selected);
    const RowRuns removedRows = rowsLeft(deselected);
    const std::size_t added = rowCount(addedRows);
    const std::size_t removed = rowCount(removedRows);
    if (added + removed == 0) {
        return;
    }
    // Only while the model is known to hold what the view showed is the view's selection now the model's
    // next one; otherwise the change is applied to whatever the model holds, and the refresh its write
    // schedules shows the outcome.
    const bool known = inStep_ && unchecked_.empty() && !nextRowToFind_;
    if (!unchecked_.empty() || nextRowToFind_) {
        stopShowing();
        inStep_ = false;
    }
    const std::size_t held = model_.selection().size();
    const std::size_t after = held - std::min(held, removed) + added;
    const QScopedValueRollback<bool> writing(writing_, true);
    // A new set, sized once, costs less when what stays is at most half of what goes (freeing the old set
    // at once beats taking its ids out one by one) and when the selection at least doubles (one set
    // sized for it beats growing the old one step by step). Either way it costs at most three times the
    // change.
    if (!known || (removed < 2 * after && added < held)) {
        model_.changeSelection(idsOf(addedRows), idsOf(removedRows));
    } else {
        const RowRuns rows = rowsOf(view_.selectionModel()->selection());
        Selection ids;
        ids.assign(rowCount(rows), [&](Selection::Filler& fill) {
            for (const auto& [first, last] : rows) {
                for (int row = first; row <= last; ++row) {
                    fill(idAt_(row));
                }
            }
        });
        model_.setSelection(std::move(ids));
    }
    if (known) {
        shownRevision_ = model_.selectionRevision();
    }
}

// The rows of `deselected` that have no selected cell left.
SelectionBinding::RowRuns SelectionBinding::rowsLeft(const QItemSelection& deselected) const {
    const QItemSelectionModel& selectionModel = *view_.selectionModel();
    const int lastColumn = view_.model()->columnCount() - 1;
    RowRuns runs;
    for (const QItemSelectionRange& range : deselected) {
        if (!range.isValid()) {
            continue;
        }
        if (range.left() == 0 && range.right() >= lastColumn) {
            runs.emplace_back(range.top(), range.bottom());
            continue;
        }
        // Only some cells of these rows went: a row with another cell still selected stays.
        for (int row = range.top(); row <= range.bottom(); ++row) {
            if (!selectionModel.rowIntersectsSelection(row, range.parent())) {
                runs.emplace_back(row, row);
            }
        }
    }
    return joined(std::move(runs));
}

std::vector<Uuid> SelectionBinding::idsOf(const RowRuns& rows) const {
    std::vector<Uuid> ids;
    ids.reserve(rowCount(rows));
    for (const auto& [first, last] : rows) {
        for (int row = first; row <= last; ++row) {
            ids.push_back(idAt_(row));
        }
    }
    return ids;
}

void SelectionBinding::showSelection(bool rowsChanged) {
    if (inStep_ && !rowsChanged) {
        return;
    }
    inStep_ = true;
    stopShowing();
    if (!rowsChanged && shownRevision_ == model_.selectionRevision()) {
        return;
    }
    shownRevision_.reset();
    showingRevision_ = model_.selectionRevision();
    const Selection& ids = model_.selection();
    QItemSelectionModel& selectionModel = *view_.selectionModel();
    RowRuns rows = ids.empty() ? RowRuns{} : rowsOf(selectionModel.selection());
    const QAbstractItemModel& model = *view_.model();
    const int rowTotal = model.rowCount();
    if (rows.empty() && rowTotal > 0 && ids.size() == static_cast<std::size_t>(rowTotal)) {
        // As many ids as rows, none shown: rows replaced while all were selected, most likely.
        const ShowingScope showing(*this);
        selectionModel.select(
            QItemSelection(model.index(0, 0), model.index(rowTotal - 1, model.columnCount() - 1)),
            QItemSelectionModel::Select);
        rows = {{0, rowTotal - 1}};
    }
    const bool asMany = ids.empty() ? !selectionModel.hasSelection() : rowCount(rows) == ids.size();
    if (!asMany) {
        select(ids);
        return;
    }
    // As many rows as ids: the same when every row's id is among them.
    unchecked_ = std::move(rows);
    checkRows();
}

// Checks the next rows of `unchecked_` against the model's ids and, while any remain, schedules the rest
// for the next pass of the event loop: checking a million rows at once would stall it. Selects the
// model's rows at the first row whose id the model does not hold.
void SelectionBinding::checkRows() {
    const Selection& ids = model_.selection();
    std::size_t budget = kRowsCheckedPerPass;
    while (!unchecked_.empty() && budget > 0) {
        auto& [first, last] = unchecked_.back();
        for (; last >= first && budget > 0; --last, --budget) {
            if (!ids.contains(idAt_(last))) {
                unchecked_.clear();
                select(ids);
                return;
            }
        }
        if (last < first) {
            unchecked_.pop_back();
        }
    }
    if (unchecked_.empty()) {
        shownRevision_ = showingRevision_;
    }
    if (!unchecked_.empty() && !checkScheduled_) {
        checkScheduled_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                checkScheduled_ = false;
                if (!unchecked_.empty()) {
                    checkRows();
                }
            },
            Qt::QueuedConnection);
    }
}

void SelectionBinding::stopShowing() {
    unchecked_.clear();
    nextRowToFind_.reset();
    found_.clear();
}

void SelectionBinding::select(const Selection& ids) {
    stopShowing();
    nextRowToFind_ = ids.empty() ? view_.model()->rowCount() : 0;
    findRows();
}

// Finds the next slice of rows whose ids the model's selection holds; once past the last row, shows them
// selected in place of what was, and until then schedules the rest for the next pass of the event loop.
void SelectionBinding::findRows() {
    const Selection& ids = model_.selection();
    const QAbstractItemModel& model = *view_.model();
    const int rows = model.rowCount();
    int row = *nextRowToFind_;
    const int end = static_cast<int>(std::min<std::size_t>(
        static_cast<std::size_t>(rows), static_cast<std::size_t>(row) + kRowsCheckedPerPass));
    for (; row < end; ++row) {
        if (ids.contains(idAt_(row))) {
            if (!found_.empty() && found_.back().second + 1 == row) {
                found_.back().second = row;
            } else {
                found_.emplace_back(row, row);
            }
        }
    }
    if (row < rows) {
        nextRowToFind_ = row;
        if (!findScheduled_) {
            findScheduled_ = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    findScheduled_ = false;
                    if (nextRowToFind_) {
                        findRows();
                    }
                },
                Qt::QueuedConnection);
        }
        return;
    }
    nextRowToFind_.reset();
    const int lastColumn = model.columnCount() - 1;
    QItemSelection selection;
    for (const auto& [first, last] : found_) {
        selection.append(QItemSelectionRange(model.index(first, 0), model.index(last, lastColumn)));
    }
    found_.clear();
    const ShowingScope showing(*this);
    QItemSelectionModel& selectionModel = *view_.selectionModel();
    // Cleared first: to tell what changed, Qt compares every old range with every new one unless one side
    // is empty.
    selectionModel.clearSelection();
    selectionModel.select(selection, QItemSelectionModel::Select);
    shownRevision_ = showingRevision_;
}

// One write, whose cost follows the smaller side: the ids of the rows still selected where there are fewer
// rows than hidden items (a narrow filter), else the hidden ids that were selected. Taking ids out one slice
// at a time would cost more: the model's set resizes its table as it shrinks.
void SelectionBinding::deselect(const std::vector<Uuid>& hidden) {
    const Selection& selected = model_.selection();
    if (selected.empty() || hidden.empty()) {
        return;
    }
    const int rows = view_.model()->rowCount();
    const QScopedValueRollback<bool> writing(writing_, true);
    if (static_cast<std::size_t>(rows) < hidden.size()) {
        Selection kept;
        for (int row = 0; row < rows; ++row) {
            if (selected.contains(idAt_(row))) {
                kept.insert(idAt_(row));
            }
        }
        if (kept.size() < selected.size()) {
            model_.setSelection(std::move(kept));
        }
        return;
    }
    std::vector<Uuid> going;
    for (const Uuid& id : hidden) {
        if (selected.contains(id)) {
            going.push_back(id);
        }
    }
    if (!going.empty()) {
        model_.changeSelection({}, going);
    }
}

}  // namespace vellumark::bindings
