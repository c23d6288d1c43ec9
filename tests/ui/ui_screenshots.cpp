// Saves PNG pictures of the file table and of the action panel in each action's state, for a person to
// look at: ui_screenshots [folder] (default "screenshots"). Run it under a display, e.g. xvfb-run -a.
#include "app_model/app_model.h"
#include "dark_palette.h"
#include "model/planner.h"
#include "qt_test_support.h"
#include "support/fake_file_access.h"
#include "support/scripted_open_panel.h"
#include "support/volumes.h"
#include "ui/action_panel/action_panel_view.h"
#include "ui/bindings/qt_open_panel.h"
#include "ui/file_table/file_table_view.h"
#include "ui/toolkit/symbol_icons.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyleFactory>
#include <QTableView>

#include <cstdio>

namespace {

using namespace vellumark;
using testing::darkPalette;

const Date kNow = Date::fromParts(1'718'000'000);
const Date kCreated = Date::fromParts(1'600'000'000, 250'000'000);
const Date kModified = Date::fromParts(1'650'000'000, 500'000'000);

bool save(QWidget& widget, const QDir& folder, const QString& name) {
    widget.show();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    const QString path = folder.filePath(name + ".png");
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "saved" : "COULD NOT SAVE", qPrintable(path));
    return saved;
}

void addItems(testing::FakeFileAccess& files, AppModel& model) {
    files.addFolder("/home/ada/Pictures/Holiday 2020", kCreated, kModified);
    files.addFile("/home/ada/Pictures/Holiday 2020/IMG_0001.jpg", kCreated, kModified);
    files.addFile("/home/ada/Documents/a file with a rather long name that will not fit the column.txt",
                  kCreated.addingSeconds(86'400), kModified.addingSeconds(3'600));
    files.addFile("/home/ada/Documents/wiped.txt", removedDateMarker(), removedDateMarker());
    files.addUnreadable("/media/usb/unreadable.bin");
    files.addFile("/home/ada/Documents/already there.txt", kNow, kNow);
    const std::vector<std::filesystem::path> urls{
        "/home/ada/Pictures/Holiday 2020",
        "/home/ada/Pictures/Holiday 2020/IMG_0001.jpg",
        "/home/ada/Documents/a file with a rather long name that will not fit the column.txt",
        "/home/ada/Documents/wiped.txt",
        "/media/usb/unreadable.bin",
        "/home/ada/Documents/already there.txt"};
    model.addURLs(urls);
}

// Items on volumes that keep creation dates or store a narrower range, under an action that meets both,
// in the light and the dark palette; the second row selected.
bool saveVolumeLimits(const QDir& folder) {
    testing::FakeFileAccess files;
    testing::ScriptedOpenPanel addPanel;
    files.mount("/home", testing::ext4Volume());
    files.mount("/media/usb", testing::fatVolume());
    const Date early = Date::fromParts(315'540'000);  // 1980-01-01 02:00
    files.addFile("/home/ada/notes.txt", kCreated, kModified);
    files.addFile("/home/ada/report.pdf", kCreated.addingSeconds(86'400), kModified.addingSeconds(3'600));
    files.addFile("/media/usb/IMG_0001.jpg", early.addingSeconds(600), early.addingSeconds(5'400));
    files.addFile("/media/usb/IMG_0002.jpg", kCreated, kModified);
    files.addFile("/tmp/far past.bin", Date::earliest().addingSeconds(60),
                  Date::earliest().addingSeconds(60));
    AppModel model(files, addPanel, [] { return kNow; });
    const std::vector<std::filesystem::path> urls{"/home/ada/notes.txt", "/home/ada/report.pdf",
                                                  "/media/usb/IMG_0001.jpg", "/media/usb/IMG_0002.jpg",
                                                  "/tmp/far past.bin"};
    model.addURLs(urls);
    model.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.shiftDirection = ShiftDirection::subtract;
        config.shiftHours = 3;
    });
    model.setSelection({model.items()[1].id()});
    bool ok = true;
    for (const bool dark : {false, true}) {
        QApplication::setPalette(dark ? darkPalette() : QPalette());
        file_table::FileTableView table(model);
        table.resize(720, 260);
        ok = save(table, folder, dark ? "table_volume_limits_dark" : "table_volume_limits") && ok;
    }
    QApplication::setPalette(QPalette());
    return ok;
}

bool saveIcons(const QDir& folder) {
    const QStringList names{
        "plus",   "minus", "trash",     "checkmark.circle.fill",        "calendar.badge.clock",
        "folder", "doc",   "lock.fill", "exclamationmark.triangle.fill"};
    const auto count = static_cast<int>(names.size());
    QImage sheet(count * 56 + 8, 2 * 56 + 8, QImage::Format_ARGB32);
    QPainter painter(&sheet);
    const QPalette palettes[] = {QApplication::palette(), darkPalette()};
    for (int row = 0; row < 2; ++row) {
        painter.fillRect(QRect(0, row * 56 + 4, sheet.width(), 56), palettes[row].color(QPalette::Base));
        for (int column = 0; column < count; ++column) {
            painter.drawPixmap(column * 56 + 12, row * 56 + 12,
                               toolkit::symbolPixmap(names[column], 40, palettes[row]));
        }
    }
    painter.end();
    const QString path = folder.filePath("icons.png");
    const bool saved = sheet.save(path);
    std::printf("%s %s\n", saved ? "saved" : "COULD NOT SAVE", qPrintable(path));
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots"));
    if (!QDir().mkpath(folder.path())) {
        std::printf("cannot make %s\n", qPrintable(folder.path()));
        return 1;
    }
    bool ok = saveIcons(folder);
    ok = saveVolumeLimits(folder) && ok;

    testing::FakeFileAccess files;
    testing::ScriptedOpenPanel addPanel;
    testing::ScriptedOpenPanel sourcePanel;
    AppModel model(files, addPanel, [] { return kNow; });
    addItems(files, model);

    // The table under an action that changes some dates and not others.
    file_table::FileTableView table(model);
    table.resize(720, 300);
    model.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::setSpecific;
        config.fields = DateFieldSelection::creation;
        config.specificDate = kNow.addingSeconds(-86'400 * 30);
    });
    model.setSelection({model.items()[1].id()});
    ok = save(table, folder, "table_set_creation") && ok;
    model.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::removeDates;
        config.fields = DateFieldSelection::both;
    });
    ok = save(table, folder, "table_remove_dates") && ok;
    model.editConfig([](ActionConfig& config) { config.kind = DateActionKind::liftFromFile; });
    ok = save(table, folder, "table_lift_without_source") && ok;
    table.resize(480, 300);
    ok = save(table, folder, "table_narrow") && ok;

    // The panel in each action's state, 320 wide as the window shows it.
    action_panel::ActionPanelView panel(model, sourcePanel);
    panel.resize(320, 560);
    files.addFile("/home/ada/Documents/source.pdf", kCreated.addingSeconds(-86'400 * 400), kModified);
    for (const DateActionKind kind : allCases<DateActionKind>()) {
        model.editConfig([kind](ActionConfig& config) {
            config.kind = kind;
            config.shiftDirection = ShiftDirection::subtract;
            config.shiftDays = 100'000;
            config.shiftHours = 2;
        });
        if (kind == DateActionKind::liftFromFile) {
            ok = save(panel, folder, "panel_liftFromFile_no_source") && ok;
            sourcePanel.willAnswer(std::vector<std::filesystem::path>{"/home/ada/Documents/source.pdf"});
            panel.chooseSourceFile();
        }
        const char* names[] = {
            "setSpecific",  "shift",      "copyCreationToModification", "copyModificationToCreation",
            "liftFromFile", "removeDates"};
        ok = save(panel, folder, QStringLiteral("panel_") + names[static_cast<int>(kind)]) && ok;
    }

    // Both side by side, as the window arranges them, in a dark palette.
    QApplication::setPalette(darkPalette());
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* darkTable = new file_table::FileTableView(model);
    auto* darkPanel = new action_panel::ActionPanelView(model, sourcePanel);
    darkPanel->setFixedWidth(320);
    layout->addWidget(darkTable, 1);
    layout->addWidget(darkPanel);
    model.editConfig([](ActionConfig& config) { config.kind = DateActionKind::shift; });
    window.resize(1100, 520);
    ok = save(window, folder, "window_dark_shift") && ok;
    QApplication::setPalette(QPalette());

    OpenPanelOptions options;
    options.allowsMultipleSelection = true;
    options.message = "Choose files or folders whose dates you want to change.";
    bindings::OpenPanelDialog openPanel(options);
    openPanel.fileDialog().setDirectory(QDir::currentPath());
    openPanel.show();
    auto* list = openPanel.findChild<QAbstractItemView*>("treeView");
    testing::processEventsUntil([&] { return list->model()->rowCount(list->rootIndex()) > 0; }, 3000);
    if (list->model()->rowCount(list->rootIndex()) > 1) {
        list->selectionModel()->select(list->model()->index(0, 0, list->rootIndex()),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        list->selectionModel()->select(list->model()->index(1, 0, list->rootIndex()),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    ok = save(openPanel, folder, "open_panel") && ok;
    return ok ? 0 : 1;
}
