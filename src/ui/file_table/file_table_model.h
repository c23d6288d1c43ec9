#pragma once

#include "app_model/app_model.h"
#include "app_model/large_blocks.h"
#include "ui/file_table/date_cell.h"
#include "ui/file_table/row_order.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <array>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vellumark::file_table {

enum FileTableColumn : int { nameColumn, folderColumn, creationColumn, modificationColumn, columnCount };

// The roles the table's cells answer, besides Qt's display, decoration, tooltip and accessible text.
namespace FileTableRole {
enum : int {
    dateCell = Qt::UserRole + 1,  // DateCell, in the two date columns
};
}

struct ColumnWidths {
    int minimum;
    int ideal;
};

inline constexpr std::array<ColumnWidths, columnCount> kColumnWidths{
    {{140, 200}, {60, 200}, {150, 190}, {150, 190}}};

class RowOrdering;

// The table's rows over the model's items, one per item shown, identified by item id: in list order, or
// sorted by a column and narrowed by a filter on names (setOrder). A row's item is found through its list
// position, so that sorted rows cost no lookup.
//
// Nothing per row is copied or planned on a refresh: data() plans the asked row on demand (with the
// model's configuration and clock at that moment), so an edit costs what the view shows. Rows are
// inserted, removed or reset only when the item list itself changed; otherwise every date cell is
// reported changed and the view repaints the rows it shows. Items the last run could not change show a
// warning sign instead of their kind, and the reason in the name's tooltip.
//
// An order other than the list's is computed off the UI thread (RowOrdering); until it is ready the rows
// keep what they showed, and a refresh() then replaces them all at once. Items that leave the list leave
// their rows; items added join the rows with the next order.
class FileTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit FileTableModel(const AppModel& model, QObject* parent = nullptr);
    ~FileTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Re-reads the model. Returns whether rows were inserted, removed or replaced.
    bool refresh();

    const Uuid& idAt(int row) const { return rowIds_[static_cast<std::size_t>(row)]; }

    // The cell of a date column, or nullopt when `row` is not (yet) the item it stood for.
    std::optional<DateCell> dateCell(int row, int column) const;
    // The item a row shows, or null while the row waits for a refresh.
    const FileItem* itemAt(int row) const;

    // The order and the filter the rows are to show, from the next refresh() that has them.
    void setOrder(const OrderChoice& choice);
    const OrderChoice& order() const;
    // Whether the rows show the order set, over every item of the list.
    bool showsOrder() const;
    // How many items the filter hides from the rows shown.
    std::size_t hiddenCount() const { return hiddenCount_; }
    // The ids of the items the filter hides, once after each order shown: their selection is to go.
    std::vector<Uuid> takeNewlyHidden() { return std::exchange(newlyHidden_, {}); }

signals:
    // An order is ready: the next refresh() shows it.
    void orderReady();

private:
    bool followList(const ItemList& items);
    bool showListOrder(const ItemList& items);
    void showOrderedRows(RowOrder order);
    bool removeLeftRows(const std::vector<std::uint32_t>& positions);
    bool removeVanishedRows(const ItemList& items);

    const AppModel& model_;
    // The ids the rows stand for, to tell how the list changed since the last refresh.
    LargeVector<Uuid> rowIds_;
    // While the rows show an order, the list position of each row's item; empty in list order.
    LargeVector<std::uint32_t> rowPositions_;
    bool rowsOrdered_ = false;
    // Items left the list while the order's copy of it was away: positions are unknown until the next order.
    bool positionsLost_ = false;
    std::size_t hiddenCount_ = 0;
    std::vector<Uuid> newlyHidden_;
    RowOrdering* ordering_;
    std::uint64_t shownRevision_ = 0;
    std::uint64_t shownRemovalRevision_ = 0;
    // While rows are being removed, where the remaining rows' items now are in the list.
    std::unordered_map<Uuid, std::size_t> survivorIndex_;
    // Whether the last refresh found failure marks: their going away must repaint the names too.
    bool marksShown_ = false;
    // The plan's instant at the last refresh, and the add under way then (0 for none).
    Date shownInstant_;
    std::uint64_t shownAdd_ = 0;
    QIcon folderIcon_;
    QIcon docIcon_;
    QIcon failedIcon_;
};

}  // namespace vellumark::file_table
