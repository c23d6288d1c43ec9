#include "ui/file_table/file_table_model.h"

#include "app_model/visible_text.h"
#include "model/planner.h"
#include "ui/file_table/row_ordering.h"
#include "ui/toolkit/date_text.h"
#include "ui/toolkit/path_text.h"
#include "ui/toolkit/symbol_icons.h"

#include <QCoreApplication>

#include <algorithm>

namespace vellumark::file_table {

namespace {

// Beyond this many separate runs of removed rows, one reset is cheaper for the view than many removals.
constexpr std::size_t kMostRemovedRuns = 32;

// Whether the first `count` rows still stand for the first `count` items.
bool sameIds(const LargeVector<Uuid>& ids, const ItemList& items, std::size_t count) {
    return std::equal(ids.begin(), ids.begin() + static_cast<std::ptrdiff_t>(count), items.begin(),
                      [](const Uuid& id, const FileItem& item) { return id == item.id(); });
}

// "Could not be changed: the volume is read-only"
QString failedText(const std::string& reason) {
    return QCoreApplication::translate("FileTableView", "Could not be changed: %1")
        .arg(QString::fromStdString(reason));
}

}  // namespace

FileTableModel::FileTableModel(const AppModel& model, QObject* parent)
    : QAbstractTableModel(parent),
      model_(model),
      folderIcon_(toolkit::symbolIcon(u"folder")),
      docIcon_(toolkit::symbolIcon(u"doc")),
      failedIcon_(toolkit::symbolIcon(u"exclamationmark.triangle.fill")) {
    ordering_ = new RowOrdering(model_, this);
    connect(ordering_, &RowOrdering::orderReady, this, &FileTableModel::orderReady);
    refresh();
}

FileTableModel::~FileTableModel() = default;

int FileTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rowIds_.size());
}

int FileTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FileTableColumn::columnCount;
}

const FileItem* FileTableModel::itemAt(int row) const {
    const auto index = static_cast<std::size_t>(row);
    const ItemList& items = model_.items();
    if (row < 0 || index >= rowIds_.size()) {
        return nullptr;
    }
    const std::size_t position = rowsOrdered_ ? rowPositions_[index] : index;
    if (position < items.size() && items[position].id() == rowIds_[index]) {
        return &items[position];
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
    // The instant the count was planned with: rows and count drawn together never disagree.
    const PlannedDates planned = planDates(*item, model_.config(), model_.planInstant());
    return column == creationColumn
               ? DateCell(item->creationDate, planned.newCreation, planned.creationFate, item->volume)
               : DateCell(item->modificationDate, planned.newModification, planned.modificationFate,
                          item->volume);
}

QVariant FileTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    const FileItem* item = itemAt(index.row());
    if (item == nullptr) {
        return {};
    }
    if (index.column() == folderColumn) {
        const bool text =
            role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole;
        return text ? QString::fromStdString(visibleText(folderOf(item->path()))) : QVariant();
    }
    if (index.column() == nameColumn) {
        const auto& marks = model_.failureMarks();
        const auto failure = marks.find(item->id());
        const bool failed = failure != marks.end();
        switch (role) {
            case Qt::DisplayRole:
                return toolkit::displayName(item->url());
            case Qt::AccessibleTextRole:
                return failed ? toolkit::displayName(item->url()) + QStringLiteral(". ") +
                                    failedText(failure->second)
                              : toolkit::displayName(item->url());
            case Qt::DecorationRole:
                return failed ? failedIcon_ : item->isDirectory ? folderIcon_ : docIcon_;
            case Qt::ToolTipRole:
                return failed ? failedText(failure->second) + QLatin1Char('\n') +
                                    toolkit::displayPath(item->url())
                              : toolkit::displayPath(item->url());
            default:
                return {};
        }
    }
    switch (role) {
        case FileTableRole::dateCell:
            return QVariant::fromValue(*dateCell(index.row(), index.column()));
        case Qt::ToolTipRole: {
            const QString tip = dateCellToolTip(*dateCell(index.row(), index.column()));
            return tip.isEmpty() ? QVariant() : QVariant(tip);
        }
        case Qt::AccessibleTextRole:
            return dateCellAccessibleText(
                *dateCell(index.row(), index.column()),
                headerData(index.column(), Qt::Horizontal, Qt::DisplayRole).toString());
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
        case folderColumn:
            return QCoreApplication::translate("FileTableView", "Folder");
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

void FileTableModel::setOrder(const OrderChoice& choice) {
    ordering_->setChoice(choice);
}

const OrderChoice& FileTableModel::order() const {
    return ordering_->choice();
}

bool FileTableModel::showsOrder() const {
    if (ordering_->choice().showsList()) {
        return !rowsOrdered_;
    }
    return rowsOrdered_ && !positionsLost_ && ordering_->isCurrent();
}

bool FileTableModel::refresh() {
    const ItemList& items = model_.items();
    const RowOrdering::ListChange change = ordering_->follow();
    bool rowsChanged = false;
    if (ordering_->choice().showsList()) {
        rowsChanged = rowsOrdered_ ? showListOrder(items) : followList(items);
    } else {
        if (rowsOrdered_ && change.itemsLeft) {
            rowsChanged = change.positions && !positionsLost_ && removeLeftRows(*change.positions);
            positionsLost_ = positionsLost_ || !change.positions;
        }
        if (std::optional<RowOrder> order = ordering_->takeOrder()) {
            showOrderedRows(std::move(*order));
            rowsChanged = true;
        } else if (!rowsOrdered_) {
            // Until the first order is ready the rows go on showing the list.
            rowsChanged = followList(items);
        }
    }
    shownRevision_ = model_.itemsRevision();
    shownRemovalRevision_ = model_.removalRevision();
    // The configuration or the clock may have moved on: every planned date may differ. Names change only
    // when failure marks come or go. While items are being added neither can move, and the items listed
    // keep their dates: only the rows inserted need drawing, and a window adding a million items does
    // not draw every row shown again for each batch. Between two adds the dates may have been read again.
    const bool marksShown = !model_.failureMarks().empty();
    const Date instant = model_.planInstant();
    const bool adding = model_.activity() == Activity::adding;
    const bool datesKept =
        adding && shownAdd_ == model_.addsBegun() && instant == shownInstant_ && marksShown == marksShown_;
    shownInstant_ = instant;
    shownAdd_ = adding ? model_.addsBegun() : 0;
    if (!rowIds_.empty() && !datesKept) {
        const bool names = marksShown || marksShown_;
        emit dataChanged(index(0, names ? nameColumn : creationColumn),
                         index(static_cast<int>(rowIds_.size()) - 1, modificationColumn),
                         names
                             ? QList<int>{FileTableRole::dateCell, Qt::ToolTipRole, Qt::AccessibleTextRole,
                                          Qt::DecorationRole}
                             : QList<int>{FileTableRole::dateCell, Qt::ToolTipRole, Qt::AccessibleTextRole});
    }
    marksShown_ = marksShown;
    return rowsChanged;
}

// Rows in list order: inserted as the list grows, removed as items leave it, all replaced otherwise.
bool FileTableModel::followList(const ItemList& items) {
    const std::size_t shown = rowIds_.size();
    // Most refreshes follow an edit of the configuration: the list itself is only read when it changed.
    // Nothing left the list since the last refresh: the rows shown still stand for the first items, and
    // a list of a million growing by batches is not compared again at every batch.
    const bool onlyGrew = model_.removalRevision() == shownRemovalRevision_ && items.size() >= shown;
    if (model_.itemsRevision() == shownRevision_ ||
        (items.size() == shown && (onlyGrew || sameIds(rowIds_, items, shown)))) {
        return false;
    }
    if (items.size() > shown && (onlyGrew || sameIds(rowIds_, items, shown))) {
        prepareGrowth(rowIds_, items.size() - shown);
        beginInsertRows({}, static_cast<int>(shown), static_cast<int>(items.size() - 1));
        for (std::size_t i = shown; i < items.size(); ++i) {
            rowIds_.push_back(items[i].id());
        }
        endInsertRows();
    } else if (!removeVanishedRows(items)) {
        showListOrder(items);
    }
    return true;
}

bool FileTableModel::showListOrder(const ItemList& items) {
    beginResetModel();
    rowIds_.clear();
    rowIds_.reserve(items.size());
    for (const FileItem& item : items) {
        rowIds_.push_back(item.id());
    }
    LargeVector<std::uint32_t>().swap(rowPositions_);
    rowsOrdered_ = false;
    positionsLost_ = false;
    hiddenCount_ = 0;
    newlyHidden_.clear();
    endResetModel();
    return true;
}

void FileTableModel::showOrderedRows(RowOrder order) {
    beginResetModel();
    rowIds_ = std::move(order.ids);
    rowPositions_ = std::move(order.positions);
    rowsOrdered_ = true;
    positionsLost_ = false;
    hiddenCount_ = order.hidden.size();
    newlyHidden_ = std::move(order.hidden);
    endResetModel();
}

// After items left the list, moves each ordered row to its item's new position and removes the rows of
// the items gone, run by run from the bottom (or all at once past kMostRemovedRuns runs). The order stays
// right: the list kept the order of the items that remain. Returns whether rows went.
bool FileTableModel::removeLeftRows(const std::vector<std::uint32_t>& positions) {
    if (std::any_of(rowPositions_.begin(), rowPositions_.end(),
                    [&](std::uint32_t position) { return position >= positions.size(); })) {
        positionsLost_ = true;
        return false;
    }
    std::vector<std::pair<std::size_t, std::size_t>> runs;  // [first, last] of rows gone
    for (std::size_t row = 0; row < rowPositions_.size(); ++row) {
        rowPositions_[row] = positions[rowPositions_[row]];
        if (rowPositions_[row] != RowOrdering::kGone) {
            continue;
        }
        if (!runs.empty() && runs.back().second + 1 == row) {
            runs.back().second = row;
        } else {
            runs.emplace_back(row, row);
        }
    }
    std::size_t rowsGone = 0;
    for (const auto& [first, last] : runs) {
        rowsGone += last - first + 1;
    }
    const auto gone =
        static_cast<std::size_t>(std::count(positions.begin(), positions.end(), RowOrdering::kGone));
    hiddenCount_ -= std::min(hiddenCount_, gone - rowsGone);
    if (runs.empty()) {
        return false;
    }
    const auto eraseRows = [this](std::size_t first, std::size_t last) {
        rowIds_.erase(rowIds_.begin() + static_cast<std::ptrdiff_t>(first),
                      rowIds_.begin() + static_cast<std::ptrdiff_t>(last) + 1);
        rowPositions_.erase(rowPositions_.begin() + static_cast<std::ptrdiff_t>(first),
                            rowPositions_.begin() + static_cast<std::ptrdiff_t>(last) + 1);
    };
    if (runs.size() > kMostRemovedRuns) {
        beginResetModel();
        std::size_t kept = 0;
        for (std::size_t row = 0; row < rowPositions_.size(); ++row) {
            if (rowPositions_[row] != RowOrdering::kGone) {
                rowIds_[kept] = rowIds_[row];
                rowPositions_[kept++] = rowPositions_[row];
            }
        }
        rowIds_.resize(kept);
        rowPositions_.resize(kept);
        endResetModel();
        return true;
    }
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        beginRemoveRows({}, static_cast<int>(run->first), static_cast<int>(run->second));
        eraseRows(run->first, run->second);
        endRemoveRows();
    }
    return true;
}

// When the new list is the old one with some items taken out (in the same order), removes those rows,
// run by run from the bottom, so that the view keeps its scroll position. Returns false, changing
// nothing, when the list changed in another way or too many runs went.
bool FileTableModel::removeVanishedRows(const ItemList& items) {
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
