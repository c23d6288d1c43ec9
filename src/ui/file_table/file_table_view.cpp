#include "ui/file_table/file_table_view.h"

#include "ui/bindings/model_observer.h"
#include "ui/bindings/selection_binding.h"
#include "ui/file_table/date_cell_delegate.h"
#include "ui/file_table/file_table_model.h"
#include "ui/file_table/row_commands.h"
#include "ui/file_table/row_table.h"
#include "ui/toolkit/contrast.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QDesktopServices>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace vellumark::file_table {

namespace {

// A date column is never narrower than its dates in the table's font.
ColumnWidths widthsOf(const QTableView& table, int column) {
    ColumnWidths widths = kColumnWidths[static_cast<std::size_t>(column)];
    if (column == creationColumn || column == modificationColumn) {
        const int dates = DateCellDelegate::columnWidth(table.font(), &table);
        widths = {std::max(widths.minimum, dates), std::max(widths.ideal, dates)};
    }
    return widths;
}

// Folders are long and alike at the start: they lose their middle to the ellipsis, keeping where they
// begin and the last folders, which tell them apart.
class FolderDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideMiddle;
    }
};

SortKey sortKeyOf(int column, bool newDates) {
    switch (column) {
        case nameColumn:
            return SortKey::name;
        case folderColumn:
            return SortKey::folder;
        case creationColumn:
            return newDates ? SortKey::newCreation : SortKey::creation;
        case modificationColumn:
            return newDates ? SortKey::newModification : SortKey::modification;
        default:
            return SortKey::listOrder;
    }
}

}  // namespace

FileTableView::FileTableView(AppModel& model, QWidget* parent)
    : QWidget(parent),
      model_(model),
      tableModel_(new FileTableModel(model, this)),
      table_(new RowTable(this)),
      dateDelegate_(new DateCellDelegate(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildFilter();
    layout->addWidget(table_);

    table_->setModel(tableModel_);
    table_->setItemDelegateForColumn(folderColumn, new FolderDelegate(this));
    table_->setItemDelegateForColumn(creationColumn, dateDelegate_);
    table_->setItemDelegateForColumn(modificationColumn, dateDelegate_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->setTextElideMode(Qt::ElideRight);
    table_->setShowGrid(false);
    table_->setAlternatingRowColors(true);
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    table_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    table_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    table_->setObjectName(QStringLiteral("fileTable"));
    table_->setAccessibleName(tr("Files"));
    // Tab moves on to the next control; the arrow keys move within the list.
    table_->setTabKeyNavigation(false);
    table_->setPalette(toolkit::withReadableSelection(palette()));

    // Every row has the same height, so the view never measures rows: with many items only the visible
    // ones cost anything.
    QHeaderView* rows = table_->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    updateRowHeight();

    QHeaderView* columns = table_->horizontalHeader();
    // The header keeps the sort: ascending, descending, then none (the list's order).
    columns->setSectionsClickable(true);
    columns->setSortIndicatorShown(true);
    columns->setSortIndicatorClearable(true);
    columns->setSortIndicator(-1, Qt::AscendingOrder);
    columns->setHighlightSections(false);
    // The header draws no selection, yet with the table's selection it asks on every paint whether each
    // column is wholly selected, which reads every row while all are. Its own, empty selection spares it.
    columns->setSelectionModel(new QItemSelectionModel(tableModel_, columns));
    columns->setSectionsMovable(false);
    columns->setStretchLastSection(false);
    columns->setContextMenuPolicy(Qt::ActionsContextMenu);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setMinimumSectionSize(kColumnWidths[folderColumn].minimum);
    for (int column = 0; column < FileTableColumn::columnCount; ++column) {
        columns->resizeSection(column, widthsOf(*table_, column).ideal);
    }
    connect(columns, &QHeaderView::sectionResized, this,
            [this](int column, int, int newSize) { keepColumnMinimum(column, newSize); });
    connect(columns, &QHeaderView::sortIndicatorChanged, this, [this] { orderChanged(); });
    table_->viewport()->installEventFilter(this);
    buildMenus();

    selection_ = new bindings::SelectionBinding(
        *table_, [this](int row) -> const Uuid& { return tableModel_->idAt(row); }, model_, this);
    observer_ = new bindings::ModelObserver(
        model_, [this] { refresh(); }, this);
    connect(tableModel_, &FileTableModel::orderReady, this, [this] { refresh(); });
    refresh();
}

FileTableView::~FileTableView() = default;

void FileTableView::buildFilter() {
    filterField_ = new QLineEdit(this);
    filterField_->setObjectName(QStringLiteral("filterField"));
    filterField_->setPlaceholderText(tr("Filter by Name"));
    filterField_->setAccessibleName(tr("Filter by name"));
    filterField_->setClearButtonEnabled(true);
    // Reached by Ctrl+F or a click; Tab goes from the toolbar to the rows.
    filterField_->setFocusPolicy(Qt::ClickFocus);
    filterField_->setToolTip(
        tr("Filter by name (%1)").arg(QKeySequence(QKeySequence::Find).toString(QKeySequence::NativeText)));
    if (const QIcon find = QIcon::fromTheme(QStringLiteral("edit-find")); !find.isNull()) {
        filterField_->addAction(find, QLineEdit::LeadingPosition);
    }
    filterField_->setMaximumWidth(filterField_->fontMetrics().averageCharWidth() * 36);
    filterField_->installEventFilter(this);
    connect(filterField_, &QLineEdit::textChanged, this, [this] { orderChanged(); });

    auto* bar = new QHBoxLayout;
    const int margin = style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing);
    bar->setContentsMargins(margin, margin, margin, margin);
    bar->addStretch();
    bar->addWidget(filterField_);
    static_cast<QVBoxLayout*>(layout())->addLayout(bar);

    auto* find = new QAction(tr("Find"), this);
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WindowShortcut);
    connect(find, &QAction::triggered, this, &FileTableView::focusFilter);
    addAction(find);
}

void FileTableView::buildMenus() {
    QHeaderView* columns = table_->horizontalHeader();
    auto* dates = new QActionGroup(columns);
    auto* currentDates = new QAction(tr("Sort by Current Dates"), dates);
    currentDates->setCheckable(true);
    currentDates->setChecked(true);
    newDatesAction_ = new QAction(tr("Sort by New Dates"), dates);
    newDatesAction_->setObjectName(QStringLiteral("sortByNewDates"));
    newDatesAction_->setCheckable(true);
    connect(dates, &QActionGroup::triggered, this, [this] { orderChanged(); });
    columns->addActions(dates->actions());

    copyPathAction_ = new QAction(tr("Copy Path"), this);
    copyPathAction_->setObjectName(QStringLiteral("copyPathAction"));
    copyPathAction_->setShortcut(QKeySequence::Copy);
    copyPathAction_->setShortcutContext(Qt::WidgetShortcut);
    connect(copyPathAction_, &QAction::triggered, this, [this] {
        const std::vector<const FileItem*> items = selectedItems();
        if (!items.empty()) {
            QGuiApplication::clipboard()->setMimeData(pathsMimeData(items).release());
        }
    });
    table_->addAction(copyPathAction_);
    connect(table_, &QWidget::customContextMenuRequested, this, &FileTableView::showRowMenu);
}

void FileTableView::refresh() {
    // Rows replaced here are not the user's selection changes.
    const bindings::SelectionBinding::ShowingScope showing(*selection_);
    const std::size_t hidden = tableModel_->hiddenCount();
    const QModelIndex current = table_->currentIndex();
    const std::optional<Uuid> currentId =
        current.isValid() ? std::optional<Uuid>(tableModel_->idAt(current.row())) : std::nullopt;
    const bool rowsChanged = tableModel_->refresh();
    // Rows replaced all at once lose the current row: it stays with its item, as the selection does.
    if (rowsChanged && currentId && !table_->currentIndex().isValid()) {
        for (int row = 0; row < tableModel_->rowCount(); ++row) {
            if (tableModel_->idAt(row) == *currentId) {
                table_->selectionModel()->setCurrentIndex(tableModel_->index(row, nameColumn),
                                                          QItemSelectionModel::NoUpdate);
                break;
            }
        }
    }
    selection_->showSelection(rowsChanged);
    if (std::vector<Uuid> newlyHidden = tableModel_->takeNewlyHidden(); !newlyHidden.empty()) {
        selection_->deselect(newlyHidden);
    }
    if (hidden != tableModel_->hiddenCount()) {
        emit rowsShownChanged();
    }
}

void FileTableView::focusFilter() {
    filterField_->setFocus(Qt::ShortcutFocusReason);
    filterField_->selectAll();
}

std::size_t FileTableView::hiddenByFilter() const {
    return tableModel_->hiddenCount();
}

void FileTableView::orderChanged() {
    const QHeaderView& columns = *table_->horizontalHeader();
    OrderChoice choice;
    choice.key = sortKeyOf(columns.sortIndicatorSection(), newDatesAction_->isChecked());
    choice.descending = columns.sortIndicatorOrder() == Qt::DescendingOrder;
    choice.filter = filterField_->text();
    tableModel_->setOrder(choice);
    refresh();
}

void FileTableView::showRowMenu(const QPoint& position) {
    QModelIndex clicked = table_->indexAt(position);
    if (!clicked.isValid()) {
        clicked = table_->currentIndex();
    }
    const FileItem* item = clicked.isValid() ? tableModel_->itemAt(clicked.row()) : nullptr;
    const bool selected = !model_.selection().empty();

    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("rowMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* remove = menu->addAction(tr("Remove"), this, [this] { model_.removeSelected(); });
    remove->setObjectName(QStringLiteral("removeRowsAction"));
    remove->setEnabled(selected && !model_.isBusy());
    menu->addSeparator();
    QAction* open = menu->addAction(
        tr("Open Containing Folder"), this,
        [url = item ? fileUrl(folderOf(item->path())) : QUrl()] { QDesktopServices::openUrl(url); });
    open->setObjectName(QStringLiteral("openFolderAction"));
    open->setEnabled(item != nullptr && !folderOf(item->path()).empty());
    // Shared with Ctrl+C, which finds the selection itself: enabled again once the menu goes.
    copyPathAction_->setEnabled(selected);
    connect(menu, &QMenu::aboutToHide, copyPathAction_,
            [action = copyPathAction_] { action->setEnabled(true); });
    menu->addAction(copyPathAction_);
    menu->popup(table_->viewport()->mapToGlobal(position));
}

// The items of the selected rows, in row order.
std::vector<const FileItem*> FileTableView::selectedItems() const {
    std::vector<std::pair<int, int>> runs;
    for (const QItemSelectionRange& range : table_->selectionModel()->selection()) {
        runs.emplace_back(range.top(), range.bottom());
    }
    std::sort(runs.begin(), runs.end());
    std::vector<const FileItem*> items;
    int next = 0;
    for (const auto& [top, bottom] : runs) {
        for (int row = std::max(top, next); row <= bottom; ++row) {
            if (const FileItem* item = tableModel_->itemAt(row)) {
                items.push_back(item);
            }
        }
        next = std::max(next, bottom + 1);
    }
    return items;
}

void FileTableView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        updateRowHeight();
        fitColumns();
    }
    if (event->type() == QEvent::PaletteChange) {
        table_->setPalette(toolkit::withReadableSelection(palette()));
    }
}

bool FileTableView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_->viewport() && event->type() == QEvent::Resize) {
        fitColumns();
    }
    // Escape empties the filter before any shortcut of the window sees it; on an empty filter it goes on.
    const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
    if (watched == filterField_ && key && !filterField_->text().isEmpty() &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        event->accept();
        if (event->type() == QEvent::KeyPress) {
            filterField_->clear();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void FileTableView::updateRowHeight() {
    table_->verticalHeader()->setDefaultSectionSize(DateCellDelegate::rowHeight(table_->font()));
}

// Until the user sizes a column, the columns share the width: between their minimum and ideal widths
// in proportion, and any width beyond the ideal goes to the names.
void FileTableView::fitColumns() {
    if (userSizedColumns_) {
        return;
    }
    const int available = table_->viewport()->width();
    int minimum = 0;
    int ideal = 0;
    for (int column = 0; column < FileTableColumn::columnCount; ++column) {
        minimum += widthsOf(*table_, column).minimum;
        ideal += widthsOf(*table_, column).ideal;
    }
    fittingColumns_ = true;
    QHeaderView* columns = table_->horizontalHeader();
    const double share =
        std::clamp(static_cast<double>(available - minimum) / static_cast<double>(ideal - minimum), 0.0, 1.0);
    int used = 0;
    for (int column = 0; column < FileTableColumn::columnCount; ++column) {
        const ColumnWidths widths = widthsOf(*table_, column);
        const int width = widths.minimum + static_cast<int>(share * (widths.ideal - widths.minimum));
        columns->resizeSection(column, width);
        used += width;
    }
    if (available > used) {
        columns->resizeSection(nameColumn, columns->sectionSize(nameColumn) + available - used);
    }
    fittingColumns_ = false;
}

void FileTableView::keepColumnMinimum(int column, int newSize) {
    if (fittingColumns_) {
        return;
    }
    userSizedColumns_ = true;
    const int minimum = widthsOf(*table_, column).minimum;
    if (newSize < minimum) {
        table_->horizontalHeader()->resizeSection(column, minimum);
    }
}

}  // namespace vellumark::file_table
