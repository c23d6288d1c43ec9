#pragma once

#include "app_model/app_model.h"
#include "model/uuid.h"

#include <QAbstractItemView>
#include <QItemSelection>
#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace vellumark::bindings {

// Binds a table's row selection to the model's selection, a set of row ids. Each change of the selection by
// the user writes the model once, at a cost proportional to what changed, not to what is selected:
// the ids of the rows it selected and deselected, or, where that is cheaper, a new set built once from
// the rows now selected. showSelection() selects the rows of the model's ids without writing. Changes
// the view makes while its rows are replaced are not the user's either: wrap them in a ShowingScope.
//
// While nothing but this binding writes the model, the model holds the ids of the rows the view shows and
// showSelection() has nothing to do; nor after another write that left the selection and the rows alone
// (an edit of the settings with a million rows selected). After any other write the next showSelection()
// compares the two, and selects the model's rows where they differ: at once when their numbers differ, else
// as soon as a row's id is found missing, checking many rows a slice per pass of the event loop. Finding the
// rows of the model's ids among many rows also takes a slice per pass, the view showing them when all are
// found.
//
// Rows replaced while all were selected (sorted anew) are all selected again at once, then checked.
//
// `idAt` only reads: a new set of many rows is built by two threads, each calling it for every row.
class SelectionBinding : public QObject {
    Q_OBJECT

public:
    SelectionBinding(QAbstractItemView& view, std::function<const Uuid&(int row)> idAt, AppModel& model,
                     QObject* parent = nullptr);

    // Selects exactly the rows whose ids the model's selection holds (ids of no row are ignored). Does
    // nothing while only this binding wrote the model since, unless the rows were replaced
    // (`rowsChanged`).
    void showSelection(bool rowsChanged);

    // Takes the `hidden` ids out of the model's selection: the items of rows a filter hid, which the user
    // can no longer see selected (and would not expect Remove to take).
    void deselect(const std::vector<Uuid>& hidden);

    class ShowingScope {
    public:
        explicit ShowingScope(SelectionBinding& binding) : binding_(binding), previous_(binding.showing_) {
            binding_.showing_ = true;
        }
        ~ShowingScope() { binding_.showing_ = previous_; }
        ShowingScope(const ShowingScope&) = delete;
        ShowingScope& operator=(const ShowingScope&) = delete;

    private:
        SelectionBinding& binding_;
        bool previous_;
    };

private:
    // First and last row of each run of rows, ascending, neither overlapping nor adjoining.
    using RowRuns = std::vector<std::pair<int, int>>;

    void userChangedSelection(const QItemSelection& selected, const QItemSelection& deselected);
    RowRuns rowsLeft(const QItemSelection& deselected) const;
    std::vector<Uuid> idsOf(const RowRuns& rows) const;
    void checkRows();
    void select(const Selection& ids);
    void findRows();
    void stopShowing();

    QAbstractItemView& view_;
    std::function<const Uuid&(int)> idAt_;
    AppModel& model_;
    ChangePublisher::Subscription subscription_;
    bool showing_ = false;
    bool writing_ = false;
    // Whether the model is known to hold what the view shows, or is being checked to: not until the first
    // showSelection(), and no longer from any write of the model but this binding's.
    bool inStep_ = false;
    // The model's selection revision the view was found to show, row for row, since its rows were last
    // replaced: another write of the model that leaves the selection alone needs no comparison. And the
    // revision being compared or found now.
    std::optional<std::uint64_t> shownRevision_;
    std::uint64_t showingRevision_ = 0;
    // Selected rows not yet checked against the model's ids.
    RowRuns unchecked_;
    bool checkScheduled_ = false;
    // While the rows of the model's ids are being found: the next row to look at, and the runs found.
    std::optional<int> nextRowToFind_;
    RowRuns found_;
    bool findScheduled_ = false;
    static constexpr std::size_t kRowsCheckedPerPass = 1 << 16;
};

}  // namespace vellumark::bindings
