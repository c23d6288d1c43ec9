#include "ui/file_table/file_table_model.h"

#include "model/planner.h"
#include "ui/file_table/date_text.h"
#include "ui/toolkit/path_text.h"
#include "ui/toolkit/symbol_icons.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>

namespace vellumark::file_table {

namespace {

// Beyond this many separate runs of removed rows, one reset is cheaper for the view than many removals.
constexpr std::size_t kMostRemovedRuns = 32;
constexpr std::size_t kSampledIds = 64;

bool sameId(const Uuid& a, const Uuid& b) {
    std::uint64_t wordsA[2];
    std::uint64_t wordsB[2];
    std::memcpy(wordsA, a.bytes().data(), sizeof wordsA);
    std::memcpy(wordsB, b.bytes().data(), sizeof wordsB);
    return ((wordsA[0] ^ wordsB[0]) | (wordsA[1] ^ wordsB[1])) == 0;
}

// Whether the first `count` rows still stand for the first `count` items. The model changes its list
// only by appending, by removals that keep the order, and by refreshes that give every item a new id:
// each of these changes the id at the last of those positions, unless it changes none of them. So
// the last position and a sample of others answer without reading every id after every edit (with
// many items, reading them all would cost a large part of a redraw).
bool sameIds(const std::vector<Uuid>& ids, const std::vector<FileItem>& items, std::size_t count) {
    if (count == 0) {
        return true;
    }
    const std::size_t step = std::max<std::size_t>(1, count / kSampledIds);
    for (std::size_t i = 0; i < count; i += step) {
        if (!sameId(ids[i], items[i].id())) {
            return false;
        }
    }
    return sameId(ids[count - 1], items[count - 1].id());
}

}  // namespace

FileTableModel::FileTableModel(const AppModel& model, QObject* parent)
    : QAbstractTableModel(parent),
      model_(model),
      folderIcon_(toolkit::symbolIcon(u"folder")),
      docIcon_(toolkit::symbolIcon(u"doc")) {
    refresh();
}

int FileTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rowIds_.size());
}

int FileTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FileTableColumn::columnCount;
}

const FileItem* FileTableModel::itemAt(int row) const {
    const auto index = static_cast<std::size_t>(row);
    const std::vector<FileItem>& items = model_.items();
    if (row < 0 || index >= rowIds_.size()) {
        return nullptr;
    }
    if (index < items.size() && items[index].id() == rowIds_[index]) {
        return &items[index];
    }
    // Rows that stay while others are being removed still show their items (the view may ask).
    if (const auto survivor = survivorIndex_.find(rowIds_[index]); survivor != survivorIndex_.end()) {
        return &items[survivor->second];
    }
    // Between a change of the list and the refresh it schedules, a row may stand for an item that went.
    return nullptr;
}

std::optional<DateCell> FileTableModel::dateCell(int row, int column) const {
    const FileItem* item = itemAt(row);
    if (item == nullptr || (column != creationColumn && column != modificationColumn)) {
        return std::nullopt;
    }
    const PlannedDates planned = planDates(*item, model_.config(), model_.clock()());
    return column == creationColumn ? DateCell(item->creationDate, planned.newCreation)
                                    : DateCell(item->modificationDate, planned.newModification);
}

QVariant FileTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    const FileItem* item = itemAt(index.row());
    if (item == nullptr) {
        return {};
    }
    if (index.column() == nameColumn) {
        switch (role) {
            case Qt::DisplayRole:
            case Qt::AccessibleTextRole:
                return toolkit::displayName(item->url());
            case Qt::DecorationRole:
                return item->isDirectory ? folderIcon_ : docIcon_;
            case Qt::ToolTipRole:
                return toolkit::displayPath(item->url());
            default:
                return {};
        }
    }
    switch (role) {
        case FileTableRole::dateCell:
            return QVariant::fromValue(*dateCell(index.row(), index.column()));
        case Qt::AccessibleTextRole: {
            QStringList texts;
            for (const DateCellLine& line : dateCellLines(*dateCell(index.row(), index.column()))) {
                texts.append(line.text);
            }
            return texts.join(QLatin1Char('\n'));
        }
        default:
            return {};
    }
}

QVariant FileTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
        case nameColumn:
            return QCoreApplication::translate("FileTableView", "Name");
        case creationColumn:
            return QCoreApplication::translate("FileTableView", "Creation");
        case modificationColumn:
            return QCoreApplication::translate("FileTableView", "Modification");
        default:
            return {};
    }
}

Qt::ItemFlags FileTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

bool FileTableModel::refresh() {
    const std::vector<FileItem>& items = model_.items();
    const std::size_t shown = rowIds_.size();
    bool rowsChanged = true;
    if (items.size() == shown && sameIds(rowIds_, items, shown)) {
        rowsChanged = false;
    } else if (items.size() > shown && sameIds(rowIds_, items, shown)) {
        beginInsertRows({}, static_cast<int>(shown), static_cast<int>(items.size() - 1));
        for (std::size_t i = shown; i < items.size(); ++i) {
            rowIds_.push_back(items[i].id());
        }
        endInsertRows();
    } else if (!removeVanishedRows(items)) {
        beginResetModel();
        rowIds_.clear();
        rowIds_.reserve(items.size());
        for (const FileItem& item : items) {
            rowIds_.push_back(item.id());
        }
        endResetModel();
    }
    // The configuration or the clock may have moved on: every planned date may differ.
    if (!rowIds_.empty()) {
        emit dataChanged(index(0, creationColumn),
                         index(static_cast<int>(rowIds_.size()) - 1, modificationColumn),
                         {FileTableRole::dateCell, Qt::AccessibleTextRole});
    }
    return rowsChanged;
}

// When the new list is the old one with some items taken out (in the same order), removes those rows,
// run by run from the bottom, so that the view keeps its scroll position. Returns false, changing
// nothing, when the list changed in another way or too many runs went.
bool FileTableModel::removeVanishedRows(const std::vector<FileItem>& items) {
    if (items.size() >= rowIds_.size()) {
        return false;
    }
    std::vector<std::pair<std::size_t, std::size_t>> runs;  // [first, last] of removed rows
    std::size_t next = 0;
    for (std::size_t row = 0; row < rowIds_.size(); ++row) {
        if (next < items.size() && items[next].id() == rowIds_[row]) {
            ++next;
        } else if (!runs.empty() && runs.back().second + 1 == row) {
            runs.back().second = row;
        } else {
            if (runs.size() == kMostRemovedRuns) {
                return false;
            }
            runs.emplace_back(row, row);
        }
    }
    if (next != items.size()) {
        return false;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        survivorIndex_.emplace(items[i].id(), i);
    }
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        beginRemoveRows({}, static_cast<int>(run->first), static_cast<int>(run->second));
        rowIds_.erase(rowIds_.begin() + static_cast<std::ptrdiff_t>(run->first),
                      rowIds_.begin() + static_cast<std::ptrdiff_t>(run->second) + 1);
        endRemoveRows();
    }
    survivorIndex_.clear();
    return true;
}

}  // namespace vellumark::file_table
