#include "ui/file_table/file_table_view.h"

#include "ui/bindings/model_observer.h"
#include "ui/bindings/selection_binding.h"
#include "ui/file_table/date_cell_delegate.h"
#include "ui/file_table/file_table_model.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QVBoxLayout>

namespace vellumark::file_table {

FileTableView::FileTableView(AppModel& model, QWidget* parent)
    : QWidget(parent),
      model_(model),
      tableModel_(new FileTableModel(model, this)),
      table_(new QTableView(this)),
      dateDelegate_(new DateCellDelegate(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(table_);

    table_->setModel(tableModel_);
    table_->setItemDelegateForColumn(creationColumn, dateDelegate_);
    table_->setItemDelegateForColumn(modificationColumn, dateDelegate_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSortingEnabled(false);
    table_->setWordWrap(false);
    table_->setTextElideMode(Qt::ElideRight);
    table_->setShowGrid(false);
    table_->setAlternatingRowColors(true);
    table_->setContextMenuPolicy(Qt::NoContextMenu);
    table_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    table_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    table_->setObjectName(QStringLiteral("fileTable"));
    table_->setAccessibleName(tr("Files"));
    // Tab moves on to the next control; the arrow keys move within the list.
    table_->setTabKeyNavigation(false);

    // Every row has the same height, so the view never measures rows: with many items only the visible
    // ones cost anything.
    QHeaderView* rows = table_->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    updateRowHeight();

    QHeaderView* columns = table_->horizontalHeader();
    columns->setSectionsClickable(false);
    columns->setSortIndicatorShown(false);
    columns->setHighlightSections(false);
    // The header draws no selection, yet with the table's selection it asks on every paint whether each
    // column is wholly selected, which reads every row while all are. Its own, empty selection spares it.
    columns->setSelectionModel(new QItemSelectionModel(tableModel_, columns));
    columns->setSectionsMovable(false);
    columns->setStretchLastSection(false);
    columns->setContextMenuPolicy(Qt::NoContextMenu);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setMinimumSectionSize(kColumnWidths[nameColumn].minimum);
    for (int column = 0; column < FileTableColumn::columnCount; ++column) {
        columns->resizeSection(column, kColumnWidths[static_cast<std::size_t>(column)].ideal);
    }
    connect(columns, &QHeaderView::sectionResized, this,
            [this](int column, int, int newSize) { keepColumnMinimum(column, newSize); });
    table_->viewport()->installEventFilter(this);

    selection_ = new bindings::SelectionBinding(
        *table_, [this](int row) -> const Uuid& { return tableModel_->idAt(row); }, model_, this);
    observer_ = new bindings::ModelObserver(
        model_, [this] { refresh(); }, this);
    refresh();
}

FileTableView::~FileTableView() = default;

void FileTableView::refresh() {
    // Rows replaced here are not the user's selection changes.
    const bindings::SelectionBinding::ShowingScope showing(*selection_);
    const bool rowsChanged = tableModel_->refresh();
    selection_->showSelection(rowsChanged);
}

void FileTableView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        updateRowHeight();
    }
}

bool FileTableView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_->viewport() && event->type() == QEvent::Resize) {
        fitColumns();
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
    for (const ColumnWidths& widths : kColumnWidths) {
        minimum += widths.minimum;
        ideal += widths.ideal;
    }
    fittingColumns_ = true;
    QHeaderView* columns = table_->horizontalHeader();
    const double share =
        std::clamp(static_cast<double>(available - minimum) / static_cast<double>(ideal - minimum), 0.0, 1.0);
    int used = 0;
    for (int column = 0; column < FileTableColumn::columnCount; ++column) {
        const ColumnWidths& widths = kColumnWidths[static_cast<std::size_t>(column)];
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
    const int minimum = kColumnWidths[static_cast<std::size_t>(column)].minimum;
    if (newSize < minimum) {
        table_->horizontalHeader()->resizeSection(column, minimum);
    }
}

}  // namespace vellumark::file_table
