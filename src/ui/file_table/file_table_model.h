#pragma once

#include "app_model/app_model.h"
#include "ui/file_table/date_cell.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <array>
#include <unordered_map>
#include <vector>

namespace vellumark::file_table {

enum FileTableColumn : int { nameColumn, creationColumn, modificationColumn, columnCount };

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

inline constexpr std::array<ColumnWidths, columnCount> kColumnWidths{{{140, 200}, {150, 190}, {150, 190}}};

// The table's rows over the model's items, one per item in list order, identified by item id.
//
// Nothing per row is copied or planned on a refresh: data() plans the asked row on demand (with the
// model's configuration and clock at that moment), so an edit costs what the view shows. Rows are
// inserted, removed or reset only when the item list itself changed; otherwise every date cell is
// reported changed and the view repaints the rows it shows. Items the last run could not change show a
// warning sign instead of their kind, and the reason in the name's tooltip.
class FileTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit FileTableModel(const AppModel& model, QObject* parent = nullptr);

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

private:
    const FileItem* itemAt(int row) const;
    bool removeVanishedRows(const std::vector<FileItem>& items);

    const AppModel& model_;
    // The ids the rows stand for, to tell how the list changed since the last refresh.
    std::vector<Uuid> rowIds_;
    std::uint64_t shownRevision_ = 0;
    std::uint64_t shownRemovalRevision_ = 0;
    // While rows are being removed, where the remaining rows' items now are in the list.
    std::unordered_map<Uuid, std::size_t> survivorIndex_;
    // Whether the last refresh found failure marks: their going away must repaint the names too.
    bool marksShown_ = false;
    QIcon folderIcon_;
    QIcon docIcon_;
    QIcon failedIcon_;
};

}  // namespace vellumark::file_table
