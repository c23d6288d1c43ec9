#pragma once

#include "app_model/app_model.h"

#include <QTableView>
#include <QWidget>

namespace vellumark::bindings {
class ModelObserver;
class SelectionBinding;
}  // namespace vellumark::bindings

namespace vellumark::file_table {

class DateCellDelegate;
class FileTableModel;

// The list of items: "Name", "Creation" and "Modification", one row per item, several rows selectable.
// The selection is the model's: every change the user makes writes it once, at a cost proportional to what
// changed, and a refresh shows the model's selection without writing it back. Not sortable, no context
// menu, no action of its own.
class FileTableView : public QWidget {
    Q_OBJECT

public:
    explicit FileTableView(AppModel& model, QWidget* parent = nullptr);
    ~FileTableView() override;

    QTableView& table() const { return *table_; }
    FileTableModel& tableModel() const { return *tableModel_; }

    // Shows the model as it is now; also run on the next event-loop pass after each change.
    void refresh();

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateRowHeight();
    void fitColumns();
    void keepColumnMinimum(int column, int newSize);

    AppModel& model_;
    FileTableModel* tableModel_;
    QTableView* table_;
    DateCellDelegate* dateDelegate_;
    bindings::SelectionBinding* selection_;
    bindings::ModelObserver* observer_;
    bool fittingColumns_ = false;
    bool userSizedColumns_ = false;
};

}  // namespace vellumark::file_table
