#pragma once

#include "app_model/app_model.h"
#include "model/uuid.h"

#include <QAbstractItemView>
#include <QObject>

#include <functional>

namespace vellumark::toolkit {

// Binds a table's row selection to a set of row ids. Any change of the selection by the user writes the
// whole set once; showSelection() selects the rows of the given ids without writing. Changes the view
// makes while its rows are replaced are not the user's either: wrap them in a ShowingScope.
class SelectionBinding : public QObject {
    Q_OBJECT

public:
    SelectionBinding(QAbstractItemView& view, std::function<const Uuid&(int row)> idAt,
                     std::function<void(Selection)> write, QObject* parent = nullptr);

    // Selects exactly the rows whose ids are in `ids` (ids of no row are ignored). Does nothing when the
    // set is what the view already shows, unless the rows were replaced since (`rowsChanged`).
    void showSelection(const Selection& ids, bool rowsChanged);

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
    void userChangedSelection();
    Selection selectedIds() const;

    QAbstractItemView& view_;
    std::function<const Uuid&(int)> idAt_;
    std::function<void(Selection)> write_;
    Selection shown_;
    bool showing_ = false;
};

}  // namespace vellumark::toolkit
