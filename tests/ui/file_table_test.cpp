#include "app_model/app_model.h"
#include "linux_fs/linux_file_access.h"
#include "model/planner.h"
#include "qt_test_support.h"
#include "support/fake_file_access.h"
#include "support/scripted_open_panel.h"
#include "support/volumes.h"
#include "ui/bindings/selection_binding.h"
#include "ui/file_table/date_cell.h"
#include "ui/file_table/date_cell_delegate.h"
#include "ui/file_table/file_table_model.h"
#include "ui/file_table/file_table_view.h"
#include "ui/file_table/row_table.h"
#include "ui/toolkit/date_text.h"
#include "ui/toolkit/drop_destination.h"
#include "ui/toolkit/path_text.h"
#include "ui/toolkit/text_styles.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <limits>
#include <memory>
#include <sys/stat.h>

namespace vellumark::file_table {

void PrintTo(const DateCellLine& line, std::ostream* out) {
    *out << line.text.toStdString() << " (" << static_cast<int>(line.style) << ")";
}

namespace {

constexpr std::int64_t kHour = 3'600;
const Date kNow = Date::fromParts(1'700'000'000);
const Date kCreated = Date::fromParts(1'600'000'000, 400'000'000);
const Date kModified = Date::fromParts(1'650'000'000, 900'000'000);
const Date k1500 = Date::fromParts(-14'831'769'600);

class FileTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        files_.addFolder("/data/Album", kCreated, kModified);
        files_.addFile("/data/notes.txt", kCreated, kModified);
        files_.addFile("/data/wiped.txt", removedDateMarker(), removedDateMarker());
        files_.addUnreadable("/data/unreadable.bin");
        files_.addFile("/data/later.txt", kModified, kModified);
        writes_ = model_.objectWillChange().subscribe([this] { ++notifications_; });
    }

    void addAll() {
        const std::vector<std::filesystem::path> urls{"/data/Album", "/data/notes.txt", "/data/wiped.txt",
                                                      "/data/unreadable.bin", "/data/later.txt"};
        model_.addURLs(urls);
    }

    void setConfig(const std::function<void(ActionConfig&)>& change) { model_.editConfig(change); }

    DateCell cell(FileTableView& view, int row, int column) {
        return view.tableModel().index(row, column).data(FileTableRole::dateCell).value<DateCell>();
    }

    // Shows the view at a size that fits all columns at their ideal widths and draws it.
    void show(FileTableView& view) {
        view.resize(620, 400);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    void click(FileTableView& view, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTableView& table = view.table();
        const QRect rect = table.visualRect(table.model()->index(row, nameColumn));
        QTest::mouseClick(table.viewport(), Qt::LeftButton, modifiers, rect.center());
    }

    // The ids of the rows with a selected cell.
    Selection shownIds(FileTableView& view) { return shownIds(view.table()); }
    Selection shownIds(const QTableView& table) {
        Selection ids;
        for (const QModelIndex& index : table.selectionModel()->selectedIndexes()) {
            ids.insert(model_.items()[static_cast<std::size_t>(index.row())].id());
        }
        return ids;
    }

    testing::FakeFileAccess files_;
    testing::ScriptedOpenPanel addPanel_;
    AppModel model_{files_, addPanel_, [] { return kNow; }};
    ChangePublisher::Subscription writes_;
    int notifications_ = 0;
};

TEST_F(FileTableTest, AdapterKeepsQtsModelRulesThroughAddsEditsAndRemovals) {
    FileTableView view(model_);
    QAbstractItemModelTester tester(&view.tableModel(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    addAll();
    QCoreApplication::processEvents();
    EXPECT_EQ(view.tableModel().rowCount(), 5);

    setConfig([](ActionConfig& config) { config.kind = DateActionKind::removeDates; });
    QCoreApplication::processEvents();
    model_.setSelection({model_.items()[1].id(), model_.items()[3].id()});
    model_.removeSelected();
    QCoreApplication::processEvents();
    EXPECT_EQ(view.tableModel().rowCount(), 3);

    model_.removeAll();
    QCoreApplication::processEvents();
    EXPECT_EQ(view.tableModel().rowCount(), 0);
}

TEST_F(FileTableTest, ColumnsHaveTheirHeadersWidthsAndSortIndicator) {
    FileTableView view(model_);
    addAll();
    show(view);
    const QAbstractItemModel& model = view.tableModel();
    const int dates = std::max(150, DateCellDelegate::columnWidth(view.table().font(), &view.table()));
    EXPECT_EQ(model.headerData(nameColumn, Qt::Horizontal).toString(), QStringLiteral("Name"));
    EXPECT_EQ(model.headerData(folderColumn, Qt::Horizontal).toString(), QStringLiteral("Folder"));
    EXPECT_EQ(model.headerData(creationColumn, Qt::Horizontal).toString(), QStringLiteral("Creation"));
    EXPECT_EQ(model.headerData(modificationColumn, Qt::Horizontal).toString(),
              QStringLiteral("Modification"));

    QHeaderView& header = *view.table().horizontalHeader();
    view.resize(300, 400);  // narrower than the minimums: every column at its minimum
    QCoreApplication::processEvents();
    EXPECT_EQ(header.sectionSize(nameColumn), 140);
    EXPECT_EQ(header.sectionSize(folderColumn), 60);
    EXPECT_EQ(header.sectionSize(creationColumn), dates);
    EXPECT_EQ(header.sectionSize(modificationColumn), dates);

    view.resize(1100, 400);  // wider than the ideals: the others keep theirs, the names take the rest
    QCoreApplication::processEvents();
    EXPECT_GT(header.sectionSize(nameColumn), 200);
    EXPECT_EQ(header.sectionSize(folderColumn), 200);
    EXPECT_EQ(header.sectionSize(creationColumn), std::max(190, dates));
    EXPECT_EQ(header.sectionSize(modificationColumn), std::max(190, dates));

    header.resizeSection(creationColumn, 60);  // the user drags below the minimum
    EXPECT_EQ(header.sectionSize(creationColumn), dates);
    header.resizeSection(folderColumn, 20);
    EXPECT_EQ(header.sectionSize(folderColumn), 60);

    // The view sorts itself, through the header's indicator, which starts cleared: the list's order.
    EXPECT_FALSE(view.table().isSortingEnabled());
    EXPECT_TRUE(header.sectionsClickable());
    EXPECT_TRUE(header.isSortIndicatorShown());
    EXPECT_EQ(header.sortIndicatorSection(), -1);
    EXPECT_EQ(view.table().contextMenuPolicy(), Qt::CustomContextMenu);
    EXPECT_EQ(view.table().editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(view.table().tabKeyNavigation());
    EXPECT_EQ(view.table().accessibleName(), QStringLiteral("Files"));
}

TEST_F(FileTableTest, NameCellShowsIconNameAndFullPath) {
    FileTableView view(model_);
    addAll();
    QCoreApplication::processEvents();
    const QAbstractItemModel& model = view.tableModel();
    const QModelIndex folder = model.index(0, nameColumn);
    const QModelIndex file = model.index(1, nameColumn);
    EXPECT_EQ(folder.data(Qt::DisplayRole).toString(), QStringLiteral("Album"));
    EXPECT_EQ(folder.data(Qt::ToolTipRole).toString(), QStringLiteral("/data/Album"));
    EXPECT_EQ(folder.data(Qt::DecorationRole).value<QIcon>().name(), QStringLiteral("folder"));
    EXPECT_EQ(file.data(Qt::DisplayRole).toString(), QStringLiteral("notes.txt"));
    EXPECT_EQ(file.data(Qt::ToolTipRole).toString(), QStringLiteral("/data/notes.txt"));
    EXPECT_EQ(file.data(Qt::DecorationRole).value<QIcon>().name(), QStringLiteral("doc"));
}

TEST_F(FileTableTest, NameWithALineBreakStaysOnItsRow) {
    files_.addFile("/data/two\nlines\u202E.txt", kCreated, kModified);
    FileTableView view(model_);
    model_.addURLs(std::vector<std::filesystem::path>{"/data/two\nlines\u202E.txt"});
    QCoreApplication::processEvents();
    const QModelIndex name = view.tableModel().index(0, nameColumn);
    EXPECT_EQ(name.data(Qt::DisplayRole).toString(), QStringLiteral("two\\nlines\\u202E.txt"));
    EXPECT_EQ(name.data(Qt::ToolTipRole).toString(), QStringLiteral("/data/two\\nlines\\u202E.txt"));
}

TEST_F(FileTableTest, DateCellsTellChangedFromUnchanged) {
    FileTableView view(model_);
    addAll();
    // Shift both dates of every item by one hour; auto-correction is on by default.
    setConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.shiftHours = 1;
    });
    QCoreApplication::processEvents();

    const DateCell shifted = cell(view, 1, creationColumn);
    EXPECT_TRUE(shifted.changed());
    EXPECT_EQ(shifted.current(), kCreated);
    EXPECT_EQ(shifted.newDate(), kCreated.addingSeconds(kHour));
    EXPECT_EQ(dateCellLines(shifted),
              QList<DateCellLine>(
                  {{toolkit::dateText(kCreated), DateCellLine::Style::superseded},
                   {toolkit::dateText(kCreated.addingSeconds(kHour)), DateCellLine::Style::accent}}));

    const DateCell absent = cell(view, 3, modificationColumn);  // unreadable: both dates absent
    EXPECT_FALSE(absent.changed());
    EXPECT_EQ(dateCellLines(absent), QList<DateCellLine>({{"-----", DateCellLine::Style::primary}}));

    // A new date equal to the current one to the second (another fraction) is no change.
    setConfig([](ActionConfig& config) {
        config.kind = DateActionKind::setSpecific;
        config.fields = DateFieldSelection::creation;
        config.specificDate = Date::fromParts(1'600'000'000, 0);
    });
    QCoreApplication::processEvents();
    const DateCell sameSecond = cell(view, 1, creationColumn);
    EXPECT_FALSE(sameSecond.changed());
    EXPECT_EQ(dateCellLines(sameSecond),
              QList<DateCellLine>({{toolkit::dateText(kCreated), DateCellLine::Style::primary}}));
    const DateCell untouched = cell(view, 1, modificationColumn);
    EXPECT_FALSE(untouched.changed());
}

TEST_F(FileTableTest, RemovedAndAbsentDatesReadAsDashes) {
    FileTableView view(model_);
    addAll();
    setConfig([](ActionConfig& config) { config.kind = DateActionKind::removeDates; });
    QCoreApplication::processEvents();
    // Removing: the current date struck through above "-----".
    EXPECT_EQ(dateCellLines(cell(view, 1, creationColumn)),
              QList<DateCellLine>({{toolkit::dateText(kCreated), DateCellLine::Style::superseded},
                                   {"-----", DateCellLine::Style::accent}}));
    // Already removed: one line "-----", nothing to change.
    EXPECT_EQ(dateCellLines(cell(view, 2, modificationColumn)),
              QList<DateCellLine>({{"-----", DateCellLine::Style::primary}}));

    // A real date over a removed one: "-----" struck through above it.
    setConfig([](ActionConfig& config) {
        config.kind = DateActionKind::setSpecific;
        config.specificDate = kModified;
    });
    QCoreApplication::processEvents();
    EXPECT_EQ(dateCellLines(cell(view, 2, creationColumn)),
              QList<DateCellLine>({{"-----", DateCellLine::Style::superseded},
                                   {toolkit::dateText(kModified), DateCellLine::Style::accent}}));

    // Lifting from no source: no new date, so nothing is written and the date stays as it is.
    setConfig([](ActionConfig& config) { config.kind = DateActionKind::liftFromFile; });
    QCoreApplication::processEvents();
    EXPECT_EQ(dateCellLines(cell(view, 1, modificationColumn)),
              QList<DateCellLine>({{toolkit::dateText(kModified), DateCellLine::Style::primary}}));
}

TEST_F(FileTableTest, CellsSayWhatTheVolumeKeepsAndCannotStore) {
    files_.mount("/ext4", testing::ext4Volume());
    files_.addFile("/ext4/old.txt", kCreated, kModified);
    const Date nearTheEnd = Date::fromParts(std::numeric_limits<std::int64_t>::max() - 60);
    files_.addFile("/data/far.txt", nearTheEnd, nearTheEnd);
    const std::vector<std::filesystem::path> urls{"/ext4/old.txt", "/data/far.txt"};
    model_.addURLs(urls);
    FileTableView view(model_);
    const QAbstractItemModel& model = view.tableModel();

    setConfig([](ActionConfig& config) {
        config.kind = DateActionKind::setSpecific;
        config.specificDate = k1500;
    });
    QCoreApplication::processEvents();
    const QModelIndex kept = model.index(0, creationColumn);
    EXPECT_EQ(dateCellLines(cell(view, 0, creationColumn)),
              QList<DateCellLine>({{toolkit::dateText(kCreated), DateCellLine::Style::kept}}));
    EXPECT_EQ(kept.data(Qt::ToolTipRole).toString(),
              "ext4 keeps the creation date itself; it cannot be changed.");
    EXPECT_EQ(kept.data(Qt::AccessibleTextRole).toString(),
              "Creation: " + toolkit::dateText(kCreated) +
                  ", kept: ext4 keeps the creation date itself; it cannot be changed");

    const QModelIndex refused = model.index(0, modificationColumn);
    EXPECT_EQ(dateCellLines(cell(view, 0, modificationColumn)),
              QList<DateCellLine>({{toolkit::dateText(kModified), DateCellLine::Style::primary},
                                   {toolkit::dateText(k1500), DateCellLine::Style::refused}}));
    EXPECT_EQ(refused.data(Qt::ToolTipRole).toString(),
              "This date cannot be stored on ext4, which keeps dates from 1901-12-13 to 2038-01-19.");

    // Past the end of the 64-bit range there is no date to show.
    setConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.shiftHours = 1;
    });
    QCoreApplication::processEvents();
    EXPECT_EQ(dateCellLines(cell(view, 1, creationColumn)).back(),
              (DateCellLine{"Out of range", DateCellLine::Style::refused}));
    EXPECT_EQ(model.index(1, creationColumn).data(Qt::ToolTipRole).toString(),
              "The shift moves the date past the end of the calendar.");
}

TEST_F(FileTableTest, ItemsTheLastRunCouldNotChangeAreMarkedUntilTheNextEdit) {
    files_.failWriting("/data/notes.txt", "the volume is read-only");
    FileTableView view(model_);
    addAll();
    setConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.shiftHours = 1;
    });
    model_.applyChanges();
    QCoreApplication::processEvents();
    const QAbstractItemModel& model = view.tableModel();
    const QModelIndex failed = model.index(1, nameColumn);
    EXPECT_EQ(failed.data(Qt::DecorationRole).value<QIcon>().name(), "exclamationmark.triangle.fill");
    EXPECT_EQ(failed.data(Qt::ToolTipRole).toString(),
              "Could not be changed: the volume is read-only\n/data/notes.txt");
    EXPECT_EQ(model.index(0, nameColumn).data(Qt::DecorationRole).value<QIcon>().name(), "folder");

    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    setConfig([](ActionConfig& config) { config.shiftHours = 2; });
    QCoreApplication::processEvents();
    EXPECT_EQ(failed.data(Qt::DecorationRole).value<QIcon>().name(), "doc");
    EXPECT_EQ(failed.data(Qt::ToolTipRole).toString(), "/data/notes.txt");
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.front().front().value<QModelIndex>().column(), nameColumn) << "names repainted";
}

// How many pixels of `rect` in the view's drawing are close to `color`.
int pixelsNear(const QImage& image, const QRect& rect, const QColor& color) {
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            count += std::abs(pixel.red() - color.red()) + std::abs(pixel.green() - color.green()) +
                         std::abs(pixel.blue() - color.blue()) <
                     40;
        }
    }
    return count;
}

TEST_F(FileTableTest, OnlyDatesToBeWrittenArePaintedInTheAccentColour) {
    files_.mount("/ntfs", testing::ntfsVolume());
    files_.mount("/ext4", testing::ext4Volume());
    files_.addFile("/ext4/old.txt", kCreated, kModified);
    files_.addFile("/ntfs/old.txt", kCreated, kModified);
    FileTableView view(model_);
    addAll();
    const std::vector<std::filesystem::path> urls{"/ext4/old.txt", "/ntfs/old.txt"};
    model_.addURLs(urls);
    setConfig([](ActionConfig& config) {
        config.kind = DateActionKind::setSpecific;
        config.fields = DateFieldSelection::creation;
        config.specificDate = k1500;
    });
    show(view);
    QTableView& table = view.table();
    const QImage image = table.viewport()->grab().toImage();
    const QPalette& palette = table.palette();
    const QColor accent = palette.color(QPalette::Active, QPalette::Highlight);
    const QColor warning = toolkit::warningColor(palette);
    const QColor quiet =
        DateCellDelegate::lineColor(DateCellLine::Style::kept, palette, QPalette::Active, false);
    const auto rect = [&](int row, int column) {
        return table.visualRect(table.model()->index(row, column));
    };

    const QRect changed = rect(1, creationColumn);
    const QRect unchanged = rect(1, modificationColumn);
    const QRect kept = rect(5, creationColumn);
    const QRect refused = rect(6, creationColumn);
    EXPECT_GT(pixelsNear(image, changed, accent), 10);
    for (const QRect& cell : {unchanged, kept, refused}) {
        EXPECT_EQ(pixelsNear(image, cell, accent), 0);
    }
    EXPECT_GT(pixelsNear(image, kept, quiet), 10);
    EXPECT_EQ(pixelsNear(image, kept, warning), 0);
    EXPECT_GT(pixelsNear(image, refused, warning), 10);
}

TEST_F(FileTableTest, AnEditRepaintsCellsWithoutReplacingRows) {
    FileTableView view(model_);
    addAll();
    QCoreApplication::processEvents();
    QAbstractItemModel& model = view.tableModel();
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);

    for (int hours = 1; hours <= 3; ++hours) {
        setConfig([hours](ActionConfig& config) {
            config.kind = DateActionKind::shift;
            config.shiftHours = hours;
        });
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(inserts.count(), 0);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(cell(view, 0, modificationColumn).newDate(), kModified.addingSeconds(3 * kHour));
}

TEST_F(FileTableTest, EachUserSelectionChangeWritesTheWholeSelectionOnce) {
    FileTableView view(model_);
    addAll();
    show(view);
    const ItemList& items = model_.items();
    notifications_ = 0;

    click(view, 1);
    EXPECT_EQ(notifications_, 1);
    EXPECT_EQ(model_.selection(), Selection({items[1].id()}));

    click(view, 3, Qt::ControlModifier);
    EXPECT_EQ(notifications_, 2);
    EXPECT_EQ(model_.selection(), Selection({items[1].id(), items[3].id()}));

    // Shift extends from the last click; whatever the table shows selected is what is written.
    click(view, 4, Qt::ShiftModifier);
    EXPECT_EQ(notifications_, 3);
    Selection shown;
    for (const QModelIndex& row : view.table().selectionModel()->selectedRows()) {
        shown.insert(items[static_cast<std::size_t>(row.row())].id());
    }
    EXPECT_EQ(shown.size(), 3u);
    EXPECT_EQ(model_.selection(), shown);

    QTest::keyClick(&view.table(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(notifications_, 4);
    EXPECT_EQ(model_.selection().size(), 5u);
    QTest::keyClick(&view.table(), Qt::Key_A, Qt::ControlModifier);  // nothing left to select
    EXPECT_EQ(notifications_, 4);

    // The refreshes those writes scheduled write nothing back.
    QCoreApplication::processEvents();
    EXPECT_EQ(notifications_, 4);
}

TEST_F(FileTableTest, RefreshShowsTheModelsSelectionWithoutWritingIt) {
    FileTableView view(model_);
    addAll();
    show(view);
    const ItemList& items = model_.items();
    notifications_ = 0;

    model_.setSelection({items[0].id(), items[2].id()});
    QCoreApplication::processEvents();
    EXPECT_EQ(notifications_, 1);
    QItemSelectionModel& shown = *view.table().selectionModel();
    EXPECT_EQ(shown.selectedRows().size(), 2);
    EXPECT_TRUE(shown.isRowSelected(0));
    EXPECT_TRUE(shown.isRowSelected(2));

    // Removing the selected rows: two writes by the model, none by the table.
    QSignalSpy resets(&view.tableModel(), &QAbstractItemModel::modelReset);
    model_.removeSelected();
    QCoreApplication::processEvents();
    EXPECT_EQ(notifications_, 3);
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(view.tableModel().rowCount(), 3);
    EXPECT_FALSE(shown.hasSelection());
    EXPECT_EQ(view.tableModel().index(0, nameColumn).data().toString(), QStringLiteral("notes.txt"));
}

TEST_F(FileTableTest, LargeAndSmallChangesLeaveTheModelHoldingTheShownRows) {
    FileTableView view(model_);
    addAll();
    show(view);
    QSignalSpy reselections(view.table().selectionModel(), &QItemSelectionModel::selectionChanged);
    notifications_ = 0;
    const auto change = [&](const std::function<void()>& input, std::size_t count) {
        input();
        EXPECT_EQ(model_.selection(), shownIds(view));
        EXPECT_EQ(model_.selection().size(), count);
    };
    change([&] { QTest::keyClick(&view.table(), Qt::Key_A, Qt::ControlModifier); }, 5);
    change([&] { click(view, 2, Qt::ControlModifier); }, 4);  // one less: the ids taken out one by one
    change([&] { click(view, 3); }, 1);                       // all but one go: a new set
    change([&] { click(view, 0, Qt::ShiftModifier); }, 4);
    EXPECT_EQ(notifications_, 4);
    reselections.clear();
    QCoreApplication::processEvents();
    EXPECT_EQ(reselections.count(), 0) << "the refreshes found the table showing the model's selection";
    EXPECT_EQ(notifications_, 4);
}

TEST_F(FileTableTest, AnotherWriteOfTheSelectionIsShownEvenWhenItsSizeIsTheSame) {
    FileTableView view(model_);
    addAll();
    show(view);
    const ItemList& items = model_.items();
    click(view, 1);
    QCoreApplication::processEvents();
    model_.setSelection({items[3].id()});
    QCoreApplication::processEvents();
    EXPECT_EQ(shownIds(view), Selection({items[3].id()}));

    // The user changes the table before the refresh of another write: both end showing the same.
    model_.setSelection({items[0].id()});
    click(view, 4, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(shownIds(view), model_.selection());
    EXPECT_TRUE(model_.selection().contains(items[0].id()));
}

TEST_F(FileTableTest, AnotherWriteOfAManyRowSelectionIsCheckedToTheLastRow) {
    std::vector<std::filesystem::path> urls;
    for (int i = 0; i < 70'000; ++i) {
        urls.push_back("/many/" + std::to_string(i));
        files_.addFile(urls.back(), kCreated, kModified);
    }
    model_.addURLs(urls);
    FileTableView view(model_);
    QTest::keyClick(&view.table(), Qt::Key_A, Qt::ControlModifier);
    QCoreApplication::processEvents();
    // As many ids as rows, but the first row's is not among them; rows are checked from the last.
    Selection ids = model_.selection();
    ids.erase(model_.items()[0].id());
    ids.insert(Uuid::random());
    model_.setSelection(std::move(ids));
    EXPECT_TRUE(vellumark::testing::processEventsUntil(
        [&] { return !view.table().selectionModel()->isRowSelected(0); }));
    EXPECT_TRUE(view.table().selectionModel()->isRowSelected(1));
}

TEST_F(FileTableTest, AWriteThatLeavesTheSelectionAndTheRowsAloneIsNotComparedAgain) {
    addAll();
    QStandardItemModel rows(static_cast<int>(model_.items().size()), 3);
    QTableView table;
    table.setModel(&rows);
    int lookups = 0;
    bindings::SelectionBinding binding(
        table,
        [&](int row) -> const Uuid& {
            ++lookups;
            return model_.items()[static_cast<std::size_t>(row)].id();
        },
        model_);
    const auto editSettingsThenShow = [&](bool rowsChanged) {
        ActionConfig config = model_.config();
        ++config.shiftHours;
        model_.setConfig(config);
        lookups = 0;
        binding.showSelection(rowsChanged);
        QCoreApplication::processEvents();
        return lookups;
    };
    model_.setSelection({model_.items()[1].id(), model_.items()[3].id()});
    binding.showSelection(false);
    EXPECT_EQ(editSettingsThenShow(false), 0);
    EXPECT_EQ(editSettingsThenShow(true), 2) << "replaced rows are compared";

    // The user's own change, written while known to be in step, is as good as compared.
    table.selectionModel()->select(rows.index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(model_.selection().size(), 3U);
    EXPECT_EQ(editSettingsThenShow(false), 0);
    EXPECT_EQ(shownIds(table), model_.selection());
}

TEST_F(FileTableTest, ARowStaysSelectedWhileAnyOfItsCellsIs) {
    FileTableView view(model_);
    addAll();
    QCoreApplication::processEvents();
    QTest::keyClick(&view.table(), Qt::Key_A, Qt::ControlModifier);
    QItemSelectionModel& cells = *view.table().selectionModel();
    const QAbstractItemModel& table = view.tableModel();
    cells.select(table.index(2, nameColumn), QItemSelectionModel::Deselect);
    EXPECT_EQ(model_.selection().size(), 5u);
    cells.select(QItemSelection(table.index(2, folderColumn), table.index(2, modificationColumn)),
                 QItemSelectionModel::Deselect);
    EXPECT_EQ(model_.selection().size(), 4u);
    EXPECT_FALSE(model_.selection().contains(model_.items()[2].id()));
}

TEST_F(FileTableTest, RowsStaleUntilTheRefreshShowNothingRatherThanAnotherItem) {
    FileTableView view(model_);
    addAll();
    QCoreApplication::processEvents();
    model_.removeAll();
    // The refresh has not run yet: the table still has five rows, the model none.
    EXPECT_EQ(view.tableModel().rowCount(), 5);
    EXPECT_FALSE(view.tableModel().index(0, nameColumn).data().isValid());
    EXPECT_FALSE(view.tableModel().index(0, creationColumn).data(FileTableRole::dateCell).isValid());
    QCoreApplication::processEvents();
    EXPECT_EQ(view.tableModel().rowCount(), 0);
}

TEST(RowTableTest, RowsAddedBelowTheShownOnesOnlyMoveTheScrollBarUntilSomethingElseChanges) {
    QStandardItemModel rows(0, 1);
    RowTable table;
    table.setModel(&rows);
    table.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table.verticalHeader()->hide();
    table.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);  // no resize draws the rows for them
    table.resize(200, 200);
    table.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
    const auto append = [&rows](int count) {
        for (int i = 0; i < count; ++i) {
            rows.appendRow(new QStandardItem(QString::number(rows.rowCount())));
        }
    };
    // What the screen shows is what drawing the rows again would show.
    const auto screenIsCurrent = [&] {
        QTest::qWait(20);
        const QRect shown(table.viewport()->mapTo(&table, QPoint()), table.viewport()->size());
        const QImage onScreen =
            table.screen()
                ->grabWindow(table.winId(), shown.x(), shown.y(), shown.width(), shown.height())
                .toImage();
        return onScreen.convertToFormat(QImage::Format_RGB32) ==
               table.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    append(2);
    EXPECT_TRUE(screenIsCurrent());
    append(2);
    EXPECT_TRUE(screenIsCurrent()) << "rows added into sight are drawn";
    append(30);
    EXPECT_TRUE(screenIsCurrent());

    testing::PaintWatch viewport(*table.viewport());
    const int scrollRange = table.verticalScrollBar()->maximum();
    append(30);
    QTest::qWait(20);
    EXPECT_TRUE(viewport.painted.isEmpty());
    EXPECT_GT(table.verticalScrollBar()->maximum(), scrollRange);
    EXPECT_TRUE(screenIsCurrent());

    // Rows added below, with a shown row changed or gone in the same turn.
    append(5);
    rows.setData(rows.index(0, 0), QStringLiteral("changed"));
    EXPECT_TRUE(screenIsCurrent());
    append(5);
    rows.removeRow(0);
    EXPECT_TRUE(screenIsCurrent());
}

// Sorting, filtering and the rows' menu, over items in two folders whose list order is none of the sorts.
class OrderedTableTest : public FileTableTest {
protected:
    void SetUp() override {
        FileTableTest::SetUp();
        const Date day = Date::fromParts(1'600'000'000);
        addFile("/data/b10.txt", day.addingSeconds(3 * kHour), day.addingSeconds(5 * kHour));
        addFile("/other/a2.txt", day.addingSeconds(1 * kHour), day.addingSeconds(7 * kHour));
        addFile("/data/B1.txt", day.addingSeconds(2 * kHour), day.addingSeconds(6 * kHour));
        addFile("/data/a10.txt", day, day.addingSeconds(4 * kHour));
        model_.addURLs(urls_);
    }

    void addFile(const std::string& path, Date creation, Date modification) {
        files_.addFile(path, creation, modification);
        urls_.emplace_back(path);
    }

    static QStringList rowNames(FileTableView& view) {
        QStringList names;
        for (int row = 0; row < view.tableModel().rowCount(); ++row) {
            names << view.tableModel().index(row, nameColumn).data().toString();
        }
        return names;
    }

    static void clickHeader(FileTableView& view, int column) {
        QHeaderView& header = *view.table().horizontalHeader();
        QTest::mouseClick(header.viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(header.sectionViewportPosition(column) + 10, header.height() / 2));
    }

    // The rows once they show the order set.
    static QStringList orderedNames(FileTableView& view) {
        EXPECT_TRUE(vellumark::testing::processEventsUntil([&] { return view.tableModel().showsOrder(); }));
        return rowNames(view);
    }

    std::vector<std::filesystem::path> urls_;
};

TEST_F(OrderedTableTest, HeaderClicksSortAscendingDescendingThenInListOrderKeepingTheSelection) {
    FileTableView view(model_);
    QAbstractItemModelTester tester(&view.tableModel(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    show(view);
    const QStringList listOrder{"b10.txt", "a2.txt", "B1.txt", "a10.txt"};
    EXPECT_EQ(rowNames(view), listOrder);
    click(view, 1);
    const Selection selected = model_.selection();

    // Names collate ignoring case, and digits by their value.
    clickHeader(view, nameColumn);
    EXPECT_EQ(orderedNames(view), QStringList({"a2.txt", "a10.txt", "B1.txt", "b10.txt"}));
    EXPECT_EQ(model_.selection(), selected);
    EXPECT_TRUE(view.table().selectionModel()->isRowSelected(0));
    EXPECT_EQ(view.table().selectionModel()->selectedRows().size(), 1);
    clickHeader(view, nameColumn);
    EXPECT_EQ(orderedNames(view), QStringList({"b10.txt", "B1.txt", "a10.txt", "a2.txt"}));
    EXPECT_TRUE(view.table().selectionModel()->isRowSelected(3));
    clickHeader(view, nameColumn);
    EXPECT_EQ(orderedNames(view), listOrder);
    EXPECT_EQ(view.table().horizontalHeader()->sortIndicatorSection(), -1);
    EXPECT_TRUE(view.table().selectionModel()->isRowSelected(1));
    EXPECT_EQ(model_.selection(), selected);

    // Folders by name, the list's order within one.
    clickHeader(view, folderColumn);
    EXPECT_EQ(orderedNames(view), QStringList({"b10.txt", "B1.txt", "a10.txt", "a2.txt"}));

    // Items added join the order; items removed leave it at once, the rest staying in order.
    clickHeader(view, creationColumn);
    EXPECT_EQ(orderedNames(view), QStringList({"a10.txt", "a2.txt", "B1.txt", "b10.txt"}));
    files_.addFile("/data/early.txt", Date::fromParts(1'500'000'000), kModified);
    model_.addURLs(std::vector<std::filesystem::path>{"/data/early.txt"});
    EXPECT_EQ(orderedNames(view), QStringList({"early.txt", "a10.txt", "a2.txt", "B1.txt", "b10.txt"}));
    click(view, 2);
    model_.removeSelected();
    QCoreApplication::processEvents();
    EXPECT_EQ(rowNames(view), QStringList({"early.txt", "a10.txt", "B1.txt", "b10.txt"}));
    EXPECT_TRUE(view.tableModel().showsOrder());
}

TEST_F(OrderedTableTest, DateColumnsSortByNewDatesFromTheHeadersMenuAndFollowTheSettings) {
    FileTableView view(model_);
    show(view);
    clickHeader(view, modificationColumn);
    EXPECT_EQ(orderedNames(view), QStringList({"a10.txt", "b10.txt", "B1.txt", "a2.txt"}));

    // Every new modification date the same: the list's order.
    setConfig([](ActionConfig& config) {
        config.kind = DateActionKind::setSpecific;
        config.fields = DateFieldSelection::modification;
        config.specificDate = kNow;
    });
    auto* newDates = view.table().horizontalHeader()->findChild<QAction*>("sortByNewDates");
    ASSERT_NE(newDates, nullptr);
    newDates->trigger();
    EXPECT_EQ(orderedNames(view), QStringList({"b10.txt", "a2.txt", "B1.txt", "a10.txt"}));

    // The action leaves modification alone now: the new dates are the current ones, sorted anew.
    setConfig([](ActionConfig& config) {
        config.fields = DateFieldSelection::creation;
        config.specificDate = Date::fromParts(1'500'000'000);
    });
    QCoreApplication::processEvents();
    EXPECT_EQ(orderedNames(view), QStringList({"a10.txt", "b10.txt", "B1.txt", "a2.txt"}));
}

TEST_F(OrderedTableTest, FilterNarrowsTheRowsByNameAndTheHiddenLeaveTheSelection) {
    FileTableView view(model_);
    show(view);
    QTest::keyClick(&view.table(), Qt::Key_A, Qt::ControlModifier);
    ASSERT_EQ(model_.selection().size(), 4u);

    QTest::keyClick(&view, Qt::Key_F, Qt::ControlModifier);
    QLineEdit& filter = view.filterField();
    EXPECT_TRUE(filter.hasFocus());
    QTest::keyClicks(&filter, "A1");
    EXPECT_EQ(orderedNames(view), QStringList({"a10.txt"}));
    EXPECT_EQ(view.hiddenByFilter(), 3u);
    EXPECT_TRUE(vellumark::testing::processEventsUntil([&] { return model_.selection().size() == 1; }));
    EXPECT_TRUE(view.table().selectionModel()->isRowSelected(0));

    // Sorted and filtered together.
    clickHeader(view, nameColumn);
    QTest::keyClick(&filter, Qt::Key_Backspace);
    EXPECT_EQ(orderedNames(view), QStringList({"a2.txt", "a10.txt"}));
    EXPECT_EQ(view.hiddenByFilter(), 2u);

    QTest::keyClick(&filter, Qt::Key_Escape);
    EXPECT_TRUE(filter.text().isEmpty());
    EXPECT_EQ(orderedNames(view), QStringList({"a2.txt", "a10.txt", "B1.txt", "b10.txt"}));
    EXPECT_EQ(view.hiddenByFilter(), 0u);
    EXPECT_EQ(model_.selection().size(), 1u);
    EXPECT_TRUE(view.table().selectionModel()->isRowSelected(1));
}

TEST_F(OrderedTableTest, FolderColumnShowsEachItemsParentFolder) {
    FileTableView view(model_);
    const QAbstractItemModel& model = view.tableModel();
    EXPECT_EQ(model.index(0, folderColumn).data().toString(), QStringLiteral("/data"));
    EXPECT_EQ(model.index(1, folderColumn).data().toString(), QStringLiteral("/other"));
    EXPECT_EQ(nameOf("/home/ada/Trip/"), "Trip");
    EXPECT_EQ(folderOf("/home/ada/Trip/"), "/home/ada");
    EXPECT_EQ(folderOf("/notes.txt"), "/");
    EXPECT_EQ(folderOf("/"), "");
}

TEST_F(OrderedTableTest, CopyPathPutsTheSelectedPathsOnTheClipboardAsTextAndUris) {
    files_.addFile("/data/caf\xE9.txt", kCreated, kModified);
    model_.addURLs(std::vector<std::filesystem::path>{"/data/caf\xE9.txt"});
    FileTableView view(model_);
    show(view);
    click(view, 1);
    click(view, 4, Qt::ControlModifier);

    QTableView& table = view.table();
    const QPoint at = table.visualRect(table.model()->index(4, nameColumn)).center();
    QContextMenuEvent request(QContextMenuEvent::Mouse, at, table.viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(table.viewport(), &request);
    auto* menu = view.findChild<QMenu*>("rowMenu");
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction* action : menu->actions()) {
        texts << action->text();
        EXPECT_TRUE(action->isEnabled()) << action->text().toStdString();
    }
    EXPECT_EQ(texts, QStringList({"Remove", "", "Open Containing Folder", "Copy Path"}));
    menu->actions().back()->trigger();
    menu->close();

    const QMimeData& copied = *QGuiApplication::clipboard()->mimeData();
    EXPECT_EQ(copied.text(), QStringLiteral("/other/a2.txt\n/data/caf\uFFFD.txt"));
    EXPECT_EQ(copied.data("text/uri-list"),
              QByteArray("file:///other/a2.txt\r\nfile:///data/caf%E9.txt\r\n"));
}

TEST(FileTableRealFilesTest, ADroppedNameThatIsNotUtf8ArrivesIntactAndIsShown) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::filesystem::path base = toolkit::pathFromLocalFile(folder.path());
    const std::filesystem::path latin1 = base / "caf\xE9.txt";  // "café" in Latin-1: not UTF-8
    { std::ofstream(latin1) << "x"; }
    // QTemporaryDir cannot remove a name that its QString cannot hold.
    const std::unique_ptr<const std::filesystem::path, void (*)(const std::filesystem::path*)> removal(
        &latin1, [](const std::filesystem::path* path) { std::filesystem::remove(*path); });
    const timespec times[2] = {{1'600'000'000, 0}, {1'600'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, latin1.c_str(), times, 0), 0);

    LinuxFileAccess files;
    testing::ScriptedOpenPanel addPanel;
    AppModel model(files, addPanel);
    FileTableView view(model);
    toolkit::DropDestination drop(
        view, [](bool) {}, [&](std::vector<std::filesystem::path> urls) { model.addURLs(urls); });

    QMimeData data;
    data.setData("text/uri-list", QByteArray("file://") + QUrl::toPercentEncoding(folder.path(), "/") +
                                      QByteArray("/caf%E9.txt\r\n"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &enter);
    QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &event);
    QCoreApplication::processEvents();

    ASSERT_EQ(model.items().size(), 1u);
    EXPECT_EQ(model.items()[0].url(), latin1);
    EXPECT_EQ(model.items()[0].modificationDate, Date::fromParts(1'600'000'000));
    const QString shownName = view.tableModel().index(0, nameColumn).data().toString();
    EXPECT_TRUE(shownName.startsWith("caf"));
    EXPECT_TRUE(shownName.endsWith(".txt"));
    EXPECT_EQ(dateCellLines(*view.tableModel().dateCell(0, modificationColumn)).front().text,
              toolkit::dateText(Date::fromParts(1'600'000'000)));
}

}  // namespace
}  // namespace vellumark::file_table
