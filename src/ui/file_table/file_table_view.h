#pragma once

#include "app_model/app_model.h"

#include <QTableView>
#include <QWidget>

class QAction;
class QLineEdit;

namespace vellumark::bindings {
class ModelObserver;
class SelectionBinding;
}  // namespace vellumark::bindings

namespace vellumark::file_table {

class DateCellDelegate;
class FileTableModel;

// The list of items: "Name", "Folder", "Creation" and "Modification", one row per item shown, several rows
// selectable, under a field that filters the rows by name (Ctrl+F goes to it, Escape empties it). A click
// on a column's header sorts by it, ascending, then descending, then in the list's own order again; the
// header's menu says whether the date columns sort by the current dates or the new ones. The rows' menu
// removes the selected items, opens an item's folder, or copies the selected items' paths.
//
// The selection is the model's, by item id, so it stays with the items however the rows are ordered: every
// change the user makes writes it once, at a cost proportional to what changed, and a refresh shows the
// model's selection without writing it back. Items the filter hides leave the selection.
class FileTableView : public QWidget {
    Q_OBJECT

public:
    explicit FileTableView(AppModel& model, QWidget* parent = nullptr);
    ~FileTableView() override;

    QTableView& table() const { return *table_; }
    FileTableModel& tableModel() const { return *tableModel_; }

    // Shows the model as it is now; also run on the next event-loop pass after each change.
    void refresh();

    // Puts the keyboard focus in the filter field, its text selected.
    void focusFilter();
    QLineEdit& filterField() const { return *filterField_; }
    // How many items the filter hides.
    std::size_t hiddenByFilter() const;

signals:
    // The rows shown changed without a change of the model: sorted or filtered anew.
    void rowsShownChanged();

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildFilter();
    void buildMenus();
    void updateRowHeight();
    void fitColumns();
    void keepColumnMinimum(int column, int newSize);
    void orderChanged();
    void showRowMenu(const QPoint& position);
    std::vector<const FileItem*> selectedItems() const;

    AppModel& model_;
    FileTableModel* tableModel_;
    QLineEdit* filterField_ = nullptr;
    QTableView* table_;
    DateCellDelegate* dateDelegate_;
    bindings::SelectionBinding* selection_;
    bindings::ModelObserver* observer_;
    QAction* newDatesAction_ = nullptr;
    QAction* copyPathAction_ = nullptr;
    bool fittingColumns_ = false;
    bool userSizedColumns_ = false;
};

}  // namespace vellumark::file_table
